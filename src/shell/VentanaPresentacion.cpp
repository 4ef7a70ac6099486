#include "shell/VentanaPresentacion.h"

#include "plataforma/PlataformaServicios.h"
#include "shell/ManejadorErrores.h"
#include "shell/Rutinas.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>
#include <iterator>
#include <utility>

VentanaPresentacion::VentanaPresentacion(const QString& nombre, const QString& titulo, int intervalo)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(nombre);
    // Cerrarla es descargarla: no queda nada de ella cuando ya se ha pasado a la siguiente.
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(titulo);
    setCursor(Qt::PointingHandCursor);
    setFixedSize(640, 440);

    temporizadorPaso_ = new QTimer(this);
    temporizadorPaso_->setObjectName(QStringLiteral("Timer1"));
    temporizadorPaso_->setInterval(intervalo);
    temporizadorPaso_->setSingleShot(true);
    connect(temporizadorPaso_, &QTimer::timeout, this, [this] { pasarALaSiguiente(); });
    // Activo desde el principio: cuenta desde que se crea la ventana.
    temporizadorPaso_->start();
}

VentanaPresentacion::~VentanaPresentacion() = default;

int VentanaPresentacion::intervalo() const
{
    return temporizadorPaso_->interval();
}

void VentanaPresentacion::cargar()
{
    AplicarAccesibilidad(this);
    ProtegerRanura(
        [this] {
            Servicios().relojArena(true);
            show();
            CentrarFormulario(this);
            Servicios().relojArena(false);
        },
        this);
}

void VentanaPresentacion::hacerQuieto(QWidget* control)
{
    control->setAttribute(Qt::WA_NoMousePropagation);
    control->setCursor(Qt::ArrowCursor);
}

QLabel* VentanaPresentacion::etiqueta(const QString& nombre, const QString& texto, double escalaLetra, bool negrita)
{
    auto* e = new QLabel(texto, this);
    e->setObjectName(nombre);
    e->setWordWrap(true);
    e->setAlignment(Qt::AlignCenter);
    e->setTextFormat(Qt::PlainText);
    QFont letra = e->font();
    letra.setPointSizeF(letra.pointSizeF() * escalaLetra);
    letra.setBold(negrita);
    e->setFont(letra);
    QPalette colores = e->palette();
    colores.setColor(QPalette::WindowText, QColor(20, 40, 80));
    e->setPalette(colores);
    return e;
}

namespace {
// Nombre de control y descripción de cada logotipo, en el orden del enumerado.
constexpr std::pair<const char*, const char*> imagenesLogos[] = {
    {"Image1", "Logotipo de la aplicación"},
    {"Image4", "Plan regional de prevención"},
    {"Image5", "Organismo regional de seguridad y salud en el trabajo"},
    {"Image6", "Asociación del comercio"},
    {"Image2", "Prevención de riesgos laborales"},
};
static_assert(std::size(imagenesLogos) == size_t(Logo::Prevencion) + 1);
} // namespace

QVBoxLayout* VentanaPresentacion::disponer(int separacion, const Texto& principal, const Texto& quieto,
                                           const std::vector<Logo>& logos)
{
    auto* columna = new QVBoxLayout(this);
    // El margen deja a la vista el fondo de la ventana: también se puede pulsar ahí.
    columna->setContentsMargins(16, 16, 16, 16);
    columna->setSpacing(separacion);
    columna->addWidget(panel(QStringLiteral("SSPanel1"), {Logo::Aplicacion}, 96));
    columna->addWidget(etiqueta(principal.nombre, principal.texto, principal.escalaLetra, true), 2);
    QLabel* sinPaso = etiqueta(quieto.nombre, quieto.texto, quieto.escalaLetra, false);
    hacerQuieto(sinPaso);
    columna->addWidget(sinPaso, 1);
    columna->addWidget(panel(QStringLiteral("SSPanel2"), logos, 56));
    return columna;
}

QWidget* VentanaPresentacion::panel(const QString& nombre, const std::vector<Logo>& logos, int lado)
{
    auto* marco = new QFrame(this);
    marco->setObjectName(nombre);
    marco->setFrameShape(QFrame::StyledPanel);
    marco->setFrameShadow(QFrame::Raised);
    marco->setAutoFillBackground(true);
    QPalette fondo = marco->palette();
    fondo.setColor(QPalette::Window, QColor(250, 250, 252));
    marco->setPalette(fondo);
    hacerQuieto(marco);
    auto* fila = new QHBoxLayout(marco);
    fila->setContentsMargins(10, 6, 10, 6);
    fila->setSpacing(18);
    fila->addStretch(1);
    for (const Logo logo : logos) {
        const auto [nombre, texto] = imagenesLogos[static_cast<int>(logo)];
        auto* imagen = new QLabel(marco);
        imagen->setObjectName(QString::fromLatin1(nombre));
        imagen->setPixmap(DibujarLogo(logo, lado));
        const QString descripcion = QString::fromUtf8(texto);
        imagen->setAccessibleName(descripcion);
        imagen->setToolTip(descripcion);
        fila->addWidget(imagen);
    }
    fila->addStretch(1);
    return marco;
}

void VentanaPresentacion::mousePressEvent(QMouseEvent* evento)
{
    if (evento->button() == Qt::LeftButton) {
        pulsando_ = true;
        evento->accept();
        return;
    }
    QWidget::mousePressEvent(evento);
}

void VentanaPresentacion::mouseReleaseEvent(QMouseEvent* evento)
{
    // Un clic es pulsar y soltar dentro de la ventana, como en un botón.
    const bool clic = pulsando_ && evento->button() == Qt::LeftButton && rect().contains(evento->position().toPoint());
    if (evento->button() == Qt::LeftButton)
        pulsando_ = false;
    if (clic) {
        evento->accept();
        pasarALaSiguiente();
        return;
    }
    QWidget::mouseReleaseEvent(evento);
}

void VentanaPresentacion::paintEvent(QPaintEvent*)
{
    QPainter g(this);
    QLinearGradient fondo(0, 0, 0, height());
    fondo.setColorAt(0, QColor(236, 242, 250));
    fondo.setColorAt(1, QColor(206, 220, 238));
    g.fillRect(rect(), fondo);
    g.setPen(QPen(QColor(20, 58, 120), 3));
    g.drawRect(rect().adjusted(1, 1, -2, -2));
}

void VentanaPresentacion::pasarALaSiguiente()
{
    // El temporizador y un clic pueden coincidir: la siguiente se muestra una sola vez.
    if (hecho_)
        return;
    hecho_ = true;
    temporizadorPaso_->stop();
    ProtegerRanura([this] { mostrarSiguiente(); }, this);
    close();
}
