// Lo que oye un lector de pantalla en los contadores: el nombre accesible de cada etiqueta es el
// texto que muestra en ese momento, no el que tenía al construirse la ventana.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "PlataformaPrueba.h"
#include "companies/Empresa.h"
#include "reports/InformeGeneral.h"
#include "reports/Informes.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"

#include <QAccessible>
#include <QAction>
#include <QLabel>
#include <QToolBar>
#include <QtTest>

namespace {
QString nombreAccesible(QWidget* w)
{
    QAccessibleInterface* i = QAccessible::queryAccessibleInterface(w);
    return i ? i->text(QAccessible::Name) : QString();
}

// Clic de verdad en el botón de la barra que lleva la acción.
void pulsar(QToolBar* barra, QAction* accion)
{
    QVERIFY(barra && accion);
    QWidget* boton = barra->widgetForAction(accion);
    QVERIFY(boton);
    QTest::mouseClick(boton, Qt::LeftButton);
}
} // namespace

class PruebaNombresAccesibles : public QObject
{
    Q_OBJECT

    std::unique_ptr<CopiaPrograma> copia;
    std::unique_ptr<PlataformaPrueba> plataforma;
    Sesion sesion;
    QString cx;

private slots:
    void init()
    {
        copia = std::make_unique<CopiaPrograma>();
        plataforma = std::make_unique<PlataformaPrueba>();
        FijarCarpetaPrograma(copia->carpeta());
        sesion = Sesion();
        cx = sesion.conexion = copia->conexion();
    }
    void cleanup()
    {
        plataforma.reset();
        copia.reset();
        FijarCarpetaPrograma({});
    }

    void losContadoresDeEmpresasYCentros()
    {
        const long long primera = datos::empresa(cx, "Alfa Accesible");
        datos::empresa(cx, "Beta Accesible");
        datos::centro(cx, primera, "Calle Uno 1");
        datos::centro(cx, primera, "Calle Dos 2");
        Empresa w(sesion);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (const auto& [contador, avanzar] : {std::pair{"Label14", "Toolbar7"}, std::pair{"Label8", "Toolbar2"}}) {
            auto* etiqueta = w.findChild<QLabel*>(contador);
            QVERIFY(etiqueta);
            const QString antes = etiqueta->text();
            QVERIFY2(antes.endsWith("de 2"), qPrintable(QString(contador) + ": " + antes));
            QCOMPARE(nombreAccesible(etiqueta), antes);
            auto* barra = w.findChild<QToolBar*>(avanzar);
            pulsar(barra, barra->actions().value(0));
            QVERIFY2(etiqueta->text() != antes, contador);
            QCOMPARE(nombreAccesible(etiqueta), etiqueta->text());
        }
    }

    void laHojaActualDeLaVistaPrevia()
    {
        QDir(copia->carpeta()).mkdir("Informes");
        QVERIFY(QFile::copy(QStringLiteral(FUENTES_PROYECTO "/data/informes/") + Informes::FicheroEvaluacion,
                            copia->ruta("Informes/" + Informes::FicheroEvaluacion)));
        const long long empresa = datos::empresa(cx);
        const long long centro = datos::centro(cx, empresa);
        for (int i = 0; i < 40; ++i)
            datos::puesto(cx, centro, QStringLiteral("Puesto %1").arg(i));
        InformeGeneral* v = AbrirInformeEvaluacion(sesion, centro, empresa);
        std::unique_ptr<InformeGeneral> guarda(v);
        QVERIFY(QTest::qWaitForWindowExposed(v));
        auto* hoja = v->findChild<QLabel*>("PaginaActual");
        QVERIFY(hoja->text().startsWith("Página 1 de "));
        QCOMPARE(nombreAccesible(hoja), hoja->text());
        pulsar(v->findChild<QToolBar*>("BarraInforme"), v->findChild<QAction*>("PaginaSiguiente"));
        QVERIFY(hoja->text().startsWith("Página 2 de "));
        QCOMPARE(nombreAccesible(hoja), hoja->text());
        QVERIFY(plataforma->mensajes.empty());
    }
};

QTEST_MAIN(PruebaNombresAccesibles)
#include "test_nombres_accesibles.moc"
