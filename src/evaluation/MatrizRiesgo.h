#pragma once

#include <QString>

// Nivel de riesgo por probabilidad y consecuencias (matriz de tres por tres). Los grados se
// comparan sin blancos a los lados y sin distinguir mayúsculas. Devuelve texto vacío si alguno de
// los dos falta o no es uno de los de su lista: entonces la fila conserva el nivel que tenía.
QString NivelRiesgo(const QString& probabilidad, const QString& consecuencias);

// El grado de la lista tal como se guarda ("Media", "Dañino") para un texto que se le parece en
// todo salvo en blancos a los lados y mayúsculas; texto vacío si no es ninguno de la lista.
QString GradoProbabilidad(const QString& texto);
QString GradoConsecuencias(const QString& texto);

// Copia a las filas ocultas ("N") de cada riesgo del puesto la evaluación de la fila mostrada del
// mismo riesgo, en una transacción. Una oculta sin mostrada se deja como está. Devuelve cuántas
// filas ocultas ha puesto al día.
int CopiarEvaluacionAOcultas(const QString& conexion, long long idPuestoCentro);
