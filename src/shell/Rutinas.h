#pragma once

#include <QString>
#include <QVariant>

class QLabel;
class QWidget;
class Recordset;

// Rutinas que usan todas las ventanas.

// Valor nulo (sin valor) como texto vacío; cualquier otro valor tal cual.
QVariant NuloATexto(const QVariant& valor);
// Nulo o texto vacío como el número 0; cualquier otro valor tal cual, aunque no sea un número.
QVariant NuloACero(const QVariant& valor);
// Número rellenado con ceros a la izquierda hasta la anchura; texto vacío si no cabe.
QString RellenarCeros(double numero, double anchura);
// Coloca la ventana en el centro de la pantalla (sin corregir si es mayor que ella).
void CentrarFormulario(QWidget* ventana);

// Número con el formato "#,###": miles agrupados con el separador del idioma y el 0 en blanco.
QString FormatoMiles(long long numero);
// Contador "posición de total"; un conjunto vacío es siempre "0 de 0".
QString TextoContador(long long posicion, long long total);
void MostrarContador(QLabel* etiqueta, long long posicion, long long total);
void MostrarContador(QLabel* etiqueta, Recordset& registros);

// Carpeta del programa, con el separador del sistema y sin separador final. Las pruebas
// pueden fijar otra (cadena vacía vuelve a la del ejecutable).
QString CarpetaPrograma();
void FijarCarpetaPrograma(const QString& carpeta);
// Ruta de un archivo dentro de la carpeta del programa, con el separador del sistema.
QString RutaEnPrograma(const QString& relativa);
// Ejecutable de la carpeta con el sufijo del sistema (Reparar.exe en Windows).
QString rutaPrograma(const QString& carpeta, const QString& nombre);

// Abre <carpeta del programa>/Ayuda/<documento>.pdf. Si falta el documento o el lector, nada.
void AbrirAyuda(QWidget* ventana, const QString& documento);

// Twips (1440 por pulgada lógica de la pantalla) a píxeles.
int TwipsAPixeles(double twips, const QWidget* referencia = nullptr);
// Posición y tamaño en twips; dentro del área MDI se aplica a la subventana que la contiene.
void ColocarEnTwips(QWidget* ventana, double izquierda, double arriba, double ancho, double alto);

// Da nombre accesible en castellano a cada control del árbol (su etiqueta, título o ayuda) y,
// con EVALUACION_IDS_ACCESIBLES=1, pone el objectName como descripción accesible. Las etiquetas
// con texto no reciben nombre fijo: el que oye el lector de pantalla sigue a su texto.
void AplicarAccesibilidad(QWidget* raiz);
