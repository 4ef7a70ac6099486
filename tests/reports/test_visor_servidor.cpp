// El visor de informes con los datos en un servidor: lee el documento con la conexión de la sesión (no
// el archivo de la carpeta, que ni siquiera está) y, al exportarlo, la evaluación queda emitida allí.
#include "BaseConCatalogo.h"
#include "PlataformaPrueba.h"
#include "plataforma/Reloj.h"
#include "reports/DocumentoInforme.h"
#include "reports/InformeGeneral.h"
#include "reports/Informes.h"
#include "shell/Sesion.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
class VisorServidor : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char nombre[] = "prueba";
        static char* argv[] = {nombre, nullptr};
        if (!QApplication::instance())
            new QApplication(argc, argv);
    }

    void SetUp() override
    {
        FijarHoy(QDate(2026, 2, 20));
        QDir(servidor.carpeta()).mkdir("Informes");
        for (const QString& f : {Informes::FicheroEvaluacion, Informes::FicheroPlanificacion})
            ASSERT_TRUE(QFile::copy(QStringLiteral(FUENTES_PROYECTO "/data/informes/") + f,
                                    servidor.carpeta() + "/Informes/" + f));
        auto c = Conexion::obtener(servidor.texto());
        c->ejecutar(QStringLiteral("INSERT INTO Empresas (IDEmpresa, Nombre) VALUES (3, 'Empresa del servidor')"));
        c->ejecutar(QStringLiteral("INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, Direccion) VALUES (5, 3, "
                                   "'Nave del servidor')"));
        c->ejecutar(QStringLiteral("INSERT INTO PuestosCentros (IDPuestoCentro, IDCentro, Puesto) VALUES (9, 5, "
                                   "'Carretillero')"));
        c->ejecutar(QStringLiteral("INSERT INTO \"ActuaciónPreventiva\" (IDActuacion, IDCentro, Persona) VALUES (4, 5, "
                                   "'Técnica del plan')"));
        sesion.conexion = servidor.texto();
    }
    void TearDown() override
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            w->deleteLater();
        QApplication::processEvents();
        FijarHoy({});
    }

    BaseConCatalogo servidor{true};
    PlataformaPrueba plataforma;
    Sesion sesion;
};

TEST_F(VisorServidor, LosDosDocumentosSeLeenDelServidorYLaEvaluacionSeEmiteAlli)
{
    InformeGeneral* plan = AbrirInformePlanificacion(sesion, 5);
    ASSERT_TRUE(plan->documento());
    EXPECT_TRUE(plan->documento()->html().contains(QStringLiteral("Técnica del plan")));

    InformeGeneral* evaluacion = AbrirInformeEvaluacion(sesion, 5, 3);
    ASSERT_TRUE(evaluacion->documento());
    EXPECT_TRUE(evaluacion->documento()->html().contains(QStringLiteral("Carretillero")));
    EXPECT_TRUE(plataforma.mensajes.empty()) << plataforma.mensajes.front().texto.toStdString();

    QTemporaryDir destino;
    ASSERT_TRUE(evaluacion->exportarPdf(destino.filePath("evaluacion.pdf")));
    EXPECT_EQ(Conexion::obtener(servidor.texto())
                  ->leerFilas(QStringLiteral("SELECT count(*) FROM VersionesEvaluacion WHERE IDCentro = 5"))
                  .front()
                  .front()
                  .toInt(),
              1);
    EXPECT_FALSE(QFile::exists(servidor.carpeta() + "/Evaluacion.mdb"));
}
} // namespace
