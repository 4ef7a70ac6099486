// generar_escala CARPETA [empresas]: deja en CARPETA una copia de la base entregada llena hasta el
// tamaño de una asesoría grande, con las mismas operaciones que hace el programa.
// generar_escala CARPETA --veces N [--desde CARPETA_BASE]: deja en CARPETA la base de CARPETA_BASE
// (si no se da, una recién hecha como arriba) repetida N veces.
// Las medidas de rendimiento copian la base antes de cada prueba; nunca la cambian.
#include "GeneradorEscala.h"
#include "store/Conexion.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <stdexcept>

namespace {
// Llena en carpeta (vacía) una copia de la base entregada con las operaciones del programa.
ResumenEscala generarBase(const QString& carpeta, const TamanoEscala& tamano)
{
    for (const char* nombre : {"Evaluacion.mdb", "SYSTEM.mdw"})
        if (!QFile::copy(QStringLiteral(CARPETA_ENTREGA) + "/" + nombre, carpeta + "/" + nombre))
            throw std::runtime_error(std::string("no se puede copiar ") + nombre + " de la base entregada");
    const ResumenEscala r = GenerarEscala(textoConexion(QDir::toNativeSeparators(carpeta)), tamano);
    Conexion::cerrarTodas();
    return r;
}

int uso()
{
    std::fprintf(stderr, "Uso: generar_escala CARPETA [empresas]\n"
                         "     generar_escala CARPETA --veces N [--desde CARPETA_BASE]\n");
    return 2;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication aplicacion(argc, argv);
    QStringList argumentos = aplicacion.arguments().mid(1);
    QString carpeta, desde;
    TamanoEscala tamano;
    int veces = 1;
    while (!argumentos.isEmpty()) {
        const QString a = argumentos.takeFirst();
        bool bien = true;
        if ((a == "--veces" || a == "--desde") && argumentos.isEmpty())
            return uso();
        if (a == "--veces")
            veces = argumentos.takeFirst().toInt(&bien);
        else if (a == "--desde")
            desde = argumentos.takeFirst();
        else if (carpeta.isEmpty())
            carpeta = a;
        else
            tamano.empresas = a.toInt(&bien);
        if (!bien || veces < 1 || tamano.empresas < 1)
            return uso();
    }
    if (carpeta.isEmpty() || (!desde.isEmpty() && veces == 1))
        return uso();
    QDir().mkpath(carpeta);
    const QString temporal = carpeta + "/generando";
    const QString base = carpeta + "/generando-base";
    for (const QString& c : {temporal, base}) {
        QDir(c).removeRecursively();
        QDir().mkpath(c);
    }
    QElapsedTimer reloj;
    reloj.start();
    ResumenEscala r;
    try {
        if (veces == 1) {
            r = generarBase(temporal, tamano);
        } else {
            if (desde.isEmpty()) {
                generarBase(base, tamano);
                desde = base;
            }
            r = MultiplicarEscala(desde, temporal, veces);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Fallo al generar la base: %s\n", e.what());
        return 1;
    }
    // Sólo una base acabada ocupa el sitio de la anterior.
    for (const char* nombre : {"Evaluacion.mdb", "SYSTEM.mdw"}) {
        QFile::remove(carpeta + "/" + nombre);
        if (!QFile::rename(temporal + "/" + nombre, carpeta + "/" + nombre)) {
            std::fprintf(stderr, "No se puede dejar %s en %s.\n", nombre, qPrintable(carpeta));
            return 1;
        }
    }
    QDir(temporal).removeRecursively();
    QDir(base).removeRecursively();
    std::printf("Base de escala en %s (%.1f s): %lld empresas, %lld centros, %lld puestos, %lld factores, "
                "%lld evaluaciones, %lld medidas, %lld líneas de plan\n",
                qPrintable(carpeta), reloj.elapsed() / 1000.0, r.empresas, r.centros, r.puestos, r.factores,
                r.evaluaciones, r.medidas, r.lineasPlan);
    return 0;
}
