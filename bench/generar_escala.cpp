// generar_escala CARPETA [empresas]: deja en CARPETA una copia de la base entregada llena hasta el
// tamaño de una asesoría grande. Las medidas de rendimiento la copian antes de cada prueba.
#include "Conexion.h"
#include "GeneradorEscala.h"
#include "Globales.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication aplicacion(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "Uso: generar_escala CARPETA [empresas]\n");
        return 2;
    }
    const QString carpeta = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(carpeta);
    const QString temporal = carpeta + "/generando";
    QDir(temporal).removeRecursively();
    QDir().mkpath(temporal);
    for (const char* nombre : {"Evaluacion.mdb", "SYSTEM.mdw"})
        if (!QFile::copy(QStringLiteral(CARPETA_ENTREGA) + "/" + nombre, temporal + "/" + nombre)) {
            std::fprintf(stderr, "No se puede copiar %s de la base entregada.\n", nombre);
            return 1;
        }
    TamanoEscala tamano;
    if (argc > 2)
        tamano.empresas = QString::fromLocal8Bit(argv[2]).toInt();
    QElapsedTimer reloj;
    reloj.start();
    ResumenEscala r;
    try {
        gConexion = textoConexion(QDir::toNativeSeparators(temporal));
        r = GenerarEscala(tamano);
        Conexion::cerrarTodas();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Fallo al generar la base: %s\n", e.what());
        return 1;
    }
    // Sólo una base acabada ocupa el sitio de la anterior.
    for (const char* nombre : {"Evaluacion.mdb", "SYSTEM.mdw"}) {
        QFile::remove(carpeta + "/" + nombre);
        QFile::rename(temporal + "/" + nombre, carpeta + "/" + nombre);
    }
    QDir(temporal).removeRecursively();
    std::printf("Base de escala en %s (%.1f s): %lld empresas, %lld centros, %lld puestos, %lld factores, "
                "%lld evaluaciones, %lld medidas, %lld líneas de plan\n",
                qPrintable(carpeta), reloj.elapsed() / 1000.0, r.empresas, r.centros, r.puestos, r.factores,
                r.evaluaciones, r.medidas, r.lineasPlan);
    return 0;
}
