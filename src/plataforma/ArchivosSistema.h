#pragma once

#include <QString>
#include <filesystem>

// La ruta de un archivo para std::filesystem: en Windows con su UTF-16 y en los demás sistemas
// con la codificación de los nombres de archivo.
std::filesystem::path RutaSistema(const QString& ruta);

// Cambia de nombre un archivo. Si el destino existe, lo sustituye de una vez (rename de POSIX,
// MoveFileEx en Windows): nunca queda un momento sin ninguno de los dos. false si no se ha podido.
bool RenombrarArchivo(const QString& de, const QString& a);
