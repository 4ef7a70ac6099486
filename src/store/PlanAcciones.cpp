#include "store/PlanAcciones.h"

#include "store/Conexion.h"
#include "store/ErrorBD.h"
#include "store/Reintentos.h"

#include <QObject>
#include <QSet>
#include <utility>

namespace {
// Riesgos mostrados y valorados del centro, de nivel moderado o más grave, que ninguna línea de
// ningún plan del centro nombra, con sus medidas propuestas: las de todos los factores que dan el
// mismo riesgo en el puesto, en el orden en que se escribieron. Una misma redacción se propone una
// sola vez por riesgo, la primera vez que sale; eso se hace al leerlas, sin agrupar por los textos,
// que obligaba a ordenar dos veces todas las filas.
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
SELECT g.IDEvaluacion, m.IDMedidaFactor, g.Puesto, g.Riesgo, g.ValorRiesgo, m.Medida, g.Trabajadores, g.Meses
FROM Graves g
JOIN Evaluacion x ON x.IDPuestoCentro = g.IDPuestoCentro AND x.IDRiesgo = g.IDRiesgo
JOIN MedidasFactores m ON m.IDEvaluacion = x.IDEvaluacion
WHERE m.MarcarMedida = 'S' AND coalesce(m.Implantada, 'N') <> 'S'
ORDER BY g.Orden, g.Trabajadores DESC, g.IDPuestoCentro, g.IDRiesgo, m.IDMedidaFactor, g.IDEvaluacion
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
    QSet<std::pair<long long, QString>> vistas;
    for (const QVariantList& f : c.leerFilas(propuestas, {idCentro})) {
        std::pair<long long, QString> clave{f[0].toLongLong(), f[5].toString()};
        if (vistas.contains(clave))
            continue;
        vistas.insert(std::move(clave));
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
    conReintentos(c, [&] {
        Transaccion t(c);
        for (const LineaPropuesta& p : lista)
            c.ejecutar("INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva, FechaLimite, "
                       "ResponsableEjecucion, IDEvaluacion, IDMedidaFactor, Estado) VALUES (?, ?, ?, ?, ?, ?, "
                       "'Pendiente')",
                       {idActuacion, p.medida, p.fechaLimite, responsable, p.idEvaluacion, p.idMedidaFactor});
        t.confirmar();
    });
    return int(lista.size());
}

long long AnadirLinea(Conexion& c, const LineaNueva& l)
{
    c.ejecutar("INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva, FechaLimite, "
               "ResponsableEjecucion, PresupuestoAproximado, IDEvaluacion, IDMedidaFactor, Estado) VALUES (?, ?, ?, ?, "
               "?, ?, ?, ?)",
               {l.idActuacion, l.accion, l.fechaLimite.isValid() ? QVariant(l.fechaLimite) : QVariant(), l.responsable,
                l.presupuesto, l.idEvaluacion, l.idMedidaFactor, EstadosLinea().front()});
    return c.motor().ultimoId();
}

void DejarRevaloracionPendiente(Conexion& c, long long idLinea, const QDate& fecha)
{
    c.ejecutar("INSERT INTO RevaloracionesRiesgo (IDEvaluacion, IDActuacionRegistro, Fecha, NivelAnterior) "
               "SELECT l.IDEvaluacion, l.IDActuacionRegistro, ?2, e.ValorRiesgo "
               "FROM \"ActuaciónPreventivaRegistro\" l JOIN Evaluacion e ON e.IDEvaluacion = l.IDEvaluacion "
               "WHERE l.IDActuacionRegistro = ?1 AND NOT EXISTS (SELECT 1 FROM RevaloracionesRiesgo r "
               "WHERE r.IDEvaluacion = l.IDEvaluacion AND r.IDActuacionRegistro = ?1 AND r.NivelNuevo IS NULL)",
               {idLinea, fecha});
}

void QuitarRevaloracionPendiente(Conexion& c, long long idLinea)
{
    c.ejecutar("DELETE FROM RevaloracionesRiesgo WHERE NivelNuevo IS NULL AND IDActuacionRegistro = ?1 AND "
               "IDEvaluacion = (SELECT IDEvaluacion FROM \"ActuaciónPreventivaRegistro\" WHERE "
               "IDActuacionRegistro = ?1)",
               {idLinea});
}

void DarPorRevalorado(Conexion& c, long long idRevaloracion, const QDate& fecha)
{
    c.ejecutar("UPDATE RevaloracionesRiesgo SET Fecha = ?2, NivelNuevo = (SELECT e.ValorRiesgo FROM Evaluacion e "
               "WHERE e.IDEvaluacion = RevaloracionesRiesgo.IDEvaluacion) WHERE IDRevaloracion = ?1 AND NivelNuevo "
               "IS NULL",
               {idRevaloracion, fecha});
}

void QuitarRevaloracionesDelPlan(Conexion& c, long long idActuacion)
{
    c.ejecutar("DELETE FROM RevaloracionesRiesgo WHERE NivelNuevo IS NULL AND IDRevaloracion IN (SELECT "
               "r.IDRevaloracion FROM \"ActuaciónPreventivaRegistro\" l JOIN RevaloracionesRiesgo r ON "
               "r.IDEvaluacion = l.IDEvaluacion AND r.IDActuacionRegistro = l.IDActuacionRegistro WHERE "
               "l.IDActuacion = ?)",
               {idActuacion});
}

std::vector<RevaloracionPendiente> RevaloracionesPendientes(Conexion& c, long long idCentro)
{
    // Se llega a ellas por las líneas hechas de los planes del centro: unas pocas filas, nunca todas
    // las de la evaluación.
    std::vector<RevaloracionPendiente> lista;
    for (const QVariantList& f : c.leerFilas(R"SQL(
SELECT r.IDRevaloracion, r.IDEvaluacion, r.IDActuacionRegistro, p.IDPuestoCentro, t.IDEmpresa, p.Puesto, k.Riesgo,
       r.NivelAnterior, r.Fecha, e.ValorRiesgo
FROM "ActuaciónPreventiva" a
JOIN CentroTrabajo t ON t.IDCentro = a.IDCentro
JOIN "ActuaciónPreventivaRegistro" l ON l.IDActuacion = a.IDActuacion
JOIN RevaloracionesRiesgo r ON r.IDEvaluacion = l.IDEvaluacion AND r.IDActuacionRegistro = l.IDActuacionRegistro
JOIN Evaluacion e ON e.IDEvaluacion = r.IDEvaluacion
JOIN PuestosCentros p ON p.IDPuestoCentro = e.IDPuestoCentro
LEFT JOIN Riesgos k ON k.IDRiesgo = e.IDRiesgo
WHERE a.IDCentro = ?1 AND l.Estado IN ('Realizada', 'Verificada') AND r.NivelNuevo IS NULL
ORDER BY r.Fecha, r.IDRevaloracion
)SQL",
                                             {idCentro})) {
        RevaloracionPendiente r;
        r.idRevaloracion = f[0].toLongLong();
        r.idEvaluacion = f[1].toLongLong();
        r.idLinea = f[2].toLongLong();
        r.idPuestoCentro = f[3].toLongLong();
        r.idEmpresa = f[4].toLongLong();
        r.puesto = f[5].toString();
        r.riesgo = f[6].toString();
        r.nivelAnterior = f[7].toString();
        r.desde = f[8].toDate();
        r.nivelActual = f[9].toString();
        lista.push_back(r);
    }
    return lista;
}

std::vector<RevaloracionPendiente> CerrarRevaloraciones(Conexion& c, long long idCentro, const QDate& fecha)
{
    std::vector<RevaloracionPendiente> siguen, cerradas;
    for (RevaloracionPendiente& r : RevaloracionesPendientes(c, idCentro)) {
        if (!r.nivelActual.trimmed().isEmpty() && r.nivelActual != r.nivelAnterior)
            cerradas.push_back(std::move(r));
        else
            siguen.push_back(std::move(r));
    }
    // Abrir el plan sin nada que cerrar no escribe en la base.
    if (!cerradas.empty()) {
        conReintentos(c, [&] {
            Transaccion t(c);
            for (const RevaloracionPendiente& r : cerradas)
                c.ejecutar("UPDATE RevaloracionesRiesgo SET NivelNuevo = ?, Fecha = ? WHERE IDRevaloracion = ?",
                           {r.nivelActual, fecha, r.idRevaloracion});
            t.confirmar();
        });
    }
    return siguen;
}
