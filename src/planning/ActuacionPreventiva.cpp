#include "planning/ActuacionPreventiva.h"

#include "evaluation/SeleccionaRiesgos.h"
#include "evaluation/VentanaAsistente.h"
#include "planning/PlazosPlan.h"
#include "planning/PropuestasPlan.h"
#include "plataforma/PlataformaServicios.h"
#include "plataforma/Reloj.h"
#include "reports/Importes.h"
#include "shell/DateBox.h"
#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "shell/MarcoCentro.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"
#include "store/Conexion.h"
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
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
using Icono = PlataformaServicios::Icono;
using Botones = PlataformaServicios::Botones;
using Respuesta = PlataformaServicios::Respuesta;

const QString PlanesDelCentro = QStringLiteral("Select * from ActuaciónPreventiva where IDCentro = ?;");
const int ColumnaFechaLimite = 1;
const int ColumnaPresupuesto = 3;
// Columnas de la cuadrícula del riesgo y el seguimiento de cada línea.
enum ColumnaSeguimiento
{
    SegPrioridad,
    SegPuesto,
    SegRiesgo,
    SegNivel,
    SegEstado,
    SegRealizada,
    SegCoste,
    SegNota
};

// Riesgos mostrados del centro, con su nivel sólo si están valorados del todo.
const char* const RiesgosDelCentro = R"SQL(
SELECT e.IDEvaluacion, p.Puesto, k.Riesgo,
       CASE WHEN trim(coalesce(e.Probabilidad, '')) = '' OR trim(coalesce(e.Consecuencias, '')) = '' THEN NULL
            ELSE e.ValorRiesgo END
FROM Evaluacion e
JOIN PuestosCentros p ON p.IDPuestoCentro = e.IDPuestoCentro
LEFT JOIN Riesgos k ON k.IDRiesgo = e.IDRiesgo
WHERE p.IDCentro = ? AND e.Mostrar = 'S'
ORDER BY p.IDPuestoCentro, k.Riesgo, e.IDEvaluacion
)SQL";

// Medidas elegidas del riesgo en su puesto (de todas sus filas, una vez cada redacción).
const char* const MedidasDelRiesgo = R"SQL(
SELECT min(m.IDMedidaFactor), m.Medida
FROM Evaluacion e
JOIN Evaluacion x ON x.IDPuestoCentro = e.IDPuestoCentro AND x.IDRiesgo = e.IDRiesgo
JOIN MedidasFactores m ON m.IDEvaluacion = x.IDEvaluacion
WHERE e.IDEvaluacion = ? AND m.MarcarMedida = 'S'
GROUP BY m.Medida
ORDER BY min(m.IDMedidaFactor)
)SQL";

// Lo que hace falta para abrir la valoración de un riesgo en su puesto.
const char* const PuestoDelRiesgo = R"SQL(
SELECT e.ValorRiesgo, p.IDPuestoCentro, p.Puesto, c.IDEmpresa
FROM Evaluacion e
JOIN PuestosCentros p ON p.IDPuestoCentro = e.IDPuestoCentro
JOIN CentroTrabajo c ON c.IDCentro = p.IDCentro
WHERE e.IDEvaluacion = ?
)SQL";

QColor colorAlarma()
{
    return SeleccionaRiesgos::ColorNivel(QStringLiteral("Riesgo Intolerable"));
}

// Las líneas del plan: las vencidas llevan el color de alarma en las celdas sin color propio.
class OrigenLineasPlan : public DataSource
{
public:
    using DataSource::DataSource;

    QVariant data(const QModelIndex& indice, int papel) const override
    {
        QVariant propio = DataSource::data(indice, papel);
        if ((papel != Qt::BackgroundRole && papel != Qt::ForegroundRole) || propio.isValid() || !indice.isValid())
            return propio;
        const int fila = indice.row();
        if (!LineaVencida(fieldValue(fila, "FechaLimite"), fieldValue(fila, "Estado").toString(), Hoy()))
            return propio;
        return papel == Qt::BackgroundRole ? QBrush(colorAlarma()) : QBrush(Qt::black);
    }
};

// La valoración de antes de un riesgo cuya acción se ha dado por realizada y que se ha abierto para
// valorarlo otra vez. Sigue aquí aunque la ventana del plan se abra de nuevo.
struct Revaloracion
{
    QString conexion;
    long long idEvaluacion = 0;
    long long idLinea = 0;
    QString nivelAnterior;
};
std::vector<Revaloracion>& revaloracionesPendientes()
{
    static std::vector<Revaloracion> pendientes;
    return pendientes;
}

QString nivelCorto(const QString& nivel)
{
    if (nivel.trimmed().isEmpty())
        return QStringLiteral("sin valorar");
    return nivel.startsWith(QLatin1String("Riesgo ")) ? nivel.mid(7) : nivel;
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
    listaRiesgos_ = Kit::lista("cmbRiesgo");
    listaRiesgos_->setAccessibleName("Riesgo que controla la acción");
    listaRiesgos_->setToolTip("Riesgo evaluado del centro que controla la acción; (general) si no es de ninguno");
    listaMedidas_ = Kit::lista("cmbMedida");
    listaMedidas_->setAccessibleName("Medida que lleva a cabo la acción");
    listaMedidas_->setToolTip("Medida propuesta del riesgo que lleva a cabo la acción (si la hay)");
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
    linea->addWidget(etiqueta("Riesgo", listaRiesgos_), 2, 0);
    linea->addWidget(listaRiesgos_, 2, 1, 1, 3);
    linea->addWidget(etiqueta("Medida", listaMedidas_), 2, 4);
    linea->addWidget(listaMedidas_, 2, 5, 1, 2);
    linea->setColumnStretch(3, 2);
    linea->setColumnStretch(5, 1);
    v->addLayout(linea);

    origenLineas_ = new OrigenLineasPlan(this);
    origenLineas_->setObjectName("RActuaciónPreventivaRegistro");
    cuadriculaLineas_ = new Grid;
    cuadriculaLineas_->setObjectName("GActuaciónPreventivaRegistro");
    cuadriculaLineas_->setAccessibleName("Acciones preventivas del plan");
    cuadriculaLineas_->setDataSource(origenLineas_);
    cuadriculaLineas_->setMinimumHeight(110);
    // Pasar el puntero por encima no cambia la línea elegida: es la que borra "Eliminar".
    cuadriculaLineas_->setTipMovesCurrentRow(false);
    // Al lado, las mismas líneas con su riesgo y su seguimiento, fila a fila con las de la izquierda.
    origenSeguimiento_ = new OrigenLineasPlan(this);
    origenSeguimiento_->setObjectName("RSeguimiento");
    cuadriculaSeguimiento_ = new Grid;
    cuadriculaSeguimiento_->setObjectName("GSeguimiento");
    cuadriculaSeguimiento_->setAccessibleName("Riesgo y seguimiento de las acciones del plan");
    cuadriculaSeguimiento_->setDataSource(origenSeguimiento_);
    cuadriculaSeguimiento_->setTipMovesCurrentRow(false);
    auto* division = new QSplitter(Qt::Horizontal);
    division->setObjectName("DivisionLineas");
    division->setChildrenCollapsible(false);
    division->addWidget(cuadriculaLineas_);
    division->addWidget(cuadriculaSeguimiento_);
    division->setStretchFactor(0, 1);
    division->setStretchFactor(1, 1);
    v->addWidget(division, 1);

    botonVolver_ = Kit::botonImagen("Image1", "Volver a Empresas y Centros ", QStyle::SP_DirHomeIcon);
    botonEliminarPlan_ =
        Kit::botonImagen("ECentro", "Eliminar Planificación de Actuaciones Preventivas completa", QStyle::SP_TrashIcon);
    botonAyuda_ = Kit::botonImagen("Image9", "Ayuda", QStyle::SP_DialogHelpButton);
    botonImprimir_ = Kit::botonImagen("Picture2", "Imprimir Actuaciónes Preventivas", QStyle::SP_ArrowForward);
    botonProponer_ = boton("BProponer", "Proponer desde la evaluación");
    botonProponer_->setToolTip("Proponer líneas desde las medidas de los riesgos evaluados que aún no tienen acción");
    botonProponer_->setAccessibleName("Proponer desde la evaluación");
    botonPlazos_ = boton("BPlazos", "Plazos por nivel");
    botonPlazos_->setToolTip("Meses de plazo que se proponen para cada nivel de riesgo");
    botonPlazos_->setAccessibleName("Plazos por nivel");
    auto* pie = new QHBoxLayout;
    pie->addWidget(botonVolver_);
    pie->addWidget(botonEliminarPlan_);
    pie->addStretch();
    pie->addWidget(botonProponer_);
    pie->addWidget(botonPlazos_);
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
    connect(botonProponer_, &QPushButton::clicked, this, Ranura([this] { proponer(); }, this));
    connect(botonPlazos_, &QPushButton::clicked, this, Ranura([this] { editarPlazos(); }, this));
    connect(listaRiesgos_, &QComboBox::currentIndexChanged, this, Ranura([this] { leerMedidas(); }, this));
    connect(listaMedidas_, &QComboBox::activated, this, [this](int i) {
        // Elegir la medida con la acción aún sin escribir la toma como redacción.
        if (i > 0 && cajaAccion_->text().trimmed().isEmpty())
            cajaAccion_->setText(listaMedidas_->itemText(i));
    });

    // Las dos cuadrículas van a la par: la misma línea elegida y el mismo desplazamiento.
    for (auto [de, a] :
         {std::pair{cuadriculaLineas_, cuadriculaSeguimiento_}, std::pair{cuadriculaSeguimiento_, cuadriculaLineas_}}) {
        Grid* destino = a;
        connect(de, &Grid::currentRowChanged, this,
                [this, destino](int fila) { ProtegerRanura([&] { elegirFila(destino, fila); }, this); });
        QScrollBar* otra = a->tableView()->verticalScrollBar();
        connect(de->tableView()->verticalScrollBar(), &QScrollBar::valueChanged, otra, &QScrollBar::setValue);
    }
    connect(cuadriculaSeguimiento_, &Grid::beforeCellChange, this,
            [this](int columna, const QVariant&, const QVariant& nuevo, bool* cancelar) {
                antesDeSeguimiento(columna, nuevo, cancelar);
            });
    connect(cuadriculaSeguimiento_, &Grid::afterCellChange, this, [this](int columna) { trasSeguimiento(columna); });
    connect(cuadriculaLineas_, &Grid::afterCellChange, this, [this](int columna) {
        if (columna == ColumnaFechaLimite)
            releerDespues();
    });

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
    connect(g, &Grid::beforeCellChange, this,
            [this](int columna, const QVariant&, const QVariant& nuevo, bool* cancelar) {
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
                avisarTrasEditar(aviso, titulo);
            });
}

void ActuacionPreventiva::avisarTrasEditar(const QString& aviso, const QString& titulo)
{
    // El aviso sale cuando la cuadrícula ha terminado de cerrar la edición.
    QPointer<ActuacionPreventiva> yo(this);
    QTimer::singleShot(0, this, [yo, aviso, titulo] {
        if (yo)
            ProtegerRanura(
                [&] { Servicios().mensaje(yo, aviso, titulo, Icono::Critico, Botones::Aceptar, Respuesta::Aceptar); });
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
                   [this] {
                       origenLineas_->setConnectionString(sesion_.conexion);
                       origenSeguimiento_->setConnectionString(sesion_.conexion);
                   },
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
                   [this] { ponerColumnasSeguimiento(); }, [this] { vaciarLineaNueva(); }, [this] { Colocar(); }},
                  this);
}

void ActuacionPreventiva::Colocar()
{
    bool parar = false;
    EjecutarPresentacion({[&] { guardarRevaloraciones(); },
                          [&] {
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
                          },
                          [&] {
                              if (!parar)
                                  leerRiesgos();
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

void ActuacionPreventiva::ponerColumnasSeguimiento()
{
    const auto lectura = [](const QString& titulo, const QString& campo, int ancho) {
        GridColumn c = GridColumn::text(titulo, campo);
        c.readOnly = true;
        c.widthTwips = ancho;
        return c;
    };
    GridColumn nivel = lectura("Nivel", "ValorRiesgo", 1700);
    nivel.background = [](const QVariant& v) { return SeleccionaRiesgos::ColorNivel(v.toString()); };
    QVector<ValueItem> estados;
    for (const QString& e : EstadosLinea())
        estados.push_back({e, e});
    GridColumn estado = GridColumn::valueList("Estado", "Estado", estados, int(estados.size()));
    estado.widthTwips = 1200;
    GridColumn realizada = GridColumn::text("Fecha\nRealizada", "FechaRealizada");
    realizada.widthTwips = 1300;
    GridColumn coste = GridColumn::text("Coste\nReal", "CosteReal");
    coste.widthTwips = 1100;
    GridColumn nota = GridColumn::text("Seguimiento", "Seguimiento");
    nota.widthTwips = 2600;
    cuadriculaSeguimiento_->setColumns({lectura("Prioridad", "Prioridad", 900), lectura("Puesto", "Puesto", 1500),
                                        lectura("Riesgo", "Riesgo", 2200), nivel, estado, realizada, coste, nota});
    // Una sola barra para las dos: la de la derecha; y las dos con la de abajo, para que sus filas
    // queden a la misma altura.
    cuadriculaLineas_->tableView()->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (Grid* g : {cuadriculaLineas_, cuadriculaSeguimiento_})
        g->tableView()->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void ActuacionPreventiva::leerLineas()
{
    botonEliminarLinea_->setEnabled(false);
    for (auto [origen, cuadricula] :
         {std::pair{origenLineas_, cuadriculaLineas_}, std::pair{origenSeguimiento_, cuadriculaSeguimiento_}}) {
        origen->setRecordSource(LineasPorPrioridad, {qlonglong(idActuacion())});
        origen->refresh();
        cuadricula->redraw();
    }
    botonEliminarLinea_->setEnabled(!origenLineas_->isEmpty());
}

void ActuacionPreventiva::releerDespues()
{
    if (releyendo_)
        return;
    releyendo_ = true;
    QPointer<ActuacionPreventiva> yo(this);
    QTimer::singleShot(0, this, [yo] {
        if (!yo)
            return;
        yo->releyendo_ = false;
        ProtegerRanura(
            [&] {
                DataSource* ds = yo->origenLineas_;
                const QVariant linea = ds->fieldValue(ds->currentRow(), "IDActuacionRegistro");
                QScrollBar* barra = yo->cuadriculaSeguimiento_->tableView()->verticalScrollBar();
                const int desplazamiento = barra->value();
                yo->leerLineas();
                for (int f = 0; !linea.isNull() && f < ds->rowCount(); ++f)
                    if (ds->fieldValue(f, "IDActuacionRegistro") == linea) {
                        yo->cuadriculaLineas_->setCurrentRow(f);
                        break;
                    }
                barra->setValue(desplazamiento);
            },
            yo);
    });
}

void ActuacionPreventiva::elegirFila(Grid* destino, int fila)
{
    if (fila < 0 || destino->currentRow() == fila)
        return;
    // Mientras se vuelven a leer, la otra puede no tener aún esa fila.
    if (fila >= destino->dataSource()->rowCount())
        destino->dataSource()->fetchAll();
    if (fila < destino->dataSource()->rowCount())
        destino->setCurrentRow(fila);
}

void ActuacionPreventiva::leerRiesgos()
{
    struct Riesgo
    {
        QVariant id;
        QString texto;
        int prioridad;
    };
    std::vector<Riesgo> riesgos;
    for (const QVariantList& f :
         Conexion::obtener(sesion_.conexion)->leerFilas(RiesgosDelCentro, {qlonglong(sesion_.idCentro)})) {
        const QString nivel = f[3].toString();
        const int prioridad = PrioridadNivel(nivel);
        riesgos.push_back({f[0], f[1].toString() + " — " + f[2].toString() + " (" + nivelCorto(nivel) + ")",
                           prioridad > 0 ? prioridad : 6});
    }
    // Del más grave al menos; los que aún no tienen nivel, al final.
    std::stable_sort(riesgos.begin(), riesgos.end(),
                     [](const Riesgo& a, const Riesgo& b) { return a.prioridad < b.prioridad; });
    const QSignalBlocker bloqueo(listaRiesgos_);
    listaRiesgos_->clear();
    listaRiesgos_->addItem("(general)");
    for (const Riesgo& r : riesgos)
        listaRiesgos_->addItem(r.texto, r.id);
    listaRiesgos_->setCurrentIndex(0);
    leerMedidas();
}

void ActuacionPreventiva::leerMedidas()
{
    listaMedidas_->clear();
    listaMedidas_->addItem("(ninguna)");
    const QVariant riesgo = listaRiesgos_->currentData();
    listaMedidas_->setEnabled(!riesgo.isNull());
    if (riesgo.isNull())
        return;
    for (const QVariantList& f : Conexion::obtener(sesion_.conexion)->leerFilas(MedidasDelRiesgo, {riesgo}))
        listaMedidas_->addItem(f[1].toString(), f[0]);
}

void ActuacionPreventiva::antesDeSeguimiento(int columna, const QVariant& nuevo, bool* cancelar)
{
    Grid* g = cuadriculaSeguimiento_;
    QString aviso, titulo;
    if (columna == SegRealizada && nuevo.typeId() != QMetaType::QDate && !nuevo.isNull()) {
        const QString escrito = nuevo.toString().trimmed();
        QDate dia;
        QString motivo;
        if (escrito.isEmpty()) {
            g->setCellValue(columna, QVariant());
        } else if (DateBox::parse(escrito, &dia, &motivo)) {
            g->setCellValue(columna, dia);
        } else {
            aviso = "No se puede guardar «" + escrito + "» como Fecha Realizada. " + motivo;
            titulo = "Fecha no válida";
        }
    } else if (columna == SegCoste) {
        aviso = ProblemaImporte(nuevo.toString());
        titulo = "Coste no válido";
    } else if (columna == SegEstado) {
        const QString estado = nuevo.toString();
        if (!EstadosLinea().contains(estado)) {
            aviso = "«" + estado + "» no es un estado de la lista. Elija " + EstadosLinea().join(", ") + ".";
            titulo = "Valor no válido";
        } else if (LineaHecha(estado) && g->cellValue(SegRealizada).isNull()) {
            // Lo hecho sin fecha se da por hecho hoy; la fecha se puede corregir después.
            g->setCellValue(SegRealizada, Hoy());
        }
    }
    if (aviso.isEmpty())
        return;
    *cancelar = true;
    avisarTrasEditar(aviso, titulo);
}

void ActuacionPreventiva::trasSeguimiento(int columna)
{
    if (columna != SegEstado)
        return;
    DataSource* ds = origenSeguimiento_;
    const int fila = ds->currentRow();
    if (ds->fieldValue(fila, "Estado").toString() == QLatin1String("Realizada") &&
        !ds->fieldValue(fila, "IDEvaluacion").isNull()) {
        QPointer<ActuacionPreventiva> yo(this);
        QTimer::singleShot(0, this, [yo] {
            if (yo)
                ProtegerRanura([&] { yo->ofrecerRevaloracion(); }, yo);
        });
    }
    // El color de vencida depende del estado.
    releerDespues();
}

void ActuacionPreventiva::ofrecerRevaloracion()
{
    DataSource* ds = origenSeguimiento_;
    const int fila = ds->currentRow();
    const QVariant evaluacion = ds->fieldValue(fila, "IDEvaluacion");
    if (fila < 0 || evaluacion.isNull())
        return;
    const QString pregunta = QString("La acción de «%1» en el puesto «%2» está realizada. ¿Quiere volver a valorar "
                                     "ahora ese riesgo?")
                                 .arg(texto(ds->fieldValue(fila, "Riesgo")), texto(ds->fieldValue(fila, "Puesto")));
    if (Servicios().mensaje(this, pregunta, "Volver a valorar", Icono::Pregunta, Botones::SiNo, Respuesta::Si) !=
        Respuesta::Si)
        return;
    const auto filas = Conexion::obtener(sesion_.conexion)->leerFilas(PuestoDelRiesgo, {evaluacion});
    if (filas.empty() || !dejarCabecera())
        return;
    const QVariantList& f = filas.front();
    revaloracionesPendientes().push_back({sesion_.conexion, evaluacion.toLongLong(),
                                          ds->fieldValue(fila, "IDActuacionRegistro").toLongLong(), f[0].toString()});
    sesion_.puestoActual = VentanaAsistente::TextoPuesto(f[1].toLongLong(), f[2].toString());
    sesion_.idEmpresa = f[3].toLongLong();
    ocultarme();
    if (RegistroVentanas* r = RegistroVentanas::actual())
        r->abrirNueva(Ventana::SeleccionaRiesgos);
}

void ActuacionPreventiva::guardarRevaloraciones()
{
    auto& pendientes = revaloracionesPendientes();
    for (auto i = pendientes.begin(); i != pendientes.end();) {
        if (i->conexion != sesion_.conexion) {
            ++i;
            continue;
        }
        const Revaloracion r = *i;
        i = pendientes.erase(i);
        GuardarRevaloracion(*Conexion::obtener(r.conexion), r.idEvaluacion, r.idLinea, r.nivelAnterior, Hoy());
    }
}

void ActuacionPreventiva::showEvent(QShowEvent* evento)
{
    QWidget::showEvent(evento);
    if (!revaloracionesPendientes().empty())
        ProtegerRanura([this] { guardarRevaloraciones(); }, this);
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
                 "Sin Responsable", cajaPlanificador_);
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
    listaRiesgos_->setCurrentIndex(listaRiesgos_->count() > 0 ? 0 : -1);
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
    if (const QVariant riesgo = listaRiesgos_->currentData(); !riesgo.isNull()) {
        rs.setValue("IDEvaluacion", riesgo);
        if (const QVariant medida = listaMedidas_->currentData(); !medida.isNull())
            rs.setValue("IDMedidaFactor", medida);
    }
    rs.setValue("Estado", EstadosLinea().front());
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
