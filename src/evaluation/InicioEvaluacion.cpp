#include "InicioEvaluacion.h"

#include "Comprobaciones.h"
#include "Globales.h"
#include "ManejadorErrores.h"
#include "Recordset.h"
#include "RegistroVentanas.h"
#include "Rutinas.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

const QString InicioEvaluacion::Nombre = QStringLiteral("InicioEvaluacion");

namespace
{
// Abre una ventana del asistente nueva, descartando la que hubiera.
void abrirPaso(const QString& nombre)
{
    if (RegistroVentanas* r = RegistroVentanas::actual())
        r->abrirNueva(nombre);
}
} // namespace

void InicioEvaluacion::registrar()
{
    RegistroVentanas::registrarFabrica(Nombre, [] { return new InicioEvaluacion; });
}

InicioEvaluacion::InicioEvaluacion(QWidget* parent) : QWidget(parent)
{
    setObjectName(Nombre);
    construir();
    AplicarAccesibilidad(this);
    EjecutarCarga({[this] { ColocarEnTwips(this, 100, 100, 12700, 4050); },
                   [this] { setWindowTitle("Iniciar Evaluación"); }, [this] { Colocar(); }},
                  this);
}

InicioEvaluacion::~InicioEvaluacion() = default;

void InicioEvaluacion::construir()
{
    auto* v = new QVBoxLayout(this);
    auto* cabecera = new QLabel("CREAR EVALUACIÓN");
    cabecera->setObjectName("LabelCabecera");
    QFont f = cabecera->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.4);
    cabecera->setFont(f);
    v->addWidget(cabecera);

    auto* centro = new QHBoxLayout;
    auto* etiqueta = new QLabel("Centro de trabajo");
    strDireccion_ = new QLineEdit;
    strDireccion_->setObjectName("strDireccion");
    strDireccion_->setReadOnly(true);
    etiqueta->setBuddy(strDireccion_);
    centro->addWidget(etiqueta);
    centro->addWidget(strDireccion_, 1);
    v->addLayout(centro);

    const struct
    {
        QPushButton** boton;
        const char* nombre;
        const char* texto;
        const char* explicacion;
        const char* ventana;
    } pasos[] = {
        {&CEvaluacion_, "CEvaluacion", "1- PUESTO DE TRABAJO",
         "Permite describir los puestos asociados al centro de trabajo", "Puestos"},
        {&BFactores_, "BFactores", "2- FACTORES DE RIESGO",
         "A partir de una lista predeterminada se eligen las causas de los riesgos por puesto de trabajo",
         "SeleccionaFactores"},
        {&BEvaluacion_, "BEvaluacion", "3- EVALUACION DE RIESGOS",
         "Se evalúan los riesgos generados por puesto de trabajo, indicando la probabilidad de que ocurran y  las "
         "consecuencias.",
         "SeleccionaRiesgos"},
        {&BMedidas_, "BMedidas", "4- MEDIDAS PREVENTIVAS",
         "Dependiendo de los riesgos y los factores de riesgo se harán efectivas diferentes medidas preventivas "
         "necesarias para evitar o reducir los riesgos existentes",
         "SeleccionaMedidas"},
    };
    auto* g = new QGridLayout;
    int fila = 0;
    for (const auto& p : pasos) {
        auto* b = new QPushButton(p.texto);
        b->setObjectName(p.nombre);
        b->setMinimumWidth(230);
        b->setToolTip(p.explicacion);
        auto* texto = new QLabel(p.explicacion);
        texto->setObjectName(QString(p.nombre) + "Explicacion");
        texto->setWordWrap(true);
        g->addWidget(b, fila, 0);
        g->addWidget(texto, fila, 1);
        ++fila;
        *p.boton = b;
        const QString ventana = p.ventana;
        connect(b, &QPushButton::clicked, this, Ranura([ventana] { abrirPaso(ventana); }, this));
    }
    g->setColumnStretch(1, 1);
    v->addLayout(g);
    v->addStretch();

    auto* pie = new QHBoxLayout;
    auto* volver = new QToolButton;
    volver->setObjectName("Image1");
    volver->setToolTip("Volver a la Pantalla Empresa");
    volver->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    volver->setIconSize(QSize(24, 24));
    auto* ayuda = new QToolButton;
    ayuda->setObjectName("Image9");
    ayuda->setToolTip("Ayuda");
    ayuda->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    ayuda->setIconSize(QSize(24, 24));
    pie->addWidget(volver);
    pie->addStretch();
    pie->addWidget(ayuda);
    v->addLayout(pie);
    connect(volver, &QToolButton::clicked, this, Ranura([this] {
                if (RegistroVentanas* r = RegistroVentanas::actual(); r && r->ventana(Nombre) == this)
                    r->ocultar(Nombre);
                else
                    hide();
            }, this));
    connect(ayuda, &QToolButton::clicked, this, Ranura([this] { AbrirAyuda(this, "Inicio Evaluacion"); }, this));
}

void InicioEvaluacion::Colocar()
{
    bool parar = false;
    bool factores = false, riesgos = false;
    Recordset centro;
    EjecutarPresentacion(
        {[&] {
             centro.open("Select * from CentroTrabajo where IDCentro = " + QString::number(gIDCentro) + ";", gConexion);
             centro.requery();
         },
         [&] {
             if (centro.eof())
                 parar = true;
         },
         [&] {
             if (!parar)
                 strDireccion_->setText(NuloATexto(centro.value("Direccion")).toString());
         },
         [&] {
             if (parar)
                 return;
             factores = ComprobarFactores(gIDEmpresa, gIDCentro);
             riesgos = ComprobarRiesgos(gIDEmpresa, gIDCentro);
             ComprobarMedidas(gIDEmpresa, gIDCentro);
         },
         [&] {
             if (parar)
                 return;
             rsPuestos_ = std::make_unique<Recordset>();
             rsPuestos_->open("Select * from PuestosCentros where IDCentro = " + QString::number(gIDCentro) + ";",
                              gConexion);
             rsPuestos_->requery();
             const bool hayPuestos = rsPuestos_->recordCount() > 0;
             CEvaluacion_->setEnabled(true);
             BFactores_->setEnabled(hayPuestos);
             BEvaluacion_->setEnabled(hayPuestos && factores);
             BMedidas_->setEnabled(hayPuestos && factores && riesgos);
         }},
        nullptr, nullptr, this);
}
