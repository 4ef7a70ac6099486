// Las acciones del usuario con los datos en un servidor PostgreSQL por la interfaz local, sobre la
// base de escala trasladada a una base propia del servidor de pruebas, de dos maneras:
//   nuestro  — como la hace el programa;
//   directo  — libpq a pelo con las mismas filas (sentencias preparadas, una transacción).
// Y varios técnicos a la vez: cuatro procesos, cada uno con su conexión y en su centro, marcando y
// desmarcando factores, frente a uno solo. bench/tabla.py junta la tabla.
//
// Necesita BASE_ESCALA (la base de escala) y EVALUACION_SERVIDOR_PRUEBAS (el conexion.txt de
// scripts/servidor_pruebas.sh); sin servidor no mide nada.
#include "AccionesPrograma.h"
#include "PreparacionMedidas.h"
#include "evaluation/DatosPuesto.h"
#include "evaluation/GeneracionRiesgos.h"
#include "evaluation/MatrizRiesgo.h"
#include "plataforma/ConexionServidor.h"
#include "shell/Comprobaciones.h"
#include "store/Conexion.h"
#include "store/Recordset.h"
#include "store/postgres/ConexionPg.h"
#include "store/postgres/Traslado.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <numeric>
#include <vector>

namespace {
// Texto de libpq de la base de las medidas y texto de conexión del programa para ella.
QString textoPg, conexion;

// La base del servidor de pruebas con la base de escala dentro; se borra al terminar.
struct BaseMedidas
{
    QString admin, nombre;
    ~BaseMedidas()
    {
        if (nombre.isEmpty())
            return;
        Conexion::cerrarTodas();
        try {
            ConexionPg c = conectarPg(admin);
            ejecutarPg(c.get(), QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(nombre));
        } catch (...) {
        }
    }
};

// El valor de una clave del texto de libpq; repetida, vale la última, como para libpq.
QString valorDe(const QString& libpq, const QString& clave)
{
    QString valor;
    for (const QString& pieza : libpq.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
        if (pieza.section('=', 0, 0) == clave)
            valor = pieza.section('=', 1);
    return valor;
}

// Texto de conexión del programa para la base de libpq dada (la contraseña, donde la busca libpq).
QString textoPrograma(const QString& libpq)
{
    DatosServidor d;
    d.servidor = valorDe(libpq, QStringLiteral("host"));
    d.puerto = valorDe(libpq, QStringLiteral("port")).toInt();
    d.usuario = valorDe(libpq, QStringLiteral("user"));
    d.base = valorDe(libpq, QStringLiteral("dbname"));
    qputenv("PGPASSWORD", valorDe(libpq, QStringLiteral("password")).toUtf8());
    return TextoConexionServidor(d);
}

// Conexión de libpq a pelo con sentencias preparadas por nombre.
struct Directo
{
    ConexionPg c = conectarPg(textoPg);
    int preparadas = 0;

    // Prepara la sentencia y devuelve su nombre.
    QByteArray preparar(const char* sql)
    {
        const QByteArray nombre = "s" + QByteArray::number(++preparadas);
        PQclear(PQprepare(c.get(), nombre.constData(), sql, 0, nullptr));
        return nombre;
    }
    // Ejecuta una sentencia preparada con sus valores como texto; devuelve la primera celda.
    QByteArray ejecutar(const QByteArray& nombre, const std::vector<QByteArray>& valores = {})
    {
        std::vector<const char*> v;
        for (const QByteArray& x : valores)
            v.push_back(x.constData());
        PGresult* r = PQexecPrepared(c.get(), nombre.constData(), int(v.size()), v.data(), nullptr, nullptr, 0);
        const QByteArray celda = PQntuples(r) > 0 ? QByteArray(PQgetvalue(r, 0, 0)) : QByteArray();
        PQclear(r);
        return celda;
    }
    void orden(const char* sql) { PQclear(PQexec(c.get(), sql)); }
};

QByteArray n(long long v)
{
    return QByteArray::number(v);
}

std::vector<QVariantList> filas(const QString& sql, const QVariantList& valores = {})
{
    return Conexion::obtener(conexion)->leerFilas(sql, valores);
}

// Un puesto de un centro de en medio de la cartera, como en las medidas del archivo.
PuestoEscala puestoDeEnMedio()
{
    const std::vector<QVariantList> todos =
        filas("SELECT p.IDPuestoCentro, p.Puesto, p.IDCentro, c.IDEmpresa FROM PuestosCentros p JOIN CentroTrabajo c "
              "ON c.IDCentro = p.IDCentro ORDER BY p.IDPuestoCentro");
    if (todos.empty())
        throw std::runtime_error("la base de escala no tiene puestos");
    const QVariantList& f = todos[todos.size() / 2];
    return {f.value(0).toLongLong(), f.value(2).toLongLong(), f.value(3).toLongLong(), f.value(1).toString()};
}

PuestoEscala puesto;

// ---------------------------------------------------------------- alta de un puesto
void borrarPuesto(long long id)
{
    Conexion::obtener(conexion)->ejecutar("DELETE FROM PuestosCentros WHERE IDPuestoCentro = ?", {id});
}

void AnadirPuesto_nuestro(benchmark::State& estado)
{
    NuevoPuesto p;
    p.idCentro = puesto.centro;
    p.idEmpresa = puesto.empresa;
    p.puesto = "Carretillero";
    p.descripcion = "Manejo de carretilla elevadora";
    p.trabajadores = "2";
    for (auto _ : estado) {
        const long long id = AnadirPuestoConFactores(conexion, p);
        estado.PauseTiming();
        borrarPuesto(id);
        estado.ResumeTiming();
    }
}

void AnadirPuesto_directo(benchmark::State& estado)
{
    Directo d;
    const QByteArray alta = d.preparar("INSERT INTO PuestosCentros (IDCentro, Puesto, Descripcion, NTrabajadores, "
                                       "Fecha) VALUES ($1, 'Carretillero', 'Manejo de carretilla elevadora', $2, "
                                       "localtimestamp(0)) RETURNING IDPuestoCentro");
    const QByteArray factores = d.preparar("INSERT INTO FactoresSeleccionarEvaluacion (IDEmpresa, IDCentro, "
                                           "IDPuestoCentro, IDFactor, Factor, FactorSelecionado) SELECT $1, $2, $3, "
                                           "IDFactor, Factor, 'N' FROM FactoresRiesgos ORDER BY IDFactor");
    for (auto _ : estado) {
        d.orden("BEGIN");
        const QByteArray id = d.ejecutar(alta, {n(puesto.centro), "2"});
        d.ejecutar(factores, {n(puesto.empresa), n(puesto.centro), id});
        d.orden("COMMIT");
        estado.PauseTiming();
        borrarPuesto(id.toLongLong());
        estado.ResumeTiming();
    }
}

// ---------------------------------------------------------------- marcar y desmarcar un factor
// El caso caro: un factor de diez riesgos con seis medidas cada uno, con su fila sin marcar en el
// puesto, añadido una vez al catálogo de la base.
FilaFactor factorGrande;

FilaFactor factorSinMarcar()
{
    if (factorGrande.idFactor != 0)
        return factorGrande;
    auto c = Conexion::obtener(conexion);
    Transaccion t(conexion);
    const long long idFactor =
        filas("INSERT INTO FactoresRiesgos (Factor) VALUES ('Factor de diez riesgos') RETURNING IDFactor")
            .front()
            .value(0)
            .toLongLong();
    c->ejecutar("INSERT INTO RiesgosFactores (IDFactor, IDRiesgo) SELECT ?, IDRiesgo FROM Riesgos ORDER BY IDRiesgo "
                "LIMIT 10",
                {idFactor});
    for (int m = 0; m < 6; ++m)
        c->ejecutar("INSERT INTO Medidas (IDRiesgo, IDFactor, Medida) SELECT IDRiesgo, IDFactor, 'Medida de prueba' "
                    "FROM RiesgosFactores WHERE IDFactor = ?",
                    {idFactor});
    factorGrande.idEvaluacionCrear =
        filas("INSERT INTO FactoresSeleccionarEvaluacion (IDEmpresa, IDCentro, IDPuestoCentro, IDFactor, Factor, "
              "FactorSelecionado) VALUES (?, ?, ?, ?, 'Factor de diez riesgos', 'N') RETURNING IDEvaluacionCrear",
              {puesto.empresa, puesto.centro, puesto.puesto, idFactor})
            .front()
            .value(0)
            .toLongLong();
    t.confirmar();
    factorGrande.idFactor = idFactor;
    factorGrande.idPuestoCentro = puesto.puesto;
    factorGrande.idCentro = puesto.centro;
    factorGrande.idEmpresa = puesto.empresa;
    return factorGrande;
}

void MarcarFactor_nuestro(benchmark::State& estado)
{
    const FilaFactor f = factorSinMarcar();
    for (auto _ : estado) {
        MarcarFactor(conexion, f);
        estado.PauseTiming();
        DesmarcarFactor(conexion, f.idEvaluacionCrear);
        estado.ResumeTiming();
    }
}

// Las mismas filas que el programa: una de evaluación por riesgo del factor con sus medidas sin
// marcar, y la fila del factor marcada.
struct MarcaDirecta
{
    Directo& d;
    QByteArray filas = d.preparar("INSERT INTO Evaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro, "
                                  "IDFactor, IDRiesgo, Mostrar) SELECT $1, $2, $3, $4, IDFactor, IDRiesgo, 'S' FROM "
                                  "RiesgosFactores WHERE IDFactor = $5 ORDER BY IDRiesgo");
    QByteArray medidas = d.preparar("INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida) SELECT "
                                    "e.IDEvaluacion, m.Medida, 'N' FROM Evaluacion e JOIN Medidas m ON m.IDFactor = "
                                    "e.IDFactor AND m.IDRiesgo = e.IDRiesgo WHERE e.IDEvaluacionCrear = $1 ORDER BY "
                                    "e.IDEvaluacion, m.IDMedida");
    QByteArray marca = d.preparar("UPDATE FactoresSeleccionarEvaluacion SET FactorSelecionado = $2 WHERE "
                                  "IDEvaluacionCrear = $1");

    void operator()(const FilaFactor& f)
    {
        d.orden("BEGIN");
        d.ejecutar(filas, {n(f.idEvaluacionCrear), n(f.idEmpresa), n(f.idCentro), n(f.idPuestoCentro), n(f.idFactor)});
        d.ejecutar(medidas, {n(f.idEvaluacionCrear)});
        d.ejecutar(marca, {n(f.idEvaluacionCrear), "S"});
        d.orden("COMMIT");
    }
};

void MarcarFactor_directo(benchmark::State& estado)
{
    const FilaFactor f = factorSinMarcar();
    Directo d;
    MarcaDirecta marcar{d};
    for (auto _ : estado) {
        marcar(f);
        estado.PauseTiming();
        DesmarcarFactor(conexion, f.idEvaluacionCrear);
        estado.ResumeTiming();
    }
}

void DesmarcarFactor_nuestro(benchmark::State& estado)
{
    const FilaFactor f = factorSinMarcar();
    for (auto _ : estado) {
        estado.PauseTiming();
        MarcarFactor(conexion, f);
        estado.ResumeTiming();
        DesmarcarFactor(conexion, f.idEvaluacionCrear);
    }
}

void DesmarcarFactor_directo(benchmark::State& estado)
{
    const FilaFactor f = factorSinMarcar();
    Directo d;
    const QByteArray borrar = d.preparar("DELETE FROM Evaluacion WHERE IDEvaluacionCrear = $1");
    const QByteArray mostrar = d.preparar(
        "UPDATE Evaluacion SET Mostrar = 'S' WHERE IDEvaluacion IN (SELECT min(IDEvaluacion) FROM Evaluacion WHERE "
        "IDPuestoCentro = $1 GROUP BY IDRiesgo HAVING sum(CASE WHEN Mostrar = 'S' THEN 1 ELSE 0 END) = 0)");
    const QByteArray marca = d.preparar("UPDATE FactoresSeleccionarEvaluacion SET FactorSelecionado = 'N' WHERE "
                                        "IDEvaluacionCrear = $1");
    for (auto _ : estado) {
        estado.PauseTiming();
        MarcarFactor(conexion, f);
        estado.ResumeTiming();
        d.orden("BEGIN");
        d.ejecutar(borrar, {n(f.idEvaluacionCrear)});
        d.ejecutar(mostrar, {n(f.idPuestoCentro)});
        d.ejecutar(marca, {n(f.idEvaluacionCrear)});
        d.orden("COMMIT");
    }
}

// ---------------------------------------------------------------- evaluar un riesgo
const char* const grados[][2] = {{"Alta", "Dañino"}, {"Baja", "Ligeramente Dañino"}};

// El puesto con el factor grande marcado: tiene riesgos que evaluar y medidas que marcar.
void conRiesgos()
{
    const FilaFactor f = factorSinMarcar();
    if (filas("SELECT count(*) FROM Evaluacion WHERE IDEvaluacionCrear = ?", {f.idEvaluacionCrear})
            .front()
            .value(0)
            .toLongLong() == 0)
        MarcarFactor(conexion, f);
}

void EvaluarRiesgo_nuestro(benchmark::State& estado)
{
    conRiesgos();
    EvaluarRiesgoComoLaVentana(estado, conexion, puesto.puesto);
}

void EvaluarRiesgo_directo(benchmark::State& estado)
{
    conRiesgos();
    const QByteArray id =
        n(filas("SELECT min(IDEvaluacion) FROM Evaluacion WHERE IDPuestoCentro = ? AND Mostrar = 'S'", {puesto.puesto})
              .front()
              .value(0)
              .toLongLong());
    Directo d;
    const QByteArray u = d.preparar(
        "UPDATE Evaluacion SET Probabilidad = $1, Consecuencias = $2, ValorRiesgo = $3 WHERE IDEvaluacion = $4");
    int k = 0;
    for (auto _ : estado) {
        const auto& g = grados[k++ % 2];
        d.ejecutar(u, {g[0], g[1], NivelRiesgo(g[0], g[1]).toUtf8(), id});
    }
}

// ---------------------------------------------------------------- grabar la evaluación del puesto
void GrabarEvaluacion_nuestro(benchmark::State& estado)
{
    conRiesgos();
    for (auto _ : estado)
        benchmark::DoNotOptimize(CopiarEvaluacionAOcultas(conexion, puesto.puesto));
}

void GrabarEvaluacion_directo(benchmark::State& estado)
{
    conRiesgos();
    Directo d;
    const QByteArray u = d.preparar(
        "UPDATE Evaluacion AS o SET Probabilidad = m.Probabilidad, Consecuencias = m.Consecuencias, ValorRiesgo = "
        "m.ValorRiesgo FROM Evaluacion AS m WHERE o.IDPuestoCentro = $1 AND o.Mostrar = 'N' AND m.IDPuestoCentro = $1 "
        "AND m.IDRiesgo = o.IDRiesgo AND m.Mostrar = 'S'");
    for (auto _ : estado)
        d.ejecutar(u, {n(puesto.puesto)});
}

// ---------------------------------------------------------------- marcar una medida
void MarcarMedida_nuestro(benchmark::State& estado)
{
    conRiesgos();
    MarcarMedidaComoLaVentana(estado, conexion, puesto.puesto);
}

void MarcarMedida_directo(benchmark::State& estado)
{
    conRiesgos();
    const QByteArray id =
        n(filas("SELECT min(IDMedidaFactor) FROM VFactoresMedidas WHERE IDPuestoCentro = ?", {puesto.puesto})
              .front()
              .value(0)
              .toLongLong());
    Directo d;
    const QByteArray u = d.preparar("UPDATE MedidasFactores SET MarcarMedida = $1 WHERE IDMedidaFactor = $2");
    int k = 0;
    for (auto _ : estado)
        d.ejecutar(u, {k++ % 2 ? "S" : "N", id});
}

// ---------------------------------------------------------------- las tres comprobaciones del centro
void Comprobaciones_nuestro(benchmark::State& estado)
{
    ComprobacionesDelCentro(estado, conexion, puesto.empresa, puesto.centro);
}

void Comprobaciones_directo(benchmark::State& estado)
{
    Directo d;
    const QByteArray consultas[] = {
        d.preparar("SELECT count(*) FROM VEvaluacionFactoresSeleccionados WHERE IDEmpresa = $1 AND IDCentro = $2 AND "
                   "Total = 0"),
        d.preparar("SELECT count(*) FROM VEvaluacionRiesgos WHERE IDEmpresa = $1 AND IDCentro = $2 AND Total1 <> "
                   "Total2"),
        d.preparar("SELECT count(*) FROM VEvaluacionMedidas WHERE IDEmpresa = $1 AND IDCentro = $2 AND Total = 0")};
    for (auto _ : estado)
        for (const QByteArray& c : consultas)
            benchmark::DoNotOptimize(d.ejecutar(c, {n(puesto.empresa), n(puesto.centro)}));
}

// ---------------------------------------------------------------- añadir una línea al plan
long long planDelCentro()
{
    const auto f = filas("SELECT IDActuacion FROM \"ActuaciónPreventiva\" WHERE IDCentro = ?", {puesto.centro});
    if (!f.empty())
        return f.front().value(0).toLongLong();
    return filas("INSERT INTO \"ActuaciónPreventiva\" (IDCentro, Persona) VALUES (?, 'Ana') RETURNING IDActuacion",
                 {puesto.centro})
        .front()
        .value(0)
        .toLongLong();
}

void quitarLinea(long long id)
{
    Recordset::execute("DELETE FROM \"ActuaciónPreventivaRegistro\" WHERE IDActuacionRegistro = ?", conexion, {id});
}

void AnadirLineaPlan_nuestro(benchmark::State& estado)
{
    const long long plan = planDelCentro();
    for (auto _ : estado) {
        const long long id = AnadirLineaComoLaVentana(conexion, plan);
        estado.PauseTiming();
        quitarLinea(id);
        estado.ResumeTiming();
    }
}

void AnadirLineaPlan_directo(benchmark::State& estado)
{
    const long long plan = planDelCentro();
    Directo d;
    const QByteArray i = d.preparar("INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva, "
                                    "FechaLimite, ResponsableEjecucion, PresupuestoAproximado) VALUES ($1, 'Revisión "
                                    "de extintores', '2027-03-01', 'Gerencia', '150') RETURNING IDActuacionRegistro");
    for (auto _ : estado) {
        const QByteArray id = d.ejecutar(i, {n(plan)});
        estado.PauseTiming();
        quitarLinea(id.toLongLong());
        estado.ResumeTiming();
    }
}

// ---------------------------------------------------------------- varios técnicos a la vez
// Cada cliente es un proceso con su conexión que marca y desmarca un factor de un puesto de su
// centro. Empiezan a la vez (a la hora que se les da) y cada uno dice cuántos por segundo.
// Vueltas bastantes para que cada cliente trabaje más de medio segundo: con menos, lo que tarda en
// arrancar cada proceso pesa más que lo medido.
constexpr int VueltasCliente = 400;

// Un puesto de cada uno de los primeros centros, con un factor sin marcar que da riesgos.
std::vector<FilaFactor> factoresDeCentros(int centros)
{
    std::vector<FilaFactor> r;
    for (const QVariantList& f :
         filas("SELECT s.IDEvaluacionCrear, s.IDFactor, s.IDPuestoCentro, s.IDEmpresa, s.IDCentro FROM "
               "FactoresSeleccionarEvaluacion s WHERE s.IDEvaluacionCrear IN (SELECT min(x.IDEvaluacionCrear) FROM "
               "FactoresSeleccionarEvaluacion x WHERE x.FactorSelecionado = 'N' AND x.IDFactor IN (SELECT IDFactor "
               "FROM RiesgosFactores GROUP BY IDFactor HAVING count(*) >= 3) GROUP BY x.IDCentro) ORDER BY s.IDCentro "
               "LIMIT ?",
               {centros}))
        r.push_back({f.value(0).toLongLong(), f.value(1).toLongLong(), f.value(2).toLongLong(), f.value(3).toLongLong(),
                     f.value(4).toLongLong()});
    return r;
}

// Lo que hace cada proceso cliente: devuelve 0 e imprime las marcas por segundo.
int cliente(const QStringList& args)
{
    const FilaFactor f{args.value(0).toLongLong(), args.value(1).toLongLong(), args.value(2).toLongLong(),
                       args.value(3).toLongLong(), args.value(4).toLongLong()};
    const qint64 inicio = args.value(5).toLongLong();
    Conexion::obtener(conexion);
    while (QDateTime::currentMSecsSinceEpoch() < inicio)
        QThread::msleep(1);
    QElapsedTimer reloj;
    reloj.start();
    for (int i = 0; i < VueltasCliente; ++i) {
        MarcarFactor(conexion, f);
        DesmarcarFactor(conexion, f.idEvaluacionCrear);
    }
    std::printf("%f\n", 2.0 * VueltasCliente / (double(reloj.nsecsElapsed()) / 1e9));
    Conexion::cerrarTodas();
    return 0;
}

// Marcas por segundo de cada uno de los clientes, lanzados a la vez.
std::vector<double> pasarClientes(const std::vector<FilaFactor>& factores)
{
    const qint64 inicio = QDateTime::currentMSecsSinceEpoch() + 1500;
    std::vector<std::unique_ptr<QProcess>> procesos;
    for (const FilaFactor& f : factores) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // El texto de libpq lleva la contraseña: por el entorno, no en la línea de órdenes.
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        entorno.insert(QStringLiteral("EVALUACION_MEDIDAS_PG"), textoPg);
        p->setProcessEnvironment(entorno);
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--cliente"), QString::number(f.idEvaluacionCrear), QString::number(f.idFactor),
                  QString::number(f.idPuestoCentro), QString::number(f.idEmpresa), QString::number(f.idCentro),
                  QString::number(inicio)});
        procesos.push_back(std::move(p));
    }
    std::vector<double> r;
    for (auto& p : procesos) {
        p->waitForFinished(-1);
        r.push_back(p->exitCode() == 0 ? p->readAllStandardOutput().trimmed().toDouble() : 0.0);
    }
    return r;
}

void CuatroClientes(benchmark::State& estado)
{
    const std::vector<FilaFactor> factores = factoresDeCentros(4);
    if (factores.size() < 4) {
        estado.SkipWithError("faltan centros con factores sin marcar");
        return;
    }
    double uno = 0, peor = 0, suma = 0;
    for (auto _ : estado) {
        uno = pasarClientes({factores.front()}).front();
        const std::vector<double> cuatro = pasarClientes(factores);
        peor = *std::min_element(cuatro.begin(), cuatro.end());
        suma = std::accumulate(cuatro.begin(), cuatro.end(), 0.0);
    }
    estado.counters["uno_por_s"] = uno;
    estado.counters["peor_de_cuatro_por_s"] = peor;
    estado.counters["cuatro_frente_a_uno"] = uno > 0 ? peor / uno : 0;
    // Lo que dan los cuatro juntos frente a uno solo, y los núcleos de la máquina: cada cliente y su
    // proceso del servidor se turnan en uno, así que con menos núcleos que clientes cada uno no puede
    // dar más que núcleos ÷ clientes de lo que da solo.
    estado.counters["suma_de_cuatro_frente_a_uno"] = uno > 0 ? suma / uno : 0;
    estado.counters["nucleos"] = double(QThread::idealThreadCount());
}

void registrar(const char* accion, void (*nuestro)(benchmark::State&), void (*directo)(benchmark::State&))
{
    const std::string a(accion);
    benchmark::RegisterBenchmark((a + "/nuestro").c_str(), nuestro)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((a + "/directo").c_str(), directo)->Unit(benchmark::kMillisecond);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication aplicacion(argc, argv);
    const QStringList args = aplicacion.arguments();
    if (args.value(1) == QLatin1String("--cliente")) {
        textoPg = qEnvironmentVariable("EVALUACION_MEDIDAS_PG");
        conexion = textoPrograma(textoPg);
        return cliente(args.mid(2));
    }
    const QString carpetaEscala = LeerBaseEscala();
    if (carpetaEscala.isEmpty())
        return 2;
    QFile archivo(qEnvironmentVariable("EVALUACION_SERVIDOR_PRUEBAS"));
    if (!archivo.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_servidor: sin servidor de pruebas (EVALUACION_SERVIDOR_PRUEBAS); no se mide.\n");
        return 0;
    }
    BaseMedidas base;
    base.admin = QString::fromUtf8(archivo.readAll()).trimmed();
    base.nombre = QStringLiteral("medidas_%1").arg(QCoreApplication::applicationPid());
    {
        ConexionPg admin = conectarPg(base.admin);
        ejecutarPg(admin.get(), QStringLiteral("CREATE DATABASE %1").arg(base.nombre));
    }
    textoPg = base.admin + QStringLiteral(" dbname=") + base.nombre;
    {
        // Se traslada una copia que el programa ha abierto antes: la base de escala puede venir de
        // una revisión anterior del esquema, y sólo se trasladan bases al día.
        CopiaEscala copia(carpetaEscala);
        Conexion::obtener(copia.conexion);
        Conexion::cerrarTodas();
        ConexionPg c = conectarPg(textoPg);
        const ResultadoTraslado r = trasladarAlServidor(copia.dir.filePath("Evaluacion.mdb"), c.get());
        if (!r.hecho) {
            std::fprintf(stderr, "bench_servidor: %s\n", r.mensaje.toUtf8().constData());
            return 1;
        }
        ejecutarPg(c.get(), QStringLiteral("VACUUM ANALYZE"));
    }
    conexion = textoPrograma(textoPg);
    puesto = puestoDeEnMedio();

    registrar("Añadir un puesto", AnadirPuesto_nuestro, AnadirPuesto_directo);
    registrar("Marcar un factor", MarcarFactor_nuestro, MarcarFactor_directo);
    registrar("Desmarcar un factor", DesmarcarFactor_nuestro, DesmarcarFactor_directo);
    registrar("Evaluar un riesgo", EvaluarRiesgo_nuestro, EvaluarRiesgo_directo);
    registrar("Grabar la evaluación del puesto", GrabarEvaluacion_nuestro, GrabarEvaluacion_directo);
    registrar("Marcar una medida", MarcarMedida_nuestro, MarcarMedida_directo);
    registrar("Las tres comprobaciones", Comprobaciones_nuestro, Comprobaciones_directo);
    registrar("Añadir una línea al plan", AnadirLineaPlan_nuestro, AnadirLineaPlan_directo);
    benchmark::RegisterBenchmark("Cuatro clientes marcando factores", CuatroClientes)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    PasarMedidas(argc, argv);
    return 0;
}
