#pragma once

#include "store/ErrorBD.h"

#include <libpq-fe.h>

// El fallo de libpq o del servidor como ErrorBD, con el número que le darían las ventanas si
// fuera del archivo: por el código SQLSTATE del resultado o, sin él, por el estado de la conexión.
ErrorBD errorPg(PGconn* c, const PGresult* r, const QString& sentencia = {});
