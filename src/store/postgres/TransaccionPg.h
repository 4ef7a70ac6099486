#pragma once

#include <libpq-fe.h>

// Transacción en el servidor: se deshace al salir del ámbito salvo que se confirme. Se puede
// mover, no copiar.
class TransaccionPg
{
public:
    // Empieza la transacción. Lanza ErrorBD.
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
};
