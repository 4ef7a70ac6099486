#include "shell/PeticionInforme.h"

PeticionInforme PeticionInforme::evaluacion(qint64 idCentro, qint64 idEmpresa)
{
    return {Informes::TituloEvaluacion,
            Informes::FicheroEvaluacion,
            {{QStringLiteral("CentroTrabajo"), QStringLiteral("IDCentro"), QVariant(qlonglong(idCentro))},
             {QStringLiteral("Empresas"), QStringLiteral("IDEmpresa"), QVariant(qlonglong(idEmpresa))}}};
}

PeticionInforme PeticionInforme::planificacion(qint64 idCentro)
{
    return {Informes::TituloPlanificacion,
            Informes::FicheroPlanificacion,
            {{QStringLiteral("CentroTrabajo"), QStringLiteral("IDCentro"), QVariant(qlonglong(idCentro))}}};
}
