#include "store/postgres/TransaccionPg.h"

#include "store/ErrorBD.h"
#include "store/postgres/ConexionPg.h"

#include <QObject>

#include <utility>

TransaccionPg::TransaccionPg(PGconn* c) : conexion_(c)
{
    ejecutarPg(conexion_, QStringLiteral("BEGIN"));
}

TransaccionPg::TransaccionPg(TransaccionPg&& otra) noexcept : conexion_(std::exchange(otra.conexion_, nullptr))
{
}

TransaccionPg::~TransaccionPg()
{
    // Con la conexión perdida no hay nada que deshacer: el servidor ya la deshizo.
    if (conexion_ && PQstatus(conexion_) == CONNECTION_OK)
        PQclear(PQexec(conexion_, "ROLLBACK"));
}

void TransaccionPg::confirmar()
{
    PGconn* c = std::exchange(conexion_, nullptr);
    const ResultadoPg r = ejecutarPg(c, QStringLiteral("COMMIT"));
    // Si algo falló dentro, el servidor responde al COMMIT con un ROLLBACK sin error.
    if (qstrcmp(PQcmdStatus(r.get()), "COMMIT") != 0)
        throw ErrorBD(NumeroError::ErrorGeneral,
                      QObject::tr("El servidor de datos ha deshecho la transacción en lugar de confirmarla."),
                      QStringLiteral("COMMIT"));
}
