#pragma once

#include "store/Esquema.h"

#include <libpq-fe.h>

// Prepara el esquema del programa en la base de datos de un servidor, en el esquema actual de la
// conexión (el primero de su search_path), con los mismos resultados que en un archivo:
// - Nueva: no tenía tablas ni vistas; se ha creado todo en una sola transacción.
// - AlDia: ya estaba en la revisión de este programa.
// - PuestaAlDia: era de una revisión anterior; cada revisión, en su propia transacción.
// - MasNueva: es de un programa más nuevo; no se toca.
// - Ajena: tiene tablas o vistas, pero no es del programa; no se toca.
// - Fallida: no se pudo leer o crear; lleva el error y la base queda como estaba.
// La revisión se guarda en la única fila de la tabla RevisionEsquema (columna Revision), como
// PRAGMA user_version en el archivo. Dos programas que preparan a la vez la misma base se
// esperan: uno la crea y el otro la encuentra al día. No lanza: el error va en el resultado.
ResultadoEsquema prepararEsquemaServidor(PGconn* c);
