#include "Compactacion.h"

#include "Conexion.h"
#include "ErrorBD.h"
#include "InstanciaPrograma.h"
#include "MapaErrores.h"
#include "Salvamento.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QObject>
#include <filesystem>
#include <map>
#include <sqlite3.h>

namespace {
using Estado = ResultadoCompactacion::Estado;
using Renombrar = std::function<bool(const QString&, const QString&)>;

const QString nombreBase = QStringLiteral("Evaluacion.mdb");
const QString nombreCopia = QStringLiteral("Evaluacion2.mdb");
const QString nombreRespaldo = QStringLiteral("Evaluacion.bak");
// La copia anterior se aparta en vez de borrarla al principio, para poder dejarla como estaba
// si falla un cambio de nombre.
const QString nombreApartado = QStringLiteral("Evaluacion.bak.vieja");
// Al rehacer un archivo dañado, la copia anterior puede tener lo que el dañado ha perdido.
const QString nombreAnterior = QStringLiteral("EvaluacionAnterior.bak");
// Un diario que se separa de su archivo lo estropea: va siempre con él.
const char* const diarios[] = {"-wal", "-journal"};

QString tr(const char* texto)
{
    return QObject::tr(texto);
}

std::filesystem::path rutaNativa(const QString& ruta)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(ruta.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(ruta).toStdString());
#endif
}

bool borrarConDiarios(const QString& archivo)
{
    bool bien = !QFileInfo::exists(archivo) || QFile::remove(archivo);
    for (const char* d : diarios)
        bien = (!QFileInfo::exists(archivo + d) || QFile::remove(archivo + d)) && bien;
    QFile::remove(archivo + "-shm"); // memoria compartida del diario: se rehace sola
    return bien;
}

// Cambia de nombre el archivo y sus diarios; si algo falla, deja todo como estaba.
bool moverConDiarios(const QString& de, const QString& a, const Renombrar& renombrar)
{
    if (!renombrar(de, a))
        return false;
    QStringList movidos;
    for (const char* d : diarios) {
        if (!QFileInfo::exists(de + d))
            continue;
        if (!renombrar(de + d, a + d)) {
            for (const QString& m : movidos)
                renombrar(a + m, de + m);
            renombrar(a, de);
            return false;
        }
        movidos << QString::fromLatin1(d);
    }
    QFile::remove(de + "-shm");
    return true;
}

// Pone "nueva" como Evaluacion.mdb y la actual como Evaluacion.bak. Siempre que se puede, la
// actual pasa a ser también Evaluacion.bak (enlace duro) y la nueva la sustituye de un solo golpe:
// la carpeta no se queda ni un momento sin Evaluacion.mdb, aunque el proceso muera ahí. Donde el
// sistema de archivos no tiene enlaces (o la actual tiene diarios que deben ir con ella) se hace
// con dos cambios de nombre seguidos. Si un paso falla, se deshacen los anteriores.
bool rotar(const QDir& dir, const QString& nueva, const QString& apartado, bool conservarApartado,
           const Renombrar& renombrar, QString& fallo)
{
    const QString base = dir.filePath(nombreBase);
    const QString respaldo = dir.filePath(nombreRespaldo);
    const QString aparte = dir.filePath(apartado);
    const auto nativo = [](const QString& r) { return QDir::toNativeSeparators(r); };
    if (!borrarConDiarios(aparte)) {
        fallo = tr("no se puede borrar «%1»").arg(nativo(aparte));
        return false;
    }
    const bool habiaRespaldo = QFileInfo::exists(respaldo);
    if (!habiaRespaldo)
        borrarConDiarios(respaldo); // diarios sueltos de una copia que ya no está
    else if (!moverConDiarios(respaldo, aparte, renombrar)) {
        fallo = tr("no se puede apartar la copia anterior «%1»").arg(nativo(respaldo));
        return false;
    }
    const auto devolverRespaldo = [&] {
        if (habiaRespaldo)
            moverConDiarios(aparte, respaldo, renombrar);
    };
    bool sinDiarios = true;
    for (const char* d : diarios)
        sinDiarios = sinDiarios && !QFileInfo::exists(base + d);
    std::error_code error;
    if (sinDiarios)
        std::filesystem::create_hard_link(rutaNativa(base), rutaNativa(respaldo), error);
    if (sinDiarios && !error) {
        if (!renombrar(nueva, base)) {
            QFile::remove(respaldo);
            devolverRespaldo();
            fallo = tr("no se puede cambiar el nombre de «%1» a %2").arg(nativo(nueva), nombreBase);
            return false;
        }
        QFile::remove(base + "-shm"); // de la anterior: la nueva hace la suya
    } else {
        if (!moverConDiarios(base, respaldo, renombrar)) {
            devolverRespaldo();
            fallo = tr("no se puede cambiar el nombre de «%1» a %2").arg(nativo(base), nombreRespaldo);
            return false;
        }
        if (!renombrar(nueva, base)) {
            moverConDiarios(respaldo, base, renombrar);
            devolverRespaldo();
            fallo = tr("no se puede cambiar el nombre de «%1» a %2").arg(nativo(nueva), nombreBase);
            return false;
        }
    }
    if (!conservarApartado)
        borrarConDiarios(aparte); // si no se puede, se borra en la próxima pasada
    return true;
}

// Base de datos SQLite abierta a mano, cerrada al salir del ámbito.
class Archivo
{
public:
    explicit Archivo(const QString& ruta) : ruta_(ruta)
    {
        const QByteArray nombre = QDir::toNativeSeparators(ruta).toUtf8();
        rc_ = sqlite3_open_v2(nombre.constData(), &bd_, SQLITE_OPEN_READWRITE, nullptr);
        if (bd_)
            sqlite3_extended_result_codes(bd_, 1);
    }
    ~Archivo() { cerrar(); }
    Archivo(const Archivo&) = delete;
    Archivo& operator=(const Archivo&) = delete;

    void cerrar()
    {
        sqlite3_close_v2(bd_);
        bd_ = nullptr;
    }
    sqlite3* bd() const { return bd_; }
    int abierta() const { return rc_; }
    int ejecutar(const char* sql) { return sqlite3_exec(bd_, sql, nullptr, nullptr, nullptr); }
    ErrorBD error(int rc) const { return errorDeSqlite(bd_, rc, ruta_, {}); }

private:
    QString ruta_;
    sqlite3* bd_ = nullptr;
    int rc_ = SQLITE_OK;
};

// Filas de una consulta de una sola columna de texto.
int leerTextos(sqlite3* bd, const QString& sql, QStringList& filas)
{
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(bd, sql.toUtf8().constData(), -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            filas << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        if (rc == SQLITE_DONE)
            rc = SQLITE_OK;
    }
    sqlite3_finalize(st);
    return rc;
}

// Filas de cada tabla, contadas en la propia tabla: un índice estropeado no debe engañar.
int recuentos(sqlite3* bd, std::map<QString, qint64>& cuentas)
{
    QStringList tablas;
    int rc = leerTextos(bd, "SELECT name FROM sqlite_master WHERE type = 'table'", tablas);
    for (const QString& t : tablas) {
        if (rc != SQLITE_OK)
            break;
        QStringList n;
        rc = leerTextos(bd, "SELECT count(*) FROM \"" + QString(t).replace('"', "\"\"") + "\" NOT INDEXED", n);
        cuentas[t] = n.value(0).toLongLong();
    }
    return rc;
}

// Vacío si el archivo está sano; si no, lo primero que encuentra mal.
QString integridad(sqlite3* bd)
{
    QStringList filas;
    const int rc = leerTextos(bd, "PRAGMA integrity_check", filas);
    if (rc != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errstr(rc));
    if (filas == QStringList{QStringLiteral("ok")})
        return {};
    return filas.value(0);
}

int copiarCompactada(sqlite3* origen, const QString& destino)
{
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(origen, "VACUUM INTO ?", -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        const QByteArray nombre = QDir::toNativeSeparators(destino).toUtf8();
        sqlite3_bind_text(st, 1, nombre.constData(), int(nombre.size()), SQLITE_TRANSIENT);
        rc = sqlite3_step(st);
        if (rc == SQLITE_DONE)
            rc = SQLITE_OK;
    }
    sqlite3_finalize(st);
    return rc;
}

// Vacío si la copia es sana y tiene las mismas tablas con las mismas filas que el original. Si lo
// que falla es SQLite, deja su código en "codigo" (un disco lleno se avisa como tal).
QString comprobarCopia(const QString& copia, const std::map<QString, qint64>& original,
                       const GanchosCompactacion& ganchos, int& codigo)
{
    codigo = SQLITE_OK;
    Archivo bd(copia);
    if (bd.abierta() != SQLITE_OK)
        return tr("no se puede abrir");
    if (ganchos.antesDeComprobar)
        ganchos.antesDeComprobar(bd.bd());
    const QString mal = integridad(bd.bd());
    if (!mal.isEmpty())
        return tr("integridad: %1").arg(mal);
    std::map<QString, qint64> cuentas;
    if (recuentos(bd.bd(), cuentas) != SQLITE_OK)
        return tr("no se pueden contar sus filas");
    for (const auto& [tabla, filas] : original) {
        const auto it = cuentas.find(tabla);
        if (it == cuentas.end())
            return tr("le falta la tabla %1").arg(tabla);
        if (it->second != filas)
            return tr("la tabla %1 tiene %2 filas y en el original hay %3").arg(tabla).arg(it->second).arg(filas);
    }
    if (cuentas.size() != original.size())
        return tr("tiene tablas que el original no tiene");
    // El programa trabaja siempre con diario adelantado; VACUUM INTO deja el de siempre.
    QStringList modo;
    codigo = leerTextos(bd.bd(), "PRAGMA journal_mode = WAL", modo);
    if (codigo != SQLITE_OK || modo.value(0) != "wal")
        return tr("no se puede preparar su diario");
    bd.cerrar();
    if (QFileInfo::exists(copia + "-wal"))
        return tr("su diario no se ha cerrado");
    return {};
}

class Compactador
{
public:
    Compactador(const QString& carpeta, const GanchosCompactacion& ganchos, ResultadoCompactacion& r)
        : dir_(carpeta), ganchos_(ganchos), r_(r)
    {
        renombrar_ = ganchos.renombrar ? ganchos.renombrar : Renombrar(RenombrarArchivo);
    }

    void ejecutar()
    {
        Conexion::cerrarTodas();
        // Mientras dura, el programa principal no puede arrancar con el archivo a medio cambiar.
        QLockFile instancia(rutaBloqueoInstancia(dir_.path()));
        instancia.setStaleLockTime(0);
        if (!instancia.tryLock(0))
            return sinTocar(Estado::EnUso, tr("El programa Evaluación de Riesgos está abierto y usa la base de "
                                              "datos. Ciérrelo y vuelva a pulsar «Compactar/Reparar»."));
        if (!QFileInfo::exists(base()))
            return sinTocar(Estado::SinBaseDatos,
                            tr("No se encuentra la base de datos Evaluacion.mdb en la carpeta del programa.") +
                                (QFileInfo::exists(dir_.filePath(nombreRespaldo))
                                     ? tr(" Puede recuperar la copia Evaluacion.bak cambiándole el nombre.")
                                     : QString()));
        if (!borrarConDiarios(copia()))
            return sinTocar(Estado::Fallo, tr("No se puede borrar Evaluacion2.mdb, que dejó a medias una compactación "
                                              "anterior. Compruebe que no está abierto y que tiene permiso de "
                                              "escritura en la carpeta del programa."));
        if (abrirConElAlmacen())
            compactar();
        if (danada_)
            salvar();
    }

private:
    QString base() const { return dir_.filePath(nombreBase); }
    QString copia() const { return dir_.filePath(nombreCopia); }

    void sinTocar(Estado estado, const QString& motivo)
    {
        r_.estado = estado;
        r_.mensaje = tr("No se ha compactado. ") + motivo + tr(" La base de datos no se ha tocado.");
    }

    void fallo(const ErrorBD& e)
    {
        if (e.numero() == NumeroError::BaseOcupada)
            return sinTocar(Estado::EnUso, tr("Otro programa tiene abierta la base de datos. Ciérrelo y vuelva a "
                                              "pulsar «Compactar/Reparar»."));
        if (e.numero() == NumeroError::DiscoLleno)
            return sinTocar(Estado::DiscoLleno, tr("No queda espacio en el disco para la copia. Libere espacio y "
                                                   "vuelva a pulsar «Compactar/Reparar»."));
        sinTocar(Estado::Fallo, e.descripcion());
    }

    // Es el almacén quien dice si el archivo está dañado, con la misma regla que el programa.
    // Devuelve false si no se puede seguir (y deja el motivo en el resultado).
    bool abrirConElAlmacen()
    {
        try {
            Conexion::obtener(textoConexion(QDir::toNativeSeparators(dir_.path())));
        } catch (const ErrorBD& e) {
            Conexion::cerrarTodas();
            if (e.numero() != NumeroError::BaseDanada) {
                fallo(e);
                return false;
            }
            danada_ = true;
            return false;
        }
        Conexion::cerrarTodas();
        return true;
    }

    // Tras un fallo de SQLite: si es daño, se pasa a salvar; si no, se para con su motivo.
    bool pararPor(const Archivo& bd, int rc)
    {
        if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) {
            sinTocar(Estado::EnUso, tr("Otro programa tiene abierta la base de datos. Ciérrelo y vuelva a pulsar "
                                       "«Compactar/Reparar»."));
            return false;
        }
        const ErrorBD e = bd.error(rc);
        if (e.numero() == NumeroError::BaseDanada)
            danada_ = true;
        else
            fallo(e);
        return false;
    }

    // Devuelve false si no se ha compactado (por daño, con danada_ puesto, o con el motivo).
    bool compactar()
    {
        Archivo origen(base());
        if (origen.abierta() != SQLITE_OK)
            return pararPor(origen, origen.abierta());
        // SQLite lo abre de sólo lectura si no puede escribir en él: entonces no puede tomarlo en
        // exclusiva ni vaciar su diario, y la copia podría quedarse sin lo último.
        if (sqlite3_db_readonly(origen.bd(), "main") == 1) {
            sinTocar(Estado::Fallo, tr("La base de datos Evaluacion.mdb es de sólo lectura. Quite el atributo de "
                                       "sólo lectura del archivo (o copie la carpeta del programa a un lugar donde "
                                       "pueda escribir) y vuelva a pulsar «Compactar/Reparar»."));
            return false;
        }
        // En exclusiva de aquí al final: si otra conexión lo tiene abierto, escribiría en un
        // archivo que luego ya no es el de la carpeta.
        sqlite3_busy_timeout(origen.bd(), 0);
        int rc = origen.ejecutar("PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT;");
        if (rc == SQLITE_OK)
            rc = origen.ejecutar("PRAGMA wal_checkpoint(TRUNCATE)");
        std::map<QString, qint64> cuentas;
        if (rc == SQLITE_OK)
            rc = recuentos(origen.bd(), cuentas);
        if (rc != SQLITE_OK)
            return pararPor(origen, rc);

        // El motor de siempre recibía aquí el texto regional del archivo nuevo. SQLite guarda
        // el texto en UTF-8 y no tiene nada equivalente: se acepta tal cual, sin efecto.
        rc = ganchos_.copiar ? ganchos_.copiar(origen.bd(), copia()) : copiarCompactada(origen.bd(), copia());
        if (rc != SQLITE_OK) {
            borrarConDiarios(copia());
            if ((rc & 0xff) == SQLITE_FULL) {
                sinTocar(Estado::DiscoLleno, tr("No queda espacio en el disco para la copia compactada. Libere "
                                                "espacio y vuelva a pulsar «Compactar/Reparar»."));
                return false;
            }
            return pararPor(origen, rc);
        }
        int codigo = SQLITE_OK;
        const QString mal = comprobarCopia(copia(), cuentas, ganchos_, codigo);
        if (!mal.isEmpty()) {
            borrarConDiarios(copia());
            if ((codigo & 0xff) == SQLITE_FULL) {
                sinTocar(Estado::DiscoLleno, tr("No queda espacio en el disco para la copia compactada. Libere "
                                                "espacio y vuelva a pulsar «Compactar/Reparar»."));
                return false;
            }
            sinTocar(Estado::ComprobacionFallida,
                     tr("La copia compactada no ha pasado la comprobación (%1) y se ha borrado.").arg(mal));
            return false;
        }
        origen.cerrar();
        QString porQue;
        if (!rotar(dir_, copia(), nombreApartado, false, renombrar_, porQue)) {
            borrarConDiarios(copia());
            sinTocar(Estado::Fallo, tr("No se ha podido poner la copia compactada en su sitio: %1.").arg(porQue));
            return false;
        }
        r_.estado = Estado::Compactada;
        r_.mensaje = tr("Finalizado....");
        return true;
    }

    void salvar()
    {
        Conexion::cerrarTodas();
        ResultadoSalvamento s;
        try {
            s = SalvarFilas(base(), copia(), dir_.filePath(NombreCatalogoEntregado));
        } catch (const ErrorBD& e) {
            borrarConDiarios(copia());
            if (e.numero() == NumeroError::DiscoLleno)
                return sinTocar(Estado::DiscoLleno, tr("La base de datos está dañada y no queda espacio en el disco "
                                                       "para rehacerla. Libere espacio y vuelva a pulsar "
                                                       "«Compactar/Reparar»."));
            return sinTocar(Estado::Fallo,
                            tr("La base de datos está dañada y no se ha podido rehacer: %1").arg(e.descripcion()));
        }
        {
            Archivo nueva(copia());
            const QString mal = nueva.abierta() == SQLITE_OK ? integridad(nueva.bd()) : tr("no se puede abrir");
            if (!mal.isEmpty()) {
                nueva.cerrar();
                borrarConDiarios(copia());
                return sinTocar(
                    Estado::ComprobacionFallida,
                    tr("La base de datos está dañada y la rehecha no ha pasado la comprobación (%1).").arg(mal));
            }
        }
        const bool habiaRespaldo = QFileInfo::exists(dir_.filePath(nombreRespaldo));
        QString porQue;
        if (!rotar(dir_, copia(), nombreAnterior, true, renombrar_, porQue)) {
            borrarConDiarios(copia());
            return sinTocar(
                Estado::Fallo,
                tr("La base de datos está dañada y no se ha podido poner la rehecha en su sitio: %1.").arg(porQue));
        }
        r_.estado = Estado::Salvada;
        r_.filasSalvadas = s.salvadas;
        r_.filasPerdidas = s.perdidas;
        r_.perdidasExactas = s.perdidasExactas;
        r_.mensaje = tr("Finalizado.... La base de datos estaba dañada y se ha rehecho: %1 El archivo dañado queda "
                        "como Evaluacion.bak.")
                         .arg(DescribirSalvamento(s));
        if (habiaRespaldo)
            r_.mensaje += tr(" La copia que había antes queda como %1.").arg(nombreAnterior);
    }

    QDir dir_;
    const GanchosCompactacion& ganchos_;
    ResultadoCompactacion& r_;
    Renombrar renombrar_;
    bool danada_ = false;
};
} // namespace

bool RenombrarArchivo(const QString& de, const QString& a)
{
    // Sustituye al destino si existe, de una vez (rename de POSIX, MoveFileEx en Windows).
    std::error_code error;
    std::filesystem::rename(rutaNativa(de), rutaNativa(a), error);
    return !error;
}

ResultadoCompactacion CompactarBaseDatos(const QString& carpeta, const QString& configuracionRegional,
                                         const GanchosCompactacion& ganchos)
{
    ResultadoCompactacion r;
    r.configuracionRegional = configuracionRegional;
    try {
        Compactador(carpeta, ganchos, r).ejecutar();
    } catch (const ErrorBD& e) {
        r.estado = Estado::Fallo;
        r.mensaje = QObject::tr("No se ha compactado: %1").arg(e.descripcion());
    } catch (const std::exception& e) {
        r.estado = Estado::Fallo;
        r.mensaje = QObject::tr("No se ha compactado: %1").arg(QString::fromLocal8Bit(e.what()));
    }
    return r;
}
