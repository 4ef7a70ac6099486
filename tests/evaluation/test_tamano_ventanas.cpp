// Las ventanas y el tamaño que el usuario les da: los pasos del asistente tienen todos el mismo
// y no saltan al pasar de uno a otro; el tamaño y la anchura de una columna vuelven al cerrar y
// abrir otra vez.
#include "EntornoAsistente.h"
#include "evaluation/InicioEvaluacion.h"
#include "evaluation/Puestos.h"
#include "evaluation/SeleccionaFactores.h"
#include "evaluation/SeleccionaMedidas.h"
#include "evaluation/SeleccionaRiesgos.h"
#include "plataforma/GeometriaVentana.h"
#include "shell/grid/Grid.h"

#include <QFile>
#include <QHeaderView>
#include <QMdiSubWindow>
#include <QSettings>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

class PruebaTamanoVentanas : public QObject, private EntornoAsistente
{
    Q_OBJECT

    long long soldador = 0;

    QWidget* marco(Ventana v) { return registro->ventana(v) ? registro->ventana(v)->parentWidget() : nullptr; }
    // Vuelve al paso anterior con el botón de la flecha, como el usuario.
    void atras(Ventana desde)
    {
        auto* boton = registro->ventana(desde)->findChild<QToolButton*>("Picture1");
        QVERIFY(boton);
        QTest::mouseClick(boton, Qt::LeftButton);
    }

private slots:
    void init()
    {
        preparar(900);
        area->resize(1200, 900);
        registrarVentana<InicioEvaluacion>(Ventana::InicioEvaluacion);
        registrarVentana<Puestos>(Ventana::Puestos);
        registrarVentana<SeleccionaFactores>(Ventana::SeleccionaFactores);
        registrarVentana<SeleccionaRiesgos>(Ventana::SeleccionaRiesgos);
        registrarVentana<SeleccionaMedidas>(Ventana::SeleccionaMedidas);
        soldador = nuevoPuesto("Soldador");
        marcar(soldador, 6);
        sesion.puestoActual = VentanaAsistente::TextoPuesto(soldador, "Soldador");
    }
    void cleanup()
    {
        AjustesVentanas().sync();
        liberar();
    }

    void losPasosDelAsistenteTienenTodosElMismoTamano()
    {
        // Sin nada guardado, el último paso (el más lleno) y los demás se abren iguales.
        registro->abrirNueva(Ventana::SeleccionaMedidas);
        const QSize inicial = marco(Ventana::SeleccionaMedidas)->size();
        atras(Ventana::SeleccionaMedidas);
        QCOMPARE(marco(Ventana::SeleccionaRiesgos)->size(), inicial);

        // El tamaño que da el usuario en un paso lo tienen los siguientes.
        const QSize dado(1000, 720);
        marco(Ventana::SeleccionaRiesgos)->resize(dado);
        atras(Ventana::SeleccionaRiesgos);
        QCOMPARE(marco(Ventana::SeleccionaFactores)->size(), dado);
        atras(Ventana::SeleccionaFactores);
        QCOMPARE(marco(Ventana::Puestos)->size(), dado);
        // Y la cuadrícula del paso crece con la ventana.
        QVERIFY(registro->ventana(Ventana::Puestos)->findChild<Grid*>()->height() > 250);

        // Maximizada se vuelve a abrir maximizada, aunque se haya cerrado.
        marco(Ventana::Puestos)->showMaximized();
        marco(Ventana::Puestos)->close();
        QTRY_VERIFY(!registro->ventana(Ventana::Puestos));
        registro->abrirNueva(Ventana::SeleccionaFactores);
        QTRY_VERIFY(marco(Ventana::SeleccionaFactores)->isMaximized());
    }

    void elTamanoYLaAnchuraDeUnaColumnaVuelvenAlAbrirOtraVez()
    {
        registro->abrirNueva(Ventana::SeleccionaMedidas);
        marco(Ventana::SeleccionaMedidas)->resize(1100, 800);
        auto* cuadricula = registro->ventana(Ventana::SeleccionaMedidas)->findChild<Grid*>("GMedidas");
        QHeaderView* cabecera = cuadricula->treeView()->header();
        QTRY_VERIFY(cabecera->sectionSize(2) > 100);
        // El usuario estrecha la columna de la medida arrastrando su borde.
        const int antes = cabecera->sectionSize(2);
        const QPoint borde(cabecera->sectionViewportPosition(2) + antes - 1, cabecera->height() / 2);
        QTest::mousePress(cabecera->viewport(), Qt::LeftButton, {}, borde);
        QTest::mouseMove(cabecera->viewport(), borde - QPoint(60, 0));
        QTest::mouseRelease(cabecera->viewport(), Qt::LeftButton, {}, borde - QPoint(60, 0));
        const int dada = cabecera->sectionSize(2);
        QVERIFY(dada < antes - 40);
        // Las otras columnas de texto se reparten lo que deja.
        const int riesgo = cabecera->sectionSize(0);

        marco(Ventana::SeleccionaMedidas)->close();
        QTRY_VERIFY(!registro->ventana(Ventana::SeleccionaMedidas));
        registro->abrirNueva(Ventana::SeleccionaMedidas);
        QCOMPARE(marco(Ventana::SeleccionaMedidas)->size(), QSize(1100, 800));
        cabecera = registro->ventana(Ventana::SeleccionaMedidas)->findChild<Grid*>("GMedidas")->treeView()->header();
        QTRY_COMPARE(cabecera->sectionSize(2), dada);
        QCOMPARE(cabecera->sectionSize(0), riesgo);
        // Guardado en la carpeta del programa.
        AjustesVentanas().sync();
        QVERIFY(QFile::exists(copia->ruta("Ventanas.ini")));
    }

    // Cada botón de imagen dice con letras a dónde lleva.
    void ningunBotonEsSoloUnDibujo()
    {
        for (Ventana v : {Ventana::InicioEvaluacion, Ventana::Puestos, Ventana::SeleccionaMedidas}) {
            QWidget* w = registro->abrirNueva(v);
            for (QToolButton* b : w->findChildren<QToolButton*>()) {
                if (b->icon().isNull() || !b->isVisibleTo(w))
                    continue;
                QVERIFY2(!b->text().isEmpty() && b->toolButtonStyle() != Qt::ToolButtonIconOnly,
                         qPrintable(NombreVentana(v) + "/" + b->objectName()));
            }
        }
    }
};

QTEST_MAIN(PruebaTamanoVentanas)
#include "test_tamano_ventanas.moc"
