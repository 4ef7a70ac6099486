// «Marcar los habituales del puesto» en la ventana de factores: enseña la lista, no marca nada sin
// conformidad y marca cada factor como su casilla, con sus riesgos y medidas.
#include "EntornoAsistente.h"
#include "evaluation/SeleccionaFactores.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"

#include <QComboBox>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using datos::contar;
using Respuesta = PlataformaServicios::Respuesta;

class PruebaFactoresHabituales : public QObject, private EntornoAsistente
{
    Q_OBJECT

    SeleccionaFactores* abrir(long long puesto, const QString& nombre)
    {
        sesion.puestoActual = VentanaAsistente::TextoPuesto(puesto, nombre);
        registro->abrirNueva(Ventana::SeleccionaFactores);
        auto* w = qobject_cast<SeleccionaFactores*>(registro->ventana(Ventana::SeleccionaFactores));
        if (w)
            w->origen()->fetchAll();
        return w;
    }
    QPushButton* boton(SeleccionaFactores* w) { return w->findChild<QPushButton*>("BHabituales"); }
    QStringList marcados(long long puesto)
    {
        QStringList r;
        Recordset rs;
        rs.open("select IDFactor from FactoresSeleccionarEvaluacion where IDPuestoCentro = ? and FactorSelecionado = "
                "'S' order by IDFactor",
                cx, {puesto});
        for (; !rs.eof(); rs.moveNext())
            r << rs.value(0).toString();
        return r;
    }
    QStringList habituales(const QString& puesto)
    {
        QStringList r;
        Recordset rs;
        rs.open("select h.IDFactor from FactoresHabituales h join Puestos p using (IDPuesto) where p.Puesto = ? "
                "order by h.IDFactor",
                cx, {puesto});
        for (; !rs.eof(); rs.moveNext())
            r << rs.value(0).toString();
        return r;
    }
    // La casilla del factor, pulsada con el ratón.
    void pulsarCasilla(SeleccionaFactores* w, int idFactor)
    {
        DataSource* ds = w->origen();
        int fila = -1;
        for (int f = 0; f < ds->rowCount() && fila < 0; ++f)
            if (ds->fieldValue(f, "IDFactor").toInt() == idFactor)
                fila = f;
        QVERIFY(fila >= 0);
        QTableView* t = w->cuadricula()->tableView();
        const QModelIndex celda = ds->index(fila, 1);
        t->scrollTo(celda);
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(celda).center());
    }

private slots:
    void init()
    {
        preparar();
        registrarVentana<SeleccionaFactores>(Ventana::SeleccionaFactores);
    }
    void cleanup() { liberar(); }

    void marcaLosHabitualesTrasEnsenarlosYComoSuCasilla()
    {
        const long long cajero = nuevoPuesto("Cajero/a");
        const QStringList lista = habituales("Cajero/a");
        QVERIFY(lista.size() > 5);
        SeleccionaFactores* w = abrir(cajero, "Cajero/a");
        QPushButton* b = boton(w);
        QVERIFY(b);
        QCOMPARE(b->text(), QString("Marcar los habituales del puesto"));
        QCOMPARE(b->accessibleName(), QString("Marcar los habituales del puesto"));
        QVERIFY(!b->toolTip().isEmpty());

        // Uno ya marcado a mano no se vuelve a ofrecer.
        const int primero = lista.first().toInt();
        pulsarCasilla(w, primero);
        QCOMPARE(marcados(cajero), QStringList{lista.first()});

        // Con No no se marca nada; la pregunta enseña los que faltan, uno por línea.
        plataforma->responder(Respuesta::No);
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        const auto& m = plataforma->mensajes[0];
        QCOMPARE(m.titulo, QString("Factores habituales"));
        QCOMPARE(m.icono, PlataformaServicios::Icono::Pregunta);
        QCOMPARE(m.botones, PlataformaServicios::Botones::SiNo);
        QCOMPARE(m.predeterminada, Respuesta::No);
        QCOMPARE(m.texto.count(QStringLiteral("\n- ")), lista.size() - 1);
        const QString nombrePrimero = w->origen()->fieldValue(0, "Factor").toString();
        QVERIFY(!m.texto.contains(nombrePrimero));
        QCOMPARE(marcados(cajero), QStringList{lista.first()});
        QCOMPARE(contar(cx, "select count(*) from Evaluacion where IDPuestoCentro = ?", {cajero}),
                 contar(cx, "select count(*) from RiesgosFactores where IDFactor = ?", {primero}));

        // Con Sí (pulsado con el teclado) se marcan exactamente los habituales, cada uno con sus
        // riesgos y las medidas del catálogo, y con una sola fila mostrada por riesgo.
        plataforma->responder(Respuesta::Si);
        b->setFocus();
        QTest::keyClick(b, Qt::Key_Space);
        QCOMPARE(plataforma->mensajes.size(), size_t(2));
        QCOMPARE(marcados(cajero), lista);
        // La cuadrícula enseña las casillas como quedan guardadas.
        for (int f = 0; f < w->origen()->rowCount(); ++f)
            QCOMPARE(w->origen()->index(f, 1).data(Qt::CheckStateRole).toInt() == Qt::Checked,
                     lista.contains(w->origen()->fieldValue(f, "IDFactor").toString()));
        QCOMPARE(contar(cx, "select count(*) from Evaluacion where IDPuestoCentro = ?", {cajero}),
                 contar(cx, "select count(*) from RiesgosFactores r join FactoresHabituales h using (IDFactor) join "
                            "Puestos p using (IDPuesto) where p.Puesto = 'Cajero/a'"));
        QCOMPARE(contar(cx,
                        "select count(*) from MedidasFactores m join Evaluacion e using (IDEvaluacion) where "
                        "e.IDPuestoCentro = ?",
                        {cajero}),
                 contar(cx, "select count(*) from Medidas m join FactoresHabituales h using (IDFactor) join Puestos p "
                            "using (IDPuesto) where p.Puesto = 'Cajero/a'"));
        QCOMPARE(contar(cx,
                        "select count(*) from (select IDRiesgo from Evaluacion where IDPuestoCentro = ? group by "
                        "IDRiesgo having sum(Mostrar = 'S') <> 1)",
                        {cajero}),
                 0);

        // Otra vez: ya están todos, se dice y no cambia nada.
        const long long filas = contar(cx, "select count(*) from Evaluacion");
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(plataforma->mensajes.size(), size_t(3));
        QVERIFY(plataforma->mensajes[2].texto.contains("ya están marcados"));
        QCOMPARE(plataforma->mensajes[2].icono, PlataformaServicios::Icono::Informacion);
        QCOMPARE(contar(cx, "select count(*) from Evaluacion"), filas);
    }

    void unPuestoQueNoEsDelCatalogoNoMarcaNada()
    {
        const long long soldador = nuevoPuesto("Soldador");
        SeleccionaFactores* w = abrir(soldador, "Soldador");
        QTest::mouseClick(boton(w), Qt::LeftButton);
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QVERIFY(plataforma->mensajes[0].texto.contains("«Soldador»"));
        QCOMPARE(plataforma->mensajes[0].botones, PlataformaServicios::Botones::Aceptar);
        QCOMPARE(marcados(soldador), QStringList{});
        QCOMPARE(contar(cx, "select count(*) from Evaluacion"), 0);

        // Sin puestos en el centro el botón no hace nada.
        sesion.idCentro = long(datos::centro(cx, empresa, "Nave vacía"));
        w = abrir(0, {});
        QVERIFY(!boton(w)->isEnabled());
    }
};

QTEST_MAIN(PruebaFactoresHabituales)
#include "test_factores_habituales.moc"
