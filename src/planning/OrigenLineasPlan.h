#pragma once

#include "shell/grid/DataSource.h"

// Las líneas de un plan para sus cuadrículas: las vencidas llevan el color de alarma en las celdas
// que no tienen color propio.
class OrigenLineasPlan : public DataSource
{
public:
    using DataSource::DataSource;

    QVariant data(const QModelIndex& indice, int papel) const override;

    // El color con que se ven las líneas vencidas.
    static QColor colorAlarma();
};
