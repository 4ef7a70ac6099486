#include "planning/ActuacionPreventiva.h"

#include "plataforma/PlataformaServicios.h"
#include "reports/Importes.h"
#include "shell/DateBox.h"
#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "shell/MarcoCentro.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"
#include "store/Recordset.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
using Icono = PlataformaServicios::Icono;
using Botones = PlataformaServicios::Botones;
using Respuesta = PlataformaServicios::Respuesta;

const QString PlanesDelCentro = QStringLiteral("Select * from ActuaciónPreventiva where IDCentro = ?;");
const QString LineasDelPlan = QStringLiteral("SELECT * from ActuaciónPreventivaRegistro Where IDActuacion = ?;");
const int ColumnaPresupuesto = 3;

QString texto(const QVariant& valor)
{
    if (valor.typeId() == QMetaType::QDate)
        return DateBox::format(valor.toDate());
    return NuloATexto(valor).toString();
}

bool vacio(const QVariant& valor)
{
    return valor.isNull() || valor.toString().trimmed().isEmpty();
}

using Kit::boton;
using Kit::caja;
using Kit::cajaFecha;
using Kit::etiqueta;
} // namespace

ActuacionPreventiva::ActuacionPreventiva(Sesion& sesion, QWidget* parent)
    : QWidget(parent), sesion_(sesion), rsCentro_(std::make_unique<Recordset>()), rsPlan_(std::make_unique<Recordset>())
{
    setObjectName(NombreVentana(Nombre));
    construir();
    AplicarAccesibilidad(this);
    cargar();
}

ActuacionPreventiva::~ActuacionPreventiva()
{
    // Al descargar se cierran los conjuntos sin atender a ningún error.
    try {
        rsCentro_->close();
        rsPlan_->close();
    } catch (...) {
    }
}

void ActuacionPreventiva::construir()
{
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(6, 6, 6, 6);

    v->addWidget(Kit::banner("LabelBanner", "Planificación de Actuación Preventiva"));
    marcoCentro_ = new MarcoCentro;
    v->addWidget(marcoCentro_);

    // Cabecera del plan: sólo se guarda con su botón.
    cajaPlanificador_ = caja("strNombre");
    listaCargo_ = Kit::listaAbierta("cmbCargo", 14);
    cajaPlanificador_->setMinimumWidth(170);
    fechaPlan_ = cajaFecha("dteFecha", "F. Planificación");
    botonGuardarCabecera_ = boton("GCentro", "Guardar/Modificar Datos");
    auto* cabecera = new QGridLayout;
    Kit::ponerCampo(cabecera, 0, 0, "Nombre y apellidos", cajaPlanificador_);
    Kit::ponerCampo(cabecera, 0, 2, "Cargo", listaCargo_);
    cabecera->addWidget(etiqueta("F. Planificación", fechaPlan_->lineEdit()), 0, 4);
    cabecera->addWidget(fechaPlan_, 0, 5);
    cabecera->addWidget(botonGuardarCabecera_, 0, 6);
    cabecera->setColumnStretch(1, 3);
    cabecera->setColumnStretch(3, 2);
    v->addLayout(cabecera);

    v->addWidget(Kit::titulo("LabelAccion", "ACCIÓN PREVENTIVA"));

    // Línea nueva.
    cajaAccion_ = caja("strAccion");
    botonSeleccionarAcciones_ = boton("SSCommand1", "Seleccionar Acciones ");
    botonSeleccionarAcciones_->setToolTip("Seleccionar Actuacion Preventiva");
    fechaLimite_ = cajaFecha("dteFechaLimite", "Fecha Limite");
    cajaResponsable_ = caja("strResponsable");
    cajaPresupuesto_ = caja("strPresupuesto");
    cajaResponsable_->setMinimumWidth(150);
    cajaPresupuesto_->setMinimumWidth(80);
    cajaPresupuesto_->setMaximumWidth(120);
    botonAnadirLinea_ = boton("BAñadir", "Añadir");
    botonEliminarLinea_ = boton("BCancelar", "Eliminar");
    auto* linea = new QGridLayout;
    Kit::ponerCampo(linea, 0, 0, "Acción Preventiva", cajaAccion_, 5);
    linea->addWidget(botonSeleccionarAcciones_, 0, 6);
    linea->addWidget(etiqueta("Fecha Limite", fechaLimite_->lineEdit()), 1, 0);
    linea->addWidget(fechaLimite_, 1, 1);
    Kit::ponerCampo(linea, 1, 2, "Responsable Ejecucion", cajaResponsable_);
    Kit::ponerCampo(linea, 1, 4, "Presupuesto", cajaPresupuesto_);
    auto* botones = new QHBoxLayout;
    botones->addWidget(botonAnadirLinea_);
    botones->addWidget(botonEliminarLinea_);
    linea->addLayout(botones, 1, 6);
    linea->setColumnStretch(3, 2);
    linea->setColumnStretch(5, 1);
    v->addLayout(linea);

    origenLineas_ = new DataSource(this);
    origenLineas_->setObjectName("RActuaciónPreventivaRegistro");
    cuadriculaLineas_ = new Grid;
    cuadriculaLineas_->setObjectName("GActuaciónPreventivaRegistro");
    cuadriculaLineas_->setAccessibleName("Acciones preventivas del plan");
    cuadriculaLineas_->setDataSource(origenLineas_);
    cuadriculaLineas_->setMinimumHeight(110);
    // Pasar el puntero por encima no cambia la línea elegida: es la que borra "Eliminar".
    cuadriculaLineas_->setTipMovesCurrentRow(false);
    v->addWidget(cuadriculaLineas_, 1);

    botonVolver_ = Kit::botonImagen("Image1", "Volver a Empresas y Centros ", QStyle::SP_DirHomeIcon);
    botonEliminarPlan_ =
        Kit::botonImagen("ECentro", "Eliminar Planificación de Actuaciones Preventivas completa", QStyle::SP_TrashIcon);
    botonAyuda_ = Kit::botonImagen("Image9", "Ayuda", QStyle::SP_DialogHelpButton);
    botonImprimir_ = Kit::botonImagen("Picture2", "Imprimir Actuaciónes Preventivas", QStyle::SP_ArrowForward);
    auto* pie = new QHBoxLayout;
    pie->addWidget(botonVolver_);
    pie->addWidget(botonEliminarPlan_);
    pie->addStretch();
    pie->addWidget(botonAyuda_);
    pie->addWidget(botonImprimir_);
    v->addLayout(pie);

    connect(botonGuardarCabecera_, &QPushButton::clicked, this, Ranura([this] { guardarCabecera(); }, this));
    connect(botonAnadirLinea_, &QPushButton::clicked, this, Ranura([this] { anadirLinea(); }, this));
    connect(botonEliminarLinea_, &QPushButton::clicked, this, Ranura([this] { eliminarLinea(); }, this));
    connect(botonSeleccionarAcciones_, &QPushButton::clicked, this, Ranura([this] { seleccionarAcciones(); }, this));
    connect(botonEliminarPlan_, &QToolButton::clicked, this, Ranura([this] { eliminarPlan(); }, this));
    connect(botonImprimir_, &QToolButton::clicked, this, Ranura([this] { imprimir(); }, this));
    connect(botonVolver_, &QToolButton::clicked, this, Ranura([this] { volver(); }, this));
    connect(botonAyuda_, &QToolButton::clicked, this, Ranura([this] { AbrirAyuda(this, "Accion Preventiva"); }, this));

    Grid* g = cuadriculaLineas_;
    connect(g, &Grid::cellTipRequested, this, [this, g](int division, int columna, int fila, CellTip* tip) {
        // Un fallo al hacer la nota no se avisa: se sigue con lo siguiente.
        EjecutarSinAviso({[g] {
                              g->setTipAnchored(true);
                              g->setTipWidth(5000);
                              g->setTipDelay(200);
                          },
                          [&] {
                              if (division < 0 || fila < 0)
                                  return;
                              tip->bold = true;
                              tip->textColor = CellTip::oleColor(0x8000000E);
                              tip->fillColor = CellTip::oleColor(0x800000);
                              tip->wordWrap = true;
                              // La nota es de la línea bajo el puntero.
                              DataSource* ds = origenLineas_;
                              switch (columna) {
                              case 0:
                                  tip->text = texto(ds->fieldValue(fila, "AccionPreventiva"));
                                  break;
                              case 1:
                                  tip->text = "Fecha Limite: " + texto(ds->fieldValue(fila, "FechaLimite"));
                                  break;
                              case 2:
                                  tip->text =
                                      "Responsable Ejecucion: " + texto(ds->fieldValue(fila, "ResponsableEjecucion"));
                                  break;
                              case ColumnaPresupuesto:
                                  tip->text = "Presupuesto: " + texto(ds->fieldValue(fila, "PresupuestoAproximado"));
                                  break;
                              default:
                                  break;
                              }
                          }});
    });
    // Corregir una línea en la cuadrícula no puede dejarla sin lo que se exige al añadirla.
    connect(
        g, &Grid::beforeCellChange, this, [this](int columna, const QVariant&, const QVariant& nuevo, bool* cancelar) {
            QString aviso, titulo;
            if (columna == ColumnaPresupuesto) {
                aviso = ProblemaImporte(nuevo.toString());
                titulo = "Presupuesto no válido";
            } else if ((columna == 0 || columna == 2) && vacio(nuevo)) {
                aviso = columna == 0 ? "Tienes que escribir una Actuacion Preventiva"
                                     : "Tienes que escribir un Responsable";
                titulo = columna == 0 ? "Sin Actuacion" : "Sin Responsable";
            }
            if (aviso.isEmpty())
                return;
            *cancelar = true;
            // El aviso sale cuando la cuadrícula ha terminado de cerrar la edición.
            QPointer<ActuacionPreventiva> yo(this);
            QTimer::singleShot(0, this, [yo, aviso, titulo] {
                if (yo)
                    ProtegerRanura([&] {
                        Servicios().mensaje(yo, aviso, titulo, Icono::Critico, Botones::Aceptar, Respuesta::Aceptar);
                    });
            });
        });
}

void ActuacionPreventiva::cargar()
{
    EjecutarCarga({[this] { ColocarEnTwips(this, 100, 100, 12700, 4050); },
                   [this] {
                       setWindowTitle("Planificación de actuación preventiva ");
                       listaCargo_->clear();
                       listaCargo_->addItems({QString(), "Empresario", "Trabajador designado"});
                   },
                   [this] { origenLineas_->setConnectionString(sesion_.conexion); },
                   [this] {
                       GridColumn fecha = GridColumn::text("Fecha Limite", "FechaLimite");
                       fecha.widthTwips = 1500;
                       GridColumn responsable = GridColumn::text("Responsable Ejecucion", "ResponsableEjecucion");
                       responsable.widthTwips = 2800;
                       GridColumn presupuesto = GridColumn::text("Presupuesto", "PresupuestoAproximado");
                       presupuesto.widthTwips = 1500;
                       cuadriculaLineas_->setColumns({GridColumn::text("Accion Preventiva", "AccionPreventiva"), fecha,
                                                      responsable, presupuesto});
                   },
                   [this] { vaciarLineaNueva(); }, [this] { Colocar(); }},
                  this);
}

void ActuacionPreventiva::Colocar()
{
    bool parar = false;
    EjecutarPresentacion({[&] {
                              rsCentro_->open("Select * from CentroTrabajo where IDCentro = ?;", sesion_.conexion,
                                              {qlonglong(sesion_.idCentro)});
                              rsCentro_->requery();
                          },
                          [&] { parar = !rsCentro_->isOpen() || rsCentro_->eof(); },
                          [&] {
                              if (!parar)
                                  marcoCentro_->mostrar(rsCentro_->value("Direccion"));
                          },
                          [&] {
                              if (parar)
                                  return;
                              rsPlan_->open(PlanesDelCentro, sesion_.conexion, {qlonglong(sesion_.idCentro)});
                              rsPlan_->requery();
                          },
                          [&] {
                              // La primera vez que se abre el plan del centro, se crea vacío.
                              if (parar || !rsPlan_->isOpen() || !rsPlan_->eof())
                                  return;
                              rsPlan_->addNew();
                              rsPlan_->setValue("IDCentro", qlonglong(sesion_.idCentro));
                              GrabarFila(*rsPlan_);
                              rsPlan_->moveLast();
                          },
                          [&] {
                              if (!parar && rsPlan_->isOpen())
                                  mostrarCabecera();
                          },
                          [&] {
                              if (!parar && rsPlan_->isOpen())
                                  leerLineas();
                          }},
                         rsCentro_.get(), nullptr, this);
}

void ActuacionPreventiva::mostrarCabecera()
{
    cajaPlanificador_->setText(NuloATexto(rsPlan_->value("Persona")).toString());
    listaCargo_->setEditText(NuloATexto(rsPlan_->value("Cargo")).toString());
    fechaPlan_->setValue(rsPlan_->value("Fecha"));
    cabeceraGuardada_ = {cajaPlanificador_->text(), listaCargo_->currentText(), fechaPlan_->value()};
}

bool ActuacionPreventiva::cabeceraCambiada() const
{
    if (idActuacion() <= 0)
        return false;
    // Un texto que no es fecha también es un cambio: guardarlo avisa de por qué no vale.
    return cajaPlanificador_->text() != cabeceraGuardada_.persona ||
           listaCargo_->currentText() != cabeceraGuardada_.cargo || !fechaPlan_->isValid() ||
           fechaPlan_->value() != cabeceraGuardada_.fecha;
}

bool ActuacionPreventiva::dejarCabecera()
{
    if (!cabeceraCambiada())
        return true;
    switch (Servicios().mensaje(this, "¿Guardar los cambios de la cabecera del plan?",
                                "Planificación de actuación preventiva", Icono::Pregunta, Botones::SiNoCancelar,
                                Respuesta::Si)) {
    case Respuesta::Si:
        return guardarCabecera();
    case Respuesta::No:
        // Las cajas vuelven a lo guardado: si la ventana se vuelve a enseñar, no engaña.
        mostrarCabecera();
        return true;
    default:
        return false;
    }
}

void ActuacionPreventiva::closeEvent(QCloseEvent* evento)
{
    // Si guardar falla, la ventana se queda abierta con lo escrito.
    bool seguir = sinPreguntar_;
    if (!sinPreguntar_)
        ProtegerRanura([&] { seguir = dejarCabecera(); }, this);
    if (seguir)
        evento->accept();
    else
        evento->ignore();
}

long long ActuacionPreventiva::idActuacion() const
{
    if (!rsPlan_->isOpen() || rsPlan_->bof() || rsPlan_->eof())
        return 0;
    return rsPlan_->value("IDActuacion").toLongLong();
}

void ActuacionPreventiva::leerLineas()
{
    botonEliminarLinea_->setEnabled(false);
    origenLineas_->setRecordSource(LineasDelPlan, {qlonglong(idActuacion())});
    origenLineas_->refresh();
    cuadriculaLineas_->redraw();
    botonEliminarLinea_->setEnabled(!origenLineas_->isEmpty());
}

void ActuacionPreventiva::vaciarLineaNueva()
{
    cajaAccion_->clear();
    fechaLimite_->clear();
    cajaResponsable_->clear();
    cajaPresupuesto_->clear();
}

void ActuacionPreventiva::ponerAccion(const QString& texto)
{
    cajaAccion_->setText(texto);
}

void ActuacionPreventiva::rechazar(const QString& texto, const QString& titulo, QWidget* foco)
{
    Servicios().mensaje(this, texto, titulo, Icono::Critico, Botones::Aceptar, Respuesta::Aceptar);
    if (foco)
        foco->setFocus();
}

bool ActuacionPreventiva::guardarCabecera()
{
    // Una fecha imposible no se guarda nunca: ni como fecha ni dejando la que había sin avisar.
    if (!fechaPlan_->isValid()) {
        rechazar("No se puede guardar la F. Planificación. " + fechaPlan_->problem(), "Fecha no válida", fechaPlan_);
        return false;
    }
    rsPlan_->setValue("Persona", cajaPlanificador_->text());
    rsPlan_->setValue("Cargo", listaCargo_->currentText());
    rsPlan_->setValue("Fecha", fechaPlan_->value());
    GrabarFila(*rsPlan_);
    cabeceraGuardada_ = {cajaPlanificador_->text(), listaCargo_->currentText(), fechaPlan_->value()};
    return true;
}

void ActuacionPreventiva::anadirLinea()
{
    if (cajaAccion_->text().trimmed().isEmpty()) {
        rechazar("Tienes que escribir una Actuacion Preventiva", "Sin Actuacion", cajaAccion_);
        return;
    }
    if (fechaLimite_->isEmpty()) {
        rechazar("Tienes que escribir una Fecha Limite", "Sin Fecha", cajaAccion_);
        return;
    }
    if (!fechaLimite_->isValid()) {
        rechazar("No se puede añadir la acción con esa Fecha Limite. " + fechaLimite_->problem(), "Fecha no válida",
                 fechaLimite_);
        return;
    }
    if (cajaResponsable_->text().trimmed().isEmpty()) {
        rechazar("Tienes que escribir un Responsable", "Sin Responsable", cajaAccion_);
        return;
    }
    if (const QString problema = ProblemaImporte(cajaPresupuesto_->text()); !problema.isEmpty()) {
        rechazar(problema, "Presupuesto no válido", cajaPresupuesto_);
        return;
    }
    const long long plan = idActuacion();
    if (plan <= 0) {
        rechazar("No hay ninguna planificación abierta a la que añadir la acción. Vuelva a Empresas y Centros y abra "
                 "la planificación del centro de trabajo.",
                 "Sin Planificación", nullptr);
        return;
    }
    Recordset rs;
    rs.open("Select * from ActuaciónPreventivaRegistro;", sesion_.conexion);
    rs.addNew();
    rs.setValue("IDActuacion", plan);
    rs.setValue("AccionPreventiva", cajaAccion_->text());
    rs.setValue("FechaLimite", fechaLimite_->value());
    rs.setValue("ResponsableEjecucion", cajaResponsable_->text());
    rs.setValue("PresupuestoAproximado", cajaPresupuesto_->text());
    GrabarFila(rs);
    leerLineas();
    vaciarLineaNueva();
}

void ActuacionPreventiva::eliminarLinea()
{
    DataSource* ds = origenLineas_;
    if (!ds->isOpen() || ds->isEmpty())
        return;
    const int actual = ds->currentRow();
    const QVariant linea = ds->fieldValue(actual, "IDActuacionRegistro");
    if (linea.isNull())
        return;
    // La pregunta dice qué línea se va a borrar: la elegida, que puede no ser la que se ve.
    QString accion = texto(ds->fieldValue(actual, "AccionPreventiva")).simplified();
    if (accion.size() > 200)
        accion = accion.left(199) + QChar(u'…');
    QString pregunta = "¿Esta seguro de querer quitar la Actuación Preventiva?\n\n«" + accion + "»";
    if (const QString limite = texto(ds->fieldValue(actual, "FechaLimite")); !limite.isEmpty())
        pregunta += "\nFecha Limite: " + limite;
    if (Servicios().mensaje(this, pregunta, "Eliminar", Icono::Critico, Botones::SiNo, Respuesta::No) != Respuesta::Si)
        return;
    Recordset::execute("delete from ActuaciónPreventivaRegistro where IDActuacionRegistro = ?;", sesion_.conexion,
                       {linea.toLongLong()});
    leerLineas();
}

void ActuacionPreventiva::eliminarPlan()
{
    if (Servicios().mensaje(this,
                            "¿Esta seguro de querer Eliminar la Actuacion preventiva? Este proceso es irreversible.",
                            "Eliminar", Icono::Critico, Botones::SiNo, Respuesta::No) != Respuesta::Si)
        return;
    const long long plan = idActuacion();
    sinPreguntar_ = true;
    rsPlan_->close();
    try {
        // Las líneas se van con la cabecera: la relación entre las dos tablas borra en cascada.
        Recordset::execute("delete from ActuaciónPreventiva where IDActuacion = ?;", sesion_.conexion, {plan});
    } catch (...) {
        // No se ha borrado nada: la ventana sigue con su plan.
        sinPreguntar_ = false;
        Colocar();
        throw;
    }
    rsPlan_->open("Select * from ActuaciónPreventiva;", sesion_.conexion);
    RegistroVentanas* r = RegistroVentanas::actual();
    if (r && r->ventana(Nombre) == this)
        r->descargar(Nombre);
    else
        close();
}

void ActuacionPreventiva::imprimir()
{
    DataSource* ds = origenLineas_;
    if (!ds->isOpen() || ds->isEmpty()) {
        rechazar("Tiene que existir por lo menos una Accion Preventiva para poder continuar", "Sin Accion",
                 cajaAccion_);
        return;
    }
    // El documento sale con la cabecera guardada: lo escrito sin guardar no se pierde sin preguntar.
    if (!dejarCabecera())
        return;
    ocultarme();
    if (RegistroVentanas* r = RegistroVentanas::actual())
        r->abrirNueva(Ventana::ImprimirPlanificacion);
}

void ActuacionPreventiva::volver()
{
    if (!dejarCabecera())
        return;
    ocultarme();
}

void ActuacionPreventiva::seleccionarAcciones()
{
    if (RegistroVentanas* r = RegistroVentanas::actual())
        r->mostrarCargada(Ventana::AccionPreventiva);
}

void ActuacionPreventiva::ocultarme()
{
    if (RegistroVentanas* r = RegistroVentanas::actual(); r && r->ventana(Nombre) == this)
        r->ocultar(Nombre);
    else if (auto* marco = qobject_cast<QMdiSubWindow*>(parentWidget()))
        marco->hide();
    else
        hide();
}
