// Ventana de Reparar: el reloj, los dos botones y el cierre.
#include "ArchivosReparar.h"
#include "CopiaPrograma.h"
#include "ServiciosRepararPrueba.h"
#include "plataforma/CarpetaPrograma.h"
#include "plataforma/InstanciaPrograma.h"
#include "plataforma/OrigenGuardado.h"
#include "repair/Reparar.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLockFile>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

class PruebaVentanaReparar : public QObject
{
    Q_OBJECT

private:
    // Cifra que enseña cada posición, según el dibujo de Image1 que tiene puesto.
    static QString reloj(Reparar& v)
    {
        QString cifras;
        for (const char* nombre : {"UNO", "DOS", "TRES", "CUATRO"}) {
            const qint64 puesto = v.findChild<QLabel*>(nombre)->pixmap().cacheKey();
            QChar cifra = '?';
            for (QLabel* imagen : v.findChildren<QLabel*>("Image1"))
                if (imagen->pixmap().cacheKey() == puesto)
                    cifra = QChar('0' + imagen->property("Index").toInt());
            cifras += cifra;
        }
        return cifras;
    }

    static void pasar(Reparar& v, int segundos)
    {
        for (int i = 0; i < segundos; ++i)
            v.avanzarReloj();
    }

private slots:
    void alAbrirEstaPreparadaYCentrada()
    {
        CopiaPrograma p;
        ServiciosRepararPrueba s;
        Reparar v(s, p.carpeta());
        QCOMPARE(v.windowTitle(), QStringLiteral("Compactar/Reparar Base de Datos"));
        QCOMPARE(v.findChild<QLabel*>("Mensaje")->text(), QStringLiteral("Preparado"));
        QCOMPARE(v.findChild<QLabel*>("Label74")->text(), QStringLiteral("Tiempo"));
        QCOMPARE(v.findChild<QPushButton*>("SSCommand1")->text(), QStringLiteral("Compactar/Reparar"));
        QCOMPARE(v.findChild<QPushButton*>("SSCommand2")->text(), QStringLiteral("Volver al Programa"));
        auto* timer = v.findChild<QTimer*>("Timer1");
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 1000);
        QCOMPARE(v.findChildren<QLabel*>("Image1").size(), 10);
        QCOMPARE(reloj(v), QStringLiteral("0000"));
        const QPoint centro = v.screen()->geometry().center();
        QVERIFY(qAbs(v.geometry().center().x() - centro.x()) <= 1);
        QVERIFY(qAbs(v.geometry().center().y() - centro.y()) <= 1);
    }

    void elRelojCuentaConLasCifrasDibujadas()
    {
        CopiaPrograma p;
        ServiciosRepararPrueba s;
        Reparar v(s, p.carpeta());
        v.findChild<QTimer*>("Timer1")->stop();
        pasar(v, 1);
        QCOMPARE(reloj(v), QStringLiteral("0001"));
        pasar(v, 59);
        QCOMPARE(reloj(v), QStringLiteral("0100"));
        pasar(v, 123 * 60 + 45 - 60);
        QCOMPARE(reloj(v), QStringLiteral("1345"));
    }

    void compactarTerminaSinArrancarElProgramaYParaElReloj()
    {
        CopiaPrograma p;
        ServiciosRepararPrueba s;
        Reparar v(s, p.carpeta());
        v.findChild<QTimer*>("Timer1")->stop();
        pasar(v, 7);
        v.findChild<QTimer*>("Timer1")->start();
        QTest::mouseClick(v.findChild<QPushButton*>("SSCommand1"), Qt::LeftButton);
        QCOMPARE(v.findChild<QLabel*>("Mensaje")->text(), QStringLiteral("Finalizado...."));
        QVERIFY(!v.findChild<QTimer*>("Timer1")->isActive());
        QCOMPARE(reloj(v), QStringLiteral("0007")); // no se pone a cero
        QCOMPARE(s.cursores, std::vector<bool>({true, false}));
        QCOMPARE(v.ultimoResultado().configuracionRegional, QStringLiteral(";LANGID=0x0409;CP=1252;COUNTRY=0"));
        // La copia lleva la hora del reloj: se mira su forma, no el día.
        const QStringList archivos = archivosDe(p.carpeta());
        QCOMPARE(archivos.size(), 3);
        QVERIFY2(QRegularExpression("^Evaluacion \\d{4}-\\d\\d-\\d\\d \\d\\d\\.\\d\\d\\.\\d\\d\\.bak$")
                     .match(archivos[0])
                     .hasMatch(),
                 qPrintable(archivos[0]));
        QCOMPARE(archivos.mid(1), QStringList({"Evaluacion.mdb", "SYSTEM.mdw"}));
        QCOMPARE(v.ultimoResultado().copia, archivos[0]);
        QVERIFY(s.programas.isEmpty());
        QCOMPARE(s.terminado, 0);
    }

    void conElProgramaAbiertoLoDiceEnLaLineaDeEstado()
    {
        CopiaPrograma p;
        ServiciosRepararPrueba s;
        Reparar v(s, p.carpeta());
        QLockFile programa(rutaBloqueoInstancia(p.carpeta()));
        QVERIFY(programa.tryLock(0));
        QTest::mouseClick(v.findChild<QPushButton*>("SSCommand1"), Qt::LeftButton);
        QVERIFY(v.findChild<QLabel*>("Mensaje")->text().startsWith("No se ha compactado. El programa"));
        QVERIFY(s.avisos.empty());
        QCOMPARE(archivosDe(p.carpeta()), QStringList({"Evaluacion.mdb", "SYSTEM.mdw"}));
    }

    void volverAlProgramaLoArrancaYTermina()
    {
        CopiaPrograma p;
        ServiciosRepararPrueba s;
        Reparar v(s, p.carpeta());
        QTest::mouseClick(v.findChild<QPushButton*>("SSCommand2"), Qt::LeftButton);
#ifdef Q_OS_WIN
        const QString nombre = "Evaluacion.exe";
#else
        const QString nombre = "Evaluacion";
#endif
        QCOMPARE(s.programas, QStringList({QDir::toNativeSeparators(p.ruta(nombre))}));
        QCOMPARE(s.llamadas, QStringList({"iniciarPrograma", "terminarPrograma"}));
        // Cerrar la ventana después no vuelve a terminar.
        v.close();
        QCOMPARE(s.terminado, 1);
    }

    void siNoArrancaLoAvisaYNoTermina()
    {
        CopiaPrograma p;
        ServiciosRepararPrueba s;
        s.iniciarFunciona = false;
        Reparar v(s, p.carpeta());
        QTest::mouseClick(v.findChild<QPushButton*>("SSCommand2"), Qt::LeftButton);
        QCOMPARE(s.avisos.size(), size_t(1));
        QVERIFY(s.avisos[0].texto.startsWith("No se puede iniciar el programa"));
        QCOMPARE(s.terminado, 0);
    }

    void laCruzTerminaSinArrancarElPrograma()
    {
        CopiaPrograma p;
        ServiciosRepararPrueba s;
        Reparar v(s, p.carpeta());
        v.show();
        v.close();
        QCOMPARE(s.terminado, 1);
        QVERIFY(s.programas.isEmpty());
    }

    void conLosDatosEnUnServidorRemiteASusHerramientasYOfreceLaCopia()
    {
        CopiaPrograma p;
        FijarCarpetaPrograma(p.carpeta());
        qputenv("PGPASSFILE", QFile::encodeName(p.ruta("pgpass")));
        // Un servidor por un enchufe local que no existe: libpq falla en el acto, sin red.
        const DatosServidor d{p.carpeta(), 5432, QStringLiteral("evaluacion"), QStringLiteral("tecnico")};
        QCOMPARE(GuardarOrigen({true, d}), QString());
        ServiciosRepararPrueba s;
        {
            Reparar v(s, p.carpeta());
            v.show();
            const QString estado = v.findChild<QLabel*>("Mensaje")->text();
            for (const char* herramienta : {"VACUUM FULL", "REINDEX", "pg_dump", "administrador del servidor"})
                QVERIFY2(estado.contains(QString::fromUtf8(herramienta)), qPrintable(estado));
            QVERIFY2(estado.contains(FuenteServidor(d)), qPrintable(estado));
            QVERIFY(!v.findChild<QPushButton*>("SSCommand1")->isEnabled());
            auto* copiar = v.findChild<QPushButton*>("BCopiarArchivo");
            QVERIFY(copiar && copiar->isVisible());

            // Sin servidor que conteste: lo dice y no deja archivo.
            const QString destino = p.ruta("Sin red.mdb");
            s.archivosElegidos.push_back(destino);
            QTest::mouseClick(copiar, Qt::LeftButton);
            QCOMPARE(s.avisos.size(), size_t(1));
            QCOMPARE(s.avisos[0].icono, PlataformaServicios::Icono::Critico);
            QVERIFY2(s.avisos[0].texto.contains("no se ha copiado nada"), qPrintable(s.avisos[0].texto));
            QCOMPARE(v.findChild<QLabel*>("Mensaje")->text(), s.avisos[0].texto);
            QVERIFY(!QFile::exists(destino));
            QVERIFY(copiar->isEnabled());
            // Sin elegir archivo no se intenta nada.
            QTest::mouseClick(copiar, Qt::LeftButton);
            QCOMPARE(s.avisos.size(), size_t(1));
        }
        // Con el archivo de la carpeta, lo de siempre.
        QCOMPARE(GuardarOrigen({false, d}), QString());
        Reparar v(s, p.carpeta());
        v.show();
        QCOMPARE(v.findChild<QLabel*>("Mensaje")->text(), QStringLiteral("Preparado"));
        QVERIFY(v.findChild<QPushButton*>("SSCommand1")->isEnabled());
        QVERIFY(!v.findChild<QPushButton*>("BCopiarArchivo")->isVisible());
        FijarCarpetaPrograma({});
    }
};

QTEST_MAIN(PruebaVentanaReparar)
#include "test_ventana_reparar.moc"
