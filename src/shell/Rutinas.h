#pragma once

// La carpeta del programa y la geometría de las ventanas son de la plataforma (también las usa
// Reparar); se siguen viendo desde aquí para que las ventanas no tengan que cambiar.
#include "plataforma/CarpetaPrograma.h"
#include "plataforma/GeometriaVentana.h"

#include <QString>
#include <QVariant>

class QLabel;
class QWidget;
class Recordset;
struct Sesion;

// Rutinas que usan todas las ventanas.

// Valor nulo (sin valor) como texto vacío; cualquier otro valor tal cual.
QVariant NuloATexto(const QVariant& valor);
// Nulo o texto vacío como el número 0; cualquier otro valor tal cual, aunque no sea un número.
QVariant NuloACero(const QVariant& valor);
// Número rellenado con ceros a la izquierda hasta la anchura; texto vacío si no cabe.
QString RellenarCeros(double numero, double anchura);

// Número con el formato "#,###": miles agrupados con el separador del idioma y el 0 en blanco.
QString FormatoMiles(long long numero);
// Contador "posición de total"; un conjunto vacío es siempre "0 de 0".
QString TextoContador(long long posicion, long long total);
void MostrarContador(QLabel* etiqueta, long long posicion, long long total);
void MostrarContador(QLabel* etiqueta, Recordset& registros);

// Abre <carpeta del programa>/Ayuda/<documento>.pdf. Si falta el documento o el lector, nada.
void AbrirAyuda(QWidget* ventana, const QString& documento);

// Posición y tamaño en twips; dentro del área MDI se aplica a la subventana que la contiene.
// Si el usuario ya le dio otro tamaño, al mostrarse vuelve con él (RecordarTamano, con la clave de
// la propiedad "claveTamano" o, sin ella, con el objectName de la ventana).
void ColocarEnTwips(QWidget* ventana, double izquierda, double arriba, double ancho, double alto);

// Da nombre accesible en castellano a cada control del árbol (su etiqueta, título o ayuda) y,
// con EVALUACION_IDS_ACCESIBLES=1, pone el objectName como descripción accesible. Las etiquetas
// con texto no reciben nombre fijo: el que oye el lector de pantalla sigue a su texto.
void AplicarAccesibilidad(QWidget* raiz);

// Escribe la fila en curso (alta o modificación); si el almacén la rechaza, el conjunto no se
// queda con el cambio a medias y el error sigue hacia quien la llamó.
void GrabarFila(Recordset& registros);

// Abre en el registro el centro en curso de la sesión; sin filas si ya no existe.
void AbrirCentroEnCurso(Recordset& centro, const Sesion& sesion);
