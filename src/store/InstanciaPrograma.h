#pragma once

#include <QString>

// Ruta del archivo de bloqueo que indica que el programa principal de una carpeta está en marcha.
// La comparten el programa principal (que lo toma al arrancar) y Reparar (que sólo mira si está
// tomado), por eso vive aquí y sólo depende de QtCore. Dos carpetas distintas no chocan.
QString rutaBloqueoInstancia(const QString& carpeta);
