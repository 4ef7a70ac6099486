#include "store/postgres/CopiaTablas.h"

#include "store/ErrorBD.h"
#include "store/Esquema.h"
#include "store/postgres/ConexionPg.h"

#include <QLocale>
#include <QMap>
#include <QObject>
#include <QSet>
#include <sqlite3.h>

QString nombreServidor(const QString& nombre)
{
    for (const QChar ch : nombre)
        if (ch.unicode() > 127)
            return nombre;
    return nombre.toLower();
}

QString nombrePg(const QString& nombre)
{
    return QLatin1Char('"') + nombreServidor(nombre) + QLatin1Char('"');
}

long long contarPg(PGconn* c, const QString& tabla)
{
    const ResultadoPg r = ejecutarPg(c, QStringLiteral("SELECT count(*) FROM %1").arg(nombrePg(tabla)));
    return valorPg(r.get(), 0, 0).toLongLong();
}

std::vector<ColumnaServidor> columnasServidor(PGconn* c, const QString& tabla)
{
    const ResultadoPg r =
        ejecutarPg(c,
                   QStringLiteral("SELECT column_name, data_type, is_identity FROM information_schema.columns WHERE "
                                  "table_schema = current_schema() AND table_name = $1 ORDER BY ordinal_position"),
                   {nombreServidor(tabla)});
    std::vector<ColumnaServidor> columnas;
    for (int i = 0; i < PQntuples(r.get()); ++i)
        columnas.push_back(
            {valorPg(r.get(), i, 0), valorPg(r.get(), i, 1), valorPg(r.get(), i, 2) == QLatin1String("YES")});
    return columnas;
}

std::vector<QStringList> filasSqlite(sqlite3* bd, const QString& sql)
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(bd, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
        throw ErrorBD(NumeroError::BaseDanada, QString::fromUtf8(sqlite3_errmsg(bd)), sql);
    std::vector<QStringList> filas;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        QStringList fila;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            if (sqlite3_column_type(st, i) == SQLITE_NULL) {
                fila << QString();
                continue;
            }
            const auto* texto = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
            // Un texto vacío no es NULL: se marca con un QString no nulo.
            QString valor = QString::fromUtf8(texto, sqlite3_column_bytes(st, i));
            fila << (valor.isEmpty() ? QStringLiteral("") : valor);
        }
        filas.push_back(fila);
    }
    const QString error = QString::fromUtf8(sqlite3_errmsg(bd));
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        throw ErrorBD(NumeroError::BaseDanada, error, sql);
    return filas;
}

QStringList tablasEnOrden(sqlite3* bd)
{
    // Las tablas internas de SQLite (sqlite_sequence) no son datos: cada lado lleva sus contadores.
    QStringList tablas = tablasEsquema();
    tablas.removeIf([](const QString& t) { return t.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive); });
    QMap<QString, QSet<QString>> referencias;
    for (const QString& t : tablas)
        for (const QStringList& fk : filasSqlite(bd, QStringLiteral("PRAGMA foreign_key_list(\"%1\")").arg(t)))
            if (fk.value(2).compare(t, Qt::CaseInsensitive) != 0)
                referencias[t.toLower()].insert(fk.value(2).toLower());
    QStringList orden;
    QSet<QString> puestas;
    while (orden.size() < tablas.size()) {
        const qsizetype antes = orden.size();
        for (const QString& t : tablas) {
            if (puestas.contains(t.toLower()))
                continue;
            bool lista = true;
            for (const QString& r : referencias.value(t.toLower()))
                lista = lista && (puestas.contains(r) || !tablas.contains(r, Qt::CaseInsensitive));
            if (lista) {
                orden << t;
                puestas.insert(t.toLower());
            }
        }
        if (orden.size() == antes) // ciclo: el resto, en cualquier orden
            for (const QString& t : tablas)
                if (!puestas.contains(t.toLower()))
                    orden << t, puestas.insert(t.toLower());
    }
    return orden;
}

FilasCopiadas copiarTablas(const QStringList& orden, const std::function<long long(const QString&)>& copiar,
                           const std::function<long long(const QString&)>& contar, const QString& enOrigen,
                           const QString& enDestino, const AvanceCopia& avance)
{
    FilasCopiadas filas;
    for (const QString& t : orden) {
        if (avance)
            avance(t, int(filas.size()), int(orden.size()));
        filas.emplace_back(t, copiar(t));
    }
    if (avance)
        avance({}, int(orden.size()), int(orden.size()));
    // Lo que el destino acepta sin error no siempre queda guardado: se cuenta antes de confirmar.
    for (const auto& [tabla, leidas] : filas)
        if (const long long copiadas = contar(tabla); copiadas != leidas)
            throw ErrorBD(NumeroError::OperacionVariosPasos, QObject::tr("la tabla %1 tiene %2 filas %3 y %4 %5.")
                                                                 .arg(tabla)
                                                                 .arg(leidas)
                                                                 .arg(enOrigen)
                                                                 .arg(copiadas)
                                                                 .arg(enDestino));
    return filas;
}

long long totalFilas(const FilasCopiadas& filas)
{
    long long total = 0;
    for (const auto& f : filas)
        total += f.second;
    return total;
}

QString textoTotalFilas(const FilasCopiadas& filas)
{
    return QLocale(QLocale::Spanish, QLocale::Spain).toString(totalFilas(filas));
}
