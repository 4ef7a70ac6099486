#include "planning/AccionPreventiva.h"

#include "planning/ActuacionPreventiva.h"
#include "plataforma/GeometriaVentana.h"
#include "plataforma/PlataformaServicios.h"
#include "shell/FilaControles.h"
#include "shell/FiltroCuadricula.h"
#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {
using namespace TiposAviso;

// Cerrar el selector con el botón de su marco sólo lo oculta: sigue cargado, con su lista.
class SoloOcultar : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override
    {
        if (evento->type() == QEvent::Close) {
            evento->ignore();
            static_cast<QWidget*>(objeto)->hide();
            return true;
        }
        return QObject::eventFilter(objeto, evento);
    }
};
} // namespace

AccionPreventiva::AccionPreventiva(Sesion& sesion, QWidget* parent) : QWidget(parent), sesion_(sesion)
{
    setObjectName(NombreVentana(Ventana::AccionPreventiva));
    construir();
    AplicarAccesibilidad(this);
    cargar();
}

AccionPreventiva::~AccionPreventiva() = default;

void AccionPreventiva::construir()
{
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(6, 6, 6, 6);
    origenCatalogo_ = new DataSource(this);
    origenCatalogo_->setObjectName("RActuaciónPreventivaRegistro");
    cuadriculaCatalogo_ =
        Kit::cuadricula("GActuaciónPreventivaRegistro", "Catálogo de acciones preventivas", origenCatalogo_);
    cuadriculaCatalogo_->setColumns({GridColumn::text("Accion Preventiva", "Actuacion")});
    // El doble clic elige la acción; el texto se corrige pulsando en la fila ya elegida, con F2 o escribiendo.
    cuadriculaCatalogo_->tableView()->setEditTriggers(
        QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    // Pasar el puntero por encima no cambia la acción elegida: es la que copia "Añadir".
    cuadriculaCatalogo_->setTipMovesCurrentRow(false);
    cuadriculaCatalogo_->setTipAnchored(true);
    cuadriculaCatalogo_->setTipWidth(10000);
    cuadriculaCatalogo_->setTipDelay(200);
    // Más de cien acciones: se buscan por sus palabras.
    v->addWidget(new FiltroCuadricula("txtBuscarAccion", cuadriculaCatalogo_));
    v->addWidget(cuadriculaCatalogo_, 1);

    botonElegir_ = Kit::boton("BAñadir", "Añadir");
    botonElegir_->setDefault(true);
    botonCancelar_ = Kit::boton("BCancelar", "Cancelar");
    v->addLayout(Kit::fila({nullptr, botonElegir_, botonCancelar_}));

    connect(botonElegir_, &QPushButton::clicked, this, Ranura([this] { elegir(); }, this));
    connect(botonCancelar_, &QPushButton::clicked, this, Ranura([this] { cancelar(); }, this));
    connect(cuadriculaCatalogo_, &Grid::rowDoubleClicked, this, Ranura([this] { elegir(); }, this));

    connect(cuadriculaCatalogo_, &Grid::cellTipRequested, this,
            [this](int division, int columna, int fila, CellTip* tip) {
                // Un fallo al hacer la nota no se avisa: se sigue con lo siguiente.
                EjecutarSinAviso({[&] {
                    if (columna != 0 || division < 0 || fila < 0)
                        return;
                    Kit::estiloNota(tip);
                    tip->wordWrap = true;
                    // La nota es de la fila bajo el puntero.
                    tip->text = "Actuación: " + NuloATexto(origenCatalogo_->fieldValue(fila, "Actuacion")).toString();
                }});
            });
}

void AccionPreventiva::cargar()
{
    EjecutarCarga({[this] { setWindowTitle("Acciones"); },
                   [this] {
                       resize(TwipsAPixeles(9000, this), TwipsAPixeles(6000, this));
                       CentrarFormulario(this);
                       // Aún fuera del área: el registro pone el marco donde haya quedado la ventana.
                       if (!qobject_cast<QMdiSubWindow*>(parentWidget()))
                           setProperty("geometriaInicial", QRect(pos(), size()));
                       RecordarTamano(this, objectName());
                   },
                   [this] {
                       origenCatalogo_->setConnectionString(sesion_.conexion);
                       origenCatalogo_->setRecordSource("SELECT * from Actuaciones;");
                       origenCatalogo_->refresh();
                       cuadriculaCatalogo_->redraw();
                   }},
                  this);
}

void AccionPreventiva::elegir()
{
    DataSource* ds = origenCatalogo_;
    if (!ds->isOpen() || ds->isEmpty()) {
        Servicios().mensaje(this,
                            "El catálogo de acciones preventivas está vacío: no hay ninguna acción que elegir. "
                            "Escriba la acción en la planificación o pulse Cancelar.",
                            "Acciones", Icono::Exclamacion, Botones::Aceptar, Respuesta::Aceptar);
        return;
    }
    const int fila = ds->currentRow();
    if (fila < 0) {
        Servicios().mensaje(this,
                            "No hay ninguna acción elegida. Señale una acción de la lista y pulse Añadir, o pulse "
                            "Cancelar.",
                            "Acciones", Icono::Exclamacion, Botones::Aceptar, Respuesta::Aceptar);
        return;
    }
    const QString texto = NuloATexto(ds->fieldValue(fila, "Actuacion")).toString();

    RegistroVentanas* r = RegistroVentanas::actual();
    QWidget* ventana = r ? r->ventana(Ventana::ActuacionPreventiva) : nullptr;
    if (!ventana && r)
        ventana = r->abrirNueva(Ventana::ActuacionPreventiva);
    if (auto* plan = qobject_cast<ActuacionPreventiva*>(ventana))
        plan->ponerAccion(texto);
    ocultarme();
    // Se vuelve a la planificación, que es donde se sigue con la línea.
    if (ventana && r)
        r->mostrarCargada(Ventana::ActuacionPreventiva);
}

void AccionPreventiva::cancelar()
{
    ocultarme();
}

void AccionPreventiva::ocultarme()
{
    if (auto* marco = qobject_cast<QMdiSubWindow*>(parentWidget()))
        marco->hide();
    else
        hide();
}

void AccionPreventiva::showEvent(QShowEvent* evento)
{
    auto* marco = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (marco && !marco->property("soloOcultar").toBool()) {
        marco->installEventFilter(new SoloOcultar(marco));
        marco->setProperty("soloOcultar", true);
    }
    QWidget::showEvent(evento);
}
