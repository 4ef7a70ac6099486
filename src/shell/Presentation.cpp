#include "shell/Presentation.h"

#include "shell/Presentation2.h"

#include <QLabel>
#include <QVBoxLayout>

Presentation::Presentation(int intervalo)
    : VentanaPresentacion(QStringLiteral("Presentation"), QStringLiteral("Presentación"), intervalo)
{
    auto* columna = new QVBoxLayout(this);
    // El margen deja a la vista el fondo de la ventana: también se puede pulsar ahí.
    columna->setContentsMargins(16, 16, 16, 16);
    columna->setSpacing(12);

    columna->addWidget(panel(QStringLiteral("SSPanel1"), {Logo::Aplicacion}, 96));

    auto* Label1 = etiqueta(QStringLiteral("Label1"), textoTitulo(), 1.35, true);
    columna->addWidget(Label1, 2);

    auto* Label2 = etiqueta(QStringLiteral("Label2"), textoCreditos(), 0.9, false);
    hacerQuieto(Label2);
    columna->addWidget(Label2, 1);

    columna->addWidget(panel(QStringLiteral("SSPanel2"),
                             {Logo::PlanRegional, Logo::OrganismoPublico, Logo::Asociacion, Logo::Prevencion}, 56));

    auto* Label3 = etiqueta(QStringLiteral("Label3"), textoDifusion(), 0.9, false);
    columna->addWidget(Label3, 1);

    cargar();
}

QString Presentation::textoTitulo()
{
    return QStringLiteral("APLICACIÓN INFORMÁTICA PARA LA EVALUACIÓN DE RIESGOS Y LA PLANIFICACIÓN DE LA "
                          "ACTIVIDAD PREVENTIVA EN LAS PEQUEÑAS EMPRESAS DEL COMERCIO MINORISTA");
}

QString Presentation::textoCreditos()
{
    return QStringLiteral("Esta publicación cuenta con la colaboración del organismo público regional de seguridad y "
                          "salud en el trabajo, dentro del Plan Regional de Prevención de Riesgos Laborales. El "
                          "organismo no se hace responsable de los contenidos de la aplicación.");
}

QString Presentation::textoDifusion()
{
    return QStringLiteral("Aplicación desarrollada para ponerla a disposición de las empresas del sector en la página "
                          "web de la asociación del comercio.");
}

void Presentation::mostrarSiguiente()
{
    // La segunda presentación cuenta su propio intervalo desde que aparece.
    new Presentation2(intervalo());
}
