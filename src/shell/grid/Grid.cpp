#include "shell/grid/Grid.h"

#include "shell/ManejadorErrores.h"
#include "shell/Rutinas.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/GridDelegate.h"
#include "shell/grid/GridHeader.h"
#include "shell/grid/GroupArea.h"
#include "shell/grid/GroupModel.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QStackedWidget>
#include <QTableView>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

namespace {
QLabel* ventanaFlotante(QWidget* dueno, const QString& nombre, const QString& accesible)
{
    auto* l = new QLabel(dueno, Qt::ToolTip | Qt::FramelessWindowHint);
    l->setObjectName(nombre);
    l->setAccessibleName(accesible);
    l->setTextFormat(Qt::PlainText);
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    l->setAttribute(Qt::WA_ShowWithoutActivating);
    l->setFocusPolicy(Qt::NoFocus);
    l->hide();
    return l;
}

// Lo común de las dos vistas, la tabla y el árbol de los grupos: su nombre, su delegado y cómo
// se seleccionan, se editan y se desplazan.
GridDelegate* prepararVista(QAbstractItemView* v, const QString& nombre, const QString& accesible)
{
    v->setObjectName(nombre);
    v->setAccessibleName(accesible);
    auto* delegado = new GridDelegate(v);
    v->setItemDelegate(delegado);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setSelectionMode(QAbstractItemView::SingleSelection);
    v->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                       QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    v->setAlternatingRowColors(true);
    v->setMouseTracking(true);
    v->viewport()->setMouseTracking(true);
    v->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    return delegado;
}
} // namespace

Grid::Grid(QWidget* parent) : QWidget(parent)
{
    setAccessibleName(tr("Cuadrícula de datos"));
    auto* capas = new QVBoxLayout(this);
    capas->setContentsMargins(0, 0, 0, 0);
    capas->setSpacing(2);

    zona_ = new GroupArea(this);
    zona_->hide();
    capas->addWidget(zona_);

    pila_ = new QStackedWidget(this);
    capas->addWidget(pila_, 1);

    tabla_ = new QTableView(pila_);
    cabeceraTabla_ = new GridHeader(tabla_);
    tabla_->setHorizontalHeader(cabeceraTabla_);
    delegadoTabla_ = prepararVista(tabla_, QStringLiteral("tabla"), tr("Filas de la cuadrícula"));
    tabla_->setShowGrid(true);
    tabla_->setGridStyle(Qt::SolidLine);
    tabla_->setWordWrap(false);
    tabla_->setCornerButtonEnabled(false);
    QHeaderView* selector = tabla_->verticalHeader();
    selector->setAccessibleName(tr("Selector de registro"));
    selector->setSectionResizeMode(QHeaderView::Fixed);
    selector->setDefaultSectionSize(fontMetrics().height() + 8);
    selector->setFixedWidth(18);
    selector->setSectionsClickable(true);
    selector->setHighlightSections(false);
    pila_->addWidget(tabla_);

    arbol_ = new QTreeView(pila_);
    cabeceraArbol_ = new GridHeader(arbol_);
    arbol_->setHeader(cabeceraArbol_);
    delegadoArbol_ = prepararVista(arbol_, QStringLiteral("arbol"), tr("Filas agrupadas"));
    delegadoArbol_->setRowDividers(true);
    arbol_->setUniformRowHeights(true);
    arbol_->setAllColumnsShowFocus(true);
    arbol_->setIndentation(16);
    arbol_->setExpandsOnDoubleClick(false);
    pila_->addWidget(arbol_);
    pila_->setCurrentWidget(tabla_);

    tip_ = ventanaFlotante(this, QStringLiteral("tipCelda"), tr("Información de la celda"));
    fantasma_ = ventanaFlotante(this, QStringLiteral("columnaArrastrada"), tr("Columna arrastrada"));
    fantasma_->setStyleSheet(
        QStringLiteral("QLabel { background: %1; color: %2; border: 1px solid %3; padding: 3px 8px; }")
            .arg(palette().color(QPalette::Button).name(), palette().color(QPalette::ButtonText).name(),
                 palette().color(QPalette::Highlight).name()));

    relojTip_ = new QTimer(this);
    relojTip_->setSingleShot(true);
    relojTip_->setInterval(tipRetardo_);
    connect(relojTip_, &QTimer::timeout, this, [this] { pedirTip(); });

    // Las filas con texto partido se vuelven a medir cuando cambia la anchura de las columnas
    // (también al cambiar el tamaño de la ventana), una vez por tanda de cambios.
    relojAlturas_ = new QTimer(this);
    relojAlturas_->setSingleShot(true);
    relojAlturas_->setInterval(0);
    connect(relojAlturas_, &QTimer::timeout, this, [this] {
        medirFilas(0, origen_ ? origen_->rowCount() - 1 : -1);
        if (partirLineas_ && arbol_->model() && pila_->currentWidget() == arbol_)
            arbol_->doItemsLayout();
    });

    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(tabla_), static_cast<QAbstractItemView*>(arbol_)}) {
        v->viewport()->installEventFilter(this);
        v->installEventFilter(this);
    }

    for (GridHeader* cabecera : {cabeceraTabla_, cabeceraArbol_}) {
        connect(cabecera, &QHeaderView::sectionResized, this, [this, cabecera](int columna, int, int ancho) {
            if (partirLineas_)
                relojAlturas_->start();
            if (!ajustandoAnchos_)
                anchoCambiado(cabecera, columna, ancho);
        });
        connect(cabecera, &GridHeader::columnDragMoved, this,
                [this](int columna, const QPoint& global) { moverFantasma(columnas_.value(columna).caption, global); });
        connect(cabecera, &GridHeader::columnDropped, this, &Grid::soltarColumna);
    }
    connect(zona_, &GroupArea::groupDragMoved, this,
            [this](int columna, const QPoint& global) { moverFantasma(columnas_.value(columna).caption, global); });
    connect(zona_, &GroupArea::groupDropped, this, &Grid::soltarGrupo);
    connect(zona_, &GroupArea::ungroupRequested, this, [this](int columna) { ungroup(columna); });

    connect(tabla_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& i) {
        if (i.isValid())
            emit rowDoubleClicked(i.row());
    });
    connect(arbol_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& i) {
        const int fila = grupos_ ? grupos_->sourceRow(i) : -1;
        if (fila >= 0)
            emit rowDoubleClicked(fila);
    });
}

// Al destruirse las vistas aún mandan sucesos (cambios de tamaño) cuando lo propio de la cuadrícula ya no existe.
Grid::~Grid()
{
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(tabla_), static_cast<QAbstractItemView*>(arbol_)}) {
        v->viewport()->removeEventFilter(this);
        v->removeEventFilter(this);
    }
}

void Grid::setDataSource(DataSource* origen)
{
    if (origen_ == origen)
        return;
    if (origen_)
        disconnect(origen_, nullptr, this, nullptr);
    arbol_->setModel(nullptr);
    delete grupos_;
    grupos_ = nullptr;
    origen_ = origen;
    agrupadas_.clear();
    tabla_->setModel(origen_);
    if (!origen_) {
        zona_->setGroups({});
        return;
    }
    grupos_ = new GroupModel(origen_, this);
    arbol_->setModel(grupos_);
    conectarSeleccion();

    // La ventana puede destruir el origen antes que la cuadrícula.
    connect(origen_, &QObject::destroyed, this, [this] {
        origen_ = nullptr;
        arbol_->setModel(nullptr);
        delete grupos_;
        grupos_ = nullptr;
        pila_->setCurrentWidget(tabla_);
    });
    connect(origen_, &DataSource::beforeCellChange, this,
            [this](int, int columna, const QVariant& anterior, const QVariant& nuevo, bool* cancelar) {
                columnaActual_ = columna;
                emit beforeCellChange(columna, anterior, nuevo, cancelar);
            });
    connect(origen_, &DataSource::afterCellChange, this, [this](int, int columna) { emit afterCellChange(columna); });
    connect(origen_, &DataSource::writeFailed, this, [this](long numero, const QString& descripcion) {
        // El aviso sale cuando termina la edición en curso, no en medio de ella.
        QPointer<Grid> yo(this);
        QTimer::singleShot(0, this, [yo, numero, descripcion] {
            if (yo)
                ProtegerRanura([&] { MostrarErrorGeneral(numero, descripcion, yo->window()); });
        });
        emit writeFailed(numero, descripcion);
    });
    connect(origen_, &DataSource::currentRowChanged, this, [this](int fila) {
        sincronizarVista();
        emit currentRowChanged(fila);
    });
    connect(origen_, &QAbstractItemModel::modelReset, this, [this] {
        textosFiltro_.clear();
        aplicarAnchos();
        if (partirLineas_)
            relojAlturas_->start();
        // La vista acaba de olvidar qué filas tenía ocultas.
        if (!palabrasFiltro_.isEmpty())
            aplicarFiltro();
    });
    // Sólo se miden las filas que cambian o llegan: moverse por una tabla larga no la mide entera.
    connect(origen_, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int desde, int hasta) {
        medirFilas(desde, hasta);
        filtrarTabla(desde, hasta);
    });
    // Una fila editada se compara otra vez con el filtro la próxima vez que cambie, no en medio
    // de la edición: no desaparece bajo el ratón.
    connect(origen_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& desde, const QModelIndex& hasta) {
                olvidarTextos(desde.row(), hasta.row());
                medirFilas(desde.row(), hasta.row());
            });
    connect(grupos_, &QAbstractItemModel::modelReset, this, [this] {
        prepararArbol();
        if (!palabrasFiltro_.isEmpty())
            filtrarRama({});
        sincronizarVista();
    });
    if (!columnas_.isEmpty())
        origen_->setColumns(columnas_);
    aplicarAnchos();
    sincronizarVista();
}

DataSource* Grid::dataSource() const
{
    return origen_;
}

void Grid::conectarSeleccion()
{
    connect(tabla_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& actual) { cambioActualEnVista(actual); });
    connect(arbol_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& actual) { cambioActualEnVista(actual); });
}

// El usuario se ha movido en la vista: el conjunto de registros va a la misma fila.
void Grid::cambioActualEnVista(const QModelIndex& actual)
{
    if (sincronizando_ || !origen_ || !actual.isValid())
        return;
    columnaActual_ = actual.column();
    const int fila = actual.data(GridRole::SourceRow).toInt();
    if (fila < 0 || fila == origen_->currentRow())
        return;
    ProtegerRanura([&] { origen_->setCurrentRow(fila); }, window());
    // Si no se ha podido mover, la vista vuelve a la fila del conjunto.
    if (origen_ && origen_->currentRow() != fila)
        QTimer::singleShot(0, this, [this] { sincronizarVista(); });
}

void Grid::sincronizarVista()
{
    if (!origen_)
        return;
    QAbstractItemView* v = activeView();
    const int fila = origen_->currentRow();
    const int columna = qBound(0, columnaActual_, qMax(0, int(columnas_.size()) - 1));
    QModelIndex i;
    if (v == arbol_ && grupos_)
        i = grupos_->indexOfSourceRow(fila, columna);
    else if (fila >= 0 && fila < origen_->rowCount())
        i = origen_->index(fila, columna);
    // Una fila oculta por el filtro no queda como actual de la vista: el teclado la cambiaría sin verla.
    if (i.isValid() && !rowMatchesFilter(fila))
        i = QModelIndex();
    sincronizando_ = true;
    if (i.isValid()) {
        if (v->currentIndex() != i)
            v->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        else if (!v->selectionModel()->isRowSelected(i.row(), i.parent()))
            v->selectionModel()->select(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        // Con la vista aún sin medidas, scrollTo dejaría la fila arriba del todo y taparía su grupo.
        if (v->isVisible())
            v->scrollTo(i);
    } else {
        v->selectionModel()->clear();
    }
    sincronizando_ = false;
}

void Grid::setColumns(const QVector<GridColumn>& columnas)
{
    columnas_ = columnas;
    QList<int> quedan;
    for (int c : agrupadas_)
        if (c < columnas_.size())
            quedan << c;
    agrupadas_ = quedan;
    if (origen_)
        origen_->setColumns(columnas_);
    aplicarAnchos();
    aplicarAlturas();
    aplicarGrupos();
}

// Con alguna columna de texto largo cada fila tiene la altura de su texto. La barra de
// desplazamiento siempre a la vista: si apareciera y desapareciera al crecer las filas, cambiaría
// la anchura de las columnas y con ella otra vez las alturas.
void Grid::aplicarAlturas()
{
    const bool antes = partirLineas_;
    partirLineas_ = std::any_of(columnas_.cbegin(), columnas_.cend(), [](const GridColumn& c) { return c.wordWrap; });
    const Qt::ScrollBarPolicy barra = partirLineas_ ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded;
    tabla_->setVerticalScrollBarPolicy(barra);
    arbol_->setVerticalScrollBarPolicy(barra);
    arbol_->setUniformRowHeights(!partirLineas_);
    if (partirLineas_)
        relojAlturas_->start();
    else if (antes)
        tabla_->verticalHeader()->reset();
}

void Grid::medirFilas(int desde, int hasta)
{
    if (!partirLineas_ || !origen_ || tabla_->model() != origen_)
        return;
    hasta = qMin(hasta, origen_->rowCount() - 1);
    for (int fila = qMax(0, desde); fila <= hasta; ++fila)
        tabla_->resizeRowToContents(fila);
}

const QVector<GridColumn>& Grid::columns() const
{
    return columnas_;
}

int Grid::columnCount() const
{
    return int(columnas_.size());
}

// Las columnas sin anchura fijada se reparten lo que queda; las casillas y las listas, lo justo
// para su título y sus valores. La anchura que el usuario dio a una columna manda sobre las dos.
void Grid::aplicarAnchos()
{
    leerAnchosGuardados();
    const QFontMetrics fm(font());
    ajustandoAnchos_ = true;
    for (QHeaderView* cabecera :
         {static_cast<QHeaderView*>(cabeceraTabla_), static_cast<QHeaderView*>(cabeceraArbol_)}) {
        if (cabecera->count() != columnas_.size())
            continue;
        cabecera->setStretchLastSection(false);
        for (int i = 0; i < columnas_.size(); ++i) {
            const GridColumn& c = columnas_[i];
            int ancho = anchosUsuario_.value(nombreColumna(i));
            if (ancho > 0) {
            } else if (c.widthTwips > 0) {
                ancho = TwipsAPixeles(c.widthTwips, this);
            } else if (c.presentation != GridColumn::Presentation::Text) {
                for (const QString& linea : c.caption.split('\n'))
                    ancho = qMax(ancho, fm.horizontalAdvance(linea) + 24);
                for (const ValueItem& v : c.values)
                    ancho = qMax(ancho, fm.horizontalAdvance(v.shown) + 40);
                ancho = qMax(ancho, 80);
            }
            cabecera->setSectionResizeMode(i, QHeaderView::Interactive);
            if (ancho > 0)
                cabecera->resizeSection(i, ancho);
        }
    }
    ajustandoAnchos_ = false;
    repartirAnchos();
}

int Grid::currentRow() const
{
    return origen_ ? origen_->currentRow() : -1;
}

void Grid::setCurrentRow(int fila)
{
    if (origen_)
        origen_->setCurrentRow(fila);
}

int Grid::currentColumn() const
{
    return columnaActual_;
}

void Grid::setCurrentColumn(int columna)
{
    if (columna < 0 || columna >= columnas_.size())
        return;
    columnaActual_ = columna;
    sincronizarVista();
}

QVariant Grid::cellValue(int columna) const
{
    return origen_ ? origen_->cellValue(origen_->currentRow(), columna) : QVariant();
}

void Grid::setCellValue(int columna, const QVariant& valor)
{
    if (origen_)
        origen_->setCellValue(columna, valor);
}

void Grid::redraw()
{
    if (origen_) {
        origen_->followRecordset();
        origen_->reloadCurrentRow();
    }
    tabla_->viewport()->update();
    arbol_->viewport()->update();
}

QTableView* Grid::tableView() const
{
    return tabla_;
}

QTreeView* Grid::treeView() const
{
    return arbol_;
}

GroupArea* Grid::groupArea() const
{
    return zona_;
}

GroupModel* Grid::groupModel() const
{
    return grupos_;
}

QAbstractItemView* Grid::activeView() const
{
    return pila_->currentWidget() == arbol_ ? static_cast<QAbstractItemView*>(arbol_)
                                            : static_cast<QAbstractItemView*>(tabla_);
}

QLabel* Grid::tipLabel() const
{
    return tip_;
}

void Grid::showEvent(QShowEvent* evento)
{
    QWidget::showEvent(evento);
    QPointer<Grid> yo(this);
    QTimer::singleShot(0, this, [yo] {
        if (yo)
            yo->sincronizarVista();
    });
}

void Grid::hideEvent(QHideEvent* evento)
{
    relojTip_->stop();
    ocultarTip();
    fantasma_->hide();
    QWidget::hideEvent(evento);
}
