#include "shell/Presentation2.h"

#include "shell/Entrada.h"

#include <QLabel>
#include <QVBoxLayout>

Presentation2::Presentation2(int intervalo)
    : VentanaPresentacion(QStringLiteral("Presentation2"), QStringLiteral("Objetivo de la aplicación"), intervalo)
{
    disponer(
        14,
        {QStringLiteral("Label3"),
         QStringLiteral("El objetivo de esta aplicación es dar a las empresas del comercio una herramienta con la "
                        "que hacer la evaluación de riesgos y la planificación de la actividad preventiva, los dos "
                        "documentos fundamentales de la prevención de riesgos laborales."),
         1.15},
        {QStringLiteral("Label4"),
         QStringLiteral("La aplicación imprime los dos documentos, para que cada empresa disponga de ellos en cada "
                        "uno de sus centros de trabajo."),
         1.0},
        {Logo::Prevencion, Logo::Asociacion, Logo::OrganismoPublico, Logo::PlanRegional});
    cargar();
}

void Presentation2::mostrarSiguiente()
{
    // Entrada hace su carga al crearse: si ya hay otra copia en marcha, el programa termina aquí.
    auto* entrada = new Entrada;
    entrada->show();
}
