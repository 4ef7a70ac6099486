#include "shell/FiltroCuadricula.h"

#include "shell/grid/Grid.h"

#include <QAbstractItemView>
#include <QLineEdit>

FiltroCuadricula::FiltroCuadricula(const QString& nombre, Grid* cuadricula, QWidget* parent)
    : CajaBusqueda(
          nombre,
          {.etiqueta = QStringLiteral("&Buscar:"),
           .ejemplo = QStringLiteral("Escriba una o varias palabras para ver sólo las filas que las tienen"),
           .accesible = QStringLiteral("Buscar en la lista"),
           .nota = QStringLiteral("Sin distinguir mayúsculas ni acentos. Escape vuelve a enseñar todas las filas.")},
          parent),
      cuadricula_(cuadricula)
{
}

void FiltroCuadricula::limpiar()
{
    caja()->clear();
}

void FiltroCuadricula::buscar(const QString& texto)
{
    cuadricula_->setFilterText(texto);
}

bool FiltroCuadricula::pasar()
{
    cuadricula_->activeView()->setFocus();
    return true;
}
