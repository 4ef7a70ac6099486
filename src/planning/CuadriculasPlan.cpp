#include "planning/CuadriculasPlan.h"

#include "evaluation/SeleccionaRiesgos.h"
#include "planning/OrigenLineasPlan.h"
#include "plataforma/PlataformaServicios.h"
#include "plataforma/Reloj.h"
#include "reports/Importes.h"
#include "shell/DateBox.h"
#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "shell/Rutinas.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"
#include "store/PlanAcciones.h"

#include <QPointer>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>

namespace {
using namespace TiposAviso;

const int ColumnaFechaLimite = 1;
const int ColumnaPresupuesto = 3;

QString texto(const QVariant& valor)
{
    if (valor.typeId() == QMetaType::QDate)
        return DateBox::format(valor.toDate());
    return NuloATexto(valor).toString();
}

// Columna de las dos cuadrículas, con la anchura con que se abre (en twips).
GridColumn conAncho(GridColumn columna, int ancho)
{
    columna.widthTwips = ancho;
    return columna;
}

GridColumn deLectura(const QString& titulo, const QString& campo, int ancho)
{
    GridColumn c = conAncho(GridColumn::text(titulo, campo), ancho);
    c.readOnly = true;
    return c;
}

bool vacio(const QVariant& valor)
{
    return valor.isNull() || valor.toString().trimmed().isEmpty();
}
} // namespace

CuadriculasPlan::CuadriculasPlan(QWidget* ventana, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent), ventana_(ventana)
{
    setObjectName("DivisionLineas");
    setChildrenCollapsible(false);
    construirLineas();
    construirSeguimiento();
    addWidget(cuadriculaLineas_);
    addWidget(cuadriculaSeguimiento_);
    // Las líneas llevan el texto de la acción, que es lo que más ocupa: tres quintos del ancho.
    setStretchFactor(0, 3);
    setStretchFactor(1, 2);

    // Las dos cuadrículas van a la par: la misma línea elegida y el mismo desplazamiento.
    for (auto [de, a] :
         {std::pair{cuadriculaLineas_, cuadriculaSeguimiento_}, std::pair{cuadriculaSeguimiento_, cuadriculaLineas_}}) {
        Grid* destino = a;
        connect(de, &Grid::currentRowChanged, this,
                [this, destino](int fila) { ProtegerRanura([&] { elegirFila(destino, fila); }, ventana_); });
        QScrollBar* otra = a->tableView()->verticalScrollBar();
        connect(de->tableView()->verticalScrollBar(), &QScrollBar::valueChanged, otra, &QScrollBar::setValue);
    }
}

void CuadriculasPlan::construirLineas()
{
    origenLineas_ = new OrigenLineasPlan(this);
    origenLineas_->setObjectName("RActuaciónPreventivaRegistro");
    cuadriculaLineas_ = Kit::cuadricula("GActuaciónPreventivaRegistro", "Acciones preventivas del plan", origenLineas_);
    cuadriculaLineas_->setMinimumHeight(110);
    // Pasar el puntero por encima no cambia la línea elegida: es la que borra "Eliminar".
    cuadriculaLineas_->setTipMovesCurrentRow(false);
    cuadriculaLineas_->setTipAnchored(true);
    cuadriculaLineas_->setTipWidth(5000);
    cuadriculaLineas_->setTipDelay(200);

    connect(cuadriculaLineas_, &Grid::afterCellChange, this, [this](int columna) {
        if (columna == ColumnaFechaLimite)
            releerDespues();
        else
            releerLaOtra(cuadriculaLineas_);
    });
    connect(cuadriculaLineas_, &Grid::cellTipRequested, this,
            [this](int division, int columna, int fila, CellTip* tip) {
                // Un fallo al hacer la nota no se avisa: se sigue con lo siguiente.
                EjecutarSinAviso({[&] {
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
                        tip->text = "Responsable Ejecucion: " + texto(ds->fieldValue(fila, "ResponsableEjecucion"));
                        break;
                    case ColumnaPresupuesto:
                        tip->text = "Presupuesto: " + texto(ds->fieldValue(fila, "PresupuestoAproximado"));
                        break;
                    default:
                        break;
                    }
                }});
            });
    connect(cuadriculaLineas_, &Grid::beforeCellChange, this,
            [this](int columna, const QVariant&, const QVariant& nuevo, bool* cancelar) {
                antesDeLineas(columna, nuevo, cancelar);
            });
}

void CuadriculasPlan::construirSeguimiento()
{
    // Las mismas líneas con su riesgo y su seguimiento, fila a fila con las de la izquierda.
    origenSeguimiento_ = new OrigenLineasPlan(this);
    origenSeguimiento_->setObjectName("RSeguimiento");
    cuadriculaSeguimiento_ =
        Kit::cuadricula("GSeguimiento", "Riesgo y seguimiento de las acciones del plan", origenSeguimiento_);
    cuadriculaSeguimiento_->setTipMovesCurrentRow(false);
    connect(cuadriculaSeguimiento_, &Grid::beforeCellChange, this,
            [this](int columna, const QVariant&, const QVariant& nuevo, bool* cancelar) {
                antesDeSeguimiento(columna, nuevo, cancelar);
            });
    connect(cuadriculaSeguimiento_, &Grid::afterCellChange, this, [this](int columna) { trasSeguimiento(columna); });
}

void CuadriculasPlan::ponerConexion(const QString& conexion)
{
    origenLineas_->setConnectionString(conexion);
    origenSeguimiento_->setConnectionString(conexion);
}

void CuadriculasPlan::ponerColumnasLineas()
{
    cuadriculaLineas_->setColumns({GridColumn::text("Accion Preventiva", "AccionPreventiva"),
                                   conAncho(GridColumn::text("Fecha Limite", "FechaLimite"), 1500),
                                   conAncho(GridColumn::text("Responsable Ejecucion", "ResponsableEjecucion"), 2200),
                                   conAncho(GridColumn::text("Presupuesto", "PresupuestoAproximado"), 1500)});
}

void CuadriculasPlan::ponerColumnasSeguimiento()
{
    GridColumn nivel = deLectura("Nivel", "ValorRiesgo", 1700);
    nivel.background = [](const QVariant& v) { return SeleccionaRiesgos::ColorNivel(v.toString()); };
    QVector<ValueItem> estados;
    for (const QString& e : EstadosLinea())
        estados.push_back({e, e});
    cuadriculaSeguimiento_->setColumns(
        {deLectura("Prioridad", "Prioridad", 900), deLectura("Puesto", "Puesto", 1500),
         deLectura("Riesgo", "Riesgo", 2200), nivel,
         conAncho(GridColumn::valueList("Estado", "Estado", estados, int(estados.size())), 1200),
         conAncho(GridColumn::text("Fecha\nRealizada", "FechaRealizada"), 1300),
         conAncho(GridColumn::text("Coste\nReal", "CosteReal"), 1100),
         conAncho(GridColumn::text("Seguimiento", "Seguimiento"), 2600)});
    // Una sola barra para las dos: la de la derecha; y las dos con la de abajo, para que sus filas
    // queden a la misma altura.
    cuadriculaLineas_->tableView()->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (Grid* g : {cuadriculaLineas_, cuadriculaSeguimiento_})
        g->tableView()->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void CuadriculasPlan::leer(long long idActuacion)
{
    idActuacion_ = idActuacion;
    for (auto [origen, cuadricula] :
         {std::pair{origenLineas_, cuadriculaLineas_}, std::pair{origenSeguimiento_, cuadriculaSeguimiento_}}) {
        origen->setRecordSource(LineasPorPrioridad, {qlonglong(idActuacion)});
        origen->refresh();
        cuadricula->redraw();
    }
}

void CuadriculasPlan::antesDeLineas(int columna, const QVariant& nuevo, bool* cancelar)
{
    // Corregir una línea en la cuadrícula no puede dejarla sin lo que se exige al añadirla.
    QString aviso, titulo;
    if (columna == ColumnaPresupuesto) {
        aviso = ProblemaImporte(nuevo.toString());
        titulo = "Presupuesto no válido";
    } else if ((columna == 0 || columna == 2) && vacio(nuevo)) {
        aviso = columna == 0 ? "Tienes que escribir una Actuacion Preventiva" : "Tienes que escribir un Responsable";
        titulo = columna == 0 ? "Sin Actuacion" : "Sin Responsable";
    }
    if (aviso.isEmpty())
        return;
    *cancelar = true;
    avisarTrasEditar(aviso, titulo);
}

void CuadriculasPlan::antesDeSeguimiento(int columna, const QVariant& nuevo, bool* cancelar)
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

void CuadriculasPlan::trasSeguimiento(int columna)
{
    if (columna != SegEstado) {
        releerLaOtra(cuadriculaSeguimiento_);
        return;
    }
    emit estadoCambiado();
    // El color de vencida depende del estado.
    releerDespues();
}

void CuadriculasPlan::avisarTrasEditar(const QString& aviso, const QString& titulo)
{
    // El aviso sale cuando la cuadrícula ha terminado de cerrar la edición.
    QPointer<QWidget> ventana(ventana_);
    QTimer::singleShot(0, this, [ventana, aviso, titulo] {
        if (ventana)
            ProtegerRanura([&] {
                Servicios().mensaje(ventana, aviso, titulo, Icono::Critico, Botones::Aceptar, Respuesta::Aceptar);
            });
    });
}

// Las dos cuadrículas enseñan las mismas líneas, cada una con la versión de la fila que leyó: lo
// guardado en una se vuelve a leer en la otra, y lo que se guarde después en ella no se toma por
// lo de otro usuario. La que se está editando no se toca; la otra sigue en su línea.
void CuadriculasPlan::releerLaOtra(Grid* escrita)
{
    Grid* otra = escrita == cuadriculaLineas_ ? cuadriculaSeguimiento_ : cuadriculaLineas_;
    DataSource* ds = otra->dataSource();
    const int fila = ds->currentRow();
    QScrollBar* barra = otra->tableView()->verticalScrollBar();
    const int desplazamiento = barra->value();
    {
        // Sin pasar a la que se edita los cambios de fila de la relectura.
        const QSignalBlocker bloqueo(otra);
        ds->refresh();
        otra->redraw();
        if (fila >= ds->rowCount())
            ds->fetchAll();
        if (fila >= 0 && fila < ds->rowCount())
            otra->setCurrentRow(fila);
    }
    barra->setValue(desplazamiento);
}

void CuadriculasPlan::releerDespues()
{
    if (releyendo_)
        return;
    releyendo_ = true;
    QPointer<CuadriculasPlan> yo(this);
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
                yo->leer(yo->idActuacion_);
                for (int f = 0; !linea.isNull() && f < ds->rowCount(); ++f)
                    if (ds->fieldValue(f, "IDActuacionRegistro") == linea) {
                        yo->cuadriculaLineas_->setCurrentRow(f);
                        break;
                    }
                barra->setValue(desplazamiento);
            },
            yo->ventana_);
    });
}

void CuadriculasPlan::elegirFila(Grid* destino, int fila)
{
    if (fila < 0 || destino->currentRow() == fila)
        return;
    // Mientras se vuelven a leer, la otra puede no tener aún esa fila.
    if (fila >= destino->dataSource()->rowCount())
        destino->dataSource()->fetchAll();
    if (fila < destino->dataSource()->rowCount())
        destino->setCurrentRow(fila);
}
