#include "reports/ImprimirPlanificacion.h"

#include "reports/Informes.h"
#include "shell/ManejadorErrores.h"
#include "shell/RegistroVentanas.h"

#include <QPushButton>
#include <QToolButton>

ImprimirPlanificacion::ImprimirPlanificacion(Sesion& sesion, QWidget* parent)
    : PaginaCierre(Nombre, sesion, QStringLiteral("CPlanificacionVisualizar"),
                   QStringLiteral("Volver Acciones Preventivas"), QStringLiteral("Volver a Empresas y Centros"), parent)
{
    connect(visualizar_, &QPushButton::clicked, this, Ranura([this] { vistaPrevia(); }, this));
    connect(botonVolver_, &QToolButton::clicked, this, Ranura([this] { volverAcciones(); }, this));
    connect(botonInicio_, &QToolButton::clicked, this, Ranura([this] { volverEmpresas(); }, this));
    cargar([](const QString& direccion) {
        return QStringLiteral("Ya has finalizado la planificación de la actuación preventiva del centro de trabajo ") +
               direccion +
               QStringLiteral(", pulsa el botón de 'Vista Previa' para visualizar e imprimir el documento de la "
                              "actuación preventiva. En cambio, si necesitas hacer alguna modificación más, pulsa el "
                              "botón 'Volver a Acciones Preventivas'");
    });
}

void ImprimirPlanificacion::vistaPrevia()
{
    AbrirInformePlanificacion(sesion_, sesion_.idCentro);
}

void ImprimirPlanificacion::volverAcciones()
{
    ocultarPagina();
    if (RegistroVentanas* registro = RegistroVentanas::actual())
        registro->abrirNueva(Ventana::ActuacionPreventiva);
}

void ImprimirPlanificacion::volverEmpresas()
{
    ocultarPagina();
    descubrir(Ventana::Empresa);
}
