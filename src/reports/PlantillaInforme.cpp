#include "reports/PlantillaInforme.h"

#include "store/ErrorBD.h"

#include <QDir>
#include <QFile>
#include <QObject>
#include <QRegularExpression>

namespace {
[[noreturn]] void malFormada(int linea, const QString& motivo)
{
    throw ErrorBD(NumeroError::ErrorGeneral,
                  QObject::tr("La plantilla del informe no es válida (línea %1): %2").arg(linea).arg(motivo));
}

bool esNombre(const QString& s)
{
    static const QRegularExpression nombre(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return nombre.match(s).hasMatch();
}
} // namespace

PlantillaInforme PlantillaInforme::leer(const QString& ruta)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        throw ErrorBD(
            NumeroError::ArchivoNoEncontrado,
            QObject::tr("No se encuentra la plantilla del informe «%1».").arg(QDir::toNativeSeparators(ruta)));
    return analizar(QString::fromUtf8(f.readAll()));
}

PlantillaInforme PlantillaInforme::analizar(const QString& texto)
{
    PlantillaInforme p;
    const QStringList lineas = texto.split(QLatin1Char('\n'));
    QString* bloque = nullptr; // @comun o la consulta en curso
    bool conHtml = false;
    for (int n = 0; n < lineas.size(); ++n) {
        QString linea = lineas[n];
        if (linea.endsWith(QLatin1Char('\r')))
            linea.chop(1);
        if (!linea.startsWith(QLatin1Char('@'))) {
            if (linea.trimmed().startsWith(QLatin1Char('#')) || linea.trimmed().isEmpty())
                continue;
            if (!bloque)
                malFormada(n + 1, QObject::tr("texto fuera de una directiva"));
            *bloque += linea + QLatin1Char('\n');
            continue;
        }
        const qsizetype espacio = linea.indexOf(QLatin1Char(' '));
        const QString directiva = linea.mid(1, espacio < 0 ? -1 : espacio - 1);
        const QString resto = espacio < 0 ? QString() : linea.mid(espacio + 1).trimmed();
        bloque = nullptr;
        if (directiva == QLatin1String("titulo")) {
            p.titulo = resto;
        } else if (directiva == QLatin1String("cabecera")) {
            p.cabecera = resto;
        } else if (directiva == QLatin1String("pie")) {
            p.pie = resto;
        } else if (directiva == QLatin1String("archivo")) {
            p.archivo = resto;
        } else if (directiva == QLatin1String("marca")) {
            p.marca = resto;
        } else if (directiva == QLatin1String("comun")) {
            bloque = &p.comun;
        } else if (directiva == QLatin1String("consulta")) {
            // "nombre" o "nombre en padre por campo1, campo2"
            static const QRegularExpression forma(QStringLiteral("^(\\w+)(?:\\s+en\\s+(\\w+)\\s+por\\s+(.+))?$"));
            const auto m = forma.match(resto);
            if (!m.hasMatch())
                malFormada(n + 1, QObject::tr("consulta sin nombre o mal escrita"));
            ConsultaPlantilla c;
            c.nombre = m.captured(1);
            c.padre = m.captured(2);
            for (const QString& clave : m.captured(3).split(QLatin1Char(','), Qt::SkipEmptyParts))
                c.claves << clave.trimmed();
            for (const QString& clave : c.claves)
                if (!esNombre(clave))
                    malFormada(n + 1, QObject::tr("campo de unión «%1» no válido").arg(clave));
            if (!c.padre.isEmpty()) {
                const bool padreAntes = std::any_of(p.consultas.begin(), p.consultas.end(),
                                                    [&](const ConsultaPlantilla& o) { return o.nombre == c.padre; });
                if (!padreAntes || c.claves.isEmpty())
                    malFormada(n + 1, QObject::tr("la consulta «%1» cuelga de otra que no está antes").arg(c.nombre));
            }
            p.consultas.push_back(std::move(c));
            bloque = &p.consultas.back().sql;
        } else if (directiva == QLatin1String("total")) {
            static const QRegularExpression forma(QStringLiteral("^(\\w+)\\.(\\w+)\\s+(\\w+)$"));
            const auto m = forma.match(resto);
            if (!m.hasMatch())
                malFormada(n + 1, QObject::tr("total mal escrito"));
            p.totales.push_back({m.captured(1), m.captured(2), m.captured(3)});
        } else if (directiva == QLatin1String("html")) {
            // La maquetación llega hasta el final: dentro de ella nada es directiva.
            QStringList resto = lineas.mid(n + 1);
            p.html = resto.join(QLatin1Char('\n'));
            conHtml = true;
            break;
        } else {
            malFormada(n + 1, QObject::tr("directiva desconocida «@%1»").arg(directiva));
        }
    }
    if (!conHtml)
        malFormada(lineas.size(), QObject::tr("falta la maquetación (@html)"));
    for (const ConsultaPlantilla& c : p.consultas)
        if (c.sql.trimmed().isEmpty())
            malFormada(lineas.size(), QObject::tr("la consulta «%1» está vacía").arg(c.nombre));
    return p;
}
