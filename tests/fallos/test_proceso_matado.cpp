// Un proceso matado (SIGKILL) en medio de una acción de varias filas deja una base de datos sana
// con la acción entera o sin ella, y el programa sigue trabajando con ella. El proceso hijo se para
// justo antes de una escritura concreta en el disco (o con esa escritura a medias) y el padre lo
// mata; se recorren todas las escrituras de la acción y del cierre que la sigue.
#include "Escenario.h"
#include "VfsFallos.h"
#include "repair/Compactacion.h"
#include "store/Conexion.h"

#include <QFile>
#include <QFileInfo>
#include <climits>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace fallos;

namespace {
// Corre la acción en un hijo sobre la copia y lo mata en cuanto avisa de que se ha parado.
// Devuelve "parado" o, si terminó sin pararse, "fin:hecha N" con las escrituras que hizo.
QByteArray matarEn(const Accion& a, const Copia& c, int escritura, bool aMedias, int renombrado = 0)
{
    Hijo hijo([&](Hijo& yo) -> QString {
        c.usar();
        if (!a.esCompactacion)
            Conexion::obtener(conexionEnUso());
        const auto parar = [&yo] {
            yo.avisar("parado");
            for (;;)
                ::pause();
        };
        vfsfallos::desarmar();
        if (escritura > 0)
            vfsfallos::pararEnEscritura(escritura, aMedias, parar);
        int cambios = 0;
        if (renombrado > 0)
            alRenombrar([&] {
                if (++cambios == renombrado)
                    parar();
            });
        a.ejecutar(c.carpeta());
        Conexion::cerrarTodas();
        return QStringLiteral("hecha %1").arg(vfsfallos::escrituras());
    });
    const QByteArray r = hijo.esperar();
    hijo.matar();
    return r;
}

// Lo que debe cumplirse tras matar el proceso: archivo sano, la acción entera o nada, y el
// programa puede seguir (si no quedó hecha, hacerla ahora la deja como si nunca hubiera fallado).
void comprobarTrasMatar(const Accion& a, const Copia& c, const QString& donde)
{
    SCOPED_TRACE(donde.toStdString());
    ASSERT_TRUE(QFileInfo::exists(c.archivo())) << "falta Evaluacion.mdb";
    EXPECT_EQ(integridad(c.archivo()), "ok");
    const Huella h = huella(c.archivo());
    const bool nada = h == huellaAntes();
    const bool entera = h == huellaDespues(a);
    ASSERT_TRUE(nada || entera) << "a medias: " << h.resumen.toStdString()
                                << "\nantes:   " << huellaAntes().resumen.toStdString()
                                << "\ndespués: " << huellaDespues(a).resumen.toStdString();
    c.usar();
    if (nada || a.esCompactacion) {
        ASSERT_NO_THROW(a.ejecutar(c.carpeta()));
        Conexion::cerrarTodas();
        EXPECT_EQ(huella(c.archivo()), huellaDespues(a));
        EXPECT_EQ(integridad(c.archivo()), "ok");
    } else {
        EXPECT_NO_THROW(Conexion::obtener(conexionEnUso()));
    }
    Conexion::cerrarTodas();
}

class ProcesoMatado : public ::testing::TestWithParam<Accion>
{
};
} // namespace

TEST_P(ProcesoMatado, EnCadaEscrituraQuedaEnteraONada)
{
    const Accion& a = GetParam();
    int total = 0;
    {
        Copia c;
        const QByteArray r = matarEn(a, c, 0, false);
        ASSERT_TRUE(r.startsWith("fin:hecha ")) << r.toStdString();
        total = r.mid(10).toInt();
        EXPECT_EQ(huella(c.archivo()), huellaDespues(a));
    }
    ASSERT_GT(total, 1) << "la acción no escribe en el disco";
    // Todas las escrituras si son pocas; si no, unas cuarenta repartidas, con la primera y la última.
    std::vector<int> puntos;
    const int maximo = 40;
    for (int i = 0; i < std::min(total, maximo); ++i)
        puntos.push_back(total <= maximo ? i + 1 : 1 + int((long long)i * (total - 1) / (maximo - 1)));
    int entera = 0, nada = 0;
    for (size_t i = 0; i < puntos.size(); ++i) {
        // Unas veces justo antes de la escritura, otras con ella a medias.
        const bool aMedias = i % 2 == 1;
        Copia c;
        const QByteArray r = matarEn(a, c, puntos[i], aMedias);
        ASSERT_EQ(r, "parado") << "escritura " << puntos[i];
        const Huella h = huella(c.archivo());
        (h == huellaAntes() ? nada : entera) += 1;
        comprobarTrasMatar(a, c,
                           QStringLiteral("%1, escritura %2 de %3%4")
                               .arg(a.nombre)
                               .arg(puntos[i])
                               .arg(total)
                               .arg(aMedias ? QStringLiteral(" (a medias)") : QString()));
        if (HasFatalFailure())
            return;
    }
    // Se ha matado de verdad antes y después de confirmar (salvo al compactar, que no cambia datos).
    if (!a.esCompactacion) {
        EXPECT_GT(nada, 0);
        EXPECT_GT(entera, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Acciones, ProcesoMatado, ::testing::ValuesIn(acciones()),
                         [](const ::testing::TestParamInfo<Accion>& i) { return std::string(i.param.id); });

TEST(ProcesoMatadoCompactando, EntreLosCambiosDeNombreNuncaFaltaLaBaseDeDatos)
{
    const Accion& compactar = acciones().back();
    ASSERT_TRUE(compactar.esCompactacion);
    int parados = 0;
    for (int k = 1;; ++k) {
        Copia c;
        // Con una copia anterior, que no debe perderse.
        ASSERT_TRUE(QFile::copy(c.archivo(), c.ruta("Evaluacion 2020-01-01 00.00.00.bak")));
        const QByteArray r = matarEn(compactar, c, 0, false, k);
        if (r.startsWith("fin:")) {
            ASSERT_TRUE(r.startsWith("fin:hecha")) << r.toStdString();
            break;
        }
        ASSERT_EQ(r, "parado");
        ++parados;
        comprobarTrasMatar(compactar, c, QStringLiteral("antes del cambio de nombre %1").arg(k));
        if (HasFatalFailure())
            return;
        EXPECT_TRUE(QFileInfo::exists(c.ruta("Evaluacion 2020-01-01 00.00.00.bak")));
    }
    // Con enlaces duros la compactada entra con un solo cambio de nombre.
    EXPECT_GE(parados, 1);
}
