#include "reports/CorteHojas.h"

#include <QAbstractTextDocumentLayout>
#include <QPaintDevice>
#include <QPainter>
#include <QTextDocument>
#include <QTextTable>
#include <algorithm>
#include <climits>
#include <limits>

namespace {
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

CorteHojas::CorteHojas(const QTextDocument& documento, double alto) : doc_(documento), alto_(alto)
{
}

void CorteHojas::prepararPiezas()
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
}

void CorteHojas::anadirUnidades(const Pieza& p)
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

void CorteHojas::anadirFilas(const Pieza& p)
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
    // Del texto de las celdas al borde de la tabla: relleno, separación y borde, que Qt lleva de
    // píxeles de pantalla a los del dispositivo en que compone.
    const QTextTableFormat formato = t->format();
    const QPaintDevice* dispositivo = doc_.documentLayout()->paintDevice();
    const double escala = dispositivo ? dispositivo->logicalDpiY() / 96.0 : 1.0;
    const double margen = (formato.cellPadding() + formato.cellSpacing() + formato.border()) * escala;
    const double inicio = arriba[0] - margen, fin = abajo[filas - 1] + margen;
    // Cada corte entre dos filas, a mitad del hueco que las separa.
    const auto corte = [&](int f) { return f >= filas ? fin : std::max(abajo[f - 1], (abajo[f - 1] + arriba[f]) / 2); };
    const int posicion = t->firstPosition();
    if (p.junto && fin - inicio <= alto_) {
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
    // Si alguna fila empieza un grupo, las que no lo empiezan van con la anterior: la hoja sólo se
    // corta delante de un grupo (salvo el que no cabe en una hoja, que se parte donde cae).
    std::vector<bool> empiezaGrupo(filas, false);
    bool hayGrupos = false;
    for (int f = cabecera + 1; f < filas; ++f) {
        const QTextTableCell celda = t->cellAt(f, 0);
        empiezaGrupo[f] = hayAncla(doc_, celda.firstPosition(), celda.lastPosition(), QStringLiteral("grupo"));
        hayGrupos = hayGrupos || empiezaGrupo[f];
    }
    for (int f = cabecera + 1; f < filas; ++f) {
        Unidad u{corte(f), corte(f + 1), t->cellAt(f, 0).firstPosition()};
        u.banda = banda;
        u.cortable = !hayGrupos || empiezaGrupo[f];
        unidades_.push_back(u);
    }
}

void CorteHojas::cerrarHojas(bool final)
{
    const double alto = alto_;
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
                // La última llega al final del documento, con el borde de abajo de lo último.
                const double fin = doc_.documentLayout()->documentSize().height();
                hojas_.push_back({desde, std::max({desde, unidades_.back().abajo + 1, fin}), banda, s});
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

bool CorteHojas::avanzar()
{
    if (cortado_)
        return true;
    prepararPiezas();
    if (siguientePieza_ < int(piezas_.size())) {
        anadirUnidades(piezas_[siguientePieza_++]);
        cerrarHojas(false);
    } else {
        cerrarHojas(true);
        cortado_ = true;
    }
    return cortado_;
}

void CorteHojas::cortarHasta(int hojas)
{
    while (!cortado_ && int(hojas_.size()) < hojas)
        avanzar();
}

int CorteHojas::posicionSiguiente() const
{
    if (!preparado_)
        return 0;
    if (siguientePieza_ >= int(piezas_.size()))
        return INT_MAX;
    const Pieza& p = piezas_[siguientePieza_];
    return p.tabla ? p.tabla->firstPosition() : p.bloque.position();
}

int CorteHojas::posicionInicio(int pagina) const
{
    const int primera = hojas_[pagina - 1].primera;
    return primera < int(unidades_.size()) ? unidades_[primera].posicion : INT_MAX;
}

double CorteHojas::finPrimeraLinea(int pagina) const
{
    const Hoja& h = hojas_[pagina - 1];
    return h.primera < int(unidades_.size()) ? unidades_[h.primera].abajo : h.hasta;
}

int CorteHojas::hojaDe(int posicion)
{
    cortarHasta(INT_MAX);
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

void CorteHojas::pintar(QPainter& pintor, int pagina, double x, double y, const QColor& texto) const
{
    if (pagina < 1 || pagina > int(hojas_.size()))
        return;
    const Hoja& hoja = hojas_[pagina - 1];
    double disponible = alto_;
    if (hoja.banda >= 0) {
        const Banda& banda = bandas_[hoja.banda];
        pintarTira(pintor, banda.desde, banda.hasta, x, y, texto);
        y += banda.hasta - banda.desde;
        disponible -= banda.hasta - banda.desde;
    }
    pintarTira(pintor, hoja.desde, std::min(hoja.hasta, hoja.desde + disponible), x, y, texto);
}

void CorteHojas::pintarTira(QPainter& pintor, double desde, double hasta, double x, double y, const QColor& texto) const
{
    const QRectF recorte(0, desde, doc_.textWidth(), std::max(0.0, hasta - desde));
    pintor.save();
    pintor.translate(x, y - desde);
    pintor.setClipRect(recorte);
    QAbstractTextDocumentLayout::PaintContext contexto;
    // Qt pinta las líneas que tocan el recorte aunque sólo sea en el borde: la línea de justo
    // después del corte iría al PDF como texto invisible (y se leería dos veces al buscar).
    contexto.clip = recorte.adjusted(0, 0.5, 0, -0.5);
    contexto.palette.setColor(QPalette::Text, texto);
    doc_.documentLayout()->draw(&pintor, contexto);
    pintor.restore();
}
