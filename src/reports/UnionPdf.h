#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

class QIODevice;

// Une en un solo PDF, con sus hojas una parte tras otra, varios PDF escritos por QPdfWriter (una sola
// tabla de referencias, un árbol de hojas plano, sin flujos de objetos): los del documento escrito
// a trozos en varios hilos. Cada trozo conserva sus objetos (letras, estados gráficos, contenidos)
// con otros números; el catálogo y los datos del documento son los del primero. Si alguno no tiene
// esa forma no escribe nada y dice por qué en "error".
bool UnirPdf(const std::vector<QByteArray>& partes, QIODevice& destino, QString* error = nullptr);

// Hojas seguidas de una parte: las "cuantas" que empiezan en la "desde" (desde 0).
struct TramoHojas
{
    int parte = 0, desde = 0, cuantas = 0;
};

// Lo mismo con las hojas en el orden de los tramos, que han de llevar cada hoja de cada parte una
// sola vez (los hilos no componen los trozos en el orden del documento).
bool UnirPdf(const std::vector<QByteArray>& partes, const std::vector<TramoHojas>& orden, QIODevice& destino,
             QString* error = nullptr);
