#pragma once

#include "reports/PaginaCierre.h"

// Página de cierre de la planificación: vista previa del documento del plan del centro en curso,
// o vuelta a las acciones preventivas o a empresas y centros.
class ImprimirPlanificacion : public PaginaCierre
{
    Q_OBJECT

public:
    explicit ImprimirPlanificacion(Sesion& sesion, QWidget* parent = nullptr);
};
