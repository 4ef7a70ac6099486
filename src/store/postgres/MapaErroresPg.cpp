#include "store/postgres/MapaErroresPg.h"

#include <QObject>
#include <cstring>

namespace {
struct Equivalencia
{
    const char* codigo; // SQLSTATE entero, o su clase (dos caracteres)
    long numero;
};

// Primero los códigos enteros, luego las clases.
const Equivalencia equivalencias[] = {
    {"42601", NumeroError::SintaxisConsulta},
    {"42P01", NumeroError::TablaNoEncontrada},
    {"42703", NumeroError::CampoNoEncontrado},
    {"42501", NumeroError::ArchivoBloqueado},
    {"28P01", NumeroError::CuentaNoValida},
    {"3D000", NumeroError::ArchivoNoEncontrado},
    {"25006", NumeroError::SoloLectura},
    {"53100", NumeroError::DiscoLleno},
    {"53200", NumeroError::SinMemoria},
    {"40001", NumeroError::BaseOcupada},
    {"40P01", NumeroError::BaseOcupada},
    {"55P03", NumeroError::BaseOcupada},
    {"P0V01", NumeroError::RegistroModificado},
    {"23", NumeroError::OperacionVariosPasos},
    {"22", NumeroError::OperacionVariosPasos},
    {"28", NumeroError::CuentaNoValida},
    {"08", NumeroError::ErrorDisco},
    {"42", NumeroError::SintaxisConsulta},
    {"57", NumeroError::ErrorDisco},
    {"58", NumeroError::ErrorDisco},
};

long numeroDe(const char* codigo)
{
    for (const Equivalencia& e : equivalencias)
        if (std::strncmp(codigo, e.codigo, std::strlen(e.codigo)) == 0)
            return e.numero;
    return NumeroError::ErrorGeneral;
}
} // namespace

ErrorBD errorPg(PGconn* c, const PGresult* r, const QString& sentencia)
{
    const char* codigo = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    QString mensaje = QString::fromUtf8(r ? PQresultErrorMessage(r) : "");
    if (mensaje.isEmpty() && c)
        mensaje = QString::fromUtf8(PQerrorMessage(c));
    mensaje = mensaje.trimmed();
    if (mensaje.isEmpty())
        mensaje = QObject::tr("No hay memoria para hablar con el servidor de datos.");
    long numero = NumeroError::ErrorGeneral;
    if (codigo)
        numero = numeroDe(codigo);
    else if (!c)
        numero = NumeroError::SinMemoria;
    else if (PQstatus(c) != CONNECTION_OK)
        // Sin código: no se pudo llegar al servidor, no aceptó la conexión o se perdió.
        numero = NumeroError::ErrorDisco;
    return ErrorBD(numero, mensaje, sentencia);
}
