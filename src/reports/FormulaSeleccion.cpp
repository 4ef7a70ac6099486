#include "reports/FormulaSeleccion.h"

namespace {
class Lector
{
public:
    explicit Lector(const QString& texto) : t_(texto) {}

    void saltarBlancos()
    {
        while (i_ < t_.size() && t_[i_].isSpace())
            ++i_;
    }
    bool fin()
    {
        saltarBlancos();
        return i_ >= t_.size();
    }
    bool tomar(QChar c)
    {
        saltarBlancos();
        if (i_ < t_.size() && t_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    // Nombre de tabla o campo: letras (también acentuadas), cifras y subrayado, sin empezar por cifra.
    QString identificador()
    {
        saltarBlancos();
        const qsizetype inicio = i_;
        while (i_ < t_.size() && (t_[i_].isLetterOrNumber() || t_[i_] == QLatin1Char('_')))
            ++i_;
        const QString id = t_.mid(inicio, i_ - inicio);
        return id.isEmpty() || id[0].isDigit() ? QString() : id;
    }
    // "and" como palabra entera, sin distinguir mayúsculas.
    bool palabraY()
    {
        saltarBlancos();
        if (t_.mid(i_, 3).compare(QLatin1String("and"), Qt::CaseInsensitive) != 0)
            return false;
        if (i_ + 3 < t_.size() && (t_[i_ + 3].isLetterOrNumber() || t_[i_ + 3] == QLatin1Char('_')))
            return false;
        i_ += 3;
        return true;
    }
    std::optional<QVariant> valor()
    {
        saltarBlancos();
        if (i_ >= t_.size())
            return std::nullopt;
        const QChar c = t_[i_];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // Texto entre comillas; la comilla doblada vale por una.
            QString texto;
            ++i_;
            while (i_ < t_.size()) {
                if (t_[i_] == c) {
                    if (i_ + 1 < t_.size() && t_[i_ + 1] == c) {
                        texto += c;
                        i_ += 2;
                        continue;
                    }
                    ++i_;
                    return QVariant(texto);
                }
                texto += t_[i_++];
            }
            return std::nullopt;
        }
        const qsizetype inicio = i_;
        if (c == QLatin1Char('-'))
            ++i_;
        while (i_ < t_.size() && (t_[i_].isDigit() || t_[i_] == QLatin1Char('.')))
            ++i_;
        const QString numero = t_.mid(inicio, i_ - inicio);
        if (i_ < t_.size() && (t_[i_].isLetter() || t_[i_] == QLatin1Char('_')))
            return std::nullopt;
        bool ok = false;
        if (!numero.contains(QLatin1Char('.'))) {
            const qlonglong entero = numero.toLongLong(&ok);
            if (ok)
                return QVariant(entero);
            return std::nullopt;
        }
        const double real = numero.toDouble(&ok);
        return ok ? std::optional<QVariant>(QVariant(real)) : std::nullopt;
    }

private:
    const QString& t_;
    qsizetype i_ = 0;
};
} // namespace

std::optional<std::vector<CondicionSeleccion>> AnalizarFormula(const QString& formula)
{
    std::vector<CondicionSeleccion> condiciones;
    Lector l(formula);
    if (l.fin())
        return condiciones;
    do {
        CondicionSeleccion c;
        if (!l.tomar(QLatin1Char('{')))
            return std::nullopt;
        c.tabla = l.identificador();
        if (c.tabla.isEmpty() || !l.tomar(QLatin1Char('.')))
            return std::nullopt;
        c.campo = l.identificador();
        if (c.campo.isEmpty() || !l.tomar(QLatin1Char('}')) || !l.tomar(QLatin1Char('=')))
            return std::nullopt;
        const auto v = l.valor();
        if (!v)
            return std::nullopt;
        c.valor = *v;
        // Dos valores para el mismo campo no caben en una condición enlazada: se rechaza.
        for (const CondicionSeleccion& otra : condiciones)
            if (otra.nombre().compare(c.nombre(), Qt::CaseInsensitive) == 0)
                return std::nullopt;
        condiciones.push_back(std::move(c));
        if (l.fin())
            return condiciones;
    } while (l.palabraY());
    return std::nullopt;
}
