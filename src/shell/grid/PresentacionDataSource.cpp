#include "shell/grid/DataSource.h"

#include <QBrush>
#include <QDate>
#include <QDateTime>

// Cómo se ve cada celda: el texto de su valor (con el de la lista de la columna si lo tiene), la
// casilla, la alineación, los colores de su nivel y lo que el delegado necesita para editarla.

namespace {
QString textoDe(const QVariant& v)
{
    if (v.isNull())
        return {};
    switch (v.typeId()) {
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case QMetaType::QDateTime:
        return v.toDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm"));
    default:
        return v.toString();
    }
}
} // namespace

QString DataSource::shownText(const GridColumn& columna, const QVariant& valor)
{
    if (columna.presentation == GridColumn::Presentation::ValueList && !valor.isNull())
        for (const ValueItem& v : columna.values)
            if (v.stored.toString() == valor.toString())
                return v.shown;
    return textoDe(valor);
}

QVariant DataSource::storedFromShown(const GridColumn& columna, const QString& texto)
{
    for (const ValueItem& v : columna.values)
        if (v.shown == texto)
            return v.stored;
    return texto;
}

QVariant DataSource::presentar(const GridColumn& c, const QVariant& v, int papel)
{
    const bool casilla = c.presentation == GridColumn::Presentation::CheckBox;
    switch (papel) {
    case Qt::DisplayRole:
        return casilla ? QVariant() : QVariant(shownText(c, v));
    case Qt::EditRole:
        if (!casilla && c.presentation == GridColumn::Presentation::Text && v.isNull())
            return QString();
        return v;
    case Qt::CheckStateRole:
        if (!casilla)
            return {};
        return v.toString() == MarcaSi ? Qt::Checked : Qt::Unchecked;
    case Qt::TextAlignmentRole:
        return casilla ? int(Qt::AlignCenter) : int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::BackgroundRole:
    case Qt::ForegroundRole: {
        const QColor fondo = c.background ? c.background(v) : QColor();
        if (!fondo.isValid())
            return {};
        if (papel == Qt::BackgroundRole)
            return QBrush(fondo);
        return QBrush(fondo.lightness() >= 128 ? QColor(Qt::black) : QColor(Qt::white));
    }
    case Qt::AccessibleTextRole:
        return casilla ? (v.toString() == MarcaSi ? tr("Marcado") : tr("Sin marcar")) : shownText(c, v);
    case GridRole::Presentation:
        return int(c.presentation);
    case GridRole::Values: {
        QVariantList lista;
        for (const ValueItem& e : c.values)
            lista << QVariant(QVariantList{e.stored, e.shown});
        return lista;
    }
    case GridRole::VisibleItems:
        return c.visibleItems;
    case GridRole::WordWrap:
        return c.wordWrap && !casilla;
    default:
        return {};
    }
}
