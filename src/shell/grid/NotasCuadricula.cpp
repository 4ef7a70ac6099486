#include "shell/grid/Grid.h"

#include "shell/ManejadorErrores.h"
#include "shell/Rutinas.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/GridDelegate.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <QTreeView>

// Las notas de celda de la cuadrícula: cuándo se piden (el puntero parado sobre una celda) y
// cómo se enseñan (letra, colores, anchura y sitio, siempre dentro de la pantalla).

namespace {
QString colorCss(const QColor& c)
{
    return QStringLiteral("rgb(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
}
} // namespace

void Grid::setTipAnchored(bool si)
{
    tipAnclada_ = si;
}

bool Grid::tipAnchored() const
{
    return tipAnclada_;
}

void Grid::setTipWidth(int twips)
{
    tipAncho_ = qMax(0, twips);
}

int Grid::tipWidth() const
{
    return tipAncho_;
}

void Grid::setTipDelay(int milisegundos)
{
    tipRetardo_ = qMax(0, milisegundos);
    relojTip_->setInterval(tipRetardo_);
}

int Grid::tipDelay() const
{
    return tipRetardo_;
}

void Grid::setTipMovesCurrentRow(bool si)
{
    tipMueveFila_ = si;
}

bool Grid::tipMovesCurrentRow() const
{
    return tipMueveFila_;
}

bool Grid::eventFilter(QObject* objeto, QEvent* evento)
{
    QAbstractItemView* v = activeView();
    if (evento->type() == QEvent::Resize && (objeto == tabla_->viewport() || objeto == arbol_->viewport()))
        repartirAnchos();
    if (objeto == v->viewport()) {
        switch (evento->type()) {
        case QEvent::MouseMove: {
            const QPoint p = static_cast<QMouseEvent*>(evento)->position().toPoint();
            posicionTip_ = p;
            const QModelIndex i = v->indexAt(p);
            if (i != celdaTip_) {
                ocultarTip();
                celdaTip_ = i;
            }
            // La nota sale cuando el puntero lleva parado el retardo.
            if (!tip_->isVisible() && i.isValid())
                relojTip_->start();
            break;
        }
        case QEvent::Leave:
            relojTip_->stop();
            ocultarTip();
            celdaTip_ = QPersistentModelIndex();
            break;
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
            relojTip_->stop();
            ocultarTip();
            break;
        default:
            break;
        }
    } else if (objeto == v && (evento->type() == QEvent::KeyPress || evento->type() == QEvent::FocusOut)) {
        ocultarTip();
    }
    return QWidget::eventFilter(objeto, evento);
}

void Grid::pedirTip()
{
    QAbstractItemView* v = activeView();
    if (!origen_ || (v == arbol_ ? delegadoArbol_ : delegadoTabla_)->editing())
        return;
    const QModelIndex i = v->indexAt(posicionTip_);
    if (!i.isValid())
        return;
    const int fila = i.data(GridRole::SourceRow).toInt();
    const int columna = i.column();
    CellTip tip;
    ProtegerRanura(
        [&] {
            if (tipMueveFila_ && fila >= 0)
                origen_->setCurrentRow(fila);
            emit cellTipRequested(0, columna, fila, &tip);
        },
        window());
    if (tip.text.isEmpty())
        return;

    QString texto = tip.text;
    texto.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace('\r', '\n');
    // Los saltos del final sólo dejarían una franja vacía al pie de la nota.
    while (texto.endsWith('\n'))
        texto.chop(1);
    QFont letra = font();
    if (tip.fontSize > 0)
        letra.setPointSize(tip.fontSize);
    letra.setBold(tip.bold);
    tip_->setFont(letra);
    const QColor tinta = tip.textColor.isValid() ? tip.textColor : palette().color(QPalette::ToolTipText);
    const QColor fondo = tip.fillColor.isValid() ? tip.fillColor : palette().color(QPalette::ToolTipBase);
    tip_->setStyleSheet(
        QStringLiteral("QLabel { color: %1; background-color: %2; border: 1px solid %3; padding: 4px; }")
            .arg(colorCss(tinta), colorCss(fondo), colorCss(fondo.darker(150))));
    tip_->setText(texto);
    if (tipAncho_ > 0) {
        const int ancho = TwipsAPixeles(tipAncho_, this);
        tip_->setWordWrap(tip.wordWrap);
        tip_->setFixedWidth(ancho);
        tip_->setFixedHeight(tip.wordWrap ? tip_->heightForWidth(ancho) : tip_->sizeHint().height());
    } else {
        tip_->setWordWrap(false);
        tip_->setMinimumSize(0, 0);
        tip_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        tip_->adjustSize();
    }
    QPoint donde;
    if (tipAnclada_) {
        const QRect celda = v->visualRect(v->indexAt(posicionTip_));
        donde = v->viewport()->mapToGlobal(QPoint(celda.left(), celda.bottom() + 2));
    } else {
        donde = v->viewport()->mapToGlobal(posicionTip_) + QPoint(12, 18);
    }
    // Dentro de la pantalla aunque la celda esté junto al borde.
    if (QScreen* pantalla = screen()) {
        const QRect util = pantalla->availableGeometry();
        donde.setX(qBound(util.left(), donde.x(), qMax(util.left(), util.right() - tip_->width())));
        if (donde.y() + tip_->height() > util.bottom())
            donde.setY(qMax(util.top(), donde.y() - tip_->height() - v->visualRect(i).height() - 4));
    }
    tip_->move(donde);
    tip_->show();
    tip_->raise();
}

void Grid::ocultarTip()
{
    if (tip_->isVisible())
        tip_->hide();
}
