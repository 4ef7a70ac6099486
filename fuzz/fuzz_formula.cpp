// Fórmula de selección de los informes: nunca se cuelga ni lee fuera del texto, y lo que acepta
// se puede volver a escribir y leer con el mismo resultado.
#include "reports/FormulaSeleccion.h"

#include <QLocale>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
QString escribirValor(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::LongLong:
        return QString::number(v.toLongLong());
    case QMetaType::Double: {
        QString n = QString::number(v.toDouble(), 'f', QLocale::FloatingPointShortest);
        if (!n.contains(QLatin1Char('.')))
            n += QStringLiteral(".0");
        return n;
    }
    case QMetaType::QString: {
        QString t = v.toString();
        t.replace(QLatin1Char('\''), QStringLiteral("''"));
        return QLatin1Char('\'') + t + QLatin1Char('\'');
    }
    default:
        std::fprintf(stderr, "valor de tipo inesperado %d\n", v.typeId());
        std::abort();
    }
}

bool iguales(const std::vector<CondicionSeleccion>& a, const std::vector<CondicionSeleccion>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].tabla != b[i].tabla || a[i].campo != b[i].campo || a[i].valor.typeId() != b[i].valor.typeId() ||
            a[i].valor != b[i].valor)
            return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t tamano)
{
    const QString formula = QString::fromUtf8(reinterpret_cast<const char*>(datos), qsizetype(tamano));
    const auto condiciones = AnalizarFormula(formula);
    if (!condiciones)
        return 0;
    QStringList partes;
    for (const CondicionSeleccion& c : *condiciones) {
        if (c.tabla.isEmpty() || c.campo.isEmpty() || c.tabla[0].isDigit() || c.campo[0].isDigit())
            std::abort();
        partes << QLatin1Char('{') + c.nombre() + QStringLiteral("}=") + escribirValor(c.valor);
    }
    const QString reescrita = partes.join(QStringLiteral(" and "));
    const auto otra = AnalizarFormula(reescrita);
    if (!otra || !iguales(*condiciones, *otra)) {
        std::fprintf(stderr, "La fórmula «%s» se lee distinta al reescribirla como «%s»\n",
                     formula.toUtf8().constData(), reescrita.toUtf8().constData());
        std::abort();
    }
    return 0;
}
