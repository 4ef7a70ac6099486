#include "plataforma/SondeoServidor.h"

#include <libpq-fe.h>

namespace {
bool contiene(const QString& texto, std::initializer_list<const char*> frases)
{
    for (const char* frase : frases)
        if (texto.contains(QString::fromUtf8(frase), Qt::CaseInsensitive))
            return true;
    return false;
}
} // namespace

ResultadoSondeo::Estado EstadoSegunError(const QString& error)
{
    using Estado = ResultadoSondeo::Estado;
    // Primero lo que dice el servidor (ya se llegó a él), después lo del camino hasta él.
    if (contiene(error, {"password authentication failed", "la autentificación password falló",
                         "autentificación password falló"}))
        return Estado::ClaveIncorrecta;
    if (contiene(error, {"no password supplied", "no se entregó una contraseña", "no se proporcionó contraseña"}))
        return Estado::FaltaClave;
    if (contiene(error, {"does not exist", "no existe"})) {
        if (contiene(error, {"database", "base de datos"}))
            return Estado::BaseInexistente;
        if (contiene(error, {"role", "el rol"}))
            return Estado::UsuarioDesconocido;
    }
    if (contiene(error, {"could not translate host name", "no se pudo traducir el nombre"}))
        return Estado::ServidorDesconocido;
    if (contiene(error, {"timeout expired", "tiempo de espera agotado"}))
        return Estado::SinRespuesta;
    if (contiene(error, {"connection refused", "conexión rehusada", "accepting TCP/IP connections",
                         "aceptando conexiones TCP/IP"}))
        return Estado::Rechazada;
    return Estado::Otro;
}

QString ResultadoSondeo::mensaje(const DatosServidor& datos) const
{
    const QString servidor = QStringLiteral("«%1», puerto %2").arg(datos.servidor).arg(datos.puerto);
    QString r;
    switch (estado) {
    case Estado::Correcta:
        return QStringLiteral("La conexión con la base de datos «%1» del servidor %2 funciona.")
            .arg(datos.base, servidor);
    case Estado::ServidorDesconocido:
        r = QStringLiteral("No se encuentra ningún equipo con el nombre «%1». Compruebe el nombre del servidor.")
                .arg(datos.servidor);
        break;
    case Estado::Rechazada:
        r = QStringLiteral("El servidor %1 no acepta la conexión: no hay ningún servidor de bases de datos "
                           "escuchando en ese puerto, o no admite conexiones desde este equipo. Compruebe el puerto "
                           "y que el servidor esté en marcha.")
                .arg(servidor);
        break;
    case Estado::SinRespuesta:
        r = QStringLiteral("El servidor %1 no contesta. Compruebe que el equipo esté encendido y la red.")
                .arg(servidor);
        break;
    case Estado::ClaveIncorrecta:
        r = QStringLiteral("El servidor %1 no admite la contraseña del usuario «%2».").arg(servidor, datos.usuario);
        break;
    case Estado::FaltaClave:
        r = QStringLiteral("El servidor %1 pide una contraseña para el usuario «%2» y no hay ninguna guardada.")
                .arg(servidor, datos.usuario);
        break;
    case Estado::UsuarioDesconocido:
        r = QStringLiteral("El servidor %1 no tiene ningún usuario «%2».").arg(servidor, datos.usuario);
        break;
    case Estado::BaseInexistente:
        r = QStringLiteral("El servidor %1 no tiene ninguna base de datos «%2».").arg(servidor, datos.base);
        break;
    case Estado::Otro:
        r = QStringLiteral("No se puede conectar con el servidor %1.").arg(servidor);
        break;
    }
    if (!detalle.isEmpty())
        r += QStringLiteral("\n\n") + detalle;
    return r;
}

ResultadoSondeo ProbarServidor(const DatosServidor& datos, const QString& clave, int segundosEspera)
{
    ResultadoSondeo r;
    PGconn* conexion = PQconnectdb(ParametrosLibpq(datos, segundosEspera, clave).constData());
    if (!conexion) {
        r.detalle = QStringLiteral("No hay memoria para la conexión.");
        return r;
    }
    if (PQstatus(conexion) == CONNECTION_OK)
        r.estado = ResultadoSondeo::Estado::Correcta;
    else {
        r.detalle = QString::fromUtf8(PQerrorMessage(conexion)).trimmed();
        r.estado = EstadoSegunError(r.detalle);
    }
    PQfinish(conexion);
    return r;
}
