// Los paneles INS, NUM y CAPS de la ventana principal: el estado de verdad de cada tecla donde el
// sistema lo dice (X11, por XKB) y vacíos donde no (sin pantalla). Una misma prueba corre de las
// dos formas; cada caso se salta en la plataforma que no es la suya.
#include "PlataformaPrueba.h"
#include "shell/Entrada.h"
#include "shell/Rutinas.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QtGui/qguiapplication_platform.h>
#include <QtTest>

#if defined(EVALUACION_CON_XKB)
#include <X11/XKBlib.h>
#include <X11/keysym.h>
#endif

class PruebaTeclasEstado : public QObject
{
    Q_OBJECT

    QTemporaryDir carpeta_;

    static QLabel* panel(Entrada& e, const char* nombre) { return e.findChild<QLabel*>(QString::fromLatin1(nombre)); }

private slots:
    void init() { FijarCarpetaPrograma(carpeta_.path()); }
    void cleanup() { FijarCarpetaPrograma({}); }

    void sinSistemaQueLoDigaLosPanelesQuedanVacios()
    {
        if (QGuiApplication::platformName() != QLatin1String("offscreen"))
            QSKIP("sólo sin pantalla");
        PlataformaPrueba plataforma;
        Entrada e;
        e.show();
        QVERIFY(QTest::qWaitForWindowExposed(&e));
        for (Qt::Key tecla : {Qt::Key_CapsLock, Qt::Key_NumLock, Qt::Key_Insert})
            QTest::keyClick(&e, tecla);
        QTest::qWait(600); // más que el periodo con que se vuelven a leer
        for (const char* n : {"Barra2Insertar", "Barra2Numeros", "Barra2Mayusculas"}) {
            QLabel* p = panel(e, n);
            QVERIFY(p);
            // Vacío, pero con su hueco en la barra.
            QVERIFY2(p->text().isEmpty() && p->isVisible() && p->width() > 0, n);
        }
        // En la barra, en el orden de siempre.
        int izquierda = -1;
        for (const char* n :
             {"Barra2Hora", "Barra2Fecha", "Barra2Insertar", "Barra2Numeros", "Barra2Mayusculas", "Barra2Correo"}) {
            QVERIFY2(panel(e, n)->x() > izquierda, n);
            izquierda = panel(e, n)->x();
        }
    }

    void conX11CadaPanelSigueASuTecla()
    {
#if defined(EVALUACION_CON_XKB)
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("sólo con un servidor X");
        Display* x = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->display();
        QVERIFY(x);
        const unsigned numeros = XkbKeysymToModifiers(x, XK_Num_Lock);
        QVERIFY(numeros != 0);
        const auto bloquear = [x](unsigned mascara, bool activa) {
            XkbLockModifiers(x, XkbUseCoreKbd, mascara, activa ? mascara : 0);
            XSync(x, False);
        };
        bloquear(LockMask | numeros, false);

        PlataformaPrueba plataforma;
        Entrada e;
        e.show();
        QVERIFY(QTest::qWaitForWindowExposed(&e));
        QLabel* ins = panel(e, "Barra2Insertar");
        QLabel* num = panel(e, "Barra2Numeros");
        QLabel* caps = panel(e, "Barra2Mayusculas");
        QVERIFY(ins && num && caps);
        QTRY_COMPARE(caps->text(), QString());
        QCOMPARE(num->text(), QString());

        bloquear(LockMask, true);
        QTRY_COMPARE(caps->text(), QStringLiteral("CAPS"));
        QCOMPARE(num->text(), QString());
        QCOMPARE(QAccessible::queryAccessibleInterface(caps)->text(QAccessible::Name), QStringLiteral("CAPS"));
        bloquear(numeros, true);
        QTRY_COMPARE(num->text(), QStringLiteral("NUM"));
        bloquear(LockMask | numeros, false);
        QTRY_COMPARE(caps->text(), QString());
        QTRY_COMPARE(num->text(), QString());
        // X11 no lleva cuenta de Insert: su panel nunca dice nada.
        QCOMPARE(ins->text(), QString());
#else
        QSKIP("programa construido sin XKB");
#endif
    }
};

QTEST_MAIN(PruebaTeclasEstado)
#include "test_teclas_estado.moc"
