#pragma once

#include <QString>

// Base de datos del tamaño de una asesoría grande, llenada con las mismas operaciones que hace el
// programa cuando la usa una persona: alta de empresas y centros, alta de puestos con su copia del
// catálogo, factores marcados (que generan riesgos y medidas), riesgos evaluados por la matriz,
// medidas elegidas y un plan de actuaciones por centro.
struct TamanoEscala
{
    int empresas = 200;
    int centrosPorEmpresa = 2;
    int puestosPorCentro = 5;
    int filasPorPuesto = 50; // filas de Evaluacion que se buscan por puesto
    int lineasPlan = 10;
};

struct ResumenEscala
{
    long long empresas = 0, centros = 0, puestos = 0, factores = 0, evaluaciones = 0, medidas = 0, lineasPlan = 0;
};

// Llena la base de la conexión. Reparte los factores de forma fija para que dos generaciones con el
// mismo tamaño den la misma base.
ResumenEscala GenerarEscala(const QString& conexion, const TamanoEscala& tamano);

// Cuenta lo que hay en la base de la conexión.
ResumenEscala ContarEscala(const QString& conexion);

// Deja en la carpeta destino (que no debe tener ya una base) la base de la carpeta origen repetida
// "veces" veces: cada repetición con sus propias empresas, centros, puestos, evaluaciones, medidas y
// planes, y sus números a continuación de los de la anterior. Va por SQLite directamente y en una
// sola transacción: rehacer diez veces las operaciones del programa tardaría muchos minutos. Si algo
// falla, lanza std::runtime_error y no deja base a medias en destino.
ResumenEscala MultiplicarEscala(const QString& origen, const QString& destino, int veces);

// Copia la base de escala de la carpeta origen (Evaluacion.mdb y SYSTEM.mdw) en la carpeta destino y
// devuelve el texto de conexión de la copia. Lanza std::runtime_error si no se puede copiar.
QString UsarCopiaEscala(const QString& origen, const QString& destino);
