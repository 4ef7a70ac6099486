#include "shell/Dibujos.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

QPixmap Dibujar(int lado, const std::function<void(QPainter&)>& dibujo)
{
    constexpr double densidad = 2.0;
    QPixmap lienzo(static_cast<int>(lado * densidad), static_cast<int>(lado * densidad));
    lienzo.setDevicePixelRatio(densidad);
    lienzo.fill(Qt::transparent);
    QPainter g(&lienzo);
    g.setRenderHint(QPainter::Antialiasing);
    dibujo(g);
    return lienzo;
}

void HojaDoblada(QPainter& g, const QRectF& hoja, double doblez, const QColor& colorDoblez)
{
    const double izquierda = hoja.left(), arriba = hoja.top(), derecha = hoja.right(), abajo = hoja.bottom();
    QPainterPath contorno;
    contorno.moveTo(izquierda, arriba);
    contorno.lineTo(derecha - doblez, arriba);
    contorno.lineTo(derecha, arriba + doblez);
    contorno.lineTo(derecha, abajo);
    contorno.lineTo(izquierda, abajo);
    contorno.closeSubpath();
    g.setBrush(Qt::white);
    g.drawPath(contorno);
    g.setBrush(colorDoblez);
    g.drawPolygon(QPolygonF({QPointF(derecha - doblez, arriba), QPointF(derecha - doblez, arriba + doblez),
                             QPointF(derecha, arriba + doblez)}));
}
