#include "reports/ImprimirEvaluacion.h"

#include "reports/Informes.h"
#include "shell/ManejadorErrores.h"
#include "shell/RegistroVentanas.h"

#include <QPushButton>
#include <QToolButton>

ImprimirEvaluacion::ImprimirEvaluacion(Sesion& sesion, QWidget* parent)
    : PaginaCierre(Nombre, sesion, QStringLiteral("CEvaluacionVisualizar"),
                   QStringLiteral("Volver Medidas Preventivas"), QStringLiteral("Volver al Menú Principal"), parent)
{
    connect(visualizar_, &QPushButton::clicked, this, Ranura([this] { vistaPrevia(); }, this));
    connect(botonVolver_, &QToolButton::clicked, this, Ranura([this] { volverMedidas(); }, this));
    connect(botonInicio_, &QToolButton::clicked, this, Ranura([this] { volverMenu(); }, this));
    cargar([](const QString& direccion) {
        return QStringLiteral("Ya has finalizado la Evaluación de Riesgos del centro de trabajo ") + direccion +
               QStringLiteral(", pulsa el botón de 'Vista Previa' para visualizar e imprimir el documento de la "
                              "evaluación de riesgos. En cambio, si necesitas hacer alguna modificación más, pulsa "
                              "el botón 'Volver al Menú Principal'");
    });
}

void ImprimirEvaluacion::vistaPrevia()
{
    AbrirInformeEvaluacion(sesion_, sesion_.idCentro, sesion_.idEmpresa);
}

void ImprimirEvaluacion::volverMedidas()
{
    ocultarPagina();
    if (RegistroVentanas* registro = RegistroVentanas::actual())
        registro->abrirNueva(Ventana::SeleccionaMedidas);
}

void ImprimirEvaluacion::volverMenu()
{
    RegistroVentanas* registro = RegistroVentanas::actual();
    if (QWidget* menu = registro ? registro->ventana(Ventana::InicioEvaluacion) : nullptr)
        QMetaObject::invokeMethod(menu, "Colocar");
    ocultarPagina();
    descubrir(Ventana::InicioEvaluacion);
}
