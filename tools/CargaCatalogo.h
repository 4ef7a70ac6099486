#pragma once

#include <QString>

class Conexion;

// Número de filas de cada archivo del catálogo, tal como se cargaron.
struct RecuentoCatalogo
{
    int riesgos = 0;
    int puestos = 0;
    int factores = 0;
    int enlaces = 0;
    int medidas = 0;
    int actuaciones = 0;
    int habituales = 0; // factores habituales de los puestos
    int revision = 0;   // revisión del catálogo
};

// Comprueba los archivos del catálogo de la carpeta y los carga, todos o ninguno, en la base de
// datos. Lanza std::runtime_error con "archivo:línea: motivo" en la primera fila que no vale.
RecuentoCatalogo cargarCatalogo(Conexion& conexion, const QString& carpeta);
