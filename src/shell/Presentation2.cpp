#include "shell/Presentation2.h"

#include "shell/Entrada.h"

#include <QLabel>
#include <QVBoxLayout>

Presentation2::Presentation2(int intervalo)
    : VentanaPresentacion(QStringLiteral("Presentation2"), QStringLiteral("Objetivo de la aplicación"), intervalo)
{
    auto* columna = new QVBoxLayout(this);
    columna->setContentsMargins(16, 16, 16, 16);
    columna->setSpacing(14);

    columna->addWidget(panel(QStringLiteral("SSPanel1"), {Logo::Aplicacion}, 96));

    auto* Label3 = etiqueta(QStringLiteral("Label3"), textoObjetivo(), 1.15, true);
    columna->addWidget(Label3, 2);

    auto* Label4 = etiqueta(QStringLiteral("Label4"), textoImpresion(), 1.0, false);
    hacerQuieto(Label4);
    columna->addWidget(Label4, 1);

    columna->addWidget(panel(QStringLiteral("SSPanel2"),
                             {Logo::Prevencion, Logo::Asociacion, Logo::OrganismoPublico, Logo::PlanRegional}, 56));

    cargar();
}

QString Presentation2::textoObjetivo()
{
    return QStringLiteral("El objetivo de esta aplicación es dar a las empresas del comercio una herramienta con la "
                          "que hacer la evaluación de riesgos y la planificación de la actividad preventiva, los dos "
                          "documentos fundamentales de la prevención de riesgos laborales.");
}

QString Presentation2::textoImpresion()
{
    return QStringLiteral("La aplicación imprime los dos documentos, para que cada empresa disponga de ellos en cada "
                          "uno de sus centros de trabajo.");
}

void Presentation2::mostrarSiguiente()
{
    // Entrada hace su carga al crearse: si ya hay otra copia en marcha, el programa termina aquí.
    auto* entrada = new Entrada;
    entrada->show();
}
