#include "MarcoCentro.h"

#include "KitControles.h"
#include "Rutinas.h"

#include <QHBoxLayout>
#include <QLineEdit>

MarcoCentro::MarcoCentro(QWidget* parent) : QGroupBox(QStringLiteral("Centro de trabajo"), parent)
{
    setObjectName(QStringLiteral("FrameCentro"));
    direccion_ = Kit::cajaLectura(QStringLiteral("strDireccion"), QStringLiteral("Centro de trabajo"));
    auto* h = new QHBoxLayout(this);
    h->addWidget(direccion_);
}

void MarcoCentro::mostrar(const QVariant& direccion)
{
    direccion_->setText(NuloATexto(direccion).toString());
}
