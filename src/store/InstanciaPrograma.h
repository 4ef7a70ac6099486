#pragma once

#include <QString>

// Ruta del archivo de bloqueo que indica que el programa principal de una carpeta está en marcha.
// La comparten el programa principal (que lo toma al arrancar) y Reparar (que sólo mira si está
// tomado), por eso vive aquí y sólo depende de QtCore. Dos carpetas distintas no chocan.
QString rutaBloqueoInstancia(const QString& carpeta);

// Bloqueo que Reparar toma además del de instancia mientras compacta. Quien encuentra tomado el
// de instancia mira éste para decir al usuario si es Reparar o el programa quien ocupa la carpeta.
QString rutaBloqueoReparacion(const QString& carpeta);

// true si hay un Reparar vivo compactando la base de datos de esa carpeta.
bool repararEnCurso(const QString& carpeta);
