#pragma once

#include "store/ErrorBD.h"
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <vector>

class Conexion;

// Escritura de una fila de un conjunto de registros en su tabla o vista de origen.
struct DestinoFila
{
    QString origen; // nombre exacto de la tabla o vista
    bool esVista = false;
    // Columnas del conjunto, su tipo declarado y cuáles se han asignado.
    const QStringList& campos;
    const std::vector<QByteArray>& tipos;
    const std::vector<bool>& tocado;
};

// Ajusta el valor al tipo declarado de la columna. Un texto que no es un número en una columna
// numérica, o una fecha imposible, se rechaza (ErrorBD) en vez de guardarse tal cual.
QVariant ajustarTipo(const QVariant& v, const QByteArray& tipo, const QString& campo);

// Alta con las columnas asignadas de "fila". Deja en "fila" la fila tal como la guardó el almacén
// (clave y valores por defecto incluidos) y devuelve su identificador. Lanza ErrorBD.
long long insertarFila(Conexion& con, const DestinoFila& destino, QVariantList& fila, int indiceClave);

// Cambia las columnas asignadas de la fila cuya clave es "valorClave". Devuelve las filas que ha
// cambiado (una vista, que escribe por su disparador, siempre dice 0). Lanza ErrorBD.
// Con "version" (la columna de versión de la fila, ver SqlRevision::ColumnaVersion), sólo la
// cambia si sigue en esa versión, y la deja en la siguiente.
long long modificarFila(Conexion& con, const DestinoFila& destino, const QVariantList& fila, const QString& clave,
                        const QVariant& valorClave, const QVariant& version = {});

// Vuelve a leer de su origen las columnas de la fila con esa clave y las deja en "fila". Falso si
// la fila ya no existe. Si sus columnas no se pueden pedir así, sólo dice si existe.
bool releerFila(Conexion& con, const DestinoFila& destino, const QString& clave, const QVariant& valorClave,
                QVariantList& fila);

// Borra la fila de "tabla" cuya clave es "valorClave" (los dos nombres escritos como en cualquier
// sentencia). Con "version", la que tenía la fila al leerla, sólo la borra si sigue en ella: si otro
// la ha cambiado entretanto no borra nada y lanza filaModificada. Una fila que ya no está no es un
// fallo: otro la ha borrado antes. Lanza ErrorBD.
void borrarFila(Conexion& con, const QString& tabla, const QString& clave, const QVariant& valorClave,
                const QVariant& version);

// El error de quien guarda o borra una fila que otro ha cambiado entretanto.
ErrorBD filaModificada(const QString& sentencia);
