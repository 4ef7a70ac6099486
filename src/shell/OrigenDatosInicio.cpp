#include "shell/OrigenDatosInicio.h"

#include "plataforma/CarpetaPrograma.h"
#include "plataforma/OrigenGuardado.h"
#include "plataforma/PlataformaServicios.h"
#include "plataforma/SondeoServidor.h"

#include "store/Conexion.h"
#include "store/ErrorBD.h"

#include <exception>

namespace {
using Icono = PlataformaServicios::Icono;
using Botones = PlataformaServicios::Botones;
using Respuesta = PlataformaServicios::Respuesta;

// Al arrancar se espera menos que en la prueba de la ventana: el usuario está delante sin nada.
constexpr int EsperaArranque = 3;

// Vacío si el servidor contesta y su base de datos se abre; si no, por qué.
QString abrirServidor(const DatosServidor& datos, const QString& conexion)
{
    const ResultadoSondeo sondeo = ProbarServidor(datos, {}, EsperaArranque);
    if (!sondeo.correcta())
        return sondeo.mensaje(datos);
    try {
        Conexion::obtener(conexion);
        return {};
    } catch (const ErrorBD& e) {
        return QStringLiteral("El servidor contesta, pero su base de datos no se puede abrir: ") + e.descripcion();
    } catch (const std::exception& e) {
        return QStringLiteral("El servidor contesta, pero su base de datos no se puede abrir: ") +
               QString::fromLocal8Bit(e.what());
    }
}
} // namespace

QString ConexionAlArrancar(QWidget* ventana)
{
    const QString archivo = textoConexion(CarpetaPrograma());
    const OrigenGuardado origen = LeerOrigen();
    if (!origen.enServidor)
        return archivo;
    const QString conexion = TextoConexionServidor(origen.servidor);
    for (;;) {
        Servicios().relojArena(true);
        const QString motivo = abrirServidor(origen.servidor, conexion);
        Servicios().relojArena(false);
        if (motivo.isEmpty())
            return conexion;
        const Respuesta respuesta = Servicios().mensaje(
            ventana,
            QStringLiteral("No se puede trabajar con la base de datos del servidor «%1».\n\n%2\n\n¿Trabajar esta vez "
                           "con la base de datos del archivo de la carpeta del programa?\n\nSí: se abre el archivo "
                           "(el servidor sigue elegido para la próxima vez).\nNo: se vuelve a intentar con el "
                           "servidor.\nCancelar: se cierra el programa.")
                .arg(FuenteServidor(origen.servidor), motivo),
            QStringLiteral("Evaluación de Riesgos"), Icono::Exclamacion, Botones::SiNoCancelar, Respuesta::Si);
        if (respuesta == Respuesta::Si)
            return archivo;
        if (respuesta == Respuesta::Cancelar)
            Servicios().terminarPrograma();
    }
}
