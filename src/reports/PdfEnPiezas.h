#pragma once

#include <QString>
#include <QStringList>

class QIODevice;

// Un documento largo se escribe en PDF a trozos, cada uno compuesto y pintado en su propio hilo (la
// letra compuesta en un hilo sólo se puede pintar en él), y los PDF de los hilos se unen en uno.
// Los trozos se parten delante de los saltos de hoja pedidos, fuera de tablas y bloques: así cada
// uno se reparte en hojas igual que dentro del documento entero y el PDF sale igual.

// Trozos de un HTML de informe, cada uno con la cabecera (<head>) del documento; uno solo si no se
// puede partir.
QStringList PiezasDeHoja(const QString& html);

struct HojasDocumento
{
    QString titulo, cabecera, pie, marca;
};

// Compone y pinta los trozos en hasta cuatro hilos y escribe el PDF unido en "destino". False si
// algo falla; lo escrito entonces no sirve.
bool EscribirPdfEnPiezas(const QStringList& piezas, const HojasDocumento& hojas, QIODevice& destino);
