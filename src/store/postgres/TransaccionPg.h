#pragma once

#include <QByteArray>
#include <libpq-fe.h>

// Transacción en el servidor: se deshace al salir del ámbito salvo que se confirme. Dentro de otra
// ya abierta en la misma conexión es un punto de guardado: confirmarla no confirma la de fuera, y
// deshacerla sólo deshace lo suyo. Se puede mover, no copiar.
class TransaccionPg
{
public:
    // Empieza la transacción (o el punto de guardado). Lanza ErrorBD.
    explicit TransaccionPg(PGconn* c);
    ~TransaccionPg();
    TransaccionPg(TransaccionPg&& otra) noexcept;
    TransaccionPg& operator=(TransaccionPg&&) = delete;
    TransaccionPg(const TransaccionPg&) = delete;
    TransaccionPg& operator=(const TransaccionPg&) = delete;
    // Lanza ErrorBD si el servidor no la acepta (entonces queda deshecha).
    void confirmar();

private:
    PGconn* conexion_;
    QByteArray punto_; // vacío si es la transacción de fuera
};
