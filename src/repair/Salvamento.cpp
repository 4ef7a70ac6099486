#include "Salvamento.h"

#include "Conexion.h"
#include "ErrorBD.h"
#include "MapaErrores.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <sqlite3.h>

namespace {
constexpr qint64 minimo = std::numeric_limits<qint64>::min();
constexpr qint64 maximo = std::numeric_limits<qint64>::max();

QString entreComillas(const QString& nombre)
{
    return '"' + QString(nombre).replace('"', QStringLiteral("\"\"")) + '"';
}

// Sentencia preparada que se finaliza sola.
class Sentencia
{
public:
    Sentencia(sqlite3* bd, const QString& sql)
    {
        const QByteArray texto = sql.toUtf8();
        rc_ = sqlite3_prepare_v2(bd, texto.constData(), int(texto.size()), &st_, nullptr);
        preparada_ = rc_ == SQLITE_OK && st_;
    }
    ~Sentencia() { sqlite3_finalize(st_); }
    Sentencia(const Sentencia&) = delete;
    Sentencia& operator=(const Sentencia&) = delete;

    bool preparada() const { return preparada_; }
    sqlite3_stmt* operator*() const { return st_; }
    // SQLITE_ROW, SQLITE_DONE o el fallo.
    int paso()
    {
        rc_ = preparada() ? sqlite3_step(st_) : rc_;
        return rc_;
    }

private:
    sqlite3_stmt* st_ = nullptr;
    int rc_ = SQLITE_OK;
    bool preparada_ = false;
};

QStringList leerNombres(sqlite3* bd, const QString& sql, const QString& parametro, bool* bien = nullptr)
{
    Sentencia st(bd, sql);
    QStringList nombres;
    if (st.preparada() && !parametro.isNull()) {
        const QByteArray p = parametro.toUtf8();
        sqlite3_bind_text(*st, 1, p.constData(), int(p.size()), SQLITE_TRANSIENT);
    }
    int rc;
    while ((rc = st.paso()) == SQLITE_ROW)
        nombres << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(*st, 0)));
    if (bien)
        *bien = rc == SQLITE_DONE;
    return nombres;
}

std::optional<qint64> contar(sqlite3* bd, const QString& tabla)
{
    // Sin forzar el índice: si la tabla está dañada, el recuento de un índice sano aún dice
    // cuántas filas había.
    Sentencia st(bd, "SELECT count(*) FROM " + entreComillas(tabla));
    if (st.paso() != SQLITE_ROW)
        return std::nullopt;
    return sqlite3_column_int64(*st, 0);
}

// Tablas del esquema nuevo con los padres antes que los hijos (las claves ajenas están activas).
QStringList tablasEnOrden(sqlite3* bd)
{
    const QStringList tablas =
        leerNombres(bd,
                    "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
                    "ORDER BY rowid",
                    {});
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

// Lee una tabla del archivo dañado en orden de rowid saltando lo que no se puede leer.
class LectorTabla
{
public:
    LectorTabla(sqlite3* origen, const QString& tabla, const QStringList& columnas) : bd_(origen)
    {
        QStringList lista;
        for (const QString& c : columnas)
            lista << entreComillas(c);
        desde_ =
            "SELECT rowid, " + lista.join(", ") + " FROM " + entreComillas(tabla) + " WHERE rowid >= ? ORDER BY rowid";
        siguiente_ = "SELECT rowid FROM " + entreComillas(tabla) + " WHERE rowid >= ? ORDER BY rowid LIMIT 1";
        todo_ = "SELECT " + lista.join(", ") + " FROM " + entreComillas(tabla);
    }

    // Llama a fila(sentencia, primeraColumna) con cada fila legible.
    void leer(const std::function<void(sqlite3_stmt*, int)>& fila)
    {
        if (!Sentencia(bd_, desde_).preparada()) {
            leerSinRowid(fila);
            return;
        }
        qint64 inicio = minimo;
        for (;;) {
            bool alguna = false;
            if (recorrer(inicio, fila, alguna) == SQLITE_DONE)
                return;
            // Si se leyó algo, se vuelve a entrar por arriba justo detrás: a veces basta con eso.
            // Si no, se salta la parte rota. En los dos casos "inicio" sólo crece.
            if (!alguna) {
                const std::optional<qint64> despues = saltar(inicio);
                if (!despues)
                    return;
                inicio = *despues;
            } else {
                inicio = proxima_;
            }
        }
    }

    qint64 leidas = 0;
    qint64 ilegibles = 0; // filas sueltas que se sabe que no se han podido leer
    bool huecos = false;  // partes saltadas de las que no se sabe cuántas filas tenían

private:
    static constexpr qint64 noHayMas = minimo; // ese rowid nunca hace falta como respuesta

    int recorrer(qint64 inicio, const std::function<void(sqlite3_stmt*, int)>& fila, bool& alguna)
    {
        Sentencia st(bd_, desde_);
        sqlite3_bind_int64(*st, 1, inicio);
        int rc;
        while ((rc = st.paso()) == SQLITE_ROW) {
            const qint64 id = sqlite3_column_int64(*st, 0);
            fila(*st, 1);
            ++leidas;
            alguna = true;
            if (id == maximo)
                return SQLITE_DONE;
            proxima_ = id + 1;
        }
        return rc;
    }

    // Desde "inicio" no se ha podido leer ni una fila: dónde seguir, o nada si ya no queda.
    std::optional<qint64> saltar(qint64 inicio)
    {
        // Se llega a la hoja pero la fila no se lee (p. ej. su desbordamiento está roto): se
        // pierde sólo esa.
        if (const auto n = primeraDesde(inicio)) {
            if (*n == noHayMas || *n == maximo)
                return std::nullopt;
            ++ilegibles;
            return *n + 1;
        }
        // La página que cubre "inicio" está rota: se busca a saltos dobles un punto desde el que
        // se vuelve a leer y luego se afina a medias.
        huecos = true;
        qint64 malo = inicio;
        std::optional<qint64> bueno;
        for (quint64 paso = 1; paso != 0; paso <<= 1) {
            const qint64 x = quint64(maximo) - quint64(inicio) <= paso ? maximo : qint64(quint64(inicio) + paso);
            if (primeraDesde(x)) {
                bueno = x;
                break;
            }
            malo = x;
            if (x == maximo)
                break;
        }
        if (!bueno)
            return std::nullopt;
        while (quint64(*bueno) - quint64(malo) > 1) {
            const qint64 medio = qint64(quint64(malo) + (quint64(*bueno) - quint64(malo)) / 2);
            if (primeraDesde(medio))
                bueno = medio;
            else
                malo = medio;
        }
        return bueno;
    }

    // Primer rowid alcanzable desde x, noHayMas si no hay más filas, nada si falla la búsqueda.
    std::optional<qint64> primeraDesde(qint64 x)
    {
        Sentencia st(bd_, siguiente_);
        sqlite3_bind_int64(*st, 1, x);
        const int rc = st.paso();
        if (rc == SQLITE_ROW)
            return sqlite3_column_int64(*st, 0);
        if (rc == SQLITE_DONE)
            return noHayMas;
        return std::nullopt;
    }

    // Tablas sin rowid (archivos ajenos): se lee de corrido hasta el primer fallo.
    void leerSinRowid(const std::function<void(sqlite3_stmt*, int)>& fila)
    {
        Sentencia st(bd_, todo_);
        int rc;
        while ((rc = st.paso()) == SQLITE_ROW) {
            fila(*st, 0);
            ++leidas;
        }
        if (rc != SQLITE_DONE)
            huecos = true;
    }

    sqlite3* bd_;
    QString desde_, siguiente_, todo_;
    qint64 proxima_ = minimo;
};

// Copia privada del archivo dañado, que es la que se lee: el original no se abre nunca y queda
// tal cual como copia de seguridad. Si está cortado, se completa con ceros hasta el tamaño que
// dice su cabecera; si no, SQLite no lee ninguna de sus páginas, tampoco las buenas.
class Origen
{
public:
    Origen(const QString& archivo, const QString& copia) : copia_(copia)
    {
        borrar();
        if (!QFile::copy(archivo, copia_) ||
            (QFileInfo::exists(archivo + "-wal") && !QFile::copy(archivo + "-wal", copia_ + "-wal"))) {
            borrar();
            throw ErrorBD(NumeroError::ErrorDisco,
                          QObject::tr("No se puede hacer una copia de «%1» para leerla. Compruebe el espacio libre "
                                      "en el disco.")
                              .arg(QDir::toNativeSeparators(archivo)));
        }
        completar();
        const QByteArray nombre = QDir::toNativeSeparators(copia_).toUtf8();
        if (sqlite3_open_v2(nombre.constData(), &bd_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            sqlite3_close_v2(bd_);
            bd_ = nullptr;
            return;
        }
        sqlite3_exec(bd_, "PRAGMA query_only = 1", nullptr, nullptr, nullptr);
    }
    ~Origen()
    {
        sqlite3_close_v2(bd_);
        borrar();
    }
    Origen(const Origen&) = delete;
    Origen& operator=(const Origen&) = delete;
    sqlite3* bd() const { return bd_; }

private:
    void borrar()
    {
        for (const char* resto : {"", "-wal", "-shm", "-journal"})
            QFile::remove(copia_ + resto);
    }

    void completar()
    {
        QFile f(copia_);
        if (!f.open(QIODevice::ReadWrite))
            return;
        const QByteArray cabecera = f.read(100);
        if (cabecera.size() < 100 || !cabecera.startsWith(QByteArray("SQLite format 3\0", 16)))
            return;
        const auto byte = [&](int i) { return qint64(quint8(cabecera[i])); };
        qint64 pagina = (byte(16) << 8) | byte(17);
        if (pagina == 1)
            pagina = 65536;
        if (pagina < 512 || (pagina & (pagina - 1)) != 0)
            return;
        const qint64 paginas = (byte(28) << 24) | (byte(29) << 16) | (byte(30) << 8) | byte(31);
        const qint64 enteras = (f.size() + pagina - 1) / pagina * pagina;
        const qint64 dice = cabecera.mid(24, 4) == cabecera.mid(92, 4) ? paginas * pagina : 0;
        const qint64 tamano = std::max(enteras, dice);
        if (tamano > f.size())
            f.resize(tamano);
    }

    QString copia_;
    sqlite3* bd_ = nullptr;
};
} // namespace

ResultadoSalvamento SalvarFilas(const QString& origen, const QString& destino)
{
    ResultadoSalvamento r;
    const Origen fuente(origen, destino + QStringLiteral(".lectura"));
    auto nueva = Conexion::crear(destino);
    sqlite3* bd = nueva->bd();

    Transaccion transaccion(nueva);
    for (const QString& tabla : tablasEnOrden(bd)) {
        const QStringList columnasNuevas = leerNombres(bd, "SELECT name FROM pragma_table_info(?)", tabla);
        bool esquemaLegible = false;
        QStringList columnasViejas;
        if (fuente.bd())
            columnasViejas = leerNombres(fuente.bd(), "SELECT name FROM pragma_table_info(?)", tabla, &esquemaLegible);
        if (!esquemaLegible) {
            r.perdidasExactas = false; // ni siquiera se sabe si la tabla tenía filas
            continue;
        }
        QStringList columnas;
        for (const QString& c : columnasNuevas)
            if (columnasViejas.contains(c, Qt::CaseInsensitive))
                columnas << c;
        if (columnas.isEmpty())
            continue; // la tabla no estaba en el archivo viejo

        QStringList marcas(columnas.size(), QStringLiteral("?"));
        QStringList nombres;
        for (const QString& c : columnas)
            nombres << entreComillas(c);
        Sentencia insertar(bd, "INSERT INTO " + entreComillas(tabla) + " (" + nombres.join(", ") + ") VALUES (" +
                                   marcas.join(", ") + ")");
        if (!insertar.preparada())
            nueva->lanzar(sqlite3_errcode(bd));

        qint64 rechazadas = 0;
        LectorTabla lector(fuente.bd(), tabla, columnas);
        lector.leer([&](sqlite3_stmt* fila, int primera) {
            sqlite3_reset(*insertar);
            for (int i = 0; i < columnas.size(); ++i)
                sqlite3_bind_value(*insertar, i + 1, sqlite3_column_value(fila, primera + i));
            const int rc = sqlite3_step(*insertar);
            if (rc == SQLITE_DONE)
                ++r.salvadas;
            else if ((rc & 0xff) == SQLITE_CONSTRAINT)
                ++rechazadas; // su padre se ha perdido o el dato ya no vale: se cuenta como perdida
            else
                nueva->lanzar(rc);
        });
        const std::optional<qint64> habia = contar(fuente.bd(), tabla);
        if (habia)
            r.perdidas += std::max<qint64>(*habia - lector.leidas, 0) + rechazadas;
        else {
            r.perdidas += lector.ilegibles + rechazadas;
            if (lector.huecos)
                r.perdidasExactas = false;
        }
    }
    transaccion.confirmar();
    return r;
}
