#include "store/postgres/Traslado.h"

#include "store/ErrorBD.h"
#include "store/Esquema.h"
#include "store/postgres/ConexionPg.h"
#include "store/postgres/EsquemaServidor.h"
#include "store/postgres/TransaccionPg.h"

#include <QDate>
#include <QMap>
#include <QObject>
#include <algorithm>
#include <sqlite3.h>

namespace {
using Estado = ResultadoEsquema::Estado;

// El archivo de origen, abierto sólo para leer.
class ArchivoOrigen
{
public:
    explicit ArchivoOrigen(const QString& ruta)
    {
        const int rc = sqlite3_open_v2(ruta.toUtf8().constData(), &bd_, SQLITE_OPEN_READONLY, nullptr);
        if (rc != SQLITE_OK)
            throw ErrorBD(
                NumeroError::ArchivoNoEncontrado,
                QObject::tr("No se puede abrir el archivo %1: %2").arg(ruta, QString::fromUtf8(sqlite3_errstr(rc))));
    }
    ~ArchivoOrigen() { sqlite3_close(bd_); }
    ArchivoOrigen(const ArchivoOrigen&) = delete;
    ArchivoOrigen& operator=(const ArchivoOrigen&) = delete;

    std::vector<QStringList> filas(const QString& sql) const { return filasSqlite(bd_, sql); }
    sqlite3* bd() const { return bd_; }

private:
    sqlite3* bd_ = nullptr;
};

// Tablas del catálogo: riesgos, factores, puestos tipo, sus enlaces y medidas, las actuaciones y su revisión.
const QStringList TablasCatalogo = {QStringLiteral("Riesgos"),     QStringLiteral("FactoresRiesgos"),
                                    QStringLiteral("Puestos"),     QStringLiteral("RiesgosFactores"),
                                    QStringLiteral("Medidas"),     QStringLiteral("FactoresHabituales"),
                                    QStringLiteral("Actuaciones"), QStringLiteral("RevisionCatalogo")};

// Filas que trae cada tabla en un archivo recién creado (los datos propios del programa).
QMap<QString, long long> filasDeSerie(const QStringList& tablas)
{
    QMap<QString, long long> cuentas;
    sqlite3* bd = nullptr;
    if (sqlite3_open(":memory:", &bd) == SQLITE_OK && crearEsquemaRevision(bd, RevisionEsquema) == SQLITE_OK)
        for (const QString& t : tablas) {
            sqlite3_stmt* st = nullptr;
            const QByteArray sql = QStringLiteral("SELECT count(*) FROM \"%1\"").arg(t).toUtf8();
            if (sqlite3_prepare_v2(bd, sql.constData(), -1, &st, nullptr) == SQLITE_OK &&
                sqlite3_step(st) == SQLITE_ROW)
                cuentas[t] = sqlite3_column_int64(st, 0);
            sqlite3_finalize(st);
        }
    sqlite3_close(bd);
    return cuentas;
}

// Copia una tabla en lotes de varias filas con los valores enlazados. Devuelve las filas leídas.
long long copiarTabla(const ArchivoOrigen& origen, PGconn* c, const QString& tabla, long long& fechasVacias)
{
    // Columnas del servidor y su tipo; las del archivo se emparejan por nombre.
    QMap<QString, bool> esFecha;
    for (const ColumnaServidor& columna : columnasServidor(c, tabla))
        esFecha[columna.nombre] =
            columna.tipo.startsWith(QLatin1String("date")) || columna.tipo.startsWith(QLatin1String("timestamp"));
    QStringList nombres;
    for (const QStringList& col : origen.filas(QStringLiteral("PRAGMA table_info(\"%1\")").arg(tabla))) {
        if (!esFecha.contains(nombreServidor(col.value(1))))
            throw ErrorBD(NumeroError::CampoNoEncontrado,
                          QObject::tr("El servidor no tiene la columna %1 de la tabla %2.").arg(col.value(1), tabla));
        nombres << col.value(1);
    }
    QStringList lista, listaPg;
    for (const QString& n : nombres)
        lista << QLatin1Char('"') + n + QLatin1Char('"'), listaPg << nombrePg(n);
    const std::vector<QStringList> filas = origen.filas(
        QStringLiteral("SELECT %1 FROM \"%2\" ORDER BY rowid").arg(lista.join(QLatin1String(", ")), tabla));
    if (nombres.isEmpty())
        return qsizetype(filas.size());

    const size_t porLote = std::max<size_t>(1, std::min<size_t>(500, 30000 / size_t(nombres.size())));
    for (size_t inicio = 0; inicio < filas.size(); inicio += porLote) {
        const size_t fin = std::min(filas.size(), inicio + porLote);
        QStringList grupos, valores;
        for (size_t f = inicio; f < fin; ++f) {
            QStringList marcas;
            for (qsizetype k = 0; k < nombres.size(); ++k) {
                QString v = filas[f].value(k);
                if (esFecha.value(nombreServidor(nombres[k])) && !v.isNull()) {
                    if (v.trimmed().isEmpty()) {
                        v = QString();
                        ++fechasVacias;
                    } else if (!QDate::fromString(v.left(10), Qt::ISODate).isValid()) {
                        // El servidor leería "05/03/2024" según su DateStyle: sólo se pasa lo que
                        // no admite dos lecturas.
                        throw ErrorBD(NumeroError::OperacionVariosPasos,
                                      QObject::tr("la columna %1 de la tabla %2 tiene una fecha que no se entiende: "
                                                  "«%3».")
                                          .arg(nombres[k], tabla, v));
                    }
                }
                valores << v;
                marcas << QStringLiteral("$%1").arg(valores.size());
            }
            grupos << QLatin1Char('(') + marcas.join(QLatin1String(", ")) + QLatin1Char(')');
        }
        ejecutarPg(c,
                   QStringLiteral("INSERT INTO %1 (%2) OVERRIDING SYSTEM VALUE VALUES %3")
                       .arg(nombrePg(tabla), listaPg.join(QLatin1String(", ")), grupos.join(QLatin1String(", "))),
                   valores);
    }
    return qsizetype(filas.size());
}

// Pone cada contador de la tabla por encima de la clave más alta que tiene.
void moverContadores(PGconn* c, const QString& tabla)
{
    for (const ColumnaServidor& columna : columnasServidor(c, tabla))
        if (columna.contador)
            ejecutarPg(c,
                       QStringLiteral("SELECT setval(pg_get_serial_sequence($1, $2), COALESCE((SELECT max(%1) FROM "
                                      "%2), 0) + 1, false)")
                           .arg(nombrePg(columna.nombre), nombrePg(tabla)),
                       {nombrePg(tabla), columna.nombre});
}

ResultadoTraslado trasladar(const QString& archivoSqlite, PGconn* servidor, const AvanceCopia& avance)
{
    ResultadoTraslado r;
    const ArchivoOrigen origen(archivoSqlite);
    const std::vector<QStringList> version = origen.filas(QStringLiteral("PRAGMA user_version"));
    const int revision = version.empty() ? 0 : version.front().value(0).toInt();
    if (revision != RevisionEsquema) {
        r.mensaje = QObject::tr("El archivo está en la revisión %1 del esquema y este programa usa la %2: ábralo antes "
                                "con el programa para ponerlo al día.")
                        .arg(revision)
                        .arg(RevisionEsquema);
        if (revision > RevisionEsquema)
            r.mensaje = QObject::tr("El archivo es de un programa más nuevo (revisión %1 del esquema).").arg(revision);
        return r;
    }

    const ResultadoEsquema esquema = prepararEsquemaServidor(servidor);
    if (esquema.estado != Estado::Nueva && esquema.estado != Estado::AlDia) {
        r.mensaje = QObject::tr("La base de datos del servidor no admite el traslado: %1")
                        .arg(esquema.error ? esquema.error->descripcion()
                                           : QObject::tr("no está en la revisión de este programa."));
        return r;
    }
    const QStringList orden = tablasEnOrden(origen.bd());
    const QMap<QString, long long> deSerie = filasDeSerie(orden);
    // El catálogo lo pone el propio programa al abrir la base del servidor: no cuenta como datos y
    // se sustituye por el del archivo, que es el que nombran sus evaluaciones.
    const auto esCatalogo = [](const QString& t) { return TablasCatalogo.contains(t, Qt::CaseInsensitive); };
    QMap<QString, long long> enServidor;
    for (const QString& t : orden)
        enServidor[t] = contarPg(servidor, t);
    for (const QString& t : orden)
        if (!esCatalogo(t) && enServidor.value(t) > deSerie.value(t)) {
            r.mensaje = QObject::tr("La base de datos del servidor ya tiene datos (tabla %1): el traslado sólo se hace "
                                    "a una base de datos vacía.")
                            .arg(t);
            return r;
        }

    TransaccionPg transaccion(servidor);
    ejecutarPg(servidor, QStringLiteral("SET LOCAL DateStyle = 'ISO, YMD'"));
    // Lo que trae de serie el servidor se sustituye por lo del archivo; se borra de las que
    // dependen hacia las que son referenciadas.
    for (auto t = orden.crbegin(); t != orden.crend(); ++t)
        if (enServidor.value(*t) > 0)
            ejecutarPg(servidor, QStringLiteral("DELETE FROM %1").arg(nombrePg(*t)));
    r.filas = copiarTablas(
        orden, [&](const QString& t) { return copiarTabla(origen, servidor, t, r.fechasVacias); },
        [&](const QString& t) { return contarPg(servidor, t); }, QObject::tr("en el archivo"),
        QObject::tr("en el servidor"), avance);
    // Los contadores no vuelven atrás al deshacer la transacción: se mueven sólo cuando ya está
    // todo copiado y contado.
    for (const QString& t : orden)
        moverContadores(servidor, t);
    transaccion.confirmar();
    r.hecho = true;
    r.mensaje =
        QObject::tr("Trasladadas %1 filas de %2 tablas al servidor.").arg(textoTotalFilas(r.filas)).arg(r.filas.size());
    if (r.fechasVacias > 0)
        r.mensaje += QLatin1Char(' ') +
                     QObject::tr("%1 fechas vacías en el archivo quedan sin valor en el servidor.").arg(r.fechasVacias);
    return r;
}
} // namespace

ResultadoTraslado resultadoSinLanzar(const QString& nadaHecho, const std::function<ResultadoTraslado()>& copia)
{
    ResultadoTraslado r;
    try {
        return copia();
    } catch (const ErrorBD& e) {
        r.mensaje = nadaHecho + QStringLiteral(": ") + e.descripcion();
    } catch (const std::exception& e) {
        r.mensaje = nadaHecho + QStringLiteral(": ") + QString::fromLocal8Bit(e.what());
    }
    return r;
}

ResultadoTraslado trasladarAlServidor(const QString& archivoSqlite, PGconn* servidor, const AvanceCopia& avance)
{
    return resultadoSinLanzar(QObject::tr("No se ha trasladado nada"),
                              [&] { return trasladar(archivoSqlite, servidor, avance); });
}
