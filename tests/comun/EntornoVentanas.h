#pragma once

// Entorno de las pruebas de una ventana dentro de un área MDI, como en el programa: una copia de la
// carpeta del programa, la plataforma de prueba y el registro de ventanas sobre una sesión propia.
// La clase de prueba hereda de él (después de QObject), llama a preparar() en init() y a liberar()
// en cleanup(); lo que cada una pone en la base va después de preparar().
#include "CopiaPrograma.h"
#include "PlataformaPrueba.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"

#include <QMdiArea>
#include <QString>
#include <memory>

struct EntornoVentanas
{
    Sesion sesion;
    std::unique_ptr<CopiaPrograma> copia;
    std::unique_ptr<PlataformaPrueba> plataforma;
    std::unique_ptr<QMdiArea> area;
    std::unique_ptr<RegistroVentanas> registro;
    QString cx;

    void preparar(int ancho, int alto)
    {
        copia = std::make_unique<CopiaPrograma>();
        prepararSobre(copia->conexion(), copia->carpeta(), ancho, alto);
    }

    // Lo mismo sobre una base de datos y una carpeta que la prueba ya ha preparado por su cuenta.
    void prepararSobre(const QString& conexion, const QString& carpeta, int ancho, int alto)
    {
        sesion = Sesion();
        cx = sesion.conexion = conexion;
        FijarCarpetaPrograma(carpeta);
        plataforma = std::make_unique<PlataformaPrueba>();
        area = std::make_unique<QMdiArea>();
        area->resize(ancho, alto);
        area->show();
        registro = std::make_unique<RegistroVentanas>(area.get(), sesion);
    }

    void liberar()
    {
        registro.reset();
        area.reset();
        plataforma.reset();
        copia.reset();
    }
};
