#include "Empresa.h"

#include "ErrorBD.h"
#include "Globales.h"
#include "ManejadorErrores.h"
#include "PlataformaServicios.h"
#include "Recordset.h"
#include "RegistroVentanas.h"
#include "Rutinas.h"

#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

const QString Empresa::Nombre = QStringLiteral("Empresa");

namespace {
using Icono = PlataformaServicios::Icono;
using Botones = PlataformaServicios::Botones;
using Respuesta = PlataformaServicios::Respuesta;

constexpr int LargoNombreEmpresa = 50;
constexpr int LargoNombreCentro = 100;

// Dos estados de un campo: editable (fondo de ventana) o bloqueado (fondo del área de trabajo).
void ponerEstado(QWidget* campo, bool editable)
{
    campo->setEnabled(editable);
    QPalette p = campo->palette();
    const QColor fondo =
        editable ? QApplication::palette().color(QPalette::Base) : QApplication::palette().color(QPalette::Dark);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(g, QPalette::Base, fondo);
    campo->setPalette(p);
    campo->setProperty("estado", editable ? "editable" : "bloqueado");
}

void vaciar(QWidget* campo)
{
    if (auto* l = qobject_cast<QLineEdit*>(campo))
        l->clear();
    else if (auto* c = qobject_cast<QComboBox*>(campo))
        c->setEditText(QString());
}

QString texto(Recordset& rs, const char* campo)
{
    return NuloATexto(rs.value(campo)).toString();
}

QString entreComillas(const QString& t)
{
    return t.isEmpty() ? QString() : QStringLiteral(" «%1»").arg(t);
}

// Ventanas que trabajan sobre el centro en curso (gIDCentro), que leen cada vez que lo necesitan.
const char* const ventanasEvaluacion[] = {"InicioEvaluacion",  "Puestos",           "SeleccionaFactores",
                                          "SeleccionaRiesgos", "SeleccionaMedidas", "ImprimirEvaluacion"};
const char* const ventanasPlanificacion[] = {"ActuacionPreventiva", "ImprimirPlanificacion"};

void descargar(RegistroVentanas& r, const auto& nombres)
{
    for (const char* n : nombres)
        r.descargar(n);
}

// Con el centro en curso cambiado o borrado, nada debe quedar abierto que siga escribiendo en él:
// tampoco el selector de acciones, que abriría otra planificación.
void descargarTodas(RegistroVentanas& r)
{
    descargar(r, ventanasEvaluacion);
    descargar(r, ventanasPlanificacion);
    r.descargar("AccionPreventiva");
}

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

} // namespace

// Los cuatro botones de navegación de cada panel: antes de la primera fila, "anterior" va a la
// primera y "siguiente" a la última.
void Empresa::mover(Recordset& rs, Movimiento m)
{
    switch (m) {
    case Movimiento::Primero:
        rs.moveFirst();
        break;
    case Movimiento::Anterior:
        rs.bof() ? rs.moveFirst() : rs.movePrevious();
        break;
    case Movimiento::Siguiente:
        rs.bof() ? rs.moveLast() : rs.moveNext();
        break;
    case Movimiento::Ultimo:
        rs.moveLast();
        break;
    }
}

namespace {

QLineEdit* caja(const QString& nombre, int limite)
{
    auto* c = new QLineEdit;
    c->setObjectName(nombre);
    c->setMaxLength(limite);
    return c;
}

// Lista editable en la que sólo una elección en la lista desplegable cambia de entrada. Qt, por
// su cuenta, completa lo escrito con la primera entrada que empieza igual y elige la entrada que
// coincide al tabular, al pulsar Intro, con las flechas o con la rueda: lo escrito acabaría
// guardado en otra empresa o con otro texto.
class ListaEditable : public QComboBox
{
public:
    ListaEditable()
    {
        setEditable(true);
        disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
        disconnect(lineEdit(), &QLineEdit::returnPressed, this, nullptr);
        // Las coincidencias se ofrecen aparte, sin tocar lo escrito.
        completer()->setCompletionMode(QCompleter::PopupCompletion);
    }

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        const bool flecha = e->key() == Qt::Key_Up || e->key() == Qt::Key_Down || e->key() == Qt::Key_PageUp ||
                            e->key() == Qt::Key_PageDown;
        if (flecha && !(e->modifiers() & Qt::AltModifier)) {
            showPopup();
            return;
        }
        QComboBox::keyPressEvent(e);
    }
    void wheelEvent(QWheelEvent* e) override { e->ignore(); }
};

QComboBox* lista(const QString& nombre)
{
    auto* c = new ListaEditable;
    c->setObjectName(nombre);
    // Lo que se escribe no se añade solo a la lista: la lista la rellena la ventana.
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setMaxVisibleItems(15);
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(8);
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

QLabel* titulo(const QString& nombre, const QString& texto)
{
    auto* t = new QLabel(texto);
    t->setObjectName(nombre);
    QFont f = t->font();
    f.setBold(true);
    t->setFont(f);
    return t;
}
} // namespace

void Empresa::registrar()
{
    RegistroVentanas::registrarFabrica(Nombre, [] { return new Empresa; });
}

Empresa::Empresa(QWidget* parent) : QWidget(parent)
{
    setObjectName(Nombre);
    setAttribute(Qt::WA_DeleteOnClose);
    construir();
    AplicarAccesibilidad(this);
    cargar();
}

Empresa::~Empresa()
{
    // Al descargar se cierra el conjunto sin atender a ningún error.
    try {
        if (rsEmpresas_)
            rsEmpresas_->close();
        if (rsCentros_)
            rsCentros_->close();
    } catch (...) {
    }
}

QToolBar* Empresa::barraNavegacion(const QString& nombre, const QString& ayuda, int flecha)
{
    static const QStyle::StandardPixmap iconos[] = {QStyle::SP_MediaSkipBackward, QStyle::SP_MediaSeekBackward,
                                                    QStyle::SP_MediaSeekForward, QStyle::SP_MediaSkipForward};
    auto* barra = new QToolBar;
    barra->setObjectName(nombre);
    barra->setIconSize(QSize(16, 16));
    QAction* accion = barra->addAction(style()->standardIcon(iconos[flecha]), ayuda);
    accion->setToolTip(ayuda);
    barra->widgetForAction(accion)->setObjectName(nombre + "Boton");
    barra->widgetForAction(accion)->setAccessibleName(ayuda);
    return barra;
}

QWidget* Empresa::panelEmpresa()
{
    auto* panel = new QFrame;
    panel->setObjectName("PanelEmpresa");
    panel->setFrameShape(QFrame::StyledPanel);
    auto* v = new QVBoxLayout(panel);
    v->addWidget(titulo("LabelEmpresa", "Datos de la Empresa"));

    cmbNombre_ = lista("cmbNombre");
    strNif_ = caja("strNif", 10);
    strDireccion_ = caja("strDireccion", 100);
    strPoblacion_ = caja("strPoblacion", 50);
    strCodPostal_ = caja("strCodPostal", 5);
    strProvincia_ = caja("strProvincia", 100);
    strNombre_ = caja("strNombre", 100);
    strTotalTrabajdores_ = caja("strTotalTrabajdores", 10);
    cmbCargo_ = lista("cmbCargo");
    cmbFormacion_ = lista("cmbFormacion");

    auto* g = new QGridLayout;
    g->addWidget(etiqueta("Nombre", cmbNombre_), 0, 0);
    g->addWidget(cmbNombre_, 0, 1, 1, 3);
    g->addWidget(etiqueta("CIF", strNif_), 1, 0);
    g->addWidget(strNif_, 1, 1);
    g->addWidget(etiqueta("C. Postal", strCodPostal_), 1, 2);
    g->addWidget(strCodPostal_, 1, 3);
    g->addWidget(etiqueta("Dirección", strDireccion_), 2, 0);
    g->addWidget(strDireccion_, 2, 1, 1, 3);
    g->addWidget(etiqueta("Localidad", strPoblacion_), 3, 0);
    g->addWidget(strPoblacion_, 3, 1);
    g->addWidget(etiqueta("Provincia", strProvincia_), 3, 2);
    g->addWidget(strProvincia_, 3, 3);
    v->addLayout(g);

    auto* persona = new QGroupBox("Persona que realiza la evaluación");
    persona->setObjectName("FramePersona");
    auto* gp = new QGridLayout(persona);
    gp->addWidget(etiqueta("Nombre y apellidos", strNombre_), 0, 0);
    gp->addWidget(strNombre_, 0, 1, 1, 3);
    gp->addWidget(etiqueta("Cargo", cmbCargo_), 1, 0);
    gp->addWidget(cmbCargo_, 1, 1);
    gp->addWidget(etiqueta("Total de Trabajadores", strTotalTrabajdores_), 1, 2);
    gp->addWidget(strTotalTrabajdores_, 1, 3);
    gp->addWidget(etiqueta("Formación en PRL", cmbFormacion_), 2, 0);
    gp->addWidget(cmbFormacion_, 2, 1, 1, 3);
    strTotalTrabajdores_->setMaximumWidth(80);
    v->addWidget(persona);

    auto* nav = new QHBoxLayout;
    barras_[2] = barraNavegacion("Toolbar3", "Primer registro", 0);
    barras_[0] = barraNavegacion("Toolbar1", "Retroceder registro", 1);
    barras_[1] = barraNavegacion("Toolbar2", "Avanzar registro", 2);
    barras_[3] = barraNavegacion("Toolbar4", "Ultimo registro", 3);
    Label8_ = new QLabel("0 de 0");
    Label8_->setObjectName("Label8");
    Label8_->setAlignment(Qt::AlignCenter);
    Label8_->setMinimumWidth(90);
    nav->addWidget(barras_[2]);
    nav->addWidget(barras_[0]);
    nav->addWidget(Label8_);
    nav->addWidget(barras_[1]);
    nav->addWidget(barras_[3]);
    nav->addStretch();
    v->addLayout(nav);
    v->addWidget(new QLabel("Acciones a realizar"));
    auto* acciones = new QHBoxLayout;
    NEmprea_ = boton("NEmprea", "Crear Empresa");
    GEmprea_ = boton("GEmprea", "Guardar/Modificar Empresa");
    EEmprea_ = boton("EEmprea", "Eliminar Empresa");
    acciones->addWidget(NEmprea_);
    acciones->addWidget(GEmprea_);
    acciones->addWidget(EEmprea_);
    v->addLayout(acciones);
    return panel;
}

QWidget* Empresa::panelCentro()
{
    auto* panel = new QFrame;
    panel->setObjectName("PanelCentro");
    panel->setFrameShape(QFrame::StyledPanel);
    auto* v = new QVBoxLayout(panel);
    v->addWidget(titulo("LabelCentro", "CENTRO DE TRABAJO"));

    cmbNombreCentro_ = lista("cmbNombreCentro");
    strPoblacionCT_ = caja("strPoblacionCT", 50);
    strCodPostalCT_ = caja("strCodPostalCT", 5);
    strProvinciaCT_ = caja("strProvinciaCT", 100);
    auto* g = new QGridLayout;
    g->addWidget(etiqueta("Nombre Centro:", cmbNombreCentro_), 0, 0);
    g->addWidget(cmbNombreCentro_, 0, 1);
    g->addWidget(etiqueta("Localidad", strPoblacionCT_), 1, 0);
    g->addWidget(strPoblacionCT_, 1, 1);
    g->addWidget(etiqueta("C. Postal", strCodPostalCT_), 2, 0);
    g->addWidget(strCodPostalCT_, 2, 1);
    g->addWidget(etiqueta("Provincia", strProvinciaCT_), 3, 0);
    g->addWidget(strProvinciaCT_, 3, 1);
    g->setColumnStretch(1, 1);
    v->addLayout(g);

    auto* nav = new QHBoxLayout;
    barras_[4] = barraNavegacion("Toolbar5", "Primer registro", 0);
    barras_[5] = barraNavegacion("Toolbar6", "Retroceder registro", 1);
    barras_[6] = barraNavegacion("Toolbar7", "Avanzar registro", 2);
    barras_[7] = barraNavegacion("Toolbar8", "Ultimo registro", 3);
    Label14_ = new QLabel("0 de 0");
    Label14_->setObjectName("Label14");
    Label14_->setAlignment(Qt::AlignCenter);
    Label14_->setMinimumWidth(90);
    nav->addStretch();
    nav->addWidget(barras_[4]);
    nav->addWidget(barras_[5]);
    nav->addWidget(Label14_);
    nav->addWidget(barras_[6]);
    nav->addWidget(barras_[7]);
    nav->addStretch();
    v->addLayout(nav);
    v->addStretch();

    v->addWidget(new QLabel("Acciones a realizar"));
    auto* acciones = new QGridLayout;
    NCentro_ = boton("NCentro", "Crear Centro");
    GCentro_ = boton("GCentro", "Guardar/Modificar Centro");
    ECentro_ = boton("ECentro", "Eliminar Centro");
    acciones->addWidget(NCentro_, 0, 0);
    acciones->addWidget(ECentro_, 0, 1);
    acciones->addWidget(GCentro_, 1, 0, 1, 2);
    v->addLayout(acciones);
    return panel;
}

QWidget* Empresa::panelAcciones()
{
    auto* panel = new QFrame;
    panel->setObjectName("PanelAcciones");
    panel->setFrameShape(QFrame::StyledPanel);
    auto* v = new QVBoxLayout(panel);
    const auto dibujo = [&](const QString& nombre, const QString& texto, QStyle::StandardPixmap icono) {
        auto* b = new QToolButton;
        b->setObjectName(nombre);
        b->setText(texto);
        b->setIcon(style()->standardIcon(icono));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    CEvaluacion_ = boton("CEvaluacion", {});
    CPlanificacion_ = boton("CPlanificacion", {});
    CEvaluacionVisualizar_ = boton("CEvaluacionVisualizar", {});
    CPlanificacionVisualizar_ = boton("CPlanificacionVisualizar", {});
    v->addWidget(dibujo("CEvaluacion2", "Crear evaluación de riesgos ", QStyle::SP_FileDialogDetailedView));
    v->addWidget(CEvaluacion_);
    v->addWidget(CEvaluacionVisualizar_);
    v->addSpacing(8);
    v->addWidget(
        dibujo("CPlanificacion2", "Crear planificación de actuación preventiva", QStyle::SP_FileDialogListView));
    v->addWidget(CPlanificacion_);
    v->addWidget(CPlanificacionVisualizar_);
    v->addStretch();

    auto* pie = new QHBoxLayout;
    auto* ayuda = new QToolButton;
    ayuda->setObjectName("Image9");
    ayuda->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    ayuda->setToolTip("Ayuda");
    ayuda->setIconSize(QSize(24, 24));
    auto* cerrar = new QToolButton;
    cerrar->setObjectName("cmdSalir");
    cerrar->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    cerrar->setToolTip("Cerrar Empresas");
    cerrar->setIconSize(QSize(24, 24));
    pie->addStretch();
    pie->addWidget(ayuda);
    pie->addWidget(cerrar);
    v->addLayout(pie);
    connect(ayuda, &QToolButton::clicked, this, Ranura([this] { AbrirAyuda(this, "Empresas"); }, this));
    connect(cerrar, &QToolButton::clicked, this, Ranura([this] { salir(); }, this));
    return panel;
}

void Empresa::construir()
{
    setWindowTitle("Datos Empresa");
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(4, 4, 4, 4);
    h->addWidget(panelEmpresa(), 4);
    h->addWidget(panelCentro(), 3);
    h->addWidget(panelAcciones(), 0);

    connect(cmbNombre_, qOverload<int>(&QComboBox::activated), this, Ranura([this] { elegirEmpresa(); }, this));
    connect(cmbNombreCentro_, qOverload<int>(&QComboBox::activated), this, Ranura([this] { elegirCentro(); }, this));
    // Lo que el usuario teclea, para saber al elegir otra fila si se pierde algo.
    connect(cmbNombre_->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& t) { nombreEscrito_ = t; });
    connect(cmbNombreCentro_->lineEdit(), &QLineEdit::textEdited, this,
            [this](const QString& t) { centroEscrito_ = t; });
    connect(NEmprea_, &QPushButton::clicked, this, Ranura([this] { crearEmpresa(); }, this));
    connect(GEmprea_, &QPushButton::clicked, this, Ranura([this] { guardarEmpresa(); }, this));
    connect(EEmprea_, &QPushButton::clicked, this, Ranura([this] { eliminarEmpresa(); }, this));
    connect(NCentro_, &QPushButton::clicked, this, Ranura([this] { crearCentro(); }, this));
    connect(GCentro_, &QPushButton::clicked, this, Ranura([this] { guardarCentro(); }, this));
    connect(ECentro_, &QPushButton::clicked, this, Ranura([this] { eliminarCentro(); }, this));
    connect(CEvaluacion_, &QPushButton::clicked, this, Ranura([this] { crearEvaluacion(); }, this));
    connect(CPlanificacion_, &QPushButton::clicked, this, Ranura([this] { crearPlanificacion(); }, this));
    connect(CEvaluacionVisualizar_, &QPushButton::clicked, this, Ranura([this] { verEvaluacion(); }, this));
    connect(CPlanificacionVisualizar_, &QPushButton::clicked, this, Ranura([this] { verPlanificacion(); }, this));
    const std::function<void()> acciones[8] = {[this] { anteriorEmpresa(); }, [this] { siguienteEmpresa(); },
                                               [this] { primeraEmpresa(); },  [this] { ultimaEmpresa(); },
                                               [this] { primerCentro(); },    [this] { anteriorCentro(); },
                                               [this] { siguienteCentro(); }, [this] { ultimoCentro(); }};
    for (int i = 0; i < 8; ++i)
        connect(barras_[i]->actions().first(), &QAction::triggered, this, Ranura(acciones[i], this));
}

void Empresa::cargar()
{
    EjecutarCarga({[this] { ColocarEnTwips(this, 100, 100, 12700, 4050); }, [] { gNuevaEmpresa = false; },
                   [this] {
                       CEvaluacion_->setText("Primero:\r\nCrear evaluación de riesgos ");
                       CPlanificacion_->setText("Segundo:\r\nCrear planificación de actuación preventiva");
                       CEvaluacionVisualizar_->setText("Visualizar evaluación de riesgos ");
                       CPlanificacionVisualizar_->setText("Visualizar planificación de actuación preventiva");
                   },
                   [this] {
                       cmbCargo_->clear();
                       cmbCargo_->addItems({QString(), "Empresario", "Trabajador designado"});
                       cmbFormacion_->clear();
                       cmbFormacion_->addItems({QString(), "Técnico con curso básico en PRL",
                                                "Técnico Intermedio en PRL", "Técnico Superior en PRL",
                                                "Técnico Superior en PRP"});
                   },
                   [this] { CargarEmpresas(); }, [this] { ColocarEmpresas(); }},
                  this);
}

// ---- Empresas ----

void Empresa::rellenarNombres()
{
    const QSignalBlocker bloqueo(cmbNombre_);
    const QString escrito = cmbNombre_->currentText();
    cmbNombre_->clear();
    Recordset nombres;
    nombres.open("Select Nombre from Empresas", gConexion);
    QStringList lista;
    while (!nombres.eof()) {
        lista << NuloATexto(nombres.value(0)).toString();
        nombres.moveNext();
    }
    cmbNombre_->addItems(lista);
    cmbNombre_->setEditText(escrito);
}

void Empresa::CargarEmpresas()
{
    rsEmpresas_ = std::make_unique<Recordset>();
    rsEmpresas_->open("Select * from Empresas", gConexion);
    rsEmpresas_->requery();
    {
        const QSignalBlocker bloqueo(cmbNombre_);
        cmbNombre_->clear();
    }
    if (rsEmpresas_->recordCount() == 0)
        return;
    QStringList lista;
    rsEmpresas_->moveFirst();
    while (!rsEmpresas_->eof()) {
        lista << texto(*rsEmpresas_, "Nombre");
        rsEmpresas_->moveNext();
    }
    {
        const QSignalBlocker bloqueo(cmbNombre_);
        cmbNombre_->addItems(lista);
        cmbNombre_->setCurrentIndex(0);
    }
    // Elegir la primera entrada es lo mismo que si la eligiera el usuario.
    BuscarEmpresas();
    rsEmpresas_->requery();
}

void Empresa::BuscarEmpresas()
{
    rsEmpresas_->requery();
    // Se busca por el valor, no pegando el texto en un criterio: un apóstrofo no molesta.
    rsEmpresas_->findValue("Nombre", cmbNombre_->currentText());
    ColocarEmpresas();
}

void Empresa::estadoSinEmpresa()
{
    nombreMostrado_ = nombreEscrito_ = QString();
    Label8_->setText("0 de 0");
    navegacionEmpresas(false);
    GEmprea_->setEnabled(false);
    EEmprea_->setEnabled(false);
    NCentro_->setEnabled(false);
    camposEmpresa(false, true);
    {
        const QSignalBlocker bloqueo(cmbNombreCentro_);
        cmbNombreCentro_->clear();
    }
    estadoSinCentro();
}

void Empresa::ColocarEmpresas()
{
    bool parar = false;
    Recordset* rs = rsEmpresas_.get();
    EjecutarPresentacion({[&] {
                              // Sin base de datos no hay conjunto: nada debe quedar activo para fallar al pulsarlo.
                              if (!rs->isOpen() || rs->recordCount() == 0) {
                                  estadoSinEmpresa();
                                  parar = true;
                              }
                          },
                          [&] {
                              if (parar)
                                  return;
                              navegacionEmpresas(true);
                              GEmprea_->setEnabled(true);
                              EEmprea_->setEnabled(true);
                              NCentro_->setEnabled(true);
                          },
                          [&] {
                              if (!parar && rs->eof()) {
                                  rs->moveLast();
                                  parar = true;
                              }
                          },
                          [&] {
                              if (parar)
                                  return;
                              // Antes de la primera fila no hay registro actual: el manejador pone "1 de N".
                              rs->value("IDEmpresa");
                              MostrarContador(Label8_, rs->absolutePosition(), rs->recordCount());
                              gNuevaEmpresa = false;
                          },
                          [&] {
                              if (parar)
                                  return;
                              {
                                  const QSignalBlocker bloqueo(cmbNombre_);
                                  nombreMostrado_ = nombreEscrito_ = texto(*rs, "Nombre");
                                  cmbNombre_->setEditText(nombreMostrado_);
                                  cmbNombre_->lineEdit()->setCursorPosition(0);
                              }
                              strNif_->setText(texto(*rs, "CIF"));
                              strDireccion_->setText(texto(*rs, "Direccion"));
                              strPoblacion_->setText(texto(*rs, "Poblacion"));
                              strCodPostal_->setText(texto(*rs, "CodPostal"));
                              strProvincia_->setText(texto(*rs, "Provincia"));
                              strNombre_->setText(texto(*rs, "Persona"));
                              cmbCargo_->setEditText(texto(*rs, "Cargo"));
                              cmbFormacion_->setEditText(texto(*rs, "Formacion"));
                              strTotalTrabajdores_->setText(texto(*rs, "TotalTrabajadores"));
                          },
                          [&] {
                              if (parar)
                                  return;
                              CargarCentros();
                              ColocarCentros();
                          }},
                         rs, Label8_, this);
}

void Empresa::crearEmpresa()
{
    gNuevaEmpresa = true;
    nombreEscrito_.clear();
    GEmprea_->setEnabled(true);
    // La empresa que estaba a la vista ya no se ve: ni se borra ni recibe centros sin verla.
    EEmprea_->setEnabled(false);
    NCentro_->setEnabled(false);
    camposEmpresa(true, true);
    GCentro_->setEnabled(false);
    ECentro_->setEnabled(false);
    accionesCentro(false);
    {
        const QSignalBlocker bloqueo(cmbNombreCentro_);
        cmbNombreCentro_->clear();
    }
    camposCentro(false, true);
    navegacionCentros(false);
    Label14_->setText("0 de 0");
    cmbNombre_->setFocus();
}

bool Empresa::totalValido()
{
    const QString total = strTotalTrabajdores_->text().trimmed();
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
                            .arg(strTotalTrabajdores_->text()),
                        "Error", Icono::Critico, Botones::Aceptar, Respuesta::Aceptar);
    strTotalTrabajdores_->setFocus();
    strTotalTrabajdores_->selectAll();
    return false;
}

void Empresa::guardarEmpresa()
{
    if (cmbNombre_->currentText().trimmed().isEmpty()) {
        Servicios().mensaje(this,
                            "Tiene que introduccir un valor en el campo Nombre de Empresa, para poder grabar/guardar",
                            "Error", Icono::Critico, Botones::Aceptar, Respuesta::Aceptar);
        cmbNombre_->setFocus();
        return;
    }
    if (!totalValido())
        return;
    const QString nombre = cmbNombre_->currentText().left(LargoNombreEmpresa);
    const QVariant total = NuloACero(strTotalTrabajdores_->text().trimmed());
    Recordset& rs = *rsEmpresas_;
    if (gNuevaEmpresa) {
        rs.addNew();
        escribirEmpresa(rs, nombre, "Madrid", total);
        grabar(rs); // si falla, lo escrito sigue siendo una empresa nueva
        gNuevaEmpresa = false;
        const long long id = rs.lastInsertId();
        rs.requery();
        CargarEmpresas();
        rsEmpresas_->findValue("IDEmpresa", id);
        ColocarEmpresas();
        return;
    }
    const long long id = rs.value("IDEmpresa").toLongLong();
    escribirEmpresa(rs, nombre, strProvincia_->text(), total);
    grabar(rs);
    // La lista se rehace para que el nombre nuevo se pueda elegir ya, y se vuelve a la misma
    // empresa por su identificador: con dos empresas del mismo nombre, buscar por el nombre
    // enseñaría la otra.
    rellenarNombres();
    rs.requery();
    rs.findValue("IDEmpresa", id);
    ColocarEmpresas();
    const QSignalBlocker bloqueo(cmbNombre_);
    nombreMostrado_ = nombreEscrito_ = nombre;
    cmbNombre_->setEditText(nombre);
}

void Empresa::escribirEmpresa(Recordset& rs, const QString& nombre, const QString& provincia, const QVariant& total)
{
    rs.setValue("Nombre", nombre);
    rs.setValue("CIF", strNif_->text());
    rs.setValue("Direccion", strDireccion_->text());
    rs.setValue("Poblacion", strPoblacion_->text());
    rs.setValue("CodPostal", strCodPostal_->text());
    rs.setValue("Provincia", provincia);
    rs.setValue("Persona", strNombre_->text());
    rs.setValue("TotalTrabajadores", total);
    rs.setValue("Cargo", cmbCargo_->currentText());
    rs.setValue("Formacion", cmbFormacion_->currentText());
}

void Empresa::eliminarEmpresa()
{
    const Respuesta r = Servicios().mensaje(
        this,
        "¿Esta seguro de querer Eliminar la Empresa? Este proceso es irreversible, se perderan los centros de trabajo "
        "asociados, Evaluaciones y Actuaciones Preventivas",
        "Eliminar", Icono::Critico, Botones::SiNo, Respuesta::No);
    if (r != Respuesta::Si)
        return;
    // El conjunto sigue abierto hasta que el borrado está hecho: si el archivo no deja borrar
    // (bloqueado, de sólo lectura), la empresa sigue a la vista y la ventana responde.
    const long long id = rsEmpresas_->value("IDEmpresa").toLongLong();
    Recordset::execute("delete from Empresas where IDEmpresa = ?;", gConexion, {id});
    CargarEmpresas();
    ColocarEmpresas();
    cerrarVentanasDeCentroBorrado();
}

// Moverse, hacia donde sea, deja la empresa nueva. Sus campos están vacíos o con lo escrito, así
// que se vuelve a enseñar la fila entera también al pasar de la última.
void Empresa::moverEmpresas(Movimiento m)
{
    const bool nueva = gNuevaEmpresa;
    gNuevaEmpresa = false;
    mover(*rsEmpresas_, m);
    if (nueva && rsEmpresas_->eof())
        rsEmpresas_->moveLast();
    ColocarEmpresas();
}

void Empresa::primeraEmpresa()
{
    moverEmpresas(Movimiento::Primero);
}
void Empresa::anteriorEmpresa()
{
    moverEmpresas(Movimiento::Anterior);
}
void Empresa::siguienteEmpresa()
{
    moverEmpresas(Movimiento::Siguiente);
}
void Empresa::ultimaEmpresa()
{
    moverEmpresas(Movimiento::Ultimo);
}

void Empresa::elegirEmpresa()
{
    const QString aviso =
        gNuevaEmpresa ? QStringLiteral("La empresa nueva%1 aún no se ha guardado.").arg(entreComillas(nombreEscrito_))
                      : QStringLiteral("El nombre de la empresa «%1» se ha cambiado a «%2» y aún no se ha guardado.")
                            .arg(nombreMostrado_, nombreEscrito_);
    if (!dejarLoEscrito(cmbNombre_, gNuevaEmpresa || nombreEscrito_ != nombreMostrado_, nombreEscrito_, aviso))
        return;
    BuscarEmpresas();
}

bool Empresa::dejarLoEscrito(QComboBox* lista, bool pendiente, const QString& escrito, const QString& aviso)
{
    if (!pendiente)
        return true;
    const QString elegida = lista->currentText();
    const Respuesta r =
        Servicios().mensaje(this, aviso + QStringLiteral(" ¿Quiere ver «%1» y perder lo escrito?").arg(elegida),
                            "Datos Empresa", Icono::Pregunta, Botones::SiNo, Respuesta::No);
    if (r == Respuesta::Si)
        return true;
    // Sigue lo que se estaba escribiendo, en la misma fila.
    const QSignalBlocker bloqueo(lista);
    lista->setEditText(escrito);
    lista->setFocus();
    return false;
}

void Empresa::salir()
{
    hide();
    if (RegistroVentanas* r = RegistroVentanas::actual(); r && r->ventana(Nombre) == this)
        r->descargar(Nombre);
    else
        close();
}

// ---- Centros ----

void Empresa::rellenarCentros()
{
    const QSignalBlocker bloqueo(cmbNombreCentro_);
    cmbNombreCentro_->clear();
    QStringList lista;
    rsCentros_->moveFirst();
    while (!rsCentros_->eof()) {
        lista << texto(*rsCentros_, "Direccion");
        rsCentros_->moveNext();
    }
    cmbNombreCentro_->addItems(lista);
}

void Empresa::CargarCentros()
{
    rsCentros_ = std::make_unique<Recordset>();
    if (rsEmpresas_ && rsEmpresas_->isOpen() && rsEmpresas_->recordCount() > 0) {
        const long long empresa = rsEmpresas_->value("IDEmpresa").toLongLong();
        rsCentros_->open("Select * from CentroTrabajo where IDEmpresa = " + QString::number(empresa) + ";", gConexion);
        rsCentros_->requery();
        {
            const QSignalBlocker bloqueo(cmbNombreCentro_);
            cmbNombreCentro_->clear();
        }
        if (rsCentros_->recordCount() > 0) {
            rellenarCentros();
            const QSignalBlocker bloqueo(cmbNombreCentro_);
            cmbNombreCentro_->setCurrentIndex(0);
            BuscarCentros();
        }
        return;
    }
    rsCentros_->open("Select * from CentroTrabajo where IDEmpresa = 0;", gConexion);
    rsCentros_->requery();
}

void Empresa::BuscarCentros()
{
    rsCentros_->requery();
    rsCentros_->findValue("Direccion", cmbNombreCentro_->currentText());
    ColocarCentros();
}

void Empresa::estadoSinCentro()
{
    centroMostrado_ = centroEscrito_ = QString();
    navegacionCentros(false);
    GCentro_->setEnabled(false);
    ECentro_->setEnabled(false);
    accionesCentro(false);
    camposCentro(false, true);
    Label14_->setText("0 de 0");
}

void Empresa::ColocarCentros()
{
    bool parar = false;
    Recordset* rs = rsCentros_.get();
    EjecutarPresentacion({[&] {
                              if (!rs->isOpen() || rs->recordCount() == 0) {
                                  estadoSinCentro();
                                  parar = true;
                                  return;
                              }
                              GCentro_->setEnabled(true);
                              ECentro_->setEnabled(true);
                              accionesCentro(true);
                              camposCentro(true, false);
                              for (QWidget* w :
                                   {static_cast<QWidget*>(strNombre_), static_cast<QWidget*>(strTotalTrabajdores_),
                                    static_cast<QWidget*>(cmbCargo_), static_cast<QWidget*>(cmbFormacion_)})
                                  ponerEstado(w, true);
                              navegacionCentros(true);
                          },
                          [&] {
                              if (!parar && rs->eof()) {
                                  rs->moveLast();
                                  parar = true;
                              }
                          },
                          [&] {
                              if (parar)
                                  return;
                              rs->value("IDCentro");
                              MostrarContador(Label14_, rs->absolutePosition(), rs->recordCount());
                              gNuevoCentro = false;
                          },
                          [&] {
                              if (parar)
                                  return;
                              {
                                  const QSignalBlocker bloqueo(cmbNombreCentro_);
                                  centroMostrado_ = centroEscrito_ = texto(*rs, "Direccion");
                                  cmbNombreCentro_->setEditText(centroMostrado_);
                                  cmbNombreCentro_->lineEdit()->setCursorPosition(0);
                              }
                              strPoblacionCT_->setText(texto(*rs, "Poblacion"));
                              strCodPostalCT_->setText(texto(*rs, "CodPostal"));
                              strProvinciaCT_->setText(texto(*rs, "Provincia"));
                          },
                          [&] {
                              if (!parar)
                                  gNuevoCentro = false;
                          }},
                         rs, Label14_, this);
}

void Empresa::crearCentro()
{
    gNuevoCentro = true;
    centroEscrito_.clear();
    GCentro_->setEnabled(true);
    ECentro_->setEnabled(false); // el centro que se veía no se borra a ciegas
    camposCentro(true, true);
    CEvaluacion_->setEnabled(false);
    CPlanificacion_->setEnabled(false);
    cmbNombreCentro_->setFocus();
}

void Empresa::guardarCentro()
{
    if (cmbNombreCentro_->currentText().trimmed().isEmpty()) {
        Servicios().mensaje(this, "Tiene que introduccir un valor en el campo Nombre Centro, para poder grabar/guardar",
                            "Error", Icono::Critico, Botones::Aceptar, Respuesta::Aceptar);
        cmbNombreCentro_->setFocus();
        return;
    }
    const QString nombre = cmbNombreCentro_->currentText().left(LargoNombreCentro);
    Recordset& rs = *rsCentros_;
    if (gNuevoCentro) {
        const long long empresa = rsEmpresas_->value("IDEmpresa").toLongLong();
        rs.addNew();
        rs.setValue("IDEmpresa", empresa);
        rs.setValue("NombreCentro", nombre);
        rs.setValue("Direccion", nombre);
        rs.setValue("Poblacion", strPoblacionCT_->text());
        rs.setValue("CodPostal", strCodPostalCT_->text());
        rs.setValue("Provincia", "Madrid");
        grabar(rs);
        const long long id = rs.lastInsertId();
        rs.requery();
        CargarCentros();
        rsCentros_->findValue("IDCentro", id);
        ColocarCentros();
        return;
    }
    const long long id = rs.value("IDCentro").toLongLong();
    rs.setValue("NombreCentro", nombre);
    rs.setValue("Direccion", nombre);
    rs.setValue("Poblacion", strPoblacionCT_->text());
    rs.setValue("CodPostal", strCodPostalCT_->text());
    rs.setValue("Provincia", strProvinciaCT_->text());
    grabar(rs);
    // La lista se rehace para que el nombre nuevo se pueda elegir ya; el centro sigue a la vista.
    rs.requery();
    rellenarCentros();
    rs.requery();
    rs.findValue("IDCentro", id);
    const QSignalBlocker bloqueo(cmbNombreCentro_);
    centroMostrado_ = centroEscrito_ = nombre;
    cmbNombreCentro_->setEditText(nombre);
}

void Empresa::eliminarCentro()
{
    const Respuesta r = Servicios().mensaje(
        this,
        "¿Esta seguro de querer Eliminar el Centro? Este proceso es irreversible, se perderan las Evaluaciones y "
        "Actuaciones Preventivas gravadas",
        "Eliminar", Icono::Critico, Botones::SiNo, Respuesta::No);
    if (r != Respuesta::Si)
        return;
    const long long id = rsCentros_->value("IDCentro").toLongLong();
    Recordset::execute("delete from CentroTrabajo where IDCentro = ?;", gConexion, {id});
    CargarCentros();
    ColocarCentros();
    cerrarVentanasDeCentroBorrado();
}

void Empresa::moverCentros(Movimiento m)
{
    const bool nuevo = gNuevoCentro;
    gNuevoCentro = false;
    mover(*rsCentros_, m);
    if (nuevo && rsCentros_->eof())
        rsCentros_->moveLast();
    ColocarCentros();
}

void Empresa::primerCentro()
{
    moverCentros(Movimiento::Primero);
}
void Empresa::anteriorCentro()
{
    moverCentros(Movimiento::Anterior);
}
void Empresa::siguienteCentro()
{
    moverCentros(Movimiento::Siguiente);
}
void Empresa::ultimoCentro()
{
    moverCentros(Movimiento::Ultimo);
}

void Empresa::elegirCentro()
{
    const QString aviso =
        gNuevoCentro ? QStringLiteral("El centro nuevo%1 aún no se ha guardado.").arg(entreComillas(centroEscrito_))
                     : QStringLiteral("El nombre del centro «%1» se ha cambiado a «%2» y aún no se ha guardado.")
                           .arg(centroMostrado_, centroEscrito_);
    if (!dejarLoEscrito(cmbNombreCentro_, gNuevoCentro || centroEscrito_ != centroMostrado_, centroEscrito_, aviso))
        return;
    BuscarCentros();
}

// ---- Acciones sobre el centro ----

void Empresa::crearEvaluacion()
{
    const long centro = long(rsCentros_->value("IDCentro").toLongLong());
    const long empresa = long(rsCentros_->value("IDEmpresa").toLongLong());
    RegistroVentanas* r = RegistroVentanas::actual();
    if (!r)
        return;
    // Las ventanas del asistente que quedaran abiertas son de otro centro: se descartan con el
    // inicio anterior para que nada siga trabajando sobre el centro que ya no se evalúa. Si el
    // centro cambia, también la planificación abierta, que pasaría a escribir en este.
    if (centro != gIDCentro)
        descargarTodas(*r);
    descargar(*r, ventanasEvaluacion);
    gIDCentro = centro;
    gIDEmpresa = empresa;
    r->abrirNueva("InicioEvaluacion");
}

void Empresa::crearPlanificacion()
{
    const long centro = long(rsCentros_->value("IDCentro").toLongLong());
    RegistroVentanas* r = RegistroVentanas::actual();
    if (!r)
        return;
    if (centro != gIDCentro)
        descargarTodas(*r);
    descargar(*r, ventanasPlanificacion);
    gIDCentro = centro;
    r->abrirNueva("ActuacionPreventiva");
}

void Empresa::verEvaluacion()
{
    const qlonglong centro = rsCentros_->value("IDCentro").toLongLong();
    const qlonglong empresa = rsCentros_->value("IDEmpresa").toLongLong();
    gFormulaInforme = "{CentroTrabajo.IDCentro}=" + QString::number(centro) +
                      " and {Empresas.IDEmpresa}= " + QString::number(empresa);
    gTituloInforme = "EVALUCIÓN DE RIESGOS";
    gFicheroInforme = "Evaluacion.rpt";
    if (RegistroVentanas* r = RegistroVentanas::actual())
        r->abrirOtra("InformeGeneral");
}

void Empresa::verPlanificacion()
{
    gFormulaInforme = "{CentroTrabajo.IDCentro}=" + QString::number(rsCentros_->value("IDCentro").toLongLong());
    gTituloInforme = "PLANIFICACIÓN DE ACTUACIONES PREVENTIVAS";
    gFicheroInforme = "Planificacion.rpt";
    if (RegistroVentanas* r = RegistroVentanas::actual())
        r->abrirOtra("InformeGeneral");
}

void Empresa::cerrarVentanasDeCentroBorrado()
{
    RegistroVentanas* r = RegistroVentanas::actual();
    if (!r || gIDCentro == 0)
        return;
    Recordset sigue;
    sigue.open("select count(*) from CentroTrabajo where IDCentro = ?", gConexion, {qlonglong(gIDCentro)});
    if (sigue.value(0).toLongLong() > 0)
        return;
    descargarTodas(*r);
    gIDCentro = 0;
}

// ---- Estados ----

void Empresa::camposEmpresa(bool editables, bool vaciarCampos)
{
    for (QWidget* w :
         std::initializer_list<QWidget*>{cmbNombre_, strNif_, strDireccion_, strPoblacion_, strCodPostal_,
                                         strProvincia_, strNombre_, strTotalTrabajdores_, cmbCargo_, cmbFormacion_}) {
        if (vaciarCampos) {
            const QSignalBlocker bloqueo(w);
            vaciar(w);
        }
        ponerEstado(w, editables);
    }
}

void Empresa::camposCentro(bool editables, bool vaciarCampos)
{
    for (QWidget* w :
         std::initializer_list<QWidget*>{cmbNombreCentro_, strPoblacionCT_, strCodPostalCT_, strProvinciaCT_}) {
        if (vaciarCampos) {
            const QSignalBlocker bloqueo(w);
            vaciar(w);
        }
        ponerEstado(w, editables);
    }
}

void Empresa::navegacionEmpresas(bool activa)
{
    for (int i = 0; i < 4; ++i)
        barras_[i]->actions().first()->setEnabled(activa);
}

void Empresa::navegacionCentros(bool activa)
{
    for (int i = 4; i < 8; ++i)
        barras_[i]->actions().first()->setEnabled(activa);
}

void Empresa::accionesCentro(bool activas)
{
    for (QPushButton* b : {CEvaluacion_, CPlanificacion_, CEvaluacionVisualizar_, CPlanificacionVisualizar_})
        b->setEnabled(activas);
}
