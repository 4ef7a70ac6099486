#include "shell/LogosPresentacion.h"

#include "shell/Dibujos.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <iterator>

namespace {
// Todos los dibujos se hacen sobre un lienzo de 100 x 100 unidades y se escalan al lado pedido.
constexpr double Unidades = 100.0;

void hojaConMatriz(QPainter& g)
{
    // Fondo redondeado azul
    QLinearGradient fondo(0, 0, 0, Unidades);
    fondo.setStops({{0, QColor(52, 110, 190)}, {1, QColor(20, 58, 120)}});
    g.setPen(Qt::NoPen);
    g.setBrush(fondo);
    g.drawRoundedRect(QRectF(2, 2, 96, 96), 18, 18);

    // Hoja de la evaluación
    g.setPen(QPen(QColor(30, 40, 60), 1.2));
    HojaDoblada(g, QRectF(22, 14, 56, 74), 14, QColor(215, 222, 235));

    // Matriz de 3 x 3: de verde (trivial) a rojo (intolerable)
    const QColor colores[5] = {QColor(60, 170, 80), QColor(150, 200, 70), QColor(245, 200, 50), QColor(240, 130, 40),
                               QColor(210, 40, 40)};
    const double lado = 13.0;
    for (int fila = 0; fila < 3; ++fila)
        for (int col = 0; col < 3; ++col) {
            g.setPen(QPen(Qt::white, 1.0));
            g.setBrush(colores[(2 - fila) + col]);
            g.drawRect(QRectF(30 + col * lado, 36 + fila * lado, lado, lado));
        }
    // Marca de comprobado
    g.setPen(QPen(QColor(20, 58, 120), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    g.setBrush(Qt::NoBrush);
    g.drawPolyline(QPolygonF({QPointF(50, 80), QPointF(58, 86), QPointF(88, 58)}));
}

void escudoRegional(QPainter& g)
{
    QPainterPath escudo;
    escudo.moveTo(50, 4);
    escudo.cubicTo(66, 12, 80, 14, 92, 12);
    escudo.cubicTo(94, 54, 78, 80, 50, 96);
    escudo.cubicTo(22, 80, 6, 54, 8, 12);
    escudo.cubicTo(20, 14, 34, 12, 50, 4);
    QLinearGradient fondo(0, 0, Unidades, Unidades);
    fondo.setStops({{0, QColor(46, 150, 90)}, {1, QColor(16, 90, 52)}});
    g.setPen(QPen(QColor(10, 60, 34), 2));
    g.setBrush(fondo);
    g.drawPath(escudo);
    // Siete estrellas pequeñas en arco y una cruz de primeros auxilios
    g.setPen(Qt::NoPen);
    g.setBrush(Qt::white);
    g.drawRoundedRect(QRectF(42, 34, 16, 44), 3, 3);
    g.drawRoundedRect(QRectF(28, 48, 44, 16), 3, 3);
    g.setBrush(QColor(255, 220, 80));
    for (int i = 0; i < 7; ++i) {
        const double x = 24 + i * 8.7;
        const double y = 24 - (i == 0 || i == 6 ? 0 : (i == 1 || i == 5 ? 3 : (i == 3 ? 6 : 5)));
        g.drawEllipse(QPointF(x, y), 2.6, 2.6);
    }
}

void cascoSeguridad(QPainter& g)
{
    QRadialGradient fondo(QPointF(40, 35), 60);
    fondo.setStops({{0, QColor(40, 80, 150)}, {1, QColor(14, 34, 80)}});
    g.setPen(QPen(QColor(10, 24, 60), 2));
    g.setBrush(fondo);
    g.drawEllipse(QPointF(50, 50), 47, 47);
    // Casco
    QLinearGradient amarillo(0, 30, 0, 70);
    amarillo.setStops({{0, QColor(255, 224, 90)}, {1, QColor(230, 165, 20)}});
    g.setPen(QPen(QColor(120, 80, 0), 1.5));
    g.setBrush(amarillo);
    QPainterPath cupula;
    cupula.moveTo(24, 64);
    cupula.cubicTo(24, 38, 36, 26, 50, 26);
    cupula.cubicTo(64, 26, 76, 38, 76, 64);
    cupula.closeSubpath();
    g.drawPath(cupula);
    g.drawRoundedRect(QRectF(16, 62, 68, 8), 4, 4);
    g.setPen(QPen(QColor(150, 100, 0), 3, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(50, 28), QPointF(50, 60));
    g.drawArc(QRectF(34, 34, 32, 40), 40 * 16, 100 * 16);
}

void toldoComercio(QPainter& g)
{
    g.setPen(QPen(QColor(90, 60, 40), 1.5));
    g.setBrush(QColor(250, 244, 232));
    g.drawRoundedRect(QRectF(4, 4, 92, 92), 10, 10);
    // Fachada
    g.setBrush(QColor(200, 170, 130));
    g.drawRect(QRectF(16, 44, 68, 44));
    g.setBrush(QColor(170, 215, 235));
    g.drawRect(QRectF(22, 52, 30, 26));
    g.setBrush(QColor(120, 70, 40));
    g.drawRect(QRectF(58, 52, 20, 36));
    // Toldo a rayas
    for (int i = 0; i < 6; ++i) {
        g.setBrush(i % 2 == 0 ? QColor(200, 40, 40) : Qt::white);
        QPainterPath franja;
        const double x = 12 + i * 12.67;
        franja.moveTo(x + 3, 22);
        franja.lineTo(x + 3 + 12.67 - 2, 22);
        franja.lineTo(x + 12.67, 40);
        franja.arcTo(QRectF(x, 34, 12.67, 12), 0, -180);
        franja.closeSubpath();
        g.drawPath(franja);
    }
    g.setBrush(QColor(90, 60, 40));
    g.drawRect(QRectF(12, 18, 76, 5));
}

void selloPrevencion(QPainter& g)
{
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(240, 120, 30));
    g.drawEllipse(QPointF(50, 50), 48, 48);
    g.setBrush(Qt::white);
    g.drawEllipse(QPointF(50, 50), 40, 40);
    // Triángulo de advertencia
    QPainterPath triangulo;
    triangulo.moveTo(50, 18);
    triangulo.lineTo(82, 74);
    triangulo.lineTo(18, 74);
    triangulo.closeSubpath();
    g.setPen(QPen(QColor(30, 30, 30), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    g.setBrush(QColor(255, 210, 40));
    g.drawPath(triangulo);
    // Persona protegida dentro
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(30, 30, 30));
    g.drawEllipse(QPointF(50, 40), 5, 5);
    g.drawRoundedRect(QRectF(45, 47, 10, 16), 3, 3);
    g.drawRect(QRectF(45, 60, 4, 10));
    g.drawRect(QRectF(51, 60, 4, 10));
}
} // namespace

QPixmap DibujarLogo(Logo logo, int lado)
{
    // En el orden del enumerado.
    static void (*const dibujos[])(QPainter&) = {hojaConMatriz, escudoRegional, cascoSeguridad, toldoComercio,
                                                 selloPrevencion};
    static_assert(std::size(dibujos) == size_t(Logo::Prevencion) + 1);
    return Dibujar(lado, [&](QPainter& g) {
        g.scale(lado / Unidades, lado / Unidades);
        dibujos[static_cast<int>(logo)](g);
    });
}
