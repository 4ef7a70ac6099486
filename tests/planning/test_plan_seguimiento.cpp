// El plan que sale de la evaluación, en su ventana: líneas por prioridad con su riesgo, propuestas
// desde las medidas, plazos por nivel, vencidas en el color de alarma y la nueva valoración del
// riesgo cuando su acción está hecha.
#include "Celdas.h"
#include "Datos.h"
#include "EntornoVentanas.h"
#include "evaluation/SeleccionaRiesgos.h"
#include "planning/ActuacionPreventiva.h"
#include "planning/PlazosPlan.h"
#include "planning/PropuestasPlan.h"
#include "plataforma/Reloj.h"
#include "shell/DateBox.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>

using datos::contar;
using datos::insertar;

class PruebaPlanSeguimiento : public QObject, private EntornoVentanas
{
    Q_OBJECT

    long long centro = 0, plan = 0;
    QStringList valoraciones; // puestos con que se ha abierto la valoración de riesgos

    // Columnas de la cuadrícula del seguimiento.
    enum
    {
        Puesto = 1,
        Nivel = 3,
        Estado = 4,
        Realizada = 5,
        Coste = 6
    };

    ActuacionPreventiva* abrir()
    {
        auto* w = qobject_cast<ActuacionPreventiva*>(registro->abrirNueva(Ventana::ActuacionPreventiva));
        if (!w)
            qFatal("no se ha abierto la planificación");
        QTest::qWaitForWindowExposed(w->cuadricula()->tableView());
        return w;
    }
    long long puesto(const QString& nombre, int trabajadores)
    {
        const long long id = datos::puesto(cx, centro, nombre);
        Conexion::obtener(cx)->ejecutar("UPDATE PuestosCentros SET NTrabajadores = ? WHERE IDPuestoCentro = ?",
                                        {QString::number(trabajadores), id});
        return id;
    }
    long long riesgo(long long idPuesto, long long idRiesgo, const QString& nivel)
    {
        return datos::evaluacion(cx, datos::factor(cx, idPuesto, idRiesgo, "S"), idRiesgo, "S", nivel);
    }
    long long medida(long long evaluacion, const QString& texto)
    {
        return insertar(cx, "INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida) VALUES (?, ?, 'S')",
                        {evaluacion, texto});
    }
    long long linea(const QString& accion, const QVariant& evaluacion, const QDate& limite,
                    const QString& estado = "Pendiente")
    {
        return insertar(cx,
                        "INSERT INTO ActuaciónPreventivaRegistro (IDActuacion, AccionPreventiva, IDEvaluacion, "
                        "FechaLimite, ResponsableEjecucion, Estado) VALUES (?, ?, ?, ?, 'Ana', ?)",
                        {plan, accion, evaluacion, limite, estado});
    }
    static QStringList columna(DataSource* ds, int c)
    {
        QStringList textos;
        for (int f = 0; f < ds->rowCount(); ++f)
            textos << ds->index(f, c).data().toString();
        return textos;
    }
    QVariant valor(const QString& sql, const QVariantList& p = {})
    {
        const auto filas = Conexion::obtener(cx)->leerFilas(sql, p);
        return filas.empty() ? QVariant() : filas.front().value(0);
    }
    // Escribe en una celda de la cuadrícula del seguimiento como el usuario, y la confirma con Intro.
    static void escribirEnCelda(ActuacionPreventiva* w, int fila, int col, const QString& texto)
    {
        QWidget* editor = editarConRaton(w->cuadriculaSeguimiento()->tableView(), fila, col);
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor, texto);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
    }
    QWidget* aviso(ActuacionPreventiva* w) { return w->findChild<QWidget*>("AvisoRevaloraciones"); }
    // Las revaloraciones del riesgo: pendientes (sin nivel nuevo) y hechas.
    long long pendientes(long long evaluacion)
    {
        return contar(cx, "SELECT count(*) FROM RevaloracionesRiesgo WHERE IDEvaluacion = ? AND NivelNuevo IS NULL",
                      {evaluacion});
    }
    // Cierra el programa: ventanas, registro y conexiones; al volver, otro día.
    void reiniciar(const QDate& hoy)
    {
        registro.reset();
        Conexion::cerrarTodas();
        FijarHoy(hoy);
        registro = std::make_unique<RegistroVentanas>(area.get(), sesion);
        registrarVentana<ActuacionPreventiva>(Ventana::ActuacionPreventiva);
    }
    const QString& ultimoTitulo() const
    {
        static const QString ninguno;
        return plataforma->mensajes.empty() ? ninguno : plataforma->mensajes.back().titulo;
    }

private slots:
    void init()
    {
        FijarHoy(QDate(2027, 6, 2));
        preparar(1400, 800);
        registrarVentana<ActuacionPreventiva>(Ventana::ActuacionPreventiva);
        valoraciones.clear();
        RegistroVentanas::registrarFabrica(Ventana::SeleccionaRiesgos, [this](Sesion& s) {
            valoraciones << s.puestoActual;
            return new QWidget;
        });
        centro = datos::centro(cx, datos::empresa(cx));
        sesion.idCentro = long(centro);
        plan = insertar(cx, "INSERT INTO ActuaciónPreventiva (IDCentro, Persona) VALUES (?, 'Ana Gil')", {centro});
    }
    void cleanup()
    {
        liberar();
        FijarHoy(QDate());
    }

    // Primero el nivel más grave, a igual nivel el puesto con más trabajadores, las generales
    // detrás; cada una con su riesgo al lado, en la misma fila. Una línea nueva nombra el riesgo
    // elegido en la lista, que también va del más grave al menos.
    void lasLineasVanPorPrioridadConSuRiesgoAlLado()
    {
        const long long caja = puesto("Caja", 1), almacen = puesto("Almacén", 4);
        const long long moderado = riesgo(caja, 3, "Riesgo Moderado");
        const long long importanteCaja = riesgo(caja, 1, "Riesgo Importante");
        const long long importanteAlmacen = riesgo(almacen, 1, "Riesgo Importante");
        const long long intolerable = riesgo(almacen, 2, "Riesgo Intolerable");
        linea("General", QVariant(), QDate(2027, 1, 1));
        linea("Moderado", moderado, QDate(2027, 2, 1));
        linea("Importante caja", importanteCaja, QDate(2027, 3, 1));
        linea("Importante almacén", importanteAlmacen, QDate(2027, 12, 1));
        linea("Intolerable", intolerable, QDate(2028, 1, 1));
        ActuacionPreventiva* w = abrir();
        QCOMPARE(columna(w->lineas(), 0),
                 QStringList({"Intolerable", "Importante almacén", "Importante caja", "Moderado", "General"}));
        QCOMPARE(columna(w->seguimiento(), Puesto), QStringList({"Almacén", "Almacén", "Caja", "Caja", ""}));
        const QModelIndex nivel = w->seguimiento()->index(2, Nivel);
        QCOMPARE(nivel.data().toString(), QString("Riesgo Importante"));
        QCOMPARE(nivel.data(Qt::BackgroundRole).value<QBrush>().color(),
                 SeleccionaRiesgos::ColorNivel("Riesgo Importante"));

        // Elegir una línea a la izquierda elige la misma a la derecha.
        QTableView* t = w->cuadricula()->tableView();
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(w->lineas()->index(3, 0)).center());
        QCOMPARE(w->cuadriculaSeguimiento()->currentRow(), 3);

        auto* riesgos = w->findChild<QComboBox*>("cmbRiesgo");
        QVERIFY(riesgos);
        QCOMPARE(riesgos->currentText(), QString("(general)"));
        QVERIFY(riesgos->itemText(1).startsWith("Almacén — "));
        QVERIFY(riesgos->itemText(1).endsWith("(Intolerable)"));
        QVERIFY(riesgos->itemText(4).endsWith("(Moderado)"));
        // El riesgo se elige en la lista desplegada, con el teclado.
        riesgos->setFocus();
        QTest::keyClick(riesgos, Qt::Key_Down, Qt::AltModifier);
        QTRY_VERIFY(riesgos->view()->isVisible());
        QTest::keyClick(riesgos->view(), Qt::Key_Down);
        QTest::keyClick(riesgos->view(), Qt::Key_Return);
        QTRY_VERIFY(!riesgos->view()->isVisible());
        QCOMPARE(riesgos->currentIndex(), 1);
        w->findChild<QLineEdit*>("strAccion")->setText("Resguardo en la prensa");
        w->findChild<DateBox*>("dteFechaLimite")->setText("01/07/2027");
        w->findChild<QLineEdit*>("strResponsable")->setText("Luis");
        QTest::mouseClick(w->findChild<QPushButton*>("BAñadir"), Qt::LeftButton);
        QCOMPARE(valor("SELECT IDEvaluacion FROM ActuaciónPreventivaRegistro WHERE AccionPreventiva = "
                       "'Resguardo en la prensa'")
                     .toLongLong(),
                 intolerable);
        QCOMPARE(w->lineas()->index(0, 0).data().toString(), QString("Resguardo en la prensa"));
        QCOMPARE(riesgos->currentIndex(), 0);
    }

    // Sólo se añade lo marcado, con quien hace el plan como responsable y el plazo de su nivel;
    // lo que ya tiene línea no se vuelve a proponer.
    void unaPropuestaMarcadaSeAnadeYLaSinMarcarNo()
    {
        const long long caja = puesto("Caja", 2);
        const long long importante = riesgo(caja, 1, "Riesgo Importante");
        medida(importante, "Alfombrilla antifatiga");
        medida(importante, "Pausas cada dos horas");
        ActuacionPreventiva* w = abrir();

        QTest::mouseClick(w->findChild<QPushButton*>("BPlazos"), Qt::LeftButton);
        auto* plazos = w->findChild<PlazosPlan*>();
        QVERIFY(plazos);
        QSpinBox* meses = plazos->meses("Riesgo Importante");
        QVERIFY(meses);
        QCOMPARE(meses->value(), 1);
        meses->setFocus();
        QTest::keyClick(meses, Qt::Key_Up);
        QTest::keyClick(meses, Qt::Key_Up);
        QTest::mouseClick(plazos->findChild<QPushButton*>("BGuardarPlazos"), Qt::LeftButton);
        QCOMPARE(valor("SELECT Meses FROM PlazosNiveles WHERE Nivel = 'Riesgo Importante'").toInt(), 3);

        QTest::mouseClick(w->findChild<QPushButton*>("BProponer"), Qt::LeftButton);
        auto* propuestas = w->findChild<PropuestasPlan*>();
        QVERIFY(propuestas);
        QTableWidget* tabla = propuestas->tabla();
        QCOMPARE(tabla->rowCount(), 2);
        auto* anadir = propuestas->findChild<QPushButton*>("BAñadirPropuestas");
        QVERIFY(!anadir->isEnabled());
        QCOMPARE(tabla->item(1, 4)->text(), QString("02/09/2027"));
        // La segunda se marca con el teclado, como haría el usuario.
        QTest::mouseClick(tabla->viewport(), Qt::LeftButton, {}, tabla->visualItemRect(tabla->item(1, 0)).center());
        QTest::keyClick(tabla->viewport(), Qt::Key_Space);
        QCOMPARE(tabla->item(1, 0)->checkState(), Qt::Checked);
        QCOMPARE(tabla->item(0, 0)->checkState(), Qt::Unchecked);
        QTest::mouseClick(anadir, Qt::LeftButton);
        QCOMPARE(contar(cx, "SELECT count(*) FROM ActuaciónPreventivaRegistro"), 1LL);
        QCOMPARE(contar(cx,
                        "SELECT count(*) FROM ActuaciónPreventivaRegistro WHERE AccionPreventiva = 'Pausas cada dos "
                        "horas' AND ResponsableEjecucion = 'Ana Gil' AND IDEvaluacion = ? AND FechaLimite = "
                        "'2027-09-02' AND Estado = 'Pendiente'",
                        {importante}),
                 1LL);
        QCOMPARE(w->lineas()->rowCount(), 1);

        // El riesgo ya tiene su acción: no queda nada que proponer, y se dice.
        QTRY_VERIFY(!w->findChild<PropuestasPlan*>());
        QTest::mouseClick(w->findChild<QPushButton*>("BProponer"), Qt::LeftButton);
        QVERIFY(!w->findChild<PropuestasPlan*>());
        QCOMPARE(ultimoTitulo(), QString("Sin propuestas"));
    }

    // Vencida es la del día anterior sin hacer: la de hoy aún no, y hecha ya no.
    void vencidaEnElColorDeAlarmaDesdeElDiaSiguiente()
    {
        linea("Ayer", QVariant(), QDate(2027, 6, 1));
        linea("Hoy", QVariant(), QDate(2027, 6, 2));
        linea("Ayer y hecha", QVariant(), QDate(2027, 6, 1), "Realizada");
        ActuacionPreventiva* w = abrir();
        const QColor alarma = SeleccionaRiesgos::ColorNivel("Riesgo Intolerable");
        const auto vencidas = [&] {
            QStringList v;
            for (int f = 0; f < w->lineas()->rowCount(); ++f)
                if (w->lineas()->index(f, 0).data(Qt::BackgroundRole).value<QBrush>().color() == alarma &&
                    w->seguimiento()->index(f, Estado).data(Qt::BackgroundRole).value<QBrush>().color() == alarma)
                    v << w->lineas()->index(f, 0).data().toString();
            return v;
        };
        QCOMPARE(columna(w->lineas(), 0), QStringList({"Ayer", "Ayer y hecha", "Hoy"}));
        QCOMPARE(vencidas(), QStringList{"Ayer"});

        // Hecha en la cuadrícula: deja de estar vencida y lleva la fecha de hoy.
        escribirEnCelda(w, 0, Estado, "Verificada");
        QTRY_COMPARE(vencidas(), QStringList());
        QCOMPARE(
            valor("SELECT FechaRealizada FROM ActuaciónPreventivaRegistro WHERE AccionPreventiva = 'Ayer'").toString(),
            QString("2027-06-02"));
        FijarHoy(QDate(2027, 6, 3));
        w->Colocar();
        QCOMPARE(vencidas(), QStringList{"Hoy"});
    }

    // Una fecha o un coste que no valen se rechazan con su aviso y no se escribe nada.
    void laFechaYElCosteDelSeguimientoSeCompruebanAlEscribirlos()
    {
        linea("Extintores", QVariant(), QDate(2027, 9, 1));
        ActuacionPreventiva* w = abrir();
        escribirEnCelda(w, 0, Realizada, "31/02/2027");
        QTRY_COMPARE(ultimoTitulo(), QString("Fecha no válida"));
        escribirEnCelda(w, 0, Coste, "-50");
        QTRY_COMPARE(ultimoTitulo(), QString("Coste no válido"));
        QCOMPARE(contar(cx, "SELECT count(*) FROM ActuaciónPreventivaRegistro WHERE FechaRealizada IS NULL AND "
                            "CosteReal IS NULL"),
                 1LL);
        escribirEnCelda(w, 0, Realizada, "3/6/27");
        escribirEnCelda(w, 0, Coste, "1.250,50");
        QTRY_COMPARE(contar(cx, "SELECT count(*) FROM ActuaciónPreventivaRegistro WHERE FechaRealizada = "
                                "'2027-06-03' AND CosteReal = '1.250,50'"),
                     1LL);
        QCOMPARE(plataforma->mensajes.size(), size_t(2));
    }

    // Dar por realizada la acción de un riesgo ofrece volver a valorarlo, en su puesto; una
    // general no. La nueva valoración se guarda con el nivel de antes al volver al plan.
    void laOfertaDeVolverAValorarSoloEnLineasDeUnRiesgo()
    {
        const long long caja = puesto("Caja", 2);
        const long long importante = riesgo(caja, 1, "Riesgo Importante");
        linea("General", QVariant(), QDate(2027, 6, 1));
        const long long deRiesgo = linea("Del riesgo", importante, QDate(2027, 6, 10));
        ActuacionPreventiva* w = abrir();
        QCOMPARE(columna(w->lineas(), 0), QStringList({"Del riesgo", "General"}));

        escribirEnCelda(w, 1, Estado, "Realizada");
        QTRY_COMPARE(contar(cx, "SELECT count(*) FROM ActuaciónPreventivaRegistro WHERE Estado = 'Realizada'"), 1LL);
        QTest::qWait(20);
        QVERIFY(plataforma->mensajes.empty());

        plataforma->responder(PlataformaServicios::Respuesta::Si);
        escribirEnCelda(w, 0, Estado, "Realizada");
        QTRY_COMPARE(valoraciones.size(), 1);
        QCOMPARE(ultimoTitulo(), QString("Volver a valorar"));
        QCOMPARE(valoraciones.front(), RellenarCeros(caja, 4) + " - Caja");
        QCOMPARE(sesion.puestoActual, valoraciones.front());
        QCOMPARE(sesion.riesgoPorValorar, qint64(importante));

        Conexion::obtener(cx)->ejecutar("UPDATE Evaluacion SET ValorRiesgo = 'Riesgo Tolerable', Probabilidad = "
                                        "'Baja' WHERE IDEvaluacion = ?",
                                        {importante});
        abrir();
        QCOMPARE(contar(cx,
                        "SELECT count(*) FROM RevaloracionesRiesgo WHERE IDEvaluacion = ? AND IDActuacionRegistro = ? "
                        "AND NivelAnterior = 'Riesgo Importante' AND NivelNuevo = 'Riesgo Tolerable' AND Fecha = "
                        "'2027-06-02'",
                        {importante, deRiesgo}),
                 1LL);
        abrir();
        QCOMPARE(contar(cx, "SELECT count(*) FROM RevaloracionesRiesgo"), 1LL);
    }

    // Lo que queda por volver a valorar se guarda en la base: tras cerrar el programa, el plan del
    // centro lo recuerda y abre la valoración; volver con el mismo nivel sólo lo da por hecho si se
    // dice, y con otro nivel se guardan los dos. Una línea general no deja nada pendiente.
    void volverAValorarQuedaPendienteTrasCerrarElPrograma()
    {
        const long long caja = puesto("Caja", 2);
        const long long importante = riesgo(caja, 1, "Riesgo Importante");
        linea("General", QVariant(), QDate(2027, 6, 1));
        const long long deRiesgo = linea("Del riesgo", importante, QDate(2027, 6, 10));
        ActuacionPreventiva* w = abrir();
        QVERIFY(!aviso(w)->isVisible());
        escribirEnCelda(w, 1, Estado, "Realizada");
        QTRY_COMPARE(contar(cx, "SELECT count(*) FROM ActuaciónPreventivaRegistro WHERE Estado = 'Realizada'"), 1LL);
        QCOMPARE(contar(cx, "SELECT count(*) FROM RevaloracionesRiesgo"), 0LL);

        plataforma->responder(PlataformaServicios::Respuesta::No);
        escribirEnCelda(w, 0, Estado, "Realizada");
        QTRY_COMPARE(ultimoTitulo(), QString("Volver a valorar"));
        QVERIFY(valoraciones.isEmpty());
        QCOMPARE(contar(cx,
                        "SELECT count(*) FROM RevaloracionesRiesgo WHERE IDActuacionRegistro = ? AND NivelNuevo IS "
                        "NULL AND NivelAnterior = 'Riesgo Importante' AND Fecha = '2027-06-02'",
                        {deRiesgo}),
                 1LL);
        QTRY_VERIFY(aviso(w)->isVisible());

        reiniciar(QDate(2027, 6, 5));
        w = abrir();
        QVERIFY(aviso(w)->isVisible());
        const QString texto = w->findChild<QLabel*>("TextoRevaloraciones")->text();
        QVERIFY2(texto.contains("en el puesto «Caja»") && texto.contains("02/06/2027"), qPrintable(texto));
        const size_t avisos = plataforma->mensajes.size();
        QTest::mouseClick(w->findChild<QPushButton*>("BRevalorar"), Qt::LeftButton);
        QCOMPARE(valoraciones, QStringList{RellenarCeros(caja, 4) + " - Caja"});

        // Vuelve sin cambiar el nivel y no lo da por valorado: sigue pendiente.
        plataforma->responder(PlataformaServicios::Respuesta::No);
        w = abrir();
        QTRY_COMPARE(plataforma->mensajes.size(), avisos + 1);
        QVERIFY(plataforma->mensajes.back().texto.contains("sigue con el nivel «Importante»"));
        QCOMPARE(pendientes(importante), 1LL);
        QVERIFY(aviso(w)->isVisible());

        QTest::mouseClick(w->findChild<QPushButton*>("BRevalorar"), Qt::LeftButton);
        Conexion::obtener(cx)->ejecutar("UPDATE Evaluacion SET ValorRiesgo = 'Riesgo Tolerable', Probabilidad = "
                                        "'Baja' WHERE IDEvaluacion = ?",
                                        {importante});
        w = abrir();
        QCOMPARE(pendientes(importante), 0LL);
        QCOMPARE(contar(cx,
                        "SELECT count(*) FROM RevaloracionesRiesgo WHERE IDActuacionRegistro = ? AND NivelAnterior = "
                        "'Riesgo Importante' AND NivelNuevo = 'Riesgo Tolerable' AND Fecha = '2027-06-05'",
                        {deRiesgo}),
                 1LL);
        QVERIFY(!aviso(w)->isVisible());
        QTest::qWait(20);
        QCOMPARE(plataforma->mensajes.size(), avisos + 1);
    }

    // Una acción que deja de estar hecha, o que se borra, ya no espera su nueva valoración; seguir
    // en el mismo nivel se puede dar por valorado.
    void loPendienteSeVaConLaAccionSinHacerOBorrada()
    {
        const long long caja = puesto("Caja", 2);
        const long long importante = riesgo(caja, 1, "Riesgo Importante");
        const long long moderado = riesgo(caja, 3, "Riesgo Moderado");
        linea("Importante", importante, QDate(2027, 6, 10), "Realizada");
        linea("Moderado", moderado, QDate(2027, 6, 10));
        ActuacionPreventiva* w = abrir();
        plataforma->responder(PlataformaServicios::Respuesta::No);
        escribirEnCelda(w, 1, Estado, "Realizada");
        QTRY_COMPARE(pendientes(moderado), 1LL);
        escribirEnCelda(w, 1, Estado, "Verificada");
        QTRY_COMPARE(contar(cx, "SELECT count(*) FROM ActuaciónPreventivaRegistro WHERE Estado = 'Verificada'"), 1LL);
        QCOMPARE(pendientes(moderado), 1LL);
        escribirEnCelda(w, 1, Estado, "En curso");
        QTRY_COMPARE(pendientes(moderado), 0LL);
        QTRY_VERIFY(!aviso(w)->isVisible());

        // La de la línea que se borra tampoco queda.
        plataforma->responder(PlataformaServicios::Respuesta::No);
        escribirEnCelda(w, 1, Estado, "Realizada");
        QTRY_COMPARE(pendientes(moderado), 1LL);
        QTRY_VERIFY(aviso(w)->isVisible());
        QTableView* t = w->cuadricula()->tableView();
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(w->lineas()->index(1, 0)).center());
        plataforma->responder(PlataformaServicios::Respuesta::Si);
        QTest::mouseClick(w->findChild<QPushButton*>("BCancelar"), Qt::LeftButton);
        QCOMPARE(contar(cx, "SELECT count(*) FROM ActuaciónPreventivaRegistro"), 1LL);
        QCOMPARE(pendientes(moderado), 0LL);
        QVERIFY(!aviso(w)->isVisible());

        // Dar por valorado el que sigue igual guarda el mismo nivel como nuevo.
        plataforma->responder(PlataformaServicios::Respuesta::Si);
        escribirEnCelda(w, 0, Estado, "Pendiente");
        escribirEnCelda(w, 0, Estado, "Realizada");
        QTRY_COMPARE(valoraciones.size(), 1);
        plataforma->responder(PlataformaServicios::Respuesta::Si);
        w = abrir();
        QTRY_COMPARE(pendientes(importante), 0LL);
        QCOMPARE(contar(cx, "SELECT count(*) FROM RevaloracionesRiesgo WHERE NivelAnterior = 'Riesgo Importante' AND "
                            "NivelNuevo = 'Riesgo Importante'"),
                 1LL);
        QVERIFY(!aviso(w)->isVisible());
    }
};

QTEST_MAIN(PruebaPlanSeguimiento)
#include "test_plan_seguimiento.moc"
