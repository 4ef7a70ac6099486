#pragma once

#include <QVariant>
#include <QWidget>
#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolBar;
class QToolButton;
class Recordset;

// Ventana "Datos Empresa": las empresas, los centros de trabajo de la empresa a la vista y los
// cuatro botones de acción sobre el centro a la vista.
class Empresa : public QWidget
{
    Q_OBJECT

public:
    explicit Empresa(QWidget* parent = nullptr);
    ~Empresa() override;

    // Nombre con el que la ventana se registra en el área MDI.
    static const QString Nombre;
    // Registra la ventana para que Entrada la abra.
    static void registrar();

    // Rutinas de la ventana.
    void CargarEmpresas();
    void BuscarEmpresas();
    void ColocarEmpresas();
    void CargarCentros();
    void BuscarCentros();
    void ColocarCentros();

    // Acciones de los botones, también para las pruebas.
    void crearEmpresa();
    void guardarEmpresa();
    void eliminarEmpresa();
    void crearCentro();
    void guardarCentro();
    void eliminarCentro();
    void primeraEmpresa();
    void anteriorEmpresa();
    void siguienteEmpresa();
    void ultimaEmpresa();
    void primerCentro();
    void anteriorCentro();
    void siguienteCentro();
    void ultimoCentro();
    void salir();
    // Acciones sobre el centro a la vista.
    void crearEvaluacion();
    void crearPlanificacion();
    void verEvaluacion();
    void verPlanificacion();

    Recordset* empresas() const { return rsEmpresas_.get(); }
    Recordset* centros() const { return rsCentros_.get(); }

private:
    enum class Movimiento
    {
        Primero,
        Anterior,
        Siguiente,
        Ultimo
    };
    static void mover(Recordset& rs, Movimiento m);
    void moverEmpresas(Movimiento m);
    void moverCentros(Movimiento m);
    // Elección de una entrada en la lista desplegable: la única forma de cambiar de fila por nombre.
    void elegirEmpresa();
    void elegirCentro();
    // Verdadero si se puede dejar lo que se está escribiendo (nada pendiente, o el usuario lo deja).
    bool dejarLoEscrito(QComboBox* lista, bool pendiente, const QString& escrito, const QString& aviso);
    // Tras un borrado: cierra las ventanas del centro en curso si ese centro ya no existe.
    void cerrarVentanasDeCentroBorrado();
    void construir();
    void cargar();
    QWidget* panelEmpresa();
    QWidget* panelCentro();
    QWidget* panelAcciones();
    QToolBar* barraNavegacion(const QString& nombre, const QString& ayuda, int flecha);

    void estadoSinEmpresa();
    void estadoSinCentro();
    void camposEmpresa(bool editables, bool vaciar);
    void camposCentro(bool editables, bool vaciar);
    void navegacionEmpresas(bool activa);
    void navegacionCentros(bool activa);
    void accionesCentro(bool activas);
    // Rellena la lista de nombres sin tocar el conjunto ni lo que se ve.
    void rellenarNombres();
    void rellenarCentros();
    bool totalValido();
    void escribirEmpresa(Recordset& rs, const QString& nombre, const QString& provincia, const QVariant& total);

    std::unique_ptr<Recordset> rsEmpresas_;
    std::unique_ptr<Recordset> rsCentros_;
    // Nombre de la fila a la vista y lo que el usuario ha tecleado en su lugar.
    QString nombreMostrado_, nombreEscrito_;
    QString centroMostrado_, centroEscrito_;

    QComboBox* cmbNombre_ = nullptr;
    QLineEdit* strNif_ = nullptr;
    QLineEdit* strDireccion_ = nullptr;
    QLineEdit* strPoblacion_ = nullptr;
    QLineEdit* strCodPostal_ = nullptr;
    QLineEdit* strProvincia_ = nullptr;
    QLineEdit* strNombre_ = nullptr;
    QLineEdit* strTotalTrabajdores_ = nullptr;
    QComboBox* cmbCargo_ = nullptr;
    QComboBox* cmbFormacion_ = nullptr;
    QLabel* Label8_ = nullptr;
    QPushButton* NEmprea_ = nullptr;
    QPushButton* GEmprea_ = nullptr;
    QPushButton* EEmprea_ = nullptr;
    QToolBar* barras_[8] = {};

    QComboBox* cmbNombreCentro_ = nullptr;
    QLineEdit* strPoblacionCT_ = nullptr;
    QLineEdit* strCodPostalCT_ = nullptr;
    QLineEdit* strProvinciaCT_ = nullptr;
    QLabel* Label14_ = nullptr;
    QPushButton* NCentro_ = nullptr;
    QPushButton* GCentro_ = nullptr;
    QPushButton* ECentro_ = nullptr;

    QPushButton* CEvaluacion_ = nullptr;
    QPushButton* CPlanificacion_ = nullptr;
    QPushButton* CEvaluacionVisualizar_ = nullptr;
    QPushButton* CPlanificacionVisualizar_ = nullptr;
};
