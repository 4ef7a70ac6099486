#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

// Cómo está cada centro de la base: su evaluación, su revisión y su plan. Se calcula para todos los
// centros a la vez con unas pocas consultas agrupadas por centro, nunca una por centro, para que una
// asesoría con miles de centros lo vea al momento.

// El primer paso de la evaluación que falta, con las mismas comprobaciones que el inicio de la
// evaluación: sin puestos falta el 1; con puestos, el 2 si algún puesto no tiene factores, el 3 si
// falta valorar algún riesgo, el 4 si falta elegir medidas. Completa si no falta ninguno.
enum class PasoPendiente
{
    Puestos = 1,
    Factores = 2,
    Riesgos = 3,
    Medidas = 4,
    Completa = 5
};

struct EstadoCentro
{
    long long idCentro = 0, idEmpresa = 0;
    QString empresa, centro;
    PasoPendiente paso = PasoPendiente::Puestos;
    QDate fechaEvaluacion, fechaRevision; // no válidas si no hay
    // Líneas de los planes del centro: sin hacer (las vencidas entre ellas), vencidas y hechas.
    int pendientes = 0, vencidas = 0, hechas = 0;
    // Suma de los presupuestos de las líneas sin hacer que se leen como importe, y cuántos no se leen.
    double presupuesto = 0;
    int presupuestosSinLeer = 0;
};

// Lee un presupuesto escrito a mano como importe; nada si no lo es. La regla es de quien llama; lo
// ya sumado se guarda para la misma regla (el mismo tipo y, si es una función suelta, la misma), así
// que dos reglas distintas no pueden ser el mismo tipo de objeto con distinto estado.
using LectorImporte = std::function<std::optional<double>(const QString&)>;

// Todos los centros de todas las empresas, por empresa y centro. "hoy" decide qué línea está vencida
// (fecha límite anterior y sin hacer). Lanza ErrorBD.
std::vector<EstadoCentro> LeerEstadoCentros(const QString& conexion, const QDate& hoy, const LectorImporte& leer);

// Lo que leyó de la base la última LeerEstadoCentros: los centros; de cuántos rehízo las
// comprobaciones y contó las líneas de sus planes, y cuántas filas de presupuestos leyó. Con lo
// guardado de la vez anterior, sólo las de los centros en los que se ha escrito desde entonces.
struct LecturaEstado
{
    int centros = 0, comprobados = 0, lineas = 0, presupuestos = 0;
};
LecturaEstado UltimaLecturaEstado();

// Empieza a leer en otro hilo, con una conexión propia, lo que más cuesta de LeerEstadoCentros, para
// que la primera vez que se abra el resumen no haya que esperarlo: las comprobaciones y, con "hoy"
// válido, las líneas de los planes contadas con ese día (una lectura de otro día las vuelve a contar).
// Lo que se escriba mientras tanto se tiene en cuenta igual. No hace nada si lo guardado de esa
// conexión sigue valiendo (EstadoCentrosPorRehacer). Lanza ErrorBD si no puede empezar.
void PrepararEstadoCentros(const QString& conexion, const QDate& hoy = {});
// Si lo que PrepararEstadoCentros lee aparte aún no ha terminado: LeerEstadoCentros lo esperaría.
bool PreparandoEstadoCentros();
// Si LeerEstadoCentros tendría que rehacer ahora las comprobaciones de todos los centros: no hay
// nada guardado de esa conexión, otra conexión ha escrito en el archivo desde entonces o lo preparado
// aparte se leyó antes de que escribiera. Quien no quiera esperarlo llama antes a PrepararEstadoCentros.
// En el servidor, nunca: allí cada lectura va entera al servidor. Lanza ErrorBD.
bool EstadoCentrosPorRehacer(const QString& conexion);
// Para las pruebas: mientras esté retenida, la lectura aparte espera con el archivo abierto y una
// lectura empezada, antes de leer nada de los centros; LecturaAparteRetenida dice si ya está ahí.
void RetenerLecturaAparte(bool retener);
bool LecturaAparteRetenida();
// Para lo que se esté leyendo aparte, espera a que su conexión se cierre y olvida lo leído. Se llama al
// cerrar la ventana principal: después de ella nada queda abierto sobre el archivo.
void TerminarEstadoCentros();

struct Vencimientos
{
    int revisiones = 0; // centros con la próxima revisión anterior a hoy
    int acciones = 0;   // líneas de plan sin hacer con la fecha límite anterior a hoy
};
// Lo vencido de toda la base, para el aviso al abrir el programa. Lanza ErrorBD.
Vencimientos ContarVencimientos(const QString& conexion, const QDate& hoy);

// Las consultas de LeerEstadoCentros y ContarVencimientos, con sus "?" por orden, en la forma del
// motor: la del archivo ("archivo") o la del servidor, que guarda las fechas como fechas.
// Comprobaciones: (centro, puestos, sin factores, sin valorar, factores sin medidas), sin valores.
// CentrosYLineas: las columnas de EstadoCentro, con "hoy". Presupuestos: (centro, texto, veces).
// Vencimientos: (revisiones, acciones), con "hoy" dos veces.
enum class ConsultaEstado
{
    Comprobaciones,
    CentrosYLineas,
    Presupuestos,
    Vencimientos
};
QByteArray TextoConsultaEstado(ConsultaEstado consulta, bool archivo);

// Vencida antes de hoy; "pronto" si vence hoy o en los próximos 30 días.
bool RevisionVencida(const QDate& revision, const QDate& hoy);
bool RevisionProxima(const QDate& revision, const QDate& hoy);
