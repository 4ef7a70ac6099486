#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <libpq-fe.h>
#include <utility>
#include <vector>

struct sqlite3;

// Lo que comparten el traslado de un archivo al servidor y la copia del servidor a un archivo: los
// nombres en el servidor, el orden de las tablas, el recorrido tabla a tabla y la cuenta de filas.

// Filas copiadas de cada tabla, en el orden en que se han copiado.
using FilasCopiadas = std::vector<std::pair<QString, long long>>;

// Avance de una copia: la tabla que se empieza a copiar, cuántas van hechas y cuántas son en total.
// Puede lanzar ErrorBD para pararla (el usuario la cancela): entonces se deshace todo.
using AvanceCopia = std::function<void(const QString& tabla, int hechas, int total)>;

// Nombre en el servidor: los nombres con acentos se crearon entre comillas, tal cual; los demás,
// sin comillas, y el servidor los guarda en minúsculas.
QString nombreServidor(const QString& nombre);
// El mismo, entre comillas, listo para una sentencia del servidor.
QString nombrePg(const QString& nombre);
long long contarPg(PGconn* c, const QString& tabla);

// Una columna de una tabla del servidor: su nombre allí, su tipo ("integer", "date"...) y si es un
// contador que el servidor da al insertar.
struct ColumnaServidor
{
    QString nombre, tipo;
    bool contador = false;
};
// Las columnas de una tabla del servidor (del esquema en uso), en su orden. Lanza ErrorBD.
std::vector<ColumnaServidor> columnasServidor(PGconn* c, const QString& tabla);

// Filas de una consulta a un archivo; cada celda como texto, nula si es NULL (un texto vacío no
// es nulo). Lanza ErrorBD.
std::vector<QStringList> filasSqlite(sqlite3* bd, const QString& sql);

// Las tablas de datos del programa (sin las internas de SQLite), cada una después de las que
// referencia según las claves ajenas del archivo. Lanza ErrorBD.
QStringList tablasEnOrden(sqlite3* bd);

// Recorre las tablas en ese orden: "copiar" copia una y devuelve las filas leídas en el origen.
// Después cuenta cada tabla en el destino con "contar"; si alguna no tiene las mismas filas, lanza
// ErrorBD con la tabla y las dos cuentas ("enOrigen" y "enDestino" dicen dónde: "en el archivo").
FilasCopiadas copiarTablas(const QStringList& orden, const std::function<long long(const QString&)>& copiar,
                           const std::function<long long(const QString&)>& contar, const QString& enOrigen,
                           const QString& enDestino, const AvanceCopia& avance);

// Total de filas copiadas.
long long totalFilas(const FilasCopiadas& filas);
// El mismo total para un mensaje, con los miles separados como se escriben en castellano.
QString textoTotalFilas(const FilasCopiadas& filas);
