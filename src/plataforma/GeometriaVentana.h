#pragma once

class QWidget;

// Coloca la ventana en el centro de la pantalla (sin corregir si es mayor que ella). La usan el
// programa principal y Reparar: dentro del área MDI mueve la subventana que la contiene.
void CentrarFormulario(QWidget* ventana);

// Twips (1440 por pulgada lógica de la pantalla) a píxeles.
int TwipsAPixeles(double twips, const QWidget* referencia = nullptr);
