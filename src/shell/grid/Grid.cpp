#include "shell/grid/Grid.h"

#include "shell/ManejadorErrores.h"
#include "shell/Rutinas.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/GridDelegate.h"
#include "shell/grid/GridHeader.h"
#include "shell/grid/GroupArea.h"
#include "shell/grid/GroupModel.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QStackedWidget>
#include <QTableView>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

namespace {
QString colorCss(const QColor& c)
{
    return QStringLiteral("rgb(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

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

void ajustarVista(QAbstractItemView* v)
{
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setSelectionMode(QAbstractItemView::SingleSelection);
    v->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                       QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    v->setAlternatingRowColors(true);
    v->setMouseTracking(true);
    v->viewport()->setMouseTracking(true);
    v->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
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
    tabla_->setObjectName(QStringLiteral("tabla"));
    tabla_->setAccessibleName(tr("Filas de la cuadrícula"));
    cabeceraTabla_ = new GridHeader(tabla_);
    tabla_->setHorizontalHeader(cabeceraTabla_);
    delegadoTabla_ = new GridDelegate(tabla_);
    tabla_->setItemDelegate(delegadoTabla_);
    ajustarVista(tabla_);
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
    arbol_->setObjectName(QStringLiteral("arbol"));
    arbol_->setAccessibleName(tr("Filas agrupadas"));
    cabeceraArbol_ = new GridHeader(arbol_);
    arbol_->setHeader(cabeceraArbol_);
    delegadoArbol_ = new GridDelegate(arbol_);
    delegadoArbol_->setRowDividers(true);
    arbol_->setItemDelegate(delegadoArbol_);
    ajustarVista(arbol_);
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
        connect(cabecera, &QHeaderView::sectionResized, this, [this] {
            if (partirLineas_)
                relojAlturas_->start();
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

Grid::~Grid() = default;

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
        aplicarAnchos();
        if (partirLineas_)
            relojAlturas_->start();
    });
    // Sólo se miden las filas que cambian o llegan: moverse por una tabla larga no la mide entera.
    connect(origen_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int desde, int hasta) { medirFilas(desde, hasta); });
    connect(origen_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& desde, const QModelIndex& hasta) { medirFilas(desde.row(), hasta.row()); });
    connect(grupos_, &QAbstractItemModel::modelReset, this, [this] {
        prepararArbol();
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
// para su título y sus valores.
void Grid::aplicarAnchos()
{
    const QFontMetrics fm(font());
    for (QHeaderView* cabecera :
         {static_cast<QHeaderView*>(cabeceraTabla_), static_cast<QHeaderView*>(cabeceraArbol_)}) {
        if (cabecera->count() != columnas_.size())
            continue;
        cabecera->setStretchLastSection(false);
        for (int i = 0; i < columnas_.size(); ++i) {
            const GridColumn& c = columnas_[i];
            int ancho = 0;
            if (c.widthTwips > 0) {
                ancho = TwipsAPixeles(c.widthTwips, this);
            } else if (c.presentation != GridColumn::Presentation::Text) {
                for (const QString& linea : c.caption.split('\n'))
                    ancho = qMax(ancho, fm.horizontalAdvance(linea) + 24);
                for (const ValueItem& v : c.values)
                    ancho = qMax(ancho, fm.horizontalAdvance(v.shown) + 40);
                ancho = qMax(ancho, 80);
            }
            if (ancho > 0) {
                cabecera->setSectionResizeMode(i, QHeaderView::Interactive);
                cabecera->resizeSection(i, ancho);
            } else {
                cabecera->setSectionResizeMode(i, QHeaderView::Stretch);
            }
        }
    }
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

void Grid::setTipAnchored(bool si)
{
    tipAnclada_ = si;
}

bool Grid::tipAnchored() const
{
    return tipAnclada_;
}

void Grid::setTipWidth(int twips)
{
    tipAncho_ = qMax(0, twips);
}

int Grid::tipWidth() const
{
    return tipAncho_;
}

void Grid::setTipDelay(int milisegundos)
{
    tipRetardo_ = qMax(0, milisegundos);
    relojTip_->setInterval(tipRetardo_);
}

int Grid::tipDelay() const
{
    return tipRetardo_;
}

void Grid::setTipMovesCurrentRow(bool si)
{
    tipMueveFila_ = si;
}

bool Grid::tipMovesCurrentRow() const
{
    return tipMueveFila_;
}

void Grid::setGroupView(bool si)
{
    vistaGrupos_ = si;
    zona_->setVisible(si);
    cabeceraTabla_->setColumnDragEnabled(si);
    cabeceraArbol_->setColumnDragEnabled(si);
    if (!si && !agrupadas_.isEmpty())
        ungroup();
}

bool Grid::groupView() const
{
    return vistaGrupos_;
}

void Grid::setGroupPrompt(const QString& texto)
{
    zona_->setPrompt(texto);
}

void Grid::groupBy(int columna)
{
    if (columna < 0 || columna >= columnas_.size() || agrupadas_.contains(columna))
        return;
    if (!vistaGrupos_)
        setGroupView(true);
    agrupadas_ << columna;
    aplicarGrupos();
}

void Grid::ungroup(int columna)
{
    if (agrupadas_.removeAll(columna) > 0)
        aplicarGrupos();
}

void Grid::ungroup()
{
    if (agrupadas_.isEmpty())
        return;
    agrupadas_.clear();
    aplicarGrupos();
}

const QList<int>& Grid::groupedColumns() const
{
    return agrupadas_;
}

void Grid::aplicarGrupos()
{
    QList<QPair<int, QString>> botones;
    for (int c : agrupadas_)
        botones << qMakePair(c, columnas_.value(c).caption);
    zona_->setGroups(botones);
    if (!grupos_)
        return;
    ocultarTip();
    // Lo que se esté editando se cierra antes de cambiar de vista.
    if (QWidget* foco = activeView()->focusWidget(); foco && foco != activeView())
        activeView()->setFocus();
    if (grupos_->groupColumns() != agrupadas_)
        grupos_->setGroupColumns(agrupadas_);
    pila_->setCurrentWidget(agrupadas_.isEmpty() ? static_cast<QWidget*>(tabla_) : static_cast<QWidget*>(arbol_));
    aplicarAnchos();
    sincronizarVista();
}

void Grid::prepararArbol()
{
    if (!grupos_)
        return;
    std::vector<QModelIndex> pendientes{QModelIndex()};
    while (!pendientes.empty()) {
        const QModelIndex padre = pendientes.back();
        pendientes.pop_back();
        for (int f = 0; f < grupos_->rowCount(padre); ++f) {
            const QModelIndex i = grupos_->index(f, 0, padre);
            if (grupos_->isGroupRow(i)) {
                arbol_->setFirstColumnSpanned(f, padre, true);
                pendientes.push_back(i);
            }
        }
    }
    arbol_->expandAll();
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

bool Grid::eventFilter(QObject* objeto, QEvent* evento)
{
    QAbstractItemView* v = activeView();
    if (objeto == v->viewport()) {
        switch (evento->type()) {
        case QEvent::MouseMove: {
            const QPoint p = static_cast<QMouseEvent*>(evento)->position().toPoint();
            posicionTip_ = p;
            const QModelIndex i = v->indexAt(p);
            if (i != celdaTip_) {
                ocultarTip();
                celdaTip_ = i;
            }
            // La nota sale cuando el puntero lleva parado el retardo.
            if (!tip_->isVisible() && i.isValid())
                relojTip_->start();
            break;
        }
        case QEvent::Leave:
            relojTip_->stop();
            ocultarTip();
            celdaTip_ = QPersistentModelIndex();
            break;
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
            relojTip_->stop();
            ocultarTip();
            break;
        default:
            break;
        }
    } else if (objeto == v && (evento->type() == QEvent::KeyPress || evento->type() == QEvent::FocusOut)) {
        ocultarTip();
    }
    return QWidget::eventFilter(objeto, evento);
}

void Grid::pedirTip()
{
    QAbstractItemView* v = activeView();
    if (!origen_ || (v == arbol_ ? delegadoArbol_ : delegadoTabla_)->editing())
        return;
    const QModelIndex i = v->indexAt(posicionTip_);
    if (!i.isValid())
        return;
    const int fila = i.data(GridRole::SourceRow).toInt();
    const int columna = i.column();
    CellTip tip;
    ProtegerRanura(
        [&] {
            if (tipMueveFila_ && fila >= 0)
                origen_->setCurrentRow(fila);
            emit cellTipRequested(0, columna, fila, &tip);
        },
        window());
    if (tip.text.isEmpty())
        return;

    QString texto = tip.text;
    texto.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace('\r', '\n');
    // Los saltos del final sólo dejarían una franja vacía al pie de la nota.
    while (texto.endsWith('\n'))
        texto.chop(1);
    QFont letra = font();
    if (tip.fontSize > 0)
        letra.setPointSize(tip.fontSize);
    letra.setBold(tip.bold);
    tip_->setFont(letra);
    const QColor tinta = tip.textColor.isValid() ? tip.textColor : palette().color(QPalette::ToolTipText);
    const QColor fondo = tip.fillColor.isValid() ? tip.fillColor : palette().color(QPalette::ToolTipBase);
    tip_->setStyleSheet(
        QStringLiteral("QLabel { color: %1; background-color: %2; border: 1px solid %3; padding: 4px; }")
            .arg(colorCss(tinta), colorCss(fondo), colorCss(fondo.darker(150))));
    tip_->setText(texto);
    if (tipAncho_ > 0) {
        const int ancho = TwipsAPixeles(tipAncho_, this);
        tip_->setWordWrap(tip.wordWrap);
        tip_->setFixedWidth(ancho);
        tip_->setFixedHeight(tip.wordWrap ? tip_->heightForWidth(ancho) : tip_->sizeHint().height());
    } else {
        tip_->setWordWrap(false);
        tip_->setMinimumSize(0, 0);
        tip_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        tip_->adjustSize();
    }
    QPoint donde;
    if (tipAnclada_) {
        const QRect celda = v->visualRect(v->indexAt(posicionTip_));
        donde = v->viewport()->mapToGlobal(QPoint(celda.left(), celda.bottom() + 2));
    } else {
        donde = v->viewport()->mapToGlobal(posicionTip_) + QPoint(12, 18);
    }
    // Dentro de la pantalla aunque la celda esté junto al borde.
    if (QScreen* pantalla = screen()) {
        const QRect util = pantalla->availableGeometry();
        donde.setX(qBound(util.left(), donde.x(), qMax(util.left(), util.right() - tip_->width())));
        if (donde.y() + tip_->height() > util.bottom())
            donde.setY(qMax(util.top(), donde.y() - tip_->height() - v->visualRect(i).height() - 4));
    }
    tip_->move(donde);
    tip_->show();
    tip_->raise();
}

void Grid::ocultarTip()
{
    if (tip_->isVisible())
        tip_->hide();
}

void Grid::moverFantasma(const QString& texto, const QPoint& global)
{
    fantasma_->setText(QString(texto).replace('\n', ' '));
    fantasma_->adjustSize();
    fantasma_->move(global + QPoint(8, 8));
    if (!fantasma_->isVisible())
        fantasma_->show();
    zona_->setHighlighted(zona_->containsGlobal(global));
}

void Grid::soltarColumna(int columna, const QPoint& global)
{
    fantasma_->hide();
    zona_->setHighlighted(false);
    if (vistaGrupos_ && zona_->containsGlobal(global))
        ProtegerRanura([&] { groupBy(columna); }, window());
}

void Grid::soltarGrupo(int columna, const QPoint& global)
{
    fantasma_->hide();
    zona_->setHighlighted(false);
    // Soltado fuera de la zona (en el encabezado o en cualquier otro sitio): deja de agrupar.
    if (!zona_->containsGlobal(global))
        ProtegerRanura([&] { ungroup(columna); }, window());
}
