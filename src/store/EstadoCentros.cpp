#include "store/EstadoCentros.h"

#include "store/Conexion.h"
#include "store/ErrorBD.h"
#include "store/SentenciaPreparada.h"
#include "store/ValoresSqlite.h"

#include <QHash>
#include <atomic>
#include <future>
#include <sqlite3.h>
#include <stdexcept>
#include <unordered_map>

namespace {
// La fecha límite de una línea como texto ISO si es una fecha de verdad (la lee igual que la ventana
// del plan); si no, nula y la línea nunca está vencida. SQLite da por buena la fecha "2026-02-30":
// sólo al sumarle algo la lleva al día que existe, y entonces ya no es la misma.
#define LIMITE_LINEA                                                                                                   \
    "CASE WHEN typeof(r.FechaLimite) = 'text' AND date(substr(r.FechaLimite, 1, 10), '+0 days') = "                    \
    "substr(r.FechaLimite, 1, 10) "                                                                                    \
    "THEN substr(r.FechaLimite, 1, 10) END"
// Hecha: realizada o verificada; cualquier otro estado, o ninguno, está por hacer.
#define LINEA_HECHA "coalesce(r.Estado, 'Pendiente') IN ('Realizada', 'Verificada')"

// Las tres comprobaciones del inicio de la evaluación, por puesto y sumadas por centro: puestos,
// puestos sin factores marcados, puestos con algún riesgo sin valorar (o sin ninguno) y factores
// marcados sin ninguna medida. "%1" es la condición de los centros que se leen.
const char* const comprobaciones = R"SQL(
WITH Puestos AS (
    SELECT p.IDCentro, count(*) AS Puestos,
           sum(NOT EXISTS (SELECT 1 FROM FactoresSeleccionarEvaluacion s
                           WHERE s.IDPuestoCentro = p.IDPuestoCentro AND s.FactorSelecionado = 'S')) AS SinFactores,
           sum(NOT EXISTS (SELECT 1 FROM Evaluacion e WHERE e.IDPuestoCentro = p.IDPuestoCentro AND e.Mostrar = 'S')
               OR EXISTS (SELECT 1 FROM Evaluacion e
                          WHERE e.IDPuestoCentro = p.IDPuestoCentro AND e.Mostrar = 'S'
                            AND (coalesce(e.Probabilidad, '') = '' OR coalesce(e.Consecuencias, '') = ''
                                 OR coalesce(e.ValorRiesgo, '') = ''))) AS SinValorar
    FROM PuestosCentros p
    WHERE %1
    GROUP BY p.IDCentro
), SinMedidas AS (
    SELECT p.IDCentro, count(*) AS Factores
    FROM PuestosCentros p
    JOIN FactoresSeleccionarEvaluacion s ON s.IDPuestoCentro = p.IDPuestoCentro AND s.FactorSelecionado = 'S'
    WHERE %1
      AND NOT EXISTS (SELECT 1 FROM Evaluacion e JOIN MedidasFactores m ON m.IDEvaluacion = e.IDEvaluacion
                      WHERE e.IDEvaluacionCrear = s.IDEvaluacionCrear AND m.MarcarMedida = 'S')
    GROUP BY p.IDCentro
)
SELECT p.IDCentro, p.Puestos, p.SinFactores, p.SinValorar, coalesce(m.Factores, 0)
FROM Puestos p
LEFT JOIN SinMedidas m ON m.IDCentro = p.IDCentro
)SQL";

// Cada centro con su empresa, sus fechas y las líneas de sus planes.
const char* const centrosYLineas = R"SQL(
WITH Lineas AS (
    SELECT a.IDCentro, sum(NOT l.Hecha) AS Pendientes, sum(NOT l.Hecha AND l.Limite < ?1) AS Vencidas,
           sum(l.Hecha) AS Hechas
    FROM (SELECT r.IDActuacion, )SQL" LINEA_HECHA R"SQL( AS Hecha, )SQL" LIMITE_LINEA R"SQL( AS Limite
          FROM "ActuaciónPreventivaRegistro" r) l
    JOIN "ActuaciónPreventiva" a ON a.IDActuacion = l.IDActuacion
    GROUP BY a.IDCentro
)
SELECT c.IDCentro, c.IDEmpresa, coalesce(e.Nombre, ''), coalesce(nullif(c.Direccion, ''), c.NombreCentro, ''),
       c.FechaEvaluacion, c.FechaRevision, coalesce(l.Pendientes, 0), coalesce(l.Vencidas, 0), coalesce(l.Hechas, 0)
FROM CentroTrabajo c
JOIN Empresas e ON e.IDEmpresa = c.IDEmpresa
LEFT JOIN Lineas l ON l.IDCentro = c.IDCentro
ORDER BY c.IDEmpresa, c.IDCentro
)SQL";

// Los presupuestos de las líneas sin hacer, una fila por centro y texto distinto: el mismo texto se
// lee una sola vez.
const char* const presupuestos = R"SQL(
SELECT a.IDCentro, r.PresupuestoAproximado, count(*)
FROM "ActuaciónPreventivaRegistro" r
JOIN "ActuaciónPreventiva" a ON a.IDActuacion = r.IDActuacion
WHERE NOT )SQL" LINEA_HECHA R"SQL( AND trim(coalesce(r.PresupuestoAproximado, '')) <> ''
GROUP BY a.IDCentro, r.PresupuestoAproximado
)SQL";

const char* const vencimientos = R"SQL(
SELECT (SELECT count(*) FROM CentroTrabajo
        WHERE typeof(FechaRevision) = 'text' AND date(substr(FechaRevision, 1, 10), '+0 days') = substr(FechaRevision, 1, 10)
          AND substr(FechaRevision, 1, 10) < ?1),
       (SELECT count(*) FROM "ActuaciónPreventivaRegistro" r WHERE NOT )SQL" LINEA_HECHA R"SQL(
          AND )SQL" LIMITE_LINEA R"SQL( < ?1)
)SQL";
#undef LIMITE_LINEA
#undef LINEA_HECHA

QString texto(sqlite3_stmt* st, int i)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)), sqlite3_column_bytes(st, i));
}

QDate fecha(sqlite3_stmt* st, int i)
{
    if (sqlite3_column_type(st, i) != SQLITE_TEXT)
        return {};
    return QDate::fromString(texto(st, i).left(10), Qt::ISODate);
}

void terminar(Conexion& c, int rc, const QByteArray& sql)
{
    if (rc != SQLITE_DONE)
        c.lanzar(rc, QString::fromUtf8(sql));
}

struct Comprobado
{
    int puestos = 0, sinFactores = 0, sinValorar = 0, sinMedidas = 0;
};

PasoPendiente paso(const Comprobado& c)
{
    if (c.puestos == 0)
        return PasoPendiente::Puestos;
    if (c.sinFactores > 0)
        return PasoPendiente::Factores;
    if (c.sinValorar > 0)
        return PasoPendiente::Riesgos;
    if (c.sinMedidas > 0)
        return PasoPendiente::Medidas;
    return PasoPendiente::Completa;
}

// Las comprobaciones recorren todos los factores, riesgos y medidas de la base: a escala de una
// asesoría grande es casi un segundo. Por eso se guardan por centro y, la vez siguiente, sólo se
// rehacen las de los centros en los que se ha escrito desde entonces. Los apuntan disparadores
// temporales de la conexión (no tocan el archivo) en las cuatro tablas que miran las comprobaciones;
// un cambio hecho desde otra conexión (PRAGMA data_version) o una conexión nueva lo rehacen todo.
using Comprobados = std::unordered_map<long long, Comprobado>;

struct Memoria
{
    std::weak_ptr<Conexion> conexion;
    long long version = -1;
    Comprobados centros;
    // Lo que se está leyendo aparte desde que arrancó el programa (PrepararEstadoCentros), y la
    // señal que le dice que lo deje.
    std::future<Comprobados> preparando;
    std::shared_ptr<std::atomic<bool>> parar;
};

Memoria& memoria()
{
    static Memoria m;
    return m;
}

long long versionDatos(Conexion& c)
{
    const SentenciaPreparada st(c, "PRAGMA data_version");
    const int rc = sqlite3_step(st.get());
    if (rc != SQLITE_ROW)
        c.lanzar(rc, QStringLiteral("PRAGMA data_version"));
    return sqlite3_column_int64(st.get(), 0);
}

// El centro de cada fila que se escribe, por su puesto (como lo agrupan las comprobaciones). Dentro
// de un disparador SQLite no admite el esquema delante de la tabla en la que se inserta: sin él, la
// tabla temporal se encuentra antes que cualquier otra.
void vigilarCambios(Conexion& c)
{
    QString sql = QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS CentrosTocados (IDCentro INTEGER PRIMARY KEY);\n");
    struct Tabla
    {
        const char* nombre;
        const char* centro; // el centro de la fila, con "%1" en lugar de NEW u OLD
    };
    const Tabla tablas[] = {
        {"PuestosCentros", "SELECT %1.IDCentro AS Centro"},
        {"FactoresSeleccionarEvaluacion",
         "SELECT IDCentro AS Centro FROM main.PuestosCentros WHERE IDPuestoCentro = %1.IDPuestoCentro"},
        {"Evaluacion", "SELECT IDCentro AS Centro FROM main.PuestosCentros WHERE IDPuestoCentro = %1.IDPuestoCentro"},
        {"MedidasFactores",
         "SELECT p.IDCentro AS Centro FROM main.Evaluacion e JOIN main.PuestosCentros p ON p.IDPuestoCentro "
         "= e.IDPuestoCentro WHERE e.IDEvaluacion = %1.IDEvaluacion"},
    };
    const auto apuntar = [](const Tabla& t, const char* fila) {
        // Sin cláusula de conflicto: la de la sentencia que dispara mandaría sobre ella, y un "OR FAIL"
        // haría fallar la escritura del usuario por un centro ya apuntado.
        return QStringLiteral("INSERT INTO CentrosTocados SELECT Centro FROM (%1) "
                              "WHERE Centro NOT IN (SELECT IDCentro FROM CentrosTocados);")
            .arg(QString::fromLatin1(t.centro).arg(QLatin1String(fila)));
    };
    for (const Tabla& t : tablas) {
        const QString n = QString::fromLatin1(t.nombre);
        sql += QStringLiteral("CREATE TEMP TRIGGER IF NOT EXISTS Tocado%1Alta AFTER INSERT ON main.%1 BEGIN %2 END;\n")
                   .arg(n, apuntar(t, "NEW"));
        sql += QStringLiteral(
                   "CREATE TEMP TRIGGER IF NOT EXISTS Tocado%1Cambio AFTER UPDATE ON main.%1 BEGIN %2 %3 END;\n")
                   .arg(n, apuntar(t, "OLD"), apuntar(t, "NEW"));
        sql += QStringLiteral("CREATE TEMP TRIGGER IF NOT EXISTS Tocado%1Baja BEFORE DELETE ON main.%1 BEGIN %2 END;\n")
                   .arg(n, apuntar(t, "OLD"));
    }
    c.ejecutar(sql);
}

int recoger(sqlite3_stmt* st, Comprobados& centros)
{
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        centros[sqlite3_column_int64(st, 0)] = {sqlite3_column_int(st, 1), sqlite3_column_int(st, 2),
                                                sqlite3_column_int(st, 3), sqlite3_column_int(st, 4)};
    return rc;
}

void leerComprobaciones(Conexion& c, const QString& condicion, Comprobados& centros)
{
    const QByteArray sql = QString::fromUtf8(comprobaciones).arg(condicion).toUtf8();
    const SentenciaPreparada st(c, sql);
    terminar(c, recoger(st.get(), centros), sql);
}

// Todas las comprobaciones por una conexión propia de sólo lectura, en otro hilo: con el diario WAL
// no estorba a lo que escribe la del programa.
Comprobados leerAparte(const QByteArray& archivo, const std::shared_ptr<std::atomic<bool>>& parar)
{
    sqlite3* bd = nullptr;
    int rc = sqlite3_open_v2(archivo.constData(), &bd, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    Comprobados centros;
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(bd, 2000);
        // Se deja a medias en cuanto el programa lo pide (al cerrar): SQLite mira la señal cada poco.
        sqlite3_progress_handler(
            bd, 1000, [](void* senal) { return static_cast<std::atomic<bool>*>(senal)->load() ? 1 : 0; }, parar.get());
        SentenciaPreparada st =
            SentenciaPreparada::suelta(bd, QString::fromUtf8(comprobaciones).arg(QStringLiteral("1")).toUtf8(), rc);
        if (st)
            rc = recoger(st.get(), centros);
    }
    sqlite3_close(bd);
    if (rc != SQLITE_DONE)
        throw std::runtime_error("no se han podido leer las comprobaciones de los centros");
    return centros;
}

// Las comprobaciones de todos los centros, al día.
const Comprobados& comprobacionesAlDia(const std::shared_ptr<Conexion>& c)
{
    Memoria& m = memoria();
    if (m.preparando.valid()) {
        try {
            m.centros = m.preparando.get();
        } catch (const std::exception&) {
            // Se leen aquí, como si no se hubieran preparado.
            m.conexion.reset();
        }
    }
    const long long version = versionDatos(*c);
    if (m.conexion.lock() == c && m.version == version) {
        std::vector<long long> tocados;
        for (const QVariantList& f : c->leerFilas(QStringLiteral("SELECT IDCentro FROM temp.CentrosTocados")))
            tocados.push_back(f[0].toLongLong());
        if (tocados.empty())
            return m.centros;
        // Un centro que se ha quedado sin puestos ya no sale en la lectura: se quita antes.
        for (long long id : tocados)
            m.centros.erase(id);
        leerComprobaciones(*c, QStringLiteral("p.IDCentro IN (SELECT IDCentro FROM temp.CentrosTocados)"), m.centros);
        c->ejecutar(QStringLiteral("DELETE FROM temp.CentrosTocados"));
        return m.centros;
    }
    m = Memoria{};
    bool vigilada = true;
    try {
        vigilarCambios(*c);
        c->ejecutar(QStringLiteral("DELETE FROM temp.CentrosTocados"));
    } catch (const ErrorBD&) {
        // Sin disparadores no se sabe qué cambia: se leen todos cada vez.
        vigilada = false;
    }
    leerComprobaciones(*c, QStringLiteral("1"), m.centros);
    if (vigilada) {
        m.conexion = c;
        m.version = version;
    }
    return m.centros;
}
} // namespace

std::vector<EstadoCentro> LeerEstadoCentros(const QString& conexion, const QDate& hoy, const LectorImporte& leer)
{
    const std::shared_ptr<Conexion> c = Conexion::obtener(conexion);
    const Comprobados& comprobados = comprobacionesAlDia(c);
    std::vector<EstadoCentro> centros;
    std::unordered_map<long long, size_t> posicion;
    {
        const SentenciaPreparada st(*c, centrosYLineas);
        enlazarTodos(*c, st.get(), {hoy});
        int rc;
        while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
            EstadoCentro e;
            e.idCentro = sqlite3_column_int64(st.get(), 0);
            e.idEmpresa = sqlite3_column_int64(st.get(), 1);
            e.empresa = texto(st.get(), 2);
            e.centro = texto(st.get(), 3);
            e.fechaEvaluacion = fecha(st.get(), 4);
            e.fechaRevision = fecha(st.get(), 5);
            e.pendientes = sqlite3_column_int(st.get(), 6);
            e.vencidas = sqlite3_column_int(st.get(), 7);
            e.hechas = sqlite3_column_int(st.get(), 8);
            const auto comprobado = comprobados.find(e.idCentro);
            e.paso = paso(comprobado == comprobados.end() ? Comprobado{} : comprobado->second);
            posicion.emplace(e.idCentro, centros.size());
            centros.push_back(std::move(e));
        }
        terminar(*c, rc, centrosYLineas);
    }
    // En una cartera los mismos importes se repiten mucho: cada texto se lee una vez.
    QHash<QString, std::optional<double>> leidos;
    const SentenciaPreparada st(*c, presupuestos);
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        const auto donde = posicion.find(sqlite3_column_int64(st.get(), 0));
        if (donde == posicion.end())
            continue;
        EstadoCentro& e = centros[donde->second];
        const int veces = sqlite3_column_int(st.get(), 2);
        const QString escrito = texto(st.get(), 1);
        auto leido = leidos.find(escrito);
        if (leido == leidos.end())
            leido = leidos.insert(escrito, leer ? leer(escrito) : std::nullopt);
        if (const std::optional<double>& importe = *leido)
            e.presupuesto += *importe * veces;
        else
            e.presupuestosSinLeer += veces;
    }
    terminar(*c, rc, presupuestos);
    return centros;
}

void PrepararEstadoCentros(const QString& conexion)
{
    const std::shared_ptr<Conexion> c = Conexion::obtener(conexion);
    Memoria& m = memoria();
    if (m.conexion.lock() == c)
        return;
    TerminarEstadoCentros();
    // Los disparadores, antes de empezar a leer: lo que se escriba mientras queda apuntado.
    vigilarCambios(*c);
    c->ejecutar(QStringLiteral("DELETE FROM temp.CentrosTocados"));
    const long long version = versionDatos(*c);
    const QByteArray archivo = sqlite3_db_filename(c->sqlite(), "main");
    m.parar = std::make_shared<std::atomic<bool>>(false);
    m.preparando = std::async(std::launch::async, [archivo, parar = m.parar] { return leerAparte(archivo, parar); });
    m.conexion = c;
    m.version = version;
}

void TerminarEstadoCentros()
{
    Memoria& m = memoria();
    if (m.parar)
        *m.parar = true;
    if (m.preparando.valid()) {
        try {
            m.preparando.get();
        } catch (const std::exception&) {
            // Dejado a medias: no hay nada que guardar.
        }
    }
    m = Memoria{};
}

Vencimientos ContarVencimientos(const QString& conexion, const QDate& hoy)
{
    const std::shared_ptr<Conexion> c = Conexion::obtener(conexion);
    const SentenciaPreparada st(*c, vencimientos);
    enlazarTodos(*c, st.get(), {hoy});
    Vencimientos v;
    const int rc = sqlite3_step(st.get());
    if (rc != SQLITE_ROW)
        c->lanzar(rc, QString::fromUtf8(vencimientos));
    v.revisiones = sqlite3_column_int(st.get(), 0);
    v.acciones = sqlite3_column_int(st.get(), 1);
    return v;
}

bool RevisionVencida(const QDate& revision, const QDate& hoy)
{
    return revision.isValid() && revision < hoy;
}

bool RevisionProxima(const QDate& revision, const QDate& hoy)
{
    return revision.isValid() && revision >= hoy && revision <= hoy.addDays(30);
}
