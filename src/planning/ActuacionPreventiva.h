#pragma once

#include <QVariant>
#include <QWidget>
#include <memory>

class DataSource;
class DateBox;
class Grid;
class QComboBox;
class QLineEdit;
class QPushButton;
class QToolButton;
class Recordset;

// Planificación de la actuación preventiva de un centro: la cabecera del plan (quién lo hace, con
// qué cargo y en qué fecha) y sus líneas, cada una una acción con su fecha límite, su responsable
// y su presupuesto aproximado. Cada centro tiene un solo plan, que se crea la primera vez.
class ActuacionPreventiva : public QWidget
{
    Q_OBJECT

public:
    explicit ActuacionPreventiva(QWidget* parent = nullptr);
    ~ActuacionPreventiva() override;

    static const QString Nombre;
    static void registrar();

    // Lo que escribe el selector de acciones: sólo el texto de la acción de la línea nueva.
    void ponerAccion(const QString& texto);

    // Acciones de los botones, también para las pruebas.
    bool guardarCabecera();     // GCentro; false si no se ha podido guardar
    void anadirLinea();         // BAñadir
    void eliminarLinea();       // BCancelar
    void eliminarPlan();        // ECentro
    void imprimir();            // Picture2
    void volver();              // Image1
    void seleccionarAcciones(); // SSCommand1

    // Plan en curso (0 si no hay) y sus líneas.
    long long idActuacion() const;
    DataSource* lineas() const { return RActuacionPreventivaRegistro_; }
    Grid* cuadricula() const { return GActuacionPreventivaRegistro_; }

public slots:
    // Vuelve a leer el centro, el plan (creándolo si el centro no tiene) y sus líneas.
    void Colocar();

protected:
    // Cerrar con el marco también pregunta por la cabecera sin guardar.
    void closeEvent(QCloseEvent* evento) override;

private:
    // Lo que enseñan las cajas de la cabecera, para saber si se ha cambiado sin guardar.
    struct Cabecera
    {
        QString persona;
        QString cargo;
        QVariant fecha;
    };
    void mostrarCabecera();
    bool cabeceraCambiada() const;
    // Antes de dejar la ventana: true si se puede seguir (guardada, descartada o sin cambios).
    bool dejarCabecera();
    Cabecera cabeceraGuardada_;
    bool sinPreguntar_ = false;

    void construir();
    void cargar();
    void leerLineas();
    void vaciarLineaNueva();
    void ocultarme();
    // Aviso de una entrada que falta o no vale; el foco va adonde se corrige.
    void rechazar(const QString& texto, const QString& titulo, QWidget* foco);

    std::unique_ptr<Recordset> rsCentro_;
    std::unique_ptr<Recordset> rsPlan_;
    DataSource* RActuacionPreventivaRegistro_ = nullptr;

    QLineEdit* strDireccion_ = nullptr;
    QLineEdit* strNombre_ = nullptr;
    QComboBox* cmbCargo_ = nullptr;
    DateBox* dteFecha_ = nullptr;
    QPushButton* GCentro_ = nullptr;
    QLineEdit* strAccion_ = nullptr;
    QPushButton* SSCommand1_ = nullptr;
    DateBox* dteFechaLimite_ = nullptr;
    QLineEdit* strResponsable_ = nullptr;
    QLineEdit* strPresupuesto_ = nullptr;
    QPushButton* BAnadir_ = nullptr;
    QPushButton* BCancelar_ = nullptr;
    Grid* GActuacionPreventivaRegistro_ = nullptr;
    QToolButton* Picture2_ = nullptr;
    QToolButton* ECentro_ = nullptr;
    QToolButton* Image9_ = nullptr;
    QToolButton* Image1_ = nullptr;
};
