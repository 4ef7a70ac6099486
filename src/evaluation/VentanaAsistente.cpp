#include "VentanaAsistente.h"

#include "Globales.h"
#include "ManejadorErrores.h"
#include "Recordset.h"
#include "RegistroVentanas.h"
#include "Rutinas.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

QString VentanaAsistente::TextoPuesto(long long idPuesto, const QString& nombre)
{
    QString numero = RellenarCeros(double(idPuesto), 4);
    if (numero.isEmpty())
        numero = QString::number(idPuesto);
    return numero + " - " + nombre;
}

VentanaAsistente::VentanaAsistente(const QString& nombre, const QString& titulo, const QString& cabecera,
                                   QWidget* parent)
    : QWidget(parent), nombre_(nombre), titulo_(titulo)
{
    setObjectName(nombre);
    auto* v = new QVBoxLayout(this);
    auto* etiqueta = new QLabel(cabecera);
    etiqueta->setObjectName("LabelCabecera");
    QFont f = etiqueta->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.3);
    etiqueta->setFont(f);
    v->addWidget(etiqueta);

    auto* marco = new QGroupBox("Centro de trabajo");
    marco->setObjectName("FrameCentro");
    auto* h = new QHBoxLayout(marco);
    strDireccion_ = new QLineEdit;
    strDireccion_->setObjectName("strDireccion");
    strDireccion_->setReadOnly(true);
    strDireccion_->setAccessibleName("Centro de trabajo");
    h->addWidget(strDireccion_);
    v->addWidget(marco);
    cuerpo_ = new QVBoxLayout;
    v->addLayout(cuerpo_, 1);
}

VentanaAsistente::~VentanaAsistente() = default;

void VentanaAsistente::ponerListaPuestos()
{
    auto* etiqueta = new QLabel(
        "PUESTO DE TRABAJO (Con ayuda del siguiente desplegable, ve seleccionando los puestos a evaluar)");
    etiqueta->setWordWrap(true);
    cmbPuestos_ = new QComboBox;
    cmbPuestos_->setObjectName("cmbPuestos");
    cmbPuestos_->setEditable(false);
    etiqueta->setBuddy(cmbPuestos_);
    cuerpo_->addWidget(etiqueta);
    cuerpo_->addWidget(cmbPuestos_);
    connect(cmbPuestos_, qOverload<int>(&QComboBox::activated), this, Ranura([this] {
                const long long id = puestoElegido();
                rsPuesto_ = std::make_unique<Recordset>();
                rsPuesto_->open("Select * from PuestosCentros where IDCentro = " + QString::number(gIDCentro) +
                                    " and IDPuestoCentro = " + QString::number(id) + ";",
                                gConexion);
                rsPuesto_->requery();
                elegirPuesto(id);
            }, this));
}

long long VentanaAsistente::puestoElegido() const
{
    // El número va con el elemento: no se saca de las cuatro primeras letras del texto, que no
    // bastan para un puesto de cinco cifras.
    return cmbPuestos_ && cmbPuestos_->currentIndex() >= 0 ? cmbPuestos_->currentData().toLongLong() : 0;
}

void VentanaAsistente::ponerPie(const QString& tipAtras, const QString& textoAtras, const QString& tipAdelante,
                                const QString& textoAdelante, const QString& tipInicio,
                                const QString& documentoAyuda)
{
    const auto boton = [&](const char* nombre, const QString& tip, const QString& texto,
                           QStyle::StandardPixmap icono) {
        auto* b = new QToolButton;
        b->setObjectName(nombre);
        b->setToolTip(tip.isEmpty() ? texto : tip);
        b->setText(texto);
        b->setIcon(style()->standardIcon(icono));
        b->setIconSize(QSize(24, 24));
        b->setToolButtonStyle(texto.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextUnderIcon);
        return b;
    };
    auto* pie = new QHBoxLayout;
    QToolButton* alInicio = boton("Image1", tipInicio, {}, QStyle::SP_DirHomeIcon);
    pie->addWidget(alInicio);
    if (!tipAtras.isEmpty() || !textoAtras.isEmpty()) {
        QToolButton* b = boton("Picture1", tipAtras, textoAtras, QStyle::SP_ArrowBack);
        pie->addWidget(b);
        connect(b, &QToolButton::clicked, this, Ranura([this] { atras(); }, this));
    }
    pie->addStretch();
    QToolButton* ayuda = boton("Image9", "Ayuda", "Ayuda", QStyle::SP_DialogHelpButton);
    pie->addWidget(ayuda);
    QToolButton* sigue = boton("Picture2", tipAdelante, textoAdelante, QStyle::SP_ArrowForward);
    pie->addWidget(sigue);
    cuerpo_->addLayout(pie);
    connect(alInicio, &QToolButton::clicked, this, Ranura([this] { inicio(); }, this));
    connect(sigue, &QToolButton::clicked, this, Ranura([this] { adelante(); }, this));
    connect(ayuda, &QToolButton::clicked, this,
            Ranura([this, documentoAyuda] { AbrirAyuda(this, documentoAyuda); }, this));
}

void VentanaAsistente::cargar()
{
    AplicarAccesibilidad(this);
    EjecutarCarga({[this] { ColocarEnTwips(this, 100, 100, 12700, 4050); }, [this] { setWindowTitle(titulo_); },
                   [this] { Colocar(); }},
                  this);
}

void VentanaAsistente::Colocar()
{
    bool parar = false;
    int elegido = 0;
    EjecutarPresentacion(
        {[&] {
             rsCentro_ = std::make_unique<Recordset>();
             rsCentro_->open("Select * from CentroTrabajo where IDCentro = " + QString::number(gIDCentro) + ";",
                             gConexion);
             rsCentro_->requery();
             parar = rsCentro_->eof();
         },
         [&] {
             if (!parar)
                 strDireccion_->setText(NuloATexto(rsCentro_->value("Direccion")).toString());
         },
         [&] {
             if (parar || !cmbPuestos_)
                 return;
             const QSignalBlocker bloqueo(cmbPuestos_);
             cmbPuestos_->clear();
             Recordset puestos;
             puestos.open("Select * from PuestosCentros where IDCentro = " + QString::number(gIDCentro) + ";",
                          gConexion);
             puestos.requery();
             while (!puestos.eof()) {
                 const long long id = puestos.value("IDPuestoCentro").toLongLong();
                 const QString texto = TextoPuesto(id, NuloATexto(puestos.value("Puesto")).toString());
                 if (texto == gPuestoActual)
                     elegido = cmbPuestos_->count();
                 cmbPuestos_->addItem(texto, id);
                 puestos.moveNext();
             }
         },
         [&] {
             if (parar || !cmbPuestos_ || cmbPuestos_->count() == 0)
                 return;
             cmbPuestos_->setCurrentIndex(elegido);
             emit cmbPuestos_->activated(elegido);
         }},
        nullptr, nullptr, this);
}

void VentanaAsistente::ocultarme()
{
    if (RegistroVentanas* r = RegistroVentanas::actual(); r && r->ventana(nombre_) == this)
        r->ocultar(nombre_);
    else
        hide();
}

void VentanaAsistente::irA(const QString& ventana, bool guardarPuesto)
{
    ocultarme();
    if (guardarPuesto && cmbPuestos_ && cmbPuestos_->currentIndex() >= 0)
        gPuestoActual = cmbPuestos_->currentText();
    if (RegistroVentanas* r = RegistroVentanas::actual())
        r->abrirNueva(ventana);
}

void VentanaAsistente::volverAlInicio(bool nuevo)
{
    // El inicio se rehace con los datos de ahora para que sus pasos reflejen lo hecho aquí.
    if (RegistroVentanas* r = RegistroVentanas::actual()) {
        if (QWidget* inicio = r->ventana("InicioEvaluacion"))
            QMetaObject::invokeMethod(inicio, "Colocar");
        if (nuevo)
            r->abrirNueva("InicioEvaluacion");
    }
    ocultarme();
}
