// Disco lleno en medio de cada acción de varias filas: el usuario recibe el mensaje del almacén
// (3026, en castellano, diciendo qué hacer), no se pierde ni se deja a medias nada, y la misma
// conexión sigue sirviendo: en cuanto hay sitio, la acción se hace entera.
#include "Escenario.h"
#include "VfsFallos.h"
#include "store/Conexion.h"
#include "store/ErrorBD.h"

#include <QFileInfo>
#include <gtest/gtest.h>
#include <set>

using namespace fallos;

namespace {
struct Caso
{
    Accion accion;
    bool cachePequena; // con una caché de páginas mínima, SQLite escribe en mitad de la transacción
};

void PrintTo(const Caso& c, std::ostream* os)
{
    *os << c.accion.id << (c.cachePequena ? "_CachePequena" : "");
}

void abrir(const Caso& caso)
{
    if (caso.accion.esCompactacion)
        return;
    auto con = Conexion::obtener(conexionEnUso());
    if (caso.cachePequena)
        con->ejecutar("PRAGMA cache_size = 1");
}

// Bytes que escribe la acción hecha sin fallos.
long long bytesDe(const Caso& caso)
{
    Copia c;
    c.usar();
    abrir(caso);
    vfsfallos::desarmar();
    caso.accion.ejecutar(c.carpeta());
    const long long bytes = vfsfallos::bytesEscritos();
    Conexion::cerrarTodas();
    vfsfallos::desarmar();
    return bytes;
}

class DiscoLleno : public ::testing::TestWithParam<Caso>
{
protected:
    void TearDown() override { vfsfallos::desarmar(); }
};

std::vector<Caso> casos()
{
    std::vector<Caso> lista;
    for (const Accion& a : acciones()) {
        lista.push_back({a, false});
        if (!a.esCompactacion)
            lista.push_back({a, true});
    }
    return lista;
}
} // namespace

TEST_P(DiscoLleno, AvisaYNoPierdeNiDejaAMediasNada)
{
    const Caso& caso = GetParam();
    const Accion& a = caso.accion;
    const long long total = bytesDe(caso);
    ASSERT_GT(total, 0);
    // Sin sitio para nada, para la primera página, y a un cuarto, la mitad, tres cuartos y un byte
    // del final de lo que escribe la acción.
    std::set<long long> limites = {0, 1, 4096 + 24, total / 4, total / 2, total * 3 / 4, total - 1};
    for (long long limite : limites) {
        if (limite >= total)
            continue;
        SCOPED_TRACE(QStringLiteral("%1: caben %2 de %3 bytes").arg(a.nombre).arg(limite).arg(total).toStdString());
        Copia c;
        c.usar();
        abrir(caso);
        vfsfallos::limitarEspacio(limite);
        try {
            a.ejecutar(c.carpeta());
            ADD_FAILURE() << "sin sitio en el disco y la acción dice que se ha hecho";
        } catch (const ErrorBD& e) {
            EXPECT_EQ(e.numero(), NumeroError::DiscoLleno) << e.descripcion().toStdString();
            EXPECT_TRUE(e.descripcion().contains("No queda espacio en el disco")) << e.descripcion().toStdString();
            EXPECT_TRUE(e.descripcion().contains("Libere") || e.descripcion().contains("libere"));
        }
        vfsfallos::desarmar();
        // Nada perdido ni a medias: otra conexión ve la base de datos de antes, sana.
        EXPECT_EQ(integridad(c.archivo()), "ok");
        EXPECT_EQ(huella(c.archivo()), huellaAntes()) << huella(c.archivo()).resumen.toStdString();
        if (a.esCompactacion) {
            EXPECT_FALSE(QFileInfo::exists(c.ruta("Evaluacion2.mdb")));
        }
        // Con sitio otra vez, la misma conexión hace la acción entera.
        ASSERT_NO_THROW(a.ejecutar(c.carpeta()));
        Conexion::cerrarTodas();
        EXPECT_EQ(huella(c.archivo()), huellaDespues(a));
        EXPECT_EQ(integridad(c.archivo()), "ok");
        if (HasFatalFailure())
            return;
    }
}

INSTANTIATE_TEST_SUITE_P(Acciones, DiscoLleno, ::testing::ValuesIn(casos()),
                         [](const ::testing::TestParamInfo<Caso>& i) {
                             return std::string(i.param.accion.id) + (i.param.cachePequena ? "_CachePequena" : "");
                         });
