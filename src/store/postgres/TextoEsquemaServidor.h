#pragma once

// Texto SQL del esquema en un servidor PostgreSQL, aparte de cómo se aplica (EsquemaServidor.cpp).
// Una revisión publicada no se cambia nunca.
#include <QString>

namespace SqlServidor {
extern const char* const revision6;
// Revisión 7: la versión de cada fila, con la misma lista de tablas que la del archivo.
QString revision7();
extern const char* const revision8;
} // namespace SqlServidor
