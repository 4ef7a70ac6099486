#pragma once

#include "store/ErrorBD.h"

#include <QStringList>
#include <optional>

class Conexion;
struct sqlite3;

// Revisión del esquema que escribe este programa (PRAGMA user_version).
constexpr int RevisionEsquema = 8;

// Qué se encontró al preparar el esquema de un archivo.
struct ResultadoEsquema
{
    enum class Estado
    {
        Nueva,       // archivo recién creado, con todas las revisiones
        AlDia,       // ya estaba en la revisión de este programa
        PuestaAlDia, // era de una revisión anterior y se ha puesto al día
        MasNueva,    // es de un programa más nuevo: no se toca
        Ajena,       // es una base de datos, pero no de este programa
        Fallida      // no se pudo leer su revisión, guardar la copia o aplicar una revisión
    };
    Estado estado = Estado::AlDia;
    int revision = 0; // la que tenía el archivo al abrirlo
    QString copia;    // la copia de antes del primer cambio, si se hizo
    // Revisión del catálogo que tenía el archivo y, si se ha puesto al día con el del programa,
    // la nueva (0 si no se ha tocado).
    int revisionCatalogo = 0;
    int catalogoPuestoAlDia = 0;
    // En MasNueva, Ajena y Fallida, el error que recibe quien abre el archivo.
    std::optional<ErrorBD> error;
};

// Al abrir: comprueba que el archivo es una base de datos del programa y, si es de una revisión
// anterior, la pone al día en su sitio. Antes del primer cambio guarda una copia
// "Evaluacion.mdb.rN.bak" (N la revisión de partida). Cada revisión va en su propia transacción;
// si una falla, el archivo queda en la anterior. Después, si junto al archivo está el catálogo del
// programa (Catalogo.mdb) con una revisión más nueva, pone el catálogo al día, con la misma copia o,
// si no se hizo, "Evaluacion.mdb.cN.bak" (N la revisión del catálogo de partida). Con "nueva", crea
// el esquema entero en un archivo vacío (herramienta de construcción). No lanza ErrorBD: lo
// devuelve en el resultado.
ResultadoEsquema prepararEsquema(Conexion& conexion, bool nueva = false);

// Tablas de una base de datos del programa de esa revisión del esquema, por orden alfabético.
QStringList tablasEsquema(int revision = RevisionEsquema);

// Aplica a una base de datos vacía las revisiones hasta la dada y la deja en user_version: así
// se hacen archivos de una revisión anterior para probar su puesta al día. Devuelve el código
// de SQLite.
int crearEsquemaRevision(sqlite3* bd, int revision);
