// Base de datos de sólo lectura o bloqueada por otro proceso en cada acción de varias filas: el
// usuario recibe un mensaje en castellano que dice qué pasa y qué hacer, no cambia nada, y en
// cuanto se puede escribir la acción se hace entera.
#include "Escenario.h"
#include "VfsFallos.h"
#include "store/Conexion.h"
#include "store/ErrorBD.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace fallos;

namespace {
class SinEscritura : public ::testing::TestWithParam<Accion>
{
protected:
    void TearDown() override
    {
        vfsfallos::desarmar();
        Conexion::cerrarTodas();
    }
};

// Ejecuta la acción esperando que no se haga; devuelve el error que ve el usuario.
ErrorBD fallida(const Accion& a, const Copia& c)
{
    try {
        a.ejecutar(c.carpeta());
    } catch (const ErrorBD& e) {
        return e;
    }
    return ErrorBD(0, "la acción se ha hecho");
}

} // namespace

TEST_P(SinEscritura, SoloLecturaAvisaYNoCambiaNada)
{
    const Accion& a = GetParam();
    Copia c;
    c.usar();
    vfsfallos::instalar();
    vfsfallos::soloLectura(true);
    const ErrorBD e = fallida(a, c);
    // Reparar no llega a escribir en el archivo, pero no lo compacta sin tomarlo en exclusiva.
    EXPECT_EQ(e.numero(), a.esCompactacion ? NumeroError::ErrorGeneral : NumeroError::SoloLectura)
        << e.descripcion().toStdString();
    EXPECT_TRUE(e.descripcion().contains("es de sólo lectura")) << e.descripcion().toStdString();
    EXPECT_TRUE(e.descripcion().contains("Quite el atributo de sólo lectura")) << e.descripcion().toStdString();
    if (a.esCompactacion) {
        EXPECT_FALSE(QFileInfo::exists(c.ruta("Evaluacion2.mdb")));
        EXPECT_TRUE(QDir(c.carpeta()).entryList({"*.bak"}, QDir::Files).isEmpty());
    }
    vfsfallos::desarmar();
    EXPECT_EQ(huella(c.archivo()), huellaAntes());
    EXPECT_EQ(integridad(c.archivo()), "ok");
    // Con el archivo otra vez de escritura, la acción se hace entera sin salir del programa.
    ASSERT_NO_THROW(a.ejecutar(c.carpeta()));
    Conexion::cerrarTodas();
    EXPECT_EQ(huella(c.archivo()), huellaDespues(a));
}

TEST_P(SinEscritura, BloqueadaPorOtroProcesoAvisaYNoCambiaNada)
{
    const Accion& a = GetParam();
    Copia c;
    c.usar();
    Bloqueador otro(c.archivo());
    ASSERT_EQ(otro.aviso(), "bloqueada");
    const ErrorBD e = fallida(a, c);
    if (a.esCompactacion) {
        EXPECT_EQ(e.numero(), NumeroError::BaseOcupada) << e.descripcion().toStdString();
        EXPECT_TRUE(e.descripcion().contains("Otro programa tiene abierta la base de datos"))
            << e.descripcion().toStdString();
        EXPECT_FALSE(QFileInfo::exists(c.ruta("Evaluacion2.mdb")));
        EXPECT_TRUE(QDir(c.carpeta()).entryList({"*.bak"}, QDir::Files).isEmpty());
    } else {
        EXPECT_EQ(e.numero(), NumeroError::BaseOcupada) << e.descripcion().toStdString();
        EXPECT_TRUE(e.descripcion().contains("está bloqueada por otro programa")) << e.descripcion().toStdString();
        EXPECT_TRUE(e.descripcion().contains("Cierre el otro programa")) << e.descripcion().toStdString();
    }
    otro.soltar();
    EXPECT_EQ(huella(c.archivo()), huellaAntes());
    EXPECT_EQ(integridad(c.archivo()), "ok");
    // Libre otra vez: la misma conexión hace la acción entera.
    ASSERT_NO_THROW(a.ejecutar(c.carpeta()));
    Conexion::cerrarTodas();
    EXPECT_EQ(huella(c.archivo()), huellaDespues(a));
}

INSTANTIATE_TEST_SUITE_P(Acciones, SinEscritura, ::testing::ValuesIn(acciones()),
                         [](const ::testing::TestParamInfo<Accion>& i) { return std::string(i.param.id); });
