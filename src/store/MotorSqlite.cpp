#include "store/MotorSqlite.h"

#include "store/MapaErrores.h"
#include "store/ProteccionDiario.h"
#include "store/ValoresSqlite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <sqlite3.h>

namespace {
// Mira la cabecera antes de dárselo a SQLite: un archivo de texto o uno cortado se
// reconocen aquí con un mensaje claro en vez de fallar más tarde a mitad de una lectura.
void comprobarCabecera(const QString& archivo)
{
    QFile f(archivo);
    if (!f.open(QIODevice::ReadOnly))
        return; // el fallo de apertura lo cuenta SQLite con su código
    const qint64 tamano = f.size();
    const QString danada = QObject::tr("El archivo «%1» no es una base de datos del programa o está dañado.")
                               .arg(QDir::toNativeSeparators(archivo));
    if (tamano == 0)
        throw ErrorBD(NumeroError::BaseDanada, danada + QObject::tr(" Está vacío."));
    const QByteArray cabecera = f.read(100);
    if (cabecera.size() < 100 || !cabecera.startsWith(QByteArray("SQLite format 3\0", 16)))
        throw ErrorBD(NumeroError::BaseDanada, danada);
    if (QFileInfo::exists(archivo + "-wal"))
        return; // con diario pendiente el tamaño del archivo aún no es el definitivo
    const auto byte = [&](int i) { return quint32(quint8(cabecera[i])); };
    quint32 pagina = (byte(16) << 8) | byte(17);
    if (pagina == 1)
        pagina = 65536;
    const quint32 paginas = (byte(28) << 24) | (byte(29) << 16) | (byte(30) << 8) | byte(31);
    const bool cuentaValida = paginas > 0 && cabecera.mid(24, 4) == cabecera.mid(92, 4);
    if (cuentaValida && qint64(paginas) * pagina > tamano)
        throw ErrorBD(NumeroError::BaseDanada, danada + QObject::tr(" Le falta una parte (está cortado)."));
}
} // namespace

SentenciaSqlite::SentenciaSqlite(sqlite3_stmt* st, MotorSqlite* motor) : st_(st), motor_(motor)
{
    if (motor_)
        motor_->vivas_.insert(this);
}

SentenciaSqlite::~SentenciaSqlite()
{
    finalizar();
}

void SentenciaSqlite::finalizar()
{
    if (motor_)
        motor_->vivas_.erase(this);
    motor_ = nullptr;
    sqlite3_finalize(st_);
    st_ = nullptr;
}

QByteArray SentenciaSqlite::texto() const
{
    return QByteArray(sqlite3_sql(st_));
}

int SentenciaSqlite::parametros() const
{
    return sqlite3_bind_parameter_count(st_);
}

int SentenciaSqlite::enlazar(int posicion, const QVariant& valor)
{
    return enlazarValor(st_, posicion, valor);
}

PasoSentencia SentenciaSqlite::paso()
{
    const int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW)
        return PasoSentencia::Fila;
    if (rc == SQLITE_DONE)
        return PasoSentencia::Fin;
    codigo_ = rc;
    return PasoSentencia::Fallo;
}

void SentenciaSqlite::reiniciar()
{
    sqlite3_reset(st_);
}

void SentenciaSqlite::limpiar()
{
    sqlite3_reset(st_);
    sqlite3_clear_bindings(st_);
}

bool SentenciaSqlite::soloLectura() const
{
    return sqlite3_stmt_readonly(st_);
}

int SentenciaSqlite::columnas() const
{
    return sqlite3_column_count(st_);
}

QString SentenciaSqlite::nombreColumna(int i) const
{
    return QString::fromUtf8(sqlite3_column_name(st_, i));
}

QByteArray SentenciaSqlite::tipoDeclarado(int i) const
{
    const char* tipo = sqlite3_column_decltype(st_, i);
    return tipo ? QByteArray(tipo).toUpper() : QByteArray();
}

QVariant SentenciaSqlite::valor(int i, const QByteArray& tipo) const
{
    return leerColumna(st_, i, tipo);
}

bool SentenciaSqlite::entero(int i, qlonglong& valor) const
{
    if (sqlite3_column_type(st_, i) != SQLITE_INTEGER)
        return false;
    valor = sqlite3_column_int64(st_, i);
    return true;
}

std::unique_ptr<MotorSqlite> MotorSqlite::abrir(const QString& archivo, bool nueva)
{
    if (nueva && QFileInfo::exists(archivo))
        throw ErrorBD(NumeroError::ErrorGeneral,
                      QObject::tr("Ya existe «%1»: no se crea encima.").arg(QDir::toNativeSeparators(archivo)));
    if (!nueva && !QFileInfo::exists(archivo))
        throw ErrorBD(NumeroError::ArchivoNoEncontrado,
                      QObject::tr("No se encuentra la base de datos «%1». Compruebe que el archivo está en la carpeta "
                                  "del programa; si lo ha perdido, cambie el nombre de la copia más reciente "
                                  "(«Evaluacion» con la fecha y la hora, acabada en .bak) a Evaluacion.mdb o vuelva "
                                  "a instalar el programa.")
                          .arg(QDir::toNativeSeparators(archivo)));
    if (!nueva) {
        // Un diario pendiente se mira antes de que SQLite lo aplique por su cuenta.
        const ResultadoDiario diario = ProtegerDiario(archivo);
        if (diario.estado == ResultadoDiario::Estado::SinCopia)
            throw ErrorBD(NumeroError::ErrorDisco, diario.mensaje);
        comprobarCabecera(archivo);
    }
    const QByteArray nombre = QFile::encodeName(archivo);
    const int modo = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (nueva ? SQLITE_OPEN_CREATE : 0);
    sqlite3* bd = nullptr;
    const int rc = sqlite3_open_v2(nombre.constData(), &bd, modo, nullptr);
    if (rc != SQLITE_OK) {
        const ErrorBD e = errorDeSqlite(bd, rc, archivo, {});
        sqlite3_close_v2(bd);
        throw e;
    }
    sqlite3_extended_result_codes(bd, 1);
    sqlite3_busy_timeout(bd, 2000);
    return std::unique_ptr<MotorSqlite>(new MotorSqlite(bd, archivo));
}

MotorSqlite::~MotorSqlite()
{
    // Las que siguen en mano no deben tocar un manejador cerrado.
    while (!vivas_.empty())
        (*vivas_.begin())->finalizar();
    if (bd_)
        sqlite3_close_v2(bd_);
}

void MotorSqlite::cerrar()
{
    if (!bd_)
        return;
    while (!vivas_.empty())
        (*vivas_.begin())->finalizar();
    // Lo que no se confirmó no se guarda: se deshace antes de cerrar.
    if (!sqlite3_get_autocommit(bd_))
        sqlite3_exec(bd_, "ROLLBACK", nullptr, nullptr, nullptr);
    // Ninguna sentencia puede quedar viva, o el cierre se aplazaría hasta que se soltara.
    while (sqlite3_stmt* st = sqlite3_next_stmt(bd_, nullptr))
        sqlite3_finalize(st);
    // Todo el diario al archivo; al cerrar la última conexión SQLite borra -wal y -shm.
    sqlite3_exec(bd_, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    if (sqlite3_close(bd_) != SQLITE_OK)
        sqlite3_close_v2(bd_);
    bd_ = nullptr;
}

bool MotorSqlite::soloLectura() const
{
    return bd_ && sqlite3_db_readonly(bd_, "main") == 1;
}

std::unique_ptr<SentenciaMotor> MotorSqlite::preparar(const QByteArray& sql, int& codigo)
{
    sqlite3_stmt* st = nullptr;
    codigo = sqlite3_prepare_v2(bd_, sql.constData(), int(sql.size()), &st, nullptr);
    if (codigo != SQLITE_OK) {
        sqlite3_finalize(st);
        return nullptr;
    }
    return std::make_unique<SentenciaSqlite>(st, this);
}

int MotorSqlite::ejecutar(const QByteArray& sql)
{
    char* mensaje = nullptr;
    const int rc = sqlite3_exec(bd_, sql.constData(), nullptr, nullptr, &mensaje);
    sqlite3_free(mensaje);
    return rc;
}

bool MotorSqlite::enTransaccion() const
{
    return bd_ && !sqlite3_get_autocommit(bd_);
}

int MotorSqlite::transaccion(OrdenTransaccion orden, const QString& punto)
{
    // En el orden de OrdenTransaccion; "@" es el nombre del punto. Se empieza con el bloqueo de
    // escritura desde el principio: dos escritores no se descubren a medias.
    static const char* const textos[] = {"BEGIN IMMEDIATE", "COMMIT",    "ROLLBACK",
                                         "SAVEPOINT @",     "RELEASE @", "ROLLBACK TO @; RELEASE @"};
    return ejecutar(QString::fromLatin1(textos[int(orden)]).replace(QLatin1Char('@'), punto).toUtf8());
}

long long MotorSqlite::filasCambiadas() const
{
    return sqlite3_changes64(bd_);
}

long long MotorSqlite::ultimoId() const
{
    return sqlite3_last_insert_rowid(bd_);
}

bool MotorSqlite::admiteDevolver() const
{
    return sqlite3_libversion_number() >= 3035000;
}

QString MotorSqlite::ordenDeFilas(const QString&) const
{
    // Ordenar por rowid cuando el índice ya da ese orden no le cuesta nada.
    return QStringLiteral("rowid");
}

QByteArray MotorSqlite::consultaMetadatos(Metadato pregunta) const
{
    switch (pregunta) {
    case Metadato::OrigenExacto:
        return "SELECT name FROM sqlite_master WHERE type IN ('table', 'view') AND name = ? COLLATE NOCASE";
    case Metadato::ColumnasClave:
        return "SELECT name, pk FROM pragma_table_info(?)";
    case Metadato::ClaveNumeroDeFila:
        return "SELECT count(*), max(upper(type)) FROM pragma_table_info(?) WHERE pk > 0";
    case Metadato::TipoDeOrigen:
        return "SELECT type FROM sqlite_master WHERE name = ?";
    }
    return {};
}

ErrorBD MotorSqlite::error(int codigo, const QString& sentencia) const
{
    return errorDeSqlite(bd_, codigo, archivo_, sentencia);
}
