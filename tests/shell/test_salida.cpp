// Salir del programa deja todo el trabajo en Evaluacion.mdb, solo: quien copie ese archivo con el
// programa cerrado se lleva todo. Se sale de verdad (el proceso termina) en un proceso hijo, que
// es este mismo programa de pruebas arrancado con PRUEBA_SALIDA.
#include "SalidaEnHijo.h"
#include "plataforma/PlataformaServicios.h"
#include "shell/Entrada.h"
#include "shell/Rutinas.h"

#include <QApplication>
#include <QPushButton>

namespace {
const char* const VariableHijo = "PRUEBA_SALIDA";

// Los servicios de verdad, salvo que los avisos se contestan con Sí sin mostrarse.
class ServiciosSalida : public ServiciosReales
{
public:
    Respuesta mensaje(QWidget*, const QString&, const QString&, Icono, Botones, Respuesta) override
    {
        return Respuesta::Si;
    }
};

// El hijo: la ventana principal sobre la carpeta, una empresa nueva escrita mientras otro conjunto
// sigue con filas por leer (como una cuadrícula abierta) y la salida pedida.
int hijo(const QString& carpeta, const QString& como, int argc, char* argv[])
{
    QApplication aplicacion(argc, argv);
    ServiciosSalida servicios;
    FijarServicios(&servicios);
    FijarCarpetaPrograma(carpeta);
    Entrada entrada;
    entrada.show();
    salida::escribirConDiarioPendiente(carpeta);
    if (como == QLatin1String("salir"))
        QTest::mouseClick(entrada.findChild<QPushButton*>(QStringLiteral("BOSalir")), Qt::LeftButton);
    else
        entrada.close();
    return 3; // no debía llegar aquí: la salida termina el proceso
}
} // namespace

class PruebaSalida : public QObject
{
    Q_OBJECT

    // Sale por el camino dado en un hijo y comprueba que Evaluacion.mdb, copiado solo, lo tiene todo.
    void salirYCopiarSoloElArchivo(const QString& como)
    {
        QTemporaryDir programa;
        for (const char* nombre : {"Evaluacion.mdb", "SYSTEM.mdw"})
            QVERIFY(QFile::copy(QStringLiteral(CARPETA_ENTREGA "/") + nombre, programa.filePath(nombre)));
        salida::salirYCopiarSoloElArchivo(VariableHijo, programa.path(), como);
    }

private slots:
    void elBotonSalirLoDejaTodoEnElArchivo() { salirYCopiarSoloElArchivo(QStringLiteral("salir")); }
    void cerrarLaVentanaLoDejaTodoEnElArchivo() { salirYCopiarSoloElArchivo(QStringLiteral("cerrar")); }
};

int main(int argc, char* argv[])
{
    const QString pedido = qEnvironmentVariable(VariableHijo);
    if (!pedido.isEmpty())
        return hijo(pedido.section('|', 0, 0), pedido.section('|', 1), argc, argv);
    QApplication aplicacion(argc, argv);
    PruebaSalida prueba;
    return QTest::qExec(&prueba, argc, argv);
}

#include "test_salida.moc"
