#include "reports/DocumentoEmpresa.h"

#include "plataforma/Reloj.h"
#include "reports/DocumentoInforme.h"

#include <QAbstractTextDocumentLayout>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextTable>

namespace {
QString e(const QString& texto)
{
    return texto.toHtmlEscaped();
}

QString fila(const QString& rotulo, const QString& valor)
{
    if (valor.trimmed().isEmpty())
        return {};
    return QStringLiteral("<tr><td style=\"color:#555555; padding:3px 12px 3px 0\">%1</td><td style=\"padding:3px "
                          "0\"><b>%2</b></td></tr>")
        .arg(e(rotulo), e(valor.trimmed()));
}

QString portada(const DatosEmpresa& d, int centros)
{
    QStringList lugar;
    for (const QString& parte :
         {QString(d.codPostal + QLatin1Char(' ') + d.poblacion).trimmed(), d.provincia.trimmed()})
        if (!parte.isEmpty())
            lugar << parte;
    QString datos = fila(QStringLiteral("CIF"), d.cif) + fila(QStringLiteral("Domicilio"), d.direccion) +
                    fila(QStringLiteral("Población"), lugar.join(QStringLiteral(", "))) +
                    fila(QStringLiteral("Responsable de la prevención"), d.persona) +
                    fila(QStringLiteral("Cargo"), d.cargo) +
                    fila(QStringLiteral("Formación en prevención"), d.formacion);
    if (d.trabajadores > 0)
        datos += fila(QStringLiteral("Trabajadores"), QString::number(d.trabajadores));
    datos += fila(QStringLiteral("Centros de trabajo"), QString::number(centros));
    return QStringLiteral("<p style=\"margin-top:120px; font-size:11pt; color:#555555\">EVALUACIÓN DE RIESGOS Y "
                          "PLANIFICACIÓN DE LA ACTIVIDAD PREVENTIVA</p><h1 style=\"font-size:22pt\">%1</h1>"
                          "<table cellspacing=\"0\" style=\"margin-top:24px\">%2</table>"
                          "<p style=\"margin-top:36px; color:#555555\">Documento de la empresa con todos sus centros "
                          "de trabajo, compuesto el %3.</p>")
        .arg(e(d.nombre), datos, Hoy().toString(QStringLiteral("dd/MM/yyyy")));
}

// Lo que va dentro del <body> de una parte (todo, si no tiene).
QString cuerpoHtml(const QString& html)
{
    static const QRegularExpression apertura(QStringLiteral("<body[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression cierre(QStringLiteral("</body\\s*>"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch inicio = apertura.match(html);
    if (!inicio.hasMatch())
        return html;
    const qsizetype fin = html.indexOf(cierre, inicio.capturedEnd());
    return html.mid(inicio.capturedEnd(), fin < 0 ? -1 : fin - inicio.capturedEnd());
}

// Las hojas de estilo de una parte, juntas.
QString estilosHtml(const QString& html)
{
    static const QRegularExpression estilo(QStringLiteral("<style[^>]*>(.*?)</style\\s*>"),
                                           QRegularExpression::CaseInsensitiveOption |
                                               QRegularExpression::DotMatchesEverythingOption);
    QString css;
    for (const QRegularExpressionMatch& m : estilo.globalMatch(html))
        css += m.captured(1) + QLatin1Char('\n');
    return css;
}

// La hoja de estilo de una parte, para lo que queda dentro de "ambito" (un selector): el documento de
// la empresa es uno solo, y la evaluación y el plan no dan el mismo estilo a lo que se llama igual.
// Lo que la parte pone a body o a html lo toma el ámbito, que lo pasa a lo de dentro.
QString estilosEnAmbito(const QString& css, const QString& ambito)
{
    static const QRegularExpression comentario(QStringLiteral("/\\*.*?\\*/"),
                                               QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression regla(QStringLiteral("([^{}]*)\\{([^{}]*)\\}"));
    static const QRegularExpression raiz(QStringLiteral("^(?:html|body)(?=$|[\\s>+~])"),
                                         QRegularExpression::CaseInsensitiveOption);
    QString limpio = css;
    limpio.remove(comentario);
    QString resultado;
    for (const QRegularExpressionMatch& m : regla.globalMatch(limpio)) {
        QStringList selectores;
        for (const QString& s : m.captured(1).split(QLatin1Char(','))) {
            QString selector = s.simplified();
            if (selector.isEmpty())
                continue;
            const QRegularExpressionMatch enRaiz = raiz.match(selector);
            selector =
                enRaiz.hasMatch() ? ambito + selector.mid(enRaiz.capturedEnd()) : ambito + QLatin1Char(' ') + selector;
            selectores << selector;
        }
        if (!selectores.isEmpty())
            resultado +=
                selectores.join(QStringLiteral(", ")) + QStringLiteral(" {") + m.captured(2) + QStringLiteral("}\n");
    }
    return resultado;
}
} // namespace

DocumentoEmpresa ComponerDocumentoEmpresa(const DatosEmpresa& empresa, const std::vector<ParteEmpresa>& partes)
{
    QStringList centros;
    for (const ParteEmpresa& p : partes)
        if (!centros.contains(p.centro))
            centros << p.centro;

    // Todo el documento sale de un solo HTML: unir documentos ya leídos copia cada uno dos veces.
    // Cada hoja de estilo distinta de las partes vale sólo dentro de las suyas.
    QStringList estilos;
    QString estiloEnAmbito;
    QString html = portada(empresa, int(centros.size()));
    html += QStringLiteral("<h2 style=\"page-break-before: always;\">Índice</h2>"
                           "<table width=\"100%\" cellpadding=\"3\">");
    for (const ParteEmpresa& p : partes)
        html += QStringLiteral("<tr><td width=\"88%\">%1</td><td width=\"12%\" align=\"right\"></td></tr>")
                    .arg(e(p.apartado + QStringLiteral(" — ") + p.centro));
    html += QStringLiteral("</table>");
    // Cada parte desde una hoja nueva, con una línea que dice de qué centro es y da nombre a sus hojas.
    // Los apartados de una parte ("seccion:Dependiente") dicen también de qué centro son
    // ("seccion:Nave · Dependiente"): en el documento de la empresa hay varios puestos que se llaman igual.
    const QString ancla = QStringLiteral("name=\"seccion:");
    for (const ParteEmpresa& p : partes) {
        const QString nombre = p.centro + QStringLiteral(" · ") + p.apartado;
        html += QStringLiteral("<p style=\"page-break-before: always; margin-top: 0px; margin-bottom: 0px;\">"
                               "<span style=\"color:#555555\"><a name=\"seccion:%1\">%2</a></span></p>")
                    .arg(e(nombre), e(QStringLiteral("Centro de trabajo: ") + nombre));
        if (!p.documento)
            continue;
        const QString css = estilosHtml(p.documento->html());
        qsizetype n = estilos.indexOf(css);
        if (n < 0) {
            n = estilos.size();
            estilos << css;
            estiloEnAmbito += estilosEnAmbito(css, QStringLiteral("div.estilo%1").arg(n));
        }
        QString cuerpo = cuerpoHtml(p.documento->html());
        cuerpo.replace(ancla, ancla + e(p.centro) + QStringLiteral(" · "));
        html += QStringLiteral("<div class=\"estilo%1\">").arg(n) + cuerpo + QStringLiteral("</div>");
    }
    html = QStringLiteral("<html><head><style>") + estiloEnAmbito + QStringLiteral("</style></head><body>") + html +
           QStringLiteral("</body></html>");

    const QString pie = QStringLiteral("Impreso el %1 | Página [[pagina]] de [[paginas]]")
                            .arg(Hoy().toString(QStringLiteral("dd/MM/yyyy")));
    DocumentoEmpresa resultado;
    resultado.documento =
        std::make_unique<DocumentoInforme>(html, QStringLiteral("Evaluación de riesgos y planificación preventiva"),
                                           empresa.nombre + QStringLiteral(" | [[seccion]]"), pie,
                                           QStringLiteral("Evaluación y planificación - ") + empresa.nombre);
    // Un documento que lleva un borrador dentro no se firma entero: lo es todo él.
    for (const ParteEmpresa& p : partes)
        if (p.documento && !p.documento->marca().trimmed().isEmpty()) {
            resultado.documento->fijarMarca(p.documento->marca());
            break;
        }

    // El índice es la primera tabla tras su título, y cada parte empieza en su línea del centro, en orden.
    QTextDocument& texto = resultado.documento->texto();
    QTextTable* indice = nullptr;
    std::vector<int> inicios;
    bool trasIndice = false;
    for (auto it = texto.rootFrame()->begin(); !it.atEnd() && inicios.size() < partes.size(); ++it) {
        if (QTextFrame* marco = it.currentFrame()) {
            if (trasIndice && !indice)
                indice = qobject_cast<QTextTable*>(marco);
            continue;
        }
        const QTextBlock b = it.currentBlock();
        if (!indice) {
            trasIndice = trasIndice || (b.blockFormat().headingLevel() == 2 && b.text() == QStringLiteral("Índice"));
            continue;
        }
        const ParteEmpresa& p = partes[inicios.size()];
        const QString nombre = p.centro + QStringLiteral(" · ") + p.apartado;
        if ((b.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) &&
            b.text() == QStringLiteral("Centro de trabajo: ") + nombre && b.begin() != b.end() &&
            b.begin().fragment().charFormat().anchorNames() == QStringList{QStringLiteral("seccion:") + nombre})
            inicios.push_back(b.position());
    }

    resultado.documento->paginas();
    for (int inicio : inicios)
        resultado.primerasHojas.push_back(resultado.documento->hojaDe(inicio));
    // Cada hoja en su celda vacía: la fila no cambia de alto y el documento sigue compuesto como estaba.
    for (int i = 0; indice && i < int(resultado.primerasHojas.size()) && i < indice->rows(); ++i)
        indice->cellAt(i, 1).firstCursorPosition().insertText(QString::number(resultado.primerasHojas[i]));
    return resultado;
}
