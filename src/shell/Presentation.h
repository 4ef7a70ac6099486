#pragma once

#include "shell/VentanaPresentacion.h"

// Primera ventana del programa: el título de la aplicación, su origen y los créditos, con los
// logotipos. A los diez segundos, o con un clic en la ventana, en `Label1` o en `Label3`, da
// paso a `Presentation2`. El clic en `Label2` (los créditos) no hace nada.
class Presentation : public VentanaPresentacion
{
    Q_OBJECT

public:
    explicit Presentation(int intervalo = IntervaloPresentacion);

protected:
    void mostrarSiguiente() override;
};
