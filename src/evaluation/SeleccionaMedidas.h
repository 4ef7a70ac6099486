#pragma once

#include "VentanaAsistente.h"

class CellTip;
class DataSource;
class Grid;
class QPushButton;
class QVariant;

// Cuarto paso del asistente: las medidas preventivas de cada puesto, riesgo por riesgo y factor por
// factor. Se marcan las que se aplican (cada marca se guarda en el acto) y se pueden añadir medidas
// propias a un factor del puesto, que quedan marcadas. Al seguir, cada puesto y factor del centro
// ha de tener al menos una medida marcada.
class SeleccionaMedidas : public VentanaAsistente
{
    Q_OBJECT

public:
    explicit SeleccionaMedidas(QWidget* parent = nullptr);
    ~SeleccionaMedidas() override;

    static const QString Nombre;
    static void registrar();

    // Añade una medida marcada a la primera fila de evaluación del factor en el puesto (la de su
    // primera medida). Un factor que da varios riesgos la recibe sólo en uno. Devuelve el
    // identificador de la medida nueva, o 0 si el factor no es de ese puesto: entonces no se
    // escribe nada. Lanza ErrorBD.
    static long long AnadirMedida(long idCentro, long long idPuesto, long long idEmpresa, const QString& factor,
                                  const QString& medida);

    Grid* cuadricula() const { return GMedidas_; }
    DataSource* origen() const { return RMedidas_; }
    QComboBox* listaFactores() const { return cmbFactor_; }
    QLineEdit* textoMedida() const { return strMedida_; }
    QPushButton* botonAnadir() const { return Command1_; }

protected:
    void elegirPuesto(long long idPuesto) override;
    void adelante() override;
    void atras() override;

private:
    void construir();
    void antesDeCambiar(int columna, const QVariant& nuevo, bool* cancelar);
    void nota(int division, int columna, int fila, CellTip* tip);
    void anadir();
    // Puesto y empresa de lo que enseña la cuadrícula; false si el puesto o el centro ya no existen.
    bool puestoActual(long long& puesto, long long& empresa) const;

    Grid* GMedidas_ = nullptr;
    DataSource* RMedidas_ = nullptr;
    QComboBox* cmbFactor_ = nullptr;
    QLineEdit* strMedida_ = nullptr;
    QPushButton* Command1_ = nullptr;
};
