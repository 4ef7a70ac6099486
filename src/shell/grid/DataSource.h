#pragma once

#include "shell/grid/GridColumn.h"

#include <QAbstractTableModel>
#include <QString>
#include <QVariantList>
#include <QVector>
#include <memory>
#include <vector>

class Recordset;

// Origen de datos de una cuadrícula: un conjunto de registros sobre una sentencia que la ventana
// fija en ejecución. Lee las filas a medida que la vista las pide, así que abrir una tabla enorme
// no cuesta más que su primera pantalla. Las columnas son las de la cuadrícula, no los campos.
//
// Cada cambio de celda se escribe en el acto por el conjunto de registros (tabla o vista con su
// disparador). Si el almacén lo rechaza, se avisa y la celda vuelve a lo guardado.
class DataSource : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit DataSource(QObject* parent = nullptr);
    ~DataSource() override;

    void setConnectionString(const QString& conexion);
    const QString& connectionString() const;
    // Sentencia de las filas; no se ejecuta hasta refresh().
    void setRecordSource(const QString& sql, const QVariantList& parametros = {});
    const QString& recordSource() const;
    // Vuelve a ejecutar la sentencia y enseña el resultado desde la primera fila. Lanza ErrorBD;
    // si falla, el origen queda vacío y cerrado.
    void refresh();
    bool isOpen() const;

    // El conjunto de registros, colocado en la fila actual. Lanza ErrorBD si nunca se abrió.
    Recordset& recordset();
    // Sin filas (no lee más que la primera).
    bool isEmpty() const;
    // Lee todas las filas que falten (la vista agrupada las necesita todas).
    void fetchAll();
    void setFetchBatch(int filas);

    void setColumns(const QVector<GridColumn>& columnas);
    const QVector<GridColumn>& columns() const;

    // Fila actual, desde 0; -1 sin filas. Mover la fila escribe antes lo pendiente de la anterior.
    int currentRow() const;
    void setCurrentRow(int fila);
    // Si alguien ha movido el conjunto de registros por su cuenta, la fila actual lo sigue.
    void followRecordset();

    // Valor guardado de una celda (el de la lista, no el texto visto).
    QVariant cellValue(int fila, int columna) const;
    QVariant fieldValue(int fila, const QString& campo) const;
    // Pone el valor en la celda de la fila actual y en su campo del conjunto de registros, sin
    // escribirlo todavía: se escribe con el cambio de celda en curso o con update().
    void setCellValue(int columna, const QVariant& valor);
    // Vuelve a leer la fila actual del conjunto de registros y la repinta.
    void reloadCurrentRow();

    int rowCount(const QModelIndex& padre = {}) const override;
    int columnCount(const QModelIndex& padre = {}) const override;
    QVariant data(const QModelIndex& indice, int papel = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& indice, const QVariant& valor, int papel = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& indice) const override;
    QVariant headerData(int seccion, Qt::Orientation orientacion, int papel = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& padre) const override;
    void fetchMore(const QModelIndex& padre) override;

    // Texto que se ve para un valor de una columna (el de su lista si lo tiene).
    static QString shownText(const GridColumn& columna, const QVariant& valor);
    static QVariant storedFromShown(const GridColumn& columna, const QString& texto);

signals:
    // Antes de aceptar el cambio de una celda de la fila actual. Con *cancel = true la celda
    // vuelve al valor anterior y no se escribe nada.
    void beforeCellChange(int row, int column, const QVariant& oldValue, const QVariant& newValue, bool* cancel);
    // Después de escribir el cambio en la base de datos.
    void afterCellChange(int row, int column);
    // El almacén no ha aceptado una escritura; la fila enseña otra vez lo guardado.
    void writeFailed(long numero, const QString& descripcion);
    void currentRowChanged(int row);

private:
    struct Datos;
    std::unique_ptr<Datos> d;

    int leerFilas(int maximo, std::vector<QVariantList>& salida);
    void anadirFilas(int maximo);
    void colocar(int fila);
    void escribirPendiente();
    QVariantList leerFilaActual();
    void avisarFallo(long numero, const QString& descripcion);
    void repintarFila(int fila);
    bool valido(const QModelIndex& indice) const;
    // Lo que se ve de una celda de la columna con ese valor, para cada papel que no depende de la fila.
    static QVariant presentar(const GridColumn& columna, const QVariant& valor, int papel);
    bool cambiarCelda(int fila, int columna, QVariant nuevo);
};
