#pragma once

#include <QPixmap>
#include <QSize>

// Dibujos del reloj de Reparar, hechos al arrancar: cifras de siete segmentos y los dos puntos.
QSize TamanoDigitoReloj();
QPixmap DibujarDigitoReloj(int cifra);
QPixmap DibujarSeparadorReloj();
