#pragma once

#include "evaluation/VentanaAsistente.h"
#include "shell/Sesion.h"

class DataSource;
class Grid;
class QPlainTextEdit;
class QPushButton;
class TextoFila;
struct CellTip;

// Primer paso del asistente: los puestos de trabajo del centro en curso. Se añade un puesto (con
// su copia del catálogo de factores, todos sin marcar) o se quita uno, y desde aquí se sigue a la
// selección de factores de riesgo. Los nombres de quienes ocupan cada puesto se escriben al darlo
// de alta y, después, en la caja del puesto elegido en la cuadrícula.
class Puestos : public VentanaAsistente
{
    Q_OBJECT

public:
    explicit Puestos(Sesion& sesion, QWidget* parent = nullptr);
    ~Puestos() override;

    // Entradas de cmbSensibilidad, en su orden; la primera es la vacía.
    static const QStringList Sensibilidades;

public slots:
    // Rellena la dirección del centro y la cuadrícula de sus puestos.
    void Colocar() override;

protected:
    // Esta ventana no tiene lista de puestos: el puesto se elige en la cuadrícula.
    void elegirPuesto(long long) override {}
    void adelante() override;
    void inicio() override;

private:
    void construir();
    void cargarVentana();
    void anadir();
    void eliminar();
    void elegirNombre(const QString& nombre);
    void releerPuestos();
    void pedirNota(int division, int columna, int fila, CellTip* nota);
    void antesDeCambiar(int columna, const QVariant& nuevo, bool* cancelar);
    // Comprueba el texto de una entrada con su regla (0 puesto, 1 descripción, 2 sensibilidad,
    // 3 trabajadores, el mismo número que la columna de la cuadrícula).
    static bool cumpleRegla(int regla, const QString& texto);
    void avisar(int regla);

    QComboBox* listaPuesto_ = nullptr;
    QLineEdit* cajaDescripcion_ = nullptr;
    QComboBox* listaSensibilidad_ = nullptr;
    QLineEdit* cajaTrabajadores_ = nullptr;
    QPlainTextEdit* cajaOcupantes_ = nullptr;
    TextoFila* ocupantesDelPuesto_ = nullptr;
    QPushButton* botonAnadirPuesto_ = nullptr;
    QPushButton* botonQuitarPuesto_ = nullptr;
    Grid* cuadriculaPuestos_ = nullptr;
    DataSource* origenPuestos_ = nullptr;
};
