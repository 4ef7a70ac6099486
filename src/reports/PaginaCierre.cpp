#include "reports/PaginaCierre.h"

#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "store/Recordset.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

PaginaCierre::PaginaCierre(Ventana tipo, Sesion& sesion, const QString& nombreVisualizar, const QString& ayudaVolver,
                           const QString& ayudaInicio, QWidget* parent)
    : QWidget(parent), sesion_(sesion)
{
    setObjectName(NombreVentana(tipo));
    setAttribute(Qt::WA_DeleteOnClose);

    textoCierre_ = new QLabel(this);
    textoCierre_->setObjectName(QStringLiteral("Label1"));
    textoCierre_->setTextFormat(Qt::PlainText);
    textoCierre_->setWordWrap(true);
    textoCierre_->setAlignment(Qt::AlignCenter);
    QFont f = textoCierre_->font();
    f.setPointSizeF(f.pointSizeF() * 1.2);
    textoCierre_->setFont(f);

    visualizar_ = new QPushButton(this);
    visualizar_->setObjectName(nombreVisualizar);
    visualizar_->setMinimumWidth(160);
    visualizar_->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));

    // Con su texto debajo: el dibujo solo no dice a dónde lleva cada uno.
    botonVolver_ = Kit::botonImagen(QStringLiteral("Picture1"), ayudaVolver, QStyle::SP_ArrowBack, ayudaVolver, 32);
    botonInicio_ = Kit::botonImagen(QStringLiteral("Image1"), ayudaInicio, QStyle::SP_DirHomeIcon, ayudaInicio, 32);

    auto* botones = new QHBoxLayout;
    botones->addWidget(botonVolver_);
    botones->addWidget(botonInicio_);
    botones->addStretch();
    botones->addWidget(visualizar_);
    botones->addStretch();
    auto* caja = new QVBoxLayout(this);
    caja->addStretch();
    caja->addWidget(textoCierre_);
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
                   [&] { AbrirCentroEnCurso(centro, sesion_); },
                   [&] { direccion = NuloATexto(centro.value(QStringLiteral("Direccion"))).toString(); },
                   [&] { textoCierre_->setText(texto(direccion)); }},
                  this);
    AplicarAccesibilidad(this);
}

void PaginaCierre::alPulsar(QAbstractButton* boton, const std::function<void()>& accion)
{
    connect(boton, &QAbstractButton::clicked, this, Ranura(accion, this));
}

void PaginaCierre::volverA(Ventana anterior)
{
    ocultarPagina();
    if (RegistroVentanas* registro = RegistroVentanas::actual())
        registro->abrirNueva(anterior);
}

void PaginaCierre::ocultarPagina()
{
    if (auto* marco = qobject_cast<QMdiSubWindow*>(parentWidget()))
        marco->hide();
    else
        hide();
}

void PaginaCierre::descubrir(Ventana ventana)
{
    RegistroVentanas* registro = RegistroVentanas::actual();
    QWidget* cargada = registro ? registro->ventana(ventana) : nullptr;
    if (!cargada)
        return;
    if (auto* marco = qobject_cast<QMdiSubWindow*>(cargada->parentWidget())) {
        marco->show();
        if (registro->area())
            registro->area()->setActiveSubWindow(marco);
    }
}
