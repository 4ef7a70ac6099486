#pragma once

#include "plataforma/ConexionServidor.h"

#include <QString>

// Lo que pasó al intentar conectar con un servidor, para decirle al usuario qué falla.
struct ResultadoSondeo
{
    enum class Estado
    {
        Correcta,
        ServidorDesconocido, // el nombre no corresponde a ningún equipo
        Rechazada,           // el equipo existe pero nada escucha en ese puerto
        SinRespuesta,        // no contesta dentro del tiempo de espera
        ClaveIncorrecta,
        FaltaClave,
        UsuarioDesconocido,
        BaseInexistente,
        Otro
    };
    Estado estado = Estado::Otro;
    QString detalle; // lo que dice libpq, tal cual

    bool correcta() const { return estado == Estado::Correcta; }
    // Qué pasa, en castellano, con el servidor nombrado y lo que dice libpq al final.
    QString mensaje(const DatosServidor& datos) const;
};

// Se conecta al servidor y suelta la conexión. Sin contraseña, libpq toma la de su archivo de
// contraseñas. Tarda como mucho unos segundos de espera por dirección del servidor: desde una
// ventana, en otro hilo.
ResultadoSondeo ProbarServidor(const DatosServidor& datos, const QString& clave, int segundosEspera);

// Clasifica el texto de error de libpq (en inglés o en castellano, según el idioma del equipo y
// del servidor).
ResultadoSondeo::Estado EstadoSegunError(const QString& error);
