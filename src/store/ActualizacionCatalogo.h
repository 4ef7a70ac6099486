#pragma once

#include <QString>

class Conexion;
struct ResultadoEsquema;

// Copia intacta de la base entregada que acompaña al programa, junto a su base de datos. De ella
// sale el catálogo nuevo cuando se instala una versión más nueva del programa.
inline const QString NombreCatalogoPrograma = QStringLiteral("Catalogo.mdb");

// Revisión del catálogo de la base abierta (la tabla RevisionCatalogo). Lanza ErrorBD.
int revisionCatalogo(Conexion& conexion);

// Revisión del catálogo del archivo dado, sin cambiarlo; 0 si no existe, no se puede leer o no es
// de la revisión del esquema de este programa (entonces no sirve para poner nada al día).
int revisionCatalogoDe(const QString& archivo);

// Pone el catálogo de la base abierta (archivo o servidor) al día con el del archivo, leído aparte,
// en una sola transacción: añade riesgos, puestos, factores, actuaciones y enlaces nuevos, y toma
// la redacción nueva de lo que el usuario no puede cambiar. Nunca toca lo copiado en los puestos ni
// sus evaluaciones y medidas; un factor nuevo llega a cada puesto que ya existía como una fila más
// sin marcar. Las actuaciones (que el usuario puede corregir) sólo ganan las que no tenían. Lanza
// ErrorBD; si lanza, la base queda como estaba.
void actualizarCatalogo(Conexion& conexion, const QString& archivo);

// Al abrir una base del servidor, después de su esquema: si el catálogo de la carpeta del programa
// es más nuevo que el suyo (una base recién creada sólo tiene la revisión 1), la pone al día con
// él. Deja en "r" las revisiones; si falla, la da por Fallida con su error. No lanza.
void ponerCatalogoServidorAlDia(Conexion& conexion, ResultadoEsquema& r);
