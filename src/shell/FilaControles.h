#pragma once

#include <QHBoxLayout>
#include <QWidget>
#include <initializer_list>

namespace Kit {

// Una fila de controles de izquierda a derecha, como los botones de un pie de ventana. Un nullptr
// en la lista deja en su sitio un hueco que se estira: lo que va detrás queda a la derecha.
inline QHBoxLayout* fila(std::initializer_list<QWidget*> controles)
{
    auto* f = new QHBoxLayout;
    for (QWidget* c : controles) {
        if (c)
            f->addWidget(c);
        else
            f->addStretch();
    }
    return f;
}

} // namespace Kit
