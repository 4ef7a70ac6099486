#pragma once

#include <functional>

// Sistema de archivos de SQLite para las pruebas de fallos: envuelve el de siempre y, cuando se le
// pide, se queda sin espacio, abre la base de datos como si el archivo fuera de sólo lectura o
// avisa antes de una escritura concreta (para matar el proceso justo ahí). Se registra como el
// predeterminado, así que lo usan el almacén, la compactación y cualquier sqlite3_open del proceso.
namespace vfsfallos {
// Registra el sistema de archivos (una vez por proceso). Sin nada armado se comporta igual que el
// de siempre.
void instalar();

// Deja de fallar y vuelve a contar desde cero.
void desarmar();

// A partir de aquí sólo caben "bytes" bytes más; la escritura que no quepa entera devuelve
// SQLITE_FULL, como un disco lleno. -1: sin límite.
void limitarEspacio(long long bytes);

// Bytes y escrituras desde el último desarmar().
long long bytesEscritos();
int escrituras();

// Antes de la escritura número "n" (desde 1) llama a "parada". Con "aMedias", escribe antes la
// mitad de esa escritura (lo que deja un proceso matado a mitad de write()). parada no vuelve:
// avisa al proceso padre y espera a que la maten.
void pararEnEscritura(int n, bool aMedias, std::function<void()> parada);

// Los Evaluacion.mdb que se abran desde ahora se abren de sólo lectura, como hace SQLite cuando el
// archivo no se puede abrir para escribir (las pruebas corren como root, que escribe en todo).
void soloLectura(bool activo);
} // namespace vfsfallos
