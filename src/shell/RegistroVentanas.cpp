#include "RegistroVentanas.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QWidget>

namespace {
RegistroVentanas* gActual = nullptr;

QHash<QString, RegistroVentanas::Fabrica>& fabricas()
{
    static QHash<QString, RegistroVentanas::Fabrica> todas;
    return todas;
}
} // namespace

RegistroVentanas::RegistroVentanas(QMdiArea* area) : area_(area)
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

void RegistroVentanas::registrarFabrica(const QString& nombre, Fabrica fabrica)
{
    fabricas().insert(nombre, std::move(fabrica));
}

bool RegistroVentanas::hayFabrica(const QString& nombre)
{
    return fabricas().contains(nombre);
}

void RegistroVentanas::quitarFabrica(const QString& nombre)
{
    fabricas().remove(nombre);
}

QWidget* RegistroVentanas::ventana(const QString& nombre) const
{
    const QPointer<QMdiSubWindow> marco = cargadas_.value(nombre);
    return marco ? marco->widget() : nullptr;
}

QWidget* RegistroVentanas::cargar(const QString& nombre)
{
    const auto fabrica = fabricas().constFind(nombre);
    if (fabrica == fabricas().constEnd() || !*fabrica)
        return nullptr;
    QWidget* nueva = (*fabrica)();
    if (!nueva)
        return nullptr;
    if (nueva->objectName().isEmpty())
        nueva->setObjectName(nombre);
    QMdiSubWindow* marco = area_->addSubWindow(nueva);
    const QRect geometria = nueva->property("geometriaInicial").toRect();
    if (geometria.isValid())
        marco->setGeometry(QRect(geometria.topLeft(), geometria.size().expandedTo(marco->minimumSizeHint())));
    // Cerrarla con su botón la descarga: la próxima vez se vuelve a cargar desde la base de datos.
    marco->setAttribute(Qt::WA_DeleteOnClose);
    marco->setWindowTitle(nueva->windowTitle());
    QObject::connect(nueva, &QWidget::windowTitleChanged, marco, &QWidget::setWindowTitle);
    cargadas_.insert(nombre, marco);
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

QWidget* RegistroVentanas::abrirNueva(const QString& nombre)
{
    if (!hayFabrica(nombre))
        return nullptr;
    descargar(nombre);
    QWidget* nueva = cargar(nombre);
    if (nueva)
        mostrar(qobject_cast<QMdiSubWindow*>(nueva->parentWidget()));
    return nueva;
}

QWidget* RegistroVentanas::abrirOtra(const QString& nombre)
{
    const QPointer<QMdiSubWindow> previa = cargadas_.value(nombre);
    QWidget* nueva = cargar(nombre);
    if (previa)
        cargadas_.insert(nombre, previa);
    else
        cargadas_.remove(nombre);
    if (!nueva)
        return nullptr;
    mostrar(qobject_cast<QMdiSubWindow*>(nueva->parentWidget()));
    return nueva;
}

QWidget* RegistroVentanas::mostrarCargada(const QString& nombre)
{
    QWidget* w = ventana(nombre);
    if (!w)
        w = cargar(nombre);
    if (!w)
        return nullptr;
    auto* marco = qobject_cast<QMdiSubWindow*>(w->parentWidget());
    marco->hide();
    mostrar(marco);
    return w;
}

void RegistroVentanas::ocultar(const QString& nombre)
{
    if (QPointer<QMdiSubWindow> marco = cargadas_.value(nombre))
        marco->hide();
}

void RegistroVentanas::descargar(const QString& nombre)
{
    QPointer<QMdiSubWindow> marco = cargadas_.take(nombre);
    if (!marco)
        return;
    // Se saca del área ya, pero se destruye después: quien la descarga puede estar dentro de
    // una ranura de la propia ventana.
    marco->hide();
    area_->removeSubWindow(marco);
    marco->deleteLater();
}
