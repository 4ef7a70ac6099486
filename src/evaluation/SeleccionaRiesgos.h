#pragma once

#include "evaluation/VentanaAsistente.h"
#include "shell/Sesion.h"

#include <QColor>

class CellTip;
class DataSource;
class Grid;
class QVariant;
class TextoFila;

// Tercer paso del asistente: cada riesgo del puesto (una fila por riesgo, la mostrada) se evalúa
// por su probabilidad y sus consecuencias; el nivel sale de la matriz y se guarda con el cambio.
// Bajo la cuadrícula se apunta la situación observada del riesgo de la fila actual.
// Al seguir, las filas ocultas del puesto toman la evaluación de la mostrada de su riesgo.
class SeleccionaRiesgos : public VentanaAsistente
{
    Q_OBJECT

public:
    explicit SeleccionaRiesgos(Sesion& sesion, QWidget* parent = nullptr);

    // Fondo de la celda de un nivel: tranquilo para el trivial y el tolerable, de aviso para el
    // moderado y de alarma para el importante y el intolerable. No válido para lo demás.
    static QColor ColorNivel(const QString& nivel);

protected:
    void elegirPuesto(long long idPuesto) override;
    void adelante() override;
    // Lo que se esté escribiendo en una celda o en la situación observada se guarda antes de salir
    // de la ventana; false si la situación no se ha podido guardar (ya avisado): no se sale.
    bool cerrarEdicion() override;

private:
    void antesDeCambiar(int columna, const QVariant& nuevo, bool* cancelar) override;
    void nota(int division, int columna, int fila, CellTip* tip) override;
    // El riesgo que la sesión pide valorar, si es de este puesto, queda como fila actual.
    void ponerDelanteRiesgoPorValorar();

    Grid* cuadriculaRiesgos_ = nullptr;
    DataSource* origenRiesgos_ = nullptr;
    TextoFila* situacion_ = nullptr;
};
