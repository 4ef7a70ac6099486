#pragma once

// Texto SQL de las revisiones del esquema. Una revisión publicada no se cambia nunca.
namespace SqlRevision {
extern const char* const revision1;
extern const char* const revision3;
extern const char* const revision4;
extern const char* const revision5;
extern const char* const revision6;
} // namespace SqlRevision
