#pragma once

#include "shell/NavegadorRegistros.h"
#include "shell/RegistroVentanas.h"
#include "shell/Sesion.h"

#include <QWidget>
#include <span>

class QComboBox;
class QLineEdit;
class QPushButton;
class Recordset;

// Ventana "Datos Empresa": las empresas, los centros de trabajo de la empresa a la vista y los
// cuatro botones de acción sobre el centro a la vista.
class Empresa : public QWidget
{
    Q_OBJECT

public:
    explicit Empresa(Sesion& sesion, QWidget* parent = nullptr);
    ~Empresa() override;

    // Rutinas de la ventana.
    void CargarEmpresas() { navEmpresas_->cargar(); }
    void BuscarEmpresas() { navEmpresas_->buscar(); }
    void ColocarEmpresas() { navEmpresas_->colocar(); }
    void CargarCentros() { navCentros_->cargar(); }
    void BuscarCentros() { navCentros_->buscar(); }
    void ColocarCentros() { navCentros_->colocar(); }

    // Las dos mitades de la ventana: con sus botones y flechas, también para las pruebas.
    NavegadorRegistros* navegadorEmpresas() const { return navEmpresas_; }
    NavegadorRegistros* navegadorCentros() const { return navCentros_; }
    void salir();
    // Acciones sobre el centro a la vista.
    void crearEvaluacion();
    void crearPlanificacion();
    void verEvaluacion();
    void verPlanificacion();

    Recordset* empresas() const;
    Recordset* centros() const;

private:
    // Tras un borrado: cierra las ventanas del centro en curso si ese centro ya no existe.
    void cerrarVentanasDeCentroBorrado();
    // El centro a la vista pasa a ser el de la sesión para una tarea (evaluación o planificación),
    // descartando lo que quedara abierto de ella. nullptr si no hay registro de ventanas.
    RegistroVentanas* tomarCentro(std::span<const Ventana> ventanasTarea);
    void construir();
    // Crean los navegadores de empresas y de centros con lo que hace cada uno.
    NavegadorRegistros* definirEmpresas();
    NavegadorRegistros* definirCentros();
    void cargar();
    QWidget* panelEmpresa();
    QWidget* panelCentro();
    QWidget* panelAcciones();

    void accionesCentro(bool activas);
    bool totalValido();
    void mostrarEmpresa(Recordset& rs);
    void escribirEmpresa(Recordset& rs, const QString& nombre, bool nueva);
    void mostrarCentro(Recordset& rs);
    void escribirCentro(Recordset& rs, const QString& nombre, bool nuevo);

    Sesion& sesion_;
    NavegadorRegistros* const navEmpresas_;
    NavegadorRegistros* const navCentros_;

    // Los campos de la empresa, con los de la persona que hace la evaluación.
    struct
    {
        QLineEdit* cif = nullptr;
        QLineEdit* direccion = nullptr;
        QLineEdit* localidad = nullptr;
        QLineEdit* codigoPostal = nullptr;
        QLineEdit* provincia = nullptr;
        QLineEdit* evaluador = nullptr;
        QLineEdit* totalTrabajadores = nullptr;
        QComboBox* cargo = nullptr;
        QComboBox* formacion = nullptr;
    } empresa_;
    // Los campos del centro (el nombre es la lista de su navegador).
    struct
    {
        QLineEdit* localidad = nullptr;
        QLineEdit* codigoPostal = nullptr;
        QLineEdit* provincia = nullptr;
    } centro_;

    QPushButton* botonCrearEvaluacion_ = nullptr;
    QPushButton* botonCrearPlanificacion_ = nullptr;
    QPushButton* botonVerEvaluacion_ = nullptr;
    QPushButton* botonVerPlanificacion_ = nullptr;
};
