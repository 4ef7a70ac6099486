// El camino de un plan con las ventanas de verdad: de empresas y centros a la planificación, a
// su página de cierre y al documento, que tiene que enseñar lo que la ventana ha guardado.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "PlataformaPrueba.h"
#include "companies/Empresa.h"
#include "planning/AccionPreventiva.h"
#include "planning/ActuacionPreventiva.h"
#include "reports/DocumentoInforme.h"
#include "reports/FormulaSeleccion.h"
#include "reports/InformeGeneral.h"
#include "reports/Informes.h"
#include "shell/DateBox.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"
#include "shell/grid/DataSource.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

class PruebaPlanificacionCompleta : public QObject
{
    Q_OBJECT

    template <typename T> static T* hijo(QWidget* w, const QString& nombre)
    {
        T* h = w ? w->findChild<T*>(nombre) : nullptr;
        if (!h)
            qFatal("no existe el control %s", qPrintable(nombre));
        return h;
    }

private slots:
    void deEmpresasAlDocumentoDelPlan()
    {
        CopiaPrograma copia;
        PlataformaPrueba plataforma;
        QDir(copia.carpeta()).mkdir("Informes");
        QVERIFY(QFile::copy(QStringLiteral(FUENTES_PROYECTO "/data/informes/Planificacion.rpt"),
                            copia.ruta("Informes/Planificacion.rpt")));
        FijarCarpetaPrograma(copia.carpeta());
        Sesion sesion;
        const QString cx = sesion.conexion = copia.conexion();
        const long long empresa = datos::empresa(cx, "Ferretería Prueba S.L.");
        const long long primero = datos::centro(cx, empresa, "Calle Mayor 1");
        const long long segundo = datos::centro(cx, empresa, "Avenida Segunda 2");

        QMdiArea area;
        area.resize(1300, 900);
        area.show();
        RegistroVentanas registro(&area, sesion);
        registrarVentana<Empresa>(Ventana::Empresa);
        registrarVentana<ActuacionPreventiva>(Ventana::ActuacionPreventiva);
        registrarVentana<AccionPreventiva>(Ventana::AccionPreventiva);
        RegistrarInformes();

        QWidget* empresas = registro.mostrarCargada(Ventana::Empresa);
        QVERIFY(empresas);
        hijo<QPushButton>(empresas, "CPlanificacion")->click();
        QCOMPARE(sesion.idCentro, qint64(primero));
        auto* plan = qobject_cast<ActuacionPreventiva*>(registro.ventana(Ventana::ActuacionPreventiva));
        QVERIFY(plan);
        QVERIFY(plan->parentWidget()->isVisible());
        QCOMPARE(hijo<QLineEdit>(plan, "strDireccion")->text(), QString("Calle Mayor 1"));

        // Cabecera sin guardar y dos líneas, una con la acción tomada del catálogo.
        QTest::keyClicks(hijo<QLineEdit>(plan, "strNombre"), "Luis Planificador");
        QTest::keyClicks(hijo<QComboBox>(plan, "cmbCargo")->lineEdit(), "Empresario");
        QTest::keyClicks(hijo<DateBox>(plan, "dteFecha")->lineEdit(), "10/01/2025");
        hijo<QPushButton>(plan, "SSCommand1")->click();
        auto* selector = qobject_cast<AccionPreventiva*>(registro.ventana(Ventana::AccionPreventiva));
        QVERIFY(selector);
        selector->elegir();
        const QString delCatalogo = hijo<QLineEdit>(plan, "strAccion")->text();
        QVERIFY(!delCatalogo.isEmpty());
        hijo<DateBox>(plan, "dteFechaLimite")->setText("15/01/2025");
        hijo<QLineEdit>(plan, "strResponsable")->setText("Responsable Uno");
        hijo<QLineEdit>(plan, "strPresupuesto")->setText("1.200,50");
        hijo<QPushButton>(plan, "BAñadir")->click();
        hijo<QLineEdit>(plan, "strAccion")->setText("Acción escrita a mano");
        hijo<DateBox>(plan, "dteFechaLimite")->setText("01/06/2025");
        hijo<QLineEdit>(plan, "strResponsable")->setText("Responsable Dos");
        // Miles con el blanco que no se parte, como lo deja una hoja de cálculo.
        for (const QChar c : QString::fromUtf8("1\u00a0234,56"))
            QTest::sendKeyEvent(QTest::Click, hijo<QLineEdit>(plan, "strPresupuesto"), Qt::Key_unknown, QString(c), {});
        hijo<QPushButton>(plan, "BAñadir")->click();
        QCOMPARE(plan->lineas()->rowCount(), 2);
        QVERIFY(plataforma.mensajes.empty());

        // A la página de cierre y a la vista previa: la cabecera se guarda al seguir (Sí es lo propuesto).
        QTest::mouseClick(hijo<QToolButton>(plan, "Picture2"), Qt::LeftButton);
        QCOMPARE(plataforma.mensajes.size(), size_t(1));
        QCOMPARE(plataforma.mensajes[0].texto, QString("¿Guardar los cambios de la cabecera del plan?"));
        QVERIFY(!plan->parentWidget()->isVisible());
        QWidget* cierre = registro.ventana(Ventana::ImprimirPlanificacion);
        QVERIFY(cierre);
        QVERIFY(cierre->parentWidget()->isVisible());
        hijo<QPushButton>(cierre, "CPlanificacionVisualizar")->click();
        QCOMPARE(sesion.informe.condiciones, *AnalizarFormula(FormulaPlanificacion(primero)));
        const auto visores = area.findChildren<InformeGeneral*>();
        QCOMPARE(visores.size(), 1);
        QVERIFY(visores[0]->documento());
        const QString texto = visores[0]->documento()->texto().toPlainText().simplified();
        for (const QString& dato :
             {QString("Elaborada por Luis Planificador"), QString("Cargo Empresario"), QString("10/01/2025"),
              delCatalogo.simplified(), QString("15/01/2025"), QString("Responsable Uno"), QString("1.200,50"),
              QString("Acción escrita a mano"), QString("01/06/2025"), QString("Responsable Dos"), QString("1.234,56"),
              QString("Presupuesto total 2.435,06")})
            QVERIFY2(texto.contains(dato), qPrintable(dato));

        // Volver a las acciones abre la planificación otra vez, con lo guardado.
        hijo<QToolButton>(cierre, "Picture1")->click();
        plan = qobject_cast<ActuacionPreventiva*>(registro.ventana(Ventana::ActuacionPreventiva));
        QVERIFY(plan && plan->parentWidget()->isVisible());
        QCOMPARE(plan->lineas()->rowCount(), 2);
        QCOMPARE(hijo<QLineEdit>(plan, "strNombre")->text(), QString("Luis Planificador"));

        // El otro centro desde la ventana de empresas: su propio plan, vacío.
        static_cast<Empresa*>(empresas)->navegadorCentros()->mover(NavegadorRegistros::Movimiento::Siguiente);
        hijo<QPushButton>(empresas, "CPlanificacion")->click();
        QCOMPARE(sesion.idCentro, qint64(segundo));
        plan = qobject_cast<ActuacionPreventiva*>(registro.ventana(Ventana::ActuacionPreventiva));
        QCOMPARE(hijo<QLineEdit>(plan, "strDireccion")->text(), QString("Avenida Segunda 2"));
        QCOMPARE(plan->lineas()->rowCount(), 0);
        QCOMPARE(datos::contar(cx, "SELECT count(*) FROM \"ActuaciónPreventiva\""), 2LL);

        // El documento del centro sin líneas lo dice; el del primero sigue teniendo las suyas.
        hijo<QPushButton>(empresas, "CPlanificacionVisualizar")->click();
        const auto todos = area.findChildren<InformeGeneral*>();
        QCOMPARE(todos.size(), 2);
        InformeGeneral* nuevo = todos[0] == visores[0] ? todos[1] : todos[0];
        const QString vacio = nuevo->documento()->texto().toPlainText();
        QVERIFY(vacio.contains("Avenida Segunda 2"));
        QVERIFY(vacio.contains("No hay acciones preventivas en el plan."));
        QVERIFY(!vacio.contains("Responsable Uno"));
        QCOMPARE(plataforma.mensajes.size(), size_t(1));
    }
};

QTEST_MAIN(PruebaPlanificacionCompleta)
#include "test_planificacion_completa.moc"
