#include "planning/RevaloracionPlan.h"

#include "evaluation/VentanaAsistente.h"
#include "plataforma/PlataformaServicios.h"
#include "plataforma/Reloj.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"
#include "shell/grid/DataSource.h"
#include "store/Conexion.h"
#include "store/PlanAcciones.h"

#include <vector>

namespace {
using Icono = PlataformaServicios::Icono;
using Botones = PlataformaServicios::Botones;
using Respuesta = PlataformaServicios::Respuesta;

// Lo que hace falta para abrir la valoración de un riesgo en su puesto.
const char* const PuestoDelRiesgo = R"SQL(
SELECT e.ValorRiesgo, p.IDPuestoCentro, p.Puesto, c.IDEmpresa
FROM Evaluacion e
JOIN PuestosCentros p ON p.IDPuestoCentro = e.IDPuestoCentro
JOIN CentroTrabajo c ON c.IDCentro = p.IDCentro
WHERE e.IDEvaluacion = ?
)SQL";

// La valoración de antes de un riesgo cuya acción se ha dado por realizada y que se ha abierto para
// valorarlo otra vez. Sigue aquí aunque la ventana del plan se abra de nuevo.
struct Revaloracion
{
    QString conexion;
    long long idEvaluacion = 0;
    long long idLinea = 0;
    QString nivelAnterior;
};
std::vector<Revaloracion>& revaloracionesPendientes()
{
    static std::vector<Revaloracion> pendientes;
    return pendientes;
}

QString texto(const QVariant& valor)
{
    return NuloATexto(valor).toString();
}
} // namespace

RevaloracionPlan::RevaloracionPlan(Sesion& sesion, QWidget* ventana, std::function<bool()> dejarVentana)
    : QObject(ventana), sesion_(sesion), ventana_(ventana), dejarVentana_(std::move(dejarVentana))
{
}

bool RevaloracionPlan::hayPendientes()
{
    return !revaloracionesPendientes().empty();
}

void RevaloracionPlan::ofrecer(DataSource* ds)
{
    const int fila = ds->currentRow();
    const QVariant evaluacion = ds->fieldValue(fila, "IDEvaluacion");
    if (fila < 0 || evaluacion.isNull())
        return;
    const QString pregunta = QString("La acción de «%1» en el puesto «%2» está realizada. ¿Quiere volver a valorar "
                                     "ahora ese riesgo?")
                                 .arg(texto(ds->fieldValue(fila, "Riesgo")), texto(ds->fieldValue(fila, "Puesto")));
    if (Servicios().mensaje(ventana_, pregunta, "Volver a valorar", Icono::Pregunta, Botones::SiNo, Respuesta::Si) !=
        Respuesta::Si)
        return;
    const auto filas = Conexion::obtener(sesion_.conexion)->leerFilas(PuestoDelRiesgo, {evaluacion});
    const long long linea = ds->fieldValue(fila, "IDActuacionRegistro").toLongLong();
    if (filas.empty() || !dejarVentana_())
        return;
    const QVariantList& f = filas.front();
    revaloracionesPendientes().push_back({sesion_.conexion, evaluacion.toLongLong(), linea, f[0].toString()});
    sesion_.puestoActual = VentanaAsistente::TextoPuesto(f[1].toLongLong(), f[2].toString());
    sesion_.idEmpresa = f[3].toLongLong();
    if (RegistroVentanas* r = RegistroVentanas::actual())
        r->abrirNueva(Ventana::SeleccionaRiesgos);
}

void RevaloracionPlan::guardar()
{
    auto& pendientes = revaloracionesPendientes();
    for (auto i = pendientes.begin(); i != pendientes.end();) {
        if (i->conexion != sesion_.conexion) {
            ++i;
            continue;
        }
        const Revaloracion r = *i;
        i = pendientes.erase(i);
        GuardarRevaloracion(*Conexion::obtener(r.conexion), r.idEvaluacion, r.idLinea, r.nivelAnterior, Hoy());
    }
}
