// Lo que la plataforma hace por el programa principal y por Reparar a la vez: el bloqueo de
// instancia de una carpeta y lo que se cierra al terminar en el acto.
#include "CierrePrograma.h"
#include "InstanciaPrograma.h"
#include "PlataformaServicios.h"

#include <QDir>
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
