#include "reports/VistaPreviaInforme.h"

#include "reports/DocumentoInforme.h"

#include <QElapsedTimer>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {
constexpr int Margen = 12;        // alrededor de las hojas y entre una y otra
constexpr int HojasGuardadas = 8; // hojas pintadas que se guardan para volver a ellas sin repintar
constexpr qreal ZoomMinimo = 0.1, ZoomMaximo = 6.0;
} // namespace

VistaPreviaInforme::VistaPreviaInforme(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    verticalScrollBar()->setSingleStep(40);
    horizontalScrollBar()->setSingleStep(40);
    // Se compone en los ratos libres de la ventana, a pasos cortos para que siga respondiendo.
    composicion_.setInterval(0);
    connect(&composicion_, &QTimer::timeout, this, [this] { seguirComponiendo(); });
}

VistaPreviaInforme::~VistaPreviaInforme() = default;

void VistaPreviaInforme::setDocumento(const DocumentoInforme* documento)
{
    documento_ = documento;
    updatePreview();
    if (documento_ && !documento_->compuesto())
        composicion_.start();
    else
        composicion_.stop();
}

bool VistaPreviaInforme::composicionTerminada() const
{
    return !documento_ || documento_->compuesto();
}

void VistaPreviaInforme::seguirComponiendo()
{
    if (!documento_) {
        composicion_.stop();
        return;
    }
    const int antes = pageCount();
    QElapsedTimer reloj;
    reloj.start();
    bool hecho = documento_->compuesto();
    while (!hecho && reloj.elapsed() < 30)
        hecho = documento_->componerPaso();
    if (hecho) {
        composicionAcabada();
    } else if (pageCount() != antes) {
        recolocar();
        emit previewChanged();
    }
}

void VistaPreviaInforme::completar()
{
    if (!documento_ || !composicion_.isActive())
        return;
    documento_->paginas();
    composicionAcabada();
}

void VistaPreviaInforme::composicionAcabada()
{
    composicion_.stop();
    // El pie de las hojas ya pintadas decía "de …": se vuelven a pintar con el total.
    pintadas_.clear();
    recolocar();
    viewport()->update();
    emit previewChanged();
}

void VistaPreviaInforme::updatePreview()
{
    pintadas_.clear();
    actual_ = pageCount() > 0 ? 1 : 0;
    aplicarAjuste();
    recolocar();
    moviendo_ = true;
    verticalScrollBar()->setValue(0);
    moviendo_ = false;
    viewport()->update();
    emit previewChanged();
}

int VistaPreviaInforme::pageCount() const
{
    return documento_ ? documento_->paginasCompuestas() : 0;
}

QSizeF VistaPreviaInforme::tamanoHoja() const
{
    // La hoja a su tamaño real: los píxeles a 96 ppp pasan a los de la pantalla.
    const QSizeF a96 = DocumentoInforme::tamanoHoja();
    return QSizeF(a96.width() * logicalDpiX() / 96.0, a96.height() * logicalDpiY() / 96.0);
}

QSize VistaPreviaInforme::tamanoHojaVista() const
{
    const QSizeF t = tamanoHoja() * zoom_;
    return QSize(std::max(1, qRound(t.width())), std::max(1, qRound(t.height())));
}

int VistaPreviaInforme::alto() const
{
    const int n = pageCount();
    return n == 0 ? 0 : Margen + n * (tamanoHojaVista().height() + Margen);
}

int VistaPreviaInforme::arribaDe(int pagina) const
{
    return Margen + (pagina - 1) * (tamanoHojaVista().height() + Margen);
}

void VistaPreviaInforme::recolocar()
{
    const QSize vista = viewport()->size();
    const QSize hoja = tamanoHojaVista();
    verticalScrollBar()->setPageStep(vista.height());
    verticalScrollBar()->setRange(0, std::max(0, alto() - vista.height()));
    horizontalScrollBar()->setPageStep(vista.width());
    horizontalScrollBar()->setRange(0, pageCount() == 0 ? 0 : std::max(0, hoja.width() + 2 * Margen - vista.width()));
}

void VistaPreviaInforme::aplicarAjuste()
{
    if (ajuste_ == Ajuste::Libre || pageCount() == 0)
        return;
    const QSizeF hoja = tamanoHoja();
    // Sin contar la barra vertical, que casi siempre está: así no cambia el zoom al aparecer.
    const int barra = verticalScrollBar()->isVisible() ? 0 : style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const qreal ancho = std::max(50, viewport()->width() - barra - 2 * Margen);
    const qreal alto = std::max(50, viewport()->height() - 2 * Margen);
    qreal zoom = ancho / hoja.width();
    if (ajuste_ == Ajuste::Pagina)
        zoom = std::min(zoom, alto / hoja.height());
    zoom_ = std::clamp(zoom, ZoomMinimo, ZoomMaximo);
}

void VistaPreviaInforme::setZoomFactor(qreal factor)
{
    ajuste_ = Ajuste::Libre;
    const int pagina = actual_;
    // Se conserva el sitio de la hoja actual que se estaba mirando.
    const int altoHoja = tamanoHojaVista().height() + Margen;
    const qreal dentro = pagina > 0 ? qreal(verticalScrollBar()->value() - arribaDe(pagina) + Margen) / altoHoja : 0.0;
    zoom_ = std::clamp(factor, ZoomMinimo, ZoomMaximo);
    recolocar();
    if (pagina > 0) {
        moviendo_ = true;
        verticalScrollBar()->setValue(
            qRound(arribaDe(pagina) - Margen + dentro * (tamanoHojaVista().height() + Margen)));
        moviendo_ = false;
    }
    viewport()->update();
    emit previewChanged();
}

void VistaPreviaInforme::zoomIn(qreal factor)
{
    setZoomFactor(zoom_ * factor);
}

void VistaPreviaInforme::zoomOut(qreal factor)
{
    setZoomFactor(zoom_ / factor);
}

void VistaPreviaInforme::fitToWidth()
{
    ajustar(Ajuste::Ancho);
}

void VistaPreviaInforme::fitInView()
{
    ajustar(Ajuste::Pagina);
}

void VistaPreviaInforme::ajustar(Ajuste ajuste)
{
    ajuste_ = ajuste;
    const int pagina = std::max(actual_, 1);
    aplicarAjuste();
    recolocar();
    if (pageCount() > 0)
        setCurrentPage(pagina);
    viewport()->update();
    emit previewChanged();
}

void VistaPreviaInforme::setCurrentPage(int pagina)
{
    const int n = pageCount();
    if (n == 0)
        return;
    pagina = std::clamp(pagina, 1, n);
    moviendo_ = true;
    verticalScrollBar()->setValue(arribaDe(pagina) - Margen);
    moviendo_ = false;
    // La última hoja puede no llegar arriba del todo: la actual es la pedida, no la que más se ve.
    const bool cambia = pagina != actual_;
    actual_ = pagina;
    viewport()->update();
    if (cambia)
        emit previewChanged();
}

void VistaPreviaInforme::calcularActual()
{
    const int n = pageCount();
    if (n == 0)
        return;
    const int arriba = verticalScrollBar()->value();
    const int abajo = arriba + viewport()->height();
    const int paso = tamanoHojaVista().height() + Margen;
    const int primera = std::clamp((arriba - Margen) / paso + 1, 1, n);
    int mejor = primera, visto = -1;
    for (int p = primera; p <= n && arribaDe(p) < abajo; ++p) {
        const int desde = std::max(arriba, arribaDe(p));
        const int hasta = std::min(abajo, arribaDe(p) + tamanoHojaVista().height());
        if (hasta - desde > visto) {
            visto = hasta - desde;
            mejor = p;
        }
    }
    if (mejor != actual_) {
        actual_ = mejor;
        emit previewChanged();
    }
}

void VistaPreviaInforme::scrollContentsBy(int, int)
{
    if (!moviendo_)
        calcularActual();
    viewport()->update();
}

void VistaPreviaInforme::resizeEvent(QResizeEvent* evento)
{
    QAbstractScrollArea::resizeEvent(evento);
    const int pagina = actual_;
    const Ajuste antes = ajuste_;
    const qreal zoom = zoom_;
    aplicarAjuste();
    recolocar();
    if (antes != Ajuste::Libre && zoom != zoom_ && pagina > 0)
        setCurrentPage(pagina);
}

bool VistaPreviaInforme::viewportEvent(QEvent* evento)
{
    // Control y la rueda del ratón acercan y alejan, como en los visores de documentos.
    if (evento->type() == QEvent::Wheel) {
        auto* rueda = static_cast<QWheelEvent*>(evento);
        if (rueda->modifiers() & Qt::ControlModifier) {
            const int giro = rueda->angleDelta().y();
            if (giro > 0)
                zoomIn(1.1);
            else if (giro < 0)
                zoomOut(1.1);
            return true;
        }
    }
    return QAbstractScrollArea::viewportEvent(evento);
}

const QImage& VistaPreviaInforme::hoja(int pagina)
{
    const qreal ratio = viewport()->devicePixelRatioF();
    for (qsizetype i = 0; i < pintadas_.size(); ++i) {
        if (pintadas_[i].pagina == pagina && pintadas_[i].zoom == zoom_ && pintadas_[i].ratio == ratio) {
            pintadas_.move(i, pintadas_.size() - 1);
            return pintadas_.last().imagen;
        }
    }
    const QSize tam = tamanoHojaVista();
    QImage imagen(QSize(qCeil(tam.width() * ratio), qCeil(tam.height() * ratio)), QImage::Format_RGB32);
    imagen.setDevicePixelRatio(ratio);
    imagen.fill(Qt::white);
    {
        QPainter pintor(&imagen);
        pintor.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        documento_->pintarHoja(pintor, pagina, tam.width() / DocumentoInforme::tamanoHoja().width());
    }
    if (pintadas_.size() >= HojasGuardadas)
        pintadas_.removeFirst();
    pintadas_.append({pagina, zoom_, ratio, std::move(imagen)});
    return pintadas_.last().imagen;
}

void VistaPreviaInforme::paintEvent(QPaintEvent* evento)
{
    QPainter pintor(viewport());
    pintor.fillRect(evento->rect(), palette().color(QPalette::Dark));
    const int n = pageCount();
    if (n == 0)
        return;
    const QSize tam = tamanoHojaVista();
    const int x0 = std::max(Margen, (viewport()->width() - tam.width()) / 2) - horizontalScrollBar()->value();
    const int arriba = verticalScrollBar()->value();
    const QRect visible = evento->rect();
    const int paso = tam.height() + Margen;
    for (int p = std::clamp((arriba + visible.top() - Margen) / paso + 1, 1, n); p <= n; ++p) {
        const QRect rect(x0, arribaDe(p) - arriba, tam.width(), tam.height());
        if (rect.top() > visible.bottom())
            break;
        if (!rect.intersects(visible))
            continue;
        // Una sombra ligera bajo la hoja, como el papel sobre la mesa.
        pintor.fillRect(rect.translated(3, 3), QColor(0, 0, 0, 60));
        pintor.drawImage(rect.topLeft(), hoja(p));
    }
}
