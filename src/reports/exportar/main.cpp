// ExportarInformes: escribe en PDF (u ODT) los dos documentos de un centro, o de todos, o el
// documento de una empresa, con el mismo motor y las mismas plantillas que el visor del programa;
// o sus datos en hoja de cálculo (XLSX o CSV).
//
//   ExportarInformes [--centro ID | --empresa ID] [--formato pdf|odt|xlsx|csv] [--destino CARPETA]
//   (códigos de salida: --help)
#include "plataforma/OrigenGuardado.h"
#include "reports/exportar/ExportacionInformes.h"
#include "shell/Rutinas.h"
#include "store/Conexion.h"
#include "store/ProteccionDiario.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <exception>
#include <iterator>
#include <optional>
#include <utility>

namespace {
// Ninguna salida deja la base con conexiones abiertas ni el diario a medias.
struct CierreConexiones
{
    ~CierreConexiones() { Conexion::cerrarTodas(); }
};
} // namespace

int main(int argc, char* argv[])
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Sin pantalla también: sólo hace falta componer texto.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    QGuiApplication aplicacion(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("ExportarInformes"));
    const CierreConexiones cierre;
    QTextStream salida(stdout), errores(stderr);
    const auto fallar = [&](const QString& texto, int codigo) {
        errores << texto << Qt::endl;
        return codigo;
    };

    const QStringList argumentos = aplicacion.arguments().mid(1);
    std::optional<long long> soloCentro, empresa;
    FormatoDocumento formato = FormatoDocumento::Pdf;
    QString destino = QDir::currentPath();
    const QString uso =
        QStringLiteral("Uso: ExportarInformes [--centro ID | --empresa ID] [--formato pdf|odt|xlsx|csv] "
                       "[--destino CARPETA] (más en --help)");
    for (int i = 0; i < argumentos.size(); ++i) {
        const QString& a = argumentos[i];
        const bool conValor = a == QLatin1String("--centro") || a == QLatin1String("--empresa") ||
                              a == QLatin1String("--destino") || a == QLatin1String("--formato");
        if (conValor && i + 1 >= argumentos.size())
            return fallar(QStringLiteral("Falta el valor de %1.\n%2").arg(a, uso), SalidaExportacion::Uso);
        if (a == QLatin1String("--centro") || a == QLatin1String("--empresa")) {
            const bool esCentro = a == QLatin1String("--centro");
            bool ok = false;
            const long long id = argumentos[++i].toLongLong(&ok);
            if (!ok || id <= 0)
                return fallar(
                    QStringLiteral("«%1» no es un número de %2.")
                        .arg(argumentos[i], esCentro ? QStringLiteral("centro de trabajo") : QStringLiteral("empresa")),
                    SalidaExportacion::Uso);
            (esCentro ? soloCentro : empresa) = id;
        } else if (a == QLatin1String("--formato")) {
            const QString valor = argumentos[++i].toLower();
            const std::pair<const char*, FormatoDocumento> formatos[] = {{"pdf", FormatoDocumento::Pdf},
                                                                         {"odt", FormatoDocumento::Odt},
                                                                         {"xlsx", FormatoDocumento::Xlsx},
                                                                         {"csv", FormatoDocumento::Csv}};
            const auto elegido = std::find_if(std::begin(formatos), std::end(formatos),
                                              [&](const auto& f) { return valor == QLatin1String(f.first); });
            if (elegido == std::end(formatos))
                return fallar(QStringLiteral("«%1» no es un formato: pdf, odt, xlsx o csv.").arg(argumentos[i]),
                              SalidaExportacion::Uso);
            formato = elegido->second;
        } else if (a == QLatin1String("--destino")) {
            destino = argumentos[++i];
        } else if (a == QLatin1String("--ayuda") || a == QLatin1String("-h") || a == QLatin1String("--help")) {
            salida << AyudaExportacion() << Qt::endl;
            return SalidaExportacion::Correcta;
        } else {
            return fallar(QStringLiteral("Argumento desconocido «%1».\n%2").arg(a, uso), SalidaExportacion::Uso);
        }
    }
    if (soloCentro && empresa)
        return fallar(
            QStringLiteral("--centro y --empresa no van juntos: o un centro, o la empresa entera.\n%1").arg(uso),
            SalidaExportacion::Uso);

    // Los datos están donde los leen las ventanas: el archivo de la carpeta o el servidor elegido en
    // Origen de datos (la contraseña, en el archivo de contraseñas de libpq).
    const OrigenGuardado origen = LeerOrigen();
    if (!origen.enServidor) {
        const QString base = RutaEnPrograma(QStringLiteral("Evaluacion.mdb"));
        if (!QFileInfo::exists(base))
            return fallar(QStringLiteral("No se encuentra la base de datos «%1».").arg(QDir::toNativeSeparators(base)),
                          SalidaExportacion::BaseDatos);

        // Antes de la primera conexión: un diario que no es del archivo no lo vacía. Si no se puede
        // guardar la copia previa, no se sigue: abrir aplicaría el diario sin red.
        const ResultadoDiario diario = ProtegerDiario(base);
        for (const QString& aviso : TomarAvisosDiario())
            errores << aviso << Qt::endl;
        if (diario.estado == ResultadoDiario::Estado::SinCopia)
            return SalidaExportacion::BaseDatos;
    }

    try {
        ExportacionInformes exportacion(CarpetaPrograma(), destino, salida, errores);
        if (origen.enServidor)
            exportacion.fijarConexion(TextoConexionServidor(origen.servidor));
        exportacion.fijarFormato(formato);
        return empresa ? exportacion.ejecutarEmpresa(*empresa) : exportacion.ejecutar(soloCentro);
    } catch (const std::exception& e) {
        return fallar(QStringLiteral("La exportación se ha detenido: %1").arg(QString::fromLocal8Bit(e.what())),
                      SalidaExportacion::BaseDatos);
    }
}
