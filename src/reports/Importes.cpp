#include "Importes.h"

#include <QRegularExpression>
#include <cmath>

std::optional<double> LeerImporte(const QString& texto)
{
    QString t = texto.trimmed();
    static const QRegularExpression moneda(QStringLiteral("\\s*(€|eur|euros)$"),
                                           QRegularExpression::CaseInsensitiveOption);
    t.remove(moneda);
    t.remove(QLatin1Char(' '));
    if (t.isEmpty())
        return std::nullopt;
    // Con coma decimal los puntos sólo pueden separar miles; sin coma, "1.500" son miles y
    // "12.5" lleva punto decimal (como lo escribe quien viene de una hoja de cálculo inglesa).
    static const QRegularExpression espanol(QStringLiteral("^-?(\\d{1,3}(\\.\\d{3})+|\\d+)(,\\d+)?$"));
    static const QRegularExpression puntoDecimal(QStringLiteral("^-?\\d+\\.\\d+$"));
    if (espanol.match(t).hasMatch()) {
        t.remove(QLatin1Char('.'));
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
