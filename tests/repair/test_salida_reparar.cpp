// Reparar con los servicios de verdad: "Volver al Programa" y la cruz acaban el proceso en el acto
// y el trabajo queda entero en Evaluacion.mdb, sin diario. Se sale de verdad en un proceso hijo,
// que es este mismo programa de pruebas arrancado con PRUEBA_SALIDA_REPARAR.
#include "SalidaEnHijo.h"
#include "plataforma/CarpetaPrograma.h"
#include "plataforma/PlataformaServicios.h"
#include "repair/Reparar.h"

#include <QApplication>
#include <QPushButton>

namespace {
const char* const VariableHijo = "PRUEBA_SALIDA_REPARAR";

// Los de verdad, salvo que el programa que se pide arrancar sólo se apunta en un archivo.
class ServiciosSalida : public ServiciosReales
{
public:
    explicit ServiciosSalida(const QString& apunte) : apunte_(apunte) {}
    bool iniciarPrograma(const QString& ruta) override
    {
        QFile f(apunte_);
        return f.open(QIODevice::WriteOnly) && f.write(ruta.toUtf8()) > 0;
    }

private:
    QString apunte_;
};

int hijo(const QString& carpeta, const QString& como, int argc, char* argv[])
{
    QApplication aplicacion(argc, argv);
    ServiciosSalida servicios(QDir(carpeta).filePath(QStringLiteral("arrancado.txt")));
    FijarServicios(&servicios);
    Reparar ventana(servicios, carpeta);
    ventana.show();
    salida::escribirConDiarioPendiente(carpeta);
    if (como == QLatin1String("volver"))
        QTest::mouseClick(ventana.findChild<QPushButton*>(QStringLiteral("SSCommand2")), Qt::LeftButton);
    else
        ventana.close();
    return 3; // no debía llegar aquí: la salida termina el proceso
}
} // namespace

class PruebaSalidaReparar : public QObject
{
    Q_OBJECT

    // Sale por el camino dado y deja en «arrancado» lo que se pidió arrancar (vacío si nada).
    void salir(const QString& como, QString& arrancado)
    {
        QTemporaryDir programa;
        for (const char* nombre : {"Evaluacion.mdb", "SYSTEM.mdw"})
            QVERIFY(QFile::copy(QStringLiteral(CARPETA_ENTREGA "/") + nombre, programa.filePath(nombre)));
        salida::salirYCopiarSoloElArchivo(VariableHijo, programa.path(), como);
        QFile apunte(programa.filePath("arrancado.txt"));
        arrancado = apunte.open(QIODevice::ReadOnly) ? QString::fromUtf8(apunte.readAll()) : QString();
    }

private slots:
    void volverAlProgramaLoArrancaYAcabaConTodoEnElArchivo()
    {
        QString arrancado;
        salir(QStringLiteral("volver"), arrancado);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(QFileInfo(arrancado).fileName(), QFileInfo(rutaPrograma("/", "Evaluacion")).fileName());
    }

    void laCruzAcabaSinArrancarNadaYConTodoEnElArchivo()
    {
        QString arrancado = QStringLiteral("?");
        salir(QStringLiteral("cerrar"), arrancado);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(arrancado.isEmpty());
    }
};

int main(int argc, char* argv[])
{
    const QString pedido = qEnvironmentVariable(VariableHijo);
    if (!pedido.isEmpty())
        return hijo(pedido.section('|', 0, 0), pedido.section('|', 1), argc, argv);
    QApplication aplicacion(argc, argv);
    PruebaSalidaReparar prueba;
    return QTest::qExec(&prueba, argc, argv);
}

#include "test_salida_reparar.moc"
