#pragma once

#include <QGroupBox>

class QLineEdit;
class QVariant;

// Marco "Centro de trabajo" de las ventanas que trabajan sobre el centro en curso: su dirección,
// sólo para leer, para que se sepa siempre en qué centro se escribe.
class MarcoCentro : public QGroupBox
{
public:
    // En línea, sin recuadro: la etiqueta al lado de la caja, para las ventanas de poco alto.
    enum class Forma
    {
        Recuadro,
        EnLinea
    };

    explicit MarcoCentro(Forma forma = Forma::Recuadro, QWidget* parent = nullptr);

    QLineEdit* direccion() const { return direccion_; }
    // Un centro que ya no existe (nulo) deja el marco vacío.
    void mostrar(const QVariant& direccion);

private:
    QLineEdit* direccion_;
};
