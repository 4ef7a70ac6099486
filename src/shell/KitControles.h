#pragma once

#include <QIcon>
#include <QString>
#include <QStyle>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QWidget;
class CellTip;
class DataSource;
class DateBox;
class Grid;

// Los controles con los que se hacen todas las ventanas, para que se vean y se porten igual en
// todas. El nombre que se pasa es el objectName, por el que las pruebas encuentran el control.
namespace Kit {

QPushButton* boton(const QString& nombre, const QString& titulo);
// Caja de texto; con límite, no admite más letras que las que caben en su columna.
QLineEdit* caja(const QString& nombre, int limite = 0);
// Caja sólo de lectura, con el nombre que oye el lector de pantalla.
QLineEdit* cajaLectura(const QString& nombre, const QString& accesible);
DateBox* cajaFecha(const QString& nombre, const QString& accesible);
// Texto al lado de un campo: al pulsar su tecla de acceso va al campo y le da su nombre accesible.
QLabel* etiqueta(const QString& titulo, QWidget* campo);
// En una rejilla, un campo con su etiqueta delante: la etiqueta en (fila, columna) y el campo a
// su derecha, a lo ancho de "ancho" columnas.
void ponerCampo(QGridLayout* rejilla, int fila, int columna, const QString& titulo, QWidget* campo, int ancho = 1);
// Rótulo de un grupo de campos, en negrita.
QLabel* titulo(const QString& nombre, const QString& texto);
// Rótulo grande de la ventana, en negrita y aumentado.
QLabel* banner(const QString& nombre, const QString& texto, double escala = 1.3);
// Icono de la serie del estilo del programa. Se lee una vez: cada ventana que se abre no vuelve a
// descomprimir sus dibujos.
QIcon iconoEstandar(QStyle::StandardPixmap icono);
// Botón de imagen de los pies de ventana (volver, ayuda, imprimir...).
QToolButton* botonImagen(const QString& nombre, const QString& ayuda, QStyle::StandardPixmap icono,
                         const QString& texto = {}, int lado = 24);

// Lista de nombres de fila: sólo una elección en la lista desplegable cambia de entrada; escribir,
// tabular, Intro, las flechas o la rueda nunca cambian lo escrito por otra entrada.
QComboBox* lista(const QString& nombre);
// Lista en la que además se puede escribir un valor que no está en ella; lo escrito no se añade.
QComboBox* listaAbierta(const QString& nombre, int letrasVisibles);
// Al escribir en la lista se proponen aparte las entradas que contienen lo escrito.
void proponerAlEscribir(QComboBox* lista);

// Cuadrícula sobre un origen de datos, con el nombre que oye el lector de pantalla.
Grid* cuadricula(const QString& nombre, const QString& accesible, DataSource* origen);
// Letra y colores de las notas de celda: once puntos en negrita, con el color del texto
// seleccionado sobre azul marino.
void estiloNota(CellTip* nota);

// Dos estados de un campo: editable (fondo de ventana) o bloqueado (fondo del área de trabajo).
void ponerEstado(QWidget* campo, bool editable);
// Deja vacío el texto de una caja o de una lista editable.
void vaciar(QWidget* campo);

} // namespace Kit
