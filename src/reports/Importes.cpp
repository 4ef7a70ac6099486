#include "reports/Importes.h"

#include <QRegularExpression>
#include <cmath>

namespace {
const QString Ejemplo = QStringLiteral("1.234,56");

// Los blancos que no se parten (los pone el corrector o una hoja de cálculo) valen como blanco.
QString blancosNormales(QString t)
{
    for (const char16_t c : {u'\u00A0', u'\u202F', u'\u2007', u'\u2009'})
        t.replace(QChar(c), QLatin1Char(' '));
    return t.trimmed();
}

std::optional<double> numero(QString t)
{
    static const QRegularExpression espanol(
        QStringLiteral("^(\\d{1,3}(\\.\\d{3})+|\\d{1,3}( \\d{3})+|\\d+)(,\\d{1,2})?$"));
    static const QRegularExpression puntoDecimal(QStringLiteral("^\\d+\\.\\d{1,2}$"));
    if (espanol.match(t).hasMatch()) {
        t.remove(QLatin1Char('.')).remove(QLatin1Char(' '));
        t.replace(QLatin1Char(','), QLatin1Char('.'));
    } else if (!puntoDecimal.match(t).hasMatch()) {
        return std::nullopt;
    }
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}
} // namespace

LecturaImporte AnalizarImporte(const QString& texto)
{
    using Tipo = LecturaImporte::Tipo;
    QString t = blancosNormales(texto);
    if (t.isEmpty())
        return {};
    static const QRegularExpression moneda(QStringLiteral("^€\\s*|\\s*(€|eur|euros)$"),
                                           QRegularExpression::CaseInsensitiveOption);
    t.remove(moneda);
    t = t.trimmed();
    bool negativo = false;
    if (t.startsWith(QLatin1Char('-')) || t.startsWith(QChar(u'\u2212'))) {
        negativo = true;
        t = t.mid(1).trimmed();
    }
    static const QRegularExpression pareceNumero(QStringLiteral("^[\\d., ]*\\d[\\d., ]*$"));
    if (!pareceNumero.match(t).hasMatch())
        return {Tipo::Texto, 0};
    const auto v = numero(t);
    if (!v)
        return {Tipo::Ambiguo, 0};
    return {negativo ? Tipo::Negativo : Tipo::Importe, negativo ? -*v : *v};
}

std::optional<double> LeerImporte(const QString& texto)
{
    const LecturaImporte l = AnalizarImporte(texto);
    if (l.tipo != LecturaImporte::Tipo::Importe)
        return std::nullopt;
    return l.valor;
}

QString ProblemaImporte(const QString& texto)
{
    switch (AnalizarImporte(texto).tipo) {
    case LecturaImporte::Tipo::Negativo:
        return QStringLiteral("El presupuesto «%1» es negativo y un presupuesto no puede restar del total. "
                              "Escriba el importe sin el signo menos, por ejemplo %2.")
            .arg(texto.trimmed(), Ejemplo);
    case LecturaImporte::Tipo::Ambiguo:
        return QStringLiteral("No se sabe qué importe es «%1». Escriba el presupuesto en euros con coma para los "
                              "céntimos y, si quiere, punto para los miles, por ejemplo %2 (o 1234,56).")
            .arg(texto.trimmed(), Ejemplo);
    default:
        return {};
    }
}

QString FormatoImporte(double importe)
{
    const bool negativo = importe < 0;
    const long long centimos = std::llround(std::fabs(importe) * 100.0);
    QString entero = QString::number(centimos / 100);
    for (qsizetype i = entero.size() - 3; i > 0; i -= 3)
        entero.insert(i, QLatin1Char('.'));
    return (negativo && centimos ? QStringLiteral("-") : QString()) + entero + QLatin1Char(',') +
           QStringLiteral("%1").arg(centimos % 100, 2, 10, QLatin1Char('0'));
}
