#include "planning/ActuacionPreventiva.h"

#include "planning/CuadriculasPlan.h"
#include "planning/EleccionRiesgo.h"
#include "planning/PlazosPlan.h"
#include "planning/PropuestasPlan.h"
#include "planning/RevaloracionPlan.h"
#include "plataforma/PlataformaServicios.h"
#include "plataforma/Reloj.h"
#include "reports/Importes.h"
#include "shell/DateBox.h"
#include "shell/FilaControles.h"
#include "shell/IconosEntrada.h"
#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "shell/MarcoCentro.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/grid/DataSource.h"
#include "store/Conexion.h"
#include "store/EscrituraFila.h"
#include "store/PlanAcciones.h"
#include "store/Recordset.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
using namespace TiposAviso;

const QString PlanesDelCentro = QStringLiteral("Select * from \"ActuaciónPreventiva\" where IDCentro = ?;");

QString texto(const QVariant& valor)
{
    if (valor.typeId() == QMetaType::QDate)
        return DateBox::format(valor.toDate());
    return NuloATexto(valor).toString();
}

using Kit::boton;
using Kit::caja;
using Kit::cajaFecha;
using Kit::etiqueta;
} // namespace

ActuacionPreventiva::ActuacionPreventiva(Sesion& sesion, QWidget* parent)
    : QWidget(parent), sesion_(sesion), rsCentro_(std::make_unique<Recordset>()), rsPlan_(std::make_unique<Recordset>())
{
    setObjectName(NombreVentana(Ventana::ActuacionPreventiva));
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
    cabecera_.planificador = caja("strNombre");
    cabecera_.cargo = Kit::listaAbierta("cmbCargo", 14);
    cabecera_.planificador->setMinimumWidth(170);
    cabecera_.fecha = cajaFecha("dteFecha", "F. Planificación");
    cabecera_.guardar = boton("GCentro", "Guardar/Modificar Datos");
    auto* cabecera = new QGridLayout;
    Kit::ponerCampo(cabecera, 0, 0, "Nombre y apellidos", cabecera_.planificador);
    Kit::ponerCampo(cabecera, 0, 2, "Cargo", cabecera_.cargo);
    cabecera->addWidget(etiqueta("F. Planificación", cabecera_.fecha->lineEdit()), 0, 4);
    cabecera->addWidget(cabecera_.fecha, 0, 5);
    cabecera->addWidget(cabecera_.guardar, 0, 6);
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
    eleccionRiesgo_ = new EleccionRiesgo(this);
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
    QComboBox* riesgos = eleccionRiesgo_->listaRiesgos();
    QComboBox* medidas = eleccionRiesgo_->listaMedidas();
    linea->addWidget(etiqueta("Riesgo", riesgos), 2, 0);
    linea->addWidget(riesgos, 2, 1, 1, 3);
    linea->addWidget(etiqueta("Medida", medidas), 2, 4);
    linea->addWidget(medidas, 2, 5, 1, 2);
    linea->setColumnStretch(3, 2);
    linea->setColumnStretch(5, 1);
    v->addLayout(linea);

    // Los riesgos cuya acción está hecha y aún no se han vuelto a valorar, encima de las líneas.
    revaloracion_ = new RevaloracionPlan(sesion_, this, [this] {
        if (!dejarCabecera())
            return false;
        ocultarme();
        return true;
    });
    v->addWidget(revaloracion_);
    cuadriculas_ = new CuadriculasPlan(this);
    v->addWidget(cuadriculas_, 1);

    botonVolver_ = Kit::botonImagen("Image1", "Volver a Empresas y Centros ", QStyle::SP_DirHomeIcon);
    botonEliminarPlan_ =
        Kit::botonImagen("ECentro", "Eliminar Planificación de Actuaciones Preventivas completa", QStyle::SP_TrashIcon);
    botonAyuda_ = Kit::botonImagen("Image9", "Ayuda", QStyle::SP_DialogHelpButton);
    botonAyuda_->setIcon(IconosEntrada::ayuda());
    botonImprimir_ = Kit::botonImagen("Picture2", "Imprimir Actuaciónes Preventivas", QStyle::SP_ArrowForward);
    botonProponer_ = boton("BProponer", "Proponer desde la evaluación");
    botonProponer_->setToolTip("Proponer líneas desde las medidas de los riesgos evaluados que aún no tienen acción");
    botonProponer_->setAccessibleName("Proponer desde la evaluación");
    botonPlazos_ = boton("BPlazos", "Plazos por nivel");
    botonPlazos_->setToolTip("Meses de plazo que se proponen para cada nivel de riesgo");
    botonPlazos_->setAccessibleName("Plazos por nivel");
    v->addLayout(Kit::fila(
        {botonVolver_, botonEliminarPlan_, nullptr, botonProponer_, botonPlazos_, botonAyuda_, botonImprimir_}));

    connect(cabecera_.guardar, &QPushButton::clicked, this, Ranura([this] { guardarCabecera(); }, this));
    connect(botonAnadirLinea_, &QPushButton::clicked, this, Ranura([this] { anadirLinea(); }, this));
    connect(botonEliminarLinea_, &QPushButton::clicked, this, Ranura([this] { eliminarLinea(); }, this));
    connect(botonSeleccionarAcciones_, &QPushButton::clicked, this, Ranura([this] { seleccionarAcciones(); }, this));
    connect(botonEliminarPlan_, &QToolButton::clicked, this, Ranura([this] { eliminarPlan(); }, this));
    connect(botonImprimir_, &QToolButton::clicked, this, Ranura([this] { imprimir(); }, this));
    connect(botonVolver_, &QToolButton::clicked, this, Ranura([this] { volver(); }, this));
    connect(botonAyuda_, &QToolButton::clicked, this, Ranura([this] { AbrirAyuda(this, "Accion Preventiva"); }, this));
    connect(botonProponer_, &QPushButton::clicked, this, Ranura([this] { proponer(); }, this));
    connect(botonPlazos_, &QPushButton::clicked, this, Ranura([this] { editarPlazos(); }, this));
    connect(eleccionRiesgo_, &EleccionRiesgo::medidaElegida, this, [this](const QString& medida) {
        // Elegir la medida con la acción aún sin escribir la toma como redacción.
        if (cajaAccion_->text().trimmed().isEmpty())
            cajaAccion_->setText(medida);
    });
    connect(cuadriculas_, &CuadriculasPlan::estadoCambiado, this, Ranura([this] { trasCambiarEstado(); }, this));
}

void ActuacionPreventiva::cargar()
{
    // Más alta que la primera versión de la ventana: las dos cuadrículas enseñan una decena de líneas.
    EjecutarCarga(
        {[this] { ColocarEnTwips(this, 100, 100, 12700, 8400); },
         [this] {
             setWindowTitle("Planificación de actuación preventiva ");
             cabecera_.cargo->clear();
             cabecera_.cargo->addItems({QString(), "Empresario", "Trabajador designado"});
         },
         [this] { cuadriculas_->ponerConexion(sesion_.conexion); }, [this] { cuadriculas_->ponerColumnasLineas(); },
         [this] { cuadriculas_->ponerColumnasSeguimiento(); }, [this] { vaciarLineaNueva(); }, [this] { Colocar(); }},
        this);
}

void ActuacionPreventiva::Colocar()
{
    bool parar = false;
    EjecutarPresentacion({[&] { revaloracion_->actualizar(false); }, [&] { AbrirCentroEnCurso(*rsCentro_, sesion_); },
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
                          },
                          [&] {
                              if (!parar)
                                  eleccionRiesgo_->leer(sesion_.conexion, sesion_.idCentro);
                          }},
                         rsCentro_.get(), nullptr, this);
}

void ActuacionPreventiva::mostrarCabecera()
{
    cabecera_.planificador->setText(NuloATexto(rsPlan_->value("Persona")).toString());
    cabecera_.cargo->setEditText(NuloATexto(rsPlan_->value("Cargo")).toString());
    cabecera_.fecha->setValue(rsPlan_->value("Fecha"));
    cabeceraGuardada_ = {cabecera_.planificador->text(), cabecera_.cargo->currentText(), cabecera_.fecha->value()};
}

bool ActuacionPreventiva::cabeceraCambiada() const
{
    if (idActuacion() <= 0)
        return false;
    // Un texto que no es fecha también es un cambio: guardarlo avisa de por qué no vale.
    return cabecera_.planificador->text() != cabeceraGuardada_.persona ||
           cabecera_.cargo->currentText() != cabeceraGuardada_.cargo || !cabecera_.fecha->isValid() ||
           cabecera_.fecha->value() != cabeceraGuardada_.fecha;
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

DataSource* ActuacionPreventiva::lineas() const
{
    return cuadriculas_->lineas();
}

Grid* ActuacionPreventiva::cuadricula() const
{
    return cuadriculas_->cuadricula();
}

DataSource* ActuacionPreventiva::seguimiento() const
{
    return cuadriculas_->seguimiento();
}

Grid* ActuacionPreventiva::cuadriculaSeguimiento() const
{
    return cuadriculas_->cuadriculaSeguimiento();
}

void ActuacionPreventiva::leerLineas()
{
    botonEliminarLinea_->setEnabled(false);
    cuadriculas_->leer(idActuacion());
    botonEliminarLinea_->setEnabled(!lineas()->isEmpty());
}

void ActuacionPreventiva::trasCambiarEstado()
{
    revaloracion_->estadoCambiado(seguimiento());
}

void ActuacionPreventiva::showEvent(QShowEvent* evento)
{
    QWidget::showEvent(evento);
    ProtegerRanura([this] { revaloracion_->actualizar(true); }, this);
}

PropuestasPlan* ActuacionPreventiva::proponer()
{
    const long long plan = idActuacion();
    if (plan <= 0) {
        rechazar("No hay ninguna planificación abierta a la que añadir propuestas. Vuelva a Empresas y Centros y "
                 "abra la planificación del centro de trabajo.",
                 "Sin Planificación", nullptr);
        return nullptr;
    }
    // Las propuestas llevan como responsable a quien hace el plan, tal como está guardado.
    if (!dejarCabecera())
        return nullptr;
    if (cabeceraGuardada_.persona.trimmed().isEmpty()) {
        rechazar("Las acciones propuestas llevan como responsable a quien hace el plan. Escriba su Nombre y "
                 "apellidos y guarde la cabecera antes de proponer.",
                 "Sin Responsable", cabecera_.planificador);
        return nullptr;
    }
    std::vector<LineaPropuesta> lista =
        ProponerDesdeEvaluacion(*Conexion::obtener(sesion_.conexion), sesion_.idCentro, Hoy());
    if (lista.empty()) {
        Servicios().mensaje(this,
                            "No hay nada que proponer desde la evaluación: ningún riesgo moderado, importante o "
                            "intolerable del centro tiene medidas propuestas que no estén ya en el plan.",
                            "Sin propuestas", Icono::Informacion, Botones::Aceptar, Respuesta::Aceptar);
        return nullptr;
    }
    auto* dialogo = new PropuestasPlan(sesion_.conexion, plan, cabeceraGuardada_.persona, std::move(lista), this);
    dialogo->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialogo, &PropuestasPlan::anadidas, this, Ranura([this] { leerLineas(); }, this));
    dialogo->open();
    return dialogo;
}

PlazosPlan* ActuacionPreventiva::editarPlazos()
{
    auto* dialogo = new PlazosPlan(sesion_.conexion, this);
    dialogo->setAttribute(Qt::WA_DeleteOnClose);
    dialogo->open();
    return dialogo;
}

void ActuacionPreventiva::vaciarLineaNueva()
{
    cajaAccion_->clear();
    fechaLimite_->clear();
    cajaResponsable_->clear();
    cajaPresupuesto_->clear();
    eleccionRiesgo_->vaciar();
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
    if (!cabecera_.fecha->isValid()) {
        rechazar("No se puede guardar la F. Planificación. " + cabecera_.fecha->problem(), "Fecha no válida",
                 cabecera_.fecha);
        return false;
    }
    rsPlan_->setValue("Persona", cabecera_.planificador->text());
    rsPlan_->setValue("Cargo", cabecera_.cargo->currentText());
    rsPlan_->setValue("Fecha", cabecera_.fecha->value());
    GrabarFila(*rsPlan_);
    cabeceraGuardada_ = {cabecera_.planificador->text(), cabecera_.cargo->currentText(), cabecera_.fecha->value()};
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
    LineaNueva linea;
    linea.idActuacion = plan;
    linea.accion = cajaAccion_->text();
    linea.fechaLimite = fechaLimite_->date();
    linea.responsable = cajaResponsable_->text();
    linea.presupuesto = cajaPresupuesto_->text();
    if (const QVariant riesgo = eleccionRiesgo_->riesgo(); !riesgo.isNull()) {
        linea.idEvaluacion = riesgo;
        linea.idMedidaFactor = eleccionRiesgo_->medida();
    }
    AnadirLinea(*Conexion::obtener(sesion_.conexion), linea);
    leerLineas();
    vaciarLineaNueva();
}

void ActuacionPreventiva::eliminarLinea()
{
    DataSource* ds = lineas();
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
    try {
        // Con la línea se va lo que quedaba pendiente de volver a valorar por ella.
        Transaccion t(sesion_.conexion);
        QuitarRevaloracionPendiente(*Conexion::obtener(sesion_.conexion), linea.toLongLong());
        borrarFila(*Conexion::obtener(sesion_.conexion), "\"ActuaciónPreventivaRegistro\"", "IDActuacionRegistro",
                   linea.toLongLong(), ds->fieldValue(actual, "VersionFila"));
        t.confirmar();
    } catch (const ErrorBD& e) {
        // Una línea que otro ha cambiado desde que se leyó no se borra: se enseña como la dejó.
        if (e.numero() == NumeroError::RegistroModificado)
            leerLineas();
        throw;
    }
    leerLineas();
    revaloracion_->actualizar(false);
}

void ActuacionPreventiva::eliminarPlan()
{
    if (Servicios().mensaje(this,
                            "¿Esta seguro de querer Eliminar la Actuacion preventiva? Este proceso es irreversible.",
                            "Eliminar", Icono::Critico, Botones::SiNo, Respuesta::No) != Respuesta::Si)
        return;
    const long long plan = idActuacion();
    const QVariant version = plan > 0 ? rsPlan_->value("VersionFila") : QVariant();
    sinPreguntar_ = true;
    rsPlan_->close();
    try {
        // Las líneas se van con la cabecera: la relación entre las dos tablas borra en cascada; lo
        // pendiente de volver a valorar por ellas, aquí.
        Transaccion t(sesion_.conexion);
        QuitarRevaloracionesDelPlan(*Conexion::obtener(sesion_.conexion), plan);
        borrarFila(*Conexion::obtener(sesion_.conexion), "\"ActuaciónPreventiva\"", "IDActuacion", plan, version);
        t.confirmar();
    } catch (...) {
        // No se ha borrado nada: la ventana sigue con su plan.
        sinPreguntar_ = false;
        Colocar();
        throw;
    }
    rsPlan_->open("Select * from \"ActuaciónPreventiva\";", sesion_.conexion);
    RegistroVentanas* r = RegistroVentanas::actual();
    if (r && r->ventana(Ventana::ActuacionPreventiva) == this)
        r->descargar(Ventana::ActuacionPreventiva);
    else
        close();
}

void ActuacionPreventiva::imprimir()
{
    DataSource* ds = lineas();
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
    if (RegistroVentanas* r = RegistroVentanas::actual(); r && r->ventana(Ventana::ActuacionPreventiva) == this)
        r->ocultar(Ventana::ActuacionPreventiva);
    else if (auto* marco = qobject_cast<QMdiSubWindow*>(parentWidget()))
        marco->hide();
    else
        hide();
}
