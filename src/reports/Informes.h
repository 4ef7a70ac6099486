#pragma once

#include <QString>

class InformeGeneral;

// Los dos documentos del programa y cómo se piden. Lo usan la ventana de empresas y las páginas
// de cierre.
namespace Informes
{
inline const QString TituloEvaluacion = QStringLiteral("EVALUCIÓN DE RIESGOS");
inline const QString FicheroEvaluacion = QStringLiteral("Evaluacion.rpt");
inline const QString TituloPlanificacion = QStringLiteral("PLANIFICACIÓN DE ACTUACIONES PREVENTIVAS");
inline const QString FicheroPlanificacion = QStringLiteral("Planificacion.rpt");
} // namespace Informes

// "{CentroTrabajo.IDCentro}=12 and {Empresas.IDEmpresa}= 3" y "{CentroTrabajo.IDCentro}=12".
QString FormulaEvaluacion(long long idCentro, long long idEmpresa);
QString FormulaPlanificacion(long long idCentro);

// Rellenan la petición de informe (gTituloInforme, gFicheroInforme, gFormulaInforme) y abren un
// visor nuevo. gIDCentro y gIDEmpresa no se tocan.
InformeGeneral* AbrirInformeEvaluacion(long long idCentro, long long idEmpresa);
InformeGeneral* AbrirInformePlanificacion(long long idCentro);

// Registra InformeGeneral, ImprimirEvaluacion e ImprimirPlanificacion en el registro de ventanas.
void RegistrarInformes();
