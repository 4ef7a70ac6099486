// La caja de fecha: vacía es "sin fecha", lo escrito se lee a la española y lo imposible se
// señala con su motivo sin tomarse nunca por una fecha.
#include "shell/DateBox.h"

#include <QCalendarWidget>
#include <QLineEdit>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

class PruebaCajaFecha : public QObject
{
    Q_OBJECT

private slots:
    void seLeenLasFormasDeEscribirUnaFecha_data()
    {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QDate>("fecha");
        QTest::newRow("barras") << "08/12/2026" << QDate(2026, 12, 8);
        QTest::newRow("sin ceros") << "8/2/2026" << QDate(2026, 2, 8);
        QTest::newRow("guiones y año corto") << "08-12-26" << QDate(2026, 12, 8);
        QTest::newRow("año corto del siglo pasado") << "1.3.95" << QDate(1995, 3, 1);
        QTest::newRow("seguida") << "29022024" << QDate(2024, 2, 29);
        QTest::newRow("iso") << "2026-12-08" << QDate(2026, 12, 8);
        QTest::newRow("con blancos") << "  08 / 12 / 2026 " << QDate(2026, 12, 8);
    }
    void seLeenLasFormasDeEscribirUnaFecha()
    {
        QFETCH(QString, texto);
        QFETCH(QDate, fecha);
        DateBox caja;
        caja.setText(texto);
        QCOMPARE(caja.date(), fecha);
        QCOMPARE(caja.value(), QVariant(fecha));
        QVERIFY(caja.isValid());
        QVERIFY(!caja.isEmpty());
        QVERIFY(caja.problem().isEmpty());
        // Al terminar de escribir se enseña siempre igual.
        emit caja.lineEdit()->editingFinished();
        QCOMPARE(caja.text(), fecha.toString("dd/MM/yyyy"));
    }

    void loImposibleSeSenalaConSuMotivo_data()
    {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QString>("motivo");
        QTest::newRow("31 de febrero") << "31/02/2025"
                                       << "febrero de 2025 sólo tiene 28 días";
        QTest::newRow("29 de febrero no bisiesto") << "29/02/2100"
                                                   << "febrero de 2100 sólo tiene 28 días";
        QTest::newRow("31 de abril") << "31/04/2026"
                                     << "abril de 2026 sólo tiene 30 días";
        QTest::newRow("mes 13") << "10/13/2026"
                                << "no existe el mes 13";
        QTest::newRow("día 0") << "00/05/2026"
                               << "no existe el día 0";
        QTest::newRow("letras") << "mañana"
                                << "no tiene la forma día/mes/año";
        QTest::newRow("a medias") << "12/05"
                                  << "no tiene la forma día/mes/año";
        QTest::newRow("año de tres cifras") << "12/05/202"
                                            << "dos o cuatro cifras";
        QTest::newRow("año antiguo") << "12/05/1492"
                                     << "de 1900 en adelante";
    }
    void loImposibleSeSenalaConSuMotivo()
    {
        QFETCH(QString, texto);
        QFETCH(QString, motivo);
        DateBox caja;
        caja.setText(texto);
        QVERIFY(!caja.isEmpty()); // hay algo escrito: no es "sin fecha"...
        QVERIFY(!caja.isValid()); // ...pero tampoco una fecha
        QVERIFY(caja.value().isNull());
        QVERIFY2(caja.problem().contains(motivo), qPrintable(caja.problem()));
        QVERIFY(caja.problem().contains("«" + texto.trimmed() + "»"));
        QVERIFY(caja.problem().contains("día/mes/año"));

        // Al salir queda lo escrito, señalado, para corregirlo; al volver a escribir deja de estarlo.
        emit caja.lineEdit()->editingFinished();
        QCOMPARE(caja.text(), texto);
        QCOMPARE(caja.lineEdit()->property("fechaValida"), QVariant(false));
        QCOMPARE(caja.lineEdit()->toolTip(), caja.problem());
        caja.lineEdit()->setText("1/1/2027");
        QVERIFY(!caja.lineEdit()->property("fechaValida").isValid());
        QVERIFY(caja.lineEdit()->toolTip().isEmpty());
    }

    void vaciaEsSinFechaYElValorVaYViene()
    {
        DateBox caja;
        QVERIFY(caja.isEmpty());
        QVERIFY(caja.isValid());
        QVERIFY(caja.value().isNull());
        caja.setText("   ");
        QVERIFY(caja.isEmpty());

        QSignalSpy cambios(&caja, &DateBox::valueChanged);
        caja.setValue(QDate(2025, 1, 10));
        QCOMPARE(caja.text(), QString("10/01/2025"));
        QCOMPARE(cambios.count(), 1);
        caja.setValue(QDateTime(QDate(2025, 3, 4), QTime(10, 30)));
        QCOMPARE(caja.date(), QDate(2025, 3, 4));
        caja.setValue(QVariant()); // un nulo de la base de datos
        QVERIFY(caja.isEmpty());
        QCOMPARE(cambios.count(), 3);
        caja.setValue(QString());
        QVERIFY(caja.isEmpty());
        caja.setValue(QDate(2025, 1, 10));
        caja.clear();
        QVERIFY(caja.isEmpty());
        QVERIFY(caja.value().isNull());
    }

    void elCalendarioPoneLaFechaElegida()
    {
        QWidget ventana;
        auto* caja = new DateBox(&ventana);
        ventana.show();
        QSignalSpy fin(caja, &DateBox::editingFinished);
        // Sin fecha, el calendario se abre en el día de hoy.
        caja->calendarButton()->click();
        QVERIFY(caja->calendar()->isVisible());
        QCOMPARE(caja->calendar()->selectedDate(), QDate::currentDate());
        emit caja->calendar()->clicked(QDate(2026, 6, 30));
        QVERIFY(!caja->calendar()->isVisible());
        QCOMPARE(caja->value(), QVariant(QDate(2026, 6, 30)));
        QCOMPARE(caja->text(), QString("30/06/2026"));
        QCOMPARE(fin.count(), 1);

        // Con fecha, se abre en ella; F4 también lo despliega y Escape lo cierra sin tocar nada.
        QTest::keyClick(caja->lineEdit(), Qt::Key_F4);
        QVERIFY(caja->calendar()->isVisible());
        QCOMPARE(caja->calendar()->selectedDate(), QDate(2026, 6, 30));
        QTest::keyClick(caja->calendar(), Qt::Key_Escape);
        QVERIFY(!caja->calendar()->isVisible());
        QCOMPARE(caja->date(), QDate(2026, 6, 30));
    }
};

QTEST_MAIN(PruebaCajaFecha)
#include "test_caja_fecha.moc"
