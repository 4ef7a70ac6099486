// Versiones de la evaluación de un centro: sólo sube cuando lo evaluado ha cambiado, y la fecha
// que se propone al terminar el asistente. En el archivo y en el servidor.
#include "Datos.h"
#include "postgres/BaseConCatalogo.h"
#include "store/Conexion.h"
#include "store/VersionEvaluacion.h"

#include <gtest/gtest.h>

using datos::contar;

namespace {
class VersionPrueba : public ::testing::TestWithParam<bool>
{
protected:
    BaseConCatalogo base{GetParam()};
    QString cx = base.texto();
    long long empresa = datos::empresa(cx);
    long long centro = datos::centro(cx, empresa);
    long long puesto = datos::puesto(cx, centro);
    long long fila = datos::factor(cx, puesto, 1, "S");
    long long riesgo = datos::evaluacion(cx, fila, 10, "S", "Riesgo Moderado");
    const QDateTime marzo{QDate(2026, 3, 2), QTime(10, 0)};

    VersionEmitida emitir(const QDateTime& cuando) { return EmitirVersion(*Conexion::obtener(cx), centro, cuando); }
    QString texto(const QString& sql)
    {
        Recordset rs;
        rs.open(sql, cx, {centro});
        return rs.value(0).toString();
    }
};
} // namespace

TEST_P(VersionPrueba, LaVersionSoloSubeCuandoLoEvaluadoHaCambiado)
{
    const VersionEmitida primera = emitir(marzo);
    EXPECT_EQ(primera.version, 1);
    EXPECT_TRUE(primera.nueva);
    // Sin fecha ni motivo: la del día de la emisión, la revisión un año después, evaluación inicial.
    EXPECT_EQ(texto("SELECT FechaEvaluacion || '|' || FechaRevision || '|' || MotivoEvaluacion || '|' || "
                    "VersionEvaluacion FROM CentroTrabajo WHERE IDCentro = ?"),
              "2026-03-02|2027-03-02|Inicial|1");

    // Emitir otra vez lo mismo, o cambiar lo que el documento de la evaluación no recoge, no es
    // una versión nueva.
    Recordset::execute("UPDATE Empresas SET Nombre = 'Otro nombre'", cx);
    Recordset::execute("UPDATE \"ActuaciónPreventiva\" SET Persona = 'Ana'", cx);
    EXPECT_FALSE(emitir(marzo.addDays(3)).nueva);
    EXPECT_EQ(contar(cx, "SELECT count(*) FROM VersionesEvaluacion WHERE IDCentro = ?", {centro}), 1);

    // Cada cambio de lo evaluado sí lo es; el motivo ya no puede ser el de la evaluación inicial.
    const char* const cambios[] = {
        "UPDATE Evaluacion SET ValorRiesgo = 'Riesgo Importante', Consecuencias = 'Extremadamente dañino'",
        "UPDATE VRiesgos SET SituacionObservada = 'Escalera de mano junto a la trastienda'",
        "UPDATE PuestosCentros SET Trabajadores = 'Luisa Gómez'",
        "UPDATE FactoresSeleccionarEvaluacion SET FactorSelecionado = 'N'",
    };
    int version = 1;
    for (const char* sql : cambios) {
        Recordset::execute(sql, cx);
        const VersionEmitida v = emitir(marzo.addDays(version));
        EXPECT_TRUE(v.nueva) << sql;
        EXPECT_EQ(v.version, ++version) << sql;
    }
    const long long m = datos::medida(cx, riesgo, "S");
    EXPECT_EQ(emitir(marzo.addDays(10)).version, ++version);
    Recordset::execute("UPDATE VFactoresMedidas SET Implantada = 'S' WHERE IDMedidaFactor = ?", cx, {m});
    EXPECT_EQ(emitir(marzo.addDays(11)).version, ++version);
    // Unir los textos se escribe distinto en cada motor.
    const QString juntas = GetParam() ? "string_agg(Version || ' ' || Motivo, ', ' ORDER BY Version)"
                                      : "group_concat(Version || ' ' || Motivo, ', ')";
    EXPECT_EQ(texto("SELECT " + juntas + " FROM VersionesEvaluacion WHERE IDCentro = ?"),
              "1 Inicial, 2 Por cambios en las condiciones de trabajo, 3 Por cambios en las condiciones de trabajo, "
              "4 Por cambios en las condiciones de trabajo, 5 Por cambios en las condiciones de trabajo, "
              "6 Por cambios en las condiciones de trabajo, 7 Por cambios en las condiciones de trabajo");

    // Las plantillas ven la misma huella que la emisión guardó. La función la registra la conexión
    // del archivo; en el servidor ninguna plantilla la pide.
    if (!GetParam())
        EXPECT_EQ(
            texto("SELECT huella_evaluacion(IDCentro) = (SELECT Huella FROM VersionesEvaluacion v WHERE v.IDCentro "
                  "= c.IDCentro ORDER BY Version DESC LIMIT 1) FROM CentroTrabajo c WHERE IDCentro = ?"),
            "1");
    // Borrar el centro se lleva su historial.
    Recordset::execute("DELETE FROM CentroTrabajo WHERE IDCentro = ?", cx, {centro});
    EXPECT_EQ(contar(cx, "SELECT count(*) FROM VersionesEvaluacion"), 0);
}

TEST_P(VersionPrueba, AlTerminarElAsistenteLaFechaEsLaDelDiaSalvoQueSigaValiendo)
{
    const char* const fechas = "SELECT FechaEvaluacion || '|' || FechaRevision FROM CentroTrabajo WHERE IDCentro = ?";
    auto completar = [&](const QDate& dia) { FechaAlCompletar(*Conexion::obtener(cx), centro, dia); };

    completar(QDate(2026, 1, 15));
    EXPECT_EQ(texto(fechas), "2026-01-15|2027-01-15");
    // Volver a terminar otro día, sin haber emitido: la fecha sigue (es la de esta evaluación).
    completar(QDate(2026, 1, 20));
    EXPECT_EQ(texto(fechas), "2026-01-15|2027-01-15");

    // Emitida, y después cambiada: la fecha de la versión emitida ya no vale para la nueva.
    emitir(marzo);
    completar(QDate(2026, 6, 1));
    EXPECT_EQ(texto(fechas), "2026-01-15|2027-01-15");
    Recordset::execute("UPDATE Evaluacion SET Probabilidad = 'Alta'", cx);
    completar(QDate(2026, 6, 1));
    EXPECT_EQ(texto(fechas), "2026-06-01|2027-06-01");

    // Una próxima revisión puesta a mano se respeta.
    emitir(marzo.addMonths(4));
    Recordset::execute("UPDATE CentroTrabajo SET FechaRevision = '2026-12-31'", cx);
    Recordset::execute("UPDATE Evaluacion SET Probabilidad = 'Baja'", cx);
    completar(QDate(2026, 9, 9));
    EXPECT_EQ(texto(fechas), "2026-09-09|2026-12-31");
}

INSTANTIATE_TEST_SUITE_P(Motores, VersionPrueba, ::testing::ValuesIn(motoresConCatalogo()), nombreMotor);
