#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// Un diario (-wal o -journal) que SQLite encuentra junto al archivo lo aplica al abrir, sin
// preguntar. Si no es el del archivo (una copia restaurada junto a un diario que quedó de antes, un
// archivo traído de otra máquina), aplicarlo puede vaciar la base de datos. Antes de la primera
// conexión se guarda una copia del archivo con su diario; si al aplicarlo se pierden tablas o filas
// o el archivo queda dañado, se vuelve a la copia y el diario se aparta.
struct ResultadoDiario
{
    enum class Estado
    {
        SinDiario, // nada que hacer: el caso de siempre tras una salida normal
        Aplicado,  // había diario y al aplicarlo no se pierde nada (el de una sesión que no se cerró bien)
        Apartado,  // al aplicarlo se perdían datos: la base de datos sigue como estaba sin él
        Danada,    // con el diario o sin él, el archivo no se lee entero
        EnUso,     // otra copia del programa tiene la carpeta: su diario está vivo y no se toca
        SinCopia   // no se pudo guardar la copia: no se ha tocado nada
    };
    Estado estado = Estado::SinDiario;
    QString carpetaCopia; // donde quedan el archivo y su diario tal como estaban
    QString mensaje;      // para el usuario; vacío si no hay nada que decirle
};

// Mira el diario del archivo y hace lo de arriba. Sólo la primera vez para cada archivo en el
// proceso; las siguientes devuelven SinDiario. La copia va a "Recuperacion/AAAA-MM-DD hh.mm.ss"
// junto al archivo, con la hora dada. Nunca lanza.
ResultadoDiario ProtegerDiario(const QString& archivo, const QDateTime& ahora = QDateTime::currentDateTime());

// Mensajes de ProtegerDiario que aún no ha visto el usuario (los deja vacíos). Para los programas
// que no abren la base de datos ellos mismos, sino a través de la primera conexión.
QStringList TomarAvisosDiario();
