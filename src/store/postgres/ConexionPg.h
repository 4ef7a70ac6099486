#pragma once

#include <QString>
#include <QStringList>
#include <libpq-fe.h>
#include <memory>

// Dueños de los manejadores de libpq: la conexión se cierra y el resultado se libera solos.
struct CerrarConexionPg
{
    void operator()(PGconn* c) const { PQfinish(c); }
};
struct LiberarResultadoPg
{
    void operator()(PGresult* r) const { PQclear(r); }
};
using ConexionPg = std::unique_ptr<PGconn, CerrarConexionPg>;
using ResultadoPg = std::unique_ptr<PGresult, LiberarResultadoPg>;

// Abre una conexión con el texto de conexión de libpq ("host=... port=... dbname=..."), con los
// textos en UTF-8 y sin escribir los avisos del servidor en la salida de errores. Lanza ErrorBD
// si no se puede.
ConexionPg conectarPg(const QString& texto);

// Ejecuta una sentencia con sus valores enlazados, como texto (un QString nulo es NULL): nunca se
// meten en el texto de la sentencia. Sin valores, "sql" puede llevar varias sentencias. Lanza
// ErrorBD si falla.
ResultadoPg ejecutarPg(PGconn* c, const QString& sql, const QStringList& valores = {});

// El valor de una celda de un resultado, nulo si es NULL.
QString valorPg(const PGresult* r, int fila, int columna);
