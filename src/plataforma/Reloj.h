#pragma once

#include <QDate>

// El día de hoy para todo el programa. Las pruebas lo fijan para no depender de cuándo se pasan.
QDate Hoy();
// Fija el día que devuelve Hoy(); una fecha no válida vuelve al reloj del sistema.
void FijarHoy(const QDate& dia);
