#pragma once

#include <QByteArray>

class Conexion;
struct sqlite3;
struct sqlite3_stmt;

// Sentencia preparada que se suelta sola al salir del ámbito, también cuando algo lanza: la de la
// reserva de una conexión vuelve a ella, la de un manejador suelto se finaliza. Sólo se mueve.
class SentenciaPreparada
{
public:
    SentenciaPreparada() = default;
    // De la reserva de la conexión. Lanza ErrorBD si no se puede preparar.
    SentenciaPreparada(Conexion& conexion, const QByteArray& sql);
    // Sobre un manejador sin conexión del programa (revisiones en memoria, copias, archivos
    // ajenos). No lanza: deja en "rc" el código de SQLite y, si falla, queda vacía.
    static SentenciaPreparada suelta(sqlite3* bd, const QByteArray& sql, int& rc);

    ~SentenciaPreparada();
    SentenciaPreparada(SentenciaPreparada&& otra) noexcept;
    SentenciaPreparada& operator=(SentenciaPreparada&& otra) noexcept;
    SentenciaPreparada(const SentenciaPreparada&) = delete;
    SentenciaPreparada& operator=(const SentenciaPreparada&) = delete;

    sqlite3_stmt* get() const { return st_; }
    explicit operator bool() const { return st_ != nullptr; }
    // La suelta ya, sin esperar al final del ámbito.
    void soltar();

private:
    SentenciaPreparada(sqlite3_stmt* st, Conexion* conexion) : st_(st), conexion_(conexion) {}
    sqlite3_stmt* st_ = nullptr;
    Conexion* conexion_ = nullptr; // nula: se finaliza en vez de volver a una reserva
};
