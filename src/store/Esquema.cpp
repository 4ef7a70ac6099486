#include "store/Esquema.h"

#include "store/ActualizacionCatalogo.h"
#include "store/AnalisisConsulta.h"
#include "store/Conexion.h"
#include "store/ErrorBD.h"
#include "store/SentenciaPreparada.h"
#include "store/TextoRevisiones.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QRegularExpression>
#include <sqlite3.h>
#include <vector>

namespace {
using namespace SqlRevision;

// Las revisiones trabajan sobre el manejador de SQLite, para poder aplicarlas también en memoria.
// Devuelven el código del primer fallo y dejan en "sentencia" la que falló.
int ejecutarEn(sqlite3* bd, const QString& sql, QString& sentencia)
{
    const int rc = sqlite3_exec(bd, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        sentencia = sql;
    return rc;
}

// Filas de una consulta con, como mucho, un valor enlazado; cada columna como texto.
int leerFilas(sqlite3* bd, const QString& sql, const QString& valor, std::vector<QStringList>& filas,
              QString& sentencia)
{
    int rc = SQLITE_OK;
    const SentenciaPreparada st = SentenciaPreparada::suelta(bd, sql.toUtf8(), rc);
    if (rc == SQLITE_OK && !valor.isNull()) {
        const QByteArray v = valor.toUtf8();
        rc = sqlite3_bind_text(st.get(), 1, v.constData(), int(v.size()), SQLITE_TRANSIENT);
    }
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        rc = sqlite3_step(st.get());
        if (rc != SQLITE_ROW)
            break;
        QStringList fila;
        for (int i = 0; i < sqlite3_column_count(st.get()); ++i)
            fila << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), i)));
        filas.push_back(fila);
    }
    if (rc == SQLITE_DONE)
        return SQLITE_OK;
    sentencia = sql;
    return rc;
}

int aplicarRevision1(sqlite3* bd, QString& sentencia)
{
    return ejecutarEn(bd, QString::fromUtf8(revision1), sentencia);
}

// Revisión 2: los identificadores de las tablas del usuario no se vuelven a dar. Con INTEGER
// PRIMARY KEY a secas, el alta siguiente toma el número de la última fila borrada, y lo que aún
// apuntara al centro o la empresa borrados (una ventana abierta, un informe) pasaría al nuevo.
// Cada tabla se rehace con AUTOINCREMENT y sus filas tal cual, con sus índices; las vistas y los
// disparadores se quitan antes (nombran las tablas) y se vuelven a crear después.
const char* const tablasDelUsuario[] = {
    "Empresas",   "CentroTrabajo",   "PuestosCentros",      "FactoresSeleccionarEvaluacion",
    "Evaluacion", "MedidasFactores", "ActuaciónPreventiva", "ActuaciónPreventivaRegistro"};

int rehacerConAutoincremento(sqlite3* bd, const QString& tabla, QString& sentencia)
{
    std::vector<QStringList> definicion, indices;
    int rc =
        leerFilas(bd, "SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?", tabla, definicion, sentencia);
    if (rc == SQLITE_OK)
        rc = leerFilas(bd,
                       "SELECT sql FROM sqlite_master WHERE type = 'index' AND tbl_name = ? AND sql IS NOT NULL "
                       "ORDER BY rowid",
                       tabla, indices, sentencia);
    if (rc != SQLITE_OK)
        return rc;
    if (definicion.empty()) {
        // Le falta una tabla: está dañada, y Reparar sabe volver a crearla.
        sentencia = QObject::tr("falta la tabla %1").arg(tabla);
        return SQLITE_CORRUPT;
    }
    QString cuerpo = definicion.front().front();
    cuerpo = cuerpo.mid(cuerpo.indexOf('('));
    static const QRegularExpression clave(QStringLiteral("INTEGER\\s+PRIMARY\\s+KEY(?!\\s+AUTOINCREMENT)"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = clave.match(cuerpo);
    if (m.hasMatch())
        cuerpo.insert(m.capturedEnd(), QStringLiteral(" AUTOINCREMENT"));
    const QString nueva = citarNombre(tabla + QStringLiteral("_r2"));
    QStringList pasos{QStringLiteral("CREATE TABLE %1 %2").arg(nueva, cuerpo),
                      QStringLiteral("INSERT INTO %1 SELECT * FROM %2").arg(nueva, citarNombre(tabla)),
                      QStringLiteral("DROP TABLE %1").arg(citarNombre(tabla)),
                      QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(nueva, citarNombre(tabla))};
    for (const QStringList& i : indices)
        pasos << i.front();
    for (const QString& paso : pasos)
        if ((rc = ejecutarEn(bd, paso, sentencia)) != SQLITE_OK)
            return rc;
    return SQLITE_OK;
}

int aplicarRevision2(sqlite3* bd, QString& sentencia)
{
    std::vector<QStringList> objetos;
    int rc = leerFilas(bd,
                       "SELECT type, name, sql FROM sqlite_master WHERE type IN ('view', 'trigger') AND sql IS NOT "
                       "NULL ORDER BY rowid",
                       {}, objetos, sentencia);
    // Al revés de como se crearon: los disparadores de una vista, antes que la vista.
    for (auto o = objetos.rbegin(); rc == SQLITE_OK && o != objetos.rend(); ++o)
        rc = ejecutarEn(bd,
                        QStringLiteral("DROP %1 IF EXISTS %2")
                            .arg((*o)[0] == QLatin1String("view") ? QStringLiteral("VIEW") : QStringLiteral("TRIGGER"),
                                 citarNombre((*o)[1])),
                        sentencia);
    for (const char* tabla : tablasDelUsuario)
        if (rc == SQLITE_OK)
            rc = rehacerConAutoincremento(bd, QString::fromUtf8(tabla), sentencia);
    for (const QStringList& o : objetos)
        if (rc == SQLITE_OK)
            rc = ejecutarEn(bd, o[2], sentencia);
    return rc;
}

int aplicarRevision3(sqlite3* bd, QString& sentencia)
{
    return ejecutarEn(bd, QString::fromUtf8(revision3), sentencia);
}

int aplicarRevision4(sqlite3* bd, QString& sentencia)
{
    return ejecutarEn(bd, QString::fromUtf8(revision4), sentencia);
}

int aplicarRevision5(sqlite3* bd, QString& sentencia)
{
    return ejecutarEn(bd, QString::fromUtf8(revision5), sentencia);
}

int aplicarRevision6(sqlite3* bd, QString& sentencia)
{
    return ejecutarEn(bd, QString::fromUtf8(revision6), sentencia);
}

int aplicarRevision7(sqlite3* bd, QString& sentencia)
{
    return ejecutarEn(bd, revision7(QStringLiteral("INTEGER")), sentencia);
}

int aplicarRevision8(sqlite3* bd, QString& sentencia)
{
    return ejecutarEn(bd, QString::fromUtf8(revision8), sentencia);
}

struct Revision
{
    int numero;
    int (*aplicar)(sqlite3* bd, QString& sentencia);
};

// Revisiones en orden. Una nueva revisión se añade al final y nunca se cambia una publicada.
const Revision revisiones[] = {
    {1, aplicarRevision1}, {2, aplicarRevision2}, {3, aplicarRevision3}, {4, aplicarRevision4},
    {5, aplicarRevision5}, {6, aplicarRevision6}, {7, aplicarRevision7}, {8, aplicarRevision8},
};

int leerEntero(Conexion& c, const char* sql)
{
    int rc = SQLITE_OK;
    SentenciaPreparada st = SentenciaPreparada::suelta(c.sqlite(), sql, rc);
    if (rc != SQLITE_OK)
        c.lanzar(rc, QString::fromUtf8(sql));
    rc = sqlite3_step(st.get());
    const int valor = rc == SQLITE_ROW ? sqlite3_column_int(st.get(), 0) : 0;
    st.soltar();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        c.lanzar(rc, QString::fromUtf8(sql));
    return valor;
}

// Las revisiones de (desde, hasta], en una sola transacción.
void aplicarTramo(Conexion& c, int desde, int hasta)
{
    Transaccion t(c);
    // Filas que ya no tenían a quién apuntar antes de empezar: no son cosa de la revisión.
    const int huerfanas = leerEntero(c, "SELECT count(*) FROM pragma_foreign_key_check");
    QString sentencia;
    for (const Revision& r : revisiones)
        if (r.numero > desde && r.numero <= hasta)
            if (const int rc = r.aplicar(c.sqlite(), sentencia); rc != SQLITE_OK)
                c.lanzar(rc, sentencia);
    if (leerEntero(c, "SELECT count(*) FROM pragma_foreign_key_check") > huerfanas)
        throw ErrorBD(NumeroError::ErrorGeneral,
                      QObject::tr("La puesta al día de la base de datos a la revisión %1 ha dejado filas sin "
                                  "su fila de origen y no se ha hecho. La base de datos sigue como estaba.")
                          .arg(hasta));
    c.ejecutar(QStringLiteral("PRAGMA user_version = %1").arg(hasta));
    t.confirmar();
}

void aplicarRevisiones(Conexion& c, int desde)
{
    // Rehacer una tabla es borrarla: con las claves ajenas activas, el borrado se llevaría en
    // cascada todo lo que cuelga de ella. Se apagan mientras tanto (fuera de la transacción, o no
    // surte efecto) y se comprueban al final.
    c.ejecutar("PRAGMA foreign_keys = OFF");
    try {
        // Un archivo nuevo se crea entero de una vez. Uno con datos, revisión a revisión: si una
        // falla, queda en la anterior.
        if (desde == 0)
            aplicarTramo(c, 0, RevisionEsquema);
        for (const Revision& r : revisiones)
            if (desde > 0 && r.numero > desde)
                aplicarTramo(c, r.numero - 1, r.numero);
    } catch (...) {
        sqlite3_exec(c.sqlite(), "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
        throw;
    }
    c.ejecutar("PRAGMA foreign_keys = ON");
}

// Copia antes del primer cambio: si algo sale mal, el archivo original sigue intacto.
void guardarCopia(Conexion& c, const QString& copia)
{
    QFile::remove(copia);
    const QByteArray destino = QFile::encodeName(copia);
    sqlite3* bdCopia = nullptr;
    int rc = sqlite3_open(destino.constData(), &bdCopia);
    sqlite3_backup* b = rc == SQLITE_OK ? sqlite3_backup_init(bdCopia, "main", c.sqlite(), "main") : nullptr;
    if (b) {
        sqlite3_backup_step(b, -1);
        rc = sqlite3_backup_finish(b);
    } else if (rc == SQLITE_OK) {
        rc = sqlite3_errcode(bdCopia);
    }
    sqlite3_close(bdCopia);
    if (rc != SQLITE_OK)
        throw ErrorBD(NumeroError::ErrorDisco,
                      QObject::tr("No se puede guardar la copia «%1» antes de poner al día la base de datos. "
                                  "Compruebe el espacio libre y los permisos de la carpeta del programa.")
                          .arg(QDir::toNativeSeparators(copia)));
}

// El catálogo del programa va en la misma carpeta que su base de datos.
void ponerCatalogoAlDia(Conexion& c, ResultadoEsquema& r)
{
    const QFileInfo base(QDir::fromNativeSeparators(c.datos().fuente));
    const QFileInfo catalogo(base.absoluteDir().filePath(NombreCatalogoPrograma));
    if (!catalogo.isFile() || catalogo.canonicalFilePath() == base.canonicalFilePath())
        return;
    r.revisionCatalogo = revisionCatalogo(c);
    const int nueva = revisionCatalogoDe(catalogo.filePath());
    if (nueva <= r.revisionCatalogo)
        return;
    if (r.copia.isEmpty()) {
        const QString copia = base.filePath() + QStringLiteral(".c%1.bak").arg(r.revisionCatalogo);
        guardarCopia(c, copia);
        r.copia = copia;
    }
    actualizarCatalogo(c, catalogo.filePath());
    r.catalogoPuestoAlDia = nueva;
}

// Deja en "r" lo que va averiguando: si algo lanza, el resultado ya dice de qué revisión partía.
void comprobarYPoner(Conexion& c, ResultadoEsquema& r)
{
    using Estado = ResultadoEsquema::Estado;
    const int version = r.revision = leerEntero(c, "PRAGMA user_version");
    const QString archivo = QDir::toNativeSeparators(QDir::fromNativeSeparators(c.datos().fuente));
    if (version == 0) {
        r.estado = Estado::Ajena;
        const int tablas = leerEntero(c, "SELECT count(*) FROM sqlite_master WHERE type = 'table'");
        if (tablas == 0)
            r.error = ErrorBD(NumeroError::BaseDanada,
                              QObject::tr("El archivo «%1» no contiene ninguna tabla: no es una base de datos del "
                                          "programa o está dañado. Ejecute la utilidad de reparación.")
                                  .arg(archivo));
        else
            r.error =
                ErrorBD(NumeroError::BaseDanada,
                        QObject::tr("El archivo «%1» es una base de datos, pero no de este programa.").arg(archivo));
        return;
    }
    if (version > RevisionEsquema) {
        r.estado = Estado::MasNueva;
        r.error = ErrorBD(NumeroError::ErrorGeneral,
                          QObject::tr("La base de datos «%1» es de una versión más nueva del programa (revisión %2). "
                                      "Instale la versión del programa con la que se creó.")
                              .arg(archivo)
                              .arg(version));
        return;
    }
    if (version == RevisionEsquema) {
        r.estado = Estado::AlDia;
    } else {
        const QString copia = QDir::fromNativeSeparators(c.datos().fuente) + QStringLiteral(".r%1.bak").arg(version);
        guardarCopia(c, copia);
        r.copia = copia;
        aplicarRevisiones(c, version);
        r.estado = Estado::PuestaAlDia;
    }
    ponerCatalogoAlDia(c, r);
}
} // namespace

ResultadoEsquema prepararEsquema(Conexion& c, bool nueva)
{
    ResultadoEsquema r;
    try {
        if (!nueva) {
            comprobarYPoner(c, r);
            return r;
        }
        // Diario adelantado: las lecturas no bloquean las escrituras y cada confirmación es duradera.
        c.ejecutar("PRAGMA journal_mode = WAL");
        aplicarRevisiones(c, 0);
        r.estado = ResultadoEsquema::Estado::Nueva;
    } catch (const ErrorBD& e) {
        r.estado = ResultadoEsquema::Estado::Fallida;
        r.error = e;
    }
    return r;
}

int crearEsquemaRevision(sqlite3* bd, int revision)
{
    int rc = SQLITE_OK;
    QString sentencia;
    for (const Revision& r : revisiones)
        if (r.numero <= revision && rc == SQLITE_OK)
            rc = r.aplicar(bd, sentencia);
    if (rc == SQLITE_OK)
        rc = ejecutarEn(bd, QStringLiteral("PRAGMA user_version = %1").arg(revision), sentencia);
    return rc;
}

QStringList tablasEsquema(int revision)
{
    // Se sacan del propio esquema, aplicado en memoria: no hay una segunda lista que mantener.
    QStringList tablas;
    sqlite3* bd = nullptr;
    if (sqlite3_open(":memory:", &bd) == SQLITE_OK) {
        const bool bien = crearEsquemaRevision(bd, revision) == SQLITE_OK;
        int rc = SQLITE_OK;
        if (bien) {
            const SentenciaPreparada st =
                SentenciaPreparada::suelta(bd, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name", rc);
            while (st && sqlite3_step(st.get()) == SQLITE_ROW)
                tablas << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)));
        }
    }
    sqlite3_close(bd);
    return tablas;
}
