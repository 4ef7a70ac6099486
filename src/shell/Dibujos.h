#pragma once

#include <QColor>
#include <QPixmap>
#include <QRectF>
#include <functional>

class QPainter;

// Piezas comunes de los dibujos hechos en código: los logotipos de la presentación y los iconos
// de Entrada.

// Lienzo transparente de lado x lado píxeles lógicos con lo que pinte "dibujo", hecho a doble
// densidad para que se vea nítido en pantallas de alta resolución y con el suavizado puesto.
QPixmap Dibujar(int lado, const std::function<void(QPainter&)>& dibujo);

// Hoja blanca con la esquina de arriba a la derecha doblada ("doblez" de lado, del color
// pedido), perfilada con la pluma que tenga el pintor.
void HojaDoblada(QPainter& g, const QRectF& hoja, double doblez, const QColor& colorDoblez);
