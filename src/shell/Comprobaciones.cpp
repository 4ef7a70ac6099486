#include "shell/Comprobaciones.h"

#include "shell/Rutinas.h"
#include "store/Recordset.h"

#include <functional>

namespace {
const QString finLinea = QStringLiteral("\r\n");

// El procedimiento común: abre la vista del centro, escribe la cabecera y añade una línea por
// cada puesto incompleto. Lo incompleto lo elige la consulta: con los datos en un servidor no se
// traen los puestos que están bien.
Comprobacion comprobar(const QString& conexion, const QString& cabeza, qint64 idEmpresa, qint64 idCentro,
                       const QString& cabecera, const QString& incompleto,
                       const std::function<QString(Recordset&)>& extra)
{
    Recordset rs;
    // Un conjunto recién abierto ya está al día: volver a pedirlo sólo repetiría la consulta entera.
    rs.open(cabeza + QStringLiteral("? and IDEmpresa = ? and (") + incompleto + ");", conexion,
            {qlonglong(idCentro), qlonglong(idEmpresa)});
    Comprobacion resultado{true, cabecera + finLinea};
    while (!rs.eof()) {
        resultado.pendientes += QStringLiteral("    ") +
                                RellenarCeros(NuloACero(rs.value("IDPuestoCentro")).toDouble(), 4) + " - " +
                                NuloATexto(rs.value("Puesto")).toString() + extra(rs) + finLinea;
        resultado.completo = false;
        rs.moveNext();
    }
    return resultado;
}

QString nada(Recordset&)
{
    return {};
}
} // namespace

Comprobacion ComprobarFactores(const QString& conexion, qint64 idEmpresa, qint64 idCentro)
{
    return comprobar(conexion, "Select * from VEvaluacionFactoresSeleccionados where IDCentro = ", idEmpresa, idCentro,
                     "En los siguientes puestos falta por seleccionar por lo menos un Factor de Riesgo:",
                     "coalesce(Total, 0) = 0", nada);
}

Comprobacion ComprobarRiesgos(const QString& conexion, qint64 idEmpresa, qint64 idCentro)
{
    return comprobar(conexion, "Select * from VEvaluacionRiesgos where IDCentro = ", idEmpresa, idCentro,
                     "En los siguientes puestos falta por evaluar algun riesgo:",
                     "coalesce(Total1, 0) <> coalesce(Total2, 0) or coalesce(Total1, 0) = 0", nada);
}

Comprobacion ComprobarMedidas(const QString& conexion, qint64 idEmpresa, qint64 idCentro)
{
    return comprobar(conexion, "Select * from VEvaluacionMedidas where IDCentro = ", idEmpresa, idCentro,
                     "En los siguientes puestos falta por seleccionar alguna medida:", "coalesce(Total, 0) = 0",
                     [](Recordset& rs) { return " (" + NuloATexto(rs.value("Factor")).toString() + ")"; });
}
