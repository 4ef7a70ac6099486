#include "PlataformaPrueba.h"
#include "shell/Entrada.h"
#include "shell/Presentation.h"
#include "shell/Presentation2.h"
#include "shell/Rutinas.h"

#include <QApplication>
#include <QLabel>
#include <QLockFile>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {
// Ventanas de primer nivel visibles con ese nombre de objeto.
QList<QWidget*> visibles(const QString& nombre)
{
    QList<QWidget*> encontradas;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == nombre && w->isVisible())
            encontradas << w;
    return encontradas;
}

int cuantas(const QString& nombre)
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += w->objectName() == nombre ? 1 : 0;
    return n;
}

QWidget* unica(const QString& nombre)
{
    const QList<QWidget*> v = visibles(nombre);
    return v.size() == 1 ? v.first() : nullptr;
}

// Clic como el del usuario: pulsar y soltar sobre el control, en su centro o en un punto dado.
void pulsar(QWidget* w, QPoint punto = QPoint())
{
    QTest::mouseClick(w, Qt::LeftButton, {}, punto.isNull() ? w->rect().center() : punto);
}
} // namespace

class PruebaPresentacion : public QObject
{
    Q_OBJECT

    QTemporaryDir carpeta_;

private slots:
    void init() { FijarCarpetaPrograma(carpeta_.path()); }
    void cleanup()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName().startsWith(QLatin1String("Presentation")) || w->objectName() == "Entrada")
                delete w;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        FijarCarpetaPrograma({});
    }

    void laPrimeraSeMuestraCentradaConSusTextosYLogos()
    {
        PlataformaPrueba plataforma;
        auto* p = new Presentation;
        QVERIFY(p->isVisible());
        QVERIFY(p->testAttribute(Qt::WA_DeleteOnClose));
        // Reloj de arena mientras carga, y de vuelta al puntero normal.
        QCOMPARE(plataforma.relojes, (std::vector<bool>{true, false}));
        const QRect pantalla = p->screen()->geometry();
        QVERIFY(qAbs(p->frameGeometry().center().x() - pantalla.center().x()) <= 1);
        QVERIFY(qAbs(p->frameGeometry().center().y() - pantalla.center().y()) <= 1);

        auto* timer = p->findChild<QTimer*>("Timer1");
        QVERIFY(timer);
        QCOMPARE(timer->interval(), 10000);
        QVERIFY(timer->isActive());

        auto* Label1 = p->findChild<QLabel*>("Label1");
        QVERIFY(Label1);
        QCOMPARE(Label1->text(), Label1->text().toUpper());
        QVERIFY(Label1->text().contains(QStringLiteral("EVALUACIÓN DE RIESGOS")));
        QVERIFY(p->findChild<QLabel*>("Label2")->text().contains(QStringLiteral("no se hace responsable")));
        QVERIFY(p->findChild<QLabel*>("Label3")->text().contains(QStringLiteral("página web")));

        QCOMPARE(p->findChild<QWidget*>("Image1")->parentWidget()->objectName(), QStringLiteral("SSPanel1"));
        for (const char* nombre : {"Image4", "Image5", "Image6", "Image2"}) {
            auto* imagen = p->findChild<QLabel*>(nombre);
            QVERIFY2(imagen, nombre);
            QCOMPARE(imagen->parentWidget()->objectName(), QStringLiteral("SSPanel2"));
            QVERIFY(!imagen->pixmap().isNull());
        }
        QCOMPARE(cuantas("Presentation2"), 0);
    }

    void laSegundaTieneElObjetivoYSuPropioTemporizador()
    {
        PlataformaPrueba plataforma;
        auto* p = new Presentation2;
        QVERIFY(p->isVisible());
        QCOMPARE(plataforma.relojes, (std::vector<bool>{true, false}));
        QCOMPARE(p->findChild<QTimer*>("Timer1")->interval(), 10000);
        QVERIFY(p->findChild<QTimer*>("Timer1")->isActive());
        QVERIFY(p->findChild<QLabel*>("Label3")->text().contains(QStringLiteral("planificación de la actividad")));
        QVERIFY(p->findChild<QLabel*>("Label4")->text().contains(QStringLiteral("imprime")));
        for (const char* nombre : {"Image1", "Image2", "Image6", "Image5", "Image4"})
            QVERIFY2(!p->findChild<QLabel*>(nombre)->pixmap().isNull(), nombre);
        QCOMPARE(cuantas("Entrada"), 0);
    }

    // El clic en la ventana o en las etiquetas del título y de la difusión salta a la segunda,
    // que espera entonces sus diez segundos enteros.
    void clicQueSaltaALaSegunda_data()
    {
        QTest::addColumn<QString>("control");
        QTest::newRow("fondo de la ventana") << QString();
        QTest::newRow("Label1") << QStringLiteral("Label1");
        QTest::newRow("Label3") << QStringLiteral("Label3");
    }
    void clicQueSaltaALaSegunda()
    {
        QFETCH(QString, control);
        PlataformaPrueba plataforma;
        QPointer<Presentation> p = new Presentation;
        QWidget* destino = control.isEmpty() ? p.data() : p->findChild<QWidget*>(control);
        // El margen de la ventana es fondo: ningún control lo tapa.
        pulsar(destino, control.isEmpty() ? QPoint(5, 5) : QPoint());
        QWidget* segunda = unica("Presentation2");
        QVERIFY(segunda);
        // Se cierra y su temporizador ya no puede volver a dar el paso.
        QVERIFY(p.isNull() || (!p->isVisible() && !p->findChild<QTimer*>("Timer1")->isActive()));
        QTRY_VERIFY(p.isNull());
        QCOMPARE(cuantas("Presentation2"), 1);
        auto* timer = segunda->findChild<QTimer*>("Timer1");
        QVERIFY(timer->isActive());
        QVERIFY(timer->remainingTime() > 9000);
        QCOMPARE(cuantas("Entrada"), 0);
    }

    void clicQueNoHaceNadaEnLaPrimera_data()
    {
        QTest::addColumn<QString>("control");
        QTest::newRow("Label2, los créditos") << QStringLiteral("Label2");
        QTest::newRow("logotipo del panel") << QStringLiteral("Image5");
        QTest::newRow("panel de logotipos") << QStringLiteral("SSPanel2");
    }
    void clicQueNoHaceNadaEnLaPrimera()
    {
        QFETCH(QString, control);
        PlataformaPrueba plataforma;
        QPointer<Presentation> p = new Presentation;
        pulsar(p->findChild<QWidget*>(control));
        QCoreApplication::processEvents();
        QVERIFY(!p.isNull());
        QVERIFY(p->isVisible());
        QVERIFY(p->findChild<QTimer*>("Timer1")->isActive());
        QCOMPARE(cuantas("Presentation2"), 0);
    }

    void clicEnLaSegundaAbreEntrada_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("abre");
        QTest::newRow("fondo de la ventana") << QString() << true;
        QTest::newRow("Label3") << QStringLiteral("Label3") << true;
        QTest::newRow("Label4 no") << QStringLiteral("Label4") << false;
    }
    void clicEnLaSegundaAbreEntrada()
    {
        QFETCH(QString, control);
        QFETCH(bool, abre);
        PlataformaPrueba plataforma;
        QPointer<Presentation2> p = new Presentation2;
        pulsar(control.isEmpty() ? p.data() : p->findChild<QWidget*>(control),
               control.isEmpty() ? QPoint(5, 5) : QPoint());
        if (!abre) {
            QCoreApplication::processEvents();
            QVERIFY(!p.isNull() && p->isVisible());
            QCOMPARE(cuantas("Entrada"), 0);
            return;
        }
        auto* entrada = qobject_cast<Entrada*>(unica("Entrada"));
        QVERIFY(entrada);
        // Entrada ha hecho su carga al mostrarse: título y texto de conexión.
        QCOMPARE(entrada->windowTitle(), QStringLiteral("Evaluación de Riesgos"));
        QVERIFY(entrada->sesion().conexion.contains(QStringLiteral("Evaluacion.mdb")));
        QTRY_VERIFY(p.isNull());
    }

    // Sin ningún clic: la primera da paso a la segunda, y la segunda a Entrada, cada una al
    // cumplirse su intervalo, y cada paso una sola vez.
    void sinClicLosTemporizadoresLlevanAEntrada()
    {
        PlataformaPrueba plataforma;
        QPointer<Presentation> p = new Presentation(60);
        QCOMPARE(p->intervalo(), 60);
        QCOMPARE(cuantas("Presentation2"), 0);
        QTRY_VERIFY(unica("Presentation2"));
        auto* segunda = static_cast<Presentation2*>(unica("Presentation2"));
        QCOMPARE(segunda->intervalo(), 60);
        QCOMPARE(cuantas("Entrada"), 0);
        QTRY_VERIFY(unica("Entrada"));
        QTRY_VERIFY(p.isNull());
        QTRY_COMPARE(cuantas("Presentation2"), 0);
        QTest::qWait(150);
        QCOMPARE(cuantas("Entrada"), 1);
    }

    // Si ya hay otra copia en marcha, la carga de Entrada que sigue a la segunda presentación
    // avisa y termina el programa allí mismo.
    void otraCopiaEnMarchaTerminaAlMostrarEntrada()
    {
        PlataformaPrueba plataforma;
        auto otra = TomarBloqueoInstancia(CarpetaPrograma());
        QVERIFY(otra);
        auto* p = new Presentation2;
        pulsar(p, QPoint(5, 5));
        QCOMPARE(plataforma.pitidos, 1);
        QCOMPARE(plataforma.mensajes.size(), size_t(1));
        QCOMPARE(plataforma.mensajes[0].texto, QStringLiteral("La Aplicación ya se encuentra en Ejecución"));
        QCOMPARE(plataforma.terminado, 1);
    }
};

QTEST_MAIN(PruebaPresentacion)
#include "test_presentacion.moc"
