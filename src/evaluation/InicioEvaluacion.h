#pragma once

#include <QWidget>
#include <memory>

class QLineEdit;
class QPushButton;
class Recordset;

// Página de inicio de la evaluación de un centro: nombra el centro y ofrece los cuatro pasos,
// cada uno activo sólo cuando los anteriores están completos.
class InicioEvaluacion : public QWidget
{
    Q_OBJECT

public:
    explicit InicioEvaluacion(QWidget* parent = nullptr);
    ~InicioEvaluacion() override;

    static const QString Nombre;
    static void registrar();

public slots:
    // Lee el centro y recalcula qué pasos están activos. La llaman las ventanas del asistente
    // al volver aquí.
    void Colocar();

private:
    void construir();

    std::unique_ptr<Recordset> rsPuestos_;
    QLineEdit* strDireccion_ = nullptr;
    QPushButton* CEvaluacion_ = nullptr;
    QPushButton* BFactores_ = nullptr;
    QPushButton* BEvaluacion_ = nullptr;
    QPushButton* BMedidas_ = nullptr;
};
