// La ventana de medidas preventivas sobre una copia de la base entregada: la casilla que se guarda
// en el acto, la lista de factores, el alta de una medida propia con sus rechazos, las notas y el
// paso a las ventanas vecinas.
#include "Celdas.h"
#include "CopiaPrograma.h"
#include "Datos.h"
#include "EntornoAsistente.h"
#include "PlataformaPrueba.h"
#include "evaluation/DatosPuesto.h"
#include "evaluation/GeneracionRiesgos.h"
#include "evaluation/InicioEvaluacion.h"
#include "evaluation/SeleccionaMedidas.h"
#include "evaluation/SeleccionaRiesgos.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"
#include "shell/grid/GroupArea.h"
#include "shell/grid/GroupModel.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

using datos::contar;

namespace {
// Del catálogo entregado: 6 da los riesgos 10, 40 y 130; 9 da 40 y 130.
constexpr int Escaleras = 6, Cajas = 9;
const QString TextoVacio = QStringLiteral("Tiene que seleccionar un factor y su correspondiente medida");
} // namespace

class PruebaSeleccionaMedidas : public QObject, private EntornoAsistente
{
    Q_OBJECT

    long long soldador = 0, pintor = 0;

    SeleccionaMedidas* abrir()
    {
        registro->abrirNueva(Ventana::SeleccionaMedidas);
        return qobject_cast<SeleccionaMedidas*>(registro->ventana(Ventana::SeleccionaMedidas));
    }
    QString nombreFactor(int idFactor)
    {
        Recordset rs;
        rs.open("select Factor from FactoresRiesgos where IDFactor = ?", cx, {idFactor});
        return rs.value(0).toString();
    }
    void elegir(SeleccionaMedidas* w, long long puesto)
    {
        QComboBox* lista = w->listaPuestos();
        const int i = lista->findData(puesto);
        QVERIFY(i >= 0);
        lista->setCurrentIndex(i);
        emit lista->activated(i);
    }
    int filaDe(SeleccionaMedidas* w, long long idMedida)
    {
        w->origen()->fetchAll();
        for (int f = 0; f < w->origen()->rowCount(); ++f)
            if (w->origen()->fieldValue(f, "IDMedidaFactor").toLongLong() == idMedida)
                return f;
        return -1;
    }
    long long medidaDe(long long puesto, int idFactor, int saltar = 0)
    {
        Recordset rs;
        rs.open("select IDMedidaFactor from VFactoresMedidas where IDPuestoCentro = ? and IDFactor = ? order by "
                "IDMedidaFactor limit 1 offset ?",
                cx, {puesto, idFactor, saltar});
        return rs.value(0).toLongLong();
    }
    QString marcaDe(long long idMedida)
    {
        Recordset rs;
        rs.open("select MarcarMedida from MedidasFactores where IDMedidaFactor = ?", cx, {idMedida});
        return rs.value(0).toString();
    }
    bool marcarCasilla(SeleccionaMedidas* w, long long idMedida, bool si)
    {
        const QModelIndex celda = w->origen()->index(filaDe(w, idMedida), 3);
        return w->origen()->setData(celda, si ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    }
    void anadir(SeleccionaMedidas* w, const QString& factor, const QString& medida)
    {
        w->listaFactores()->setEditText(factor);
        w->textoMedida()->setText(medida);
        w->botonAnadir()->click();
    }
    long long medidasGuardadas() { return contar(cx, "select count(*) from MedidasFactores"); }
    int subventanas(const QString& nombre)
    {
        int n = 0;
        for (QMdiSubWindow* s : area->subWindowList())
            if (s->widget() && s->widget()->objectName() == nombre && s->isVisible())
                ++n;
        return n;
    }

private slots:
    void init()
    {
        preparar(750);
        registrarVentana<InicioEvaluacion>(Ventana::InicioEvaluacion);
        registrarVentana<SeleccionaRiesgos>(Ventana::SeleccionaRiesgos);
        registrarVentana<SeleccionaMedidas>(Ventana::SeleccionaMedidas);
        sustituir(Ventana::ImprimirEvaluacion);
        soldador = nuevoPuesto("Soldador");
        pintor = nuevoPuesto("Pintor");
        marcar(soldador, Escaleras);
        marcar(soldador, Cajas);
        marcar(pintor, Escaleras);
        sesion.puestoActual = VentanaAsistente::TextoPuesto(soldador, "Soldador");
    }
    void cleanup() { liberar(); }

    void lasMedidasDelPuestoYLaListaDeFactores()
    {
        SeleccionaMedidas* w = abrir();
        QCOMPARE(w->windowTitle(), QString("Medidas Preventivas"));
        QCOMPARE(w->findChild<QLineEdit*>("strDireccion")->text(), QString("Polígono Sur 4"));
        QCOMPARE(w->listaPuestos()->currentText(), sesion.puestoActual);
        const QVector<GridColumn>& c = w->cuadricula()->columns();
        // Detrás de la selección, si la medida ya está implantada.
        QCOMPARE(c.size(), 5);
        QCOMPARE(c[1].caption, QString("Factores de Riesgo"));
        QCOMPARE(c[3].presentation, GridColumn::Presentation::CheckBox);
        QCOMPARE(c[3].field, QString("MarcarMedida"));
        // Todas las medidas del puesto, de filas mostradas y ocultas, ordenadas por riesgo y factor.
        w->origen()->fetchAll();
        QCOMPARE(w->origen()->rowCount(),
                 int(contar(cx, "select count(*) from VFactoresMedidas where IDPuestoCentro = ?", {soldador})));
        QStringList orden;
        for (int f = 0; f < w->origen()->rowCount(); ++f)
            orden << w->origen()->cellValue(f, 0).toString() + "|" + w->origen()->cellValue(f, 1).toString();
        QStringList ordenada = orden;
        ordenada.sort();
        QCOMPARE(orden, ordenada);
        // El texto de la medida no se cambia aquí: la vista sólo guarda la marca.
        QVERIFY(!w->origen()->setData(w->origen()->index(0, 2), "Otra medida"));
        QVERIFY(w->cuadricula()->groupView());
        QVERIFY(w->cuadricula()->groupArea()->isVisible());

        // Un factor que da tres riesgos sale una vez en la lista, detrás del elemento vacío, y
        // bajo sus tres riesgos en la cuadrícula.
        QComboBox* lista = w->listaFactores();
        QCOMPARE(lista->count(), 3);
        QCOMPARE(lista->itemText(0), QString());
        QCOMPARE(lista->currentIndex(), 0);
        QStringList factores{lista->itemText(1), lista->itemText(2)};
        QStringList esperados{nombreFactor(Escaleras), nombreFactor(Cajas)};
        factores.sort();
        esperados.sort();
        QCOMPARE(factores, esperados);
        QSet<QString> riesgos;
        for (int f = 0; f < w->origen()->rowCount(); ++f)
            if (w->origen()->fieldValue(f, "IDFactor").toInt() == Escaleras)
                riesgos << w->origen()->cellValue(f, 0).toString();
        QCOMPARE(riesgos.size(), 3);

        // Otro puesto, sus medidas y sus factores.
        elegir(w, pintor);
        QCOMPARE(lista->count(), 2);
        QCOMPARE(lista->itemText(1), nombreFactor(Escaleras));
        w->origen()->fetchAll();
        QCOMPARE(w->origen()->rowCount(),
                 int(contar(cx, "select count(*) from VFactoresMedidas where IDPuestoCentro = ?", {pintor})));
        QVERIFY(plataforma->mensajes.empty());
    }

    void laMarcaSeGuardaEnElActoYSeVeAlVolver()
    {
        SeleccionaMedidas* w = abrir();
        const long long una = medidaDe(soldador, Escaleras), otra = medidaDe(soldador, Cajas);
        QVERIFY(marcarCasilla(w, una, true));
        QCOMPARE(marcaDe(una), QString("S"));
        QVERIFY(marcarCasilla(w, otra, true));
        QVERIFY(marcarCasilla(w, otra, false));
        QCOMPARE(marcaDe(otra), QString("N"));
        QCOMPARE(contar(cx, "select count(*) from MedidasFactores where MarcarMedida = 'S'"), 1);

        // Con un clic de verdad en la vista agrupada.
        QTreeView* arbol = w->cuadricula()->treeView();
        QVERIFY(QTest::qWaitForWindowExposed(arbol));
        const QModelIndex celda = w->cuadricula()->groupModel()->indexOfSourceRow(filaDe(w, otra), 3);
        QVERIFY(celda.isValid());
        arbol->scrollTo(celda);
        QTest::mouseClick(arbol->viewport(), Qt::LeftButton, {}, arbol->visualRect(celda).center());
        QTRY_COMPARE(marcaDe(otra), QString("S"));

        // Se sale y se vuelve: las mismas marcas.
        w = abrir();
        const auto visto = [&](long long id) {
            return w->origen()->index(filaDe(w, id), 3).data(Qt::CheckStateRole).toInt();
        };
        QCOMPARE(visto(una), int(Qt::Checked));
        QCOMPARE(visto(otra), int(Qt::Checked));
        QCOMPARE(visto(medidaDe(soldador, Cajas, 1)), int(Qt::Unchecked));
        QVERIFY(plataforma->mensajes.empty());
    }

    void anadirUnaMedidaPropia()
    {
        // El factor de las escaleras lo tienen los dos puestos; se añade desde el del pintor.
        sesion.puestoActual = VentanaAsistente::TextoPuesto(pintor, "Pintor");
        SeleccionaMedidas* w = abrir();
        const long long antes = medidasGuardadas();
        QComboBox* lista = w->listaFactores();
        lista->setCurrentIndex(1);
        w->textoMedida()->setText("Revisar la escalera antes de cada uso");
        w->botonAnadir()->click();
        QVERIFY(plataforma->mensajes.empty());
        QCOMPARE(medidasGuardadas(), antes + 1);
        Recordset nueva;
        nueva.open("select IDMedidaFactor, IDEvaluacion, IDPuestoCentro, MarcarMedida from VFactoresMedidas where "
                   "Medida = ?",
                   cx, {"Revisar la escalera antes de cada uso"});
        QCOMPARE(nueva.recordCount(), 1L);
        QCOMPARE(nueva.value("IDPuestoCentro").toLongLong(), pintor);
        QCOMPARE(nueva.value("MarcarMedida").toString(), QString("S"));
        // Va a la fila de evaluación de la primera medida del factor en el puesto.
        QCOMPARE(nueva.value("IDEvaluacion").toLongLong(),
                 contar(cx, "select IDEvaluacion from MedidasFactores where IDMedidaFactor = ?",
                        {medidaDe(pintor, Escaleras)}));
        // Se ve en el acto, marcada y como fila actual; el texto y la lista quedan vacíos.
        const int fila = filaDe(w, nueva.value("IDMedidaFactor").toLongLong());
        QVERIFY(fila >= 0);
        QCOMPARE(w->cuadricula()->currentRow(), fila);
        QCOMPARE(w->origen()->index(fila, 3).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(w->origen()->cellValue(fila, 1).toString(), nombreFactor(Escaleras));
        QCOMPARE(w->textoMedida()->text(), QString());
        QCOMPARE(lista->currentIndex(), 0);
        QCOMPARE(lista->currentText(), QString());

        // Escrito a mano con otras mayúsculas y blancos alrededor también vale.
        anadir(w, "  " + nombreFactor(Escaleras).toUpper() + " ", "Calzado antideslizante");
        QVERIFY(plataforma->mensajes.empty());
        QCOMPARE(contar(cx,
                        "select count(*) from VFactoresMedidas where Medida = 'Calzado antideslizante' and "
                        "IDPuestoCentro = ?",
                        {pintor}),
                 1);
        QCOMPARE(contar(cx, "select count(*) from VFactoresMedidas where IDPuestoCentro = ? and MarcarMedida = 'S'",
                        {soldador}),
                 0);
    }

    void anadirSinFactorOSinMedidaOConUnFactorQueNoEs()
    {
        SeleccionaMedidas* w = abrir();
        const long long antes = medidasGuardadas();
        const QString factor = nombreFactor(Cajas);
        // Sin factor, sin medida y con una medida de sólo blancos: "Texto Vacio" y nada guardado.
        anadir(w, "", "Usar carretilla");
        anadir(w, factor, "");
        anadir(w, factor, "   ");
        QCOMPARE(plataforma->mensajes.size(), size_t(3));
        for (const auto& m : plataforma->mensajes) {
            QCOMPARE(m.texto, TextoVacio);
            QCOMPARE(m.titulo, QString("Texto Vacio"));
            QCOMPARE(m.icono, PlataformaServicios::Icono::Critico);
            QCOMPARE(m.botones, PlataformaServicios::Botones::Aceptar);
        }
        QCOMPARE(medidasGuardadas(), antes);
        // Lo escrito sigue ahí para corregirlo.
        QCOMPARE(w->textoMedida()->text(), QString("   "));

        // Un factor escrito que no es del puesto (ni del catálogo, ni del otro puesto) no se añade.
        plataforma->mensajes.clear();
        anadir(w, "Ruido de la radial", "Usar protectores auditivos");
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QCOMPARE(plataforma->mensajes[0].titulo, QString("Factor no encontrado"));
        QVERIFY(plataforma->mensajes[0].texto.contains("«Ruido de la radial»"));
        QCOMPARE(plataforma->mensajes[0].icono, PlataformaServicios::Icono::Critico);
        sesion.puestoActual = VentanaAsistente::TextoPuesto(pintor, "Pintor");
        w = abrir();
        anadir(w, factor, "Usar carretilla");
        QCOMPARE(plataforma->mensajes.size(), size_t(2));
        QCOMPARE(plataforma->mensajes[1].titulo, QString("Factor no encontrado"));
        QCOMPARE(medidasGuardadas(), antes);
        QCOMPARE(w->textoMedida()->text(), QString("Usar carretilla"));
    }

    // Un apóstrofo en el factor o en la medida va como valor, nunca dentro de la sentencia.
    void unFactorConApostrofo()
    {
        Recordset::execute("update FactoresRiesgos set Factor = ? where IDFactor = ?", cx,
                           {"Uso d'escaleras de mano ' or 1=1 --", Cajas});
        SeleccionaMedidas* w = abrir();
        QComboBox* lista = w->listaFactores();
        const int i = lista->findText("Uso d'escaleras de mano ' or 1=1 --");
        QVERIFY(i > 0);
        lista->setCurrentIndex(i);
        w->textoMedida()->setText("No subir con l'escalera cargada");
        w->botonAnadir()->click();
        QVERIFY(plataforma->mensajes.empty());
        Recordset rs;
        rs.open("select IDFactor, IDPuestoCentro from VFactoresMedidas where Medida = ?", cx,
                {"No subir con l'escalera cargada"});
        QCOMPARE(rs.recordCount(), 1L);
        QCOMPARE(rs.value(0).toInt(), Cajas);
        QCOMPARE(rs.value(1).toLongLong(), soldador);
    }

    void notasDeLasCeldas()
    {
        SeleccionaMedidas* w = abrir();
        Grid* g = w->cuadricula();
        QTreeView* arbol = g->treeView();
        QVERIFY(QTest::qWaitForWindowExposed(arbol));
        const long long id = medidaDe(soldador, Cajas);
        const int fila = filaDe(w, id);
        g->setCurrentRow(fila == 0 ? 1 : 0);
        const QModelIndex celda = g->groupModel()->indexOfSourceRow(fila, 2);
        arbol->scrollTo(celda);
        moverPuntero(arbol->viewport(), arbol->visualRect(celda).center());
        QTRY_VERIFY(g->tipLabel()->isVisible());
        // La fila bajo el puntero pasa a ser la actual.
        QCOMPARE(g->currentRow(), fila);
        DataSource* ds = w->origen();
        QCOMPARE(g->tipLabel()->text(), "Medida: " + ds->cellValue(fila, 2).toString());
        QCOMPARE(g->tipLabel()->font().pointSize(), 11);
        QVERIFY(g->tipLabel()->font().bold());
        QCOMPARE(g->tipDelay(), 200);
        QCOMPARE(g->tipWidth(), 9000);

        CellTip riesgo, factor, marca, fuera;
        emit g->cellTipRequested(0, 0, fila, &riesgo);
        emit g->cellTipRequested(0, 1, fila, &factor);
        emit g->cellTipRequested(0, 3, fila, &marca);
        emit g->cellTipRequested(0, 0, -1, &fuera);
        QCOMPARE(riesgo.text, "Riesgo: " + ds->cellValue(fila, 0).toString());
        QCOMPARE(factor.text, "Factor: " + nombreFactor(Cajas));
        QVERIFY(marca.text.isEmpty());
        QVERIFY(fuera.text.isEmpty());

        // Sobre la casilla no sale nota.
        moverPuntero(arbol->viewport(), arbol->visualRect(g->groupModel()->indexOfSourceRow(fila, 3)).center());
        QTest::qWait(350);
        QVERIFY(!g->tipLabel()->isVisible());
        QVERIFY(plataforma->mensajes.empty());
    }

    // Riesgo, factor y medida se leen enteros bajo sus grupos: la fila crece con el texto.
    void losTextosLargosSeLeenEnterosEnLaCuadricula()
    {
        const long long id = medidaDe(soldador, Cajas);
        Recordset::execute("update MedidasFactores set Medida = ? where IDMedidaFactor = ?", cx,
                           {"Formar a los trabajadores en la manipulación manual de cargas y facilitar carretillas "
                            "para las cajas de más de veinticinco kilos",
                            id});
        SeleccionaMedidas* w = abrir();
        Grid* g = w->cuadricula();
        QTreeView* arbol = g->treeView();
        QVERIFY(QTest::qWaitForWindowExposed(arbol));
        const int fila = filaDe(w, id);
        const QModelIndex medida = g->groupModel()->indexOfSourceRow(fila, 2);
        arbol->scrollTo(medida);
        QTRY_VERIFY(textoEntero(arbol, medida));
        QVERIFY(arbol->visualRect(medida).height() >= 2 * arbol->fontMetrics().height());
        for (int columna : {0, 1})
            QCOMPARE(arbol->visualRect(g->groupModel()->indexOfSourceRow(fila, columna)).height(),
                     arbol->visualRect(medida).height());
    }

    void seguirSoloConUnaMedidaPorFactor()
    {
        SeleccionaMedidas* w = abrir();
        QToolButton* seguir = w->findChild<QToolButton*>("Picture2");
        QCOMPARE(seguir->text(), QString("Impresion Evaluacion de Riesgos"));
        seguir->click();
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QCOMPARE(plataforma->mensajes[0].titulo, QString("Sin Medidas"));
        QCOMPARE(plataforma->mensajes[0].icono, PlataformaServicios::Icono::Critico);
        QCOMPARE(plataforma->mensajes[0].texto, sesion.pendientes);
        QVERIFY(sesion.pendientes.contains(VentanaAsistente::TextoPuesto(pintor, "Pintor")));
        QCOMPARE(subventanas("SeleccionaMedidas"), 1);

        // Una medida marcada en cada factor de cada puesto: la del pintor, añadida a mano.
        QVERIFY(marcarCasilla(w, medidaDe(soldador, Escaleras), true));
        QVERIFY(marcarCasilla(w, medidaDe(soldador, Cajas), true));
        seguir->click();
        QCOMPARE(plataforma->mensajes.size(), size_t(2));
        QCOMPARE(plataforma->mensajes[1].titulo, QString("Sin Medidas"));
        QVERIFY(!sesion.pendientes.contains(VentanaAsistente::TextoPuesto(soldador, "Soldador")));
        elegir(w, pintor);
        anadir(w, nombreFactor(Escaleras), "Escalera con patas antideslizantes");
        QCOMPARE(plataforma->mensajes.size(), size_t(2));
        seguir->click();
        QCOMPARE(plataforma->mensajes.size(), size_t(2));
        QCOMPARE(subventanas("ImprimirEvaluacion"), 1);
        QCOMPARE(subventanas("SeleccionaMedidas"), 0);
        QCOMPARE(sesion.puestoActual, VentanaAsistente::TextoPuesto(pintor, "Pintor"));
    }

    void volverInicioYAyuda()
    {
        SeleccionaMedidas* w = abrir();
        elegir(w, pintor);
        QToolButton* atras = w->findChild<QToolButton*>("Picture1");
        QCOMPARE(atras->text(), QString("Volver a Evaluación de Riesgos"));
        atras->click();
        QCOMPARE(sesion.puestoActual, VentanaAsistente::TextoPuesto(pintor, "Pintor"));
        QCOMPARE(subventanas("SeleccionaRiesgos"), 1);
        QCOMPARE(subventanas("SeleccionaMedidas"), 0);
        auto* riesgos = qobject_cast<SeleccionaRiesgos*>(registro->ventana(Ventana::SeleccionaRiesgos));
        QCOMPARE(riesgos->listaPuestos()->currentText(), sesion.puestoActual);

        w = abrir();
        QCOMPARE(w->listaPuestos()->currentText(), VentanaAsistente::TextoPuesto(pintor, "Pintor"));
        w->findChild<QToolButton*>("Image1")->click();
        QCOMPARE(subventanas(NombreVentana(Ventana::InicioEvaluacion)), 1);
        QCOMPARE(subventanas("SeleccionaMedidas"), 0);

        w = abrir();
        w->findChild<QToolButton*>("Image9")->click();
        QVERIFY(plataforma->documentos.value(0).endsWith(QDir::toNativeSeparators("/Ayuda/Medidas Preventivas.pdf")));
        QVERIFY(plataforma->mensajes.empty());
    }
};

QTEST_MAIN(PruebaSeleccionaMedidas)
#include "test_selecciona_medidas.moc"
