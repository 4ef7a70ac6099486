#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <memory>
#include <vector>

class DataSource;

// Vista agrupada de un origen de datos: un árbol con una fila de grupo por cada valor distinto de
// las columnas agrupadas (en el orden en que se agruparon) y, debajo, las filas de datos, que
// siguen siendo las del origen: se editan y avisan igual.
class GroupModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit GroupModel(DataSource* origen, QObject* parent = nullptr);
    ~GroupModel() override;

    DataSource* source() const;
    void setGroupColumns(const QList<int>& columnas);
    const QList<int>& groupColumns() const;

    // Índice de una fila del origen (columna dada) y al revés; -1 en las filas de grupo.
    QModelIndex indexOfSourceRow(int fila, int columna = 0) const;
    int sourceRow(const QModelIndex& indice) const;
    bool isGroupRow(const QModelIndex& indice) const;

    QModelIndex index(int fila, int columna, const QModelIndex& padre = {}) const override;
    QModelIndex parent(const QModelIndex& hijo) const override;
    int rowCount(const QModelIndex& padre = {}) const override;
    int columnCount(const QModelIndex& padre = {}) const override;
    bool hasChildren(const QModelIndex& padre = {}) const override;
    QVariant data(const QModelIndex& indice, int papel = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& indice, const QVariant& valor, int papel = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& indice) const override;
    QVariant headerData(int seccion, Qt::Orientation orientacion, int papel = Qt::DisplayRole) const override;

private:
    struct Nodo;
    DataSource* origen_;
    QList<int> columnas_;
    std::unique_ptr<Nodo> raiz_;
    std::vector<Nodo*> hojas_; // por fila del origen
    bool reconstruyendo_ = false;
    bool pendiente_ = false;

    Nodo* nodo(const QModelIndex& indice) const;
    void construir();
    void reconstruir();
    void reconstruirLuego();
    void cambiaronDatos(const QModelIndex& desde, const QModelIndex& hasta);
    void cambioFilaActual(int fila);
    int filaMarcada_ = -1;
};
