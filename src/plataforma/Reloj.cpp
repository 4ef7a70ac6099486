#include "plataforma/Reloj.h"

namespace {
QDate& diaFijado()
{
    static QDate dia;
    return dia;
}
} // namespace

QDate Hoy()
{
    return diaFijado().isValid() ? diaFijado() : QDate::currentDate();
}

void FijarHoy(const QDate& dia)
{
    diaFijado() = dia;
}
