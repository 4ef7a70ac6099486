#include "reports/DocumentoEmpresa.h"

#include "plataforma/Reloj.h"
#include "reports/DocumentoInforme.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocumentFragment>
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

// Los apartados de una parte ("seccion:Dependiente") dicen también de qué centro son
// ("seccion:Nave · Dependiente"): en el documento de la empresa hay varios puestos que se llaman igual.
void apartadosDelCentro(QTextDocument& texto, int desde, int hasta, const QString& centro)
{
    const QString prefijo = QStringLiteral("seccion:");
    for (QTextBlock b = texto.findBlock(desde); b.isValid() && b.position() < hasta; b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment trozo = it.fragment();
            QStringList nombres = trozo.charFormat().anchorNames();
            bool cambia = false;
            for (QString& nombre : nombres)
                if (nombre.startsWith(prefijo)) {
                    nombre = prefijo + centro + QStringLiteral(" · ") + nombre.mid(prefijo.size());
                    cambia = true;
                }
            if (!cambia)
                continue;
            QTextCursor seleccion(&texto);
            seleccion.setPosition(trozo.position());
            seleccion.setPosition(trozo.position() + trozo.length(), QTextCursor::KeepAnchor);
            QTextCharFormat formato;
            formato.setAnchor(true);
            formato.setAnchorNames(nombres);
            seleccion.mergeCharFormat(formato);
        }
}
} // namespace

DocumentoEmpresa ComponerDocumentoEmpresa(const DatosEmpresa& empresa, const std::vector<ParteEmpresa>& partes)
{
    QStringList centros;
    for (const ParteEmpresa& p : partes)
        if (!centros.contains(p.centro))
            centros << p.centro;
    const QString pie = QStringLiteral("Impreso el %1 | Página [[pagina]] de [[paginas]]")
                            .arg(Hoy().toString(QStringLiteral("dd/MM/yyyy")));
    DocumentoEmpresa resultado;
    resultado.documento = std::make_unique<DocumentoInforme>(
        portada(empresa, int(centros.size())), QStringLiteral("Evaluación de riesgos y planificación preventiva"),
        empresa.nombre + QStringLiteral(" | [[seccion]]"), pie,
        QStringLiteral("Evaluación y planificación - ") + empresa.nombre);
    QTextDocument& texto = resultado.documento->texto();
    // Un documento que lleva un borrador dentro no se firma entero: lo es todo él.
    for (const ParteEmpresa& p : partes)
        if (p.documento && !p.documento->marca().trimmed().isEmpty()) {
            resultado.documento->fijarMarca(p.documento->marca());
            break;
        }

    // El índice, en una hoja nueva; las hojas se ponen cuando el documento está compuesto.
    QTextCursor cursor(&texto);
    cursor.movePosition(QTextCursor::End);
    QTextBlockFormat hojaNueva;
    hojaNueva.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    cursor.insertBlock(hojaNueva);
    cursor.insertHtml(QStringLiteral("<h2>Índice</h2>"));
    QTextTableFormat formatoIndice;
    formatoIndice.setBorder(0);
    formatoIndice.setCellPadding(3);
    formatoIndice.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    formatoIndice.setColumnWidthConstraints(
        {QTextLength(QTextLength::PercentageLength, 88), QTextLength(QTextLength::PercentageLength, 12)});
    QTextTable* indice = partes.empty() ? nullptr : cursor.insertTable(int(partes.size()), 2, formatoIndice);
    for (int i = 0; i < int(partes.size()); ++i) {
        QTextCursor celda = indice->cellAt(i, 0).firstCursorPosition();
        celda.insertText(partes[i].apartado + QStringLiteral(" — ") + partes[i].centro);
        QTextBlockFormat derecha;
        derecha.setAlignment(Qt::AlignRight);
        indice->cellAt(i, 1).firstCursorPosition().setBlockFormat(derecha);
    }

    // Cada parte desde una hoja nueva, con una línea que dice de qué centro es y da nombre a sus hojas.
    std::vector<int> inicios;
    for (const ParteEmpresa& p : partes) {
        cursor.movePosition(QTextCursor::End);
        cursor.insertBlock(hojaNueva);
        inicios.push_back(cursor.position());
        const QString nombre = p.centro + QStringLiteral(" · ") + p.apartado;
        cursor.insertHtml(QStringLiteral("<span style=\"color:#555555\"><a name=\"seccion:%1\">%2</a></span>")
                              .arg(e(nombre), e(QStringLiteral("Centro de trabajo: ") + nombre)));
        cursor.insertBlock(QTextBlockFormat());
        if (p.documento) {
            const int desde = cursor.position();
            cursor.insertFragment(QTextDocumentFragment(&p.documento->texto()));
            apartadosDelCentro(texto, desde, cursor.position(), p.centro);
        }
    }

    resultado.documento->paginas();
    for (int inicio : inicios)
        resultado.primerasHojas.push_back(resultado.documento->hojaDe(inicio));
    // Cada hoja en su celda vacía: la fila no cambia de alto y el documento sigue compuesto como estaba.
    for (int i = 0; i < int(partes.size()); ++i)
        indice->cellAt(i, 1).firstCursorPosition().insertText(QString::number(resultado.primerasHojas[i]));
    return resultado;
}
