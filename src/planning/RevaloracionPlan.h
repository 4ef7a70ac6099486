#pragma once

#include "store/PlanAcciones.h"

#include <QFrame>
#include <functional>
#include <vector>

class DataSource;
class QLabel;
class QPushButton;
struct Sesion;

// Volver a valorar el riesgo de una línea del plan cuya acción se ha dado por realizada. Al darla
// por realizada queda pendiente en la base (sobrevive a cerrar el programa) y se ofrece abrir la
// valoración en su puesto; mientras siga pendiente, la ventana del plan del centro lo recuerda en
// esta franja, con el botón que la abre. Al volver al plan con el riesgo en otro nivel, se guarda
// el nivel de antes y el de ahora; si sigue en el mismo, se pregunta si la valoración está hecha.
class RevaloracionPlan : public QFrame
{
    Q_OBJECT

public:
    // dejarVentana: deja la ventana del plan para abrir la valoración; false si no se puede.
    RevaloracionPlan(Sesion& sesion, QWidget* ventana, std::function<bool()> dejarVentana);

    // La línea actual de las dadas acaba de cambiar de estado: dada por realizada y con un riesgo,
    // lo deja pendiente y ofrece volver a valorarlo; sin hacer, deja de estar pendiente.
    void estadoCambiado(DataSource* lineas);
    // Cierra las pendientes ya valoradas y enseña las que quedan. Con preguntar, si se vuelve de
    // valorar uno desde aquí y sigue en su nivel, pregunta si se da por valorado.
    void actualizar(bool preguntar);
    // Abre la valoración de la primera pendiente (el botón de la franja).
    void revalorarPendiente();

    const std::vector<RevaloracionPendiente>& pendientes() const { return pendientes_; }

private:
    void ofrecer(long long idLinea);
    void abrir(const RevaloracionPendiente& pendiente);
    void preguntarSiSigueIgual();

    Sesion& sesion_;
    QWidget* ventana_;
    std::function<bool()> dejarVentana_;
    std::vector<RevaloracionPendiente> pendientes_;
    QLabel* texto_;
    QPushButton* boton_;
};
