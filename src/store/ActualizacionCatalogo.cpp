#include "store/ActualizacionCatalogo.h"

#include "plataforma/CarpetaPrograma.h"
#include "store/Conexion.h"
#include "store/Esquema.h"
#include "store/MapaErrores.h"
#include "store/SentenciaPreparada.h"
#include "store/ValoresSqlite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <map>
#include <set>
#include <sqlite3.h>

namespace {
using Filas = std::vector<QVariantList>;

// El catálogo del programa, abierto con su propia conexión y sólo para leer: la base que se pone al
// día puede estar en otro motor, y así el archivo nunca se toca.
class ArchivoCatalogo
{
public:
    explicit ArchivoCatalogo(const QString& archivo) : archivo_(archivo)
    {
        const QByteArray nombre = QFile::encodeName(QDir::toNativeSeparators(archivo));
        const int rc = sqlite3_open_v2(nombre.constData(), &bd_, SQLITE_OPEN_READONLY, nullptr);
        if (rc != SQLITE_OK)
            fallar(rc, {});
        // Todas las tablas se leen de la misma foto del archivo.
        filas("BEGIN");
    }
    ~ArchivoCatalogo() { sqlite3_close_v2(bd_); }
    ArchivoCatalogo(const ArchivoCatalogo&) = delete;
    ArchivoCatalogo& operator=(const ArchivoCatalogo&) = delete;

    Filas filas(const char* sql)
    {
        int rc = SQLITE_OK;
        const SentenciaPreparada st = SentenciaPreparada::suelta(bd_, sql, rc);
        Filas r;
        while (rc == SQLITE_OK && (rc = sqlite3_step(st.get())) == SQLITE_ROW) {
            QVariantList fila;
            for (int i = 0; i < sqlite3_column_count(st.get()); ++i)
                fila << leerColumna(st.get(), i, {});
            r.push_back(std::move(fila));
            rc = SQLITE_OK;
        }
        if (rc != SQLITE_DONE)
            fallar(rc, QString::fromUtf8(sql));
        return r;
    }

private:
    [[noreturn]] void fallar(int rc, const QString& sentencia)
    {
        const ErrorBD e = errorDeSqlite(bd_, rc, archivo_, sentencia);
        sqlite3_close_v2(bd_);
        bd_ = nullptr;
        throw e;
    }
    sqlite3* bd_ = nullptr;
    QString archivo_;
};

// Filas por sentencia al escribir: en el servidor cada sentencia es un viaje de ida y vuelta, y las
// tandas iguales reutilizan la misma sentencia preparada. 200 filas de 4 columnas quedan muy lejos
// del límite de valores de los dos motores.
constexpr size_t FilasPorTanda = 200;

// Añade las filas en tandas de "INSERT ... VALUES (...), (...)", en su orden.
void insertar(Conexion& c, const QString& cabecera, const Filas& filas)
{
    if (filas.empty())
        return;
    const qsizetype columnas = filas.front().size();
    QStringList marcas(columnas, QStringLiteral("?"));
    const QString grupo = QLatin1Char('(') + marcas.join(QLatin1String(", ")) + QLatin1Char(')');
    for (size_t inicio = 0; inicio < filas.size(); inicio += FilasPorTanda) {
        const size_t fin = std::min(filas.size(), inicio + FilasPorTanda);
        QVariantList valores;
        valores.reserve(qsizetype((fin - inicio)) * columnas);
        for (size_t i = inicio; i < fin; ++i)
            valores += filas[i];
        c.ejecutar(cabecera + QLatin1String(" VALUES ") + QStringList(qsizetype(fin - inicio), grupo).join(", "),
                   valores);
    }
}

// Iguales como los compara "IS NOT": dos nulos son iguales; un texto nunca es igual a un nulo.
bool iguales(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a.toString() == b.toString();
}

// Por número: las filas de la tabla de la base con su texto.
std::map<qlonglong, QVariant> porNumero(const Filas& filas)
{
    std::map<qlonglong, QVariant> r;
    for (const QVariantList& f : filas)
        r.emplace(f.value(0).toLongLong(), f.value(1));
    return r;
}

// Riesgos y factores se nombran por su número: lo nuevo se añade con el suyo y lo que ya estaba
// toma la redacción nueva. Devuelve los números añadidos, en orden.
std::vector<qlonglong> ponerPorNumero(Conexion& c, const Filas& entregado, const QString& tabla, const QString& clave,
                                      const QString& texto)
{
    const std::map<qlonglong, QVariant> actual =
        porNumero(c.leerFilas(QStringLiteral("SELECT %1, %2 FROM %3").arg(clave, texto, tabla)));
    Filas nuevas;
    std::vector<qlonglong> numeros;
    for (const QVariantList& f : entregado) {
        const auto it = actual.find(f.value(0).toLongLong());
        if (it == actual.end()) {
            nuevas.push_back(f);
            numeros.push_back(f.value(0).toLongLong());
        } else if (!iguales(it->second, f.value(1))) {
            c.ejecutar(QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?").arg(tabla, texto, clave),
                       {f.value(1), it->first});
        }
    }
    // La redacción cambia antes de añadir: un factor nuevo puede llevar el texto que otro deja.
    insertar(c, QStringLiteral("INSERT INTO %1 (%2, %3)").arg(tabla, clave, texto), nuevas);
    return numeros;
}

// Cada puesto que ya existía recibe los factores nuevos como filas sin marcar, por orden de puesto y
// de factor, salvo los que ya tuviera.
void llevarFactoresALosPuestos(Conexion& c, const std::vector<qlonglong>& nuevos)
{
    // Una sola sentencia para todos, que es lo que da su orden a las filas; en tandas sólo si son
    // tantos que no caben en una.
    constexpr size_t FactoresPorSentencia = 10000;
    for (size_t inicio = 0; inicio < nuevos.size(); inicio += FactoresPorSentencia) {
        const size_t fin = std::min(nuevos.size(), inicio + FactoresPorSentencia);
        QVariantList valores;
        for (size_t i = inicio; i < fin; ++i)
            valores << nuevos[i];
        c.ejecutar(QStringLiteral("INSERT INTO FactoresSeleccionarEvaluacion (IDEmpresa, IDCentro, IDPuestoCentro, "
                                  "FactorSelecionado, IDFactor, Factor) "
                                  "SELECT c.IDEmpresa, p.IDCentro, p.IDPuestoCentro, 'N', n.IDFactor, n.Factor "
                                  "FROM PuestosCentros p JOIN CentroTrabajo c ON c.IDCentro = p.IDCentro "
                                  "CROSS JOIN FactoresRiesgos n WHERE n.IDFactor IN (%1) AND NOT EXISTS "
                                  "(SELECT 1 FROM FactoresSeleccionarEvaluacion s WHERE s.IDPuestoCentro = "
                                  "p.IDPuestoCentro AND s.IDFactor = n.IDFactor) "
                                  "ORDER BY p.IDPuestoCentro, n.IDFactor")
                       .arg(QStringList(valores.size(), QStringLiteral("?")).join(QLatin1String(", "))),
                   valores);
    }
}

// Los puestos del usuario copian el nombre del catálogo: se buscan por él. Los que ya están toman la
// descripción nueva; los nuevos se añaden con un número de la base. Devuelve, por nombre, el
// número más bajo de los puestos con ese nombre.
std::map<QString, qlonglong> ponerPuestos(Conexion& c, const Filas& entregado)
{
    std::multimap<QString, QVariant> descripcion;
    for (const QVariantList& f : c.leerFilas(QStringLiteral("SELECT Puesto, \"Descripción\" FROM Puestos")))
        descripcion.emplace(f.value(0).toString(), f.value(1));
    Filas nuevos;
    std::set<QString> cambiados;
    for (const QVariantList& f : entregado) {
        const QString puesto = f.value(1).toString();
        const auto [desde, hasta] = descripcion.equal_range(puesto);
        const bool distinta = std::any_of(desde, hasta, [&](const auto& d) { return !iguales(d.second, f.value(2)); });
        if (desde == hasta)
            nuevos.push_back({f.value(1), f.value(2)});
        else if (distinta && cambiados.insert(puesto).second)
            c.ejecutar(QStringLiteral("UPDATE Puestos SET \"Descripción\" = ? WHERE Puesto = ? AND \"Descripción\" IS "
                                      "DISTINCT FROM ?"),
                       {f.value(2), puesto, f.value(2)});
    }
    insertar(c, QStringLiteral("INSERT INTO Puestos (Puesto, \"Descripción\")"), nuevos);
    std::map<QString, qlonglong> numeros;
    for (const QVariantList& f :
         c.leerFilas(QStringLiteral("SELECT Puesto, min(IDPuesto) FROM Puestos GROUP BY Puesto")))
        numeros.emplace(f.value(0).toString(), f.value(1).toLongLong());
    return numeros;
}

// Una actuación que el usuario ha corregido conserva su texto; la que ya se entregó no vuelve.
void ponerActuaciones(Conexion& c, const Filas& entregado)
{
    std::set<QString> conocidas;
    for (const QVariantList& f : c.leerFilas(QStringLiteral("SELECT Actuacion, Entregada FROM Actuaciones")))
        for (const QVariant& v : f)
            if (!v.isNull())
                conocidas.insert(v.toString());
    Filas nuevas;
    for (const QVariantList& f : entregado)
        if (f.value(0).isNull() || !conocidas.count(f.value(0).toString()))
            nuevas.push_back({f.value(0), f.value(0)});
    insertar(c, QStringLiteral("INSERT INTO Actuaciones (Actuacion, Entregada)"), nuevas);
}

// En el servidor, los contadores de las claves siguen por encima de los números que se han puesto.
void moverContadores(Conexion& c)
{
    const std::pair<const char*, const char*> claves[] = {
        {"riesgos", "idriesgo"}, {"factoresriesgos", "idfactor"},
        {"puestos", "idpuesto"}, {"riesgosfactores", "idriesgofactor"},
        {"medidas", "idmedida"}, {"actuaciones", "idactuaciones"}};
    QStringList contadores;
    for (const auto& [tabla, clave] : claves)
        contadores << QStringLiteral("setval(pg_get_serial_sequence('%1', '%2'), COALESCE((SELECT max(%2) FROM %1), 0) "
                                     "+ 1, false)")
                          .arg(QString::fromUtf8(tabla), QString::fromUtf8(clave));
    c.leerFilas(QStringLiteral("SELECT ") + contadores.join(QLatin1String(", ")));
}

// Dos programas que abren a la vez la misma base del servidor se esperan aquí: el segundo la
// encuentra ya al día.
constexpr const char* CerrojoCatalogo = "SELECT pg_advisory_xact_lock(7401720527)";

const char* const consultaRevision = "SELECT max(Revision) FROM RevisionCatalogo";

// Revisión del catálogo con una sentencia suelta, que no se queda en la reserva de ninguna
// conexión. Deja en rc el código de SQLite.
int leerRevision(sqlite3* bd, int& rc)
{
    const SentenciaPreparada st = SentenciaPreparada::suelta(bd, consultaRevision, rc);
    if (rc != SQLITE_OK)
        return 0;
    rc = sqlite3_step(st.get());
    const int revision = rc == SQLITE_ROW ? sqlite3_column_int(st.get(), 0) : 0;
    if (rc == SQLITE_ROW || rc == SQLITE_DONE)
        rc = SQLITE_OK;
    return revision;
}
} // namespace

int revisionCatalogo(Conexion& c)
{
    // Se lee mientras se abre la conexión: una sentencia de su reserva no se finaliza si la apertura
    // falla después, y SQLite dejaría la conexión sin cerrar, con todo su caché. En el servidor (o
    // cerrada, que da el error de siempre) se lee por la conexión.
    if (!c.sqlite()) {
        const std::vector<QVariantList> filas = c.leerFilas(QString::fromUtf8(consultaRevision));
        return filas.empty() ? 0 : filas.front().value(0).toInt();
    }
    int rc = SQLITE_OK;
    const int revision = leerRevision(c.sqlite(), rc);
    if (rc != SQLITE_OK)
        c.lanzar(rc, QString::fromUtf8(consultaRevision));
    return revision;
}

int revisionCatalogoDe(const QString& archivo)
{
    if (!QFileInfo(archivo).isFile())
        return 0;
    sqlite3* bd = nullptr;
    int revision = 0;
    const QByteArray nombre = QFile::encodeName(QDir::toNativeSeparators(archivo));
    if (sqlite3_open_v2(nombre.constData(), &bd, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        int rc = SQLITE_OK;
        {
            const SentenciaPreparada esquema = SentenciaPreparada::suelta(bd, "PRAGMA user_version", rc);
            if (rc == SQLITE_OK && sqlite3_step(esquema.get()) == SQLITE_ROW &&
                sqlite3_column_int(esquema.get(), 0) != RevisionEsquema)
                rc = SQLITE_MISMATCH;
        }
        if (rc == SQLITE_OK)
            revision = leerRevision(bd, rc);
    }
    sqlite3_close_v2(bd);
    return revision;
}

// Los riesgos, factores y puestos sólo se añaden o se reescriben: las evaluaciones nombran sus
// riesgos y factores por el número y los puestos del usuario copian el nombre. Los enlaces, sus
// medidas y los factores habituales no los nombra nada del usuario (las medidas se copian al marcar
// el factor) y se toman enteros del catálogo nuevo, con sus números. Todo se escribe con valores
// enlazados y sentencias que entienden los dos motores.
void actualizarCatalogo(Conexion& c, const QString& archivo)
{
    Filas riesgos, factores, puestos, enlaces, medidas, habituales, actuaciones, revision;
    {
        ArchivoCatalogo e(archivo);
        riesgos = e.filas("SELECT IDRiesgo, Riesgo FROM Riesgos ORDER BY IDRiesgo");
        factores = e.filas("SELECT IDFactor, Factor FROM FactoresRiesgos ORDER BY IDFactor");
        puestos = e.filas("SELECT IDPuesto, Puesto, \"Descripción\" FROM Puestos ORDER BY IDPuesto");
        enlaces = e.filas("SELECT IDRiesgoFactor, IDFactor, IDRiesgo FROM RiesgosFactores ORDER BY IDRiesgoFactor");
        medidas = e.filas("SELECT IDMedida, IDRiesgo, IDFactor, Medida FROM Medidas ORDER BY IDMedida");
        habituales = e.filas("SELECT p.Puesto, h.IDFactor FROM FactoresHabituales h JOIN Puestos p ON p.IDPuesto = "
                             "h.IDPuesto ORDER BY h.IDPuesto, h.IDFactor");
        actuaciones = e.filas("SELECT Actuacion FROM Actuaciones ORDER BY IDActuaciones");
        revision = e.filas(consultaRevision);
    }
    const bool servidor = !c.sqlite();
    Transaccion t(c);
    if (servidor) {
        c.leerFilas(QString::fromUtf8(CerrojoCatalogo));
        if (revisionCatalogo(c) >= revision.front().value(0).toInt()) {
            t.confirmar();
            return;
        }
    }
    // Con las claves ajenas activas, un paso que dejara una fila sin su origen falla y se deshace todo.
    ponerPorNumero(c, riesgos, QStringLiteral("Riesgos"), QStringLiteral("IDRiesgo"), QStringLiteral("Riesgo"));
    llevarFactoresALosPuestos(c, ponerPorNumero(c, factores, QStringLiteral("FactoresRiesgos"),
                                                QStringLiteral("IDFactor"), QStringLiteral("Factor")));
    const std::map<QString, qlonglong> numeroPuesto = ponerPuestos(c, puestos);

    c.ejecutar(QStringLiteral("DELETE FROM Medidas"));
    c.ejecutar(QStringLiteral("DELETE FROM RiesgosFactores"));
    insertar(c, QStringLiteral("INSERT INTO RiesgosFactores (IDRiesgoFactor, IDFactor, IDRiesgo)"), enlaces);
    insertar(c, QStringLiteral("INSERT INTO Medidas (IDMedida, IDRiesgo, IDFactor, Medida)"), medidas);

    c.ejecutar(QStringLiteral("DELETE FROM FactoresHabituales"));
    Filas habitualesBase;
    std::set<std::pair<qlonglong, qlonglong>> vistos;
    for (const QVariantList& f : habituales) {
        // Tras añadir los puestos nuevos están todos; uno sin nombre no cabe (Puesto es obligatorio).
        const auto puesto = numeroPuesto.find(f.value(0).toString());
        const qlonglong numero = puesto == numeroPuesto.end() ? 0 : puesto->second, factor = f.value(1).toLongLong();
        if (vistos.insert({numero, factor}).second)
            habitualesBase.push_back({puesto == numeroPuesto.end() ? QVariant() : QVariant(numero), factor});
    }
    insertar(c, QStringLiteral("INSERT INTO FactoresHabituales (IDPuesto, IDFactor)"), habitualesBase);

    ponerActuaciones(c, actuaciones);
    c.ejecutar(QStringLiteral("UPDATE RevisionCatalogo SET Revision = ?"), {revision.front().value(0)});
    if (servidor)
        moverContadores(c);
    t.confirmar();
}

void ponerCatalogoServidorAlDia(Conexion& c, ResultadoEsquema& r)
{
    // En el servidor no hay archivo al lado: el catálogo es el de la carpeta del programa.
    const QString catalogo = QDir::fromNativeSeparators(RutaEnPrograma(NombreCatalogoPrograma));
    try {
        r.revisionCatalogo = revisionCatalogo(c);
        const int nueva = revisionCatalogoDe(catalogo);
        if (nueva <= r.revisionCatalogo)
            return;
        actualizarCatalogo(c, catalogo);
        r.catalogoPuestoAlDia = nueva;
    } catch (const ErrorBD& e) {
        r.estado = ResultadoEsquema::Estado::Fallida;
        r.error = e;
    }
}
