#pragma once

#include <QString>

// Valor numérico de un texto como lo lee el programa desde siempre: el número con que empieza,
// sin contar los blancos ("3 personas" vale 3, "abc" vale 0, " 1 2" vale 12). El separador
// decimal es el punto.
double ValorNumerico(const QString& texto);

struct NuevoPuesto
{
    long long idCentro = 0;
    long long idEmpresa = 0; // la del centro, para las filas de factores
    QString puesto;
    QString descripcion;
    QString trabajadores; // se guarda tal cual se escribió
    QString sensibles;
    QString ocupantes; // los nombres de quienes lo ocupan, uno por línea; puede ir vacío
};

// Da de alta el puesto y su copia del catálogo de factores, todos sin marcar, en una sola
// transacción: o queda el puesto con todos sus factores o no queda nada. Devuelve su identificador.
long long AnadirPuestoConFactores(const QString& conexion, const NuevoPuesto& p);
