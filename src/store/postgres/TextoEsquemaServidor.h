#pragma once

// Texto SQL del esquema en un servidor PostgreSQL, aparte de cómo se aplica (EsquemaServidor.cpp).
// Una revisión publicada no se cambia nunca.
namespace SqlServidor {
extern const char* const revision6;
} // namespace SqlServidor
