#include "GeneradorEscala.h"

#include "evaluation/DatosPuesto.h"
#include "evaluation/GeneracionRiesgos.h"
#include "evaluation/MatrizRiesgo.h"
#include "store/Conexion.h"
#include "store/Recordset.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <functional>
#include <sqlite3.h>
#include <stdexcept>

namespace {
const QStringList probabilidades = {"Baja", "Media", "Alta"};
const QStringList consecuencias = {"Ligeramente Dañino", "Dañino", "Extremadamente Dañino"};

long long anadirFila(const QString& conexion, const QString& tabla, const QList<QPair<QString, QVariant>>& campos)
{
    Recordset rs;
    rs.open("SELECT * FROM \"" + tabla + "\" WHERE 0", conexion);
    rs.addNew();
    for (const auto& [campo, valor] : campos)
        rs.setValue(campo, valor);
    rs.update();
    return rs.lastInsertId();
}

// Marca factores del puesto, como la casilla de la ventana, hasta tener las filas de evaluación
// pedidas. Se escogen entre los factores con más medidas
// por riesgo, empezando en un sitio distinto en cada puesto, para que salgan unas tres medidas por
// fila como en las evaluaciones reales.
void marcarFactores(const QString& conexion, long long idPuesto, long long idCentro, long long idEmpresa,
                    int filasBuscadas, unsigned semilla)
{
    Recordset factores;
    factores.open("SELECT f.IDEvaluacionCrear, f.IDFactor, f.FactorSelecionado FROM FactoresSeleccionarEvaluacion f "
                  "WHERE f.IDPuestoCentro = ? ORDER BY "
                  "(SELECT count(*) FROM Medidas m WHERE m.IDFactor = f.IDFactor) * 1.0 / "
                  "(SELECT count(*) FROM RiesgosFactores r WHERE r.IDFactor = f.IDFactor) DESC, f.IDEvaluacionCrear",
                  conexion, {idPuesto});
    const long total = std::min(40L, factores.recordCount());
    if (total == 0)
        return;
    int filas = 0;
    // Paso primo con los factores que se recorren: pasa por todos sin repetir.
    const long paso = 7;
    for (long k = 0; k < total && filas < filasBuscadas; ++k) {
        const long posicion = long((semilla + k * paso) % unsigned(total)) + 1;
        factores.setAbsolutePosition(posicion);
        FilaFactor f;
        f.idEvaluacionCrear = factores.value("IDEvaluacionCrear").toLongLong();
        f.idFactor = factores.value("IDFactor").toLongLong();
        f.idPuestoCentro = idPuesto;
        f.idCentro = idCentro;
        f.idEmpresa = idEmpresa;
        filas += MarcarFactor(conexion, f);
    }
}

// Evalúa los riesgos mostrados del puesto como en la ventana de riesgos y copia a las ocultas.
void evaluarRiesgos(const QString& conexion, long long idPuesto, unsigned semilla)
{
    Recordset riesgos;
    riesgos.open("SELECT IDEvaluacion, Probabilidad, Consecuencias, ValorRiesgo FROM Evaluacion "
                 "WHERE IDPuestoCentro = ? AND Mostrar = 'S' ORDER BY IDEvaluacion",
                 conexion, {idPuesto});
    unsigned n = semilla;
    while (!riesgos.eof()) {
        const QString p = probabilidades[n % 3];
        const QString c = consecuencias[(n / 3) % 3];
        riesgos.setValue("Probabilidad", p);
        riesgos.setValue("Consecuencias", c);
        riesgos.setValue("ValorRiesgo", NivelRiesgo(p, c));
        riesgos.update();
        riesgos.moveNext();
        ++n;
    }
    CopiarEvaluacionAOcultas(conexion, idPuesto);
}

// Elige dos de cada tres medidas propuestas del puesto.
void elegirMedidas(const QString& conexion, long long idPuesto)
{
    Recordset medidas;
    medidas.open("SELECT m.IDMedidaFactor, m.MarcarMedida FROM MedidasFactores m JOIN Evaluacion e "
                 "ON e.IDEvaluacion = m.IDEvaluacion WHERE e.IDPuestoCentro = ? ORDER BY m.IDMedidaFactor",
                 conexion, {idPuesto});
    long k = 0;
    while (!medidas.eof()) {
        if (k++ % 3 != 2) {
            medidas.setValue("MarcarMedida", "S");
            medidas.update();
        }
        medidas.moveNext();
    }
}

long long contar(const QString& conexion, const QString& tabla)
{
    Recordset rs;
    rs.open("SELECT count(*) FROM \"" + tabla + "\"", conexion);
    return rs.value(0).toLongLong();
}

ResumenEscala resumir(const std::function<long long(const QString&)>& contarTabla)
{
    ResumenEscala r;
    r.empresas = contarTabla("Empresas");
    r.centros = contarTabla("CentroTrabajo");
    r.puestos = contarTabla("PuestosCentros");
    r.factores = contarTabla("FactoresSeleccionarEvaluacion");
    r.evaluaciones = contarTabla("Evaluacion");
    r.medidas = contarTabla("MedidasFactores");
    r.lineasPlan = contarTabla("ActuaciónPreventivaRegistro");
    return r;
}

// Tablas de lo que da de alta el usuario, de padres a hijos, con su clave. Las columnas que se
// llaman como la clave de una de ellas la señalan, así que se desplazan igual en cada repetición.
const QList<QPair<QString, QString>> tablasUsuario = {
    {"Empresas", "IDEmpresa"},
    {"CentroTrabajo", "IDCentro"},
    {"PuestosCentros", "IDPuestoCentro"},
    {"FactoresSeleccionarEvaluacion", "IDEvaluacionCrear"},
    {"Evaluacion", "IDEvaluacion"},
    {"MedidasFactores", "IDMedidaFactor"},
    {"ActuaciónPreventiva", "IDActuacion"},
    {"ActuaciónPreventivaRegistro", "IDActuacionRegistro"},
};

// Conexión SQLite sin el programa por medio, que se cierra sola (y deshace lo no confirmado).
class BaseCruda
{
public:
    explicit BaseCruda(const QString& archivo)
    {
        if (sqlite3_open_v2(QFile::encodeName(archivo).constData(), &bd_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            fallo("no se puede abrir " + archivo.toUtf8());
    }
    ~BaseCruda() { sqlite3_close_v2(bd_); }
    BaseCruda(const BaseCruda&) = delete;
    BaseCruda& operator=(const BaseCruda&) = delete;

    void ejecutar(const QByteArray& sql)
    {
        if (sqlite3_exec(bd_, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            fallo(sql);
    }

    // Una sentencia con parámetros :nombre; los que la sentencia no usa se ignoran.
    long long valor(const QByteArray& sql, const QHash<QString, QVariant>& parametros = {})
    {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(bd_, sql.constData(), -1, &s, nullptr) != SQLITE_OK)
            fallo(sql);
        for (auto p = parametros.cbegin(); p != parametros.cend(); ++p) {
            const int i = sqlite3_bind_parameter_index(s, (":" + p.key()).toUtf8().constData());
            if (i == 0)
                continue;
            if (p.value().typeId() == QMetaType::QString) {
                const QByteArray texto = p.value().toString().toUtf8();
                sqlite3_bind_text(s, i, texto.constData(), int(texto.size()), SQLITE_TRANSIENT);
            } else {
                sqlite3_bind_int64(s, i, p.value().toLongLong());
            }
        }
        const int rc = sqlite3_step(s);
        const long long v = rc == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
        sqlite3_finalize(s);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            fallo(sql);
        return v;
    }

    QStringList columnas(const QString& esquema, const QString& tabla)
    {
        QStringList c;
        sqlite3_stmt* s = nullptr;
        const QByteArray sql = "PRAGMA \"" + esquema.toUtf8() + "\".table_info(\"" + tabla.toUtf8() + "\")";
        if (sqlite3_prepare_v2(bd_, sql.constData(), -1, &s, nullptr) != SQLITE_OK)
            fallo(sql);
        while (sqlite3_step(s) == SQLITE_ROW)
            c << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 1)));
        sqlite3_finalize(s);
        return c;
    }

private:
    [[noreturn]] void fallo(const QByteArray& que)
    {
        throw std::runtime_error((que + ": " + sqlite3_errmsg(bd_)).toStdString());
    }
    sqlite3* bd_ = nullptr;
};

// Lo que se escribe de cada columna en una repetición: las claves desplazadas y el nombre y el CIF
// de las empresas generadas con su número nuevo, para que no haya dos empresas iguales.
QString expresionCopia(const QString& tabla, const QString& columna, const QStringList& claves)
{
    const QString c = "\"" + columna + "\"";
    if (claves.contains(columna))
        return c + " + :" + columna;
    if (tabla == "Empresas" && columna == "Nombre")
        return "CASE WHEN Nombre = printf('Empresa %d, S.L.', IDEmpresa) "
               "THEN printf('Empresa %d, S.L.', IDEmpresa + :IDEmpresa) ELSE Nombre END";
    if (tabla == "Empresas" && columna == "CIF")
        return "CASE WHEN CIF = printf('B%d', 10000000 + IDEmpresa) "
               "THEN printf('B%d', 10000000 + IDEmpresa + :IDEmpresa) ELSE CIF END";
    return c;
}

void quitarBase(const QString& carpeta)
{
    for (const char* sufijo : {"", "-wal", "-shm", "-journal"})
        QFile::remove(carpeta + "/Evaluacion.mdb" + sufijo);
    QFile::remove(carpeta + "/SYSTEM.mdw");
}
} // namespace

ResumenEscala GenerarEscala(const QString& conexion, const TamanoEscala& t)
{
    const QDate hoy(2026, 12, 1);
    for (int e = 1; e <= t.empresas; ++e) {
        // Una transacción por empresa: las operaciones de dentro van en sus puntos de guardado,
        // como en el programa, pero el disco se sincroniza una vez por empresa.
        Transaccion transaccion(conexion);
        const long long idEmpresa = anadirFila(conexion, "Empresas",
                                               {{"Nombre", QString("Empresa %1, S.L.").arg(e)},
                                                {"CIF", QString("B%1").arg(10000000 + e)},
                                                {"Direccion", QString("Calle Mayor, %1").arg(e)},
                                                {"Poblacion", "Valencia"},
                                                {"CodPostal", "46001"},
                                                {"Provincia", "Valencia"},
                                                {"Persona", "María O'Donnell"},
                                                {"Cargo", "Técnico de prevención"},
                                                {"Formacion", "Nivel básico"},
                                                {"TotalTrabajadores", 25}});
        for (int c = 1; c <= t.centrosPorEmpresa; ++c) {
            const long long idCentro = anadirFila(conexion, "CentroTrabajo",
                                                  {{"IDEmpresa", idEmpresa},
                                                   {"NombreCentro", QString("Centro %1").arg(c)},
                                                   {"Direccion", QString("Polígono Industrial, nave %1").arg(c)},
                                                   {"Poblacion", "Paterna"},
                                                   {"CodPostal", "46980"},
                                                   {"Provincia", "Valencia"}});
            for (int p = 1; p <= t.puestosPorCentro; ++p) {
                NuevoPuesto puesto;
                puesto.idCentro = idCentro;
                puesto.idEmpresa = idEmpresa;
                puesto.puesto = QString("Puesto %1").arg(p);
                puesto.descripcion = "Trabajos propios del puesto";
                puesto.trabajadores = "3";
                puesto.sensibles = "Ninguno";
                const long long idPuesto = AnadirPuestoConFactores(conexion, puesto);
                const unsigned semilla = unsigned(e * 131 + c * 17 + p * 7);
                marcarFactores(conexion, idPuesto, idCentro, idEmpresa, t.filasPorPuesto, semilla);
                evaluarRiesgos(conexion, idPuesto, semilla);
                elegirMedidas(conexion, idPuesto);
            }
            if (t.lineasPlan > 0) {
                const long long idPlan = anadirFila(conexion, "ActuaciónPreventiva",
                                                    {{"IDCentro", idCentro},
                                                     {"Persona", "María O'Donnell"},
                                                     {"Cargo", "Técnico de prevención"},
                                                     {"Fecha", hoy}});
                for (int l = 1; l <= t.lineasPlan; ++l)
                    anadirFila(conexion, "ActuaciónPreventivaRegistro",
                               {{"IDActuacion", idPlan},
                                {"AccionPreventiva", QString("Actuación preventiva número %1").arg(l)},
                                {"FechaLimite", hoy.addDays(30 * l)},
                                {"ResponsableEjecucion", "Gerencia"},
                                {"PresupuestoAproximado", QString::number(100 * l)}});
            }
        }
        transaccion.confirmar();
    }
    return ContarEscala(conexion);
}

ResumenEscala ContarEscala(const QString& conexion)
{
    return resumir([&conexion](const QString& tabla) { return contar(conexion, tabla); });
}

ResumenEscala MultiplicarEscala(const QString& origen, const QString& destino, int veces)
{
    if (veces < 1)
        throw std::runtime_error("hay que repetir la base al menos una vez");
    if (QFile::exists(destino + "/Evaluacion.mdb"))
        throw std::runtime_error("ya hay una base en la carpeta de destino");
    for (const char* nombre : {"Evaluacion.mdb", "SYSTEM.mdw"})
        if (!QFile::copy(origen + "/" + nombre, destino + "/" + nombre)) {
            quitarBase(destino);
            throw std::runtime_error("no se puede copiar la base de origen");
        }
    try {
        ResumenEscala r;
        {
            BaseCruda bd(destino + "/Evaluacion.mdb");
            // Lo que hay en la copia es ya la primera repetición; las demás se leen del original.
            bd.valor("ATTACH :archivo AS origen", {{"archivo", origen + "/Evaluacion.mdb"}});
            // Fuera del diario en disco mientras se llena: si falla, la base se tira entera.
            bd.ejecutar("PRAGMA foreign_keys = ON; PRAGMA main.journal_mode = MEMORY; PRAGMA main.synchronous = OFF; "
                        "PRAGMA cache_size = -262144");
            QStringList claves;
            for (const auto& tabla : tablasUsuario)
                claves << tabla.second;
            QHash<QString, long long> desplazamiento;
            for (const auto& [tabla, clave] : tablasUsuario)
                // Los números ya dados y luego borrados tampoco se repiten.
                desplazamiento[clave] =
                    bd.valor("SELECT max(coalesce((SELECT seq FROM origen.sqlite_sequence WHERE name = :tabla), 0), "
                             "coalesce((SELECT max(\"" +
                                 clave.toUtf8() + "\") FROM origen.\"" + tabla.toUtf8() + "\"), 0))",
                             {{"tabla", tabla}});
            bd.ejecutar("BEGIN");
            for (int k = 1; k < veces; ++k) {
                QHash<QString, QVariant> parametros;
                for (auto d = desplazamiento.cbegin(); d != desplazamiento.cend(); ++d)
                    parametros[d.key()] = k * d.value();
                for (const auto& [tabla, clave] : tablasUsuario) {
                    const QStringList columnas = bd.columnas("origen", tabla);
                    QStringList nombres, expresiones;
                    for (const QString& c : columnas) {
                        nombres << "\"" + c + "\"";
                        expresiones << expresionCopia(tabla, c, claves);
                    }
                    // En orden de clave: cada tabla crece sólo por el final, como en el programa.
                    bd.valor(("INSERT INTO main.\"" + tabla + "\" (" + nombres.join(", ") + ") SELECT " +
                              expresiones.join(", ") + " FROM origen.\"" + tabla + "\" ORDER BY \"" + clave + "\"")
                                 .toUtf8(),
                             parametros);
                }
            }
            bd.ejecutar("COMMIT");
            bd.ejecutar("DETACH origen");
            bd.ejecutar("PRAGMA main.journal_mode = WAL");
            r = resumir(
                [&bd](const QString& tabla) { return bd.valor("SELECT count(*) FROM \"" + tabla.toUtf8() + "\""); });
        }
        // Al cerrarse la última conexión el diario WAL pasa al archivo: basta copiar Evaluacion.mdb.
        if (QFile::exists(destino + "/Evaluacion.mdb-wal"))
            throw std::runtime_error("la base repetida no ha quedado entera en su archivo");
        return r;
    } catch (...) {
        quitarBase(destino);
        throw;
    }
}

QString UsarCopiaEscala(const QString& origen, const QString& destino)
{
    // Una base de escala hecha con una revisión anterior del esquema se pone al día una vez, la
    // primera que se copia: si no, cada copia rehace la puesta al día con su copia de seguridad.
    static QStringList alDia;
    if (!alDia.contains(origen)) {
        Conexion::obtener(textoConexion(QDir::toNativeSeparators(origen)));
        Conexion::cerrarTodas();
        alDia.append(origen);
    }
    for (const char* nombre : {"Evaluacion.mdb", "SYSTEM.mdw"})
        if (!QFile::copy(origen + "/" + nombre, destino + "/" + nombre))
            throw std::runtime_error("no se puede copiar la base de escala");
    return textoConexion(QDir::toNativeSeparators(destino));
}
