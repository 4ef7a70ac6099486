#include "store/postgres/EsquemaServidor.h"

#include "store/postgres/ConexionPg.h"
#include "store/postgres/FuncionesInformesServidor.h"
#include "store/postgres/TextoEsquemaServidor.h"
#include "store/postgres/TransaccionPg.h"

#include <QObject>
#include <iterator>

namespace {
struct RevisionServidor
{
    int numero;
    QString (*sql)(); // una función, para que la lista sea constante al compilar
};

QString revision6()
{
    return QString::fromUtf8(SqlServidor::revision6);
}

QString revision8()
{
    return QString::fromUtf8(SqlServidor::revision8);
}

// Revisiones del servidor en orden. La primera crea el esquema entero; cada revisión nueva del
// archivo (TextoRevisiones) añade aquí su texto para el servidor con el mismo número.
constexpr RevisionServidor revisiones[] = {
    {6, revision6},
    {7, SqlServidor::revision7},
    {8, revision8},
};
static_assert(revisiones[std::size(revisiones) - 1].numero == RevisionEsquema,
              "cada revisión del esquema lleva también su texto para el servidor");

// Mientras uno prepara el esquema, los demás esperan: la clave del cerrojo de la base es fija.
constexpr const char* CerrojoEsquema = "SELECT pg_advisory_xact_lock(7401720526)";

// Tablas y vistas del esquema actual, y si entre ellas está la de la revisión.
struct Contenido
{
    int objetos = 0;
    bool conRevision = false;
};

Contenido leerContenido(PGconn* c)
{
    const ResultadoPg r = ejecutarPg(c, QStringLiteral("SELECT count(*), count(*) FILTER (WHERE k.relname = "
                                                       "'revisionesquema' AND k.relkind = 'r') "
                                                       "FROM pg_catalog.pg_class k "
                                                       "JOIN pg_catalog.pg_namespace n ON n.oid = k.relnamespace "
                                                       "WHERE n.nspname = current_schema() "
                                                       "AND k.relkind IN ('r', 'p', 'v', 'm', 'f')"));
    return {valorPg(r.get(), 0, 0).toInt(), valorPg(r.get(), 0, 1).toInt() > 0};
}

// La revisión guardada, o 0 si la tabla no tiene exactamente una fila con un número.
int leerRevision(PGconn* c)
{
    const ResultadoPg r = ejecutarPg(c, QStringLiteral("SELECT Revision FROM RevisionEsquema"));
    return PQntuples(r.get()) == 1 ? valorPg(r.get(), 0, 0).toInt() : 0;
}

void aplicar(PGconn* c, int desde, int hasta)
{
    for (const RevisionServidor& r : revisiones)
        if (r.numero > desde && r.numero <= hasta)
            ejecutarPg(c, r.sql());
    ejecutarPg(c, QStringLiteral("UPDATE RevisionEsquema SET Revision = $1"), {QString::number(hasta)});
}

QString nombreBase(PGconn* c)
{
    return QStringLiteral("%1 (%2)").arg(QString::fromUtf8(PQdb(c)), QString::fromUtf8(PQhost(c)));
}

void comprobarYPoner(PGconn* c, ResultadoEsquema& r)
{
    using Estado = ResultadoEsquema::Estado;
    TransaccionPg t(c);
    ejecutarPg(c, QString::fromUtf8(CerrojoEsquema));
    const ResultadoPg sinEsquema = ejecutarPg(c, QStringLiteral("SELECT current_schema() IS NULL"));
    if (valorPg(sinEsquema.get(), 0, 0) == QLatin1String("t"))
        throw ErrorBD(NumeroError::ErrorGeneral,
                      QObject::tr("El usuario no tiene ningún esquema donde guardar los datos en la base de datos "
                                  "%1 del servidor (search_path).")
                          .arg(nombreBase(c)));
    const Contenido contenido = leerContenido(c);
    if (contenido.objetos == 0) {
        aplicar(c, 0, RevisionEsquema);
        t.confirmar();
        r.estado = Estado::Nueva;
        return;
    }
    const int revision = r.revision = contenido.conRevision ? leerRevision(c) : 0;
    if (revision <= 0) {
        r.estado = Estado::Ajena;
        r.error = ErrorBD(NumeroError::BaseDanada,
                          QObject::tr("La base de datos %1 del servidor tiene tablas, pero no es de este programa.")
                              .arg(nombreBase(c)));
        return;
    }
    if (revision > RevisionEsquema) {
        r.estado = Estado::MasNueva;
        r.error = ErrorBD(NumeroError::ErrorGeneral,
                          QObject::tr("La base de datos %1 del servidor es de una versión más nueva del programa "
                                      "(revisión %2). Instale la versión del programa con la que se creó.")
                              .arg(nombreBase(c))
                              .arg(revision));
        return;
    }
    if (revision == RevisionEsquema) {
        r.estado = Estado::AlDia;
        return;
    }
    if (revision < revisiones[0].numero)
        throw ErrorBD(NumeroError::ErrorGeneral,
                      QObject::tr("La base de datos %1 del servidor está en la revisión %2, que este programa no "
                                  "sabe poner al día.")
                          .arg(nombreBase(c))
                          .arg(revision));
    // Revisión a revisión, cada una en su transacción: si una falla, queda en la anterior.
    t.confirmar();
    for (const RevisionServidor& s : revisiones) {
        if (s.numero <= revision)
            continue;
        TransaccionPg paso(c);
        ejecutarPg(c, QString::fromUtf8(CerrojoEsquema));
        if (leerRevision(c) == s.numero - 1)
            aplicar(c, s.numero - 1, s.numero);
        paso.confirmar();
    }
    r.estado = Estado::PuestaAlDia;
}
} // namespace

ResultadoEsquema prepararEsquemaServidor(PGconn* c)
{
    ResultadoEsquema r;
    try {
        comprobarYPoner(c, r);
        if (!r.error)
            PonerFuncionesInformes(c);
    } catch (const ErrorBD& e) {
        r.estado = ResultadoEsquema::Estado::Fallida;
        r.error = e;
    }
    return r;
}
