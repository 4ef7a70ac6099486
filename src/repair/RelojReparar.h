#pragma once

#include <QChar>
#include <QtGlobal>
#include <array>

// Minutos y segundos del reloj de Reparar y las cuatro cifras que se ven: decenas y unidades
// de minutos, decenas y unidades de segundos.
class RelojReparar
{
public:
    // Un segundo más; a los 59 pasa a 0 y suma un minuto.
    void avanzar();
    // Cifras que toca mostrar. Desde los 100 minutos, las dos de minutos son la primera y la
    // última cifra de la cuenta.
    std::array<QChar, 4> cifras() const;

    qint16 Segundos = 0;
    qint16 Minutos = 0;
};
