// Dos técnicos con el mismo plan a la vista: lo que guarda o borra el que va después sobre una
// línea que el otro ha cambiado no pisa lo del otro; se le avisa y la ventana enseña lo guardado.
#include "Celdas.h"
#include "Datos.h"
#include "EntornoVentanas.h"
#include "planning/ActuacionPreventiva.h"
#include "shell/RegistroVentanas.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"

#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <sqlite3.h>

using Respuesta = PlataformaServicios::Respuesta;

class PruebaPlanVersiones : public QObject, private EntornoVentanas
{
    Q_OBJECT

    long long plan = 0;
    static constexpr int Coste = 6; // columna del coste real en la cuadrícula del seguimiento
    const QString aviso = QStringLiteral("Otro usuario ha modificado este registro; se muestran sus datos");

    // El otro técnico, con su propio manejador sobre el mismo archivo.
    sqlite3* otro = nullptr;
    QString guardado(const QString& campo)
    {
        const auto filas = Conexion::obtener(cx)->leerFilas(
            "SELECT " + campo + " FROM \"ActuaciónPreventivaRegistro\" WHERE IDActuacion = ?", {plan});
        return filas.empty() ? QStringLiteral("(sin línea)") : filas.front().value(0).toString();
    }
    // La planificación del centro, como la abre el menú.
    ActuacionPreventiva* abrir()
    {
        QWidget* w = registro->abrirNueva(Ventana::ActuacionPreventiva);
        auto* plan = qobject_cast<ActuacionPreventiva*>(w);
        if (!plan || !QTest::qWaitForWindowExposed(plan->cuadricula()->tableView()))
            qFatal("la planificación no se ve");
        return plan;
    }
    // Escribe en una celda como el usuario y la confirma con Intro; luego deja que salgan los avisos
    // y que la ventana vuelva a leer.
    static void escribirEnCelda(Grid* g, int fila, int col, const QString& texto)
    {
        QWidget* editor = editarConRaton(g->tableView(), fila, col);
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor, texto);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

private slots:
    void init()
    {
        preparar(1400, 800);
        registrarVentana<ActuacionPreventiva>(Ventana::ActuacionPreventiva);
        const long long centro = datos::centro(cx, datos::empresa(cx));
        sesion.idCentro = long(centro);
        plan =
            datos::insertar(cx, "INSERT INTO ActuaciónPreventiva (IDCentro, Persona) VALUES (?, 'Ana Gil')", {centro});
        datos::insertar(cx,
                        "INSERT INTO ActuaciónPreventivaRegistro (IDActuacion, AccionPreventiva, "
                        "ResponsableEjecucion, Estado) VALUES (?, 'Guantes', 'Ana', 'Pendiente')",
                        {plan});
        QCOMPARE(sqlite3_open(QFile::encodeName(copia->ruta("Evaluacion.mdb")).constData(), &otro), SQLITE_OK);
    }
    void cleanup()
    {
        sqlite3_close(otro);
        liberar();
    }

    void guardarDespuesDeOtroAvisaYEnsenaLoSuyo()
    {
        ActuacionPreventiva* w = abrir();
        QCOMPARE(w->seguimiento()->rowCount(), 1);
        QCOMPARE(sqlite3_exec(otro,
                              "UPDATE \"ActuaciónPreventivaRegistro\" SET CosteReal = '150', Seguimiento = 'Pedidos', "
                              "VersionFila = VersionFila + 1",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);

        escribirEnCelda(w->cuadriculaSeguimiento(), 0, Coste, "200");
        QCOMPARE(int(plataforma->mensajes.size()), 1);
        QCOMPARE(plataforma->mensajes.back().texto, aviso);
        // La cuadrícula enseña lo del otro, que sigue guardado.
        QCOMPARE(w->seguimiento()->fieldValue(0, "CosteReal").toString(), QString("150"));
        QCOMPARE(w->seguimiento()->fieldValue(0, "Seguimiento").toString(), QString("Pedidos"));
        QCOMPARE(guardado("CosteReal"), QString("150"));

        // Sobre lo que ahora se ve, guardar vale; y lo guardado en una cuadrícula no hace que la
        // otra, con la misma línea, se tome por otro usuario al guardar después.
        escribirEnCelda(w->cuadriculaSeguimiento(), 0, Coste, "200");
        QCOMPARE(guardado("CosteReal"), QString("200"));
        escribirEnCelda(w->cuadricula(), 0, 0, "Guantes de nitrilo");
        QCOMPARE(int(plataforma->mensajes.size()), 1);
        QCOMPARE(guardado("AccionPreventiva"), QString("Guantes de nitrilo"));
        QCOMPARE(guardado("CosteReal"), QString("200"));
    }

    void borrarUnaLineaQueOtroHaCambiadoAvisaYLaDeja()
    {
        ActuacionPreventiva* w = abrir();
        QCOMPARE(sqlite3_exec(otro,
                              "UPDATE \"ActuaciónPreventivaRegistro\" SET Seguimiento = 'Revisado por Berta', "
                              "VersionFila = VersionFila + 1",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        auto* eliminar = w->findChild<QPushButton*>("BCancelar");
        QVERIFY(eliminar);
        plataforma->responder(Respuesta::Si);
        QTest::mouseClick(eliminar, Qt::LeftButton);
        QCOMPARE(int(plataforma->mensajes.size()), 2); // la pregunta y el aviso
        QCOMPARE(plataforma->mensajes.back().texto, aviso);
        QCOMPARE(guardado("Seguimiento"), QString("Revisado por Berta"));
        QCOMPARE(w->seguimiento()->rowCount(), 1);
        QCOMPARE(w->seguimiento()->fieldValue(0, "Seguimiento").toString(), QString("Revisado por Berta"));

        // Visto lo que dejó el otro, se borra.
        plataforma->responder(Respuesta::Si);
        QTest::mouseClick(eliminar, Qt::LeftButton);
        QCOMPARE(int(plataforma->mensajes.size()), 3);
        QCOMPARE(guardado("Seguimiento"), QString("(sin línea)"));
        QCOMPARE(w->seguimiento()->rowCount(), 0);
    }
};

QTEST_MAIN(PruebaPlanVersiones)
#include "test_plan_versiones.moc"
