// Alta de un puesto con su copia del catálogo de factores, y el valor numérico de los textos.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "evaluation/DatosPuesto.h"
#include "store/ErrorBD.h"

#include <gtest/gtest.h>

using datos::contar;

TEST(ValorNumerico, ElNumeroConQueEmpiezaElTexto)
{
    EXPECT_EQ(ValorNumerico("12"), 12);
    EXPECT_EQ(ValorNumerico("3 personas"), 3);
    EXPECT_EQ(ValorNumerico("0"), 0);
    EXPECT_EQ(ValorNumerico(""), 0);
    EXPECT_EQ(ValorNumerico("abc"), 0);
    EXPECT_EQ(ValorNumerico("   7"), 7);
    EXPECT_EQ(ValorNumerico("1 2"), 12);
    EXPECT_EQ(ValorNumerico("2.5 horas"), 2.5);
    EXPECT_EQ(ValorNumerico("-4"), -4);
    EXPECT_EQ(ValorNumerico("12,5"), 12);
    EXPECT_EQ(ValorNumerico("."), 0);
    EXPECT_EQ(ValorNumerico("1e3"), 1000);
    EXPECT_EQ(ValorNumerico("1e"), 1);
}

class AltaPuestoPrueba : public ::testing::Test
{
protected:
    CopiaPrograma p;
    QString cx = p.conexion();
    long long empresa = 0, centro = 0;
    void SetUp() override
    {
        empresa = datos::empresa(cx);
        centro = datos::centro(cx, empresa);
    }
    long long alta(const QString& nombre = "Panadero")
    {
        return AnadirPuestoConFactores(cx, {centro, empresa, nombre, "Elabora pan", "3 personas", "Trabajador menor"});
    }
};

TEST_F(AltaPuestoPrueba, CadaPuestoRecibeSuCopiaDelCatalogoSinMarcar)
{
    const long long catalogo = contar(cx, "select count(*) from FactoresRiesgos");
    ASSERT_GT(catalogo, 0);
    const long long id = alta();
    EXPECT_EQ(contar(cx,
                     "select count(*) from FactoresSeleccionarEvaluacion where IDPuestoCentro = ? and "
                     "FactorSelecionado = 'N' and IDEmpresa = ? and IDCentro = ?",
                     {id, empresa, centro}),
              catalogo);
    EXPECT_EQ(contar(cx,
                     "select count(*) from FactoresSeleccionarEvaluacion s join FactoresRiesgos f using (IDFactor) "
                     "where s.IDPuestoCentro = ? and s.Factor = f.Factor",
                     {id}),
              catalogo);
    Recordset rs;
    rs.open("select NTrabajadores, Fecha from PuestosCentros where IDPuestoCentro = ?", cx, {id});
    EXPECT_EQ(rs.value(0).toString(), "3 personas");
    EXPECT_TRUE(rs.value(1).toDateTime().isValid());

    // Un factor nuevo del catálogo sólo llega a los puestos que se den de alta después.
    Recordset::execute("insert into FactoresRiesgos (IDFactor, Factor) values (99999, 'Factor añadido después')", cx);
    const long long nuevo = alta("Panadero");
    EXPECT_EQ(contar(cx,
                     "select count(*) from FactoresSeleccionarEvaluacion where IDFactor = 99999 and "
                     "IDPuestoCentro = ?",
                     {id}),
              0);
    EXPECT_EQ(contar(cx,
                     "select count(*) from FactoresSeleccionarEvaluacion where IDFactor = 99999 and "
                     "IDPuestoCentro = ?",
                     {nuevo}),
              1);

    // Con el catálogo vacío, el puesto no recibe ninguna fila.
    Recordset::execute("delete from Medidas", cx);
    Recordset::execute("delete from RiesgosFactores", cx);
    Recordset::execute("delete from FactoresRiesgos", cx);
    const long long sinCatalogo = alta("Cajero");
    EXPECT_EQ(contar(cx, "select count(*) from FactoresSeleccionarEvaluacion where IDPuestoCentro = ?", {sinCatalogo}),
              0);
}

TEST_F(AltaPuestoPrueba, UnFalloAMitadNoDejaNiPuestoNiFactores)
{
    Recordset::execute(
        "CREATE TRIGGER PruebaFallo BEFORE INSERT ON FactoresSeleccionarEvaluacion WHEN "
        "NEW.IDFactor = (SELECT max(IDFactor) FROM FactoresRiesgos) BEGIN SELECT RAISE(ABORT, 'fallo'); END",
        cx);
    EXPECT_THROW(alta(), ErrorBD);
    EXPECT_EQ(contar(cx, "select count(*) from PuestosCentros"), 0);
    EXPECT_EQ(contar(cx, "select count(*) from FactoresSeleccionarEvaluacion"), 0);
}
