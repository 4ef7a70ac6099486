#include "shell/grid/GroupArea.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

GroupArea::GroupArea(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("zonaAgrupacion"));
    setAccessibleName(tr("Zona de agrupación"));
    setFrameShape(QFrame::StyledPanel);
    setMinimumHeight(fontMetrics().height() + 16);
    fila_ = new QHBoxLayout(this);
    fila_->setContentsMargins(6, 4, 6, 4);
    fila_->setSpacing(4);
    aviso_ = new QLabel(QStringLiteral("Drag a column header here to group by that column"), this);
    aviso_->setObjectName(QStringLiteral("avisoAgrupacion"));
    aviso_->setAccessibleName(aviso_->text());
    fila_->addWidget(aviso_);
    fila_->addStretch(1);
    aplicarEstilo(false);
}

void GroupArea::aplicarEstilo(bool resaltada)
{
    const QPalette p = palette();
    const QColor fondo = resaltada ? p.color(QPalette::Highlight).lighter(175) : p.color(QPalette::Window).darker(106);
    setStyleSheet(QStringLiteral("GroupArea { background: %1; border: 1px %2 %3; }"
                                 "QLabel#avisoAgrupacion { color: %4; }"
                                 "QPushButton { background: %5; border: 1px solid %3; border-radius: 3px;"
                                 " padding: 2px 10px; }")
                      .arg(fondo.name(), resaltada ? QStringLiteral("dashed") : QStringLiteral("solid"),
                           p.color(QPalette::Mid).name(), p.color(QPalette::PlaceholderText).name(),
                           p.color(QPalette::Button).name()));
}

void GroupArea::setPrompt(const QString& texto)
{
    aviso_->setText(texto);
    aviso_->setAccessibleName(texto);
}

QString GroupArea::prompt() const
{
    return aviso_->text();
}

void GroupArea::setGroups(const QList<QPair<int, QString>>& grupos)
{
    // Se puede llegar aquí desde el filtro de eventos de uno de estos botones: no se borran en el acto.
    const auto retirar = [this](QWidget* w) {
        w->hide();
        w->setObjectName(QString());
        w->removeEventFilter(this);
        fila_->removeWidget(w);
        w->deleteLater();
    };
    for (QWidget* w : botones_)
        retirar(w);
    for (QWidget* w : separadores_)
        retirar(w);
    botones_.clear();
    separadores_.clear();
    pulsado_ = nullptr;
    arrastrando_ = false;
    aviso_->setVisible(grupos.isEmpty());
    int posicion = 0;
    for (const auto& g : grupos) {
        if (posicion > 0) {
            auto* sep = new QLabel(QStringLiteral("›"), this);
            sep->setAccessibleName(tr("y después"));
            separadores_ << sep;
            fila_->insertWidget(fila_->count() - 1, sep);
        }
        const QString titulo = QString(g.second).replace('\n', ' ');
        auto* b = new QPushButton(titulo, this);
        b->setObjectName(QStringLiteral("grupo%1").arg(g.first));
        b->setProperty("columna", g.first);
        b->setAccessibleName(tr("Agrupado por %1").arg(titulo));
        b->setToolTip(tr("Arrastre el botón fuera de esta zona (o pulse Supr) para dejar de agrupar"));
        b->setCursor(Qt::OpenHandCursor);
        b->installEventFilter(this);
        botones_ << b;
        fila_->insertWidget(fila_->count() - 1, b);
        ++posicion;
    }
}

QList<QPushButton*> GroupArea::groupButtons() const
{
    return botones_;
}

void GroupArea::setHighlighted(bool si)
{
    aplicarEstilo(si);
}

bool GroupArea::containsGlobal(const QPoint& global) const
{
    return isVisible() && rect().contains(mapFromGlobal(global));
}

bool GroupArea::eventFilter(QObject* objeto, QEvent* evento)
{
    auto* b = qobject_cast<QPushButton*>(objeto);
    if (!b || !botones_.contains(b))
        return QFrame::eventFilter(objeto, evento);
    const int columna = b->property("columna").toInt();
    switch (evento->type()) {
    case QEvent::MouseButtonPress: {
        auto* m = static_cast<QMouseEvent*>(evento);
        if (m->button() == Qt::LeftButton) {
            pulsado_ = b;
            inicio_ = m->position().toPoint();
            arrastrando_ = false;
        }
        return false;
    }
    case QEvent::MouseMove: {
        auto* m = static_cast<QMouseEvent*>(evento);
        if (pulsado_ != b || !(m->buttons() & Qt::LeftButton))
            return false;
        if (!arrastrando_ &&
            (m->position().toPoint() - inicio_).manhattanLength() >= QApplication::startDragDistance()) {
            arrastrando_ = true;
            b->setDown(false);
            b->setCursor(Qt::ClosedHandCursor);
        }
        if (arrastrando_)
            emit groupDragMoved(columna, b->mapToGlobal(m->position().toPoint()));
        return arrastrando_;
    }
    case QEvent::MouseButtonRelease: {
        auto* m = static_cast<QMouseEvent*>(evento);
        const bool soltado = arrastrando_ && pulsado_ == b && m->button() == Qt::LeftButton;
        pulsado_ = nullptr;
        arrastrando_ = false;
        if (!soltado)
            return false;
        b->setCursor(Qt::OpenHandCursor);
        b->setDown(false);
        emit groupDropped(columna, b->mapToGlobal(m->position().toPoint()));
        return true;
    }
    case QEvent::KeyPress: {
        const int tecla = static_cast<QKeyEvent*>(evento)->key();
        if (tecla == Qt::Key_Delete || tecla == Qt::Key_Backspace) {
            emit ungroupRequested(columna);
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}
