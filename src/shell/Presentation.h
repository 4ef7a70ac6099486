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

    static QString textoTitulo();
    static QString textoCreditos();
    static QString textoDifusion();

protected:
    void mostrarSiguiente() override;
};
