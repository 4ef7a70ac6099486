#pragma once

#include <QString>
#include <optional>

// Los presupuestos se guardan tal como se escribieron. Para sumarlos se leen como importe:
// "1.234,56", "1234,5", "1234.56", "1.500" (mil quinientos), con "€" o "euros" detrás o sin él.
// Lo que no es un importe ("a convenir", "500-600") no tiene valor.
std::optional<double> LeerImporte(const QString& texto);

// Importe con el formato español: miles con punto y dos decimales con coma ("1.234,50").
QString FormatoImporte(double importe);
