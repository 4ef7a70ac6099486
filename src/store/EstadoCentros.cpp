#include "store/EstadoCentros.h"

#include "store/Conexion.h"
#include "store/ErrorBD.h"
#include "store/SentenciaPreparada.h"

#include <QHash>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <sqlite3.h>
#include <stdexcept>
#include <thread>
#include <typeinfo>
#include <unordered_map>
#include <unordered_set>

namespace {
// Una columna de fecha como texto ISO si es una fecha de verdad (la lee igual que la ventana del
// plan); si no, nula, y nunca está vencida. SQLite da por buena la fecha "2026-02-30": sólo al
// sumarle algo la lleva al día que existe, y entonces ya no es la misma. En el servidor la columna
// es de tipo fecha y sólo guarda fechas que existen.
QString fechaValida(bool archivo, const QString& columna)
{
    if (!archivo)
        return columna;
    return QStringLiteral("CASE WHEN typeof(%1) = 'text' AND date(substr(%1, 1, 10), '+0 days') = substr(%1, 1, 10) "
                          "THEN substr(%1, 1, 10) END")
        .arg(columna);
}

// Hecha: realizada o verificada; cualquier otro estado, o ninguno, está por hacer.
#define LINEA_HECHA "(coalesce(r.Estado, 'Pendiente') IN ('Realizada', 'Verificada'))"

// Las tres comprobaciones del inicio de la evaluación, por puesto y sumadas por centro: puestos,
// puestos sin factores marcados, puestos con algún riesgo sin valorar (o sin ninguno) y factores
// marcados sin ninguna medida. "%1" es la condición de los centros que se leen. Las condiciones se
// cuentan con CASE: el servidor no suma verdaderos y falsos.
const char* const comprobaciones = R"SQL(
WITH Puestos AS (
    SELECT p.IDCentro, count(*) AS Puestos,
           sum(CASE WHEN NOT EXISTS (SELECT 1 FROM FactoresSeleccionarEvaluacion s
                                     WHERE s.IDPuestoCentro = p.IDPuestoCentro AND s.FactorSelecionado = 'S')
                    THEN 1 ELSE 0 END) AS SinFactores,
           sum(CASE WHEN NOT EXISTS (SELECT 1 FROM Evaluacion e
                                     WHERE e.IDPuestoCentro = p.IDPuestoCentro AND e.Mostrar = 'S')
                      OR EXISTS (SELECT 1 FROM Evaluacion e
                                 WHERE e.IDPuestoCentro = p.IDPuestoCentro AND e.Mostrar = 'S'
                                   AND (coalesce(e.Probabilidad, '') = '' OR coalesce(e.Consecuencias, '') = ''
                                        OR coalesce(e.ValorRiesgo, '') = ''))
                    THEN 1 ELSE 0 END) AS SinValorar
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

// La condición de todos los centros.
const QString todos = QStringLiteral("1 = 1");

// Cada centro con su empresa, sus fechas y las líneas de sus planes. "%1" es la fecha límite de la
// línea r si es una fecha; "%2", la condición (sobre a.IDCentro) de los centros cuyas líneas se
// cuentan: los demás salen sin ninguna; "%3", la de los centros (c.IDCentro) que se leen.
const char* const centrosYLineas = R"SQL(
WITH Lineas AS (
    SELECT a.IDCentro, sum(1 - l.Hecha) AS Pendientes,
           sum(CASE WHEN l.Hecha = 0 AND l.Limite < ? THEN 1 ELSE 0 END) AS Vencidas, sum(l.Hecha) AS Hechas
    FROM (SELECT r.IDActuacion, CASE WHEN )SQL" LINEA_HECHA R"SQL( THEN 1 ELSE 0 END AS Hecha, %1 AS Limite
          FROM "ActuaciónPreventivaRegistro" r) l
    JOIN "ActuaciónPreventiva" a ON a.IDActuacion = l.IDActuacion
    WHERE %2
    GROUP BY a.IDCentro
)
SELECT c.IDCentro, c.IDEmpresa, coalesce(e.Nombre, ''), coalesce(nullif(c.Direccion, ''), c.NombreCentro, ''),
       c.FechaEvaluacion, c.FechaRevision, coalesce(l.Pendientes, 0), coalesce(l.Vencidas, 0), coalesce(l.Hechas, 0)
FROM CentroTrabajo c
JOIN Empresas e ON e.IDEmpresa = c.IDEmpresa
LEFT JOIN Lineas l ON l.IDCentro = c.IDCentro
WHERE %3
ORDER BY c.IDEmpresa, c.IDCentro
)SQL";

// Los presupuestos de las líneas sin hacer, una fila por centro y texto distinto: el mismo texto se
// lee una sola vez. "%1" es la condición (sobre a.IDCentro) de los centros que se leen.
const char* const presupuestos = R"SQL(
SELECT a.IDCentro, r.PresupuestoAproximado, count(*)
FROM "ActuaciónPreventivaRegistro" r
JOIN "ActuaciónPreventiva" a ON a.IDActuacion = r.IDActuacion
WHERE NOT )SQL" LINEA_HECHA R"SQL( AND trim(coalesce(r.PresupuestoAproximado, '')) <> '' AND %1
GROUP BY a.IDCentro, r.PresupuestoAproximado
)SQL";

// "%1" es la próxima revisión del centro si es una fecha, "%2" la fecha límite de la línea r.
const char* const vencimientos = R"SQL(
SELECT (SELECT count(*) FROM CentroTrabajo WHERE %1 < ?),
       (SELECT count(*) FROM "ActuaciónPreventivaRegistro" r WHERE NOT )SQL" LINEA_HECHA R"SQL( AND %2 < ?)
)SQL";
#undef LINEA_HECHA

QByteArray texto(const Conexion& c, ConsultaEstado consulta)
{
    return TextoConsultaEstado(consulta, c.sqlite() != nullptr);
}

QString texto(const SentenciaMotor& st, int i)
{
    return st.valor(i, {}).toString();
}

int entero(const SentenciaMotor& st, int i)
{
    return st.valor(i, {}).toInt();
}

// Una fecha guardada: texto ISO en el archivo, fecha en el servidor. No válida si no lo es.
QDate fecha(const SentenciaMotor& st, int i)
{
    const QVariant v = st.valor(i, {});
    switch (v.typeId()) {
    case QMetaType::QDate:
        return v.toDate();
    case QMetaType::QDateTime:
        return v.toDateTime().date();
    case QMetaType::QString:
        return QDate::fromString(v.toString().left(10), Qt::ISODate);
    default:
        return {};
    }
}

void terminar(Conexion& c, const SentenciaMotor& st, PasoSentencia paso)
{
    if (paso != PasoSentencia::Fin)
        c.lanzar(st.codigo(), QString::fromUtf8(st.texto()));
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
// temporales de la conexión (no tocan el archivo) en las tablas que miran las comprobaciones;
// un cambio hecho desde otra conexión (PRAGMA data_version) o una conexión nueva lo rehacen todo.
// Igual las líneas de los planes: contarlas recorre todas las de la base, y con lo guardado sólo se
// cuentan las de los centros tocados (los disparadores de las dos tablas del plan los apuntan en la
// misma lista). Las vencidas dependen de "hoy": otro día, se cuentan todas otra vez. Y la fila de
// cada centro (su empresa, su nombre, sus fechas), que se guarda con sus líneas: sólo se vuelven a
// leer las de los centros tocados, también al cambiar el centro o su empresa.
using Comprobados = std::unordered_map<long long, Comprobado>;

struct LineasCentro
{
    EstadoCentro fila; // sin el paso ni las cifras del plan, que se ponen al leer
    int pendientes = 0, vencidas = 0, hechas = 0;
    std::vector<std::pair<QString, int>> presupuestos; // texto y veces, de las líneas sin hacer
    // La fila ya hecha, con el paso y las cifras, la primera vez que se lee después de leer el centro.
    std::optional<EstadoCentro> hecho;
};
using LineasPorCentro = std::unordered_map<long long, LineasCentro>;

// Lo que se lee aparte al arrancar: las comprobaciones y, si se dio el día, las líneas de los planes
// contadas con él.
struct Preparado
{
    Comprobados centros;
    LineasPorCentro lineas;
    QDate hoy; // no válido si no se contaron las líneas
};

struct Memoria
{
    std::weak_ptr<Conexion> conexion;
    long long version = -1;
    Comprobados centros;
    LineasPorCentro lineas;
    QDate hoyLineas; // el día con el que se contaron las líneas guardadas; no válido si no hay
    // Las líneas guardadas en el orden por empresa y centro (empresa, centro), mientras no entre ni
    // salga ningún centro.
    std::vector<std::pair<long long, long long>> orden;
    bool ordenValido = false;
    // Los centros que se vuelven a leer, con su empresa de antes (-1 si no estaba): el orden sólo
    // cambia si entra o sale alguno, o alguno cambia de empresa.
    std::vector<std::pair<long long, long long>> tocados;
    // La regla con la que se leyeron los importes de las filas hechas.
    const std::type_info* regla = nullptr;
    const void* funcionRegla = nullptr; // si la regla es una función suelta, cuál
    // Lo que se está leyendo aparte desde que arrancó el programa (PrepararEstadoCentros), y la
    // señal que le dice que lo deje.
    std::future<Preparado> preparando;
    std::shared_ptr<std::atomic<bool>> parar;
};

Memoria& memoria()
{
    static Memoria m;
    return m;
}

// Sólo en SQLite.
long long versionDatos(Conexion& c)
{
    return c.leerFilas(QStringLiteral("PRAGMA data_version")).at(0).at(0).toLongLong();
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
        {"CentroTrabajo", "SELECT %1.IDCentro AS Centro"},
        {"Empresas", "SELECT IDCentro AS Centro FROM main.CentroTrabajo WHERE IDEmpresa = %1.IDEmpresa"},
        {"PuestosCentros", "SELECT %1.IDCentro AS Centro"},
        {"FactoresSeleccionarEvaluacion",
         "SELECT IDCentro AS Centro FROM main.PuestosCentros WHERE IDPuestoCentro = %1.IDPuestoCentro"},
        {"Evaluacion", "SELECT IDCentro AS Centro FROM main.PuestosCentros WHERE IDPuestoCentro = %1.IDPuestoCentro"},
        {"MedidasFactores",
         "SELECT p.IDCentro AS Centro FROM main.Evaluacion e JOIN main.PuestosCentros p ON p.IDPuestoCentro "
         "= e.IDPuestoCentro WHERE e.IDEvaluacion = %1.IDEvaluacion"},
        {"ActuaciónPreventiva", "SELECT %1.IDCentro AS Centro"},
        {"ActuaciónPreventivaRegistro",
         "SELECT IDCentro AS Centro FROM main.\"ActuaciónPreventiva\" WHERE IDActuacion = %1.IDActuacion"},
    };
    const auto apuntar = [](const Tabla& t, const char* fila) {
        // Sin cláusula de conflicto: la de la sentencia que dispara mandaría sobre ella, y un "OR FAIL"
        // haría fallar la escritura del usuario por un centro ya apuntado.
        return QStringLiteral("INSERT INTO CentrosTocados SELECT Centro FROM (%1) "
                              "WHERE Centro NOT IN (SELECT IDCentro FROM CentrosTocados);")
            .arg(QString::fromUtf8(t.centro).arg(QLatin1String(fila)));
    };
    for (const Tabla& t : tablas) {
        const QString n = QString::fromUtf8(t.nombre);
        sql += QStringLiteral(
                   "CREATE TEMP TRIGGER IF NOT EXISTS \"Tocado%1Alta\" AFTER INSERT ON main.\"%1\" BEGIN %2 END;\n")
                   .arg(n, apuntar(t, "NEW"));
        sql +=
            QStringLiteral("CREATE TEMP TRIGGER IF NOT EXISTS \"Tocado%1Cambio\" AFTER UPDATE ON main.\"%1\" BEGIN %2 "
                           "%3 END;\n")
                .arg(n, apuntar(t, "OLD"), apuntar(t, "NEW"));
        sql += QStringLiteral(
                   "CREATE TEMP TRIGGER IF NOT EXISTS \"Tocado%1Baja\" BEFORE DELETE ON main.\"%1\" BEGIN %2 END;\n")
                   .arg(n, apuntar(t, "OLD"));
    }
    c.ejecutar(sql);
}

LecturaEstado& lectura()
{
    static LecturaEstado l;
    return l;
}

PasoSentencia recoger(SentenciaMotor& st, Comprobados& centros)
{
    PasoSentencia paso;
    while ((paso = st.paso()) == PasoSentencia::Fila)
        centros[st.valor(0, {}).toLongLong()] = {entero(st, 1), entero(st, 2), entero(st, 3), entero(st, 4)};
    return paso;
}

void leerComprobaciones(Conexion& c, const QString& condicion, Comprobados& centros)
{
    const QByteArray sql = QString::fromUtf8(comprobaciones).arg(condicion).toUtf8();
    const SentenciaPreparada st(c, sql);
    const size_t antes = centros.size();
    terminar(c, *st, recoger(*st, centros));
    lectura().comprobados += int(centros.size() - antes);
}

QByteArray textoCentrosYLineas(bool archivo, const QString& lineas, const QString& centros);
QByteArray textoPresupuestos(const QString& condicion);

// Una fila de la lectura de los centros, guardada con sus líneas.
void guardarFila(const SentenciaMotor& st, LineasCentro& l)
{
    EstadoCentro& e = l.fila;
    e.idCentro = st.valor(0, {}).toLongLong();
    e.idEmpresa = st.valor(1, {}).toLongLong();
    e.empresa = texto(st, 2);
    e.centro = texto(st, 3);
    e.fechaEvaluacion = fecha(st, 4);
    e.fechaRevision = fecha(st, 5);
    l.pendientes = entero(st, 6);
    l.vencidas = entero(st, 7);
    l.hechas = entero(st, 8);
    l.presupuestos.clear();
}

// Las líneas de los planes de todos los centros, contadas con "hoy", y los presupuestos de las que
// están sin hacer. Devuelve el código de SQLite de la última lectura (SQLITE_DONE si ha ido bien).
int contarLineasAparte(sqlite3* bd, const QDate& hoy, LineasPorCentro& lineas)
{
    int rc = SQLITE_OK;
    SentenciaPreparada st = SentenciaPreparada::suelta(bd, textoCentrosYLineas(true, todos, todos), rc);
    if (!st)
        return rc;
    if ((rc = st->enlazar(1, hoy)) != SQLITE_OK)
        return rc;
    PasoSentencia paso;
    while ((paso = st->paso()) == PasoSentencia::Fila)
        guardarFila(*st, lineas[st->valor(0, {}).toLongLong()]);
    if (paso != PasoSentencia::Fin)
        return st->codigo();
    st = SentenciaPreparada::suelta(bd, textoPresupuestos(todos), rc);
    if (!st)
        return rc;
    while ((paso = st->paso()) == PasoSentencia::Fila) {
        // Como en la lectura del programa: sólo cuentan los de los centros que salen en la lista.
        const auto centro = lineas.find(st->valor(0, {}).toLongLong());
        if (centro != lineas.end())
            centro->second.presupuestos.emplace_back(texto(*st, 1), entero(*st, 2));
    }
    return paso == PasoSentencia::Fin ? SQLITE_DONE : st->codigo();
}

// Todas las comprobaciones (y las líneas, con "hoy" válido) por una conexión propia de sólo
// lectura, en otro hilo: con el diario WAL no estorba a lo que escribe la del programa.
std::atomic<bool> retenida{false}, enRetencion{false};

Preparado leerAparte(const QByteArray& archivo, const QDate& hoy, const std::shared_ptr<std::atomic<bool>>& parar)
{
    sqlite3* bd = nullptr;
    int rc = sqlite3_open_v2(archivo.constData(), &bd, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    Preparado leido;
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(bd, 2000);
        // Retenida, espera con la lectura ya empezada: como una lectura larga a medias.
        if (retenida) {
            sqlite3_exec(bd, "BEGIN; SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
            enRetencion = true;
            while (retenida && !*parar)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            enRetencion = false;
            sqlite3_exec(bd, "COMMIT", nullptr, nullptr, nullptr);
        }
        // Se deja a medias en cuanto el programa lo pide (al cerrar): SQLite mira la señal cada poco.
        sqlite3_progress_handler(
            bd, 1000, [](void* senal) { return static_cast<std::atomic<bool>*>(senal)->load() ? 1 : 0; }, parar.get());
        SentenciaPreparada st =
            SentenciaPreparada::suelta(bd, TextoConsultaEstado(ConsultaEstado::Comprobaciones, true), rc);
        if (st)
            rc = recoger(*st, leido.centros) == PasoSentencia::Fin ? SQLITE_DONE : st->codigo();
        st.soltar();
        if (rc == SQLITE_DONE && hoy.isValid()) {
            rc = contarLineasAparte(bd, hoy, leido.lineas);
            leido.hoy = hoy;
        }
    }
    sqlite3_close(bd);
    if (rc != SQLITE_DONE)
        throw std::runtime_error("no se han podido leer las comprobaciones de los centros");
    return leido;
}

// De qué centros se cuentan las líneas de los planes en la base; las de los demás se toman de lo
// guardado. Al terminar, si hay que vaciar la lista de los tocados, se vacía.
struct Releer
{
    bool todos = true;
    std::unordered_set<long long> centros; // si no son todos
    bool vaciarTocados = false;

    // Sobre la columna del centro "columna".
    QString condicion(const char* columna) const
    {
        if (todos)
            return ::todos;
        return centros.empty() ? QStringLiteral("0 = 1")
                               : QStringLiteral("%1 IN (SELECT IDCentro FROM temp.CentrosTocados)").arg(columna);
    }
};

// Pone al día las comprobaciones de todos los centros y dice qué líneas hay que volver a contar.
Releer alDia(const std::shared_ptr<Conexion>& c, const QDate& hoy)
{
    Memoria& m = memoria();
    if (m.preparando.valid()) {
        try {
            Preparado leido = m.preparando.get();
            m.centros = std::move(leido.centros);
            m.lineas = std::move(leido.lineas);
            m.hoyLineas = leido.hoy;
            m.ordenValido = false;
        } catch (const std::exception&) {
            // Se leen aquí, como si no se hubieran preparado.
            m.conexion.reset();
        }
    }
    // En el servidor escriben otros a la vez y nada avisa de lo que cambian: se leen todos cada vez.
    if (!c->sqlite()) {
        m = Memoria{};
        leerComprobaciones(*c, todos, m.centros);
        return {};
    }
    const long long version = versionDatos(*c);
    if (m.conexion.lock() == c && m.version == version) {
        Releer releer;
        for (const QVariantList& f : c->leerFilas(QStringLiteral("SELECT IDCentro FROM temp.CentrosTocados")))
            releer.centros.insert(f[0].toLongLong());
        if (!releer.centros.empty()) {
            // Un centro que se ha quedado sin puestos ya no sale en la lectura: se quita antes.
            for (long long id : releer.centros)
                m.centros.erase(id);
            leerComprobaciones(*c, QStringLiteral("p.IDCentro IN (SELECT IDCentro FROM temp.CentrosTocados)"),
                               m.centros);
            releer.vaciarTocados = true;
        }
        if (m.hoyLineas == hoy) {
            releer.todos = false;
            for (long long id : releer.centros) {
                const auto antes = m.lineas.find(id);
                m.tocados.emplace_back(id, antes == m.lineas.end() ? -1 : antes->second.fila.idEmpresa);
                if (antes != m.lineas.end())
                    m.lineas.erase(antes);
            }
        } else {
            m.lineas.clear();
            m.ordenValido = false;
        }
        return releer;
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
    leerComprobaciones(*c, todos, m.centros);
    if (vigilada) {
        m.conexion = c;
        m.version = version;
    }
    return {};
}

QByteArray textoCentrosYLineas(bool archivo, const QString& lineas, const QString& centros)
{
    return QString::fromUtf8(centrosYLineas)
        .arg(fechaValida(archivo, QStringLiteral("r.FechaLimite")), lineas, centros)
        .toUtf8();
}

QByteArray textoPresupuestos(const QString& condicion)
{
    return QString::fromUtf8(presupuestos).arg(condicion).toUtf8();
}
} // namespace

QByteArray TextoConsultaEstado(ConsultaEstado consulta, bool archivo)
{
    const QString limite = fechaValida(archivo, QStringLiteral("r.FechaLimite"));
    switch (consulta) {
    case ConsultaEstado::Comprobaciones:
        return QString::fromUtf8(comprobaciones).arg(todos).toUtf8();
    case ConsultaEstado::CentrosYLineas:
        return textoCentrosYLineas(archivo, todos, todos);
    case ConsultaEstado::Presupuestos:
        return textoPresupuestos(todos);
    case ConsultaEstado::Vencimientos:
        return QString::fromUtf8(vencimientos)
            .arg(fechaValida(archivo, QStringLiteral("FechaRevision")), limite)
            .toUtf8();
    }
    return {};
}

std::vector<EstadoCentro> LeerEstadoCentros(const QString& conexion, const QDate& hoy, const LectorImporte& leer)
{
    const std::shared_ptr<Conexion> c = Conexion::obtener(conexion);
    lectura() = LecturaEstado{};
    const Releer releer = alDia(c, hoy);
    Memoria& m = memoria();
    const bool archivo = c->sqlite() != nullptr;
    {
        // Las filas de los centros que se leen, con sus líneas; las de los demás, de lo guardado.
        const SentenciaPreparada st(
            *c, textoCentrosYLineas(archivo, releer.condicion("a.IDCentro"), releer.condicion("c.IDCentro")));
        enlazarTodos(*c, *st, {hoy});
        PasoSentencia leido;
        while ((leido = st->paso()) == PasoSentencia::Fila) {
            guardarFila(*st, m.lineas[st->valor(0, {}).toLongLong()]);
            ++lectura().lineas;
        }
        terminar(*c, *st, leido);
    }
    {
        const SentenciaPreparada st(*c, textoPresupuestos(releer.condicion("a.IDCentro")));
        PasoSentencia leido;
        while ((leido = st->paso()) == PasoSentencia::Fila) {
            // Sólo los de los centros que salen en la lista.
            const auto centro = m.lineas.find(st->valor(0, {}).toLongLong());
            if (centro == m.lineas.end())
                continue;
            centro->second.presupuestos.emplace_back(texto(*st, 1), entero(*st, 2));
            ++lectura().presupuestos;
        }
        terminar(*c, *st, leido);
    }
    if (releer.vaciarTocados)
        c->ejecutar(QStringLiteral("DELETE FROM temp.CentrosTocados"));
    m.hoyLineas = hoy;
    for (const auto& [id, empresa] : m.tocados) {
        const auto ahora = m.lineas.find(id);
        if ((ahora == m.lineas.end() ? -1 : ahora->second.fila.idEmpresa) != empresa)
            m.ordenValido = false;
    }
    m.tocados.clear();
    if (m.orden.size() != m.lineas.size())
        m.ordenValido = false;

    // Sólo se hacen otra vez las filas de los centros que se han leído: con miles de centros, volver a
    // sumar los presupuestos de todos es lo que más costaría. Dos reglas son la misma si son del mismo
    // tipo y, siendo funciones sueltas, la misma función.
    using Funcion = std::optional<double> (*)(const QString&);
    const std::type_info& regla = leer ? leer.target_type() : typeid(void);
    const Funcion* funcion = leer.target<Funcion>();
    const void* funcionRegla = funcion ? reinterpret_cast<const void*>(*funcion) : nullptr;
    const bool otraRegla = m.regla != &regla || m.funcionRegla != funcionRegla;
    m.regla = &regla;
    m.funcionRegla = funcionRegla;
    if (!m.ordenValido) {
        m.orden.clear();
        m.orden.reserve(m.lineas.size());
        for (const auto& [id, l] : m.lineas)
            m.orden.emplace_back(l.fila.idEmpresa, id);
        std::sort(m.orden.begin(), m.orden.end());
        m.ordenValido = true;
    }
    // En una cartera los mismos importes se repiten mucho: cada texto se lee una vez.
    QHash<QString, std::optional<double>> leidos;
    std::vector<EstadoCentro> centros;
    centros.reserve(m.orden.size());
    for (const auto& [empresa, id] : m.orden) {
        LineasCentro* l = &m.lineas.at(id);
        if (l->hecho && !otraRegla) {
            centros.push_back(*l->hecho);
            continue;
        }
        EstadoCentro e = l->fila;
        const auto comprobado = m.centros.find(e.idCentro);
        e.paso = paso(comprobado == m.centros.end() ? Comprobado{} : comprobado->second);
        e.pendientes = l->pendientes;
        e.vencidas = l->vencidas;
        e.hechas = l->hechas;
        for (const auto& [escrito, veces] : l->presupuestos) {
            auto leido = leidos.find(escrito);
            if (leido == leidos.end())
                leido = leidos.insert(escrito, leer ? leer(escrito) : std::nullopt);
            if (const std::optional<double>& importe = *leido)
                e.presupuesto += *importe * veces;
            else
                e.presupuestosSinLeer += veces;
        }
        l->hecho = e;
        centros.push_back(std::move(e));
    }
    lectura().centros = int(centros.size());
    return centros;
}

LecturaEstado UltimaLecturaEstado()
{
    return lectura();
}

bool EstadoCentrosPorRehacer(const QString& conexion)
{
    const std::shared_ptr<Conexion> c = Conexion::obtener(conexion);
    const Memoria& m = memoria();
    return c->sqlite() && (m.conexion.lock() != c || m.version != versionDatos(*c));
}

void PrepararEstadoCentros(const QString& conexion, const QDate& hoy)
{
    if (!EstadoCentrosPorRehacer(conexion))
        return;
    const std::shared_ptr<Conexion> c = Conexion::obtener(conexion);
    Memoria& m = memoria();
    TerminarEstadoCentros();
    // La lectura aparte es la de un archivo; en el servidor cada lectura va entera al servidor.
    if (!c->sqlite())
        return;
    // Los disparadores, antes de empezar a leer: lo que se escriba mientras queda apuntado.
    vigilarCambios(*c);
    c->ejecutar(QStringLiteral("DELETE FROM temp.CentrosTocados"));
    const long long version = versionDatos(*c);
    const QByteArray archivo = sqlite3_db_filename(c->sqlite(), "main");
    m.parar = std::make_shared<std::atomic<bool>>(false);
    m.preparando =
        std::async(std::launch::async, [archivo, hoy, parar = m.parar] { return leerAparte(archivo, hoy, parar); });
    m.conexion = c;
    m.version = version;
}

bool PreparandoEstadoCentros()
{
    const Memoria& m = memoria();
    return m.preparando.valid() && m.preparando.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

void RetenerLecturaAparte(bool retener)
{
    retenida = retener;
}

bool LecturaAparteRetenida()
{
    return enRetencion;
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
    const std::vector<QVariantList> filas =
        c->leerFilas(QString::fromUtf8(texto(*c, ConsultaEstado::Vencimientos)), {hoy, hoy});
    Vencimientos v;
    v.revisiones = filas.at(0).at(0).toInt();
    v.acciones = filas.at(0).at(1).toInt();
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
