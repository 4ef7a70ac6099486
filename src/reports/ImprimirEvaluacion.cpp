#include "ImprimirEvaluacion.h"

#include "Globales.h"
#include "Informes.h"
#include "ManejadorErrores.h"
#include "RegistroVentanas.h"

#include <QPushButton>
#include <QToolButton>

const QString ImprimirEvaluacion::Nombre = QStringLiteral("ImprimirEvaluacion");

ImprimirEvaluacion::ImprimirEvaluacion(QWidget* parent)
    : PaginaCierre(Nombre, QStringLiteral("CEvaluacionVisualizar"), QStringLiteral("Volver Medidas Preventivas"),
                   QStringLiteral("Volver al Menú Principal"), parent)
{
    connect(visualizar_, &QPushButton::clicked, this, Ranura([this] { vistaPrevia(); }, this));
    connect(Picture1_, &QToolButton::clicked, this, Ranura([this] { volverMedidas(); }, this));
    connect(Image1_, &QToolButton::clicked, this, Ranura([this] { volverMenu(); }, this));
    cargar([](const QString& direccion) {
        return QStringLiteral("Ya has finalizado la Evaluación de Riesgos del centro de trabajo ") + direccion +
               QStringLiteral(", pulsa el botón de 'Vista Previa' para visualizar e imprimir el documento de la "
                              "evaluación de riesgos. En cambio, si necesitas hacer alguna modificación más, pulsa "
                              "el botón 'Volver al Menú Principal'");
    });
}

void ImprimirEvaluacion::vistaPrevia()
{
    AbrirInformeEvaluacion(gIDCentro, gIDEmpresa);
}

void ImprimirEvaluacion::volverMedidas()
{
    ocultarPagina();
    if (RegistroVentanas* registro = RegistroVentanas::actual())
        registro->abrirNueva(QStringLiteral("SeleccionaMedidas"));
}

void ImprimirEvaluacion::volverMenu()
{
    RegistroVentanas* registro = RegistroVentanas::actual();
    if (QWidget* menu = registro ? registro->ventana(QStringLiteral("InicioEvaluacion")) : nullptr)
        QMetaObject::invokeMethod(menu, "Colocar");
    ocultarPagina();
    descubrir(QStringLiteral("InicioEvaluacion"));
}
