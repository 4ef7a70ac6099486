#pragma once

#include <QString>

// Resultado de una comprobación: la lista de puestos incompletos (con su cabecera aunque no falte
// nada, que es lo que enseña el aviso) y si el paso está completo.
struct Comprobacion
{
    bool completo = true;
    QString pendientes;
};

// Comprobaciones de que la evaluación de un centro está completa en cada paso. Los errores del
// almacén pasan al manejador de quien llama.
Comprobacion ComprobarFactores(const QString& conexion, qint64 idEmpresa, qint64 idCentro);
Comprobacion ComprobarRiesgos(const QString& conexion, qint64 idEmpresa, qint64 idCentro);
Comprobacion ComprobarMedidas(const QString& conexion, qint64 idEmpresa, qint64 idCentro);
