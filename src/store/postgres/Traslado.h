#pragma once

#include "store/postgres/CopiaTablas.h"

#include <QString>
#include <functional>
#include <libpq-fe.h>

// Lo que ha pasado al trasladar un archivo al servidor o al copiar el servidor en un archivo.
struct ResultadoTraslado
{
    bool hecho = false;
    QString mensaje; // en castellano, para quien lo ha pedido
    FilasCopiadas filas;
    // Fechas que en el archivo eran un texto vacío y en el servidor quedan sin valor (NULL).
    long long fechasVacias = 0;
};

// Copia todas las tablas de un archivo del programa en la base de datos del servidor, que debe
// estar vacía: sin esquema (se crea) o en la revisión del programa y sin filas. El archivo se abre
// sólo para leer y debe estar en la revisión del programa. Se guardan los identificadores, los
// contadores de cada tabla quedan por encima de la clave más alta copiada y, antes de confirmar,
// se cuentan las filas de cada tabla a los dos lados. Todo va en una sola transacción: si algo
// falla, el servidor queda como estaba. No lanza: el error va en el mensaje.
ResultadoTraslado trasladarAlServidor(const QString& archivoSqlite, PGconn* servidor, const AvanceCopia& avance = {});

// Lo que devuelve la copia o, si lanza, el fallo detrás de "nadaHecho" ("No se ha copiado nada").
ResultadoTraslado resultadoSinLanzar(const QString& nadaHecho, const std::function<ResultadoTraslado()>& copia);
