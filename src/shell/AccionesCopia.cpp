#include "shell/AccionesCopia.h"

#include "plataforma/PlataformaServicios.h"
#include "shell/Rutinas.h"

#include "store/Conexion.h"
#include "store/CopiaSeguridad.h"
#include "store/ErrorBD.h"
#include "store/EstadoCentros.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressDialog>

namespace {
using Icono = PlataformaServicios::Icono;
using Botones = PlataformaServicios::Botones;
using Respuesta = PlataformaServicios::Respuesta;

const QString TituloCopia = QStringLiteral("Copia de seguridad");
const QString TituloRestaurar = QStringLiteral("Restaurar copia");
const QString Filtro = QStringLiteral("Bases de datos (*.mdb);;Todos los archivos (*)");

QString nativo(const QString& ruta)
{
    return QDir::toNativeSeparators(ruta);
}

void avisar(QWidget* ventana, const QString& texto, const QString& titulo, Icono icono)
{
    Servicios().mensaje(ventana, texto, titulo, icono, Botones::Aceptar, Respuesta::Aceptar);
}

// La base de datos en uso: la del texto de conexión.
QString baseEnUso(const QString& conexion)
{
    if (conexion.isEmpty())
        return QDir::fromNativeSeparators(RutaEnPrograma(QStringLiteral("Evaluacion.mdb")));
    return QDir::fromNativeSeparators(analizarConexion(conexion).fuente);
}

// Barra de avance; sólo sale si la copia tarda, y deja pararla.
class Avance
{
public:
    Avance(QWidget* ventana, const QString& texto) : dialogo_(texto, QStringLiteral("Cancelar"), 0, 1, ventana)
    {
        dialogo_.setObjectName(QStringLiteral("AvanceCopia"));
        dialogo_.setWindowTitle(ventana ? ventana->windowTitle() : QString());
        dialogo_.setWindowModality(Qt::WindowModal);
        dialogo_.setMinimumDuration(600);
        dialogo_.setAutoClose(false);
        dialogo_.setAutoReset(false);
        dialogo_.setValue(0);
        reloj_.start();
    }

    AvanceCopia funcion()
    {
        return [this](int hechas, int total) {
            if (total > 0) {
                dialogo_.setMaximum(total);
                dialogo_.setValue(qMin(hechas, total));
                return !dialogo_.wasCanceled();
            }
            // Comprobando, sin saber cuánto falta: la barra sólo dice que sigue trabajando. El
            // diálogo no atiende a nada por sí solo mientras el valor no cambia.
            if (dialogo_.maximum() != 0) {
                dialogo_.setLabelText(QStringLiteral("Comprobando la copia..."));
                dialogo_.setRange(0, 0);
            }
            if (!dialogo_.isVisible() && reloj_.elapsed() >= dialogo_.minimumDuration())
                dialogo_.show();
            if (dialogo_.isVisible())
                QCoreApplication::processEvents();
            return !dialogo_.wasCanceled();
        };
    }

private:
    QProgressDialog dialogo_;
    QElapsedTimer reloj_;
};
} // namespace

void HacerCopiaSeguridad(QWidget* ventana, const QString& conexion)
{
    const QString copias = carpetaCopias(QDir::fromNativeSeparators(CarpetaPrograma()));
    QDir().mkpath(copias); // para que el diálogo se abra ya en ella
    QString destino = Servicios().elegirArchivo(
        ventana, TituloCopia, nativo(rutaCopiaLibre(copias, QDateTime::currentDateTime())), Filtro, true);
    if (destino.isEmpty())
        return;
    destino = QDir::fromNativeSeparators(destino);
    if (QFileInfo(destino).suffix().isEmpty())
        destino += QStringLiteral(".mdb");
    ResultadoCopia r;
    {
        Avance avance(ventana, QStringLiteral("Copiando la base de datos..."));
        r = copiarBase(baseEnUso(conexion), destino, avance.funcion());
    }
    if (r.estado == ResultadoCopia::Estado::Cancelada)
        return;
    if (!r.hecha())
        return avisar(ventana, QStringLiteral("No se ha hecho la copia de seguridad. ") + r.mensaje, TituloCopia,
                      Icono::Critico);
    avisar(ventana,
           QStringLiteral("Copia de seguridad hecha y comprobada:\n%1\n\nTiene las mismas %2 tablas y %3 filas que la "
                          "base de datos. Guarde también alguna copia fuera de este equipo (en otro disco o en una "
                          "memoria USB).")
               .arg(nativo(r.archivo))
               .arg(r.tablas)
               .arg(r.filas),
           TituloCopia, Icono::Informacion);
}

void RestaurarCopia(QWidget* ventana, QMdiArea* area, const QString& conexion)
{
    const QString carpeta = QDir::fromNativeSeparators(CarpetaPrograma());
    const QString elegido =
        Servicios().elegirArchivo(ventana, TituloRestaurar, nativo(carpetaCopias(carpeta)), Filtro, false);
    if (elegido.isEmpty())
        return;
    const QString origen = QDir::fromNativeSeparators(elegido);
    const QString base = baseEnUso(conexion);
    const auto rechazar = [&](const QString& motivo) {
        avisar(ventana,
               QStringLiteral("No se puede restaurar esta copia. ") + motivo +
                   QStringLiteral(" La base de datos no se ha tocado."),
               TituloRestaurar, Icono::Critico);
    };
    if (QFileInfo(origen).canonicalFilePath() == QFileInfo(base).canonicalFilePath())
        return rechazar(QStringLiteral("Ha elegido la propia base de datos del programa, no una copia."));
    // Antes de preguntar nada ni cerrar ninguna ventana: una copia que no sirve se rechaza ya.
    Servicios().relojArena(true);
    const ExamenBase examen = examinarBase(origen);
    Servicios().relojArena(false);
    if (!examen.sirve())
        return rechazar(examen.motivo);
    QString pregunta = QStringLiteral("¿Restaurar la copia «%1»?\n\nLa base de datos actual se sustituye por la copia; "
                                      "antes se guarda en la carpeta Copias. Se cierran las ventanas abiertas: lo "
                                      "escrito en ellas y no guardado se pierde.")
                           .arg(nativo(origen));
    if (examen.estado == ExamenBase::Estado::Anterior)
        pregunta += QStringLiteral("\n\nLa copia es de una versión anterior del programa: al abrirla se pone al día.");
    if (Servicios().mensaje(ventana, pregunta, TituloRestaurar, Icono::Pregunta, Botones::SiNo, Respuesta::No) !=
        Respuesta::Si)
        return;

    // Ninguna ventana puede seguir leyendo ni escribiendo en la base que sale, ni la lectura aparte
    // del estado de los centros: con ella abierta, la base no se podría sustituir.
    if (area)
        for (QMdiSubWindow* marco : area->subWindowList())
            delete marco;
    TerminarEstadoCentros();
    Conexion::cerrarTodas();
    ResultadoRestauracion r;
    {
        Avance avance(ventana, QStringLiteral("Restaurando la copia..."));
        r = restaurarBase(origen, QFileInfo(base).absolutePath(), QDateTime::currentDateTime(), avance.funcion());
    }
    if (r.cancelada)
        return;
    if (!r.hecha)
        return avisar(ventana, QStringLiteral("No se ha restaurado la copia. ") + r.mensaje, TituloRestaurar,
                      Icono::Critico);
    const QString guardada =
        r.anterior.isEmpty()
            ? QString()
            : QStringLiteral(" La base de datos que había está guardada en «%1».").arg(nativo(r.anterior));
    try {
        Conexion::obtener(conexion);
    } catch (const ErrorBD& e) {
        return avisar(ventana,
                      QStringLiteral("La copia está en su sitio, pero no se puede abrir: %1").arg(e.descripcion()) +
                          guardada,
                      TituloRestaurar, Icono::Critico);
    }
    avisar(ventana, QStringLiteral("Copia restaurada.") + guardada, TituloRestaurar, Icono::Informacion);
}
