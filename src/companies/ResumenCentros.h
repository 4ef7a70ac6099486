#pragma once

#include "reports/ExportacionHoja.h"
#include "shell/Sesion.h"

#include <QWidget>
#include <vector>

class Empresa;
class FiltroResumenCentros;
class ModeloResumenCentros;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;
struct EstadoCentro;

// Ventana "Resumen de centros": todos los centros de todas las empresas, cada uno con el paso de
// su evaluación que falta, sus fechas de evaluación y de revisión, las acciones de su plan y lo
// que queda por gastar. Para ir al que toca: se ordena por cualquier columna, se busca por empresa
// o centro y se filtra por lo que está sin terminar o vencido. Desde aquí se abre la empresa en ese
// centro, su evaluación o su plan.
class ResumenCentros : public QWidget
{
    Q_OBJECT

public:
    explicit ResumenCentros(Sesion& sesion, QWidget* parent = nullptr);
    ~ResumenCentros() override;

    // Vuelve a leer todos los centros, dejando a la vista el mismo centro, filtros y orden. Si lo
    // que se lee aparte al arrancar aún no ha terminado, no lo espera: la ventana dice que está
    // leyendo y se llena sola cuando acaba.
    void Colocar();
    // Está esperando a lo que se lee aparte.
    bool leyendo() const;

    // Lo que se ve, en el orden en que se ve, como tabla para la hoja de cálculo.
    FilasExportacion filasVisibles() const;
    bool exportar(const QString& ruta, FormatoHoja formato);

    // El centro de la fila en curso (nullptr si no hay ninguna a la vista).
    const EstadoCentro* centroActual() const;
    // Abre la ventana de empresas en el centro de la fila en curso. nullptr si no se puede.
    Empresa* abrirEmpresa();
    void abrirEvaluacion();
    void abrirPlan();

protected:
    void showEvent(QShowEvent* evento) override;

private:
    void construir();
    void actualizarContador();
    void exportarA(FormatoHoja formato);

    Sesion& sesion_;
    ModeloResumenCentros* modelo_ = nullptr;
    FiltroResumenCentros* filtro_ = nullptr;
    QTableView* tabla_ = nullptr;
    QLineEdit* busqueda_ = nullptr;
    QLabel* contador_ = nullptr;
    QPushButton* botonEmpresa_ = nullptr;
    QPushButton* botonEvaluacion_ = nullptr;
    QPushButton* botonPlan_ = nullptr;
    std::vector<QPushButton*> botonesHoja_;
    QTimer* espera_ = nullptr;
    bool mostrada_ = false;
};
