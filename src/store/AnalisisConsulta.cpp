#include "store/AnalisisConsulta.h"

#include <QDate>
#include <QRegularExpression>

namespace {
// Sin orden pedido, las filas salen por su identificador ascendente, como siempre: las ventanas
// toman la última fila por la recién añadida. SQLite no lo garantiza cuando recorre un índice,
// así que a una consulta sencilla de una sola tabla o vista se le añade el orden por su clave
// (en una tabla, el orden en que el motor guarda sus filas).
// La columna de orden es la columna entera por la que salen ordenadas las filas, si se sabe.
Conexion::ConsultaPreparada analizarOrden(Conexion& con, const QString& sql)
{
    static const QRegularExpression sencilla(
        QStringLiteral(R"(^\s*select\s.+?\sfrom\s+(\[[^\]]+\]|"[^"]+"|[^\s;,()\[\]"]+)\s*(\swhere\s.*)?;?\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption |
            QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression excluida(
        QStringLiteral(
            R"(\b(order|group|limit|union|distinct|join|having|except|intersect)\b|\(\s*select\b|\b(max|min|count|sum|avg|total|group_concat)\s*\()"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = sencilla.match(sql);
    if (!m.hasMatch() || excluida.match(sql).hasMatch())
        return {sql.toUtf8(), {}};
    QString nombre = m.captured(1);
    if (nombre.size() > 1 && (nombre[0] == '[' || nombre[0] == '"'))
        nombre = nombre.mid(1, nombre.size() - 2);
    const QString origen = con.origenExacto(nombre);
    if (origen.isEmpty())
        return {sql.toUtf8(), {}};
    QString sinFin = sql.trimmed();
    if (sinFin.endsWith(';'))
        sinFin.chop(1);
    const QString clave = con.claveDe(origen);
    if (con.esVista(origen))
        return {(sinFin + " ORDER BY " + citarNombre(clave)).toUtf8(), clave};
    return {(sinFin + " ORDER BY " + con.motor().ordenDeFilas(clave)).toUtf8(),
            con.claveEsNumeroDeFila(origen) ? clave : QString()};
}
} // namespace

QString citarNombre(const QString& nombre)
{
    QString n = nombre;
    n.replace('"', "\"\"");
    return '"' + n + '"';
}

const Conexion::ConsultaPreparada& conOrdenNatural(Conexion& con, const QString& sql)
{
    if (const Conexion::ConsultaPreparada* hecha = con.consultaPreparada(sql))
        return *hecha;
    return con.guardarConsulta(sql, analizarOrden(con, sql));
}

QString nombreTrasFrom(const QString& sql)
{
    static const QRegularExpression desde(QStringLiteral(R"(\bfrom\s+(\[[^\]]+\]|"[^"]+"|`[^`]+`|[^\s;,()]+))"),
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::UseUnicodePropertiesOption);
    const QRegularExpressionMatch m = desde.match(sql);
    QString nombre = m.hasMatch() ? m.captured(1) : QString();
    if (nombre.size() > 1 && QStringLiteral("[\"`").contains(nombre[0]))
        nombre = nombre.mid(1, nombre.size() - 2);
    return nombre;
}

bool analizarCriterio(const QString& criterio, QString& campo, QVariant& valor)
{
    const QString s = criterio.trimmed();
    int i = 0;
    if (s.startsWith('[')) {
        const int cierre = s.indexOf(']');
        if (cierre < 0)
            return false;
        campo = s.mid(1, cierre - 1).trimmed();
        i = cierre + 1;
    } else {
        while (i < s.size() && (s[i].isLetterOrNumber() || s[i] == '_'))
            ++i;
        campo = s.left(i);
    }
    if (campo.isEmpty())
        return false;
    QString resto = s.mid(i).trimmed();
    if (!resto.startsWith('='))
        return false;
    resto = resto.mid(1).trimmed();
    if (resto.isEmpty())
        return false;
    const QChar q = resto[0];
    if (q == '\'' || q == '"') {
        const int ultima = resto.lastIndexOf(q);
        if (ultima == 0)
            return false;
        valor = resto.mid(1, ultima - 1);
        return resto.mid(ultima + 1).trimmed().isEmpty();
    }
    bool ok = false;
    const double n = resto.toDouble(&ok);
    if (!ok)
        return false;
    valor = n;
    return true;
}

bool coincideCriterio(const QVariant& celda, const QVariant& buscado)
{
    if (celda.isNull())
        return false;
    if (buscado.typeId() == QMetaType::Double) {
        bool ok = false;
        const double n = celda.toDouble(&ok);
        return ok && n == buscado.toDouble();
    }
    QString texto;
    if (celda.typeId() == QMetaType::QDate)
        texto = celda.toDate().toString(Qt::ISODate);
    else
        texto = celda.toString();
    return texto.compare(buscado.toString(), Qt::CaseInsensitive) == 0;
}
