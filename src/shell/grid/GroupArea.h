#pragma once

#include <QFrame>
#include <QList>
#include <QPair>
#include <QString>

class QLabel;
class QPushButton;
class QHBoxLayout;

// Zona de agrupación sobre la cuadrícula: invita a soltar aquí un encabezado y, con columnas
// agrupadas, enseña un botón por cada una. Un botón arrastrado fuera de la zona deshace ese grupo.
class GroupArea : public QFrame
{
    Q_OBJECT

public:
    explicit GroupArea(QWidget* parent = nullptr);

    void setPrompt(const QString& texto);
    QString prompt() const;
    // Columna y título de cada grupo, en orden.
    void setGroups(const QList<QPair<int, QString>>& grupos);
    QList<QPushButton*> groupButtons() const;
    // Resalta la zona mientras se arrastra un encabezado por encima.
    void setHighlighted(bool si);
    bool containsGlobal(const QPoint& global) const;

signals:
    void groupDragMoved(int column, const QPoint& global);
    void groupDropped(int column, const QPoint& global);
    void ungroupRequested(int column);

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    QLabel* aviso_;
    QHBoxLayout* fila_;
    QList<QPushButton*> botones_;
    QList<QLabel*> separadores_;
    QPushButton* pulsado_ = nullptr;
    QPoint inicio_;
    bool arrastrando_ = false;
    void aplicarEstilo(bool resaltada);
};
