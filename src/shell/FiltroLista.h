#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class ListaFiltrada;

// Caja de búsqueda para una lista desplegable larga (la de los nombres de empresa): al escribir,
// la lista despliega sólo las entradas que tienen todas las palabras escritas, sin mirar
// mayúsculas ni acentos, y al lado se dice cuántas son. Vacía, todas. Intro o la flecha abajo
// despliegan la lista.
//
// Los nombres se leen una vez, la primera vez que se busca, y no otra vez con cada tecla; se
// vuelven a leer cuando la lista cambia.
class FiltroLista : public QWidget
{
    Q_OBJECT

public:
    // "nombre" es el objectName de la caja de texto. La lista ya tiene sus entradas (su modelo).
    FiltroLista(const QString& nombre, QComboBox* lista, QWidget* parent = nullptr);

    QLineEdit* caja() const { return caja_; }
    QLabel* encontradas() const { return encontradas_; }
    // Entradas que deja ver lo escrito.
    int vistas() const;

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    void contar();

    QComboBox* lista_;
    ListaFiltrada* filtro_;
    QLineEdit* caja_;
    QLabel* encontradas_;
};
