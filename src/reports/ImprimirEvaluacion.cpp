#include "reports/ImprimirEvaluacion.h"

#include "reports/Informes.h"
#include "shell/RegistroVentanas.h"

#include <QPushButton>
#include <QToolButton>

ImprimirEvaluacion::ImprimirEvaluacion(Sesion& sesion, QWidget* parent)
    : PaginaCierre(Ventana::ImprimirEvaluacion, sesion, QStringLiteral("CEvaluacionVisualizar"),
                   QStringLiteral("Volver Medidas Preventivas"), QStringLiteral("Volver al Menú Principal"), parent)
{
    alPulsar(visualizar_, [this] { AbrirInformeEvaluacion(sesion_, sesion_.idCentro, sesion_.idEmpresa); });
    alPulsar(botonVolver_, [this] { volverA(Ventana::SeleccionaMedidas); });
    // El menú de la evaluación recalcula sus pasos antes de volver a verse.
    alPulsar(botonInicio_, [this] {
        RegistroVentanas* registro = RegistroVentanas::actual();
        if (QWidget* menu = registro ? registro->ventana(Ventana::InicioEvaluacion) : nullptr)
            QMetaObject::invokeMethod(menu, "Colocar");
        ocultarPagina();
        descubrir(Ventana::InicioEvaluacion);
    });
    cargar([](const QString& direccion) {
        return QStringLiteral("Ya has finalizado la Evaluación de Riesgos del centro de trabajo ") + direccion +
               QStringLiteral(", pulsa el botón de 'Vista Previa' para visualizar e imprimir el documento de la "
                              "evaluación de riesgos. En cambio, si necesitas hacer alguna modificación más, pulsa "
                              "el botón 'Volver al Menú Principal'");
    });
}
