#pragma once

#include <QString>

// Llena la base de datos de la conexión con unas pocas empresas con sus centros, puestos con
// factores marcados, riesgos valorados, medidas elegidas y un plan, para que el mono tenga algo
// que tocar en todas las ventanas desde el primer paso.
void SembrarBase(const QString& conexion);
