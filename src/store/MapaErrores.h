#pragma once

#include "store/ErrorBD.h"

struct sqlite3;

// Traduce un código de SQLite al número de error que usan las ventanas, con un texto en
// castellano que dice qué pasa y qué hacer. archivo es la base de datos afectada.
ErrorBD errorDeSqlite(sqlite3* bd, int codigo, const QString& archivo, const QString& sentencia);
