#include "store/postgres/CopiaArchivo.h"

#include "store/Conexion.h"
#include "store/ErrorBD.h"
#include "store/Esquema.h"
#include "store/postgres/ConexionPg.h"
#include "store/postgres/TransaccionPg.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QObject>
#include <QVariantList>
#include <filesystem>

namespace {
// Lo que SQLite deja junto a un archivo mientras escribe en él.
const char* const acompanantes[] = {"-journal", "-wal", "-shm"};

void borrarConAcompanantes(const QString& ruta)
{
    QFile::remove(ruta);
    for (const char* sufijo : acompanantes)
        QFile::remove(ruta + QLatin1String(sufijo));
}

// El archivo a medio escribir: se borra al salir salvo que ya haya tomado su nombre.
class ArchivoParcial
{
public:
    explicit ArchivoParcial(const QString& ruta) : ruta_(ruta) { borrarConAcompanantes(ruta_); }
    ~ArchivoParcial()
    {
        if (!terminado_)
            borrarConAcompanantes(ruta_);
    }
    ArchivoParcial(const ArchivoParcial&) = delete;
    ArchivoParcial& operator=(const ArchivoParcial&) = delete;
    const QString& ruta() const { return ruta_; }
    void terminar() { terminado_ = true; }

private:
    QString ruta_;
    bool terminado_ = false;
};

bool esEntero(Oid tipo)
{
    constexpr Oid Int8 = 20, Int2 = 21, Int4 = 23;
    return tipo == Int8 || tipo == Int2 || tipo == Int4;
}

// Copia una tabla del servidor al archivo leyendo por tramos con un cursor. Devuelve las filas
// leídas.
long long copiarTabla(PGconn* servidor, Conexion& archivo, const QString& tabla)
{
    // Columnas del archivo por su nombre en el servidor, y las de su clave, para leer en su orden.
    QMap<QString, QString> delArchivo;
    QStringList clave;
    for (const QStringList& col :
         filasSqlite(archivo.sqlite(), QStringLiteral("PRAGMA table_info(\"%1\")").arg(tabla))) {
        delArchivo[nombreServidor(col.value(1))] = col.value(1);
        if (col.value(5).toInt() > 0)
            clave << nombrePg(col.value(1));
    }
    QStringList nombres, lista, marcas;
    for (const ColumnaServidor& delServidor : columnasServidor(servidor, tabla)) {
        const QString& columna = delServidor.nombre;
        // Lo que no cabe en el archivo se perdería: mejor no copiar nada.
        if (!delArchivo.contains(columna))
            throw ErrorBD(
                NumeroError::CampoNoEncontrado,
                QObject::tr("el archivo no tiene la columna %1 de la tabla %2 del servidor.").arg(columna, tabla));
        nombres << QLatin1Char('"') + delArchivo.value(columna) + QLatin1Char('"');
        lista << nombrePg(columna);
        marcas << QStringLiteral("?");
    }
    if (nombres.isEmpty())
        return 0;
    const QString insertar = QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
                                 .arg(tabla, nombres.join(QLatin1String(", ")), marcas.join(QLatin1String(", ")));
    ejecutarPg(servidor,
               QStringLiteral("DECLARE copia NO SCROLL CURSOR FOR SELECT %1 FROM %2%3")
                   .arg(lista.join(QLatin1String(", ")), nombrePg(tabla),
                        clave.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + clave.join(QLatin1String(", "))));
    long long leidas = 0;
    for (;;) {
        const ResultadoPg tramo = ejecutarPg(servidor, QStringLiteral("FETCH 1000 FROM copia"));
        const int filas = PQntuples(tramo.get());
        for (int f = 0; f < filas; ++f) {
            QVariantList valores;
            for (int k = 0; k < PQnfields(tramo.get()); ++k) {
                if (PQgetisnull(tramo.get(), f, k))
                    valores << QVariant();
                else if (esEntero(PQftype(tramo.get(), k)))
                    valores << QVariant(qlonglong(QByteArray(PQgetvalue(tramo.get(), f, k)).toLongLong()));
                else
                    valores << QVariant(valorPg(tramo.get(), f, k));
            }
            archivo.ejecutar(insertar, valores);
        }
        leidas += filas;
        if (filas == 0)
            break;
    }
    ejecutarPg(servidor, QStringLiteral("CLOSE copia"));
    return leidas;
}

long long contarArchivo(Conexion& archivo, const QString& tabla)
{
    return archivo.leerFilas(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(tabla)).front().value(0).toLongLong();
}

// La revisión del esquema del servidor, o 0 si no tiene la tabla de la revisión.
int revisionServidor(PGconn* c)
{
    const ResultadoPg tabla = ejecutarPg(c, QStringLiteral("SELECT to_regclass('revisionesquema') IS NOT NULL"));
    if (valorPg(tabla.get(), 0, 0) != QLatin1String("t"))
        return 0;
    const ResultadoPg r = ejecutarPg(c, QStringLiteral("SELECT max(Revision) FROM RevisionEsquema"));
    return valorPg(r.get(), 0, 0).toInt();
}

ResultadoTraslado copiar(PGconn* servidor, const QString& destino, const AvanceCopia& avance)
{
    ResultadoTraslado r;
    const QFileInfo info(destino);
    if (!info.absoluteDir().exists()) {
        r.mensaje = QObject::tr("No existe la carpeta «%1».").arg(QDir::toNativeSeparators(info.absolutePath()));
        return r;
    }
    // Una sola foto del servidor para todas las tablas, y las fechas en la forma del archivo.
    TransaccionPg transaccion(servidor);
    ejecutarPg(servidor, QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"));
    ejecutarPg(servidor, QStringLiteral("SET LOCAL DateStyle = 'ISO, YMD'"));
    const int revision = revisionServidor(servidor);
    if (revision != RevisionEsquema) {
        r.mensaje = revision == 0 ? QObject::tr("La base de datos del servidor no tiene los datos de este programa.")
                                  : QObject::tr("La base de datos del servidor está en la revisión %1 del esquema y "
                                                "este programa usa la %2: no se puede copiar en un archivo.")
                                        .arg(revision)
                                        .arg(RevisionEsquema);
        return r;
    }

    ArchivoParcial parcial(info.absoluteDir().filePath(
        QStringLiteral(".%1.parcial-%2").arg(info.fileName()).arg(QCoreApplication::applicationPid())));
    {
        const std::shared_ptr<Conexion> archivo = Conexion::crear(parcial.ruta());
        const QStringList orden = tablasEnOrden(archivo->sqlite());
        Transaccion escritura(archivo);
        // Lo que trae de serie un archivo nuevo se sustituye por lo del servidor.
        for (auto t = orden.crbegin(); t != orden.crend(); ++t)
            archivo->ejecutar(QStringLiteral("DELETE FROM \"%1\"").arg(*t));
        r.filas = copiarTablas(
            orden, [&](const QString& t) { return copiarTabla(servidor, *archivo, t); },
            [&](const QString& t) { return contarArchivo(*archivo, t); }, QObject::tr("en el servidor"),
            QObject::tr("en el archivo"), avance);
        escritura.confirmar();
    } // aquí se cierra el archivo: no le queda diario al lado
    // El diario que hubiera dejado el archivo sustituido se aplicaría sobre el nuevo al abrirlo.
    for (const char* sufijo : acompanantes)
        QFile::remove(info.absoluteFilePath() + QLatin1String(sufijo));
    std::error_code fallo;
    std::filesystem::rename(QFile::encodeName(parcial.ruta()).toStdString(),
                            QFile::encodeName(info.absoluteFilePath()).toStdString(), fallo);
    if (fallo)
        throw ErrorBD(NumeroError::ErrorDisco, QObject::tr("no se puede poner el nombre «%1» al archivo copiado: %2")
                                                   .arg(QDir::toNativeSeparators(info.absoluteFilePath()),
                                                        QString::fromLocal8Bit(fallo.message())));
    parcial.terminar();
    r.hecho = true;
    r.mensaje = QObject::tr("Copiadas %1 filas de %2 tablas del servidor al archivo «%3».")
                    .arg(textoTotalFilas(r.filas))
                    .arg(r.filas.size())
                    .arg(QDir::toNativeSeparators(info.absoluteFilePath()));
    return r;
}
} // namespace

ResultadoTraslado copiarAArchivo(PGconn* servidor, const QString& archivo, const AvanceCopia& avance)
{
    return resultadoSinLanzar(QObject::tr("No se ha copiado nada"), [&] { return copiar(servidor, archivo, avance); });
}
