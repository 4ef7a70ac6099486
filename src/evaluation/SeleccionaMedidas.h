#pragma once

#include "evaluation/VentanaAsistente.h"
#include "shell/Sesion.h"

class CellTip;
class DataSource;
class FiltroCuadricula;
class Grid;
class QPushButton;
class QVariant;

// Cuarto paso del asistente: las medidas preventivas de cada puesto, riesgo por riesgo y factor por
// factor. Se marcan las que se aplican y, de ellas, las que ya están implantadas (cada marca se
// guarda en el acto); se pueden añadir medidas propias a un factor del puesto, que quedan marcadas.
// Al seguir, cada puesto y factor del centro ha de tener al menos una medida marcada, y la
// evaluación terminada toma la fecha del día si no tenía.
class SeleccionaMedidas : public VentanaAsistente
{
    Q_OBJECT

public:
    explicit SeleccionaMedidas(Sesion& sesion, QWidget* parent = nullptr);

    // Añade una medida marcada a la primera fila de evaluación del factor en el puesto (la de su
    // primera medida). Un factor que da varios riesgos la recibe sólo en uno. Devuelve el
    // identificador de la medida nueva, o 0 si el factor no es de ese puesto: entonces no se
    // escribe nada. Lanza ErrorBD.
    static long long AnadirMedida(const QString& conexion, qint64 idCentro, long long idPuesto, long long idEmpresa,
                                  const QString& factor, const QString& medida);

    QComboBox* listaFactores() const { return listaFactores_; }
    QLineEdit* textoMedida() const { return cajaMedida_; }
    QPushButton* botonAnadir() const { return botonAnadirMedida_; }
    FiltroCuadricula* filtro() const { return filtro_; }

protected:
    void elegirPuesto(long long idPuesto) override;
    void adelante() override;

private:
    void antesDeCambiar(int columna, const QVariant& nuevo, bool* cancelar) override;
    void nota(int division, int columna, int fila, CellTip* tip) override;
    void anadir();
    // Puesto y empresa de lo que enseña la cuadrícula; false si el puesto o el centro ya no existen.
    bool puestoActual(long long& puesto, long long& empresa) const;

    Grid* cuadriculaMedidas_ = nullptr;
    DataSource* origenMedidas_ = nullptr;
    QComboBox* listaFactores_ = nullptr;
    QLineEdit* cajaMedida_ = nullptr;
    QPushButton* botonAnadirMedida_ = nullptr;
    FiltroCuadricula* filtro_ = nullptr;
};
