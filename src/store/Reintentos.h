#pragma once

#include <functional>

class Conexion;

// Veces que se intenta una acción de varias filas que el motor rechaza porque otro la estorba
// (bloqueo, fallo de serialización, interbloqueo) antes de avisar.
constexpr int IntentosOcupada = 3;

// Corre "accion", que abre y confirma su propia transacción sobre "conexion". Si falla con la base
// ocupada (BaseOcupada), lo deshecho se vuelve a intentar tras una pausa corta que crece, hasta
// IntentosOcupada veces; después, o con cualquier otro error, el error sigue su camino. Dentro de
// una transacción ya abierta no se repite nada: la deshace quien la abrió, y es quien la repite.
void conReintentos(Conexion& conexion, const std::function<void()>& accion);
