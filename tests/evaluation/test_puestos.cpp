// La ventana de puestos de trabajo: alta con sus comprobaciones y su copia de factores, baja,
// nombres del catálogo, notas de la cuadrícula y el paso a las ventanas vecinas.
#include "Celdas.h"
#include "CopiaPrograma.h"
#include "Datos.h"
#include "PlataformaPrueba.h"
#include "evaluation/InicioEvaluacion.h"
#include "evaluation/Puestos.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"

#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

using Icono = PlataformaServicios::Icono;
using Respuesta = PlataformaServicios::Respuesta;
using datos::contar;

class PruebaPuestos : public QObject
{
    Q_OBJECT

    std::unique_ptr<CopiaPrograma> copia;
    std::unique_ptr<PlataformaPrueba> plataforma;
    Sesion sesion;
    QString cx;
    long long empresa = 0, centro = 0;

    static QComboBox* puesto(QWidget* w) { return w->findChild<QComboBox*>("cmbPuesto"); }
    static QLineEdit* descripcion(QWidget* w) { return w->findChild<QLineEdit*>("strDescripcion"); }
    static QComboBox* sensibilidad(QWidget* w) { return w->findChild<QComboBox*>("cmbSensibilidad"); }
    static QLineEdit* trabajadores(QWidget* w) { return w->findChild<QLineEdit*>("numTrabajadores"); }
    static QPushButton* anadir(QWidget* w) { return w->findChild<QPushButton*>(QStringLiteral("BAñadir")); }
    static QPushButton* eliminar(QWidget* w) { return w->findChild<QPushButton*>("BCancelar"); }
    static Grid* cuadricula(QWidget* w) { return w->findChild<Grid*>("GPuestos"); }
    static DataSource* origen(QWidget* w) { return w->findChild<DataSource*>("RPuestos"); }
    static QToolButton* imagen(QWidget* w, const char* n) { return w->findChild<QToolButton*>(n); }

    static void escribir(QWidget* w, const QString& nombre, const QString& desc, int sens, const QString& num)
    {
        puesto(w)->setEditText(nombre);
        descripcion(w)->setText(desc);
        sensibilidad(w)->setCurrentIndex(sens);
        trabajadores(w)->setText(num);
    }
    long long puestosDelCentro()
    {
        return contar(cx, "select count(*) from PuestosCentros where IDCentro = ?", {centro});
    }
    long long catalogoFactores() { return contar(cx, "select count(*) from FactoresRiesgos"); }

private slots:
    void init()
    {
        copia = std::make_unique<CopiaPrograma>();
        cx = copia->conexion();
        sesion = Sesion();
        sesion.conexion = cx;
        FijarCarpetaPrograma(copia->carpeta());
        plataforma = std::make_unique<PlataformaPrueba>();
        empresa = datos::empresa(cx);
        centro = datos::centro(cx, empresa, "Polígono Sur, nave 4");
        sesion.idEmpresa = long(empresa);
        sesion.idCentro = long(centro);
    }
    void cleanup()
    {
        plataforma.reset();
        copia.reset();
    }

    void cargaEntradasColumnasYNotas()
    {
        Puestos w(sesion);
        QCOMPARE(w.windowTitle(), QString("Puestos de trabajo"));
        QCOMPARE(w.findChild<QLabel*>("LabelCabecera")->text(), QString("1- PUESTO DE TRABAJO"));
        QCOMPARE(w.findChild<QLabel*>("Label2")->text(), QString("Puesto"));
        QCOMPARE(w.findChild<QLineEdit*>("strDireccion")->text(), QString("Polígono Sur, nave 4"));
        QCOMPARE(trabajadores(&w)->text(), QString("0"));
        QStringList entradas;
        for (int i = 0; i < sensibilidad(&w)->count(); ++i)
            entradas << sensibilidad(&w)->itemText(i);
        QCOMPARE(entradas, (QStringList{"", "Mujer embarazada", "Trabajador menor",
                                        "Trabajador con discapacidad reconocida", "No existe personal sensible"}));
        QCOMPARE(sensibilidad(&w)->currentIndex(), 0);
        QCOMPARE(puesto(&w)->count(), int(contar(cx, "select count(*) from Puestos")));
        QCOMPARE(puesto(&w)->currentText(), QString());
        QCOMPARE(anadir(&w)->text(), QString("Añadir"));
        QCOMPARE(eliminar(&w)->text(), QString("Eliminar"));
        QVERIFY(!eliminar(&w)->isEnabled());
        QCOMPARE(imagen(&w, "Picture2")->toolTip(), QString("Factor de Riesgo"));
        QCOMPARE(imagen(&w, "Image1")->toolTip(), QString("Volver al Menu Principal"));

        Grid* g = cuadricula(&w);
        QStringList titulos, campos;
        for (const GridColumn& c : g->columns())
            titulos << c.caption, campos << c.field;
        QCOMPARE(titulos, (QStringList{"Puesto", "Descripción", "Trabajadores Sensibles", "Nº Trabajadores"}));
        QCOMPARE(campos, (QStringList{"Puesto", "Descripcion", "TrabajadoresSensibles", "NTrabajadores"}));
        QCOMPARE(g->tipWidth(), 6000);
        QCOMPARE(g->tipDelay(), 500);
        QVERIFY(!g->tipAnchored());
        QVERIFY(!g->tipMovesCurrentRow());
        QVERIFY(!g->groupView());

        // Un centro que ya no está: ni dirección ni puestos, y sin avisos.
        sesion.idCentro = long(centro + 1000);
        Puestos sinCentro(sesion);
        QCOMPARE(sinCentro.findChild<QLineEdit*>("strDireccion")->text(), QString());
        QCOMPARE(origen(&sinCentro)->rowCount(), 0);
        QVERIFY(plataforma->mensajes.empty());
    }

    void comprobacionesDelAltaEnSuOrden()
    {
        Puestos w(sesion);
        const auto ultimo = [&] { return plataforma->mensajes.back(); };
        const auto pulsar = [&](const QString& titulo, const QString& texto) {
            const size_t antes = plataforma->mensajes.size();
            anadir(&w)->click();
            QCOMPARE(plataforma->mensajes.size(), antes + 1);
            QCOMPARE(ultimo().titulo, titulo);
            QCOMPARE(ultimo().texto, texto);
            QCOMPARE(ultimo().icono, Icono::Critico);
            QCOMPARE(puestosDelCentro(), 0LL);
        };
        escribir(&w, "", "", 0, "0");
        pulsar("Sin Puesto", "Tienes que escribir un puesto de trabajo");
        puesto(&w)->setEditText("Carretillero");
        pulsar("Sin Descripcion", "Tienes que escribir una descripción para el puesto seleccionado");
        // Los blancos cuentan como descripción.
        descripcion(&w)->setText("   ");
        pulsar("Sin Sensibilidad", "Tienes que escribir un tipo de sensibilidad para el puesto");
        sensibilidad(&w)->setCurrentIndex(4);
        for (const char* mal : {"0", "ninguno", "", " ", "-2"}) {
            trabajadores(&w)->setText(mal);
            pulsar("Sin Trabajadores", "Tienes que escribir el numero de trabajadores");
        }
        // Lo escrito sigue ahí tras los avisos.
        QCOMPARE(puesto(&w)->currentText(), QString("Carretillero"));
        QCOMPARE(descripcion(&w)->text(), QString("   "));

        // Un número seguido de una palabra pasa y se guarda tal como se escribió.
        trabajadores(&w)->setText("3 personas");
        anadir(&w)->click();
        escribir(&w, "Carretillero", "Mueve palés", 2, "12");
        anadir(&w)->click();
        QCOMPARE(plataforma->mensajes.size(), size_t(8));
        Recordset rs;
        rs.open("select Puesto, Descripcion, NTrabajadores, TrabajadoresSensibles from PuestosCentros where "
                "IDCentro = ? order by IDPuestoCentro",
                cx, {centro});
        QCOMPARE(rs.value(1).toString(), QString("   "));
        QCOMPARE(rs.value(2).toString(), QString("3 personas"));
        QCOMPARE(rs.value(3).toString(), QString("No existe personal sensible"));
        rs.moveNext();
        QCOMPARE(rs.value(0).toString(), QString("Carretillero"));
        QCOMPARE(rs.value(2).toString(), QString("12"));
        QCOMPARE(rs.value(3).toString(), QString("Trabajador menor"));

        // Tras cada alta: entradas vacías, la lista en su entrada vacía y el puesto en la cuadrícula.
        QCOMPARE(puesto(&w)->currentText(), QString());
        QCOMPARE(descripcion(&w)->text(), QString());
        QCOMPARE(trabajadores(&w)->text(), QString("0"));
        QCOMPARE(sensibilidad(&w)->currentIndex(), 0);
        QCOMPARE(sensibilidad(&w)->currentText(), QString());
        QCOMPARE(origen(&w)->rowCount(), 2);
        QVERIFY(eliminar(&w)->isEnabled());
        // El mismo nombre otra vez es otro puesto con su propia lista de factores.
        QCOMPARE(contar(cx, "select count(distinct IDPuestoCentro) from FactoresSeleccionarEvaluacion"), 2LL);
    }

    void cadaPuestoNuevoLlevaElCatalogoSinMarcar()
    {
        Puestos w(sesion);
        escribir(&w, "Soldador", "Suelda estructuras", 1, "2");
        anadir(&w)->click();
        const long long primero = contar(cx, "select max(IDPuestoCentro) from PuestosCentros");
        QVERIFY(catalogoFactores() > 0);
        QCOMPARE(contar(cx, "select count(*) from FactoresSeleccionarEvaluacion where IDPuestoCentro = ?", {primero}),
                 catalogoFactores());
        QCOMPARE(contar(cx,
                        "select count(*) from FactoresSeleccionarEvaluacion where IDPuestoCentro = ? and "
                        "FactorSelecionado = 'N' and IDEmpresa = ? and IDCentro = ?",
                        {primero, empresa, centro}),
                 catalogoFactores());

        // Un factor que llega al catálogo después sólo lo reciben los puestos nuevos.
        Recordset::execute("insert into FactoresRiesgos (IDFactor, Factor) values (777777, 'Trabajo en altura nuevo')",
                           cx);
        escribir(&w, "Soldador", "Suelda en obra", 1, "1");
        anadir(&w)->click();
        const long long segundo = contar(cx, "select max(IDPuestoCentro) from PuestosCentros");
        QCOMPARE(contar(cx,
                        "select count(*) from FactoresSeleccionarEvaluacion where IDFactor = 777777 and "
                        "IDPuestoCentro = ?",
                        {primero}),
                 0LL);
        QCOMPARE(contar(cx,
                        "select count(*) from FactoresSeleccionarEvaluacion where IDFactor = 777777 and "
                        "IDPuestoCentro = ? and Factor = 'Trabajo en altura nuevo'",
                        {segundo}),
                 1LL);
        QVERIFY(plataforma->mensajes.empty());
    }

    void unFalloAMitadDelAltaNoDejaNadaYSeAvisa()
    {
        // Más puestos de los que la cuadrícula lee de una vez: su lectura sigue abierta durante el alta.
        Conexion::obtener(cx)->ejecutar("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
                                        "INSERT INTO PuestosCentros (IDCentro, Puesto) SELECT ?, 'Peón ' || i FROM n",
                                        {centro});
        Puestos w(sesion);
        QVERIFY(origen(&w)->canFetchMore({}));
        const long long filasAntes = contar(cx, "select count(*) from FactoresSeleccionarEvaluacion");
        Recordset::execute(
            "CREATE TRIGGER PruebaFallo BEFORE INSERT ON FactoresSeleccionarEvaluacion WHEN NEW.IDFactor "
            "= (SELECT max(IDFactor) FROM FactoresRiesgos) BEGIN SELECT RAISE(ABORT, 'disco lleno'); END",
            cx);
        escribir(&w, "Electricista", "Instalaciones de baja tensión", 3, "4");
        anadir(&w)->click();
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        const auto& aviso = plataforma->mensajes[0];
        QCOMPARE(aviso.titulo, QString("Error"));
        QCOMPARE(aviso.icono, Icono::Critico);
        QVERIFY(aviso.texto.startsWith("No se ha podido añadir el puesto de trabajo"));
        QVERIFY(aviso.texto.contains("disco lleno"));
        QCOMPARE(puestosDelCentro(), 300LL);
        QCOMPARE(contar(cx, "select count(*) from FactoresSeleccionarEvaluacion"), filasAntes);
        // Lo escrito sigue en pantalla para volver a intentarlo, y la cuadrícula como estaba.
        QCOMPARE(puesto(&w)->currentText(), QString("Electricista"));
        QCOMPARE(trabajadores(&w)->text(), QString("4"));
        origen(&w)->fetchAll();
        QCOMPARE(origen(&w)->rowCount(), 300);
        QCOMPARE(origen(&w)->fieldValue(299, "Puesto").toString(), QString("Peón 300"));

        Recordset::execute("DROP TRIGGER PruebaFallo", cx);
        anadir(&w)->click();
        QCOMPARE(puestosDelCentro(), 301LL);
        origen(&w)->fetchAll();
        QCOMPARE(origen(&w)->rowCount(), 301);
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
    }

    void quitarUnPuestoSeLlevaTodoLoSuyo()
    {
        // Con la cuadrícula vacía no se pregunta nada.
        {
            Puestos vacia(sesion);
            eliminar(&vacia)->setEnabled(true);
            eliminar(&vacia)->click();
            QVERIFY(plataforma->mensajes.empty());
        }
        const long long p1 = datos::puesto(cx, centro, "Cocinero");
        const long long p2 = datos::puesto(cx, centro, "Camarero");
        const long long f = datos::factor(cx, p2, 1, "S");
        const long long ev = datos::evaluacion(cx, f, 10);
        datos::medida(cx, ev, "S");
        Puestos w(sesion);
        Grid* g = cuadricula(&w);
        g->setCurrentRow(1);

        plataforma->responder(Respuesta::No);
        eliminar(&w)->click();
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        const auto& pregunta = plataforma->mensajes[0];
        QCOMPARE(pregunta.texto, QString("¿Esta seguro de querer quitar el puesto de la base de datos?"));
        QCOMPARE(pregunta.titulo, QString("Eliminar"));
        QCOMPARE(pregunta.icono, Icono::Critico);
        QCOMPARE(pregunta.botones, PlataformaServicios::Botones::SiNo);
        QCOMPARE(pregunta.predeterminada, Respuesta::No);
        QCOMPARE(puestosDelCentro(), 2LL);

        plataforma->responder(Respuesta::Si);
        eliminar(&w)->click();
        QCOMPARE(contar(cx, "select count(*) from PuestosCentros where IDPuestoCentro = ?", {p2}), 0LL);
        QCOMPARE(contar(cx, "select count(*) from FactoresSeleccionarEvaluacion where IDPuestoCentro = ?", {p2}), 0LL);
        QCOMPARE(contar(cx, "select count(*) from Evaluacion where IDPuestoCentro = ?", {p2}), 0LL);
        QCOMPARE(contar(cx, "select count(*) from MedidasFactores"), 0LL);
        QCOMPARE(origen(&w)->rowCount(), 1);
        QCOMPARE(origen(&w)->fieldValue(0, "IDPuestoCentro").toLongLong(), p1);
        QVERIFY(eliminar(&w)->isEnabled());

        plataforma->responder(Respuesta::Si);
        eliminar(&w)->click();
        QCOMPARE(puestosDelCentro(), 0LL);
        QVERIFY(!eliminar(&w)->isEnabled());
        QCOMPARE(plataforma->mensajes.size(), size_t(3));
    }

    // Un puesto que otro técnico ha cambiado desde que se leyó no se borra: se avisa y se enseña
    // como lo dejó; visto así, se borra.
    void quitarUnPuestoQueOtroHaCambiadoAvisaYLoDeja()
    {
        const long long p = datos::puesto(cx, centro, "Cocinero");
        Puestos w(sesion);
        Conexion::obtener(cx)->ejecutar("UPDATE PuestosCentros SET NTrabajadores = '7', VersionFila = VersionFila + 1 "
                                        "WHERE IDPuestoCentro = ?",
                                        {p});
        plataforma->responder(Respuesta::Si);
        eliminar(&w)->click();
        QCOMPARE(plataforma->mensajes.size(), size_t(2));
        QCOMPARE(plataforma->mensajes.back().texto,
                 QString("Otro usuario ha modificado este registro; se muestran sus datos"));
        QCOMPARE(puestosDelCentro(), 1LL);
        QCOMPARE(origen(&w)->fieldValue(0, "NTrabajadores").toString(), QString("7"));

        plataforma->responder(Respuesta::Si);
        eliminar(&w)->click();
        QCOMPARE(plataforma->mensajes.size(), size_t(3));
        QCOMPARE(puestosDelCentro(), 0LL);
    }

    void nombreElegidoDelCatalogo()
    {
        Recordset::execute("insert into Puestos (Puesto, \"Descripción\") values ('Mozo d''almacén', 'Carga y "
                           "descarga'), ('Sin descripción', null), ('Repetido', 'Uno'), ('Repetido', 'Otro')",
                           cx);
        Puestos w(sesion);
        QComboBox* c = puesto(&w);
        const auto elegir = [&](const QString& nombre) {
            const int i = c->findText(nombre);
            QVERIFY(i >= 0);
            c->setCurrentIndex(i);
            emit c->activated(i);
        };
        elegir("Mozo d'almacén");
        QCOMPARE(descripcion(&w)->text(), QString("Carga y descarga"));
        elegir("Sin descripción");
        QCOMPARE(descripcion(&w)->text(), QString());
        descripcion(&w)->setText("algo");
        elegir("Repetido");
        QCOMPARE(descripcion(&w)->text(), QString());
        // Elegido entre los propuestos al escribir, igual.
        emit c->completer()->activated(QString("Mozo d'almacén"));
        QCOMPARE(descripcion(&w)->text(), QString("Carga y descarga"));
        QVERIFY(plataforma->mensajes.empty());

        // Y el puesto con apóstrofo se da de alta como cualquier otro.
        c->setEditText("Mozo d'almacén");
        sensibilidad(&w)->setCurrentIndex(1);
        trabajadores(&w)->setText("1");
        anadir(&w)->click();
        QCOMPARE(contar(cx, "select count(*) from PuestosCentros where Puesto = ?", {"Mozo d'almacén"}), 1LL);
        QVERIFY(plataforma->mensajes.empty());
    }

    void notaDeLaFilaSeleccionadaSinMoverla()
    {
        Recordset::execute("insert into PuestosCentros (IDCentro, Puesto, Descripcion, NTrabajadores, "
                           "TrabajadoresSensibles) values (?, 'Cajera', 'Cobra', '3', 'Trabajador menor'), "
                           "(?, 'Reponedor', 'Repone', '7', null)",
                           cx, {centro, centro});
        Puestos w(sesion);
        w.resize(900, 400);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        Grid* g = cuadricula(&w);
        QTableView* t = g->tableView();
        const QPoint p = t->visualRect(origen(&w)->index(1, 3)).center();
        QMouseEvent mover(QEvent::MouseMove, p, t->viewport()->mapToGlobal(p), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(t->viewport(), &mover);
        QLabel* nota = g->tipLabel();
        QTRY_VERIFY(nota->isVisible());
        QCOMPARE(nota->text(), QString("Numero de Trabajadores: 3"));
        QCOMPARE(g->currentRow(), 0);
        QVERIFY(nota->font().bold());
        QCOMPARE(nota->font().pointSize(), 11);
        QCOMPARE(nota->width(), TwipsAPixeles(6000, g));

        // Otra fila elegida: la nota la sigue a ella, con el nulo como texto vacío.
        g->setCurrentRow(1);
        QEvent fuera(QEvent::Leave);
        QApplication::sendEvent(t->viewport(), &fuera);
        const QPoint q = t->visualRect(origen(&w)->index(0, 2)).center();
        QMouseEvent otra(QEvent::MouseMove, q, t->viewport()->mapToGlobal(q), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(t->viewport(), &otra);
        QTRY_VERIFY(nota->isVisible());
        QCOMPARE(nota->text(), QString("Trabajador Sensible: "));
        QCOMPARE(g->currentRow(), 1);
    }

    void laCuadriculaNoAceptaLoQueElAltaRechaza()
    {
        const long long p = datos::puesto(cx, centro, "Vigilante");
        Recordset::execute("update PuestosCentros set Descripcion = 'Ronda', NTrabajadores = '2' where "
                           "IDPuestoCentro = ?",
                           cx, {p});
        Puestos w(sesion);
        DataSource* ds = origen(&w);
        QVERIFY(!ds->setData(ds->index(0, 3), "nadie"));
        QTRY_COMPARE(plataforma->mensajes.size(), size_t(1));
        QCOMPARE(plataforma->mensajes[0].titulo, QString("Sin Trabajadores"));
        QVERIFY(!ds->setData(ds->index(0, 0), ""));
        QTRY_COMPARE(plataforma->mensajes.size(), size_t(2));
        QCOMPARE(plataforma->mensajes[1].titulo, QString("Sin Puesto"));
        QCOMPARE(contar(cx, "select count(*) from PuestosCentros where Puesto = 'Vigilante' and NTrabajadores = '2'"),
                 1LL);
        QVERIFY(ds->setData(ds->index(0, 3), "4 por turno"));
        QCOMPARE(contar(cx, "select count(*) from PuestosCentros where NTrabajadores = '4 por turno'"), 1LL);
    }

    // Escape deja la celda como estaba, sin escribir ni al pulsar en otra fila; Intro escribe en
    // el acto y la fila sigue siendo la misma.
    void escapeDeshaceEIntroConfirmaEnLaCuadricula()
    {
        Recordset::execute("insert into PuestosCentros (IDCentro, Puesto, Descripcion, NTrabajadores) values "
                           "(?, 'Cajera', 'Cobra', '3'), (?, 'Reponedor', 'Repone', '7')",
                           cx, {centro, centro});
        Puestos w(sesion);
        w.resize(1000, 400);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTableView* t = cuadricula(&w)->tableView();
        const auto escribirEnCelda = [&](int fila, int columna, const char* texto, Qt::Key tecla) {
            QWidget* editor = editarConRaton(t, fila, columna);
            QVERIFY(qobject_cast<QLineEdit*>(editor));
            QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(editor, texto);
            QTest::keyClick(editor, tecla);
        };

        escribirEnCelda(0, 1, "Texto que no debe quedar", Qt::Key_Escape);
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(origen(&w)->index(1, 0)).center());
        QCOMPARE(contar(cx, "select count(*) from PuestosCentros where Descripcion = 'Cobra'"), 1LL);
        QCOMPARE(contar(cx, "select count(*) from PuestosCentros where Descripcion like 'Texto%'"), 0LL);
        QCOMPARE(origen(&w)->index(0, 1).data().toString(), QString("Cobra"));

        escribirEnCelda(1, 1, "Repone y ordena", Qt::Key_Return);
        QTRY_COMPARE(contar(cx, "select count(*) from PuestosCentros where Descripcion = 'Repone y ordena'"), 1LL);
        QTRY_COMPARE(QApplication::focusWidget(), t);
        QCOMPARE(cuadricula(&w)->currentRow(), 1);
        QVERIFY(plataforma->mensajes.empty());
    }

    // Lo que no cabe a lo ancho de la columna se parte en líneas y la fila crece; con la ventana
    // más estrecha, más aún. Una fila de textos cortos sigue en una línea.
    void lasFrasesSeLeenEnterasEnLaCuadricula()
    {
        const QString larga = "Atiende la caja, repone los lineales y ordena el almacén al cierre de cada turno";
        Recordset::execute("insert into PuestosCentros (IDCentro, Puesto, Descripcion, NTrabajadores, "
                           "TrabajadoresSensibles) values (?, 'Cajera', ?, '3', 'No existe personal sensible'), "
                           "(?, 'Mozo', 'Carga', '1', null)",
                           cx, {centro, larga, centro});
        Puestos w(sesion);
        w.resize(1000, 400);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTableView* t = cuadricula(&w)->tableView();
        const auto entera = [&](int columna) { return textoEntero(t, origen(&w)->index(0, columna)); };
        QTRY_VERIFY(entera(1));
        QVERIFY(entera(0) && entera(2));
        QVERIFY(t->rowHeight(0) >= 2 * t->rowHeight(1));
        const int alta = t->rowHeight(0), baja = t->rowHeight(1);
        w.resize(750, 400);
        QTRY_VERIFY(t->rowHeight(0) > alta);
        QVERIFY(entera(0) && entera(1) && entera(2));
        QCOMPARE(t->rowHeight(1), baja);
    }

    void seguirVolverYAyuda()
    {
        QMdiArea area;
        RegistroVentanas registro(&area, sesion);
        registrarVentana<InicioEvaluacion>(Ventana::InicioEvaluacion);
        registrarVentana<Puestos>(Ventana::Puestos);
        int factores = 0;
        RegistroVentanas::registrarFabrica(Ventana::SeleccionaFactores, [&](Sesion&) {
            ++factores;
            auto* f = new QWidget;
            f->setObjectName("SeleccionaFactores");
            return f;
        });
        area.resize(1200, 800);
        area.show();
        registro.abrirNueva(Ventana::InicioEvaluacion);
        QWidget* hub = registro.ventana(Ventana::InicioEvaluacion);
        hub->findChild<QPushButton*>("CEvaluacion")->click();
        auto* w = qobject_cast<Puestos*>(registro.ventana(Ventana::Puestos));
        QVERIFY(w && w->isVisible());

        // Sin puestos no se sigue.
        imagen(w, "Picture2")->click();
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QCOMPARE(plataforma->mensajes[0].texto,
                 QString("Tiene que existir por lo menos un Puesto para poder continuar"));
        QCOMPARE(plataforma->mensajes[0].titulo, QString("Sin Puesto"));
        QCOMPARE(factores, 0);
        QVERIFY(w->isVisible());

        // Volver al inicio rehace sus pasos con el puesto nuevo.
        QVERIFY(!hub->findChild<QPushButton*>("BFactores")->isEnabled());
        escribir(w, "Conductor", "Reparto", 4, "2");
        anadir(w)->click();
        imagen(w, "Image1")->click();
        QVERIFY(hub->findChild<QPushButton*>("BFactores")->isEnabled());
        QVERIFY(!w->parentWidget()->isVisible());
        QVERIFY(hub->isVisible());

        // Cada vez una ventana nueva: lo escrito la vez anterior no sigue.
        hub->findChild<QPushButton*>("CEvaluacion")->click();
        QTRY_VERIFY(registro.ventana(Ventana::Puestos) != w);
        w = qobject_cast<Puestos*>(registro.ventana(Ventana::Puestos));
        QCOMPARE(trabajadores(w)->text(), QString("0"));
        sesion.puestoActual = "0042 - Otro";
        imagen(w, "Picture2")->click();
        QCOMPARE(factores, 1);
        QVERIFY(!w->parentWidget()->isVisible());
        QCOMPARE(sesion.puestoActual, QString("0042 - Otro"));

        imagen(w, "Image9")->click();
        QCOMPARE(plataforma->documentos.size(), 1);
        QVERIFY(plataforma->documentos[0].endsWith(QDir::toNativeSeparators("/Ayuda/Puestos.pdf")));

        // Con el inicio cerrado, volver abre otro.
        hub->parentWidget()->close();
        QTRY_VERIFY(!registro.ventana(Ventana::InicioEvaluacion));
        imagen(w, "Image1")->click();
        QVERIFY(registro.ventana(Ventana::InicioEvaluacion));
        QVERIFY(registro.ventana(Ventana::InicioEvaluacion)->findChild<QPushButton*>("BFactores")->isEnabled());
        RegistroVentanas::quitarFabrica(Ventana::SeleccionaFactores);
    }

    // Dos ventanas principales a la vez: cada ventana lee y escribe el centro de su propia sesión.
    void cadaVentanaTrabajaConElCentroDeSuSesion()
    {
        Sesion otra = sesion;
        otra.idCentro = datos::centro(cx, empresa, "Calle de la otra sesión");
        Puestos w(sesion);
        Puestos w2(otra);
        w.show();
        w2.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w2));
        QCOMPARE(w.findChild<QLineEdit*>("strDireccion")->text(), QString("Polígono Sur, nave 4"));
        QCOMPARE(w2.findChild<QLineEdit*>("strDireccion")->text(), QString("Calle de la otra sesión"));
        escribir(&w, "Soldador", "Suelda", 1, "1");
        QTest::mouseClick(anadir(&w), Qt::LeftButton);
        QCOMPARE(puestosDelCentro(), 1LL);
        QCOMPARE(contar(cx, "select count(*) from PuestosCentros where IDCentro = ?", {otra.idCentro}), 0LL);
        escribir(&w2, "Pintor", "Pinta", 2, "2");
        QTest::mouseClick(anadir(&w2), Qt::LeftButton);
        QCOMPARE(
            contar(cx, "select count(*) from PuestosCentros where IDCentro = ? and Puesto = 'Pintor'", {otra.idCentro}),
            1LL);
        QCOMPARE(origen(&w)->rowCount(), 1);
        QCOMPARE(origen(&w2)->rowCount(), 1);
        QVERIFY(plataforma->mensajes.empty());
    }

    void puestoDeCincoCifras()
    {
        const long long otro = datos::centro(cx, empresa, "Otro centro");
        datos::insertar(cx, "insert into PuestosCentros (IDPuestoCentro, IDCentro, Puesto) values (9999, ?, 'Viejo')",
                        {otro});
        Puestos w(sesion);
        escribir(&w, "Soldador", "Suelda", 1, "1");
        anadir(&w)->click();
        QCOMPARE(
            contar(cx, "select count(*) from PuestosCentros where IDPuestoCentro = 10000 and IDCentro = ?", {centro}),
            1LL);
        QCOMPARE(contar(cx, "select count(*) from FactoresSeleccionarEvaluacion where IDPuestoCentro = 10000"),
                 catalogoFactores());
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        const auto& aviso = plataforma->mensajes[0];
        QCOMPARE(aviso.icono, Icono::Informacion);
        QVERIFY(aviso.texto.contains("número 10000"));
        QVERIFY(aviso.texto.contains("\"10000 - Soldador\""));
        QCOMPARE(VentanaAsistente::TextoPuesto(10000, "Soldador"), QString("10000 - Soldador"));

        // Se quita el de cinco cifras, no otro que comparta las cuatro primeras.
        plataforma->responder(Respuesta::Si);
        eliminar(&w)->click();
        QCOMPARE(contar(cx, "select count(*) from PuestosCentros where IDPuestoCentro = 10000"), 0LL);
        QCOMPARE(contar(cx, "select count(*) from PuestosCentros where IDPuestoCentro = 9999"), 1LL);
    }
};

QTEST_MAIN(PruebaPuestos)
#include "test_puestos.moc"
