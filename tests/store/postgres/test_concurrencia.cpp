// Varios técnicos a la vez sobre la misma base del servidor. El otro técnico es otro proceso: este
// mismo programa de pruebas, arrancado con OtroTecnico como única prueba y la orden en el entorno,
// con su propia conexión. Se sincronizan con un cerrojo consultivo del servidor, nunca con pausas.
// También los fallos que sólo da un servidor con varias conexiones: interbloqueo, serialización y
// cerrojo que no llega, con su número, sus reintentos y su aviso.
#include "Datos.h"
#include "ErrorDe.h"
#include "MotoresPrueba.h"
#include "evaluation/GeneracionRiesgos.h"
#include "store/Reintentos.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>
#include <thread>

namespace {
const char* const VariableOtro = "EVALUACION_PRUEBA_OTRO_TECNICO";

// Arranca al otro técnico con la orden dada (sus piezas separadas por '|').
std::unique_ptr<QProcess> arrancarOtro(const QStringList& orden)
{
    // Para saber la ruta de este mismo programa hace falta la aplicación.
    static int argc = 1;
    static char nombre[] = "prueba_concurrencia";
    static char* argv[] = {nombre, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.insert(QString::fromLatin1(VariableOtro), orden.join('|'));
    p->setProcessEnvironment(entorno);
    p->setProcessChannelMode(QProcess::ForwardedChannels);
    p->start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=OtroTecnico.*")});
    EXPECT_TRUE(p->waitForStarted());
    return p;
}

void esperarQueAcabeBien(QProcess& p)
{
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << "el otro técnico ha fallado";
}

// Número del cerrojo consultivo de la barrera: propio de este proceso.
QString claveBarrera()
{
    return QString::number(QCoreApplication::applicationPid());
}

long long numero(const QStringList& orden, int i)
{
    return orden.value(i).toLongLong();
}

// Un catálogo propio: dos factores con dos riesgos, y medidas en uno de ellos.
void catalogoPropio(const QString& cx)
{
    auto c = Conexion::obtener(cx);
    for (int r : {901, 902})
        c->ejecutar("INSERT INTO Riesgos (IDRiesgo, Riesgo) VALUES (?, ?)", {r, QStringLiteral("Riesgo %1").arg(r)});
    for (int f : {9001, 9002})
        c->ejecutar("INSERT INTO FactoresRiesgos (IDFactor, Factor) VALUES (?, ?)",
                    {f, QStringLiteral("Factor %1").arg(f)});
    for (auto [f, r] : std::initializer_list<std::pair<int, int>>{{9001, 901}, {9001, 902}, {9002, 901}, {9002, 902}})
        c->ejecutar("INSERT INTO RiesgosFactores (IDFactor, IDRiesgo) VALUES (?, ?)", {f, r});
    for (int i = 0; i < 3; ++i)
        c->ejecutar("INSERT INTO Medidas (IDFactor, IDRiesgo, Medida) VALUES (9001, 901, ?)",
                    {QStringLiteral("Medida %1").arg(i)});
}

// Un centro con un puesto y las filas sin marcar de los dos factores.
struct CentroConFactores
{
    FilaFactor primero, segundo;
};

CentroConFactores centroConFactores(const QString& cx, long long empresa)
{
    const long long centro = datos::centro(cx, empresa, QStringLiteral("Centro %1").arg(empresa));
    const long long puesto = datos::puesto(cx, centro);
    return {{datos::factor(cx, puesto, 9001), 9001, puesto, empresa, centro},
            {datos::factor(cx, puesto, 9002), 9002, puesto, empresa, centro}};
}

// Cuántas sesiones esperan un cerrojo que no es el de la barrera.
long long esperandoFila(PGconn* c)
{
    return celdaPg(c, QStringLiteral("SELECT count(*) FROM pg_locks WHERE NOT granted AND locktype <> 'advisory'"))
        .toLongLong();
}
} // namespace

// Cada caso en su base del servidor; sus conexiones se cierran antes de borrarla.
class VariosTecnicos : public ::testing::Test
{
protected:
    ~VariosTecnicos() override { Conexion::cerrarTodas(); }
    BaseProgramaServidor base;
    const QString cx = base.texto();
};

// Lo que hace el otro técnico. Sin orden no hace nada: es la prueba de otro proceso.
TEST(OtroTecnico, Actua)
{
    const QStringList orden = QString::fromUtf8(qgetenv(VariableOtro)).split('|');
    if (orden.size() < 2)
        GTEST_SKIP() << "sólo en el proceso del otro técnico";
    const QString cx = orden[1];
    if (orden[0] == QLatin1String("guardar")) {
        // Guarda la línea del plan y el puesto que el primero ya tiene leídos.
        Recordset linea;
        linea.open("SELECT * FROM VLineasPlan WHERE IDActuacion = ?", cx, {numero(orden, 2)});
        linea.setValue("Seguimiento", "Del otro");
        linea.update();
        Recordset puesto;
        puesto.open("SELECT * FROM PuestosCentros WHERE IDPuestoCentro = ?", cx, {numero(orden, 3)});
        puesto.setValue("Puesto", "Del otro");
        puesto.update();
    } else if (orden[0] == QLatin1String("marcar")) {
        // Marca un factor de su centro y, sin confirmar, espera en la barrera a que el primero marque
        // otro en el suyo; un cerrojo que tardara en llegar sería un fallo, no una espera.
        auto c = Conexion::obtener(cx);
        c->ejecutar("SET lock_timeout = '20s'");
        const FilaFactor f{numero(orden, 2), numero(orden, 3), numero(orden, 4), numero(orden, 5), numero(orden, 6)};
        Transaccion t(c);
        EXPECT_EQ(MarcarFactor(cx, f), 2);
        ConexionPg barrera = conectarPg(BaseServidorPrueba::textoServidor());
        ejecutarPg(barrera.get(), QStringLiteral("SELECT pg_advisory_lock(%1)").arg(orden[7]));
        t.confirmar();
    } else {
        FAIL() << "orden desconocida: " << orden[0].toStdString();
    }
}

// Dos técnicos han leído la misma línea del plan y el mismo puesto; el otro guarda antes. Al
// guardar el primero, se rechaza con el aviso de siempre y se ve lo del otro, que no se pisa.
TEST_F(VariosTecnicos, ElQueGuardaDespuesSobreLoMismoNoPisaAlOtro)
{
    const long long centro = datos::centro(cx, datos::empresa(cx));
    const long long puesto = datos::puesto(cx, centro, "Carnicero");
    const long long plan = datos::insertar(cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro) VALUES (?)", {centro});
    datos::insertar(cx, "INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva) VALUES (?, ?)",
                    {plan, "Formar"});
    Recordset linea, puestoLeido;
    linea.open("SELECT * FROM VLineasPlan WHERE IDActuacion = ?", cx, {plan});
    puestoLeido.open("SELECT * FROM PuestosCentros WHERE IDPuestoCentro = ?", cx, {puesto});

    auto otro = arrancarOtro({"guardar", cx, QString::number(plan), QString::number(puesto)});
    esperarQueAcabeBien(*otro);

    linea.setValue("Seguimiento", "Mío");
    const ErrorBD e = errorDe([&] { linea.update(); });
    EXPECT_EQ(e.numero(), NumeroError::RegistroModificado);
    EXPECT_EQ(e.descripcion(), "Otro usuario ha modificado este registro; se muestran sus datos");
    EXPECT_EQ(linea.value("Seguimiento").toString(), "Del otro");
    puestoLeido.setValue("Puesto", "Mío");
    EXPECT_EQ(errorDe([&] { puestoLeido.update(); }).numero(), NumeroError::RegistroModificado);
    EXPECT_EQ(puestoLeido.value("Puesto").toString(), "Del otro");
    EXPECT_EQ(datos::contar(cx, "SELECT count(*) FROM \"ActuaciónPreventivaRegistro\" WHERE Seguimiento = 'Del otro'"),
              1);
    EXPECT_EQ(datos::contar(cx, "SELECT count(*) FROM PuestosCentros WHERE Puesto = 'Del otro'"), 1);
}

// Dos técnicos marcan factores en centros distintos a la vez: cada uno marca mientras el otro tiene
// su transacción abierta, nadie espera un cerrojo del otro y los dos acaban con todas sus filas.
TEST_F(VariosTecnicos, MarcarFactoresEnCentrosDistintosNoSeEsperanNiSeDeshacen)
{
    catalogoPropio(cx);
    const CentroConFactores mio = centroConFactores(cx, datos::empresa(cx, "Mía"));
    const CentroConFactores suyo = centroConFactores(cx, datos::empresa(cx, "Suya"));
    ConexionPg barrera = conectarPg(BaseServidorPrueba::textoServidor());
    ejecutarPg(barrera.get(), QStringLiteral("SELECT pg_advisory_lock(%1)").arg(claveBarrera()));

    auto c = Conexion::obtener(cx);
    c->ejecutar("SET lock_timeout = '20s'");
    std::unique_ptr<QProcess> otro;
    {
        Transaccion t(c);
        EXPECT_EQ(MarcarFactor(cx, mio.primero), 2);
        const FilaFactor& f = suyo.primero;
        otro = arrancarOtro({"marcar", cx, QString::number(f.idEvaluacionCrear), QString::number(f.idFactor),
                             QString::number(f.idPuestoCentro), QString::number(f.idEmpresa),
                             QString::number(f.idCentro), claveBarrera()});
        // El otro ha marcado el suyo sin confirmar cuando llega a la barrera.
        bool enBarrera = false;
        for (int i = 0; i < 6000 && !enBarrera && otro->state() == QProcess::Running; ++i) {
            enBarrera = celdaPg(barrera.get(), QStringLiteral("SELECT count(*) FROM pg_locks WHERE NOT granted AND "
                                                              "locktype = 'advisory'")) == QLatin1String("1");
            if (!enBarrera)
                QThread::msleep(20);
        }
        ASSERT_TRUE(enBarrera) << "el otro técnico no ha llegado a la barrera";
        EXPECT_EQ(esperandoFila(barrera.get()), 0);
        // Con los dos a medias, el primero marca otro factor del suyo sin esperar.
        EXPECT_EQ(MarcarFactor(cx, mio.segundo), 2);
        EXPECT_EQ(esperandoFila(barrera.get()), 0);
        t.confirmar();
    }
    ejecutarPg(barrera.get(), QStringLiteral("SELECT pg_advisory_unlock(%1)").arg(claveBarrera()));
    esperarQueAcabeBien(*otro);

    for (const CentroConFactores* centro : {&mio, &suyo})
        EXPECT_EQ(datos::contar(cx, "SELECT count(*) FROM Evaluacion WHERE IDCentro = ?", {centro->primero.idCentro}),
                  centro == &mio ? 4 : 2);
    EXPECT_EQ(datos::contar(cx, "SELECT count(*) FROM FactoresSeleccionarEvaluacion WHERE FactorSelecionado = 'S'"), 3);
    EXPECT_EQ(datos::contar(cx, "SELECT count(*) FROM MedidasFactores"), 6);
}

// Dos conexiones cogen dos filas en orden contrario: el servidor deshace una (interbloqueo), el
// programa recibe el número de la base ocupada con un aviso en castellano y repite la acción, que
// sale a la segunda. El servidor deshace a quien lleva más rato esperando: el programa, que pide la
// fila de la otra antes de que la otra pida la suya.
TEST_F(VariosTecnicos, UnInterbloqueoSeRepiteYSaleALaSegunda)
{
    const long long uno = datos::empresa(cx, "Uno"), dos = datos::empresa(cx, "Dos");
    const QString bd = Conexion::obtener(cx)->leerFilas("SELECT current_database()").front().value(0).toString();
    ConexionPg otra = conectarPg(BaseServidorPrueba::textoServidor() + " dbname=" + bd);
    ConexionPg mira = conectarPg(BaseServidorPrueba::textoServidor());
    const QString pidOtra = celdaPg(otra.get(), QStringLiteral("SELECT pg_backend_pid()"));
    ejecutarPg(otra.get(), QStringLiteral("BEGIN"));
    ejecutarPg(otra.get(), QStringLiteral("UPDATE Empresas SET Poblacion = 'Otra' WHERE IDEmpresa = %1").arg(dos));

    int intentos = 0;
    long numeroVisto = 0;
    QString avisoVisto;
    std::exception_ptr fallo;
    std::thread programa([&] {
        try {
            auto c = Conexion::obtener(cx);
            conReintentos(*c, [&] {
                try {
                    ++intentos;
                    Transaccion t(c);
                    c->ejecutar("UPDATE Empresas SET Poblacion = 'Programa' WHERE IDEmpresa = ?", {uno});
                    c->ejecutar("UPDATE Empresas SET Poblacion = 'Programa' WHERE IDEmpresa = ?", {dos});
                    t.confirmar();
                } catch (const ErrorBD& e) {
                    numeroVisto = e.numero();
                    avisoVisto = e.descripcion();
                    throw;
                }
            });
        } catch (...) {
            fallo = std::current_exception();
        }
    });
    // El programa ya espera la fila de la otra: ahora la otra pide la suya.
    const QString esperaPrograma =
        QStringLiteral("SELECT count(*) FROM pg_locks WHERE NOT granted AND pid <> %1").arg(pidOtra);
    while (celdaPg(mira.get(), esperaPrograma) == QLatin1String("0"))
        QThread::msleep(10);
    ASSERT_TRUE(PQsendQuery(
        otra.get(),
        QStringLiteral("UPDATE Empresas SET Poblacion = 'Otra' WHERE IDEmpresa = %1").arg(uno).toUtf8().constData()));
    // Deshecho el programa, la otra consigue su fila; al deshacerla, el programa repite y sale.
    while (PGresult* r = PQgetResult(otra.get())) {
        EXPECT_EQ(PQresultStatus(r), PGRES_COMMAND_OK) << PQresultErrorMessage(r);
        PQclear(r);
    }
    ejecutarPg(otra.get(), QStringLiteral("ROLLBACK"));
    programa.join();
    ASSERT_FALSE(fallo) << "la acción no se ha repetido";
    EXPECT_EQ(intentos, 2);
    EXPECT_EQ(numeroVisto, NumeroError::BaseOcupada);
    EXPECT_TRUE(avisoVisto.contains(QStringLiteral("Otro usuario"))) << avisoVisto.toStdString();
    EXPECT_EQ(datos::contar(cx, "SELECT count(*) FROM Empresas WHERE Poblacion = 'Programa'"), 2);
}

// Una fila que otro cambia entre la lectura y la escritura de una transacción que no admite verla
// cambiada falla por serialización y se repite; una fila que otro tiene cogida más de lo que se
// espera se reintenta unas pocas veces y luego se avisa en castellano, sin dejar nada.
TEST_F(VariosTecnicos, SerializacionYCerrojoQueNoLlegaSeReintentanConLimite)
{
    const long long uno = datos::empresa(cx, "Uno");
    auto c = Conexion::obtener(cx);
    const QString bd = c->leerFilas("SELECT current_database()").front().value(0).toString();
    ConexionPg otra = conectarPg(BaseServidorPrueba::textoServidor() + " dbname=" + bd);

    c->ejecutar("SET default_transaction_isolation = 'repeatable read'");
    int intentos = 0;
    ErrorBD visto(0, {});
    conReintentos(*c, [&] {
        try {
            Transaccion t(c);
            c->leerFilas("SELECT Poblacion FROM Empresas WHERE IDEmpresa = ?", {uno});
            if (++intentos == 1)
                ejecutarPg(otra.get(),
                           QStringLiteral("UPDATE Empresas SET Poblacion = 'Otra' WHERE IDEmpresa = %1").arg(uno));
            c->ejecutar("UPDATE Empresas SET Poblacion = 'Programa' WHERE IDEmpresa = ?", {uno});
            t.confirmar();
        } catch (const ErrorBD& e) {
            visto = e;
            throw;
        }
    });
    EXPECT_EQ(intentos, 2);
    EXPECT_EQ(visto.numero(), NumeroError::BaseOcupada);
    EXPECT_TRUE(visto.descripcion().contains(QStringLiteral("Otro usuario"))) << visto.descripcion().toStdString();
    EXPECT_EQ(datos::contar(cx, "SELECT count(*) FROM Empresas WHERE Poblacion = 'Programa'"), 1);
    c->ejecutar("SET default_transaction_isolation = 'read committed'");

    // La otra tiene la fila cogida todo el rato.
    ejecutarPg(otra.get(),
               QStringLiteral("BEGIN; UPDATE Empresas SET Poblacion = 'Otra' WHERE IDEmpresa = %1").arg(uno));
    c->ejecutar("SET lock_timeout = '20ms'");
    intentos = 0;
    const ErrorBD e = errorDe([&] {
        conReintentos(*c, [&] {
            ++intentos;
            Transaccion t(c);
            c->ejecutar("INSERT INTO Empresas (Nombre) VALUES ('A medias')");
            c->ejecutar("UPDATE Empresas SET Poblacion = 'Programa otra vez' WHERE IDEmpresa = ?", {uno});
            t.confirmar();
        });
    });
    EXPECT_EQ(intentos, IntentosOcupada);
    EXPECT_EQ(e.numero(), NumeroError::BaseOcupada);
    EXPECT_TRUE(e.descripcion().contains(QStringLiteral("Otro usuario"))) << e.descripcion().toStdString();
    ejecutarPg(otra.get(), QStringLiteral("ROLLBACK"));
    EXPECT_EQ(datos::contar(cx, "SELECT count(*) FROM Empresas WHERE Nombre = 'A medias'"), 0);
}
