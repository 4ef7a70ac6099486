#pragma once

#include "reports/PaginaCierre.h"

// Página de cierre del asistente de evaluación: vista previa del documento de la evaluación del
// centro en curso, o vuelta a las medidas o al menú de la evaluación.
class ImprimirEvaluacion : public PaginaCierre
{
    Q_OBJECT

public:
    explicit ImprimirEvaluacion(Sesion& sesion, QWidget* parent = nullptr);
};
