#pragma once

#include "reports/DocumentoInforme.h"
#include "reports/MotorInforme.h"

#include <QGuiApplication>
#include <QString>
#include <memory>

// Lo que necesitan las pruebas que componen documentos de informe.
namespace informes_prueba {
// Qt compone los documentos sin pantalla, pero con una aplicación gráfica: una para todo el proceso.
inline void aplicacion()
{
    static int argc = 1;
    static char nombre[] = "prueba";
    static char* argv[] = {nombre, nullptr};
    if (!QGuiApplication::instance())
        new QGuiApplication(argc, argv);
}

// El documento de una de las plantillas del programa (data/informes) sobre la base de datos de una
// carpeta de programa, con la fórmula de selección dada.
inline std::unique_ptr<DocumentoInforme> documento(const QString& carpeta, const QString& fichero,
                                                   const QString& formula)
{
    MotorInforme motor;
    motor.abrirPlantilla(QStringLiteral(FUENTES_PROYECTO "/data/informes/") + fichero);
    motor.conectarCarpeta(carpeta);
    motor.fijarFormula(formula);
    return motor.generar();
}
} // namespace informes_prueba
