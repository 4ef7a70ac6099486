#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

class QIODevice;

// Une en un solo PDF, con sus hojas en el orden dado, varios PDF escritos por QPdfWriter (una sola
// tabla de referencias, un árbol de hojas plano, sin flujos de objetos): los del documento escrito
// a trozos en varios hilos. Cada trozo conserva sus objetos (letras, estados gráficos, contenidos)
// con otros números; el catálogo y los datos del documento son los del primero. Si alguno no tiene
// esa forma no escribe nada y dice por qué en "error".
bool UnirPdf(const std::vector<QByteArray>& partes, QIODevice& destino, QString* error = nullptr);
