// El esquema del programa en un servidor: qué se encuentra al prepararlo y que es el mismo que el
// de un archivo nuevo, comparado objeto a objeto con el propio archivo.
#include "BaseServidorPrueba.h"
#include "store/Esquema.h"
#include "store/postgres/EsquemaServidor.h"

#include <QSet>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <sqlite3.h>
#include <thread>

using Estado = ResultadoEsquema::Estado;

namespace {
// Un archivo nuevo en memoria, en la revisión del programa.
class ArchivoNuevo
{
public:
    ArchivoNuevo()
    {
        sqlite3_open(":memory:", &bd_);
        EXPECT_EQ(crearEsquemaRevision(bd_, RevisionEsquema), SQLITE_OK);
    }
    ~ArchivoNuevo() { sqlite3_close(bd_); }
    std::vector<QStringList> filas(const QString& sql) const
    {
        std::vector<QStringList> filas;
        sqlite3_stmt* st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(bd_, sql.toUtf8().constData(), -1, &st, nullptr), SQLITE_OK) << qPrintable(sql);
        while (sqlite3_step(st) == SQLITE_ROW) {
            QStringList fila;
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                fila << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
            filas.push_back(fila);
        }
        sqlite3_finalize(st);
        return filas;
    }
    void ejecutar(const QString& sql) const
    {
        ASSERT_EQ(sqlite3_exec(bd_, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK) << qPrintable(sql);
    }

private:
    sqlite3* bd_ = nullptr;
};

QString comillas(const QString& nombre)
{
    return QLatin1Char('"') + nombre + QLatin1Char('"');
}

// El tipo que debe tener en el servidor cada tipo declarado en el archivo.
bool mismoTipo(const QString& archivo, const QString& servidor)
{
    static const std::map<QString, QStringList> tipos = {{"INTEGER", {"bigint", "integer"}},
                                                         {"TEXT", {"text"}},
                                                         {"DATE", {"date"}},
                                                         {"DATETIME", {"timestamp without time zone"}}};
    const auto t = tipos.find(archivo.toUpper());
    return t != tipos.end() && t->second.contains(servidor);
}

// Claves ajenas de una tabla como "columnas -> tabla(columnas) acción", en minúsculas.
QSet<QString> clavesArchivo(const ArchivoNuevo& a, const QString& tabla)
{
    std::map<QString, QStringList> porId; // id -> tabla, de, a, al borrar
    for (const QStringList& f :
         a.filas(QStringLiteral("SELECT id, \"table\", \"from\", \"to\", on_delete FROM pragma_foreign_key_list('%1') "
                                "ORDER BY id, seq")
                     .arg(tabla))) {
        QStringList& k = porId[f[0]];
        if (k.isEmpty())
            k = QStringList{f[1], f[2], f[3], f[4]};
        else
            k[1] += "," + f[2], k[2] += "," + f[3];
    }
    QSet<QString> claves;
    for (const auto& [id, k] : porId)
        claves << QStringLiteral("%1 -> %2(%3) %4").arg(k[1], k[0], k[2], k[3]).toLower();
    return claves;
}

QSet<QString> clavesServidor(PGconn* c, const QString& tabla)
{
    QSet<QString> claves;
    for (const QStringList& f : filasPg(
             c,
             "SELECT (SELECT string_agg(a.attname, ',' ORDER BY u.n) FROM unnest(k.conkey) WITH ORDINALITY u(col, n) "
             "        JOIN pg_attribute a ON a.attrelid = k.conrelid AND a.attnum = u.col), "
             "       d.relname, "
             "       (SELECT string_agg(a.attname, ',' ORDER BY u.n) FROM unnest(k.confkey) WITH ORDINALITY u(col, n) "
             "        JOIN pg_attribute a ON a.attrelid = k.confrelid AND a.attnum = u.col), "
             "       CASE k.confdeltype WHEN 'c' THEN 'cascade' WHEN 'n' THEN 'set null' WHEN 'd' THEN 'set default' "
             "            WHEN 'r' THEN 'restrict' ELSE 'no action' END "
             "FROM pg_constraint k JOIN pg_class d ON d.oid = k.confrelid "
             "WHERE k.contype = 'f' AND k.conrelid = to_regclass($1)",
             {comillas(tabla)}))
        claves << QStringLiteral("%1 -> %2(%3) %4").arg(f[0], f[1], f[2], f[3]).toLower();
    return claves;
}
} // namespace

// Los resultados de preparar el esquema, uno por caso, y que los que no crean no tocan nada.
TEST(EsquemaServidor, NuevaYDespuesAlDia)
{
    BaseServidorPrueba base;
    ConexionPg c = base.conectar();
    const ResultadoEsquema nueva = prepararEsquemaServidor(c.get());
    EXPECT_EQ(nueva.estado, Estado::Nueva) << (nueva.error ? nueva.error->descripcion().toStdString() : "");
    EXPECT_FALSE(nueva.error);
    EXPECT_EQ(celdaPg(c.get(), "SELECT Revision FROM RevisionEsquema"), QString::number(RevisionEsquema));
    EXPECT_EQ(celdaPg(c.get(), "SELECT count(*) FROM RevisionEsquema"), "1");

    ConexionPg otra = base.conectar();
    const ResultadoEsquema alDia = prepararEsquemaServidor(otra.get());
    EXPECT_EQ(alDia.estado, Estado::AlDia);
    EXPECT_EQ(alDia.revision, RevisionEsquema);
    EXPECT_FALSE(alDia.error);
}

TEST(EsquemaServidor, MasNuevaNoSeToca)
{
    BaseServidorPrueba base;
    ConexionPg c = base.conectar();
    ASSERT_EQ(prepararEsquemaServidor(c.get()).estado, Estado::Nueva);
    ejecutarPg(c.get(), "UPDATE RevisionEsquema SET Revision = $1; ", {QString::number(RevisionEsquema + 1)});
    ejecutarPg(c.get(), "DROP VIEW VEvaluacionMedidas");
    const ResultadoEsquema r = prepararEsquemaServidor(c.get());
    EXPECT_EQ(r.estado, Estado::MasNueva);
    EXPECT_EQ(r.revision, RevisionEsquema + 1);
    ASSERT_TRUE(r.error);
    EXPECT_EQ(r.error->numero(), NumeroError::ErrorGeneral);
    EXPECT_TRUE(r.error->descripcion().contains(QString::number(RevisionEsquema + 1)));
    EXPECT_EQ(celdaPg(c.get(), "SELECT to_regclass('vevaluacionmedidas') IS NULL"), "t");
    EXPECT_EQ(celdaPg(c.get(), "SELECT Revision FROM RevisionEsquema"), QString::number(RevisionEsquema + 1));
}

TEST(EsquemaServidor, AjenaNoSeToca)
{
    for (const char* ajena : {"CREATE TABLE clientes (id integer)", "CREATE VIEW uno AS SELECT 1 AS x",
                              "CREATE TABLE RevisionEsquema (Revision integer)"}) {
        BaseServidorPrueba base;
        ConexionPg c = base.conectar();
        ejecutarPg(c.get(), ajena);
        const ResultadoEsquema r = prepararEsquemaServidor(c.get());
        EXPECT_EQ(r.estado, Estado::Ajena) << ajena;
        ASSERT_TRUE(r.error) << ajena;
        EXPECT_EQ(r.error->numero(), NumeroError::BaseDanada);
        EXPECT_EQ(celdaPg(c.get(), "SELECT to_regclass('empresas') IS NULL"), "t") << ajena;
    }
}

// Si algo falla a medias al crear, no queda nada creado; y sin esquema donde crear, lo dice.
TEST(EsquemaServidor, FallidaNoDejaNadaAMedias)
{
    BaseServidorPrueba base;
    ConexionPg c = base.conectar();
    // Una función no es una tabla ni una vista: la base cuenta como vacía, y crearla choca con ella.
    ejecutarPg(c.get(), "CREATE FUNCTION EnteroDeTexto(texto text) RETURNS bigint LANGUAGE sql AS 'SELECT 1'");
    const ResultadoEsquema r = prepararEsquemaServidor(c.get());
    EXPECT_EQ(r.estado, Estado::Fallida);
    ASSERT_TRUE(r.error);
    EXPECT_FALSE(r.error->sentencia().isEmpty());
    EXPECT_EQ(celdaPg(c.get(), "SELECT to_regclass('empresas') IS NULL AND to_regclass('revisionesquema') IS NULL"),
              "t");
    EXPECT_EQ(PQtransactionStatus(c.get()), PQTRANS_IDLE);

    ConexionPg sinEsquema = base.conectar();
    ejecutarPg(sinEsquema.get(), "SET search_path = ''");
    const ResultadoEsquema s = prepararEsquemaServidor(sinEsquema.get());
    EXPECT_EQ(s.estado, Estado::Fallida);
    ASSERT_TRUE(s.error);
    EXPECT_TRUE(s.error->descripcion().contains("search_path"));
}

// Dos programas que abren a la vez una base vacía: uno la crea y el otro la encuentra al día.
TEST(EsquemaServidor, DosALaVezSobreUnaBaseVacia)
{
    BaseServidorPrueba base;
    ConexionPg a = base.conectar(), b = base.conectar();
    ResultadoEsquema ra, rb;
    std::thread hilo([&] { ra = prepararEsquemaServidor(a.get()); });
    rb = prepararEsquemaServidor(b.get());
    hilo.join();
    QList<Estado> estados{ra.estado, rb.estado};
    std::sort(estados.begin(), estados.end());
    EXPECT_EQ(estados, (QList<Estado>{Estado::Nueva, Estado::AlDia}));
}

// Cada tabla y vista del archivo está en el servidor con las mismas columnas en el mismo orden y
// del mismo tipo, las mismas claves ajenas con lo que hacen al borrar, los mismos índices y
// disparadores, y las mismas filas de partida.
TEST(EsquemaServidor, IgualQueElArchivo)
{
    BaseServidorPrueba base;
    ConexionPg c = base.conectar();
    ASSERT_EQ(prepararEsquemaServidor(c.get()).estado, Estado::Nueva);
    const ArchivoNuevo archivo;

    const auto objetos =
        archivo.filas("SELECT type, name FROM sqlite_master WHERE type IN ('table', 'view') AND name NOT LIKE "
                      "'sqlite_%' ORDER BY name");
    ASSERT_GE(objetos.size(), size_t(20));
    for (const QStringList& o : objetos) {
        const QString tipo = o[0], nombre = o[1];
        const auto columnas = filasPg(c.get(),
                                      "SELECT column_name, data_type FROM information_schema.columns "
                                      "WHERE table_schema = current_schema() AND lower(table_name) = lower($1) "
                                      "ORDER BY ordinal_position",
                                      {nombre});
        const auto esperadas =
            archivo.filas(QStringLiteral("SELECT name, type FROM pragma_table_info('%1')").arg(nombre));
        ASSERT_EQ(columnas.size(), esperadas.size()) << qPrintable(nombre);
        for (size_t i = 0; i < columnas.size(); ++i) {
            EXPECT_EQ(columnas[i][0].toLower(), esperadas[i][0].toLower()) << qPrintable(nombre);
            if (tipo == "table") {
                EXPECT_TRUE(mismoTipo(esperadas[i][1], columnas[i][1]))
                    << qPrintable(nombre + "." + esperadas[i][0] + ": " + esperadas[i][1] + " / " + columnas[i][1]);
            }
        }
        // Los nombres con acento van entre comillas en el archivo, y así se escriben en el servidor.
        const bool conAcento = std::any_of(nombre.begin(), nombre.end(), [](QChar l) { return l.unicode() > 127; });
        const QString nombreServidor = conAcento ? nombre : nombre.toLower();
        EXPECT_EQ(celdaPg(c.get(), "SELECT count(*) FROM pg_class WHERE relname = $1", {nombreServidor}), "1")
            << qPrintable(nombre);
        if (tipo == "table") {
            EXPECT_EQ(clavesServidor(c.get(), nombreServidor), clavesArchivo(archivo, nombre)) << qPrintable(nombre);
        }
    }

    for (const QStringList& i :
         archivo.filas("SELECT name, tbl_name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL"))
        EXPECT_EQ(celdaPg(c.get(),
                          "SELECT lower(tablename) FROM pg_indexes WHERE schemaname = current_schema() "
                          "AND indexname = lower($1)",
                          {i[0]}),
                  i[1].toLower())
            << qPrintable(i[0]);
    for (const QStringList& t : archivo.filas("SELECT name, tbl_name FROM sqlite_master WHERE type = 'trigger'"))
        EXPECT_EQ(celdaPg(c.get(),
                          "SELECT lower(k.relname) FROM pg_trigger g JOIN pg_class k ON k.oid = g.tgrelid "
                          "WHERE g.tgname = lower($1) AND g.tgtype & 64 <> 0 AND g.tgtype & 16 <> 0",
                          {t[0]}),
                  t[1].toLower())
            << qPrintable(t[0]);

    EXPECT_EQ(filasPg(c.get(), "SELECT Nivel, Orden, Meses FROM PlazosNiveles ORDER BY Nivel"),
              archivo.filas("SELECT Nivel, Orden, Meses FROM PlazosNiveles ORDER BY Nivel"));
    EXPECT_EQ(filasPg(c.get(), "SELECT Revision FROM RevisionCatalogo"),
              archivo.filas("SELECT Revision FROM RevisionCatalogo"));
}
