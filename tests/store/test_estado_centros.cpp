#include "CopiaPrograma.h"
#include "Datos.h"
#include "store/EstadoCentros.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <sqlite3.h>
#include <tuple>

namespace {
const QDate hoy(2026, 6, 15);

// Lee "1234.5" y nada más: lo que se prueba aquí es qué líneas se suman, no cómo se lee un importe.
std::optional<double> numero(const QString& t)
{
    bool ok = false;
    const double v = t.toDouble(&ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

// Otra regla que también es una función suelta: el doble de lo escrito.
std::optional<double> doble(const QString& t)
{
    const std::optional<double> v = numero(t);
    return v ? std::optional<double>(*v * 2) : std::nullopt;
}

std::map<long long, EstadoCentro> porCentro(const QString& cx)
{
    std::map<long long, EstadoCentro> m;
    for (const EstadoCentro& e : LeerEstadoCentros(cx, hoy, numero))
        m[e.idCentro] = e;
    return m;
}

// Un puesto con un factor marcado y un riesgo mostrado (valorado o no); devuelve la fila de Evaluacion.
long long puestoConRiesgo(const QString& cx, long long centro, bool valorado)
{
    const long long p = datos::puesto(cx, centro);
    const long long f = datos::factor(cx, p, 1, "S");
    return datos::evaluacion(cx, f, 1, "S", valorado ? QVariant("Riesgo Moderado") : QVariant());
}

long long linea(const QString& cx, long long plan, const QVariant& limite, const QVariant& estado,
                const QString& presupuesto = {})
{
    return datos::insertar(cx,
                           "INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva, FechaLimite, "
                           "Estado, PresupuestoAproximado) VALUES (?, 'Acción', ?, ?, ?)",
                           {plan, limite, estado, presupuesto});
}

struct Cartera : ::testing::Test
{
    CopiaPrograma copia;
    QString cx = copia.conexion();
    long long empresa = datos::empresa(cx, "Cámara Norte");
    long long sinPuestos = datos::centro(cx, empresa, "Sin puestos");
    long long sinFactores = datos::centro(cx, empresa, "Sin factores");
    long long sinValorar = datos::centro(cx, empresa, "Sin valorar");
    long long sinRiesgos = datos::centro(cx, empresa, "Sin riesgos mostrados");
    long long sinMedidas = datos::centro(cx, empresa, "Sin medidas");
    long long completo = datos::centro(cx, empresa, "Completo");
    long long riesgoSinMedida = 0, medidaCompleto = 0, puestoCompleto = 0;

    void SetUp() override
    {
        datos::factor(cx, datos::puesto(cx, sinFactores), 1, "N");
        puestoConRiesgo(cx, sinValorar, false);
        // Sólo una fila oculta: el puesto no tiene ningún riesgo que valorar todavía.
        const long long p = datos::puesto(cx, sinRiesgos);
        datos::evaluacion(cx, datos::factor(cx, p, 1, "S"), 1, "N", "Riesgo Moderado");
        riesgoSinMedida = puestoConRiesgo(cx, sinMedidas, true);
        datos::medida(cx, riesgoSinMedida, "N");
        const long long e = puestoConRiesgo(cx, completo, true);
        medidaCompleto = datos::medida(cx, e, "S");
        puestoCompleto = datos::contar(cx, "SELECT IDPuestoCentro FROM Evaluacion WHERE IDEvaluacion = ?", {e});
    }
};
} // namespace

// El paso que falta sale de las mismas comprobaciones que el inicio de la evaluación, en su orden.
TEST_F(Cartera, CadaCentroEnElPasoQueLeFalta)
{
    const auto m = porCentro(cx);
    ASSERT_EQ(m.size(), 6u);
    EXPECT_EQ(m.at(sinPuestos).paso, PasoPendiente::Puestos);
    EXPECT_EQ(m.at(sinFactores).paso, PasoPendiente::Factores);
    EXPECT_EQ(m.at(sinValorar).paso, PasoPendiente::Riesgos);
    EXPECT_EQ(m.at(sinRiesgos).paso, PasoPendiente::Riesgos);
    EXPECT_EQ(m.at(sinMedidas).paso, PasoPendiente::Medidas);
    EXPECT_EQ(m.at(completo).paso, PasoPendiente::Completa);
    EXPECT_EQ(m.at(completo).empresa, QStringLiteral("Cámara Norte"));
    EXPECT_EQ(m.at(completo).centro, QStringLiteral("Completo"));
    // Un puesto incompleto basta para que el centro vuelva atrás.
    datos::puesto(cx, completo, "Almacén");
    EXPECT_EQ(porCentro(cx).at(completo).paso, PasoPendiente::Factores);
}

// Lo leído se guarda entre una vez y otra: lo que se escribe después ha de verse igual.
TEST_F(Cartera, LaSegundaLecturaVeLoEscritoDesdeLaPrimera)
{
    porCentro(cx);
    // Lo guardado se rehace por los disparadores de la conexión: sin ellos se leería todo cada vez.
    // Tres por tabla: las cuatro de las comprobaciones, las dos de los planes y las de los centros y
    // de sus empresas.
    EXPECT_EQ(datos::contar(cx, "SELECT count(*) FROM sqlite_temp_master WHERE type = 'trigger'"), 24);
    auto c = Conexion::obtener(cx);
    c->ejecutar("UPDATE MedidasFactores SET MarcarMedida = 'S' WHERE IDEvaluacion = ?", {riesgoSinMedida});
    c->ejecutar("UPDATE MedidasFactores SET MarcarMedida = 'N' WHERE IDMedidaFactor = ?", {medidaCompleto});
    c->ejecutar("DELETE FROM PuestosCentros WHERE IDCentro = ?", {sinFactores});
    // Apuntar dos veces el mismo centro no hace fallar la escritura, diga lo que diga de los conflictos.
    datos::puesto(cx, sinPuestos, "Caja");
    EXPECT_NO_THROW(
        c->ejecutar("UPDATE OR FAIL PuestosCentros SET Descripcion = 'x' WHERE IDCentro = ?", {sinPuestos}));
    const long long nuevo = datos::centro(cx, empresa, "Nuevo");
    auto m = porCentro(cx);
    EXPECT_EQ(m.at(sinMedidas).paso, PasoPendiente::Completa);
    EXPECT_EQ(m.at(completo).paso, PasoPendiente::Medidas);
    EXPECT_EQ(m.at(sinFactores).paso, PasoPendiente::Puestos);
    EXPECT_EQ(m.at(sinPuestos).paso, PasoPendiente::Factores);
    EXPECT_EQ(m.at(nuevo).paso, PasoPendiente::Puestos);
    EXPECT_EQ(m.at(sinValorar).paso, PasoPendiente::Riesgos);

    // Un puesto que pasa a otro centro cuenta en los dos.
    c->ejecutar("UPDATE PuestosCentros SET IDCentro = ? WHERE IDPuestoCentro = ?", {nuevo, puestoCompleto});
    m = porCentro(cx);
    EXPECT_EQ(m.at(completo).paso, PasoPendiente::Puestos);
    EXPECT_EQ(m.at(nuevo).paso, PasoPendiente::Medidas);

    // Lo que escribe otra conexión (otro programa sobre el mismo archivo) no pasa por esta.
    sqlite3* otra = nullptr;
    ASSERT_EQ(sqlite3_open(copia.ruta("Evaluacion.mdb").toUtf8().constData(), &otra), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(otra, "UPDATE MedidasFactores SET MarcarMedida = 'S'", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(otra);
    EXPECT_EQ(porCentro(cx).at(nuevo).paso, PasoPendiente::Completa);
}

// Lo preparado al arrancar, leído en otro hilo, también ve lo que se escribe mientras tanto.
TEST_F(Cartera, LoPreparadoVeLoEscritoMientrasSeLeia)
{
    PrepararEstadoCentros(cx);
    Conexion::obtener(cx)->ejecutar("UPDATE MedidasFactores SET MarcarMedida = 'S' WHERE IDEvaluacion = ?",
                                    {riesgoSinMedida});
    const auto m = porCentro(cx);
    EXPECT_EQ(m.at(sinMedidas).paso, PasoPendiente::Completa);
    EXPECT_EQ(m.at(sinValorar).paso, PasoPendiente::Riesgos);
    EXPECT_EQ(m.at(sinFactores).paso, PasoPendiente::Factores);
    EXPECT_EQ(m.at(sinPuestos).paso, PasoPendiente::Puestos);
}

// Al cerrar, la lectura aparte se deja y su conexión se cierra: el archivo queda sólo para el programa,
// que puede tomarlo en exclusiva en el acto; y lo siguiente se lee bien, sin lo que se dejó a medias.
TEST_F(Cartera, LoQueSeLeeAparteSeDejaAlCerrar)
{
    PrepararEstadoCentros(cx);
    TerminarEstadoCentros();
    auto c = Conexion::obtener(cx);
    sqlite3_busy_timeout(c->sqlite(), 0);
    EXPECT_NO_THROW(c->ejecutar("PRAGMA locking_mode = EXCLUSIVE"));
    EXPECT_NO_THROW(c->ejecutar("BEGIN EXCLUSIVE"));
    EXPECT_NO_THROW(c->ejecutar("COMMIT"));
    c->ejecutar("PRAGMA locking_mode = NORMAL");
    sqlite3_busy_timeout(c->sqlite(), 2000);
    EXPECT_EQ(porCentro(cx).at(completo).paso, PasoPendiente::Completa);
}

TEST_F(Cartera, LineasDelPlanYPresupuestoPendiente)
{
    const long long plan = datos::insertar(cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro) VALUES (?)", {completo});
    const long long otroPlan =
        datos::insertar(cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro) VALUES (?)", {completo});
    linea(cx, plan, hoy.addDays(-1), "Pendiente", "1000.5");
    linea(cx, plan, hoy.addDays(-40), "En curso", "a convenir");
    linea(cx, plan, hoy, QVariant(), "200"); // sin estado: pendiente; la del mismo día aún no vence
    linea(cx, otroPlan, QVariant(), "Pendiente");
    linea(cx, otroPlan, "2026-02-30", "Pendiente"); // no es una fecha: no vence nunca
    linea(cx, plan, hoy.addDays(-10), "Realizada", "5000");
    linea(cx, otroPlan, hoy.addDays(-10), "Verificada");
    const EstadoCentro e = porCentro(cx).at(completo);
    EXPECT_EQ(e.pendientes, 5);
    EXPECT_EQ(e.vencidas, 2);
    EXPECT_EQ(e.hechas, 2);
    EXPECT_DOUBLE_EQ(e.presupuesto, 1200.5);
    EXPECT_EQ(e.presupuestosSinLeer, 1);
    EXPECT_EQ(porCentro(cx).at(sinPuestos).pendientes, 0);
    EXPECT_EQ(ContarVencimientos(cx, hoy).acciones, 2);
}

// Las filas que no han cambiado se guardan ya sumadas: con otra regla de importes se suman otra vez.
TEST_F(Cartera, OtraReglaDeImportesLosVuelveASumar)
{
    const long long plan = datos::insertar(cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro) VALUES (?)", {completo});
    linea(cx, plan, hoy.addDays(5), "Pendiente", "1000.5");
    EXPECT_DOUBLE_EQ(porCentro(cx).at(completo).presupuesto, 1000.5);
    const auto ninguno = [](const QString&) { return std::optional<double>(); };
    for (const EstadoCentro& e : LeerEstadoCentros(cx, hoy, ninguno))
        if (e.idCentro == completo) {
            EXPECT_EQ(std::pair(e.presupuesto, e.presupuestosSinLeer), std::pair(0.0, 1));
        }
    EXPECT_EQ(UltimaLecturaEstado().lineas, 0);
    for (const EstadoCentro& e : LeerEstadoCentros(cx, hoy, doble))
        if (e.idCentro == completo) {
            EXPECT_DOUBLE_EQ(e.presupuesto, 2001);
        }
    EXPECT_DOUBLE_EQ(porCentro(cx).at(completo).presupuesto, 1000.5);
}

namespace {
std::map<long long, EstadoCentro> porCentro(const QString& cx, const QDate& dia)
{
    std::map<long long, EstadoCentro> m;
    for (const EstadoCentro& e : LeerEstadoCentros(cx, dia, numero))
        m[e.idCentro] = e;
    return m;
}

// Lo mismo que leyendo la base entera, sin nada guardado de antes.
void comoLeidoEntero(const QString& cx, const QDate& dia, const std::map<long long, EstadoCentro>& leido)
{
    TerminarEstadoCentros();
    const auto entero = porCentro(cx, dia);
    ASSERT_EQ(leido.size(), entero.size());
    for (const auto& [id, e] : entero) {
        SCOPED_TRACE(e.centro.toStdString());
        const EstadoCentro& l = leido.at(id);
        EXPECT_EQ(l.paso, e.paso);
        EXPECT_EQ(std::tie(l.pendientes, l.vencidas, l.hechas, l.presupuestosSinLeer),
                  std::tie(e.pendientes, e.vencidas, e.hechas, e.presupuestosSinLeer));
        EXPECT_DOUBLE_EQ(l.presupuesto, e.presupuesto);
        EXPECT_EQ(std::tie(l.empresa, l.centro, l.fechaRevision), std::tie(e.empresa, e.centro, e.fechaRevision));
    }
}
} // namespace

// Volver a leer, con lo guardado de la vez anterior, sólo lee de la base los planes y comprobaciones
// de los centros en los que se ha escrito: no cuesta más con más centros. Y ve lo mismo que leyendo
// la base entera.
TEST_F(Cartera, LaLecturaSiguienteSoloLeeLosCentrosTocados)
{
    std::vector<long long> planes, lineas;
    for (int i = 0; i < 30; ++i) {
        const long long centro = datos::centro(cx, empresa, QStringLiteral("Centro %1").arg(i));
        puestoConRiesgo(cx, centro, i % 2 == 0);
        planes.push_back(datos::insertar(cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro) VALUES (?)", {centro}));
        lineas.push_back(linea(cx, planes.back(), hoy.addDays(i - 15), "Pendiente", QString::number(100 * i)));
        linea(cx, planes.back(), hoy.addDays(-1), i % 3 == 0 ? "Realizada" : "En curso", "a convenir");
    }
    porCentro(cx);
    EXPECT_EQ(UltimaLecturaEstado().centros, 36);
    EXPECT_EQ(UltimaLecturaEstado().lineas, 36);
    const auto antes = porCentro(cx);
    EXPECT_EQ(UltimaLecturaEstado().centros, 36);
    EXPECT_EQ(UltimaLecturaEstado().comprobados, 0);
    EXPECT_EQ(UltimaLecturaEstado().lineas, 0);
    EXPECT_EQ(UltimaLecturaEstado().presupuestos, 0);

    auto c = Conexion::obtener(cx);
    c->ejecutar("UPDATE \"ActuaciónPreventivaRegistro\" SET Estado = 'Verificada' WHERE IDActuacionRegistro = ?",
                {lineas[3]});
    c->ejecutar("DELETE FROM \"ActuaciónPreventivaRegistro\" WHERE IDActuacionRegistro = ?", {lineas[5]});
    linea(cx, planes[7], hoy.addDays(-2), "Pendiente", "250");
    // Un plan que pasa a otro centro cuenta en los dos; uno que se borra se lleva sus líneas.
    c->ejecutar("UPDATE \"ActuaciónPreventiva\" SET IDCentro = ? WHERE IDActuacion = ?", {completo, planes[9]});
    c->ejecutar("DELETE FROM \"ActuaciónPreventiva\" WHERE IDActuacion = ?", {planes[11]});
    c->ejecutar("UPDATE \"ActuaciónPreventivaRegistro\" SET PresupuestoAproximado = '75' WHERE IDActuacionRegistro = ?",
                {lineas[13]});
    const auto despues = porCentro(cx);
    EXPECT_EQ(UltimaLecturaEstado().centros, 36);
    EXPECT_GT(UltimaLecturaEstado().lineas, 0);
    EXPECT_LE(UltimaLecturaEstado().lineas, 7);
    EXPECT_LE(UltimaLecturaEstado().comprobados, 7);
    EXPECT_LE(UltimaLecturaEstado().presupuestos, 14);
    EXPECT_NE(despues.at(completo).pendientes, antes.at(completo).pendientes);
    comoLeidoEntero(cx, hoy, despues);

    // Otro día vencen otras líneas: se cuentan todas otra vez.
    porCentro(cx);
    const auto otroDia = porCentro(cx, hoy.addDays(10));
    EXPECT_EQ(UltimaLecturaEstado().lineas, 36);
    comoLeidoEntero(cx, hoy.addDays(10), otroDia);
}

// La fila de cada centro (empresa, nombre, fechas) también se guarda: la lectura siguiente sólo lee
// las de los centros cambiados, los de una empresa cambiada, los nuevos y los borrados, y ve lo mismo
// que leyendo la base entera.
TEST_F(Cartera, LaLecturaSiguienteSoloLeeLasFilasDeLosCentrosCambiados)
{
    const long long otra = datos::empresa(cx, "Ferretería Sur");
    std::vector<long long> centros;
    for (int i = 0; i < 20; ++i)
        centros.push_back(datos::centro(cx, i % 2 ? otra : empresa, QStringLiteral("Centro %1").arg(i)));
    porCentro(cx);
    EXPECT_EQ(UltimaLecturaEstado().lineas, 26);
    porCentro(cx);
    EXPECT_EQ(UltimaLecturaEstado().lineas, 0);

    auto c = Conexion::obtener(cx);
    c->ejecutar("UPDATE CentroTrabajo SET Direccion = 'Zócalo' WHERE IDCentro = ?", {centros[0]});
    c->ejecutar("UPDATE CentroTrabajo SET FechaRevision = ?, FechaEvaluacion = ? WHERE IDCentro = ?",
                {hoy.addDays(-1), hoy.addYears(-1), centros[2]});
    c->ejecutar("UPDATE Empresas SET Nombre = 'Ferretería del Sur' WHERE IDEmpresa = ?", {otra});
    c->ejecutar("DELETE FROM CentroTrabajo WHERE IDCentro = ?", {centros[4]});
    const long long nuevo = datos::centro(cx, empresa, "Nuevo");
    const auto despues = porCentro(cx);
    // Los dos cambiados, los diez de la otra empresa y el nuevo; el borrado ya no sale.
    EXPECT_EQ(UltimaLecturaEstado().lineas, 13);
    EXPECT_EQ(UltimaLecturaEstado().centros, 26);
    EXPECT_EQ(despues.at(centros[0]).centro, QStringLiteral("Zócalo"));
    EXPECT_EQ(despues.at(centros[2]).fechaRevision, hoy.addDays(-1));
    EXPECT_EQ(despues.at(centros[2]).fechaEvaluacion, hoy.addYears(-1));
    EXPECT_EQ(despues.at(centros[1]).empresa, QStringLiteral("Ferretería del Sur"));
    EXPECT_EQ(despues.count(centros[4]), 0u);
    EXPECT_EQ(despues.at(nuevo).centro, QStringLiteral("Nuevo"));
    // En el orden de siempre: por empresa y centro.
    std::vector<std::pair<long long, long long>> orden;
    for (const EstadoCentro& e : LeerEstadoCentros(cx, hoy, numero))
        orden.emplace_back(e.idEmpresa, e.idCentro);
    EXPECT_TRUE(std::is_sorted(orden.begin(), orden.end()));
    comoLeidoEntero(cx, hoy, despues);
}

TEST_F(Cartera, RevisionesVencidasYProximas)
{
    EXPECT_FALSE(RevisionVencida(hoy, hoy));
    EXPECT_TRUE(RevisionVencida(hoy.addDays(-1), hoy));
    EXPECT_TRUE(RevisionProxima(hoy, hoy));
    EXPECT_TRUE(RevisionProxima(hoy.addDays(30), hoy));
    EXPECT_FALSE(RevisionProxima(hoy.addDays(31), hoy));
    EXPECT_FALSE(RevisionProxima(hoy.addDays(-1), hoy));
    EXPECT_FALSE(RevisionVencida(QDate(), hoy) || RevisionProxima(QDate(), hoy));

    auto c = Conexion::obtener(cx);
    c->ejecutar("UPDATE CentroTrabajo SET FechaEvaluacion = ?, FechaRevision = ? WHERE IDCentro = ?",
                {hoy.addYears(-1), hoy.addDays(-1), completo});
    c->ejecutar("UPDATE CentroTrabajo SET FechaRevision = ? WHERE IDCentro = ?", {hoy, sinMedidas});
    const auto m = porCentro(cx);
    EXPECT_EQ(m.at(completo).fechaEvaluacion, hoy.addYears(-1));
    EXPECT_EQ(m.at(completo).fechaRevision, hoy.addDays(-1));
    EXPECT_FALSE(m.at(sinPuestos).fechaRevision.isValid());
    const Vencimientos v = ContarVencimientos(cx, hoy);
    EXPECT_EQ(v.revisiones, 1);
    EXPECT_EQ(v.acciones, 0);
}

// Preparado al arrancar con el día: la primera lectura no vuelve a contar las líneas de la base, sólo
// las de los centros en los que se escribió mientras se preparaba, y ve lo mismo que leyendo entero.
// Otro día del que se preparó, las cuenta todas.
TEST_F(Cartera, LoPreparadoConElDiaCuentaLasLineasYVeLoEscritoMientrasTanto)
{
    std::vector<long long> planes;
    for (long long centro : {completo, sinMedidas, sinValorar}) {
        planes.push_back(datos::insertar(cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro) VALUES (?)", {centro}));
        linea(cx, planes.back(), hoy.addDays(-1), "Pendiente", "300");
        linea(cx, planes.back(), hoy.addDays(5), "En curso", "a convenir");
    }
    PrepararEstadoCentros(cx, hoy);
    linea(cx, planes[1], hoy.addDays(-7), "Pendiente", "40");
    Conexion::obtener(cx)->ejecutar("UPDATE \"ActuaciónPreventivaRegistro\" SET Estado = 'Realizada' WHERE "
                                    "IDActuacion = ? AND Estado = 'Pendiente'",
                                    {planes[0]});
    const auto preparado = porCentro(cx);
    EXPECT_EQ(UltimaLecturaEstado().centros, 6);
    EXPECT_LE(UltimaLecturaEstado().lineas, 2);
    EXPECT_EQ(preparado.at(sinMedidas).vencidas, 2);
    EXPECT_EQ(preparado.at(completo).hechas, 1);
    EXPECT_DOUBLE_EQ(preparado.at(sinValorar).presupuesto, 300);
    comoLeidoEntero(cx, hoy, preparado);

    TerminarEstadoCentros();
    PrepararEstadoCentros(cx, hoy.addDays(-30));
    const auto otroDia = porCentro(cx);
    EXPECT_EQ(UltimaLecturaEstado().lineas, 6);
    EXPECT_EQ(otroDia.at(sinValorar).vencidas, 1);
    comoLeidoEntero(cx, hoy, otroDia);
}
