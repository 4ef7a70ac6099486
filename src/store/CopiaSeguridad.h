#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <map>

struct sqlite3;

// Copias de seguridad de la base de datos y vuelta a una de ellas, sin copiar archivos a mano.

// Lo que es un archivo que se quiere usar como base de datos del programa.
struct ExamenBase
{
    enum class Estado
    {
        DelPrograma, // de la revisión del esquema de este programa
        Anterior,    // de una revisión anterior: se pone al día al abrirla
        MasNueva,    // de una versión más nueva del programa
        Ajena,       // una base de datos de otro programa (o a la que le faltan tablas)
        Danada,      // no es una base de datos o está dañada
        NoSeAbre     // no existe, es una carpeta o no se puede leer
    };
    Estado estado = Estado::NoSeAbre;
    int revision = 0;
    QString motivo; // por qué no sirve, para decírselo al usuario; vacío si sirve

    bool sirve() const { return estado == Estado::DelPrograma || estado == Estado::Anterior; }
};

// Mira, sin cambiar nada, si el archivo es una base de datos de este programa: su revisión del
// esquema y sus tablas y, con integridad, que SQLite no encuentra nada mal en ella.
ExamenBase examinarBase(const QString& archivo, bool integridad = true);

// Filas de cada tabla.
using RecuentoTablas = std::map<QString, qint64>;

// Filas de cada tabla de una base abierta, contadas en la propia tabla: un índice estropeado no
// debe dar por buena una copia. Devuelve el código de SQLite.
int contarFilas(sqlite3* bd, RecuentoTablas& cuentas);
// Vacío si la copia tiene las mismas tablas con las mismas filas que el original; si no, la
// primera diferencia.
QString compararRecuentos(const RecuentoTablas& copia, const RecuentoTablas& original);
// Vacío si PRAGMA integrity_check no encuentra nada mal; si no, lo primero que encuentra.
QString revisarIntegridad(sqlite3* bd);

// Avance de una copia en páginas de la base de datos. Mientras se comprueba la copia, sin saber
// cuánto falta, llega con total 0. Devuelve false para cancelarla.
using AvanceCopia = std::function<bool(int hechas, int total)>;

// Vacío si la copia está sana y tiene las mismas tablas con las mismas filas que "original";
// si no, lo primero que encuentra mal. Si avance dice que se pare, "cancelada" (si se da) queda en true.
QString comprobarCopia(const QString& copia, const RecuentoTablas& original, const AvanceCopia& avance = {},
                       bool* cancelada = nullptr);

struct ResultadoCopia
{
    enum class Estado
    {
        Hecha,
        Cancelada,
        Fallida
    };
    Estado estado = Estado::Fallida;
    QString mensaje; // por qué no se ha hecho
    QString archivo; // la copia escrita
    int tablas = 0;
    qint64 filas = 0;

    bool hecha() const { return estado == Estado::Hecha; }
};

// Copia origen en destino mientras el programa la usa: toma una foto coherente de la base de
// datos, la escribe con otro nombre junto al destino, la comprueba (integridad, mismas tablas y
// mismas filas que la foto) y sólo entonces le da el nombre de destino, sustituyendo al que
// hubiera. Si algo falla no queda nada a medias. Nunca lanza.
ResultadoCopia copiarBase(const QString& origen, const QString& destino, const AvanceCopia& avance = {});

// Carpeta de las copias de una carpeta de programa.
QString carpetaCopias(const QString& carpetaPrograma);
// "Evaluacion AAAA-MM-DD.mdb" en la carpeta; si ya hay una de ese día, con la hora detrás, y
// si también existe, con un número: nunca una copia anterior.
QString rutaCopiaLibre(const QString& carpeta, const QDateTime& ahora);

struct ResultadoRestauracion
{
    bool hecha = false;
    bool cancelada = false; // el usuario paró la copia
    QString mensaje;        // por qué no se ha hecho
    QString anterior;       // dónde ha quedado la base de datos que había (vacío si no había)
};

// Pone la copia origen como Evaluacion.mdb de la carpeta del programa. Antes la examina; la escribe
// con otro nombre en la carpeta y la comprueba; guarda la que había en la carpeta de copias como
// "Evaluacion antes de restaurar AAAA-MM-DD hh.mm.ss.mdb"; y sólo entonces la pone en su sitio de un
// solo cambio de nombre. Si algo falla, la carpeta queda como estaba. Las conexiones del programa a
// su base deben estar cerradas. Nunca lanza.
ResultadoRestauracion restaurarBase(const QString& origen, const QString& carpetaPrograma, const QDateTime& ahora,
                                    const AvanceCopia& avance = {});
