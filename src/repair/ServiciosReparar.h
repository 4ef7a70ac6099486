#pragma once

#include <QString>

class QWidget;

// Lo que Reparar pide al sistema. Pasa todo por aquí para que las pruebas puedan ver qué se ha
// pedido sin que se abra ningún aviso ni arranque ningún programa.
class ServiciosReparar
{
public:
    virtual ~ServiciosReparar() = default;

    // Aviso de error con el botón Aceptar.
    virtual void aviso(QWidget* dueno, const QString& texto, const QString& titulo) = 0;
    // Arranca un programa sin esperar a que termine. Devuelve si se pudo arrancar.
    virtual bool iniciarPrograma(const QString& ruta) = 0;
    // Cierra las conexiones y termina Reparar.
    virtual void terminarPrograma() = 0;
    // Reloj de arena para toda la pantalla.
    virtual void cursorEspera(bool activo) = 0;
};

// Los de verdad: QMessageBox, QProcess, QApplication.
class ServiciosRepararReales : public ServiciosReparar
{
public:
    void aviso(QWidget* dueno, const QString& texto, const QString& titulo) override;
    bool iniciarPrograma(const QString& ruta) override;
    void terminarPrograma() override;
    void cursorEspera(bool activo) override;

private:
    int cursores_ = 0;
};
