#pragma once

#include "plataforma/ArchivosSistema.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>

struct sqlite3;

// Texto regional del destino que siempre se ha pasado a la compactación.
inline const QString ConfiguracionRegionalDestino = QStringLiteral(";LANGID=0x0409;CP=1252;COUNTRY=0");

struct ResultadoCompactacion
{
    enum class Estado
    {
        Compactada, // Evaluacion.mdb es la copia compactada; la anterior queda en "copia"
        Salvada,    // estaba dañada: Evaluacion.mdb es la salvada; la dañada queda en "copia"
        EnUso,      // la tiene abierta el programa u otra conexión
        DiscoLleno,
        ComprobacionFallida, // la copia no es igual que el original
        SinBaseDatos,
        Fallo
    };
    Estado estado = Estado::Fallo;
    QString mensaje; // lo que se pone en la línea de estado
    qint64 filasSalvadas = 0;
    qint64 filasPerdidas = 0;
    bool perdidasExactas = true;
    QString configuracionRegional;
    QString copia;           // nombre de la copia fechada del archivo que había, si se ha cambiado
    QStringList restauradas; // tablas que faltaban y se han vuelto a crear con el esquema

    // Si se ha cambiado la base de datos de sitio. En los demás casos Evaluacion.mdb queda como estaba.
    bool hecha() const { return estado == Estado::Compactada || estado == Estado::Salvada; }
};

// Puntos donde las pruebas pueden meter un fallo. Vacíos, se hace lo de siempre.
struct GanchosCompactacion
{
    // Copia compactada de origen en destino; devuelve el código de SQLite. Por defecto VACUUM INTO.
    std::function<int(sqlite3* origen, const QString& destino)> copiar;
    // Se llama con la copia abierta justo antes de comprobarla.
    std::function<void(sqlite3* copia)> antesDeComprobar;
    // Cambia de nombre un archivo. Por defecto RenombrarArchivo.
    std::function<bool(const QString& de, const QString& a)> renombrar;
    // Hora que da nombre a la copia. Por defecto la del reloj.
    std::function<QDateTime()> ahora;
    // Bytes libres en el disco de la carpeta (negativo si no se sabe). Por defecto QStorageInfo.
    std::function<qint64(const QString& carpeta)> espacioLibre;
};

// Compacta Evaluacion.mdb de la carpeta en Evaluacion2.mdb, lo comprueba y sólo entonces lo pone
// en su sitio, con el anterior guardado como copia fechada (ver CopiasBase.h). Si el archivo está
// dañado, salva en uno nuevo todas las filas que aún se pueden leer. Nunca lanza.
ResultadoCompactacion CompactarBaseDatos(const QString& carpeta, const QString& configuracionRegional,
                                         const GanchosCompactacion& ganchos = {});
