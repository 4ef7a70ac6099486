#pragma once

#include <QDialog>
#include <QString>
#include <vector>

class QSpinBox;

// Los meses de plazo que se proponen para las acciones de cada nivel de riesgo (0: el mismo día).
// "Guardar" los escribe todos y cierra; "Cancelar" no escribe nada.
class PlazosPlan : public QDialog
{
    Q_OBJECT

public:
    explicit PlazosPlan(const QString& conexion, QWidget* parent = nullptr);

    // La caja de meses de un nivel ("Riesgo Moderado"); nula si el nivel no tiene plazo.
    QSpinBox* meses(const QString& nivel) const;

private:
    void guardar();

    QString conexion_;
    std::vector<std::pair<QString, QSpinBox*>> cajas_;
};
