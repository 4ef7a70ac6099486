#pragma once

#include <QString>
#include <QStringList>

// Lo que se mira en el archivo de la base de datos después de una corrida: que SQLite lo dé por
// sano y que no quede ninguna fila a la que no se llegue desde una empresa. Devuelve una línea por
// cada problema; vacía si todo está bien.
QStringList RevisarBase(const QString& archivo);
