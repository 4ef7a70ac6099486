#include "shell/Presentation.h"

#include "shell/Presentation2.h"

#include <QLabel>
#include <QVBoxLayout>

Presentation::Presentation(int intervalo)
    : VentanaPresentacion(QStringLiteral("Presentation"), QStringLiteral("Presentación"), intervalo)
{
    QVBoxLayout* columna = disponer(
        12,
        {QStringLiteral("Label1"),
         QStringLiteral("APLICACIÓN INFORMÁTICA PARA LA EVALUACIÓN DE RIESGOS Y LA PLANIFICACIÓN DE LA "
                        "ACTIVIDAD PREVENTIVA EN LAS PEQUEÑAS EMPRESAS DEL COMERCIO MINORISTA"),
         1.35},
        {QStringLiteral("Label2"),
         QStringLiteral("Esta publicación cuenta con la colaboración del organismo público regional de seguridad y "
                        "salud en el trabajo, dentro del Plan Regional de Prevención de Riesgos Laborales. El "
                        "organismo no se hace responsable de los contenidos de la aplicación."),
         0.9},
        {Logo::PlanRegional, Logo::OrganismoPublico, Logo::Asociacion, Logo::Prevencion});
    columna->addWidget(
        etiqueta(
            QStringLiteral("Label3"),
            QStringLiteral("Aplicación desarrollada para ponerla a disposición de las empresas del sector en la página "
                           "web de la asociación del comercio."),
            0.9, false),
        1);
    cargar();
}

void Presentation::mostrarSiguiente()
{
    // La segunda presentación cuenta su propio intervalo desde que aparece.
    new Presentation2(intervalo());
}
