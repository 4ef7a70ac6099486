// La planificación de la actuación preventiva y el selector de acciones, dentro de un área MDI
// como en el programa, cada prueba sobre su propia copia de la base de datos.
#include "Celdas.h"
#include "Datos.h"
#include "EntornoVentanas.h"
#include "planning/AccionPreventiva.h"
#include "planning/ActuacionPreventiva.h"
#include "shell/DateBox.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

using Icono = PlataformaServicios::Icono;
using Botones = PlataformaServicios::Botones;
using Respuesta = PlataformaServicios::Respuesta;

class PruebaActuacionPreventiva : public QObject, private EntornoVentanas
{
    Q_OBJECT

    long long centro = 0;
    int cierres = 0; // veces que se ha abierto la página de cierre

    ActuacionPreventiva* abrir()
    {
        auto* w = qobject_cast<ActuacionPreventiva*>(registro->abrirNueva(Ventana::ActuacionPreventiva));
        if (!w)
            qFatal("no se ha abierto la planificación");
        return w;
    }
    template <typename T> static T* hijo(QWidget* w, const QString& nombre)
    {
        T* h = w->findChild<T*>(nombre);
        if (!h)
            qFatal("no existe el control %s", qPrintable(nombre));
        return h;
    }
    static QLineEdit* caja(QWidget* w, const QString& n) { return hijo<QLineEdit>(w, n); }
    static DateBox* fecha(QWidget* w, const QString& n) { return hijo<DateBox>(w, n); }
    static QPushButton* boton(QWidget* w, const QString& n) { return hijo<QPushButton>(w, n); }
    static QToolButton* imagen(QWidget* w, const QString& n) { return hijo<QToolButton>(w, n); }
    static void escribirLinea(QWidget* w, const QString& accion, const QString& limite, const QString& responsable,
                              const QString& presupuesto)
    {
        caja(w, "strAccion")->setText(accion);
        fecha(w, "dteFechaLimite")->setText(limite);
        caja(w, "strResponsable")->setText(responsable);
        caja(w, "strPresupuesto")->setText(presupuesto);
    }
    static void moverPuntero(QWidget* w, const QPoint& p)
    {
        QMouseEvent e(QEvent::MouseMove, p, w->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    // Teclea de verdad; lo que no es ASCII va letra a letra, que keyClicks no lo admite.
    static void teclear(QWidget* w, const QString& texto)
    {
        for (const QChar c : texto) {
            if (c.unicode() < 0x80)
                QTest::keyClicks(w, QString(c));
            else
                QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), {});
        }
    }
    static void pulsar(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
    // Escribe el cargo en su lista como el usuario: pulsa en ella, lo elige todo y teclea encima.
    static void escribirCargo(QWidget* w, const QString& texto)
    {
        QLineEdit* edicion = hijo<QComboBox>(w, "cmbCargo")->lineEdit();
        pulsar(edicion);
        QTest::keyClick(edicion, Qt::Key_A, Qt::ControlModifier);
        teclear(edicion, texto);
    }
    long long contar(const QString& sql, const QVariantList& p = {}) { return datos::contar(cx, sql, p); }
    long long lineasDelCentro()
    {
        return contar("SELECT count(*) FROM \"ActuaciónPreventivaRegistro\" r JOIN \"ActuaciónPreventiva\" a "
                      "ON a.IDActuacion = r.IDActuacion WHERE a.IDCentro = ?",
                      {centro});
    }
    QVariant valor(const QString& sql, const QVariantList& p = {})
    {
        Recordset rs;
        rs.open(sql, cx, p);
        return rs.eof() ? QVariant() : rs.value(0);
    }
    // Sin ningún aviso da uno vacío: la comparación falla en lugar de romper la prueba.
    const PlataformaPrueba::Mensaje& ultimo() const
    {
        static const PlataformaPrueba::Mensaje ninguno{{}, {}, Icono::Ninguno, Botones::Aceptar, Respuesta::Aceptar};
        return plataforma->mensajes.empty() ? ninguno : plataforma->mensajes.back();
    }
    static bool visible(QWidget* w) { return w->parentWidget()->isVisible(); }

private slots:
    void init()
    {
        preparar(1200, 800);
        registrarVentana<ActuacionPreventiva>(Ventana::ActuacionPreventiva);
        registrarVentana<AccionPreventiva>(Ventana::AccionPreventiva);
        cierres = 0;
        RegistroVentanas::registrarFabrica(Ventana::ImprimirPlanificacion, [this](Sesion&) {
            ++cierres;
            return new QWidget;
        });
        centro = datos::centro(cx, datos::empresa(cx), "Calle de l'Olivar 7");
        sesion.idCentro = long(centro);
    }
    void cleanup() { liberar(); }

    void laPrimeraAperturaCreaUnSoloPlanVacio()
    {
        ActuacionPreventiva* w = abrir();
        QCOMPARE(contar("SELECT count(*) FROM \"ActuaciónPreventiva\" WHERE IDCentro = ?", {centro}), 1LL);
        const long long plan = w->idActuacion();
        QVERIFY(plan > 0);
        QCOMPARE(valor("SELECT count(*) FROM \"ActuaciónPreventiva\" WHERE IDActuacion = ? AND Persona IS NULL AND "
                       "Cargo IS NULL AND Fecha IS NULL",
                       {plan})
                     .toLongLong(),
                 1LL);
        QCOMPARE(caja(w, "strDireccion")->text(), QString("Calle de l'Olivar 7"));
        QVERIFY(caja(w, "strNombre")->text().isEmpty());
        QVERIFY(hijo<QComboBox>(w, "cmbCargo")->currentText().isEmpty());
        QVERIFY(fecha(w, "dteFecha")->isEmpty());
        QCOMPARE(w->lineas()->rowCount(), 0);
        QVERIFY(!boton(w, "BCancelar")->isEnabled());
        QVERIFY(plataforma->mensajes.empty());

        // Volver a abrirla no crea otro: sigue el mismo plan.
        w = abrir();
        QCOMPARE(contar("SELECT count(*) FROM \"ActuaciónPreventiva\" WHERE IDCentro = ?", {centro}), 1LL);
        QCOMPARE(w->idActuacion(), plan);

        // Un centro que no existe deja la ventana sin plan y sin crear ninguno.
        const long long planes = contar("SELECT count(*) FROM \"ActuaciónPreventiva\"");
        sesion.idCentro = 999999;
        w = abrir();
        QCOMPARE(contar("SELECT count(*) FROM \"ActuaciónPreventiva\""), planes);
        QCOMPARE(w->idActuacion(), 0LL);
        escribirLinea(w, "Acción", "01/01/2027", "Ana", "");
        boton(w, "BAñadir")->click();
        QCOMPARE(ultimo().titulo, QString("Sin Planificación"));
        QCOMPARE(contar("SELECT count(*) FROM \"ActuaciónPreventivaRegistro\""), 0LL);
    }

    void losTextosYControlesDeLaVentana()
    {
        ActuacionPreventiva* w = abrir();
        QCOMPARE(w->windowTitle(), QString("Planificación de actuación preventiva "));
        QCOMPARE(w->parentWidget()->windowTitle(), QString("Planificación de actuación preventiva "));
        QCOMPARE(hijo<QLabel>(w, "LabelBanner")->text(), QString("Planificación de Actuación Preventiva"));
        QCOMPARE(hijo<QLabel>(w, "LabelAccion")->text(), QString("ACCIÓN PREVENTIVA"));
        QComboBox* cargo = hijo<QComboBox>(w, "cmbCargo");
        QCOMPARE(cargo->count(), 3);
        QCOMPARE(cargo->itemText(0), QString());
        QCOMPARE(cargo->itemText(1), QString("Empresario"));
        QCOMPARE(cargo->itemText(2), QString("Trabajador designado"));
        QVERIFY(cargo->isEditable());
        QCOMPARE(boton(w, "GCentro")->text(), QString("Guardar/Modificar Datos"));
        QCOMPARE(boton(w, "SSCommand1")->text(), QString("Seleccionar Acciones "));
        QCOMPARE(boton(w, "SSCommand1")->toolTip(), QString("Seleccionar Actuacion Preventiva"));
        QCOMPARE(boton(w, "BAñadir")->text(), QString("Añadir"));
        QCOMPARE(boton(w, "BCancelar")->text(), QString("Eliminar"));
        QCOMPARE(imagen(w, "Picture2")->toolTip(), QString("Imprimir Actuaciónes Preventivas"));
        QCOMPARE(imagen(w, "ECentro")->toolTip(),
                 QString("Eliminar Planificación de Actuaciones Preventivas completa"));
        QCOMPARE(imagen(w, "Image9")->toolTip(), QString("Ayuda"));
        QCOMPARE(imagen(w, "Image1")->toolTip(), QString("Volver a Empresas y Centros "));
        QVERIFY(hijo<QGroupBox>(w, "FrameCentro")->title() == "Centro de trabajo");
        QCOMPARE(caja(w, "strNombre")->accessibleName(), QString("Nombre y apellidos"));
        QCOMPARE(fecha(w, "dteFecha")->accessibleName(), QString("F. Planificación"));
        QVERIFY(w->findChild<DataSource*>("RActuaciónPreventivaRegistro"));
        Grid* g = hijo<Grid>(w, "GActuaciónPreventivaRegistro");
        const QStringList titulos = {"Accion Preventiva", "Fecha Limite", "Responsable Ejecucion", "Presupuesto"};
        const QStringList campos = {"AccionPreventiva", "FechaLimite", "ResponsableEjecucion", "PresupuestoAproximado"};
        QCOMPARE(g->columnCount(), 4);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(g->columns()[i].caption, titulos[i]);
            QCOMPARE(g->columns()[i].field, campos[i]);
        }
        QCOMPARE(w->parentWidget()->pos(), QPoint(TwipsAPixeles(100, w), TwipsAPixeles(100, w)));
        // La cuadrícula de las líneas deja ver unas cuantas, no tres.
        QTableView* lineas = g->tableView();
        QVERIFY2(lineas->viewport()->height() >= 8 * lineas->verticalHeader()->defaultSectionSize(),
                 qPrintable(QString::number(lineas->viewport()->height())));

        imagen(w, "Image9")->click();
        QCOMPARE(plataforma->documentos.size(), 1);
        QVERIFY(plataforma->documentos[0].endsWith(QDir::toNativeSeparators("/Ayuda/Accion Preventiva.pdf")));
    }

    void cadaEntradaQueFaltaSeRechazaSinGuardarNada()
    {
        ActuacionPreventiva* w = abrir();
        QLineEdit* accion = caja(w, "strAccion");
        const struct
        {
            QString accion, limite, responsable, texto, titulo;
        } casos[] = {
            {"", "01/03/2027", "Ana", "Tienes que escribir una Actuacion Preventiva", "Sin Actuacion"},
            {"   ", "01/03/2027", "Ana", "Tienes que escribir una Actuacion Preventiva", "Sin Actuacion"},
            {"Revisar extintores", "", "Ana", "Tienes que escribir una Fecha Limite", "Sin Fecha"},
            {"Revisar extintores", "01/03/2027", "", "Tienes que escribir un Responsable", "Sin Responsable"},
            // Con todo vacío manda la primera comprobación.
            {"", "", "", "Tienes que escribir una Actuacion Preventiva", "Sin Actuacion"},
        };
        for (const auto& c : casos) {
            escribirLinea(w, c.accion, c.limite, c.responsable, "100");
            caja(w, "strResponsable")->setFocus();
            boton(w, "BAñadir")->click();
            QCOMPARE(ultimo().texto, c.texto);
            QCOMPARE(ultimo().titulo, c.titulo);
            QCOMPARE(ultimo().icono, Icono::Critico);
            QCOMPARE(ultimo().botones, Botones::Aceptar);
            // El foco va siempre a la acción, falte lo que falte.
            QTRY_COMPARE(QApplication::focusWidget(), accion);
            // Lo escrito se queda para corregirlo.
            QCOMPARE(caja(w, "strPresupuesto")->text(), QString("100"));
        }
        QCOMPARE(plataforma->mensajes.size(), std::size(casos));
        QCOMPARE(lineasDelCentro(), 0LL);
        QVERIFY(!boton(w, "BCancelar")->isEnabled());
    }

    void unaLineaSeGuardaComoSeEscribioConElPresupuestoVacio()
    {
        ActuacionPreventiva* w = abrir();
        escribirLinea(w, "Formar al personal de almacén", "8/12/26", "Jefa de almacén", "");
        boton(w, "BAñadir")->click();
        QVERIFY(plataforma->mensajes.empty());
        QCOMPARE(lineasDelCentro(), 1LL);
        Recordset rs;
        rs.open("SELECT * FROM \"ActuaciónPreventivaRegistro\"", cx);
        QCOMPARE(rs.value("IDActuacion").toLongLong(), w->idActuacion());
        QCOMPARE(rs.value("AccionPreventiva").toString(), QString("Formar al personal de almacén"));
        QCOMPARE(rs.value("FechaLimite"), QVariant(QDate(2026, 12, 8)));
        QCOMPARE(rs.value("ResponsableEjecucion").toString(), QString("Jefa de almacén"));
        QCOMPARE(rs.value("PresupuestoAproximado"), QVariant(QString("")));
        // Los cuatro datos de la línea nueva quedan vacíos y la línea está en la cuadrícula.
        for (const char* n : {"strAccion", "strResponsable", "strPresupuesto"})
            QVERIFY2(caja(w, n)->text().isEmpty(), n);
        QVERIFY(fecha(w, "dteFechaLimite")->isEmpty());
        QCOMPARE(w->lineas()->rowCount(), 1);
        QCOMPARE(w->lineas()->index(0, 1).data().toString(), QString("08/12/2026"));
        QVERIFY(boton(w, "BCancelar")->isEnabled());

        // Textos con apóstrofos, muy largos o que no son un número van tal cual.
        const QString larga = QString("Revisión del 'plan' de evacuación ").repeated(40);
        escribirLinea(w, larga, "2027-01-31", "D'Souza O'Neill", "unos 1.200 € + IVA");
        boton(w, "BAñadir")->click();
        QCOMPARE(lineasDelCentro(), 2LL);
        QCOMPARE(valor("SELECT AccionPreventiva FROM \"ActuaciónPreventivaRegistro\" ORDER BY IDActuacionRegistro "
                       "DESC")
                     .toString(),
                 larga);
        QCOMPARE(valor("SELECT PresupuestoAproximado FROM \"ActuaciónPreventivaRegistro\" ORDER BY "
                       "IDActuacionRegistro DESC")
                     .toString(),
                 QString("unos 1.200 € + IVA"));
        QCOMPARE(valor("SELECT ResponsableEjecucion FROM \"ActuaciónPreventivaRegistro\" ORDER BY "
                       "IDActuacionRegistro DESC")
                     .toString(),
                 QString("D'Souza O'Neill"));

        // Las líneas se ven en la cuadrícula después de volver a abrir.
        w = abrir();
        QCOMPARE(w->lineas()->rowCount(), 2);
        QVERIFY(boton(w, "BCancelar")->isEnabled());
    }

    void lasFechasVaciasEscritasEImposibles()
    {
        ActuacionPreventiva* w = abrir();
        const long long plan = w->idActuacion();
        DateBox* limite = fecha(w, "dteFechaLimite");

        // Una fecha límite imposible no se guarda: se dice por qué y el foco va a la fecha.
        for (const QString& mala : {QString("31/02/2027"), QString("mañana"), QString("15/13/2027")}) {
            escribirLinea(w, "Señalizar salidas", mala, "Ana", "50");
            boton(w, "BAñadir")->click();
            QCOMPARE(ultimo().titulo, QString("Fecha no válida"));
            QVERIFY(ultimo().texto.contains("«" + mala + "»"));
            QVERIFY(ultimo().texto.contains("Fecha Limite"));
            QTRY_COMPARE(QApplication::focusWidget(), limite->lineEdit());
        }
        QVERIFY(ultimo().texto.contains("no existe el mes 13"));
        QCOMPARE(lineasDelCentro(), 0LL);

        // La cabecera: sin fecha se guarda nula; escrita, como fecha.
        caja(w, "strNombre")->setText("Luis Planificador");
        escribirCargo(w, "Gerente");
        boton(w, "GCentro")->click();
        QVERIFY(valor("SELECT Fecha FROM \"ActuaciónPreventiva\" WHERE IDActuacion = ?", {plan}).isNull());
        QCOMPARE(valor("SELECT Cargo FROM \"ActuaciónPreventiva\" WHERE IDActuacion = ?", {plan}).toString(),
                 QString("Gerente"));
        fecha(w, "dteFecha")->setText("10/1/2025");
        boton(w, "GCentro")->click();
        QCOMPARE(valor("SELECT Fecha FROM \"ActuaciónPreventiva\" WHERE IDActuacion = ?", {plan}),
                 QVariant(QDate(2025, 1, 10)));
        const size_t avisos = plataforma->mensajes.size();

        // Una fecha de planificación imposible tampoco se guarda, ni nada de lo demás.
        caja(w, "strNombre")->setText("Otro nombre");
        fecha(w, "dteFecha")->setText("30/02/2025");
        boton(w, "GCentro")->click();
        QCOMPARE(plataforma->mensajes.size(), avisos + 1);
        QCOMPARE(ultimo().titulo, QString("Fecha no válida"));
        QVERIFY(ultimo().texto.contains("febrero de 2025 sólo tiene 28 días"));
        QCOMPARE(valor("SELECT Fecha FROM \"ActuaciónPreventiva\" WHERE IDActuacion = ?", {plan}),
                 QVariant(QDate(2025, 1, 10)));
        QCOMPARE(valor("SELECT Persona FROM \"ActuaciónPreventiva\" WHERE IDActuacion = ?", {plan}).toString(),
                 QString("Luis Planificador"));

        // Vaciar la fecha y guardar la deja otra vez sin fecha.
        fecha(w, "dteFecha")->clear();
        boton(w, "GCentro")->click();
        QVERIFY(valor("SELECT Fecha FROM \"ActuaciónPreventiva\" WHERE IDActuacion = ?", {plan}).isNull());

        // La fecha límite elegida en el calendario es la que se guarda.
        escribirLinea(w, "Señalizar salidas", "", "Ana", "50");
        limite->showCalendar();
        emit limite->calendar()->clicked(QDate(2027, 5, 3));
        boton(w, "BAñadir")->click();
        QCOMPARE(valor("SELECT FechaLimite FROM \"ActuaciónPreventivaRegistro\""), QVariant(QDate(2027, 5, 3)));
    }

    void loQueNoSeGuardaConGCentroSePierdeAlVolver()
    {
        ActuacionPreventiva* w = abrir();
        caja(w, "strNombre")->setText("Marta Ruiz");
        escribirCargo(w, "Trabajador designado");
        fecha(w, "dteFecha")->setText("02/02/2026");
        // Se pregunta antes de dejarlo; con No se pierde.
        plataforma->responder(Respuesta::No);
        imagen(w, "Image1")->click();
        QCOMPARE(ultimo().texto, QString("¿Guardar los cambios de la cabecera del plan?"));
        QVERIFY(!visible(w));
        QVERIFY(valor("SELECT Persona FROM \"ActuaciónPreventiva\" WHERE IDCentro = ?", {centro}).isNull());

        w = abrir();
        QVERIFY(caja(w, "strNombre")->text().isEmpty());
        QVERIFY(hijo<QComboBox>(w, "cmbCargo")->currentText().isEmpty());
        QVERIFY(fecha(w, "dteFecha")->isEmpty());

        // Guardado sí queda, con un cargo escrito a mano.
        caja(w, "strNombre")->setText("Marta Ruiz");
        escribirCargo(w, "Socia gerente");
        fecha(w, "dteFecha")->setText("02/02/2026");
        boton(w, "GCentro")->click();
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        w = abrir();
        QCOMPARE(caja(w, "strNombre")->text(), QString("Marta Ruiz"));
        QCOMPARE(hijo<QComboBox>(w, "cmbCargo")->currentText(), QString("Socia gerente"));
        QCOMPARE(fecha(w, "dteFecha")->date(), QDate(2026, 2, 2));
    }

    void eliminarLaLineaActualConSuPregunta()
    {
        ActuacionPreventiva* w = abrir();
        for (const QString& a : {QString("Primera"), QString("Segunda"), QString("Tercera")}) {
            escribirLinea(w, a, "01/06/2027", "Ana", "10");
            boton(w, "BAñadir")->click();
        }
        Grid* g = w->cuadricula();
        g->setCurrentRow(1);

        plataforma->responder(Respuesta::No);
        boton(w, "BCancelar")->click();
        QVERIFY(ultimo().texto.startsWith("¿Esta seguro de querer quitar la Actuación Preventiva?"));
        QVERIFY(ultimo().texto.contains("«Segunda»"));
        QCOMPARE(ultimo().titulo, QString("Eliminar"));
        QCOMPARE(ultimo().icono, Icono::Critico);
        QCOMPARE(ultimo().botones, Botones::SiNo);
        QCOMPARE(ultimo().predeterminada, Respuesta::No);
        QCOMPARE(lineasDelCentro(), 3LL);

        // La que se borra es la actual, no la primera ni la última.
        plataforma->responder(Respuesta::Si);
        boton(w, "BCancelar")->click();
        QCOMPARE(lineasDelCentro(), 2LL);
        QCOMPARE(contar("SELECT count(*) FROM \"ActuaciónPreventivaRegistro\" WHERE AccionPreventiva = 'Segunda'"),
                 0LL);
        QCOMPARE(w->lineas()->rowCount(), 2);
        QVERIFY(boton(w, "BCancelar")->isEnabled());

        plataforma->responder(Respuesta::Si);
        boton(w, "BCancelar")->click();
        QVERIFY(boton(w, "BCancelar")->isEnabled());
        // La última línea: el botón se apaga y ya no pregunta nada.
        plataforma->responder(Respuesta::Si);
        boton(w, "BCancelar")->click();
        QCOMPARE(lineasDelCentro(), 0LL);
        QVERIFY(!boton(w, "BCancelar")->isEnabled());
        const size_t avisos = plataforma->mensajes.size();
        w->eliminarLinea();
        QCOMPARE(plataforma->mensajes.size(), avisos);
        // El plan sigue.
        QCOMPARE(contar("SELECT count(*) FROM \"ActuaciónPreventiva\" WHERE IDCentro = ?", {centro}), 1LL);
    }

    void lasNotasDeLasCeldasYLaCorreccionEnLaCuadricula()
    {
        ActuacionPreventiva* w = abrir();
        escribirLinea(w, "Primera", "01/06/2027", "Ana", "10");
        boton(w, "BAñadir")->click();
        escribirLinea(w, "Segunda", "15/07/2027", "Luis", "a convenir");
        boton(w, "BAñadir")->click();
        Grid* g = w->cuadricula();
        g->setCurrentRow(1);
        const QStringList esperados = {"Segunda", "Fecha Limite: 15/07/2027", "Responsable Ejecucion: Luis",
                                       "Presupuesto: a convenir"};
        for (int columna = 0; columna < 4; ++columna) {
            CellTip tip;
            emit g->cellTipRequested(0, columna, 1, &tip);
            QCOMPARE(tip.text, esperados[columna]);
            QVERIFY(tip.bold);
            QCOMPARE(tip.fillColor, QColor(0, 0, 0x80));
        }
        QCOMPARE(g->tipWidth(), 5000);
        QCOMPARE(g->tipDelay(), 200);
        QVERIFY(g->tipAnchored());
        CellTip fuera;
        emit g->cellTipRequested(0, 0, -1, &fuera);
        QVERIFY(fuera.text.isEmpty());

        // Corregir en la cuadrícula se guarda en el acto; dejar sin acción o sin responsable, no.
        DataSource* ds = w->lineas();
        QVERIFY(ds->setData(ds->index(1, 3), QString("2.000")));
        QCOMPARE(valor("SELECT PresupuestoAproximado FROM \"ActuaciónPreventivaRegistro\" WHERE AccionPreventiva = "
                       "'Segunda'")
                     .toString(),
                 QString("2.000"));
        QVERIFY(ds->setData(ds->index(1, 1), QDate(2028, 2, 29)));
        QCOMPARE(valor("SELECT FechaLimite FROM \"ActuaciónPreventivaRegistro\" WHERE AccionPreventiva = 'Segunda'"),
                 QVariant(QDate(2028, 2, 29)));
        QVERIFY(!ds->setData(ds->index(1, 0), QString("  ")));
        QTRY_COMPARE(plataforma->mensajes.size(), size_t(1));
        QCOMPARE(ultimo().titulo, QString("Sin Actuacion"));
        QVERIFY(!ds->setData(ds->index(1, 2), QString()));
        QTRY_COMPARE(plataforma->mensajes.size(), size_t(2));
        QCOMPARE(ultimo().titulo, QString("Sin Responsable"));
        QCOMPARE(contar("SELECT count(*) FROM \"ActuaciónPreventivaRegistro\" WHERE AccionPreventiva = 'Segunda' "
                        "AND ResponsableEjecucion = 'Luis'"),
                 1LL);
    }

    // En la cuadrícula del plan Escape deja lo guardado (texto y fecha) e Intro lo escribe en el acto.
    void escapeDeshaceEIntroConfirmaEnLaCuadricula()
    {
        ActuacionPreventiva* w = abrir();
        escribirLinea(w, "Primera", "01/06/2027", "Ana", "10");
        boton(w, "BAñadir")->click();
        escribirLinea(w, "Segunda", "15/07/2027", "Luis", "20");
        boton(w, "BAñadir")->click();
        QTableView* t = w->cuadricula()->tableView();
        QVERIFY(QTest::qWaitForWindowExposed(t));
        const auto editar = [&](int fila, int columna) { return editarConRaton(t, fila, columna); };
        const auto lineas = [&] {
            return valor("SELECT group_concat(AccionPreventiva || ' ' || ResponsableEjecucion || ' ' || FechaLimite, "
                         "'; ') FROM (SELECT * FROM \"ActuaciónPreventivaRegistro\" ORDER BY IDActuacionRegistro)")
                .toString();
        };
        const QString antes = lineas();

        QWidget* responsable = editar(0, 2);
        QVERIFY(qobject_cast<QLineEdit*>(responsable));
        QTest::keyClick(responsable, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(responsable, "Texto que no debe quedar");
        QTest::keyClick(responsable, Qt::Key_Escape);
        QWidget* limite = editar(1, 1);
        QVERIFY(limite);
        QTest::keyClick(limite, Qt::Key_Home);
        QTest::keyClick(limite, Qt::Key_Up);
        QTest::keyClick(limite, Qt::Key_Escape);
        editar(0, 0);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(lineas(), antes);
        QCOMPARE(w->lineas()->index(0, 2).data().toString(), QString("Ana"));

        responsable = editar(1, 2);
        QVERIFY(responsable);
        QTest::keyClick(responsable, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(responsable, "Marta");
        QTest::keyClick(responsable, Qt::Key_Return);
        QTRY_VERIFY(lineas().endsWith("Segunda Marta 2027-07-15"));
        QCOMPARE(w->cuadricula()->currentRow(), 1);
        QVERIFY(plataforma->mensajes.empty());
    }

    // Pasar el puntero por una línea enseña su nota, pero la que se borra es la elegida.
    void laNotaNoCambiaLaLineaQueSeElimina()
    {
        ActuacionPreventiva* w = abrir();
        escribirLinea(w, "Primera", "01/06/2027", "Ana", "10");
        boton(w, "BAñadir")->click();
        escribirLinea(w, "Segunda", "15/07/2027", "Luis", "20");
        boton(w, "BAñadir")->click();
        escribirLinea(w, "Tercera", "30/09/2027", "Eva", "30");
        boton(w, "BAñadir")->click();
        Grid* g = w->cuadricula();
        QTableView* t = g->tableView();
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(w->lineas()->index(2, 0)).center());
        QCOMPARE(g->currentRow(), 2);

        moverPuntero(t->viewport(), t->visualRect(w->lineas()->index(0, 2)).center());
        QTRY_VERIFY(g->tipLabel()->isVisible());
        QCOMPARE(g->tipLabel()->text(), QString("Responsable Ejecucion: Ana"));
        QCOMPARE(g->currentRow(), 2);

        plataforma->responder(Respuesta::Si);
        pulsar(boton(w, "BCancelar"));
        QCOMPARE(
            ultimo().texto,
            QString("¿Esta seguro de querer quitar la Actuación Preventiva?\n\n«Tercera»\nFecha Limite: 30/09/2027"));
        QCOMPARE(contar("SELECT count(*) FROM \"ActuaciónPreventivaRegistro\" WHERE AccionPreventiva = 'Tercera'"),
                 0LL);
        QCOMPARE(lineasDelCentro(), 2LL);
    }

    void laNotaDelSelectorNoCambiaLaAccionQueSeCopia()
    {
        ActuacionPreventiva* w = abrir();
        pulsar(boton(w, "SSCommand1"));
        auto* selector = qobject_cast<AccionPreventiva*>(registro->ventana(Ventana::AccionPreventiva));
        QVERIFY(selector);
        Grid* g = selector->cuadricula();
        QTableView* t = g->tableView();
        DataSource* ds = selector->catalogo();
        const QString elegida = ds->fieldValue(1, "Actuacion").toString();
        const QString vista = ds->fieldValue(3, "Actuacion").toString();
        QVERIFY(elegida != vista);
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(ds->index(1, 0)).center());
        moverPuntero(t->viewport(), t->visualRect(ds->index(3, 0)).center());
        QTRY_VERIFY(g->tipLabel()->isVisible());
        QCOMPARE(g->tipLabel()->text(), "Actuación: " + vista);
        pulsar(boton(selector, "BAñadir"));
        QCOMPARE(caja(w, "strAccion")->text(), elegida);
    }

    // Dejar la ventana con la cabecera cambiada pregunta: Sí guarda, No descarta, Cancelar se queda.
    void laCabeceraSinGuardarSePreguntaAlDejarLaVentana()
    {
        ActuacionPreventiva* w = abrir();
        // Sin cambios no se pregunta nada.
        pulsar(imagen(w, "Image1"));
        QVERIFY(plataforma->mensajes.empty());

        w = abrir();
        QTest::keyClicks(caja(w, "strNombre"), "Marta Ruiz");
        // Cerrar con el marco también pregunta; Cancelar se queda.
        plataforma->responder(Respuesta::Cancelar);
        w->parentWidget()->close();
        QCOMPARE(ultimo().texto, QString("¿Guardar los cambios de la cabecera del plan?"));
        QCOMPARE(ultimo().botones, Botones::SiNoCancelar);
        QCOMPARE(ultimo().predeterminada, Respuesta::Si);
        QCOMPARE(registro->ventana(Ventana::ActuacionPreventiva), w);

        // Sí con una fecha imposible no guarda nada: se avisa y se sigue en la ventana.
        QTest::keyClicks(fecha(w, "dteFecha")->lineEdit(), "30/02/2025");
        plataforma->responder(Respuesta::Si);
        pulsar(imagen(w, "Image1"));
        QCOMPARE(ultimo().titulo, QString("Fecha no válida"));
        QVERIFY(visible(w));
        QVERIFY(valor("SELECT Persona FROM \"ActuaciónPreventiva\" WHERE IDCentro = ?", {centro}).isNull());
    }

    // El aviso de verdad: tres botones en español, y Escape es Cancelar (no se pierde nada).
    void laPreguntaDeLaCabeceraConElAvisoDeVerdad()
    {
        ActuacionPreventiva* w = abrir();
        QTest::keyClicks(caja(w, "strNombre"), "Marta Ruiz");
        PlataformaServicios* prueba = FijarServicios(nullptr);
        QStringList botones;
        // Contesta en cuanto el aviso está en pantalla.
        std::function<void(int)> contestar = [&](int intentos) {
            QTimer::singleShot(10, [&, intentos] {
                if (auto* aviso = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    for (QAbstractButton* b : aviso->buttons())
                        botones << b->text();
                    QTest::keyClick(aviso, Qt::Key_Escape);
                } else if (intentos > 0) {
                    contestar(intentos - 1);
                }
            });
        };
        contestar(200);
        pulsar(imagen(w, "Image1"));
        FijarServicios(prueba);
        botones.sort();
        QCOMPARE(botones, QStringList({"Cancelar", "No", "Sí"}));
        QVERIFY(visible(w));
        QCOMPARE(caja(w, "strNombre")->text(), QString("Marta Ruiz"));
    }

    // Una sola regla para leer los importes; lo negativo o lo que admite dos lecturas no se guarda.
    void elPresupuestoSeLeeConUnaSolaRegla()
    {
        ActuacionPreventiva* w = abrir();
        QLineEdit* presupuesto = caja(w, "strPresupuesto");
        // Lo admitido se guarda tal como se escribió, también un texto que no es importe.
        const QStringList buenos = {QString::fromUtf8("1\u00a0234,56 €"), "a convenir"};
        for (const QString& b : buenos) {
            escribirLinea(w, "Señalizar", "01/06/2027", "Ana", "");
            teclear(presupuesto, b);
            pulsar(boton(w, "BAñadir"));
            QVERIFY2(plataforma->mensajes.empty(), qPrintable(b));
            QCOMPARE(
                contar("SELECT count(*) FROM \"ActuaciónPreventivaRegistro\" WHERE PresupuestoAproximado = ?", {b}),
                1LL);
        }

        for (const QString& malo : {QString("-20"), QString("1234.567"), QString("1,234.56")}) {
            escribirLinea(w, "Señalizar", "01/06/2027", "Ana", "");
            teclear(presupuesto, malo);
            pulsar(boton(w, "BAñadir"));
            QCOMPARE(ultimo().titulo, QString("Presupuesto no válido"));
            QVERIFY2(ultimo().texto.contains("«" + malo + "»"), qPrintable(ultimo().texto));
            QVERIFY(ultimo().texto.contains("1.234,56"));
            QTRY_COMPARE(QApplication::focusWidget(), presupuesto);
            QCOMPARE(presupuesto->text(), malo);
        }
        QVERIFY(ultimo().texto.contains("No se sabe qué importe es"));
        QVERIFY(plataforma->mensajes[0].texto.contains("negativo"));
        QCOMPARE(lineasDelCentro(), 2LL);

        // Corregirlo en la cuadrícula sigue la misma regla.
        QTableView* t = w->cuadricula()->tableView();
        const QModelIndex celda = w->lineas()->index(0, 3);
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(celda).center());
        QTest::mouseDClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(celda).center());
        const auto editor = [&] { return qobject_cast<QLineEdit*>(QApplication::focusWidget()); };
        QTRY_VERIFY(editor() && editor()->parent() == t->viewport());
        editor()->selectAll();
        QTest::keyClicks(editor(), "-5");
        QTest::keyClick(editor(), Qt::Key_Return);
        QTRY_COMPARE(plataforma->mensajes.size(), size_t(4));
        QCOMPARE(ultimo().titulo, QString("Presupuesto no válido"));
        QCOMPARE(contar("SELECT count(*) FROM \"ActuaciónPreventivaRegistro\" WHERE PresupuestoAproximado = '-5'"),
                 0LL);
    }

    void imprimirSoloConAlgunaLinea()
    {
        ActuacionPreventiva* w = abrir();
        imagen(w, "Picture2")->click();
        QCOMPARE(ultimo().texto, QString("Tiene que existir por lo menos una Accion Preventiva para poder continuar"));
        QCOMPARE(ultimo().titulo, QString("Sin Accion"));
        QCOMPARE(ultimo().icono, Icono::Critico);
        QTRY_COMPARE(QApplication::focusWidget(), caja(w, "strAccion"));
        QCOMPARE(cierres, 0);
        QVERIFY(visible(w));

        escribirLinea(w, "Primera", "01/06/2027", "Ana", "");
        boton(w, "BAñadir")->click();
        imagen(w, "Picture2")->click();
        QCOMPARE(cierres, 1);
        QVERIFY(!visible(w));
        QVERIFY(registro->ventana(Ventana::ImprimirPlanificacion));
        // Otra vez: la página de cierre anterior se descarta y se abre otra.
        QWidget* anterior = registro->ventana(Ventana::ImprimirPlanificacion);
        w = abrir();
        imagen(w, "Picture2")->click();
        QCOMPARE(cierres, 2);
        QVERIFY(registro->ventana(Ventana::ImprimirPlanificacion) != anterior);
    }

    void eliminarElPlanCompletoYEmpezarOtro()
    {
        ActuacionPreventiva* w = abrir();
        const long long plan = w->idActuacion();
        caja(w, "strNombre")->setText("Luis");
        boton(w, "GCentro")->click();
        for (const QString& a : {QString("Primera"), QString("Segunda")}) {
            escribirLinea(w, a, "01/06/2027", "Ana", "10");
            boton(w, "BAñadir")->click();
        }
        // Un plan de otro centro no se toca.
        const long long otro = datos::centro(cx, datos::empresa(cx, "Otra"), "Plaza Ajena 3");
        const long long planAjeno =
            datos::insertar(cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro) VALUES (?)", {otro});
        datos::insertar(
            cx, "INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva) VALUES (?, 'Ajena')",
            {planAjeno});

        plataforma->responder(Respuesta::No);
        imagen(w, "ECentro")->click();
        QCOMPARE(ultimo().texto,
                 QString("¿Esta seguro de querer Eliminar la Actuacion preventiva? Este proceso es irreversible."));
        QCOMPARE(ultimo().titulo, QString("Eliminar"));
        QCOMPARE(ultimo().icono, Icono::Critico);
        QCOMPARE(ultimo().predeterminada, Respuesta::No);
        QCOMPARE(registro->ventana(Ventana::ActuacionPreventiva), w);
        QCOMPARE(lineasDelCentro(), 2LL);

        plataforma->responder(Respuesta::Si);
        imagen(w, "ECentro")->click();
        QVERIFY(!registro->ventana(Ventana::ActuacionPreventiva));
        QCOMPARE(contar("SELECT count(*) FROM \"ActuaciónPreventiva\" WHERE IDActuacion = ?", {plan}), 0LL);
        // Las líneas se van con la cabecera.
        QCOMPARE(contar("SELECT count(*) FROM \"ActuaciónPreventivaRegistro\" WHERE IDActuacion = ?", {plan}), 0LL);
        QCOMPARE(contar("SELECT count(*) FROM \"ActuaciónPreventivaRegistro\" WHERE IDActuacion = ?", {planAjeno}),
                 1LL);

        // Abrir otra vez empieza un plan nuevo y vacío.
        w = abrir();
        QVERIFY(w->idActuacion() > 0);
        QVERIFY(w->idActuacion() != plan);
        QCOMPARE(contar("SELECT count(*) FROM \"ActuaciónPreventiva\" WHERE IDCentro = ?", {centro}), 1LL);
        QVERIFY(caja(w, "strNombre")->text().isEmpty());
        QCOMPARE(w->lineas()->rowCount(), 0);
        QVERIFY(!boton(w, "BCancelar")->isEnabled());
    }

    void elSelectorCopiaLaAccionYSeOculta()
    {
        ActuacionPreventiva* w = abrir();
        escribirLinea(w, "Texto escrito a mano", "01/06/2027", "Ana", "300");
        boton(w, "SSCommand1")->click();
        auto* selector = qobject_cast<AccionPreventiva*>(registro->ventana(Ventana::AccionPreventiva));
        QVERIFY(selector);
        QVERIFY(visible(selector));
        QCOMPARE(selector->windowTitle(), QString("Acciones"));
        QCOMPARE(boton(selector, "BAñadir")->text(), QString("Añadir"));
        QCOMPARE(boton(selector, "BCancelar")->text(), QString("Cancelar"));
        Grid* g = hijo<Grid>(selector, "GActuaciónPreventivaRegistro");
        QCOMPARE(g->columnCount(), 1);
        QCOMPARE(g->columns()[0].caption, QString("Accion Preventiva"));
        DataSource* ds = selector->catalogo();
        ds->fetchAll();
        QCOMPARE(ds->rowCount(), int(contar("SELECT count(*) FROM Actuaciones")));
        QVERIFY(ds->rowCount() > 3);
        const QString tercera =
            valor("SELECT Actuacion FROM Actuaciones ORDER BY IDActuaciones LIMIT 1 OFFSET 2").toString();

        // Por el botón: se cambia el texto de la acción y nada más.
        g->setCurrentRow(2);
        boton(selector, "BAñadir")->click();
        QCOMPARE(caja(w, "strAccion")->text(), tercera);
        QCOMPARE(fecha(w, "dteFechaLimite")->date(), QDate(2027, 6, 1));
        QCOMPARE(caja(w, "strResponsable")->text(), QString("Ana"));
        QCOMPARE(caja(w, "strPresupuesto")->text(), QString("300"));
        QVERIFY(!visible(selector));
        QVERIFY(visible(w));
        QVERIFY(plataforma->mensajes.empty());

        // Se vuelve a enseñar el mismo, sin leer otra vez: Cancelar no copia nada.
        caja(w, "strAccion")->setText("Otra a mano");
        boton(w, "SSCommand1")->click();
        QCOMPARE(registro->ventana(Ventana::AccionPreventiva), selector);
        QVERIFY(visible(selector));
        QCOMPARE(ds->currentRow(), 2);
        boton(selector, "BCancelar")->click();
        QVERIFY(!visible(selector));
        QCOMPARE(caja(w, "strAccion")->text(), QString("Otra a mano"));

        // Con doble clic, la fila pulsada.
        boton(w, "SSCommand1")->click();
        QTableView* tabla = g->tableView();
        const QRect celda = tabla->visualRect(ds->index(0, 0));
        QTest::mouseClick(tabla->viewport(), Qt::LeftButton, {}, celda.center());
        QTest::mouseDClick(tabla->viewport(), Qt::LeftButton, {}, celda.center());
        QCOMPARE(caja(w, "strAccion")->text(),
                 valor("SELECT Actuacion FROM Actuaciones ORDER BY IDActuaciones").toString());
        QVERIFY(!visible(selector));

        // Cerrarlo con el marco sólo lo oculta: sigue cargado.
        boton(w, "SSCommand1")->click();
        selector->parentWidget()->close();
        QVERIFY(!visible(selector));
        QCOMPARE(registro->ventana(Ventana::AccionPreventiva), selector);

        // La nota de la celda lleva el texto entero.
        CellTip tip;
        g->setCurrentRow(2);
        emit g->cellTipRequested(0, 0, 2, &tip);
        QCOMPARE(tip.text, "Actuación: " + tercera);
        QCOMPARE(tip.fontSize, 11);
        QVERIFY(tip.bold);
        QCOMPARE(g->tipWidth(), 10000);
        QCOMPARE(g->tipDelay(), 200);
    }

    // Buscar en el catálogo: lo escrito sin acentos deja las acciones que lo tienen, y el doble clic
    // en la primera que se ve copia esa, no la que era primera sin buscar.
    void buscarEnElCatalogoYElegirLaQueSeVe()
    {
        ActuacionPreventiva* w = abrir();
        boton(w, "SSCommand1")->click();
        auto* selector = qobject_cast<AccionPreventiva*>(registro->ventana(Ventana::AccionPreventiva));
        QVERIFY(selector);
        Grid* g = hijo<Grid>(selector, "GActuaciónPreventivaRegistro");
        DataSource* ds = selector->catalogo();
        ds->fetchAll();
        const int todas = ds->rowCount();
        QLineEdit* buscar = caja(selector, "txtBuscarAccion");
        QTest::keyClicks(buscar, "CAMARAS frigorificas");
        QVERIFY(g->shownRowCount() > 0);
        QVERIFY(g->shownRowCount() < todas);
        int primera = -1;
        for (int f = 0; f < ds->rowCount() && primera < 0; ++f)
            if (g->rowMatchesFilter(f))
                primera = f;
        QVERIFY(primera > 0);
        const QString buscada = ds->fieldValue(primera, "Actuacion").toString();
        QVERIFY2(buscada.contains(QString::fromUtf8("cámaras frigoríficas"), Qt::CaseInsensitive), qPrintable(buscada));

        QTableView* tabla = g->tableView();
        const QRect celda = tabla->visualRect(ds->index(primera, 0));
        QTest::mouseClick(tabla->viewport(), Qt::LeftButton, {}, celda.center());
        QTest::mouseDClick(tabla->viewport(), Qt::LeftButton, {}, celda.center());
        QCOMPARE(caja(w, "strAccion")->text(), buscada);

        boton(w, "SSCommand1")->click();
        QTest::keyClick(buscar, Qt::Key_Escape);
        QCOMPARE(g->shownRowCount(), todas);
    }

    void elTextoCorregidoEnElCatalogoValeParaLosPlanesSiguientes()
    {
        ActuacionPreventiva* w = abrir();
        boton(w, "SSCommand1")->click();
        auto* selector = qobject_cast<AccionPreventiva*>(registro->ventana(Ventana::AccionPreventiva));
        DataSource* ds = selector->catalogo();
        const QVariant id = ds->fieldValue(0, "IDActuaciones");
        const QString corregido = "Revisar los extintores cada tres meses (texto de la asesoría)";
        QVERIFY(ds->setData(ds->index(0, 0), corregido));
        QCOMPARE(valor("SELECT Actuacion FROM Actuaciones WHERE IDActuaciones = ?", {id}).toString(), corregido);
        selector->cuadricula()->setCurrentRow(0);
        selector->elegir();
        QCOMPARE(caja(w, "strAccion")->text(), corregido);

        // Otro centro, otro día: un selector recién cargado trae el texto corregido.
        registro->descargar(Ventana::AccionPreventiva);
        const long long otro = datos::centro(cx, datos::empresa(cx, "Otra"), "Plaza Nueva 1");
        sesion.idCentro = long(otro);
        w = abrir();
        boton(w, "SSCommand1")->click();
        selector = qobject_cast<AccionPreventiva*>(registro->ventana(Ventana::AccionPreventiva));
        QCOMPARE(selector->catalogo()->index(0, 0).data().toString(), corregido);
        selector->elegir();
        fecha(w, "dteFechaLimite")->setText("01/01/2028");
        caja(w, "strResponsable")->setText("Ana");
        boton(w, "BAñadir")->click();
        QCOMPARE(
            valor("SELECT r.AccionPreventiva FROM \"ActuaciónPreventivaRegistro\" r JOIN \"ActuaciónPreventiva\" a "
                  "ON a.IDActuacion = r.IDActuacion WHERE a.IDCentro = ?",
                  {otro})
                .toString(),
            corregido);
    }

    void conElCatalogoVacioElegirNoHaceNadaYLoDice()
    {
        Recordset::execute("DELETE FROM Actuaciones", cx);
        ActuacionPreventiva* w = abrir();
        caja(w, "strAccion")->setText("Lo que ya había");
        boton(w, "SSCommand1")->click();
        auto* selector = qobject_cast<AccionPreventiva*>(registro->ventana(Ventana::AccionPreventiva));
        QCOMPARE(selector->catalogo()->rowCount(), 0);
        boton(selector, "BAñadir")->click();
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QVERIFY(ultimo().texto.contains("catálogo de acciones preventivas está vacío"));
        QCOMPARE(ultimo().titulo, QString("Acciones"));
        QCOMPARE(caja(w, "strAccion")->text(), QString("Lo que ya había"));
        QVERIFY(visible(selector));
        boton(selector, "BCancelar")->click();
        QVERIFY(!visible(selector));
    }
};

QTEST_MAIN(PruebaActuacionPreventiva)
#include "test_actuacion_preventiva.moc"
