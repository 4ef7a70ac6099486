#pragma once

#include <QByteArray>
#include <QVariant>
#include <QVariantList>

class Conexion;
struct sqlite3_stmt;

// Paso de valores entre QVariant y SQLite. Las fechas se guardan como texto ISO
// ("2026-12-08", "2026-12-08 10:30:00") y se leen como QDate o QDateTime según el tipo declarado.
QVariant leerColumna(sqlite3_stmt* st, int i, const QByteArray& tipo);
// Enlaza un valor en la posición i (desde 1). Devuelve el código de SQLite.
int enlazarValor(sqlite3_stmt* st, int i, const QVariant& v);
// Lo mismo, y un fallo se lanza como ErrorBD de la conexión.
void enlazar(Conexion& con, sqlite3_stmt* st, int i, const QVariant& v);
// Enlaza los valores en orden, desde el primer "?". Lanza ErrorBD.
void enlazarTodos(Conexion& con, sqlite3_stmt* st, const QVariantList& valores);
