#pragma once

#include "store/Esquema.h"
#include "store/MotorBD.h"
#include "store/SentenciaPreparada.h"

#include <QString>
#include <QVariantList>
#include <map>
#include <memory>
#include <set>
#include <vector>

class Recordset;
struct sqlite3;

// Segundos que se espera a que un servidor de datos conteste al conectarse.
constexpr int SegundosEsperaServidor = 10;

// Piezas del texto de conexión ("Provider=...;Password=...;User ID=...;Data Source=...;
// Mode=...;Jet OLEDB:System database=...;Jet OLEDB").
struct DatosConexion
{
    QString proveedor;
    QString usuario;
    QString clave;
    QString fuente;  // ruta de la base de datos
    QString sistema; // ruta del archivo de cuentas
    QString modo;
};

// Valor listo para ponerlo en un texto de conexión: tal cual, o entre comillas dobles si lleva
// ';', empieza por comilla o tiene blancos a los lados (carpetas con esos nombres).
QString valorConexion(const QString& valor);

// Texto de conexión de la base de datos de una carpeta de programa (sin separador final).
QString textoConexion(const QString& carpeta);

// Analiza el texto de conexión. Lanza ErrorBD (ConexionNoValida) si falta el origen de datos o
// hay un valor entre comillas sin cerrar.
DatosConexion analizarConexion(const QString& texto);

// Conexión con la base de datos. Cada texto de conexión tiene una sola, compartida por todos
// los conjuntos de registros del hilo; se abre la primera vez que se pide.
class Conexion
{
public:
    ~Conexion();
    Conexion(const Conexion&) = delete;
    Conexion& operator=(const Conexion&) = delete;

    // Conexión para el texto dado: comprueba la cuenta en el archivo de sistema, abre la base de
    // datos en lectura y escritura (no exclusiva), activa las claves ajenas y un diario duradero,
    // ejecuta una primera sentencia y pone el esquema al día. Lanza ErrorBD.
    static std::shared_ptr<Conexion> obtener(const QString& texto);
    // Crea una base de datos nueva con el esquema al día (herramienta de construcción y
    // salvamento de archivos dañados). El archivo no debe existir. Lanza ErrorBD.
    static std::shared_ptr<Conexion> crear(const QString& archivo);
    // Cierra de verdad todas las conexiones (al terminar el programa o antes de compactar), también
    // las que siguen en manos de conjuntos de registros: sueltan sus lecturas, se deshace lo no
    // confirmado y el diario pasa entero al archivo, que queda solo. Quien aún tenga una de ellas
    // recibe ErrorBD (ObjetoDesconectado) si intenta usarla.
    static void cerrarTodas();

    // El motor que hay debajo, para lo que es igual en todos: pasos, filas cambiadas, último
    // identificador.
    MotorBD& motor() const { return *motor_; }
    // El manejador de SQLite para lo que sólo existe en SQLite (copias, reparación, diario,
    // funciones de los informes); nulo si la conexión ya está cerrada o es de otro motor.
    sqlite3* sqlite() const { return motor_->sqlite(); }
    const DatosConexion& datos() const { return datos_; }
    bool abierta() const { return motor_->abierto(); }
    bool enTransaccion() const;
    // Lo que se encontró al abrirla: nueva, al día o puesta al día (con su copia).
    const ResultadoEsquema& esquema() const { return esquema_; }

    // Ejecuta una o varias sentencias sin parámetros ni filas. Lanza ErrorBD.
    void ejecutar(const QString& sql);
    // Ejecuta una sentencia sin filas con sus valores enlazados. Lanza ErrorBD.
    void ejecutar(const QString& sql, const QVariantList& parametros);
    // Todas las filas de una lectura corta con sus valores enlazados, cada una con sus columnas
    // (sin tipo declarado: fechas como texto). Para leer muchas filas, un Recordset. Lanza ErrorBD.
    std::vector<QVariantList> leerFilas(const QString& sql, const QVariantList& parametros = {});

    // Clave primaria de una tabla, o la primera columna de una vista (la de la fila de origen).
    // Vacío si no existe ese origen.
    QString claveDe(const QString& origen);
    bool esVista(const QString& origen);
    // Nombre exacto de una tabla o vista (sin distinguir mayúsculas), vacío si no existe.
    QString origenExacto(const QString& nombre);
    // Verdadero si la clave de la tabla es su número de fila (una sola columna INTEGER PRIMARY KEY).
    bool claveEsNumeroDeFila(const QString& origen);

    // Consultas ya preparadas para ejecutarse (texto final y columna por la que salen ordenadas),
    // para no volver a analizar el mismo texto cada vez que se abre.
    struct ConsultaPreparada
    {
        QByteArray sql;
        QString columnaOrden;
    };
    const ConsultaPreparada* consultaPreparada(const QString& sql) const;
    const ConsultaPreparada& guardarConsulta(const QString& sql, ConsultaPreparada consulta);

    // Conjuntos de registros con filas aún por leer. Su lectura abierta impediría que el diario
    // vuelva a empezar desde el principio tras cada escritura y lo haría crecer sin límite, así que
    // antes de cada escritura fuera de transacción y antes de cada fin de transacción se les pide
    // que la suelten; siguen leyendo donde lo dejaron cuando se les piden más filas.
    void anotarLector(Recordset* lector);
    void quitarLector(Recordset* lector);
    void soltarLectores();

    // Convierte el último fallo del motor (con su código) en ErrorBD con su número y su texto en
    // castellano.
    [[noreturn]] void lanzar(int codigo, const QString& sentencia = {}) const;

private:
    // Las sentencias sólo se toman de la reserva a través de SentenciaPreparada, que las devuelve.
    friend class SentenciaPreparada;
    friend class Transaccion;
    // Sentencia preparada, de la reserva si ya se preparó antes. Lanza ErrorBD.
    std::unique_ptr<SentenciaMotor> preparar(const QByteArray& sql);
    // Devuelve a la reserva una sentencia de preparar(), ya terminada.
    void devolver(std::unique_ptr<SentenciaMotor> sentencia);
    // Empieza una transacción, o un punto de guardado con ese nombre si ya hay una. Lanza ErrorBD.
    void empezar(const QString& punto);
    void confirmar(const QString& punto);
    // Deshace sin lanzar (desde un destructor); si falla, el motor ya ha deshecho él solo.
    void deshacer(const QString& punto) noexcept;

    explicit Conexion(const DatosConexion& datos, bool nueva = false);
    // Abre el servidor PostgreSQL de datos_ y pone su esquema al día. Lanza ErrorBD.
    void abrirServidor();
    void cerrar();
    void comprobarAbierta() const;
    // Sentencia de la reserva con la pregunta al motor y el nombre de una tabla o vista enlazado en
    // su único "?".
    SentenciaPreparada preguntar(Metadato pregunta, const QString& nombre);
    std::unique_ptr<MotorBD> motor_;
    DatosConexion datos_;
    ResultadoEsquema esquema_;
    std::map<QByteArray, std::vector<std::unique_ptr<SentenciaMotor>>> reserva_;
    std::map<QString, QString> claves_;
    std::map<QString, QString> origenes_;
    std::map<QString, bool> vistas_;
    std::map<QString, bool> numeroDeFila_;
    std::set<Recordset*> lectores_;
    std::map<QString, ConsultaPreparada> consultas_;
};

// Transacción con retroceso automático: lo que no se confirma con confirmar() se deshace al
// salir del ámbito. Anidada dentro de otra, usa un punto de guardado.
class Transaccion
{
public:
    explicit Transaccion(const QString& conexion);
    explicit Transaccion(std::shared_ptr<Conexion> conexion);
    // Sobre una conexión que aún no se comparte (la puesta al día del esquema al abrirla).
    explicit Transaccion(Conexion& conexion);
    ~Transaccion();
    Transaccion(const Transaccion&) = delete;
    Transaccion& operator=(const Transaccion&) = delete;
    void confirmar();

private:
    std::shared_ptr<Conexion> compartida_; // la mantiene viva mientras dure la transacción
    Conexion* conexion_;
    QString nombre_;
    bool hecha_ = false;
};
