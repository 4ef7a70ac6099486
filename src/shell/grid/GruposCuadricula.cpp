#include "shell/grid/Grid.h"

#include "shell/ManejadorErrores.h"
#include "shell/grid/GridHeader.h"
#include "shell/grid/GroupArea.h"
#include "shell/grid/GroupModel.h"

#include <QLabel>
#include <QStackedWidget>
#include <QTableView>
#include <QTreeView>
#include <vector>

// Los grupos de la cuadrícula: la zona de arriba a la que se arrastran los encabezados, las
// columnas agrupadas y el árbol que las enseña.

void Grid::setGroupView(bool si)
{
    vistaGrupos_ = si;
    zona_->setVisible(si);
    cabeceraTabla_->setColumnDragEnabled(si);
    cabeceraArbol_->setColumnDragEnabled(si);
    if (!si && !agrupadas_.isEmpty())
        ungroup();
}

bool Grid::groupView() const
{
    return vistaGrupos_;
}

void Grid::setGroupPrompt(const QString& texto)
{
    zona_->setPrompt(texto);
}

void Grid::groupBy(int columna)
{
    if (columna < 0 || columna >= columnas_.size() || agrupadas_.contains(columna))
        return;
    if (!vistaGrupos_)
        setGroupView(true);
    agrupadas_ << columna;
    aplicarGrupos();
}

void Grid::ungroup(int columna)
{
    if (agrupadas_.removeAll(columna) > 0)
        aplicarGrupos();
}

void Grid::ungroup()
{
    if (agrupadas_.isEmpty())
        return;
    agrupadas_.clear();
    aplicarGrupos();
}

const QList<int>& Grid::groupedColumns() const
{
    return agrupadas_;
}

void Grid::aplicarGrupos()
{
    QList<QPair<int, QString>> botones;
    for (int c : agrupadas_)
        botones << qMakePair(c, columnas_.value(c).caption);
    zona_->setGroups(botones);
    if (!grupos_)
        return;
    ocultarTip();
    // Lo que se esté editando se cierra antes de cambiar de vista.
    if (QWidget* foco = activeView()->focusWidget(); foco && foco != activeView())
        activeView()->setFocus();
    if (grupos_->groupColumns() != agrupadas_)
        grupos_->setGroupColumns(agrupadas_);
    pila_->setCurrentWidget(agrupadas_.isEmpty() ? static_cast<QWidget*>(tabla_) : static_cast<QWidget*>(arbol_));
    aplicarAnchos();
    sincronizarVista();
}

void Grid::prepararArbol()
{
    if (!grupos_)
        return;
    std::vector<QModelIndex> pendientes{QModelIndex()};
    while (!pendientes.empty()) {
        const QModelIndex padre = pendientes.back();
        pendientes.pop_back();
        for (int f = 0; f < grupos_->rowCount(padre); ++f) {
            const QModelIndex i = grupos_->index(f, 0, padre);
            if (grupos_->isGroupRow(i)) {
                arbol_->setFirstColumnSpanned(f, padre, true);
                pendientes.push_back(i);
            }
        }
    }
    arbol_->expandAll();
}

void Grid::moverFantasma(const QString& texto, const QPoint& global)
{
    fantasma_->setText(QString(texto).replace('\n', ' '));
    fantasma_->adjustSize();
    fantasma_->move(global + QPoint(8, 8));
    if (!fantasma_->isVisible())
        fantasma_->show();
    zona_->setHighlighted(zona_->containsGlobal(global));
}

void Grid::soltarColumna(int columna, const QPoint& global)
{
    fantasma_->hide();
    zona_->setHighlighted(false);
    if (vistaGrupos_ && zona_->containsGlobal(global))
        ProtegerRanura([&] { groupBy(columna); }, window());
}

void Grid::soltarGrupo(int columna, const QPoint& global)
{
    fantasma_->hide();
    zona_->setHighlighted(false);
    // Soltado fuera de la zona (en el encabezado o en cualquier otro sitio): deja de agrupar.
    if (!zona_->containsGlobal(global))
        ProtegerRanura([&] { ungroup(columna); }, window());
}
