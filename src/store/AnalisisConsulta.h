#pragma once

#include "store/Conexion.h"

#include <QString>
#include <QVariant>

// Lo que el conjunto de registros averigua mirando el texto de una consulta.

// Nombre de tabla, vista o columna entre comillas dobles, listo para ponerlo en una sentencia.
QString citarNombre(const QString& nombre);

// Texto que se ejecuta en lugar de la consulta y columna entera por la que salen ordenadas sus
// filas (vacía si no se sabe). Se analiza una vez por conexión y texto.
const Conexion::ConsultaPreparada& conOrdenNatural(Conexion& con, const QString& sql);

// Nombre, sin comillas ni corchetes, de lo que sigue al primer "from"; vacío si no hay.
QString nombreTrasFrom(const QString& sql);

// Criterio de búsqueda "[Campo] = 'texto'" o "Campo = número": el texto es todo lo que hay entre
// la primera y la última comilla. Falso si está mal formado.
bool analizarCriterio(const QString& criterio, QString& campo, QVariant& valor);
// Si una celda cumple el valor de un criterio: los números por su valor, los textos y las fechas
// sin distinguir mayúsculas. Una celda nula no cumple ninguno.
bool coincideCriterio(const QVariant& celda, const QVariant& buscado);
