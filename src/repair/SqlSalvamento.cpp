#include "repair/SqlSalvamento.h"

#include <functional>
#include <set>
#include <sqlite3.h>

namespace salvamento {

QString entreComillas(const QString& nombre)
{
    return '"' + QString(nombre).replace('"', QStringLiteral("\"\"")) + '"';
}

Sentencia::Sentencia(sqlite3* bd, const QString& sql) : rc_(SQLITE_ERROR)
{
    if (bd)
        st_ = SentenciaPreparada::suelta(bd, sql.toUtf8(), rc_);
}

int Sentencia::paso()
{
    rc_ = preparada() ? sqlite3_step(st_.get()) : rc_;
    return rc_;
}

void Sentencia::reiniciar()
{
    sqlite3_reset(st_.get());
    sqlite3_clear_bindings(st_.get());
}

void Sentencia::enlazar(int i, qint64 v)
{
    sqlite3_bind_int64(st_.get(), i, v);
}

void Sentencia::enlazar(int i, const QString& v)
{
    const QByteArray b = v.toUtf8();
    sqlite3_bind_text(st_.get(), i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
}

QString textoDe(sqlite3_stmt* st, int i)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
}

QStringList leerNombres(sqlite3* bd, const QString& sql, const QString& parametro)
{
    Sentencia st(bd, sql);
    QStringList nombres;
    if (!parametro.isNull())
        st.enlazar(1, parametro);
    while (st.paso() == SQLITE_ROW)
        nombres << textoDe(*st, 0);
    return nombres;
}

std::optional<qint64> numero(sqlite3* bd, const QString& sql)
{
    Sentencia st(bd, sql);
    if (st.paso() != SQLITE_ROW)
        return std::nullopt;
    return sqlite3_column_int64(*st, 0);
}

QStringList tablasEnOrden(sqlite3* bd)
{
    const QStringList tablas = leerNombres(
        bd, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
            "ORDER BY rowid");
    QStringList orden;
    std::set<QString> vistas;
    std::function<void(const QString&)> visitar = [&](const QString& t) {
        if (!vistas.insert(t).second)
            return;
        for (const QString& padre : leerNombres(bd, "SELECT \"table\" FROM pragma_foreign_key_list(?)", t))
            for (const QString& t2 : tablas)
                if (t2 != t && t2.compare(padre, Qt::CaseInsensitive) == 0)
                    visitar(t2);
        orden << t;
    };
    for (const QString& t : tablas)
        visitar(t);
    return orden;
}

std::vector<Columna> columnasDe(sqlite3* bd, const QString& tabla)
{
    std::vector<Columna> columnas;
    Sentencia st(
        bd, "SELECT name, upper(type), \"notnull\", pk, (SELECT count(*) FROM pragma_table_info(?1) WHERE pk > 0), "
            "(SELECT wr FROM pragma_table_list WHERE name = ?1) FROM pragma_table_info(?1) ORDER BY cid");
    st.enlazar(1, tabla);
    while (st.paso() == SQLITE_ROW) {
        Columna c;
        c.nombre = textoDe(*st, 0);
        const QString tipo = textoDe(*st, 1);
        c.noNula = sqlite3_column_int(*st, 2) != 0;
        c.claveFila = sqlite3_column_int(*st, 3) == 1 && sqlite3_column_int(*st, 4) == 1 && tipo == "INTEGER" &&
                      sqlite3_column_int(*st, 5) == 0;
        c.texto = !tipo.contains("INT") && (tipo.contains("CHAR") || tipo.contains("CLOB") || tipo.contains("TEXT"));
        columnas.push_back(c);
    }
    return columnas;
}

int indiceDe(const std::vector<Columna>& columnas, const QString& nombre)
{
    for (size_t i = 0; i < columnas.size(); ++i)
        if (columnas[i].nombre.compare(nombre, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

} // namespace salvamento
