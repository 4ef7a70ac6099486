// Texto de conexión: cualquier texto se analiza o se rechaza con ErrorBD, y el que escribe el
// programa para una carpeta, sea cual sea su nombre, se lee con esa misma carpeta.
#include "store/Conexion.h"
#include "store/ErrorBD.h"

#include <QDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
void fallo(const char* que, const QString& entrada, const QString& obtenido)
{
    std::fprintf(stderr, "%s: «%s» da «%s»\n", que, entrada.toUtf8().constData(), obtenido.toUtf8().constData());
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t tamano)
{
    const QString texto = QString::fromUtf8(reinterpret_cast<const char*>(datos), qsizetype(tamano));
    try {
        const DatosConexion d = analizarConexion(texto);
        if (d.fuente.isEmpty())
            fallo("sin origen de datos y aceptado", texto, d.fuente);
    } catch (const ErrorBD& e) {
        if (e.numero() != NumeroError::ConexionNoValida)
            std::abort();
    }

    // El mismo texto tomado como carpeta del programa.
    const QString carpeta = texto;
    const QString sep = QDir::separator();
    const QString conexion = textoConexion(carpeta);
    DatosConexion d;
    try {
        d = analizarConexion(conexion);
    } catch (const ErrorBD&) {
        fallo("el texto de la carpeta no se puede leer", carpeta, conexion);
    }
    if (d.fuente != carpeta + sep + QStringLiteral("Evaluacion.mdb"))
        fallo("la base de datos no es la de la carpeta", carpeta, d.fuente);
    if (d.sistema != carpeta + sep + QStringLiteral("SYSTEM.mdw"))
        fallo("el archivo de cuentas no es el de la carpeta", carpeta, d.sistema);
    if (d.usuario != QStringLiteral("Velka") || d.clave != QStringLiteral("Tortuganza") ||
        d.modo != QStringLiteral("Read|Write"))
        fallo("la cuenta o el modo cambian con la carpeta", carpeta, d.usuario + ';' + d.clave + ';' + d.modo);
    return 0;
}
