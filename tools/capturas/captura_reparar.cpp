// Capturas de la ventana de Reparar para la ayuda, sobre una copia de la base entregada:
//     xvfb-run -a -s "-screen 0 1280x900x24" captura_reparar <carpeta entrega> <carpeta imágenes>
// Deja reparar.png (recién abierta) y reparar_finalizado.png (tras compactar).
#include "plataforma/PlataformaServicios.h"
#include "repair/Reparar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

namespace {
bool guardar(QWidget* w, const QString& ruta)
{
    for (int i = 0; i < 30; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    const bool bien = w->grab().save(ruta);
    std::printf("%s %s\n", bien ? "capturada" : "NO capturada", ruta.toLocal8Bit().constData());
    return bien;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication aplicacion(argc, argv);
    const QStringList args = aplicacion.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "Uso: captura_reparar <carpeta de la base entregada> <carpeta de las imágenes>\n");
        return 2;
    }
    const QDir entrega(args[1]), imagenes(args[2]);
    QTemporaryDir carpeta;
    for (const char* nombre : {"Evaluacion.mdb", "SYSTEM.mdw"})
        QFile::copy(entrega.filePath(nombre), QDir(carpeta.path()).filePath(nombre));
    ServiciosReales servicios;
    Reparar ventana(servicios, carpeta.path());
    ventana.show();
    bool bien = guardar(&ventana, imagenes.filePath("reparar.png"));
    // Un par de segundos en el reloj, como en una compactación de verdad.
    for (int i = 0; i < 220; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    ventana.findChild<QAbstractButton*>("SSCommand1")->click();
    bien &= guardar(&ventana, imagenes.filePath("reparar_finalizado.png"));
    return bien ? 0 : 1;
}
