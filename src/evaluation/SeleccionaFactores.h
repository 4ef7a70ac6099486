#pragma once

#include "evaluation/VentanaAsistente.h"
#include "shell/Sesion.h"

class CellTip;
class DataSource;
class Grid;
class QPushButton;
class QVariant;

// Segundo paso del asistente: los factores de riesgo de cada puesto, con su casilla. Marcar un
// factor genera sus riesgos y medidas; desmarcarlo, tras confirmarlo, los quita. La marca se
// guarda en el acto y siempre junto con lo generado o quitado: nunca queda un factor marcado
// sin sus riesgos ni uno desmarcado con ellos.
class SeleccionaFactores : public VentanaAsistente
{
    Q_OBJECT

public:
    explicit SeleccionaFactores(Sesion& sesion, QWidget* parent = nullptr);

    // Marca, tras enseñarlos y pedir conformidad, los factores que el catálogo da como habituales
    // del puesto del catálogo que se llama como el elegido. Cada uno se marca como si se pulsara
    // su casilla.
    void marcarHabituales();

protected:
    void elegirPuesto(long long idPuesto) override;
    void adelante() override;

private:
    void antesDeCambiar(int columna, const QVariant& nuevo, bool* cancelar) override;
    void tratarFallo(long numero, const QString& descripcion, bool* cancelar);
    void nota(int division, int columna, int fila, CellTip* tip) override;

    QPushButton* botonHabituales_ = nullptr;
    Grid* cuadriculaFactores_ = nullptr;
    DataSource* origenFactores_ = nullptr;
};
