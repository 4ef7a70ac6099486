// La ventana de Reparar con la base de datos bloqueada por otro proceso: avisa en la línea de
// estado, no toca ningún archivo, sigue respondiendo y compacta en cuanto se suelta el bloqueo.
#include "Escenario.h"
#include "ServiciosRepararPrueba.h"
#include "repair/Reparar.h"
#include "store/Conexion.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace fallos;

class PruebaRepararBloqueada : public QObject
{
    Q_OBJECT

    template <typename T> static T* hijo(QWidget* w, const char* nombre)
    {
        T* h = w->findChild<T*>(nombre);
        if (!h)
            qFatal("no existe el control %s", nombre);
        return h;
    }

private slots:
    void repararConLaBaseBloqueadaAvisaYCompactaAlSoltarla()
    {
        Copia copia;
        ServiciosRepararPrueba s;
        Reparar v(s, copia.carpeta());
        v.show();
        auto* mensaje = hijo<QLabel>(&v, "Mensaje");
        auto* compactar = hijo<QPushButton>(&v, "SSCommand1");
        {
            Bloqueador otro(copia.archivo());
            QCOMPARE(otro.aviso(), QByteArray("bloqueada"));
            QTest::mouseClick(compactar, Qt::LeftButton);
            QVERIFY2(mensaje->text().contains("Otro programa tiene abierta la base de datos") &&
                         mensaje->text().contains("Ciérrelo"),
                     qPrintable(mensaje->text()));
            QVERIFY(compactar->isEnabled());
            QVERIFY(hijo<QPushButton>(&v, "SSCommand2")->isEnabled());
            QVERIFY(!QFileInfo::exists(copia.ruta("Evaluacion2.mdb")));
            QVERIFY(QDir(copia.carpeta()).entryList({"*.bak"}, QDir::Files).isEmpty());
        }
        QVERIFY(huella(copia.archivo()) == huellaAntes());
        QTest::mouseClick(compactar, Qt::LeftButton);
        QCOMPARE(mensaje->text(), QStringLiteral("Finalizado...."));
        QVERIFY(QFileInfo::exists(copia.ruta(v.ultimoResultado().copia)));
        QVERIFY(huella(copia.archivo()) == huellaAntes());
        QCOMPARE(integridad(copia.archivo()), QStringLiteral("ok"));
    }
};

QTEST_MAIN(PruebaRepararBloqueada)
#include "test_reparar_bloqueada.moc"
