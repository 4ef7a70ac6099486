#include "shell/MarcoCentro.h"

#include "shell/KitControles.h"
#include "shell/Rutinas.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

MarcoCentro::MarcoCentro(Forma forma, QWidget* parent) : QGroupBox(parent)
{
    const QString titulo = QStringLiteral("Centro de trabajo");
    setObjectName(QStringLiteral("FrameCentro"));
    direccion_ = Kit::cajaLectura(QStringLiteral("strDireccion"), titulo);
    auto* h = new QHBoxLayout(this);
    if (forma == Forma::Recuadro) {
        setTitle(titulo);
    } else {
        setFlat(true);
        setStyleSheet(QStringLiteral("QGroupBox { border: none; }"));
        h->setContentsMargins(0, 0, 0, 0);
        h->addWidget(Kit::etiqueta(titulo, direccion_));
    }
    h->addWidget(direccion_, 1);
}

void MarcoCentro::mostrar(const QVariant& direccion)
{
    direccion_->setText(NuloATexto(direccion).toString());
}
