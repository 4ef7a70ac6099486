#pragma once

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
    explicit AccionPreventiva(QWidget* parent = nullptr);
    ~AccionPreventiva() override;

    static const QString Nombre;
    static void registrar();

    // BAñadir y doble clic: copia el texto de la fila actual a la acción de la planificación y se oculta.
    void elegir();
    // BCancelar: se oculta sin copiar nada.
    void cancelar();

    DataSource* catalogo() const { return RActuacionPreventivaRegistro_; }
    Grid* cuadricula() const { return GActuacionPreventivaRegistro_; }

protected:
    void showEvent(QShowEvent* evento) override;

private:
    void construir();
    void cargar();
    void ocultarme();

    DataSource* RActuacionPreventivaRegistro_ = nullptr;
    Grid* GActuacionPreventivaRegistro_ = nullptr;
    QPushButton* BAnadir_ = nullptr;
    QPushButton* BCancelar_ = nullptr;
};
