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
    // Una tira sin hojas: las corta después la maquetación.
    doc_.setTextWidth(mm(AnchoPapel - MargenIzquierdo - MargenDerecho));
    doc_.setHtml(html);
    doc_.setMetaInformation(QTextDocument::DocumentTitle, titulo);
    // Las hojas no se cuentan aquí: contarlas compone el documento entero, y la vista previa
    // enseña la primera antes de que estén todas.
}

DocumentoInforme::~DocumentoInforme() = default;

int DocumentoInforme::paginas() const
{
    componerHasta(INT_MAX);
    return int(hojas_.size());
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
    prepararPiezas();
    const auto posicionSiguiente = [this] {
        return siguientePieza_ < int(piezas_.size()) ? posicionPieza(piezas_[siguientePieza_]) : INT_MAX;
    };
    const int hasta = posicionSiguiente() == INT_MAX ? INT_MAX : posicionSiguiente() + Trozo;
    while (!avanzarPieza() && posicionSiguiente() <= hasta) {
    }
    return compuesto_;
}

int DocumentoInforme::paginasCompuestas() const
{
    // Las cerradas y la que se está llenando.
    return int(hojas_.size()) + (compuesto_ ? 0 : 1);
}

QString DocumentoInforme::parte(const QString& plantilla, int pagina, bool derecha) const
{
    const qsizetype barra = plantilla.indexOf(QLatin1Char('|'));
    QString t =
        barra < 0 ? (derecha ? QString() : plantilla) : (derecha ? plantilla.mid(barra + 1) : plantilla.left(barra));
    t.replace(QLatin1String("[[paginas]]"), compuesto_ ? QString::number(hojas_.size()) : QStringLiteral("…"));
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
    constexpr auto Saltos = QTextFormat::PageBreak_AlwaysBefore | QTextFormat::PageBreak_AlwaysAfter;
    // El salto de un párrafo vacío (que no ocupa sitio propio) pasa a lo que le sigue.
    bool saltoPendiente = false;
    for (auto it = doc_.rootFrame()->begin(); !it.atEnd(); ++it) {
        Pieza p;
        QTextFormat::PageBreakFlags politica;
        if (QTextFrame* marco = it.currentFrame()) {
            p.tabla = qobject_cast<QTextTable*>(marco);
            if (!p.tabla || p.tabla->rows() == 0)
                continue;
            politica = p.tabla->format().pageBreakPolicy();
            const QTextTableCell finFila = p.tabla->cellAt(0, p.tabla->columns() - 1);
            p.junto = hayAncla(doc_, p.tabla->firstPosition(), finFila.lastPosition(), QStringLiteral("junto"));
        } else {
            p.bloque = it.currentBlock();
            politica = p.bloque.blockFormat().pageBreakPolicy();
            if (p.bloque.length() <= 1) {
                saltoPendiente = saltoPendiente || (politica & Saltos);
                continue;
            }
            const int nivel = p.bloque.blockFormat().headingLevel();
            p.titulo = nivel >= 1 && nivel <= 4;
        }
        p.saltoAntes = saltoPendiente || (politica & QTextFormat::PageBreak_AlwaysBefore);
        saltoPendiente = politica & QTextFormat::PageBreak_AlwaysAfter;
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

void DocumentoInforme::anadirUnidades(const Pieza& p) const
{
    // Medir una pieza compone el documento hasta ella, y sólo hasta ella.
    const size_t antes = unidades_.size();
    if (p.tabla) {
        anadirFilas(p);
    } else {
        const QTextBlock& b = p.bloque;
        const double y = doc_.documentLayout()->blockBoundingRect(b).top();
        const QTextLayout* l = b.layout();
        if (!l || l->lineCount() == 0) {
            unidades_.push_back({y, y, b.position()});
        } else if (p.titulo) {
            const auto [arriba, abajo] = alturaLineas(doc_, b);
            unidades_.push_back({arriba, abajo, b.position()});
        } else {
            for (int i = 0; i < l->lineCount(); ++i) {
                const QTextLine linea = l->lineAt(i);
                unidades_.push_back({y + linea.y(), y + linea.y() + linea.height(), b.position() + linea.textStart()});
            }
        }
    }
    if (unidades_.size() > antes) {
        Unidad& primera = unidades_[antes];
        // Nada empieza por encima de donde acabó lo anterior.
        if (antes > 0)
            primera.corte = std::max(primera.corte, unidades_[antes - 1].abajo);
        primera.abajo = std::max(primera.abajo, primera.corte);
        primera.forzada = primera.forzada || p.saltoAntes;
        // Un título se queda con lo primero que le sigue.
        primera.cortable = !siguienteNoCortable_;
    }
    siguienteNoCortable_ = p.titulo;
    if (!p.titulo)
        inicioTitulos_ = -1;
    else if (inicioTitulos_ < 0)
        inicioTitulos_ = int(antes);
}

void DocumentoInforme::anadirFilas(const Pieza& p) const
{
    QTextTable* t = p.tabla;
    const int filas = t->rows();
    constexpr double Nada = std::numeric_limits<double>::infinity();
    std::vector<double> arriba(filas, Nada), abajo(filas, -Nada);
    const auto inicioCelda = [t](int f, int c) { return t->cellAt(f, c).firstPosition(); };
    // Arriba y abajo del texto de una fila. Una celda de varias columnas se mide una vez; una de
    // varias filas, arriba en la primera y abajo en la última.
    const auto medirFila = [&](int f) {
        for (int c = 0; c < t->columns(); ++c) {
            const int inicio = inicioCelda(f, c);
            if (c > 0 && inicio == inicioCelda(f, c - 1))
                continue;
            const bool empieza = f == 0 || inicioCelda(f - 1, c) != inicio;
            const bool acaba = f + 1 == filas || inicioCelda(f + 1, c) != inicio;
            if (!empieza && !acaba)
                continue;
            const QTextBlock primero = doc_.findBlock(inicio);
            auto [alto, bajo] = alturaLineas(doc_, primero);
            const QTextBlock ultimo = doc_.findBlock(t->cellAt(f, c).lastPosition());
            if (ultimo != primero)
                bajo = alturaLineas(doc_, ultimo).second;
            if (empieza)
                arriba[f] = std::min(arriba[f], alto);
            if (acaba)
                abajo[f] = std::max(abajo[f], bajo);
        }
    };
    // De una tabla que no se parte basta con saber dónde empieza y dónde acaba, si cabe en una hoja.
    const bool entera = p.junto;
    medirFila(0);
    if (filas > 1)
        medirFila(filas - 1);
    for (int f = 1; f + 1 < filas && !entera; ++f)
        medirFila(f);
    const auto completar = [&] {
        for (int f = 0; f < filas; ++f) {
            if (arriba[f] == Nada)
                arriba[f] = f > 0 ? abajo[f - 1] : 0;
            abajo[f] = std::max(abajo[f], arriba[f]);
        }
    };
    completar();
    // Del texto de las celdas al borde de la tabla: relleno, separación y borde.
    const QTextTableFormat formato = t->format();
    const double margen = formato.cellPadding() + formato.cellSpacing() + formato.border();
    const double inicio = arriba[0] - margen, fin = abajo[filas - 1] + margen;
    // Cada corte entre dos filas, a mitad del hueco que las separa.
    const auto corte = [&](int f) { return f >= filas ? fin : std::max(abajo[f - 1], (abajo[f - 1] + arriba[f]) / 2); };
    const int posicion = t->firstPosition();
    if (p.junto && fin - inicio <= altoCuerpo()) {
        unidades_.push_back({inicio, fin, posicion});
        return;
    }
    if (entera) {
        std::fill(arriba.begin(), arriba.end(), Nada);
        std::fill(abajo.begin(), abajo.end(), -Nada);
        for (int f = 0; f < filas; ++f)
            medirFila(f);
        completar();
    }
    // La que no cabe en ninguna hoja empieza una, con los títulos que la preceden, y se parte.
    const size_t primera = unidades_.size();
    // Las filas de cabecera van con la primera de datos y se repiten en cada hoja.
    const int cabecera = std::clamp(formato.headerRowCount(), 0, filas - 1);
    int banda = -1;
    if (cabecera > 0) {
        bandas_.push_back({inicio, corte(cabecera)});
        banda = int(bandas_.size()) - 1;
    }
    unidades_.push_back({inicio, corte(cabecera + 1), posicion});
    if (p.junto)
        unidades_[inicioTitulos_ >= 0 ? size_t(inicioTitulos_) : primera].forzada = true;
    for (int f = cabecera + 1; f < filas; ++f) {
        Unidad u{corte(f), corte(f + 1), t->cellAt(f, 0).firstPosition()};
        u.banda = banda;
        unidades_.push_back(u);
    }
}

void DocumentoInforme::cerrarHojas(bool final) const
{
    const double alto = altoCuerpo();
    const int n = int(unidades_.size());
    while (inicioHoja_ < n) {
        const int s = inicioHoja_;
        const Unidad& primera = unidades_[s];
        const int banda = primera.banda;
        const double desde = hojas_.empty() ? 0.0 : primera.corte;
        const double disponible = alto - (banda >= 0 ? bandas_[banda].hasta - bandas_[banda].desde : 0.0);
        // Medio punto de holgura: lo que acaba justo en el borde cabe.
        int j = s + 1;
        while (j < n && !unidades_[j].forzada && unidades_[j].abajo - desde <= disponible + 0.5)
            ++j;
        if (j == n) {
            if (final) {
                hojas_.push_back({desde, std::max(desde, unidades_.back().abajo) + 1, banda, s});
                inicioHoja_ = n;
            }
            return;
        }
        // Se corta delante de lo último que se puede separar de lo anterior; si nada se puede, lo
        // que no cabe en una hoja se parte donde cae.
        int corte = j;
        if (!unidades_[j].forzada) {
            int k = j;
            while (k > s && !unidades_[k].cortable)
                --k;
            if (k > s)
                corte = k;
        }
        hojas_.push_back({desde, unidades_[corte].corte, banda, s});
        inicioHoja_ = corte;
    }
    if (final && hojas_.empty())
        hojas_.push_back({0.0, alto, -1, 0});
}

bool DocumentoInforme::avanzarPieza() const
{
    if (compuesto_)
        return true;
    prepararPiezas();
    if (siguientePieza_ < int(piezas_.size())) {
        anadirUnidades(piezas_[siguientePieza_++]);
        cerrarHojas(false);
    } else {
        cerrarHojas(true);
        compuesto_ = true;
    }
    return compuesto_;
}

void DocumentoInforme::componerHasta(int hojas) const
{
    while (!compuesto_ && int(hojas_.size()) < hojas)
        avanzarPieza();
}

int DocumentoInforme::hojaDe(int posicion) const
{
    paginas();
    const QTextBlock b = doc_.findBlock(posicion);
    if (!b.isValid())
        return int(hojas_.size());
    const QTextLine linea = b.layout()->lineForTextPosition(posicion - b.position());
    const double y =
        doc_.documentLayout()->blockBoundingRect(b).top() + (linea.isValid() ? linea.y() + linea.height() / 2 : 0.0);
    const auto despues =
        std::upper_bound(hojas_.begin(), hojas_.end(), y, [](double valor, const Hoja& h) { return valor < h.desde; });
    return std::max(1, int(despues - hojas_.begin()));
}

QString DocumentoInforme::seccion(int pagina) const
{
    componerHasta(pagina);
    if (pagina < 1 || pagina > int(hojas_.size()))
        return {};
    const Hoja& hoja = hojas_[pagina - 1];
    // Lo de la hoja siguiente ya no cuenta: sin componer más allá de ella.
    const int limite = pagina < int(hojas_.size()) ? unidades_[hojas_[pagina].primera].posicion : INT_MAX;
    const double primeraAbajo = hoja.primera < int(unidades_.size()) ? unidades_[hoja.primera].abajo : hoja.hasta;
    const Ancla* arriba = nullptr;
    const Ancla* enLaHoja = nullptr;
    for (const Ancla& a : anclas_) {
        // Lo que empieza en la hoja siguiente se sabe por la posición sin medirlo; justo en el borde
        // (o si se escribió algo delante después de cortar, como las hojas del índice) se mide.
        const bool despues = a.bloque.position() + a.desde >= limite;
        const QTextLine linea = a.bloque.layout()->lineForTextPosition(a.desde);
        const double y = doc_.documentLayout()->blockBoundingRect(a.bloque).top() + (linea.isValid() ? linea.y() : 0);
        if (despues && y >= hoja.hasta)
            break;
        // En lo alto de la hoja: en lo primero que hay en ella.
        if (y < primeraAbajo)
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
    // Antes de pintar, la hoja tiene que estar ya cortada.
    componerHasta(pagina);
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
    if (pagina >= 1 && pagina <= int(hojas_.size())) {
        const Hoja& hoja = hojas_[pagina - 1];
        double y = mm(MargenSuperior), disponible = altoCuerpo();
        if (hoja.banda >= 0) {
            const Banda& banda = bandas_[hoja.banda];
            pintarTira(pintor, banda.desde, banda.hasta, y);
            y += banda.hasta - banda.desde;
            disponible -= banda.hasta - banda.desde;
        }
        pintarTira(pintor, hoja.desde, std::min(hoja.hasta, hoja.desde + disponible), y);
    }

    pintarMarca(pintor);
    pintor.restore();
}

void DocumentoInforme::pintarTira(QPainter& pintor, double desde, double hasta, double y) const
{
    const QRectF recorte(0, desde, doc_.pageSize().width(), std::max(0.0, hasta - desde));
    pintor.save();
    pintor.translate(mm(MargenIzquierdo), y - desde);
    pintor.setClipRect(recorte);
    QAbstractTextDocumentLayout::PaintContext contexto;
    // Qt pinta las líneas que tocan el recorte aunque sólo sea en el borde: la línea de justo
    // después del corte iría al PDF como texto invisible (y se leería dos veces al buscar).
    contexto.clip = recorte.adjusted(0, 0.5, 0, -0.5);
    contexto.palette.setColor(QPalette::Text, Qt::black);
    doc_.documentLayout()->draw(&pintor, contexto);
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
