#pragma once

#include <QColor>
#include <QString>

// Lo que devuelve la ventana cuando la cuadrícula le pide la nota de una celda.
// Texto vacío: no se enseña nada.
struct CellTip
{
    QString text;
    int fontSize = 0; // puntos; 0 deja la letra de la cuadrícula
    bool bold = false;
    QColor textColor;
    QColor fillColor;
    bool wordWrap = true; // parte las líneas largas a la anchura fijada

    // Colores con el número de siempre (&HBBGGRR, o &H800000nn para los del sistema).
    static QColor oleColor(quint32 ole);
};
