#include "shell/TextoBusqueda.h"

#include <QRegularExpression>

QString TextoParaBuscar(const QString& texto)
{
    // Descompuesta, cada letra acentuada es su letra base seguida de la marca: basta quitar las marcas.
    const QString descompuesto = texto.normalized(QString::NormalizationForm_D);
    QString limpio;
    limpio.reserve(descompuesto.size());
    for (const QChar c : descompuesto)
        if (c.category() != QChar::Mark_NonSpacing)
            limpio.append(c);
    return limpio.toCaseFolded();
}

QStringList PalabrasBuscadas(const QString& escrito)
{
    static const QRegularExpression blancos(QStringLiteral("\\s+"));
    return TextoParaBuscar(escrito).split(blancos, Qt::SkipEmptyParts);
}

bool ContieneTodas(const QString& preparado, const QStringList& palabras)
{
    for (const QString& p : palabras)
        if (!preparado.contains(p))
            return false;
    return true;
}
