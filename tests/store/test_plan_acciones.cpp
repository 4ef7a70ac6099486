// El plan a partir de la evaluación: orden por prioridad, propuestas, vencimiento y la puesta al
// día de los planes de antes. Los casos del plan corren en el archivo y en el servidor.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "postgres/BaseConCatalogo.h"
#include "store/Conexion.h"
#include "store/ErrorBD.h"
#include "store/Esquema.h"
#include "store/PlanAcciones.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sqlite3.h>

using datos::contar;
using datos::insertar;

namespace {
class PlanPrueba : public ::testing::TestWithParam<bool>
{
protected:
    BaseConCatalogo base{GetParam()};
    QString cx = base.texto();
    std::shared_ptr<Conexion> con = Conexion::obtener(cx);
    long long centro = datos::centro(cx, datos::empresa(cx));
    long long plan =
        insertar(cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro, Persona) VALUES (?, 'Ana')", {centro});
    const QDate hoy{2026, 5, 10};

    long long puesto(const QString& nombre, int trabajadores)
    {
        const long long id = datos::puesto(cx, centro, nombre);
        con->ejecutar("UPDATE PuestosCentros SET NTrabajadores = ? WHERE IDPuestoCentro = ?",
                      {QString::number(trabajadores), id});
        return id;
    }
    // Un riesgo mostrado y valorado del puesto, con su factor.
    long long riesgo(long long idPuesto, long long idRiesgo, const QString& nivel)
    {
        return datos::evaluacion(cx, datos::factor(cx, idPuesto, idRiesgo, "S"), idRiesgo, "S", nivel);
    }
    long long medida(long long evaluacion, const QString& texto, const QString& implantada = "N")
    {
        return insertar(cx,
                        "INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida, Implantada) "
                        "VALUES (?, ?, 'S', ?)",
                        {evaluacion, texto, implantada});
    }
    long long linea(const QString& accion, const QVariant& evaluacion, const QVariant& limite)
    {
        return insertar(cx,
                        "INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva, IDEvaluacion, "
                        "FechaLimite) VALUES (?, ?, ?, ?)",
                        {plan, accion, evaluacion, limite});
    }
    QStringList orden()
    {
        QStringList acciones;
        for (const QVariantList& f : con->leerFilas(LineasPorPrioridad, {plan}))
            acciones << f[3].toString();
        return acciones;
    }
};
} // namespace

TEST_P(PlanPrueba, LasLineasVanPorNivelLuegoPorTrabajadoresYLasGeneralesDetrasPorFecha)
{
    const long long pocos = puesto("Caja", 2), muchos = puesto("Almacén", 9);
    const long long moderadoPocos = riesgo(pocos, 10, "Riesgo Moderado");
    const long long moderadoMuchos = riesgo(muchos, 10, "Riesgo Moderado");
    const long long intolerable = riesgo(pocos, 20, "Riesgo Intolerable");
    linea("General tarde", {}, QDate(2026, 9, 1));
    linea("Moderado con pocos", moderadoPocos, QDate(2026, 6, 1));
    linea("General pronto", {}, QDate(2026, 7, 1));
    linea("Moderado con muchos", moderadoMuchos, QDate(2026, 8, 1));
    linea("Intolerable", intolerable, QDate(2026, 12, 1));
    // A igual nivel y puesto, por fecha límite.
    linea("Moderado con muchos, antes", moderadoMuchos, QDate(2026, 7, 15));
    EXPECT_EQ(orden(), (QStringList{"Intolerable", "Moderado con muchos, antes", "Moderado con muchos",
                                    "Moderado con pocos", "General pronto", "General tarde"}));
    const auto filas = con->leerFilas("SELECT Prioridad, Puesto FROM VLineasPlan WHERE AccionPreventiva = ?",
                                      {QStringLiteral("Intolerable")});
    EXPECT_EQ(filas.front()[0].toInt(), 1);
    EXPECT_EQ(filas.front()[1].toString(), "Caja");

    // Si el riesgo se quita (se desmarca su factor), la línea queda como general: no se pierde.
    con->ejecutar("DELETE FROM Evaluacion WHERE IDEvaluacion = ?", {intolerable});
    EXPECT_EQ(orden().last(), "Intolerable");
    EXPECT_EQ(contar(cx, "SELECT count(*) FROM \"ActuaciónPreventivaRegistro\" WHERE IDActuacion = ?", {plan}), 6);
}

TEST_P(PlanPrueba, SeProponenLasMedidasPropuestasDeLosRiesgosGravesQueNingunaLineaCubre)
{
    const long long caja = puesto("Caja", 3);
    const long long moderado = riesgo(caja, 10, "Riesgo Moderado");
    const long long importante = riesgo(caja, 20, "Riesgo Importante");
    const long long cubierto = riesgo(caja, 30, "Riesgo Intolerable");
    const long long tolerable = riesgo(caja, 40, "Riesgo Tolerable");
    medida(moderado, "Orden y limpieza");
    medida(moderado, "Señalizar el desnivel", "S"); // ya implantada: no se propone
    medida(importante, "Formar en manejo de cargas");
    // La misma redacción desde otro factor del mismo riesgo: una sola vez.
    const long long otroFactor = datos::evaluacion(cx, datos::factor(cx, caja, 21, "S"), 20, "N", "Riesgo Importante");
    medida(otroFactor, "Formar en manejo de cargas");
    medida(cubierto, "Proteger la máquina");
    medida(tolerable, "Revisar la silla");
    linea("Ya planificada", cubierto, QDate(2026, 5, 10));

    con->ejecutar("UPDATE PlazosNiveles SET Meses = 3 WHERE Nivel = 'Riesgo Moderado'");
    const auto lista = ProponerDesdeEvaluacion(*con, centro, hoy);
    ASSERT_EQ(lista.size(), 2u);
    EXPECT_EQ(lista[0].medida, "Formar en manejo de cargas");
    EXPECT_EQ(lista[0].idEvaluacion, importante);
    EXPECT_EQ(lista[0].fechaLimite, QDate(2026, 6, 10));
    EXPECT_EQ(lista[1].medida, "Orden y limpieza");
    EXPECT_EQ(lista[1].fechaLimite, QDate(2026, 8, 10));

    // Añadidas, ya cubren su riesgo y no se vuelven a proponer.
    EXPECT_EQ(AnadirPropuestas(*con, plan, lista, "Ana"), 2);
    EXPECT_EQ(contar(cx,
                     "SELECT count(*) FROM VLineasPlan WHERE IDActuacion = ? AND ResponsableEjecucion = 'Ana' AND "
                     "Estado = 'Pendiente' AND PresupuestoAproximado IS NULL AND IDMedidaFactor IS NOT NULL",
                     {plan}),
              2);
    EXPECT_TRUE(ProponerDesdeEvaluacion(*con, centro, hoy).empty());
    // Todas o ninguna: a un plan que no existe no se añade nada.
    EXPECT_THROW(AnadirPropuestas(*con, 999999, lista, "Ana"), ErrorBD);
    EXPECT_EQ(contar(cx, "SELECT count(*) FROM \"ActuaciónPreventivaRegistro\""), 3);
    EXPECT_THROW(GuardarPlazo(*con, "Riesgo Moderado", -1), ErrorBD);
}

// Volver a valorar un riesgo cuando su línea está hecha. Sus sentencias nombran sus valores por
// número (?1, ?2), y el mismo valor sale dos veces.
TEST_P(PlanPrueba, UnaLineaHechaDejaPendienteVolverAValorarSuRiesgo)
{
    const long long evaluacion = riesgo(puesto("Caja", 2), 10, "Riesgo Moderado");
    const long long hecha = linea("Proteger", evaluacion, QDate(2026, 6, 1));
    con->ejecutar("UPDATE \"ActuaciónPreventivaRegistro\" SET Estado = 'Realizada' WHERE IDActuacionRegistro = ?",
                  {hecha});
    DejarRevaloracionPendiente(*con, hecha, hoy);
    DejarRevaloracionPendiente(*con, hecha, hoy); // ya tiene una: no se repite
    const auto pendientes = RevaloracionesPendientes(*con, centro);
    ASSERT_EQ(pendientes.size(), 1u);
    EXPECT_EQ(pendientes[0].idLinea, hecha);
    EXPECT_EQ(pendientes[0].nivelAnterior, "Riesgo Moderado");
    EXPECT_EQ(pendientes[0].desde, hoy);

    // Con otro nivel se cierra guardando el nuevo; sin hacer ya, la pendiente se quita.
    con->ejecutar("UPDATE Evaluacion SET ValorRiesgo = 'Riesgo Tolerable' WHERE IDEvaluacion = ?", {evaluacion});
    EXPECT_TRUE(CerrarRevaloraciones(*con, centro, hoy.addDays(1)).empty());
    EXPECT_EQ(contar(cx, "SELECT count(*) FROM RevaloracionesRiesgo WHERE NivelNuevo = 'Riesgo Tolerable'"), 1);
    DejarRevaloracionPendiente(*con, hecha, hoy);
    QuitarRevaloracionPendiente(*con, hecha);
    EXPECT_EQ(contar(cx, "SELECT count(*) FROM RevaloracionesRiesgo WHERE NivelNuevo IS NULL"), 0);
}

TEST(Vencimiento, UnaLineaVenceAlDiaSiguienteDeSuFechaLimiteSiNoEstaHecha)
{
    const QDate hoy(2026, 5, 10);
    EXPECT_FALSE(LineaVencida(QDate(2026, 5, 10), "Pendiente", hoy));
    EXPECT_TRUE(LineaVencida(QDate(2026, 5, 9), "Pendiente", hoy));
    EXPECT_TRUE(LineaVencida(QStringLiteral("2026-05-09"), "En curso", hoy));
    EXPECT_FALSE(LineaVencida(QDate(2026, 5, 9), "Realizada", hoy));
    EXPECT_FALSE(LineaVencida(QDate(2026, 5, 9), "Verificada", hoy));
    EXPECT_FALSE(LineaVencida(QVariant(), "Pendiente", hoy));
}

TEST(PuestaAlDia, LosPlanesDeAntesQuedanComoLineasGeneralesPendientes)
{
    CopiaPrograma p;
    const QString archivo = p.ruta("Evaluacion.mdb");
    ASSERT_TRUE(QFile::remove(archivo));
    {
        sqlite3* bd = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(archivo).constData(), &bd), SQLITE_OK);
        ASSERT_EQ(crearEsquemaRevision(bd, 3), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(bd,
                               "INSERT INTO Empresas (IDEmpresa, Nombre) VALUES (1, 'Uno');"
                               "INSERT INTO CentroTrabajo (IDCentro, IDEmpresa) VALUES (1, 1);"
                               "INSERT INTO \"ActuaciónPreventiva\" (IDActuacion, IDCentro) VALUES (1, 1);"
                               "INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva, "
                               "FechaLimite, PresupuestoAproximado) VALUES (1, 'Formar', '2026-01-31', '300 €');",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(bd);
    }
    const auto con = Conexion::obtener(p.conexion());
    EXPECT_TRUE(QFile::exists(archivo + ".r3.bak"));
    const auto filas = con->leerFilas(LineasPorPrioridad, {1});
    ASSERT_EQ(filas.size(), 1u);
    const auto fila = con->leerFilas("SELECT AccionPreventiva, PresupuestoAproximado, Estado, Prioridad IS NULL, "
                                     "IDEvaluacion IS NULL FROM VLineasPlan")
                          .front();
    EXPECT_EQ(fila, (QVariantList{"Formar", "300 €", "Pendiente", 1, 1}));
    EXPECT_EQ(LeerPlazos(*con).size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(Motores, PlanPrueba, ::testing::ValuesIn(motoresConCatalogo()), nombreMotor);
