#pragma once

#include "shell/CajaBusqueda.h"

class Grid;

// Caja de búsqueda sobre una cuadrícula: al escribir, la cuadrícula enseña sólo las filas que
// tienen todas las palabras escritas (sin mirar mayúsculas ni acentos); vacía, todas. Escape la
// vacía e Intro o la flecha abajo pasan a la cuadrícula.
class FiltroCuadricula : public CajaBusqueda
{
    Q_OBJECT

public:
    // "nombre" es el objectName de la caja de texto.
    FiltroCuadricula(const QString& nombre, Grid* cuadricula, QWidget* parent = nullptr);

    void limpiar();

protected:
    void buscar(const QString& texto) override;
    bool pasar() override;

private:
    Grid* cuadricula_;
};
