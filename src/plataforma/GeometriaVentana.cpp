#include "plataforma/GeometriaVentana.h"

#include "plataforma/CarpetaPrograma.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <cmath>
#include <memory>

void CentrarFormulario(QWidget* ventana)
{
    if (!ventana)
        return;
    QScreen* pantalla = ventana->screen() ? ventana->screen() : QGuiApplication::primaryScreen();
    if (!pantalla)
        return;
    const QRect zona = pantalla->geometry();
    // Dentro del área MDI se mueve la subventana, con coordenadas relativas al área.
    QWidget* marco = qobject_cast<QMdiSubWindow*>(ventana->parentWidget()) ? ventana->parentWidget() : ventana;
    const QSize tamano = marco->isWindow() && marco->isVisible() ? marco->frameGeometry().size() : marco->size();
    const double arriba = zona.height() / 2.0 - tamano.height() / 2.0;
    const double izquierda = zona.width() / 2.0 - tamano.width() / 2.0;
    QPoint destino(static_cast<int>(std::floor(izquierda)), static_cast<int>(std::floor(arriba)));
    if (marco->isWindow())
        destino += zona.topLeft();
    marco->move(destino);
}

int TwipsAPixeles(double twips, const QWidget* referencia)
{
    QScreen* pantalla = referencia && referencia->screen() ? referencia->screen() : QGuiApplication::primaryScreen();
    const double ppp = pantalla ? pantalla->logicalDotsPerInch() : 96.0;
    return static_cast<int>(std::lround(twips * ppp / 1440.0));
}

QSettings& AjustesVentanas()
{
    // Uno solo, que escribe el archivo cuando el programa vuelve a estar libre y no con cada
    // cambio; otro nuevo si la carpeta del programa es otra (las pruebas la cambian).
    static std::unique_ptr<QSettings> ajustes;
    const QString ruta = RutaEnPrograma(QStringLiteral("Ventanas.ini"));
    if (!ajustes || ajustes->fileName() != ruta) {
        if (ajustes)
            ajustes->sync();
        ajustes = std::make_unique<QSettings>(ruta, QSettings::IniFormat);
    }
    return *ajustes;
}

namespace {
QString claveTamano(const QString& clave)
{
    return QStringLiteral("Ventanas/") + clave + QStringLiteral("/tamano");
}

QString claveMaximizada(const QString& clave)
{
    return QStringLiteral("Ventanas/") + clave + QStringLiteral("/maximizada");
}

// Guarda el tamaño del marco cada vez que el usuario (o el área) lo cambia. Maximizada o
// minimizada sólo se guarda el estado: al volver, tiene el tamaño que tenía antes.
class GuardaTamano : public QObject
{
public:
    GuardaTamano(QWidget* marco, const QString& clave) : QObject(marco), marco_(marco), clave_(clave)
    {
        marco->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override
    {
        if (objeto != marco_)
            return false;
        const Qt::WindowStates estado = marco_->windowState();
        if (evento->type() == QEvent::Resize && !(estado & (Qt::WindowMaximized | Qt::WindowMinimized)))
            AjustesVentanas().setValue(claveTamano(clave_), marco_->size());
        else if (evento->type() == QEvent::WindowStateChange && !(estado & Qt::WindowMinimized))
            AjustesVentanas().setValue(claveMaximizada(clave_), bool(estado & Qt::WindowMaximized));
        return false;
    }

private:
    QPointer<QWidget> marco_;
    QString clave_;
};

// Espera a que la ventana se muestre en su marco para ponerle el tamaño guardado.
class PoneTamano : public QObject
{
public:
    PoneTamano(QWidget* ventana, const QString& clave) : QObject(ventana), ventana_(ventana), clave_(clave)
    {
        setObjectName(QStringLiteral("recuerdaTamano"));
        ventana->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override
    {
        if (objeto == ventana_ && evento->type() == QEvent::Show) {
            ventana_->removeEventFilter(this);
            poner();
        }
        return false;
    }

private:
    void poner()
    {
        auto* mdi = qobject_cast<QMdiSubWindow*>(ventana_->parentWidget());
        QWidget* marco = mdi ? static_cast<QWidget*>(mdi) : ventana_->isWindow() ? ventana_.data() : nullptr;
        if (!marco)
            return;
        QSettings& ajustes = AjustesVentanas();
        QSize tamano = ajustes.value(claveTamano(clave_)).toSize();
        if (tamano.isValid()) {
            // Guardado con otra pantalla o con la ventana principal más grande: que quepa en el área.
            if (QWidget* area = mdi ? mdi->parentWidget() : nullptr; area && area->width() > 0 && area->height() > 0)
                tamano = tamano.boundedTo(area->size());
            marco->resize(tamano.expandedTo(marco->minimumSizeHint()));
        }
        if (ajustes.value(claveMaximizada(clave_)).toBool())
            marco->setWindowState(marco->windowState() | Qt::WindowMaximized);
        new GuardaTamano(marco, clave_);
    }

    QPointer<QWidget> ventana_;
    QString clave_;
};
} // namespace

void RecordarTamano(QWidget* ventana, const QString& clave)
{
    if (!ventana || clave.isEmpty() ||
        ventana->findChild<QObject*>(QStringLiteral("recuerdaTamano"), Qt::FindDirectChildrenOnly))
        return;
    new PoneTamano(ventana, clave);
}

QHash<QString, int> AnchosGuardados(const QString& clave)
{
    QHash<QString, int> anchos;
    QSettings& ajustes = AjustesVentanas();
    ajustes.beginGroup(QStringLiteral("Columnas/") + clave);
    for (const QString& columna : ajustes.childKeys())
        if (const int ancho = ajustes.value(columna).toInt(); ancho > 0)
            anchos.insert(columna, ancho);
    ajustes.endGroup();
    return anchos;
}

void GuardarAncho(const QString& clave, const QString& columna, int ancho)
{
    if (!clave.isEmpty() && !columna.isEmpty() && ancho > 0)
        AjustesVentanas().setValue(QStringLiteral("Columnas/") + clave + QLatin1Char('/') + columna, ancho);
}
