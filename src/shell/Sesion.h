#pragma once

#include "shell/PeticionInforme.h"

#include <QString>

// Lo que pasa de una ventana a otra mientras el programa está abierto. La tiene la ventana
// principal y cada ventana recibe la misma al crearse; nada de esto vive fuera de ella.
struct Sesion
{
    QString conexion;     // texto de conexión, se fija una vez al cargar Entrada
    qint64 idEmpresa = 0; // empresa en curso
    qint64 idCentro = 0;  // centro de trabajo en curso
    QString puestoActual; // puesto elegido, tal como se ve en las listas ("0012 - Nombre")
    QString pendientes;   // puestos incompletos de la última comprobación, para el aviso
    // Riesgo evaluado (IDEvaluacion) que la valoración de riesgos pone delante al abrirse, como
    // cuando el plan pide volver a valorar el de una acción hecha; la ventana lo gasta al usarlo.
    qint64 riesgoPorValorar = 0;
    PeticionInforme informe;
    bool nuevaEmpresa = false; // se está dando de alta una empresa
    bool nuevoCentro = false;  // se está dando de alta un centro
};
