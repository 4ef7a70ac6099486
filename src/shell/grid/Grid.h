#pragma once

#include "shell/grid/CellTip.h"
#include "shell/grid/GridColumn.h"

#include <QHash>
#include <QList>
#include <QPersistentModelIndex>
#include <QPoint>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <QWidget>
#include <vector>

class DataSource;
class GridDelegate;
class GridHeader;
class GroupArea;
class GroupModel;
class QAbstractItemView;
class QHeaderView;
class QLabel;
class QStackedWidget;
class QTableView;
class QTimer;
class QTreeView;

// Cuadrícula de datos enlazada a un origen de datos: columnas fijas con título de dos líneas,
// selector de registro, filas existentes editables (ni altas ni bajas), notas de celda con el
// estilo que da la ventana y vista agrupada con su zona de agrupación.
//
// La fila actual de la cuadrícula es siempre la fila actual del conjunto de registros del origen.
class Grid : public QWidget
{
    Q_OBJECT

public:
    explicit Grid(QWidget* parent = nullptr);
    ~Grid() override;

    void setDataSource(DataSource* origen);
    DataSource* dataSource() const;

    void setColumns(const QVector<GridColumn>& columnas);
    const QVector<GridColumn>& columns() const;
    int columnCount() const;

    // Fila actual (desde 0, -1 sin filas) y columna actual. Cambiar la fila mueve el conjunto de
    // registros; puede lanzar ErrorBD.
    int currentRow() const;
    void setCurrentRow(int fila);
    int currentColumn() const;
    void setCurrentColumn(int columna);
    // Valor guardado de una celda de la fila actual. Ponerlo lo deja en el conjunto de registros
    // sin escribir: se escribe con el cambio de celda en curso o con update() del conjunto.
    QVariant cellValue(int columna) const;
    void setCellValue(int columna, const QVariant& valor);
    // Vuelve a pintar con lo que tiene el conjunto de registros (también si la ventana lo ha movido).
    void redraw();

    // Notas de celda: junto a la celda o junto al puntero; anchura automática (0) o en twips;
    // retardo en milisegundos desde que el puntero se para.
    void setTipAnchored(bool si);
    bool tipAnchored() const;
    void setTipWidth(int twips);
    int tipWidth() const;
    void setTipDelay(int milisegundos);
    int tipDelay() const;
    // Antes de pedir la nota, la fila bajo el puntero pasa a ser la actual (así está por omisión).
    // Con false la fila actual no se toca y la nota se hace con la fila seleccionada.
    void setTipMovesCurrentRow(bool si);
    bool tipMovesCurrentRow() const;

    // Vista agrupada: la zona de agrupación sobre la cuadrícula.
    void setGroupView(bool si);
    bool groupView() const;
    void setGroupPrompt(const QString& texto);
    // Agrupa por una columna más (enciende la vista agrupada si hacía falta).
    void groupBy(int columna);
    void ungroup(int columna);
    void ungroup();
    const QList<int>& groupedColumns() const;

    // Filtro de filas: sólo se ven las que tienen cada palabra de "texto" en alguna de sus
    // columnas de texto o de lista (las casillas no cuentan), sin mirar mayúsculas ni acentos;
    // vacío, se ven todas. Las filas ocultas siguen en el origen con su número, así que marcar o
    // editar una fila a la vista cambia esa fila. Si la fila actual queda oculta, pasa a ser la
    // primera que se ve; si no se ve ninguna, la vista no tiene fila en la que escribir.
    void setFilterText(const QString& texto);
    const QString& filterText() const;
    bool rowMatchesFilter(int fila) const;
    int shownRowCount() const;

    // Piezas, para las pruebas y para quien necesite afinar el aspecto.
    QTableView* tableView() const;
    QTreeView* treeView() const;
    GroupArea* groupArea() const;
    GroupModel* groupModel() const;
    QAbstractItemView* activeView() const;
    QLabel* tipLabel() const;

signals:
    // Antes de aceptar el cambio de una celda de la fila actual; con *cancel = true se queda el
    // valor anterior y no se escribe nada. Durante el aviso cellValue(column) ya da el valor nuevo.
    void beforeCellChange(int column, const QVariant& oldValue, const QVariant& newValue, bool* cancel);
    // Después de escribir el cambio en la base de datos.
    void afterCellChange(int column);
    // Petición de la nota de una celda (división 0; fila -1 fuera de las filas de datos).
    // La ventana rellena *tip; con el texto vacío no se enseña nada.
    void cellTipRequested(int split, int column, int row, CellTip* tip);
    void rowDoubleClicked(int row);
    void currentRowChanged(int row);
    // El almacén no aceptó una escritura; ya se ha avisado con el mensaje general.
    void writeFailed(long number, const QString& description);

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;
    void showEvent(QShowEvent* evento) override;
    // La nota es una ventana aparte: no se queda en pantalla cuando la cuadrícula deja de verse.
    void hideEvent(QHideEvent* evento) override;

private:
    DataSource* origen_ = nullptr;
    GroupModel* grupos_ = nullptr;
    QVector<GridColumn> columnas_;
    QList<int> agrupadas_;
    QStackedWidget* pila_;
    QTableView* tabla_;
    QTreeView* arbol_;
    GridHeader* cabeceraTabla_;
    GridHeader* cabeceraArbol_;
    GridDelegate* delegadoTabla_;
    GridDelegate* delegadoArbol_;
    GroupArea* zona_;
    QLabel* tip_;
    QLabel* fantasma_;
    QTimer* relojTip_;
    QTimer* relojAlturas_;
    QPoint posicionTip_;
    QPersistentModelIndex celdaTip_;
    int columnaActual_ = 0;
    bool vistaGrupos_ = false;
    bool tipAnclada_ = true;
    int tipAncho_ = 0;
    int tipRetardo_ = 500;
    bool tipMueveFila_ = true;
    bool sincronizando_ = false;
    bool partirLineas_ = false;
    QString filtro_;
    QStringList palabrasFiltro_;
    // Texto de cada fila tal como se compara con el filtro; nulo mientras no se ha leído.
    mutable std::vector<QString> textosFiltro_;
    // Anchuras que el usuario ha dado a las columnas (por campo), recordadas de una vez a otra.
    QHash<QString, int> anchosUsuario_;
    QString claveAnchos_;
    bool ajustandoAnchos_ = false;

    void conectarSeleccion();
    void sincronizarVista();
    void aplicarAnchos();
    // Las columnas de texto sin anchura fija ni dada por el usuario se reparten lo que queda.
    void repartirAnchos();
    void leerAnchosGuardados();
    void anchoCambiado(QHeaderView* cabecera, int columna, int ancho);
    QString nombreColumna(int columna) const;
    bool columnaFlexible(int columna) const;
    void aplicarAlturas();
    void medirFilas(int desde, int hasta);
    void aplicarGrupos();
    void prepararArbol();
    void cambioActualEnVista(const QModelIndex& actual);
    void pedirTip();
    void ocultarTip();
    void moverFantasma(const QString& texto, const QPoint& global);
    void soltarColumna(int columna, const QPoint& global);
    void soltarGrupo(int columna, const QPoint& global);
    void aplicarFiltro();
    void filtrarTabla(int desde, int hasta);
    bool filtrarRama(const QModelIndex& padre);
    int primeraFilaVisible() const;
    const QString& textoFiltro(int fila) const;
    void olvidarTextos(int desde, int hasta);
};
