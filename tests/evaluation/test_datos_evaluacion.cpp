// Fecha, motivo, versión y próxima revisión de la evaluación en su página de inicio, escritos con
// el teclado como el usuario; y la fecha que toma la evaluación al terminar el último paso.
#include "Datos.h"
#include "EntornoAsistente.h"
#include "PlataformaPrueba.h"
#include "evaluation/InicioEvaluacion.h"
#include "evaluation/SeleccionaMedidas.h"
#include "plataforma/Reloj.h"
#include "shell/DateBox.h"
#include "shell/RegistroVentanas.h"
#include "store/Recordset.h"
#include "store/VersionEvaluacion.h"

#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>
#include <QtTest>

using datos::contar;

class PruebaDatosEvaluacion : public QObject, private EntornoAsistente
{
    Q_OBJECT

    InicioEvaluacion* abrirInicio()
    {
        registro->abrirNueva(Ventana::InicioEvaluacion);
        auto* w = qobject_cast<InicioEvaluacion*>(registro->ventana(Ventana::InicioEvaluacion));
        if (w)
            QTest::qWaitForWindowExposed(w);
        return w;
    }
    static DateBox* fecha(QWidget* w) { return w->findChild<DateBox*>("dteFechaEvaluacion"); }
    static DateBox* revision(QWidget* w) { return w->findChild<DateBox*>("dteFechaRevision"); }
    static QComboBox* motivo(QWidget* w) { return w->findChild<QComboBox*>("cmbMotivo"); }
    static QLineEdit* version(QWidget* w) { return w->findChild<QLineEdit*>("strVersion"); }
    // Borra lo que hay en la caja, escribe y pulsa Intro.
    static void escribirFecha(DateBox* caja, const QString& texto)
    {
        caja->lineEdit()->setFocus();
        QTest::keyClick(caja->lineEdit(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(caja->lineEdit(), Qt::Key_Delete);
        QTest::keyClicks(caja->lineEdit(), texto);
        QTest::keyClick(caja->lineEdit(), Qt::Key_Return);
    }
    // "fecha|motivo|revisión" tal como está guardado, fechas en ISO y nulo como vacío.
    QString guardado()
    {
        Recordset rs;
        rs.open("select FechaEvaluacion, MotivoEvaluacion, FechaRevision from CentroTrabajo where IDCentro = ?", cx,
                {centro});
        const auto dia = [](const QVariant& v) { return v.toDate().toString(Qt::ISODate); };
        return dia(rs.value(0)) + "|" + rs.value(1).toString() + "|" + dia(rs.value(2));
    }

private slots:
    void init()
    {
        preparar();
        registrarVentana<InicioEvaluacion>(Ventana::InicioEvaluacion);
        registrarVentana<SeleccionaMedidas>(Ventana::SeleccionaMedidas);
        sustituir(Ventana::ImprimirEvaluacion);
        FijarHoy(QDate(2026, 3, 16));
    }
    void cleanup()
    {
        FijarHoy(QDate());
        liberar();
    }

    void losDatosSeGuardanAlCambiarYSeVenAlVolver()
    {
        InicioEvaluacion* w = abrirInicio();
        QVERIFY(fecha(w) && revision(w) && motivo(w) && version(w));
        QCOMPARE(fecha(w)->text(), QString());
        QCOMPARE(version(w)->text(), QString("sin emitir"));
        QVERIFY(version(w)->isReadOnly());
        QCOMPARE(motivo(w)->count(), MotivosEvaluacion().size());

        // La fecha con su revisión por defecto, un año después.
        escribirFecha(fecha(w), "2/3/2026");
        QCOMPARE(guardado(), QString("2026-03-02||2027-03-02"));
        QCOMPARE(revision(w)->text(), QString("02/03/2027"));
        // La revisión sigue a la fecha mientras es la de por defecto...
        escribirFecha(fecha(w), "10/03/2026");
        QCOMPARE(guardado(), QString("2026-03-10||2027-03-10"));
        // ...y deja de seguirla cuando el usuario pone otra.
        escribirFecha(revision(w), "01/09/2026");
        escribirFecha(fecha(w), "11/03/2026");
        QCOMPARE(guardado(), QString("2026-03-11||2026-09-01"));

        // El motivo, elegido con las flechas en la lista.
        motivo(w)->setFocus();
        QTest::keyClick(motivo(w), Qt::Key_Down);
        QTest::keyClick(motivo(w), Qt::Key_Down);
        QCOMPARE(guardado(), "2026-03-11|" + MotivosEvaluacion().at(1) + "|2026-09-01");

        // Se vuelve a abrir: lo guardado.
        w = abrirInicio();
        QCOMPARE(fecha(w)->text(), QString("11/03/2026"));
        QCOMPARE(revision(w)->text(), QString("01/09/2026"));
        QCOMPARE(motivo(w)->currentText(), MotivosEvaluacion().at(1));

        // La versión que enseña es la última emitida.
        datos::insertar(cx,
                        "insert into VersionesEvaluacion (IDCentro, Version, FechaEvaluacion, Motivo) "
                        "values (?, 2, '2026-03-11', 'Periódica')",
                        {centro});
        Recordset::execute("update CentroTrabajo set VersionEvaluacion = 2 where IDCentro = ?", cx, {centro});
        w->Colocar();
        QCOMPARE(version(w)->text(), QString("2 de 11/03/2026"));
        QVERIFY(plataforma->mensajes.empty());
    }

    void unaFechaImposibleNoSeGuarda()
    {
        Recordset::execute("update CentroTrabajo set FechaEvaluacion = '2026-03-02', FechaRevision = '2027-03-02' "
                           "where IDCentro = ?",
                           cx, {centro});
        InicioEvaluacion* w = abrirInicio();
        QCOMPARE(fecha(w)->text(), QString("02/03/2026"));
        escribirFecha(fecha(w), "30/02/2026");
        QCOMPARE(guardado(), QString("2026-03-02||2027-03-02"));
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QVERIFY(plataforma->mensajes[0].texto.contains("no es una fecha válida"));
        QVERIFY(plataforma->mensajes[0].texto.contains("Fecha de la evaluación"));
        QCOMPARE(plataforma->mensajes[0].icono, PlataformaServicios::Icono::Critico);
        // Salir de la caja con lo mismo escrito no vuelve a avisar ni escribe nada.
        motivo(w)->setFocus();
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        escribirFecha(revision(w), "2026-13-01");
        QCOMPARE(guardado(), QString("2026-03-02||2027-03-02"));
        QCOMPARE(plataforma->mensajes.size(), size_t(2));
        QVERIFY(plataforma->mensajes[1].texto.contains("Próxima revisión"));

        // Vaciar la fecha es quitarla, con su revisión por defecto.
        escribirFecha(fecha(w), "");
        QCOMPARE(guardado(), QString("||"));
    }

    void alTerminarElAsistenteLaEvaluacionTomaLaFechaDelDia()
    {
        const long long puesto = nuevoPuesto("Cajera");
        marcar(puesto, 6);
        sesion.puestoActual = VentanaAsistente::TextoPuesto(puesto, "Cajera");
        registro->abrirNueva(Ventana::SeleccionaMedidas);
        QWidget* w = registro->ventana(Ventana::SeleccionaMedidas);
        auto* seguir = w->findChild<QToolButton*>("Picture2");

        // Sin medidas no se termina: ni fecha ni revisión.
        Recordset::execute("update MedidasFactores set MarcarMedida = 'N'", cx);
        QTest::mouseClick(seguir, Qt::LeftButton);
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QCOMPARE(guardado(), QString("||"));

        Recordset::execute("update MedidasFactores set MarcarMedida = 'S'", cx);
        QTest::mouseClick(seguir, Qt::LeftButton);
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QCOMPARE(guardado(), QString("2026-03-16||2027-03-16"));
        QVERIFY(registro->ventana(Ventana::ImprimirEvaluacion));
        // El inicio enseña la fecha que ha quedado.
        QCOMPARE(fecha(abrirInicio())->text(), QString("16/03/2026"));
    }
};

QTEST_MAIN(PruebaDatosEvaluacion)
#include "test_datos_evaluacion.moc"
