#pragma once

#include <QString>

// Carpeta del programa, con el separador del sistema y sin separador final. Las pruebas
// pueden fijar otra (cadena vacía vuelve a la del ejecutable).
QString CarpetaPrograma();
void FijarCarpetaPrograma(const QString& carpeta);
// Ruta de un archivo dentro de la carpeta del programa, con el separador del sistema.
QString RutaEnPrograma(const QString& relativa);
// Ejecutable de la carpeta con el sufijo del sistema (Reparar.exe en Windows).
QString rutaPrograma(const QString& carpeta, const QString& nombre);
