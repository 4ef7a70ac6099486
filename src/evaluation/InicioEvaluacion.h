#pragma once

#include "shell/RegistroVentanas.h"
#include "shell/Sesion.h"

#include <QWidget>
#include <memory>

class MarcoCentro;
class QPushButton;
class Recordset;

// Página de inicio de la evaluación de un centro: nombra el centro y ofrece los cuatro pasos,
// cada uno activo sólo cuando los anteriores están completos.
class InicioEvaluacion : public QWidget
{
    Q_OBJECT

public:
    explicit InicioEvaluacion(Sesion& sesion, QWidget* parent = nullptr);
    ~InicioEvaluacion() override;

    static constexpr Ventana Nombre = Ventana::InicioEvaluacion;

public slots:
    // Lee el centro y recalcula qué pasos están activos. La llaman las ventanas del asistente
    // al volver aquí.
    void Colocar();

private:
    void construir();

    Sesion& sesion_;
    std::unique_ptr<Recordset> rsPuestos_;
    MarcoCentro* marcoCentro_ = nullptr;
    QPushButton* botonPuestos_ = nullptr;
    QPushButton* botonFactores_ = nullptr;
    QPushButton* botonRiesgos_ = nullptr;
    QPushButton* botonMedidas_ = nullptr;
};
