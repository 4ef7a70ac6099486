#pragma once

#include "store/postgres/Traslado.h"

// Copia la base de datos del servidor en un archivo nuevo del programa, para trabajar sin red: el
// archivo se crea con el esquema de este programa y recibe todas las tablas con sus
// identificadores, leídas de una sola foto del servidor (lo que otros guardan mientras tanto no
// queda a medias). Se cuentan las filas de cada tabla a los dos lados antes de confirmar. El
// archivo se escribe con otro nombre en la misma carpeta y sólo cuando está completo toma el
// nombre pedido (sustituye al que hubiera): si algo falla, no queda ningún archivo a medias y el
// que había sigue intacto. El servidor sólo se lee y debe estar en la revisión del programa. No
// lanza: el error va en el mensaje.
ResultadoTraslado copiarAArchivo(PGconn* servidor, const QString& archivo, const AvanceCopia& avance = {});
