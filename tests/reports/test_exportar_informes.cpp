// La exportación en lote dentro del proceso, con la escritura a mano de la prueba para hacerla fallar.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "reports/DocumentoInforme.h"
#include "reports/Informes.h"
#include "reports/exportar/ExportacionInformes.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

namespace {
class ExportarInformes : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Qt compone los documentos sin pantalla; una sola aplicación para todas las pruebas.
        static int argc = 1;
        static char* argv[] = {const_cast<char*>("prueba"), nullptr};
        [[maybe_unused]] static auto* aplicacion = new QGuiApplication(argc, argv);
        QDir(copia.carpeta()).mkdir("Informes");
        for (const QString& f : {Informes::FicheroEvaluacion, Informes::FicheroPlanificacion})
            ASSERT_TRUE(
                QFile::copy(QStringLiteral(FUENTES_PROYECTO "/data/informes/") + f, copia.ruta("Informes/" + f)));
        cx = copia.conexion();
    }

    long long centroConPuesto(long long empresa, const QString& nombre)
    {
        const long long c = datos::centro(cx, empresa, nombre);
        datos::puesto(cx, c);
        return c;
    }

    int exportar(std::optional<long long> centro = {})
    {
        salida.clear();
        errores.clear();
        QTextStream s(&salida), e(&errores);
        ExportacionInformes exportacion(copia.carpeta(), destino.path(), s, e);
        if (escritor)
            exportacion.fijarEscritor(escritor);
        return exportacion.ejecutar(centro);
    }

    // Todo lo que hay en el destino, también lo oculto.
    QStringList archivos() const { return QDir(destino.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    bool entero(const QString& nombre) const
    {
        QFile f(QDir(destino.path()).filePath(nombre));
        if (!f.open(QIODevice::ReadOnly))
            return false;
        const QByteArray todo = f.readAll();
        return todo.startsWith("%PDF-") && todo.trimmed().endsWith("%%EOF");
    }

    CopiaPrograma copia;
    QString cx;
    QTemporaryDir destino;
    QString salida, errores;
    ExportacionInformes::Escritor escritor;
};

// Disco lleno a mitad del lote: el documento que no se escribe no aparece como escrito, no deja un
// archivo cortado ni pisa el de una vez anterior, y los demás centros salen igual.
TEST_F(ExportarInformes, UnDocumentoQueNoSeEscribeEntero)
{
    const long long empresa = datos::empresa(cx, "Comercial Norte");
    for (const char* nombre : {"Tienda", "Almacén", "Oficina"})
        centroConPuesto(empresa, nombre);
    const QString anterior = "Planificación preventiva - Comercial Norte - Tienda.pdf";
    {
        QFile f(QDir(destino.path()).filePath(anterior));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("%PDF-1.4 de una vez anterior\n%%EOF\n");
    }
    int llamada = 0;
    escritor = [&](const DocumentoInforme& d, const QString& ruta) {
        const bool bien = d.exportarPdf(ruta);
        if (++llamada != 2 && llamada != 3)
            return bien;
        // Se corta a medias: la segunda vez el escritor lo dice; la tercera, no.
        QFile f(ruta);
        f.resize(f.size() / 2);
        return llamada == 3;
    };

    EXPECT_EQ(exportar(), SalidaExportacion::Incompleta);
    const QString cortado = "Evaluación de riesgos - Comercial Norte - Almacén.pdf";
    EXPECT_TRUE(errores.contains("No se ha podido escribir «" +
                                 QDir::toNativeSeparators(QDir(destino.path()).filePath(anterior))))
        << qPrintable(errores);
    EXPECT_TRUE(errores.contains(cortado + "»: el archivo ha quedado cortado")) << qPrintable(errores);
    EXPECT_TRUE(errores.contains("No se han podido escribir 2 de los 6 documentos")) << qPrintable(errores);
    EXPECT_FALSE(salida.contains(cortado)) << qPrintable(salida);
    EXPECT_EQ(salida.count(".pdf"), 4) << qPrintable(salida);

    const QStringList hay = archivos();
    EXPECT_EQ(hay.size(), 5) << qPrintable(hay.join(", "));
    EXPECT_FALSE(hay.contains(cortado));
    for (const QString& f : hay)
        EXPECT_TRUE(entero(f)) << qPrintable(f);
    QFile f(QDir(destino.path()).filePath(anterior));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("de una vez anterior"));
}

// El nombre lleva la empresa y el centro, cabe en cualquier sistema de archivos y nunca se repite:
// ni dos "Tienda" de dos empresas, ni dos nombres largos que recortados quedan iguales.
TEST_F(ExportarInformes, NombresConEmpresaCortosYUnicos)
{
    centroConPuesto(datos::empresa(cx, "Comercial Norte"), "Tienda");
    const long long sur = datos::empresa(cx, "Comercial Sur");
    centroConPuesto(sur, "Tienda");
    const QString largo(99, QChar(0x6F22));
    centroConPuesto(sur, largo + QChar(0x5B57));
    const long long otroLargo = centroConPuesto(sur, largo + QChar(0x6587));
    const long long gemelo = centroConPuesto(sur, "tienda");
    centroConPuesto(sur, "Oficina");

    EXPECT_EQ(exportar(), SalidaExportacion::Correcta) << qPrintable(errores);
    const QStringList hay = archivos();
    EXPECT_EQ(hay.size(), 12) << qPrintable(hay.join("\n"));
    for (const char* f : {"Evaluación de riesgos - Comercial Norte - Tienda.pdf",
                          "Planificación preventiva - Comercial Sur - Tienda.pdf",
                          "Evaluación de riesgos - Comercial Sur - Oficina.pdf"})
        EXPECT_TRUE(hay.contains(f)) << qPrintable(f);
    EXPECT_TRUE(hay.contains(QString("Evaluación de riesgos - Comercial Sur - tienda (centro %1).pdf").arg(gemelo)));
    const QStringList largos = hay.filter("Evaluación de riesgos - Comercial Sur - " + largo.left(20));
    ASSERT_EQ(largos.size(), 2) << qPrintable(hay.join("\n"));
    EXPECT_TRUE(largos[0].contains("…") && largos[1].contains("…"));
    EXPECT_EQ(largos.filter(QString("… (centro %1).pdf").arg(otroLargo)).size(), 1) << qPrintable(largos.join("\n"));
    for (const QString& f : hay) {
        EXPECT_LE(f.toUtf8().size(), ExportacionInformes::BytesNombre) << qPrintable(f);
        EXPECT_TRUE(entero(f)) << qPrintable(f);
    }
}

TEST_F(ExportarInformes, RecortePorCaracteresEnteros)
{
    // "é" escrita como "e" más la tilde aparte: no se separan.
    const QString compuesta = QString("Caf") + QChar('e') + QChar(0x0301);
    EXPECT_EQ(NombreArchivoSeguro(compuesta + "s y más", 8), QString("Caf…"));
    EXPECT_EQ(NombreArchivoSeguro(compuesta + "s y más", 9), QString("Caf") + QChar('e') + QChar(0x0301) + "…");
    EXPECT_EQ(NombreArchivoSeguro("a/b: c?.", 40), QString("a-b- c-"));
}

// Sin nada que exportar no se dice que ha ido bien, y tiene su propio código.
TEST_F(ExportarInformes, NadaQueExportar)
{
    EXPECT_EQ(exportar(), SalidaExportacion::NadaQueExportar);
    EXPECT_TRUE(errores.contains("No hay centros de trabajo en la base de datos")) << qPrintable(errores);

    const long long empresa = datos::empresa(cx);
    const long long vacio = datos::centro(cx, empresa, "Nave vacía");
    EXPECT_EQ(exportar(vacio), SalidaExportacion::NadaQueExportar);
    EXPECT_TRUE(errores.contains(
        QString("El centro de trabajo %1 («Nave vacía») no tiene puestos ni planificación").arg(vacio)))
        << qPrintable(errores);
    EXPECT_TRUE(archivos().isEmpty());

    // Con sólo el plan ya hay documentos que dar.
    datos::insertar(cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro) VALUES (?)", {vacio});
    EXPECT_EQ(exportar(vacio), SalidaExportacion::Correcta) << qPrintable(errores);
    EXPECT_EQ(archivos().size(), 2);
    EXPECT_EQ(exportar(vacio + 100), SalidaExportacion::CentroInexistente);
}
} // namespace
