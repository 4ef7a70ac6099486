#include "shell/CajaBusqueda.h"

#include "shell/ManejadorErrores.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

CajaBusqueda::CajaBusqueda(const QString& nombre, const Textos& textos, QWidget* parent) : QWidget(parent)
{
    setObjectName(nombre + QStringLiteral("Marco"));
    linea_ = new QHBoxLayout(this);
    linea_->setContentsMargins(0, 0, 0, 0);
    caja_ = new QLineEdit;
    caja_->setObjectName(nombre);
    caja_->setClearButtonEnabled(true);
    caja_->setPlaceholderText(textos.ejemplo);
    caja_->setAccessibleName(textos.accesible);
    caja_->setToolTip(textos.nota);
    auto* etiqueta = new QLabel(textos.etiqueta);
    etiqueta->setBuddy(caja_);
    linea_->addWidget(etiqueta);
    linea_->addWidget(caja_, 1);
    caja_->installEventFilter(this);
    connect(caja_, &QLineEdit::textChanged, this,
            [this](const QString& texto) { ProtegerRanura([&] { buscar(texto); }, window()); });
}

bool CajaBusqueda::eventFilter(QObject* objeto, QEvent* evento)
{
    if (objeto == caja_ && evento->type() == QEvent::KeyPress) {
        const int tecla = static_cast<QKeyEvent*>(evento)->key();
        if (tecla == Qt::Key_Escape && !caja_->text().isEmpty()) {
            caja_->clear();
            return true;
        }
        if ((tecla == Qt::Key_Return || tecla == Qt::Key_Enter || tecla == Qt::Key_Down) && pasar())
            return true;
    }
    return QWidget::eventFilter(objeto, evento);
}
