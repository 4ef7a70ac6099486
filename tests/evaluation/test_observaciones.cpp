// Lo que el evaluador apunta además de los grados y las marcas: la situación observada de cada
// riesgo, los trabajadores de cada puesto y las medidas que ya están implantadas. Todo con el
// ratón y el teclado, como el usuario, y mirando lo guardado y lo que se ve al volver.
#include "Datos.h"
#include "EntornoAsistente.h"
#include "PlataformaPrueba.h"
#include "evaluation/InicioEvaluacion.h"
#include "evaluation/Puestos.h"
#include "evaluation/SeleccionaMedidas.h"
#include "evaluation/SeleccionaRiesgos.h"
#include "evaluation/TextoFila.h"
#include "shell/RegistroVentanas.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"
#include "shell/grid/GroupModel.h"
#include "store/Recordset.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

using datos::contar;

namespace {
// Del catálogo entregado: el factor 6 da los riesgos 10, 40 y 130.
constexpr int Escaleras = 6;
constexpr int ColMarca = 3, ColImplantada = 4;
} // namespace

class PruebaObservaciones : public QObject, private EntornoAsistente
{
    Q_OBJECT

    long long soldador = 0;

    template <class V> V* abrir(Ventana ventana)
    {
        registro->abrirNueva(ventana);
        auto* w = qobject_cast<V*>(registro->ventana(ventana));
        if (w)
            QTest::qWaitForWindowExposed(w);
        return w;
    }
    static void clic(QTableView* t, int fila, int columna)
    {
        const QModelIndex celda = t->model()->index(fila, columna);
        t->scrollTo(celda);
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(celda).center());
    }
    static void escribirEn(QPlainTextEdit* caja, const QStringList& lineas)
    {
        QTest::mouseClick(caja->viewport(), Qt::LeftButton, {}, QPoint(8, 8));
        QTest::keyClick(caja, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(caja, Qt::Key_Delete);
        for (int i = 0; i < lineas.size(); ++i) {
            if (i > 0)
                QTest::keyClick(caja, Qt::Key_Return);
            QTest::keyClicks(caja, lineas[i]);
        }
    }
    QString situacionDe(long long idEvaluacion)
    {
        Recordset rs;
        rs.open("select SituacionObservada from Evaluacion where IDEvaluacion = ?", cx, {idEvaluacion});
        return rs.value(0).toString();
    }
    QString trabajadoresDe(long long puesto)
    {
        Recordset rs;
        rs.open("select Trabajadores from PuestosCentros where IDPuestoCentro = ?", cx, {puesto});
        return rs.value(0).toString();
    }
    // "Marcar|Implantada" de una medida.
    QString marcasDe(long long idMedida)
    {
        Recordset rs;
        rs.open("select MarcarMedida, Implantada from MedidasFactores where IDMedidaFactor = ?", cx, {idMedida});
        return rs.value(0).toString() + "|" + rs.value(1).toString();
    }

private slots:
    void init()
    {
        preparar(750);
        registrarVentana<InicioEvaluacion>(Ventana::InicioEvaluacion);
        registrarVentana<Puestos>(Ventana::Puestos);
        registrarVentana<SeleccionaRiesgos>(Ventana::SeleccionaRiesgos);
        registrarVentana<SeleccionaMedidas>(Ventana::SeleccionaMedidas);
        sustituir(Ventana::SeleccionaFactores);
        sustituir(Ventana::ImprimirEvaluacion);
        soldador = nuevoPuesto("Soldador");
        marcar(soldador, Escaleras);
        sesion.puestoActual = VentanaAsistente::TextoPuesto(soldador, "Soldador");
    }
    void cleanup() { liberar(); }

    void laSituacionObservadaDeCadaRiesgo()
    {
        auto* w = abrir<SeleccionaRiesgos>(Ventana::SeleccionaRiesgos);
        auto* situacion = w->findChild<TextoFila*>();
        QVERIFY(situacion);
        QPlainTextEdit* caja = w->findChild<QPlainTextEdit*>("strSituacionObservada");
        QVERIFY(caja && caja == situacion->caja());
        QTableView* t = w->cuadricula()->tableView();
        DataSource* ds = w->origen();
        QVERIFY(ds->rowCount() >= 3);
        const auto idDe = [&](int fila) { return ds->fieldValue(fila, "IDEvaluacion").toLongLong(); };
        const long long primera = idDe(0), segunda = idDe(1);

        // Se escribe en la caja de la primera fila y se pasa a la segunda con el ratón.
        clic(t, 0, 0);
        QCOMPARE(situacion->clave(), primera);
        const QString larga = QString("Escalera de tijera junto al horno, se usa a diario. ").repeated(12);
        escribirEn(caja, {"Suelo con aceite cerca de la prensa; l'operario va sin calzado", larga});
        // Mientras se escribe, la fila actual puede cambiar (el puntero sobre la cuadrícula):
        // lo escrito sigue siendo de la fila que enseña la caja.
        w->cuadricula()->setCurrentRow(2);
        QCOMPARE(situacion->clave(), primera);
        QTest::keyClicks(caja, "!");
        clic(t, 1, 0);
        const QString esperado = "Suelo con aceite cerca de la prensa; l'operario va sin calzado\n" + larga + "!";
        QCOMPARE(situacionDe(primera), esperado);
        QCOMPARE(situacion->clave(), segunda);
        QCOMPARE(caja->toPlainText(), QString());

        // En la segunda se escribe y se sigue adelante sin salir de la caja: también se guarda.
        escribirEn(caja, {"Cajas de 25 kg en el suelo"});
        // Un grado de la primera fila, escrito por la cuadrícula, no pisa lo que guardó la caja.
        QVERIFY(ds->setData(ds->index(0, 1), "Media"));
        Recordset::execute("update Evaluacion set Probabilidad = 'Baja', Consecuencias = 'Dañino', ValorRiesgo = "
                           "'Riesgo Tolerable' where IDPuestoCentro = ?",
                           cx, {soldador});
        QTest::mouseClick(w->findChild<QToolButton*>("Picture2"), Qt::LeftButton);
        QVERIFY(registro->ventana(Ventana::SeleccionaMedidas));
        QCOMPARE(situacionDe(segunda), QString("Cajas de 25 kg en el suelo"));
        QCOMPARE(situacionDe(primera), esperado);

        // Se vuelve: cada fila enseña la suya; borrarla la deja sin texto.
        w = abrir<SeleccionaRiesgos>(Ventana::SeleccionaRiesgos);
        situacion = w->findChild<TextoFila*>();
        caja = situacion->caja();
        t = w->cuadricula()->tableView();
        clic(t, 0, 0);
        QCOMPARE(caja->toPlainText(), esperado);
        // Encima de la caja, de qué riesgo es.
        ds = w->origen();
        QCOMPARE(w->findChild<QLabel*>("strSituacionObservadaFila")->text(),
                 "(" + ds->cellValue(0, 0).toString() + ")");
        clic(t, 1, 0);
        QCOMPARE(caja->toPlainText(), QString("Cajas de 25 kg en el suelo"));
        escribirEn(caja, {"  "});
        clic(t, 0, 0);
        QVERIFY(contar(cx, "select count(*) from Evaluacion where IDEvaluacion = ? and SituacionObservada is null",
                       {segunda}) == 1);
        QVERIFY(plataforma->mensajes.empty());
    }

    // Otro técnico cambia la situación observada mientras la caja la enseña: lo que se escribe
    // después no pisa lo suyo. Se avisa, la caja enseña su texto y, escrito encima, se guarda.
    void laSituacionQueOtroHaCambiadoNoSePisa()
    {
        auto* w = abrir<SeleccionaRiesgos>(Ventana::SeleccionaRiesgos);
        auto* situacion = w->findChild<TextoFila*>();
        QPlainTextEdit* caja = situacion->caja();
        QTableView* t = w->cuadricula()->tableView();
        const long long primera = w->origen()->fieldValue(0, "IDEvaluacion").toLongLong();
        clic(t, 0, 0);
        QCOMPARE(situacion->clave(), primera);
        Recordset::execute("update Evaluacion set SituacionObservada = 'Visto por Luis: sin barandilla' where "
                           "IDEvaluacion = ?",
                           cx, {primera});

        escribirEn(caja, {"Lo que vi yo"});
        clic(t, 1, 0);
        QCOMPARE(situacionDe(primera), QString("Visto por Luis: sin barandilla"));
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QCOMPARE(plataforma->mensajes[0].texto,
                 QString("Otro usuario ha modificado este registro; se muestran sus datos"));
        QCOMPARE(situacion->clave(), primera);
        QCOMPARE(caja->toPlainText(), QString("Visto por Luis: sin barandilla"));

        // Ya con su texto a la vista, lo que se escribe se guarda.
        escribirEn(caja, {"Visto por Luis: sin barandilla; y la escalera coja"});
        clic(t, 1, 0);
        QCOMPARE(situacionDe(primera), QString("Visto por Luis: sin barandilla; y la escalera coja"));
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
    }

    void losTrabajadoresDeCadaPuesto()
    {
        auto* w = abrir<Puestos>(Ventana::Puestos);
        // Al dar de alta un puesto, con sus datos.
        w->findChild<QComboBox*>("cmbPuesto")->setEditText("Pintor");
        w->findChild<QLineEdit*>("strDescripcion")->setText("Pinta");
        w->findChild<QComboBox*>("cmbSensibilidad")->setCurrentIndex(4);
        w->findChild<QLineEdit*>("numTrabajadores")->setText("2");
        QPlainTextEdit* alta = w->findChild<QPlainTextEdit*>("strTrabajadores");
        QVERIFY(alta);
        escribirEn(alta, {"Ana Perez", "Jose O'Neill"});
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("BAñadir")), Qt::LeftButton);
        QVERIFY(plataforma->mensajes.empty());
        const long long pintor = contar(cx, "select max(IDPuestoCentro) from PuestosCentros");
        QCOMPARE(trabajadoresDe(pintor), QString("Ana Perez\nJose O'Neill"));
        QCOMPARE(alta->toPlainText(), QString());
        // Sin nombres también se da de alta.
        w->findChild<QComboBox*>("cmbPuesto")->setEditText("Mozo");
        w->findChild<QLineEdit*>("strDescripcion")->setText("Carga");
        w->findChild<QComboBox*>("cmbSensibilidad")->setCurrentIndex(4);
        w->findChild<QLineEdit*>("numTrabajadores")->setText("1");
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("BAñadir")), Qt::LeftButton);
        QCOMPARE(contar(cx, "select count(*) from PuestosCentros where Puesto = 'Mozo' and Trabajadores is null"), 1);

        // En un puesto que ya estaba, en la caja del puesto elegido en la cuadrícula.
        auto* delPuesto = w->findChild<TextoFila*>();
        QVERIFY(delPuesto);
        QTableView* t = w->findChild<Grid*>("GPuestos")->tableView();
        DataSource* ds = w->findChild<DataSource*>("RPuestos");
        int filaSoldador = -1, filaPintor = -1;
        for (int f = 0; f < ds->rowCount(); ++f) {
            const long long id = ds->fieldValue(f, "IDPuestoCentro").toLongLong();
            filaSoldador = id == soldador ? f : filaSoldador;
            filaPintor = id == pintor ? f : filaPintor;
        }
        clic(t, filaPintor, 0);
        QCOMPARE(delPuesto->caja()->toPlainText(), QString("Ana Perez\nJose O'Neill"));
        clic(t, filaSoldador, 0);
        QCOMPARE(delPuesto->clave(), soldador);
        escribirEn(delPuesto->caja(), {"Luis Gomez"});
        clic(t, filaPintor, 0);
        QCOMPARE(trabajadoresDe(soldador), QString("Luis Gomez"));

        // Se vuelve a abrir: lo guardado.
        w = abrir<Puestos>(Ventana::Puestos);
        t = w->findChild<Grid*>("GPuestos")->tableView();
        clic(t, filaSoldador, 0);
        QCOMPARE(w->findChild<TextoFila*>()->caja()->toPlainText(), QString("Luis Gomez"));
        QVERIFY(plataforma->mensajes.empty());
    }

    void yaImplantadaYSeleccionadaVanJuntas()
    {
        Recordset::execute("update MedidasFactores set MarcarMedida = 'N', Implantada = 'N'", cx);
        const long long id =
            contar(cx, "select min(IDMedidaFactor) from VFactoresMedidas where IDPuestoCentro = ?", {soldador});
        auto* w = abrir<SeleccionaMedidas>(Ventana::SeleccionaMedidas);
        Grid* g = w->cuadricula();
        QCOMPARE(g->columns().value(ColImplantada).caption, QString("Ya implantada"));
        QCOMPARE(g->columns().value(ColImplantada).presentation, GridColumn::Presentation::CheckBox);
        DataSource* ds = w->origen();
        ds->fetchAll();
        int fila = -1;
        for (int f = 0; f < ds->rowCount(); ++f)
            if (ds->fieldValue(f, "IDMedidaFactor").toLongLong() == id)
                fila = f;
        QVERIFY(fila >= 0);
        QTreeView* arbol = g->treeView();
        const auto pulsar = [&](int columna) {
            const QModelIndex celda = g->groupModel()->indexOfSourceRow(fila, columna);
            QVERIFY(celda.isValid());
            arbol->scrollTo(celda);
            QTest::mouseClick(arbol->viewport(), Qt::LeftButton, {}, arbol->visualRect(celda).center());
        };

        // Ya implantada marca también la selección: una medida que existe se aplica.
        pulsar(ColImplantada);
        QTRY_COMPARE(marcasDe(id), QString("S|S"));
        // Quitar la selección quita también lo de implantada.
        pulsar(ColMarca);
        QTRY_COMPARE(marcasDe(id), QString("N|N"));
        // Seleccionarla sola es una medida propuesta.
        pulsar(ColMarca);
        QTRY_COMPARE(marcasDe(id), QString("S|N"));
        pulsar(ColImplantada);
        QTRY_COMPARE(marcasDe(id), QString("S|S"));
        // Quitar sólo lo de implantada la deja seleccionada.
        pulsar(ColImplantada);
        QTRY_COMPARE(marcasDe(id), QString("S|N"));
        pulsar(ColImplantada);
        QTRY_COMPARE(marcasDe(id), QString("S|S"));

        // Se vuelve: las dos casillas como quedaron.
        w = abrir<SeleccionaMedidas>(Ventana::SeleccionaMedidas);
        ds = w->origen();
        ds->fetchAll();
        for (int f = 0; f < ds->rowCount(); ++f)
            if (ds->fieldValue(f, "IDMedidaFactor").toLongLong() == id) {
                QCOMPARE(ds->index(f, ColMarca).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
                QCOMPARE(ds->index(f, ColImplantada).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
            }
        QVERIFY(plataforma->mensajes.empty());
    }
};

QTEST_MAIN(PruebaObservaciones)
#include "test_observaciones.moc"
