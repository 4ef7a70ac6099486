#include "shell/IconosEntrada.h"

#include "shell/Dibujos.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {
QIcon icono(const std::function<void(QPainter&)>& dibujo)
{
    return QIcon(Dibujar(IconosEntrada::Lado, dibujo));
}

// Documento: la hoja con la esquina doblada y cuatro renglones del color pedido.
void documento(QPainter& g, const QColor& color)
{
    g.setPen(QPen(QColor(90, 90, 90), 1.2));
    HojaDoblada(g, QRectF(9, 4, 23, 32), 7, QColor(220, 220, 220));
    g.setPen(QPen(color, 2));
    for (int y = 16; y <= 31; y += 5)
        g.drawLine(QPointF(13, y), QPointF(28, y));
}

// Botón redondo con brillo arriba a la izquierda: del color claro en el centro al oscuro en el
// borde, con el contorno del tercero. Lo llevan cerrar y ayuda.
void boton(QPainter& g, const QColor& claro, const QColor& oscuro, const QColor& contorno)
{
    QRadialGradient fondo(QPointF(17, 15), 18);
    fondo.setStops({{0, claro}, {1, oscuro}});
    g.setPen(QPen(contorno, 1.2));
    g.setBrush(fondo);
    g.drawEllipse(QPointF(20, 20), 15, 15);
}

// Base de datos: el cilindro de los tres botones que tratan con ella.
void cilindro(QPainter& g)
{
    QLinearGradient cuerpo(6, 0, 28, 0);
    cuerpo.setStops({{0, QColor(120, 120, 130)}, {0.5, QColor(200, 200, 210)}, {1, QColor(110, 110, 120)}});
    g.setPen(QPen(QColor(60, 60, 70), 1.2));
    g.setBrush(cuerpo);
    g.drawRect(QRectF(6, 9, 22, 22));
    g.drawEllipse(QRectF(6, 27, 22, 8));
    g.setPen(Qt::NoPen);
    g.drawRect(QRectF(6.6, 9, 20.8, 22));
    g.setPen(QPen(QColor(60, 60, 70), 1.2));
    g.setBrush(QColor(225, 225, 235));
    g.drawEllipse(QRectF(6, 5, 22, 8));
}

} // namespace

namespace IconosEntrada {
QIcon empresas()
{
    return icono([](QPainter& g) {
        QLinearGradient fachada(0, 6, 0, 36);
        fachada.setStops({{0, QColor(96, 140, 200)}, {1, QColor(40, 80, 150)}});
        g.setPen(QPen(QColor(30, 50, 90), 1.2));
        g.setBrush(fachada);
        g.drawRect(QRectF(6, 10, 17, 26));
        g.drawRect(QRectF(23, 18, 12, 18));
        g.setPen(Qt::NoPen);
        g.setBrush(QColor(255, 236, 150));
        for (int f = 0; f < 4; ++f)
            for (int c = 0; c < 3; ++c)
                g.drawRect(QRectF(8.5 + c * 5, 13 + f * 5.5, 3, 3));
        for (int f = 0; f < 3; ++f)
            g.drawRect(QRectF(26, 21 + f * 5, 6, 2.5));
        g.setBrush(QColor(60, 60, 60));
        g.drawRect(QRectF(12.5, 31, 4, 5));
    });
}

QIcon antesDeEmpezar()
{
    return icono([](QPainter& g) {
        documento(g, QColor(70, 130, 70));
        g.setPen(QPen(Qt::white, 1.5));
        g.setBrush(QColor(40, 150, 60));
        g.drawEllipse(QPointF(29, 30), 8, 8);
        g.setPen(Qt::NoPen);
        g.setBrush(Qt::white);
        g.drawPolygon(QPolygonF({QPointF(26.5, 25.5), QPointF(26.5, 34.5), QPointF(34, 30)}));
    });
}

QIcon conceptos()
{
    return icono([](QPainter& g) {
        // Libro abierto
        g.setPen(QPen(QColor(110, 70, 30), 1.2));
        g.setBrush(QColor(250, 245, 230));
        g.drawPolygon(QPolygonF({QPointF(4, 10), QPointF(20, 13), QPointF(20, 35), QPointF(4, 32)}));
        g.drawPolygon(QPolygonF({QPointF(36, 10), QPointF(20, 13), QPointF(20, 35), QPointF(36, 32)}));
        g.setPen(QPen(QColor(170, 140, 100), 1.2));
        for (int i = 0; i < 4; ++i) {
            g.drawLine(QPointF(7, 16 + i * 4), QPointF(17, 18 + i * 4));
            g.drawLine(QPointF(23, 18 + i * 4), QPointF(33, 16 + i * 4));
        }
        // Bombilla encima
        g.setPen(QPen(QColor(150, 110, 0), 1.2));
        g.setBrush(QColor(255, 215, 40));
        g.drawEllipse(QPointF(20, 8), 6, 6);
    });
}

QIcon utilidades()
{
    return icono([](QPainter& g) {
        cilindro(g);
        // Llave inglesa
        g.save();
        g.translate(27, 25);
        g.rotate(45);
        g.setPen(QPen(QColor(120, 40, 20), 1));
        g.setBrush(QColor(230, 120, 40));
        g.drawRoundedRect(QRectF(-2.5, -2, 5, 16), 1.5, 1.5);
        QPainterPath cabeza;
        cabeza.addEllipse(QPointF(0, -4), 6, 6);
        QPainterPath boca;
        boca.addRect(QRectF(-2.2, -11, 4.4, 8));
        g.drawPath(cabeza.subtracted(boca));
        g.restore();
    });
}

// Copia de seguridad: la base de datos con una flecha verde que sale hacia abajo.
QIcon copia()
{
    return icono([](QPainter& g) {
        cilindro(g);
        g.setPen(QPen(QColor(20, 90, 30), 1));
        g.setBrush(QColor(50, 170, 70));
        g.drawPolygon(QPolygonF({QPointF(28, 18), QPointF(34, 18), QPointF(34, 27), QPointF(38, 27), QPointF(31, 36),
                                 QPointF(24, 27), QPointF(28, 27)}));
    });
}

// Restaurar: la base de datos con una flecha azul que vuelve.
QIcon restaurar()
{
    return icono([](QPainter& g) {
        cilindro(g);
        g.setPen(QPen(QColor(30, 100, 200), 3, Qt::SolidLine, Qt::RoundCap));
        g.setBrush(Qt::NoBrush);
        g.drawArc(QRectF(22, 20, 14, 14), 90 * 16, 270 * 16);
        g.setPen(Qt::NoPen);
        g.setBrush(QColor(30, 100, 200));
        g.drawPolygon(QPolygonF({QPointF(29, 16), QPointF(29, 24), QPointF(24, 20)}));
    });
}

QIcon origenDatos()
{
    return icono([](QPainter& g) {
        cilindro(g);
        // Dos equipos unidos a la base de datos: la del servidor, compartida.
        g.setPen(QPen(QColor(40, 40, 50), 1.6, Qt::SolidLine, Qt::RoundCap));
        g.drawLine(QPointF(28, 22), QPointF(32, 22));
        g.drawLine(QPointF(32, 14), QPointF(32, 30));
        g.setPen(QPen(QColor(30, 60, 110), 1.2));
        g.setBrush(QColor(120, 180, 240));
        g.drawRect(QRectF(29, 8, 8, 6));
        g.drawRect(QRectF(29, 30, 8, 6));
    });
}

QIcon lectorPdf()
{
    return icono([](QPainter& g) {
        documento(g, QColor(200, 200, 200));
        g.setPen(Qt::NoPen);
        g.setBrush(QColor(200, 20, 20));
        g.drawRoundedRect(QRectF(4, 20, 24, 12), 2, 2);
        QFont letra = g.font();
        letra.setBold(true);
        letra.setPixelSize(9);
        g.setFont(letra);
        g.setPen(Qt::white);
        g.drawText(QRectF(4, 20, 24, 12), Qt::AlignCenter, QStringLiteral("PDF"));
        // Flecha de descarga
        g.setPen(Qt::NoPen);
        g.setBrush(QColor(30, 110, 200));
        g.drawPolygon(QPolygonF({QPointF(31, 22), QPointF(35, 22), QPointF(35, 29), QPointF(38, 29), QPointF(33, 35),
                                 QPointF(28, 29), QPointF(31, 29)}));
    });
}

QIcon cerrar()
{
    return icono([](QPainter& g) {
        boton(g, QColor(240, 90, 80), QColor(170, 20, 20), QColor(120, 10, 10));
        g.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
        g.drawArc(QRectF(12, 12, 16, 16), 120 * 16, 300 * 16);
        g.drawLine(QPointF(20, 9), QPointF(20, 20));
    });
}

QIcon ayuda()
{
    return icono([](QPainter& g) {
        boton(g, QColor(110, 170, 245), QColor(25, 85, 175), QColor(15, 55, 125));
        // La interrogación trazada, no escrita: se ve igual con cualquier letra.
        QPainterPath gancho;
        gancho.moveTo(14.5, 15.5);
        gancho.cubicTo(14.5, 9, 25.5, 9, 25.5, 15.5);
        gancho.cubicTo(25.5, 19.5, 20, 19.5, 20, 24.5);
        g.setPen(QPen(Qt::white, 3.4, Qt::SolidLine, Qt::RoundCap));
        g.setBrush(Qt::NoBrush);
        g.drawPath(gancho);
        g.setPen(Qt::NoPen);
        g.setBrush(Qt::white);
        g.drawEllipse(QPointF(20, 30), 2.3, 2.3);
    });
}

QIcon imprimir()
{
    return icono([](QPainter& g) {
        g.setPen(QPen(QColor(90, 90, 90), 1.2));
        // La hoja que entra por arriba, el cuerpo y la hoja impresa que sale por delante.
        g.setBrush(Qt::white);
        g.drawRect(QRectF(12, 5, 16, 11));
        QLinearGradient cuerpo(0, 14, 0, 30);
        cuerpo.setStops({{0, QColor(200, 200, 205)}, {1, QColor(120, 120, 130)}});
        g.setBrush(cuerpo);
        g.drawRoundedRect(QRectF(5, 14, 30, 14), 3, 3);
        g.setBrush(QColor(90, 200, 90));
        g.drawEllipse(QPointF(30, 18.5), 1.6, 1.6);
        HojaDoblada(g, QRectF(11, 24, 18, 12), 0.1, Qt::white);
        g.setPen(QPen(QColor(60, 100, 170), 1.6));
        for (int y = 28; y <= 33; y += 3)
            g.drawLine(QPointF(14, y), QPointF(26, y));
    });
}

QIcon lupa(bool ampliar)
{
    return icono([ampliar](QPainter& g) {
        g.setPen(QPen(QColor(70, 70, 80), 5, Qt::SolidLine, Qt::RoundCap));
        g.drawLine(QPointF(26, 26), QPointF(35, 35));
        g.setPen(QPen(QColor(70, 70, 80), 2.4));
        g.setBrush(QColor(225, 240, 255));
        g.drawEllipse(QPointF(17, 17), 12, 12);
        g.setPen(QPen(QColor(20, 70, 160), 3.2, Qt::SolidLine, Qt::RoundCap));
        g.drawLine(QPointF(11, 17), QPointF(23, 17));
        if (ampliar)
            g.drawLine(QPointF(17, 11), QPointF(17, 23));
    });
}

} // namespace IconosEntrada
