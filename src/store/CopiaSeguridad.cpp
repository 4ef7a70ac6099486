#include "store/CopiaSeguridad.h"

#include "plataforma/ArchivosSistema.h"
#include "store/ErrorBD.h"
#include "store/Esquema.h"
#include "store/MapaErrores.h"
#include "store/SentenciaPreparada.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QSaveFile>
#include <QStringList>
#include <exception>
#include <sqlite3.h>

namespace {
using Estado = ExamenBase::Estado;

const QString NombreBase = QStringLiteral("Evaluacion.mdb");
// Páginas por paso de la copia: unos pocos megas entre aviso y aviso de avance.
constexpr int PaginasPorPaso = 256;
// Un diario separado de su archivo lo estropea, y uno ajeno al lado de otro archivo también.
const char* const Diarios[] = {"-wal", "-journal", "-shm"};

QString tr(const char* texto)
{
    return QObject::tr(texto);
}

QString nativo(const QString& ruta)
{
    return QDir::toNativeSeparators(ruta);
}

// Base de datos SQLite abierta aparte del almacén, cerrada al salir del ámbito.
class Base
{
public:
    Base(const QString& ruta, bool nueva) : ruta_(ruta)
    {
        const QByteArray nombre = QFile::encodeName(ruta);
        if (nueva) {
            rc_ = sqlite3_open_v2(nombre.constData(), &bd_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        } else {
            // Sólo se lee, pero con diario adelantado hace falta escribir su memoria compartida; de
            // sólo lectura cuando no se puede (un disco protegido).
            rc_ = sqlite3_open_v2(nombre.constData(), &bd_, SQLITE_OPEN_READWRITE, nullptr);
            if (rc_ != SQLITE_OK) {
                sqlite3_close_v2(bd_);
                bd_ = nullptr;
                rc_ = sqlite3_open_v2(nombre.constData(), &bd_, SQLITE_OPEN_READONLY, nullptr);
            }
        }
        if (bd_) {
            sqlite3_extended_result_codes(bd_, 1);
            sqlite3_busy_timeout(bd_, 5000);
        }
    }
    ~Base() { sqlite3_close_v2(bd_); }
    Base(const Base&) = delete;
    Base& operator=(const Base&) = delete;

    sqlite3* bd() const { return bd_; }
    int abierta() const { return rc_; }
    int ejecutar(const char* sql) { return sqlite3_exec(bd_, sql, nullptr, nullptr, nullptr); }
    QString error(int rc) const { return errorDeSqlite(bd_, rc, ruta_, {}).descripcion(); }
    // Con diario adelantado, leer también escribe a su lado: sin permiso en la carpeta no se puede.
    QString errorAlLeer(int rc) const
    {
        if ((rc & 0xff) != SQLITE_READONLY && (rc & 0xff) != SQLITE_CANTOPEN)
            return error(rc);
        return tr("No se puede leer la base de datos «%1» sin permiso de escritura en su carpeta. Haga la copia con "
                  "el mismo usuario que usa el programa.")
            .arg(nativo(ruta_));
    }

private:
    QString ruta_;
    sqlite3* bd_ = nullptr;
    int rc_ = SQLITE_OK;
};

int leerTextos(sqlite3* bd, const QString& sql, QStringList& filas)
{
    int rc = SQLITE_OK;
    const SentenciaPreparada st = SentenciaPreparada::suelta(bd, sql.toUtf8(), rc);
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(st.get())) == SQLITE_ROW)
            filas << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)));
        if (rc == SQLITE_DONE)
            rc = SQLITE_OK;
    }
    return rc;
}

bool borrarDiarios(const QString& archivo)
{
    bool bien = true;
    for (const char* d : Diarios)
        bien = (!QFileInfo::exists(archivo + d) || QFile::remove(archivo + d)) && bien;
    return bien;
}

bool borrarConDiarios(const QString& archivo)
{
    const bool bien = !QFileInfo::exists(archivo) || QFile::remove(archivo);
    return borrarDiarios(archivo) && bien;
}

bool mismoArchivo(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

// Primer nombre "raiz.mdb", "raiz 2.mdb"... que no existe en la carpeta.
QString rutaLibre(const QString& carpeta, const QString& raiz)
{
    const QDir dir(carpeta);
    QString ruta = dir.filePath(raiz + QStringLiteral(".mdb"));
    for (int n = 2; QFileInfo::exists(ruta); ++n)
        ruta = dir.filePath(QStringLiteral("%1 %2.mdb").arg(raiz).arg(n));
    return ruta;
}

// Copia byte a byte, escrita con otro nombre y llevada al disco antes de tomar el suyo.
QString copiarTalCual(const QString& de, const QString& a)
{
    QFile origen(de);
    QSaveFile destino(a);
    if (!origen.open(QIODevice::ReadOnly))
        return tr("no se puede leer «%1»").arg(nativo(de));
    if (!destino.open(QIODevice::WriteOnly))
        return tr("no se puede escribir «%1»").arg(nativo(a));
    while (!origen.atEnd()) {
        const QByteArray trozo = origen.read(1 << 20);
        if (trozo.isEmpty() || destino.write(trozo) != trozo.size()) {
            destino.cancelWriting();
            return tr("no se ha podido copiar «%1» en «%2» (¿queda espacio en el disco?)").arg(nativo(de), nativo(a));
        }
    }
    if (!destino.commit())
        return tr("no se ha podido terminar «%1» (¿queda espacio en el disco?)").arg(nativo(a));
    return {};
}

// Copia comprobada de origen en "temporal"; en "visible" el nombre que se da en los avisos.
bool copiarEn(const QString& origen, const QString& temporal, const QString& visible, const AvanceCopia& avance,
              ResultadoCopia& r)
{
    const auto falla = [&](const QString& motivo) {
        borrarConDiarios(temporal);
        r.estado = ResultadoCopia::Estado::Fallida;
        r.mensaje = motivo;
        return false;
    };
    if (!borrarConDiarios(temporal))
        return falla(tr("No se puede borrar «%1», que dejó a medias una copia anterior. Compruebe que puede "
                        "escribir en la carpeta.")
                         .arg(nativo(temporal)));
    // Los textos del almacén hablan de la base del programa; sin permiso, aquí es la carpeta de la copia.
    const auto deLaCopia = [&](sqlite3* bd, int rc) {
        const int primario = rc & 0xff;
        if (primario == SQLITE_CANTOPEN || primario == SQLITE_PERM || primario == SQLITE_READONLY)
            return tr("No se puede escribir la copia «%1». Compruebe que tiene permiso de escritura en la carpeta "
                      "«%2».")
                .arg(nativo(visible), nativo(QFileInfo(visible).absolutePath()));
        return errorDeSqlite(bd, rc, visible, {}).descripcion();
    };
    RecuentoTablas cuentas;
    {
        Base fuente(origen, false);
        if (fuente.abierta() != SQLITE_OK)
            return falla(fuente.errorAlLeer(fuente.abierta()));
        // Una sola lectura de principio a fin: los recuentos y las páginas copiadas son la misma
        // foto de la base de datos, aunque el programa siga escribiendo en ella.
        int rc = fuente.ejecutar("BEGIN");
        if (rc == SQLITE_OK)
            rc = contarFilas(fuente.bd(), cuentas);
        if (rc != SQLITE_OK)
            return falla(fuente.errorAlLeer(rc));
        Base copia(temporal, true);
        if (copia.abierta() != SQLITE_OK)
            return falla(deLaCopia(copia.bd(), copia.abierta()));
        sqlite3_backup* b = sqlite3_backup_init(copia.bd(), "main", fuente.bd(), "main");
        if (!b)
            return falla(deLaCopia(copia.bd(), sqlite3_errcode(copia.bd())));
        bool cancelada = false;
        int esperas = 0;
        for (;;) {
            rc = sqlite3_backup_step(b, PaginasPorPaso);
            if ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && ++esperas < 250) {
                sqlite3_sleep(20);
                continue;
            }
            if (rc != SQLITE_OK && rc != SQLITE_DONE)
                break;
            const int total = sqlite3_backup_pagecount(b);
            if (avance && !avance(total - sqlite3_backup_remaining(b), total)) {
                cancelada = true;
                break;
            }
            if (rc == SQLITE_DONE)
                break;
        }
        sqlite3_backup_finish(b);
        if (cancelada) {
            falla({});
            r.estado = ResultadoCopia::Estado::Cancelada;
            return false;
        }
        if (rc != SQLITE_DONE) {
            // El daño es del origen; lo demás (disco lleno, permisos), de la copia.
            const bool delOrigen = (rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB;
            return falla(delOrigen ? errorDeSqlite(copia.bd(), rc, origen, {}).descripcion()
                                   : deLaCopia(copia.bd(), rc));
        }
    }
    bool cancelada = false;
    const QString mal = comprobarCopia(temporal, cuentas, avance, &cancelada);
    if (cancelada) {
        falla({});
        r.estado = ResultadoCopia::Estado::Cancelada;
        return false;
    }
    if (!mal.isEmpty())
        return falla(tr("La copia no ha pasado la comprobación (%1) y se ha borrado. Si se repite, la base de datos "
                        "puede estar dañada: pase Reparar.")
                         .arg(mal));
    borrarDiarios(temporal);
    r.tablas = int(cuentas.size());
    r.filas = 0;
    for (const auto& [tabla, filas] : cuentas)
        r.filas += filas;
    return true;
}

// Vacío si nadie más tiene abierta la base de datos; entonces queda sin diario pendiente.
QString liberar(const QString& base)
{
    Base bd(base, false);
    if (bd.abierta() != SQLITE_OK)
        return {}; // no se puede abrir: nadie la está usando como base de datos
    sqlite3_busy_timeout(bd.bd(), 0);
    int rc = bd.ejecutar("PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT;");
    if (rc == SQLITE_OK)
        rc = bd.ejecutar("PRAGMA wal_checkpoint(TRUNCATE)");
    if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED)
        return tr("Otro programa tiene abierta la base de datos «%1» (por ejemplo, Reparar u otra copia de este "
                  "programa). Ciérrelo y vuelva a intentarlo.")
            .arg(nativo(base));
    return {}; // una base dañada se sustituye igual: para eso se restaura
}
} // namespace

int contarFilas(sqlite3* bd, RecuentoTablas& cuentas)
{
    QStringList tablas;
    int rc = leerTextos(bd, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"), tablas);
    for (const QString& t : tablas) {
        if (rc != SQLITE_OK)
            break;
        QStringList n;
        rc = leerTextos(bd, "SELECT count(*) FROM \"" + QString(t).replace('"', "\"\"") + "\" NOT INDEXED", n);
        cuentas[t] = n.value(0).toLongLong();
    }
    return rc;
}

QString compararRecuentos(const RecuentoTablas& cuentas, const RecuentoTablas& original)
{
    for (const auto& [tabla, filas] : original) {
        const auto it = cuentas.find(tabla);
        if (it == cuentas.end())
            return tr("le falta la tabla %1").arg(tabla);
        if (it->second != filas)
            return tr("la tabla %1 tiene %2 filas y en el original hay %3").arg(tabla).arg(it->second).arg(filas);
    }
    if (cuentas.size() != original.size())
        return tr("tiene tablas que el original no tiene");
    return {};
}

QString revisarIntegridad(sqlite3* bd)
{
    QStringList filas;
    const int rc = leerTextos(bd, QStringLiteral("PRAGMA integrity_check"), filas);
    if (rc != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errstr(rc));
    return filas == QStringList{QStringLiteral("ok")} ? QString() : filas.value(0);
}

ExamenBase examinarBase(const QString& archivo, bool conIntegridad)
{
    ExamenBase e;
    const QString n = nativo(archivo);
    const auto con = [&](Estado estado, const QString& motivo) {
        e.estado = estado;
        e.motivo = motivo;
        return e;
    };
    const QFileInfo info(archivo);
    if (!info.exists())
        return con(Estado::NoSeAbre, tr("No se encuentra el archivo «%1».").arg(n));
    if (info.isDir())
        return con(Estado::NoSeAbre, tr("«%1» es una carpeta, no un archivo.").arg(n));
    if (info.size() == 0)
        return con(Estado::Danada, tr("El archivo «%1» está vacío: no es una copia de la base de datos.").arg(n));
    Base bd(archivo, false);
    if (bd.abierta() != SQLITE_OK)
        return con(Estado::NoSeAbre, bd.errorAlLeer(bd.abierta()));
    QStringList version, tablas;
    int rc = leerTextos(bd.bd(), QStringLiteral("PRAGMA user_version"), version);
    if (rc == SQLITE_OK)
        rc = leerTextos(bd.bd(), QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"), tablas);
    if (rc != SQLITE_OK) {
        const int primario = rc & 0xff;
        if (primario == SQLITE_NOTADB)
            return con(Estado::Danada, tr("El archivo «%1» no es una base de datos o está dañado.").arg(n));
        if (primario == SQLITE_CORRUPT || rc == SQLITE_IOERR_SHORT_READ)
            return con(Estado::Danada, tr("El archivo «%1» está dañado.").arg(n));
        return con(Estado::NoSeAbre, bd.errorAlLeer(rc));
    }
    e.revision = version.value(0).toInt();
    if (e.revision <= 0)
        return con(Estado::Ajena, tablas.isEmpty()
                                      ? tr("El archivo «%1» no contiene ninguna tabla: no es una copia de la base de "
                                           "datos del programa.")
                                            .arg(n)
                                      : tr("El archivo «%1» es una base de datos, pero no de este programa.").arg(n));
    if (e.revision > RevisionEsquema)
        return con(Estado::MasNueva, tr("El archivo «%1» es de una versión más nueva del programa (revisión %2). "
                                        "Instale esa versión para usarlo.")
                                         .arg(n)
                                         .arg(e.revision));
    QStringList faltan;
    for (const QString& t : tablasEsquema(e.revision))
        if (!tablas.contains(t))
            faltan << t;
    if (!faltan.isEmpty())
        return con(Estado::Ajena, tr("El archivo «%1» no es una base de datos de este programa: le faltan las tablas "
                                     "%2.")
                                      .arg(n, faltan.join(QStringLiteral(", "))));
    if (conIntegridad) {
        const QString mal = revisarIntegridad(bd.bd());
        if (!mal.isEmpty())
            return con(Estado::Danada, tr("El archivo «%1» está dañado (%2).").arg(n, mal));
    }
    e.estado = e.revision < RevisionEsquema ? Estado::Anterior : Estado::DelPrograma;
    return e;
}

QString comprobarCopia(const QString& copia, const RecuentoTablas& original, const AvanceCopia& avance, bool* cancelada)
{
    Base bd(copia, false);
    if (bd.abierta() != SQLITE_OK)
        return tr("no se puede abrir");
    // La comprobación de una base grande tarda: entre paso y paso se avisa y se puede parar.
    const auto parada = [&] {
        const bool parar = avance && !avance(0, 0);
        if (cancelada)
            *cancelada = parar;
        return parar;
    };
    if (parada())
        return tr("cancelada");
    const QString mal = revisarIntegridad(bd.bd());
    if (parada())
        return tr("cancelada");
    if (!mal.isEmpty())
        return tr("integridad: %1").arg(mal);
    RecuentoTablas cuentas;
    const int rc = contarFilas(bd.bd(), cuentas);
    if (parada())
        return tr("cancelada");
    if (rc != SQLITE_OK)
        return tr("no se pueden contar sus filas");
    if (const QString diferencia = compararRecuentos(cuentas, original); !diferencia.isEmpty())
        return diferencia;
    return {};
}

ResultadoCopia copiarBase(const QString& origen, const QString& destino, const AvanceCopia& avance)
{
    ResultadoCopia r;
    const auto falla = [&](const QString& motivo) {
        r.mensaje = motivo;
        return r;
    };
    try {
        const QFileInfo info(destino);
        if (!QFileInfo(origen).isFile())
            return falla(tr("No se encuentra la base de datos «%1».").arg(nativo(origen)));
        if (info.isDir())
            return falla(
                tr("«%1» es una carpeta: escriba también el nombre del archivo de la copia.").arg(nativo(destino)));
        if (!info.absoluteDir().exists())
            return falla(tr("No existe la carpeta «%1». Créela o compruebe que el disco está conectado.")
                             .arg(nativo(info.absolutePath())));
        if (mismoArchivo(origen, destino))
            return falla(
                tr("La copia no puede ir encima de la propia base de datos. Elija otro nombre u otra carpeta."));
        const QString temporal = destino + QStringLiteral(".parcial");
        if (!copiarEn(origen, temporal, destino, avance, r))
            return r;
        // Los diarios de un archivo anterior con ese nombre se aplicarían a la copia nueva.
        if (!borrarDiarios(destino) || !RenombrarArchivo(temporal, destino)) {
            borrarConDiarios(temporal);
            return falla(tr("No se puede guardar la copia con el nombre «%1». Compruebe que ese archivo no está "
                            "abierto y que puede escribir en la carpeta.")
                             .arg(nativo(destino)));
        }
        r.estado = ResultadoCopia::Estado::Hecha;
        r.archivo = destino;
    } catch (const std::exception& e) {
        r.estado = ResultadoCopia::Estado::Fallida;
        r.mensaje = QString::fromLocal8Bit(e.what());
    }
    return r;
}

QString carpetaCopias(const QString& carpetaPrograma)
{
    return QDir(carpetaPrograma).filePath(QStringLiteral("Copias"));
}

QString rutaCopiaLibre(const QString& carpeta, const QDateTime& ahora)
{
    const QString delDia = QDir(carpeta).filePath(ahora.toString(QStringLiteral("'Evaluacion 'yyyy-MM-dd'.mdb'")));
    if (!QFileInfo::exists(delDia))
        return delDia;
    return rutaLibre(carpeta, ahora.toString(QStringLiteral("'Evaluacion 'yyyy-MM-dd hh.mm.ss")));
}

ResultadoRestauracion restaurarBase(const QString& origen, const QString& carpetaPrograma, const QDateTime& ahora,
                                    const AvanceCopia& avance)
{
    ResultadoRestauracion r;
    const auto no = [&](const QString& motivo) {
        r.mensaje = motivo + tr(" La base de datos no se ha tocado.");
        return r;
    };
    try {
        const QDir dir(carpetaPrograma);
        const QString base = dir.filePath(NombreBase);
        if (mismoArchivo(origen, base))
            return no(tr("Ha elegido la propia base de datos del programa, no una copia."));
        // La integridad la mira la comprobación de la copia que se pone en su sitio.
        const ExamenBase examen = examinarBase(origen, false);
        if (!examen.sirve())
            return no(examen.motivo);
        const QString temporal = dir.filePath(NombreBase + QStringLiteral(".restaurando"));
        ResultadoCopia copia;
        if (!copiarEn(origen, temporal, base, avance, copia)) {
            r.cancelada = copia.estado == ResultadoCopia::Estado::Cancelada;
            return no(copia.mensaje);
        }
        if (QFileInfo::exists(base)) {
            if (const QString ocupada = liberar(base); !ocupada.isEmpty()) {
                borrarConDiarios(temporal);
                return no(ocupada);
            }
            const QString copias = carpetaCopias(carpetaPrograma);
            const QString anterior = rutaLibre(
                copias, ahora.toString(QStringLiteral("'Evaluacion antes de restaurar 'yyyy-MM-dd hh.mm.ss")));
            QString mal = QDir().mkpath(copias) ? copiarTalCual(base, anterior)
                                                : tr("no se puede crear la carpeta «%1»").arg(nativo(copias));
            // Un diario que se quedó sin pasar (base dañada) va con su archivo.
            for (const char* d : {"-wal", "-journal"})
                if (mal.isEmpty() && QFileInfo::exists(base + d))
                    mal = copiarTalCual(base + d, anterior + d);
            if (!mal.isEmpty()) {
                borrarConDiarios(anterior);
                borrarConDiarios(temporal);
                return no(tr("No se ha podido guardar antes la base de datos actual: %1.").arg(mal));
            }
            r.anterior = anterior;
        }
        // Los diarios que quedan son de la base que sale: aplicados a la que entra, la estropearían.
        if (!borrarDiarios(base) || !RenombrarArchivo(temporal, base)) {
            borrarConDiarios(temporal);
            r.mensaje = tr("No se ha podido poner la copia en el lugar de %1. Compruebe que puede escribir en la "
                           "carpeta del programa.")
                            .arg(NombreBase);
            if (!r.anterior.isEmpty())
                r.mensaje += tr(" La base de datos que había está guardada en «%1».").arg(nativo(r.anterior));
            return r;
        }
        r.hecha = true;
    } catch (const std::exception& e) {
        r.mensaje = QString::fromLocal8Bit(e.what());
    }
    return r;
}
