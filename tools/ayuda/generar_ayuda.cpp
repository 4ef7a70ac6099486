// Convierte los documentos de ayuda, escritos en Markdown, en los PDF que abre el programa.
// Uso: generar_ayuda <fuente.md> <destino.pdf> [<fuente.md> <destino.pdf>...]
//
// Cada página lleva arriba el título del documento y abajo "Página N de M"; las hojas se cortan
// como las de los informes, sin partir una fila de tabla. Las imágenes se
// buscan junto a la fuente y se reducen al ancho de la página. Un PDF se escribe entero o no se
// escribe: si algo falla queda el anterior y la orden termina con error.
#include "reports/CorteHojas.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>

#include <climits>
#include <cstdio>

namespace {
constexpr int Resolucion = 300; // puntos por pulgada del PDF
const QColor Azul(20, 58, 120);

// Los márgenes de los párrafos van en puntos del PDF; los bordes y rellenos de las tablas y el
// tamaño de las imágenes, en píxeles de pantalla (96 por pulgada), que el diseñador del
// documento lleva él mismo a la resolución del PDF.
double puntos(double pt)
{
    return pt * Resolucion / 72.0;
}

double puntosPantalla(double pt)
{
    return pt * 96.0 / 72.0;
}

double aPantalla(double pixelesPdf)
{
    return pixelesPdf * 96.0 / Resolucion;
}

double milimetros(double mm)
{
    return mm * Resolucion / 25.4;
}

void avisar(const QString& texto)
{
    std::fprintf(stderr, "generar_ayuda: %s\n", texto.toLocal8Bit().constData());
}

QString tituloDe(const QTextDocument& doc)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (b.blockFormat().headingLevel() == 1)
            return b.text().trimmed();
    return {};
}

// Títulos en azul y a su tamaño, citas (los mensajes del programa) sobre fondo claro.
void darEstilo(QTextDocument& doc)
{
    const double tamanos[] = {0, 19, 14, 11.5, 10.5, 10, 10};
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QTextCursor c(b);
        QTextBlockFormat bloque = b.blockFormat();
        const int nivel = bloque.headingLevel();
        if (nivel > 0) {
            // El tamaño relativo que pone el lector de Markdown se cambia por uno fijo.
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextFragment trozo = it.fragment();
                QTextCharFormat letra = trozo.charFormat();
                letra.clearProperty(QTextFormat::FontSizeAdjustment);
                letra.setFontPointSize(tamanos[qMin(nivel, 6)]);
                letra.setFontWeight(QFont::Bold);
                letra.setForeground(nivel == 1 ? Azul : QColor(30, 80, 150));
                QTextCursor t(&doc);
                t.setPosition(trozo.position());
                t.setPosition(trozo.position() + trozo.length(), QTextCursor::KeepAnchor);
                t.setCharFormat(letra);
            }
            bloque.setTopMargin(puntos(nivel == 1 ? 4 : 12));
            bloque.setBottomMargin(puntos(nivel == 1 ? 10 : 5));
            if (nivel <= 2)
                bloque.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
            QTextCursor(b).setBlockFormat(bloque);
        } else if (bloque.property(QTextFormat::BlockQuoteLevel).toInt() > 0) {
            bloque.setBackground(QColor(255, 246, 220));
            bloque.setLeftMargin(puntos(18));
            bloque.setRightMargin(puntos(8));
            bloque.setTopMargin(puntos(3));
            bloque.setBottomMargin(puntos(3));
            QTextCursor(b).setBlockFormat(bloque);
            c.select(QTextCursor::BlockUnderCursor);
            QTextCharFormat letra;
            letra.setForeground(QColor(110, 50, 0));
            c.mergeCharFormat(letra);
        } else {
            bloque.setBottomMargin(puntos(4));
            bloque.setLineHeight(112, QTextBlockFormat::ProportionalHeight);
            QTextCursor(b).setBlockFormat(bloque);
        }
    }
}

void estiloTablas(QTextFrame* marco)
{
    for (QTextFrame* hijo : marco->childFrames()) {
        if (auto* tabla = qobject_cast<QTextTable*>(hijo)) {
            QTextTableFormat f = tabla->format();
            f.setBorder(1.0);
            f.setBorderBrush(QColor(150, 160, 180));
            f.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            f.setBorderCollapse(true);
            f.setCellSpacing(0);
            f.setCellPadding(puntosPantalla(4));
            f.setWidth(QTextLength(QTextLength::PercentageLength, 100));
            f.setHeaderRowCount(1);
            f.setTopMargin(puntosPantalla(4));
            f.setBottomMargin(puntosPantalla(8));
            tabla->setFormat(f);
            for (int col = 0; col < tabla->columns(); ++col) {
                QTextTableCell celda = tabla->cellAt(0, col);
                QTextCharFormat cabecera = celda.format();
                cabecera.setBackground(QColor(222, 232, 246));
                celda.setFormat(cabecera);
            }
        }
        estiloTablas(hijo);
    }
}

// Carga cada imagen desde la carpeta de la fuente y la ajusta al ancho de la página.
bool ponerImagenes(QTextDocument& doc, const QDir& carpeta, double ancho, double alto)
{
    struct Imagen
    {
        int posicion;
        int largo;
        QTextImageFormat formato;
    };
    QList<Imagen> imagenes;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment trozo = it.fragment();
            if (trozo.isValid() && trozo.charFormat().isImageFormat())
                imagenes.append({trozo.position(), trozo.length(), trozo.charFormat().toImageFormat()});
        }
    for (Imagen& i : imagenes) {
        const QString nombre = i.formato.name();
        const QString ruta = carpeta.filePath(QUrl(nombre).path());
        QImage imagen(ruta);
        if (imagen.isNull()) {
            avisar(QStringLiteral("no se puede leer la imagen %1").arg(ruta));
            return false;
        }
        // Las capturas están en píxeles de pantalla: a su tamaño, si caben en la página.
        double w = imagen.width();
        double h = imagen.height();
        const double escala = qMin(1.0, qMin(aPantalla(ancho) / w, aPantalla(alto) / h));
        w *= escala;
        h *= escala;
        doc.addResource(QTextDocument::ImageResource, QUrl(nombre), imagen);
        i.formato.setWidth(w);
        i.formato.setHeight(h);
        QTextCursor c(&doc);
        c.setPosition(i.posicion);
        c.setPosition(i.posicion + i.largo, QTextCursor::KeepAnchor);
        c.setCharFormat(i.formato);
    }
    return true;
}

bool generar(const QString& fuente, const QString& destino)
{
    QFile entrada(fuente);
    if (!entrada.open(QIODevice::ReadOnly)) {
        avisar(QStringLiteral("no se puede leer %1").arg(fuente));
        return false;
    }
    const QString texto = QString::fromUtf8(entrada.readAll());
    QDir().mkpath(QFileInfo(destino).absolutePath());
    QSaveFile salida(destino);
    if (!salida.open(QIODevice::WriteOnly)) {
        avisar(QStringLiteral("no se puede escribir %1").arg(destino));
        return false;
    }

    QPdfWriter pdf(&salida);
    pdf.setResolution(Resolucion);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(20, 12, 20, 12), QPageLayout::Millimeter);
    pdf.setCreator(QStringLiteral("Evaluación de Riesgos"));

    QTextDocument doc;
    doc.documentLayout()->setPaintDevice(&pdf);
    QFont letra(QStringLiteral("DejaVu Sans"));
    letra.setPointSizeF(10);
    doc.setDefaultFont(letra);
    doc.setDocumentMargin(0);
    doc.setMarkdown(texto, QTextDocument::MarkdownDialectGitHub);
    const QString titulo = tituloDe(doc);
    if (titulo.isEmpty()) {
        avisar(QStringLiteral("%1 no tiene un título de primer nivel (# ...)").arg(fuente));
        return false;
    }
    pdf.setTitle(titulo);

    const QRectF zona = pdf.pageLayout().paintRectPixels(Resolucion);
    const double cabecera = milimetros(12), pie = milimetros(10);
    const QSizeF cuerpo(zona.width(), zona.height() - cabecera - pie);
    darEstilo(doc);
    estiloTablas(doc.rootFrame());
    if (!ponerImagenes(doc, QFileInfo(fuente).absoluteDir(), cuerpo.width(), cuerpo.height() * 0.6))
        return false;
    // Una tira del ancho de la página, que CorteHojas reparte en hojas sin partir filas de tabla
    // ni dejar un título al pie.
    doc.setTextWidth(cuerpo.width());
    CorteHojas corte(doc, cuerpo.height());
    corte.cortarHasta(INT_MAX);

    QPainter g;
    if (!g.begin(&pdf)) {
        avisar(QStringLiteral("no se puede empezar el PDF %1").arg(destino));
        return false;
    }
    QFont letraMargen(QStringLiteral("DejaVu Sans"));
    letraMargen.setPointSizeF(8);
    const int paginas = corte.hojas();
    for (int p = 0; p < paginas; ++p) {
        if (p > 0)
            pdf.newPage();
        g.setFont(letraMargen);
        g.setPen(QColor(90, 100, 120));
        const QRectF arriba(0, 0, zona.width(), cabecera - milimetros(4));
        g.drawText(arriba, Qt::AlignLeft | Qt::AlignBottom, titulo);
        g.drawText(arriba, Qt::AlignRight | Qt::AlignBottom, QStringLiteral("Evaluación de Riesgos · Ayuda"));
        g.setPen(QPen(QColor(160, 170, 190), puntos(0.5)));
        g.drawLine(QPointF(0, cabecera - milimetros(2.5)), QPointF(zona.width(), cabecera - milimetros(2.5)));
        g.setPen(QColor(90, 100, 120));
        g.drawText(QRectF(0, zona.height() - pie + milimetros(3), zona.width(), pie - milimetros(3)),
                   Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("Página %1 de %2").arg(p + 1).arg(paginas));

        corte.pintar(g, p + 1, 0, cabecera, QColor(25, 25, 30));
    }
    if (!g.end()) {
        avisar(QStringLiteral("no se ha podido terminar el PDF %1").arg(destino));
        return false;
    }
    if (!salida.commit()) {
        avisar(QStringLiteral("no se puede guardar %1: %2").arg(destino, salida.errorString()));
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    // Herramienta de compilación: no necesita pantalla.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication aplicacion(argc, argv);
    const QStringList args = aplicacion.arguments();
    if (args.size() < 3 || args.size() % 2 == 0) {
        std::fprintf(stderr, "Uso: generar_ayuda <fuente.md> <destino.pdf> [<fuente.md> <destino.pdf>...]\n");
        return 2;
    }
    for (int i = 1; i + 1 < args.size(); i += 2)
        if (!generar(args[i], args[i + 1]))
            return 1;
    return 0;
}
