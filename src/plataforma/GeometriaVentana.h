#pragma once

#include <QHash>
#include <QSize>
#include <QString>

class QSettings;

class QWidget;

// Coloca la ventana en el centro de la pantalla (sin corregir si es mayor que ella). La usan el
// programa principal y Reparar: dentro del área MDI mueve la subventana que la contiene.
void CentrarFormulario(QWidget* ventana);

// Twips (1440 por pulgada lógica de la pantalla) a píxeles.
int TwipsAPixeles(double twips, const QWidget* referencia = nullptr);

// Tamaño de las ventanas y anchura de las columnas de sus cuadrículas, recordados de una vez a
// otra en Ventanas.ini, en la carpeta del programa. Si no se puede escribir allí, se trabaja igual
// sin recordarlos.
QSettings& AjustesVentanas();

// La ventana vuelve con el tamaño (y el estado de maximizada) que tenía la última vez que se
// cambió con esa clave, sin pasar de lo que cabe en su área ni bajar de lo que necesita, y lo guarda
// cada vez que cambia. Se aplica al mostrarse por primera vez, cuando ya está en su marco del área
// MDI (o sola, si es una ventana suelta). Las ventanas con la misma clave comparten el tamaño; sin
// nada guardado se queda con el que tenga. Llamarla otra vez no hace nada.
void RecordarTamano(QWidget* ventana, const QString& clave);

// Anchura de las columnas de una cuadrícula, por el nombre de cada columna.
QHash<QString, int> AnchosGuardados(const QString& clave);
void GuardarAncho(const QString& clave, const QString& columna, int ancho);
