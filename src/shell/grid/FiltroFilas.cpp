#include "shell/grid/Grid.h"

#include "shell/ManejadorErrores.h"
#include "shell/TextoBusqueda.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/GroupModel.h"

#include <QTableView>
#include <QTreeView>

// El filtro de filas de la cuadrícula. Las filas que no pasan se ocultan en las dos vistas en
// lugar de pasar por otro modelo: cada fila de la vista sigue siendo la misma fila del origen, y
// una marca o una edición nunca puede ir a parar a la fila que ocupaba ese sitio antes de filtrar.

void Grid::setFilterText(const QString& texto)
{
    if (texto == filtro_)
        return;
    filtro_ = texto;
    const QStringList palabras = PalabrasBuscadas(texto);
    if (palabras == palabrasFiltro_)
        return;
    palabrasFiltro_ = palabras;
    aplicarFiltro();
}

const QString& Grid::filterText() const
{
    return filtro_;
}

bool Grid::rowMatchesFilter(int fila) const
{
    return palabrasFiltro_.isEmpty() || ContieneTodas(textoFiltro(fila), palabrasFiltro_);
}

int Grid::shownRowCount() const
{
    const int filas = origen_ ? origen_->rowCount() : 0;
    int vistas = 0;
    for (int f = 0; f < filas; ++f)
        vistas += rowMatchesFilter(f) ? 1 : 0;
    return vistas;
}

const QString& Grid::textoFiltro(int fila) const
{
    static const QString nada;
    if (!origen_ || fila < 0 || fila >= origen_->rowCount())
        return nada;
    if (textosFiltro_.size() <= size_t(fila))
        textosFiltro_.resize(size_t(origen_->rowCount()));
    QString& texto = textosFiltro_[size_t(fila)];
    if (texto.isNull()) {
        // Lo que se ve de cada columna, separado para que una palabra no se forme con el final de
        // una columna y el principio de la siguiente.
        texto = QStringLiteral("\n");
        for (int c = 0; c < columnas_.size(); ++c) {
            if (columnas_[c].presentation == GridColumn::Presentation::CheckBox)
                continue;
            texto += TextoParaBuscar(DataSource::shownText(columnas_[c], origen_->cellValue(fila, c)));
            texto += QLatin1Char('\n');
        }
    }
    return texto;
}

void Grid::olvidarTextos(int desde, int hasta)
{
    for (int f = qMax(0, desde); f <= hasta && size_t(f) < textosFiltro_.size(); ++f)
        textosFiltro_[size_t(f)] = QString();
}

void Grid::filtrarTabla(int desde, int hasta)
{
    if (!origen_ || tabla_->model() != origen_)
        return;
    hasta = qMin(hasta, origen_->rowCount() - 1);
    for (int f = qMax(0, desde); f <= hasta; ++f) {
        const bool ocultar = !rowMatchesFilter(f);
        if (tabla_->isRowHidden(f) != ocultar)
            tabla_->setRowHidden(f, ocultar);
    }
}

// Oculta las filas de datos que no pasan y los grupos que se quedan sin ninguna. Devuelve si
// queda alguna a la vista debajo de "padre".
bool Grid::filtrarRama(const QModelIndex& padre)
{
    if (!grupos_ || arbol_->model() != grupos_)
        return false;
    bool alguna = false;
    for (int f = 0; f < grupos_->rowCount(padre); ++f) {
        const QModelIndex i = grupos_->index(f, 0, padre);
        const bool ve = grupos_->isGroupRow(i) ? filtrarRama(i) : rowMatchesFilter(grupos_->sourceRow(i));
        if (arbol_->isRowHidden(f, padre) == ve)
            arbol_->setRowHidden(f, padre, !ve);
        alguna = alguna || ve;
    }
    return alguna;
}

// Primera fila del origen a la vista, en el orden en que se ve (el de los grupos si los hay).
int Grid::primeraFilaVisible() const
{
    if (!origen_)
        return -1;
    if (activeView() == arbol_ && grupos_) {
        std::vector<QModelIndex> pendientes{QModelIndex()};
        while (!pendientes.empty()) {
            const QModelIndex padre = pendientes.back();
            pendientes.pop_back();
            // Al revés en la pila para recorrer los hijos en su orden.
            for (int f = grupos_->rowCount(padre) - 1; f >= 0; --f) {
                const QModelIndex i = grupos_->index(f, 0, padre);
                if (grupos_->isGroupRow(i))
                    pendientes.push_back(i);
            }
            for (int f = 0; f < grupos_->rowCount(padre); ++f) {
                const QModelIndex i = grupos_->index(f, 0, padre);
                if (!grupos_->isGroupRow(i) && rowMatchesFilter(grupos_->sourceRow(i)))
                    return grupos_->sourceRow(i);
            }
        }
        return -1;
    }
    for (int f = 0; f < origen_->rowCount(); ++f)
        if (rowMatchesFilter(f))
            return f;
    return -1;
}

void Grid::aplicarFiltro()
{
    if (!origen_)
        return;
    // Filtrar es mirar todas las filas: las que aún no se han leído también.
    if (!palabrasFiltro_.isEmpty())
        origen_->fetchAll();
    filtrarTabla(0, origen_->rowCount() - 1);
    filtrarRama({});
    const int actual = origen_->currentRow();
    if (actual >= 0 && !rowMatchesFilter(actual)) {
        const int primera = primeraFilaVisible();
        if (primera >= 0)
            ProtegerRanura([&] { origen_->setCurrentRow(primera); }, window());
    }
    sincronizarVista();
}
