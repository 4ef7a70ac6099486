// Los dos documentos con los datos en un servidor: el mismo centro escrito en el archivo y en el
// servidor da, byte a byte, el mismo documento de la evaluación y el mismo del plan; y ExportarInformes,
// con el servidor elegido en Origen de datos, escribe los PDF leyendo el servidor.
#include "BaseConCatalogo.h"
#include "InformesPrueba.h"
#include "plataforma/OrigenGuardado.h"
#include "plataforma/Reloj.h"
#include "reports/Informes.h"
#include "reports/exportar/ExportacionInformes.h"
#include "store/VersionEvaluacion.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

namespace {
struct Fila
{
    const char* sql;
    QVariantList valores;
};

// Un centro con todo lo que los documentos enseñan: textos con apóstrofos y tildes, trabajadores en
// varias líneas, un número de trabajadores escrito con palabras, riesgos de todos los casos (valorado,
// intolerable, trivial, sin valorar), medidas implantadas y propuestas, una versión emitida, y un plan
// con fechas, importes escritos a mano, una línea vencida, una sin fecha, una general, un estado que no
// es de los cuatro y una nueva valoración. Otro centro de la misma empresa, para ver que no se cuela.
std::vector<Fila> centroDePrueba(long long factor0, long long factor1, const std::vector<long long>& riesgos)
{
    const QVariant nulo;
    return {
        {"INSERT INTO Empresas (IDEmpresa, Nombre, CIF, Poblacion, Persona, Cargo, TotalTrabajadores) "
         "VALUES (7, ?, 'B12345678', 'Móstoles', 'María Ibáñez', 'Gerente', 15)",
         {QStringLiteral("Talleres O'Donnell Ñandú, S.L.")}},
        {"INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, NombreCentro, Direccion, Poblacion, FechaEvaluacion, "
         "MotivoEvaluacion) VALUES (11, 7, 'Nave principal', ?, 'Alcalá de Henares', ?, 'Periódica')",
         {QStringLiteral("Calle d'Alcalá 5"), QDate(2026, 1, 31)}},
        {"INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, NombreCentro, Direccion) VALUES (12, 7, 'Otra', "
         "'Nave segunda del polígono')",
         {}},
        {"INSERT INTO PuestosCentros (IDPuestoCentro, IDCentro, Puesto, Descripcion, NTrabajadores, "
         "TrabajadoresSensibles, Trabajadores) VALUES (21, 11, 'Soldador', 'Soldadura de estructuras', "
         "'12 personas', ?, ?)",
         {QStringLiteral(" \t"), QStringLiteral("Ana Pérez\r\n  Luis O'Neil\n\nEva Núñez")}},
        {"INSERT INTO PuestosCentros (IDPuestoCentro, IDCentro, Puesto, NTrabajadores, TrabajadoresSensibles) "
         "VALUES (22, 11, 'Administrativo', '3', 'Una embarazada')",
         {}},
        {"INSERT INTO PuestosCentros (IDPuestoCentro, IDCentro, Puesto) VALUES (23, 12, 'Mozo')", {}},
        {"INSERT INTO FactoresSeleccionarEvaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro, "
         "IDFactor, Factor, FactorSelecionado) VALUES (31, 7, 11, 21, ?, 'Factor uno', 'S'), "
         "(32, 7, 11, 22, ?, 'Factor dos', 'S'), (33, 7, 11, 22, ?, 'Factor uno', 'N')",
         {factor0, factor1, factor0}},
        {"INSERT INTO Evaluacion (IDEvaluacion, IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro, IDFactor, "
         "IDRiesgo, Mostrar, Probabilidad, Consecuencias, ValorRiesgo, SituacionObservada) VALUES "
         "(41, 31, 7, 11, 21, ?, ?, 'S', 'Media', 'Dañino', 'Riesgo Importante', ?), "
         "(42, 31, 7, 11, 21, ?, ?, 'S', 'Alta', 'Extremadamente dañino', 'Riesgo Intolerable', NULL), "
         "(43, 32, 7, 11, 22, ?, ?, 'S', 'Baja', 'Ligeramente dañino', 'Riesgo Trivial', NULL), "
         "(44, 32, 7, 11, 22, ?, ?, 'S', NULL, NULL, NULL, NULL), "
         "(45, 31, 7, 11, 21, ?, ?, 'N', 'Media', 'Dañino', 'Riesgo Moderado', NULL)",
         {factor0, riesgos[0], QStringLiteral("Chispas junto a la puerta \"B\"\n"), factor0, riesgos[1], factor1,
          riesgos[2], factor1, riesgos[3], factor0, riesgos[0]}},
        {"INSERT INTO MedidasFactores (IDMedidaFactor, IDEvaluacion, Medida, MarcarMedida, Implantada) VALUES "
         "(51, 41, 'Pantallas de soldadura', 'S', 'S'), (52, 41, ?, 'S', 'N'), "
         "(53, 42, 'Extracción localizada', 'S', 'N'), (54, 43, 'Orden y limpieza', 'S', NULL), "
         "(55, 42, 'No elegida', 'N', 'N')",
         {QStringLiteral("Formación en riesgos 'eléctricos'")}},
        {"INSERT INTO \"ActuaciónPreventiva\" (IDActuacion, IDCentro, Persona, Cargo, Fecha) "
         "VALUES (61, 11, 'José Núñez', 'Técnico de prevención', ?)",
         {QDate(2026, 1, 31)}},
        {"INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacionRegistro, IDActuacion, AccionPreventiva, "
         "FechaLimite, ResponsableEjecucion, PresupuestoAproximado, IDEvaluacion, Estado, FechaRealizada, CosteReal, "
         "Seguimiento) VALUES "
         "(71, 61, 'Instalar la extracción', ?, 'Mantenimiento', '1.200,50 €', 42, 'Pendiente', NULL, NULL, NULL), "
         "(72, 61, 'Revisar las pantallas', NULL, 'Jefe de taller', 'a convenir', 41, 'Realizada', ?, '300', ?), "
         "(73, 61, ?, ?, 'RR. HH.', '450', NULL, 'En curso', NULL, NULL, NULL), "
         "(74, 61, 'Señalizar el pasillo', ?, NULL, NULL, 43, 'Aplazada', NULL, NULL, NULL)",
         {QDate(2026, 3, 15), QDate(2026, 2, 10), QStringLiteral("Hecho y comprobado.\n"),
          QStringLiteral("Curso d'iniciació"), QDate(2025, 12, 1), QDate(2026, 12, 31)}},
        {"INSERT INTO RevaloracionesRiesgo (IDRevaloracion, IDEvaluacion, IDActuacionRegistro, Fecha, NivelAnterior, "
         "NivelNuevo) VALUES (81, 41, 72, ?, 'Riesgo Importante', 'Riesgo Moderado')",
         {QDate(2026, 2, 11)}},
    };
}

class InformesDosMotores : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { informes_prueba::aplicacion(); }

    void SetUp() override
    {
        FijarHoy(QDate(2026, 2, 20));
        // Los mismos identificadores del catálogo en los dos: el servidor lo recibe del archivo.
        const auto primeros = [](const QString& cx, const char* sql) {
            std::vector<long long> ids;
            for (const QVariantList& f : Conexion::obtener(cx)->leerFilas(QString::fromUtf8(sql)))
                ids.push_back(f[0].toLongLong());
            return ids;
        };
        const auto factores = primeros(archivo.texto(), "SELECT IDFactor FROM FactoresRiesgos ORDER BY 1 LIMIT 2");
        const auto riesgos = primeros(archivo.texto(), "SELECT IDRiesgo FROM Riesgos ORDER BY 1 LIMIT 4");
        ASSERT_EQ(factores.size(), 2u);
        ASSERT_EQ(riesgos.size(), 4u);
        ASSERT_EQ(primeros(servidor.texto(), "SELECT IDRiesgo FROM Riesgos ORDER BY 1 LIMIT 4"), riesgos);
        for (const QString& cx : {archivo.texto(), servidor.texto()}) {
            auto c = Conexion::obtener(cx);
            for (const Fila& f : centroDePrueba(factores[0], factores[1], riesgos))
                c->ejecutar(QString::fromUtf8(f.sql), f.valores);
            // Una versión emitida y después un cambio: el documento sale con la siguiente.
            EmitirVersion(*c, 11, QDateTime(QDate(2026, 2, 1), QTime(9, 30)));
            c->ejecutar(QStringLiteral("UPDATE Evaluacion SET SituacionObservada = 'Sin resguardo' WHERE IDEvaluacion "
                                       "= 43"));
        }
    }
    void TearDown() override { FijarHoy({}); }

    static std::unique_ptr<DocumentoInforme> documento(const QString& cx, const PeticionInforme& peticion)
    {
        MotorInforme motor;
        motor.abrirPlantilla(QStringLiteral(FUENTES_PROYECTO "/data/informes/") + peticion.plantilla);
        motor.fijarConexion(cx);
        motor.fijarCondiciones(peticion.condiciones);
        return motor.generar();
    }

    BaseConCatalogo archivo{false};
    BaseConCatalogo servidor{true};
};

TEST_F(InformesDosMotores, ElMismoCentroDaElMismoDocumentoEnElArchivoYEnElServidor)
{
    for (const PeticionInforme& peticion : {PeticionInforme::evaluacion(11, 7), PeticionInforme::planificacion(11)}) {
        SCOPED_TRACE(peticion.plantilla.toStdString());
        const auto enArchivo = documento(archivo.texto(), peticion);
        const auto enServidor = documento(servidor.texto(), peticion);
        EXPECT_EQ(enServidor->html(), enArchivo->html());
        EXPECT_EQ(enServidor->nombreArchivo(), enArchivo->nombreArchivo());
        EXPECT_EQ(enServidor->marca(), enArchivo->marca());
        // Lo que se ha escrito llega al documento, y el otro centro no.
        const QString& html = enArchivo->html();
        EXPECT_TRUE(html.contains(QStringLiteral("Calle d&apos;Alcalá 5")));
        EXPECT_FALSE(html.contains(QStringLiteral("Nave segunda del polígono")));
    }
    const auto evaluacion = documento(archivo.texto(), PeticionInforme::evaluacion(11, 7));
    for (const char* visto :
         {"Luis O&apos;Neil", "Eva Núñez", "12 personas", "Pantallas de soldadura", "0022 - Administrativo"})
        EXPECT_TRUE(evaluacion->html().contains(QString::fromUtf8(visto))) << visto;
    const auto plan = documento(archivo.texto(), PeticionInforme::planificacion(11));
    for (const char* visto : {"Curso d&apos;iniciació", "1.200,50", "Aplazada", "15/03/2026"})
        EXPECT_TRUE(plan->html().contains(QString::fromUtf8(visto))) << visto;
}

// La versión del documento es la misma en los dos: la huella de lo evaluado no depende del motor.
TEST_F(InformesDosMotores, LaVersionPendienteYLaEmitidaSonLasMismasEnLosDos)
{
    for (const QString& cx : {archivo.texto(), servidor.texto()}) {
        const auto doc = documento(cx, PeticionInforme::evaluacion(11, 7));
        EXPECT_TRUE(doc->html().contains(QStringLiteral("Versión 2"))) << cx.toStdString();
        EXPECT_EQ(EmitirVersion(*Conexion::obtener(cx), 11, QDateTime(QDate(2026, 2, 20), QTime(10, 0))).version, 2);
        EXPECT_FALSE(EmitirVersion(*Conexion::obtener(cx), 11, QDateTime(QDate(2026, 2, 20), QTime(11, 0))).nueva);
    }
    EXPECT_EQ(documento(servidor.texto(), PeticionInforme::evaluacion(11, 7))->html(),
              documento(archivo.texto(), PeticionInforme::evaluacion(11, 7))->html());
}

// ExportarInformes con el servidor elegido en Origen de datos: no hace falta el archivo de la carpeta.
TEST_F(InformesDosMotores, ExportarInformesEscribeLosPdfDelServidor)
{
    QTemporaryDir carpeta, destino;
    ASSERT_TRUE(QFile::copy(QStringLiteral(EXPORTAR_INFORMES), carpeta.filePath("ExportarInformes")));
    QFile(carpeta.filePath("ExportarInformes")).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir(carpeta.path()).mkdir("Informes");
    for (const QString& f : {Informes::FicheroEvaluacion, Informes::FicheroPlanificacion})
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(FUENTES_PROYECTO "/data/informes/") + f, carpeta.filePath("Informes/" + f)));
    const std::optional<DatosServidor> datos = AnalizarConexionServidor(servidor.texto());
    ASSERT_TRUE(datos);
    FijarCarpetaPrograma(carpeta.path());
    ASSERT_EQ(GuardarOrigen({true, *datos}), QString());
    FijarCarpetaPrograma({});
    Conexion::cerrarTodas();

    QProcess p;
    auto entorno = QProcessEnvironment::systemEnvironment();
    entorno.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(entorno);
    p.start(carpeta.filePath("ExportarInformes"), {"--centro", "11", "--destino", destino.path()});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), SalidaExportacion::Correcta) << p.readAllStandardError().toStdString();
    const QStringList escritos = QDir(destino.path()).entryList({"*.pdf"});
    EXPECT_EQ(escritos.size(), 2) << escritos.join(", ").toStdString();
    EXPECT_FALSE(QFile::exists(carpeta.filePath("Evaluacion.mdb")));
    // La evaluación escrita queda emitida en el servidor.
    EXPECT_EQ(Conexion::obtener(servidor.texto())
                  ->leerFilas(QStringLiteral("SELECT max(Version) FROM VersionesEvaluacion WHERE IDCentro = 11"))
                  .front()
                  .front()
                  .toInt(),
              2);
}
// El documento de la empresa entera y las hojas de cálculo de un centro, en el mismo proceso y con el
// texto de conexión del servidor.
TEST_F(InformesDosMotores, LaEmpresaYLasHojasDeCalculoSeEscribenConLaConexionDelServidor)
{
    QTemporaryDir carpeta, destino;
    QDir(carpeta.path()).mkdir("Informes");
    for (const QString& f : {Informes::FicheroEvaluacion, Informes::FicheroPlanificacion})
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(FUENTES_PROYECTO "/data/informes/") + f, carpeta.filePath("Informes/" + f)));
    QString textoSalida, textoErrores;
    QTextStream salida(&textoSalida), errores(&textoErrores);
    ExportacionInformes exportacion(carpeta.path(), destino.path(), salida, errores);
    exportacion.fijarConexion(servidor.texto());
    EXPECT_EQ(exportacion.ejecutarEmpresa(7), SalidaExportacion::Correcta) << textoErrores.toStdString();
    const QStringList escritos = QDir(destino.path()).entryList({"*.pdf"});
    ASSERT_EQ(escritos.size(), 1) << textoErrores.toStdString();
    EXPECT_TRUE(escritos.front().contains(QStringLiteral("Talleres O'Donnell Ñandú")))
        << escritos.front().toStdString();

    // Las hojas de cálculo del centro, con los mismos datos que en el archivo.
    const auto hojas = [&](const QString& cx) {
        QTemporaryDir aqui;
        ExportacionInformes e(carpeta.path(), aqui.path(), salida, errores);
        e.fijarConexion(cx);
        e.fijarFormato(FormatoDocumento::Csv);
        EXPECT_EQ(e.ejecutar(11), SalidaExportacion::Correcta) << textoErrores.toStdString();
        QStringList contenido;
        for (const QString& f : QDir(aqui.path()).entryList({"*.csv"}, QDir::Files, QDir::Name)) {
            QFile archivoCsv(aqui.filePath(f));
            EXPECT_TRUE(archivoCsv.open(QIODevice::ReadOnly));
            contenido << f << QString::fromUtf8(archivoCsv.readAll());
        }
        return contenido;
    };
    const QStringList enArchivo = hojas(archivo.texto());
    EXPECT_EQ(enArchivo.size(), 4);
    EXPECT_EQ(hojas(servidor.texto()), enArchivo);
}
} // namespace
