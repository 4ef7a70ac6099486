#pragma once

#include "store/ErrorBD.h"

#include <libpq-fe.h>

// El fallo de libpq o del servidor como ErrorBD, con el número que le darían las ventanas si
// fuera del archivo: por el código SQLSTATE del resultado o, sin él, por el estado de la conexión.
// La descripción dice en castellano qué ha pasado y qué hacer, y lleva detrás, entre paréntesis,
// lo que dijo el servidor.
ErrorBD errorPg(PGconn* c, const PGresult* r, const QString& sentencia = {});

// Lo mismo para un código SQLSTATE ya leído; nulo es no tener conexión con el servidor.
ErrorBD errorDeCodigo(const char* codigo, const QString& delServidor, const QString& sentencia = {});
