#include "shell/RegistroVentanas.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QWidget>
#include <iterator>

namespace {
RegistroVentanas* gActual = nullptr;

QHash<Ventana, RegistroVentanas::Fabrica>& fabricas()
{
    static QHash<Ventana, RegistroVentanas::Fabrica> todas;
    return todas;
}
} // namespace

QString NombreVentana(Ventana ventana)
{
    // En el orden del enumerado.
    static const char* const nombres[] = {"Empresa",
                                          "InicioEvaluacion",
                                          "Puestos",
                                          "SeleccionaFactores",
                                          "SeleccionaRiesgos",
                                          "SeleccionaMedidas",
                                          "ActuacionPreventiva",
                                          "AccionPreventiva",
                                          "InformeGeneral",
                                          "ImprimirEvaluacion",
                                          "ImprimirPlanificacion",
                                          "ResumenCentros",
                                          "OrigenDatos"};
    static_assert(std::size(nombres) == size_t(Ventana::OrigenDatos) + 1);
    return QString::fromLatin1(nombres[static_cast<int>(ventana)]);
}

RegistroVentanas::RegistroVentanas(QMdiArea* area, Sesion& sesion) : area_(area), sesion_(sesion)
{
    gActual = this;
}

RegistroVentanas::~RegistroVentanas()
{
    if (gActual == this)
        gActual = nullptr;
}

RegistroVentanas* RegistroVentanas::actual()
{
    return gActual;
}

void RegistroVentanas::registrarFabrica(Ventana tipo, Fabrica fabrica)
{
    fabricas().insert(tipo, std::move(fabrica));
}

bool RegistroVentanas::hayFabrica(Ventana tipo)
{
    return fabricas().contains(tipo);
}

void RegistroVentanas::quitarFabrica(Ventana tipo)
{
    fabricas().remove(tipo);
}

QWidget* RegistroVentanas::ventana(Ventana tipo) const
{
    const QPointer<QMdiSubWindow> marco = cargadas_.value(tipo);
    return marco ? marco->widget() : nullptr;
}

QWidget* RegistroVentanas::cargar(Ventana tipo)
{
    const auto fabrica = fabricas().constFind(tipo);
    if (fabrica == fabricas().constEnd() || !*fabrica)
        return nullptr;
    QWidget* nueva = (*fabrica)(sesion_);
    if (!nueva)
        return nullptr;
    if (nueva->objectName().isEmpty())
        nueva->setObjectName(NombreVentana(tipo));
    QMdiSubWindow* marco = area_->addSubWindow(nueva);
    const QRect geometria = nueva->property("geometriaInicial").toRect();
    if (geometria.isValid())
        marco->setGeometry(QRect(geometria.topLeft(), geometria.size().expandedTo(marco->minimumSizeHint())));
    // Cerrarla con su botón la descarga: la próxima vez se vuelve a cargar desde la base de datos.
    marco->setAttribute(Qt::WA_DeleteOnClose);
    marco->setWindowTitle(nueva->windowTitle());
    QObject::connect(nueva, &QWidget::windowTitleChanged, marco, &QWidget::setWindowTitle);
    cargadas_.insert(tipo, marco);
    return nueva;
}

void RegistroVentanas::mostrar(QMdiSubWindow* marco)
{
    marco->show();
    marco->widget()->show();
    area_->setActiveSubWindow(marco);
    marco->raise();
    marco->widget()->setFocus();
}

QWidget* RegistroVentanas::abrirNueva(Ventana tipo)
{
    if (!hayFabrica(tipo))
        return nullptr;
    descargar(tipo);
    QWidget* nueva = cargar(tipo);
    if (nueva)
        mostrar(qobject_cast<QMdiSubWindow*>(nueva->parentWidget()));
    return nueva;
}

QWidget* RegistroVentanas::abrirOtra(Ventana tipo)
{
    const QPointer<QMdiSubWindow> previa = cargadas_.value(tipo);
    QWidget* nueva = cargar(tipo);
    if (previa)
        cargadas_.insert(tipo, previa);
    else
        cargadas_.remove(tipo);
    if (!nueva)
        return nullptr;
    mostrar(qobject_cast<QMdiSubWindow*>(nueva->parentWidget()));
    return nueva;
}

QWidget* RegistroVentanas::mostrarCargada(Ventana tipo)
{
    QWidget* w = ventana(tipo);
    if (!w)
        w = cargar(tipo);
    if (!w)
        return nullptr;
    auto* marco = qobject_cast<QMdiSubWindow*>(w->parentWidget());
    marco->hide();
    mostrar(marco);
    return w;
}

void RegistroVentanas::ocultar(Ventana tipo)
{
    if (QPointer<QMdiSubWindow> marco = cargadas_.value(tipo))
        marco->hide();
}

void RegistroVentanas::descargar(Ventana tipo)
{
    QPointer<QMdiSubWindow> marco = cargadas_.take(tipo);
    if (!marco)
        return;
    // Se saca del área ya, pero se destruye después: quien la descarga puede estar dentro de
    // una ranura de la propia ventana.
    marco->hide();
    area_->removeSubWindow(marco);
    marco->deleteLater();
}
