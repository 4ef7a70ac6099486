#include "repair/DigitosReloj.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {
const QColor fondo(24, 28, 24);
const QColor encendido(64, 230, 96);
const QColor apagado(40, 58, 42);
constexpr int ancho = 28;
constexpr int alto = 48;

// Segmentos a b c d e f g (arriba, arriba derecha, abajo derecha, abajo, abajo izquierda,
// arriba izquierda, centro) que lleva cada cifra.
constexpr unsigned char segmentos[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

// Segmento con las puntas en bisel, de (x1, y1) a (x2, y2), horizontal o vertical.
QPolygonF segmento(QPointF a, QPointF b, double grosor)
{
    const double m = grosor / 2;
    if (a.y() == b.y())
        return QPolygonF({{a.x(), a.y()},
                          {a.x() + m, a.y() - m},
                          {b.x() - m, b.y() - m},
                          {b.x(), b.y()},
                          {b.x() - m, b.y() + m},
                          {a.x() + m, a.y() + m}});
    return QPolygonF({{a.x(), a.y()},
                      {a.x() + m, a.y() + m},
                      {b.x() + m, b.y() - m},
                      {b.x(), b.y()},
                      {b.x() - m, b.y() - m},
                      {a.x() - m, a.y() + m}});
}

QPixmap lienzo(int w)
{
    QPixmap p(w, alto);
    p.fill(fondo);
    return p;
}
} // namespace

QSize TamanoDigitoReloj()
{
    return {ancho, alto};
}

QPixmap DibujarDigitoReloj(int cifra)
{
    QPixmap p = lienzo(ancho);
    QPainter pintor(&p);
    pintor.setRenderHint(QPainter::Antialiasing);
    pintor.setPen(Qt::NoPen);
    const double g = 5, hueco = 1, izq = 5, der = ancho - 5, arriba = 5, abajo = alto - 5, medio = alto / 2.0;
    const QPolygonF trazos[7] = {
        segmento({izq + hueco, arriba}, {der - hueco, arriba}, g),
        segmento({der, arriba + hueco}, {der, medio - hueco}, g),
        segmento({der, medio + hueco}, {der, abajo - hueco}, g),
        segmento({izq + hueco, abajo}, {der - hueco, abajo}, g),
        segmento({izq, medio + hueco}, {izq, abajo - hueco}, g),
        segmento({izq, arriba + hueco}, {izq, medio - hueco}, g),
        segmento({izq + hueco, medio}, {der - hueco, medio}, g),
    };
    const unsigned char lleva = cifra >= 0 && cifra <= 9 ? segmentos[cifra] : 0;
    for (int i = 0; i < 7; ++i) {
        // Los apagados se ven un poco, como en un marcador de verdad.
        pintor.setBrush((lleva >> i) & 1 ? encendido : apagado);
        pintor.drawPolygon(trazos[i]);
    }
    return p;
}

QPixmap DibujarSeparadorReloj()
{
    QPixmap p = lienzo(12);
    QPainter pintor(&p);
    pintor.setRenderHint(QPainter::Antialiasing);
    pintor.setPen(Qt::NoPen);
    pintor.setBrush(encendido);
    pintor.drawEllipse(QPointF(6, alto * 0.33), 2.5, 2.5);
    pintor.drawEllipse(QPointF(6, alto * 0.67), 2.5, 2.5);
    return p;
}
