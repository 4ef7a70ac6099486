// Maquetación de los documentos, mirada hoja a hoja sobre documentos hechos en la prueba: nada se
// supone de la letra que haya en la máquina; dónde cae cada cosa se saca de la propia composición.
#include "InformesPrueba.h"
#include "plataforma/Reloj.h"
#include "reports/DocumentoInforme.h"
#include "reports/MotorInforme.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

namespace {
class MaquetacionInforme : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { informes_prueba::aplicacion(); }
};

std::unique_ptr<DocumentoInforme> documento(const QString& html, const QString& cabecera = QStringLiteral("C"),
                                            const QString& marca = {})
{
    return std::make_unique<DocumentoInforme>(html, QStringLiteral("Prueba"), cabecera, QStringLiteral("P"), QString(),
                                              marca);
}

// Hoja (desde 1) en la que queda una posición del documento ya compuesto.
int hojaDePosicion(const DocumentoInforme& doc, int posicion)
{
    return doc.hojaDe(posicion);
}

// Hoja en la que queda un texto (que sólo sale una vez).
int hoja(DocumentoInforme& doc, const QString& buscado)
{
    doc.paginas();
    const QTextCursor c = doc.texto().find(buscado);
    EXPECT_FALSE(c.isNull()) << qPrintable(buscado);
    return c.isNull() ? 0 : hojaDePosicion(doc, c.selectionStart());
}

QString relleno(int lineas, const QString& texto = QStringLiteral("Relleno"))
{
    QString html;
    for (int i = 0; i < lineas; ++i)
        html += QStringLiteral("<p>%1 %2</p>").arg(texto).arg(i);
    return html;
}

QString tabla(const QString& ancla, int filas)
{
    QString html = QStringLiteral("<table width=\"100%\" border=\"1\" cellspacing=\"0\">"
                                  "<tr><td><a name=\"%1\"></a>INICIO</td><td>Cabeza</td></tr>")
                       .arg(ancla);
    for (int i = 1; i < filas - 1; ++i)
        html += QStringLiteral("<tr><td>Fila %1</td><td>Texto</td></tr>").arg(i);
    return html + QStringLiteral("<tr><td>FIN</td><td>Texto</td></tr></table>");
}

// Una tabla que no se parte pasa entera a la hoja siguiente y se lleva el título que la precede;
// la misma sin el ancla se parte donde cae.
TEST_F(MaquetacionInforme, TablaJuntaBajaEnteraConSuTitulo)
{
    int n = 0;
    for (; n < 200; ++n) {
        auto suelta = documento(relleno(n) + QStringLiteral("<h3>TITULO</h3>") + tabla("otra", 8));
        const int inicio = hoja(*suelta, "INICIO");
        if (hoja(*suelta, "FIN") > inicio && hoja(*suelta, "TITULO") == inicio)
            break;
    }
    ASSERT_LT(n, 200) << "ninguna tabla llegó a partirse";

    auto junta = documento(relleno(n) + QStringLiteral("<h3>TITULO</h3>") + tabla("junto", 8) +
                           QStringLiteral("<p>DESPUES</p>"));
    const int ultimaRelleno = hoja(*junta, QStringLiteral("Relleno %1").arg(n - 1));
    EXPECT_EQ(hoja(*junta, "TITULO"), ultimaRelleno + 1);
    EXPECT_EQ(hoja(*junta, "INICIO"), ultimaRelleno + 1);
    EXPECT_EQ(hoja(*junta, "FIN"), ultimaRelleno + 1);
    EXPECT_EQ(junta->paginas(), hoja(*junta, "DESPUES"));

    // Compuesto a trozos, como en la vista previa, queda igual.
    auto aTrozos = documento(relleno(n) + QStringLiteral("<h3>TITULO</h3>") + tabla("junto", 8) +
                             QStringLiteral("<p>DESPUES</p>"));
    while (!aTrozos->componerPaso()) {
    }
    EXPECT_EQ(hoja(*aTrozos, "INICIO"), ultimaRelleno + 1);
    EXPECT_EQ(hoja(*aTrozos, "FIN"), ultimaRelleno + 1);
}

// Más alta que una hoja no cabe en ninguna: empieza una y se parte, sin dejar hojas en blanco.
TEST_F(MaquetacionInforme, TablaJuntaMasAltaQueUnaHojaEmpiezaHoja)
{
    auto sola = documento(tabla("otra", 120));
    ASSERT_GT(hoja(*sola, "FIN"), hoja(*sola, "INICIO"));

    auto junta = documento(QStringLiteral("<p>ANTES</p>") + tabla("junto", 120));
    EXPECT_EQ(hoja(*junta, "ANTES"), 1);
    EXPECT_EQ(hoja(*junta, "INICIO"), 2);
    EXPECT_GT(hoja(*junta, "FIN"), 2);
    EXPECT_EQ(junta->paginas(), hoja(*junta, "FIN"));

    // Ya en lo alto de la hoja se queda donde está.
    EXPECT_EQ(hoja(*sola, "INICIO"), 1);
    auto arriba = documento(tabla("junto", 120));
    EXPECT_EQ(hoja(*arriba, "INICIO"), 1);
    EXPECT_EQ(arriba->paginas(), sola->paginas());
}

// Una tabla que sí se parte lo hace entre filas, nunca dentro de una (cada fila de varias líneas
// empieza y acaba en la misma hoja), y repite su cabecera arriba de cada hoja; el PDF no lleva el
// texto de una hoja escondido en la de al lado.
TEST_F(MaquetacionInforme, LasTablasSePartenEntreFilasConSuCabecera)
{
    QString html = QStringLiteral("<table width=\"100%\" border=\"1\" cellspacing=\"0\"><thead><tr><th>CABEZA</th>"
                                  "<th>Texto</th></tr></thead>");
    for (int i = 0; i < 60; ++i)
        html += QStringLiteral("<tr><td>FILA%1A<br/>uno<br/>dos<br/>FILA%1Z</td><td>x</td></tr>").arg(i);
    auto doc = documento(html + QStringLiteral("</table>"));
    ASSERT_GT(doc->paginas(), 2);
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(hoja(*doc, QStringLiteral("FILA%1A").arg(i)), hoja(*doc, QStringLiteral("FILA%1Z").arg(i))) << i;

    QTemporaryDir carpeta;
    const QString ruta = carpeta.filePath("tabla.pdf");
    ASSERT_TRUE(doc->exportarPdf(ruta));
    for (int p = 1; p <= doc->paginas(); ++p) {
        QProcess texto;
        texto.start(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QString::number(p), QStringLiteral("-l"),
                                                  QString::number(p), ruta, QStringLiteral("-")});
        ASSERT_TRUE(texto.waitForFinished(20000));
        const QString hojaTexto = QString::fromUtf8(texto.readAllStandardOutput());
        EXPECT_EQ(hojaTexto.count(QStringLiteral("CABEZA")), 1) << "hoja " << p;
        // Cada fila que sale en la hoja sale entera y una sola vez.
        EXPECT_EQ(hojaTexto.count(QRegularExpression(QStringLiteral("FILA\\d+A"))),
                  hojaTexto.count(QRegularExpression(QStringLiteral("FILA\\d+Z"))))
            << "hoja " << p;
    }
}

// En una tabla de grupos (la de los riesgos de un puesto: la fila del riesgo y las de sus medidas),
// la hoja sólo se corta delante de un grupo; el que no cabe en una hoja se parte igualmente.
TEST_F(MaquetacionInforme, LosGruposDeFilasNoSeSeparan)
{
    const auto grupos = [](int filasPorGrupo, int cuantos = 40) {
        QString html = QStringLiteral("<table width=\"100%\" cellspacing=\"0\"><thead><tr><th>CABEZA</th>"
                                      "<th>Texto</th></tr></thead>");
        for (int g = 0; g < cuantos; ++g) {
            html += QStringLiteral("<tr><td><a name=\"grupo\"></a>G%1A</td><td>x</td></tr>").arg(g);
            for (int f = 1; f < filasPorGrupo; ++f)
                html +=
                    QStringLiteral("<tr><td>G%1%2</td><td>x</td></tr>").arg(g).arg(f + 1 == filasPorGrupo ? 'Z' : 'M');
        }
        return documento(html + QStringLiteral("</table>"));
    };
    // Los grupos que hagan falta para llenar más de dos hojas con la letra que haya.
    int cuantos = 40;
    auto doc = grupos(3, cuantos);
    while (doc->paginas() <= 2 && cuantos < 640)
        doc = grupos(3, cuantos *= 2);
    ASSERT_GT(doc->paginas(), 2);
    for (int g = 0; g < cuantos; ++g)
        EXPECT_EQ(hoja(*doc, QStringLiteral("G%1A").arg(g)), hoja(*doc, QStringLiteral("G%1Z").arg(g))) << g;

    // Un grupo más alto que una hoja se parte donde cae, sin dejar la primera en blanco. Las hojas
    // llenas de antes dicen cuántas filas caben en una.
    auto alto = grupos(2 * 3 * cuantos / (doc->paginas() - 1) + 3);
    EXPECT_EQ(hoja(*alto, "G0A"), 1);
    EXPECT_GT(hoja(*alto, "G0Z"), 1);
}

// Un título al pie de una hoja baja a la siguiente con lo que le sigue. Se compara con un párrafo
// del mismo aspecto que no es título, que sí se queda.
TEST_F(MaquetacionInforme, TituloAlPieBajaConLoQueLeSigue)
{
    const QString estilo = QStringLiteral("style=\"font-size: 14pt; font-weight: bold; margin-top: 8px; "
                                          "margin-bottom: 8px;\"");
    int n = 0;
    for (; n < 200; ++n) {
        auto parrafo =
            documento(relleno(n) + QStringLiteral("<p %1>TITULO</p><p>DESPUES</p>").arg(estilo) + relleno(3));
        if (hoja(*parrafo, "DESPUES") > hoja(*parrafo, "TITULO"))
            break;
    }
    ASSERT_LT(n, 200);

    auto titulo = documento(relleno(n) + QStringLiteral("<h2 %1>TITULO</h2><p>DESPUES</p>").arg(estilo) + relleno(3));
    const int despues = hoja(*titulo, "DESPUES");
    EXPECT_EQ(hoja(*titulo, "TITULO"), despues);
    EXPECT_EQ(hoja(*titulo, QStringLiteral("Relleno %1").arg(n - 1)), despues - 1);
}

// "[[seccion]]" dice en cada hoja el apartado que tiene en lo alto; antes del primero, el primero
// de la hoja, y sin anclas, nada.
TEST_F(MaquetacionInforme, SeccionDeCadaHoja)
{
    const QString html =
        QStringLiteral("<p>Portada</p><h3><a name=\"seccion:Uno\"></a>Apartado uno</h3>") + relleno(150) +
        QStringLiteral("<h3 style=\"page-break-before: always;\"><a name=\"seccion:Dos\"></a>"
                       "Apartado dos</h3>") +
        relleno(60, "Segundo") + QStringLiteral("<h3><a name=\"seccion:Tres\"></a>Apartado tres</h3>") + relleno(150);
    auto doc = documento(html, QStringLiteral("[[seccion]] | Hoja [[pagina]]"));
    const int uno = hoja(*doc, "Apartado uno"), dos = hoja(*doc, "Apartado dos"), tres = hoja(*doc, "Apartado tres");
    ASSERT_EQ(uno, 1);
    ASSERT_GT(dos, 2);
    ASSERT_GT(doc->paginas(), tres);
    // "Tres" sólo da nombre a su hoja si nada de "Dos" queda encima de él en ella.
    const bool tresArriba = hoja(*doc, "Segundo 59") < tres;
    for (int p = 1; p <= doc->paginas(); ++p) {
        const QString esperada = p < dos ? "Uno" : p < tres || (p == tres && !tresArriba) ? "Dos" : "Tres";
        EXPECT_EQ(doc->cabecera(p), esperada) << "hoja " << p;
        EXPECT_EQ(doc->cabecera(p, true), QStringLiteral("Hoja %1").arg(p));
    }

    auto sinAnclas = documento(relleno(5), QStringLiteral("[[seccion]]|x"));
    EXPECT_EQ(sinAnclas->cabecera(1), QString());
}

// Puntos grises en el centro de la hoja: la marca de borrador.
int grisesEnElCentro(const DocumentoInforme& doc, int pagina)
{
    const QSizeF tam = DocumentoInforme::tamanoHoja() * 0.5;
    QImage imagen(tam.toSize(), QImage::Format_RGB32);
    imagen.fill(Qt::white);
    QPainter pintor(&imagen);
    doc.pintarHoja(pintor, pagina, 0.5);
    pintor.end();
    int grises = 0;
    for (int y = imagen.height() * 35 / 100; y < imagen.height() * 65 / 100; ++y)
        for (int x = imagen.width() * 35 / 100; x < imagen.width() * 65 / 100; ++x) {
            const QColor c = imagen.pixelColor(x, y);
            if (c.red() < 250 && c.red() > 100 && std::abs(c.red() - c.green()) < 4 && std::abs(c.red() - c.blue()) < 4)
                ++grises;
        }
    return grises;
}

TEST_F(MaquetacionInforme, MarcaDeBorradorEnTodasLasHojasSoloSiHayTexto)
{
    const QString html = QStringLiteral("<p>Una</p><p style=\"page-break-before: always;\">Dos</p>"
                                        "<p style=\"page-break-before: always;\">Tres</p>");
    auto borrador = documento(html, "C", QStringLiteral("BORRADOR — evaluación incompleta"));
    ASSERT_EQ(borrador->paginas(), 3);
    for (int p = 1; p <= 3; ++p)
        EXPECT_GT(grisesEnElCentro(*borrador, p), 100) << "hoja " << p;
    for (const QString& vacia : {QString(), QStringLiteral("  \n ")}) {
        auto limpio = documento(html, "C", vacia);
        for (int p = 1; p <= 3; ++p)
            EXPECT_EQ(grisesEnElCentro(*limpio, p), 0) << "hoja " << p;
    }
}

// La plantilla da la marca con los mismos datos que la cabecera, y "{{fecha}}" es el día de Hoy().
TEST_F(MaquetacionInforme, PlantillaConMarcaYFechaDeHoy)
{
    QTemporaryDir carpeta;
    const QString ruta = carpeta.filePath("prueba.rpt");
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("@titulo Informe\n"
            "@cabecera {{titulo}} | Impreso el {{fecha}}\n"
            "@pie x\n"
            "@marca {{^con_datos}}SIN DATOS {{fecha}}{{/con_datos}}\n"
            "@consulta centro\n"
            "SELECT 1 AS Uno WHERE {CentroTrabajo.IDCentro} = 1\n"
            "@html\n<p>Cuerpo {{fecha}}</p>\n");
    f.close();
    FijarHoy(QDate(2024, 3, 5));
    MotorInforme motor;
    motor.abrirPlantilla(ruta);
    motor.fijarFormula(QStringLiteral("esto no es una fórmula"));
    const auto doc = motor.generar();
    FijarHoy(QDate());
    EXPECT_EQ(doc->marca(), QStringLiteral("SIN DATOS 05/03/2024"));
    EXPECT_EQ(doc->cabecera(1, true), QStringLiteral("Impreso el 05/03/2024"));
    EXPECT_FALSE(doc->texto().find(QStringLiteral("Cuerpo 05/03/2024")).isNull());
}
} // namespace
