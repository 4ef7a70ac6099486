// Lo que la plataforma hace por el programa principal y por Reparar a la vez: el bloqueo de
// instancia de una carpeta y lo que se cierra al terminar en el acto.
#include "plataforma/CierrePrograma.h"
#include "plataforma/InstanciaPrograma.h"
#include "plataforma/PlataformaServicios.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <stdexcept>

TEST(BloqueoInstancia, LaMismaCarpetaEscritaDeOtraFormaEsElMismoBloqueo)
{
    QTemporaryDir carpeta, otra;
    auto primero = TomarBloqueoInstancia(carpeta.path());
    ASSERT_TRUE(primero);
    EXPECT_FALSE(TomarBloqueoInstancia(carpeta.path() + "/"));
    EXPECT_FALSE(TomarBloqueoInstancia(QDir::toNativeSeparators(carpeta.path() + "/./")));
    // Otra carpeta de programa es otra instalación: arranca aunque ésta esté en marcha.
    EXPECT_TRUE(TomarBloqueoInstancia(otra.path()));
    primero.reset();
    EXPECT_TRUE(TomarBloqueoInstancia(carpeta.path()));
}

TEST(BloqueoInstancia, LosServiciosGuardanElBloqueoHastaQueSeDestruyen)
{
    QTemporaryDir carpeta;
    auto primeros = std::make_unique<ServiciosReales>();
    EXPECT_FALSE(primeros->otraInstanciaEnEjecucion(carpeta.path()));
    // Preguntar otra vez no es encontrarse a sí mismo.
    EXPECT_FALSE(primeros->otraInstanciaEnEjecucion(carpeta.path()));
    ServiciosReales segundos;
    EXPECT_TRUE(segundos.otraInstanciaEnEjecucion(carpeta.path()));
    EXPECT_FALSE(repararEnCurso(carpeta.path()));
    primeros.reset();
    EXPECT_FALSE(segundos.otraInstanciaEnEjecucion(carpeta.path()));
}

#ifdef Q_OS_UNIX
// Con una carpeta temporal que no sirve (TMPDIR de una carpeta ya borrada) el bloqueo caía en la
// carpeta de trabajo de cada proceso: dos copias arrancadas desde sitios distintos no se veían.
TEST(BloqueoInstancia, SinCarpetaTemporalUtilTodosVenElMismoBloqueo)
{
    QTemporaryDir carpeta, trabajo;
    struct Entorno
    {
        QByteArray tmpdir = qgetenv("TMPDIR");
        bool habia = qEnvironmentVariableIsSet("TMPDIR");
        QString actual = QDir::currentPath();
        ~Entorno()
        {
            habia ? qputenv("TMPDIR", tmpdir) : qunsetenv("TMPDIR");
            QDir::setCurrent(actual);
        }
    } restaurar;
    qputenv("TMPDIR", QFile::encodeName(carpeta.filePath("borrada")));
    auto primero = TomarBloqueoInstancia(carpeta.path());
    ASSERT_TRUE(primero);
    ASSERT_TRUE(QDir::setCurrent(trabajo.path()));
    EXPECT_FALSE(TomarBloqueoInstancia(carpeta.path()));
    EXPECT_TRUE(QFileInfo(rutaBloqueoInstancia(carpeta.path())).isAbsolute());
    EXPECT_FALSE(repararEnCurso(carpeta.path()));
    QLockFile reparacion(rutaBloqueoReparacion(carpeta.path()));
    ASSERT_TRUE(reparacion.tryLock(0));
    ASSERT_TRUE(QDir::setCurrent(restaurar.actual));
    EXPECT_TRUE(repararEnCurso(carpeta.path()));
}
#endif

namespace {
void apuntarA()
{
    std::fputs("A", stderr);
}
void fallar()
{
    throw std::runtime_error("no se puede cerrar");
}
void apuntarB()
{
    std::fputs("B", stderr);
}
} // namespace

TEST(CierrePrograma, TerminarHaceCadaTareaUnaVezEnOrdenAunqueUnaFalleYSaleConCero)
{
    EXPECT_EXIT(
        {
            AlTerminarPrograma(&apuntarA);
            AlTerminarPrograma(&fallar);
            AlTerminarPrograma(&apuntarA);
            AlTerminarPrograma(nullptr);
            AlTerminarPrograma(&apuntarB);
            ServiciosReales().terminarPrograma();
        },
        ::testing::ExitedWithCode(0), "^AB$");
}
