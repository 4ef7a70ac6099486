#include "store/MapaErrores.h"

#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <sqlite3.h>

namespace {
struct Traduccion
{
    int codigo; // código primario o extendido de SQLite
    long numero;
    const char* texto; // %1 es el archivo
    // Si lo hay, el mensaje del motor tiene que ser éste para que la traducción valga.
    const char* mensaje = nullptr;
};

// Lo que dicen los disparadores de las vistas que editan las ventanas cuando la fila ha cambiado
// desde que se leyó. Cualquier otro disparador que rechaza una escritura es un valor no válido.
constexpr const char* MarcaVersionVista = "VersionFila";

// La única tabla que decide qué número ve cada fallo. Los extendidos van antes que su primario.
const Traduccion traducciones[] = {
    {SQLITE_IOERR_SHORT_READ, NumeroError::BaseDanada,
     "El archivo «%1» está dañado: le falta una parte. Ejecute la utilidad de reparación."},
    {SQLITE_CONSTRAINT_FOREIGNKEY, NumeroError::OperacionVariosPasos,
     "El registro hace referencia a otro que no existe (o ya se ha borrado)."},
    {SQLITE_CONSTRAINT_TRIGGER, NumeroError::RegistroModificado,
     "Otro usuario ha modificado este registro; se muestran sus datos", MarcaVersionVista},
    {SQLITE_CONSTRAINT_NOTNULL, NumeroError::OperacionVariosPasos, "Falta un dato obligatorio del registro."},
    {SQLITE_CONSTRAINT_UNIQUE, NumeroError::OperacionVariosPasos, "Ya existe un registro con ese valor."},
    {SQLITE_CONSTRAINT_PRIMARYKEY, NumeroError::OperacionVariosPasos, "Ya existe un registro con esa clave."},
    {SQLITE_NOTADB, NumeroError::BaseDanada,
     "El archivo «%1» no es una base de datos del programa o está dañado. Ejecute la utilidad de reparación."},
    {SQLITE_CORRUPT, NumeroError::BaseDanada, "La base de datos «%1» está dañada. Ejecute la utilidad de reparación."},
    {SQLITE_FULL, NumeroError::DiscoLleno,
     "No queda espacio en el disco para guardar en «%1». No se ha guardado nada de esta operación: libere "
     "espacio en el disco y vuelva a intentarlo."},
    {SQLITE_READONLY, NumeroError::SoloLectura,
     "La base de datos «%1» es de sólo lectura y no se ha guardado el cambio. Quite el atributo de sólo lectura "
     "del archivo o copie la carpeta del programa a un lugar donde pueda escribir."},
    {SQLITE_BUSY, NumeroError::BaseOcupada,
     "La base de datos «%1» está bloqueada por otro programa. Cierre el otro programa (por ejemplo, la utilidad "
     "de reparación) y vuelva a intentarlo."},
    {SQLITE_LOCKED, NumeroError::BaseOcupada,
     "La base de datos «%1» está bloqueada por otra operación en curso. Vuelva a intentarlo."},
    {SQLITE_IOERR, NumeroError::ErrorDisco,
     "Error de disco al leer o escribir «%1». Compruebe el disco y que el archivo sigue en su sitio."},
    {SQLITE_NOMEM, NumeroError::SinMemoria, "No hay memoria suficiente. Cierre otras ventanas o programas."},
    {SQLITE_PERM, NumeroError::ArchivoBloqueado, "No tiene permiso para abrir «%1»."},
    {SQLITE_AUTH, NumeroError::ArchivoBloqueado, "No tiene permiso para abrir «%1»."},
    {SQLITE_CONSTRAINT, NumeroError::OperacionVariosPasos, "El valor no es válido para este campo."},
    {SQLITE_MISMATCH, NumeroError::OperacionVariosPasos, "El tipo del valor no corresponde al del campo."},
    {SQLITE_TOOBIG, NumeroError::OperacionVariosPasos, "El texto o el valor es demasiado grande."},
    {SQLITE_RANGE, NumeroError::OperacionVariosPasos, "Parámetro fuera de rango en la sentencia."},
};

ErrorBD errorDeSintaxis(const QString& mensaje, const QString& sentencia)
{
    if (mensaje.startsWith("no such table"))
        return ErrorBD(NumeroError::TablaNoEncontrada,
                       QObject::tr("No se encuentra la tabla o consulta: %1").arg(mensaje.mid(15)), sentencia);
    if (mensaje.startsWith("no such column"))
        return ErrorBD(NumeroError::CampoNoEncontrado, QObject::tr("No se encuentra el campo: %1").arg(mensaje.mid(16)),
                       sentencia);
    return ErrorBD(NumeroError::SintaxisConsulta,
                   QObject::tr("Error de sintaxis en la expresión de consulta (%1).").arg(mensaje), sentencia);
}
} // namespace

ErrorBD errorDeSqlite(sqlite3* bd, int codigo, const QString& archivo, const QString& sentencia)
{
    const QString mensaje = bd ? QString::fromUtf8(sqlite3_errmsg(bd)) : QString::fromUtf8(sqlite3_errstr(codigo));
    const QString nativo = QDir::toNativeSeparators(archivo);
    if ((codigo & 0xff) == SQLITE_CANTOPEN) {
        if (!QFileInfo::exists(archivo))
            return ErrorBD(NumeroError::ArchivoNoEncontrado,
                           QObject::tr("No se encuentra la base de datos «%1». Compruebe que está en la carpeta del "
                                       "programa.")
                               .arg(nativo),
                           sentencia);
        return ErrorBD(NumeroError::ArchivoBloqueado,
                       QObject::tr("No se puede abrir la base de datos «%1» para escribir. Compruebe que tiene permiso "
                                   "de escritura en el archivo y en la carpeta del programa (la base de datos necesita "
                                   "crear archivos de diario a su lado).")
                           .arg(nativo),
                       sentencia);
    }
    if ((codigo & 0xff) == SQLITE_ERROR)
        return errorDeSintaxis(mensaje, sentencia);
    for (const Traduccion& t : traducciones) {
        const bool coincide = (t.codigo > 0xff ? codigo == t.codigo : (codigo & 0xff) == t.codigo) &&
                              (!t.mensaje || mensaje == QLatin1String(t.mensaje));
        if (coincide) {
            QString texto = QObject::tr(t.texto);
            if (texto.contains("%1"))
                texto = texto.arg(nativo);
            // Un mensaje que pone el propio esquema no dice nada más al usuario.
            if (t.mensaje)
                return ErrorBD(t.numero, texto, sentencia);
            return ErrorBD(t.numero, texto + " (" + mensaje + ")", sentencia);
        }
    }
    return ErrorBD(NumeroError::ErrorGeneral, QObject::tr("Error de la base de datos: %1").arg(mensaje), sentencia);
}
