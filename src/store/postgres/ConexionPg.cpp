#include "store/postgres/ConexionPg.h"

#include "store/postgres/MapaErroresPg.h"

#include <vector>

namespace {
void callarAvisos(void*, const char*)
{
}
} // namespace

ConexionPg conectarPg(const QString& texto)
{
    ConexionPg c(PQconnectdb(texto.toUtf8().constData()));
    if (!c)
        throw errorPg(nullptr, nullptr);
    if (PQstatus(c.get()) != CONNECTION_OK)
        throw errorPg(c.get(), nullptr);
    if (PQsetClientEncoding(c.get(), "UTF8") != 0)
        throw errorPg(c.get(), nullptr);
    PQsetNoticeProcessor(c.get(), callarAvisos, nullptr);
    return c;
}

ResultadoPg ejecutarPg(PGconn* c, const QString& sql, const QStringList& valores)
{
    const QByteArray texto = sql.toUtf8();
    ResultadoPg r;
    if (valores.isEmpty()) {
        r.reset(PQexec(c, texto.constData()));
    } else {
        std::vector<QByteArray> bytes;
        std::vector<const char*> punteros;
        bytes.reserve(valores.size());
        for (const QString& v : valores) {
            bytes.push_back(v.toUtf8());
            punteros.push_back(v.isNull() ? nullptr : bytes.back().constData());
        }
        r.reset(
            PQexecParams(c, texto.constData(), int(punteros.size()), nullptr, punteros.data(), nullptr, nullptr, 0));
    }
    const ExecStatusType estado = r ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
    if (estado != PGRES_COMMAND_OK && estado != PGRES_TUPLES_OK)
        throw errorPg(c, r.get(), sql);
    return r;
}

QString valorPg(const PGresult* r, int fila, int columna)
{
    if (PQgetisnull(r, fila, columna))
        return {};
    return QString::fromUtf8(PQgetvalue(r, fila, columna), PQgetlength(r, fila, columna));
}
