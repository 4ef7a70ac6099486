#pragma once

#include "plataforma/ConexionServidor.h"

#include <QString>

// La contraseña del servidor se guarda donde la busca libpq, en su archivo de contraseñas
// ("servidor:puerto:base:usuario:contraseña", una línea por conexión), que sólo puede leer el
// usuario. Nunca en los ajustes del programa.

// El archivo: PGPASSFILE si está puesta; si no, ~/.pgpass (en Windows,
// %APPDATA%/postgresql/pgpass.conf).
QString ArchivoClaves();

// Línea del archivo para un servidor, con ':' y '\' escapados con '\'. Sin fin de línea.
QString LineaClave(const DatosServidor& datos, const QString& clave);

// Pone la contraseña del servidor, base y usuario: la línea que había para ellos se sustituye y
// todas las demás se quedan como estaban. La nueva va delante de cualquier otra que libpq tomaría
// antes para esa conexión (las de '*'), para que sea la que se use. El archivo se escribe entero o
// no se toca, y queda legible sólo por el usuario. Devuelve vacío si se ha guardado; si no, el
// motivo, en castellano.
QString GuardarClave(const DatosServidor& datos, const QString& clave);
