// La ventana de factores de riesgo sobre una copia de la base entregada: la casilla genera y quita
// los riesgos del catálogo, la confirmación, los fallos y el paso a las ventanas vecinas.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "EntornoAsistente.h"
#include "PlataformaPrueba.h"
#include "evaluation/DatosPuesto.h"
#include "evaluation/InicioEvaluacion.h"
#include "evaluation/SeleccionaFactores.h"
#include "evaluation/SeleccionaRiesgos.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

using datos::contar;
using Respuesta = PlataformaServicios::Respuesta;

namespace {
// Factores del catálogo entregado que comparten riesgos: 6 da 10, 40 y 130; 9 da 40 y 130;
// 36 da 40, 130 y 230. Los tres llegan a la caída de objetos (40) y a los sobreesfuerzos (130).
constexpr int Escaleras = 6, Cajas = 9, CargaDescarga = 36;
constexpr int CaidaObjetos = 40, Sobreesfuerzos = 130, CaidaDistintoNivel = 10;
const QString TextoConfirmacion = QStringLiteral(
    "Se dispone a quitar un factor de riesgo, implica tambien la eliminación del riesgo evaluado. ¿Confirma la "
    "Eliminacion?");
} // namespace

class PruebaSeleccionaFactores : public QObject, private EntornoAsistente
{
    Q_OBJECT

    long long soldador = 0, pintor = 0;

    SeleccionaFactores* ventana()
    {
        return qobject_cast<SeleccionaFactores*>(registro->ventana(Ventana::SeleccionaFactores));
    }
    SeleccionaFactores* abrir()
    {
        registro->abrirNueva(Ventana::SeleccionaFactores);
        return ventana();
    }
    // Fila de la cuadrícula del factor del catálogo.
    int filaDe(SeleccionaFactores* w, int idFactor)
    {
        DataSource* ds = w->origen();
        ds->fetchAll();
        for (int f = 0; f < ds->rowCount(); ++f)
            if (ds->fieldValue(f, "IDFactor").toInt() == idFactor)
                return f;
        return -1;
    }
    // Clic de verdad en la casilla del factor.
    void pulsarCasilla(SeleccionaFactores* w, int idFactor)
    {
        const int fila = filaDe(w, idFactor);
        QVERIFY(fila >= 0);
        QTableView* t = w->cuadricula()->tableView();
        const QModelIndex celda = w->origen()->index(fila, 1);
        t->scrollTo(celda);
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(celda).center());
    }
    void elegir(SeleccionaFactores* w, long long puesto)
    {
        QComboBox* lista = w->listaPuestos();
        const int i = lista->findData(puesto);
        QVERIFY(i >= 0);
        lista->setCurrentIndex(i);
        emit lista->activated(i);
    }
    QString marca(long long puesto, int idFactor)
    {
        Recordset rs;
        rs.open("select FactorSelecionado from FactoresSeleccionarEvaluacion where IDPuestoCentro = ? and IDFactor = ?",
                cx, {puesto, idFactor});
        return rs.value(0).toString();
    }
    // Visibilidad de las filas de un riesgo en un puesto, en orden de alta: "SNN".
    QString mostrar(long long puesto, int riesgo)
    {
        Recordset rs;
        rs.open("select Mostrar from Evaluacion where IDPuestoCentro = ? and IDRiesgo = ? order by IDEvaluacion", cx,
                {puesto, riesgo});
        QString r;
        for (; !rs.eof(); rs.moveNext())
            r += rs.value(0).toString();
        return r;
    }
    // Todo lo de un puesto como texto, para ver que no ha cambiado nada.
    QString foto(long long puesto)
    {
        Recordset rs;
        rs.open("select e.IDEvaluacion, e.IDRiesgo, e.Mostrar, count(m.IDMedidaFactor) from Evaluacion e left join "
                "MedidasFactores m using (IDEvaluacion) where e.IDPuestoCentro = ? group by e.IDEvaluacion",
                cx, {puesto});
        QStringList r;
        for (; !rs.eof(); rs.moveNext())
            r << QStringLiteral("%1/%2/%3/%4")
                     .arg(rs.value(0).toString(), rs.value(1).toString(), rs.value(2).toString(),
                          rs.value(3).toString());
        return r.join(' ');
    }
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
        preparar();
        registrarVentana<InicioEvaluacion>(Ventana::InicioEvaluacion);
        registrarVentana<SeleccionaFactores>(Ventana::SeleccionaFactores);
        registrarVentana<SeleccionaRiesgos>(Ventana::SeleccionaRiesgos);
        sustituir(Ventana::Puestos);
        soldador = nuevoPuesto("Soldador");
        pintor = nuevoPuesto("Pintor");
    }
    void cleanup() { liberar(); }

    void listaDePuestosYPuestoElegido()
    {
        // Puestos de número 12 y 7: "0012 - Pintor" y "0007 - Soldador", en el orden de su número.
        Recordset::execute("delete from PuestosCentros", cx);
        for (auto [id, nombre] : {std::pair{12, "Pintor"}, std::pair{7, "Soldador"}}) {
            Recordset::execute("insert into PuestosCentros (IDPuestoCentro, IDCentro, Puesto) values (?, ?, ?)", cx,
                               {id, centro, QString(nombre)});
            Recordset::execute("insert into FactoresSeleccionarEvaluacion (IDEmpresa, IDCentro, IDPuestoCentro, "
                               "FactorSelecionado, IDFactor, Factor) select ?, ?, ?, 'N', IDFactor, Factor from "
                               "FactoresRiesgos order by IDFactor",
                               cx, {empresa, centro, id});
        }
        SeleccionaFactores* w = abrir();
        QCOMPARE(w->windowTitle(), QString("Factores de Riesgo"));
        QCOMPARE(w->findChild<QLineEdit*>("strDireccion")->text(), QString("Polígono Sur 4"));
        QCOMPARE(w->listaPuestos()->count(), 2);
        // Sin puesto de antes se elige el primero de la lista.
        QCOMPARE(w->listaPuestos()->currentText(), QString("0007 - Soldador"));
        QCOMPARE(w->listaPuestos()->itemText(1), QString("0012 - Pintor"));
        QCOMPARE(w->origen()->rowCount(), int(contar(cx, "select count(*) from FactoresRiesgos")));
        QCOMPARE(w->origen()->index(0, 1).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QCOMPARE(w->origen()->headerData(1, Qt::Horizontal).toString(), QString("Seleccionado"));

        // Al volver se elige el puesto que se traía, y la cuadrícula es la de ese puesto.
        Recordset::execute("update FactoresSeleccionarEvaluacion set FactorSelecionado = 'S' where IDPuestoCentro = 12 "
                           "and IDFactor = 1",
                           cx);
        sesion.puestoActual = "0012 - Pintor";
        w = abrir();
        QCOMPARE(w->listaPuestos()->currentText(), sesion.puestoActual);
        QCOMPARE(w->origen()->index(0, 1).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(subventanas("SeleccionaFactores"), 1);

        // El nombre del factor no se escribe a mano.
        QVERIFY(!w->origen()->setData(w->origen()->index(0, 0), "Otro nombre"));
        QCOMPARE(contar(cx, "select count(*) from Evaluacion"), 0);

        // Un centro sin puestos deja la lista y la cuadrícula vacías, sin avisos.
        sesion.idCentro = long(datos::centro(cx, empresa, "Nave vacía"));
        w = abrir();
        QCOMPARE(w->listaPuestos()->count(), 0);
        QCOMPARE(w->origen()->rowCount(), 0);
        QVERIFY(plataforma->mensajes.empty());
    }

    // Los tres factores que comparten riesgos, marcados y desmarcados con el ratón.
    void marcarYDesmarcarFactoresQueCompartenRiesgos()
    {
        SeleccionaFactores* w = abrir();
        elegir(w, pintor);
        pulsarCasilla(w, Escaleras);
        const QString pintorAntes = foto(pintor);
        QCOMPARE(mostrar(pintor, CaidaObjetos), QString("S"));

        elegir(w, soldador);
        pulsarCasilla(w, Escaleras);
        // La marca se guarda en el acto, con sus filas y las medidas del catálogo.
        QCOMPARE(marca(soldador, Escaleras), QString("S"));
        QCOMPARE(contar(cx, "select count(*) from Evaluacion where IDPuestoCentro = ?", {soldador}), 3);
        QCOMPARE(contar(cx, "select count(*) from VFactoresMedidas where IDPuestoCentro = ?", {soldador}),
                 contar(cx, "select count(*) from Medidas where IDFactor = ?", {Escaleras}));
        pulsarCasilla(w, Cajas);
        pulsarCasilla(w, CargaDescarga);
        QCOMPARE(mostrar(soldador, CaidaObjetos), QString("SNN"));
        QCOMPARE(mostrar(soldador, Sobreesfuerzos), QString("SNN"));
        // Cada puesto decide su visibilidad por su cuenta.
        QCOMPARE(foto(pintor), pintorAntes);

        // Quitar la marca y contestar No: sigue marcado y no se borra nada.
        const QString soldadorAntes = foto(soldador);
        plataforma->responder(Respuesta::No);
        pulsarCasilla(w, Escaleras);
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        const auto& m = plataforma->mensajes[0];
        QCOMPARE(m.texto, TextoConfirmacion);
        QCOMPARE(m.titulo, QString("Eliminar"));
        QCOMPARE(m.icono, PlataformaServicios::Icono::Critico);
        QCOMPARE(m.botones, PlataformaServicios::Botones::SiNo);
        QCOMPARE(m.predeterminada, Respuesta::No);
        QCOMPARE(marca(soldador, Escaleras), QString("S"));
        QCOMPARE(w->origen()->index(filaDe(w, Escaleras), 1).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(foto(soldador), soldadorAntes);

        // Con Sí se va el dueño de las filas mostradas: queda una sola mostrada por riesgo.
        plataforma->responder(Respuesta::Si);
        pulsarCasilla(w, Escaleras);
        QCOMPARE(marca(soldador, Escaleras), QString("N"));
        QCOMPARE(w->origen()->index(filaDe(w, Escaleras), 1).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QCOMPARE(mostrar(soldador, CaidaObjetos), QString("SN"));
        QCOMPARE(mostrar(soldador, Sobreesfuerzos), QString("SN"));
        QCOMPARE(mostrar(soldador, CaidaDistintoNivel), QString());
        QCOMPARE(contar(cx, "select count(*) from MedidasFactores where IDEvaluacion not in (select IDEvaluacion "
                            "from Evaluacion)"),
                 0);
        QCOMPARE(contar(cx, "select count(*) from VFactoresMedidas where IDPuestoCentro = ? and IDFactor = ?",
                        {soldador, Escaleras}),
                 0);
        QCOMPARE(foto(pintor), pintorAntes);

        // Marcar otra vez genera filas nuevas, ocultas detrás de las que ya había.
        pulsarCasilla(w, Escaleras);
        QCOMPARE(mostrar(soldador, CaidaObjetos), QString("SNN"));
        QCOMPARE(mostrar(soldador, CaidaDistintoNivel), QString("S"));
        QCOMPARE(plataforma->mensajes.size(), size_t(2));
    }

    // Buscar un factor por sus palabras, sin acentos, y marcarlo en la lista filtrada: se marca ése.
    void buscarUnFactorYMarcarloEnLaListaFiltrada()
    {
        SeleccionaFactores* w = abrir();
        elegir(w, soldador);
        QLineEdit* buscar = w->findChild<QLineEdit*>("txtBuscarFactor");
        QVERIFY(buscar);
        const int todas = w->origen()->rowCount();
        QTest::keyClicks(buscar, "camaras frigorificas");
        QVERIFY(w->cuadricula()->shownRowCount() > 0);
        QVERIFY(w->cuadricula()->shownRowCount() < todas);
        int fila = -1;
        for (int f = 0; f < w->origen()->rowCount() && fila < 0; ++f)
            if (w->cuadricula()->rowMatchesFilter(f))
                fila = f;
        QVERIFY(fila > 0);
        const int idFactor = w->origen()->fieldValue(fila, "IDFactor").toInt();
        QVERIFY(!w->cuadricula()->tableView()->isRowHidden(fila));
        pulsarCasilla(w, idFactor);
        QCOMPARE(marca(soldador, idFactor), QString("S"));
        QCOMPARE(contar(cx,
                        "select count(*) from FactoresSeleccionarEvaluacion where IDPuestoCentro = ? and "
                        "FactorSelecionado = 'S'",
                        {soldador}),
                 1);
    }

    void factorSinRiesgosYCambiosFueraDeLaCasilla()
    {
        Recordset::execute("insert into FactoresRiesgos (IDFactor, Factor) values (9999, 'Factor sin riesgos')", cx);
        datos::factor(cx, soldador, 9999);
        sesion.puestoActual = VentanaAsistente::TextoPuesto(soldador, "Soldador");
        SeleccionaFactores* w = abrir();
        pulsarCasilla(w, 9999);
        QCOMPARE(marca(soldador, 9999), QString("S"));
        QCOMPARE(contar(cx, "select count(*) from Evaluacion"), 0);
        QVERIFY(plataforma->mensajes.empty());

        // Un aviso de cambio en otra columna no genera ni quita nada.
        bool cancelar = false;
        w->cuadricula()->setCurrentRow(filaDe(w, Escaleras));
        emit w->cuadricula()->beforeCellChange(0, "x", "y", &cancelar);
        QVERIFY(!cancelar);
        QCOMPARE(contar(cx, "select count(*) from Evaluacion"), 0);
        QVERIFY(plataforma->mensajes.empty());
    }

    // Si la generación o la retirada fallan, la marca se queda como está lo guardado.
    void fallosDeLaCasilla()
    {
        sesion.puestoActual = VentanaAsistente::TextoPuesto(soldador, "Soldador");
        SeleccionaFactores* w = abrir();
        // Una medida que el almacén rechaza a medias de la generación (-2147217887).
        Recordset::execute("create trigger Rechazo before insert on MedidasFactores when NEW.Medida like '%' "
                           "begin select raise(abort, 'medida rechazada'); end",
                           cx);
        pulsarCasilla(w, Cajas);
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QVERIFY(plataforma->mensajes[0].texto.startsWith("Se ha producido el error: -2147217887\n\rDescripción: "));
        QCOMPARE(plataforma->mensajes[0].titulo, QString("Error"));
        QCOMPARE(marca(soldador, Cajas), QString("N"));
        QCOMPARE(w->origen()->index(filaDe(w, Cajas), 1).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QCOMPARE(contar(cx, "select count(*) from Evaluacion"), 0);
        Recordset::execute("drop trigger Rechazo", cx);

        // Cualquier otro fallo: aviso, y tampoco queda marcado un factor sin sus riesgos.
        Recordset::execute("alter table Medidas rename to MedidasApartadas", cx);
        pulsarCasilla(w, Cajas);
        QCOMPARE(plataforma->mensajes.size(), size_t(2));
        QVERIFY(plataforma->mensajes[1].texto.startsWith("Se ha producido el error: "));
        QCOMPARE(marca(soldador, Cajas), QString("N"));
        QCOMPARE(contar(cx, "select count(*) from Evaluacion"), 0);
        Recordset::execute("alter table MedidasApartadas rename to Medidas", cx);

        // Una retirada que falla deja el factor marcado con todas sus filas.
        pulsarCasilla(w, Cajas);
        QCOMPARE(marca(soldador, Cajas), QString("S"));
        const QString antes = foto(soldador);
        Recordset::execute("create trigger NoBorrar before delete on Evaluacion begin select raise(abort, 'no'); end",
                           cx);
        plataforma->responder(Respuesta::Si);
        pulsarCasilla(w, Cajas);
        QCOMPARE(plataforma->mensajes.size(), size_t(4));
        QVERIFY(plataforma->mensajes[3].texto.startsWith("Se ha producido el error: -2147217887"));
        QCOMPARE(marca(soldador, Cajas), QString("S"));
        QCOMPARE(foto(soldador), antes);
        QCOMPARE(w->origen()->index(filaDe(w, Cajas), 1).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    }

    // Un archivo dañado a media generación lleva a la oferta de reparar y el programa termina.
    void baseDanadaAlMarcar()
    {
        // Las páginas del catálogo de medidas se estropean con la base cerrada, y la ventana las
        // encuentra así al generar.
        QList<long long> paginas;
        {
            Recordset rs;
            rs.open("select pageno from dbstat where name in ('Medidas', 'MedidasRiesgoFactor')", cx);
            for (; !rs.eof(); rs.moveNext())
                paginas << rs.value(0).toLongLong();
        }
        QVERIFY(!paginas.isEmpty());
        Conexion::cerrarTodas();
        QFile archivo(copia->ruta("Evaluacion.mdb"));
        QVERIFY(archivo.open(QIODevice::ReadWrite));
        for (long long p : paginas) {
            archivo.seek((p - 1) * 4096);
            archivo.write(QByteArray(4096, char(0xA5)));
        }
        archivo.close();

        sesion.puestoActual = VentanaAsistente::TextoPuesto(soldador, "Soldador");
        SeleccionaFactores* w = abrir();
        plataforma->responder(Respuesta::No);
        pulsarCasilla(w, Cajas);
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QCOMPARE(plataforma->mensajes[0].titulo, QString("Base de datos Dañada"));
        QCOMPARE(plataforma->terminado, 1);
        QVERIFY(plataforma->programas.isEmpty());
        QCOMPARE(contar(cx, "select count(*) from Evaluacion"), 0);
        QCOMPARE(marca(soldador, Cajas), QString("N"));
    }

    void notaDelFactorBajoElPuntero()
    {
        sesion.puestoActual = VentanaAsistente::TextoPuesto(soldador, "Soldador");
        SeleccionaFactores* w = abrir();
        Grid* g = w->cuadricula();
        QCOMPARE(g->tipDelay(), 200);
        QVERIFY(g->tipAnchored());
        QCOMPARE(g->tipWidth(), 0);
        QTableView* t = g->tableView();
        QVERIFY(QTest::qWaitForWindowExposed(t));
        moverPuntero(t->viewport(), t->visualRect(w->origen()->index(2, 0)).center());
        QTRY_VERIFY(g->tipLabel()->isVisible());
        QCOMPARE(g->currentRow(), 2);
        const QString nombre = w->origen()->fieldValue(2, "Factor").toString();
        QCOMPARE(g->tipLabel()->text(), "Factor del riesgo: " + nombre);
        QVERIFY(g->tipLabel()->font().bold());
        QCOMPARE(g->tipLabel()->font().pointSize(), 11);
        // Sobre la casilla no sale nota, pero la fila pasa a ser la actual.
        moverPuntero(t->viewport(), t->visualRect(w->origen()->index(1, 1)).center());
        QTRY_COMPARE(g->currentRow(), 1);
        QTest::qWait(300);
        QVERIFY(!g->tipLabel()->isVisible());
    }

    void seguirVolverYAyuda()
    {
        sesion.puestoActual = VentanaAsistente::TextoPuesto(soldador, "Soldador");
        SeleccionaFactores* w = abrir();
        pulsarCasilla(w, Cajas);
        // El pintor aún no tiene factores: no se sigue.
        w->findChild<QToolButton*>("Picture2")->click();
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        const auto& m = plataforma->mensajes[0];
        QCOMPARE(m.titulo, QString("Sin Factores"));
        QCOMPARE(m.icono, PlataformaServicios::Icono::Critico);
        QCOMPARE(m.botones, PlataformaServicios::Botones::Aceptar);
        QVERIFY(
            m.texto.startsWith("En los siguientes puestos falta por seleccionar por lo menos un Factor de Riesgo:"));
        QVERIFY(m.texto.contains(VentanaAsistente::TextoPuesto(pintor, "Pintor")));
        QVERIFY(!m.texto.contains("Soldador"));
        QCOMPARE(subventanas("SeleccionaFactores"), 1);
        QVERIFY(!registro->ventana(Ventana::SeleccionaRiesgos));

        elegir(w, pintor);
        pulsarCasilla(w, Escaleras);
        w->findChild<QToolButton*>("Picture2")->click();
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QCOMPARE(sesion.puestoActual, VentanaAsistente::TextoPuesto(pintor, "Pintor"));
        QCOMPARE(subventanas("SeleccionaRiesgos"), 1);
        QCOMPARE(subventanas("SeleccionaFactores"), 0);
        auto* riesgos = qobject_cast<SeleccionaRiesgos*>(registro->ventana(Ventana::SeleccionaRiesgos));
        QCOMPARE(riesgos->listaPuestos()->currentText(), sesion.puestoActual);

        w = abrir();
        elegir(w, soldador);
        QCOMPARE(w->findChild<QToolButton*>("Picture1")->toolTip(), QString("Volver a puestos"));
        w->findChild<QToolButton*>("Picture1")->click();
        QCOMPARE(sesion.puestoActual, VentanaAsistente::TextoPuesto(soldador, "Soldador"));
        QCOMPARE(subventanas("Puestos"), 1);
        QCOMPARE(subventanas("SeleccionaFactores"), 0);

        w = abrir();
        QCOMPARE(w->findChild<QToolButton*>("cmdSalir")->toolTip(), QString("Volver al Menu Principal"));
        w->findChild<QToolButton*>("cmdSalir")->click();
        QCOMPARE(subventanas(NombreVentana(Ventana::InicioEvaluacion)), 1);
        QCOMPARE(subventanas("SeleccionaFactores"), 0);

        w = abrir();
        w->findChild<QToolButton*>("Image9")->click();
        QVERIFY(plataforma->documentos.value(0).endsWith(QDir::toNativeSeparators("/Ayuda/Factores.pdf")));
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
    }
};

QTEST_MAIN(PruebaSeleccionaFactores)
#include "test_selecciona_factores.moc"
