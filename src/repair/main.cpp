#include "plataforma/CarpetaPrograma.h"
#include "plataforma/PlataformaServicios.h"
#include "repair/Reparar.h"
#include "store/CopiaSeguridad.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <cstring>

namespace {
// "Reparar --copia CARPETA": copia de seguridad comprobada, sin ventana, para las tareas
// programadas. Sale con 0 sólo si la copia comprobada está escrita.
int copiaProgramada(int argc, char* argv[])
{
    QCoreApplication aplicacion(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Reparar"));
    QTextStream error(stderr);
    const QStringList argumentos = QCoreApplication::arguments().mid(1);
    if (argumentos.size() != 2 || argumentos[0] != QLatin1String("--copia") || argumentos[1].isEmpty()) {
        error << "Uso: Reparar --copia CARPETA\n"
                 "Guarda en CARPETA una copia de seguridad comprobada de la base de datos de la carpeta del "
                 "programa, con el nombre «Evaluacion AAAA-MM-DD.mdb».\n"
                 "Sale con 0 si la copia está escrita y comprobada, con 1 si no se ha hecho y con 64 si no entiende "
                 "los argumentos.\n";
        return 64;
    }
    const QString carpeta = QFileInfo(argumentos[1]).absoluteFilePath();
    if (!QFileInfo(carpeta).isDir()) {
        error << "No se ha hecho la copia de seguridad: no existe la carpeta «" << QDir::toNativeSeparators(carpeta)
              << "». Créela o compruebe que el disco de las copias está conectado.\n";
        return 1;
    }
    const QString base = RutaEnPrograma(QStringLiteral("Evaluacion.mdb"));
    // Sin la integridad: la mira la comprobación de la propia copia.
    const ExamenBase examen = examinarBase(base, false);
    if (!examen.sirve()) {
        error << "No se ha hecho la copia de seguridad: " << examen.motivo << "\n";
        return 1;
    }
    const ResultadoCopia r = copiarBase(base, rutaCopiaLibre(carpeta, QDateTime::currentDateTime()));
    if (!r.hecha()) {
        error << "No se ha hecho la copia de seguridad: " << r.mensaje << "\n";
        return 1;
    }
    QTextStream(stdout) << "Copia de seguridad hecha y comprobada: " << QDir::toNativeSeparators(r.archivo) << " ("
                        << r.tablas << " tablas, " << r.filas << " filas).\n";
    return 0;
}
} // namespace

int main(int argc, char* argv[])
{
    // La copia programada no abre ventana: debe funcionar sin pantalla y sin nadie delante.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--copia") == 0)
            return copiaProgramada(argc, argv);

    QApplication aplicacion(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Reparar"));
    CargarTraduccionEspanola(aplicacion);

    ServiciosReales servicios;
    FijarServicios(&servicios);
    Reparar ventana(servicios, CarpetaPrograma());
    ventana.show();
    aplicacion.exec();
    // Sólo se llega aquí si se ha salido sin pasar por la ventana: se termina igual que desde ella.
    servicios.terminarPrograma();
}
