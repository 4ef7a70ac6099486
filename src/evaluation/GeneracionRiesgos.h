#pragma once

#include <QString>

// Paso del catálogo a la evaluación. Al marcar un factor de un puesto, cada riesgo al que da
// lugar el factor se convierte en una fila de Evaluacion del puesto, con las medidas del
// catálogo para ese riesgo y factor. De cada riesgo de un puesto se muestra una sola fila
// (Mostrar "S"): la primera que se generó; las demás ("N") la siguen.
//
// Todas trabajan sobre la base del texto de conexión. Las dos operaciones van en una transacción: se escriben enteras o
// no se escribe nada.

struct FilaFactor
{
    long long idEvaluacionCrear = 0; // la fila de FactoresSeleccionarEvaluacion marcada
    long long idFactor = 0;
    long long idPuestoCentro = 0;
    long long idEmpresa = 0; // la del centro
    long long idCentro = 0;
};

// Genera las filas de evaluación y sus medidas. Devuelve cuántas filas de Evaluacion escribió.
int GenerarRiesgos(const QString& conexion, const FilaFactor& fila);

// Quita las filas de evaluación que generó la fila de factor (sus medidas se van con ellas) y
// vuelve a mostrar, en el mismo puesto, una fila de cada riesgo que aún tenga filas. Si la fila
// que se quita era la mostrada, la que pasa a mostrarse toma sus grados tal como estaban (también
// vacíos): ni se pierde lo evaluado ni vuelve una evaluación vieja de la oculta.
void QuitarRiesgos(const QString& conexion, long long idEvaluacionCrear);

// Lo que hace la casilla de un factor: la marca (o la quita) y los riesgos que lleva se guardan
// en la misma transacción. Si algo falla no queda ni la marca ni nada de lo generado o quitado.
int MarcarFactor(const QString& conexion, const FilaFactor& fila);
void DesmarcarFactor(const QString& conexion, long long idEvaluacionCrear);
