// Una línea añadida a mano al plan, en el archivo y en el servidor: se guarda tal como se escribió,
// pendiente, y se devuelve su número aunque el plan tenga muchas otras.
#include "BaseConCatalogo.h"
#include "Datos.h"
#include "store/ErrorBD.h"
#include "store/PlanAcciones.h"

#include <gtest/gtest.h>

namespace {
class LineaPlan : public ::testing::TestWithParam<bool>
{
protected:
    BaseConCatalogo base{GetParam()};
    QString cx = base.texto();
    std::shared_ptr<Conexion> c = Conexion::obtener(cx);
    long long centro = datos::centro(cx, datos::empresa(cx));
    long long plan =
        datos::insertar(cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro, Persona) VALUES (?, 'Ana')", {centro});

    QStringList guardada(long long id)
    {
        const auto f = c->leerFilas("SELECT IDActuacion, AccionPreventiva, FechaLimite, ResponsableEjecucion, "
                                    "PresupuestoAproximado, IDEvaluacion, IDMedidaFactor, Estado, VersionFila FROM "
                                    "\"ActuaciónPreventivaRegistro\" WHERE IDActuacionRegistro = ?",
                                    {id});
        QStringList r;
        if (f.empty())
            return r;
        for (const QVariant& v : f.front())
            r << (v.isNull() ? QStringLiteral("-") : v.toString());
        // La fecha, sin la hora que le pone el servidor.
        r[2] = r[2].left(10);
        return r;
    }
};
} // namespace

TEST_P(LineaPlan, SeGuardaComoSeEscribioYDevuelveSuNumero)
{
    // Un plan con otras líneas, también de otro plan añadido después.
    for (int i = 0; i < 300; ++i)
        c->ejecutar("INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva) VALUES (?, 'Otra')",
                    {plan});
    LineaNueva l{.idActuacion = plan,
                 .accion = "Revisar l'escala d'accés",
                 .fechaLimite = QDate(2027, 2, 28),
                 .responsable = "O'Donnell",
                 .presupuesto = "1.500,50 €",
                 .idEvaluacion = {}, // una línea general
                 .idMedidaFactor = {}};
    const long long id = AnadirLinea(*c, l);
    EXPECT_EQ(guardada(id), (QStringList{QString::number(plan), "Revisar l'escala d'accés", "2027-02-28", "O'Donnell",
                                         "1.500,50 €", "-", "-", "Pendiente", "0"}));
    EXPECT_EQ(datos::contar(cx, "SELECT max(IDActuacionRegistro) FROM \"ActuaciónPreventivaRegistro\""), id);

    // Con el riesgo y la medida que cubre, y sin fecha ni presupuesto.
    const long long puesto = datos::puesto(cx, centro);
    const long long e = datos::evaluacion(cx, datos::factor(cx, puesto, 1), 1);
    const long long m = datos::medida(cx, e);
    l.fechaLimite = {};
    l.presupuesto.clear();
    l.idEvaluacion = e;
    l.idMedidaFactor = m;
    const long long otra = AnadirLinea(*c, l);
    EXPECT_NE(otra, id);
    const QStringList g = guardada(otra);
    ASSERT_EQ(g.size(), 9);
    EXPECT_EQ(g[2], "-");
    EXPECT_EQ(g[4], "");
    EXPECT_EQ(g[5], QString::number(e));
    EXPECT_EQ(g[6], QString::number(m));
}

TEST_P(LineaPlan, UnPlanQueNoExisteNoGuardaNada)
{
    LineaNueva l;
    l.idActuacion = plan + 1000;
    l.accion = QStringLiteral("Huérfana");
    EXPECT_THROW(AnadirLinea(*c, l), ErrorBD);
    EXPECT_EQ(datos::contar(cx, "SELECT count(*) FROM \"ActuaciónPreventivaRegistro\""), 0);
}

INSTANTIATE_TEST_SUITE_P(Motores, LineaPlan, ::testing::ValuesIn(motoresConCatalogo()), nombreMotor);
