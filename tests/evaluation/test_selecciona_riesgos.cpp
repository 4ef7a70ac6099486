// La ventana de evaluación de riesgos sobre una copia de la base entregada: la matriz al elegir o
// escribir los grados, los colores del nivel, las notas, la copia a las filas ocultas al seguir y
// el paso a las ventanas vecinas.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "EntornoAsistente.h"
#include "PlataformaPrueba.h"
#include "evaluation/DatosPuesto.h"
#include "evaluation/GeneracionRiesgos.h"
#include "evaluation/InicioEvaluacion.h"
#include "evaluation/SeleccionaFactores.h"
#include "evaluation/SeleccionaRiesgos.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"
#include "shell/grid/GroupArea.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

using datos::contar;

namespace {
// Del catálogo entregado: los factores 6, 9 y 36 llegan los tres a la caída de objetos (40) y a
// los sobreesfuerzos (130); además 6 da 10 y 36 da 230.
constexpr int Escaleras = 6, Cajas = 9, CargaDescarga = 36;
constexpr int CaidaObjetos = 40;
} // namespace

class PruebaSeleccionaRiesgos : public QObject, private EntornoAsistente
{
    Q_OBJECT

    long long soldador = 0, pintor = 0;

    SeleccionaRiesgos* abrir()
    {
        registro->abrirNueva(Ventana::SeleccionaRiesgos);
        return qobject_cast<SeleccionaRiesgos*>(registro->ventana(Ventana::SeleccionaRiesgos));
    }
    int filaDe(SeleccionaRiesgos* w, int idRiesgo)
    {
        for (int f = 0; f < w->origen()->rowCount(); ++f)
            if (w->origen()->fieldValue(f, "IDRiesgo").toInt() == idRiesgo)
                return f;
        return -1;
    }
    // Cambio de una celda como lo hace el editor al confirmarlo.
    bool poner(SeleccionaRiesgos* w, int fila, int columna, const QString& valor)
    {
        return w->origen()->setData(w->origen()->index(fila, columna), valor);
    }
    // Lo guardado de las filas de un riesgo en un puesto: "Media|Dañino|Riesgo Moderado" por fila.
    QStringList guardado(long long puesto, int riesgo)
    {
        Recordset rs;
        rs.open("select Probabilidad, Consecuencias, ValorRiesgo from Evaluacion where IDPuestoCentro = ? and "
                "IDRiesgo = ? order by IDEvaluacion",
                cx, {puesto, riesgo});
        QStringList r;
        for (; !rs.eof(); rs.moveNext())
            r << rs.value(0).toString() + "|" + rs.value(1).toString() + "|" + rs.value(2).toString();
        return r;
    }
    int subventanas(const QString& nombre)
    {
        int n = 0;
        for (QMdiSubWindow* s : area->subWindowList())
            if (s->widget() && s->widget()->objectName() == nombre && s->isVisible())
                ++n;
        return n;
    }
    // Lo que hace el usuario en una celda de grado: doble clic, borra lo que hay, escribe (la lista
    // completa el resto), Fin e Intro.
    void teclear(SeleccionaRiesgos* w, int fila, int columna, const QString& texto)
    {
        QTableView* t = w->cuadricula()->tableView();
        QVERIFY(QTest::qWaitForWindowExposed(t));
        const QModelIndex celda = w->origen()->index(fila, columna);
        t->scrollTo(celda);
        const QPoint punto = t->visualRect(celda).center();
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, punto);
        QTest::mouseDClick(t->viewport(), Qt::LeftButton, {}, punto);
        QPointer<QComboBox> lista = qobject_cast<QComboBox*>(t->indexWidget(celda));
        QVERIFY(lista);
        QTest::keyClick(lista->lineEdit(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(lista->lineEdit(), Qt::Key_Delete);
        QTest::keyClicks(lista->lineEdit(), texto);
        // Fin acepta lo que la lista propone para completar lo escrito.
        QTest::keyClick(lista->lineEdit(), Qt::Key_End);
        QTest::keyClick(lista->lineEdit(), Qt::Key_Return);
        QTRY_VERIFY(!t->indexWidget(celda));
    }
    // Evalúa todas las filas mostradas de un puesto con los mismos grados.
    void evaluarTodo(long long puesto)
    {
        Recordset::execute("update Evaluacion set Probabilidad = 'Baja', Consecuencias = 'Dañino', ValorRiesgo = "
                           "'Riesgo Tolerable' where IDPuestoCentro = ? and Mostrar = 'S'",
                           cx, {puesto});
    }

private slots:
    void init()
    {
        preparar();
        registrarVentana<InicioEvaluacion>(Ventana::InicioEvaluacion);
        registrarVentana<SeleccionaFactores>(Ventana::SeleccionaFactores);
        registrarVentana<SeleccionaRiesgos>(Ventana::SeleccionaRiesgos);
        sustituir(Ventana::SeleccionaMedidas);
        soldador = nuevoPuesto("Soldador");
        pintor = nuevoPuesto("Pintor");
        for (int f : {Escaleras, Cajas, CargaDescarga})
            marcar(soldador, f);
        marcar(pintor, Escaleras);
        sesion.puestoActual = VentanaAsistente::TextoPuesto(soldador, "Soldador");
    }
    void cleanup() { liberar(); }

    void unaFilaPorRiesgoYLasDosListas()
    {
        SeleccionaRiesgos* w = abrir();
        QCOMPARE(w->windowTitle(), QString("Evaluacion del Riesgo"));
        QCOMPARE(w->listaPuestos()->currentText(), sesion.puestoActual);
        // Cuatro riesgos distintos entre ocho filas: sólo las mostradas.
        QCOMPARE(contar(cx, "select count(*) from Evaluacion where IDPuestoCentro = ?", {soldador}), 8);
        QCOMPARE(w->origen()->rowCount(), 4);
        const QVector<GridColumn>& c = w->cuadricula()->columns();
        QCOMPARE(c.size(), 4);
        QCOMPARE(c[0].caption, QString("Riesgo"));
        QCOMPARE(c[3].caption, QString("Valor Riesgo"));
        QCOMPARE(c[2].values.size(), 3);
        QCOMPARE(c[2].values[1].stored.toString(), QString("Dañino"));
        QCOMPARE(c[2].values[1].shown, QString("dañino"));
        QCOMPARE(c[1].visibleItems, 3);
        // El riesgo y el nivel no se escriben a mano.
        QVERIFY(!poner(w, 0, 0, "Otro riesgo"));
        QVERIFY(!poner(w, 0, 3, "Riesgo Trivial"));
        // Vista agrupada con su zona.
        QVERIFY(w->cuadricula()->groupView());
        QVERIFY(w->cuadricula()->groupArea()->isVisible());

        // Elegir otro puesto enseña los suyos.
        QComboBox* lista = w->listaPuestos();
        lista->setCurrentIndex(lista->findData(pintor));
        emit lista->activated(lista->currentIndex());
        QCOMPARE(w->origen()->rowCount(), 3);
        QVERIFY(plataforma->mensajes.empty());
    }

    // El plan pide volver a valorar un riesgo: la ventana se abre con él como fila actual, aunque el
    // plan nombre una de sus filas ocultas, y sólo esa vez.
    void abreEnElRiesgoQueSePideValorar()
    {
        Recordset oculta;
        oculta.open("select IDEvaluacion, IDRiesgo from Evaluacion where IDPuestoCentro = ? and Mostrar <> 'S' "
                    "order by IDEvaluacion desc limit 1",
                    cx, {soldador});
        QVERIFY(!oculta.eof());
        const QVariant riesgo = oculta.value(1);
        sesion.riesgoPorValorar = oculta.value(0).toLongLong();
        SeleccionaRiesgos* w = abrir();
        const int fila = w->cuadricula()->currentRow();
        QVERIFY(fila > 0);
        QCOMPARE(w->origen()->recordset().valueAt(fila + 1, w->origen()->recordset().fieldIndex("IDRiesgo")), riesgo);
        QCOMPARE(sesion.riesgoPorValorar, qint64(0));
    }

    // Elegido en la lista desplegable y escrito a mano, como lo hace el usuario.
    void laMatrizConElEditorDeLaCelda()
    {
        SeleccionaRiesgos* w = abrir();
        QTableView* t = w->cuadricula()->tableView();
        QVERIFY(QTest::qWaitForWindowExposed(t));
        const int fila = filaDe(w, CaidaObjetos);
        const auto editar = [&](int columna) -> QComboBox* {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            const QModelIndex celda = w->origen()->index(fila, columna);
            t->scrollTo(celda);
            t->setCurrentIndex(celda);
            t->edit(celda);
            return t->findChild<QComboBox*>("listaValores");
        };
        QComboBox* lista = editar(1);
        QVERIFY(lista);
        lista->setCurrentIndex(1);
        emit lista->activated(1);
        QTRY_COMPARE(guardado(soldador, CaidaObjetos).value(0), QString("Media||"));
        lista = editar(2);
        QVERIFY(lista);
        QCOMPARE(lista->itemText(1), QString("dañino"));
        lista->setCurrentIndex(1);
        emit lista->activated(1);
        QTRY_COMPARE(guardado(soldador, CaidaObjetos).value(0), QString("Media|Dañino|Riesgo Moderado"));
        QCOMPARE(w->origen()->index(fila, 2).data().toString(), QString("dañino"));
        QCOMPARE(w->origen()->index(fila, 3).data().toString(), QString("Riesgo Moderado"));

        // Escrito con blancos y en mayúsculas: vale y se guarda como el de la lista.
        lista = editar(1);
        lista->setEditText("  ALTA ");
        QTest::keyClick(lista->lineEdit(), Qt::Key_Return);
        QTRY_COMPARE(guardado(soldador, CaidaObjetos).value(0), QString("Alta|Dañino|Riesgo Importante"));
        lista = editar(2);
        lista->setEditText("extremadamente DAÑINO");
        QTest::keyClick(lista->lineEdit(), Qt::Key_Return);
        QTRY_COMPARE(guardado(soldador, CaidaObjetos).value(0),
                     QString("Alta|Extremadamente dañino|Riesgo Intolerable"));
        QVERIFY(plataforma->mensajes.empty());
        // Las ocultas esperan a que se guarde.
        QCOMPARE(guardado(soldador, CaidaObjetos).value(1), QString("||"));
    }

    void lasNueveCasillasLosGradosParcialesYLosQueNoValen()
    {
        SeleccionaRiesgos* w = abrir();
        const QStringList probabilidades = {"Baja", "Media", "Alta"};
        const QStringList consecuencias = {"Ligeramente dañino", "Dañino", "Extremadamente dañino"};
        const QStringList niveles = {"Riesgo Trivial",   "Riesgo Tolerable",  "Riesgo Moderado",
                                     "Riesgo Tolerable", "Riesgo Moderado",   "Riesgo Importante",
                                     "Riesgo Moderado",  "Riesgo Importante", "Riesgo Intolerable"};
        const int fila = filaDe(w, CaidaObjetos);
        for (int p = 0; p < 3; ++p)
            for (int c = 0; c < 3; ++c) {
                QVERIFY(poner(w, fila, 1, probabilidades[p]));
                QVERIFY(poner(w, fila, 2, consecuencias[c]));
                QCOMPARE(guardado(soldador, CaidaObjetos).value(0),
                         probabilidades[p] + "|" + consecuencias[c] + "|" + niveles[p * 3 + c]);
                QCOMPARE(w->origen()->index(fila, 3).data().toString(), niveles[p * 3 + c]);
            }

        // Sólo la probabilidad: sin nivel.
        const int otra = filaDe(w, 10);
        QVERIFY(poner(w, otra, 1, "Media"));
        QCOMPARE(guardado(soldador, 10).value(0), QString("Media||"));

        // Un grado que no es de la lista no se acepta: la fila queda como estaba y se dice por qué.
        QVERIFY(!poner(w, fila, 1, "Muy alta"));
        QCOMPARE(guardado(soldador, CaidaObjetos).value(0), QString("Alta|Extremadamente dañino|Riesgo Intolerable"));
        QTRY_COMPARE(plataforma->mensajes.size(), size_t(1));
        QCOMPARE(plataforma->mensajes[0].texto,
                 QString("«Muy alta» no es una probabilidad de la lista. Elija Baja, Media o Alta."));
        QCOMPARE(plataforma->mensajes[0].titulo, QString("Valor no válido"));
        QVERIFY(!poner(w, fila, 2, "Daño"));
        QTRY_COMPARE(plataforma->mensajes.size(), size_t(2));
        QCOMPARE(w->origen()->index(fila, 1).data().toString(), QString("Alta"));

        // Borrar un grado (o dejar sólo blancos) lo deja sin evaluar, y sin nivel.
        QVERIFY(poner(w, fila, 1, "   "));
        QCOMPARE(guardado(soldador, CaidaObjetos).value(0), QString("|Extremadamente dañino|"));
        QVERIFY(contar(cx,
                       "select Probabilidad is null from Evaluacion where IDPuestoCentro = ? and IDRiesgo = ? and "
                       "Mostrar = 'S'",
                       {soldador, CaidaObjetos}));
        QCOMPARE(plataforma->mensajes.size(), size_t(2));
    }

    void colorDelNivelSinTocarLoGuardado()
    {
        Recordset::execute("update Evaluacion set ValorRiesgo = case IDRiesgo when 10 then 'Riesgo Trivial' when 40 "
                           "then 'Riesgo Moderado' when 130 then 'Riesgo Intolerable' "
                           "else null end where IDPuestoCentro = ?",
                           cx, {soldador});
        SeleccionaRiesgos* w = abrir();
        const auto fondo = [&](int riesgo) {
            return w->origen()->index(filaDe(w, riesgo), 3).data(Qt::BackgroundRole).value<QBrush>().color();
        };
        const QColor calma = fondo(10), aviso = fondo(40), alarma = fondo(130);
        QVERIFY(calma.isValid() && aviso.isValid() && alarma.isValid());
        QCOMPARE(SeleccionaRiesgos::ColorNivel("Riesgo Tolerable"), calma);
        QVERIFY(calma != aviso && aviso != alarma && calma != alarma);
        QVERIFY(calma.green() > calma.red());
        QVERIFY(alarma.red() > alarma.green());
        QCOMPARE(SeleccionaRiesgos::ColorNivel("Riesgo Importante"), alarma);
        // Sin nivel, el fondo de la cuadrícula; y el texto es el guardado.
        QVERIFY(!w->origen()->index(filaDe(w, 230), 3).data(Qt::BackgroundRole).isValid());
        QCOMPARE(w->origen()->index(filaDe(w, 130), 3).data().toString(), QString("Riesgo Intolerable"));
        QCOMPARE(w->origen()->index(filaDe(w, 130), 3).data(Qt::ForegroundRole).value<QBrush>().color(),
                 QColor(Qt::black));
        QVERIFY(!w->origen()->index(filaDe(w, 130), 2).data(Qt::BackgroundRole).isValid());
    }

    void notasDelRiesgoYDelNivel()
    {
        SeleccionaRiesgos* w = abrir();
        Grid* g = w->cuadricula();
        QTableView* t = g->tableView();
        QVERIFY(QTest::qWaitForWindowExposed(t));
        const int fila = filaDe(w, CaidaObjetos);
        QVERIFY(poner(w, fila, 1, "Media"));
        QVERIFY(poner(w, fila, 2, "Dañino"));
        g->setCurrentRow(fila == 0 ? 1 : 0);

        const auto nombre = [&](int f) {
            Recordset rs;
            rs.open("select Factor from FactoresRiesgos where IDFactor = ?", cx, {f});
            return rs.value(0).toString();
        };
        const QModelIndex celdaRiesgo = w->origen()->index(fila, 0);
        t->scrollTo(celdaRiesgo);
        moverPuntero(t->viewport(), t->visualRect(celdaRiesgo).center());
        QTRY_VERIFY(g->tipLabel()->isVisible());
        QCOMPARE(g->currentRow(), fila);
        // La nota lleva las tres filas del riesgo, la mostrada y las dos ocultas, numeradas.
        const QString lista = "Factores de Riesgo: \r\n\r\n1- " + nombre(Escaleras) + "\r\n\r\n2- " + nombre(Cajas) +
                              "\r\n\r\n3- " + nombre(CargaDescarga) + "\r\n\r\n";
        CellTip pedida;
        emit g->cellTipRequested(0, 0, fila, &pedida);
        QCOMPARE(pedida.text, lista);
        QCOMPARE(g->tipLabel()->text(), QString(lista).replace("\r\n", "\n").chopped(2));
        QCOMPARE(g->tipLabel()->font().pointSize(), 11);
        QVERIFY(g->tipLabel()->font().bold());
        // Fuera de las filas no hay nota.
        CellTip fuera;
        emit g->cellTipRequested(0, 0, -1, &fuera);
        QVERIFY(fuera.text.isEmpty());

        moverPuntero(t->viewport(), t->visualRect(w->origen()->index(fila, 3)).center());
        QTRY_COMPARE(g->tipLabel()->text(), QString("Valor de Riesgo: \n\nMedia y Dañino = Riesgo Moderado"));
        QTRY_VERIFY(g->tipLabel()->isVisible());

        // Sobre los grados no sale nota.
        moverPuntero(t->viewport(), t->visualRect(w->origen()->index(fila, 1)).center());
        QTest::qWait(350);
        QVERIFY(!g->tipLabel()->isVisible());
        QCOMPARE(g->tipDelay(), 200);
        QVERIFY(plataforma->mensajes.empty());
    }

    void guardarCopiaALasOcultasDelPuestoElegido()
    {
        SeleccionaRiesgos* w = abrir();
        const int fila = filaDe(w, CaidaObjetos);
        QVERIFY(poner(w, fila, 1, "Alta"));
        QVERIFY(poner(w, fila, 2, "Dañino"));
        QToolButton* seguir = w->findChild<QToolButton*>("Picture2");
        QCOMPARE(seguir->text(), QString("Medidas Preventivas"));
        seguir->click();
        // Evaluado una vez, las tres filas llevan lo mismo aunque falten otros riesgos por evaluar.
        QCOMPARE(guardado(soldador, CaidaObjetos), QStringList(3, QString("Alta|Dañino|Riesgo Importante")));
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        const auto& m = plataforma->mensajes[0];
        QCOMPARE(m.titulo, QString("Sin Riesgos Evaluados"));
        QCOMPARE(m.icono, PlataformaServicios::Icono::Critico);
        QVERIFY(m.texto.startsWith("En los siguientes puestos falta por evaluar algun riesgo:"));
        QVERIFY(m.texto.contains(VentanaAsistente::TextoPuesto(soldador, "Soldador")));
        QVERIFY(m.texto.contains(VentanaAsistente::TextoPuesto(pintor, "Pintor")));
        QCOMPARE(subventanas("SeleccionaRiesgos"), 1);

        // Todo evaluado: sigue a las medidas con el puesto elegido; las ocultas de otro puesto
        // esperan a que se guarde ese puesto.
        evaluarTodo(soldador);
        marcar(pintor, Cajas);
        evaluarTodo(pintor);
        w = abrir();
        QVERIFY(poner(w, filaDe(w, CaidaObjetos), 1, "Media"));
        seguir = w->findChild<QToolButton*>("Picture2");
        seguir->click();
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QCOMPARE(guardado(soldador, CaidaObjetos), QStringList(3, QString("Media|Dañino|Riesgo Moderado")));
        QCOMPARE(contar(cx,
                        "select count(*) from Evaluacion where IDPuestoCentro = ? and Mostrar = 'N' and "
                        "ValorRiesgo is null",
                        {pintor}),
                 2);
        QCOMPARE(sesion.puestoActual, VentanaAsistente::TextoPuesto(soldador, "Soldador"));
        QCOMPARE(subventanas("SeleccionaMedidas"), 1);
        QCOMPARE(subventanas("SeleccionaRiesgos"), 0);
    }

    // Lo que se está escribiendo en la celda cuando se pulsa un botón no se pierde.
    void unaCeldaAMedioEscribirSeGuardaAlSeguir()
    {
        for (long long p : {soldador, pintor})
            evaluarTodo(p);
        SeleccionaRiesgos* w = abrir();
        QTableView* t = w->cuadricula()->tableView();
        QVERIFY(QTest::qWaitForWindowExposed(t));
        const QModelIndex celda = w->origen()->index(filaDe(w, CaidaObjetos), 1);
        t->scrollTo(celda);
        t->setCurrentIndex(celda);
        t->edit(celda);
        auto* lista = t->findChild<QComboBox*>("listaValores");
        QVERIFY(lista);
        lista->setEditText("Alta");
        w->findChild<QToolButton*>("Picture2")->click();
        QCOMPARE(guardado(soldador, CaidaObjetos), QStringList(3, QString("Alta|Dañino|Riesgo Importante")));
        QCOMPARE(subventanas("SeleccionaMedidas"), 1);
        QVERIFY(plataforma->mensajes.empty());
    }

    // Borrar la probabilidad con el teclado se lleva el nivel: ni la cuadrícula ni el documento
    // pueden enseñar "Intolerable" al lado de una probabilidad vacía, y el riesgo no cuenta.
    void borrarUnGradoConElTecladoDejaElRiesgoSinEvaluar()
    {
        evaluarTodo(pintor);
        evaluarTodo(soldador);
        SeleccionaRiesgos* w = abrir();
        teclear(w, filaDe(w, CaidaObjetos), 1, "");
        QTRY_COMPARE(guardado(soldador, CaidaObjetos).value(0), QString("|Dañino|"));
        QCOMPARE(w->origen()->index(filaDe(w, CaidaObjetos), 3).data().toString(), QString());
        QVERIFY(contar(cx,
                       "select ValorRiesgo is null from Evaluacion where IDPuestoCentro = ? and IDRiesgo = ? and "
                       "Mostrar = 'S'",
                       {soldador, CaidaObjetos}));

        // Todo lo demás está evaluado: sólo ese riesgo impide seguir.
        QTest::mouseClick(w->findChild<QToolButton*>("Picture2"), Qt::LeftButton);
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QCOMPARE(plataforma->mensajes[0].titulo, QString("Sin Riesgos Evaluados"));
        QVERIFY(plataforma->mensajes[0].texto.contains(VentanaAsistente::TextoPuesto(soldador, "Soldador")));
        QVERIFY(!plataforma->mensajes[0].texto.contains(VentanaAsistente::TextoPuesto(pintor, "Pintor")));
        QCOMPARE(guardado(soldador, CaidaObjetos), QStringList(3, QString("|Dañino|")));
    }

    // Desmarcar el factor de la fila mostrada no resucita la evaluación vieja que guardaba una
    // oculta: la nueva mostrada sigue con lo que el usuario veía.
    void desmarcarElFactorDeLaFilaMostradaConservaLoQueSeVeia()
    {
        SeleccionaRiesgos* w = abrir();
        teclear(w, filaDe(w, CaidaObjetos), 1, "Alta");
        teclear(w, filaDe(w, CaidaObjetos), 2, "Extr");
        QTRY_COMPARE(guardado(soldador, CaidaObjetos).value(0),
                     QString("Alta|Extremadamente dañino|Riesgo Intolerable"));
        // Seguir copia la evaluación a las ocultas; luego se rebaja la probabilidad.
        QTest::mouseClick(w->findChild<QToolButton*>("Picture2"), Qt::LeftButton);
        QCOMPARE(guardado(soldador, CaidaObjetos),
                 QStringList(3, QString("Alta|Extremadamente dañino|Riesgo Intolerable")));
        teclear(w, filaDe(w, CaidaObjetos), 1, "Baja");
        QTRY_COMPARE(guardado(soldador, CaidaObjetos).value(0), QString("Baja|Extremadamente dañino|Riesgo Moderado"));

        // Vuelta a los factores y fuera el dueño de la fila mostrada (el primero que se marcó).
        QTest::mouseClick(w->findChild<QToolButton*>("Picture1"), Qt::LeftButton);
        auto* factores = qobject_cast<SeleccionaFactores*>(registro->ventana(Ventana::SeleccionaFactores));
        QVERIFY(factores);
        int filaFactor = -1;
        for (int f = 0; f < factores->origen()->rowCount(); ++f)
            if (factores->origen()->fieldValue(f, "IDFactor").toInt() == Escaleras)
                filaFactor = f;
        QVERIFY(filaFactor >= 0);
        QTableView* t = factores->cuadricula()->tableView();
        QVERIFY(QTest::qWaitForWindowExposed(t));
        const QModelIndex casilla = factores->origen()->index(filaFactor, 1);
        t->scrollTo(casilla);
        plataforma->responder(PlataformaServicios::Respuesta::Si);
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(casilla).center());
        QCOMPARE(guardado(soldador, CaidaObjetos).size(), 2);

        w = abrir();
        const int fila = filaDe(w, CaidaObjetos);
        QVERIFY(fila >= 0);
        QCOMPARE(w->origen()->index(fila, 1).data().toString(), QString("Baja"));
        QCOMPARE(w->origen()->index(fila, 3).data().toString(), QString("Riesgo Moderado"));
        QCOMPARE(contar(cx,
                        "select count(*) from Evaluacion where IDPuestoCentro = ? and IDRiesgo = ? and Mostrar = 'S' "
                        "and ValorRiesgo = 'Riesgo Moderado'",
                        {soldador, CaidaObjetos}),
                 1);
    }

    void volverInicioYAyuda()
    {
        SeleccionaRiesgos* w = abrir();
        QComboBox* lista = w->listaPuestos();
        lista->setCurrentIndex(lista->findData(pintor));
        emit lista->activated(lista->currentIndex());
        QToolButton* atras = w->findChild<QToolButton*>("Picture1");
        QCOMPARE(atras->text(), QString("Volver a Factor de Riesgo"));
        atras->click();
        QCOMPARE(sesion.puestoActual, VentanaAsistente::TextoPuesto(pintor, "Pintor"));
        QCOMPARE(subventanas("SeleccionaFactores"), 1);
        QCOMPARE(subventanas("SeleccionaRiesgos"), 0);
        auto* factores = qobject_cast<SeleccionaFactores*>(registro->ventana(Ventana::SeleccionaFactores));
        QCOMPARE(factores->listaPuestos()->currentText(), sesion.puestoActual);

        w = abrir();
        QCOMPARE(w->listaPuestos()->currentText(), VentanaAsistente::TextoPuesto(pintor, "Pintor"));
        w->findChild<QToolButton*>("Image1")->click();
        QCOMPARE(subventanas(NombreVentana(Ventana::InicioEvaluacion)), 1);
        QCOMPARE(subventanas("SeleccionaRiesgos"), 0);
        QCOMPARE(sesion.puestoActual, VentanaAsistente::TextoPuesto(pintor, "Pintor"));

        w = abrir();
        w->findChild<QToolButton*>("Image9")->click();
        QVERIFY(plataforma->documentos.value(0).endsWith(QDir::toNativeSeparators("/Ayuda/Riesgos.pdf")));
        QVERIFY(plataforma->mensajes.empty());
    }
};

QTEST_MAIN(PruebaSeleccionaRiesgos)
#include "test_selecciona_riesgos.moc"
