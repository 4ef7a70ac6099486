#pragma once

#include <QHeaderView>

// Encabezado de columnas de dos líneas. En la vista agrupada sus secciones se arrastran con el
// ratón hasta la zona de agrupación; el arrastre es propio (no QDrag) para que el ratón siga
// siendo del encabezado hasta que se suelta, en cualquier plataforma.
class GridHeader : public QHeaderView
{
    Q_OBJECT

public:
    explicit GridHeader(QWidget* parent = nullptr);

    void setColumnDragEnabled(bool si);
    bool columnDragEnabled() const;
    QSize sizeHint() const override;

signals:
    void columnDragMoved(int column, const QPoint& global);
    void columnDropped(int column, const QPoint& global);

protected:
    void mousePressEvent(QMouseEvent* evento) override;
    void mouseMoveEvent(QMouseEvent* evento) override;
    void mouseReleaseEvent(QMouseEvent* evento) override;

private:
    bool arrastreActivo_ = false;
    int pulsada_ = -1;
    QPoint inicio_;
    bool arrastrando_ = false;
};
