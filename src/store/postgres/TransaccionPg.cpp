#include "store/postgres/TransaccionPg.h"

#include "store/ErrorBD.h"
#include "store/postgres/ConexionPg.h"

#include <QObject>

#include <utility>

TransaccionPg::TransaccionPg(PGconn* c) : conexion_(c)
{
    // Un BEGIN dentro de otra transacción no abre nada, y su COMMIT confirmaría la de fuera.
    if (PQtransactionStatus(conexion_) != PQTRANS_IDLE) {
        static int contador = 0;
        punto_ = "transaccion_pg_" + QByteArray::number(++contador);
        ejecutarPg(conexion_, QStringLiteral("SAVEPOINT ") + QString::fromLatin1(punto_));
        return;
    }
    ejecutarPg(conexion_, QStringLiteral("BEGIN"));
}

TransaccionPg::TransaccionPg(TransaccionPg&& otra) noexcept
    : conexion_(std::exchange(otra.conexion_, nullptr)), punto_(std::move(otra.punto_))
{
}

TransaccionPg::~TransaccionPg()
{
    // Con la conexión perdida no hay nada que deshacer: el servidor ya la deshizo.
    if (!conexion_ || PQstatus(conexion_) != CONNECTION_OK)
        return;
    if (punto_.isEmpty())
        PQclear(PQexec(conexion_, "ROLLBACK"));
    else
        PQclear(PQexec(conexion_, ("ROLLBACK TO SAVEPOINT " + punto_ + "; RELEASE SAVEPOINT " + punto_).constData()));
}

void TransaccionPg::confirmar()
{
    if (!punto_.isEmpty()) {
        // Si falla, el destructor vuelve al punto.
        ejecutarPg(conexion_, QStringLiteral("RELEASE SAVEPOINT ") + QString::fromLatin1(punto_));
        conexion_ = nullptr;
        return;
    }
    PGconn* c = std::exchange(conexion_, nullptr);
    const ResultadoPg r = ejecutarPg(c, QStringLiteral("COMMIT"));
    // Si algo falló dentro, el servidor responde al COMMIT con un ROLLBACK sin error.
    if (qstrcmp(PQcmdStatus(r.get()), "COMMIT") != 0)
        throw ErrorBD(NumeroError::ErrorGeneral,
                      QObject::tr("El servidor de datos ha deshecho la transacción en lugar de confirmarla."),
                      QStringLiteral("COMMIT"));
}
