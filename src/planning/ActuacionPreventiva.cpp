#include "ActuacionPreventiva.h"

#include "DateBox.h"
#include "Globales.h"
#include "Importes.h"
#include "ManejadorErrores.h"
#include "PlataformaServicios.h"
#include "Recordset.h"
#include "RegistroVentanas.h"
#include "Rutinas.h"
#include "grid/DataSource.h"
#include "grid/Grid.h"

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

const QString ActuacionPreventiva::Nombre = QStringLiteral("ActuacionPreventiva");

namespace {
using Icono = PlataformaServicios::Icono;
using Botones = PlataformaServicios::Botones;
using Respuesta = PlataformaServicios::Respuesta;

const QString PlanesDelCentro = QStringLiteral("Select * from ActuaciónPreventiva where IDCentro = ");
const QString LineasDelPlan = QStringLiteral("SELECT * from ActuaciónPreventivaRegistro Where IDActuacion = ");
const int ColumnaPresupuesto = 3;

// Escribe la fila en curso; si el almacén la rechaza, el conjunto no se queda con el cambio a medias.
void grabar(Recordset& rs)
{
    try {
        rs.update();
    } catch (...) {
        rs.cancelUpdate();
        throw;
    }
}

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

QLineEdit* caja(const QString& nombre)
{
    auto* c = new QLineEdit;
    c->setObjectName(nombre);
    return c;
}

QPushButton* boton(const QString& nombre, const QString& titulo)
{
    auto* b = new QPushButton(titulo);
    b->setObjectName(nombre);
    return b;
}

QLabel* etiqueta(const QString& titulo, QWidget* campo)
{
    auto* e = new QLabel(titulo);
    e->setBuddy(campo);
    return e;
}

DateBox* cajaFecha(const QString& nombre, const QString& accesible)
{
    auto* f = new DateBox;
    f->setObjectName(nombre);
    f->setAccessibleName(accesible);
    f->lineEdit()->setAccessibleName(accesible);
    return f;
}
} // namespace

void ActuacionPreventiva::registrar()
{
    RegistroVentanas::registrarFabrica(Nombre, [] { return new ActuacionPreventiva; });
}

ActuacionPreventiva::ActuacionPreventiva(QWidget* parent)
    : QWidget(parent), rsCentro_(std::make_unique<Recordset>()), rsPlan_(std::make_unique<Recordset>())
{
    setObjectName(Nombre);
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

    auto* banner = new QLabel("Planificación de Actuación Preventiva");
    banner->setObjectName("LabelBanner");
    QFont f = banner->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.3);
    banner->setFont(f);
    v->addWidget(banner);

    auto* marco = new QGroupBox("Centro de trabajo");
    marco->setObjectName("FrameCentro");
    auto* hc = new QHBoxLayout(marco);
    strDireccion_ = caja("strDireccion");
    strDireccion_->setReadOnly(true);
    strDireccion_->setAccessibleName("Centro de trabajo");
    hc->addWidget(strDireccion_);
    v->addWidget(marco);

    // Cabecera del plan: sólo se guarda con su botón.
    strNombre_ = caja("strNombre");
    cmbCargo_ = new QComboBox;
    cmbCargo_->setObjectName("cmbCargo");
    cmbCargo_->setEditable(true);
    cmbCargo_->setInsertPolicy(QComboBox::NoInsert);
    cmbCargo_->setMinimumContentsLength(14);
    cmbCargo_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    strNombre_->setMinimumWidth(170);
    dteFecha_ = cajaFecha("dteFecha", "F. Planificación");
    GCentro_ = boton("GCentro", "Guardar/Modificar Datos");
    auto* cabecera = new QGridLayout;
    cabecera->addWidget(etiqueta("Nombre y apellidos", strNombre_), 0, 0);
    cabecera->addWidget(strNombre_, 0, 1);
    cabecera->addWidget(etiqueta("Cargo", cmbCargo_), 0, 2);
    cabecera->addWidget(cmbCargo_, 0, 3);
    cabecera->addWidget(etiqueta("F. Planificación", dteFecha_->lineEdit()), 0, 4);
    cabecera->addWidget(dteFecha_, 0, 5);
    cabecera->addWidget(GCentro_, 0, 6);
    cabecera->setColumnStretch(1, 3);
    cabecera->setColumnStretch(3, 2);
    v->addLayout(cabecera);

    auto* titulo = new QLabel("ACCIÓN PREVENTIVA");
    titulo->setObjectName("LabelAccion");
    QFont ft = titulo->font();
    ft.setBold(true);
    titulo->setFont(ft);
    v->addWidget(titulo);

    // Línea nueva.
    strAccion_ = caja("strAccion");
    SSCommand1_ = boton("SSCommand1", "Seleccionar Acciones ");
    SSCommand1_->setToolTip("Seleccionar Actuacion Preventiva");
    dteFechaLimite_ = cajaFecha("dteFechaLimite", "Fecha Limite");
    strResponsable_ = caja("strResponsable");
    strPresupuesto_ = caja("strPresupuesto");
    strResponsable_->setMinimumWidth(150);
    strPresupuesto_->setMinimumWidth(80);
    strPresupuesto_->setMaximumWidth(120);
    BAnadir_ = boton("BAñadir", "Añadir");
    BCancelar_ = boton("BCancelar", "Eliminar");
    auto* linea = new QGridLayout;
    linea->addWidget(etiqueta("Acción Preventiva", strAccion_), 0, 0);
    linea->addWidget(strAccion_, 0, 1, 1, 5);
    linea->addWidget(SSCommand1_, 0, 6);
    linea->addWidget(etiqueta("Fecha Limite", dteFechaLimite_->lineEdit()), 1, 0);
    linea->addWidget(dteFechaLimite_, 1, 1);
    linea->addWidget(etiqueta("Responsable Ejecucion", strResponsable_), 1, 2);
    linea->addWidget(strResponsable_, 1, 3);
    linea->addWidget(etiqueta("Presupuesto", strPresupuesto_), 1, 4);
    linea->addWidget(strPresupuesto_, 1, 5);
    auto* botones = new QHBoxLayout;
    botones->addWidget(BAnadir_);
    botones->addWidget(BCancelar_);
    linea->addLayout(botones, 1, 6);
    linea->setColumnStretch(3, 2);
    linea->setColumnStretch(5, 1);
    v->addLayout(linea);

    RActuacionPreventivaRegistro_ = new DataSource(this);
    RActuacionPreventivaRegistro_->setObjectName("RActuaciónPreventivaRegistro");
    GActuacionPreventivaRegistro_ = new Grid;
    GActuacionPreventivaRegistro_->setObjectName("GActuaciónPreventivaRegistro");
    GActuacionPreventivaRegistro_->setAccessibleName("Acciones preventivas del plan");
    GActuacionPreventivaRegistro_->setDataSource(RActuacionPreventivaRegistro_);
    GActuacionPreventivaRegistro_->setMinimumHeight(110);
    // Pasar el puntero por encima no cambia la línea elegida: es la que borra "Eliminar".
    GActuacionPreventivaRegistro_->setTipMovesCurrentRow(false);
    v->addWidget(GActuacionPreventivaRegistro_, 1);

    const auto imagen = [this](const char* nombre, const QString& tip, QStyle::StandardPixmap icono) {
        auto* b = new QToolButton;
        b->setObjectName(nombre);
        b->setToolTip(tip);
        b->setAccessibleName(tip);
        b->setIcon(style()->standardIcon(icono));
        b->setIconSize(QSize(24, 24));
        b->setAutoRaise(true);
        return b;
    };
    Image1_ = imagen("Image1", "Volver a Empresas y Centros ", QStyle::SP_DirHomeIcon);
    ECentro_ = imagen("ECentro", "Eliminar Planificación de Actuaciones Preventivas completa", QStyle::SP_TrashIcon);
    Image9_ = imagen("Image9", "Ayuda", QStyle::SP_DialogHelpButton);
    Picture2_ = imagen("Picture2", "Imprimir Actuaciónes Preventivas", QStyle::SP_ArrowForward);
    auto* pie = new QHBoxLayout;
    pie->addWidget(Image1_);
    pie->addWidget(ECentro_);
    pie->addStretch();
    pie->addWidget(Image9_);
    pie->addWidget(Picture2_);
    v->addLayout(pie);

    connect(GCentro_, &QPushButton::clicked, this, Ranura([this] { guardarCabecera(); }, this));
    connect(BAnadir_, &QPushButton::clicked, this, Ranura([this] { anadirLinea(); }, this));
    connect(BCancelar_, &QPushButton::clicked, this, Ranura([this] { eliminarLinea(); }, this));
    connect(SSCommand1_, &QPushButton::clicked, this, Ranura([this] { seleccionarAcciones(); }, this));
    connect(ECentro_, &QToolButton::clicked, this, Ranura([this] { eliminarPlan(); }, this));
    connect(Picture2_, &QToolButton::clicked, this, Ranura([this] { imprimir(); }, this));
    connect(Image1_, &QToolButton::clicked, this, Ranura([this] { volver(); }, this));
    connect(Image9_, &QToolButton::clicked, this, Ranura([this] { AbrirAyuda(this, "Accion Preventiva"); }, this));

    Grid* g = GActuacionPreventivaRegistro_;
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
                              DataSource* ds = RActuacionPreventivaRegistro_;
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
    EjecutarCarga(
        {[this] { ColocarEnTwips(this, 100, 100, 12700, 4050); },
         [this] {
             setWindowTitle("Planificación de actuación preventiva ");
             cmbCargo_->clear();
             cmbCargo_->addItems({QString(), "Empresario", "Trabajador designado"});
         },
         [this] { RActuacionPreventivaRegistro_->setConnectionString(gConexion); },
         [this] {
             GridColumn fecha = GridColumn::text("Fecha Limite", "FechaLimite");
             fecha.widthTwips = 1500;
             GridColumn responsable = GridColumn::text("Responsable Ejecucion", "ResponsableEjecucion");
             responsable.widthTwips = 2800;
             GridColumn presupuesto = GridColumn::text("Presupuesto", "PresupuestoAproximado");
             presupuesto.widthTwips = 1500;
             GActuacionPreventivaRegistro_->setColumns(
                 {GridColumn::text("Accion Preventiva", "AccionPreventiva"), fecha, responsable, presupuesto});
         },
         [this] { vaciarLineaNueva(); }, [this] { Colocar(); }},
        this);
}

void ActuacionPreventiva::Colocar()
{
    bool parar = false;
    EjecutarPresentacion({[&] {
                              rsCentro_->open(
                                  "Select * from CentroTrabajo where IDCentro = " + QString::number(gIDCentro) + ";",
                                  gConexion);
                              rsCentro_->requery();
                          },
                          [&] { parar = !rsCentro_->isOpen() || rsCentro_->eof(); },
                          [&] {
                              if (!parar)
                                  strDireccion_->setText(NuloATexto(rsCentro_->value("Direccion")).toString());
                          },
                          [&] {
                              if (parar)
                                  return;
                              rsPlan_->open(PlanesDelCentro + QString::number(gIDCentro) + ";", gConexion);
                              rsPlan_->requery();
                          },
                          [&] {
                              // La primera vez que se abre el plan del centro, se crea vacío.
                              if (parar || !rsPlan_->isOpen() || !rsPlan_->eof())
                                  return;
                              rsPlan_->addNew();
                              rsPlan_->setValue("IDCentro", qlonglong(gIDCentro));
                              grabar(*rsPlan_);
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
    strNombre_->setText(NuloATexto(rsPlan_->value("Persona")).toString());
    cmbCargo_->setEditText(NuloATexto(rsPlan_->value("Cargo")).toString());
    dteFecha_->setValue(rsPlan_->value("Fecha"));
    cabeceraGuardada_ = {strNombre_->text(), cmbCargo_->currentText(), dteFecha_->value()};
}

bool ActuacionPreventiva::cabeceraCambiada() const
{
    if (idActuacion() <= 0)
        return false;
    // Un texto que no es fecha también es un cambio: guardarlo avisa de por qué no vale.
    return strNombre_->text() != cabeceraGuardada_.persona || cmbCargo_->currentText() != cabeceraGuardada_.cargo ||
           !dteFecha_->isValid() || dteFecha_->value() != cabeceraGuardada_.fecha;
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
    BCancelar_->setEnabled(false);
    RActuacionPreventivaRegistro_->setRecordSource(LineasDelPlan + QString::number(idActuacion()) + ";");
    RActuacionPreventivaRegistro_->refresh();
    GActuacionPreventivaRegistro_->redraw();
    BCancelar_->setEnabled(!RActuacionPreventivaRegistro_->isEmpty());
}

void ActuacionPreventiva::vaciarLineaNueva()
{
    strAccion_->clear();
    dteFechaLimite_->clear();
    strResponsable_->clear();
    strPresupuesto_->clear();
}

void ActuacionPreventiva::ponerAccion(const QString& texto)
{
    strAccion_->setText(texto);
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
    if (!dteFecha_->isValid()) {
        rechazar("No se puede guardar la F. Planificación. " + dteFecha_->problem(), "Fecha no válida", dteFecha_);
        return false;
    }
    rsPlan_->setValue("Persona", strNombre_->text());
    rsPlan_->setValue("Cargo", cmbCargo_->currentText());
    rsPlan_->setValue("Fecha", dteFecha_->value());
    grabar(*rsPlan_);
    cabeceraGuardada_ = {strNombre_->text(), cmbCargo_->currentText(), dteFecha_->value()};
    return true;
}

void ActuacionPreventiva::anadirLinea()
{
    if (strAccion_->text().trimmed().isEmpty()) {
        rechazar("Tienes que escribir una Actuacion Preventiva", "Sin Actuacion", strAccion_);
        return;
    }
    if (dteFechaLimite_->isEmpty()) {
        rechazar("Tienes que escribir una Fecha Limite", "Sin Fecha", strAccion_);
        return;
    }
    if (!dteFechaLimite_->isValid()) {
        rechazar("No se puede añadir la acción con esa Fecha Limite. " + dteFechaLimite_->problem(), "Fecha no válida",
                 dteFechaLimite_);
        return;
    }
    if (strResponsable_->text().trimmed().isEmpty()) {
        rechazar("Tienes que escribir un Responsable", "Sin Responsable", strAccion_);
        return;
    }
    if (const QString problema = ProblemaImporte(strPresupuesto_->text()); !problema.isEmpty()) {
        rechazar(problema, "Presupuesto no válido", strPresupuesto_);
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
    rs.open("Select * from ActuaciónPreventivaRegistro;", gConexion);
    rs.addNew();
    rs.setValue("IDActuacion", plan);
    rs.setValue("AccionPreventiva", strAccion_->text());
    rs.setValue("FechaLimite", dteFechaLimite_->value());
    rs.setValue("ResponsableEjecucion", strResponsable_->text());
    rs.setValue("PresupuestoAproximado", strPresupuesto_->text());
    grabar(rs);
    leerLineas();
    vaciarLineaNueva();
}

void ActuacionPreventiva::eliminarLinea()
{
    DataSource* ds = RActuacionPreventivaRegistro_;
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
    Recordset::execute("delete from ActuaciónPreventivaRegistro where IDActuacionRegistro = " +
                           QString::number(linea.toLongLong()) + ";",
                       gConexion);
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
        Recordset::execute("delete from ActuaciónPreventiva where IDActuacion = " + QString::number(plan) + ";",
                           gConexion);
    } catch (...) {
        // No se ha borrado nada: la ventana sigue con su plan.
        sinPreguntar_ = false;
        Colocar();
        throw;
    }
    rsPlan_->open("Select * from ActuaciónPreventiva;", gConexion);
    RegistroVentanas* r = RegistroVentanas::actual();
    if (r && r->ventana(Nombre) == this)
        r->descargar(Nombre);
    else
        close();
}

void ActuacionPreventiva::imprimir()
{
    DataSource* ds = RActuacionPreventivaRegistro_;
    if (!ds->isOpen() || ds->isEmpty()) {
        rechazar("Tiene que existir por lo menos una Accion Preventiva para poder continuar", "Sin Accion", strAccion_);
        return;
    }
    // El documento sale con la cabecera guardada: lo escrito sin guardar no se pierde sin preguntar.
    if (!dejarCabecera())
        return;
    ocultarme();
    if (RegistroVentanas* r = RegistroVentanas::actual())
        r->abrirNueva("ImprimirPlanificacion");
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
        r->mostrarCargada("AccionPreventiva");
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
