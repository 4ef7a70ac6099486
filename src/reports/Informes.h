#pragma once

#include "shell/PeticionInforme.h"
#include "shell/Sesion.h"

#include <QString>

class InformeGeneral;

// "{CentroTrabajo.IDCentro}=12 and {Empresas.IDEmpresa}= 3" y "{CentroTrabajo.IDCentro}=12".
QString FormulaEvaluacion(long long idCentro, long long idEmpresa);
QString FormulaPlanificacion(long long idCentro);

// Dejan la petición de informe en la sesión y abren un visor nuevo. El centro y la empresa en
// curso no se tocan.
InformeGeneral* AbrirInformeEvaluacion(Sesion& sesion, qint64 idCentro, qint64 idEmpresa);
InformeGeneral* AbrirInformePlanificacion(Sesion& sesion, qint64 idCentro);

// Registra InformeGeneral, ImprimirEvaluacion e ImprimirPlanificacion en el registro de ventanas.
void RegistrarInformes();
