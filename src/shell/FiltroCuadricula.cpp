#include "shell/FiltroCuadricula.h"

#include "shell/ManejadorErrores.h"
#include "shell/grid/Grid.h"

#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

FiltroCuadricula::FiltroCuadricula(const QString& nombre, Grid* cuadricula, QWidget* parent)
    : QWidget(parent), cuadricula_(cuadricula)
{
    setObjectName(nombre + QStringLiteral("Marco"));
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(0, 0, 0, 0);
    caja_ = new QLineEdit;
    caja_->setObjectName(nombre);
    caja_->setClearButtonEnabled(true);
    caja_->setPlaceholderText(QStringLiteral("Escriba una o varias palabras para ver sólo las filas que las tienen"));
    caja_->setAccessibleName(QStringLiteral("Buscar en la lista"));
    caja_->setToolTip(QStringLiteral("Sin distinguir mayúsculas ni acentos. Escape vuelve a enseñar todas las filas."));
    auto* etiqueta = new QLabel(QStringLiteral("&Buscar:"));
    etiqueta->setBuddy(caja_);
    h->addWidget(etiqueta);
    h->addWidget(caja_, 1);
    caja_->installEventFilter(this);
    connect(caja_, &QLineEdit::textChanged, this,
            [this](const QString& texto) { ProtegerRanura([&] { cuadricula_->setFilterText(texto); }, window()); });
}

void FiltroCuadricula::limpiar()
{
    caja_->clear();
}

bool FiltroCuadricula::eventFilter(QObject* objeto, QEvent* evento)
{
    if (objeto == caja_ && evento->type() == QEvent::KeyPress) {
        const int tecla = static_cast<QKeyEvent*>(evento)->key();
        if (tecla == Qt::Key_Escape && !caja_->text().isEmpty()) {
            caja_->clear();
            return true;
        }
        if (tecla == Qt::Key_Return || tecla == Qt::Key_Enter || tecla == Qt::Key_Down) {
            cuadricula_->activeView()->setFocus();
            return true;
        }
    }
    return QWidget::eventFilter(objeto, evento);
}
