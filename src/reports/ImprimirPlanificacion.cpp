#include "ImprimirPlanificacion.h"

#include "Globales.h"
#include "Informes.h"
#include "ManejadorErrores.h"
#include "RegistroVentanas.h"

#include <QPushButton>
#include <QToolButton>

const QString ImprimirPlanificacion::Nombre = QStringLiteral("ImprimirPlanificacion");

ImprimirPlanificacion::ImprimirPlanificacion(QWidget* parent)
    : PaginaCierre(Nombre, QStringLiteral("CPlanificacionVisualizar"), QStringLiteral("Volver Acciones Preventivas"),
                   QStringLiteral("Volver a Empresas y Centros"), parent)
{
    connect(visualizar_, &QPushButton::clicked, this, Ranura([this] { vistaPrevia(); }, this));
    connect(Picture1_, &QToolButton::clicked, this, Ranura([this] { volverAcciones(); }, this));
    connect(Image1_, &QToolButton::clicked, this, Ranura([this] { volverEmpresas(); }, this));
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
    AbrirInformePlanificacion(gIDCentro);
}

void ImprimirPlanificacion::volverAcciones()
{
    ocultarPagina();
    if (RegistroVentanas* registro = RegistroVentanas::actual())
        registro->abrirNueva(QStringLiteral("ActuacionPreventiva"));
}

void ImprimirPlanificacion::volverEmpresas()
{
    ocultarPagina();
    descubrir(QStringLiteral("Empresa"));
}
