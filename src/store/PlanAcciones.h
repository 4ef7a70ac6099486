#pragma once

#include <QDate>
#include <QString>
#include <QVariant>
#include <vector>

class Conexion;

// El plan de acciones de un centro a partir de su evaluación: prioridad de cada línea, plazos por
// nivel, propuestas de líneas desde las medidas propuestas y el seguimiento de lo hecho.

// Estados de una línea, en su orden. Las dos últimas cuentan como hechas.
const QStringList& EstadosLinea();
bool LineaHecha(const QString& estado);

// Prioridad del nivel de un riesgo: 1 intolerable … 5 trivial; 0 si no es un nivel.
int PrioridadNivel(const QString& valorRiesgo);

// Vencida: con fecha límite anterior al día y sin hacer. La del mismo día aún no lo está.
bool LineaVencida(const QVariant& fechaLimite, const QString& estado, const QDate& hoy);

// Las líneas de un plan por prioridad (la del nivel de su riesgo, y a igual nivel antes el puesto
// con más trabajadores), las generales detrás; dentro de cada grupo por fecha límite. Columnas de
// la vista VLineasPlan; un valor enlazado: el IDActuacion.
extern const char* const LineasPorPrioridad;

struct PlazoNivel
{
    QString nivel; // "Riesgo Moderado"
    int meses = 0; // 0: el mismo día
};
// Plazos de los niveles que se proponen, del más grave al menos.
std::vector<PlazoNivel> LeerPlazos(Conexion& conexion);
// Cambia el plazo de un nivel. Lanza ErrorBD si el número no vale (negativo) o falla la base.
void GuardarPlazo(Conexion& conexion, const QString& nivel, int meses);

// Una línea que se propone desde la evaluación: una por medida propuesta (elegida y no implantada)
// de cada riesgo de nivel moderado o más grave que ninguna línea del plan cubre todavía.
struct LineaPropuesta
{
    long long idEvaluacion = 0;   // la fila mostrada del riesgo en el puesto
    long long idMedidaFactor = 0; // la primera fila con esa redacción
    QString puesto, riesgo, nivel, medida;
    int trabajadores = 0;
    QDate fechaLimite;
};
// Por prioridad, como las líneas del plan. Lanza ErrorBD si falla la base de datos.
std::vector<LineaPropuesta> ProponerDesdeEvaluacion(Conexion& conexion, long long idCentro, const QDate& hoy);
// Añade al plan las propuestas dadas (las marcadas por el usuario), todas o ninguna, con el
// responsable dado y sin presupuesto. Devuelve cuántas ha añadido.
int AnadirPropuestas(Conexion& conexion, long long idActuacion, const std::vector<LineaPropuesta>& propuestas,
                     const QString& responsable);

// Una línea que el usuario añade a mano al plan, pendiente. El riesgo y la medida que cubre son
// opcionales (nulos: una línea general).
struct LineaNueva
{
    long long idActuacion = 0;
    QString accion;
    QDate fechaLimite;
    QString responsable;
    QString presupuesto; // tal como se escribió
    QVariant idEvaluacion, idMedidaFactor;
};
// La añade con una sola sentencia, sin leer las demás líneas del plan, y devuelve su número. Lanza
// ErrorBD si falla la base de datos.
long long AnadirLinea(Conexion& conexion, const LineaNueva& linea);

// Volver a valorar un riesgo cuando la acción de su línea está hecha, en la tabla
// RevaloracionesRiesgo. Una fila con NivelNuevo nulo está pendiente: la acción de su línea
// (IDActuacionRegistro) se dio por realizada en Fecha y el riesgo aún no se ha vuelto a valorar;
// NivelAnterior es el nivel que tenía entonces. Cuando se vuelve a valorar, la misma fila toma el
// nivel nuevo y Fecha pasa a ser la de la nueva valoración. Quien lea las valoraciones de antes y
// de después se queda con las filas de NivelNuevo no nulo.
struct RevaloracionPendiente
{
    long long idRevaloracion = 0, idEvaluacion = 0, idLinea = 0, idPuestoCentro = 0, idEmpresa = 0;
    QString puesto, riesgo, nivelAnterior, nivelActual;
    QDate desde;
};
// Deja pendiente volver a valorar el riesgo de una línea que se acaba de dar por realizada, con el
// nivel que tiene ahora. Nada si la línea no nombra un riesgo o ya tiene una pendiente.
void DejarRevaloracionPendiente(Conexion& conexion, long long idLinea, const QDate& fecha);
// Quita la pendiente de una línea que vuelve a estar sin hacer.
void QuitarRevaloracionPendiente(Conexion& conexion, long long idLinea);
// Quita las pendientes de las líneas de un plan, antes de borrarlo.
void QuitarRevaloracionesDelPlan(Conexion& conexion, long long idActuacion);
// Da por hecha la nueva valoración de una pendiente aunque el riesgo siga en el mismo nivel.
void DarPorRevalorado(Conexion& conexion, long long idRevaloracion, const QDate& fecha);
// Las pendientes del centro cuya línea sigue hecha, de la más antigua a la más reciente.
std::vector<RevaloracionPendiente> RevaloracionesPendientes(Conexion& conexion, long long idCentro);
// Cierra las pendientes del centro cuyo riesgo ya tiene otro nivel (guardan el nuevo con la fecha
// dada) y devuelve las que siguen pendientes.
std::vector<RevaloracionPendiente> CerrarRevaloraciones(Conexion& conexion, long long idCentro, const QDate& fecha);
