#pragma once

#include <QString>

class QWidget;

// Texto de conexión con el que arranca el programa. Con el archivo de la carpeta elegido (lo de
// siempre), el suyo. Con un servidor, se comprueba que contesta y se abre; si no se puede, un aviso
// dice qué servidor y por qué, y ofrece trabajar esta vez con el archivo, volver a intentarlo o
// cerrar el programa. Nunca se pasa al archivo sin que el usuario lo diga.
QString ConexionAlArrancar(QWidget* ventana);
