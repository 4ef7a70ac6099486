// La exportación en lote dentro del proceso, con la escritura a mano de la prueba para hacerla fallar.
#include "ContenidoZip.h"
#include "CopiaPrograma.h"
#include "Datos.h"
#include "reports/DocumentoInforme.h"
#include "reports/ExportacionOdt.h"
#include "reports/Informes.h"
#include "reports/exportar/ExportacionInformes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

    int exportar(std::optional<long long> centro = {}, std::optional<long long> empresa = {})
    {
        salida.clear();
        errores.clear();
        QTextStream s(&salida), e(&errores);
        ExportacionInformes exportacion(copia.carpeta(), destino.path(), s, e);
        if (escritor)
            exportacion.fijarEscritor(escritor);
        exportacion.fijarFormato(formato);
        return empresa ? exportacion.ejecutarEmpresa(*empresa) : exportacion.ejecutar(centro);
    }

    long long versiones(long long centro) const
    {
        return datos::contar(cx, "SELECT count(*) FROM VersionesEvaluacion WHERE IDCentro = ?", {centro});
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
    FormatoDocumento formato = FormatoDocumento::Pdf;
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

// En ODT cada documento es un paquete OpenDocument de verdad: el tipo va el primero y sin comprimir, y el
// texto de la evaluación está en content.xml. Un ODT cortado no llega a su nombre.
TEST_F(ExportarInformes, CopiasEditablesEnOdt)
{
    const long long empresa = datos::empresa(cx, "Comercial Norte");
    const long long centro = datos::centro(cx, empresa, "Tienda del puerto");
    datos::puesto(cx, centro, "Dependienta de mostrador");
    formato = FormatoDocumento::Odt;

    ASSERT_EQ(exportar(centro), SalidaExportacion::Correcta) << qPrintable(errores);
    const QString odt =
        QDir(destino.path()).filePath("Evaluación de riesgos - Comercial Norte - Tienda del puerto.odt");
    EXPECT_EQ(archivos(), QStringList({QFileInfo(odt).fileName(),
                                       "Planificación preventiva - Comercial Norte - Tienda del puerto.odt"}));
    const QStringList dentro = ContenidoZip({"-Z1", odt}).split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(dentro.isEmpty());
    EXPECT_EQ(dentro.first(), "mimetype");
    EXPECT_TRUE(dentro.contains("content.xml")) << qPrintable(dentro.join(", "));
    EXPECT_EQ(ContenidoZip({"-p", odt, "mimetype"}), "application/vnd.oasis.opendocument.text");
    const QString contenido = ContenidoZip({"-p", odt, "content.xml"});
    for (const char* texto : {"Comercial Norte", "Tienda del puerto", "Dependienta de mostrador"})
        EXPECT_TRUE(contenido.contains(QString::fromUtf8(texto))) << texto;

    escritor = [](const DocumentoInforme& d, const QString& ruta) {
        const bool bien = EscribirOdt(d, ruta);
        QFile f(ruta);
        f.resize(f.size() - 30);
        return bien;
    };
    QFile::remove(odt);
    EXPECT_EQ(exportar(centro), SalidaExportacion::Incompleta);
    EXPECT_TRUE(errores.contains("»: el archivo ha quedado cortado")) << qPrintable(errores);
    EXPECT_FALSE(QFile::exists(odt));
}

// Escribir la evaluación la emite: sin cambios entre dos exportaciones queda una versión; tras un cambio,
// dos. El plan solo no emite nada, y el documento de la empresa emite la evaluación de cada centro.
TEST_F(ExportarInformes, EscribirLaEvaluacionEmiteSuVersion)
{
    const long long empresa = datos::empresa(cx, "Comercial Norte");
    const long long tienda = datos::centro(cx, empresa, "Tienda");
    const long long puesto = datos::puesto(cx, tienda, "Dependiente");
    const long long almacen = centroConPuesto(empresa, "Almacén");

    ASSERT_EQ(exportar(tienda), SalidaExportacion::Correcta) << qPrintable(errores);
    ASSERT_EQ(exportar(tienda), SalidaExportacion::Correcta) << qPrintable(errores);
    EXPECT_EQ(versiones(tienda), 1);
    datos::insertar(cx, "UPDATE PuestosCentros SET Descripcion = 'Atiende el mostrador' WHERE IDPuestoCentro = ?",
                    {puesto});
    ASSERT_EQ(exportar(tienda), SalidaExportacion::Correcta) << qPrintable(errores);
    EXPECT_EQ(versiones(tienda), 2);
    EXPECT_EQ(datos::contar(cx, "SELECT VersionEvaluacion FROM CentroTrabajo WHERE IDCentro = ?", {tienda}), 2);

    // Si la evaluación no se llega a escribir, no se emite.
    escritor = [](const DocumentoInforme&, const QString&) { return false; };
    EXPECT_EQ(exportar(almacen), SalidaExportacion::Incompleta);
    EXPECT_EQ(versiones(almacen), 0);
    escritor = nullptr;

    ASSERT_EQ(exportar({}, empresa), SalidaExportacion::Correcta) << qPrintable(errores);
    ASSERT_EQ(exportar({}, empresa), SalidaExportacion::Correcta) << qPrintable(errores);
    EXPECT_EQ(versiones(tienda), 2);
    EXPECT_EQ(versiones(almacen), 1);
}

// Quien reparte los documentos sabe cuáles son borradores: el lote lo dice debajo de cada uno, y el
// archivo lleva la marca en sus hojas.
TEST_F(ExportarInformes, LosBorradoresSeDicenAlEscribirlos)
{
    const long long empresa = datos::empresa(cx, "Comercial Norte");
    const long long tienda = centroConPuesto(empresa, "Tienda");
    ASSERT_EQ(exportar(tienda), SalidaExportacion::Correcta) << qPrintable(errores);
    const QStringList lineas = salida.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const auto debajoDe = [&](const QString& documento) {
        for (int i = 0; i + 1 < lineas.size(); ++i)
            if (lineas[i].contains(documento))
                return lineas[i + 1].trimmed();
        return QString();
    };
    // Un puesto sin factores ni riesgos valorados, y un plan sin acciones.
    EXPECT_EQ(debajoDe("Evaluación de riesgos - "), "escrito como borrador: BORRADOR — evaluación incompleta")
        << qPrintable(salida);
    EXPECT_EQ(debajoDe("Planificación preventiva - "), "escrito como borrador: BORRADOR — planificación incompleta")
        << qPrintable(salida);
    for (const QString& nombre : archivos())
        EXPECT_TRUE(entero(nombre)) << qPrintable(nombre);
}

// Todos los centros: los que no tienen puestos ni plan no dan documentos vacíos, se dicen al final. La
// empresa: un solo documento con sus centros con contenido; una empresa que no existe tiene su código.
TEST_F(ExportarInformes, CentrosSinNadaSeSaltanYSeDicen)
{
    const long long norte = datos::empresa(cx, "Comercial Norte");
    centroConPuesto(norte, "Tienda");
    const long long vacio = datos::centro(cx, norte, "Nave vacía");
    const long long soloPlan = datos::centro(cx, norte, "Oficina");
    datos::insertar(cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro) VALUES (?)", {soloPlan});
    const long long sur = datos::empresa(cx, "Comercial Sur");
    const long long otroVacio = datos::centro(cx, sur, "Solar");

    ASSERT_EQ(exportar(), SalidaExportacion::Correcta) << qPrintable(errores);
    EXPECT_EQ(archivos().size(), 4) << qPrintable(archivos().join("\n"));
    EXPECT_FALSE(archivos().join("\n").contains("Nave vacía"));
    const qsizetype aviso = salida.indexOf("Sin exportar, porque no tienen puestos ni planificación:");
    ASSERT_GE(aviso, 0) << qPrintable(salida);
    EXPECT_GT(aviso, salida.lastIndexOf(".pdf"));
    EXPECT_TRUE(salida.contains(QString("centro %1: Comercial Norte - Nave vacía").arg(vacio))) << qPrintable(salida);
    EXPECT_TRUE(salida.contains(QString("centro %1: Comercial Sur - Solar").arg(otroVacio))) << qPrintable(salida);

    QDir(destino.path()).removeRecursively();
    ASSERT_EQ(exportar({}, norte), SalidaExportacion::Correcta) << qPrintable(errores);
    EXPECT_EQ(archivos(), QStringList{"Evaluación y planificación - Comercial Norte.pdf"});
    EXPECT_TRUE(entero(archivos().value(0)));
    EXPECT_TRUE(salida.contains(QString("centro %1: Comercial Norte - Nave vacía").arg(vacio))) << qPrintable(salida);
    EXPECT_FALSE(salida.contains("Solar"));

    EXPECT_EQ(exportar({}, sur), SalidaExportacion::NadaQueExportar);
    EXPECT_TRUE(errores.contains("no tiene centros de trabajo con puestos o planificación")) << qPrintable(errores);
    EXPECT_EQ(exportar({}, sur + 100), SalidaExportacion::EmpresaInexistente);
}

// En CSV, los datos del plan y de la evaluación de cada centro, dos archivos con el nombre de siempre;
// no hacen falta las plantillas y no emiten la evaluación. Con la empresa, los de cada uno de sus centros.
TEST_F(ExportarInformes, HojasDeCalculoEnCsv)
{
    const long long empresa = datos::empresa(cx, "Comercial Norte");
    const long long centro = datos::centro(cx, empresa, "Tienda");
    const long long puesto = datos::puesto(cx, centro, "Dependienta");
    datos::evaluacion(cx, datos::factor(cx, puesto, 1, "S"), 10, "S", "Riesgo Moderado");
    const long long plan = datos::insertar(cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro) VALUES (?)", {centro});
    datos::insertar(cx,
                    "INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva, FechaLimite) "
                    "VALUES (?, 'Alfombra antideslizante', '2027-02-01')",
                    {plan});
    centroConPuesto(empresa, "Almacén");
    QDir(copia.carpeta()).removeRecursively();
    QDir().mkpath(copia.carpeta());
    for (const char* f : {"Evaluacion.mdb", "SYSTEM.mdw"})
        ASSERT_TRUE(QFile::copy(QStringLiteral(CARPETA_ENTREGA "/") + f, copia.ruta(f)));
    formato = FormatoDocumento::Csv;

    ASSERT_EQ(exportar(centro), SalidaExportacion::Correcta) << qPrintable(errores);
    const QString evaluacion = "Evaluación de riesgos - Comercial Norte - Tienda.csv";
    const QString planificacion = "Planificación preventiva - Comercial Norte - Tienda.csv";
    EXPECT_EQ(archivos(), QStringList({evaluacion, planificacion}));
    EXPECT_TRUE(salida.contains(evaluacion) && salida.contains(planificacion)) << qPrintable(salida);
    const auto leer = [&](const QString& nombre) {
        QFile f(QDir(destino.path()).filePath(nombre));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    EXPECT_TRUE(leer(planificacion)
                    .startsWith("\xEF\xBB\xBF"
                                "Acción preventiva;Riesgo;Puesto;"));
    const QStringList filasPlan = QString::fromUtf8(leer(planificacion)).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(filasPlan.size(), 2);
    EXPECT_TRUE(filasPlan[1].startsWith("Alfombra antideslizante;;;;;01/02/2027;")) << qPrintable(filasPlan[1]);
    EXPECT_TRUE(leer(evaluacion).contains("\r\nDependienta;010;")) << qPrintable(leer(evaluacion));
    EXPECT_EQ(versiones(centro), 0);

    QDir(destino.path()).removeRecursively();
    ASSERT_EQ(exportar({}, empresa), SalidaExportacion::Correcta) << qPrintable(errores);
    EXPECT_EQ(archivos().filter(".csv").size(), 4) << qPrintable(archivos().join("\n"));
}
} // namespace
