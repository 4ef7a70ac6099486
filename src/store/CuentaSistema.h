#pragma once

#include <QString>

// Archivo de cuentas del grupo de trabajo (SYSTEM.mdw): una línea de formato y una línea por
// cuenta, "usuario:huella", con la huella SHA-256 de "usuario:contraseña" en hexadecimal.
// Nunca se guarda la contraseña en claro.

// Escribe un archivo de cuentas con una sola cuenta. Devuelve false si no puede escribirlo.
bool escribirCuenta(const QString& archivo, const QString& usuario, const QString& clave);

// Comprueba que la cuenta existe en el archivo y que la contraseña es la suya.
// Lanza ErrorBD 3028 (falta el archivo o está dañado) o 3029 (cuenta no válida).
void comprobarCuenta(const QString& archivo, const QString& usuario, const QString& clave);
