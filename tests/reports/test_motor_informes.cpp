// El motor con las dos plantillas de verdad sobre una base de datos hecha en la prueba, leído como
// lo leería un inspector: el texto del PDF.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "reports/DocumentoInforme.h"
#include "reports/Informes.h"
#include "reports/MotorInforme.h"
#include "store/ErrorBD.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {
QString plantilla(const QString& nombre)
{
    return QStringLiteral(FUENTES_PROYECTO "/data/informes/") + nombre;
}

QString textoPdf(const QString& ruta)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"),
            {QStringLiteral("-raw"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), ruta, QStringLiteral("-")});
    if (!p.waitForFinished(30000))
        return {};
    // Según la fuente que haya en la máquina, pdftotext devuelve "fi" o "fl" como una sola ligadura.
    QString texto = QString::fromUtf8(p.readAllStandardOutput());
    texto.replace(QChar(0xFB01), QStringLiteral("fi")).replace(QChar(0xFB02), QStringLiteral("fl"));
    texto.replace(QChar(0xFB00), QStringLiteral("ff"));
    return texto.simplified();
}

class MotorInformes : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char nombre[] = "prueba";
        static char* argv[] = {nombre, nullptr};
        if (!QGuiApplication::instance())
            new QGuiApplication(argc, argv);
    }

    void SetUp() override
    {
        cx = copia.conexion();
        const auto riesgo = [&](long long fila) {
            return datos::contar(cx, "SELECT IDRiesgo FROM Riesgos ORDER BY IDRiesgo LIMIT 1 OFFSET ?", {fila});
        };
        const auto nombreRiesgo = [&](long long id) {
            Recordset rs;
            rs.open("SELECT Riesgo FROM Riesgos WHERE IDRiesgo = ?", cx, {id});
            return rs.value(0).toString();
        };
        for (int i = 0; i < 6; ++i) {
            idRiesgo[i] = riesgo(i);
            riesgos[i] = nombreRiesgo(idRiesgo[i]);
        }
        Recordset f;
        f.open("SELECT IDFactor, Factor FROM FactoresRiesgos ORDER BY IDFactor LIMIT 3", cx);
        for (int i = 0; i < 3; ++i, f.moveNext()) {
            idFactor[i] = f.value(0).toLongLong();
            factores[i] = f.value(1).toString();
        }

        empresa =
            datos::insertar(cx,
                            "INSERT INTO Empresas (Nombre, CIF, Direccion, Poblacion, CodPostal, Provincia, Persona, "
                            "Cargo, Formacion, TotalTrabajadores) VALUES ('Ferretería Prueba S.L.', 'B12345678', "
                            "'Calle del Olmo 14', 'Alcalá de Henares', '28801', 'Madrid', 'Ana Evaluadora', "
                            "'Trabajador designado', 'Técnico Superior en PRL', 9)",
                            {});
        centro = datos::centro(cx, empresa, "Calle Mayor 1");
        otroCentro = datos::centro(cx, empresa, "Avenida Vecina 9");
        otraEmpresa = datos::empresa(cx, "Empresa Ajena S.A.");
        centroAjeno = datos::centro(cx, otraEmpresa, "Plaza Ajena 3");

        const long long dependiente =
            puesto(centro, "Dependiente de prueba", "Atiende en el mostrador", 3, "Trabajador menor");
        const long long mozo = puesto(centro, "Mozo de prueba", "Carga y descarga", 2, "No existe personal sensible");
        const long long ajeno = puesto(otroCentro, "Puesto del otro centro", "", 1, "");

        // Un riesgo con dos factores: la fila mostrada y una oculta, cada una con sus medidas.
        const long long r0 = evaluacion(dependiente, idFactor[0], idRiesgo[0], "S", "Alta", "Extremadamente dañino",
                                        "Riesgo Intolerable");
        const long long r0oculta = evaluacion(dependiente, idFactor[1], idRiesgo[0], "N", "Alta",
                                              "Extremadamente dañino", "Riesgo Intolerable");
        const long long r1 =
            evaluacion(dependiente, idFactor[0], idRiesgo[1], "S", "Baja", "Ligeramente dañino", "Riesgo Trivial");
        const long long r2 =
            evaluacion(mozo, idFactor[2], idRiesgo[2], "S", "Media", "Extremadamente dañino", "Riesgo Importante");
        const long long r3 = evaluacion(mozo, idFactor[2], idRiesgo[3], "S", "Baja", "Dañino", "Riesgo Tolerable");
        const long long r4 = evaluacion(mozo, idFactor[2], idRiesgo[4], "S", "Media", "Dañino", "Riesgo Moderado");
        const long long rAjeno =
            evaluacion(ajeno, idFactor[0], idRiesgo[5], "S", "Alta", "Dañino", "Riesgo Importante");
        medida(r0, "Medida elegida uno", "S");
        medida(r0oculta, "Medida elegida dos", "S");
        medida(r0, "Medida descartada tres", "N");
        medida(r1, "Medida sin marcar cuatro", QVariant());
        medida(r2, "Medida elegida cinco", "S");
        medida(r3, "Medida elegida seis", "S");
        medida(r4, "Medida elegida siete", "S");
        medida(rAjeno, "Medida del otro centro", "S");

        const long long plan = datos::insertar(cx,
                                               "INSERT INTO \"ActuaciónPreventiva\" (IDCentro, Persona, Cargo, Fecha) "
                                               "VALUES (?, 'Luis Planificador', 'Empresario', '2025-01-10')",
                                               {centro});
        linea(plan, "Acción tardía", "2025-06-01", "1.200,50");
        linea(plan, "Acción temprana", "2025-01-15", "300");
        linea(plan, "Acción intermedia", "2025-03-10", "a convenir");
        const long long planAjeno =
            datos::insertar(cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro) VALUES (?)", {otroCentro});
        linea(planAjeno, "Acción del otro centro", "2025-02-01", "50");
    }

    long long puesto(long long c, const QString& nombre, const QString& descripcion, int trabajadores,
                     const QString& sensibles)
    {
        return datos::insertar(cx,
                               "INSERT INTO PuestosCentros (IDCentro, Puesto, Descripcion, NTrabajadores, "
                               "TrabajadoresSensibles) VALUES (?, ?, ?, ?, ?)",
                               {c, nombre, descripcion, trabajadores, sensibles});
    }
    long long evaluacion(long long puesto, long long factor, long long riesgo, const QString& mostrar,
                         const QString& probabilidad, const QString& consecuencias, const QString& valor)
    {
        const long long fila = datos::factor(cx, puesto, factor, "S");
        return datos::insertar(
            cx,
            "INSERT INTO Evaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro, IDFactor, "
            "IDRiesgo, Mostrar, Probabilidad, Consecuencias, ValorRiesgo) SELECT IDEvaluacionCrear, "
            "IDEmpresa, IDCentro, IDPuestoCentro, IDFactor, ?, ?, ?, ?, ? "
            "FROM FactoresSeleccionarEvaluacion WHERE IDEvaluacionCrear = ?",
            {riesgo, mostrar, probabilidad, consecuencias, valor, fila});
    }
    void medida(long long evaluacion, const QString& texto, const QVariant& marca)
    {
        datos::insertar(cx, "INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida) VALUES (?, ?, ?)",
                        {evaluacion, texto, marca});
    }
    void linea(long long plan, const QString& accion, const QString& fecha, const QString& presupuesto)
    {
        datos::insertar(cx,
                        "INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva, FechaLimite, "
                        "ResponsableEjecucion, PresupuestoAproximado) VALUES (?, ?, ?, 'Responsable Uno', ?)",
                        {plan, accion, fecha, presupuesto});
    }

    // Documento de una plantilla para la fórmula, y su texto leído del PDF.
    std::unique_ptr<DocumentoInforme> documento(const QString& fichero, const QString& formula)
    {
        MotorInforme motor;
        motor.abrirPlantilla(plantilla(fichero));
        motor.conectarCarpeta(QDir::toNativeSeparators(copia.carpeta()));
        motor.fijarFormula(formula);
        return motor.generar();
    }
    QString pdf(const QString& fichero, const QString& formula)
    {
        const auto doc = documento(fichero, formula);
        const QString ruta = copia.ruta("informe.pdf");
        EXPECT_TRUE(doc->exportarPdf(ruta));
        return textoPdf(ruta);
    }

    CopiaPrograma copia;
    QString cx;
    long long empresa = 0, centro = 0, otroCentro = 0, otraEmpresa = 0, centroAjeno = 0;
    long long idRiesgo[6] = {};
    QString riesgos[6];
    long long idFactor[3] = {};
    QString factores[3];
};
} // namespace

TEST_F(MotorInformes, LaEvaluacionTraeTodoLoDelCentroYNadaDeOtro)
{
    const QString t = pdf(Informes::FicheroEvaluacion, FormulaEvaluacion(centro, empresa));
    for (const QString& dato :
         {QStringLiteral("Ferretería Prueba S.L."), QStringLiteral("B12345678"), QStringLiteral("Calle del Olmo 14"),
          QStringLiteral("Alcalá de Henares"), QStringLiteral("28801"), QStringLiteral("Calle Mayor 1"),
          QStringLiteral("Ana Evaluadora"), QStringLiteral("Trabajador designado"),
          QStringLiteral("Técnico Superior en PRL"), QStringLiteral("Dependiente de prueba"),
          QStringLiteral("Mozo de prueba"), QStringLiteral("Atiende en el mostrador"),
          QStringLiteral("Trabajador menor"), QStringLiteral("Medida elegida uno"),
          QStringLiteral("Medida elegida dos"), QStringLiteral("Medida elegida cinco"),
          QStringLiteral("Medida elegida seis"), QStringLiteral("Medida elegida siete"), QStringLiteral("Página 1 de")})
        EXPECT_TRUE(t.contains(dato)) << qPrintable(dato);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(t.contains(riesgos[i])) << qPrintable(riesgos[i]);
    for (const QString& ausente : {QStringLiteral("Medida descartada tres"), QStringLiteral("Medida sin marcar cuatro"),
                                   QStringLiteral("Medida del otro centro"), QStringLiteral("Puesto del otro centro"),
                                   QStringLiteral("Avenida Vecina 9"), riesgos[5]})
        EXPECT_FALSE(t.contains(ausente)) << qPrintable(ausente);
    // Todas las hojas numeradas sobre el total: la última es "Página N de N".
    const QString total = QRegularExpression(QStringLiteral("Página 1 de (\\d+)")).match(t).captured(1);
    EXPECT_TRUE(t.contains(QStringLiteral("Página %1 de %1").arg(total))) << qPrintable(total);

    // Cada riesgo con su nivel y los dos factores del riesgo que sale en dos filas del puesto.
    const QString plano =
        documento(Informes::FicheroEvaluacion, FormulaEvaluacion(centro, empresa))->texto().toPlainText().simplified();
    const auto nivelDe = [&](const QString& riesgo) {
        const qsizetype desde = plano.indexOf(riesgo, plano.indexOf(QStringLiteral("2. Evaluación por puesto")));
        const QRegularExpression nivel(
            QStringLiteral("(Trivial|Tolerable|Moderado|Importante|Intolerable|Sin evaluar)"));
        return nivel.match(plano, desde).captured(1);
    };
    EXPECT_EQ(nivelDe(riesgos[0]), "Intolerable");
    EXPECT_EQ(nivelDe(riesgos[1]), "Trivial");
    EXPECT_EQ(nivelDe(riesgos[2]), "Importante");
    EXPECT_EQ(nivelDe(riesgos[3]), "Tolerable");
    EXPECT_EQ(nivelDe(riesgos[4]), "Moderado");
    const qsizetype fila = plano.indexOf(riesgos[0], plano.indexOf(QStringLiteral("Dependiente de prueba"),
                                                                   plano.indexOf(QStringLiteral("2. Evaluación"))));
    const qsizetype siguiente = plano.indexOf(riesgos[1], fila);
    const QString tramo = plano.mid(fila, siguiente - fila);
    EXPECT_TRUE(tramo.contains(factores[0]) && tramo.contains(factores[1])) << qPrintable(tramo);
    EXPECT_TRUE(tramo.contains(QStringLiteral("Medida elegida uno")) &&
                tramo.contains(QStringLiteral("Medida elegida dos")));

    // El resumen del centro: un riesgo de cada nivel, cinco en total.
    EXPECT_TRUE(plano.contains(QStringLiteral("Total del centro 1 1 1 1 1 5"))) << qPrintable(plano.right(900));
}

// Una fila a la que le borraron un grado guarda aún el nivel de antes: el documento no lo da por
// evaluado ni lo cuenta en su nivel.
TEST_F(MotorInformes, UnRiesgoSinUnGradoSaleSinEvaluarAunqueGuardeNivel)
{
    Recordset::execute("UPDATE Evaluacion SET Probabilidad = NULL WHERE IDRiesgo = ? AND Mostrar = 'S'", cx,
                       {idRiesgo[0]});
    Recordset::execute("UPDATE Evaluacion SET Consecuencias = '  ' WHERE IDRiesgo = ?", cx, {idRiesgo[1]});
    const QString plano =
        documento(Informes::FicheroEvaluacion, FormulaEvaluacion(centro, empresa))->texto().toPlainText().simplified();
    const qsizetype seccion = plano.indexOf(QStringLiteral("2. Evaluación por puesto"));
    const QRegularExpression nivel(QStringLiteral("(Trivial|Tolerable|Moderado|Importante|Intolerable|Sin evaluar)"));
    EXPECT_EQ(nivel.match(plano, plano.indexOf(riesgos[0], seccion)).captured(1), "Sin evaluar");
    EXPECT_EQ(nivel.match(plano, plano.indexOf(riesgos[1], seccion)).captured(1), "Sin evaluar");
    EXPECT_EQ(nivel.match(plano, plano.indexOf(riesgos[2], seccion)).captured(1), "Importante");
    EXPECT_TRUE(plano.contains(QStringLiteral("Total del centro 0 1 1 1 0 5"))) << qPrintable(plano.right(900));
    EXPECT_TRUE(plano.contains(QStringLiteral("Quedan 2 riesgos sin evaluar"))) << qPrintable(plano.right(900));
}

TEST_F(MotorInformes, ElPlanVaPorFechaLimiteYSumaLosImportesQueLoSon)
{
    const QString t = pdf(Informes::FicheroPlanificacion, FormulaPlanificacion(centro));
    const qsizetype temprana = t.indexOf(QStringLiteral("Acción temprana"));
    const qsizetype intermedia = t.indexOf(QStringLiteral("Acción intermedia"));
    const qsizetype tardia = t.indexOf(QStringLiteral("Acción tardía"));
    ASSERT_GE(temprana, 0);
    EXPECT_LT(temprana, intermedia);
    EXPECT_LT(intermedia, tardia);
    for (const char* dato :
         {"Luis Planificador", "Empresario", "10/01/2025", "15/01/2025", "01/06/2025", "Responsable Uno", "a convenir",
          "1.200,50", "300,00", "1.500,50", "Ferretería Prueba S.L."})
        EXPECT_TRUE(t.contains(QString::fromUtf8(dato))) << dato;
    EXPECT_FALSE(t.contains(QStringLiteral("Acción del otro centro")));

    // La fórmula del plan sólo nombra el centro: sale el plan aunque el centro sea de otra empresa.
    const QString ajeno = pdf(Informes::FicheroPlanificacion, FormulaPlanificacion(centroAjeno));
    EXPECT_TRUE(ajeno.contains(QStringLiteral("Plaza Ajena 3")));
    EXPECT_TRUE(ajeno.contains(QStringLiteral("Empresa Ajena S.A.")));
}

TEST_F(MotorInformes, UnaFormulaQueNoValeDaUnInformeVacioSinTocarLaBaseDeDatos)
{
    const long long empresas = datos::contar(cx, "SELECT count(*) FROM Empresas");
    for (const QString& formula : {
             QStringLiteral("{CentroTrabajo.IDCentro}=%1 or 1=1").arg(centro),
             QStringLiteral("{CentroTrabajo.IDCentro}=%1; DELETE FROM Empresas").arg(centro),
             QStringLiteral("{Empresas.Nombre}='Ferretería Prueba S.L.'"), // campo que la plantilla no filtra
             QString(),
             // Bien formada, pero el centro no es de esa empresa.
             FormulaEvaluacion(centro, otraEmpresa),
         }) {
        const QString t = pdf(Informes::FicheroEvaluacion, formula);
        EXPECT_FALSE(t.contains(QStringLiteral("Ferretería Prueba S.L."))) << qPrintable(formula);
        EXPECT_FALSE(t.contains(QStringLiteral("Medida elegida"))) << qPrintable(formula);
        EXPECT_TRUE(t.contains(QStringLiteral("No hay datos para este informe"))) << qPrintable(formula);
    }
    EXPECT_EQ(datos::contar(cx, "SELECT count(*) FROM Empresas"), empresas);
}

TEST_F(MotorInformes, SinPlantillaNoHayDocumento)
{
    MotorInforme motor;
    try {
        motor.abrirPlantilla(copia.ruta("Informes/NoExiste.rpt"));
        FAIL();
    } catch (const ErrorBD& e) {
        EXPECT_EQ(e.numero(), NumeroError::ArchivoNoEncontrado);
    }
    motor.conectarCarpeta(copia.carpeta());
    motor.fijarFormula(FormulaPlanificacion(centro));
    EXPECT_THROW(motor.generar(), ErrorBD);
    EXPECT_THROW(motor.fijarPropiedad("Server Name", "x"), ErrorBD);
}

TEST_F(MotorInformes, ExportarInformesEscribeLosDocumentosYAvisaDeLoQueFalta)
{
    // El programa en una carpeta de programa propia, con la base de datos de la prueba.
    QDir carpeta(copia.carpeta());
    ASSERT_TRUE(QFile::copy(QStringLiteral(EXPORTAR_INFORMES), carpeta.filePath("ExportarInformes")));
    QFile(carpeta.filePath("ExportarInformes")).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    carpeta.mkdir("Informes");
    for (const QString& f : {Informes::FicheroEvaluacion, Informes::FicheroPlanificacion})
        ASSERT_TRUE(QFile::copy(plantilla(f), carpeta.filePath("Informes/" + f)));
    Conexion::cerrarTodas();

    const auto correr = [](const QString& programa, const QStringList& argumentos, QString* error = nullptr) {
        QProcess p;
        p.setProcessEnvironment([] {
            auto e = QProcessEnvironment::systemEnvironment();
            e.insert("QT_QPA_PLATFORM", "offscreen");
            return e;
        }());
        p.start(programa, argumentos);
        p.waitForFinished(60000);
        if (error)
            *error = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    const QString programa = carpeta.filePath("ExportarInformes");
    QTemporaryDir destino;
    EXPECT_EQ(correr(programa, {"--centro", QString::number(centro), "--destino", destino.path()}), 0);
    const QStringList uno = QDir(destino.path()).entryList({"*.pdf"});
    EXPECT_EQ(uno.size(), 2) << qPrintable(uno.join(", "));
    for (const QString& f : uno) {
        EXPECT_TRUE(f.contains("Calle Mayor 1")) << qPrintable(f);
        EXPECT_TRUE(textoPdf(QDir(destino.path()).filePath(f)).contains("Calle Mayor 1"));
    }

    QTemporaryDir todos;
    EXPECT_EQ(correr(programa, {"--destino", todos.path()}), 0);
    // Los dos documentos de cada centro con puestos o plan; el que no tiene ni lo uno ni lo otro se salta.
    EXPECT_EQ(QDir(todos.path()).entryList({"*.pdf"}).size(), 4);

    QString error;
    EXPECT_NE(correr(programa, {"--centro", "9999", "--destino", destino.path()}, &error), 0);
    EXPECT_TRUE(error.contains("No existe el centro de trabajo 9999")) << qPrintable(error);

    QFile::remove(carpeta.filePath("Evaluacion.mdb"));
    EXPECT_NE(correr(programa, {"--destino", destino.path()}, &error), 0);
    EXPECT_TRUE(error.contains("No se encuentra la base de datos")) << qPrintable(error);
}

// Un documento largo se compone a trozos para la vista previa: el recuento de hojas crece sin pasarse
// y acaba en el mismo total que componerlo de una vez, y el pie no dice un total antes de saberlo.
TEST_F(MotorInformes, ComponerPorPartesLlegaAlMismoTotalDeHojas)
{
    QString html = QStringLiteral("<table width=\"100%\" cellspacing=\"0.7\">");
    for (int i = 0; i < 900; ++i)
        html += QStringLiteral("<tr><td width=\"20%\">Fila %1</td><td>Texto de la fila con una redacción larga que "
                               "ocupa más de una línea en la columna ancha del documento de prueba</td></tr>")
                    .arg(i);
    html += QStringLiteral("</table><p>Final del documento</p>");
    const QString pie = QStringLiteral("Pie | Página [[pagina]] de [[paginas]]");
    const int total = DocumentoInforme(html, "Prueba", "Cabecera", pie).paginas();
    ASSERT_GT(total, 10);

    DocumentoInforme doc(html, "Prueba", "Cabecera", pie);
    EXPECT_FALSE(doc.compuesto());
    EXPECT_EQ(doc.pie(1, true), QStringLiteral("Página 1 de …"));
    int antes = doc.paginasCompuestas(), pasos = 0;
    while (!doc.componerPaso()) {
        ASSERT_LT(++pasos, 1000);
        EXPECT_GE(doc.paginasCompuestas(), antes);
        EXPECT_LE(doc.paginasCompuestas(), total);
        antes = doc.paginasCompuestas();
    }
    EXPECT_GT(pasos, 1); // de verdad a trozos
    EXPECT_TRUE(doc.compuesto());
    EXPECT_EQ(doc.paginasCompuestas(), total);
    EXPECT_EQ(doc.paginas(), total);
    EXPECT_EQ(doc.pie(total, true), QStringLiteral("Página %1 de %1").arg(total));

    // Exportar sin haber compuesto antes numera igual todas las hojas sobre el total.
    DocumentoInforme otro(html, "Prueba", "Cabecera", pie);
    const QString ruta = copia.ruta("largo.pdf");
    ASSERT_TRUE(otro.exportarPdf(ruta));
    const QString texto = textoPdf(ruta);
    EXPECT_TRUE(texto.contains(QStringLiteral("Página 1 de %1").arg(total)));
    EXPECT_TRUE(texto.contains(QStringLiteral("Página %1 de %1").arg(total)));
    EXPECT_FALSE(texto.contains(QStringLiteral("…")));
}
