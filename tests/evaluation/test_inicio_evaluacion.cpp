// Las acciones sobre un centro de la ventana de empresas y la página de inicio de la evaluación.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "PlataformaPrueba.h"
#include "companies/Empresa.h"
#include "evaluation/InicioEvaluacion.h"
#include "reports/FormulaSeleccion.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"

#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

class PruebaInicioEvaluacion : public QObject
{
    Q_OBJECT

    Sesion sesion;
    std::unique_ptr<CopiaPrograma> copia;
    std::unique_ptr<PlataformaPrueba> plataforma;
    std::unique_ptr<QMdiArea> area;
    std::unique_ptr<RegistroVentanas> registro;
    QString cx;
    int visores = 0;

    Empresa* empresa() { return qobject_cast<Empresa*>(registro->mostrarCargada(Ventana::Empresa)); }
    InicioEvaluacion* hub() { return qobject_cast<InicioEvaluacion*>(registro->ventana(Ventana::InicioEvaluacion)); }
    static QPushButton* boton(QWidget* w, const char* n) { return w->findChild<QPushButton*>(n); }
    int subventanas(Ventana ventana)
    {
        int n = 0;
        for (QMdiSubWindow* s : area->subWindowList())
            if (s->widget() && s->widget()->objectName() == NombreVentana(ventana))
                ++n;
        return n;
    }
    // Estado de los cuatro pasos, como texto: "1000" = sólo el primero activo.
    QString pasos()
    {
        QString r;
        for (const char* b : {"CEvaluacion", "BFactores", "BEvaluacion", "BMedidas"})
            r += boton(hub(), b)->isEnabled() ? '1' : '0';
        return r;
    }

private slots:
    void init()
    {
        copia = std::make_unique<CopiaPrograma>();
        cx = copia->conexion();
        sesion = Sesion();
        sesion.conexion = cx;
        FijarCarpetaPrograma(copia->carpeta());
        plataforma = std::make_unique<PlataformaPrueba>();
        area = std::make_unique<QMdiArea>();
        registro = std::make_unique<RegistroVentanas>(area.get(), sesion);
        registrarVentana<Empresa>(Ventana::Empresa);
        registrarVentana<InicioEvaluacion>(Ventana::InicioEvaluacion);
        visores = 0;
        RegistroVentanas::registrarFabrica(Ventana::InformeGeneral, [this](Sesion&) {
            ++visores;
            auto* w = new QWidget;
            w->setObjectName("InformeGeneral");
            return w;
        });
    }
    void cleanup()
    {
        registro.reset();
        area.reset();
        RegistroVentanas::quitarFabrica(Ventana::InformeGeneral);
        plataforma.reset();
        copia.reset();
    }

    void formulasDeLosInformes()
    {
        datos::insertar(cx, "INSERT INTO Empresas (IDEmpresa, Nombre) VALUES (3, 'Tres')", {});
        datos::insertar(cx, "INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, Direccion) VALUES (12, 3, 'Doce')", {});
        Empresa* e = empresa();
        boton(e, "CEvaluacionVisualizar")->click();
        QCOMPARE(sesion.informe.condiciones,
                 *AnalizarFormula(QString("{CentroTrabajo.IDCentro}=12 and {Empresas.IDEmpresa}= 3")));
        QCOMPARE(sesion.informe.titulo, QString("EVALUCIÓN DE RIESGOS"));
        QCOMPARE(sesion.informe.plantilla, QString("Evaluacion.rpt"));
        boton(e, "CPlanificacionVisualizar")->click();
        QCOMPARE(sesion.informe.condiciones, *AnalizarFormula(QString("{CentroTrabajo.IDCentro}=12")));
        QCOMPARE(sesion.informe.titulo, QString("PLANIFICACIÓN DE ACTUACIONES PREVENTIVAS"));
        QCOMPARE(sesion.informe.plantilla, QString("Planificacion.rpt"));
        // Cada pulsación abre un visor propio.
        boton(e, "CPlanificacionVisualizar")->click();
        QCOMPARE(visores, 3);
        QCOMPARE(subventanas(Ventana::InformeGeneral), 3);
        QVERIFY(plataforma->mensajes.empty());
    }

    void dosEvaluacionesSeguidasMuestranElSegundoCentro()
    {
        const long long e = datos::empresa(cx, "Tiendas");
        const long long c1 = datos::centro(cx, e, "Calle Uno");
        const long long c2 = datos::centro(cx, e, "Calle Dos");
        Empresa* w = empresa();
        boton(w, "CEvaluacion")->click();
        QCOMPARE(sesion.idCentro, qint64(c1));
        QCOMPARE(sesion.idEmpresa, qint64(e));
        QCOMPARE(hub()->findChild<QLineEdit*>("strDireccion")->text(), QString("Calle Uno"));
        w->findChild<QToolBar*>("Toolbar7")->actions().first()->trigger();
        boton(w, "CEvaluacion")->click();
        QCOMPARE(sesion.idCentro, qint64(c2));
        QCOMPARE(hub()->findChild<QLineEdit*>("strDireccion")->text(), QString("Calle Dos"));
        QCOMPARE(hub()->windowTitle(), QString("Iniciar Evaluación"));
        QTRY_COMPARE(subventanas(Ventana::InicioEvaluacion), 1);

        // El plan toma sólo el centro.
        sesion.idEmpresa = -1;
        boton(w, "CPlanificacion")->click();
        QCOMPARE(sesion.idCentro, qint64(c2));
        QCOMPARE(sesion.idEmpresa, qint64(-1));
    }

    void pasosActivosSegunLasComprobaciones()
    {
        const long long e = datos::empresa(cx);
        const long long c = datos::centro(cx, e, "Mercado Central");
        sesion.idEmpresa = long(e);
        sesion.idCentro = long(c);
        registro->abrirNueva(Ventana::InicioEvaluacion);
        QCOMPARE(pasos(), QString("1000"));

        const long long p = datos::puesto(cx, c, "Pescadero");
        hub()->Colocar();
        QCOMPARE(pasos(), QString("1100"));

        // Al volver del asistente con factores marcados y riesgos sin evaluar: paso 3 sin reabrir.
        const long long f = datos::factor(cx, p, 1, "S");
        const long long ev = datos::evaluacion(cx, f, 10);
        hub()->Colocar();
        QCOMPARE(pasos(), QString("1110"));

        Recordset::execute("update Evaluacion set Probabilidad = 'Baja', Consecuencias = 'Dañino', "
                           "ValorRiesgo = 'Riesgo Tolerable' where IDEvaluacion = ?",
                           cx, {ev});
        hub()->Colocar();
        QCOMPARE(pasos(), QString("1111"));

        // Un segundo puesto sin factores vuelve a cerrar los pasos 3 y 4.
        datos::puesto(cx, c, "Cajera");
        hub()->Colocar();
        QCOMPARE(pasos(), QString("1100"));

        // Centro que ya no existe: sin nombre y los botones como estaban.
        Recordset::execute("delete from CentroTrabajo where IDCentro = ?", cx, {c});
        hub()->findChild<QLineEdit*>("strDireccion")->clear();
        hub()->Colocar();
        QCOMPARE(hub()->findChild<QLineEdit*>("strDireccion")->text(), QString());
        QCOMPARE(pasos(), QString("1100"));
        QVERIFY(plataforma->mensajes.empty());
    }

    void textosAyudaYVolver()
    {
        sesion.idCentro = 0;
        registro->abrirNueva(Ventana::InicioEvaluacion);
        QCOMPARE(hub()->findChild<QLabel*>("BEvaluacionExplicacion")->text(),
                 QString("Se evalúan los riesgos generados por puesto de trabajo, indicando la probabilidad de que "
                         "ocurran y  las consecuencias."));
        QCOMPARE(boton(hub(), "BMedidas")->text(), QString("4- MEDIDAS PREVENTIVAS"));
        hub()->findChild<QToolButton*>("Image9")->click();
        QVERIFY(plataforma->documentos.value(0).endsWith(QDir::toNativeSeparators("/Ayuda/Inicio Evaluacion.pdf")));
        QCOMPARE(hub()->findChild<QToolButton*>("Image1")->toolTip(), QString("Volver a la Pantalla Empresa"));
        hub()->findChild<QToolButton*>("Image1")->click();
        QVERIFY(!hub()->parentWidget()->isVisible() || !hub()->isVisible());
    }
};

QTEST_MAIN(PruebaInicioEvaluacion)
#include "test_inicio_evaluacion.moc"
