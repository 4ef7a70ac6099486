#include "repair/Compactacion.h"

#include "plataforma/InstanciaPrograma.h"
#include "repair/CopiasBase.h"
#include "repair/Salvamento.h"
#include "store/Conexion.h"
#include "store/CopiaSeguridad.h"
#include "store/ErrorBD.h"
#include "store/MapaErrores.h"
#include "store/ProteccionDiario.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QLockFile>
#include <QObject>
#include <QSet>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <map>
#include <sqlite3.h>
#include <vector>

namespace {
using Estado = ResultadoCompactacion::Estado;
using copias::borrarConDiarios;

const QString nombreBase = QStringLiteral("Evaluacion.mdb");
const QString nombreCopia = QStringLiteral("Evaluacion2.mdb");

QString tr(const char* texto)
{
    return QObject::tr(texto);
}

QString tamano(qint64 bytes)
{
    return QLocale(QLocale::Spanish, QLocale::Spain).formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
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
    const QString mal = revisarIntegridad(bd.bd());
    if (!mal.isEmpty())
        return tr("integridad: %1").arg(mal);
    std::map<QString, qint64> cuentas;
    if (contarFilas(bd.bd(), cuentas) != SQLITE_OK)
        return tr("no se pueden contar sus filas");
    if (const QString diferencia = compararRecuentos(cuentas, original); !diferencia.isEmpty())
        return diferencia;
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

// Si la integridad no se puede comprobar por el propio daño, también es daño. SQLite da SQLITE_FULL
// al leer un número de página que no cabe en un archivo: leyendo no se llena ningún disco.
bool danado(sqlite3* bd)
{
    QStringList filas;
    const int rc = leerTextos(bd, "PRAGMA integrity_check", filas);
    const int primario = rc & 0xff;
    if (rc != SQLITE_OK)
        return primario == SQLITE_CORRUPT || primario == SQLITE_NOTADB || primario == SQLITE_FULL ||
               rc == SQLITE_IOERR_SHORT_READ;
    return filas != QStringList{QStringLiteral("ok")};
}

struct Objeto
{
    QString tipo, nombre, sql;
};

// Tablas, índices, vistas y disparadores con su sentencia, en el orden en que se crearon.
int leerObjetos(sqlite3* bd, std::vector<Objeto>& objetos)
{
    sqlite3_stmt* st = nullptr;
    int rc =
        sqlite3_prepare_v2(bd,
                           "SELECT type, name, sql FROM sqlite_master WHERE sql IS NOT NULL AND substr(name, 1, 7) <> "
                           "'sqlite_' ORDER BY rowid",
                           -1, &st, nullptr);
    const auto texto = [&st](int i) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
    };
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            objetos.push_back({texto(0), texto(1), texto(2)});
        if (rc == SQLITE_DONE)
            rc = SQLITE_OK;
    }
    sqlite3_finalize(st);
    return rc;
}

QString nombreDeTipo(const QString& tipo)
{
    if (tipo == QLatin1String("table"))
        return tr("la tabla");
    if (tipo == QLatin1String("index"))
        return tr("el índice");
    if (tipo == QLatin1String("view"))
        return tr("la vista");
    return tr("el disparador");
}

// Una tabla borrada a mano deja una base de datos a la que le falta un trozo: se vuelve a crear
// (vacía) con el esquema del programa, con lo que dependa de ella. Deja en "hechos" lo que se ha
// creado y en "tablas" las tablas; devuelve el fallo, o vacío.
QString restaurarEsquema(const QString& copia, QStringList& hechos, QStringList& tablas)
{
    std::vector<Objeto> esquema;
    {
        QTemporaryDir temporal;
        if (!temporal.isValid())
            return tr("no se puede crear el esquema de referencia en la carpeta temporal");
        try {
            const auto referencia = Conexion::crear(temporal.filePath(QStringLiteral("Esquema.mdb")));
            if (leerObjetos(referencia->sqlite(), esquema) != SQLITE_OK)
                return tr("no se puede leer el esquema de referencia");
        } catch (const ErrorBD& e) {
            // Sin sitio para el esquema de referencia es el disco: a la base de datos no le falta nada.
            if (e.numero() == NumeroError::DiscoLleno)
                throw;
            return e.descripcion();
        }
    }
    Archivo bd(copia);
    std::vector<Objeto> presentes;
    if (bd.abierta() != SQLITE_OK || leerObjetos(bd.bd(), presentes) != SQLITE_OK)
        return tr("no se puede leer el esquema de la copia");
    QSet<QString> nombres;
    for (const Objeto& o : presentes)
        nombres.insert(o.nombre.toLower()); // SQLite no distingue mayúsculas en los nombres
    QString sql;
    for (const Objeto& o : esquema) {
        if (nombres.contains(o.nombre.toLower()))
            continue;
        sql += o.sql + QStringLiteral(";\n");
        hechos << nombreDeTipo(o.tipo) + QLatin1Char(' ') + o.nombre;
        if (o.tipo == QLatin1String("table"))
            tablas << o.nombre;
    }
    if (sql.isEmpty())
        return {};
    const QByteArray utf8 = (QStringLiteral("BEGIN;\n") + sql + QStringLiteral("COMMIT;")).toUtf8();
    char* error = nullptr;
    if (sqlite3_exec(bd.bd(), utf8.constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString motivo = QString::fromUtf8(error);
        sqlite3_free(error);
        return motivo;
    }
    return {};
}

class Compactador
{
public:
    Compactador(const QString& carpeta, const GanchosCompactacion& ganchos, ResultadoCompactacion& r)
        : dir_(carpeta), ganchos_(ganchos), r_(r)
    {
        renombrar_ = ganchos.renombrar ? ganchos.renombrar : copias::Renombrar(RenombrarArchivo);
    }

    void ejecutar()
    {
        Conexion::cerrarTodas();
        // Mientras dura, el programa principal no puede arrancar con el archivo a medio cambiar.
        QLockFile instancia(rutaBloqueoInstancia(dir_.path()));
        instancia.setStaleLockTime(0);
        if (!instancia.tryLock(0)) {
            if (repararEnCurso(dir_.path()))
                return sinTocar(Estado::EnUso, tr("Otra ventana de Reparar está compactando esta misma base de datos. "
                                                  "Espere a que diga «Finalizado....» y, si aún lo necesita, vuelva "
                                                  "a pulsar «Compactar/Reparar»."));
            return sinTocar(Estado::EnUso, tr("El programa Evaluación de Riesgos está abierto y usa la base de "
                                              "datos. Ciérrelo y vuelva a pulsar «Compactar/Reparar»."));
        }
        // Para que quien encuentre tomado el de instancia sepa que es Reparar. Se espera un poco por
        // si otro programa lo está probando justo ahora.
        QLockFile reparacion(rutaBloqueoReparacion(dir_.path()));
        reparacion.setStaleLockTime(0);
        reparacion.tryLock(500);
        if (QFileInfo(base()).isDir())
            return sinTocar(Estado::SinBaseDatos,
                            tr("En la carpeta del programa hay una carpeta llamada Evaluacion.mdb donde debería "
                               "estar el archivo de la base de datos. Cámbiele el nombre a esa carpeta o sáquela de "
                               "ahí y ponga en su lugar el archivo Evaluacion.mdb.") +
                                pistaCopia());
        if (!QFileInfo::exists(base()))
            return sinTocar(Estado::SinBaseDatos,
                            tr("No se encuentra la base de datos Evaluacion.mdb en la carpeta del programa.") +
                                pistaCopia());
        if (!carpetaEscribible())
            return sinTocar(Estado::Fallo,
                            tr("La carpeta del programa «%1» es de sólo lectura: no se puede crear en ella la copia "
                               "compactada. Dé permiso de escritura en la carpeta (o copie la carpeta del programa "
                               "a un lugar donde pueda escribir) y vuelva a pulsar «Compactar/Reparar».")
                                .arg(QDir::toNativeSeparators(dir_.path())));
        if (QFileInfo(copia()).isDir())
            return sinTocar(Estado::Fallo, tr("En la carpeta del programa hay una carpeta llamada Evaluacion2.mdb, y "
                                              "Reparar necesita ese nombre para la copia compactada. Cámbiele el "
                                              "nombre a esa carpeta o sáquela de ahí y vuelva a pulsar "
                                              "«Compactar/Reparar»."));
        if (!borrarConDiarios(copia()))
            return sinTocar(Estado::Fallo, tr("No se puede borrar Evaluacion2.mdb, que dejó a medias una compactación "
                                              "anterior. Compruebe que no está abierto y que tiene permiso de "
                                              "escritura en la carpeta del programa."));
        // Un diario que no es del archivo no se aplica a ciegas: antes, la copia de los dos.
        const ResultadoDiario diario = ProtegerDiario(base());
        if (diario.estado == ResultadoDiario::Estado::SinCopia)
            return sinTocar(Estado::Fallo, diario.mensaje);
        TomarAvisosDiario(); // se dice aquí, en la línea de estado
        if (abrirConElAlmacen())
            compactar();
        if (danada_)
            salvar();
        if (!diario.mensaje.isEmpty())
            r_.mensaje += QLatin1Char(' ') + diario.mensaje;
    }

private:
    QString base() const { return dir_.filePath(nombreBase); }
    QString copia() const { return dir_.filePath(nombreCopia); }

    QString pistaCopia() const
    {
        const QString anterior = copias::masReciente(dir_);
        if (anterior.isEmpty())
            return {};
        return tr(" Puede recuperar la copia %1 cambiándole el nombre a Evaluacion.mdb.").arg(anterior);
    }

    // Se prueba de verdad: los permisos que dice el sistema no cuentan todo (unidades de red,
    // discos montados de sólo lectura).
    bool carpetaEscribible() const
    {
        QTemporaryFile prueba(dir_.filePath(QStringLiteral("Reparar-XXXXXX.tmp")));
        return prueba.open();
    }

    qint64 espacioLibre() const
    {
        if (ganchos_.espacioLibre)
            return ganchos_.espacioLibre(dir_.path());
        QStorageInfo disco(dir_.path());
        return disco.isValid() ? disco.bytesAvailable() : -1;
    }

    QString nombreCopiaGuardada(bool danada) const
    {
        const QDateTime cuando = ganchos_.ahora ? ganchos_.ahora() : QDateTime::currentDateTime();
        return copias::nombreLibre(dir_, cuando, danada);
    }

    void sinTocar(Estado estado, const QString& motivo)
    {
        r_.estado = estado;
        r_.mensaje = tr("No se ha compactado. ") + motivo + tr(" La base de datos no se ha tocado.");
    }

    void discoLleno()
    {
        const qint64 libre = espacioLibre();
        sinTocar(Estado::DiscoLleno, tr("No queda espacio en el disco para la copia compactada") +
                                         (libre >= 0 ? tr(" (quedan %1 libres y la base de datos ocupa %2)")
                                                           .arg(tamano(libre), tamano(QFileInfo(base()).size()))
                                                     : QString()) +
                                         tr(". Libere espacio y vuelva a pulsar «Compactar/Reparar»."));
    }

    // Con SQLITE_FULL: si el original está dañado, es el daño (y se salva); si no, el disco.
    bool pararPorLleno(sqlite3* origen)
    {
        if (danado(origen))
            danada_ = true;
        else
            discoLleno();
        return false;
    }

    void fallo(const ErrorBD& e)
    {
        if (e.numero() == NumeroError::BaseOcupada)
            return sinTocar(Estado::EnUso, tr("Otro programa tiene abierta la base de datos. Ciérrelo y vuelva a "
                                              "pulsar «Compactar/Reparar»."));
        if (e.numero() == NumeroError::DiscoLleno) {
            Archivo origen(base());
            if (origen.abierta() == SQLITE_OK)
                pararPorLleno(origen.bd());
            else
                discoLleno();
            return;
        }
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
        if ((rc & 0xff) == SQLITE_FULL)
            return pararPorLleno(bd.bd());
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
            rc = contarFilas(origen.bd(), cuentas);
        if (rc != SQLITE_OK)
            return pararPor(origen, rc);
        // La copia nunca ocupa más que el original: si no cabe, ni se empieza.
        const qint64 libre = espacioLibre();
        if (libre >= 0 && libre < QFileInfo(base()).size()) {
            discoLleno();
            return false;
        }

        // El motor de siempre recibía aquí el texto regional del archivo nuevo. SQLite guarda
        // el texto en UTF-8 y no tiene nada equivalente: se acepta tal cual, sin efecto.
        rc = ganchos_.copiar ? ganchos_.copiar(origen.bd(), copia()) : copiarCompactada(origen.bd(), copia());
        if (rc != SQLITE_OK) {
            borrarConDiarios(copia());
            return pararPor(origen, rc);
        }
        QStringList hechos;
        QString sinEsquema;
        try {
            sinEsquema = restaurarEsquema(copia(), hechos, r_.restauradas);
        } catch (const ErrorBD& e) {
            borrarConDiarios(copia());
            fallo(e);
            return false;
        }
        if (!sinEsquema.isEmpty()) {
            borrarConDiarios(copia());
            sinTocar(Estado::Fallo,
                     tr("A la base de datos le faltan partes y no se han podido volver a crear: %1.").arg(sinEsquema));
            return false;
        }
        for (const QString& t : r_.restauradas)
            cuentas[t] = 0;
        int codigo = SQLITE_OK;
        const QString mal = comprobarCopia(copia(), cuentas, ganchos_, codigo);
        if (!mal.isEmpty()) {
            borrarConDiarios(copia());
            if ((codigo & 0xff) == SQLITE_FULL)
                return pararPorLleno(origen.bd());
            // Una copia que sale mal de un original dañado es el daño del original.
            if (danado(origen.bd())) {
                danada_ = true;
                return false;
            }
            sinTocar(Estado::ComprobacionFallida,
                     tr("La copia compactada no ha pasado la comprobación (%1) y se ha borrado.").arg(mal));
            return false;
        }
        origen.cerrar();
        const QString guardada = dir_.filePath(nombreCopiaGuardada(false));
        QString porQue;
        if (!copias::ponerEnSuSitio(dir_, copia(), guardada, renombrar_, porQue)) {
            borrarConDiarios(copia());
            sinTocar(Estado::Fallo, tr("No se ha podido poner la copia compactada en su sitio: %1.").arg(porQue));
            return false;
        }
        r_.copia = QFileInfo(guardada).fileName();
        copias::podar(dir_, r_.copia);
        r_.estado = Estado::Compactada;
        r_.mensaje = tr("Finalizado....");
        if (!hechos.isEmpty()) {
            const QString ultimo = hechos.takeLast();
            const QString lista = hechos.isEmpty() ? ultimo : hechos.join(QStringLiteral(", ")) + tr(" y ") + ultimo;
            r_.mensaje += tr(" Faltaban en la base de datos %1: se han vuelto a crear con el esquema del programa. "
                             "Las tablas están vacías; si tenían datos, búsquelos en una copia de antes de que se "
                             "perdieran.")
                              .arg(lista);
        }
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
            // La salvada nunca ocupa más que el original; si cabe, el «disco lleno» es del daño.
            const qint64 libre = espacioLibre();
            if (e.numero() == NumeroError::DiscoLleno && libre >= 0 && libre < QFileInfo(base()).size())
                return sinTocar(Estado::DiscoLleno, tr("La base de datos está dañada y no queda espacio en el disco "
                                                       "para rehacerla (quedan %1 libres). Libere espacio y vuelva a "
                                                       "pulsar «Compactar/Reparar».")
                                                        .arg(tamano(libre)));
            return sinTocar(Estado::Fallo,
                            tr("La base de datos está dañada y no se ha podido rehacer: %1").arg(e.descripcion()));
        }
        {
            Archivo nueva(copia());
            const QString mal = nueva.abierta() == SQLITE_OK ? revisarIntegridad(nueva.bd()) : tr("no se puede abrir");
            if (!mal.isEmpty()) {
                nueva.cerrar();
                borrarConDiarios(copia());
                return sinTocar(
                    Estado::ComprobacionFallida,
                    tr("La base de datos está dañada y la rehecha no ha pasado la comprobación (%1).").arg(mal));
            }
        }
        // La dañada se guarda aparte y no se borra nunca: puede tener lo que la rehecha ha perdido.
        const QString guardada = dir_.filePath(nombreCopiaGuardada(true));
        QString porQue;
        if (!copias::ponerEnSuSitio(dir_, copia(), guardada, renombrar_, porQue)) {
            borrarConDiarios(copia());
            return sinTocar(
                Estado::Fallo,
                tr("La base de datos está dañada y no se ha podido poner la rehecha en su sitio: %1.").arg(porQue));
        }
        r_.copia = QFileInfo(guardada).fileName();
        copias::podar(dir_, r_.copia);
        r_.estado = Estado::Salvada;
        r_.filasSalvadas = s.salvadas;
        r_.filasPerdidas = s.perdidas;
        r_.perdidasExactas = s.perdidasExactas;
        r_.mensaje = tr("Finalizado.... La base de datos estaba dañada y se ha rehecho: %1 El archivo dañado queda "
                        "como %2.")
                         .arg(DescribirSalvamento(s), r_.copia);
    }

    QDir dir_;
    const GanchosCompactacion& ganchos_;
    ResultadoCompactacion& r_;
    copias::Renombrar renombrar_;
    bool danada_ = false;
};
} // namespace

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
