#pragma once

#include <QWidget>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QVBoxLayout;
class Recordset;

// Lo común de las ventanas del asistente de evaluación: el centro en curso, la lista de sus
// puestos ("0007 - Soldador"), el puesto elegido que pasa de una ventana a otra en gPuestoActual,
// y el paso a otra ventana del asistente descartando la que hubiera.
class VentanaAsistente : public QWidget
{
    Q_OBJECT

public:
    // Texto del puesto en las listas: su número con cuatro cifras, " - " y su nombre. Un número
    // de más de cuatro cifras se escribe entero: nunca se confunde con otro puesto.
    static QString TextoPuesto(long long idPuesto, const QString& nombre);

    // Puesto elegido en la lista (0 si no hay ninguno).
    long long puestoElegido() const;
    QComboBox* listaPuestos() const { return cmbPuestos_; }

public slots:
    // Llena el centro y la lista de puestos y elige el de gPuestoActual (o el primero).
    virtual void Colocar();

protected:
    VentanaAsistente(const QString& nombre, const QString& titulo, const QString& cabecera, QWidget* parent);
    ~VentanaAsistente() override;

    // Se llama al elegir un puesto, con el registro del puesto ya abierto.
    virtual void elegirPuesto(long long idPuesto) = 0;

    // Carga común: geometría y título; después, Colocar.
    void cargar();
    // Oculta esta ventana, guarda el puesto elegido y abre otra nueva del asistente.
    void irA(const QString& ventana, bool guardarPuesto = true);
    // Rehace el inicio de la evaluación y vuelve a él; con nuevo, lo descarta y lo abre otra vez.
    void volverAlInicio(bool nuevo = true);
    void ocultarme();

    QVBoxLayout* cuerpo() const { return cuerpo_; }
    // Pie con los botones de imagen: atrás, adelante, inicio y ayuda.
    void ponerPie(const QString& tipAtras, const QString& textoAtras, const QString& tipAdelante,
                  const QString& textoAdelante, const QString& tipInicio, const QString& documentoAyuda);
    void ponerListaPuestos();
    virtual void adelante() {}
    virtual void atras() {}
    virtual void inicio() { volverAlInicio(true); }

    QString nombre_;
    QString titulo_;
    QLineEdit* strDireccion_ = nullptr;
    QComboBox* cmbPuestos_ = nullptr;
    std::unique_ptr<Recordset> rsCentro_;
    std::unique_ptr<Recordset> rsPuesto_;

private:
    QVBoxLayout* cuerpo_ = nullptr;
};
