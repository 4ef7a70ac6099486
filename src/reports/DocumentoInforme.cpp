#include "reports/DocumentoInforme.h"

#include <QAbstractTextDocumentLayout>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QTextBlock>
#include <algorithm>

namespace {
// El cuerpo se compone a 96 puntos por pulgada sobre una imagen, sea cual sea la pantalla: así
// el documento pagina igual en la vista previa, en el PDF y en la impresora.
constexpr double Ppp = 96.0;
constexpr double mm(double milimetros)
{
    return milimetros * Ppp / 25.4;
}

constexpr double AnchoPapel = 210.0, AltoPapel = 297.0;
constexpr double MargenIzquierdo = 18.0, MargenDerecho = 18.0;
constexpr double MargenSuperior = 25.0, MargenInferior = 20.0;
constexpr double LineaCabecera = 16.0;        // raya bajo la cabecera
constexpr double LineaPie = AltoPapel - 14.0; // raya sobre el pie

QPaintDevice* dispositivoComposicion()
{
    static QImage imagen = [] {
        QImage i(1, 1, QImage::Format_RGB32);
        i.setDotsPerMeterX(qRound(Ppp / 0.0254));
        i.setDotsPerMeterY(qRound(Ppp / 0.0254));
        return i;
    }();
    return &imagen;
}

QFont fuenteDocumento()
{
    QFont f;
    f.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("Helvetica"),
                   QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(9.0);
    f.setHintingPreference(QFont::PreferNoHinting);
    // El texto de los informes es latino: sin pasar por el modelado tipográfico (ligaduras y
    // demás), que es lo que más cuesta al componer un documento de cientos de páginas. Las
    // escrituras que lo necesitan se siguen modelando.
    f.setStyleStrategy(QFont::PreferNoShaping);
    return f;
}
} // namespace

DocumentoInforme::DocumentoInforme(const QString& html, const QString& titulo, const QString& cabecera,
                                   const QString& pie, const QString& nombreArchivo)
    : titulo_(titulo), cabecera_(cabecera), pie_(pie), nombreArchivo_(nombreArchivo.simplified())
{
    doc_.documentLayout()->setPaintDevice(dispositivoComposicion());
    doc_.setUseDesignMetrics(true);
    doc_.setDefaultFont(fuenteDocumento());
    doc_.setDocumentMargin(0);
    doc_.setPageSize(
        QSizeF(mm(AnchoPapel - MargenIzquierdo - MargenDerecho), mm(AltoPapel - MargenSuperior - MargenInferior)));
    doc_.setHtml(html);
    doc_.setMetaInformation(QTextDocument::DocumentTitle, titulo);
    // Las hojas no se cuentan aquí: contarlas compone el documento entero, y la vista previa
    // enseña la primera antes de que estén todas.
}

DocumentoInforme::~DocumentoInforme() = default;

int DocumentoInforme::paginas() const
{
    if (!compuesto_) {
        paginas_ = doc_.pageCount();
        compuesto_ = true;
    }
    return paginas_;
}

bool DocumentoInforme::componerPaso() const
{
    // Unos miles de caracteres por paso: unas decenas de milisegundos, poco para la ventana.
    constexpr int Trozo = 20000;
    if (compuesto_)
        return true;
    const int final = doc_.characterCount() - 1;
    posicion_ = std::min(posicion_ + Trozo, std::max(final, 0));
    // Pedir dónde queda un párrafo compone el documento hasta él (y la tabla que lo contiene).
    const QRectF rect = doc_.documentLayout()->blockBoundingRect(doc_.findBlock(posicion_));
    const double alto = doc_.pageSize().height();
    if (alto > 0 && rect.isValid())
        paginasVistas_ = std::max(paginasVistas_, int(rect.bottom() / alto) + 1);
    if (posicion_ >= final)
        paginas();
    return compuesto_;
}

int DocumentoInforme::paginasCompuestas() const
{
    return compuesto_ ? paginas_ : paginasVistas_;
}

QString DocumentoInforme::parte(const QString& plantilla, int pagina, bool derecha) const
{
    const qsizetype barra = plantilla.indexOf(QLatin1Char('|'));
    QString t =
        barra < 0 ? (derecha ? QString() : plantilla) : (derecha ? plantilla.mid(barra + 1) : plantilla.left(barra));
    t.replace(QLatin1String("[[paginas]]"), compuesto_ ? QString::number(paginas_) : QStringLiteral("…"));
    t.replace(QLatin1String("[[pagina]]"), QString::number(pagina));
    return t.simplified();
}

QString DocumentoInforme::cabecera(int pagina, bool derecha) const
{
    return parte(cabecera_, pagina, derecha);
}

QString DocumentoInforme::pie(int pagina, bool derecha) const
{
    return parte(pie_, pagina, derecha);
}

QSizeF DocumentoInforme::tamanoHoja()
{
    return QSizeF(mm(AnchoPapel), mm(AltoPapel));
}

void DocumentoInforme::pintarHoja(QPainter& pintor, int pagina, double escala) const
{
    pintarPagina(pintor, escala, escala, pagina);
}

void DocumentoInforme::pintarPagina(QPainter& pintor, double escalaX, double escalaY, int pagina) const
{
    const QSizeF cuerpo = doc_.pageSize();

    pintor.save();
    pintor.scale(escalaX, escalaY);

    // Cabecera y pie: texto pequeño en gris y una raya fina que los separa del cuerpo.
    QFont fuente = fuenteDocumento();
    fuente.setPixelSize(qRound(7.5 * Ppp / 72.0 * 1.0));
    pintor.setFont(fuente);
    const QRectF franja(mm(MargenIzquierdo), 0, cuerpo.width(), 0);
    const QColor gris(0x55, 0x55, 0x55);
    pintor.setPen(QPen(QColor(0x99, 0x99, 0x99), 0.6));
    pintor.drawLine(QPointF(franja.left(), mm(LineaCabecera)), QPointF(franja.right(), mm(LineaCabecera)));
    pintor.drawLine(QPointF(franja.left(), mm(LineaPie)), QPointF(franja.right(), mm(LineaPie)));
    pintor.setPen(gris);
    const QRectF zonaCabecera(franja.left(), mm(LineaCabecera - 6), franja.width(), mm(5));
    const QRectF zonaPie(franja.left(), mm(LineaPie + 1), franja.width(), mm(5));
    QFont negrita = fuente;
    negrita.setBold(true);
    pintor.setFont(negrita);
    pintor.drawText(zonaCabecera, Qt::AlignLeft | Qt::AlignBottom, cabecera(pagina));
    pintor.setFont(fuente);
    pintor.drawText(zonaCabecera, Qt::AlignRight | Qt::AlignBottom, cabecera(pagina, true));
    pintor.drawText(zonaPie, Qt::AlignLeft | Qt::AlignTop, pie(pagina));
    pintor.drawText(zonaPie, Qt::AlignRight | Qt::AlignTop, pie(pagina, true));

    // Cuerpo: la hoja que toca del documento paginado.
    const QRectF recorte(0, (pagina - 1) * cuerpo.height(), cuerpo.width(), cuerpo.height());
    pintor.translate(mm(MargenIzquierdo), mm(MargenSuperior) - recorte.top());
    pintor.setClipRect(recorte);
    QAbstractTextDocumentLayout::PaintContext contexto;
    contexto.clip = recorte;
    contexto.palette.setColor(QPalette::Text, Qt::black);
    doc_.documentLayout()->draw(&pintor, contexto);
    pintor.restore();
}

void DocumentoInforme::pintar(QPainter& pintor, QPagedPaintDevice& dispositivo, int desde, int hasta) const
{
    const int total = paginas();
    if (hasta <= 0 || hasta > total)
        hasta = total;
    desde = std::max(desde, 1);
    for (int p = desde; p <= hasta; ++p) {
        if (p > desde)
            dispositivo.newPage();
        pintarPagina(pintor, dispositivo.logicalDpiX() / Ppp, dispositivo.logicalDpiY() / Ppp, p);
    }
}

void DocumentoInforme::imprimir(QPrinter& impresora) const
{
    impresora.setFullPage(true);
    impresora.setPageSize(QPageSize(QPageSize::A4));
    impresora.setPageOrientation(QPageLayout::Portrait);
    impresora.setDocName(titulo_);
    QPainter pintor;
    if (!pintor.begin(&impresora))
        return;
    int desde = 1, hasta = 0;
    if (impresora.printRange() == QPrinter::PageRange) {
        desde = impresora.fromPage();
        hasta = impresora.toPage();
    }
    pintar(pintor, impresora, desde, hasta);
    pintor.end();
}

bool DocumentoInforme::exportarPdf(const QString& ruta) const
{
    QSaveFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly))
        return false;
    {
        QPdfWriter pdf(&archivo);
        pdf.setResolution(600);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
        pdf.setTitle(titulo_);
        pdf.setCreator(QStringLiteral("Evaluación de Riesgos"));
        QPainter pintor;
        if (!pintor.begin(&pdf)) {
            archivo.cancelWriting();
            return false;
        }
        pintar(pintor, pdf);
        pintor.end();
    }
    return archivo.commit();
}
