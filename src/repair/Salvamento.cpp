// Salvamento de archivos dañados. Pasa de las 600 líneas de la casa porque es un solo recorrido:
// esquema, tramos, hojas sueltas, catálogo, padres provisionales y recuento, que comparten estado.
#include "repair/Salvamento.h"

#include "repair/ArchivoSqlite.h"
#include "store/Conexion.h"
#include "store/ErrorBD.h"
#include "store/MapaErrores.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sqlite3.h>

namespace {
using Valor = ArchivoSqlite::Valor;
using Fila = ArchivoSqlite::Fila;
using Tramo = ArchivoSqlite::Tramo;

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
        if (bd)
            rc_ = sqlite3_prepare_v2(bd, texto.constData(), int(texto.size()), &st_, nullptr);
        preparada_ = bd && rc_ == SQLITE_OK && st_;
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
    void reiniciar()
    {
        sqlite3_reset(st_);
        sqlite3_clear_bindings(st_);
    }
    void enlazar(int i, qint64 v) { sqlite3_bind_int64(st_, i, v); }
    void enlazar(int i, const QString& v)
    {
        const QByteArray b = v.toUtf8();
        sqlite3_bind_text(st_, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    }

private:
    sqlite3_stmt* st_ = nullptr;
    int rc_ = SQLITE_ERROR;
    bool preparada_ = false;
};

QString textoDe(sqlite3_stmt* st, int i)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
}

QStringList leerNombres(sqlite3* bd, const QString& sql, const QString& parametro = {})
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

// Tablas del esquema nuevo con los padres antes que los hijos.
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

struct Columna
{
    QString nombre;
    bool noNula = false;
    bool claveFila = false; // INTEGER PRIMARY KEY: en el registro va como NULL
    bool texto = false;     // afinidad de texto: nunca guarda números
};

// Columnas de una tabla de una base abierta (la nueva o la de memoria con el esquema viejo).
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

// Copia privada del archivo dañado, que es la que se lee: el original no se abre nunca y queda
// tal cual como copia de seguridad. Si su cabecera está dañada se rehace; si está cortado, se
// completa con ceros hasta el tamaño que dice su cabecera (si no, SQLite no lee ninguna de sus
// páginas, tampoco las buenas). Su diario se pasa al archivo para leer las páginas a mano.
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
        rehacerCabecera();
        completar();
        const QByteArray nombre = QDir::toNativeSeparators(copia_).toUtf8();
        if (sqlite3_open_v2(nombre.constData(), &bd_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            sqlite3_close_v2(bd_);
            bd_ = nullptr;
        } else {
            sqlite3_exec(bd_, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
            sqlite3_exec(bd_, "PRAGMA query_only = 1", nullptr, nullptr, nullptr);
        }
        QFile f(copia_);
        if (f.open(QIODevice::ReadOnly))
            paginas_ = leidos_ < 0 ? f.readAll() : f.read(leidos_);
    }
    ~Origen()
    {
        sqlite3_close_v2(bd_);
        borrar();
    }
    Origen(const Origen&) = delete;
    Origen& operator=(const Origen&) = delete;
    sqlite3* bd() const { return bd_; }
    const QByteArray& paginas() const { return paginas_; }
    // Con la cabecera rehecha no se sabe qué páginas estaban libres.
    bool cabeceraRehecha() const { return rehecha_; }

private:
    void borrar()
    {
        for (const char* resto : {"", "-wal", "-shm", "-journal"})
            QFile::remove(copia_ + resto);
    }

    void rehacerCabecera()
    {
        QFile f(copia_);
        if (!f.open(QIODevice::ReadWrite))
            return;
        const QByteArray datos = f.readAll();
        if (datos.size() < 512 || ArchivoSqlite::cabeceraSana(datos))
            return;
        const QByteArray cabecera = ArchivoSqlite::rehacerCabecera(datos, QFileInfo(copia_ + "-wal").size() > 0);
        if (cabecera.isEmpty())
            return;
        f.seek(0);
        rehecha_ = f.write(cabecera) == cabecera.size();
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
        leidos_ = enteras;
        // Un número de páginas estropeado no debe pedir un archivo de terabytes.
        const qint64 tamano = std::min(std::max(enteras, dice), enteras + (qint64(1) << 30));
        if (tamano > f.size())
            f.resize(tamano);
    }

    QString copia_;
    sqlite3* bd_ = nullptr;
    QByteArray paginas_;
    qint64 leidos_ = -1; // lo que de verdad hay (-1: todo); el relleno no se lee
    bool rehecha_ = false;
};

// Una tabla del esquema nuevo y lo que se sabe de ella en el archivo dañado.
struct Tabla
{
    QString nombre;
    bool enArchivo = false; // su fila del esquema se ha leído
    bool sinRowid = false;
    quint32 raiz = 0;
    std::vector<Columna> viejas; // en el orden del registro
    std::vector<Tramo> tramos;
    std::set<qint64> vistas; // claves ya leídas (salvadas o rechazadas)
    bool porSql = false;     // SQLite aún llega a ella
    bool huecos = false;     // partes que no se han podido leer, de filas sin contar
    FilasTabla cuenta;
    qint64 leidas = 0, ilegibles = 0, rechazadas = 0;
    // Inserción en la tabla nueva: columna vieja de cada parámetro (tras la clave).
    std::vector<int> origenDe;
    std::unique_ptr<Sentencia> insertar;
    std::unique_ptr<Sentencia> leerTramo;

    bool conHuerfanas() const
    {
        return std::any_of(tramos.begin(), tramos.end(), [](const Tramo& t) { return t.huerfanas; });
    }
};

// Texto de las filas provisionales: dice de dónde sale y qué clave tenía el padre perdido.
struct Rotulo
{
    const char* tabla;
    const char* columna;
    const char* texto;
};
const Rotulo rotulos[] = {
    {"Empresas", "Nombre", QT_TRANSLATE_NOOP("Salvamento", "Empresa recuperada %1")},
    {"CentroTrabajo", "NombreCentro", QT_TRANSLATE_NOOP("Salvamento", "Centro recuperado %1")},
    {"PuestosCentros", "Puesto", QT_TRANSLATE_NOOP("Salvamento", "Puesto recuperado %1")},
    {"FactoresSeleccionarEvaluacion", "Factor", QT_TRANSLATE_NOOP("Salvamento", "Factor recuperado %1")},
    {"ActuaciónPreventiva", "Persona", QT_TRANSLATE_NOOP("Salvamento", "Plan recuperado %1")},
    {"FactoresRiesgos", "Factor", QT_TRANSLATE_NOOP("Salvamento", "Factor recuperado %1")},
    {"Riesgos", "Riesgo", QT_TRANSLATE_NOOP("Salvamento", "Riesgo recuperado %1")},
};

class Salvador
{
public:
    Salvador(const Origen& fuente, std::shared_ptr<Conexion> nueva)
        : fuente_(fuente), archivo_(fuente.paginas(), !fuente.cabeceraRehecha()), nueva_(std::move(nueva)),
          bd_(nueva_->bd())
    {
    }

    ResultadoSalvamento salvar(const QString& catalogo);

private:
    void leerEsquema();
    void prepararTabla(Tabla& t);
    void leerTramos(Tabla& t);
    void leerClaves(Tabla& t, quint32 hoja, const std::vector<qint64>& claves, size_t i, size_t j);
    // Lee por SQL las filas de [desde, hasta]; devuelve la última clave leída y si ha acabado.
    bool leerPorSql(Tabla& t, qint64 desde, qint64 hasta, std::optional<qint64>& ultima);
    void leerHuerfanas();
    bool encaja(const Tabla& t, const std::vector<Fila>& filas) const;
    qint64 padresPresentes(const Tabla& t, const std::vector<Fila>& filas);
    void guardar(Tabla& t, sqlite3_stmt* sql, const Fila* cruda, qint64 clave);
    void reponerCatalogo(const QString& catalogo, ResultadoSalvamento& r);
    void rehacerPadres();
    void crearProvisional(const QString& padre, const QStringList& claves, const QVariantList& valores,
                          const QString& hijo, qint64 filaHijo);
    void quitarHuerfanos();
    void contar(Tabla& t);
    Tabla* tabla(const QString& nombre);
    const std::vector<Columna>& nuevas(const QString& tabla);

    const Origen& fuente_;
    ArchivoSqlite archivo_;
    std::shared_ptr<Conexion> nueva_;
    sqlite3* bd_;
    std::vector<Tabla> tablas_;
    std::set<quint32> usadas_;
    bool esquemaCompleto_ = false;         // el esquema del archivo se ha leído entero
    bool esquemaConocido_ = false;         // y era de este programa (tiene alguna de sus tablas)
    std::map<QString, qint64> claveNueva_; // padre provisional para los hijos de padre desconocido
    std::map<QString, std::vector<Columna>> columnas_;
};

const std::vector<Columna>& Salvador::nuevas(const QString& tabla)
{
    auto it = columnas_.find(tabla.toLower());
    if (it == columnas_.end())
        it = columnas_.emplace(tabla.toLower(), columnasDe(bd_, tabla)).first;
    return it->second;
}

Tabla* Salvador::tabla(const QString& nombre)
{
    for (Tabla& t : tablas_)
        if (t.nombre.compare(nombre, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

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
    t.insertar = std::make_unique<Sentencia>(bd_, "INSERT INTO " + entreComillas(t.nombre) + " (" + nombres.join(", ") +
                                                      ") VALUES (" + marcas.join(", ") + ")");
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

void Salvador::reponerCatalogo(const QString& catalogo, ResultadoSalvamento& r)
{
    // Se lee de una copia propia: la entregada no se toca nunca.
    const QString copia = QDir::fromNativeSeparators(nueva_->datos().fuente) + ".catalogo";
    const auto borrar = [&] {
        for (const char* resto : {"", "-wal", "-shm", "-journal"})
            QFile::remove(copia + resto);
    };
    borrar();
    if (catalogo.isEmpty() || !QFileInfo::exists(catalogo) || !QFile::copy(catalogo, copia)) {
        r.sinCatalogo = true;
        return;
    }
    sqlite3* entregada = nullptr;
    if (sqlite3_open_v2(QDir::toNativeSeparators(copia).toUtf8().constData(), &entregada, SQLITE_OPEN_READWRITE,
                        nullptr) != SQLITE_OK) {
        r.sinCatalogo = true;
    } else {
        for (Tabla& t : tablas_) {
            if (t.sinRowid)
                continue;
            const std::vector<Columna> suyas = columnasDe(entregada, t.nombre);
            QStringList nombres{"rowid"}, marcas{"?"};
            for (const Columna& c : nuevas(t.nombre))
                if (!c.claveFila && indiceDe(suyas, c.nombre) >= 0) {
                    nombres << entreComillas(c.nombre);
                    marcas << "?";
                }
            Sentencia leer(entregada, "SELECT " + nombres.join(", ") + " FROM " + entreComillas(t.nombre));
            Sentencia poner(bd_, "INSERT OR IGNORE INTO " + entreComillas(t.nombre) + " (" + nombres.join(", ") +
                                     ") VALUES (" + marcas.join(", ") + ")");
            while (leer.preparada() && leer.paso() == SQLITE_ROW) {
                poner.reiniciar();
                for (int i = 0; i < nombres.size(); ++i)
                    sqlite3_bind_value(*poner, i + 1, sqlite3_column_value(*leer, i));
                const int rc = poner.paso();
                if (rc != SQLITE_DONE)
                    nueva_->lanzar(rc);
                t.cuenta.repuestas += sqlite3_changes(bd_);
            }
        }
    }
    sqlite3_close_v2(entregada);
    borrar();
}

void Salvador::crearProvisional(const QString& padre, const QStringList& claves, const QVariantList& valores,
                                const QString& hijo, qint64 filaHijo)
{
    const std::vector<Columna> columnas = nuevas(padre);
    std::map<QString, QVariant> fila;
    for (int i = 0; i < claves.size(); ++i) {
        QString clave = claves[i];
        for (const Columna& c : columnas)
            if (c.claveFila && clave.compare("rowid", Qt::CaseInsensitive) == 0)
                clave = c.nombre;
        fila[clave.toLower()] = valores[i];
    }
    // Claves ajenas del padre: sus valores se buscan en el hijo y, si no, en otras tablas que
    // guardan las dos claves (un centro perdido dice su empresa en sus factores y evaluaciones).
    std::map<QString, QString> ajenas; // columna -> tabla a la que apunta
    Sentencia fk(bd_, "SELECT lower(\"from\"), \"table\" FROM pragma_foreign_key_list(?)");
    fk.enlazar(1, padre);
    while (fk.paso() == SQLITE_ROW)
        ajenas[textoDe(*fk, 0)] = textoDe(*fk, 1);
    std::set<QString> nombresDeClave;
    for (Tabla& t : tablas_)
        for (const Columna& c : nuevas(t.nombre))
            if (c.claveFila)
                nombresDeClave.insert(c.nombre.toLower());
    const auto buscar = [&](const QString& columna) -> QVariant {
        std::vector<std::pair<QString, QString>> dondes{{hijo, "rowid = ?"}};
        if (claves.size() == 1)
            for (Tabla& t : tablas_)
                if (t.nombre.compare(padre, Qt::CaseInsensitive) != 0 && t.nombre != hijo)
                    dondes.push_back({t.nombre, entreComillas(claves[0]) + " = ?"});
        for (const auto& [t, donde] : dondes) {
            const std::vector<Columna>& suyas = nuevas(t);
            const int i = indiceDe(suyas, columna);
            if (i < 0 || suyas[size_t(i)].claveFila || (t != hijo && indiceDe(suyas, claves[0]) < 0))
                continue;
            Sentencia st(bd_, "SELECT " + entreComillas(columna) + " FROM " + entreComillas(t) + " WHERE " + donde +
                                  " AND " + entreComillas(columna) + " IS NOT NULL LIMIT 1");
            st.enlazar(1, t == hijo ? filaHijo : valores[0].toLongLong());
            if (st.paso() == SQLITE_ROW)
                return sqlite3_column_int64(*st, 0);
        }
        return {};
    };
    const QVariant clave = valores.size() == 1 ? valores[0] : QVariant();
    QString rotulo = QStringLiteral("");
    const char* columnaRotulo = nullptr;
    for (const Rotulo& r : rotulos)
        if (padre.compare(QString::fromUtf8(r.tabla), Qt::CaseInsensitive) == 0) {
            columnaRotulo = r.columna;
            rotulo = QObject::tr(r.texto).arg(clave.isValid() ? clave.toString() : QString());
        }
    QStringList nombres, marcas;
    QVariantList datos;
    for (const Columna& c : columnas) {
        const QString n = c.nombre.toLower();
        QVariant v = fila.count(n) ? fila[n] : QVariant();
        if (!v.isValid() && (ajenas.count(n) || nombresDeClave.count(n)))
            v = buscar(c.nombre);
        if (!v.isValid() && c.noNula && ajenas.count(n)) {
            // Ni rastro de su padre: todos los de este caso cuelgan de uno provisional nuevo.
            const QString abuelo = ajenas[n];
            if (!claveNueva_.count(abuelo))
                claveNueva_[abuelo] =
                    numero(bd_, "SELECT coalesce(max(rowid), 0) + 1 FROM " + entreComillas(abuelo)).value_or(1);
            v = claveNueva_[abuelo];
        }
        if (!v.isValid() && columnaRotulo && c.nombre == QString::fromUtf8(columnaRotulo))
            v = rotulo;
        if (!v.isValid() && c.noNula)
            v = c.texto ? QVariant(rotulo) : QVariant(0);
        if (!v.isValid())
            continue;
        nombres << entreComillas(c.nombre);
        marcas << "?";
        datos << v;
    }
    Sentencia poner(bd_, "INSERT OR IGNORE INTO " + entreComillas(padre) + " (" + nombres.join(", ") + ") VALUES (" +
                             marcas.join(", ") + ")");
    for (int i = 0; i < datos.size(); ++i)
        if (datos[i].typeId() == QMetaType::QString)
            poner.enlazar(i + 1, datos[i].toString());
        else
            poner.enlazar(i + 1, datos[i].toLongLong());
    const int rc = poner.paso();
    // Una clave que no es un número no puede ser la de un padre: el hijo se quita después.
    if (rc != SQLITE_DONE && (rc & 0xff) != SQLITE_CONSTRAINT && (rc & 0xff) != SQLITE_MISMATCH)
        nueva_->lanzar(rc);
    if (Tabla* t = tabla(padre); t && rc == SQLITE_DONE)
        t->cuenta.provisionales += sqlite3_changes(bd_);
}

// Cada fila cuyo padre se ha perdido se queda, colgando de un padre provisional. Los padres
// provisionales pueden a su vez necesitar el suyo: se repite hasta que no falta ninguno.
void Salvador::rehacerPadres()
{
    std::set<QString> hechos;
    for (int vuelta = 0; vuelta < 32; ++vuelta) {
        Sentencia faltan(bd_, "SELECT \"table\", rowid, fkid FROM pragma_foreign_key_check");
        std::vector<std::tuple<QString, qint64, int>> lista;
        while (faltan.paso() == SQLITE_ROW)
            lista.emplace_back(textoDe(*faltan, 0), sqlite3_column_int64(*faltan, 1), sqlite3_column_int(*faltan, 2));
        bool alguno = false;
        for (const auto& [hijo, fila, id] : lista) {
            QString padre;
            QStringList de, a;
            Sentencia fk(bd_, "SELECT \"table\", \"from\", \"to\" FROM pragma_foreign_key_list(?) WHERE id = ? "
                              "ORDER BY seq");
            fk.enlazar(1, hijo);
            fk.enlazar(2, id);
            while (fk.paso() == SQLITE_ROW) {
                padre = textoDe(*fk, 0);
                de << entreComillas(textoDe(*fk, 1));
                a << (sqlite3_column_type(*fk, 2) == SQLITE_NULL ? QStringLiteral("rowid") : textoDe(*fk, 2));
            }
            if (padre.isEmpty())
                continue;
            Sentencia valores(bd_, "SELECT " + de.join(", ") + " FROM " + entreComillas(hijo) + " WHERE rowid = ?");
            valores.enlazar(1, fila);
            if (valores.paso() != SQLITE_ROW)
                continue;
            QVariantList v;
            QString huella = padre;
            for (int i = 0; i < de.size(); ++i) {
                if (sqlite3_column_type(*valores, i) == SQLITE_INTEGER)
                    v << sqlite3_column_int64(*valores, i);
                else
                    v << textoDe(*valores, i);
                huella += ':' + v.last().toString();
            }
            if (!hechos.insert(huella).second)
                continue;
            crearProvisional(padre, a, v, hijo, fila);
            alguno = true;
        }
        if (!alguno)
            break;
    }
}

// Lo que aún quede sin padre (un valor que no es una clave) no puede entrar: se cuenta como perdido.
void Salvador::quitarHuerfanos()
{
    for (int vuelta = 0; vuelta < 32; ++vuelta) {
        Sentencia faltan(bd_, "SELECT DISTINCT \"table\", rowid FROM pragma_foreign_key_check");
        std::vector<std::pair<QString, qint64>> lista;
        while (faltan.paso() == SQLITE_ROW)
            lista.emplace_back(textoDe(*faltan, 0), sqlite3_column_int64(*faltan, 1));
        if (lista.empty())
            return;
        for (const auto& [hijo, fila] : lista) {
            nueva_->ejecutar("DELETE FROM " + entreComillas(hijo) + " WHERE rowid = ?", {fila});
            if (Tabla* t = tabla(hijo)) {
                --t->cuenta.salvadas;
                ++t->rechazadas;
            }
        }
    }
}

void Salvador::contar(Tabla& t)
{
    std::optional<qint64> habia;
    // Sin forzar el índice: si la tabla está dañada, el recuento de un índice sano aún dice
    // cuántas filas había.
    if (t.porSql)
        habia = numero(fuente_.bd(), "SELECT count(*) FROM " + entreComillas(t.nombre));
    t.cuenta.tabla = t.nombre;
    if (habia) {
        t.cuenta.perdidas = std::max<qint64>(*habia - t.leidas, 0) + t.rechazadas;
        return;
    }
    t.cuenta.perdidas = t.ilegibles + t.rechazadas;
    // Una tabla que no está en un esquema leído entero no existía; si el esquema no se ha podido
    // leer, no se sabe qué había.
    const bool sinSaber = t.enArchivo ? t.huecos : !(esquemaCompleto_ && esquemaConocido_);
    t.cuenta.perdidasExactas = !sinSaber;
}

ResultadoSalvamento Salvador::salvar(const QString& catalogo)
{
    ResultadoSalvamento r;
    for (const QString& nombre : tablasEnOrden(bd_)) {
        Tabla t;
        t.nombre = nombre;
        tablas_.push_back(std::move(t));
    }
    leerEsquema();
    for (Tabla& t : tablas_) {
        prepararTabla(t);
        leerTramos(t);
    }
    leerHuerfanas();
    reponerCatalogo(catalogo, r);
    rehacerPadres();
    quitarHuerfanos();
    for (Tabla& t : tablas_) {
        contar(t);
        r.salvadas += t.cuenta.salvadas;
        r.perdidas += t.cuenta.perdidas;
        r.perdidasExactas = r.perdidasExactas && t.cuenta.perdidasExactas;
        r.tablas.push_back(t.cuenta);
    }
    return r;
}
} // namespace

ResultadoSalvamento SalvarFilas(const QString& origen, const QString& destino, const QString& catalogo)
{
    const Origen fuente(origen, destino + QStringLiteral(".lectura"));
    auto nueva = Conexion::crear(destino);
    // Sin claves ajenas mientras se copia: un hijo cuyo padre se ha perdido entra igual y al
    // final se le da un padre provisional.
    nueva->ejecutar("PRAGMA foreign_keys = OFF");
    ResultadoSalvamento r;
    {
        Transaccion transaccion(nueva);
        r = Salvador(fuente, nueva).salvar(catalogo);
        transaccion.confirmar();
    }
    nueva->ejecutar("PRAGMA foreign_keys = ON");
    return r;
}

QString DescribirSalvamento(const ResultadoSalvamento& r)
{
    QString texto = r.perdidasExactas
                        ? QObject::tr("se han salvado %1 filas y se han perdido %2.").arg(r.salvadas).arg(r.perdidas)
                        : QObject::tr("se han salvado %1 filas; no se sabe cuántas se han perdido en "
                                      "las partes dañadas.")
                              .arg(r.salvadas);
    QStringList partes;
    for (const FilasTabla& t : r.tablas) {
        if (t.salvadas == 0 && t.perdidas == 0 && t.perdidasExactas && t.provisionales == 0 && t.repuestas == 0)
            continue;
        QString parte = QObject::tr("%1: %2 salvadas, ").arg(t.tabla).arg(t.salvadas);
        parte +=
            t.perdidasExactas ? QObject::tr("%1 perdidas").arg(t.perdidas) : QObject::tr("no se sabe cuántas perdidas");
        if (t.provisionales > 0)
            parte +=
                QObject::tr(", %1 provisionales que conservan las filas que dependían de ellas").arg(t.provisionales);
        if (t.repuestas > 0)
            parte += QObject::tr(", %1 repuestas del catálogo entregado").arg(t.repuestas);
        partes << parte;
    }
    if (!partes.isEmpty())
        texto += QObject::tr(" Por tablas: %1.").arg(partes.join(QStringLiteral("; ")));
    if (r.sinCatalogo && !(r.perdidasExactas && r.perdidas == 0))
        texto += QObject::tr(" No se encuentra %1 en la carpeta del programa: si falta parte del catálogo, vuelva a "
                             "instalar el programa y repita la reparación.")
                     .arg(NombreCatalogoEntregado);
    return texto;
}
