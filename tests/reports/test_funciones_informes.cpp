// Las funciones SQL de las plantillas de los informes dan lo mismo en el archivo (las de SQLite, o las
// que el programa le añade) y en el servidor (las suyas, o las que el programa crea en él).
#include "BaseConCatalogo.h"

#include <gtest/gtest.h>

namespace {
class FuncionesInformes : public ::testing::Test
{
protected:
    // Todas las filas de la consulta, cada una en una línea con sus columnas separadas por "|".
    static QStringList filas(const QString& cx, const QString& sql, const QVariantList& valores = {})
    {
        QStringList r;
        for (const QVariantList& fila : Conexion::obtener(cx)->leerFilas(sql, valores)) {
            QStringList celdas;
            for (const QVariant& v : fila)
                celdas << (v.isNull() ? QStringLiteral("NULL") : v.toString());
            r << celdas.join(QLatin1Char('|'));
        }
        return r;
    }
    // Compara la consulta en los dos motores y devuelve lo del archivo.
    QStringList igualEnLosDos(const QString& sql, const QVariantList& valores = {})
    {
        const QStringList enArchivo = filas(archivo.texto(), sql, valores);
        EXPECT_EQ(filas(servidor.texto(), sql, valores), enArchivo) << sql.toStdString();
        return enArchivo;
    }

    BaseConCatalogo archivo{false};
    BaseConCatalogo servidor{true};
};

TEST_F(FuncionesInformes, ElNumeroConQueEmpiezaUnTexto)
{
    const QVariant textos[] = {"12 personas",
                               "  -7 x",
                               "+3",
                               "muchos",
                               "",
                               "\t\n42",
                               "007",
                               "1e3",
                               "9223372036854775807",
                               "9223372036854775808",
                               "-9223372036854775808",
                               "-9223372036854775809",
                               "123456789012345678901234",
                               QVariant()};
    QStringList vistos;
    for (const QVariant& t : textos)
        vistos << igualEnLosDos(QStringLiteral("SELECT EnteroDeTexto(?)"), {t});
    EXPECT_EQ(vistos.join(' '), "12 -7 3 0 0 42 7 1 9223372036854775807 9223372036854775807 -9223372036854775808 "
                                "-9223372036854775808 9223372036854775807 0");
}

TEST_F(FuncionesInformes, CaracteresPosicionesYNumerosConFormato)
{
    EXPECT_EQ(igualEnLosDos(QStringLiteral("SELECT chr(9) || chr(10) || chr(13) || chr(241) || chr(8364)")),
              QStringList{QStringLiteral("\t\n\rñ€")});
    igualEnLosDos(QStringLiteral("SELECT instr('Ana\nLuis', chr(10)), instr('Ana', 'x'), instr('', chr(10)), "
                                 "instr(NULL, 'a')"));
    for (const QVariant& v : {QVariant(5), QVariant(42), QVariant(1234), QVariant(-5), QVariant(0), QVariant(7.9),
                              QVariant(-0.4), QVariant()})
        igualEnLosDos(QStringLiteral("SELECT printf('%03d', ?), printf('%d', ?), printf('%5d', ?)"), {v, v, v});
    for (const QVariant& v :
         {QVariant(38), QVariant(0.125), QVariant(2.375), QVariant(-1.5), QVariant(1e-9), QVariant()})
        igualEnLosDos(QStringLiteral("SELECT printf('%.2f', ?), printf('%.0f', ?)"), {v, v});
    // Las barras del gráfico: cada número de riesgos de un nivel frente al mayor, hasta 60.
    const QStringList barras = igualEnLosDos(QStringLiteral(
        "WITH RECURSIVE n (x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 60), "
        "k (y) AS (SELECT 0 UNION ALL SELECT y + 1 FROM k WHERE y < 60) "
        "SELECT x, y, printf('%.2f', 76.0 * y / x), printf('%.2f', 76.0 - 76.0 * y / x) FROM n, k WHERE y <= x "
        "ORDER BY x, y"));
    EXPECT_EQ(barras.size(), 60 * 63 / 2);
    EXPECT_TRUE(barras.contains(QStringLiteral("3|1|25.33|50.67")));
}

// Las fechas de las plantillas: la próxima revisión y los plazos de las líneas del plan.
TEST_F(FuncionesInformes, FechasConSusModificadores)
{
    QStringList vistas;
    for (const char* fecha : {"2024-01-31", "2023-01-31", "2024-02-29", "2025-12-31", "2026-03-31", "2026-08-15"}) {
        for (const char* cambio : {"+1 year", "+0 months", "+1 months", "+6 months", "+13 months", "-1 day", "+1 day",
                                   "start of month", "-2 months", "+1 hora"})
            vistas << igualEnLosDos(QStringLiteral("SELECT date(?, ?)"), {fecha, cambio});
        for (int meses : {0, 1, 2, 7, 12})
            vistas << igualEnLosDos(QStringLiteral("SELECT date(?, 'start of month', '+' || ? || ' months', '-1 day')"),
                                    {fecha, meses});
    }
    for (const QVariant& nada : {QVariant(), QVariant("mañana"), QVariant("")})
        vistas << igualEnLosDos(QStringLiteral("SELECT date(?, '+1 year')"), {nada});
    EXPECT_EQ(vistas.at(2), "2024-03-02");
    EXPECT_EQ(vistas.at(15 + 2), "2023-03-03");
    EXPECT_EQ(vistas.at(2 * 15 + 0), "2025-03-01");
    EXPECT_EQ(vistas.at(9), "NULL");
}

// Ordenar con COLLATE "C" es ordenar por bytes en los dos, sin que cuenten el idioma ni las tildes.
TEST_F(FuncionesInformes, LaOrdenacionCEsPorBytes)
{
    EXPECT_EQ(igualEnLosDos(QStringLiteral("SELECT x FROM (SELECT 'b' AS x UNION ALL SELECT 'B' UNION ALL SELECT 'á' "
                                           "UNION ALL SELECT 'a' UNION ALL SELECT 'Z' UNION ALL SELECT 'ab') AS v "
                                           "ORDER BY x COLLATE \"C\"")),
              (QStringList{"B", "Z", "a", "ab", "b", "á"}));
}
} // namespace
