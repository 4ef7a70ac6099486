#include "repair/RelojReparar.h"

#include <QString>
#include <limits>

namespace {
// Una sola cifra va en las unidades con un "0" delante; si hay más, la primera y la última.
std::array<QChar, 2> decenasYUnidades(qint16 valor)
{
    const QString texto = QString::number(valor);
    if (texto.size() == 1)
        return {QLatin1Char('0'), texto.front()};
    return {texto.front(), texto.back()};
}
} // namespace

void RelojReparar::avanzar()
{
    if (Segundos == 59) {
        Segundos = 0;
        // Tras semanas abierto se queda en el máximo en vez de dar la vuelta a negativo.
        if (Minutos < std::numeric_limits<qint16>::max())
            ++Minutos;
    } else {
        ++Segundos;
    }
}

std::array<QChar, 4> RelojReparar::cifras() const
{
    const auto m = decenasYUnidades(Minutos);
    const auto s = decenasYUnidades(Segundos);
    return {m[0], m[1], s[0], s[1]};
}
