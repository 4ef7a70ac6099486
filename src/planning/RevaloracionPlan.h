#pragma once

#include <QObject>
#include <functional>

class DataSource;
class QWidget;
struct Sesion;

// Volver a valorar el riesgo de una línea del plan cuya acción se ha dado por realizada: se ofrece
// abrir su valoración en su puesto y, al volver al plan, se guarda el nivel de antes y el de ahora.
class RevaloracionPlan : public QObject
{
    Q_OBJECT

public:
    // dejarVentana: deja la ventana del plan para abrir la valoración; false si no se puede.
    RevaloracionPlan(Sesion& sesion, QWidget* ventana, std::function<bool()> dejarVentana);

    // Ofrece volver a valorar el riesgo de la línea actual de las dadas, si nombra uno.
    void ofrecer(DataSource* lineas);
    // Guarda las nuevas valoraciones de los riesgos que se han abierto desde el plan.
    void guardar();
    static bool hayPendientes();

private:
    Sesion& sesion_;
    QWidget* ventana_;
    std::function<bool()> dejarVentana_;
};
