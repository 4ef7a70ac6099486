// ExportarInformes: escribe en PDF los dos documentos de un centro, o de todos, con el mismo
// motor y las mismas plantillas que el visor del programa.
//
//   ExportarInformes [--centro ID] [--destino CARPETA]
#include "DocumentoInforme.h"
#include "ErrorBD.h"
#include "Informes.h"
#include "MotorInforme.h"
#include "Recordset.h"
#include "Rutinas.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QSet>
#include <QTextStream>
#include <cstdio>

namespace
{
QTextStream& error()
{
    static QTextStream flujo(stderr);
    return flujo;
}

int fallar(const QString& texto, int codigo)
{
    error() << texto << Qt::endl;
    return codigo;
}

QString limpio(QString nombre)
{
    static const QRegularExpression prohibidos(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1f]"));
    nombre.replace(prohibidos, QStringLiteral("-"));
    nombre = nombre.simplified();
    while (nombre.endsWith(QLatin1Char('.')))
        nombre.chop(1);
    return nombre;
}

struct Centro
{
    long long id;
    long long empresa;
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

    QStringList argumentos = aplicacion.arguments().mid(1);
    std::optional<long long> soloCentro;
    QString destino = QDir::currentPath();
    const QString uso = QStringLiteral("Uso: ExportarInformes [--centro ID] [--destino CARPETA]");
    for (int i = 0; i < argumentos.size(); ++i) {
        const QString& a = argumentos[i];
        if ((a == QLatin1String("--centro") || a == QLatin1String("--destino")) && i + 1 >= argumentos.size())
            return fallar(QStringLiteral("Falta el valor de %1.\n%2").arg(a, uso), 64);
        if (a == QLatin1String("--centro")) {
            bool ok = false;
            const long long id = argumentos[++i].toLongLong(&ok);
            if (!ok || id <= 0)
                return fallar(QStringLiteral("«%1» no es un número de centro de trabajo.").arg(argumentos[i]), 64);
            soloCentro = id;
        } else if (a == QLatin1String("--destino")) {
            destino = argumentos[++i];
        } else if (a == QLatin1String("--ayuda") || a == QLatin1String("-h") || a == QLatin1String("--help")) {
            QTextStream(stdout) << uso << Qt::endl;
            return 0;
        } else {
            return fallar(QStringLiteral("Argumento desconocido «%1».\n%2").arg(a, uso), 64);
        }
    }

    const QString base = RutaEnPrograma(QStringLiteral("Evaluacion.mdb"));
    if (!QFileInfo::exists(base))
        return fallar(QStringLiteral("No se encuentra la base de datos «%1».").arg(base), 2);
    if (!QDir().mkpath(destino))
        return fallar(QStringLiteral("No se puede crear la carpeta de destino «%1».")
                          .arg(QDir::toNativeSeparators(destino)),
                      3);

    MotorInforme evaluacion, planificacion;
    std::vector<Centro> centros;
    try {
        evaluacion.abrirPlantilla(RutaEnPrograma(QStringLiteral("Informes/") + Informes::FicheroEvaluacion));
        planificacion.abrirPlantilla(RutaEnPrograma(QStringLiteral("Informes/") + Informes::FicheroPlanificacion));
        evaluacion.conectarCarpeta(CarpetaPrograma());
        planificacion.conectarCarpeta(CarpetaPrograma());

        Recordset rs;
        if (soloCentro)
            rs.open(QStringLiteral("Select IDCentro, IDEmpresa from CentroTrabajo where IDCentro = ?"),
                    evaluacion.conexion(), {*soloCentro});
        else
            rs.open(QStringLiteral("Select IDCentro, IDEmpresa from CentroTrabajo order by IDCentro"),
                    evaluacion.conexion());
        for (; !rs.eof(); rs.moveNext())
            centros.push_back({rs.value(0).toLongLong(), rs.value(1).toLongLong()});
    } catch (const ErrorBD& e) {
        return fallar(e.descripcion(), 2);
    }
    if (soloCentro && centros.empty())
        return fallar(QStringLiteral("No existe el centro de trabajo %1.").arg(*soloCentro), 4);

    QSet<QString> usados;
    int escritos = 0;
    for (const Centro& c : centros) {
        const std::pair<MotorInforme*, QString> documentos[] = {
            {&evaluacion, FormulaEvaluacion(c.id, c.empresa)},
            {&planificacion, FormulaPlanificacion(c.id)},
        };
        for (const auto& [motor, formula] : documentos) {
            try {
                motor->fijarFormula(formula);
                const auto documento = motor->generar();
                QString nombre = limpio(documento->nombreArchivo());
                if (nombre.isEmpty())
                    nombre = limpio(documento->titulo());
                // Dos centros con la misma dirección no se pisan el archivo.
                if (usados.contains(nombre.toLower()))
                    nombre += QStringLiteral(" (centro %1)").arg(c.id);
                usados.insert(nombre.toLower());
                const QString ruta = QDir(destino).filePath(nombre + QStringLiteral(".pdf"));
                if (!documento->exportarPdf(ruta))
                    return fallar(QStringLiteral("No se ha podido escribir «%1».").arg(QDir::toNativeSeparators(ruta)),
                                  3);
                QTextStream(stdout) << QDir::toNativeSeparators(ruta) << Qt::endl;
                ++escritos;
            } catch (const ErrorBD& e) {
                return fallar(QStringLiteral("Centro %1: %2").arg(c.id).arg(e.descripcion()), 2);
            }
        }
    }
    if (escritos == 0)
        error() << QStringLiteral("No hay centros de trabajo en la base de datos: no se ha escrito nada.") << Qt::endl;
    return 0;
}
