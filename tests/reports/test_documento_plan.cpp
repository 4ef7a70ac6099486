// El documento del plan compuesto por el motor con la plantilla de verdad: el orden por prioridad
// que sigue la ventana, las vencidas en rojo según el día del programa, el recuento por estados y los
// totales, los riesgos graves sin acción, los plazos que se pasan del de su nivel y los riesgos
// valorados de nuevo.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "InformesPrueba.h"
#include "plataforma/Reloj.h"
#include "reports/DocumentoInforme.h"
#include "reports/Informes.h"
#include "store/PlanAcciones.h"

#include <QRegularExpression>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <gtest/gtest.h>

namespace {
const QColor Alarma(0xf4, 0xb6, 0xb0);

class DocumentoPlan : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { informes_prueba::aplicacion(); }

    void SetUp() override
    {
        FijarHoy(QDate(2030, 1, 15));
        cx = copia.conexion();
        const long long empresa = datos::empresa(cx, "Talleres Prueba");
        centro = datos::centro(cx, empresa, "Calle Mayor 1");
        dependiente = datos::puesto(cx, centro, "Dependiente");
        mozo = datos::puesto(cx, centro, "Mozo de almacén");
        Recordset::execute("UPDATE PuestosCentros SET NTrabajadores = CASE IDPuestoCentro WHEN ? THEN '2' ELSE '5' END",
                           cx, {dependiente});
        Recordset f;
        f.open("SELECT IDFactor FROM FactoresRiesgos ORDER BY IDFactor LIMIT 1", cx);
        const long long fd = datos::factor(cx, dependiente, f.value(0).toLongLong(), "S");
        const long long fm = datos::factor(cx, mozo, f.value(0).toLongLong(), "S");
        Recordset r;
        r.open("SELECT IDRiesgo, Riesgo FROM Riesgos ORDER BY IDRiesgo LIMIT 6", cx);
        const char* niveles[] = {"Riesgo Intolerable", "Riesgo Importante", "Riesgo Moderado",
                                 "Riesgo Importante",  "Riesgo Importante", "Riesgo Intolerable"};
        for (int i = 0; i < 6; ++i, r.moveNext()) {
            riesgo[i] = r.value(1).toString();
            evaluacion[i] = datos::evaluacion(cx, i < 3 ? fd : fm, r.value(0).toLongLong(), "S", niveles[i]);
        }
        plan = datos::insertar(
            cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro, Persona, Fecha) VALUES (?, 'Luis', '2030-01-01')",
            {centro});
    }
    void TearDown() override { FijarHoy({}); }

    long long linea(const QString& accion, const QVariant& limite, long long idEvaluacion = 0,
                    const QString& estado = "Pendiente", const QVariant& presupuesto = {}, const QVariant& coste = {})
    {
        return datos::insertar(
            cx,
            "INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva, "
            "FechaLimite, IDEvaluacion, Estado, PresupuestoAproximado, CosteReal) "
            "VALUES (?, ?, ?, ?, ?, ?, ?)",
            {plan, accion, limite, idEvaluacion ? QVariant(idEvaluacion) : QVariant(), estado, presupuesto, coste});
    }

    std::unique_ptr<DocumentoInforme> documento()
    {
        return informes_prueba::documento(copia.carpeta(), Informes::FicheroPlanificacion,
                                          FormulaPlanificacion(centro));
    }
    // El texto entre dos títulos del documento, con los blancos juntados.
    static QString tramo(const DocumentoInforme& doc, const QString& desde, const QString& hasta)
    {
        const QString t = doc.texto().toPlainText();
        const qsizetype i = t.indexOf(desde);
        EXPECT_GE(i, 0) << qPrintable(desde);
        return t.mid(i, t.indexOf(hasta, i) - i).simplified();
    }

    CopiaPrograma copia;
    QString cx;
    long long centro = 0, dependiente = 0, mozo = 0, plan = 0;
    long long evaluacion[6] = {};
    QString riesgo[6];
};

// Fondo de la celda de la tabla en que está el texto (el primero que sale tras «despues»).
QColor fondo(const DocumentoInforme& doc, const QString& texto, const QString& despues = {})
{
    const int desde = despues.isEmpty() ? 0 : doc.texto().find(despues).position();
    const QTextCursor c = doc.texto().find(texto, desde);
    QTextTable* t = c.currentTable();
    if (!t)
        return {};
    return t->cellAt(c).format().background().color();
}
} // namespace

// Las líneas salen como en la ventana: por prioridad, a igual nivel antes el puesto con más
// trabajadores y después la fecha límite; las generales al final. La vencida ayer va en rojo; la que
// vence hoy o ya está realizada, no.
TEST_F(DocumentoPlan, LasLineasVanPorPrioridadYLasVencidasEnRojo)
{
    linea("General pronto", "2030-01-10");
    linea("General tarde", "2030-03-01");
    linea("Moderada", "2030-01-20", evaluacion[2]);
    linea("Importante dependiente", "2030-01-14", evaluacion[1]);
    linea("Importante mozo", "2030-02-01", evaluacion[3]);
    linea("Importante mozo antes", "2030-01-16", evaluacion[4]);
    linea("Realizada atrasada", "2030-01-02", evaluacion[4], "Realizada");
    linea("Intolerable hoy", "2030-01-15", evaluacion[0]);
    const QStringList esperado{"Intolerable hoy", "Realizada atrasada",     "Importante mozo antes",
                               "Importante mozo", "Importante dependiente", "Moderada",
                               "General pronto",  "General tarde"};

    QStringList ventana;
    for (const QVariantList& f : Conexion::obtener(cx)->leerFilas(
             QString::fromUtf8(LineasPorPrioridad).replace("SELECT *", "SELECT AccionPreventiva"), {plan}))
        ventana << f[0].toString();
    EXPECT_EQ(ventana, esperado);

    const auto doc = documento();
    const QString acciones = tramo(*doc, "Acciones preventivas\n", "Seguimiento del plan");
    for (int i = 0; i < esperado.size(); ++i)
        EXPECT_TRUE(acciones.contains(QStringLiteral(" %1 %2 ").arg(i + 1).arg(esperado[i]))) << qPrintable(acciones);
    EXPECT_TRUE(acciones.contains("5 Importante dependiente Dependiente " + riesgo[1] + " Importante (2) 14/01/2030"))
        << qPrintable(acciones);
    EXPECT_TRUE(acciones.contains("7 General pronto General — 10/01/2030")) << qPrintable(acciones);

    EXPECT_EQ(fondo(*doc, "Importante dependiente"), Alarma);
    EXPECT_EQ(fondo(*doc, "General pronto"), Alarma);
    EXPECT_EQ(fondo(*doc, "Intolerable hoy"), Qt::white);
    EXPECT_EQ(fondo(*doc, "Realizada atrasada"), Qt::white);
    EXPECT_EQ(acciones.count("vencida"), 2) << qPrintable(acciones);

    // Al día siguiente también vence la de hoy.
    FijarHoy(QDate(2030, 1, 16));
    EXPECT_EQ(fondo(*documento(), "Intolerable hoy"), Alarma);
}

// Cuántas líneas hay en cada estado, lo planificado y lo gastado; lo que no es un importe no se suma
// y se avisa, y la nota de seguimiento va bajo su línea.
TEST_F(DocumentoPlan, CuentaLosEstadosYSumaPresupuestoYCosteReal)
{
    linea("Señalizar", "2030-02-01", evaluacion[0], "Realizada", "1.200,50", "1.100");
    linea("Formar", "2030-02-01", 0, "Verificada", "300", "a convenir");
    linea("Revisar", "2030-02-01", evaluacion[1], "En curso", "a convenir", "50,25");
    const long long nota = linea("Medir", "2030-01-01", evaluacion[3], "", "100");
    Recordset::execute("UPDATE \"ActuaciónPreventivaRegistro\" SET Seguimiento = 'Falta el sonómetro', "
                       "Estado = NULL WHERE IDActuacionRegistro = ?",
                       cx, {nota});
    Recordset::execute("UPDATE \"ActuaciónPreventivaRegistro\" SET FechaRealizada = '2030-01-12' "
                       "WHERE AccionPreventiva = 'Señalizar'",
                       cx);

    const auto doc = documento();
    const QString acciones = tramo(*doc, "Acciones preventivas\n", "Seguimiento del plan");
    EXPECT_TRUE(acciones.contains("Estado: Realizada · fecha realizada: 12/01/2030 · coste real: 1.100,00 €"))
        << qPrintable(acciones);
    EXPECT_TRUE(acciones.contains("Estado: Pendiente — vencida Seguimiento: Falta el sonómetro"))
        << qPrintable(acciones);
    EXPECT_TRUE(acciones.contains("Presupuesto total 1.600,50 Coste real total 1.150,25")) << qPrintable(acciones);
    EXPECT_TRUE(acciones.contains("El coste real total suma los 2 costes expresados como importe; 1 costes"))
        << qPrintable(acciones);
    const QString resumen = tramo(*doc, "Seguimiento del plan", "Riesgos graves y plazos");
    EXPECT_TRUE(resumen.contains("Pendiente 1 En curso 1 Realizada 1 Verificada 1 Total 4 "
                                 "Vencidas (sin realizar y con la fecha límite pasada) 1 "
                                 "Presupuesto total planificado (€) 1.600,50 Coste real total (€) 1.150,25"))
        << qPrintable(resumen);
}

// Los riesgos importantes e intolerables sin acción, y las acciones que vencen más tarde de lo que
// da el plazo de su nivel desde la fecha del plan (el mes se cuenta hasta el último día del siguiente).
TEST_F(DocumentoPlan, ListaLosRiesgosGravesSinAccionYLosPlazosQueSePasan)
{
    linea("Intolerable a tiempo", "2030-01-01", evaluacion[0]);
    linea("Intolerable tarde", "2030-01-02", evaluacion[0]);
    linea("Importante al límite", "2030-02-01", evaluacion[1]);
    linea("Importante sin fecha", {}, evaluacion[3]);
    linea("Moderada tarde", "2030-07-02", evaluacion[2]);
    linea("General", "2031-01-01");

    auto doc = documento();
    QString graves = tramo(*doc, "Riesgos graves y plazos", "Riesgos valorados de nuevo");
    const qsizetype tardias = graves.indexOf("Acciones cuya fecha límite");
    ASSERT_GT(tardias, 0) << qPrintable(graves);
    // Sólo queda sin acción el riesgo importante del mozo (el intolerable del mozo se lista antes).
    EXPECT_EQ(graves.left(tardias).count(QRegularExpression(" (Importante|Intolerable) ")), 2) << qPrintable(graves);
    EXPECT_TRUE(graves.left(tardias).contains("Mozo de almacén " + riesgo[5] + " Intolerable Mozo de almacén " +
                                              riesgo[4] + " Importante"))
        << qPrintable(graves);
    const QString lista = graves.mid(tardias);
    EXPECT_TRUE(lista.contains("Intolerable tarde Dependiente " + riesgo[0] +
                               " Intolerable inmediato 01/01/2030 "
                               "02/01/2030"))
        << qPrintable(lista);
    EXPECT_TRUE(lista.contains("Importante sin fecha Mozo de almacén " + riesgo[3] +
                               " Importante 1 mes 01/02/2030 "
                               "sin fecha límite"))
        << qPrintable(lista);
    EXPECT_TRUE(lista.contains("Moderada tarde Dependiente " + riesgo[2] + " Moderado 6 meses 01/07/2030 02/07/2030"))
        << qPrintable(lista);
    for (const char* a_tiempo : {"Intolerable a tiempo", "Importante al límite", "General"})
        EXPECT_FALSE(lista.contains(a_tiempo)) << a_tiempo;

    // Un plan del 31 de enero da de plazo al importante hasta el 28 de febrero, no hasta marzo.
    Recordset::execute("UPDATE \"ActuaciónPreventiva\" SET Fecha = '2030-01-31' WHERE IDActuacion = ?", cx, {plan});
    Recordset::execute("UPDATE \"ActuaciónPreventivaRegistro\" SET FechaLimite = '2030-03-01' "
                       "WHERE AccionPreventiva = 'Importante al límite'",
                       cx);
    graves = tramo(*documento(), "Acciones cuya fecha límite", "Riesgos valorados de nuevo");
    EXPECT_TRUE(graves.contains("Importante al límite Dependiente " + riesgo[1] +
                                " Importante 1 mes 28/02/2030 "
                                "01/03/2030"))
        << qPrintable(graves);

    // Sin fecha del plan no hay con qué comparar.
    Recordset::execute("UPDATE \"ActuaciónPreventiva\" SET Fecha = NULL WHERE IDActuacion = ?", cx, {plan});
    graves = tramo(*documento(), "Acciones cuya fecha límite", "Riesgos valorados de nuevo");
    EXPECT_TRUE(graves.contains("no se pueden comprobar los plazos")) << qPrintable(graves);
    EXPECT_FALSE(graves.contains("Intolerable tarde")) << qPrintable(graves);
}

// El nivel de antes y el de ahora de los riesgos valorados de nuevo tras realizar su acción; un
// riesgo valorado de nuevo cuya acción sigue pendiente no sale.
TEST_F(DocumentoPlan, LosRiesgosHechosYValoradosDeNuevoLlevanElNivelDeAntesYElDeAhora)
{
    const long long hecha = linea("Proteger", "2030-02-01", evaluacion[1], "Realizada");
    const long long pendiente = linea("Cercar", "2030-02-01", evaluacion[3]);
    const auto revalorar = [&](long long idEvaluacion, long long idLinea, const char* fecha, const char* antes,
                               const char* ahora) {
        datos::insertar(cx,
                        "INSERT INTO RevaloracionesRiesgo (IDEvaluacion, IDActuacionRegistro, Fecha, NivelAnterior, "
                        "NivelNuevo) VALUES (?, ?, ?, ?, ?)",
                        {idEvaluacion, idLinea, fecha, antes, ahora});
    };
    revalorar(evaluacion[1], hecha, "2030-01-10", "Riesgo Moderado", "Riesgo Tolerable");
    revalorar(evaluacion[1], hecha, "2030-01-05", "Riesgo Importante", "Riesgo Moderado");
    revalorar(evaluacion[3], pendiente, "2030-01-06", "Riesgo Importante", "Riesgo Trivial");
    // Hecha pero aún por valorar de nuevo: no sale hasta que se valora.
    const long long porValorar = linea("Señalizar", "2030-02-01", evaluacion[2], "Realizada");
    datos::insertar(cx,
                    "INSERT INTO RevaloracionesRiesgo (IDEvaluacion, IDActuacionRegistro, Fecha, NivelAnterior) "
                    "VALUES (?, ?, '2030-01-12', 'Riesgo Moderado')",
                    {evaluacion[2], porValorar});

    const auto doc = documento();
    const QString t = tramo(*doc, "Riesgos valorados de nuevo", "Firma");
    EXPECT_TRUE(t.contains("Dependiente " + riesgo[1] + " Importante Tolerable 10/01/2030")) << qPrintable(t);
    EXPECT_FALSE(t.contains(riesgo[3])) << qPrintable(t);
    EXPECT_FALSE(t.contains(riesgo[2])) << qPrintable(t);
    EXPECT_TRUE(t.contains("10/01/2030")) << qPrintable(t);
    EXPECT_FALSE(t.contains("12/01/2030")) << qPrintable(t);
    EXPECT_EQ(fondo(*doc, "Tolerable", "Riesgos valorados de nuevo"), QColor(0xee, 0xf5, 0xc8));
    EXPECT_EQ(fondo(*doc, "Importante", "Riesgos valorados de nuevo"), QColor(0xfc, 0xd5, 0xa8));
}
