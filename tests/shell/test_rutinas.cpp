#include "shell/Rutinas.h"

#include <QLocale>
#include <gtest/gtest.h>

TEST(Rutinas, NuloATextoSoloCambiaElNulo)
{
    EXPECT_EQ(NuloATexto(QVariant()).toString(), QString());
    EXPECT_EQ(NuloATexto(QVariant()).typeId(), QMetaType::QString);
    EXPECT_EQ(NuloATexto(QVariant(0)), QVariant(0));
    EXPECT_EQ(NuloATexto(QVariant(QStringLiteral("Almacén"))), QVariant(QStringLiteral("Almacén")));
}

TEST(Rutinas, NuloACeroSoloCambiaNuloYTextoVacio)
{
    EXPECT_EQ(NuloACero(QVariant()), QVariant(0));
    EXPECT_EQ(NuloACero(QVariant(QString())), QVariant(0));
    EXPECT_EQ(NuloACero(QVariant(QStringLiteral(""))), QVariant(0));
    // Lo demás pasa tal cual, aunque no sea un número.
    EXPECT_EQ(NuloACero(QVariant(QStringLiteral("12"))), QVariant(QStringLiteral("12")));
    EXPECT_EQ(NuloACero(QVariant(QStringLiteral("   "))), QVariant(QStringLiteral("   ")));
    EXPECT_EQ(NuloACero(QVariant(QStringLiteral("doce"))), QVariant(QStringLiteral("doce")));
    EXPECT_EQ(NuloACero(QVariant(25)), QVariant(25));
}

TEST(Rutinas, RellenarCerosConAnchuraCuatro)
{
    EXPECT_EQ(RellenarCeros(7, 4), QStringLiteral("0007"));
    EXPECT_EQ(RellenarCeros(5, 4), QStringLiteral("0005"));
    EXPECT_EQ(RellenarCeros(123, 4), QStringLiteral("0123"));
    EXPECT_EQ(RellenarCeros(4567, 4), QStringLiteral("4567"));
    EXPECT_EQ(RellenarCeros(9999, 4), QStringLiteral("9999"));
    EXPECT_EQ(RellenarCeros(12345, 4), QString());
    EXPECT_EQ(RellenarCeros(10000, 4), QString());
}

TEST(Rutinas, RellenarCerosConAnchurasRaras)
{
    EXPECT_EQ(RellenarCeros(7, 0), QString());
    EXPECT_EQ(RellenarCeros(7, -3), QString());
    EXPECT_EQ(RellenarCeros(12, 2), QStringLiteral("12"));
}

class Contador : public ::testing::Test
{
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

TEST_F(Contador, AgrupaLosMilesConElSeparadorDelIdioma)
{
    EXPECT_EQ(TextoContador(1, 1250), QStringLiteral("1 de 1.250"));
    EXPECT_EQ(TextoContador(1250, 1250), QStringLiteral("1.250 de 1.250"));
    EXPECT_EQ(TextoContador(3, 1234567), QStringLiteral("3 de 1.234.567"));
    EXPECT_EQ(TextoContador(12, 999), QStringLiteral("12 de 999"));
}

TEST_F(Contador, ConjuntoVacioYCeroEnBlanco)
{
    EXPECT_EQ(TextoContador(0, 0), QStringLiteral("0 de 0"));
    EXPECT_EQ(TextoContador(-1, 0), QStringLiteral("0 de 0"));
    EXPECT_EQ(FormatoMiles(0), QString());
    EXPECT_EQ(FormatoMiles(-1500), QStringLiteral("-1.500"));
}

TEST(Rutinas, RutasDentroDeLaCarpetaDelPrograma)
{
    FijarCarpetaPrograma(QStringLiteral("/opt/Prog/"));
    EXPECT_EQ(CarpetaPrograma(), QStringLiteral("/opt/Prog"));
    EXPECT_EQ(RutaEnPrograma(QStringLiteral("Ayuda/Puestos.pdf")), QStringLiteral("/opt/Prog/Ayuda/Puestos.pdf"));
#ifndef Q_OS_WIN
    EXPECT_EQ(rutaPrograma(CarpetaPrograma(), QStringLiteral("Reparar")), QStringLiteral("/opt/Prog/Reparar"));
#endif
    FijarCarpetaPrograma({});
}
