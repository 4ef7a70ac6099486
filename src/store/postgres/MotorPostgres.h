#pragma once

#include "store/MotorBD.h"
#include "store/postgres/ConexionPg.h"

#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

class MotorPostgres;

// Sentencia preparada en el servidor. Las que devuelven filas sin escribir se leen por un cursor,
// a tandas: abrir una consulta sobre una tabla enorme no trae sus filas de golpe, y otras
// sentencias pueden ir y venir mientras tanto por la misma conexión.
class SentenciaPostgres final : public SentenciaMotor
{
public:
    ~SentenciaPostgres() override;
    SentenciaPostgres(const SentenciaPostgres&) = delete;
    SentenciaPostgres& operator=(const SentenciaPostgres&) = delete;

    QByteArray texto() const override { return texto_; }
    int parametros() const override { return int(tiposParametro_.size()); }
    int enlazar(int posicion, const QVariant& valor) override;
    PasoSentencia paso() override;
    int codigo() const override { return codigo_; }
    void reiniciar() override;
    void limpiar() override;
    bool soloLectura() const override { return soloLectura_; }
    int columnas() const override { return ocultas_ ? 0 : int(columnas_.size()); }
    QString nombreColumna(int i) const override;
    QByteArray tipoDeclarado(int i) const override;
    QVariant valor(int i, const QByteArray& tipo) const override;
    bool entero(int i, qlonglong& valor) const override;

private:
    friend class MotorPostgres;
    struct Columna
    {
        QString nombre;
        Oid tipo;
        Oid tabla;  // 0 si es una expresión
        int numero; // columna en su tabla
    };
    SentenciaPostgres(MotorPostgres* motor, const QByteArray& texto, const QByteArray& nombre);
    // Termina la ejecución en curso (cierra su cursor) sin tocar los valores.
    void terminar();
    // Lee lo que le queda al cursor, para que siga dando filas tras cerrarse su transacción.
    void drenar();
    // Se queda sin motor (al cerrarse éste): ya no toca el servidor.
    void desconectar();
    PasoSentencia ejecutarYa();
    PasoSentencia fallo(PGresult* r);
    const char* celda(int i) const;

    MotorPostgres* motor_;
    QByteArray texto_;
    QByteArray nombre_; // de la sentencia preparada en el servidor
    std::vector<Oid> tiposParametro_;
    std::vector<std::optional<QByteArray>> valores_;
    std::vector<Columna> columnas_;
    bool soloLectura_ = false;
    bool ocultas_ = false; // "RETURNING *" añadido sólo para saber el identificador
    int codigo_ = 0;

    enum class Estado
    {
        Inicio,
        Filas, // filas en resultado_, quizá con más en el cursor
        Fin,
    };
    Estado estado_ = Estado::Inicio;
    QByteArray cursor_;     // abierto en el servidor mientras no esté vacío
    bool abortada_ = false; // su transacción se deshizo con el cursor abierto
    std::vector<ResultadoPg> tandas_;
    size_t tanda_ = 0;
    int fila_ = -1;
};

// La base de datos en un servidor PostgreSQL, a través de libpq.
class MotorPostgres final : public MotorBD
{
public:
    // Se conecta con los parámetros de libpq ("host=... port=... dbname=... user=..."). Lanza ErrorBD.
    static std::unique_ptr<MotorPostgres> abrir(const QByteArray& parametros);
    ~MotorPostgres() override;
    MotorPostgres(const MotorPostgres&) = delete;
    MotorPostgres& operator=(const MotorPostgres&) = delete;

    bool abierto() const override { return bool(conexion_); }
    void cerrar() override;
    bool soloLectura() const override { return soloLectura_; }
    std::unique_ptr<SentenciaMotor> preparar(const QByteArray& sql, int& codigo) override;
    int ejecutar(const QByteArray& sql) override;
    bool enTransaccion() const override;
    int transaccion(OrdenTransaccion orden, const QString& punto) override;
    long long filasCambiadas() const override { return filasCambiadas_; }
    long long ultimoId() const override { return ultimoId_; }
    bool admiteDevolver() const override { return true; }
    QString ordenDeFilas(const QString& clave) const override;
    QByteArray consultaMetadatos(Metadato pregunta) const override;
    ErrorBD error(int codigo, const QString& sentencia) const override;

    // La conexión de libpq (para preparar el esquema del servidor); nula una vez cerrado.
    PGconn* pg() const { return conexion_.get(); }

private:
    friend class SentenciaPostgres;
    explicit MotorPostgres(ConexionPg conexion);
    // Guarda el fallo y devuelve su código (positivo), el que luego entiende error().
    int anotar(const ErrorBD& e);
    int anotar(const PGresult* r, const QString& sentencia = {});
    // Un envío a la conexión (PQsend...): 1 si ha salido.
    using Envio = std::function<int(PGconn*)>;
    // Manda los envíos juntos y devuelve el resultado de cada uno (uno vacío de fallo si no llega).
    // Dentro de una transacción, un fallo no la echa a perder: se vuelve a como estaba antes.
    std::vector<ResultadoPg> enviar(std::initializer_list<Envio> envios);
    // Una orden sin valores, como enviar().
    ResultadoPg ordenProtegida(const QByteArray& sql);
    // Ejecuta una orden sin valores; 0 o el código de su fallo.
    int orden(const QByteArray& sql);
    // COMMIT, tras leer enteros los cursores abiertos; un COMMIT que el servidor deshizo es un fallo.
    int confirmarYa();
    // Antes de una sentencia que no es sólo de lectura: cierra la lectura que el motor abrió por
    // su cuenta, para que la escritura se confirme sola como siempre.
    int cerrarLectura();
    // Antes de cerrar la transacción: los cursores abiertos se leen enteros.
    void drenarCursores();
    // Abre un cursor para la sentencia, dentro de una transacción (la del programa o una de sólo
    // lectura del motor). Devuelve el resultado de la apertura.
    ResultadoPg abrirCursor(SentenciaPostgres& st, const std::function<ResultadoPg(const QByteArray&)>& declarar);
    // Un cursor terminado: se cierra, o se confirma la lectura propia si era el último.
    void cursorCerrado(const QByteArray& cursor);
    // Un cursor que ha fallado al leer: si era de la lectura propia, ésta se deshace entera.
    void cursorPerdido(SentenciaPostgres& st);
    void abandonarLectura();
    // Los cursores abiertos se pierden con su transacción: su siguiente paso dice por qué.
    void perderCursores();
    // La columna numerada por el servidor de una tabla (identidad o serie), o 0.
    int columnaNumerada(Oid tabla);
    void soltarPendientes();

    ConexionPg conexion_;
    bool soloLectura_ = false;
    bool lecturaPropia_ = false; // transacción abierta por el motor sólo para sus cursores
    int cursoresAbiertos_ = 0;
    long long filasCambiadas_ = 0;
    long long ultimoId_ = 0;
    int contador_ = 0;
    std::set<SentenciaPostgres*> vivas_;
    QByteArrayList porSoltar_; // sentencias preparadas que ya nadie usa
    std::map<Oid, int> numeradas_;
    std::map<int, ErrorBD> fallos_;
    int ultimoFallo_ = 0;
};

// Cambia los "?" de una sentencia por $1, $2...; los de dentro de textos, nombres entre comillas y
// comentarios se quedan como están.
QByteArray numerarParametros(const QByteArray& sql, int* cuantos = nullptr);
