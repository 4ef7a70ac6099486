#pragma once

#include "store/SentenciaPreparada.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// Lo que el salvamento pregunta a SQLite, en el archivo dañado, en la base nueva y en el catálogo
// entregado. Nada de esto lanza: lo que SQLite no puede leer se queda sin leer.
namespace salvamento {

// Nombre de tabla o de columna entre comillas dobles, para escribirlo en una sentencia.
QString entreComillas(const QString& nombre);

// Sentencia preparada sobre una base sin conexión del programa, que se finaliza sola. Si no se
// ha podido preparar, cada paso devuelve el fallo.
class Sentencia
{
public:
    Sentencia(sqlite3* bd, const QString& sql);

    bool preparada() const { return static_cast<bool>(st_); }
    sqlite3_stmt* operator*() const { return st_.get(); }
    // SQLITE_ROW, SQLITE_DONE o el fallo.
    int paso();
    void reiniciar();
    void enlazar(int i, qint64 v);
    void enlazar(int i, const QString& v);

private:
    SentenciaPreparada st_;
    int rc_ = 0;
};

QString textoDe(sqlite3_stmt* st, int i);
// La primera columna de cada fila de la consulta, con su parámetro si lo tiene.
QStringList leerNombres(sqlite3* bd, const QString& sql, const QString& parametro = {});
// El número de la primera fila, si la hay.
std::optional<qint64> numero(sqlite3* bd, const QString& sql);

// Tablas del esquema nuevo con los padres antes que los hijos.
QStringList tablasEnOrden(sqlite3* bd);

struct Columna
{
    QString nombre;
    bool noNula = false;
    bool claveFila = false; // INTEGER PRIMARY KEY: en el registro va como NULL
    bool texto = false;     // afinidad de texto: nunca guarda números
};

// Columnas de una tabla de una base abierta (la nueva o la de memoria con el esquema viejo).
std::vector<Columna> columnasDe(sqlite3* bd, const QString& tabla);
// Posición de la columna por su nombre, sin mirar mayúsculas; -1 si no está.
int indiceDe(const std::vector<Columna>& columnas, const QString& nombre);

} // namespace salvamento
