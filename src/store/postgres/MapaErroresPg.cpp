#include "store/postgres/MapaErroresPg.h"

#include <QObject>
#include <cstring>

namespace {
struct Equivalencia
{
    const char* codigo; // SQLSTATE entero, o su clase (dos caracteres)
    long numero;
    const char* texto; // lo que pasa y qué hacer, para el usuario
};

const char* const TextoSinConexion =
    "Se ha perdido la conexión con el servidor de datos, o no se ha podido llegar a él. Compruebe la red, que el "
    "servidor está en marcha y los datos de «Origen de datos», y vuelva a intentarlo. Lo que no se llegó a guardar "
    "antes del corte no se ha guardado.";
const char* const TextoOcupada =
    "Otro usuario estaba cambiando los mismos datos a la vez y no se ha guardado nada de esta operación. Vuelva a "
    "intentarlo.";

// Primero los códigos enteros, luego las clases. La de la versión de la fila es la que da la
// función de las vistas que editan las ventanas.
const Equivalencia equivalencias[] = {
    {"42601", NumeroError::SintaxisConsulta,
     "El servidor de datos no entiende la consulta. Avise a quien mantiene el programa."},
    {"42P01", NumeroError::TablaNoEncontrada,
     "No se encuentra la tabla o consulta en el servidor de datos. Compruebe en «Origen de datos» que la base de "
     "datos es la de este programa."},
    {"42703", NumeroError::CampoNoEncontrado,
     "No se encuentra el campo en el servidor de datos. Compruebe en «Origen de datos» que la base de datos es la de "
     "este programa."},
    {"42501", NumeroError::ArchivoBloqueado,
     "El usuario no tiene permiso en el servidor de datos para esta operación. Pida al administrador del servidor "
     "permiso de lectura y escritura en la base de datos."},
    {"28P01", NumeroError::CuentaNoValida,
     "El servidor de datos no acepta el usuario o la contraseña. Compruébelos en «Origen de datos»."},
    {"3D000", NumeroError::ArchivoNoEncontrado,
     "La base de datos no existe en el servidor. Compruebe su nombre en «Origen de datos» o pida al administrador "
     "que la cree."},
    {"25006", NumeroError::SoloLectura,
     "La conexión con el servidor de datos es de sólo lectura y no se ha guardado el cambio. Pida al administrador "
     "del servidor permiso de escritura."},
    {"53100", NumeroError::DiscoLleno,
     "El servidor de datos se ha quedado sin espacio en el disco. No se ha guardado nada de esta operación: avise al "
     "administrador del servidor."},
    {"53200", NumeroError::SinMemoria,
     "El servidor de datos no tiene memoria suficiente. Vuelva a intentarlo dentro de un momento; si sigue, avise "
     "al administrador del servidor."},
    {"40001", NumeroError::BaseOcupada, TextoOcupada},
    {"40P01", NumeroError::BaseOcupada, TextoOcupada},
    {"55P03", NumeroError::BaseOcupada,
     "Otro usuario tiene ocupados estos datos en este momento. Vuelva a intentarlo dentro de un momento."},
    {"P0V01", NumeroError::RegistroModificado, "Otro usuario ha modificado este registro; se muestran sus datos"},
    {"23503", NumeroError::OperacionVariosPasos,
     "El registro hace referencia a otro que no existe (o ya se ha borrado)."},
    {"23502", NumeroError::OperacionVariosPasos, "Falta un dato obligatorio del registro."},
    {"23505", NumeroError::OperacionVariosPasos, "Ya existe un registro con ese valor."},
    {"23", NumeroError::OperacionVariosPasos, "El valor no es válido para este campo."},
    {"22", NumeroError::OperacionVariosPasos,
     "El valor no es válido para este campo: su tipo, su tamaño o su forma no son los que admite."},
    {"28", NumeroError::CuentaNoValida,
     "El servidor de datos no acepta la conexión con ese usuario. Compruebe el usuario y la contraseña en «Origen "
     "de datos»."},
    {"08", NumeroError::ErrorDisco, TextoSinConexion},
    {"42", NumeroError::SintaxisConsulta,
     "El servidor de datos no acepta la consulta. Avise a quien mantiene el programa."},
    {"57", NumeroError::ErrorDisco,
     "El servidor de datos ha interrumpido la operación (se está parando o el administrador la ha cancelado). No se "
     "ha guardado nada de ella: vuelva a intentarlo dentro de un momento."},
    {"58", NumeroError::ErrorDisco,
     "Error del disco o de los archivos en el servidor de datos. Avise al administrador del servidor."},
};

const Equivalencia* equivalenciaDe(const char* codigo)
{
    for (const Equivalencia& e : equivalencias)
        if (std::strncmp(codigo, e.codigo, std::strlen(e.codigo)) == 0)
            return &e;
    return nullptr;
}
} // namespace

ErrorBD errorDeCodigo(const char* codigo, const QString& delServidor, const QString& sentencia)
{
    const Equivalencia* e = codigo ? equivalenciaDe(codigo) : nullptr;
    const long numero = e ? e->numero : codigo ? NumeroError::ErrorGeneral : NumeroError::ErrorDisco;
    const QString texto = e        ? QObject::tr(e->texto)
                          : codigo ? QObject::tr("El servidor de datos no ha podido hacer la operación.")
                                   : QObject::tr(TextoSinConexion);
    // La fila cambiada la dice el propio esquema: lo que añade el servidor no dice nada más.
    if (numero == NumeroError::RegistroModificado || delServidor.isEmpty())
        return ErrorBD(numero, texto, sentencia);
    return ErrorBD(numero, texto + " (" + delServidor + ")", sentencia);
}

ErrorBD errorPg(PGconn* c, const PGresult* r, const QString& sentencia)
{
    const char* codigo = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    if (!codigo && !c)
        return ErrorBD(NumeroError::SinMemoria,
                       QObject::tr("No hay memoria suficiente para hablar con el servidor de datos. Cierre otras "
                                   "ventanas o programas."),
                       sentencia);
    // Lo que dijo el servidor, en una línea: el mensaje principal si lo da.
    const char* principal = r ? PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    QString mensaje = QString::fromUtf8(principal ? principal : r ? PQresultErrorMessage(r) : "");
    if (mensaje.trimmed().isEmpty() && c)
        mensaje = QString::fromUtf8(PQerrorMessage(c));
    mensaje = mensaje.simplified();
    // Sin código y sin conexión: no se pudo llegar al servidor, no aceptó la conexión o se perdió.
    // Sin código con la conexión en pie, un fallo sin más.
    if (!codigo && PQstatus(c) == CONNECTION_OK)
        codigo = "";
    return errorDeCodigo(codigo, mensaje, sentencia);
}
