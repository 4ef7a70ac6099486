// Las ventanas ante una base de datos en la que no se puede escribir (de sólo lectura o bloqueada
// por otro proceso): avisan en castellano, no pierden lo escrito en la ventana, siguen
// respondiendo y, en cuanto se puede escribir, el mismo botón hace el trabajo.
#include "Datos.h"
#include "EntornoVentanas.h"
#include "Escenario.h"
#include "VfsFallos.h"
#include "planning/ActuacionPreventiva.h"
#include "shell/DateBox.h"
#include "store/Conexion.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace fallos;

class PruebaVentanasSinEscritura : public QObject, EntornoVentanas
{
    Q_OBJECT

    // La base de datos entregada en una carpeta de usar y tirar, la que ve el sistema de archivos
    // con fallos.
    std::unique_ptr<Copia> copiaFallos;

    ActuacionPreventiva* abrirPlan()
    {
        auto* w = qobject_cast<ActuacionPreventiva*>(registro->abrirNueva(Ventana::ActuacionPreventiva));
        if (!w)
            qFatal("no se ha abierto la planificación");
        return w;
    }
    template <typename T> static T* hijo(QWidget* w, const char* nombre)
    {
        T* h = w->findChild<T*>(nombre);
        if (!h)
            qFatal("no existe el control %s", nombre);
        return h;
    }
    static void escribirLinea(QWidget* w)
    {
        hijo<QLineEdit>(w, "strAccion")->setText("Formar en el uso de la soldadora");
        hijo<DateBox>(w, "dteFechaLimite")->setText("30/09/2024");
        hijo<QLineEdit>(w, "strResponsable")->setText("Jefe de taller");
        hijo<QLineEdit>(w, "strPresupuesto")->setText("300");
    }
    long long lineas()
    {
        return datos::contar(sesion.conexion,
                             "SELECT count(*) FROM \"ActuaciónPreventivaRegistro\" WHERE IDActuacion = ?",
                             {preparada().plan});
    }
    // Pulsa el botón de añadir y devuelve el aviso que ha salido (vacío si ninguno).
    QString anadir(ActuacionPreventiva* w)
    {
        const size_t antes = plataforma->mensajes.size();
        QTest::mouseClick(hijo<QPushButton>(w, "BAñadir"), Qt::LeftButton);
        if (plataforma->mensajes.size() == antes)
            return {};
        const PlataformaPrueba::Mensaje& m = plataforma->mensajes.back();
        if (m.icono != PlataformaServicios::Icono::Critico)
            return QStringLiteral("aviso sin icono de error: ") + m.texto;
        return m.texto;
    }
    // La ventana sigue ahí, con la línea escrita, y atiende a otra acción.
    void sigueUsable(ActuacionPreventiva* w)
    {
        QVERIFY(w->parentWidget()->isVisible());
        QCOMPARE(hijo<QLineEdit>(w, "strAccion")->text(), QStringLiteral("Formar en el uso de la soldadora"));
        QVERIFY(hijo<QPushButton>(w, "BAñadir")->isEnabled());
        w->Colocar();
        QCOMPARE(w->idActuacion(), preparada().plan);
    }

private slots:
    void init()
    {
        copiaFallos = std::make_unique<Copia>();
        copiaFallos->usar();
        prepararSobre(copiaFallos->conexion(), copiaFallos->carpeta(), 1200, 800);
        registrarVentana<ActuacionPreventiva>(Ventana::ActuacionPreventiva);
        RegistroVentanas::registrarFabrica(Ventana::ImprimirPlanificacion, [](Sesion&) { return new QWidget; });
        sesion.idCentro = long(preparada().centro);
    }
    void cleanup()
    {
        vfsfallos::desarmar();
        liberar();
        copiaFallos.reset();
    }

    void planDeSoloLecturaAvisaYAnadeAlQuitarElAtributo()
    {
        Conexion::cerrarTodas();
        vfsfallos::soloLectura(true);
        ActuacionPreventiva* w = abrirPlan();
        QVERIFY(plataforma->mensajes.empty()); // leer sí se puede
        QCOMPARE(w->idActuacion(), preparada().plan);
        escribirLinea(w);
        const QString aviso = anadir(w);
        QVERIFY2(aviso.contains("3027") && aviso.contains("es de sólo lectura") &&
                     aviso.contains("Quite el atributo de sólo lectura"),
                 qPrintable(aviso));
        QCOMPARE(lineas(), 1LL);
        sigueUsable(w);
        QCOMPARE(plataforma->mensajes.size(), size_t(1));

        // El usuario quita el atributo y vuelve a pulsar, sin salir del programa.
        vfsfallos::desarmar();
        QCOMPARE(anadir(w), QString());
        QCOMPARE(lineas(), 2LL);
        QVERIFY(hijo<QLineEdit>(w, "strAccion")->text().isEmpty());
        QCOMPARE(integridad(copiaFallos->archivo()), QStringLiteral("ok"));
    }

    void planBloqueadoPorOtroProcesoAvisaYAnadeAlSoltarlo()
    {
        ActuacionPreventiva* w = abrirPlan();
        escribirLinea(w);
        Bloqueador otro(copiaFallos->archivo());
        QCOMPARE(otro.aviso(), QByteArray("bloqueada"));
        const QString aviso = anadir(w);
        QVERIFY2(aviso.contains("3260") && aviso.contains("está bloqueada por otro programa") &&
                     aviso.contains("Cierre el otro programa"),
                 qPrintable(aviso));
        sigueUsable(w);
        otro.soltar();
        QCOMPARE(lineas(), 1LL);
        QCOMPARE(anadir(w), QString());
        QCOMPARE(lineas(), 2LL);
        QCOMPARE(integridad(copiaFallos->archivo()), QStringLiteral("ok"));
    }
};

QTEST_MAIN(PruebaVentanasSinEscritura)
#include "test_ventanas_sin_escritura.moc"
