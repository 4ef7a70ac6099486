#pragma once

#include "store/ErrorBD.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <memory>
#include <utility>

struct sqlite3;
struct sqlite3_stmt;

// Lo que el almacén necesita de un motor de base de datos. Conexion, Recordset y la escritura de
// filas sólo hablan con estas dos clases; cada motor pone su manera de preparar, leer, confirmar
// y traducir sus fallos a los números de siempre. Los códigos enteros que devuelven son los del
// motor (0 es correcto) y sólo los entiende su error().

// Resultado de dar un paso en una sentencia.
enum class PasoSentencia
{
    Fila,  // hay una fila para leer
    Fin,   // terminada sin más filas
    Fallo, // el motor ha fallado: su código en codigo()
};

// Lo que es un valor que se enlaza, según su tipo de Qt; cada motor lo escribe a su manera.
// Un texto nulo es un texto vacío, no un nulo: así lo han guardado siempre las ventanas.
enum class ClaseValor
{
    Nulo,
    Logico,
    Entero,
    Real,
    Bytes,
    Fecha,
    FechaHora,
    Texto, // cualquier otro, por su toString()
};

inline ClaseValor claseDeValor(const QVariant& v)
{
    if (v.isNull() && v.typeId() != QMetaType::QString)
        return ClaseValor::Nulo;
    static const std::pair<int, ClaseValor> clases[] = {
        {QMetaType::Bool, ClaseValor::Logico},     {QMetaType::Int, ClaseValor::Entero},
        {QMetaType::UInt, ClaseValor::Entero},     {QMetaType::Long, ClaseValor::Entero},
        {QMetaType::LongLong, ClaseValor::Entero}, {QMetaType::ULongLong, ClaseValor::Entero},
        {QMetaType::Short, ClaseValor::Entero},    {QMetaType::Double, ClaseValor::Real},
        {QMetaType::Float, ClaseValor::Real},      {QMetaType::QByteArray, ClaseValor::Bytes},
        {QMetaType::QDate, ClaseValor::Fecha},     {QMetaType::QDateTime, ClaseValor::FechaHora},
    };
    for (const auto& [tipo, clase] : clases)
        if (v.typeId() == tipo)
            return clase;
    return ClaseValor::Texto;
}

// Sentencia preparada de un motor. Las posiciones de los valores enlazados empiezan en 1, las de
// las columnas en 0, como en SQL.
class SentenciaMotor
{
public:
    virtual ~SentenciaMotor() = default;

    // Texto con el que se preparó (la clave de la reserva de la conexión).
    virtual QByteArray texto() const = 0;
    // Cuántos "?" espera.
    virtual int parametros() const = 0;
    // Enlaza un valor: nulo, entero, real, bytes, fecha (QDate, QDateTime) o texto. Devuelve el
    // código del motor.
    virtual int enlazar(int posicion, const QVariant& valor) = 0;
    virtual PasoSentencia paso() = 0;
    // Código del motor del último paso que falló.
    virtual int codigo() const = 0;
    // Vuelve al principio conservando los valores enlazados.
    virtual void reiniciar() = 0;
    // Vuelve al principio y olvida los valores: lista para la reserva.
    virtual void limpiar() = 0;
    // Si ejecutarla no puede cambiar nada.
    virtual bool soloLectura() const = 0;

    virtual int columnas() const = 0;
    virtual QString nombreColumna(int i) const = 0;
    // Tipo declarado de la columna, en mayúsculas; vacío si no lo tiene (una expresión).
    virtual QByteArray tipoDeclarado(int i) const = 0;
    // Valor de la columna en la fila actual: nulo sin valor, qlonglong, double, QByteArray o
    // QString; con tipo "DATE" o "DATETIME", QDate o QDateTime si el texto lo es.
    virtual QVariant valor(int i, const QByteArray& tipo) const = 0;
    // Si la columna de la fila actual es un entero, lo deja en "valor" (el orden de las filas
    // se sigue por aquí sin convertir cada valor).
    virtual bool entero(int i, qlonglong& valor) const = 0;

    // La sentencia de SQLite que hay debajo; nula en otro motor.
    virtual sqlite3_stmt* sqlite() const { return nullptr; }
};

// Preguntas sobre una tabla o vista que cada motor contesta con su propia consulta, de un solo
// "?" (el nombre) y con las columnas que se dicen aquí.
enum class Metadato
{
    OrigenExacto,      // (nombre) de la tabla o vista con ese nombre sin distinguir mayúsculas
    ColumnasClave,     // (nombre, posición en la clave primaria o 0), una fila por columna
    ClaveNumeroDeFila, // (columnas de la clave, tipo en mayúsculas): (1, "INTEGER") si es el número de fila
    TipoDeOrigen,      // ("table" o "view")
};

// Órdenes de transacción que todo motor sabe dar.
enum class OrdenTransaccion
{
    Empezar,
    Confirmar,
    Deshacer,
    GuardarPunto,
    LiberarPunto,
    VolverAPunto,
};

// Conexión con un motor.
class MotorBD
{
public:
    virtual ~MotorBD() = default;

    // Falso una vez cerrado: no queda nada que usar.
    virtual bool abierto() const = 0;
    // Cierra de verdad: deshace lo no confirmado, suelta todas las sentencias (también las que
    // alguien tenga en mano, que ya no tocan el motor al soltarlas) y deja los datos en su sitio.
    virtual void cerrar() = 0;
    // Abierto, pero sólo para leer (el motor no pudo escribir en la base de datos).
    virtual bool soloLectura() const = 0;

    // Prepara una sentencia. Nula si falla, con el código en "codigo".
    virtual std::unique_ptr<SentenciaMotor> preparar(const QByteArray& sql, int& codigo) = 0;
    // Ejecuta una o varias sentencias sin parámetros ni filas. Devuelve el código del motor.
    virtual int ejecutar(const QByteArray& sql) = 0;

    virtual bool enTransaccion() const = 0;
    // Cada orden de transacción devuelve el código del motor. Todas pasan por transaccion(): cada
    // motor las escribe en su dialecto y hace antes lo que su orden le pida (leer cursores...).
    int empezar() { return transaccion(OrdenTransaccion::Empezar, {}); }
    int confirmar() { return transaccion(OrdenTransaccion::Confirmar, {}); }
    int deshacer() { return transaccion(OrdenTransaccion::Deshacer, {}); }
    int guardarPunto(const QString& nombre) { return transaccion(OrdenTransaccion::GuardarPunto, nombre); }
    int liberarPunto(const QString& nombre) { return transaccion(OrdenTransaccion::LiberarPunto, nombre); }
    // Deshace hasta el punto y lo quita.
    int volverAPunto(const QString& nombre) { return transaccion(OrdenTransaccion::VolverAPunto, nombre); }
    // "punto" es el nombre del punto de guardado (vacío en las tres primeras).
    virtual int transaccion(OrdenTransaccion orden, const QString& punto) = 0;

    // Filas cambiadas por la última escritura terminada.
    virtual long long filasCambiadas() const = 0;
    // Identificador de la última fila añadida.
    virtual long long ultimoId() const = 0;
    // Si "INSERT ... RETURNING" devuelve la fila guardada.
    virtual bool admiteDevolver() const = 0;
    // Expresión por la que las filas de una tabla salen en el orden en que se añadieron.
    virtual QString ordenDeFilas(const QString& clave) const = 0;
    virtual QByteArray consultaMetadatos(Metadato pregunta) const = 0;

    // El fallo con ese código del motor, con su número y un texto en castellano.
    virtual ErrorBD error(int codigo, const QString& sentencia) const = 0;

    // El manejador de SQLite; nulo en otro motor. Lo usan la copia de seguridad, la reparación,
    // el diario, las funciones de los informes y la lectura aparte del resumen de centros.
    virtual sqlite3* sqlite() const { return nullptr; }
};
