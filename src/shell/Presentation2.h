#pragma once

#include "shell/VentanaPresentacion.h"

// Segunda ventana de presentación: el objetivo de la aplicación. A los diez segundos, o con un
// clic en la ventana o en `Label3`, muestra la ventana principal `Entrada` (que entonces hace su
// carga) y se cierra. El clic en `Label4` no hace nada.
class Presentation2 : public VentanaPresentacion
{
    Q_OBJECT

public:
    explicit Presentation2(int intervalo = IntervaloPresentacion);

protected:
    void mostrarSiguiente() override;
};
