#include "planning/OrigenLineasPlan.h"

#include "evaluation/SeleccionaRiesgos.h"
#include "plataforma/Reloj.h"
#include "store/PlanAcciones.h"

#include <QBrush>

QColor OrigenLineasPlan::colorAlarma()
{
    return SeleccionaRiesgos::ColorNivel(QStringLiteral("Riesgo Intolerable"));
}

QVariant OrigenLineasPlan::data(const QModelIndex& indice, int papel) const
{
    QVariant propio = DataSource::data(indice, papel);
    if ((papel != Qt::BackgroundRole && papel != Qt::ForegroundRole) || propio.isValid() || !indice.isValid())
        return propio;
    const int fila = indice.row();
    if (!LineaVencida(fieldValue(fila, "FechaLimite"), fieldValue(fila, "Estado").toString(), Hoy()))
        return propio;
    return papel == Qt::BackgroundRole ? QBrush(colorAlarma()) : QBrush(Qt::black);
}
