#include "reports/Informes.h"

#include "reports/ImprimirEvaluacion.h"
#include "reports/ImprimirPlanificacion.h"
#include "reports/InformeGeneral.h"
#include "shell/RegistroVentanas.h"

QString FormulaEvaluacion(long long idCentro, long long idEmpresa)
{
    return QStringLiteral("{CentroTrabajo.IDCentro}=") + QString::number(idCentro) +
           QStringLiteral(" and {Empresas.IDEmpresa}= ") + QString::number(idEmpresa);
}

QString FormulaPlanificacion(long long idCentro)
{
    return QStringLiteral("{CentroTrabajo.IDCentro}=") + QString::number(idCentro);
}

InformeGeneral* AbrirInformeEvaluacion(Sesion& sesion, qint64 idCentro, qint64 idEmpresa)
{
    sesion.informe = PeticionInforme::evaluacion(idCentro, idEmpresa);
    return AbrirInforme(sesion);
}

InformeGeneral* AbrirInformePlanificacion(Sesion& sesion, qint64 idCentro)
{
    sesion.informe = PeticionInforme::planificacion(idCentro);
    return AbrirInforme(sesion);
}

void RegistrarInformes()
{
    // Quien pida el visor por el registro obtiene uno cargado; para tener varios a la vez, AbrirInforme.
    RegistroVentanas::registrarFabrica(Ventana::InformeGeneral, [](Sesion& sesion) {
        auto* visor = new InformeGeneral(sesion.informe, sesion.conexion);
        visor->cargar();
        return static_cast<QWidget*>(visor);
    });
    registrarVentana<ImprimirEvaluacion>(Ventana::ImprimirEvaluacion);
    registrarVentana<ImprimirPlanificacion>(Ventana::ImprimirPlanificacion);
}
