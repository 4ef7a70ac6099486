// Los trozos de un informe y la unión de sus PDF: dónde se parte el HTML y qué sale al unir varios
// PDF escritos por QPdfWriter.
#include "InformesPrueba.h"
#include "reports/PdfEnPiezas.h"
#include "reports/UnionPdf.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
class UnionPdf : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { informes_prueba::aplicacion(); }
};

// Un PDF con tantas hojas como textos, uno en cada una.
QByteArray pdf(const QStringList& hojas)
{
    QByteArray datos;
    QBuffer salida(&datos);
    salida.open(QIODevice::WriteOnly);
    QPdfWriter escritor(&salida);
    escritor.setTitle(QStringLiteral("Prueba"));
    QPainter pintor(&escritor);
    for (qsizetype i = 0; i < hojas.size(); ++i) {
        if (i > 0)
            escritor.newPage();
        pintor.drawText(QPointF(200, 200), hojas[i]);
    }
    pintor.end();
    return datos;
}

// El texto de cada hoja de un PDF, como lo lee pdftotext.
QStringList textoDeHojas(const QString& ruta)
{
    QProcess texto;
    texto.start(QStringLiteral("pdftotext"), {ruta, QStringLiteral("-")});
    if (!texto.waitForFinished(20000) || texto.exitCode() != 0)
        return {texto.readAllStandardError()};
    QStringList hojas = QString::fromUtf8(texto.readAllStandardOutput()).split(QLatin1Char('\f'));
    hojas.removeLast(); // tras la última hay un salto de hoja
    for (QString& h : hojas)
        h = h.trimmed();
    return hojas;
}
} // namespace

// Las hojas de todos, en su orden, en un PDF que se lee entero; lo que no es un PDF así no se une.
TEST_F(UnionPdf, LasHojasDeTodosEnSuOrden)
{
    QTemporaryDir carpeta;
    QFile archivo(carpeta.filePath("unido.pdf"));
    ASSERT_TRUE(archivo.open(QIODevice::WriteOnly));
    ASSERT_TRUE(UnirPdf({pdf({"UNO", "DOS"}), pdf({"TRES"}), pdf({"CUATRO", "CINCO", "SEIS"})}, archivo));
    archivo.close();
    EXPECT_EQ(textoDeHojas(archivo.fileName()), QStringList({"UNO", "DOS", "TRES", "CUATRO", "CINCO", "SEIS"}));

    QBuffer otro;
    otro.open(QIODevice::WriteOnly);
    QString error;
    QByteArray cortado = pdf({"UNO"});
    cortado.chop(60);
    EXPECT_FALSE(UnirPdf({pdf({"UNO"}), cortado}, otro, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("parte 2"))) << error.toStdString();
}

// Con un orden, las hojas salen en el de sus tramos, aunque salten de una parte a otra; un orden que
// repite u olvida una hoja, o pide una que no hay, no se une.
TEST_F(UnionPdf, LasHojasEnElOrdenDeSusTramos)
{
    const std::vector<QByteArray> partes{pdf({"UNO", "TRES", "CUATRO"}), pdf({"DOS", "CINCO"})};
    QTemporaryDir carpeta;
    QFile archivo(carpeta.filePath("unido.pdf"));
    ASSERT_TRUE(archivo.open(QIODevice::WriteOnly));
    ASSERT_TRUE(UnirPdf(partes, {{0, 0, 1}, {1, 0, 1}, {0, 1, 2}, {1, 1, 1}}, archivo));
    archivo.close();
    EXPECT_EQ(textoDeHojas(archivo.fileName()), QStringList({"UNO", "DOS", "TRES", "CUATRO", "CINCO"}));

    const std::vector<std::vector<TramoHojas>> malos{
        {{0, 0, 3}, {1, 0, 1}},            // falta la última de la segunda
        {{0, 0, 3}, {1, 0, 2}, {0, 2, 1}}, // repite una de la primera
        {{0, 0, 3}, {1, 0, 3}},            // la segunda no tiene tres
        {{0, 0, 3}, {1, 0, 2}, {2, 0, 1}}, // no hay tercera parte
    };
    for (const auto& orden : malos) {
        QBuffer otro;
        otro.open(QIODevice::WriteOnly);
        QString error;
        EXPECT_FALSE(UnirPdf(partes, orden, otro, &error)) << orden.size();
        EXPECT_TRUE(error.contains(QStringLiteral("orden de las hojas"))) << error.toStdString();
    }
}

// El HTML se parte delante de cada salto de hoja pedido fuera de tablas y bloques, y cada trozo
// lleva la cabecera del documento; dentro de una tabla o de un bloque no se parte.
TEST_F(UnionPdf, ElHtmlSeParteDelanteDeLosSaltosDeHoja)
{
    const QString cabeza = QStringLiteral("<html><head><style>p { color: red; }</style></head><body>");
    const QString html = cabeza + QStringLiteral("<p>A</p><h2 style=\"page-break-before: always;\">B</h2>"
                                                 "<table><tr><td><p style=\"page-break-before:always\">C</p></td></tr>"
                                                 "</table><div><p style=\"page-break-before: always\">D</p></div>"
                                                 "<P STYLE=\"PAGE-BREAK-BEFORE: ALWAYS\">E</P></body></html>");
    const QStringList piezas = PiezasDeHoja(html);
    ASSERT_EQ(piezas.size(), 3);
    for (const QString& p : piezas) {
        EXPECT_TRUE(p.startsWith(cabeza));
        EXPECT_TRUE(p.endsWith(QStringLiteral("</body></html>")));
    }
    EXPECT_TRUE(piezas[0].contains(QStringLiteral("<p>A</p>")));
    EXPECT_TRUE(piezas[1].contains(QStringLiteral(">B</h2>")) && piezas[1].contains(QStringLiteral(">D</p>")));
    EXPECT_TRUE(piezas[2].contains(QStringLiteral(">E</P>")));
    // Sin saltos, o sin cuerpo, un solo trozo: el documento tal cual.
    EXPECT_EQ(PiezasDeHoja(cabeza + "<p>A</p></body></html>"), QStringList{cabeza + "<p>A</p></body></html>"});
    EXPECT_EQ(PiezasDeHoja(QStringLiteral("<p>sin cuerpo</p>")).size(), 1);
}
