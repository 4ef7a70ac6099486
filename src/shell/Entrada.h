#pragma once

#include "shell/RegistroVentanas.h"
#include "shell/Sesion.h"

#include <QMainWindow>
#include <functional>

class QLabel;
class QMdiArea;
class QPushButton;
class QSplitter;
class QTimer;
class QToolButton;

// Ventana principal: el marco MDI donde se abren todas las demás, los botones de inicio,
// documentos, utilidades y salida, y la barra de estado.
class Entrada : public QMainWindow
{
    Q_OBJECT

public:
    explicit Entrada(QWidget* parent = nullptr);
    ~Entrada() override;

    // El módulo de empresas dice aquí cómo se crea su ventana; mientras no lo haga, los botones
    // de empresas no hacen nada.
    static void registrarVentanaEmpresa(RegistroVentanas::Fabrica fabrica);

    QMdiArea* area() const { return area_; }
    RegistroVentanas& ventanas() { return registro_; }
    Sesion& sesion() { return sesion_; }

    // Dirección de descarga del lector de PDF.
    static QString direccionLectorPdf();

protected:
    void closeEvent(QCloseEvent* evento) override;
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    void construir();
    void cargar();
    void abrirEmpresa();
    void abrirResumenCentros();
    void abrirOrigenDatos();
    // En la barra de estado, el servidor con el que se trabaja (nada con el archivo de la carpeta).
    void mostrarOrigenDatos();
    // Al abrir: cuántas revisiones y acciones han vencido, en la barra de estado.
    void avisarVencimientos();
    void abrirDocumento(const QString& nombre);
    void actualizarReloj();

    QMdiArea* area_ = nullptr;
    // Antes que el registro: las ventanas que crea la reciben.
    Sesion sesion_;
    RegistroVentanas registro_;
    QSplitter* divisor_ = nullptr;
    QWidget* panel_ = nullptr;
    QPushButton* inicio_ = nullptr;
    QPushButton* salir_ = nullptr;
    QToolButton* vencidos_ = nullptr;
    QLabel* origenDatos_ = nullptr;
    QLabel* hora_ = nullptr;
    QLabel* fecha_ = nullptr;
    QTimer* reloj_ = nullptr;
};
