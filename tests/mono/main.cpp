// El mono: corre la ventana principal de verdad, sin pantalla, sobre una copia de una base sembrada,
// con acciones al azar a partir de una semilla, y revisa la base al final de cada corrida.
//
//   mono                          las semillas 1..6, 500 pasos cada una (lo que pasa ./test.sh)
//   mono --semilla N              sólo esa semilla (también MONO_SEMILLA=N en el entorno)
//   mono --desde N --corridas K   K semillas seguidas desde N
//   mono --segundos S             semillas seguidas hasta gastar S segundos
//   mono --pasos P                pasos por corrida
//   mono --ventanas A,B           falla si alguna de esas ventanas no se ha llegado a abrir (o MONO_VENTANAS)
#include "Mono.h"
#include "SiembraBase.h"
#include "app/VentanasPrograma.h"
#include "plataforma/PlataformaServicios.h"
#include "store/Conexion.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <map>

namespace {
// Lo que se escribe si el proceso muere: la semilla y el paso para repetirlo.
char gEnCurso[160] = "mono: aún no ha empezado ninguna corrida\n";

extern "C" void alMorir(int senal)
{
    std::fputs("\nEL MONO HA HECHO CAER EL PROGRAMA. ", stderr);
    std::fputs(gEnCurso, stderr);
    std::fflush(stderr);
    std::signal(senal, SIG_DFL);
    std::raise(senal);
}

std::map<QString, int> gAvisosQt;
QtMessageHandler gManejadorAnterior = nullptr;

void apuntarAvisoQt(QtMsgType tipo, const QMessageLogContext& contexto, const QString& texto)
{
    if (tipo == QtWarningMsg || tipo == QtCriticalMsg)
        ++gAvisosQt[texto.left(160)];
    if (tipo == QtFatalMsg || tipo == QtCriticalMsg)
        gManejadorAnterior(tipo, contexto, texto);
}

QString argumento(const QStringList& args, const QString& nombre)
{
    const int i = int(args.indexOf(nombre));
    return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : QString();
}

// Carpeta de programa con la base entregada, los informes y la siembra; cada corrida la copia.
bool prepararPlantilla(const QString& carpeta)
{
    const QString entrega = QStringLiteral(CARPETA_ENTREGA);
    for (const char* nombre : {"Evaluacion.mdb", "SYSTEM.mdw"})
        if (!QFile::copy(entrega + "/" + nombre, carpeta + "/" + nombre))
            return false;
    QDir(carpeta).mkdir(QStringLiteral("Informes"));
    for (const char* nombre : {"Evaluacion.rpt", "Planificacion.rpt"})
        QFile::copy(QStringLiteral(FUENTES_PROYECTO "/data/informes/") + nombre, carpeta + "/Informes/" + nombre);
    SembrarBase(textoConexion(QDir::toNativeSeparators(carpeta)));
    Conexion::cerrarTodas();
    return true;
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication aplicacion(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Evaluacion"));
    for (int s : {SIGSEGV, SIGABRT, SIGFPE, SIGILL})
        std::signal(s, alMorir);
    gManejadorAnterior = qInstallMessageHandler(apuntarAvisoQt);

    const QStringList args = aplicacion.arguments();
    quint64 desde = 1;
    int corridas = 6;
    int pasos = 500;
    qint64 segundos = 0;
    if (!argumento(args, "--desde").isEmpty())
        desde = argumento(args, "--desde").toULongLong();
    if (!argumento(args, "--corridas").isEmpty())
        corridas = argumento(args, "--corridas").toInt();
    if (!argumento(args, "--pasos").isEmpty())
        pasos = argumento(args, "--pasos").toInt();
    if (!argumento(args, "--segundos").isEmpty()) {
        segundos = argumento(args, "--segundos").toLongLong();
        if (argumento(args, "--corridas").isEmpty())
            corridas = INT_MAX;
    }
    QString una = argumento(args, "--semilla");
    if (una.isEmpty())
        una = qEnvironmentVariable("MONO_SEMILLA");
    if (!una.isEmpty()) {
        desde = una.toULongLong();
        corridas = 1;
        segundos = 0;
    }

    RegistrarVentanasDelPrograma();

    QTemporaryDir plantilla;
    if (!plantilla.isValid() || !prepararPlantilla(plantilla.path())) {
        std::fprintf(stderr, "mono: no se ha podido preparar la base sembrada\n");
        return 2;
    }

    QElapsedTimer reloj;
    reloj.start();
    int bien = 0, mal = 0;
    QSet<QString> ventanas;
    std::map<QString, int> avisos;
    for (quint64 semilla = desde; corridas-- > 0; ++semilla) {
        if (segundos > 0 && reloj.elapsed() >= segundos * 1000)
            break;
        std::snprintf(gEnCurso, sizeof gEnCurso, "Semilla %llu; para repetirla: MONO_SEMILLA=%llu %s --pasos %d\n",
                      static_cast<unsigned long long>(semilla), static_cast<unsigned long long>(semilla), argv[0],
                      pasos);
        QStringList hallazgos, acciones;
        int arranques = 0, modales = 0, previstos = 0;
        {
            Mono mono(semilla, plantilla.path());
            mono.correr(pasos);
            hallazgos = mono.hallazgos;
            acciones = mono.ultimasAcciones();
            arranques = mono.arranques;
            modales = mono.modalesCerrados;
            previstos = mono.avisosPrevistos;
            for (const QString& v : mono.ventanasVistas)
                ventanas.insert(v);
            for (const auto& [titulo, veces] : mono.avisosVistos)
                avisos[titulo] += veces;
        }
        if (hallazgos.isEmpty()) {
            ++bien;
            std::printf("semilla %llu: bien (%d arranques, %d diálogos modales cerrados, %d errores previstos)\n",
                        static_cast<unsigned long long>(semilla), arranques, modales, previstos);
        } else {
            ++mal;
            std::printf("HALLAZGO. %s", gEnCurso);
            for (const QString& h : hallazgos)
                std::printf("  %s\n", qPrintable(h));
            std::printf("  últimas acciones:\n");
            for (const QString& a : acciones)
                std::printf("    %s\n", qPrintable(a));
        }
        std::fflush(stdout);
    }
    QStringList vistas(ventanas.begin(), ventanas.end());
    vistas.sort();
    std::printf("ventanas visitadas: %s\n", qPrintable(vistas.join(", ")));
    std::printf("avisos contestados:");
    for (const auto& [titulo, veces] : avisos)
        std::printf(" «%s» %d;", qPrintable(titulo), veces);
    std::printf("\n");
    if (!gAvisosQt.empty()) {
        std::printf("avisos de Qt:\n");
        for (const auto& [texto, veces] : gAvisosQt)
            std::printf("  %dx %s\n", veces, qPrintable(texto));
    }
    // Un mono que ya no llega a una ventana (un botón renombrado, un paso que no abre) no la prueba.
    QString lista = argumento(args, "--ventanas");
    if (lista.isEmpty())
        lista = qEnvironmentVariable("MONO_VENTANAS");
    const QStringList exigidas = lista.split(',', Qt::SkipEmptyParts);
    for (const QString& v : exigidas)
        if (!ventanas.contains(v)) {
            std::printf("HALLAZGO. El mono no ha llegado a la ventana %s\n", qPrintable(v));
            ++mal;
        }
    std::printf("mono: %d passed, %d failed\n", bien, mal);
    return mal == 0 ? 0 : 1;
}
