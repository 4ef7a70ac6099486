#pragma once

#include "shell/Sesion.h"
#include <QVariant>
#include <QWidget>
#include <memory>

class CuadriculasPlan;
class DataSource;
class DateBox;
class EleccionRiesgo;
class Grid;
class MarcoCentro;
class PlazosPlan;
class PropuestasPlan;
class QComboBox;
class QLineEdit;
class QPushButton;
class QToolButton;
class Recordset;
class RevaloracionPlan;

// Planificación de la actuación preventiva de un centro: la cabecera del plan (quién lo hace, con
// qué cargo y en qué fecha) y sus líneas, cada una una acción con su fecha límite, su responsable
// y su presupuesto aproximado. Cada centro tiene un solo plan, que se crea la primera vez.
//
// Una línea puede nombrar el riesgo evaluado que controla y la medida que lleva a cabo; las líneas
// salen por prioridad (la del nivel de su riesgo) y después por fecha límite, con su seguimiento:
// estado, fecha en que se hizo, coste real y nota. Las vencidas se ven en el color de alarma.
class ActuacionPreventiva : public QWidget
{
    Q_OBJECT

public:
    explicit ActuacionPreventiva(Sesion& sesion, QWidget* parent = nullptr);
    ~ActuacionPreventiva() override;

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
    // Abre la lista de líneas que se pueden añadir desde la evaluación (nula si no hay ninguna:
    // entonces lo dice).
    PropuestasPlan* proponer();
    PlazosPlan* editarPlazos();

    // Plan en curso (0 si no hay) y sus líneas.
    long long idActuacion() const;
    DataSource* lineas() const;
    Grid* cuadricula() const;
    // Las mismas líneas, en el mismo orden, con su riesgo y su seguimiento.
    DataSource* seguimiento() const;
    Grid* cuadriculaSeguimiento() const;

public slots:
    // Vuelve a leer el centro, el plan (creándolo si el centro no tiene) y sus líneas.
    void Colocar();

protected:
    // Cerrar con el marco también pregunta por la cabecera sin guardar.
    void closeEvent(QCloseEvent* evento) override;
    // Al volver a enseñarse, guarda las nuevas valoraciones de los riesgos cuya acción está hecha.
    void showEvent(QShowEvent* evento) override;

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
    // Tras guardar el estado de una línea: la acción de un riesgo dada por realizada deja pendiente
    // volver a valorarlo, y se ofrece.
    void trasCambiarEstado();
    void vaciarLineaNueva();
    void ocultarme();
    // Aviso de una entrada que falta o no vale; el foco va adonde se corrige.
    void rechazar(const QString& texto, const QString& titulo, QWidget* foco);

    Sesion& sesion_;
    std::unique_ptr<Recordset> rsCentro_;
    std::unique_ptr<Recordset> rsPlan_;

    MarcoCentro* marcoCentro_ = nullptr;
    // La cabecera del plan: quién lo hace, su cargo y la fecha, con el botón que la guarda.
    struct
    {
        QLineEdit* planificador;
        QComboBox* cargo;
        DateBox* fecha;
        QPushButton* guardar;
    } cabecera_{};
    QLineEdit* cajaAccion_ = nullptr;
    QPushButton* botonSeleccionarAcciones_ = nullptr;
    DateBox* fechaLimite_ = nullptr;
    QLineEdit* cajaResponsable_ = nullptr;
    QLineEdit* cajaPresupuesto_ = nullptr;
    EleccionRiesgo* eleccionRiesgo_ = nullptr;
    QPushButton* botonProponer_ = nullptr;
    QPushButton* botonPlazos_ = nullptr;
    QPushButton* botonAnadirLinea_ = nullptr;
    QPushButton* botonEliminarLinea_ = nullptr;
    CuadriculasPlan* cuadriculas_ = nullptr;
    RevaloracionPlan* revaloracion_ = nullptr;
    QToolButton* botonImprimir_ = nullptr;
    QToolButton* botonEliminarPlan_ = nullptr;
    QToolButton* botonAyuda_ = nullptr;
    QToolButton* botonVolver_ = nullptr;
};
