#pragma once

#include <QString>
#include <QStringList>

// Búsqueda por palabras en las listas largas: se encuentra lo que contiene todas las palabras
// escritas, sin distinguir mayúsculas ni acentos ("camara" encuentra "Cámara").

// El texto tal como se compara: sin acentos ni diéresis y en minúsculas.
QString TextoParaBuscar(const QString& texto);
// Las palabras de lo escrito, ya preparadas para comparar. Sin palabras, todo vale.
QStringList PalabrasBuscadas(const QString& escrito);
// Si el texto (ya preparado con TextoParaBuscar) contiene cada una de las palabras.
bool ContieneTodas(const QString& preparado, const QStringList& palabras);
