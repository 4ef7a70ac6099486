#pragma once

#include "shell/LogosPresentacion.h"

#include <QWidget>
#include <vector>

class QLabel;
class QTimer;
class QVBoxLayout;

// Lo común de las dos ventanas de presentación del arranque: su temporizador, que pasa a la
// ventana siguiente al cabo del intervalo, el clic que adelanta ese paso y la carga
// (reloj de arena, mostrarse, centrarse, puntero normal).
//
// Adelantan el paso los clics sobre el fondo de la ventana y sobre las etiquetas que se dejan
// pulsar; las que se declaran quietas, los paneles y sus logotipos se tragan el clic.
class VentanaPresentacion : public QWidget
{
    Q_OBJECT

public:
    // Lo que dura cada presentación si nadie la pulsa.
    static constexpr int IntervaloPresentacion = 10000;

    ~VentanaPresentacion() override;

    int intervalo() const;

protected:
    // Las pruebas pasan un intervalo corto; el programa, el de siempre.
    VentanaPresentacion(const QString& nombre, const QString& titulo, int intervalo);

    // Carga de la ventana. La llama cada ventana al final de su constructor.
    void cargar();
    // Muestra la ventana que sigue a esta. Después, esta se cierra y se descarga.
    virtual void mostrarSiguiente() = 0;
    // Un control que no adelanta el paso: su clic no llega a la ventana.
    static void hacerQuieto(QWidget* control);

    // Piezas comunes del diseño.
    QLabel* etiqueta(const QString& nombre, const QString& texto, double escalaLetra, bool negrita);
    // El diseño de las dos, de arriba abajo: el logotipo de la aplicación, el texto principal en
    // negrita, un texto quieto y el panel con los logotipos dados. Lo que siga va en la columna.
    struct Texto
    {
        QString nombre;
        QString texto;
        double escalaLetra;
    };
    QVBoxLayout* disponer(int separacion, const Texto& principal, const Texto& quieto, const std::vector<Logo>& logos);

    void mousePressEvent(QMouseEvent* evento) override;
    void mouseReleaseEvent(QMouseEvent* evento) override;
    void paintEvent(QPaintEvent* evento) override;

private:
    // Panel con logotipos, de izquierda a derecha. Cada logotipo lleva el mismo nombre de control
    // y la misma descripción para los lectores de pantalla en las dos ventanas.
    QWidget* panel(const QString& nombre, const std::vector<Logo>& logos, int lado);
    void pasarALaSiguiente();

    QTimer* temporizadorPaso_ = nullptr;
    bool pulsando_ = false;
    bool hecho_ = false; // el paso a la siguiente se da una sola vez
};
