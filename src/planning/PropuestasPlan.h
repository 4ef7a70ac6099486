#pragma once

#include "store/PlanAcciones.h"

#include <QDialog>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

// Las líneas que se pueden añadir al plan desde la evaluación del centro, para que el usuario
// marque las que quiere. Empiezan sin marcar: lo que no se marca no se añade. "Añadir" las escribe
// todas a la vez con el responsable dado y cierra el diálogo.
class PropuestasPlan : public QDialog
{
    Q_OBJECT

public:
    PropuestasPlan(const QString& conexion, long long idActuacion, const QString& responsable,
                   std::vector<LineaPropuesta> propuestas, QWidget* parent = nullptr);

    QTableWidget* tabla() const { return tabla_; }
    // Las propuestas marcadas, en el orden de la lista.
    std::vector<LineaPropuesta> marcadas() const;

signals:
    // Se han añadido tantas líneas al plan.
    void anadidas(int cuantas);

private:
    void anadir();
    void contar();

    QString conexion_;
    long long idActuacion_;
    QString responsable_;
    std::vector<LineaPropuesta> propuestas_;
    QTableWidget* tabla_ = nullptr;
    QLabel* resumen_ = nullptr;
    QPushButton* botonAnadir_ = nullptr;
};
