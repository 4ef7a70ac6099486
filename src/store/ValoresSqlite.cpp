#include "store/ValoresSqlite.h"

#include "store/Conexion.h"

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
    int rc = SQLITE_OK;
    if (v.isNull() && v.typeId() != QMetaType::QString) {
        rc = sqlite3_bind_null(st, i);
    } else {
        switch (v.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
            rc = sqlite3_bind_int64(st, i, v.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(st, i, v.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray b = v.toByteArray();
            rc = sqlite3_bind_blob(st, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QDate: {
            const QByteArray t = v.toDate().toString(Qt::ISODate).toUtf8();
            rc = sqlite3_bind_text(st, i, t.constData(), int(t.size()), SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QDateTime: {
            const QByteArray t = v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
            rc = sqlite3_bind_text(st, i, t.constData(), int(t.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray t = v.toString().toUtf8();
            rc = sqlite3_bind_text(st, i, t.constData(), int(t.size()), SQLITE_TRANSIENT);
            break;
        }
        }
    }
    return rc;
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
