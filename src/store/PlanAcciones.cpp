#include "store/PlanAcciones.h"

#include "store/Conexion.h"
#include "store/ErrorBD.h"

#include <QObject>

namespace {
// Riesgos mostrados y valorados del centro, de nivel moderado o más grave, que ninguna línea de
// ningún plan del centro nombra, con cada medida propuesta una sola vez por redacción.
const char* const propuestas = R"SQL(
WITH Graves AS (
    SELECT e.IDEvaluacion, e.IDPuestoCentro, e.IDRiesgo, e.ValorRiesgo, p.Puesto, k.Riesgo, z.Orden, z.Meses,
           CAST(coalesce(nullif(trim(p.NTrabajadores), ''), '0') AS INTEGER) AS Trabajadores
    FROM Evaluacion e
    JOIN PuestosCentros p ON p.IDPuestoCentro = e.IDPuestoCentro
    JOIN PlazosNiveles z ON z.Nivel = e.ValorRiesgo
    LEFT JOIN Riesgos k ON k.IDRiesgo = e.IDRiesgo
    WHERE p.IDCentro = ?1 AND e.Mostrar = 'S'
      AND trim(coalesce(e.Probabilidad, '')) <> '' AND trim(coalesce(e.Consecuencias, '')) <> ''
      AND NOT EXISTS (SELECT 1 FROM "ActuaciónPreventivaRegistro" r WHERE r.IDEvaluacion = e.IDEvaluacion)
)
SELECT g.IDEvaluacion, min(m.IDMedidaFactor), g.Puesto, g.Riesgo, g.ValorRiesgo, m.Medida, g.Trabajadores, g.Meses
FROM Graves g
JOIN Evaluacion x ON x.IDPuestoCentro = g.IDPuestoCentro AND x.IDRiesgo = g.IDRiesgo
JOIN MedidasFactores m ON m.IDEvaluacion = x.IDEvaluacion
WHERE m.MarcarMedida = 'S' AND coalesce(m.Implantada, 'N') <> 'S'
GROUP BY g.IDEvaluacion, m.Medida
ORDER BY g.Orden, g.Trabajadores DESC, g.IDPuestoCentro, g.IDRiesgo, min(m.IDMedidaFactor)
)SQL";
} // namespace

const char* const LineasPorPrioridad =
    "SELECT * FROM VLineasPlan WHERE IDActuacion = ? "
    "ORDER BY Prioridad IS NULL, Prioridad, Trabajadores DESC, FechaLimite IS NULL, FechaLimite, IDActuacionRegistro";

const QStringList& EstadosLinea()
{
    static const QStringList estados{QStringLiteral("Pendiente"), QStringLiteral("En curso"),
                                     QStringLiteral("Realizada"), QStringLiteral("Verificada")};
    return estados;
}

bool LineaHecha(const QString& estado)
{
    return EstadosLinea().indexOf(estado) >= 2;
}

int PrioridadNivel(const QString& valorRiesgo)
{
    static const QStringList niveles{QStringLiteral("Riesgo Intolerable"), QStringLiteral("Riesgo Importante"),
                                     QStringLiteral("Riesgo Moderado"), QStringLiteral("Riesgo Tolerable"),
                                     QStringLiteral("Riesgo Trivial")};
    return int(niveles.indexOf(valorRiesgo)) + 1;
}

bool LineaVencida(const QVariant& fechaLimite, const QString& estado, const QDate& hoy)
{
    const QDate limite = fechaLimite.toDate();
    return limite.isValid() && limite < hoy && !LineaHecha(estado);
}

std::vector<PlazoNivel> LeerPlazos(Conexion& c)
{
    std::vector<PlazoNivel> plazos;
    for (const QVariantList& f : c.leerFilas("SELECT Nivel, Meses FROM PlazosNiveles ORDER BY Orden", {}))
        plazos.push_back({f[0].toString(), f[1].toInt()});
    return plazos;
}

void GuardarPlazo(Conexion& c, const QString& nivel, int meses)
{
    if (meses < 0 || meses > 120)
        throw ErrorBD(NumeroError::ErrorGeneral,
                      QObject::tr("El plazo de «%1» tiene que ser un número de meses entre 0 y 120.").arg(nivel));
    c.ejecutar("UPDATE PlazosNiveles SET Meses = ? WHERE Nivel = ?", {meses, nivel});
}

std::vector<LineaPropuesta> ProponerDesdeEvaluacion(Conexion& c, long long idCentro, const QDate& hoy)
{
    std::vector<LineaPropuesta> lista;
    for (const QVariantList& f : c.leerFilas(propuestas, {idCentro})) {
        LineaPropuesta p;
        p.idEvaluacion = f[0].toLongLong();
        p.idMedidaFactor = f[1].toLongLong();
        p.puesto = f[2].toString();
        p.riesgo = f[3].toString();
        p.nivel = f[4].toString();
        p.medida = f[5].toString();
        p.trabajadores = f[6].toInt();
        p.fechaLimite = hoy.addMonths(f[7].toInt());
        lista.push_back(p);
    }
    return lista;
}

int AnadirPropuestas(Conexion& c, long long idActuacion, const std::vector<LineaPropuesta>& lista,
                     const QString& responsable)
{
    Transaccion t(c);
    for (const LineaPropuesta& p : lista)
        c.ejecutar("INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva, FechaLimite, "
                   "ResponsableEjecucion, IDEvaluacion, IDMedidaFactor, Estado) VALUES (?, ?, ?, ?, ?, ?, 'Pendiente')",
                   {idActuacion, p.medida, p.fechaLimite, responsable, p.idEvaluacion, p.idMedidaFactor});
    t.confirmar();
    return int(lista.size());
}

void GuardarRevaloracion(Conexion& c, long long idEvaluacion, long long idLinea, const QString& nivelAnterior,
                         const QDate& fecha)
{
    const auto ahora = c.leerFilas("SELECT ValorRiesgo FROM Evaluacion WHERE IDEvaluacion = ?", {idEvaluacion});
    if (ahora.empty() || ahora.front()[0].toString() == nivelAnterior)
        return;
    c.ejecutar("INSERT INTO RevaloracionesRiesgo (IDEvaluacion, IDActuacionRegistro, Fecha, NivelAnterior, NivelNuevo) "
               "VALUES (?, ?, ?, ?, ?)",
               {idEvaluacion, idLinea, fecha, nivelAnterior, ahora.front()[0]});
}
