#pragma once

#include <QStringList>

class Conexion;
struct sqlite3;

// Revisión del esquema que escribe este programa (PRAGMA user_version).
constexpr int RevisionEsquema = 2;

// Crea el esquema en una base de datos vacía (herramienta de construcción).
void crearEsquema(Conexion& conexion);

// Al abrir: comprueba que el archivo es una base de datos del programa y, si es de una revisión
// anterior, la pone al día en su sitio. Antes del primer cambio guarda una copia
// "Evaluacion.mdb.rN.bak" (N la revisión de partida). Cada revisión va en su propia transacción.
void prepararEsquema(Conexion& conexion);

// Tablas de una base de datos del programa de esa revisión del esquema, por orden alfabético.
QStringList tablasEsquema(int revision = RevisionEsquema);

// Aplica a una base de datos vacía las revisiones hasta la dada y la deja en user_version: así
// se hacen archivos de una revisión anterior para probar su puesta al día. Devuelve el código
// de SQLite.
int crearEsquemaRevision(sqlite3* bd, int revision);
