#pragma once

#include "repair/Compactacion.h"
#include "repair/RelojReparar.h"

#include "plataforma/OrigenGuardado.h"

#include <QWidget>
#include <array>

class QLabel;
class QPushButton;
class QTimer;
class PlataformaServicios;

// Ventana única de Reparar: compacta (o rehace) la base de datos de la carpeta del programa y
// vuelve al programa principal.
class Reparar : public QWidget
{
    Q_OBJECT

public:
    Reparar(PlataformaServicios& servicios, const QString& carpeta, QWidget* padre = nullptr);

    // Lo que dejó la última compactación.
    const ResultadoCompactacion& ultimoResultado() const { return ultimo_; }

public slots:
    void compactar();
    void volverAlPrograma();
    void avanzarReloj();
    // Con los datos en un servidor: copia su base de datos en un archivo que elige el usuario.
    void copiarAArchivo();

protected:
    void closeEvent(QCloseEvent* evento) override;

private:
    void MostrarDigito(int posicion, QChar caracter);
    void terminar();
    // Con los datos en un servidor, lo que hay que hacer para compactarlo y repararlo.
    void explicarServidor();

    PlataformaServicios& servicios_;
    QString carpeta_;
    // El reloj con su temporizador, y lo que enseña: la cifra de cada posición y sus dibujos.
    RelojReparar reloj_;
    QTimer* temporizadorReloj_ = nullptr;
    std::array<QChar, 4> mostrados_{};
    std::array<QLabel*, 4> posiciones_{};
    std::array<QLabel*, 10> dibujosCifras_{};
    QLabel* estado_ = nullptr;
    QPushButton* botonCompactar_ = nullptr;
    QPushButton* botonVolver_ = nullptr;
    QPushButton* botonCopiar_ = nullptr;
    ResultadoCompactacion ultimo_;
    OrigenGuardado origen_;
    bool terminando_ = false;
};
