#pragma once

#include <QWidget>

class Grid;
class QLineEdit;

// Caja de búsqueda sobre una cuadrícula: al escribir, la cuadrícula enseña sólo las filas que
// tienen todas las palabras escritas (sin mirar mayúsculas ni acentos); vacía, todas. Escape la
// vacía e Intro o la flecha abajo pasan a la cuadrícula.
class FiltroCuadricula : public QWidget
{
    Q_OBJECT

public:
    // "nombre" es el objectName de la caja de texto.
    FiltroCuadricula(const QString& nombre, Grid* cuadricula, QWidget* parent = nullptr);

    QLineEdit* caja() const { return caja_; }
    void limpiar();

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    Grid* cuadricula_;
    QLineEdit* caja_;
};
