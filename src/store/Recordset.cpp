#include "Recordset.h"

#include "Conexion.h"
#include "ErrorBD.h"
#include "ValoresSqlite.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QRegularExpression>
#include <set>
#include <sqlite3.h>

namespace
{
enum class Modo
{
    Ninguno,
    Alta,
    Edicion
};

QString comillas(const QString& nombre)
{
    QString n = nombre;
    n.replace('"', "\"\"");
    return '"' + n + '"';
}

ErrorBD sinRegistro()
{
    return ErrorBD(NumeroError::SinRegistroActual,
                   QObject::tr("BOF o EOF es verdadero, o el registro actual se ha eliminado. La operación "
                               "necesita un registro actual."));
}

// Ajusta el valor al tipo declarado de la columna. Un texto que no es un número en una columna
// numérica, o una fecha imposible, se rechaza aquí en vez de guardarse tal cual.
QVariant ajustarTipo(const QVariant& v, const QByteArray& tipo, const QString& campo)
{
    if (v.isNull() || v.typeId() != QMetaType::QString)
        return v;
    const QString t = v.toString().trimmed();
    const auto rechazar = [&](const QString& que) {
        return ErrorBD(NumeroError::OperacionVariosPasos,
                       QObject::tr("El valor «%1» no es %2 válido para el campo «%3».").arg(v.toString(), que, campo));
    };
    if (tipo == "INTEGER") {
        if (t.isEmpty())
            return QVariant();
        bool ok = false;
        const qlonglong n = t.toLongLong(&ok);
        if (!ok)
            throw rechazar(QObject::tr("un número entero"));
        return n;
    }
    if (tipo == "REAL") {
        if (t.isEmpty())
            return QVariant();
        bool ok = false;
        const double n = QString(t).replace(',', '.').toDouble(&ok);
        if (!ok)
            throw rechazar(QObject::tr("un número"));
        return n;
    }
    if (tipo == "DATE" || tipo == "DATETIME") {
        if (t.isEmpty())
            return QVariant();
        const QDate d = QDate::fromString(t.left(10), Qt::ISODate);
        if (!d.isValid())
            throw rechazar(QObject::tr("una fecha"));
        return v;
    }
    return v;
}

// Sin orden pedido, las filas salen por su identificador ascendente, como siempre: las ventanas
// toman la última fila por la recién añadida. SQLite no lo garantiza cuando recorre un índice,
// así que a una consulta sencilla de una sola tabla o vista se le añade el orden por su clave.
// Ordenar por rowid cuando el índice ya da ese orden no le cuesta nada.
// La columna de orden es la columna entera por la que salen ordenadas las filas, si se sabe.
Conexion::ConsultaPreparada analizarOrden(Conexion& con, const QString& sql)
{
    static const QRegularExpression sencilla(
        QStringLiteral(R"(^\s*select\s.+?\sfrom\s+(\[[^\]]+\]|"[^"]+"|[^\s;,()\[\]"]+)\s*(\swhere\s.*)?;?\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption |
            QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression excluida(
        QStringLiteral(R"(\b(order|group|limit|union|distinct|join|having|except|intersect)\b|\(\s*select\b|\b(max|min|count|sum|avg|total|group_concat)\s*\()"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = sencilla.match(sql);
    if (!m.hasMatch() || excluida.match(sql).hasMatch())
        return {sql.toUtf8(), {}};
    QString nombre = m.captured(1);
    if (nombre.size() > 1 && (nombre[0] == '[' || nombre[0] == '"'))
        nombre = nombre.mid(1, nombre.size() - 2);
    const QString origen = con.origenExacto(nombre);
    if (origen.isEmpty())
        return {sql.toUtf8(), {}};
    QString sinFin = sql.trimmed();
    if (sinFin.endsWith(';'))
        sinFin.chop(1);
    const QString clave = con.claveDe(origen);
    if (con.esVista(origen))
        return {(sinFin + " ORDER BY " + comillas(clave)).toUtf8(), clave};
    return {(sinFin + " ORDER BY rowid").toUtf8(), con.claveEsNumeroDeFila(origen) ? clave : QString()};
}

const Conexion::ConsultaPreparada& conOrdenNatural(Conexion& con, const QString& sql)
{
    if (const Conexion::ConsultaPreparada* hecha = con.consultaPreparada(sql))
        return *hecha;
    return con.guardarConsulta(sql, analizarOrden(con, sql));
}

// Enlaza los valores en orden; si uno no se puede enlazar, la sentencia vuelve a la reserva.
void enlazarTodos(Conexion& con, sqlite3_stmt* st, const QVariantList& valores)
{
    try {
        for (int i = 0; i < valores.size(); ++i)
            enlazar(con, st, i + 1, valores[i]);
    } catch (...) {
        con.devolver(st);
        throw;
    }
}

// Prepara la sentencia y enlaza sus valores en orden.
sqlite3_stmt* abrirSentencia(Conexion& con, const QByteArray& sql, const QString& original, const QVariantList& parametros)
{
    sqlite3_stmt* st = con.preparar(sql);
    if (sqlite3_bind_parameter_count(st) != parametros.size()) {
        const int esperados = sqlite3_bind_parameter_count(st);
        con.devolver(st);
        throw ErrorBD(NumeroError::SintaxisConsulta,
                      QObject::tr("La sentencia espera %1 valores y se le han dado %2.")
                          .arg(esperados)
                          .arg(parametros.size()),
                      original);
    }
    enlazarTodos(con, st, parametros);
    return st;
}

bool analizarCriterio(const QString& criterio, QString& campo, QVariant& valor)
{
    const QString s = criterio.trimmed();
    int i = 0;
    if (s.startsWith('[')) {
        const int cierre = s.indexOf(']');
        if (cierre < 0)
            return false;
        campo = s.mid(1, cierre - 1).trimmed();
        i = cierre + 1;
    } else {
        while (i < s.size() && (s[i].isLetterOrNumber() || s[i] == '_'))
            ++i;
        campo = s.left(i);
    }
    if (campo.isEmpty())
        return false;
    QString resto = s.mid(i).trimmed();
    if (!resto.startsWith('='))
        return false;
    resto = resto.mid(1).trimmed();
    if (resto.isEmpty())
        return false;
    const QChar q = resto[0];
    if (q == '\'' || q == '"') {
        const int ultima = resto.lastIndexOf(q);
        if (ultima == 0)
            return false;
        valor = resto.mid(1, ultima - 1);
        return resto.mid(ultima + 1).trimmed().isEmpty();
    }
    bool ok = false;
    const double n = resto.toDouble(&ok);
    if (!ok)
        return false;
    valor = n;
    return true;
}

bool coincide(const QVariant& celda, const QVariant& buscado)
{
    if (celda.isNull())
        return false;
    if (buscado.typeId() == QMetaType::Double) {
        bool ok = false;
        const double n = celda.toDouble(&ok);
        return ok && n == buscado.toDouble();
    }
    QString texto;
    if (celda.typeId() == QMetaType::QDate)
        texto = celda.toDate().toString(Qt::ISODate);
    else
        texto = celda.toString();
    return texto.compare(buscado.toString(), Qt::CaseInsensitive) == 0;
}
} // namespace

struct Recordset::Datos
{
    std::shared_ptr<Conexion> con;
    QString sql;
    QVariantList parametros;
    sqlite3_stmt* st = nullptr; // filas pendientes de leer
    bool abierto = false;
    bool completo = false;
    QStringList campos;
    std::vector<QByteArray> tipos;
    std::vector<QVariantList> filas;     // leídas, en el orden de la sentencia
    std::vector<QVariantList> agregadas; // altas hechas por este conjunto, detrás de las demás
    std::set<qlonglong> clavesAgregadas; // para no repetirlas si la lectura pendiente las alcanza
    long long actual = 0;                // índice en filas + agregadas; -1 es BOF
    int agregadaActual = -1;             // alta actual mientras quedan filas sin leer
    Modo modo = Modo::Ninguno;
    QVariantList bufer;
    std::vector<bool> tocado;
    // Lectura soltada antes de una escritura (ver Conexion::soltarLectores) y cómo retomarla.
    Recordset* duenio = nullptr;
    QByteArray sqlEjecutada;
    QString columnaOrden;
    bool suspendida = false;
    long long pasos = 0;      // filas dadas por la ejecución actual de la sentencia
    int indiceOrden = -1;     // columna por la que salen ordenadas, o -1
    bool ordenFiable = false; // hasta ahora todas enteras y en orden ascendente
    qlonglong ultimaOrden = 0;
    long long igualesOrden = 0; // filas dadas con ese mismo valor de orden
    bool origenListo = false;
    bool esVista = false;
    QString origen;
    QString clave;
    int indiceClave = -1;
    long long ultimoId = 0;

    void soltarSentencia()
    {
        if (st && con) {
            con->quitarLector(duenio);
            con->devolver(st);
        }
        st = nullptr;
        suspendida = false;
    }
    void anotarOrden()
    {
        if (!ordenFiable)
            return;
        if (sqlite3_column_type(st, indiceOrden) != SQLITE_INTEGER) {
            ordenFiable = false;
            return;
        }
        const qlonglong k = sqlite3_column_int64(st, indiceOrden);
        if (pasos > 1 && k == ultimaOrden) {
            ++igualesOrden;
        } else if (pasos == 1 || k > ultimaOrden) {
            ultimaOrden = k;
            igualesOrden = 1;
        } else {
            ordenFiable = false;
        }
    }
    long long leidas() const { return (long long)filas.size(); }
    const QVariantList& fila(long long i) const
    {
        return i < leidas() ? filas[size_t(i)] : agregadas[size_t(i - leidas())];
    }
};

Recordset::Recordset() : d(std::make_unique<Datos>()) { d->duenio = this; }

Recordset::~Recordset() { close(); }

void Recordset::open(const QString& sql, const QString& conexion, const QVariantList& parametros)
{
    close();
    d->con = Conexion::obtener(conexion);
    d->sql = sql;
    d->parametros = parametros;
    requery();
}

void Recordset::requery()
{
    if (!d->con)
        throw ErrorBD(NumeroError::ObjetoDesconectado, QObject::tr("El conjunto de registros no está abierto."));
    d->soltarSentencia();
    d->abierto = false;
    d->completo = false;
    d->filas.clear();
    d->agregadas.clear();
    d->clavesAgregadas.clear();
    d->agregadaActual = -1;
    d->modo = Modo::Ninguno;
    d->actual = 0;

    Conexion& con = *d->con;
    const Conexion::ConsultaPreparada& ordenada = conOrdenNatural(con, d->sql);
    d->sqlEjecutada = ordenada.sql;
    d->columnaOrden = ordenada.columnaOrden;
    sqlite3_stmt* st = abrirSentencia(con, d->sqlEjecutada, d->sql, d->parametros);
    d->st = st;
    const int columnas = sqlite3_column_count(st);
    d->campos.clear();
    d->tipos.clear();
    for (int i = 0; i < columnas; ++i) {
        d->campos << QString::fromUtf8(sqlite3_column_name(st, i));
        const char* tipo = sqlite3_column_decltype(st, i);
        d->tipos.push_back(tipo ? QByteArray(tipo).toUpper() : QByteArray());
    }
    if (d->origenListo)
        d->indiceClave = fieldIndex(d->clave);
    d->indiceOrden = d->columnaOrden.isEmpty() ? -1 : fieldIndex(d->columnaOrden);
    d->ordenFiable = d->indiceOrden >= 0;
    d->pasos = 0;
    d->igualesOrden = 0;
    con.anotarLector(this);
    d->abierto = true;
    // Sin columnas es una orden (delete, update...): se ejecuta entera ahora.
    leerSiguiente();
}

void Recordset::close()
{
    d->soltarSentencia();
    d->con.reset();
    d->abierto = false;
    d->completo = false;
    d->filas.clear();
    d->agregadas.clear();
    d->clavesAgregadas.clear();
    d->campos.clear();
    d->tipos.clear();
    d->modo = Modo::Ninguno;
    d->origenListo = false;
    d->agregadaActual = -1;
}

bool Recordset::isOpen() const { return d->abierto; }

const QString& Recordset::sql() const { return d->sql; }

long long Recordset::execute(const QString& sql, const QString& conexion, const QVariantList& parametros)
{
    Recordset rs;
    rs.open(sql, conexion, parametros);
    return sqlite3_changes64(rs.d->con->bd());
}

void Recordset::comprobarAbierto() const
{
    if (!d->abierto)
        throw ErrorBD(NumeroError::ObjetoDesconectado, QObject::tr("El conjunto de registros está cerrado."));
}

bool Recordset::leerSiguiente()
{
    while (!d->completo) {
        const int rc = d->suspendida ? reanudar() : sqlite3_step(d->st);
        if (rc == SQLITE_ROW) {
            ++d->pasos;
            d->anotarOrden();
            QVariantList fila;
            fila.reserve(d->campos.size());
            for (int i = 0; i < d->campos.size(); ++i)
                fila << leerColumna(d->st, i, d->tipos[size_t(i)]);
            if (!d->clavesAgregadas.empty() && d->indiceClave >= 0 &&
                d->clavesAgregadas.count(fila[d->indiceClave].toLongLong()))
                continue;
            d->filas.push_back(std::move(fila));
            return true;
        }
        d->completo = true;
        if (d->agregadaActual >= 0) {
            d->actual = d->leidas() + d->agregadaActual;
            d->agregadaActual = -1;
        }
        if (rc != SQLITE_DONE) {
            const QString sql = d->sql;
            auto con = d->con;
            d->soltarSentencia();
            con->lanzar(rc, sql);
        }
        d->soltarSentencia();
    }
    return false;
}

void Recordset::soltarLectura()
{
    if (d->con)
        d->con->quitarLector(this);
    if (!d->st)
        return;
    d->soltarSentencia();
    d->suspendida = true;
}

// Vuelve a ejecutar la sentencia soltada y la deja tras la última fila dada. Si las filas salen por
// una clave entera, se sigue por la clave, aunque entretanto se hayan borrado o añadido filas; si
// no, por el número de filas dadas. Devuelve el resultado del paso a la primera fila nueva.
int Recordset::reanudar()
{
    Conexion& con = *d->con;
    sqlite3_stmt* st = abrirSentencia(con, d->sqlEjecutada, d->sql, d->parametros);
    d->st = st;
    d->suspendida = false;
    con.anotarLector(this);
    const long long dadas = d->pasos;
    d->pasos = 0;
    int rc = SQLITE_DONE;
    if (d->ordenFiable && dadas > 0) {
        long long iguales = 0;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            if (sqlite3_column_type(st, d->indiceOrden) != SQLITE_INTEGER)
                break;
            const qlonglong k = sqlite3_column_int64(st, d->indiceOrden);
            if (k < d->ultimaOrden || (k == d->ultimaOrden && iguales < d->igualesOrden)) {
                iguales += k == d->ultimaOrden;
                ++d->pasos;
                continue;
            }
            return rc;
        }
        if (rc != SQLITE_ROW)
            return rc;
        // Una clave que no es entera: se vuelve a empezar y se cuentan las filas.
        d->ordenFiable = false;
        sqlite3_reset(st);
        d->pasos = 0;
    }
    while (d->pasos < dadas && (rc = sqlite3_step(st)) == SQLITE_ROW)
        ++d->pasos;
    if (d->pasos < dadas)
        return rc;
    return sqlite3_step(st);
}

void Recordset::leerTodo()
{
    while (leerSiguiente()) {
    }
}

bool Recordset::bof()
{
    comprobarAbierto();
    if (d->agregadaActual >= 0)
        return false;
    if (d->actual < 0)
        return true;
    // Conjunto vacío: BOF y EOF a la vez.
    if (d->leidas() == 0 && !leerSiguiente() && d->agregadas.empty())
        return true;
    return false;
}

bool Recordset::eof()
{
    comprobarAbierto();
    if (d->agregadaActual >= 0)
        return false;
    if (d->actual < 0)
        return d->leidas() == 0 && !leerSiguiente() && d->agregadas.empty();
    while (d->actual >= d->leidas() && leerSiguiente()) {
    }
    return d->actual >= d->leidas() + (d->completo ? (long long)d->agregadas.size() : 0);
}

void Recordset::moveFirst()
{
    comprobarAbierto();
    if (d->modo != Modo::Ninguno)
        update();
    if (d->agregadaActual >= 0)
        leerTodo();
    d->actual = 0;
    if (eof())
        throw sinRegistro();
}

void Recordset::moveLast()
{
    comprobarAbierto();
    if (d->modo != Modo::Ninguno)
        update();
    leerTodo();
    const long long total = d->leidas() + (long long)d->agregadas.size();
    if (total == 0)
        throw sinRegistro();
    d->actual = total - 1;
}

void Recordset::moveNext()
{
    comprobarAbierto();
    if (d->modo != Modo::Ninguno)
        update();
    if (d->agregadaActual >= 0)
        leerTodo();
    if (eof())
        throw sinRegistro();
    ++d->actual;
}

void Recordset::movePrevious()
{
    comprobarAbierto();
    if (d->modo != Modo::Ninguno)
        update();
    if (d->agregadaActual >= 0)
        leerTodo();
    if (bof())
        throw sinRegistro();
    if (eof())
        leerTodo();
    const long long total = d->leidas() + (long long)d->agregadas.size();
    if (d->actual > total)
        d->actual = total;
    --d->actual;
}

long Recordset::recordCount()
{
    comprobarAbierto();
    leerTodo();
    return long(d->leidas() + (long long)d->agregadas.size());
}

long Recordset::absolutePosition()
{
    comprobarAbierto();
    if (d->agregadaActual >= 0)
        leerTodo();
    if (bof() || eof())
        return -1;
    return long(d->actual + 1);
}

void Recordset::setAbsolutePosition(long posicion)
{
    comprobarAbierto();
    if (d->agregadaActual >= 0)
        leerTodo();
    while (posicion > d->leidas() && leerSiguiente()) {
    }
    const long long total = d->leidas() + (d->completo ? (long long)d->agregadas.size() : 0);
    if (posicion < 1 || posicion > total)
        throw ErrorBD(NumeroError::ArgumentoNoValido,
                      QObject::tr("La posición %1 está fuera del conjunto de registros.").arg(posicion));
    d->actual = posicion - 1;
}

bool Recordset::find(const QString& criterio)
{
    QString campo;
    QVariant valor;
    if (!analizarCriterio(criterio, campo, valor))
        throw ErrorBD(NumeroError::ArgumentoNoValido,
                      QObject::tr("El criterio de búsqueda «%1» no es válido.").arg(criterio));
    return findValue(campo, valor);
}

bool Recordset::findValue(const QString& campo, const QVariant& valor)
{
    comprobarAbierto();
    const int indice = fieldIndex(campo);
    if (indice < 0)
        throw ErrorBD(NumeroError::ElementoNoEncontrado,
                      QObject::tr("No se encuentra el campo «%1» en el conjunto de registros.").arg(campo));
    if (d->modo != Modo::Ninguno)
        update();
    if (d->agregadaActual >= 0)
        leerTodo();
    if (d->actual < 0)
        d->actual = 0;
    while (!eof()) {
        if (coincide(d->fila(d->actual)[indice], valor))
            return true;
        ++d->actual;
    }
    return false;
}

int Recordset::fieldCount() const { return int(d->campos.size()); }

QString Recordset::fieldName(int indice) const { return d->campos.value(indice); }

int Recordset::fieldIndex(const QString& campo) const
{
    for (int i = 0; i < d->campos.size(); ++i)
        if (d->campos[i].compare(campo, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void Recordset::comprobarFilaActual()
{
    comprobarAbierto();
    if (d->agregadaActual >= 0)
        return;
    if (bof() || eof())
        throw sinRegistro();
}

QVariant Recordset::value(const QString& campo)
{
    const int i = fieldIndex(campo);
    if (i < 0) {
        comprobarAbierto();
        throw ErrorBD(NumeroError::ElementoNoEncontrado,
                      QObject::tr("No se encuentra el campo «%1» en el conjunto de registros.").arg(campo));
    }
    return value(i);
}

QVariant Recordset::value(int indice)
{
    if (d->modo == Modo::Alta) {
        comprobarAbierto();
        return d->bufer.value(indice);
    }
    comprobarFilaActual();
    if (indice < 0 || indice >= d->campos.size())
        throw ErrorBD(NumeroError::ElementoNoEncontrado, QObject::tr("No existe el campo número %1.").arg(indice));
    if (d->modo == Modo::Edicion)
        return d->bufer[indice];
    if (d->agregadaActual >= 0)
        return d->agregadas[size_t(d->agregadaActual)][indice];
    return d->fila(d->actual)[indice];
}

void Recordset::setValue(const QString& campo, const QVariant& valor)
{
    comprobarAbierto();
    const int i = fieldIndex(campo);
    if (i < 0)
        throw ErrorBD(NumeroError::ElementoNoEncontrado,
                      QObject::tr("No se encuentra el campo «%1» en el conjunto de registros.").arg(campo));
    if (d->modo == Modo::Ninguno) {
        comprobarFilaActual();
        d->bufer = d->agregadaActual >= 0 ? d->agregadas[size_t(d->agregadaActual)] : d->fila(d->actual);
        d->tocado.assign(size_t(d->campos.size()), false);
        d->modo = Modo::Edicion;
    }
    d->bufer[i] = ajustarTipo(valor, d->tipos[size_t(i)], d->campos[i]);
    d->tocado[size_t(i)] = true;
}

void Recordset::addNew()
{
    comprobarAbierto();
    if (d->modo == Modo::Edicion)
        update();
    d->bufer = QVariantList();
    for (int i = 0; i < d->campos.size(); ++i)
        d->bufer << QVariant();
    d->tocado.assign(size_t(d->campos.size()), false);
    d->modo = Modo::Alta;
}

bool Recordset::editing() const { return d->modo != Modo::Ninguno; }

void Recordset::cancelUpdate()
{
    d->modo = Modo::Ninguno;
    d->bufer.clear();
}

long long Recordset::lastInsertId() const { return d->ultimoId; }

void Recordset::prepararOrigen()
{
    if (d->origenListo)
        return;
    static const QRegularExpression desde(
        QStringLiteral(R"(\bfrom\s+(\[[^\]]+\]|"[^"]+"|`[^`]+`|[^\s;,()]+))"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    const QRegularExpressionMatch m = desde.match(d->sql);
    QString nombre = m.hasMatch() ? m.captured(1) : QString();
    if (nombre.size() > 1 && QStringLiteral("[\"`").contains(nombre[0]))
        nombre = nombre.mid(1, nombre.size() - 2);
    const QString exacto = nombre.isEmpty() ? QString() : d->con->origenExacto(nombre);
    if (exacto.isEmpty())
        throw ErrorBD(NumeroError::ErrorGeneral,
                      QObject::tr("Este conjunto de registros no se puede actualizar: no sale de una sola tabla."),
                      d->sql);
    d->origen = exacto;
    d->esVista = d->con->esVista(exacto);
    d->clave = d->con->claveDe(exacto);
    d->indiceClave = fieldIndex(d->clave);
    d->origenListo = true;
}

void Recordset::update()
{
    comprobarAbierto();
    if (d->modo == Modo::Ninguno)
        return;
    prepararOrigen();
    Conexion& con = *d->con;
    QStringList columnas;
    QVariantList valores;
    for (int i = 0; i < d->campos.size(); ++i) {
        if (!d->tocado[size_t(i)])
            continue;
        columnas << comillas(d->campos[i]);
        valores << d->bufer[i];
    }
    // Ejecuta la escritura ya preparada; si devuelve una fila y se pide, la deja en "fila".
    const auto pasar = [&](sqlite3_stmt* st, const QString& sql, const QVariantList& params, QVariantList* fila) {
        enlazarTodos(con, st, params);
        int rc = sqlite3_step(st);
        if (rc == SQLITE_ROW && fila) {
            for (int i = 0; i < d->campos.size(); ++i)
                (*fila)[i] = leerColumna(st, i, d->tipos[size_t(i)]);
            rc = sqlite3_step(st);
        }
        con.devolver(st);
        if (rc != SQLITE_DONE)
            con.lanzar(rc, sql);
    };
    const auto ejecutar = [&](const QString& sql, const QVariantList& params) {
        pasar(con.preparar(sql.toUtf8()), sql, params, nullptr);
    };

    if (d->modo == Modo::Alta) {
        QString sql = "INSERT INTO " + comillas(d->origen);
        if (columnas.isEmpty()) {
            sql += " DEFAULT VALUES";
        } else {
            QString marcas = QStringLiteral("?");
            for (int i = 1; i < columnas.size(); ++i)
                marcas += QStringLiteral(", ?");
            sql += " (" + columnas.join(", ") + ") VALUES (" + marcas + ")";
        }
        // La fila nueva tal como la guardó el almacén: clave y valores por defecto incluidos.
        QVariantList fila = d->bufer;
        QString lista;
        for (const QString& c : d->campos)
            lista += (lista.isEmpty() ? QString() : QStringLiteral(", ")) + comillas(c);
        // En una tabla la fila guardada vuelve con la misma sentencia. Si sus columnas no se pueden
        // pedir así (nombres puestos en la consulta), se escribe sin más y se relee después.
        sqlite3_stmt* devuelve = nullptr;
        if (!d->esVista && !lista.isEmpty() && sqlite3_libversion_number() >= 3035000) {
            try {
                devuelve = con.preparar((sql + " RETURNING " + lista).toUtf8());
            } catch (const ErrorBD&) {
                devuelve = nullptr;
            }
        }
        if (devuelve) {
            pasar(devuelve, sql, valores, &fila);
            d->ultimoId = sqlite3_last_insert_rowid(con.bd());
        } else {
            ejecutar(sql, valores);
            d->ultimoId = sqlite3_last_insert_rowid(con.bd());
            // La lectura de vuelta sale de la reserva de sentencias: añadir filas seguidas no la vuelve a compilar.
            sqlite3_stmt* st = nullptr;
            if (!lista.isEmpty()) {
                try {
                    st = con.preparar(("SELECT " + lista + " FROM " + comillas(d->origen) + " WHERE rowid = ?").toUtf8());
                } catch (const ErrorBD&) {
                    st = nullptr;
                }
            }
            if (st) {
                sqlite3_bind_int64(st, 1, d->ultimoId);
                if (sqlite3_step(st) == SQLITE_ROW)
                    for (int i = 0; i < d->campos.size(); ++i)
                        fila[i] = leerColumna(st, i, d->tipos[size_t(i)]);
                con.devolver(st);
            } else if (d->indiceClave >= 0) {
                fila[d->indiceClave] = d->ultimoId;
            }
        }
        d->modo = Modo::Ninguno;
        d->agregadas.push_back(fila);
        if (d->completo) {
            d->actual = d->leidas() + (long long)d->agregadas.size() - 1;
        } else {
            d->clavesAgregadas.insert(d->ultimoId);
            d->agregadaActual = int(d->agregadas.size()) - 1;
        }
        return;
    }

    // Modificación de la fila actual, localizada por su clave.
    if (columnas.isEmpty()) {
        d->modo = Modo::Ninguno;
        return;
    }
    if (d->indiceClave < 0)
        throw ErrorBD(NumeroError::ErrorGeneral,
                      QObject::tr("Este conjunto de registros no se puede actualizar: no incluye la clave «%1».")
                          .arg(d->clave),
                      d->sql);
    QStringList asignaciones;
    for (const QString& c : columnas)
        asignaciones << c + " = ?";
    QVariantList params = valores;
    params << d->bufer[d->indiceClave];
    ejecutar("UPDATE " + comillas(d->origen) + " SET " + asignaciones.join(", ") + " WHERE " + comillas(d->clave) +
                 " = ?",
             params);
    // Las vistas escriben por su disparador, que no cuenta filas cambiadas.
    if (!d->esVista && sqlite3_changes(con.bd()) == 0) {
        d->modo = Modo::Ninguno;
        throw ErrorBD(NumeroError::ErrorGeneral,
                      QObject::tr("No se encuentra el registro para actualizarlo: otra operación lo ha borrado. "
                                  "Vuelva a abrir la ventana."),
                      d->sql);
    }
    if (d->agregadaActual >= 0)
        d->agregadas[size_t(d->agregadaActual)] = d->bufer;
    else if (d->actual < d->leidas())
        d->filas[size_t(d->actual)] = d->bufer;
    else
        d->agregadas[size_t(d->actual - d->leidas())] = d->bufer;
    d->modo = Modo::Ninguno;
}
