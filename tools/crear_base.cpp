// Crea la base de datos entregada (esquema y catálogo) y el archivo de cuentas.
// Uso: crear_base <carpeta del catálogo> <Evaluacion.mdb de salida> <SYSTEM.mdw de salida>
#include "CargaCatalogo.h"
#include "store/Conexion.h"
#include "store/CuentaSistema.h"
#include "store/ErrorBD.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <stdexcept>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "Uso: crear_base <carpeta del catálogo> <Evaluacion.mdb> <SYSTEM.mdw>\n");
        return 2;
    }
    const QString catalogo = args[1], base = args[2], cuentas = args[3];
    // Se construye aparte y se pone en su sitio al final: nunca queda una base a medias.
    const QString temporal = base + ".nueva";
    for (const char* sufijo : {"", "-wal", "-shm"})
        QFile::remove(temporal + sufijo);
    try {
        RecuentoCatalogo r;
        {
            auto c = Conexion::crear(temporal);
            r = cargarCatalogo(*c, catalogo);
            c->ejecutar("PRAGMA optimize");
        }
        QFile::remove(base);
        if (!QFile::rename(temporal, base))
            throw std::runtime_error(("no se puede escribir " + base).toStdString());
        if (!escribirCuenta(cuentas, "Velka", "Tortuganza"))
            throw std::runtime_error(("no se puede escribir " + cuentas).toStdString());
        std::printf("Base de datos creada: %d riesgos, %d puestos, %d factores, %d enlaces, %d medidas, "
                    "%d actuaciones, %d factores habituales (catálogo, revisión %d)\n",
                    r.riesgos, r.puestos, r.factores, r.enlaces, r.medidas, r.actuaciones, r.habituales, r.revision);
    } catch (const ErrorBD& e) {
        std::fprintf(stderr, "crear_base: %s\n", qPrintable(e.descripcion()));
        QFile::remove(temporal);
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "crear_base: %s\n", e.what());
        QFile::remove(temporal);
        return 1;
    }
    return 0;
}
