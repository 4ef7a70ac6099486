#include "Informes.h"

#include "Globales.h"
#include "ImprimirEvaluacion.h"
#include "ImprimirPlanificacion.h"
#include "InformeGeneral.h"
#include "RegistroVentanas.h"

QString FormulaEvaluacion(long long idCentro, long long idEmpresa)
{
    return QStringLiteral("{CentroTrabajo.IDCentro}=") + QString::number(idCentro) +
           QStringLiteral(" and {Empresas.IDEmpresa}= ") + QString::number(idEmpresa);
}

QString FormulaPlanificacion(long long idCentro)
{
    return QStringLiteral("{CentroTrabajo.IDCentro}=") + QString::number(idCentro);
}

InformeGeneral* AbrirInformeEvaluacion(long long idCentro, long long idEmpresa)
{
    gFormulaInforme = FormulaEvaluacion(idCentro, idEmpresa);
    gTituloInforme = Informes::TituloEvaluacion;
    gFicheroInforme = Informes::FicheroEvaluacion;
    return AbrirInforme();
}

InformeGeneral* AbrirInformePlanificacion(long long idCentro)
{
    gFormulaInforme = FormulaPlanificacion(idCentro);
    gTituloInforme = Informes::TituloPlanificacion;
    gFicheroInforme = Informes::FicheroPlanificacion;
    return AbrirInforme();
}

void RegistrarInformes()
{
    // Quien pida el visor por el registro obtiene uno cargado; para tener varios a la vez, AbrirInforme.
    RegistroVentanas::registrarFabrica(InformeGeneral::Nombre, [] {
        auto* visor = new InformeGeneral;
        visor->cargar();
        return static_cast<QWidget*>(visor);
    });
    RegistroVentanas::registrarFabrica(ImprimirEvaluacion::Nombre, [] { return new ImprimirEvaluacion; });
    RegistroVentanas::registrarFabrica(ImprimirPlanificacion::Nombre, [] { return new ImprimirPlanificacion; });
}
