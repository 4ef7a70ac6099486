#pragma once

#include <QString>
#include <QtGlobal>

struct ResultadoSalvamento
{
    qint64 salvadas = 0;
    qint64 perdidas = 0;
    // false si en alguna tabla no se ha podido saber cuántas filas había: perdidas es un mínimo.
    bool perdidasExactas = true;
};

// Crea destino (no debe existir) con el esquema al día y copia en él, tabla por tabla y padres
// antes que hijos, todas las filas de origen que aún se pueden leer. El origen no se modifica.
// Lanza ErrorBD si no se puede escribir el destino (por ejemplo, disco lleno).
ResultadoSalvamento SalvarFilas(const QString& origen, const QString& destino);
