#include "planning/PlazosPlan.h"

#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "store/Conexion.h"
#include "store/PlanAcciones.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

PlazosPlan::PlazosPlan(const QString& conexion, QWidget* parent) : QDialog(parent), conexion_(conexion)
{
    setObjectName("PlazosPlan");
    setWindowTitle("Plazos por nivel");
    auto* v = new QVBoxLayout(this);
    auto* explicacion = new QLabel("Meses que se dan, desde hoy, a las acciones que se proponen desde la "
                                   "evaluación según el nivel de su riesgo. Con 0, la acción es para hoy mismo.");
    explicacion->setWordWrap(true);
    v->addWidget(explicacion);
    auto* formulario = new QFormLayout;
    for (const PlazoNivel& p : LeerPlazos(*Conexion::obtener(conexion_))) {
        auto* caja = new QSpinBox;
        caja->setObjectName("meses" + QString(p.nivel).remove(' '));
        caja->setRange(0, 120);
        caja->setSuffix(" meses");
        caja->setValue(p.meses);
        caja->setAccessibleName("Plazo en meses para " + p.nivel);
        formulario->addRow(p.nivel, caja);
        cajas_.emplace_back(p.nivel, caja);
    }
    v->addLayout(formulario);
    QPushButton* guardar = Kit::boton("BGuardarPlazos", "Guardar");
    QPushButton* cancelar = Kit::boton("BCancelarPlazos", "Cancelar");
    auto* pie = new QHBoxLayout;
    pie->addStretch();
    pie->addWidget(guardar);
    pie->addWidget(cancelar);
    v->addLayout(pie);
    connect(guardar, &QPushButton::clicked, this, Ranura([this] { this->guardar(); }, this));
    connect(cancelar, &QPushButton::clicked, this, &QDialog::reject);
}

QSpinBox* PlazosPlan::meses(const QString& nivel) const
{
    for (const auto& [n, caja] : cajas_)
        if (n == nivel)
            return caja;
    return nullptr;
}

void PlazosPlan::guardar()
{
    Conexion& c = *Conexion::obtener(conexion_);
    Transaccion t(conexion_);
    for (const auto& [nivel, caja] : cajas_)
        GuardarPlazo(c, nivel, caja->value());
    t.confirmar();
    accept();
}
