#include "store/ValoresSqlite.h"

#include "store/Conexion.h"
#include "store/MotorBD.h"

#include <QDate>
#include <QDateTime>
#include <sqlite3.h>

QVariant leerColumna(sqlite3_stmt* st, int i, const QByteArray& tipo)
{
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return qlonglong(sqlite3_column_int64(st, i));
    case SQLITE_FLOAT:
        return sqlite3_column_double(st, i);
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(st, i)), sqlite3_column_bytes(st, i));
    default:
        break;
    }
    const QString texto =
        QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)), sqlite3_column_bytes(st, i));
    if (tipo == "DATE") {
        const QDate d = QDate::fromString(texto.left(10), Qt::ISODate);
        if (d.isValid())
            return d;
    } else if (tipo == "DATETIME") {
        QDateTime dt = QDateTime::fromString(texto, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!dt.isValid())
            dt = QDateTime::fromString(texto, Qt::ISODate);
        if (dt.isValid())
            return dt;
    }
    return texto;
}

int enlazarValor(sqlite3_stmt* st, int i, const QVariant& v)
{
    // Un texto, también el de una fecha, se copia: el QByteArray de aquí no dura lo que la sentencia.
    const auto texto = [&](const QByteArray& t) {
        return sqlite3_bind_text(st, i, t.constData(), int(t.size()), SQLITE_TRANSIENT);
    };
    switch (claseDeValor(v)) {
    case ClaseValor::Nulo:
        return sqlite3_bind_null(st, i);
    case ClaseValor::Logico:
    case ClaseValor::Entero:
        return sqlite3_bind_int64(st, i, v.toLongLong());
    case ClaseValor::Real:
        return sqlite3_bind_double(st, i, v.toDouble());
    case ClaseValor::Bytes: {
        const QByteArray b = v.toByteArray();
        return sqlite3_bind_blob(st, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    }
    case ClaseValor::Fecha:
        return texto(v.toDate().toString(Qt::ISODate).toUtf8());
    case ClaseValor::FechaHora:
        return texto(v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8());
    case ClaseValor::Texto:
        break;
    }
    return texto(v.toString().toUtf8());
}

void enlazar(Conexion& con, sqlite3_stmt* st, int i, const QVariant& v)
{
    if (const int rc = enlazarValor(st, i, v); rc != SQLITE_OK)
        con.lanzar(rc, QString::fromUtf8(sqlite3_sql(st)));
}

void enlazarTodos(Conexion& con, sqlite3_stmt* st, const QVariantList& valores)
{
    for (int i = 0; i < valores.size(); ++i)
        enlazar(con, st, i + 1, valores[i]);
}
