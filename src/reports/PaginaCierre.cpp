#include "PaginaCierre.h"

#include "Globales.h"
#include "ManejadorErrores.h"
#include "Recordset.h"
#include "RegistroVentanas.h"
#include "Rutinas.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

PaginaCierre::PaginaCierre(const QString& nombre, const QString& nombreVisualizar, const QString& ayudaVolver,
                           const QString& ayudaInicio, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(nombre);
    setAttribute(Qt::WA_DeleteOnClose);

    Label1_ = new QLabel(this);
    Label1_->setObjectName(QStringLiteral("Label1"));
    Label1_->setTextFormat(Qt::PlainText);
    Label1_->setWordWrap(true);
    Label1_->setAlignment(Qt::AlignCenter);
    QFont f = Label1_->font();
    f.setPointSizeF(f.pointSizeF() * 1.2);
    Label1_->setFont(f);

    visualizar_ = new QPushButton(this);
    visualizar_->setObjectName(nombreVisualizar);
    visualizar_->setMinimumWidth(160);
    visualizar_->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));

    const auto botonImagen = [this](const QString& objeto, const QString& ayuda, QStyle::StandardPixmap icono) {
        auto* b = new QToolButton(this);
        b->setObjectName(objeto);
        b->setToolTip(ayuda);
        b->setAccessibleName(ayuda);
        b->setIcon(style()->standardIcon(icono));
        b->setIconSize(QSize(32, 32));
        b->setAutoRaise(true);
        return b;
    };
    Picture1_ = botonImagen(QStringLiteral("Picture1"), ayudaVolver, QStyle::SP_ArrowBack);
    Image1_ = botonImagen(QStringLiteral("Image1"), ayudaInicio, QStyle::SP_DirHomeIcon);

    auto* botones = new QHBoxLayout;
    botones->addWidget(Picture1_);
    botones->addWidget(Image1_);
    botones->addStretch();
    botones->addWidget(visualizar_);
    botones->addStretch();
    auto* caja = new QVBoxLayout(this);
    caja->addStretch();
    caja->addWidget(Label1_);
    caja->addSpacing(12);
    caja->addLayout(botones);
    caja->addStretch();
}

void PaginaCierre::cargar(const std::function<QString(const QString&)>& texto)
{
    QString direccion;
    Recordset centro;
    EjecutarCarga({[this] { ColocarEnTwips(this, 100, 100, 12700, 4050); },
                   [this] { setWindowTitle(QStringLiteral("Imprimir Evaluación")); },
                   [this] { visualizar_->setText(QStringLiteral("Vista Previa")); },
                   [&] {
                       centro.open(QStringLiteral("Select * from CentroTrabajo where IDCentro = ") +
                                       QString::number(gIDCentro) + QStringLiteral(";"),
                                   gConexion);
                       centro.requery();
                   },
                   [&] { direccion = NuloATexto(centro.value(QStringLiteral("Direccion"))).toString(); },
                   [&] { Label1_->setText(texto(direccion)); }},
                  this);
    AplicarAccesibilidad(this);
}

void PaginaCierre::ocultarPagina()
{
    if (auto* marco = qobject_cast<QMdiSubWindow*>(parentWidget()))
        marco->hide();
    else
        hide();
}

void PaginaCierre::descubrir(const QString& nombre)
{
    RegistroVentanas* registro = RegistroVentanas::actual();
    QWidget* ventana = registro ? registro->ventana(nombre) : nullptr;
    if (!ventana)
        return;
    if (auto* marco = qobject_cast<QMdiSubWindow*>(ventana->parentWidget())) {
        marco->show();
        if (registro->area())
            registro->area()->setActiveSubWindow(marco);
    }
}
