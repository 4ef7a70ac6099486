#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

class Conexion;
struct sqlite3;

// Fecha, motivo y versión de la evaluación de un centro.
//
// Cada vez que se emite el documento de la evaluación (imprimir, PDF, ODT) se mira si lo evaluado
// ha cambiado desde la última versión emitida: se compara la huella de hoy con la guardada en el
// historial. Si ha cambiado, o no se había emitido nunca, la emisión apunta una versión más.

// Motivos de una evaluación, en el orden en que se ofrecen.
const QStringList& MotivosEvaluacion();

// Huella (SHA-1 en hexadecimal) de lo que el documento de la evaluación del centro recoge: la
// fecha, el motivo y la próxima revisión, los puestos, los factores marcados, los riesgos con su
// valoración y situación observada, y las medidas elegidas o implantadas. Es la misma en el archivo y
// en el servidor para los mismos datos. Lanza ErrorBD.
QString HuellaEvaluacion(Conexion& conexion, long long idCentro);
// Lo mismo sobre el manejador de SQLite (la función de las plantillas). Vacía si falla la lectura.
QString HuellaEvaluacion(sqlite3* bd, long long idCentro);

// Deja en la conexión la función SQL huella_evaluacion(IDCentro), para las plantillas.
void RegistrarFuncionesEvaluacion(sqlite3* bd);

struct VersionEmitida
{
    int version = 0;
    bool nueva = false; // la emisión ha apuntado una versión más en el historial
};

// Apunta la emisión del documento del centro. Si lo evaluado ha cambiado desde la última versión
// (o no hay ninguna), guarda una versión más con su fecha, su motivo y su huella; una evaluación
// sin fecha toma la del día y la próxima revisión un año después. Todo en una transacción. Lanza
// ErrorBD si falla la base de datos.
VersionEmitida EmitirVersion(Conexion& conexion, long long idCentro, const QDateTime& cuando);

// Al terminar el último paso del asistente: si el centro no tiene fecha de evaluación, o la que
// tiene es la de una versión ya emitida y desde entonces algo ha cambiado, la fecha pasa a ser la
// del día; la próxima revisión, un año después, salvo que el usuario la hubiera puesto a mano.
void FechaAlCompletar(Conexion& conexion, long long idCentro, const QDate& hoy);
