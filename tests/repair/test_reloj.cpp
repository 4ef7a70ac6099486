// Cuenta del reloj de Reparar y las cifras que enseña.
#include "repair/RelojReparar.h"

#include <QString>
#include <gtest/gtest.h>

namespace {
QString cifrasTras(int segundos)
{
    RelojReparar r;
    for (int i = 0; i < segundos; ++i)
        r.avanzar();
    const auto c = r.cifras();
    return QString(c.data(), 4);
}
} // namespace

TEST(RelojReparar, CuentaMinutosYSegundos)
{
    EXPECT_EQ(cifrasTras(0), "0000");
    EXPECT_EQ(cifrasTras(1), "0001");
    EXPECT_EQ(cifrasTras(59), "0059");
    EXPECT_EQ(cifrasTras(60), "0100");
    EXPECT_EQ(cifrasTras(61), "0101");
    EXPECT_EQ(cifrasTras(99 * 60 + 59), "9959");
}

TEST(RelojReparar, DesdeLosCienMinutosMuestraLaPrimeraYLaUltimaCifra)
{
    EXPECT_EQ(cifrasTras(100 * 60), "1000");
    EXPECT_EQ(cifrasTras(123 * 60 + 45), "1345");
    RelojReparar r;
    r.Minutos = 1234;
    EXPECT_EQ(QString(r.cifras().data(), 4), "1400");
}

TEST(RelojReparar, NoDaLaVueltaANegativo)
{
    RelojReparar r;
    r.Minutos = 32767;
    r.Segundos = 59;
    r.avanzar();
    EXPECT_EQ(r.Minutos, 32767);
    EXPECT_EQ(r.Segundos, 0);
}
