#pragma once

#include "store/MotorBD.h"

#include <set>

class MotorSqlite;

// Sentencia de SQLite. La de un motor se finaliza al destruirla, salvo que el motor ya la haya
// finalizado al cerrarse; la suelta (sin motor) se finaliza siempre.
class SentenciaSqlite final : public SentenciaMotor
{
public:
    SentenciaSqlite(sqlite3_stmt* st, MotorSqlite* motor);
    ~SentenciaSqlite() override;
    SentenciaSqlite(const SentenciaSqlite&) = delete;
    SentenciaSqlite& operator=(const SentenciaSqlite&) = delete;

    QByteArray texto() const override;
    int parametros() const override;
    int enlazar(int posicion, const QVariant& valor) override;
    PasoSentencia paso() override;
    int codigo() const override { return codigo_; }
    void reiniciar() override;
    void limpiar() override;
    bool soloLectura() const override;
    int columnas() const override;
    QString nombreColumna(int i) const override;
    QByteArray tipoDeclarado(int i) const override;
    QVariant valor(int i, const QByteArray& tipo) const override;
    bool entero(int i, qlonglong& valor) const override;
    sqlite3_stmt* sqlite() const override { return st_; }

private:
    friend class MotorSqlite;
    // La finaliza ya y la deja sin motor (al cerrarse éste).
    void finalizar();
    sqlite3_stmt* st_;
    MotorSqlite* motor_;
    int codigo_ = 0;
};

// La base de datos en un archivo de SQLite.
class MotorSqlite final : public MotorBD
{
public:
    // Abre el archivo en lectura y escritura (no exclusiva), o lo crea si "nueva" y no existe. Antes
    // mira su diario pendiente y su cabecera. Lanza ErrorBD.
    static std::unique_ptr<MotorSqlite> abrir(const QString& archivo, bool nueva);
    ~MotorSqlite() override;
    MotorSqlite(const MotorSqlite&) = delete;
    MotorSqlite& operator=(const MotorSqlite&) = delete;

    bool abierto() const override { return bd_ != nullptr; }
    void cerrar() override;
    bool soloLectura() const override;
    std::unique_ptr<SentenciaMotor> preparar(const QByteArray& sql, int& codigo) override;
    int ejecutar(const QByteArray& sql) override;
    bool enTransaccion() const override;
    int transaccion(OrdenTransaccion orden, const QString& punto) override;
    long long filasCambiadas() const override;
    long long ultimoId() const override;
    bool admiteDevolver() const override;
    QString ordenDeFilas(const QString& clave) const override;
    QByteArray consultaMetadatos(Metadato pregunta) const override;
    ErrorBD error(int codigo, const QString& sentencia) const override;
    sqlite3* sqlite() const override { return bd_; }

private:
    friend class SentenciaSqlite;
    MotorSqlite(sqlite3* bd, const QString& archivo) : bd_(bd), archivo_(archivo) {}
    sqlite3* bd_;
    QString archivo_;
    std::set<SentenciaSqlite*> vivas_; // preparadas por este motor y aún sin finalizar
};
