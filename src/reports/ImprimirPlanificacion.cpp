#include "reports/ImprimirPlanificacion.h"

#include "reports/Informes.h"
#include "shell/RegistroVentanas.h"

#include <QPushButton>
#include <QToolButton>

ImprimirPlanificacion::ImprimirPlanificacion(Sesion& sesion, QWidget* parent)
    : PaginaCierre(Ventana::ImprimirPlanificacion, sesion, QStringLiteral("CPlanificacionVisualizar"),
                   QStringLiteral("Volver Acciones Preventivas"), QStringLiteral("Volver a Empresas y Centros"), parent)
{
    alPulsar(visualizar_, [this] { AbrirInformePlanificacion(sesion_, sesion_.idCentro); });
    alPulsar(botonVolver_, [this] { volverA(Ventana::ActuacionPreventiva); });
    alPulsar(botonInicio_, [this] {
        ocultarPagina();
        descubrir(Ventana::Empresa);
    });
    cargar([](const QString& direccion) {
        return QStringLiteral("Ya has finalizado la planificación de la actuación preventiva del centro de trabajo ") +
               direccion +
               QStringLiteral(", pulsa el botón de 'Vista Previa' para visualizar e imprimir el documento de la "
                              "actuación preventiva. En cambio, si necesitas hacer alguna modificación más, pulsa el "
                              "botón 'Volver a Acciones Preventivas'");
    });
}
