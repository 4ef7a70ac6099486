#pragma once

#include "shell/CajaBusqueda.h"

class QComboBox;
class QLabel;
class ListaFiltrada;

// Caja de búsqueda para una lista desplegable larga (la de los nombres de empresa): al escribir,
// la lista despliega sólo las entradas que tienen todas las palabras escritas, sin mirar
// mayúsculas ni acentos, y al lado se dice cuántas son. Vacía, todas. Intro o la flecha abajo
// despliegan la lista.
//
// Los nombres se leen una vez, la primera vez que se busca, y no otra vez con cada tecla; se
// vuelven a leer cuando la lista cambia.
class FiltroLista : public CajaBusqueda
{
    Q_OBJECT

public:
    // "nombre" es el objectName de la caja de texto. La lista ya tiene sus entradas (su modelo).
    FiltroLista(const QString& nombre, QComboBox* lista, QWidget* parent = nullptr);

    QLabel* encontradas() const { return encontradas_; }
    // Entradas que deja ver lo escrito.
    int vistas() const;

protected:
    void buscar(const QString& texto) override;
    bool pasar() override;

private:
    void contar();

    QComboBox* lista_;
    ListaFiltrada* filtro_;
    QLabel* encontradas_;
};
