#include "Celdas.h"
#include "CopiaPrograma.h"
#include "Datos.h"
#include "PlataformaPrueba.h"
#include "shell/Rutinas.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"
#include "shell/grid/GroupArea.h"
#include "shell/grid/GroupModel.h"
#include "store/ErrorBD.h"
#include "store/Recordset.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTreeView>
#include <QtTest>

namespace {
// Un puesto con cuatro filas de evaluación: dos riesgos (10 y 20) del factor 1 y otros dos (10 y
// 30) del factor 2. La fila del riesgo 20 ya está evaluada.
struct Evaluacion
{
    CopiaPrograma copia;
    QString cx = copia.conexion();
    long long centro = 0, puesto = 0;
    std::vector<long long> filas;

    Evaluacion()
    {
        centro = datos::centro(cx, datos::empresa(cx));
        puesto = datos::puesto(cx, centro);
        const long long f1 = datos::factor(cx, puesto, 1, "S");
        const long long f2 = datos::factor(cx, puesto, 2, "S");
        filas = {datos::evaluacion(cx, f1, 10), datos::evaluacion(cx, f1, 20, "S", "Riesgo Moderado"),
                 datos::evaluacion(cx, f2, 10), datos::evaluacion(cx, f2, 30)};
    }
    QVariant guardado(const QString& campo, long long idEvaluacion) const
    {
        Recordset rs;
        rs.open("SELECT " + campo + " FROM Evaluacion WHERE IDEvaluacion = ?", cx, {idEvaluacion});
        return rs.value(0);
    }
};

QVector<GridColumn> columnasRiesgos()
{
    GridColumn riesgo = GridColumn::text("Riesgo", "Riesgo");
    riesgo.readOnly = true;
    return {
        riesgo,
        GridColumn::valueList("Probabilidad", "Probabilidad", {{"Baja", "Baja"}, {"Media", "Media"}, {"Alta", "Alta"}}),
        GridColumn::valueList("Consecuencias", "Consecuencias",
                              {{"Ligeramente dañino", "Ligeramente dañino"},
                               {"Dañino", "dañino"},
                               {"Extremadamente dañino", "Extremadamente dañino"}}),
        GridColumn::text("Valor\nRiesgo", "ValorRiesgo")};
}

void abrir(DataSource& ds, const QString& cx, const QString& sql, const QVariantList& parametros = {})
{
    ds.setConnectionString(cx);
    ds.setRecordSource(sql, parametros);
    ds.refresh();
}

// La cuadrícula de las cuatro filas de evaluación, a la vista.
struct RiesgosALaVista
{
    PlataformaPrueba plataforma;
    Evaluacion e;
    DataSource ds;
    Grid g;

    RiesgosALaVista()
    {
        g.setDataSource(&ds);
        g.setColumns(columnasRiesgos());
        abrir(ds, e.cx, "SELECT * FROM VRiesgos WHERE IDPuestoCentro = ?", {e.puesto});
        g.resize(700, 300);
        g.show();
        if (!QTest::qWaitForWindowExposed(&g))
            qFatal("la cuadrícula no llega a verse");
    }
};

void moverPuntero(QWidget* w, const QPoint& p)
{
    QMouseEvent e(QEvent::MouseMove, p, w->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// Arrastre de verdad con el ratón: pulsar en "desde" (coordenadas de "origen"), moverse y soltar
// sobre el punto global "hasta".
void arrastrar(QWidget* origen, const QPoint& desde, const QPoint& hastaGlobal)
{
    const QPoint hasta = origen->mapFromGlobal(hastaGlobal);
    QTest::mousePress(origen, Qt::LeftButton, {}, desde);
    QTest::mouseMove(origen, desde + QPoint(QApplication::startDragDistance() + 2, 0));
    QTest::mouseMove(origen, hasta);
    QTest::mouseRelease(origen, Qt::LeftButton, {}, hasta);
}

QPoint centroSeccion(QHeaderView* h, int seccion)
{
    return QPoint(h->sectionViewportPosition(seccion) + h->sectionSize(seccion) / 2, h->height() / 2);
}
} // namespace

class PruebaCuadricula : public QObject
{
    Q_OBJECT

private slots:
    void losDosModelosCumplenElContratoDeQt()
    {
        Evaluacion e;
        DataSource ds;
        ds.setColumns(columnasRiesgos());
        QAbstractItemModelTester plano(&ds, QAbstractItemModelTester::FailureReportingMode::QtTest);
        GroupModel grupos(&ds);
        QAbstractItemModelTester agrupado(&grupos, QAbstractItemModelTester::FailureReportingMode::QtTest);
        abrir(ds, e.cx, "SELECT * FROM VRiesgos WHERE IDPuestoCentro = ?", {e.puesto});
        QCOMPARE(ds.rowCount(), 4);

        grupos.setGroupColumns({0});
        QCOMPARE(grupos.rowCount(), 3); // tres riesgos distintos
        grupos.setGroupColumns({0, 1});
        QVERIFY(grupos.isGroupRow(grupos.index(0, 0)));
        // Cada fila de datos está una vez y se encuentra desde su fila del origen.
        for (int f = 0; f < ds.rowCount(); ++f) {
            const QModelIndex i = grupos.indexOfSourceRow(f, 3);
            QCOMPARE(grupos.sourceRow(i), f);
            QCOMPARE(i.data().toString(), ds.index(f, 3).data().toString());
        }
        // Un cambio en una columna agrupada cambia la fila de grupo cuando termina la edición.
        QVERIFY(ds.setData(ds.index(0, 1), "Alta"));
        QTRY_COMPARE(grupos.data(grupos.indexOfSourceRow(0, 0).parent()).toString(),
                     QStringLiteral("Probabilidad: Alta (1)"));
        ds.refresh();
        grupos.setGroupColumns({});
        QCOMPARE(grupos.rowCount(), 4);
    }

    void abrirUnaTablaEnormeNoLaLeeEntera()
    {
        CopiaPrograma copia;
        const QString cx = copia.conexion();
        const long long centro = datos::centro(cx, datos::empresa(cx));
        Conexion::obtener(cx)->ejecutar(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
            "INSERT INTO PuestosCentros (IDCentro, Puesto) SELECT ?, 'Puesto ' || i FROM n",
            {centro});
        DataSource ds;
        Grid g;
        g.setDataSource(&ds);
        g.setColumns({GridColumn::text("Puesto", "Puesto")});
        abrir(ds, cx, "SELECT * FROM PuestosCentros");
        g.resize(600, 400);
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        QCoreApplication::processEvents();
        QVERIFY(ds.rowCount() > 0);
        QVERIFY(ds.rowCount() < 1000);
        QVERIFY(ds.canFetchMore({}));

        // Ir a una fila lejana lee hasta ella y deja allí el conjunto de registros.
        g.setCurrentRow(5000);
        QCOMPARE(ds.recordset().value("Puesto").toString(), QStringLiteral("Puesto 5001"));
        QVERIFY(ds.rowCount() < 20000);
        g.tableView()->scrollToBottom();
        QCOMPARE(ds.recordset().value("Puesto").toString(), QStringLiteral("Puesto 5001"));
        ds.fetchAll();
        QCOMPARE(ds.rowCount(), 20000);
        QVERIFY(!ds.canFetchMore({}));
        QCOMPARE(ds.index(19999, 0).data().toString(), QStringLiteral("Puesto 20000"));
        QCOMPARE(g.currentRow(), 5000);
    }

    void cadaCambioSeEscribeEnElActoPorTablaYPorVista()
    {
        RiesgosALaVista vista;
        auto& [plataforma, e, ds, g] = vista;
        QSignalSpy despues(&g, &Grid::afterCellChange);

        // Lista con texto visto distinto del guardado, elegida en la lista desplegable.
        g.setCurrentRow(2);
        const QModelIndex celda = ds.index(2, 2);
        g.tableView()->setCurrentIndex(celda);
        g.tableView()->edit(celda);
        auto* lista = g.tableView()->findChild<QComboBox*>("listaValores");
        QVERIFY(lista);
        QCOMPARE(lista->maxVisibleItems(), 3);
        QCOMPARE(lista->itemText(1), QStringLiteral("dañino"));
        lista->setCurrentIndex(1);
        emit lista->activated(1);
        QTRY_COMPARE(e.guardado("Consecuencias", e.filas[2]).toString(), QStringLiteral("Dañino"));
        QCOMPARE(celda.data().toString(), QStringLiteral("dañino"));
        QCOMPARE(celda.data(Qt::EditRole).toString(), QStringLiteral("Dañino"));
        QCOMPARE(despues.size(), 1);
        QCOMPARE(despues.at(0).at(0).toInt(), 2);

        // Lo que la ventana pone en otra celda durante el aviso previo se escribe con el cambio
        // (la regla de la matriz de riesgo), y la celda editada ya da el valor nuevo.
        connect(&g, &Grid::beforeCellChange, this, [&](int columna, const QVariant&, const QVariant& nuevo, bool*) {
            QCOMPARE(g.cellValue(columna), nuevo);
            g.setCellValue(3, "Riesgo Moderado");
        });
        QVERIFY(ds.setData(ds.index(2, 1), "Media"));
        QCOMPARE(e.guardado("Probabilidad", e.filas[2]).toString(), QStringLiteral("Media"));
        QCOMPARE(e.guardado("ValorRiesgo", e.filas[2]).toString(), QStringLiteral("Riesgo Moderado"));
        QCOMPARE(ds.index(2, 3).data().toString(), QStringLiteral("Riesgo Moderado"));
        // Las columnas de sólo lectura no se editan.
        QVERIFY(!(ds.flags(ds.index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(!ds.setData(ds.index(0, 0), "Otro"));
        QVERIFY(plataforma.mensajes.empty());
    }

    void casillasGuardanSyN()
    {
        PlataformaPrueba plataforma;
        Evaluacion e;
        const long long m1 = datos::medida(e.cx, e.filas[0], "N");
        const long long m2 = datos::medida(e.cx, e.filas[0]);
        datos::medida(e.cx, e.filas[1], "x");
        DataSource ds;
        Grid g;
        g.setDataSource(&ds);
        g.setColumns({GridColumn::text("Riesgo", "Riesgo"), GridColumn::text("Medida", "Medida"),
                      GridColumn::checkBox("Seleccionado", "MarcarMedida")});
        abrir(ds, e.cx, "SELECT * FROM VFactoresMedidas WHERE IDPuestoCentro = ? ORDER BY IDMedidaFactor", {e.puesto});
        g.resize(700, 300);
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        for (int f = 0; f < 3; ++f)
            QCOMPARE(ds.index(f, 2).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));

        QWidget* vp = g.tableView()->viewport();
        const QPoint casilla = g.tableView()->visualRect(ds.index(0, 2)).center();
        QTest::mouseClick(vp, Qt::LeftButton, {}, casilla);
        QCOMPARE(datos::contar(e.cx, "SELECT MarcarMedida = 'S' FROM MedidasFactores WHERE IDMedidaFactor = ?", {m1}),
                 1);
        QCOMPARE(g.currentRow(), 0);
        QCOMPARE(g.currentColumn(), 2);
        QTest::mouseClick(vp, Qt::LeftButton, {}, casilla);
        QCOMPARE(datos::contar(e.cx, "SELECT MarcarMedida = 'N' FROM MedidasFactores WHERE IDMedidaFactor = ?", {m1}),
                 1);
        // Una casilla sin valor se marca con la barra espaciadora.
        g.tableView()->setCurrentIndex(ds.index(1, 2));
        QTest::keyClick(g.tableView(), Qt::Key_Space);
        QCOMPARE(datos::contar(e.cx, "SELECT MarcarMedida = 'S' FROM MedidasFactores WHERE IDMedidaFactor = ?", {m2}),
                 1);
    }

    void cancelarEnElAvisoPrevioNoEscribeNada()
    {
        PlataformaPrueba plataforma;
        Evaluacion e;
        DataSource ds;
        Grid g;
        g.setDataSource(&ds);
        g.setColumns(columnasRiesgos());
        abrir(ds, e.cx, "SELECT * FROM VRiesgos WHERE IDPuestoCentro = ?", {e.puesto});
        QSignalSpy despues(&g, &Grid::afterCellChange);
        QVariant anterior, nuevo;
        connect(&g, &Grid::beforeCellChange, this, [&](int, const QVariant& a, const QVariant& n, bool* cancelar) {
            anterior = a;
            nuevo = n;
            g.setCellValue(3, "Riesgo Intolerable"); // ni esto se escribe
            *cancelar = true;
        });
        QVERIFY(!ds.setData(ds.index(1, 1), "Alta"));
        QCOMPARE(anterior.toString(), QStringLiteral("Media"));
        QCOMPARE(nuevo.toString(), QStringLiteral("Alta"));
        QCOMPARE(e.guardado("Probabilidad", e.filas[1]).toString(), QStringLiteral("Media"));
        QCOMPARE(e.guardado("ValorRiesgo", e.filas[1]).toString(), QStringLiteral("Riesgo Moderado"));
        QCOMPARE(ds.index(1, 1).data().toString(), QStringLiteral("Media"));
        QCOMPARE(ds.index(1, 3).data().toString(), QStringLiteral("Riesgo Moderado"));
        QVERIFY(!ds.recordset().editing());
        QCOMPARE(despues.size(), 0);

        // Moverse después tampoco escribe lo que se canceló.
        g.setCurrentRow(0);
        QCOMPARE(e.guardado("ValorRiesgo", e.filas[1]).toString(), QStringLiteral("Riesgo Moderado"));
    }

    void unaEscrituraFallidaSeAvisaYLaCeldaVuelveALoGuardado()
    {
        PlataformaPrueba plataforma;
        Evaluacion e;
        DataSource ds;
        Grid g;
        g.setDataSource(&ds);
        g.setColumns({GridColumn::text("Puesto", "Puesto"), GridColumn::text("Descripción", "Descripcion")});
        const long long otro = datos::puesto(e.cx, e.centro, "Cajero");
        abrir(ds, e.cx, "SELECT * FROM PuestosCentros WHERE IDCentro = ?", {e.centro});
        QSignalSpy fallos(&g, &Grid::writeFailed);
        QSignalSpy despues(&g, &Grid::afterCellChange);

        // Fila borrada por otra operación mientras la cuadrícula la enseña.
        Recordset::execute("DELETE FROM PuestosCentros WHERE IDPuestoCentro = ?", e.cx, {otro});
        QVERIFY(!ds.setData(ds.index(1, 1), "Cobra en caja"));
        QCOMPARE(fallos.size(), 1);
        QCOMPARE(despues.size(), 0);
        QCOMPARE(ds.index(1, 1).data().toString(), QString());
        QTRY_COMPARE(plataforma.mensajes.size(), size_t(1));
        QVERIFY(plataforma.mensajes[0].texto.startsWith(QStringLiteral("Se ha producido el error: ")));
        QCOMPARE(plataforma.mensajes[0].icono, PlataformaServicios::Icono::Critico);

        // Valor que el almacén no admite: una fecha imposible.
        const long long plan =
            datos::insertar(e.cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro) VALUES (?)", {e.centro});
        const long long linea = datos::insertar(
            e.cx, "INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, FechaLimite) VALUES (?, '2024-05-01')",
            {plan});
        DataSource lineas;
        Grid gl;
        gl.setDataSource(&lineas);
        gl.setColumns({GridColumn::text("Fecha\nLimite", "FechaLimite")});
        abrir(lineas, e.cx, "SELECT * FROM \"ActuaciónPreventivaRegistro\" WHERE IDActuacion = ?", {plan});
        QVERIFY(!lineas.setData(lineas.index(0, 0), "mañana"));
        QCOMPARE(lineas.index(0, 0).data(Qt::EditRole).toDate(), QDate(2024, 5, 1));
        QCOMPARE(lineas.index(0, 0).data().toString(), QStringLiteral("01/05/2024"));
        QTRY_COMPARE(plataforma.mensajes.size(), size_t(2));
        QVERIFY(plataforma.mensajes[1].texto.contains(QString::number(NumeroError::OperacionVariosPasos)));
        QCOMPARE(datos::contar(e.cx,
                               "SELECT count(*) FROM \"ActuaciónPreventivaRegistro\" WHERE IDActuacionRegistro = ? "
                               "AND FechaLimite = '2024-05-01'",
                               {linea}),
                 1);
        QVERIFY(lineas.setData(lineas.index(0, 0), QDate(2024, 6, 30)));
        QCOMPARE(lineas.index(0, 0).data().toString(), QStringLiteral("30/06/2024"));

        // Un fallo dentro del aviso previo de la ventana cancela el cambio y se avisa.
        connect(&g, &Grid::beforeCellChange, this, [](int, const QVariant&, const QVariant&, bool*) {
            throw ErrorBD(NumeroError::OperacionVariosPasos, "rechazado");
        });
        QVERIFY(!ds.setData(ds.index(0, 1), "Atiende"));
        QCOMPARE(datos::contar(e.cx,
                               "SELECT count(*) FROM PuestosCentros WHERE Descripcion IS NULL AND IDPuestoCentro = ?",
                               {e.puesto}),
                 1);
        QTRY_COMPARE(plataforma.mensajes.size(), size_t(3));
    }

    void loEscritoALaListaYLoDejadoEnElAvisoPosterior()
    {
        PlataformaPrueba plataforma;
        Evaluacion e;
        DataSource ds;
        Grid g;
        g.setDataSource(&ds);
        g.setColumns(columnasRiesgos());
        abrir(ds, e.cx, "SELECT * FROM VRiesgos WHERE IDPuestoCentro = ?", {e.puesto});
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));

        // Escrito a mano en la lista: el texto visto de un elemento guarda su valor; otro texto, tal cual.
        const auto escribir = [&](int fila, int columna, const QString& texto) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // el editor anterior
            const QModelIndex celda = ds.index(fila, columna);
            g.tableView()->setCurrentIndex(celda);
            g.tableView()->edit(celda);
            auto* lista = g.tableView()->findChild<QComboBox*>("listaValores");
            QVERIFY(lista);
            lista->setEditText(texto);
            QTest::keyClick(lista->lineEdit(), Qt::Key_Return);
        };
        escribir(0, 2, QStringLiteral("dañino"));
        QTRY_COMPARE(e.guardado("Consecuencias", e.filas[0]).toString(), QStringLiteral("Dañino"));
        escribir(0, 1, QStringLiteral(" media "));
        QTRY_COMPARE(e.guardado("Probabilidad", e.filas[0]).toString(), QStringLiteral(" media "));

        // La ventana pone un campo en el aviso posterior y no lo escribe: no se pierde.
        connect(&g, &Grid::afterCellChange, this,
                [&](int) { ds.recordset().setValue("ValorRiesgo", "Riesgo Tolerable"); });
        QVERIFY(ds.setData(ds.index(3, 1), "Baja"));
        QCOMPARE(e.guardado("ValorRiesgo", e.filas[3]).toString(), QStringLiteral("Riesgo Tolerable"));
        QCOMPARE(ds.index(3, 3).data().toString(), QStringLiteral("Riesgo Tolerable"));
        QVERIFY(!ds.recordset().editing());

        // Una sentencia que falla deja el origen vacío, cerrado y la cuadrícula usable.
        ds.setRecordSource("SELECT * FROM NoExiste");
        QVERIFY_THROWS_EXCEPTION(ErrorBD, ds.refresh());
        QCOMPARE(ds.rowCount(), 0);
        QCOMPARE(g.currentRow(), -1);
        QVERIFY(!ds.setData(ds.index(0, 1), "Alta"));
        QVERIFY(plataforma.mensajes.empty());
    }

    void nombresAccesiblesYDeObjeto()
    {
        DataSource ds;
        ds.setObjectName("RRiesgos");
        QWidget ventana;
        auto& g = *new Grid(&ventana);
        g.setObjectName("GRiesgos");
        g.setDataSource(&ds);
        QCOMPARE(ventana.findChild<Grid*>("GRiesgos"), &g);
        for (QWidget* parte :
             std::initializer_list<QWidget*>{&g, g.tableView(), g.treeView(), g.tableView()->horizontalHeader(),
                                             g.tableView()->verticalHeader(), g.groupArea(), g.tipLabel()})
            QVERIFY2(!parte->accessibleName().isEmpty(), qPrintable(parte->objectName()));
        g.groupArea()->setGroups({{0, "Riesgo"}});
        QCOMPARE(g.groupArea()->groupButtons().value(0)->accessibleName(), QStringLiteral("Agrupado por Riesgo"));

        // El origen destruido antes que la cuadrícula no la deja colgada de él.
        auto* otro = new DataSource;
        g.setDataSource(otro);
        g.setColumns(columnasRiesgos());
        delete otro;
        g.groupBy(0);
        g.redraw();
        QCOMPARE(g.currentRow(), -1);
    }

    void laVentanaPuedeReleerElOrigenDentroDelAviso()
    {
        PlataformaPrueba plataforma;
        Evaluacion e;
        DataSource ds;
        Grid g;
        g.setDataSource(&ds);
        g.setColumns(columnasRiesgos());
        abrir(ds, e.cx, "SELECT * FROM VRiesgos WHERE IDPuestoCentro = ?", {e.puesto});
        connect(&g, &Grid::beforeCellChange, this, [&](int, const QVariant&, const QVariant&, bool* cancelar) {
            *cancelar = true;
            ds.refresh();
        });
        QVERIFY(!ds.setData(ds.index(3, 1), "Baja"));
        QCOMPARE(ds.rowCount(), 4);
        QCOMPARE(ds.index(3, 1).data().toString(), QString());
        QCOMPARE(g.currentRow(), 0);
        QVERIFY(e.guardado("Probabilidad", e.filas[3]).isNull());
    }

    void laFilaActualEsLaDelConjuntoDeRegistros()
    {
        RiesgosALaVista vista;
        auto& [plataforma, e, ds, g] = vista;
        QCOMPARE(g.currentRow(), 0);

        g.setCurrentRow(2);
        QCOMPARE(ds.recordset().value("IDEvaluacion").toLongLong(), e.filas[2]);
        QCOMPARE(g.tableView()->currentIndex().row(), 2);
        // El selector de registro marca sólo la fila actual.
        QVERIFY(ds.headerData(2, Qt::Vertical, Qt::DecorationRole).isValid());
        QVERIFY(!ds.headerData(1, Qt::Vertical, Qt::DecorationRole).isValid());

        QTest::mouseClick(g.tableView()->viewport(), Qt::LeftButton, {},
                          g.tableView()->visualRect(ds.index(1, 0)).center());
        QCOMPARE(g.currentRow(), 1);
        QCOMPARE(ds.recordset().value("IDEvaluacion").toLongLong(), e.filas[1]);

        // Lo que la ventana dejó sin escribir en la fila se escribe al dejarla, en esa fila.
        ds.recordset().setValue("Probabilidad", "Alta");
        g.setCurrentRow(3);
        QCOMPARE(e.guardado("Probabilidad", e.filas[1]).toString(), QStringLiteral("Alta"));
        QVERIFY(e.guardado("Probabilidad", e.filas[3]).isNull());
        QCOMPARE(ds.index(1, 1).data().toString(), QStringLiteral("Alta"));

        // La ventana mueve el conjunto por su cuenta y la cuadrícula lo sigue al repintar.
        ds.recordset().moveFirst();
        g.redraw();
        QCOMPARE(g.currentRow(), 0);
        QCOMPARE(g.tableView()->currentIndex().row(), 0);

        g.setCurrentColumn(2);
        QCOMPARE(g.tableView()->currentIndex().column(), 2);
        QCOMPARE(g.cellValue(3).toString(), QString());
        g.setCurrentRow(1);
        QCOMPARE(g.cellValue(3).toString(), QStringLiteral("Riesgo Moderado"));
    }

    // Escape deja la celda con lo guardado y no escribe ni al salir de ella; Intro escribe en el
    // acto. Las fechas, en la ventana de la planificación.
    void escapeDeshaceEnTextoYEnListaEIntroConfirma()
    {
        RiesgosALaVista vista;
        auto& [plataforma, e, ds, g] = vista;
        QSignalSpy despues(&g, &Grid::afterCellChange);
        QTableView* t = g.tableView();
        const auto pulsarFuera = [&] {
            QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(ds.index(3, 0)).center());
        };

        QWidget* texto = editarConRaton(g.tableView(), 1, 3);
        QVERIFY(qobject_cast<QLineEdit*>(texto));
        QTest::keyClick(texto, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(texto, "Riesgo Trivial");
        QTest::keyClick(texto, Qt::Key_Escape);
        QCOMPARE(ds.index(1, 3).data().toString(), QStringLiteral("Riesgo Moderado"));
        pulsarFuera();
        QCOMPARE(e.guardado("ValorRiesgo", e.filas[1]).toString(), QStringLiteral("Riesgo Moderado"));

        auto* lista = qobject_cast<QComboBox*>(editarConRaton(g.tableView(), 1, 1));
        QVERIFY(lista);
        lista->lineEdit()->selectAll();
        QTest::keyClicks(lista->lineEdit(), "Baja");
        QTest::keyClick(lista->lineEdit(), Qt::Key_Escape);
        QCOMPARE(ds.index(1, 1).data().toString(), QStringLiteral("Media"));
        pulsarFuera();
        QCOMPARE(e.guardado("Probabilidad", e.filas[1]).toString(), QStringLiteral("Media"));
        QCOMPARE(despues.size(), 0);

        // Intro: escrito sin salir de la fila, y el editor cerrado.
        lista = qobject_cast<QComboBox*>(editarConRaton(g.tableView(), 0, 1));
        QVERIFY(lista);
        lista->lineEdit()->selectAll();
        QTest::keyClicks(lista->lineEdit(), "Alta");
        QTest::keyClick(lista->lineEdit(), Qt::Key_Return);
        QTRY_COMPARE(e.guardado("Probabilidad", e.filas[0]).toString(), QStringLiteral("Alta"));
        QCOMPARE(g.currentRow(), 0);
        QCOMPARE(despues.size(), 1);
        QVERIFY(plataforma.mensajes.empty());
    }

    void notaDeCeldaEnLaFilaBajoElPuntero()
    {
        RiesgosALaVista vista;
        auto& [plataforma, e, ds, g] = vista;
        g.setTipDelay(0);
        g.setTipWidth(6000);
        QList<QList<int>> peticiones;
        long long filaDelConjunto = 0;
        connect(&g, &Grid::cellTipRequested, this, [&](int division, int columna, int fila, CellTip* tip) {
            peticiones << QList<int>{division, columna, fila};
            filaDelConjunto = ds.recordset().value("IDEvaluacion").toLongLong();
            if (columna == 1)
                return; // sin texto no sale nota
            tip->text = "Valor de Riesgo: \r\n\r\n" + ds.recordset().value("Riesgo").toString();
            tip->fontSize = 11;
            tip->bold = true;
            tip->textColor = CellTip::oleColor(0x8000000E);
            tip->fillColor = CellTip::oleColor(0x800000);
        });
        QWidget* vp = g.tableView()->viewport();
        moverPuntero(vp, g.tableView()->visualRect(ds.index(2, 3)).center());
        QTRY_COMPARE(peticiones.size(), 1);
        QCOMPARE(peticiones[0], (QList<int>{0, 3, 2}));
        QCOMPARE(g.currentRow(), 2);
        QCOMPARE(filaDelConjunto, e.filas[2]);
        QLabel* tip = g.tipLabel();
        QTRY_VERIFY(tip->isVisible());
        QVERIFY(tip->text().startsWith(QStringLiteral("Valor de Riesgo: \n\n")));
        QVERIFY(tip->font().bold());
        QCOMPARE(tip->font().pointSize(), 11);
        QCOMPARE(tip->width(), TwipsAPixeles(6000, &g));
        QCOMPARE(CellTip::oleColor(0x800000), QColor(0, 0, 0x80));
        // Anclada: justo debajo de la celda (y dentro de la pantalla).
        const QRect celda = g.tableView()->visualRect(ds.index(2, 3));
        QCOMPARE(tip->y(), vp->mapToGlobal(celda.bottomLeft()).y() + 2);
        QVERIFY(tip->geometry().right() <= g.screen()->availableGeometry().right());

        // Otra celda sin texto: se pide, se mueve la fila y no sale nada.
        moverPuntero(vp, g.tableView()->visualRect(ds.index(1, 1)).center());
        QTRY_COMPARE(peticiones.size(), 2);
        QVERIFY(!tip->isVisible());
        QCOMPARE(g.currentRow(), 1);

        // Con la otra forma la fila actual no se toca y la nota se hace con la seleccionada.
        g.setTipMovesCurrentRow(false);
        moverPuntero(vp, g.tableView()->visualRect(ds.index(3, 0)).center());
        QTRY_COMPARE(peticiones.size(), 3);
        QCOMPARE(peticiones[2], (QList<int>{0, 0, 3}));
        QCOMPARE(g.currentRow(), 1);
        QCOMPARE(filaDelConjunto, e.filas[1]);
        QTRY_VERIFY(tip->isVisible());
        QEvent fuera(QEvent::Leave);
        QApplication::sendEvent(vp, &fuera);
        QVERIFY(!tip->isVisible());
    }

    void dobleClicEnUnaFila()
    {
        Evaluacion e;
        DataSource ds;
        Grid g;
        g.setDataSource(&ds);
        g.setColumns(columnasRiesgos());
        abrir(ds, e.cx, "SELECT * FROM VRiesgos WHERE IDPuestoCentro = ?", {e.puesto});
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        QSignalSpy dobles(&g, &Grid::rowDoubleClicked);
        const QPoint punto = g.tableView()->visualRect(ds.index(3, 0)).center();
        QTest::mouseClick(g.tableView()->viewport(), Qt::LeftButton, {}, punto);
        QTest::mouseDClick(g.tableView()->viewport(), Qt::LeftButton, {}, punto);
        QCOMPARE(dobles.size(), 1);
        QCOMPARE(dobles.at(0).at(0).toInt(), 3);
    }

    void agruparArrastrandoElEncabezadoYDeshacerlo()
    {
        PlataformaPrueba plataforma;
        Evaluacion e;
        datos::medida(e.cx, e.filas[0], "N");
        datos::medida(e.cx, e.filas[2], "N");
        datos::medida(e.cx, e.filas[3], "S");
        DataSource ds;
        Grid g;
        g.setObjectName("GMedidas");
        ds.setObjectName("RMedidas");
        g.setDataSource(&ds);
        g.setColumns({GridColumn::text("Riesgo", "Riesgo"), GridColumn::text("Factores de\nRiesgo", "Factor"),
                      GridColumn::text("Medida", "Medida"), GridColumn::checkBox("Seleccionado", "MarcarMedida")});
        g.setGroupView(true);
        abrir(ds, e.cx, "SELECT * FROM VFactoresMedidas WHERE IDPuestoCentro = ? ORDER BY IDMedidaFactor", {e.puesto});
        g.resize(800, 400);
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        GroupArea* zona = g.groupArea();
        QVERIFY(zona->isVisible());
        QCOMPARE(zona->prompt(), QStringLiteral("Drag a column header here to group by that column"));
        QVERIFY(!zona->accessibleName().isEmpty());

        QHeaderView* cabecera = g.tableView()->horizontalHeader();
        QVERIFY(cabecera->height() >= 2 * cabecera->fontMetrics().lineSpacing());
        arrastrar(cabecera->viewport(), centroSeccion(cabecera, 0), zona->mapToGlobal(zona->rect().center()));
        QCOMPARE(g.groupedColumns(), QList<int>{0});
        QCOMPARE(g.activeView(), static_cast<QAbstractItemView*>(g.treeView()));
        GroupModel* grupos = g.groupModel();
        QCOMPARE(grupos->rowCount(), 2); // riesgos 10 y 30
        QCOMPARE(zona->groupButtons().size(), 1);

        // Las filas de datos siguen editándose y avisando dentro de sus grupos.
        QSignalSpy despues(&g, &Grid::afterCellChange);
        const int fila = 1; // la medida del riesgo 10 del factor 2
        QTreeView* arbol = g.treeView();
        const QModelIndex casilla = grupos->indexOfSourceRow(fila, 3);
        QVERIFY(grupos->isGroupRow(casilla.parent()));
        QTest::mouseClick(arbol->viewport(), Qt::LeftButton, {}, arbol->visualRect(casilla).center());
        QCOMPARE(despues.size(), 1);
        QCOMPARE(g.currentRow(), fila);
        QCOMPARE(datos::contar(e.cx, "SELECT MarcarMedida = 'S' FROM VFactoresMedidas WHERE IDMedidaFactor = ?",
                               {ds.recordset().value("IDMedidaFactor")}),
                 1);
        QSignalSpy dobles(&g, &Grid::rowDoubleClicked);
        const QPoint medida = arbol->visualRect(grupos->indexOfSourceRow(2, 2)).center();
        QTest::mouseClick(arbol->viewport(), Qt::LeftButton, {}, medida);
        QTest::mouseDClick(arbol->viewport(), Qt::LeftButton, {}, medida);
        QCOMPARE(dobles.size(), 1);
        QCOMPARE(dobles.at(0).at(0).toInt(), 2);

        // Un segundo nivel desde el encabezado del árbol y, después, el botón fuera de la zona.
        QHeaderView* cabArbol = arbol->header();
        arrastrar(cabArbol->viewport(), centroSeccion(cabArbol, 1), zona->mapToGlobal(zona->rect().center()));
        QCOMPARE(g.groupedColumns(), (QList<int>{0, 1}));
        QPushButton* boton = zona->groupButtons().value(0);
        QVERIFY(boton);
        arrastrar(boton, boton->rect().center(), cabArbol->mapToGlobal(cabArbol->rect().center()));
        QCOMPARE(g.groupedColumns(), QList<int>{1});
        g.ungroup();
        QVERIFY(g.groupedColumns().isEmpty());
        QCOMPARE(g.activeView(), static_cast<QAbstractItemView*>(g.tableView()));
        QCOMPARE(g.tableView()->currentIndex().row(), 2);

        // Soltar el encabezado fuera de la zona no agrupa.
        arrastrar(cabecera->viewport(), centroSeccion(cabecera, 2),
                  g.tableView()->viewport()->mapToGlobal(QPoint(5, 5)));
        QVERIFY(g.groupedColumns().isEmpty());
        g.groupBy(2);
        QCOMPARE(g.groupedColumns(), QList<int>{2});
        QVERIFY(plataforma.mensajes.empty());
    }
};

QTEST_MAIN(PruebaCuadricula)
#include "test_cuadricula.moc"
