#pragma once

#include "plataforma/ConexionServidor.h"

#include <QString>

// Dónde viven los datos, elegido en la ventana "Origen de datos" y guardado en OrigenDatos.ini, en
// la carpeta del programa: el archivo de la carpeta (lo de siempre) o un servidor. La contraseña
// nunca va aquí (ver ClavesServidor).
struct OrigenGuardado
{
    bool enServidor = false;
    DatosServidor servidor;
};

// Lo guardado; sin archivo de ajustes o con uno que no se entiende, el archivo de la carpeta.
OrigenGuardado LeerOrigen();

// Guarda la elección (se usa al abrir el programa la próxima vez). Devuelve vacío si se ha
// guardado; si no, el motivo, en castellano.
QString GuardarOrigen(const OrigenGuardado& origen);
