#include "repair/Salvador.h"

#include "store/Conexion.h"

#include <algorithm>
#include <sqlite3.h>

namespace salvamento {
namespace {
bool esFilaDeEsquema(const ArchivoSqlite& a, const Fila& f)
{
    using T = Valor::Tipo;
    if (f.valores.size() != 5 || f.valores[0].tipo != T::Texto || f.valores[1].tipo != T::Texto ||
        f.valores[2].tipo != T::Texto || (f.valores[3].tipo != T::Entero && f.valores[3].tipo != T::Nulo) ||
        (f.valores[4].tipo != T::Texto && f.valores[4].tipo != T::Nulo))
        return false;
    const QString tipo = a.texto(f.valores[0]);
    return tipo == "table" || tipo == "index" || tipo == "view" || tipo == "trigger";
}

void enlazarCrudo(sqlite3_stmt* st, int i, const ArchivoSqlite& a, const Valor& v)
{
    switch (v.tipo) {
    case Valor::Tipo::Nulo:
        sqlite3_bind_null(st, i);
        break;
    case Valor::Tipo::Entero:
        sqlite3_bind_int64(st, i, v.entero);
        break;
    case Valor::Tipo::Real:
        sqlite3_bind_double(st, i, v.real);
        break;
    case Valor::Tipo::Texto: {
        const QByteArray b = a.texto(v).toUtf8();
        sqlite3_bind_text(st, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        break;
    }
    case Valor::Tipo::Blob:
        sqlite3_bind_blob(st, i, v.bytes.constData(), int(v.bytes.size()), SQLITE_TRANSIENT);
        break;
    }
}
} // namespace

// El esquema se lee de las páginas, no de SQLite: así sirve aunque SQLite ya no pueda abrir el
// archivo. Si la raíz del esquema está rota, sus filas se buscan en las hojas sueltas.
void Salvador::leerEsquema()
{
    std::vector<Fila> filas;
    const std::vector<Tramo> tramos = archivo_.recorrerTabla(1, usadas_);
    esquemaCompleto_ = archivo_.legible();
    bool sueltas = false;
    for (const Tramo& t : tramos) {
        if (!t.hoja) {
            esquemaCompleto_ = false;
            sueltas = sueltas || t.huerfanas;
            continue;
        }
        int malas = 0;
        for (Fila& f : archivo_.filasDeHoja(t.hoja, &malas))
            filas.push_back(std::move(f));
        esquemaCompleto_ = esquemaCompleto_ && malas == 0;
    }
    for (quint32 n = 1; sueltas && n <= archivo_.paginas(); ++n) {
        if (usadas_.count(n) || !archivo_.esHojaDeTabla(n))
            continue;
        std::vector<Fila> hoja = archivo_.filasDeHoja(n);
        if (hoja.empty() ||
            !std::all_of(hoja.begin(), hoja.end(), [&](const Fila& f) { return esFilaDeEsquema(archivo_, f); }))
            continue;
        usadas_.insert(n);
        for (Fila& f : hoja)
            filas.push_back(std::move(f));
    }

    // Las columnas de cada tabla vieja, tal como las entiende SQLite, de su CREATE TABLE.
    sqlite3* memoria = nullptr;
    sqlite3_open(":memory:", &memoria);
    for (const Fila& f : filas) {
        if (!esFilaDeEsquema(archivo_, f))
            continue;
        const QString tipo = archivo_.texto(f.valores[0]);
        const quint32 raiz = quint32(std::clamp<qint64>(f.valores[3].entero, 0, archivo_.paginas()));
        if (tipo == "index" && raiz) {
            archivo_.recorrerIndice(raiz, usadas_);
            continue;
        }
        Tabla* t = tipo == "table" ? tabla(archivo_.texto(f.valores[1])) : nullptr;
        if (tipo == "table" && !t && raiz) // tabla ajena: sus páginas tampoco son sueltas
            archivo_.recorrerTabla(raiz, usadas_);
        if (!t || t->enArchivo)
            continue;
        const QString nombreViejo = archivo_.texto(f.valores[1]);
        sqlite3_exec(memoria, archivo_.texto(f.valores[4]).toUtf8().constData(), nullptr, nullptr, nullptr);
        std::vector<Columna> viejas = columnasDe(memoria, nombreViejo);
        if (viejas.empty())
            continue;
        t->enArchivo = true;
        t->raiz = raiz;
        t->viejas = std::move(viejas);
        t->sinRowid = numero(memoria, "SELECT wr FROM pragma_table_list WHERE name = '" +
                                          QString(nombreViejo).replace('\'', "''") + "'")
                          .value_or(0) != 0;
        esquemaConocido_ = true;
    }
    sqlite3_close(memoria);
    // Las tablas de las otras raíces también ocupan páginas que no son sueltas.
    for (Tabla& t : tablas_)
        if (t.enArchivo && !t.sinRowid)
            t.tramos = t.raiz ? archivo_.recorrerTabla(t.raiz, usadas_)
                              : std::vector<Tramo>{Tramo{ArchivoSqlite::menor, ArchivoSqlite::mayor, 0, true}};
}

void Salvador::prepararTabla(Tabla& t)
{
    if (!t.enArchivo) // su fila del esquema se ha perdido: se supone que era como la nueva
        t.viejas = nuevas(t.nombre);
    QStringList nombres{"rowid"}, marcas{"?"};
    for (const Columna& c : nuevas(t.nombre)) {
        const int i = indiceDe(t.viejas, c.nombre);
        if (c.claveFila || i < 0)
            continue;
        t.origenDe.push_back(i);
        nombres << entreComillas(c.nombre);
        marcas << "?";
    }
    if (t.sinRowid) { // tablas sin rowid (archivos ajenos): sin clave que guardar
        nombres.removeFirst();
        marcas.removeFirst();
    }
    // Una tabla que el esquema nuevo ya trae con filas (los plazos por nivel) recibe las salvadas
    // encima: valen las que tenía el usuario, y las que se pierdan quedan con su valor de siempre.
    Sentencia contar(bd_, "SELECT EXISTS (SELECT 1 FROM " + entreComillas(t.nombre) + ")");
    const bool sembrada = contar.preparada() && contar.paso() == SQLITE_ROW && sqlite3_column_int(*contar, 0) != 0;
    t.insertar = std::make_unique<Sentencia>(
        bd_, QString::fromLatin1(sembrada ? "INSERT OR REPLACE INTO " : "INSERT INTO ") + entreComillas(t.nombre) +
                 " (" + nombres.join(", ") + ") VALUES (" + marcas.join(", ") + ")");
    if (!t.insertar->preparada())
        nueva_->lanzar(sqlite3_errcode(bd_));
    if (!t.enArchivo)
        return;
    QStringList viejas{"rowid"};
    for (const Columna& c : t.viejas)
        viejas << entreComillas(c.nombre);
    if (t.sinRowid)
        viejas.removeFirst();
    t.leerTramo =
        std::make_unique<Sentencia>(fuente_.bd(), "SELECT " + viejas.join(", ") + " FROM " + entreComillas(t.nombre) +
                                                      (t.sinRowid ? QString()
                                                                  : " WHERE rowid BETWEEN ? AND ? "
                                                                    "ORDER BY rowid"));
    t.porSql = t.leerTramo->preparada();
}

// Guarda una fila leída, de SQLite (sql) o de la página (cruda).
void Salvador::guardar(Tabla& t, sqlite3_stmt* sql, const Fila* cruda, qint64 clave)
{
    if (!t.sinRowid && !t.vistas.insert(clave).second)
        return;
    ++t.leidas;
    Sentencia& ins = *t.insertar;
    ins.reiniciar();
    const int primera = t.sinRowid ? 1 : 2;
    if (!t.sinRowid)
        ins.enlazar(1, clave);
    const int desplazamiento = t.sinRowid ? 0 : 1; // en la lectura por SQL, la clave va delante
    for (size_t k = 0; k < t.origenDe.size(); ++k) {
        const int i = t.origenDe[k];
        if (sql)
            sqlite3_bind_value(*ins, int(k) + primera, sqlite3_column_value(sql, i + desplazamiento));
        else if (size_t(i) < cruda->valores.size())
            enlazarCrudo(*ins, int(k) + primera, archivo_, cruda->valores[size_t(i)]);
    }
    const int rc = ins.paso();
    if (rc == SQLITE_DONE)
        ++t.cuenta.salvadas;
    else if ((rc & 0xff) == SQLITE_CONSTRAINT || (rc & 0xff) == SQLITE_MISMATCH)
        ++t.rechazadas; // el dato ya no vale (repetido, vacío donde no puede, de otro tipo)
    else
        nueva_->lanzar(rc);
}

bool Salvador::leerPorSql(Tabla& t, qint64 desde, qint64 hasta, std::optional<qint64>& ultima)
{
    if (!t.porSql)
        return false;
    Sentencia& st = *t.leerTramo;
    st.reiniciar();
    st.enlazar(1, desde);
    st.enlazar(2, hasta);
    int rc;
    while ((rc = st.paso()) == SQLITE_ROW) {
        const qint64 clave = sqlite3_column_int64(*st, 0);
        guardar(t, *st, nullptr, clave);
        ultima = clave;
    }
    return rc == SQLITE_DONE;
}

// Claves [i, j] de una hoja sana. Si SQLite falla, se parte el tramo en dos hasta aislar las filas
// que no lee; ésas se toman de la página si se puede.
void Salvador::leerClaves(Tabla& t, quint32 hoja, const std::vector<qint64>& claves, size_t i, size_t j)
{
    std::optional<qint64> ultima;
    if (leerPorSql(t, claves[i], claves[j], ultima))
        return;
    while (i <= j && ultima && claves[i] <= *ultima)
        ++i;
    if (i > j)
        return;
    if (i < j && t.porSql) {
        const size_t medio = i + (j - i) / 2;
        leerClaves(t, hoja, claves, i, medio);
        leerClaves(t, hoja, claves, medio + 1, j);
        return;
    }
    int malas = 0;
    const std::vector<Fila> filas = archivo_.filasDeHoja(hoja, &malas);
    for (size_t k = i; k <= j; ++k) {
        const auto f = std::find_if(filas.begin(), filas.end(), [&](const Fila& x) { return x.rowid == claves[k]; });
        if (f != filas.end())
            guardar(t, nullptr, &*f, f->rowid);
        else if (!t.vistas.count(claves[k]))
            ++t.ilegibles;
    }
}

void Salvador::leerTramos(Tabla& t)
{
    if (!t.enArchivo)
        return;
    if (t.sinRowid) {
        Sentencia& st = *t.leerTramo;
        int rc = SQLITE_ERROR;
        while (t.porSql && (rc = st.paso()) == SQLITE_ROW)
            guardar(t, *st, nullptr, 0);
        t.huecos = rc != SQLITE_DONE;
        return;
    }
    for (const Tramo& tramo : t.tramos) {
        if (tramo.hoja) {
            std::vector<qint64> claves = archivo_.clavesDeHoja(tramo.hoja);
            std::sort(claves.begin(), claves.end());
            if (!claves.empty())
                leerClaves(t, tramo.hoja, claves, 0, claves.size() - 1);
            continue;
        }
        // Página rota: quizá SQLite aún lea algo que la comprobación de aquí no acepta.
        std::optional<qint64> ultima;
        if (!leerPorSql(t, tramo.desde, tramo.hasta, ultima))
            t.huecos = true;
    }
}

bool Salvador::encaja(const Tabla& t, const std::vector<Fila>& filas) const
{
    using T = Valor::Tipo;
    for (const Fila& f : filas) {
        if (t.vistas.count(f.rowid) || f.valores.empty() || f.valores.size() > t.viejas.size())
            return false;
        if (!std::any_of(t.tramos.begin(), t.tramos.end(),
                         [&](const Tramo& r) { return r.huerfanas && f.rowid >= r.desde && f.rowid <= r.hasta; }))
            return false;
        for (size_t i = 0; i < t.viejas.size(); ++i) {
            const Columna& c = t.viejas[i];
            const T tipo = i < f.valores.size() ? f.valores[i].tipo : T::Nulo;
            if ((c.claveFila && tipo != T::Nulo) || (c.noNula && !c.claveFila && tipo == T::Nulo) ||
                (c.texto && (tipo == T::Entero || tipo == T::Real)))
                return false;
        }
    }
    return true;
}

// Cuántas filas de la hoja tienen ya a sus padres en la base nueva: desempata entre tablas de la
// misma forma.
qint64 Salvador::padresPresentes(const Tabla& t, const std::vector<Fila>& filas)
{
    qint64 presentes = 0;
    Sentencia fk(bd_, "SELECT \"from\", \"table\", coalesce(\"to\", '') FROM pragma_foreign_key_list(?)");
    fk.enlazar(1, t.nombre);
    while (fk.paso() == SQLITE_ROW) {
        const int i = indiceDe(t.viejas, textoDe(*fk, 0));
        const QString a = textoDe(*fk, 2);
        if (i < 0)
            continue;
        Sentencia existe(bd_, "SELECT 1 FROM " + entreComillas(textoDe(*fk, 1)) + " WHERE " +
                                  (a.isEmpty() ? QStringLiteral("rowid") : entreComillas(a)) + " = ?");
        for (const Fila& f : filas) {
            if (size_t(i) >= f.valores.size() || f.valores[size_t(i)].tipo != Valor::Tipo::Entero)
                continue;
            existe.reiniciar();
            existe.enlazar(1, f.valores[size_t(i)].entero);
            presentes += existe.paso() == SQLITE_ROW;
        }
    }
    return presentes;
}

// Hojas que ya no cuelgan de ningún árbol (su página de arriba está rota) ni están libres: se
// dan a la tabla con un hueco de su forma donde caben sus claves.
void Salvador::leerHuerfanas()
{
    std::vector<Tabla*> candidatas;
    for (Tabla& t : tablas_)
        if (!t.sinRowid && (t.conHuerfanas() || (!t.enArchivo && !esquemaCompleto_)))
            candidatas.push_back(&t);
    for (Tabla* t : candidatas)
        if (!t->enArchivo)
            t->tramos = {Tramo{ArchivoSqlite::menor, ArchivoSqlite::mayor, 0, true}};
    for (quint32 n = 1; !candidatas.empty() && n <= archivo_.paginas(); ++n) {
        if (usadas_.count(n) || archivo_.libres().count(n) || !archivo_.esHojaDeTabla(n))
            continue;
        const std::vector<Fila> filas = archivo_.filasDeHoja(n);
        if (filas.empty())
            continue;
        std::vector<Tabla*> encajan;
        for (Tabla* t : candidatas)
            if (encaja(*t, filas))
                encajan.push_back(t);
        // Un registro más corto que su tabla sólo sale de columnas añadidas después: si alguna
        // tabla tiene justo sus columnas, es de ésa.
        const auto justas = [&](const Tabla* t) {
            return std::all_of(filas.begin(), filas.end(),
                               [&](const Fila& f) { return f.valores.size() == t->viejas.size(); });
        };
        if (std::any_of(encajan.begin(), encajan.end(), justas))
            encajan.erase(std::remove_if(encajan.begin(), encajan.end(), [&](const Tabla* t) { return !justas(t); }),
                          encajan.end());
        if (encajan.size() > 1) {
            std::vector<qint64> presentes;
            for (Tabla* t : encajan)
                presentes.push_back(padresPresentes(*t, filas));
            const auto mejor = std::max_element(presentes.begin(), presentes.end());
            // A igualdad no se sabe de quién es: mejor perderla que meterla en otra tabla.
            if (std::count(presentes.begin(), presentes.end(), *mejor) > 1)
                continue;
            encajan = {encajan[size_t(mejor - presentes.begin())]};
        }
        if (encajan.size() != 1)
            continue;
        usadas_.insert(n);
        for (const Fila& f : filas)
            guardar(*encajan.front(), nullptr, &f, f.rowid);
    }
}

} // namespace salvamento
