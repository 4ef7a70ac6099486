// El plan y la evaluación en hoja de cálculo, leídos otra vez como los leería quien los abre: el XLSX
// desde el XML de su hoja, el CSV con el lector de CSV de Python.
#include "ContenidoZip.h"
#include "CopiaPrograma.h"
#include "Datos.h"
#include "PlataformaPrueba.h"
#include "reports/ExportacionHoja.h"
#include "reports/InformeGeneral.h"
#include "reports/Informes.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QToolBar>
#include <QXmlStreamReader>
#include <QtTest>

namespace {
// Una celda del XML de la hoja: su valor (el texto compartido ya resuelto), si es texto y su estilo.
struct CeldaLeida
{
    QString valor;
    bool texto = false;
    bool negrita = false;
    QString formato; // código del formato de número; vacío el general
};

// Lo que Excel hace con "_xHHHH_" dentro de un texto: es el carácter de ese código.
QString comoExcel(QString t)
{
    static const QRegularExpression escape("_x([0-9A-Fa-f]{4})_");
    QString resultado;
    qsizetype desde = 0;
    for (auto m = escape.globalMatch(t); m.hasNext();) {
        const auto e = m.next();
        resultado += t.mid(desde, e.capturedStart() - desde) + QChar(char16_t(e.captured(1).toUShort(nullptr, 16)));
        desde = e.capturedEnd();
    }
    return resultado + t.mid(desde);
}

QMap<QString, CeldaLeida> leerXlsx(const QString& ruta)
{
    QStringList compartidos;
    QXmlStreamReader sst(ContenidoZip({"-p", ruta, "xl/sharedStrings.xml"}));
    while (!sst.atEnd())
        if (sst.readNext() == QXmlStreamReader::StartElement && sst.name() == u"t")
            compartidos << comoExcel(sst.readElementText());

    // Estilos: fuentes (¿negrita?), formatos de número propios y, por índice, su combinación.
    QList<bool> fuentes;
    QMap<int, QString> formatos;
    QList<QPair<int, int>> estilos; // fuente, formato
    QXmlStreamReader st(ContenidoZip({"-p", ruta, "xl/styles.xml"}));
    bool enCeldas = false;
    while (!st.atEnd()) {
        const auto t = st.readNext();
        if (t == QXmlStreamReader::EndElement && st.name() == u"cellXfs")
            enCeldas = false;
        if (t != QXmlStreamReader::StartElement)
            continue;
        const auto a = st.attributes();
        if (st.name() == u"font")
            fuentes << false;
        else if (st.name() == u"b" && !fuentes.isEmpty())
            fuentes.last() = true;
        else if (st.name() == u"numFmt")
            formatos[a.value("numFmtId").toInt()] = a.value("formatCode").toString();
        else if (st.name() == u"cellXfs")
            enCeldas = true;
        else if (st.name() == u"xf" && enCeldas)
            estilos << qMakePair(a.value("fontId").toInt(), a.value("numFmtId").toInt());
    }

    QMap<QString, CeldaLeida> celdas;
    QXmlStreamReader hoja(ContenidoZip({"-p", ruta, "xl/worksheets/sheet1.xml"}));
    QString referencia;
    while (!hoja.atEnd()) {
        if (hoja.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (hoja.name() == u"c") {
            referencia = hoja.attributes().value("r").toString();
            CeldaLeida& c = celdas[referencia];
            c.texto = hoja.attributes().value("t") == u"s";
            const auto [fuente, formato] = estilos.value(hoja.attributes().value("s").toInt());
            c.negrita = fuentes.value(fuente);
            c.formato = formatos.value(formato);
        } else if (hoja.name() == u"v") {
            CeldaLeida& c = celdas[referencia];
            const QString v = hoja.readElementText();
            c.valor = c.texto ? compartidos.value(v.toInt()) : v;
        }
    }
    return celdas;
}

// Las filas del CSV como las lee el módulo csv de Python, y si empezaba con la marca de UTF-8.
QJsonArray leerCsv(const QString& ruta, bool& conBom)
{
    QFile f(ruta);
    conBom = f.open(QIODevice::ReadOnly) && f.read(3) == "\xEF\xBB\xBF";
    QProcess python;
    python.start("python3", {"-c",
                             "import csv, json, sys\n"
                             "with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
                             "    print(json.dumps(list(csv.reader(f, delimiter=';', strict=True))))\n",
                             ruta});
    if (!python.waitForFinished(30000) || python.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(python.readAllStandardOutput()).array();
}

QStringList fila(const QJsonArray& filas, int i)
{
    QStringList r;
    for (const auto& v : filas.at(i).toArray())
        r << v.toString();
    return r;
}

// Días desde el origen de las fechas de Excel.
QString serieExcel(const QDate& d)
{
    return QString::number(QDate(1899, 12, 30).daysTo(d));
}
} // namespace

class PruebaExportacionHoja : public QObject
{
    Q_OBJECT

    std::unique_ptr<CopiaPrograma> copia;
    QString cx;
    long long centro = 0, empresa = 0, puesto = 0, plan = 0;

    QString texto(const QString& sql)
    {
        Recordset rs;
        rs.open(sql, cx);
        return rs.value(0).toString();
    }

    long long riesgo(long long idFactor, long long idRiesgo, const char* mostrar, const QVariant& nivel)
    {
        return datos::evaluacion(cx, datos::factor(cx, puesto, idFactor, "S"), idRiesgo, mostrar, nivel);
    }

    long long medida(long long evaluacion, const QString& texto, bool implantada)
    {
        return datos::insertar(cx,
                               "INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida, Implantada) "
                               "VALUES (?, ?, 'S', ?)",
                               {evaluacion, texto, implantada ? "S" : "N"});
    }

    void linea(const QVariantList& valores)
    {
        datos::insertar(cx,
                        "INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva, FechaLimite, "
                        "PresupuestoAproximado, IDEvaluacion, Estado, FechaRealizada, CosteReal, Seguimiento, "
                        "ResponsableEjecucion) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, 'Marta Ruiz')",
                        QVariantList{plan} + valores);
    }

private slots:
    void init()
    {
        copia = std::make_unique<CopiaPrograma>();
        cx = copia->conexion();
        empresa = datos::empresa(cx, "Comercial Hojas");
        centro = datos::centro(cx, empresa, "Nave de l'Horta");
        puesto = datos::puesto(cx, centro, "Carretillero");
        datos::insertar(cx, "UPDATE PuestosCentros SET NTrabajadores = '4' WHERE IDPuestoCentro = ?", {puesto});
        plan = datos::insertar(cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro, Persona) VALUES (?, 'Marta Ruiz')",
                               {centro});
    }

    void cleanup()
    {
        // Borrar una puede llevarse otras: se guardan vigiladas antes de empezar.
        QList<QPointer<QWidget>> abiertas;
        for (QWidget* w : QApplication::topLevelWidgets())
            abiertas << w;
        for (const QPointer<QWidget>& w : abiertas)
            delete w.data();
        copia.reset();
        FijarCarpetaPrograma({});
    }

    // El plan en XLSX: por prioridad (la general detrás aunque venza antes), fechas de verdad con su
    // formato, importes como número donde se leen, cabecera en negrita y fija, y lo escrito, tal cual.
    void planEnXlsx()
    {
        const long long moderado = riesgo(1, 10, "S", "Riesgo Moderado");
        const long long importante = riesgo(2, 20, "S", "Riesgo Importante");
        linea({"Formación en emergencias", QDate(2027, 1, 10), "a convenir", QVariant(), "Pendiente", QVariant(),
               QVariant(), QVariant()});
        linea({"Barandilla en el altillo", QDate(2027, 6, 30), "1.234,56 €", moderado, "Pendiente", QVariant(),
               QVariant(), QVariant()});
        linea({"Señalizar el muelle", QDate(2027, 3, 1), "800", importante, "Realizada", QDate(2027, 2, 20), "750,5",
               "Hecho por _x0041_ y \"Montajes\""});

        const FilasExportacion tabla = FilasPlan(cx, centro);
        const QString ruta = copia->ruta("plan.xlsx");
        QString motivo;
        QVERIFY2(EscribirXlsx(tabla, ruta, motivo), qPrintable(motivo));
        QVERIFY(XlsxEntero(ruta));
        QVERIFY(ContenidoZip({"-p", ruta, "xl/workbook.xml"}).contains("name=\"Plan de acciones\""));
        QVERIFY(ContenidoZip({"-p", ruta, "xl/worksheets/sheet1.xml"})
                    .contains("<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>"));

        const auto c = leerXlsx(ruta);
        QCOMPARE(c["A1"].valor, QString("Acción preventiva"));
        QVERIFY(c["A1"].negrita && c["L1"].negrita && !c["A2"].negrita);
        QCOMPARE(c["L1"].valor, QString("Seguimiento"));
        QCOMPARE(c["A2"].valor, QString("Señalizar el muelle"));
        QCOMPARE(c["B2"].valor, texto("SELECT Riesgo FROM Riesgos WHERE IDRiesgo = 20"));
        QCOMPARE(c["C2"].valor, QString("Carretillero"));
        QCOMPARE(c["D2"].valor, QString("Riesgo Importante"));
        QCOMPARE(c["E2"].valor, QString("2"));
        QVERIFY(!c["E2"].texto);
        QCOMPARE(c["F2"].valor, serieExcel(QDate(2027, 3, 1)));
        QCOMPARE(c["F2"].formato, QString("dd/mm/yyyy"));
        QCOMPARE(c["G2"].valor, QString("Marta Ruiz"));
        QCOMPARE(c["H2"].valor, QString("800"));
        QVERIFY(!c["H2"].texto);
        QCOMPARE(c["I2"].valor, QString("Realizada"));
        QCOMPARE(c["J2"].valor, serieExcel(QDate(2027, 2, 20)));
        QCOMPARE(c["K2"].valor, QString("750.5"));
        QCOMPARE(c["L2"].valor, QString("Hecho por _x0041_ y \"Montajes\""));

        QCOMPARE(c["A3"].valor, QString("Barandilla en el altillo"));
        QCOMPARE(c["H3"].valor, QString("1234.56"));
        QCOMPARE(c["H3"].formato, QString("#,##0.00"));
        QCOMPARE(c["A4"].valor, QString("Formación en emergencias"));
        QVERIFY(!c.contains("B4") && !c.contains("E4"));
        QCOMPARE(c["H4"].valor, QString("a convenir"));
        QVERIFY(c["H4"].texto);
        QVERIFY(!c.contains("A5"));
    }

    // La evaluación en CSV, leída por un lector de CSV de verdad: una fila por riesgo mostrado, con los
    // factores de sus filas ocultas, las medidas elegidas con su estado, y los textos con ";", comillas,
    // apóstrofos, saltos de línea y tildes enteros. Un texto que empieza como una fórmula no se ejecuta.
    void evaluacionEnCsv()
    {
        const long long caida = riesgo(1, 10, "S", "Riesgo Importante");
        const long long oculta = riesgo(3, 10, "N", "Riesgo Importante");
        const long long golpe = riesgo(2, 20, "S", QVariant());
        datos::insertar(cx, "UPDATE Evaluacion SET SituacionObservada = ? WHERE IDEvaluacion = ?",
                        {"Altillo sin barandilla; escalera \"de mano\"\nen la zona d'envíos", caida});
        medida(caida, "Barandilla de 1 m en el altillo", false);
        medida(oculta, "Orden y limpieza diarios", true);
        medida(oculta, "Barandilla de 1 m en el altillo", false);
        medida(golpe, "=HYPERLINK(\"http://x\")", false);
        datos::medida(cx, golpe, "N");

        const QString ruta = copia->ruta("evaluación.csv");
        QString motivo;
        QVERIFY2(EscribirCsv(FilasEvaluacion(cx, centro), ruta, motivo), qPrintable(motivo));
        QFile f(ruta);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bruto = f.readAll();
        QVERIFY(bruto.contains("Medidas preventivas\r\n"));
        QVERIFY(!bruto.contains("\"Medidas preventivas\""));

        bool conBom = false;
        const QJsonArray filas = leerCsv(ruta, conBom);
        QVERIFY(conBom);
        QCOMPARE(filas.size(), 3);
        QCOMPARE(fila(filas, 0),
                 QStringList({"Puesto", "Código", "Riesgo", "Factores de riesgo", "Probabilidad", "Consecuencias",
                              "Nivel de riesgo", "Situación observada", "Medidas preventivas"}));
        const QString factores = texto("SELECT Factor FROM FactoresRiesgos WHERE IDFactor = 1") + "\n" +
                                 texto("SELECT Factor FROM FactoresRiesgos WHERE IDFactor = 3");
        QCOMPARE(fila(filas, 1),
                 QStringList({"Carretillero", "010", texto("SELECT Riesgo FROM Riesgos WHERE IDRiesgo = 10"), factores,
                              "Media", "Dañino", "Riesgo Importante",
                              "Altillo sin barandilla; escalera \"de mano\"\nen la zona d'envíos",
                              "Existente: Orden y limpieza diarios\nPropuesta: Barandilla de 1 m en el altillo"}));
        const QStringList sinValorar = fila(filas, 2);
        QCOMPARE(sinValorar.value(1), QString("020"));
        QCOMPARE(sinValorar.value(6), QString("Sin evaluar"));
        QCOMPARE(sinValorar.value(8), QString("Propuesta: =HYPERLINK(\"http://x\")"));

        // El plan: importes con coma decimal, fechas dd/mm/aaaa y la celda que empieza por "=" protegida.
        linea({"=1+1", QDate(2027, 3, 1), "1.234,5", caida, "Pendiente", QVariant(), QVariant(), "Nota; con dos"});
        QVERIFY2(EscribirCsv(FilasPlan(cx, centro), ruta, motivo), qPrintable(motivo));
        const QJsonArray plan = leerCsv(ruta, conBom);
        QCOMPARE(plan.size(), 2);
        QCOMPARE(fila(plan, 1), QStringList({"'=1+1", texto("SELECT Riesgo FROM Riesgos WHERE IDRiesgo = 10"),
                                             "Carretillero", "Riesgo Importante", "2", "01/03/2027", "Marta Ruiz",
                                             "1234,50", "Pendiente", "", "", "Nota; con dos"}));
    }

    // Lo que no se puede escribir entero no se da por escrito ni deja nada: ni en una carpeta que no
    // existe, ni con una celda que no cabe en Excel (que sí va entera en CSV). Lo de antes sigue igual.
    void loQueNoSeEscribeEnteroNoQueda()
    {
        FilasExportacion tabla{"'Hoja: [1]' ", {"Nota"}, {{CeldaHoja::deTexto("corta")}}};
        QString motivo;
        QVERIFY(!EscribirXlsx(tabla, copia->ruta("no/existe/plan.xlsx"), motivo));
        QVERIFY2(motivo.contains("no existe"), qPrintable(motivo));
        QVERIFY(!EscribirCsv(tabla, copia->ruta("no/existe/plan.csv"), motivo));
        QVERIFY2(motivo.contains("no existe"), qPrintable(motivo));

        const QString ruta = copia->ruta("plan.xlsx");
        QVERIFY2(EscribirXlsx(tabla, ruta, motivo), qPrintable(motivo));
        QVERIFY(ContenidoZip({"-p", ruta, "xl/workbook.xml"}).contains("name=\"Hoja- -1-\""));
        const QStringList antes = QDir(copia->carpeta()).entryList(QDir::Files | QDir::Hidden);
        const QByteArray anterior = [&] {
            QFile f(ruta);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        tabla.filas.push_back({CeldaHoja::deTexto(QString(40000, QChar(u'ñ')))});
        QVERIFY(!EscribirXlsx(tabla, ruta, motivo));
        QVERIFY2(motivo.contains("la celda A3 tiene más de 32.767 caracteres"), qPrintable(motivo));
        QCOMPARE(QDir(copia->carpeta()).entryList(QDir::Files | QDir::Hidden), antes);
        QFile f(ruta);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), anterior);

        QVERIFY2(EscribirCsv(tabla, copia->ruta("plan.csv"), motivo), qPrintable(motivo));
        bool conBom = false;
        QCOMPARE(fila(leerCsv(copia->ruta("plan.csv"), conBom), 2).value(0).size(), 40000);
    }

    // Desde la vista previa, con sus dos botones: el destino se elige como el de los documentos, con la
    // extensión de cada formato; lo que falla se dice con su motivo; la evaluación no se emite.
    void desdeLaVistaPrevia()
    {
        PlataformaPrueba plataforma;
        QDir(copia->carpeta()).mkdir("Informes");
        for (const QString& f : {Informes::FicheroEvaluacion, Informes::FicheroPlanificacion})
            QFile::copy(QStringLiteral(FUENTES_PROYECTO "/data/informes/") + f, copia->ruta("Informes/" + f));
        FijarCarpetaPrograma(copia->carpeta());
        Sesion sesion;
        sesion.conexion = cx;
        riesgo(1, 10, "S", "Riesgo Moderado");
        linea({"Barandilla en el altillo", QDate(2027, 6, 30), "100", QVariant(), "Pendiente", QVariant(), QVariant(),
               QVariant()});

        InformeGeneral* v = AbrirInformePlanificacion(sesion, centro);
        QVERIFY(QTest::qWaitForWindowExposed(v));
        const auto pulsar = [&](InformeGeneral* visor, const char* accion) {
            QTest::mouseClick(
                visor->findChild<QToolBar*>("BarraInforme")->widgetForAction(visor->findChild<QAction*>(accion)),
                Qt::LeftButton);
        };
        plataforma.archivosElegidos.push_back(copia->ruta("plan"));
        pulsar(v, "ExportarXlsx");
        QCOMPARE(plataforma.elecciones.size(), size_t(1));
        QCOMPARE(plataforma.elecciones[0].titulo, QString("Exportar a Excel (XLSX)"));
        QCOMPARE(plataforma.elecciones[0].filtro, QString("Libros de Excel (*.xlsx)"));
        QVERIFY(plataforma.elecciones[0].propuesta.endsWith("/Planificación preventiva - Nave de l'Horta.xlsx"));
        QVERIFY(plataforma.mensajes.empty());
        QCOMPARE(leerXlsx(copia->ruta("plan.xlsx"))["A2"].valor, QString("Barandilla en el altillo"));

        plataforma.archivosElegidos.push_back(copia->ruta("no/existe/plan"));
        pulsar(v, "ExportarCsv");
        QCOMPARE(plataforma.elecciones.back().filtro, QString("Valores separados por punto y coma (*.csv)"));
        QCOMPARE(plataforma.mensajes.size(), size_t(1));
        QCOMPARE(plataforma.mensajes[0].titulo, QString("Exportar a CSV"));
        QVERIFY2(plataforma.mensajes[0].texto.contains("no/existe/plan.csv»: la carpeta"),
                 qPrintable(plataforma.mensajes[0].texto));

        InformeGeneral* e = AbrirInformeEvaluacion(sesion, centro, empresa);
        QVERIFY(QTest::qWaitForWindowExposed(e));
        plataforma.archivosElegidos.push_back(copia->ruta("evaluacion.csv"));
        pulsar(e, "ExportarCsv");
        bool conBom = false;
        QCOMPARE(fila(leerCsv(copia->ruta("evaluacion.csv"), conBom), 1).value(0), QString("Carretillero"));
        QCOMPARE(datos::contar(cx, "SELECT count(*) FROM VersionesEvaluacion WHERE IDCentro = ?", {centro}), 0LL);
    }
};

QTEST_MAIN(PruebaExportacionHoja)
#include "test_exportacion_hoja.moc"
