#include "reports/DocumentoInforme.h"

#include "reports/CorteHojas.h"
#include "reports/PdfEnPiezas.h"

#include <QAbstractTextDocumentLayout>
#include <QEvent>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextTable>
#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

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

// Mientras el documento no está cortado en hojas, la composición la lleva él, pieza a pieza: Qt
// no compone por su cuenta con el bucle de eventos lo que aún nadie ha pedido ver.
class SinComponerAparte : public QObject
{
public:
    explicit SinComponerAparte(const bool& compuesto) : compuesto_(compuesto) {}
    bool eventFilter(QObject*, QEvent* evento) override { return evento->type() == QEvent::Timer && !compuesto_; }

private:
    const bool& compuesto_;
};

const QString PrefijoSeccion = QStringLiteral("seccion:");

} // namespace

DocumentoInforme::DocumentoInforme(const QString& html, const QString& titulo, const QString& cabecera,
                                   const QString& pie, const QString& nombreArchivo, const QString& marca)
    : html_(html), titulo_(titulo), cabecera_(cabecera), pie_(pie), nombreArchivo_(nombreArchivo.simplified()),
      marca_(marca)
{
    // Los saltos de hoja que pone la maquetación no se deshacen: sin historial que guardar.
    doc_.setUndoRedoEnabled(false);
    doc_.documentLayout()->setPaintDevice(dispositivoComposicion());
    sinComponerAparte_ = std::make_unique<SinComponerAparte>(compuesto_);
    doc_.documentLayout()->installEventFilter(sinComponerAparte_.get());
    doc_.setUseDesignMetrics(true);
    doc_.setDefaultFont(fuenteDocumento());
    doc_.setDocumentMargin(0);
    // Una tira sin hojas: las corta después la maquetación.
    doc_.setTextWidth(mm(AnchoPapel - MargenIzquierdo - MargenDerecho));
    // Ni el HTML se lee ni las hojas se cuentan aquí: contarlas compone el documento entero, y la
    // vista previa enseña la primera antes de que estén todas.
}

const QTextDocument& DocumentoInforme::cuerpo() const
{
    if (!leido_) {
        leido_ = true;
        doc_.setHtml(html_);
        doc_.setMetaInformation(QTextDocument::DocumentTitle, titulo_);
    }
    return doc_;
}

DocumentoInforme::~DocumentoInforme() = default;

int DocumentoInforme::paginas() const
{
    CorteHojas& c = corte();
    c.cortarHasta(INT_MAX);
    compuesto_ = c.cortado();
    return c.hojas();
}

double DocumentoInforme::altoCuerpo() const
{
    return mm(AltoPapel - MargenSuperior - MargenInferior);
}

bool DocumentoInforme::componerPaso() const
{
    // Unos miles de caracteres por paso: unas decenas de milisegundos, poco para la ventana.
    constexpr int Trozo = 20000;
    if (compuesto_)
        return true;
    CorteHojas& c = corte();
    const int inicio = c.posicionSiguiente();
    const int hasta = inicio == INT_MAX ? INT_MAX : inicio + Trozo;
    while (!c.avanzar() && c.posicionSiguiente() <= hasta) {
    }
    compuesto_ = c.cortado();
    return compuesto_;
}

CorteHojas& DocumentoInforme::corte() const
{
    // Se prepara al componer y no al construir: quien arma un documento de varios puede añadirle
    // texto antes.
    if (!corte_) {
        corte_ = std::make_unique<CorteHojas>(cuerpo(), altoCuerpo());
        for (QTextBlock b = cuerpo().begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it)
                for (const QString& nombre : it.fragment().charFormat().anchorNames())
                    if (nombre.startsWith(PrefijoSeccion))
                        anclas_.push_back(
                            {b, it.fragment().position() - b.position(), nombre.mid(PrefijoSeccion.size())});
    }
    return *corte_;
}

int DocumentoInforme::paginasCompuestas() const
{
    // Las cerradas y la que se está llenando.
    return (corte_ ? corte_->hojas() : 0) + (compuesto_ ? 0 : 1);
}

QString DocumentoInforme::parte(const QString& plantilla, int pagina, bool derecha) const
{
    const qsizetype barra = plantilla.indexOf(QLatin1Char('|'));
    QString t =
        barra < 0 ? (derecha ? QString() : plantilla) : (derecha ? plantilla.mid(barra + 1) : plantilla.left(barra));
    t.replace(QLatin1String("[[paginas]]"), hojasTotal_ > 0 ? QString::number(hojasTotal_)
                                            : compuesto_    ? QString::number(corte().hojas())
                                                            : QStringLiteral("…"));
    t.replace(QLatin1String("[[pagina]]"), QString::number(hojasAntes_ + pagina));
    if (t.contains(QLatin1String("[[seccion]]")))
        t.replace(QLatin1String("[[seccion]]"), seccion(pagina));
    return t.simplified();
}

int DocumentoInforme::hojaDe(int posicion) const
{
    const int hoja = corte().hojaDe(posicion);
    compuesto_ = true;
    return hoja;
}

QString DocumentoInforme::seccion(int pagina) const
{
    CorteHojas& c = corte();
    c.cortarHasta(pagina);
    compuesto_ = c.cortado();
    if (pagina < 1 || pagina > c.hojas())
        return {};
    // Lo de la hoja siguiente ya no cuenta: sin componer más allá de ella.
    const int limite = pagina < c.hojas() ? c.posicionInicio(pagina + 1) : INT_MAX;
    const double primeraAbajo = c.finPrimeraLinea(pagina), finHoja = c.hasta(pagina);
    const Ancla* arriba = nullptr;
    const Ancla* enLaHoja = nullptr;
    // Las anclas van en el orden del texto. Las que empiezan antes que lo primero de la hoja quedan
    // por encima de ella y de ésas sólo cuenta la última: sin medirlas todas en cada hoja. Lo escrito
    // delante después de cortar sólo retrasa las anclas, que entonces se miden como las demás.
    const int inicio = c.posicionInicio(pagina);
    auto desde = std::partition_point(anclas_.begin(), anclas_.end(),
                                      [inicio](const Ancla& a) { return a.bloque.position() + a.desde < inicio; });
    if (desde != anclas_.begin())
        --desde;
    for (auto it = desde; it != anclas_.end(); ++it) {
        const Ancla& a = *it;
        // Lo que empieza en la hoja siguiente se sabe por la posición sin medirlo; justo en el borde
        // (o si se escribió algo delante después de cortar, como las hojas del índice) se mide.
        const bool despues = a.bloque.position() + a.desde >= limite;
        const QTextLine linea = a.bloque.layout()->lineForTextPosition(a.desde);
        const double y =
            cuerpo().documentLayout()->blockBoundingRect(a.bloque).top() + (linea.isValid() ? linea.y() : 0);
        if (despues && y >= finHoja)
            break;
        // En lo alto de la hoja: en lo primero que hay en ella.
        if (y < primeraAbajo)
            arriba = &a;
        else if (!enLaHoja)
            enLaHoja = &a;
    }
    // Lo de los trozos anteriores queda por encima de todo lo de éste.
    if (!arriba && !seccionAnterior_.isEmpty())
        return seccionAnterior_;
    return arriba ? arriba->nombre : enLaHoja ? enLaHoja->nombre : QString();
}

void DocumentoInforme::numerar(int hojasAntes, int hojasTotal, const QString& seccionAnterior)
{
    hojasAntes_ = hojasAntes;
    hojasTotal_ = hojasTotal;
    seccionAnterior_ = seccionAnterior;
}

QString DocumentoInforme::ultimaSeccion() const
{
    corte();
    return anclas_.empty() ? QString() : anclas_.back().nombre;
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
    // Antes de pintar, la hoja tiene que estar ya cortada.
    corte().cortarHasta(pagina);
    compuesto_ = corte().cortado();
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

    // Cuerpo: su trozo de la tira, debajo de la cabecera de la tabla que sigue de la hoja anterior.
    corte().pintar(pintor, pagina, mm(MargenIzquierdo), mm(MargenSuperior));

    pintarMarca(pintor);
    pintor.restore();
}

void DocumentoInforme::pintarMarca(QPainter& pintor) const
{
    const QString marca = marca_.simplified();
    if (marca.isEmpty())
        return;
    // Encima del cuerpo (las celdas tienen fondo propio) y translúcida, para que se lea lo de debajo.
    const QSizeF hoja = tamanoHoja();
    const double diagonal = std::hypot(hoja.width(), hoja.height());
    QFont fuente = fuenteDocumento();
    fuente.setBold(true);
    fuente.setPixelSize(100);
    const double ancho = QFontMetricsF(fuente).horizontalAdvance(marca);
    // La letra se ajusta para que el texto ocupe unas tres cuartas partes de la diagonal.
    const double tamano = ancho > 0 ? std::clamp(100 * diagonal * 0.75 / ancho, 14.0, 150.0) : 100.0;
    fuente.setPixelSize(qRound(tamano));
    pintor.save();
    pintor.setClipping(false);
    pintor.translate(hoja.width() / 2, hoja.height() / 2);
    pintor.rotate(-std::atan2(hoja.height(), hoja.width()) * 180.0 / M_PI);
    pintor.setFont(fuente);
    pintor.setPen(QColor(0x80, 0x80, 0x80, 0x50));
    pintor.drawText(QRectF(-diagonal / 2, -tamano, diagonal, 2 * tamano), Qt::AlignCenter, marca);
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

bool DocumentoInforme::imprimir(QPrinter& impresora) const
{
    impresora.setFullPage(true);
    impresora.setPageSize(QPageSize(QPageSize::A4));
    impresora.setPageOrientation(QPageLayout::Portrait);
    impresora.setDocName(titulo_);
    QPainter pintor;
    if (!pintor.begin(&impresora))
        return false;
    int desde = 1, hasta = 0;
    if (impresora.printRange() == QPrinter::PageRange) {
        desde = impresora.fromPage();
        hasta = impresora.toPage();
    }
    pintar(pintor, impresora, desde, hasta);
    return pintor.end();
}

bool DocumentoInforme::exportarPdf(const QString& ruta) const
{
    QSaveFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly))
        return false;
    // Sin leer aún, el HTML es el documento: sus trozos que empiezan hoja se componen y pintan a la
    // vez en varios hilos (en uno, si la máquina no tiene más). Ya leído (la vista previa, o el
    // documento de la empresa con su índice escrito encima), se pinta lo compuesto.
    if (!leido_) {
        const QStringList piezas = PiezasDeHoja(html_);
        if (piezas.size() > 1) {
            if (!EscribirPdfEnPiezas(piezas, {titulo_, cabecera_, pie_, marca_}, archivo)) {
                archivo.cancelWriting();
                return false;
            }
            return archivo.commit();
        }
    }
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
