#pragma once

#include <QStyledItemDelegate>

// Dibuja y edita las celdas según su presentación: casilla centrada que se marca con un clic o
// con la barra espaciadora, lista desplegable con un número fijo de elementos visibles (guarda el
// valor de la lista, no el texto visto) y texto normal.
class GridDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit GridDelegate(QObject* parent = nullptr);

    // Línea bajo cada fila, para las vistas que no dibujan rejilla (la agrupada).
    void setRowDividers(bool si);
    // Hay un editor abierto en alguna celda.
    bool editing() const;

    void paint(QPainter* pintor, const QStyleOptionViewItem& opcion, const QModelIndex& indice) const override;
    QSize sizeHint(const QStyleOptionViewItem& opcion, const QModelIndex& indice) const override;
    QWidget* createEditor(QWidget* padre, const QStyleOptionViewItem& opcion, const QModelIndex& indice) const override;
    void setEditorData(QWidget* editor, const QModelIndex& indice) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* modelo, const QModelIndex& indice) const override;

    // Rectángulo de la casilla dentro de la celda.
    static QRect checkRect(const QStyleOptionViewItem& opcion, const QWidget* vista);
    // Anchura que tiene el texto de la celda en su vista.
    static int anchoTexto(const QStyleOptionViewItem& opcion, const QModelIndex& indice);

protected:
    // Sólo las columnas de texto largo se parten en líneas; las demás siguen en una.
    void initStyleOption(QStyleOptionViewItem* opcion, const QModelIndex& indice) const override;
    bool eventFilter(QObject* objeto, QEvent* evento) override;
    bool editorEvent(QEvent* evento, QAbstractItemModel* modelo, const QStyleOptionViewItem& opcion,
                     const QModelIndex& indice) override;

private:
    bool lineas_ = false;
    mutable int editores_ = 0;
    QWidget* contar(QWidget* editor) const;
};
