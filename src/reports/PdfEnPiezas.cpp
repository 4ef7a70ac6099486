#include "reports/PdfEnPiezas.h"

#include "reports/DocumentoInforme.h"
#include "reports/UnionPdf.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <latch>
#include <memory>
#include <numeric>
#include <vector>

QStringList PiezasDeHoja(const QString& html)
{
    const qsizetype etiquetaCuerpo = html.indexOf(QLatin1String("<body"), 0, Qt::CaseInsensitive);
    const qsizetype cuerpo = etiquetaCuerpo < 0 ? -1 : html.indexOf(QLatin1Char('>'), etiquetaCuerpo);
    qsizetype fin = html.lastIndexOf(QLatin1String("</body"), -1, Qt::CaseInsensitive);
    if (cuerpo < 0 || fin < cuerpo)
        return {html};
    const QString cabeza = html.left(cuerpo + 1);
    static const QRegularExpression etiqueta(QStringLiteral(R"(<(/?)(table|div|h[1-6]|p)\b([^>]*)>)"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression salto(QStringLiteral(R"(page-break-before\s*:\s*always)"),
                                          QRegularExpression::CaseInsensitiveOption);
    std::vector<qsizetype> cortes{cuerpo + 1};
    int tablas = 0, bloques = 0;
    for (auto it = etiqueta.globalMatch(html, cuerpo + 1); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedStart() >= fin)
            break;
        const bool cierre = !m.capturedView(1).isEmpty();
        const QString nombre = m.captured(2).toLower();
        if (nombre == QLatin1String("table"))
            tablas += cierre ? -1 : 1;
        else if (nombre == QLatin1String("div"))
            bloques += cierre ? -1 : 1;
        else if (!cierre && tablas == 0 && bloques == 0 && salto.match(m.capturedView(3)).hasMatch())
            cortes.push_back(m.capturedStart());
    }
    cortes.push_back(fin);
    QStringList piezas;
    for (size_t i = 0; i + 1 < cortes.size(); ++i) {
        const QString trozo = html.mid(cortes[i], cortes[i + 1] - cortes[i]);
        if (!trozo.trimmed().isEmpty())
            piezas << cabeza + trozo + QStringLiteral("</body></html>");
    }
    return piezas.size() > 1 ? piezas : QStringList{html};
}

bool EscribirPdfEnPiezas(const QStringList& piezas, const HojasDocumento& hojas, QIODevice& destino)
{
    const int n = int(piezas.size());
    const int hilos = std::clamp(QThread::idealThreadCount(), 1, std::min(4, n));
    const auto piezasN = static_cast<size_t>(n), hilosN = static_cast<size_t>(hilos);

    // Cada hilo toma el trozo siguiente en cuanto acaba el suyo, así ninguno espera a otro con más
    // texto. Luego pinta los que compuso, en su orden, y la unión pone las hojas en el del documento.
    std::atomic<int> siguiente{0};
    std::vector<int> hojasPieza(piezasN, 0), hiloPieza(piezasN, 0), desdePieza(piezasN, 0);
    std::vector<QString> ultimaSeccion(piezasN);
    std::vector<QByteArray> pdfs(hilosN);
    std::vector<char> bien(hilosN, 0);
    std::latch compuestos(hilos);

    const auto trabajo = [&](int h) {
        // Cada trozo vive y muere en su hilo, que es el de su letra.
        std::vector<std::pair<int, std::unique_ptr<DocumentoInforme>>> docs;
        for (int k; (k = siguiente.fetch_add(1)) < n;) {
            auto d = std::make_unique<DocumentoInforme>(piezas[k], hojas.titulo, hojas.cabecera, hojas.pie, QString(),
                                                        hojas.marca);
            hojasPieza[size_t(k)] = d->paginas();
            ultimaSeccion[size_t(k)] = d->ultimaSeccion();
            hiloPieza[size_t(k)] = h;
            docs.emplace_back(k, std::move(d));
        }
        // La numeración necesita las hojas de todos.
        compuestos.arrive_and_wait();
        const int todas = std::accumulate(hojasPieza.begin(), hojasPieza.end(), 0);
        QBuffer salida(&pdfs[size_t(h)]);
        salida.open(QIODevice::WriteOnly);
        QPdfWriter pdf(&salida);
        pdf.setResolution(600);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
        pdf.setTitle(hojas.titulo);
        pdf.setCreator(QStringLiteral("Evaluación de Riesgos"));
        QPainter pintor;
        if (!pintor.begin(&pdf))
            return;
        int pintadas = 0;
        for (auto& [k, doc] : docs) {
            const int antes = std::accumulate(hojasPieza.begin(), hojasPieza.begin() + k, 0);
            QString seccion;
            for (int j = 0; j < k; ++j)
                if (!ultimaSeccion[size_t(j)].isEmpty())
                    seccion = ultimaSeccion[size_t(j)];
            doc->numerar(antes, todas, seccion);
            if (pintadas > 0)
                pdf.newPage();
            doc->pintar(pintor, pdf);
            desdePieza[size_t(k)] = pintadas;
            pintadas += hojasPieza[size_t(k)];
        }
        bien[size_t(h)] = pintor.end();
    };

    std::vector<std::unique_ptr<QThread>> otros;
    for (int h = 1; h < hilos; ++h) {
        otros.emplace_back(QThread::create(trabajo, h));
        otros.back()->start();
    }
    trabajo(0);
    for (auto& t : otros)
        t->wait();
    if (std::find(bien.begin(), bien.end(), 0) != bien.end())
        return false;
    // Un hilo que no llegó a tomar ningún trozo deja un PDF sin hojas, que no se une.
    std::vector<QByteArray> conHojas;
    std::vector<int> parteDe(hilosN, -1);
    for (size_t h = 0; h < hilosN; ++h)
        if (std::find(hiloPieza.begin(), hiloPieza.end(), int(h)) != hiloPieza.end()) {
            parteDe[h] = int(conHojas.size());
            conHojas.push_back(pdfs[h]);
        }
    std::vector<TramoHojas> orden;
    for (size_t k = 0; k < piezasN; ++k)
        orden.push_back({parteDe[size_t(hiloPieza[k])], desdePieza[k], hojasPieza[k]});
    return UnirPdf(conHojas, orden, destino);
}
