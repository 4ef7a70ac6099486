#pragma once

#include "shell/Sesion.h"
#include <QWidget>

class DataSource;
class Grid;
class QPushButton;

// Selector "Acciones": el catálogo de acciones preventivas, para tomar un texto hecho en lugar de
// escribirlo. Se carga una vez y después sólo se oculta y se vuelve a enseñar; el texto del
// catálogo se puede corregir en la cuadrícula y queda corregido para todos los planes.
class AccionPreventiva : public QWidget
{
    Q_OBJECT

public:
    explicit AccionPreventiva(Sesion& sesion, QWidget* parent = nullptr);
    ~AccionPreventiva() override;

    // BAñadir y doble clic: copia el texto de la fila actual a la acción de la planificación y se oculta.
    void elegir();
    // BCancelar: se oculta sin copiar nada.
    void cancelar();

    DataSource* catalogo() const { return origenCatalogo_; }
    Grid* cuadricula() const { return cuadriculaCatalogo_; }

protected:
    void showEvent(QShowEvent* evento) override;

private:
    void construir();
    void cargar();
    void ocultarme();

    Sesion& sesion_;
    DataSource* origenCatalogo_ = nullptr;
    Grid* cuadriculaCatalogo_ = nullptr;
    QPushButton* botonElegir_ = nullptr;
    QPushButton* botonCancelar_ = nullptr;
};
