#include "shell/Comprobaciones.h"

#include "shell/Rutinas.h"
#include "store/Recordset.h"

#include <functional>

namespace {
const QString finLinea = QStringLiteral("\r\n");

// El procedimiento común: abre la vista del centro, escribe la cabecera y añade una línea por
// cada puesto incompleto.
Comprobacion comprobar(const QString& conexion, const QString& cabeza, qint64 idEmpresa, qint64 idCentro,
                       const QString& cabecera, const std::function<bool(Recordset&)>& incompleto,
                       const std::function<QString(Recordset&)>& extra)
{
    Recordset rs;
    // Un conjunto recién abierto ya está al día: volver a pedirlo sólo repetiría la consulta entera.
    rs.open(cabeza + QStringLiteral("? and IDEmpresa = ? ;"), conexion, {qlonglong(idCentro), qlonglong(idEmpresa)});
    Comprobacion resultado{true, cabecera + finLinea};
    while (!rs.eof()) {
        if (incompleto(rs)) {
            resultado.pendientes += QStringLiteral("    ") +
                                    RellenarCeros(NuloACero(rs.value("IDPuestoCentro")).toDouble(), 4) + " - " +
                                    NuloATexto(rs.value("Puesto")).toString() + extra(rs) + finLinea;
            resultado.completo = false;
        }
        rs.moveNext();
    }
    return resultado;
}

long long numero(Recordset& rs, const char* campo)
{
    return NuloACero(rs.value(campo)).toLongLong();
}

QString nada(Recordset&)
{
    return {};
}
} // namespace

Comprobacion ComprobarFactores(const QString& conexion, qint64 idEmpresa, qint64 idCentro)
{
    return comprobar(
        conexion, "Select * from VEvaluacionFactoresSeleccionados where IDCentro = ", idEmpresa, idCentro,
        "En los siguientes puestos falta por seleccionar por lo menos un Factor de Riesgo:",
        [](Recordset& rs) { return numero(rs, "Total") == 0; }, nada);
}

Comprobacion ComprobarRiesgos(const QString& conexion, qint64 idEmpresa, qint64 idCentro)
{
    return comprobar(
        conexion, "Select * from VEvaluacionRiesgos where IDCentro = ", idEmpresa, idCentro,
        "En los siguientes puestos falta por evaluar algun riesgo:",
        [](Recordset& rs) {
            const long long t1 = numero(rs, "Total1"), t2 = numero(rs, "Total2");
            return t1 != t2 || (t1 == 0 && t2 == 0);
        },
        nada);
}

Comprobacion ComprobarMedidas(const QString& conexion, qint64 idEmpresa, qint64 idCentro)
{
    return comprobar(
        conexion, "Select * from VEvaluacionMedidas where IDCentro = ", idEmpresa, idCentro,
        "En los siguientes puestos falta por seleccionar alguna medida:",
        [](Recordset& rs) { return numero(rs, "Total") == 0; },
        [](Recordset& rs) { return " (" + NuloATexto(rs.value("Factor")).toString() + ")"; });
}
