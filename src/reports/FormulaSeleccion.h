#pragma once

#include "shell/PeticionInforme.h"

#include <QString>
#include <optional>
#include <vector>

// Fórmula de selección de registros de un informe: condiciones "{Tabla.Campo}=valor" unidas por
// "and". El valor es un número o un texto entre comillas. Todo lo demás se rechaza: la fórmula
// nunca llega a la base de datos como texto, sólo sus valores, enlazados.
// Sin valor (nullopt) si la fórmula está mal formada; una fórmula vacía no tiene condiciones.
std::optional<std::vector<CondicionSeleccion>> AnalizarFormula(const QString& formula);
