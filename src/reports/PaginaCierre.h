#pragma once

#include "shell/RegistroVentanas.h"
#include "shell/Sesion.h"

#include <QWidget>
#include <functional>

class QAbstractButton;
class QLabel;
class QPushButton;
class QToolButton;

// Lo común de las dos páginas de cierre (evaluación y planificación): el texto que nombra el
// centro, el botón de vista previa y los dos botones de vuelta.
class PaginaCierre : public QWidget
{
    Q_OBJECT

protected:
    PaginaCierre(Ventana tipo, Sesion& sesion, const QString& nombreVisualizar, const QString& ayudaVolver,
                 const QString& ayudaInicio, QWidget* parent);

    // Lo que hace un botón de la página, con el manejador de errores común.
    void alPulsar(QAbstractButton* boton, const std::function<void()>& accion);
    // Se oculta y abre de nuevo la ventana del paso anterior.
    void volverA(Ventana anterior);
    // Carga de la ventana con el manejador común; "texto" recibe la dirección del centro.
    void cargar(const std::function<QString(const QString&)>& texto);
    // Se oculta ella misma, esté o no en el registro de ventanas.
    void ocultarPagina();
    // Enseña una ventana ya cargada que pudiera estar oculta debajo de ésta.
    static void descubrir(Ventana ventana);

    Sesion& sesion_;
    QLabel* textoCierre_ = nullptr;
    QPushButton* visualizar_ = nullptr;
    QToolButton* botonVolver_ = nullptr;
    QToolButton* botonInicio_ = nullptr;
};
