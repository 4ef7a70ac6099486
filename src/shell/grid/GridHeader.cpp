#include "shell/grid/GridHeader.h"

#include <QApplication>
#include <QMouseEvent>
#include <QStyle>

GridHeader::GridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setDefaultAlignment(Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
    setSectionsClickable(false);
    setSectionsMovable(false);
    setHighlightSections(false);
    setAccessibleName(tr("Encabezados de columna"));
}

void GridHeader::setColumnDragEnabled(bool si)
{
    arrastreActivo_ = si;
}

bool GridHeader::columnDragEnabled() const
{
    return arrastreActivo_;
}

// Siempre cabe un título de dos líneas, lleve o no salto de línea.
QSize GridHeader::sizeHint() const
{
    QSize t = QHeaderView::sizeHint();
    const int dos = fontMetrics().lineSpacing() * 2 + 2 * style()->pixelMetric(QStyle::PM_HeaderMargin) + 6;
    t.setHeight(qMax(t.height(), dos));
    return t;
}

void GridHeader::mousePressEvent(QMouseEvent* evento)
{
    pulsada_ = -1;
    arrastrando_ = false;
    if (arrastreActivo_ && evento->button() == Qt::LeftButton) {
        const QPoint p = evento->position().toPoint();
        const int s = logicalIndexAt(p);
        if (s >= 0) {
            // Junto al borde de una sección se cambia la anchura, no se arrastra.
            const int margen = style()->pixelMetric(QStyle::PM_HeaderGripMargin) + 1;
            const int izquierda = sectionViewportPosition(s);
            const int derecha = izquierda + sectionSize(s);
            if (p.x() - izquierda > margen && derecha - p.x() > margen) {
                pulsada_ = s;
                inicio_ = p;
            }
        }
    }
    QHeaderView::mousePressEvent(evento);
}

void GridHeader::mouseMoveEvent(QMouseEvent* evento)
{
    if (pulsada_ >= 0 && (evento->buttons() & Qt::LeftButton)) {
        const QPoint p = evento->position().toPoint();
        if (!arrastrando_ && (p - inicio_).manhattanLength() >= QApplication::startDragDistance()) {
            arrastrando_ = true;
            viewport()->setCursor(Qt::ClosedHandCursor);
        }
        if (arrastrando_) {
            emit columnDragMoved(pulsada_, viewport()->mapToGlobal(p));
            return;
        }
    }
    QHeaderView::mouseMoveEvent(evento);
}

void GridHeader::mouseReleaseEvent(QMouseEvent* evento)
{
    if (arrastrando_ && evento->button() == Qt::LeftButton) {
        const int s = pulsada_;
        pulsada_ = -1;
        arrastrando_ = false;
        viewport()->unsetCursor();
        emit columnDropped(s, viewport()->mapToGlobal(evento->position().toPoint()));
        return;
    }
    pulsada_ = -1;
    QHeaderView::mouseReleaseEvent(evento);
}
