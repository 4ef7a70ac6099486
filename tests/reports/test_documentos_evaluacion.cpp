// Lo que hace firmable el documento de la evaluación y el del plan, comprobado sobre el documento
// compuesto por el motor con las plantillas de verdad: la marca de borrador cuando falta algo, la
// versión y su fecha, lo observado y las medidas que ya existen, y la maquetación de las tablas.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "InformesPrueba.h"
#include "plataforma/Reloj.h"
#include "reports/DocumentoInforme.h"
#include "reports/Informes.h"
#include "reports/PdfEnPiezas.h"
#include "reports/UnionPdf.h"
#include "shell/Comprobaciones.h"
#include "store/VersionEvaluacion.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>
#include <gtest/gtest.h>

namespace {
class DocumentosEvaluacion : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { informes_prueba::aplicacion(); }

    void SetUp() override
    {
        FijarHoy(QDate(2030, 1, 15));
        cx = copia.conexion();
        empresa = datos::insertar(cx,
                                  "INSERT INTO Empresas (Nombre, Poblacion, Persona, Cargo) VALUES ('Talleres Prueba', "
                                  "'Getafe', 'Ana Evaluadora', 'Técnica')",
                                  {});
        centro = datos::centro(cx, empresa, "Calle Mayor 1");
        Recordset::execute("UPDATE CentroTrabajo SET FechaEvaluacion = '2026-03-02', MotivoEvaluacion = 'Periódica' "
                           "WHERE IDCentro = ?",
                           cx, {centro});
        Recordset f;
        f.open("SELECT IDFactor FROM FactoresRiesgos ORDER BY IDFactor LIMIT 2", cx);
        for (long long& id : idFactor) {
            id = f.value(0).toLongLong();
            f.moveNext();
        }
        Recordset r;
        r.open("SELECT IDRiesgo, Riesgo FROM Riesgos ORDER BY IDRiesgo LIMIT 7", cx);
        for (int i = 0; i < 7; ++i, r.moveNext()) {
            idRiesgo[i] = r.value(0).toLongLong();
            riesgo[i] = r.value(1).toString();
        }
        // Un centro completo: dos puestos, cada factor marcado con sus riesgos valorados y alguna
        // medida elegida. Niveles: 1 trivial, 2 tolerables, 4 moderados.
        dependiente = datos::puesto(cx, centro, "Dependiente");
        mozo = datos::puesto(cx, centro, "Mozo de almacén");
        const long long fd = datos::factor(cx, dependiente, idFactor[0], "S");
        const long long fm = datos::factor(cx, mozo, idFactor[1], "S");
        const char* niveles[] = {"Riesgo Trivial",  "Riesgo Tolerable", "Riesgo Tolerable", "Riesgo Moderado",
                                 "Riesgo Moderado", "Riesgo Moderado",  "Riesgo Moderado"};
        for (int i = 0; i < 7; ++i) {
            evaluacion[i] = datos::evaluacion(cx, i < 3 ? fd : fm, idRiesgo[i], "S", niveles[i]);
            medida(evaluacion[i], QStringLiteral("Medida %1").arg(i), "S");
        }
    }
    void TearDown() override { FijarHoy({}); }

    void medida(long long fila, const QString& texto, const QString& marca, const QString& implantada = "N")
    {
        datos::insertar(cx,
                        "INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida, Implantada) "
                        "VALUES (?, ?, ?, ?)",
                        {fila, texto, marca, implantada});
    }

    // Treinta riesgos tolerables más en el factor del mozo, con una medida cada uno: unas hojas más.
    void treintaRiesgosMasAlMozo()
    {
        Recordset rs;
        rs.open("SELECT IDEvaluacionCrear FROM FactoresSeleccionarEvaluacion WHERE IDPuestoCentro = ?", cx, {mozo});
        const long long fila = rs.value(0).toLongLong();
        Recordset otros;
        otros.open("SELECT IDRiesgo FROM Riesgos ORDER BY IDRiesgo LIMIT 30 OFFSET 7", cx);
        for (; !otros.eof(); otros.moveNext())
            medida(datos::evaluacion(cx, fila, otros.value(0).toLongLong(), "S", "Riesgo Tolerable"), "Medida", "S");
    }

    std::unique_ptr<DocumentoInforme> documento(const QString& fichero, const QString& formula)
    {
        return informes_prueba::documento(copia.carpeta(), fichero, formula);
    }
    std::unique_ptr<DocumentoInforme> evaluacionDe(long long c, long long e = 0)
    {
        return documento(Informes::FicheroEvaluacion, FormulaEvaluacion(c, e ? e : empresa));
    }
    QStringList lineas(long long c) { return evaluacionDe(c)->texto().toPlainText().split(QLatin1Char('\n')); }

    CopiaPrograma copia;
    QString cx;
    long long empresa = 0, centro = 0, dependiente = 0, mozo = 0;
    long long idFactor[2] = {}, idRiesgo[7] = {}, evaluacion[7] = {};
    QString riesgo[7];
};

// Las líneas de una comprobación del asistente, sin los saltos de línea.
QStringList lineasDe(const Comprobacion& c)
{
    return c.pendientes.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

// Posición de cada texto en el documento, buscando cada uno a partir del anterior: -1 si alguno falta
// o sale antes de tiempo.
qsizetype enOrden(const QString& texto, const QStringList& partes)
{
    qsizetype desde = 0;
    for (const QString& p : partes) {
        desde = texto.indexOf(p, desde);
        if (desde < 0)
            return -1;
    }
    return desde;
}

// Todas las tablas del documento, también las anidadas.
void tablas(QTextFrame* marco, QList<QTextTable*>& lista)
{
    for (QTextFrame* hijo : marco->childFrames()) {
        if (auto* t = qobject_cast<QTextTable*>(hijo))
            lista << t;
        tablas(hijo, lista);
    }
}

// Un borrador lleva la marca en todas las hojas y lo dice en la primera.
bool borrador(const DocumentoInforme& doc)
{
    const bool marca = doc.marca() == QStringLiteral("BORRADOR — evaluación incompleta") ||
                       doc.marca() == QStringLiteral("BORRADOR — planificación incompleta");
    const bool aviso = doc.texto().toPlainText().contains(QStringLiteral(" no está completa."));
    EXPECT_EQ(marca, aviso) << qPrintable(doc.marca());
    EXPECT_TRUE(marca || doc.marca().isEmpty()) << qPrintable(doc.marca());
    return marca && aviso;
}

bool letra(QChar c)
{
    return c.isLetterOrNumber();
}
} // namespace

// El borrador: ni una marca en un centro completo; con cualquiera de las comprobaciones del
// asistente en falta, la marca en cada hoja y, en la primera, las mismas líneas que da la comprobación.
TEST_F(DocumentosEvaluacion, LaMarcaDeBorradorSaleJustoCuandoFaltaAlgo)
{
    const auto completo = evaluacionDe(centro);
    EXPECT_FALSE(borrador(*completo));

    struct Caso
    {
        const char* estropear;
        const char* arreglar;
        Comprobacion (*comprobar)(const QString&, qint64, qint64);
    };
    const Caso casos[] = {
        {"UPDATE FactoresSeleccionarEvaluacion SET FactorSelecionado = 'N' WHERE IDPuestoCentro = ?",
         "UPDATE FactoresSeleccionarEvaluacion SET FactorSelecionado = 'S' WHERE IDPuestoCentro = ?",
         ComprobarFactores},
        {"UPDATE Evaluacion SET Probabilidad = NULL WHERE IDPuestoCentro = ? AND IDEvaluacion IN "
         "(SELECT min(IDEvaluacion) FROM Evaluacion GROUP BY IDPuestoCentro)",
         "UPDATE Evaluacion SET Probabilidad = 'Media' WHERE IDPuestoCentro = ?", ComprobarRiesgos},
        {"UPDATE MedidasFactores SET MarcarMedida = 'N' WHERE IDEvaluacion IN "
         "(SELECT IDEvaluacion FROM Evaluacion WHERE IDPuestoCentro = ?)",
         "UPDATE MedidasFactores SET MarcarMedida = 'S' WHERE IDEvaluacion IN "
         "(SELECT IDEvaluacion FROM Evaluacion WHERE IDPuestoCentro = ?)",
         ComprobarMedidas},
    };
    for (const Caso& caso : casos) {
        Recordset::execute(caso.estropear, cx, {mozo});
        const Comprobacion c = caso.comprobar(cx, empresa, centro);
        ASSERT_FALSE(c.completo) << caso.estropear;
        const auto doc = evaluacionDe(centro);
        EXPECT_TRUE(borrador(*doc)) << caso.estropear;
        const QStringList texto = doc->texto().toPlainText().split(QLatin1Char('\n'));
        for (const QString& linea : lineasDe(c))
            EXPECT_TRUE(texto.contains(linea)) << qPrintable(linea);
        Recordset::execute(caso.arreglar, cx, {mozo});
        ASSERT_TRUE(caso.comprobar(cx, empresa, centro).completo) << caso.arreglar;
    }
    EXPECT_FALSE(borrador(*evaluacionDe(centro)));

    // Un grado en blanco pasa la comprobación del asistente, pero el riesgo no tiene nivel.
    Recordset::execute("UPDATE Evaluacion SET Consecuencias = '  ' WHERE IDEvaluacion = ?", cx, {evaluacion[0]});
    ASSERT_TRUE(ComprobarRiesgos(cx, empresa, centro).completo);
    EXPECT_TRUE(borrador(*evaluacionDe(centro)));
    EXPECT_TRUE(lineas(centro).contains(
        QStringLiteral("    %1 - Dependiente (%2)").arg(dependiente, 4, 10, QLatin1Char('0')).arg(riesgo[0])));

    // Un centro sin puestos pasa las tres comprobaciones sin nada que evaluar.
    const long long vacio = datos::centro(cx, empresa, "Nave vacía");
    EXPECT_TRUE(borrador(*evaluacionDe(vacio)));
    EXPECT_TRUE(lineas(vacio).contains(QStringLiteral("El centro no tiene puestos de trabajo.")))
        << qPrintable(lineas(vacio).mid(0, 20).join("\n"));
}

TEST_F(DocumentosEvaluacion, ElPlanEsBorradorSinAccionesOConMenosQueRiesgosGraves)
{
    const auto esBorrador = [&] {
        return borrador(*documento(Informes::FicheroPlanificacion, FormulaPlanificacion(centro)));
    };
    EXPECT_TRUE(esBorrador()); // sin plan
    const long long plan = datos::insertar(
        cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro, Persona, Fecha) VALUES (?, 'Luis', '2026-04-01')",
        {centro});
    EXPECT_TRUE(esBorrador()); // plan sin acciones
    const auto accion = [&] {
        datos::insertar(
            cx, "INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva) VALUES (?, 'A')", {plan});
    };
    accion();
    EXPECT_FALSE(esBorrador()); // sólo riesgos moderados o menores: basta una acción
    Recordset::execute("UPDATE Evaluacion SET ValorRiesgo = 'Riesgo Importante' WHERE IDEvaluacion IN (?, ?)", cx,
                       {evaluacion[3], evaluacion[4]});
    Recordset::execute("UPDATE Evaluacion SET ValorRiesgo = 'Riesgo Intolerable' WHERE IDEvaluacion = ?", cx,
                       {evaluacion[5]});
    EXPECT_TRUE(esBorrador());
    accion();
    EXPECT_TRUE(esBorrador());
    accion();
    const auto doc = documento(Informes::FicheroPlanificacion, FormulaPlanificacion(centro));
    EXPECT_FALSE(borrador(*doc));
    EXPECT_EQ(doc->marca(), QString());
    // Una acción que nombra su riesgo cubre ése y no otro: nombrar uno moderado deja un grave sin acción.
    Recordset::execute("UPDATE \"ActuaciónPreventivaRegistro\" SET IDEvaluacion = CASE IDActuacionRegistro % 3 "
                       "WHEN 0 THEN ? WHEN 1 THEN ? ELSE ? END WHERE IDActuacion = ?",
                       cx, {evaluacion[3], evaluacion[4], evaluacion[5], plan});
    EXPECT_FALSE(esBorrador());
    Recordset::execute("UPDATE \"ActuaciónPreventivaRegistro\" SET IDEvaluacion = ? WHERE IDEvaluacion = ?", cx,
                       {evaluacion[6], evaluacion[5]});
    EXPECT_TRUE(esBorrador());
    // La firma lleva la fecha del plan, y la hoja el día en que se imprime.
    EXPECT_TRUE(doc->texto().toPlainText().contains(QStringLiteral("En Getafe, a 01/04/2026")));
    EXPECT_TRUE(doc->pie(1).contains(QStringLiteral("Impreso el 15/01/2030"))) << qPrintable(doc->pie(1));
}

TEST_F(DocumentosEvaluacion, LaVersionYLaFechaSonLasDeLaEvaluacionNoLasDelDia)
{
    const auto version = [&](long long c, long long e = 0) {
        const auto doc = evaluacionDe(c, e);
        const QString texto = doc->texto().toPlainText();
        const qsizetype firma = texto.indexOf(QStringLiteral("4. Firma"));
        EXPECT_GT(firma, 0);
        return QStringList{doc->cabecera(1), texto.left(texto.indexOf(QStringLiteral("1. Método"))), texto.mid(firma),
                           doc->pie(2)};
    };
    auto v = version(centro);
    EXPECT_TRUE(v[0].contains(QStringLiteral("Versión 1 de 02/03/2026"))) << qPrintable(v[0]);
    EXPECT_TRUE(v[1].contains(QStringLiteral("Versión 1 de 02/03/2026")));
    EXPECT_GE(enOrden(v[1], {"Fecha de la evaluación", "02/03/2026", "Motivo", "Periódica", "Próxima revisión",
                             "02/03/2027", "Historial de versiones", "1", "02/03/2026", "Periódica"}),
              0)
        << qPrintable(v[1]);
    EXPECT_FALSE(v[1].contains(QStringLiteral("15/01/2030")));
    EXPECT_TRUE(v[2].contains(QStringLiteral("En Getafe, a 02/03/2026"))) << qPrintable(v[2]);
    EXPECT_TRUE(v[3].contains(QStringLiteral("Impreso el 15/01/2030"))) << qPrintable(v[3]);

    // Emitida, sigue siendo la versión 1; cambiar lo evaluado anuncia la 2 con su motivo.
    EmitirVersion(*Conexion::obtener(cx), centro, QDateTime(QDate(2026, 3, 2), QTime(10, 0)));
    v = version(centro);
    EXPECT_TRUE(v[0].contains(QStringLiteral("Versión 1 de 02/03/2026"))) << qPrintable(v[0]);
    EXPECT_FALSE(v[1].contains(QStringLiteral("Versión 2")));
    Recordset::execute("UPDATE CentroTrabajo SET FechaEvaluacion = '2026-09-20', FechaRevision = '2027-06-01', "
                       "MotivoEvaluacion = 'Tras daños a la salud' WHERE IDCentro = ?",
                       cx, {centro});
    v = version(centro);
    EXPECT_TRUE(v[0].contains(QStringLiteral("Versión 2 de 20/09/2026"))) << qPrintable(v[0]);
    EXPECT_GE(enOrden(v[1], {"Próxima revisión", "01/06/2027", "Historial de versiones", "1", "02/03/2026", "Periódica",
                             "2", "20/09/2026", "Tras daños a la salud"}),
              0)
        << qPrintable(v[1]);

    // Sin fecha ni población: la fecha del día y una raya para escribir el lugar a mano.
    const long long sinPueblo = datos::empresa(cx, "Sin Pueblo");
    const long long otro = datos::centro(cx, sinPueblo, "Calle Sin Nombre");
    v = version(otro, sinPueblo);
    EXPECT_TRUE(v[0].contains(QStringLiteral("Versión 1 de 15/01/2030"))) << qPrintable(v[0]);
    EXPECT_TRUE(v[2].contains(QStringLiteral("En ____________________, a 15/01/2030"))) << qPrintable(v[2]);
}

TEST_F(DocumentosEvaluacion, LoObservadoYLasMedidasExistentesYPropuestasBajoSuRiesgo)
{
    Recordset::execute("UPDATE Evaluacion SET SituacionObservada = 'Cajas apiladas junto a la puerta' "
                       "WHERE IDEvaluacion = ?",
                       cx, {evaluacion[1]});
    medida(evaluacion[1], "Medida ya en marcha", "S", "S");
    medida(evaluacion[1], "Medida descartada", "N", "S");
    Recordset::execute("UPDATE PuestosCentros SET Trabajadores = ?, TrabajadoresSensibles = 'Una trabajadora "
                       "embarazada' WHERE IDPuestoCentro = ?",
                       cx, {QStringLiteral("Luisa Pérez\r\n\r\n  Juan Gil  \n"), dependiente});
    const QString t = evaluacionDe(centro)->texto().toPlainText();
    const qsizetype puesto = t.indexOf(QStringLiteral("2.1. Dependiente"));
    ASSERT_GT(puesto, 0);
    EXPECT_GE(enOrden(t.mid(puesto),
                      {"Trabajadores que ocupan el puesto", "Luisa Pérez\nJuan Gil",
                       "Trabajadores especialmente sensibles", "Una trabajadora embarazada", riesgo[0], riesgo[1]}),
              0)
        << qPrintable(t.mid(puesto, 800));
    const qsizetype fila = t.indexOf(riesgo[1], puesto);
    const QString tramo = t.mid(fila, t.indexOf(riesgo[2], fila) - fila);
    EXPECT_GE(enOrden(tramo, {"Situación observada: Cajas apiladas junto a la puerta",
                              "Medidas existentes:", "Medida ya en marcha", "Medidas propuestas:", "Medida 1"}),
              0)
        << qPrintable(tramo);
    EXPECT_EQ(tramo.count(QStringLiteral("Medida ya en marcha")), 1);
    EXPECT_FALSE(tramo.contains(QStringLiteral("Medida descartada")));
    // Sin nada observado ni implantado, el riesgo no lleva esas líneas.
    const qsizetype otra = t.indexOf(riesgo[2], fila);
    const QString siguiente = t.mid(otra, t.indexOf(QStringLiteral("2.2."), otra) - otra);
    EXPECT_FALSE(siguiente.contains(QStringLiteral("Situación observada")));
    EXPECT_FALSE(siguiente.contains(QStringLiteral("Medidas existentes")));
    EXPECT_TRUE(siguiente.contains(QStringLiteral("Medidas propuestas:")));
}

// Ninguna cabecera de tabla parte una palabra entre dos líneas, en ninguno de los dos documentos.
TEST_F(DocumentosEvaluacion, NingunaCabeceraDeTablaParteUnaPalabra)
{
    datos::insertar(cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro) VALUES (?)", {centro});
    for (const auto& doc :
         {evaluacionDe(centro), documento(Informes::FicheroPlanificacion, FormulaPlanificacion(centro))}) {
        doc->paginas();
        QList<QTextTable*> lista;
        tablas(doc->texto().rootFrame(), lista);
        int cabeceras = 0;
        for (QTextTable* tabla : lista) {
            for (int fila = 0; fila < tabla->format().headerRowCount(); ++fila)
                for (int col = 0; col < tabla->columns(); ++col) {
                    const QTextTableCell celda = tabla->cellAt(fila, col);
                    ++cabeceras;
                    for (QTextBlock b = celda.firstCursorPosition().block();
                         b.isValid() && b.position() < celda.lastCursorPosition().position() + 1; b = b.next()) {
                        const QString texto = b.text();
                        QTextLayout* l = b.layout();
                        for (int i = 1; i < l->lineCount(); ++i) {
                            const int corte = l->lineAt(i).textStart();
                            EXPECT_FALSE(corte > 0 && letra(texto[corte - 1]) && letra(texto[corte]))
                                << qPrintable(doc->titulo()) << ": " << qPrintable(texto.left(corte)) << "/"
                                << qPrintable(texto.mid(corte));
                        }
                    }
                }
        }
        EXPECT_GE(cabeceras, 5) << qPrintable(doc->titulo());
    }
}

// Las barras del gráfico de niveles miden en proporción a su cifra (1, 2 y 4), y un nivel sin riesgos
// no lleva barra.
TEST_F(DocumentosEvaluacion, LasBarrasDelGraficoSonProporcionales)
{
    const auto doc = evaluacionDe(centro);
    doc->paginas();
    QList<QTextTable*> lista;
    tablas(doc->texto().rootFrame(), lista);
    QMap<QString, double> ancho;
    QStringList sinBarra;
    for (QTextTable* t : lista) {
        if (t->rows() != 1 || t->columns() < 3)
            continue;
        const QString nivel = t->cellAt(0, 0).firstCursorPosition().block().text().trimmed();
        if (!QStringList{"Trivial", "Tolerable", "Moderado", "Importante", "Intolerable"}.contains(nivel))
            continue;
        // La barra es la celda con el color del nivel; sin riesgos, en su sitio sólo hay una celda en blanco.
        const QTextTableCell barra = t->cellAt(0, 1);
        const QBrush fondo = barra.format().background();
        if (fondo.style() == Qt::NoBrush || fondo.color() == Qt::white) {
            sinBarra << nivel;
            continue;
        }
        ancho[nivel] = doc->texto().documentLayout()->blockBoundingRect(barra.firstCursorPosition().block()).width();
    }
    ASSERT_EQ(ancho.size(), 3) << qPrintable(QStringList(ancho.keys()).join(", "));
    EXPECT_EQ(sinBarra, (QStringList{"Importante", "Intolerable"}));
    EXPECT_NEAR(ancho["Tolerable"] / ancho["Trivial"], 2.0, 0.05);
    EXPECT_NEAR(ancho["Moderado"] / ancho["Trivial"], 4.0, 0.1);
    EXPECT_GT(ancho["Moderado"], 0.6 * doc->texto().pageSize().width());
}

// La cabecera de cada hoja dice el puesto que se está leyendo; fuera de los puestos, el apartado.
TEST_F(DocumentosEvaluacion, LaCabeceraDiceElPuestoDeCadaHoja)
{
    treintaRiesgosMasAlMozo();
    const auto doc = evaluacionDe(centro);
    const int total = doc->paginas();
    const auto hojaDe = [&](const QString& titulo) {
        return doc->hojaDe(doc->texto().find(titulo).block().position());
    };
    const int mozoEmpieza = hojaDe(QStringLiteral("2.2. Mozo de almacén"));
    const int resumen = hojaDe(QStringLiteral("3. Resumen de la evaluación"));
    ASSERT_GT(resumen, mozoEmpieza + 1);
    for (int hoja = mozoEmpieza + 1; hoja < resumen; ++hoja)
        EXPECT_EQ(doc->cabecera(hoja, true), QStringLiteral("Mozo de almacén")) << hoja;
    EXPECT_EQ(doc->cabecera(total, true), QStringLiteral("Resumen de la evaluación"));
    EXPECT_EQ(doc->cabecera(1, true), QString());

    // La fila de cada riesgo y la de sus medidas, en la misma hoja.
    int medidas = 0;
    for (QTextCursor c = doc->texto().find(QStringLiteral("Medidas propuestas:")); !c.isNull();
         c = doc->texto().find(QStringLiteral("Medidas propuestas:"), c), ++medidas) {
        QTextTable* t = c.currentTable();
        ASSERT_TRUE(t);
        int fila = t->cellAt(c).row();
        while (fila > 0 && t->cellAt(fila, 0).columnSpan() > 1)
            --fila;
        EXPECT_EQ(doc->hojaDe(t->cellAt(fila, 0).firstPosition()), doc->hojaDe(c.position()))
            << qPrintable(t->cellAt(fila, 1).firstCursorPosition().block().text());
    }
    EXPECT_EQ(medidas, 3 + 4 + 30);
}

// El PDF que se escribe a trozos en varios hilos es, hoja a hoja, el mismo que se pinta del documento
// compuesto entero (el de la vista previa): mismas hojas, mismo texto, misma cabecera y numeración.
// Uno que no es un PDF del programa no se une.
TEST_F(DocumentosEvaluacion, ElPdfATrozosSaleHojaAHojaComoElEntero)
{
    treintaRiesgosMasAlMozo();
    datos::puesto(cx, centro, "Puesto sin factores");

    QTemporaryDir carpeta;
    const auto entero = evaluacionDe(centro);
    entero->texto();
    ASSERT_TRUE(entero->exportarPdf(carpeta.filePath("entero.pdf")));
    const auto aTrozos = evaluacionDe(centro);
    ASSERT_GE(PiezasDeHoja(aTrozos->html()).size(), 5);
    ASSERT_TRUE(aTrozos->exportarPdf(carpeta.filePath("trozos.pdf")));

    const auto hojas = [&](const QString& archivo) {
        QProcess texto;
        texto.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), carpeta.filePath(archivo), "-"});
        EXPECT_TRUE(texto.waitForFinished(60000));
        return QString::fromUtf8(texto.readAllStandardOutput()).split(QLatin1Char('\f'));
    };
    const QStringList a = hojas("entero.pdf"), b = hojas("trozos.pdf");
    ASSERT_EQ(b.size(), a.size());
    ASSERT_GT(a.size(), 8);
    for (qsizetype i = 0; i < a.size(); ++i)
        EXPECT_EQ(b[i].toStdString(), a[i].toStdString()) << "hoja " << i + 1;
    EXPECT_TRUE(b[a.size() - 2].contains(QStringLiteral("Página %1 de %1").arg(a.size() - 1)));
    // Y cada hoja se ve igual, también dónde empieza lo de arriba.
    for (const QString& archivo : {QStringLiteral("entero"), QStringLiteral("trozos")}) {
        QProcess imagenes;
        imagenes.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("20"), QStringLiteral("-gray"),
                                                    carpeta.filePath(archivo + ".pdf"), carpeta.filePath(archivo)});
        ASSERT_TRUE(imagenes.waitForFinished(60000));
    }
    const QStringList dibujos = QDir(carpeta.path()).entryList({QStringLiteral("entero-*.pgm")});
    ASSERT_EQ(dibujos.size(), a.size() - 1);
    for (const QString& d : dibujos) {
        QFile x(carpeta.filePath(d)), y(carpeta.filePath(QString(d).replace("entero", "trozos")));
        ASSERT_TRUE(x.open(QIODevice::ReadOnly) && y.open(QIODevice::ReadOnly)) << qPrintable(d);
        EXPECT_TRUE(x.readAll() == y.readAll()) << qPrintable(d);
    }

    QBuffer salida;
    salida.open(QIODevice::WriteOnly);
    QString error;
    EXPECT_FALSE(UnirPdf({QByteArray("%PDF-1.4\nno es un PDF")}, salida, &error));
    EXPECT_FALSE(error.isEmpty());
}
