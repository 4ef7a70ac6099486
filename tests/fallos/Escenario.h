#pragma once

#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

// Lo común a las pruebas de fallos: una base de datos preparada con las operaciones del programa,
// copias de ella para cada intento, las acciones de varias filas que se someten a los fallos, la
// huella de los datos para saber si una acción quedó entera o no quedó, y procesos hijos.
namespace fallos {
// Texto de conexión de la copia en uso (la preparada mientras se prepara, después la de usar()).
QString& conexionEnUso();

// Una acción de varias filas sobre la base de datos de la carpeta (conexionEnUso() ya apunta a ella).
struct Accion
{
    const char* id;     // para el nombre de la prueba
    const char* nombre; // para los mensajes
    std::function<void(const QString& carpeta)> ejecutar;
    bool esCompactacion = false;
};

inline void PrintTo(const Accion& a, std::ostream* os)
{
    *os << a.id;
}

// Estado de partida: una empresa con un centro y un puesto con dos factores marcados que comparten
// riesgos (hay filas mostradas evaluadas y filas ocultas), y una empresa borrada (páginas libres).
struct Preparada
{
    QTemporaryDir dir;
    long long empresa = 0, centro = 0, puesto = 0;
    long long filaMarcada = 0;   // fila de factor marcada que se desmarca
    long long filaSinMarcar = 0; // fila de factor que se marca
    long long factorSinMarcar = 0;
    long long plan = 0; // plan de actuación del centro, con una línea

    QString archivo() const { return dir.filePath("Evaluacion.mdb"); }
};

// Se prepara una vez por programa de pruebas.
const Preparada& preparada();

// Las acciones: añadir un puesto, marcar un factor, desmarcar otro, guardar los grados, añadir una
// línea al plan, compactar (siempre la última).
// Una compactación que no se hace lanza ErrorBD con el mensaje que verá el usuario (3026 por
// disco lleno, 3260 si otro programa tiene la base de datos) para tratarla como las demás.
const std::vector<Accion>& acciones();

// Se llama antes de cada cambio de nombre de la compactación (para parar el proceso ahí).
void alRenombrar(std::function<void()> antes);

// Carpeta de programa nueva con una copia de la preparada.
class Copia
{
public:
    Copia();
    ~Copia();
    QString carpeta() const { return dir_.path(); }
    QString archivo() const { return dir_.filePath("Evaluacion.mdb"); }
    QString ruta(const QString& nombre) const { return dir_.filePath(nombre); }
    QString conexion() const;
    // Apunta conexionEnUso() a esta copia.
    void usar() const;

private:
    QTemporaryDir dir_;
};

// Huella de todas las filas de todas las tablas (la fecha de alta de los puestos no cuenta: es la
// hora a la que se hizo) y un resumen legible con las filas de cada tabla.
struct Huella
{
    QByteArray valor;
    QString resumen;
    bool operator==(const Huella& o) const { return valor == o.valor; }
};
Huella huella(const QString& archivo);

// "ok" si el archivo pasa integrity_check y foreign_key_check; si no, lo que encuentra.
QString integridad(const QString& archivo);

// Estado de partida y estado tras la acción hecha sin fallos, calculados una vez por acción.
const Huella& huellaAntes();
const Huella& huellaDespues(const Accion& a);

// Proceso hijo. El cuerpo corre en el hijo con la conexión cerrada en el padre; lo que devuelve
// llega al padre como texto. avisar() lo manda antes de que el cuerpo termine (el padre lo lee con
// esperarAviso) para que el hijo se quede parado con algo a medias.
class Hijo
{
public:
    explicit Hijo(const std::function<QString(Hijo&)>& cuerpo);
    ~Hijo();
    void avisar(const QByteArray& mensaje);
    // Espera un aviso o el final del hijo. Devuelve el aviso, o el resultado con "fin:" delante.
    QByteArray esperar(int segundos = 30);
    void matar();
    bool vivo() const { return pid_ > 0; }

private:
    int pid_ = -1;
    int tuberia_[2] = {-1, -1};
};

// Otro proceso con la base de datos abierta y una escritura a medias, hasta que se le suelta.
class Bloqueador
{
public:
    explicit Bloqueador(const QString& archivo);
    // "bloqueada" si el otro proceso tiene el bloqueo; si no, lo que le ha pasado.
    const QByteArray& aviso() const { return aviso_; }
    void soltar() { hijo_.matar(); }

private:
    Hijo hijo_;
    QByteArray aviso_;
};
} // namespace fallos
