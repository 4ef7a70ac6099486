// El documento de una empresa compuesto con partes de mentira, y la copia en ODT de un borrador.
#include "ContenidoZip.h"
#include "plataforma/Reloj.h"
#include "reports/DocumentoEmpresa.h"
#include "reports/DocumentoInforme.h"
#include "reports/ExportacionOdt.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {
class DocumentoDeEmpresa : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int argc = 1;
        static char* argv[] = {const_cast<char*>("prueba"), nullptr};
        [[maybe_unused]] static auto* aplicacion = new QGuiApplication(argc, argv);
        FijarHoy(QDate(2026, 3, 2));
    }
    void TearDown() override { FijarHoy({}); }

    // Una parte de tantas líneas, cada una con su nombre para encontrarla después.
    // Con apartado, un apartado "Puesto de la <nombre>" desde esa línea.
    static std::unique_ptr<DocumentoInforme> parte(const QString& nombre, int lineas, int apartado = 0)
    {
        QString html;
        for (int i = 1; i <= lineas; ++i)
            html += i == apartado ? QStringLiteral("<p><a name=\"seccion:Puesto de la %1\"></a>%1 línea %2</p>")
                                        .arg(nombre.toLower())
                                        .arg(i)
                                  : QStringLiteral("<p>%1 línea %2</p>").arg(nombre).arg(i);
        return std::make_unique<DocumentoInforme>(html, nombre, nombre, nombre);
    }

    // Hoja en la que queda el párrafo que empieza por el texto, según la composición del documento.
    static int hojaDe(const DocumentoInforme& d, const QString& texto)
    {
        const QTextDocument& t = d.texto();
        const QTextBlock b = t.find(texto).block();
        if (!b.isValid())
            return -1;
        return d.hojaDe(b.position());
    }
};

// Portada, índice y partes: cada parte empieza en la hoja que dice el índice, y las hojas se cuentan de
// corrido de la primera a la última.
TEST_F(DocumentoDeEmpresa, ElIndiceDiceDondeEmpiezaCadaParteYLasHojasVanDeCorrido)
{
    const auto a = parte("Nave", 150, 60), b = parte("Tienda", 3), c = parte("Plan de la nave", 90);
    DatosEmpresa empresa;
    empresa.nombre = "Comercial Norte";
    empresa.cif = "B12345678";
    empresa.persona = "Ana Pérez";
    const DocumentoEmpresa d = ComponerDocumentoEmpresa(empresa, {{"Evaluación de riesgos", "Nave", a.get()},
                                                                  {"Evaluación de riesgos", "Tienda", b.get()},
                                                                  {"Planificación preventiva", "Nave", c.get()}});
    ASSERT_EQ(d.primerasHojas.size(), size_t(3));
    EXPECT_EQ(hojaDe(*d.documento, "Índice"), 2);
    const QStringList inicios{"Nave línea 1", "Tienda línea 1", "Plan de la nave línea 1"};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(hojaDe(*d.documento, inicios[i]), d.primerasHojas[i]) << qPrintable(inicios[i]);
    EXPECT_EQ(d.primerasHojas[0], 3);
    EXPECT_GT(d.primerasHojas[1], d.primerasHojas[0] + 1);
    EXPECT_EQ(d.primerasHojas[2], d.primerasHojas[1] + 1);

    const QString texto = d.documento->texto().toPlainText();
    const QStringList entradas{"Evaluación de riesgos — Nave", "Evaluación de riesgos — Tienda",
                               "Planificación preventiva — Nave"};
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(texto.contains(entradas[i] + "\n" + QString::number(d.primerasHojas[i])))
            << qPrintable(entradas[i]);
    for (const char* dato : {"Comercial Norte", "B12345678", "Ana Pérez", "02/03/2026"})
        EXPECT_EQ(hojaDe(*d.documento, QString::fromUtf8(dato)), 1) << dato;

    const int total = d.documento->paginas();
    EXPECT_GT(total, d.primerasHojas[2]);
    // La cabecera dice de qué centro y de qué apartado es cada hoja, también los de dentro de una parte.
    EXPECT_EQ(d.documento->cabecera(1), "Comercial Norte");
    EXPECT_EQ(d.documento->cabecera(d.primerasHojas[0], true), "Nave · Evaluación de riesgos");
    EXPECT_EQ(d.documento->cabecera(d.primerasHojas[0] + 2, true), "Nave · Puesto de la nave");
    EXPECT_EQ(d.documento->cabecera(d.primerasHojas[2], true), "Nave · Planificación preventiva");
    EXPECT_EQ(d.documento->pie(1, true), QString("Página 1 de %1").arg(total));
    EXPECT_EQ(d.documento->pie(total, true), QString("Página %1 de %1").arg(total));
    EXPECT_TRUE(d.documento->marca().isEmpty());

    // Con una parte a medias, el documento entero es un borrador.
    b->fijarMarca("BORRADOR — evaluación incompleta");
    EXPECT_EQ(ComponerDocumentoEmpresa(
                  empresa, {{"Evaluación de riesgos", "Nave", a.get()}, {"Evaluación de riesgos", "Tienda", b.get()}})
                  .documento->marca(),
              "BORRADOR — evaluación incompleta");
}

// La copia editable de un borrador lo dice en su primer párrafo (el procesador de textos no pinta la
// marca), sin tocar el documento de la vista previa; donde no se puede escribir no queda nada.
TEST_F(DocumentoDeEmpresa, LaCopiaOdtDeUnBorradorLoDiceDelante)
{
    QTemporaryDir carpeta;
    const auto d = parte("Tienda", 3);
    const QString limpio = carpeta.filePath("limpio.odt"), borrador = carpeta.filePath("borrador.odt");
    ASSERT_TRUE(EscribirOdt(*d, limpio));
    EXPECT_TRUE(OdtEntero(limpio));
    EXPECT_FALSE(ContenidoZip({"-p", limpio, "content.xml"}).contains("BORRADOR"));

    d->fijarMarca("BORRADOR — evaluación incompleta");
    ASSERT_TRUE(EscribirOdt(*d, borrador));
    const QString contenido = ContenidoZip({"-p", borrador, "content.xml"});
    const qsizetype marca = contenido.indexOf("BORRADOR — evaluación incompleta");
    ASSERT_GE(marca, 0) << qPrintable(contenido.left(2000));
    EXPECT_LT(marca, contenido.indexOf("Tienda línea 1"));
    EXPECT_EQ(d->texto().begin().text(), "Tienda línea 1");

    EXPECT_FALSE(EscribirOdt(*d, carpeta.filePath("no/existe/copia.odt")));
    EXPECT_FALSE(QFile::exists(carpeta.filePath("no/existe/copia.odt")));
    QFile cortado(borrador);
    ASSERT_TRUE(cortado.resize(cortado.size() - 10));
    EXPECT_FALSE(OdtEntero(borrador));
}
} // namespace
