#include "evaluation/InicioEvaluacion.h"

#include "shell/Comprobaciones.h"
#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "shell/MarcoCentro.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "store/Recordset.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
// Abre una ventana del asistente nueva, descartando la que hubiera.
void abrirPaso(Ventana ventana)
{
    if (RegistroVentanas* r = RegistroVentanas::actual())
        r->abrirNueva(ventana);
}
} // namespace

InicioEvaluacion::InicioEvaluacion(Sesion& sesion, QWidget* parent) : QWidget(parent), sesion_(sesion)
{
    setObjectName(NombreVentana(Nombre));
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
    v->addWidget(Kit::banner("LabelCabecera", "CREAR EVALUACIÓN", 1.4));
    marcoCentro_ = new MarcoCentro(MarcoCentro::Forma::EnLinea);
    v->addWidget(marcoCentro_);

    const struct
    {
        QPushButton** boton;
        const char* nombre;
        const char* texto;
        const char* explicacion;
        Ventana ventana;
    } pasos[] = {
        {&botonPuestos_, "CEvaluacion", "1- PUESTO DE TRABAJO",
         "Permite describir los puestos asociados al centro de trabajo", Ventana::Puestos},
        {&botonFactores_, "BFactores", "2- FACTORES DE RIESGO",
         "A partir de una lista predeterminada se eligen las causas de los riesgos por puesto de trabajo",
         Ventana::SeleccionaFactores},
        {&botonRiesgos_, "BEvaluacion", "3- EVALUACION DE RIESGOS",
         "Se evalúan los riesgos generados por puesto de trabajo, indicando la probabilidad de que ocurran y  las "
         "consecuencias.",
         Ventana::SeleccionaRiesgos},
        {&botonMedidas_, "BMedidas", "4- MEDIDAS PREVENTIVAS",
         "Dependiendo de los riesgos y los factores de riesgo se harán efectivas diferentes medidas preventivas "
         "necesarias para evitar o reducir los riesgos existentes",
         Ventana::SeleccionaMedidas},
    };
    auto* g = new QGridLayout;
    int fila = 0;
    for (const auto& p : pasos) {
        QPushButton* b = Kit::boton(p.nombre, p.texto);
        b->setMinimumWidth(230);
        b->setToolTip(p.explicacion);
        auto* texto = new QLabel(p.explicacion);
        texto->setObjectName(QString(p.nombre) + "Explicacion");
        texto->setWordWrap(true);
        g->addWidget(b, fila, 0);
        g->addWidget(texto, fila, 1);
        ++fila;
        *p.boton = b;
        const Ventana ventana = p.ventana;
        connect(b, &QPushButton::clicked, this, Ranura([ventana] { abrirPaso(ventana); }, this));
    }
    g->setColumnStretch(1, 1);
    v->addLayout(g);
    v->addStretch();

    auto* pie = new QHBoxLayout;
    QToolButton* volver = Kit::botonImagen("Image1", "Volver a la Pantalla Empresa", QStyle::SP_ArrowBack);
    QToolButton* ayuda = Kit::botonImagen("Image9", "Ayuda", QStyle::SP_DialogHelpButton);
    pie->addWidget(volver);
    pie->addStretch();
    pie->addWidget(ayuda);
    v->addLayout(pie);
    connect(volver, &QToolButton::clicked, this,
            Ranura(
                [this] {
                    if (RegistroVentanas* r = RegistroVentanas::actual(); r && r->ventana(Nombre) == this)
                        r->ocultar(Nombre);
                    else
                        hide();
                },
                this));
    connect(ayuda, &QToolButton::clicked, this, Ranura([this] { AbrirAyuda(this, "Inicio Evaluacion"); }, this));
}

void InicioEvaluacion::Colocar()
{
    bool parar = false;
    bool factores = false, riesgos = false;
    Recordset centro;
    EjecutarPresentacion(
        {[&] {
             centro.open("Select * from CentroTrabajo where IDCentro = ?;", sesion_.conexion,
                         {qlonglong(sesion_.idCentro)});
             centro.requery();
         },
         [&] {
             if (centro.eof())
                 parar = true;
         },
         [&] {
             if (!parar)
                 marcoCentro_->mostrar(centro.value("Direccion"));
         },
         [&] {
             if (parar)
                 return;
             factores = ComprobarFactores(sesion_.conexion, sesion_.idEmpresa, sesion_.idCentro).completo;
             riesgos = ComprobarRiesgos(sesion_.conexion, sesion_.idEmpresa, sesion_.idCentro).completo;
             // La última lista es la que queda en la sesión, como siempre.
             sesion_.pendientes = ComprobarMedidas(sesion_.conexion, sesion_.idEmpresa, sesion_.idCentro).pendientes;
         },
         [&] {
             if (parar)
                 return;
             rsPuestos_ = std::make_unique<Recordset>();
             rsPuestos_->open("Select * from PuestosCentros where IDCentro = ?;", sesion_.conexion,
                              {qlonglong(sesion_.idCentro)});
             rsPuestos_->requery();
             const bool hayPuestos = rsPuestos_->recordCount() > 0;
             botonPuestos_->setEnabled(true);
             botonFactores_->setEnabled(hayPuestos);
             botonRiesgos_->setEnabled(hayPuestos && factores);
             botonMedidas_->setEnabled(hayPuestos && factores && riesgos);
         }},
        nullptr, nullptr, this);
}
