#pragma once

// Entorno de las pruebas de una ventana dentro de un área MDI, como en el programa: una copia de la
// carpeta del programa, la plataforma de prueba y el registro de ventanas sobre una sesión propia.
// La clase de prueba hereda de él (después de QObject), llama a preparar() en init() y a liberar()
// en cleanup(); lo que cada una pone en la base va después de preparar().
// Una prueba de una ventana suelta, sin área, hereda lo mismo de EntornoSesion.
#include "CopiaPrograma.h"
#include "PlataformaPrueba.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"

#include <QMdiArea>
#include <QString>
#include <memory>

// Lo que toda prueba de una ventana necesita aunque no tenga área MDI: la copia de la carpeta del
// programa, una sesión propia sobre ella y la plataforma de prueba.
struct EntornoSesion
{
    Sesion sesion;
    std::unique_ptr<CopiaPrograma> copia;
    std::unique_ptr<PlataformaPrueba> plataforma;
    QString cx;

    void preparar()
    {
        copia = std::make_unique<CopiaPrograma>();
        prepararSobre(copia->conexion(), copia->carpeta());
    }

    // Lo mismo sobre una base de datos y una carpeta que la prueba ya ha preparado por su cuenta.
    void prepararSobre(const QString& conexion, const QString& carpeta)
    {
        sesion = Sesion();
        cx = sesion.conexion = conexion;
        FijarCarpetaPrograma(carpeta);
        plataforma = std::make_unique<PlataformaPrueba>();
    }

    void liberar()
    {
        plataforma.reset();
        copia.reset();
    }
};

struct EntornoVentanas : EntornoSesion
{
    std::unique_ptr<QMdiArea> area;
    std::unique_ptr<RegistroVentanas> registro;

    void preparar(int ancho, int alto)
    {
        copia = std::make_unique<CopiaPrograma>();
        prepararSobre(copia->conexion(), copia->carpeta(), ancho, alto);
    }

    void prepararSobre(const QString& conexion, const QString& carpeta, int ancho, int alto)
    {
        EntornoSesion::prepararSobre(conexion, carpeta);
        area = std::make_unique<QMdiArea>();
        area->resize(ancho, alto);
        area->show();
        registro = std::make_unique<RegistroVentanas>(area.get(), sesion);
    }

    void liberar()
    {
        registro.reset();
        area.reset();
        EntornoSesion::liberar();
    }
};
