#include "companies/Empresa.h"

#include "plataforma/PlataformaServicios.h"
#include "shell/FilaControles.h"
#include "shell/FiltroLista.h"
#include "shell/IconosEntrada.h"
#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "shell/NavegadorRegistros.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "store/Conexion.h"
#include "store/EscrituraFila.h"
#include "store/Recordset.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
using namespace TiposAviso;

QString texto(Recordset& rs, const char* campo)
{
    return NuloATexto(rs.value(campo)).toString();
}

// Ventanas que trabajan sobre el centro en curso de la sesión, que leen cada vez que lo necesitan.
const Ventana ventanasEvaluacion[] = {Ventana::InicioEvaluacion,   Ventana::Puestos,
                                      Ventana::SeleccionaFactores, Ventana::SeleccionaRiesgos,
                                      Ventana::SeleccionaMedidas,  Ventana::ImprimirEvaluacion};
const Ventana ventanasPlanificacion[] = {Ventana::ActuacionPreventiva, Ventana::ImprimirPlanificacion};

void descargar(RegistroVentanas& r, const auto& ventanas)
{
    for (Ventana v : ventanas)
        r.descargar(v);
}

// Con el centro en curso cambiado o borrado, nada debe quedar abierto que siga escribiendo en él:
// tampoco el selector de acciones, que abriría otra planificación.
void descargarTodas(RegistroVentanas& r)
{
    descargar(r, ventanasEvaluacion);
    descargar(r, ventanasPlanificacion);
    r.descargar(Ventana::AccionPreventiva);
}

// Cada informe pedido desde aquí abre un visor nuevo.
void verInforme(Sesion& sesion, const PeticionInforme& peticion)
{
    sesion.informe = peticion;
    if (RegistroVentanas* r = RegistroVentanas::actual())
        r->abrirOtra(Ventana::InformeGeneral);
}

QFrame* panel(const QString& nombre)
{
    auto* p = new QFrame;
    p->setObjectName(nombre);
    p->setFrameShape(QFrame::StyledPanel);
    return p;
}

// La columna de un panel de datos, con su título arriba.
QVBoxLayout* columnaConTitulo(QFrame* panel, const QString& nombreTitulo, const QString& titulo)
{
    auto* v = new QVBoxLayout(panel);
    v->addWidget(Kit::titulo(nombreTitulo, titulo));
    return v;
}

// El pie de un panel de datos: su barra de registros y, debajo, los botones de crear, guardar y
// eliminar.
void ponerPie(QVBoxLayout* v, QLayout* barra, QLayout* botones)
{
    v->addLayout(barra);
    v->addWidget(new QLabel("Acciones a realizar"));
    v->addLayout(botones);
}
} // namespace

Empresa::Empresa(Sesion& sesion, QWidget* parent)
    : QWidget(parent), sesion_(sesion), navEmpresas_(definirEmpresas()), navCentros_(definirCentros())
{
    setObjectName(NombreVentana(Ventana::Empresa));
    setAttribute(Qt::WA_DeleteOnClose);
    construir();
    AplicarAccesibilidad(this);
    cargar();
}

Empresa::~Empresa()
{
    navEmpresas_->cerrar();
    navCentros_->cerrar();
}

Recordset* Empresa::empresas() const
{
    return navEmpresas_->registros();
}

Recordset* Empresa::centros() const
{
    return navCentros_->registros();
}

NavegadorRegistros* Empresa::definirEmpresas()
{
    // Al guardar se rehace la vista entera: los centros son los de la empresa guardada.
    auto* nav = new NavegadorRegistros(
        this, {.lista = "cmbNombre",
               .campoNombre = "Nombre",
               .campoClave = "IDEmpresa",
               .largoNombre = 50,
               .contador = "Label8",
               .barras = {"Toolbar3", "Toolbar1", "Toolbar2", "Toolbar4"},
               .crear = {"NEmprea", "Crear Empresa"},
               .guardar = {"GEmprea", "Guardar/Modificar Empresa"},
               .eliminar = {"EEmprea", "Eliminar Empresa"},
               .faltaNombre = "Tiene que introduccir un valor en el campo Nombre de Empresa, para poder grabar/guardar",
               .confirmarBorrado =
                   "¿Esta seguro de querer Eliminar la Empresa? Este proceso es irreversible, se perderan los "
                   "centros de trabajo asociados, Evaluaciones y Actuaciones Preventivas",
               .avisoNueva = "La empresa nueva%1 aún no se ha guardado.",
               .avisoCambiada = "El nombre de la empresa «%1» se ha cambiado a «%2» y aún no se ha guardado.",
               .tituloAviso = "Datos Empresa",
               .nueva = &sesion_.nuevaEmpresa,
               .recolocarAlGuardar = true});

    NavegadorRegistros::Funciones& f = nav->funciones();
    f.abrir = [this](Recordset& rs) { rs.open("Select * from Empresas", sesion_.conexion); };
    // Sólo si nadie la ha cambiado desde que se leyó.
    f.borrar = [this](long long id) {
        borrarFila(*Conexion::obtener(sesion_.conexion), "Empresas", "IDEmpresa", id,
                   navEmpresas_->registros()->value("VersionFila"));
    };
    f.mostrar = [this](Recordset& rs) { mostrarEmpresa(rs); };
    f.escribir = [this](Recordset& rs, const QString& nombre, bool nueva) { escribirEmpresa(rs, nombre, nueva); };
    f.validar = [this] { return totalValido(); };
    // Sin empresa no hay centros ni a qué añadirlos.
    const auto sinCentros = [this] {
        navCentros_->botonCrear()->setEnabled(false);
        navCentros_->vaciarLista();
        navCentros_->estadoSinFilas();
        accionesCentro(false);
    };
    f.sinFilas = sinCentros;
    f.conFilas = [this] { navCentros_->botonCrear()->setEnabled(true); };
    // La empresa que estaba a la vista ya no se ve: no recibe centros sin verla.
    f.alCrear = sinCentros;
    f.trasColocar = [this] {
        CargarCentros();
        ColocarCentros();
    };
    f.trasBorrar = [this] { cerrarVentanasDeCentroBorrado(); };
    return nav;
}

NavegadorRegistros* Empresa::definirCentros()
{
    auto* nav = new NavegadorRegistros(
        this,
        {.lista = "cmbNombreCentro",
         .campoNombre = "Direccion",
         .campoClave = "IDCentro",
         .largoNombre = 100,
         .contador = "Label14",
         .barras = {"Toolbar5", "Toolbar6", "Toolbar7", "Toolbar8"},
         .crear = {"NCentro", "Crear Centro"},
         .guardar = {"GCentro", "Guardar/Modificar Centro"},
         .eliminar = {"ECentro", "Eliminar Centro"},
         .faltaNombre = "Tiene que introduccir un valor en el campo Nombre Centro, para poder grabar/guardar",
         .confirmarBorrado = "¿Esta seguro de querer Eliminar el Centro? Este proceso es irreversible, se perderan las "
                             "Evaluaciones y Actuaciones Preventivas gravadas",
         .avisoNueva = "El centro nuevo%1 aún no se ha guardado.",
         .avisoCambiada = "El nombre del centro «%1» se ha cambiado a «%2» y aún no se ha guardado.",
         .tituloAviso = "Datos Empresa",
         .nueva = &sesion_.nuevoCentro});

    NavegadorRegistros::Funciones& f = nav->funciones();
    f.abrir = [this](Recordset& rs) {
        Recordset* empresas = navEmpresas_->registros();
        if (navEmpresas_->total() == 0) {
            rs.open("Select * from CentroTrabajo where IDEmpresa = 0;", sesion_.conexion);
            return;
        }
        rs.open("Select * from CentroTrabajo where IDEmpresa = ?;", sesion_.conexion, {empresas->value("IDEmpresa")});
    };
    f.borrar = [this](long long id) {
        borrarFila(*Conexion::obtener(sesion_.conexion), "CentroTrabajo", "IDCentro", id,
                   navCentros_->registros()->value("VersionFila"));
    };
    f.mostrar = [this](Recordset& rs) { mostrarCentro(rs); };
    f.escribir = [this](Recordset& rs, const QString& nombre, bool nuevo) { escribirCentro(rs, nombre, nuevo); };
    f.sinFilas = [this] { accionesCentro(false); };
    f.conFilas = [this] {
        accionesCentro(true);
        navCentros_->campos(true, false);
        for (QWidget* w : {static_cast<QWidget*>(empresa_.evaluador), static_cast<QWidget*>(empresa_.totalTrabajadores),
                           static_cast<QWidget*>(empresa_.cargo), static_cast<QWidget*>(empresa_.formacion)})
            Kit::ponerEstado(w, true);
    };
    // Un centro que aún no existe no se evalúa ni se planifica.
    f.alCrear = [this] {
        botonCrearEvaluacion_->setEnabled(false);
        botonCrearPlanificacion_->setEnabled(false);
    };
    f.trasBorrar = [this] { cerrarVentanasDeCentroBorrado(); };
    return nav;
}

QWidget* Empresa::panelEmpresa()
{
    QFrame* p = panel("PanelEmpresa");
    QVBoxLayout* v = columnaConTitulo(p, "LabelEmpresa", "Datos de la Empresa");

    QComboBox* nombre = navEmpresas_->lista();
    empresa_.cif = Kit::caja("strNif", 10);
    empresa_.direccion = Kit::caja("strDireccion", 100);
    empresa_.localidad = Kit::caja("strPoblacion", 50);
    empresa_.codigoPostal = Kit::caja("strCodPostal", 5);
    empresa_.provincia = Kit::caja("strProvincia", 100);
    empresa_.evaluador = Kit::caja("strNombre", 100);
    empresa_.totalTrabajadores = Kit::caja("strTotalTrabajdores", 10);
    empresa_.cargo = Kit::lista("cmbCargo");
    empresa_.formacion = Kit::lista("cmbFormacion");
    navEmpresas_->ponerCampos({empresa_.cif, empresa_.direccion, empresa_.localidad, empresa_.codigoPostal,
                               empresa_.provincia, empresa_.evaluador, empresa_.totalTrabajadores, empresa_.cargo,
                               empresa_.formacion});

    auto* g = new QGridLayout;
    Kit::ponerCampo(g, 0, 0, "Nombre", nombre, 3);
    Kit::ponerCampo(g, 1, 0, "CIF", empresa_.cif);
    Kit::ponerCampo(g, 1, 2, "C. Postal", empresa_.codigoPostal);
    Kit::ponerCampo(g, 2, 0, "Dirección", empresa_.direccion, 3);
    Kit::ponerCampo(g, 3, 0, "Localidad", empresa_.localidad);
    Kit::ponerCampo(g, 3, 2, "Provincia", empresa_.provincia);
    // Con muchas empresas, la lista de nombres se acorta a las que se buscan.
    v->addWidget(new FiltroLista("txtBuscarEmpresa", nombre));
    v->addLayout(g);

    auto* persona = new QGroupBox("Persona que realiza la evaluación");
    persona->setObjectName("FramePersona");
    auto* gp = new QGridLayout(persona);
    Kit::ponerCampo(gp, 0, 0, "Nombre y apellidos", empresa_.evaluador, 3);
    Kit::ponerCampo(gp, 1, 0, "Cargo", empresa_.cargo);
    Kit::ponerCampo(gp, 1, 2, "Total de Trabajadores", empresa_.totalTrabajadores);
    Kit::ponerCampo(gp, 2, 0, "Formación en PRL", empresa_.formacion, 3);
    empresa_.totalTrabajadores->setMaximumWidth(80);
    v->addWidget(persona);

    ponerPie(v, navEmpresas_->barra(false),
             Kit::fila({navEmpresas_->botonCrear(), navEmpresas_->botonGuardar(), navEmpresas_->botonEliminar()}));
    return p;
}

QWidget* Empresa::panelCentro()
{
    QFrame* p = panel("PanelCentro");
    QVBoxLayout* v = columnaConTitulo(p, "LabelCentro", "CENTRO DE TRABAJO");

    centro_.localidad = Kit::caja("strPoblacionCT", 50);
    centro_.codigoPostal = Kit::caja("strCodPostalCT", 5);
    centro_.provincia = Kit::caja("strProvinciaCT", 100);
    navCentros_->ponerCampos({centro_.localidad, centro_.codigoPostal, centro_.provincia});
    auto* g = new QGridLayout;
    Kit::ponerCampo(g, 0, 0, "Nombre Centro:", navCentros_->lista());
    Kit::ponerCampo(g, 1, 0, "Localidad", centro_.localidad);
    Kit::ponerCampo(g, 2, 0, "C. Postal", centro_.codigoPostal);
    Kit::ponerCampo(g, 3, 0, "Provincia", centro_.provincia);
    g->setColumnStretch(1, 1);
    v->addLayout(g);

    v->addStretch();
    auto* acciones = new QGridLayout;
    acciones->addWidget(navCentros_->botonCrear(), 0, 0);
    acciones->addWidget(navCentros_->botonEliminar(), 0, 1);
    acciones->addWidget(navCentros_->botonGuardar(), 1, 0, 1, 2);
    ponerPie(v, navCentros_->barra(true), acciones);
    return p;
}

QWidget* Empresa::panelAcciones()
{
    QFrame* p = panel("PanelAcciones");
    auto* v = new QVBoxLayout(p);
    const auto dibujo = [&](const QString& nombre, const QString& texto, QStyle::StandardPixmap icono) {
        auto* b = new QToolButton;
        b->setObjectName(nombre);
        b->setText(texto);
        b->setIcon(Kit::iconoEstandar(icono));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    botonCrearEvaluacion_ = Kit::boton("CEvaluacion", {});
    botonCrearPlanificacion_ = Kit::boton("CPlanificacion", {});
    botonVerEvaluacion_ = Kit::boton("CEvaluacionVisualizar", {});
    botonVerPlanificacion_ = Kit::boton("CPlanificacionVisualizar", {});
    v->addWidget(dibujo("CEvaluacion2", "Crear evaluación de riesgos ", QStyle::SP_FileDialogDetailedView));
    v->addWidget(botonCrearEvaluacion_);
    v->addWidget(botonVerEvaluacion_);
    v->addSpacing(8);
    v->addWidget(
        dibujo("CPlanificacion2", "Crear planificación de actuación preventiva", QStyle::SP_FileDialogListView));
    v->addWidget(botonCrearPlanificacion_);
    v->addWidget(botonVerPlanificacion_);
    v->addStretch();

    auto* pie = new QHBoxLayout;
    QToolButton* ayuda = Kit::botonImagen("Image9", "Ayuda", QStyle::SP_DialogHelpButton, "Ayuda");
    ayuda->setIcon(IconosEntrada::ayuda());
    QToolButton* cerrar = Kit::botonImagen("cmdSalir", "Cerrar Empresas", QStyle::SP_DialogCloseButton, "Cerrar");
    cerrar->setAccessibleName("Cerrar Empresas");
    pie->addStretch();
    pie->addWidget(ayuda);
    pie->addWidget(cerrar);
    v->addLayout(pie);
    connect(ayuda, &QToolButton::clicked, this, Ranura([this] { AbrirAyuda(this, "Empresas"); }, this));
    connect(cerrar, &QToolButton::clicked, this, Ranura([this] { salir(); }, this));
    return p;
}

void Empresa::construir()
{
    setWindowTitle("Datos Empresa");
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(4, 4, 4, 4);
    h->addWidget(panelEmpresa(), 4);
    h->addWidget(panelCentro(), 3);
    h->addWidget(panelAcciones(), 0);

    connect(botonCrearEvaluacion_, &QPushButton::clicked, this, Ranura([this] { crearEvaluacion(); }, this));
    connect(botonCrearPlanificacion_, &QPushButton::clicked, this, Ranura([this] { crearPlanificacion(); }, this));
    connect(botonVerEvaluacion_, &QPushButton::clicked, this, Ranura([this] { verEvaluacion(); }, this));
    connect(botonVerPlanificacion_, &QPushButton::clicked, this, Ranura([this] { verPlanificacion(); }, this));
}

void Empresa::cargar()
{
    EjecutarCarga({[this] { ColocarEnTwips(this, 100, 100, 12700, 4050); }, [this] { sesion_.nuevaEmpresa = false; },
                   [this] {
                       botonCrearEvaluacion_->setText("Primero:\r\nCrear evaluación de riesgos ");
                       botonCrearPlanificacion_->setText("Segundo:\r\nCrear planificación de actuación preventiva");
                       botonVerEvaluacion_->setText("Visualizar evaluación de riesgos ");
                       botonVerPlanificacion_->setText("Visualizar planificación de actuación preventiva");
                   },
                   [this] {
                       empresa_.cargo->clear();
                       empresa_.cargo->addItems({QString(), "Empresario", "Trabajador designado"});
                       empresa_.formacion->clear();
                       empresa_.formacion->addItems({QString(), "Técnico con curso básico en PRL",
                                                     "Técnico Intermedio en PRL", "Técnico Superior en PRL",
                                                     "Técnico Superior en PRP"});
                   },
                   [this] { CargarEmpresas(); }, [this] { ColocarEmpresas(); }},
                  this);
}

// ---- Empresas ----

void Empresa::mostrarEmpresa(Recordset& rs)
{
    empresa_.cif->setText(texto(rs, "CIF"));
    empresa_.direccion->setText(texto(rs, "Direccion"));
    empresa_.localidad->setText(texto(rs, "Poblacion"));
    empresa_.codigoPostal->setText(texto(rs, "CodPostal"));
    empresa_.provincia->setText(texto(rs, "Provincia"));
    empresa_.evaluador->setText(texto(rs, "Persona"));
    empresa_.cargo->setEditText(texto(rs, "Cargo"));
    empresa_.formacion->setEditText(texto(rs, "Formacion"));
    empresa_.totalTrabajadores->setText(texto(rs, "TotalTrabajadores"));
}

bool Empresa::totalValido()
{
    const QString total = empresa_.totalTrabajadores->text().trimmed();
    bool ok = total.isEmpty();
    if (!ok) {
        const qlonglong n = total.toLongLong(&ok);
        ok = ok && n >= 0;
    }
    if (ok)
        return true;
    Servicios().mensaje(this,
                        QStringLiteral("El campo Total de Trabajadores tiene que ser un número entero sin decimales "
                                       "(por ejemplo, 12), y «%1» no lo es. Corríjalo para poder grabar/guardar.")
                            .arg(empresa_.totalTrabajadores->text()),
                        "Error", Icono::Critico, Botones::Aceptar, Respuesta::Aceptar);
    empresa_.totalTrabajadores->setFocus();
    empresa_.totalTrabajadores->selectAll();
    return false;
}

void Empresa::escribirEmpresa(Recordset& rs, const QString& nombre, bool nueva)
{
    rs.setValue("Nombre", nombre);
    rs.setValue("CIF", empresa_.cif->text());
    rs.setValue("Direccion", empresa_.direccion->text());
    rs.setValue("Poblacion", empresa_.localidad->text());
    rs.setValue("CodPostal", empresa_.codigoPostal->text());
    // Una empresa nueva es de Madrid hasta que se cambie.
    rs.setValue("Provincia", nueva ? QStringLiteral("Madrid") : empresa_.provincia->text());
    rs.setValue("Persona", empresa_.evaluador->text());
    rs.setValue("TotalTrabajadores", NuloACero(empresa_.totalTrabajadores->text().trimmed()));
    rs.setValue("Cargo", empresa_.cargo->currentText());
    rs.setValue("Formacion", empresa_.formacion->currentText());
}

void Empresa::salir()
{
    hide();
    if (RegistroVentanas* r = RegistroVentanas::actual(); r && r->ventana(Ventana::Empresa) == this)
        r->descargar(Ventana::Empresa);
    else
        close();
}

// ---- Centros ----

void Empresa::mostrarCentro(Recordset& rs)
{
    centro_.localidad->setText(texto(rs, "Poblacion"));
    centro_.codigoPostal->setText(texto(rs, "CodPostal"));
    centro_.provincia->setText(texto(rs, "Provincia"));
}

void Empresa::escribirCentro(Recordset& rs, const QString& nombre, bool nuevo)
{
    if (nuevo)
        rs.setValue("IDEmpresa", navEmpresas_->registros()->value("IDEmpresa"));
    rs.setValue("NombreCentro", nombre);
    rs.setValue("Direccion", nombre);
    rs.setValue("Poblacion", centro_.localidad->text());
    rs.setValue("CodPostal", centro_.codigoPostal->text());
    rs.setValue("Provincia", nuevo ? QStringLiteral("Madrid") : centro_.provincia->text());
}

// ---- Acciones sobre el centro ----

RegistroVentanas* Empresa::tomarCentro(std::span<const Ventana> ventanasTarea)
{
    const qint64 centro = navCentros_->registros()->value("IDCentro").toLongLong();
    RegistroVentanas* r = RegistroVentanas::actual();
    if (!r)
        return nullptr;
    // Las ventanas de la tarea que quedaran abiertas son de otro centro o de otra vez: se
    // descartan para que nada siga trabajando sobre lo anterior. Si el centro cambia, también las
    // de la otra tarea, que pasarían a escribir en este.
    if (centro != sesion_.idCentro)
        descargarTodas(*r);
    descargar(*r, ventanasTarea);
    sesion_.idCentro = centro;
    return r;
}

void Empresa::crearEvaluacion()
{
    const qint64 empresa = navCentros_->registros()->value("IDEmpresa").toLongLong();
    if (RegistroVentanas* r = tomarCentro(ventanasEvaluacion)) {
        sesion_.idEmpresa = empresa;
        r->abrirNueva(Ventana::InicioEvaluacion);
    }
}

void Empresa::crearPlanificacion()
{
    if (RegistroVentanas* r = tomarCentro(ventanasPlanificacion))
        r->abrirNueva(Ventana::ActuacionPreventiva);
}

void Empresa::verEvaluacion()
{
    const qlonglong centro = navCentros_->registros()->value("IDCentro").toLongLong();
    const qlonglong empresa = navCentros_->registros()->value("IDEmpresa").toLongLong();
    verInforme(sesion_, PeticionInforme::evaluacion(centro, empresa));
}

void Empresa::verPlanificacion()
{
    verInforme(sesion_, PeticionInforme::planificacion(navCentros_->registros()->value("IDCentro").toLongLong()));
}

void Empresa::cerrarVentanasDeCentroBorrado()
{
    RegistroVentanas* r = RegistroVentanas::actual();
    if (!r || sesion_.idCentro == 0)
        return;
    Recordset sigue;
    sigue.open("select count(*) from CentroTrabajo where IDCentro = ?", sesion_.conexion,
               {qlonglong(sesion_.idCentro)});
    if (sigue.value(0).toLongLong() > 0)
        return;
    descargarTodas(*r);
    sesion_.idCentro = 0;
}

void Empresa::accionesCentro(bool activas)
{
    for (QPushButton* b :
         {botonCrearEvaluacion_, botonCrearPlanificacion_, botonVerEvaluacion_, botonVerPlanificacion_})
        b->setEnabled(activas);
}
