// Generación de riesgos y medidas al marcar un factor, y su retirada al desmarcarlo, en el archivo y
// en el servidor.
#include "Datos.h"
#include "evaluation/GeneracionRiesgos.h"
#include "evaluation/MatrizRiesgo.h"
#include "postgres/BaseConCatalogo.h"
#include "store/ErrorBD.h"

#include <gtest/gtest.h>

using datos::contar;

namespace {
// Catálogo propio de la prueba: factores 9001.. y riesgos 901.., para no depender del entregado.
class GeneracionPrueba : public ::testing::TestWithParam<bool>
{
protected:
    BaseConCatalogo base{GetParam()};
    QString cx = base.texto();
    long long empresa = 0, centro = 0, puesto = 0, otroPuesto = 0;

    // Un disparador que rechaza la orden "antesDe" ("UPDATE OF Columna", "INSERT") en la tabla
    // cuando se cumple "cuando", para hacer fallar una acción a mitad. Cada motor los escribe a su
    // manera: el servidor pide una función aparte.
    void fallarAntesDe(const QString& nombre, const QString& antesDe, const QString& tabla, const QString& cuando = {})
    {
        auto c = Conexion::obtener(cx);
        if (!GetParam()) {
            c->ejecutar(QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 %4 BEGIN SELECT RAISE(ABORT, "
                                       "'fallo provocado'); END")
                            .arg(nombre, antesDe, tabla, cuando.isEmpty() ? QString() : "WHEN " + cuando));
            return;
        }
        c->ejecutar(QStringLiteral("CREATE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN RAISE "
                                   "EXCEPTION 'fallo provocado'; END$$")
                        .arg(nombre));
        c->ejecutar(QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 FOR EACH ROW %4 EXECUTE FUNCTION %1()")
                        .arg(nombre, antesDe, tabla, cuando.isEmpty() ? QString() : "WHEN (" + cuando + ")"));
    }
    void quitarDisparador(const QString& nombre, const QString& tabla)
    {
        Conexion::obtener(cx)->ejecutar(GetParam() ? QStringLiteral("DROP TRIGGER %1 ON %2").arg(nombre, tabla)
                                                   : QStringLiteral("DROP TRIGGER %1").arg(nombre));
    }

    void SetUp() override
    {
        auto c = Conexion::obtener(cx);
        for (int r : {901, 902, 903})
            c->ejecutar("INSERT INTO Riesgos (IDRiesgo, Riesgo) VALUES (?, ?)",
                        {r, QStringLiteral("Riesgo %1").arg(r)});
        for (int f : {9001, 9002, 9003, 9004, 9005})
            c->ejecutar("INSERT INTO FactoresRiesgos (IDFactor, Factor) VALUES (?, ?)",
                        {f, QStringLiteral("Factor %1").arg(f)});
        // 9001: riesgos 901 y 902. 9002 y 9003: 901. 9004: ninguno. 9005: 903 sin medidas.
        for (auto [f, r] : std::initializer_list<std::pair<int, int>>{
                 {9001, 901}, {9001, 902}, {9002, 901}, {9003, 901}, {9005, 903}})
            c->ejecutar("INSERT INTO RiesgosFactores (IDFactor, IDRiesgo) VALUES (?, ?)", {f, r});
        for (auto [f, r, n] : std::initializer_list<std::tuple<int, int, int>>{
                 {9001, 901, 3}, {9001, 902, 2}, {9002, 901, 2}, {9003, 901, 1}})
            for (int i = 0; i < n; ++i)
                c->ejecutar("INSERT INTO Medidas (IDFactor, IDRiesgo, Medida) VALUES (?, ?, ?)",
                            {f, r, QStringLiteral("Medida %1-%2-%3").arg(f).arg(r).arg(i)});
        empresa = datos::empresa(cx);
        centro = datos::centro(cx, empresa);
        puesto = datos::puesto(cx, centro, "Carnicero");
        otroPuesto = datos::puesto(cx, centro, "Cajera");
    }

    FilaFactor marcar(long long pu, long long factor)
    {
        FilaFactor f{datos::factor(cx, pu, factor, "S"), factor, pu, empresa, centro};
        GenerarRiesgos(cx, f);
        return f;
    }
    QString mostrar(long long pu, int riesgo)
    {
        Recordset rs;
        rs.open("select Mostrar from Evaluacion where IDPuestoCentro = ? and IDRiesgo = ? order by IDEvaluacion", cx,
                {pu, riesgo});
        QString r;
        while (!rs.eof()) {
            r += rs.value(0).toString();
            rs.moveNext();
        }
        return r;
    }
};
} // namespace

TEST_P(GeneracionPrueba, FilasYMedidasDeCadaRiesgoDelFactor)
{
    const FilaFactor f = marcar(puesto, 9001);
    EXPECT_EQ(contar(cx, "select count(*) from Evaluacion where IDEvaluacionCrear = ?", {f.idEvaluacionCrear}), 2);
    EXPECT_EQ(contar(cx,
                     "select count(*) from Evaluacion where IDEvaluacionCrear = ? and IDEmpresa = ? and "
                     "IDCentro = ? and IDPuestoCentro = ? and IDFactor = 9001 and Mostrar = 'S' and "
                     "Probabilidad is null and ValorRiesgo is null",
                     {f.idEvaluacionCrear, empresa, centro, puesto}),
              2);
    EXPECT_EQ(contar(cx,
                     "select count(*) from VFactoresMedidas where IDPuestoCentro = ? and IDRiesgo = 901 and "
                     "MarcarMedida is null",
                     {puesto}),
              3);
    EXPECT_EQ(contar(cx, "select count(*) from VFactoresMedidas where IDPuestoCentro = ? and IDRiesgo = 902", {puesto}),
              2);

    // Un factor sin riesgos no escribe nada; un riesgo sin medidas escribe su fila sola.
    marcar(puesto, 9004);
    EXPECT_EQ(contar(cx, "select count(*) from Evaluacion where IDFactor = 9004"), 0);
    marcar(puesto, 9005);
    EXPECT_EQ(contar(cx, "select count(*) from Evaluacion where IDFactor = 9005"), 1);
    EXPECT_EQ(contar(cx, "select count(*) from VFactoresMedidas where IDFactor = 9005"), 0);
}

TEST_P(GeneracionPrueba, UnRiesgoCompartidoSeMuestraUnaVezPorPuesto)
{
    marcar(puesto, 9001);
    marcar(puesto, 9002);
    marcar(puesto, 9003);
    EXPECT_EQ(mostrar(puesto, 901), "SNN");
    // En otro puesto la visibilidad se decide dentro de ese puesto.
    marcar(otroPuesto, 9002);
    EXPECT_EQ(mostrar(otroPuesto, 901), "S");
}

TEST_P(GeneracionPrueba, QuitarDejaUnaFilaMostradaPorRiesgoYNoTocaOtrosPuestos)
{
    const FilaFactor f1 = marcar(puesto, 9001);
    marcar(puesto, 9002);
    marcar(puesto, 9003);
    const FilaFactor otro1 = marcar(otroPuesto, 9001);
    marcar(otroPuesto, 9002);
    Recordset::execute("update Evaluacion set Probabilidad = 'Alta', Consecuencias = 'Dañino', "
                       "ValorRiesgo = 'Riesgo Importante' where IDEvaluacionCrear = ? and IDRiesgo = 901",
                       cx, {f1.idEvaluacionCrear});

    // Se quita el factor dueño de la fila mostrada del riesgo compartido.
    QuitarRiesgos(cx, f1.idEvaluacionCrear);
    EXPECT_EQ(mostrar(puesto, 901), "SN");
    EXPECT_EQ(mostrar(puesto, 902), "");
    // Lo evaluado pasa a la fila que ahora se muestra.
    EXPECT_EQ(contar(cx,
                     "select count(*) from Evaluacion where IDPuestoCentro = ? and IDRiesgo = 901 and "
                     "Mostrar = 'S' and ValorRiesgo = 'Riesgo Importante'",
                     {puesto}),
              1);
    // Sus medidas se han ido con sus filas; las del otro puesto siguen.
    EXPECT_EQ(contar(cx,
                     "select count(*) from MedidasFactores m join Evaluacion e using (IDEvaluacion) "
                     "where e.IDFactor = 9001 and e.IDPuestoCentro = ?",
                     {puesto}),
              0);
    EXPECT_EQ(contar(cx, "select count(*) from MedidasFactores where IDEvaluacion not in (select IDEvaluacion from "
                         "Evaluacion)"),
              0);
    EXPECT_EQ(mostrar(otroPuesto, 901), "SN");
    EXPECT_EQ(mostrar(otroPuesto, 902), "S");

    // Quitar una fila que no generó nada no hace nada.
    const long long vacia = datos::factor(cx, puesto, 9004, "S");
    const long long antes = contar(cx, "select count(*) from Evaluacion");
    QuitarRiesgos(cx, vacia);
    EXPECT_EQ(contar(cx, "select count(*) from Evaluacion"), antes);

    // Quitar una oculta deja la mostrada como estaba.
    QuitarRiesgos(cx, otro1.idEvaluacionCrear);
    EXPECT_EQ(mostrar(otroPuesto, 901), "S");
}

TEST_P(GeneracionPrueba, UnaGeneracionQueFallaNoDejaNada)
{
    fallarAntesDe("PruebaFallo", "INSERT", "MedidasFactores", "NEW.Medida = 'Medida 9001-902-1'");
    const long long fila = datos::factor(cx, puesto, 9001, "S");
    EXPECT_THROW(GenerarRiesgos(cx, {fila, 9001, puesto, empresa, centro}), ErrorBD);
    EXPECT_EQ(contar(cx, "select count(*) from Evaluacion"), 0);
    EXPECT_EQ(contar(cx, "select count(*) from MedidasFactores"), 0);
}

TEST(MatrizRiesgo, LasNueveCombinacionesYLosGradosQueNoValen)
{
    EXPECT_EQ(NivelRiesgo("Media", "Dañino"), "Riesgo Moderado");
    EXPECT_EQ(NivelRiesgo("Alta", "Extremadamente dañino"), "Riesgo Intolerable");
    EXPECT_EQ(NivelRiesgo("Baja", "Ligeramente dañino"), "Riesgo Trivial");
    EXPECT_EQ(NivelRiesgo("Baja", "Dañino"), "Riesgo Tolerable");
    EXPECT_EQ(NivelRiesgo("Baja", "Extremadamente dañino"), "Riesgo Moderado");
    EXPECT_EQ(NivelRiesgo("Media", "Ligeramente dañino"), "Riesgo Tolerable");
    EXPECT_EQ(NivelRiesgo("Media", "Extremadamente dañino"), "Riesgo Importante");
    EXPECT_EQ(NivelRiesgo("Alta", "Ligeramente dañino"), "Riesgo Moderado");
    EXPECT_EQ(NivelRiesgo("Alta", "Dañino"), "Riesgo Importante");
    // Mayúsculas y blancos a los lados no cuentan; la "d" minúscula que se ve en la lista tampoco.
    EXPECT_EQ(NivelRiesgo("  ALTA ", "dañino"), "Riesgo Importante");
    EXPECT_EQ(NivelRiesgo("media", " EXTREMADAMENTE DAÑINO"), "Riesgo Importante");
    EXPECT_EQ(NivelRiesgo("Media", ""), "");
    EXPECT_EQ(NivelRiesgo("", "Dañino"), "");
    EXPECT_EQ(NivelRiesgo("Muy alta", "Dañino"), "");
    EXPECT_EQ(NivelRiesgo("Media", "Daño"), "");
}

TEST_P(GeneracionPrueba, LasOcultasTomanLaEvaluacionDeLaMostradaDeSuPuesto)
{
    marcar(puesto, 9001);
    marcar(puesto, 9002);
    marcar(puesto, 9003);
    marcar(otroPuesto, 9001);
    marcar(otroPuesto, 9002);
    Recordset::execute("update Evaluacion set Probabilidad = 'Media', Consecuencias = 'Dañino', "
                       "ValorRiesgo = 'Riesgo Moderado' where Mostrar = 'S'",
                       cx);
    EXPECT_EQ(CopiarEvaluacionAOcultas(cx, puesto), 2);
    EXPECT_EQ(contar(cx,
                     "select count(*) from Evaluacion where IDPuestoCentro = ? and IDRiesgo = 901 and "
                     "ValorRiesgo = 'Riesgo Moderado' and Probabilidad = 'Media' and Consecuencias = 'Dañino'",
                     {puesto}),
              3);
    // Las ocultas de otro puesto esperan a que se guarde ese puesto.
    EXPECT_EQ(contar(cx,
                     "select count(*) from Evaluacion where IDPuestoCentro = ? and Mostrar = 'N' and "
                     "ValorRiesgo is null",
                     {otroPuesto}),
              1);
    // Una oculta sin mostrada se deja como estaba.
    Recordset::execute("update Evaluacion set Mostrar = 'N', ValorRiesgo = null where IDPuestoCentro = ? and "
                       "IDRiesgo = 902",
                       cx, {otroPuesto});
    CopiarEvaluacionAOcultas(cx, otroPuesto);
    EXPECT_EQ(contar(cx,
                     "select count(*) from Evaluacion where IDPuestoCentro = ? and IDRiesgo = 902 and "
                     "ValorRiesgo is null",
                     {otroPuesto}),
              1);
}

TEST_P(GeneracionPrueba, LaMarcaDelFactorVaConSusRiesgos)
{
    const auto marca = [&](long long fila) {
        Recordset rs;
        rs.open("select FactorSelecionado from FactoresSeleccionarEvaluacion where IDEvaluacionCrear = ?", cx, {fila});
        return rs.value(0).toString();
    };
    const long long fila = datos::factor(cx, puesto, 9001, "N");
    const FilaFactor f{fila, 9001, puesto, empresa, centro};
    EXPECT_EQ(MarcarFactor(cx, f), 2);
    EXPECT_EQ(marca(fila), "S");
    // Marcar otra vez una fila que ya tiene sus riesgos no los repite.
    EXPECT_EQ(MarcarFactor(cx, f), 0);
    EXPECT_EQ(contar(cx, "select count(*) from Evaluacion where IDEvaluacionCrear = ?", {fila}), 2);

    // Si no se puede guardar la marca, tampoco quedan los riesgos quitados ni los generados.
    fallarAntesDe("PruebaMarca", "UPDATE OF FactorSelecionado", "FactoresSeleccionarEvaluacion");
    EXPECT_THROW(DesmarcarFactor(cx, fila), ErrorBD);
    EXPECT_EQ(marca(fila), "S");
    EXPECT_EQ(contar(cx, "select count(*) from Evaluacion where IDEvaluacionCrear = ?", {fila}), 2);
    EXPECT_EQ(contar(cx, "select count(*) from MedidasFactores"), 5);
    const long long otra = datos::factor(cx, puesto, 9002, "N");
    EXPECT_THROW(MarcarFactor(cx, {otra, 9002, puesto, empresa, centro}), ErrorBD);
    EXPECT_EQ(marca(otra), "N");
    EXPECT_EQ(contar(cx, "select count(*) from Evaluacion where IDEvaluacionCrear = ?", {otra}), 0);
    quitarDisparador("PruebaMarca", "FactoresSeleccionarEvaluacion");

    DesmarcarFactor(cx, fila);
    EXPECT_EQ(marca(fila), "N");
    EXPECT_EQ(contar(cx, "select count(*) from Evaluacion"), 0);
    EXPECT_EQ(contar(cx, "select count(*) from MedidasFactores"), 0);
}

INSTANTIATE_TEST_SUITE_P(Motores, GeneracionPrueba, ::testing::ValuesIn(motoresConCatalogo()), nombreMotor);
