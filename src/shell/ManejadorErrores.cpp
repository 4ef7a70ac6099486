#include "shell/ManejadorErrores.h"

#include "plataforma/PlataformaServicios.h"
#include "shell/Rutinas.h"
#include "store/ErrorBD.h"
#include "store/Recordset.h"

#include <QLabel>

#include <cstdlib>
#include <exception>
#include <optional>

namespace {
using namespace TiposAviso;

const QString SaltoLinea = QStringLiteral("\n\r"); // así ha sido siempre: salto de línea y luego retorno

// Lo que ha fallado en un paso, reducido a número, descripción y sentencia.
struct Fallo
{
    long numero;
    QString descripcion;
    QString sentencia;
};

// Corre un paso. Devuelve false y rellena el fallo si lanzó un error; ProgramaTerminado sigue
// su camino para que no se ejecute nada más.
bool correr(const Paso& paso, Fallo& fallo)
{
    try {
        if (paso)
            paso();
        return true;
    } catch (const ProgramaTerminado&) {
        throw;
    } catch (const ErrorBD& e) {
        fallo = {e.numero(), e.descripcion(), e.sentencia()};
    } catch (const std::exception& e) {
        fallo = {NumeroError::ErrorGeneral, QString::fromLocal8Bit(e.what()), {}};
    } catch (...) {
        fallo = {NumeroError::ErrorGeneral, QStringLiteral("Error desconocido"), {}};
    }
    return false;
}

// Sin registro actual: si el conjunto está antes de su primera fila se pone en ella.
void colocarEnPrimera(Recordset* principal, QLabel* contador)
{
    if (!principal)
        return;
    // Un fallo aquí no debe salir del manejador: se sigue sin más, como con el 3021.
    try {
        if (!principal->isOpen() || !principal->bof())
            return;
        const long total = principal->countWithoutReading();
        // Un conjunto vacío también está en BOF, pero no tiene primera fila a la que ir.
        if (total <= 0)
            return;
        if (contador)
            contador->setText(FormatoMiles(1) + QStringLiteral(" de ") + FormatoMiles(total));
        principal->moveFirst();
    } catch (const ProgramaTerminado&) {
        throw;
    } catch (...) {
    }
}
} // namespace

QString TextoErrorGeneral(long numero, const QString& descripcion)
{
    return QStringLiteral("Se ha producido el error: ") + QString::number(numero) + SaltoLinea +
           QStringLiteral("Descripción: ") + descripcion;
}

void MostrarErrorGeneral(long numero, const QString& descripcion, QWidget* ventana)
{
    // Otro ha guardado la fila antes: no es un fallo del programa, y la ventana ya enseña lo guardado.
    if (numero == NumeroError::RegistroModificado) {
        Servicios().mensaje(ventana, descripcion, QStringLiteral("Aviso"), Icono::Exclamacion, Botones::Aceptar,
                            Respuesta::Aceptar);
        return;
    }
    Servicios().mensaje(ventana, TextoErrorGeneral(numero, descripcion), QStringLiteral("Error"), Icono::Critico,
                        Botones::Aceptar, Respuesta::Aceptar);
}

void IniciarReparacionYTerminar()
{
    // El resultado no cambia nada: se termina igual aunque Reparar no haya arrancado.
    Servicios().iniciarPrograma(rutaPrograma(CarpetaPrograma(), QStringLiteral("Reparar")));
    Servicios().terminarPrograma();
    std::abort(); // terminarPrograma no vuelve; el compilador no lo sabe a través de la llamada virtual
}

void OfrecerReparacion(QWidget* ventana)
{
    const Respuesta r =
        Servicios().mensaje(ventana,
                            QStringLiteral("La base de datos esta dañada") + SaltoLinea +
                                QStringLiteral("¿Desea repararla en estos Momentos?"),
                            QStringLiteral("Base de datos Dañada"), Icono::Pregunta, Botones::SiNo, Respuesta::Si);
    if (r == Respuesta::Si)
        IniciarReparacionYTerminar();
    Servicios().terminarPrograma();
    std::abort();
}

void EjecutarCarga(const std::vector<Paso>& pasos, QWidget* ventana)
{
    for (const Paso& paso : pasos) {
        Fallo fallo;
        if (correr(paso, fallo))
            continue;
        if (fallo.numero == NumeroError::BaseDanada)
            OfrecerReparacion(ventana);
        MostrarErrorGeneral(fallo.numero, fallo.descripcion, ventana);
    }
}

void EjecutarPresentacion(const std::vector<Paso>& pasos, Recordset* principal, QLabel* contador, QWidget* ventana)
{
    for (const Paso& paso : pasos) {
        int intentos = 0;
        for (;;) {
            Fallo fallo;
            ++intentos;
            if (correr(paso, fallo))
                break;
            if (fallo.numero == NumeroError::SintaxisConsulta) {
                if (intentos < IntentosSintaxis)
                    continue;
                // Repetir sin fin colgaría la ventana: se avisa de la consulta y se sigue.
                const QString sentencia = fallo.sentencia.isEmpty() ? QStringLiteral("(desconocida)") : fallo.sentencia;
                Servicios().mensaje(
                    ventana,
                    QStringLiteral("No se ha podido ejecutar la consulta tras %1 intentos:").arg(IntentosSintaxis) +
                        SaltoLinea + sentencia + SaltoLinea + QStringLiteral("Descripción: ") + fallo.descripcion,
                    QStringLiteral("Error"), Icono::Critico, Botones::Aceptar, Respuesta::Aceptar);
                break;
            }
            if (fallo.numero == NumeroError::SinRegistroActual)
                colocarEnPrimera(principal, contador);
            else if (fallo.numero != NumeroError::PropiedadSoloLectura &&
                     fallo.numero != NumeroError::ObjetoDesconectado)
                MostrarErrorGeneral(fallo.numero, fallo.descripcion, ventana);
            break;
        }
    }
}

void EjecutarSinAviso(const std::vector<Paso>& pasos)
{
    for (const Paso& paso : pasos) {
        Fallo fallo;
        correr(paso, fallo);
    }
}

bool EjecutarAvisandoAlFinal(const std::vector<Paso>& pasos, QWidget* ventana)
{
    std::optional<Fallo> primero;
    for (const Paso& paso : pasos) {
        Fallo fallo;
        if (!correr(paso, fallo) && !primero)
            primero = fallo;
    }
    if (!primero)
        return true;
    if (primero->numero == NumeroError::BaseDanada)
        OfrecerReparacion(ventana);
    MostrarErrorGeneral(primero->numero, primero->descripcion, ventana);
    return false;
}

void ProtegerRanura(const std::function<void()>& cuerpo, QWidget* ventana)
{
    try {
        Fallo fallo;
        if (!correr(cuerpo, fallo))
            MostrarErrorGeneral(fallo.numero, fallo.descripcion, ventana);
    } catch (const ProgramaTerminado&) {
        // Sólo llega aquí con los servicios de prueba: el programa "ha terminado".
    } catch (...) {
        // Ni siquiera el aviso puede dejar escapar nada hacia Qt.
    }
}
