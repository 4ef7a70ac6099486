#include "plataforma/GeometriaVentana.h"

#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QScreen>
#include <QWidget>

#include <cmath>

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
