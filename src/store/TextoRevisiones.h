#pragma once

#include <QString>
#include <QStringList>

// Texto SQL de las revisiones del esquema. Una revisión publicada no se cambia nunca.
namespace SqlRevision {
extern const char* const revision1;
extern const char* const revision3;
extern const char* const revision4;
extern const char* const revision5;
extern const char* const revision6;
extern const char* const revision8;

// Columna con la versión de cada fila que editan las ventanas: empieza en 0 y cada escritura de la
// fila la sube en uno. Quien guarda una fila leída con otra versión ha perdido la carrera.
inline constexpr const char* ColumnaVersion = "VersionFila";
// Las tablas que la llevan, escritas como las escriben los dos esquemas (las de nombre con acento,
// entre comillas): de aquí sale la revisión 7 del archivo y la del servidor.
QStringList tablasConVersion();
// Revisión 7 para un esquema cuyo tipo entero se escribe "tipoEntero".
QString revision7(const QString& tipoEntero);
} // namespace SqlRevision
