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
    // Trozos seguidos para cada hilo, con más o menos el mismo texto en cada uno.
    std::vector<int> desde(static_cast<size_t>(hilos) + 1, n);
    desde[0] = 0;
    qsizetype total = 0;
    for (const QString& p : piezas)
        total += p.size();
    qsizetype llevado = 0;
    for (int k = 0, h = 1; k < n && h < hilos; ++k) {
        llevado += piezas[k].size();
        if (llevado * hilos >= total * h && n - (k + 1) >= hilos - h)
            desde[size_t(h++)] = k + 1;
    }

    const auto piezasN = static_cast<size_t>(n), hilosN = static_cast<size_t>(hilos);
    std::vector<int> hojasPieza(piezasN, 0);
    std::vector<QString> ultimaSeccion(piezasN);
    std::vector<QByteArray> pdfs(hilosN);
    std::vector<char> bien(hilosN, 0);
    std::latch compuestos(hilos);

    const auto trabajo = [&](int h) {
        // Cada trozo vive y muere en su hilo, que es el de su letra.
        std::vector<std::unique_ptr<DocumentoInforme>> docs;
        for (int k = desde[size_t(h)]; k < desde[size_t(h) + 1]; ++k) {
            auto d = std::make_unique<DocumentoInforme>(piezas[k], hojas.titulo, hojas.cabecera, hojas.pie, QString(),
                                                        hojas.marca);
            hojasPieza[size_t(k)] = d->paginas();
            ultimaSeccion[size_t(k)] = d->ultimaSeccion();
            docs.push_back(std::move(d));
        }
        // La numeración necesita las hojas de todos.
        compuestos.arrive_and_wait();
        const int todas = std::accumulate(hojasPieza.begin(), hojasPieza.end(), 0);
        int antes = std::accumulate(hojasPieza.begin(), hojasPieza.begin() + desde[size_t(h)], 0);
        QString seccion;
        for (int k = 0; k < desde[size_t(h)]; ++k)
            if (!ultimaSeccion[size_t(k)].isEmpty())
                seccion = ultimaSeccion[size_t(k)];
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
        for (size_t i = 0; i < docs.size(); ++i) {
            const int k = desde[size_t(h)] + int(i);
            docs[i]->numerar(antes, todas, seccion);
            if (i > 0)
                pdf.newPage();
            docs[i]->pintar(pintor, pdf);
            antes += hojasPieza[size_t(k)];
            if (!ultimaSeccion[size_t(k)].isEmpty())
                seccion = ultimaSeccion[size_t(k)];
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
    return UnirPdf(pdfs, destino);
}
