#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

// Copia intacta de la base de datos entregada, en la carpeta del programa: de ella se repone el
// catálogo cuando el archivo salvado lo ha perdido.
inline const QString NombreCatalogoEntregado = QStringLiteral("Catalogo.mdb");

struct FilasTabla
{
    QString tabla;
    qint64 salvadas = 0;
    qint64 perdidas = 0;         // si no son exactas, las que se sabe que se han perdido
    bool perdidasExactas = true; // false si no se puede saber cuántas filas había en lo roto
    qint64 provisionales = 0;    // filas puestas en lugar de un padre perdido, para no dejar huérfanos
    qint64 repuestas = 0;        // filas que faltaban del catálogo, tomadas de la copia entregada
};

struct ResultadoSalvamento
{
    qint64 salvadas = 0;
    qint64 perdidas = 0;
    // false si en alguna tabla no se ha podido saber cuántas filas había: perdidas es un mínimo.
    bool perdidasExactas = true;
    bool sinCatalogo = false;       // no había copia entregada de la que reponer el catálogo
    std::vector<FilasTabla> tablas; // en el orden del esquema, padres antes que hijos
};

// Crea destino (no debe existir) con el esquema al día y copia en él todas las filas de origen que
// aún se pueden leer: por tramos de clave, y las de las hojas sueltas que ya no cuelgan de ninguna
// raíz. Una cabecera dañada se rehace. Las filas cuyo padre se ha perdido se quedan, colgando de un
// padre provisional que lo dice. Lo que falte del catálogo se repone desde catalogo (si existe).
// El origen no se modifica. Lanza ErrorBD si no se puede escribir el destino (por ejemplo, disco lleno).
ResultadoSalvamento SalvarFilas(const QString& origen, const QString& destino, const QString& catalogo = {});

// Filas salvadas y perdidas, en total y por tabla, para la línea de estado.
QString DescribirSalvamento(const ResultadoSalvamento& r);
