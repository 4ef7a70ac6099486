#include "reports/DocumentoInforme.h"

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

// Mientras el documento no está compuesto, la composición la lleva él, pieza a pieza y con las
// reglas de maquetación: si Qt siguiera componiendo sola con el bucle de eventos llegaría al
// final antes, y cada salto de hoja que se pone después obligaría a recomponer hasta el final.
class SinComponerAparte : public QObject
{
public:
    explicit SinComponerAparte(const bool& compuesto) : compuesto_(compuesto) {}
    bool eventFilter(QObject*, QEvent* evento) override { return evento->type() == QEvent::Timer && !compuesto_; }

private:
    const bool& compuesto_;
};

const QString PrefijoSeccion = QStringLiteral("seccion:");

// Alguno de los trozos de texto entre dos posiciones lleva un ancla con ese nombre.
bool hayAncla(const QTextDocument& doc, int desde, int hasta, const QString& nombre)
{
    for (QTextBlock b = doc.findBlock(desde); b.isValid() && b.position() <= hasta; b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().anchorNames().contains(nombre))
                return true;
    return false;
}

// Arriba y abajo de las líneas de un párrafo ya compuesto, en coordenadas del documento.
std::pair<double, double> alturaLineas(const QTextDocument& doc, const QTextBlock& b)
{
    const QRectF rect = doc.documentLayout()->blockBoundingRect(b);
    const QTextLayout* l = b.layout();
    if (!l || l->lineCount() == 0)
        return {rect.top(), rect.top()};
    const QTextLine ultima = l->lineAt(l->lineCount() - 1);
    return {rect.top() + l->lineAt(0).y(), rect.top() + ultima.y() + ultima.height()};
}
} // namespace

DocumentoInforme::DocumentoInforme(const QString& html, const QString& titulo, const QString& cabecera,
                                   const QString& pie, const QString& nombreArchivo, const QString& marca)
    : titulo_(titulo), cabecera_(cabecera), pie_(pie), nombreArchivo_(nombreArchivo.simplified()), marca_(marca)
{
    // Los saltos de hoja que pone la maquetación no se deshacen: sin historial que guardar.
    doc_.setUndoRedoEnabled(false);
    doc_.documentLayout()->setPaintDevice(dispositivoComposicion());
    sinComponerAparte_ = std::make_unique<SinComponerAparte>(compuesto_);
    doc_.documentLayout()->installEventFilter(sinComponerAparte_.get());
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
        revisarTodo();
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
    revisarHasta(posicion_);
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
    if (t.contains(QLatin1String("[[seccion]]")))
        t.replace(QLatin1String("[[seccion]]"), seccion(pagina));
    return t.simplified();
}

void DocumentoInforme::prepararPiezas() const
{
    // Se hace al componer y no al construir: quien arma un documento de varios puede añadirle
    // texto antes.
    if (preparado_)
        return;
    preparado_ = true;
    for (auto it = doc_.rootFrame()->begin(); !it.atEnd(); ++it) {
        Pieza p;
        if (QTextFrame* marco = it.currentFrame()) {
            p.tabla = qobject_cast<QTextTable*>(marco);
            if (!p.tabla || p.tabla->rows() == 0)
                continue;
            const QTextTableCell finFila = p.tabla->cellAt(0, p.tabla->columns() - 1);
            p.junto = hayAncla(doc_, p.tabla->firstPosition(), finFila.lastPosition(), QStringLiteral("junto"));
        } else {
            p.bloque = it.currentBlock();
            // Los párrafos vacíos no ocupan sitio propio: el de antes de una tabla se esconde en ella.
            if (p.bloque.length() <= 1)
                continue;
            const int nivel = p.bloque.blockFormat().headingLevel();
            p.titulo = nivel >= 1 && nivel <= 4;
        }
        piezas_.push_back(p);
    }
    for (QTextBlock b = doc_.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            for (const QString& nombre : it.fragment().charFormat().anchorNames())
                if (nombre.startsWith(PrefijoSeccion))
                    anclas_.push_back({b, it.fragment().position() - b.position(), nombre.mid(PrefijoSeccion.size())});
}

int DocumentoInforme::posicionPieza(const Pieza& p) const
{
    return p.tabla ? p.tabla->firstPosition() : p.bloque.position();
}

int DocumentoInforme::piezaDe(int posicion) const
{
    const auto despues = std::upper_bound(piezas_.begin(), piezas_.end(), posicion,
                                          [&](int pos, const Pieza& p) { return pos < posicionPieza(p); });
    return int(despues - piezas_.begin()) - 1;
}

void DocumentoInforme::medir(Pieza& p) const
{
    // Medir un párrafo compone el documento hasta él; una tabla se mide por el texto de sus
    // celdas, que la composición ya ha colocado con los saltos de hoja entre filas.
    double arriba = 0, abajo = 0;
    if (p.tabla) {
        arriba = alturaLineas(doc_, doc_.findBlock(p.tabla->cellAt(0, 0).firstPosition())).first;
        abajo = arriba;
        const int ultima = p.tabla->rows() - 1;
        for (int c = 0; c < p.tabla->columns(); ++c) {
            const QTextTableCell celda = p.tabla->cellAt(ultima, c);
            if (celda.isValid())
                abajo = std::max(abajo, alturaLineas(doc_, doc_.findBlock(celda.lastPosition())).second);
        }
    } else {
        std::tie(arriba, abajo) = alturaLineas(doc_, p.bloque);
    }
    const double alto = doc_.pageSize().height();
    // Medio punto de holgura: lo que empieza o acaba justo en el borde es de la hoja de dentro.
    p.hojaInicio = int(std::floor((arriba + 0.5) / alto));
    p.hojaFin = std::max(p.hojaInicio, int(std::floor((abajo - 0.5) / alto)));
}

bool DocumentoInforme::empiezaHoja(int i) const
{
    return i == 0 || piezas_[i - 1].hojaFin < piezas_[i].hojaInicio;
}

int DocumentoInforme::inicioDeTitulos(int i) const
{
    while (i > 0 && piezas_[i - 1].titulo)
        --i;
    return i;
}

bool DocumentoInforme::saltoDelante(int i) const
{
    const Pieza& p = piezas_[i];
    const auto politica = p.tabla ? p.tabla->format().pageBreakPolicy() : p.bloque.blockFormat().pageBreakPolicy();
    return politica & QTextFormat::PageBreak_AlwaysBefore;
}

void DocumentoInforme::revisar(int i) const
{
    Pieza& p = piezas_[i];
    medir(p);
    // Lo que baja de hoja se lleva consigo los títulos que tenga justo delante.
    int baja = -1;
    if (p.junto && p.hojaFin > p.hojaInicio && !empiezaHoja(i)) {
        baja = inicioDeTitulos(i);
    } else if (p.titulo && i + 1 < int(piezas_.size())) {
        medir(piezas_[i + 1]);
        if (piezas_[i + 1].hojaInicio > p.hojaFin)
            baja = inicioDeTitulos(i);
    }
    // Si ya empieza hoja no hay adónde bajarlo: la tabla con sus títulos no cabe en una.
    if (baja < 0 || empiezaHoja(baja) || saltoDelante(baja)) {
        revisadas_ = i + 1;
        return;
    }
    Pieza& q = piezas_[baja];
    if (q.tabla) {
        QTextTableFormat formato = q.tabla->format();
        formato.setPageBreakPolicy(formato.pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
        q.tabla->setFormat(formato);
    } else {
        QTextBlockFormat formato;
        formato.setPageBreakPolicy(q.bloque.blockFormat().pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
        QTextCursor(q.bloque).mergeBlockFormat(formato);
    }
    // Lo de antes queda como estaba; desde la pieza que baja se vuelve a mirar todo.
    revisadas_ = baja;
}

void DocumentoInforme::revisarHasta(int posicion) const
{
    prepararPiezas();
    while (revisadas_ < int(piezas_.size()) && posicionPieza(piezas_[revisadas_]) <= posicion)
        revisar(revisadas_);
}

void DocumentoInforme::revisarHoja(int hoja) const
{
    // Lo que empieza en la hoja siguiente aún puede hacer bajar un título de ésta.
    prepararPiezas();
    while (revisadas_ < int(piezas_.size()) && (revisadas_ == 0 || piezas_[revisadas_ - 1].hojaInicio <= hoja + 1))
        revisar(revisadas_);
}

void DocumentoInforme::revisarTodo() const
{
    revisarHasta(INT_MAX);
}

QString DocumentoInforme::seccion(int pagina) const
{
    const int hoja = pagina - 1;
    revisarHoja(hoja);
    const double alto = doc_.pageSize().height();
    const Ancla* arriba = nullptr;
    const Ancla* enLaHoja = nullptr;
    for (const Ancla& a : anclas_) {
        const int posicion = a.bloque.position() + a.desde;
        revisarHasta(posicion);
        const QTextLine linea = a.bloque.layout()->lineForTextPosition(a.desde);
        const double y = doc_.documentLayout()->blockBoundingRect(a.bloque).top() + (linea.isValid() ? linea.y() : 0);
        const int suya = int(std::floor((y + 0.5) / alto));
        if (suya > hoja)
            break;
        // En lo alto de la hoja: en lo primero que hay en ella.
        const int i = piezaDe(posicion);
        if (suya < hoja || (i >= 0 && piezas_[i].hojaInicio == hoja && empiezaHoja(i)))
            arriba = &a;
        else if (!enLaHoja)
            enLaHoja = &a;
    }
    return arriba ? arriba->nombre : enLaHoja ? enLaHoja->nombre : QString();
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
    // Antes de pintar, la hoja tiene que estar ya con sus reglas de maquetación cumplidas.
    revisarHoja(pagina - 1);
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
    pintor.save();
    pintor.translate(mm(MargenIzquierdo), mm(MargenSuperior) - recorte.top());
    pintor.setClipRect(recorte);
    QAbstractTextDocumentLayout::PaintContext contexto;
    contexto.clip = recorte;
    contexto.palette.setColor(QPalette::Text, Qt::black);
    doc_.documentLayout()->draw(&pintor, contexto);
    pintor.restore();

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
