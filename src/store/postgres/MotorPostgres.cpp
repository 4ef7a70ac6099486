#include "store/postgres/MotorPostgres.h"

#include "store/postgres/MapaErroresPg.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QRegularExpression>
#include <algorithm>

namespace {
// Tipos del servidor (pg_type.oid), fijos en todas las versiones.
constexpr Oid TipoBool = 16, TipoBytes = 17, TipoInt8 = 20, TipoInt2 = 21, TipoInt4 = 23, TipoTexto = 25, TipoOid = 26,
              TipoFloat4 = 700, TipoFloat8 = 701, TipoBpchar = 1042, TipoVarchar = 1043, TipoFecha = 1082,
              TipoFechaHora = 1114, TipoFechaHoraZona = 1184, TipoNumeric = 1700;

// Filas que trae cada lectura de un cursor: pocas idas y vueltas, poca memoria.
constexpr int FilasPorTanda = 256;

bool esEntero(Oid t)
{
    return t == TipoInt8 || t == TipoInt4 || t == TipoInt2 || t == TipoOid;
}

bool esReal(Oid t)
{
    return t == TipoFloat4 || t == TipoFloat8 || t == TipoNumeric;
}

// El texto de la sentencia sin textos, nombres entre comillas ni comentarios (cambiados por
// blancos), para buscar en él palabras clave; y los "?" cambiados por $n en "numerada".
QByteArray recorrer(const QByteArray& sql, QByteArray* numerada, int* cuantos)
{
    QByteArray codigo;
    codigo.reserve(sql.size());
    if (numerada)
        numerada->clear();
    int n = 0;
    const qsizetype largo = sql.size();
    const auto identificador = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               (unsigned char)c >= 0x80;
    };
    qsizetype i = 0;
    const auto copiar = [&](qsizetype desde, qsizetype hasta, bool blanco) {
        if (numerada)
            numerada->append(sql.constData() + desde, hasta - desde);
        codigo.append(blanco ? QByteArray(hasta - desde, ' ') : sql.mid(desde, hasta - desde));
    };
    while (i < largo) {
        const char c = sql[i];
        const char sig = i + 1 < largo ? sql[i + 1] : '\0';
        qsizetype fin = i + 1;
        if (c == '\'' || c == '"') {
            // Texto o nombre entre comillas; la comilla doblada vale por una. Un texto E'...' admite
            // barras invertidas.
            const bool barras =
                c == '\'' && i > 0 && (sql[i - 1] == 'E' || sql[i - 1] == 'e') && (i < 2 || !identificador(sql[i - 2]));
            while (fin < largo) {
                if (barras && sql[fin] == '\\') {
                    fin += 2;
                    continue;
                }
                if (sql[fin] == c) {
                    if (fin + 1 < largo && sql[fin + 1] == c) {
                        fin += 2;
                        continue;
                    }
                    ++fin;
                    break;
                }
                ++fin;
            }
            copiar(i, std::min(fin, largo), true);
        } else if (c == '-' && sig == '-') {
            fin = sql.indexOf('\n', i);
            fin = fin < 0 ? largo : fin;
            copiar(i, fin, true);
        } else if (c == '/' && sig == '*') {
            int nivel = 1;
            fin = i + 2;
            while (fin < largo && nivel > 0) {
                if (sql[fin] == '/' && fin + 1 < largo && sql[fin + 1] == '*') {
                    ++nivel;
                    fin += 2;
                } else if (sql[fin] == '*' && fin + 1 < largo && sql[fin + 1] == '/') {
                    --nivel;
                    fin += 2;
                } else {
                    ++fin;
                }
            }
            copiar(i, fin, true);
        } else if (c == '$' && (i == 0 || !identificador(sql[i - 1])) && !(sig >= '0' && sig <= '9')) {
            // Texto entre dólares: $$...$$ o $marca$...$marca$.
            qsizetype j = i + 1;
            while (j < largo && identificador(sql[j]) && sql[j] != '$')
                ++j;
            if (j < largo && sql[j] == '$') {
                const QByteArray marca = sql.mid(i, j - i + 1);
                const qsizetype cierre = sql.indexOf(marca, j + 1);
                fin = cierre < 0 ? largo : cierre + marca.size();
                copiar(i, fin, true);
            } else {
                copiar(i, fin, false);
            }
        } else if (c == '?') {
            // "?NNN" es el valor número NNN, como en el archivo; un "?" solo, el siguiente.
            while (fin < largo && sql[fin] >= '0' && sql[fin] <= '9')
                ++fin;
            const int numero = fin > i + 1 ? sql.mid(i + 1, fin - i - 1).toInt() : n + 1;
            n = std::max(n, numero);
            if (numerada)
                *numerada += '$' + QByteArray::number(numero);
            codigo += QByteArray(fin - i, ' ');
        } else {
            copiar(i, fin, false);
        }
        i = fin;
    }
    if (cuantos)
        *cuantos = n;
    return codigo;
}

// Si la sentencia sólo lee: empieza por una orden de lectura y no escribe ni bloquea filas.
bool sentenciaDeLectura(const QByteArray& codigo)
{
    static const QRegularExpression lectura(QStringLiteral(R"(^[\s(]*(select|values|table|with|show)\b)"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression escribe(
        QStringLiteral(R"(\b(insert|update|delete|merge|into|for\s+(update|share|no\s+key|key)|nextval|setval)\b)"),
        QRegularExpression::CaseInsensitiveOption);
    const QString texto = QString::fromUtf8(codigo);
    return lectura.match(texto).hasMatch() && !escribe.match(texto).hasMatch();
}

// Un alta sin RETURNING: se le añade para saber qué identificador puso el servidor.
bool altaSinDevolver(const QByteArray& codigo)
{
    static const QRegularExpression alta(QStringLiteral(R"(^\s*insert\b)"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression devuelve(QStringLiteral(R"(\breturning\b)"),
                                             QRegularExpression::CaseInsensitiveOption);
    const QString texto = QString::fromUtf8(codigo);
    return alta.match(texto).hasMatch() && !devuelve.match(texto).hasMatch();
}

// Si el texto abre, cierra o parte una transacción: va tal cual, sin punto de guardado alrededor.
bool ordenDeTransaccion(const QByteArray& sql)
{
    static const QRegularExpression orden(
        QStringLiteral(R"((^|;)\s*(begin|start|commit|end|rollback|abort|savepoint|release|prepare\s+transaction)\b)"),
        QRegularExpression::CaseInsensitiveOption);
    return orden.match(QString::fromUtf8(recorrer(sql, nullptr, nullptr))).hasMatch();
}

long long numeroDeFilas(const PGresult* r)
{
    return QByteArray(PQcmdTuples(const_cast<PGresult*>(r))).toLongLong();
}

// Valor listo para el servidor, como texto, según el tipo que el servidor espera en su sitio.
std::optional<QByteArray> textoParaServidor(const QVariant& v, Oid tipo)
{
    const bool numerico = esEntero(tipo) || esReal(tipo) || tipo == TipoBool;
    const bool fecha = tipo == TipoFecha || tipo == TipoFechaHora || tipo == TipoFechaHoraZona;
    switch (claseDeValor(v)) {
    case ClaseValor::Nulo:
        return std::nullopt;
    case ClaseValor::Logico:
        return tipo == TipoBool ? QByteArray(v.toBool() ? "t" : "f") : QByteArray(v.toBool() ? "1" : "0");
    case ClaseValor::Entero:
        if (tipo == TipoBool)
            return QByteArray(v.toLongLong() ? "t" : "f");
        return QByteArray::number(v.toLongLong());
    case ClaseValor::Real: {
        const double d = v.toDouble();
        // Un real sin decimales vale para una columna entera, como en el archivo.
        if (esEntero(tipo) && d == double(qlonglong(d)))
            return QByteArray::number(qlonglong(d));
        return QByteArray::number(d, 'g', 17);
    }
    case ClaseValor::Bytes:
        return v.toByteArray();
    case ClaseValor::Fecha:
        return v.toDate().toString(Qt::ISODate).toUtf8();
    case ClaseValor::FechaHora:
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
    case ClaseValor::Texto:
        break;
    }
    const QString texto = v.toString();
    // Un texto en blanco en una columna de números o de fechas es un dato que falta, no un error.
    if ((numerico || fecha) && texto.trimmed().isEmpty())
        return std::nullopt;
    return texto.toUtf8();
}
} // namespace

QByteArray numerarParametros(const QByteArray& sql, int* cuantos)
{
    QByteArray numerada;
    recorrer(sql, &numerada, cuantos);
    return numerada;
}

SentenciaPostgres::SentenciaPostgres(MotorPostgres* motor, const QByteArray& texto, const QByteArray& nombre)
    : motor_(motor), texto_(texto), nombre_(nombre)
{
    motor_->vivas_.insert(this);
}

SentenciaPostgres::~SentenciaPostgres()
{
    if (!motor_)
        return;
    terminar();
    motor_->vivas_.erase(this);
    motor_->porSoltar_ << nombre_;
}

void SentenciaPostgres::desconectar()
{
    motor_ = nullptr;
    cursor_.clear();
    tandas_.clear();
    estado_ = Estado::Fin;
}

void SentenciaPostgres::terminar()
{
    if (!cursor_.isEmpty() && motor_) {
        const QByteArray cursor = std::exchange(cursor_, {});
        motor_->cursorCerrado(cursor);
    }
    tandas_.clear();
    tanda_ = 0;
    fila_ = -1;
}

void SentenciaPostgres::drenar()
{
    if (cursor_.isEmpty() || !motor_)
        return;
    ResultadoPg r = motor_->ordenProtegida("FETCH ALL FROM " + cursor_);
    if (PQresultStatus(r.get()) == PGRES_TUPLES_OK)
        tandas_.push_back(std::move(r));
    else
        abortada_ = true;
    cursor_.clear();
    --motor_->cursoresAbiertos_;
}

int SentenciaPostgres::enlazar(int posicion, const QVariant& valor)
{
    if (!motor_)
        return -1;
    if (posicion < 1 || posicion > int(valores_.size()))
        return motor_->anotar(
            ErrorBD(NumeroError::OperacionVariosPasos,
                    QObject::tr("Parámetro fuera de rango en la sentencia: la posición %1 no existe.").arg(posicion)));
    valores_[size_t(posicion - 1)] = textoParaServidor(valor, tiposParametro_[size_t(posicion - 1)]);
    return 0;
}

PasoSentencia SentenciaPostgres::fallo(PGresult* r)
{
    codigo_ = motor_->anotar(r, QString::fromUtf8(texto_));
    estado_ = Estado::Fin;
    return PasoSentencia::Fallo;
}

PasoSentencia SentenciaPostgres::ejecutarYa()
{
    const int n = int(valores_.size());
    std::vector<const char*> valores(size_t(n), nullptr);
    std::vector<int> largos(size_t(n), 0), formatos(size_t(n), 0);
    for (int i = 0; i < n; ++i) {
        if (!valores_[size_t(i)])
            continue;
        valores[size_t(i)] = valores_[size_t(i)]->constData();
        largos[size_t(i)] = int(valores_[size_t(i)]->size());
        // Los bytes van tal cual, sin pasar por texto.
        formatos[size_t(i)] = tiposParametro_[size_t(i)] == TipoBytes ? 1 : 0;
    }
    if (soloLectura_ && !columnas_.empty()) {
        ResultadoPg r = motor_->abrirCursor(*this, [&](const QByteArray& cursor) {
            const QByteArray sql = "DECLARE " + cursor + " NO SCROLL CURSOR FOR " + numerarParametros(texto_);
            return std::move(motor_->enviar({[&](PGconn* c) {
                return PQsendQueryParams(c, sql.constData(), n, tiposParametro_.data(), valores.data(), largos.data(),
                                         formatos.data(), 0);
            }})[0]);
        });
        if (PQresultStatus(r.get()) != PGRES_COMMAND_OK)
            return fallo(r.get());
        estado_ = Estado::Filas;
        return PasoSentencia::Fin; // aún sin filas: las trae la primera tanda
    }
    if (const int rc = motor_->cerrarLectura(); rc != 0) {
        codigo_ = rc;
        estado_ = Estado::Fin;
        return PasoSentencia::Fallo;
    }
    ResultadoPg r = std::move(motor_->enviar({[&](PGconn* c) {
        return PQsendQueryPrepared(c, nombre_.constData(), n, valores.data(), largos.data(), formatos.data(), 0);
    }})[0]);
    const ExecStatusType estado = PQresultStatus(r.get());
    if (estado != PGRES_COMMAND_OK && estado != PGRES_TUPLES_OK)
        return fallo(r.get());
    motor_->filasCambiadas_ = numeroDeFilas(r.get());
    const int filas = PQntuples(r.get());
    if (filas > 0) {
        // El identificador que puso el servidor, de la columna que numera su tabla.
        for (size_t i = 0; i < columnas_.size(); ++i) {
            const Columna& col = columnas_[i];
            if (col.tabla != 0 && motor_->columnaNumerada(col.tabla) == col.numero &&
                !PQgetisnull(r.get(), filas - 1, int(i))) {
                motor_->ultimoId_ = QByteArray(PQgetvalue(r.get(), filas - 1, int(i))).toLongLong();
                break;
            }
        }
    }
    if (ocultas_ || columnas_.empty()) {
        estado_ = Estado::Fin;
        return PasoSentencia::Fin;
    }
    tandas_.push_back(std::move(r));
    estado_ = Estado::Filas;
    return PasoSentencia::Fin;
}

PasoSentencia SentenciaPostgres::paso()
{
    if (!motor_) {
        codigo_ = -1;
        return PasoSentencia::Fallo;
    }
    if (abortada_) {
        abortada_ = false;
        estado_ = Estado::Fin;
        codigo_ = motor_->anotar(
            ErrorBD(NumeroError::ErrorGeneral,
                    QObject::tr("La lectura se ha interrumpido: la transacción en la que se abrió se ha deshecho. "
                                "Vuelva a abrir la ventana.")));
        return PasoSentencia::Fallo;
    }
    if (estado_ == Estado::Inicio) {
        const PasoSentencia p = ejecutarYa();
        if (p == PasoSentencia::Fallo || estado_ == Estado::Fin)
            return p;
    }
    while (estado_ == Estado::Filas) {
        if (tanda_ < tandas_.size() && fila_ + 1 < PQntuples(tandas_[tanda_].get())) {
            ++fila_;
            return PasoSentencia::Fila;
        }
        if (tanda_ + 1 < tandas_.size()) {
            tandas_[tanda_].reset();
            ++tanda_;
            fila_ = -1;
            continue;
        }
        if (cursor_.isEmpty()) {
            terminar();
            estado_ = Estado::Fin;
            return PasoSentencia::Fin;
        }
        ResultadoPg r = motor_->ordenProtegida("FETCH " + QByteArray::number(FilasPorTanda) + " FROM " + cursor_);
        if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) {
            motor_->cursorPerdido(*this);
            return fallo(r.get());
        }
        const bool ultima = PQntuples(r.get()) < FilasPorTanda;
        tandas_.clear();
        tanda_ = 0;
        fila_ = -1;
        tandas_.push_back(std::move(r));
        if (ultima) {
            // Vacío: se cierra ya, sin esperar a que se pidan más filas.
            const QByteArray cursor = std::exchange(cursor_, {});
            motor_->cursorCerrado(cursor);
        }
    }
    return PasoSentencia::Fin;
}

void SentenciaPostgres::reiniciar()
{
    terminar();
    abortada_ = false;
    estado_ = motor_ ? Estado::Inicio : Estado::Fin;
}

void SentenciaPostgres::limpiar()
{
    reiniciar();
    for (auto& v : valores_)
        v.reset();
}

QString SentenciaPostgres::nombreColumna(int i) const
{
    return columnas_[size_t(i)].nombre;
}

QByteArray SentenciaPostgres::tipoDeclarado(int i) const
{
    const Columna& col = columnas_[size_t(i)];
    if (col.tabla == 0)
        return {}; // una expresión no tiene tipo declarado
    const Oid t = col.tipo;
    if (esEntero(t))
        return "INTEGER";
    if (esReal(t))
        return "REAL";
    if (t == TipoFecha)
        return "DATE";
    if (t == TipoFechaHora || t == TipoFechaHoraZona)
        return "DATETIME";
    if (t == TipoTexto || t == TipoVarchar || t == TipoBpchar)
        return "TEXT";
    if (t == TipoBytes)
        return "BLOB";
    if (t == TipoBool)
        return "BOOLEAN";
    return {};
}

const char* SentenciaPostgres::celda(int i) const
{
    if (tanda_ >= tandas_.size() || fila_ < 0)
        return nullptr;
    const PGresult* r = tandas_[tanda_].get();
    if (fila_ >= PQntuples(r) || PQgetisnull(r, fila_, i))
        return nullptr;
    return PQgetvalue(r, fila_, i);
}

QVariant SentenciaPostgres::valor(int i, const QByteArray& tipo) const
{
    const char* texto = celda(i);
    if (!texto)
        return {};
    const Oid t = columnas_[size_t(i)].tipo;
    if (esEntero(t))
        return QByteArray(texto).toLongLong();
    if (esReal(t))
        return QByteArray(texto).toDouble();
    if (t == TipoBool)
        return qlonglong(texto[0] == 't' ? 1 : 0);
    if (t == TipoBytes) {
        size_t largo = 0;
        unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(texto), &largo);
        const QByteArray b(reinterpret_cast<const char*>(bytes), qsizetype(largo));
        PQfreemem(bytes);
        return b;
    }
    const QString s = QString::fromUtf8(texto);
    if (tipo == "DATE") {
        const QDate d = QDate::fromString(s.left(10), Qt::ISODate);
        if (d.isValid())
            return d;
    } else if (tipo == "DATETIME") {
        // Sin fracciones de segundo y sin zona: como se guardan en el archivo.
        QDateTime dt = QDateTime::fromString(s.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!dt.isValid())
            dt = QDateTime(QDate::fromString(s.left(10), Qt::ISODate), QTime(0, 0));
        if (dt.isValid())
            return dt;
    }
    return s;
}

bool SentenciaPostgres::entero(int i, qlonglong& valor) const
{
    const char* texto = celda(i);
    if (!texto || !esEntero(columnas_[size_t(i)].tipo))
        return false;
    valor = QByteArray(texto).toLongLong();
    return true;
}

MotorPostgres::MotorPostgres(ConexionPg conexion) : conexion_(std::move(conexion))
{
}

std::unique_ptr<MotorPostgres> MotorPostgres::abrir(const QByteArray& parametros)
{
    ConexionPg c = conectarPg(QString::fromUtf8(parametros));
    // Fechas como en el archivo (año-mes-día), sea cual sea la configuración del servidor.
    ejecutarPg(c.get(), QStringLiteral("SET DateStyle = 'ISO, YMD'"));
    const ResultadoPg r = ejecutarPg(
        c.get(),
        QStringLiteral("SELECT pg_is_in_recovery() OR current_setting('default_transaction_read_only') = 'on'"));
    std::unique_ptr<MotorPostgres> m(new MotorPostgres(std::move(c)));
    m->soloLectura_ = valorPg(r.get(), 0, 0) == QLatin1String("t");
    return m;
}

MotorPostgres::~MotorPostgres()
{
    cerrar();
}

void MotorPostgres::cerrar()
{
    if (!conexion_)
        return;
    while (!vivas_.empty()) {
        SentenciaPostgres* st = *vivas_.begin();
        vivas_.erase(vivas_.begin());
        st->desconectar();
    }
    // Lo que no se confirmó no se guarda.
    if (PQtransactionStatus(conexion_.get()) != PQTRANS_IDLE)
        PQclear(PQexec(conexion_.get(), "ROLLBACK"));
    conexion_.reset();
    lecturaPropia_ = false;
    cursoresAbiertos_ = 0;
}

int MotorPostgres::anotar(const ErrorBD& e)
{
    // Sólo se guardan los últimos: un código viejo ya no se pregunta.
    if (fallos_.size() >= 32)
        fallos_.erase(fallos_.begin());
    fallos_.insert_or_assign(++ultimoFallo_, e);
    return ultimoFallo_;
}

int MotorPostgres::anotar(const PGresult* r, const QString& sentencia)
{
    return anotar(errorPg(conexion_.get(), r, sentencia));
}

ErrorBD MotorPostgres::error(int codigo, const QString& sentencia) const
{
    const auto it = fallos_.find(codigo);
    if (it == fallos_.end())
        return ErrorBD(NumeroError::ObjetoDesconectado,
                       QObject::tr("La conexión con el servidor de datos está cerrada."), sentencia);
    const ErrorBD& e = it->second;
    return ErrorBD(e.numero(), e.descripcion(), sentencia.isEmpty() ? e.sentencia() : sentencia);
}

int MotorPostgres::orden(const QByteArray& sql)
{
    if (!conexion_)
        return -1;
    const ResultadoPg r(PQexec(conexion_.get(), sql.constData()));
    const ExecStatusType estado = PQresultStatus(r.get());
    if (estado != PGRES_COMMAND_OK && estado != PGRES_TUPLES_OK && estado != PGRES_EMPTY_QUERY)
        return anotar(r.get(), QString::fromUtf8(sql));
    filasCambiadas_ = numeroDeFilas(r.get());
    return 0;
}

std::vector<ResultadoPg> MotorPostgres::enviar(std::initializer_list<Envio> envios)
{
    PGconn* c = conexion_.get();
    // Dentro de una transacción, en el servidor un fallo la echaría a perder entera, y en el archivo
    // sólo falla la sentencia: cada una va tras un punto de guardado que se suelta si sale bien. El
    // punto, la sentencia y su liberación van juntos, en una sola ida y vuelta; sólo un fallo cuesta
    // otra, la de volver al punto.
    const bool proteger = PQtransactionStatus(c) == PQTRANS_INTRANS;
    const auto orden = [](PGconn* c, const char* sql) {
        return PQsendQueryParams(c, sql, 0, nullptr, nullptr, nullptr, nullptr, 0);
    };
    bool enviado = PQenterPipelineMode(c) == 1;
    enviado = enviado && (!proteger || orden(c, "SAVEPOINT motor_sentencia"));
    for (const Envio& e : envios)
        enviado = enviado && e(c);
    enviado = enviado && (!proteger || orden(c, "RELEASE SAVEPOINT motor_sentencia"));
    enviado = enviado && PQpipelineSync(c);
    const size_t esperados = envios.size() + (proteger ? 2 : 0);
    std::vector<ResultadoPg> todos;
    if (enviado) {
        // Cada envío da su resultado y un nulo; al final, el de la sincronización.
        for (size_t i = 0; i < esperados; ++i) {
            ResultadoPg r(PQgetResult(c));
            if (!r)
                break;
            while (PGresult* resto = PQgetResult(c))
                PQclear(resto);
            todos.push_back(std::move(r));
        }
        if (todos.size() == esperados)
            PQclear(PQgetResult(c));
    }
    PQexitPipelineMode(c);
    std::vector<ResultadoPg> resultados;
    bool fallo = false;
    for (size_t i = 0; i < envios.size(); ++i) {
        const size_t j = i + (proteger ? 1 : 0);
        ResultadoPg r = j < todos.size() ? std::move(todos[j]) : ResultadoPg();
        // Sin respuesta: la conexión se ha perdido, y el fallo lo dice su estado.
        if (!r)
            r.reset(PQmakeEmptyPGresult(c, PGRES_FATAL_ERROR));
        const ExecStatusType estado = PQresultStatus(r.get());
        fallo = fallo || (estado != PGRES_COMMAND_OK && estado != PGRES_TUPLES_OK && estado != PGRES_EMPTY_QUERY);
        resultados.push_back(std::move(r));
    }
    if (proteger && fallo && PQtransactionStatus(c) == PQTRANS_INERROR)
        PQclear(PQexec(c, "ROLLBACK TO SAVEPOINT motor_sentencia; RELEASE SAVEPOINT motor_sentencia"));
    return resultados;
}

ResultadoPg MotorPostgres::ordenProtegida(const QByteArray& sql)
{
    return std::move(enviar({[&](PGconn* c) {
        return PQsendQueryParams(c, sql.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0);
    }})[0]);
}

void MotorPostgres::soltarPendientes()
{
    // Se sueltan de una vez, en una sola ida y vuelta, y nunca en una transacción ya fallida.
    if (porSoltar_.size() < 16 || PQtransactionStatus(conexion_.get()) == PQTRANS_INERROR)
        return;
    QByteArray sql;
    for (const QByteArray& n : porSoltar_)
        sql += "DEALLOCATE " + n + ";";
    porSoltar_.clear();
    PQclear(PQexec(conexion_.get(), sql.constData()));
}

std::unique_ptr<SentenciaMotor> MotorPostgres::preparar(const QByteArray& sql, int& codigo)
{
    codigo = 0;
    if (!conexion_) {
        codigo = -1;
        return nullptr;
    }
    soltarPendientes();
    int cuantos = 0;
    QByteArray numerada;
    const QByteArray limpio = recorrer(sql, &numerada, &cuantos);
    const bool ocultas = altaSinDevolver(limpio);
    if (ocultas) {
        while (numerada.endsWith(';') || (!numerada.isEmpty() && QChar(numerada.back()).isSpace()))
            numerada.chop(1);
        numerada += "\nRETURNING *";
    }
    const QByteArray nombre = "e" + QByteArray::number(++contador_);
    // Preparada y descrita de una vez.
    std::vector<ResultadoPg> r =
        enviar({[&](PGconn* c) { return PQsendPrepare(c, nombre.constData(), numerada.constData(), 0, nullptr); },
                [&](PGconn* c) { return PQsendDescribePrepared(c, nombre.constData()); }});
    if (PQresultStatus(r[0].get()) != PGRES_COMMAND_OK) {
        codigo = anotar(r[0].get(), QString::fromUtf8(sql));
        return nullptr;
    }
    const ResultadoPg& d = r[1];
    if (PQresultStatus(d.get()) != PGRES_COMMAND_OK) {
        codigo = anotar(d.get(), QString::fromUtf8(sql));
        porSoltar_ << nombre;
        return nullptr;
    }
    std::unique_ptr<SentenciaPostgres> st(new SentenciaPostgres(this, sql, nombre));
    for (int i = 0; i < PQnparams(d.get()); ++i)
        st->tiposParametro_.push_back(PQparamtype(d.get(), i));
    st->valores_.resize(st->tiposParametro_.size());
    for (int i = 0; i < PQnfields(d.get()); ++i)
        st->columnas_.push_back({QString::fromUtf8(PQfname(d.get(), i)), PQftype(d.get(), i), PQftable(d.get(), i),
                                 PQftablecol(d.get(), i)});
    st->soloLectura_ = sentenciaDeLectura(limpio);
    st->ocultas_ = ocultas;
    return st;
}

ResultadoPg MotorPostgres::abrirCursor(SentenciaPostgres& st,
                                       const std::function<ResultadoPg(const QByteArray&)>& declarar)
{
    PGconn* c = conexion_.get();
    // Un cursor vive en una transacción. Fuera de la del programa, el motor abre una sólo para
    // leer, que confirma en cuanto no queda ningún cursor o antes de la primera escritura.
    if (PQtransactionStatus(c) == PQTRANS_IDLE) {
        if (const int rc = orden("BEGIN"); rc != 0)
            return ResultadoPg(PQmakeEmptyPGresult(c, PGRES_FATAL_ERROR));
        lecturaPropia_ = true;
    }
    const QByteArray cursor = "c" + QByteArray::number(++contador_);
    ResultadoPg r = declarar(cursor);
    if (PQresultStatus(r.get()) == PGRES_COMMAND_OK) {
        st.cursor_ = cursor;
        ++cursoresAbiertos_;
    } else if (lecturaPropia_) {
        // La lectura propia ha fallado: los demás cursores se pierden con ella.
        abandonarLectura();
    }
    return r;
}

void MotorPostgres::perderCursores()
{
    for (SentenciaPostgres* st : vivas_)
        if (!st->cursor_.isEmpty()) {
            st->cursor_.clear();
            st->abortada_ = true;
        }
    cursoresAbiertos_ = 0;
}

void MotorPostgres::abandonarLectura()
{
    perderCursores();
    PQclear(PQexec(conexion_.get(), "ROLLBACK"));
    lecturaPropia_ = false;
}

void MotorPostgres::cursorPerdido(SentenciaPostgres& st)
{
    st.cursor_.clear();
    --cursoresAbiertos_;
    // El punto de guardado deja la transacción en pie; si no (se ha perdido la conexión), la
    // lectura propia se deshace entera.
    if (lecturaPropia_ && (cursoresAbiertos_ <= 0 || PQtransactionStatus(conexion_.get()) != PQTRANS_INTRANS))
        abandonarLectura();
}

void MotorPostgres::cursorCerrado(const QByteArray& cursor)
{
    --cursoresAbiertos_;
    if (lecturaPropia_ && cursoresAbiertos_ <= 0) {
        // El último cursor de la lectura propia: al confirmarla se cierra con ella.
        cursoresAbiertos_ = 0;
        lecturaPropia_ = false;
        PQclear(PQexec(conexion_.get(), "COMMIT"));
        return;
    }
    if (PQtransactionStatus(conexion_.get()) == PQTRANS_INTRANS)
        PQclear(PQexec(conexion_.get(), ("CLOSE " + cursor).constData()));
}

void MotorPostgres::drenarCursores()
{
    for (SentenciaPostgres* st : vivas_)
        st->drenar();
    cursoresAbiertos_ = 0;
}

int MotorPostgres::cerrarLectura()
{
    if (!lecturaPropia_)
        return 0;
    drenarCursores();
    lecturaPropia_ = false;
    return orden("COMMIT");
}

int MotorPostgres::columnaNumerada(Oid tabla)
{
    if (const auto it = numeradas_.find(tabla); it != numeradas_.end())
        return it->second;
    // La de identidad o serie; si no hay, la clave primaria entera de una sola columna.
    static const char* const sql =
        "SELECT a.attnum FROM pg_catalog.pg_attribute a WHERE a.attrelid = $1::oid AND a.attnum > 0 "
        "AND NOT a.attisdropped AND (a.attidentity <> '' OR EXISTS (SELECT 1 FROM pg_catalog.pg_attrdef d "
        "WHERE d.adrelid = a.attrelid AND d.adnum = a.attnum AND pg_catalog.pg_get_expr(d.adbin, d.adrelid) "
        "LIKE 'nextval(%') OR (a.atttypid IN (20, 21, 23) AND EXISTS (SELECT 1 FROM pg_catalog.pg_index i "
        "WHERE i.indrelid = a.attrelid AND i.indisprimary AND i.indnatts = 1 AND i.indkey[0] = a.attnum))) "
        "ORDER BY a.attidentity = '', a.attnum LIMIT 1";
    const QByteArray oid = QByteArray::number(tabla);
    const char* valores[] = {oid.constData()};
    const ResultadoPg r(PQexecParams(conexion_.get(), sql, 1, nullptr, valores, nullptr, nullptr, 0));
    int numero = 0;
    if (PQresultStatus(r.get()) == PGRES_TUPLES_OK && PQntuples(r.get()) == 1)
        numero = QByteArray(PQgetvalue(r.get(), 0, 0)).toInt();
    numeradas_[tabla] = numero;
    return numero;
}

int MotorPostgres::ejecutar(const QByteArray& sql)
{
    if (!conexion_)
        return -1;
    static const QRegularExpression inicio(QStringLiteral(R"(^\s*(begin|start\s+transaction)\s*;?\s*$)"),
                                           QRegularExpression::CaseInsensitiveOption);
    if (lecturaPropia_ && inicio.match(QString::fromUtf8(sql)).hasMatch()) {
        lecturaPropia_ = false; // la lectura propia pasa a ser la transacción del programa
        return 0;
    }
    if (const int rc = cerrarLectura(); rc != 0)
        return rc;
    if (!enTransaccion() || ordenDeTransaccion(sql))
        return orden(sql);
    // Como una sentencia preparada: tras un punto de guardado, en la misma ida y vuelta.
    const QByteArray protegida = "SAVEPOINT motor_sentencia;" + sql + "\n;RELEASE SAVEPOINT motor_sentencia";
    if (!PQsendQuery(conexion_.get(), protegida.constData()))
        return anotar(nullptr, QString::fromUtf8(sql));
    std::vector<ResultadoPg> resultados;
    while (PGresult* r = PQgetResult(conexion_.get()))
        resultados.emplace_back(r);
    for (const ResultadoPg& r : resultados) {
        const ExecStatusType estado = PQresultStatus(r.get());
        if (estado != PGRES_COMMAND_OK && estado != PGRES_TUPLES_OK && estado != PGRES_EMPTY_QUERY) {
            const int rc = anotar(r.get(), QString::fromUtf8(sql));
            PQclear(
                PQexec(conexion_.get(), "ROLLBACK TO SAVEPOINT motor_sentencia; RELEASE SAVEPOINT motor_sentencia"));
            return rc;
        }
    }
    // Las filas cambiadas son las de la última sentencia del texto, antes de la liberación.
    filasCambiadas_ = resultados.size() >= 2 ? numeroDeFilas(resultados[resultados.size() - 2].get()) : 0;
    return 0;
}

bool MotorPostgres::enTransaccion() const
{
    return conexion_ && !lecturaPropia_ && PQtransactionStatus(conexion_.get()) != PQTRANS_IDLE &&
           PQtransactionStatus(conexion_.get()) != PQTRANS_UNKNOWN;
}

int MotorPostgres::transaccion(OrdenTransaccion ordenPedida, const QString& punto)
{
    switch (ordenPedida) {
    case OrdenTransaccion::Empezar:
        if (lecturaPropia_) {
            lecturaPropia_ = false;
            return 0;
        }
        return orden("BEGIN");
    case OrdenTransaccion::Confirmar:
        return confirmarYa();
    case OrdenTransaccion::Deshacer:
        // Como en el archivo: las lecturas abiertas en la transacción deshecha ya no siguen.
        perderCursores();
        lecturaPropia_ = false;
        return orden("ROLLBACK");
    case OrdenTransaccion::GuardarPunto:
        lecturaPropia_ = false;
        return orden(("SAVEPOINT " + punto).toUtf8());
    case OrdenTransaccion::LiberarPunto:
        return orden(("RELEASE SAVEPOINT " + punto).toUtf8());
    case OrdenTransaccion::VolverAPunto:
        // Volver al punto cierra los cursores abiertos después: se leen enteros antes.
        drenarCursores();
        return orden(("ROLLBACK TO SAVEPOINT " + punto + "; RELEASE SAVEPOINT " + punto).toUtf8());
    }
    return -1;
}

int MotorPostgres::confirmarYa()
{
    if (!conexion_)
        return -1;
    // Los cursores abiertos se cierran con la transacción: antes se leen enteros.
    drenarCursores();
    const ResultadoPg r(PQexec(conexion_.get(), "COMMIT"));
    if (PQresultStatus(r.get()) != PGRES_COMMAND_OK)
        return anotar(r.get(), QStringLiteral("COMMIT"));
    // Si algo falló dentro, el servidor responde al COMMIT con un ROLLBACK sin error.
    if (qstrcmp(PQcmdStatus(r.get()), "COMMIT") != 0)
        return anotar(ErrorBD(NumeroError::ErrorGeneral,
                              QObject::tr("El servidor de datos ha deshecho la transacción en lugar de confirmarla: "
                                          "una de sus sentencias había fallado. No se ha guardado nada de ella."),
                              QStringLiteral("COMMIT")));
    return 0;
}

QString MotorPostgres::ordenDeFilas(const QString& clave) const
{
    // El servidor no tiene número de fila: las filas se añaden con su clave creciente.
    if (clave.isEmpty())
        return QStringLiteral("ctid");
    QString n = clave;
    n.replace('"', QStringLiteral("\"\""));
    return '"' + n + '"';
}

QByteArray MotorPostgres::consultaMetadatos(Metadato pregunta) const
{
    // La tabla o vista del esquema actual con ese nombre, la escrita igual antes que las demás.
    static const QByteArray origen =
        "WITH o AS (SELECT k.oid, k.relname, k.relkind FROM pg_catalog.pg_class k "
        "JOIN pg_catalog.pg_namespace s ON s.oid = k.relnamespace, (SELECT CAST(? AS text) AS nombre) p "
        "WHERE s.nspname = current_schema() AND k.relkind IN ('r', 'p', 'v', 'm', 'f') "
        "AND lower(k.relname) = lower(p.nombre) ORDER BY k.relname = p.nombre DESC LIMIT 1) ";
    switch (pregunta) {
    case Metadato::OrigenExacto:
        return origen + "SELECT relname FROM o";
    case Metadato::ColumnasClave:
        return origen + "SELECT a.attname, CAST(coalesce((SELECT k.n FROM unnest(i.indkey) WITH ORDINALITY "
                        "AS k(columna, n) WHERE k.columna = a.attnum), 0) AS integer) "
                        "FROM o JOIN pg_catalog.pg_attribute a ON a.attrelid = o.oid "
                        "LEFT JOIN pg_catalog.pg_index i ON i.indrelid = o.oid AND i.indisprimary "
                        "WHERE a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum";
    case Metadato::ClaveNumeroDeFila:
        return origen + "SELECT count(*), max(CASE WHEN a.atttypid IN (20, 21, 23) THEN 'INTEGER' "
                        "ELSE upper(format_type(a.atttypid, NULL)) END) FROM o "
                        "JOIN pg_catalog.pg_index i ON i.indrelid = o.oid AND i.indisprimary "
                        "JOIN pg_catalog.pg_attribute a ON a.attrelid = o.oid AND a.attnum = ANY (i.indkey)";
    case Metadato::TipoDeOrigen:
        return origen + "SELECT CASE WHEN relkind IN ('v', 'm') THEN 'view' ELSE 'table' END FROM o";
    }
    return {};
}
