// La caja de búsqueda de las medidas preventivas: lo escrito sin acentos encuentra lo que los
// lleva, y una casilla pulsada con el ratón en una fila filtrada se guarda en esa fila.
#include "Datos.h"
#include "EntornoAsistente.h"
#include "evaluation/SeleccionaMedidas.h"
#include "shell/FiltroCuadricula.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"
#include "shell/grid/GroupModel.h"

#include <QLineEdit>
#include <QTreeView>
#include <QtTest>

using datos::contar;

namespace {
constexpr int Escaleras = 6, Cajas = 9; // factores del catálogo con varias medidas cada uno
constexpr int ColMarca = 3;
} // namespace

class PruebaBusquedaMedidas : public QObject, private EntornoAsistente
{
    Q_OBJECT

    long long soldador = 0;

    SeleccionaMedidas* abrir()
    {
        registro->abrirNueva(Ventana::SeleccionaMedidas);
        auto* w = qobject_cast<SeleccionaMedidas*>(registro->ventana(Ventana::SeleccionaMedidas));
        if (w)
            w->origen()->fetchAll();
        return w;
    }
    QString factor(int idFactor)
    {
        Recordset rs;
        rs.open("select Factor from FactoresRiesgos where IDFactor = ?", cx, {idFactor});
        return rs.value(0).toString();
    }
    // Filas de la cuadrícula que se ven, por su medida.
    QStringList vistas(SeleccionaMedidas* w)
    {
        QStringList medidas;
        for (int f = 0; f < w->origen()->rowCount(); ++f)
            if (w->cuadricula()->rowMatchesFilter(f))
                medidas << w->origen()->fieldValue(f, "Medida").toString();
        return medidas;
    }
    QString marcas()
    {
        Recordset rs;
        rs.open("select group_concat(IDMedidaFactor || MarcarMedida, ',') from (select * from VFactoresMedidas where "
                "IDPuestoCentro = ? order by IDMedidaFactor)",
                cx, {soldador});
        return rs.value(0).toString();
    }

private slots:
    void init()
    {
        preparar(750);
        registrarVentana<SeleccionaMedidas>(Ventana::SeleccionaMedidas);
        soldador = nuevoPuesto("Soldador");
        marcar(soldador, Escaleras);
        marcar(soldador, Cajas);
        sesion.puestoActual = VentanaAsistente::TextoPuesto(soldador, "Soldador");
        SeleccionaMedidas::AnadirMedida(cx, centro, soldador, empresa, factor(Cajas),
                                        "Revisar la Cámara frigorífica antes de entrar");
    }
    void cleanup() { liberar(); }

    void loEscritoSinAcentosNiMayusculasEncuentraCadaPalabra()
    {
        SeleccionaMedidas* w = abrir();
        QLineEdit* caja = w->findChild<QLineEdit*>("txtBuscarMedida");
        QVERIFY(caja);
        const int todas = w->origen()->rowCount();
        QVERIFY(todas > 3);

        QTest::keyClicks(caja, "CAMARA  frigorifica");
        QCOMPARE(vistas(w), QStringList{"Revisar la Cámara frigorífica antes de entrar"});
        QCOMPARE(w->cuadricula()->shownRowCount(), 1);
        // Cada palabra tiene que estar: una que no está deja la lista vacía.
        QTest::keyClicks(caja, " xyz");
        QCOMPARE(w->cuadricula()->shownRowCount(), 0);
        // Escape la vacía y se ven todas otra vez.
        QTest::keyClick(caja, Qt::Key_Escape);
        QCOMPARE(caja->text(), QString());
        QCOMPARE(w->cuadricula()->shownRowCount(), todas);

        // Lo que se busca también está en las columnas de los grupos (el factor), no sólo en la medida.
        const QString palabra = factor(Escaleras).section(' ', 0, 0);
        caja->setText(palabra);
        const int conFactor = int(contar(cx,
                                         "select count(*) from VFactoresMedidas where IDPuestoCentro = ? and Factor "
                                         "like '%' || ? || '%'",
                                         {soldador, palabra}));
        QVERIFY(conFactor > 0);
        QVERIFY(w->cuadricula()->shownRowCount() >= conFactor);
        QVERIFY(w->cuadricula()->shownRowCount() < todas);
    }

    void laCasillaDeUnaFilaFiltradaCambiaEsaFila()
    {
        SeleccionaMedidas* w = abrir();
        QTreeView* arbol = w->cuadricula()->treeView();
        QVERIFY(arbol->isVisible());
        QTest::keyClicks(w->findChild<QLineEdit*>("txtBuscarMedida"), "camara");
        QCOMPARE(w->cuadricula()->shownRowCount(), 1);
        int fila = -1;
        for (int f = 0; f < w->origen()->rowCount(); ++f)
            if (w->cuadricula()->rowMatchesFilter(f))
                fila = f;
        // La fila buscada no es la primera: sin filtro estaría más abajo.
        QVERIFY(fila > 0);
        const long long buscada = w->origen()->fieldValue(fila, "IDMedidaFactor").toLongLong();
        // La fila actual ha pasado a la que se ve.
        QCOMPARE(w->origen()->currentRow(), fila);

        const QString antes = marcas();
        const QModelIndex celda = w->cuadricula()->groupModel()->indexOfSourceRow(fila, ColMarca);
        QVERIFY(!arbol->isRowHidden(celda.row(), celda.parent()));
        QTest::qWait(0);
        QTest::mouseClick(arbol->viewport(), Qt::LeftButton, {}, arbol->visualRect(celda).center());
        // La medida añadida estaba marcada: ahora no, y nada más ha cambiado.
        const QString despues = marcas();
        QCOMPARE(despues, QString(antes).replace(QString::number(buscada) + "S", QString::number(buscada) + "N"));
        QVERIFY(despues != antes);

        // Sin ninguna fila a la vista, el espacio no marca a ciegas la que queda oculta.
        w->findChild<QLineEdit*>("txtBuscarMedida")->setText("nada parecido");
        QCOMPARE(w->cuadricula()->shownRowCount(), 0);
        arbol->setFocus();
        QTest::keyClick(arbol, Qt::Key_Space);
        QCOMPARE(marcas(), despues);
    }
};

QTEST_MAIN(PruebaBusquedaMedidas)
#include "test_busqueda_medidas.moc"
