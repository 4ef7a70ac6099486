#pragma once

#include "store/MotorBD.h"

#include <QByteArray>
#include <QVariantList>
#include <memory>

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
    // Sobre un manejador de SQLite sin conexión del programa (revisiones en memoria, copias,
    // archivos ajenos). No lanza: deja en "rc" el código de SQLite y, si falla, queda vacía.
    static SentenciaPreparada suelta(sqlite3* bd, const QByteArray& sql, int& rc);

    ~SentenciaPreparada();
    SentenciaPreparada(SentenciaPreparada&& otra) noexcept;
    SentenciaPreparada& operator=(SentenciaPreparada&& otra) noexcept;
    SentenciaPreparada(const SentenciaPreparada&) = delete;
    SentenciaPreparada& operator=(const SentenciaPreparada&) = delete;

    // La sentencia de SQLite; nula en otro motor.
    sqlite3_stmt* get() const { return st_ ? st_->sqlite() : nullptr; }
    SentenciaMotor& operator*() const { return *st_; }
    SentenciaMotor* operator->() const { return st_.get(); }
    explicit operator bool() const { return st_ != nullptr; }
    // La suelta ya, sin esperar al final del ámbito.
    void soltar();

private:
    SentenciaPreparada(std::unique_ptr<SentenciaMotor> st, Conexion* conexion) : st_(std::move(st)), conexion_(conexion)
    {
    }
    std::unique_ptr<SentenciaMotor> st_;
    Conexion* conexion_ = nullptr; // nula: se finaliza en vez de volver a una reserva
};

// Enlaza un valor en la posición i (desde 1) o los valores en orden desde el primer "?", en la
// sentencia de cualquier motor. Lanza ErrorBD.
void enlazar(Conexion& con, SentenciaMotor& st, int i, const QVariant& v);
void enlazarTodos(Conexion& con, SentenciaMotor& st, const QVariantList& valores);
