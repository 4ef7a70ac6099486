#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <memory>
#include <vector>

class Conexion;
enum class PasoSentencia;

// Conjunto de registros al estilo de siempre: instantánea estática, BOF/EOF, posición absoluta,
// recuento, movimientos, búsqueda por criterio, alta, modificación de la fila actual y
// sentencias ejecutadas al abrirlas. Lee las filas a medida que se piden: abrir
// "Select * from Tabla" sólo para añadir una fila no cuesta nada por las filas de la tabla.
//
// Los valores nulos son QVariant() sin valor; los textos, QString; los enteros, qlonglong;
// las fechas (columnas DATE y DATETIME), QDate y QDateTime.
class Recordset
{
public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // Abre el conjunto con el texto de conexión. Los "?" de la sentencia se enlazan, en orden,
    // con los parámetros: los textos nunca se pegan dentro de la sentencia.
    // Una sentencia que no devuelve filas (delete, update, insert) se ejecuta al abrirla.
    void open(const QString& sql, const QString& conexion, const QVariantList& parametros = {});
    void close();
    bool isOpen() const;

    // Ejecuta una sentencia sin filas y devuelve las filas afectadas.
    static long long execute(const QString& sql, const QString& conexion, const QVariantList& parametros = {});

    bool bof();
    bool eof();
    void moveFirst();
    void moveNext();
    void movePrevious();
    void moveLast();
    // Número de filas. Las lee todas si aún no se habían leído.
    long recordCount();
    // Número de filas sin leerlas: con todas leídas, recordCount(); si no, las cuenta el almacén
    // con la misma sentencia (una vez por ejecución; las altas de este conjunto se suman), y nunca
    // son menos de las ya leídas. Si alguien cambia la tabla mientras tanto, cuadra al leerlas todas.
    long countWithoutReading();
    // Posición de la fila actual, desde 1; -1 antes de la primera o después de la última.
    long absolutePosition();
    void setAbsolutePosition(long posicion);

    // Busca desde la fila actual hacia delante con un criterio "[Campo] = 'texto'" o
    // "[Campo] = número" (también "Campo = ..."). Si no la encuentra queda en EOF.
    // El texto es todo lo que hay entre la primera y la última comilla, así que un apóstrofo
    // dentro del nombre ("L'Hospitalet") no rompe el criterio. Un criterio mal formado lanza 3001.
    bool find(const QString& criterio);
    // Lo mismo sin pasar por texto.
    bool findValue(const QString& campo, const QVariant& valor);

    int fieldCount() const;
    QString fieldName(int indice) const;
    int fieldIndex(const QString& campo) const; // -1 si no existe
    QVariant value(const QString& campo);
    QVariant value(int indice);
    // Valor de un campo en la fila de esa posición (desde 1) sin moverse de la actual: lee hasta
    // ella si aún no ha llegado. Sin valor si el conjunto no tiene esa fila o ese campo.
    QVariant valueAt(long posicion, int indice);
    void setValue(const QString& campo, const QVariant& valor);

    // Alta de una fila nueva: setValue y después update(). Tras update() la fila nueva es la
    // actual y sus valores son los que guardó el almacén (identificador incluido).
    void addNew();
    bool editing() const;
    // Escribe la fila actual (alta o modificación) y sólo ella.
    void update();
    void cancelUpdate();
    // Identificador asignado por el almacén en el último alta de este conjunto.
    long long lastInsertId() const;

    // Vuelve a ejecutar la sentencia y se coloca en la primera fila.
    void requery();

    const QString& sql() const;

private:
    friend class Conexion;
    struct Datos;
    std::unique_ptr<Datos> d;

    // Suelta la sentencia con filas pendientes sin perder la posición: la siguiente lectura vuelve
    // a ejecutarla y sigue tras la última fila leída.
    void soltarLectura();
    PasoSentencia reanudar();

    void comprobarAbierto() const;
    void antesDeMoverse();
    bool leerSiguiente();
    void leerTodo();
    long long contarEnAlmacen();
    void comprobarFilaActual();
    // La fila actual tal como se leyó (o se guardó), sin lo que se está escribiendo.
    QVariantList& filaActual();
    void prepararOrigen();
};
