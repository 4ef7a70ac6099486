#pragma once

#include <QString>
#include <memory>

class QLockFile;

// Ruta del archivo de bloqueo que indica que el programa principal de una carpeta está en marcha.
// La comparten el programa principal (que lo toma al arrancar), Reparar (que sólo mira si está
// tomado) y el almacén (que no toca el diario de otra copia viva), por eso sólo depende de QtCore.
// Dos carpetas distintas no chocan.
QString rutaBloqueoInstancia(const QString& carpeta);

// Bloqueo que Reparar toma además del de instancia mientras compacta. Quien encuentra tomado el
// de instancia mira éste para decir al usuario si es Reparar o el programa quien ocupa la carpeta.
QString rutaBloqueoReparacion(const QString& carpeta);

// true si hay un Reparar vivo compactando la base de datos de esa carpeta.
bool repararEnCurso(const QString& carpeta);

// Toma el bloqueo de instancia de una carpeta de programa. Devuelve nullptr si lo tiene otra copia
// viva; un bloqueo de una copia que murió sin soltarlo se recupera solo.
std::unique_ptr<QLockFile> TomarBloqueoInstancia(const QString& carpeta);
