#include "store/ProteccionDiario.h"

#include "plataforma/ArchivosSistema.h"
#include "plataforma/InstanciaPrograma.h"
#include "store/SentenciaPreparada.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QObject>
#include <QSet>
#include <QUrl>
#include <functional>
#include <map>
#include <sqlite3.h>

namespace {
using Estado = ResultadoDiario::Estado;

const char* const sufijosDiario[] = {"-wal", "-journal"};

QSet<QString>& yaMirados()
{
    static QSet<QString> mirados;
    return mirados;
}

QStringList& avisosPendientes()
{
    static QStringList avisos;
    return avisos;
}

QString nativo(const QString& ruta)
{
    return QDir::toNativeSeparators(ruta);
}

// Un -wal con algo dentro siempre se aplica. Un -journal sólo si está "caliente": con su cabecera
// (tras una confirmación en modo PERSIST queda con la cabecera a cero y no se aplica).
bool diarioPendiente(const QString& archivo, const char* sufijo)
{
    QFile f(archivo + sufijo);
    if (!f.exists() || f.size() == 0)
        return false;
    if (qstrcmp(sufijo, "-wal") == 0)
        return true;
    if (!f.open(QIODevice::ReadOnly))
        return true;
    static const QByteArray magia("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8);
    return f.read(8) == magia;
}

// La carpeta la tiene otra copia del programa en marcha: su diario es el de su sesión, viva.
bool enUsoPorOtroProceso(const QString& carpeta)
{
    QLockFile bloqueo(rutaBloqueoInstancia(carpeta));
    if (bloqueo.tryLock(0)) {
        bloqueo.unlock();
        return false;
    }
    qint64 pid = 0;
    QString equipo, programa;
    if (!bloqueo.getLockInfo(&pid, &equipo, &programa))
        return false;
    return pid != QCoreApplication::applicationPid();
}

struct Recuento
{
    bool leido = false; // se ha podido abrir y contar todo
    bool sano = false;  // y además pasa quick_check
    std::map<QString, qint64> filas;
};

// Filas de cada tabla del archivo. Con "inmutable" SQLite no mira ni aplica ningún diario: es el
// archivo tal como está en el disco.
Recuento contar(const QString& archivo, bool inmutable)
{
    Recuento r;
    sqlite3* bd = nullptr;
    int rc;
    if (inmutable) {
        const QByteArray uri = QUrl::fromLocalFile(archivo).toEncoded() + "?immutable=1";
        rc = sqlite3_open_v2(uri.constData(), &bd, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    } else {
        rc = sqlite3_open_v2(QFile::encodeName(archivo).constData(), &bd, SQLITE_OPEN_READWRITE, nullptr);
    }
    if (rc != SQLITE_OK) {
        sqlite3_close(bd);
        return r;
    }
    sqlite3_busy_timeout(bd, 2000);
    const auto leer = [&](const QByteArray& sql, const std::function<void(sqlite3_stmt*)>& fila) {
        int rc = SQLITE_OK;
        const SentenciaPreparada st = SentenciaPreparada::suelta(bd, sql, rc);
        if (rc != SQLITE_OK)
            return false;
        int paso;
        while ((paso = sqlite3_step(st.get())) == SQLITE_ROW)
            fila(st.get());
        return paso == SQLITE_DONE;
    };
    QStringList tablas;
    bool bien = leer("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'",
                     [&](sqlite3_stmt* st) {
                         tablas << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
                     });
    for (const QString& t : tablas) {
        QString nombre = t;
        nombre.replace('"', "\"\"");
        bien = leer("SELECT count(*) FROM \"" + nombre.toUtf8() + "\"",
                    [&](sqlite3_stmt* st) { r.filas[t] = sqlite3_column_int64(st, 0); }) &&
               bien;
    }
    r.leido = bien && !tablas.isEmpty();
    QString comprobacion;
    if (r.leido)
        leer("PRAGMA quick_check(1)", [&](sqlite3_stmt* st) {
            comprobacion = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        });
    r.sano = r.leido && comprobacion == QLatin1String("ok");
    // Al cerrar la única conexión el diario pasa al archivo y se borra.
    sqlite3_close(bd);
    return r;
}

// Lo que se pierde al aplicar el diario, dicho para el usuario; vacío si no se pierde nada.
QString perdidas(const Recuento& sin, const Recuento& con)
{
    QStringList tablasPerdidas, filasPerdidas;
    for (const auto& [tabla, filas] : sin.filas) {
        const auto it = con.filas.find(tabla);
        if (it == con.filas.end())
            tablasPerdidas << tabla;
        else if (it->second < filas)
            filasPerdidas << QObject::tr("%1: quedaban %2 de %3").arg(tabla).arg(it->second).arg(filas);
    }
    QStringList partes;
    if (!tablasPerdidas.isEmpty())
        partes << QObject::tr("desaparecían las tablas %1").arg(tablasPerdidas.join(QStringLiteral(", ")));
    if (!filasPerdidas.isEmpty())
        partes << QObject::tr("se perdían filas (%1)").arg(filasPerdidas.join(QStringLiteral("; ")));
    return partes.join(QObject::tr(" y "));
}

QString carpetaNueva(const QString& junto, const QDateTime& ahora)
{
    const QString base =
        QDir(junto).filePath(QStringLiteral("Recuperacion/") + ahora.toString(QStringLiteral("yyyy-MM-dd hh.mm.ss")));
    QString carpeta = base;
    for (int n = 2; QFileInfo::exists(carpeta); ++n)
        carpeta = base + QStringLiteral(" (%1)").arg(n);
    return QDir().mkpath(carpeta) ? carpeta : QString();
}

bool copiar(const QString& de, const QString& a)
{
    return QFile::copy(de, a) && QFileInfo(a).size() == QFileInfo(de).size();
}

// Vuelve a poner como archivo la copia guardada sin su diario. Se escribe con otro nombre y se
// cambia de una vez: la carpeta nunca se queda sin la base de datos.
bool reponer(const QString& copia, const QString& archivo)
{
    const QString temporal = archivo + QStringLiteral(".reponiendo");
    QFile::remove(temporal);
    if (!copiar(copia, temporal)) {
        QFile::remove(temporal);
        return false;
    }
    for (const char* sufijo : sufijosDiario)
        QFile::remove(archivo + sufijo);
    QFile::remove(archivo + "-shm");
    if (!RenombrarArchivo(temporal, archivo)) {
        QFile::remove(temporal);
        return false;
    }
    return true;
}

ResultadoDiario proteger(const QString& archivo, const QDateTime& ahora)
{
    ResultadoDiario r;
    QStringList diarios;
    for (const char* sufijo : sufijosDiario)
        if (diarioPendiente(archivo, sufijo))
            diarios << QString::fromLatin1(sufijo);
    const QFileInfo info(archivo);
    if (diarios.isEmpty() || !info.isFile())
        return r;
    if (enUsoPorOtroProceso(info.absolutePath())) {
        r.estado = Estado::EnUso;
        return r;
    }

    // Primero la copia del archivo con su diario, tal como están.
    const QString carpeta = carpetaNueva(info.absolutePath(), ahora);
    const QString copia = carpeta.isEmpty() ? QString() : QDir(carpeta).filePath(info.fileName());
    bool copiado = !carpeta.isEmpty() && copiar(archivo, copia);
    for (const QString& sufijo : diarios)
        copiado = copiado && copiar(archivo + sufijo, copia + sufijo);
    if (!copiado) {
        if (!carpeta.isEmpty())
            QDir(carpeta).removeRecursively();
        r.estado = Estado::SinCopia;
        r.mensaje = QObject::tr("Junto a la base de datos «%1» hay un diario de cambios pendiente («%2») y no se ha "
                                "podido guardar antes una copia de los dos en la carpeta «%3». No se ha tocado nada. "
                                "Libere espacio en el disco o compruebe los permisos de la carpeta del programa y "
                                "vuelva a abrirlo.")
                        .arg(nativo(archivo), info.fileName() + diarios.first(),
                             nativo(QDir(info.absolutePath()).filePath(QStringLiteral("Recuperacion"))));
        return r;
    }
    r.carpetaCopia = carpeta;

    // Lo que hay sin el diario (la copia, que SQLite lee sin mirar su diario) y lo que queda al
    // aplicarlo (el archivo, abierto como siempre).
    const Recuento sin = contar(copia, true);
    const Recuento con = contar(archivo, false);
    const QString perdido = sin.leido ? perdidas(sin, con) : QString();
    if (con.sano && perdido.isEmpty()) {
        r.estado = Estado::Aplicado;
        return r;
    }
    const QString diario = info.fileName() + diarios.first();
    if (!sin.sano) {
        // Sin el diario tampoco está entero: no hay nada mejor que reponer.
        r.estado = Estado::Danada;
        r.mensaje = QObject::tr("La base de datos «%1» tenía un diario de cambios pendiente («%2») y no se puede leer "
                                "entera ni con él ni sin él. Antes de tocarla se ha guardado una copia de los dos, "
                                "tal como estaban, en la carpeta «%3». Use la utilidad de reparación.")
                        .arg(nativo(archivo), diario, nativo(carpeta));
        return r;
    }
    if (!reponer(copia, archivo)) {
        r.estado = Estado::Danada;
        r.mensaje = QObject::tr("Al aplicar el diario de cambios pendiente («%1») a la base de datos «%2» %3, y no se "
                                "ha podido volver a dejarla como estaba. La base de datos y su diario, tal como "
                                "estaban, están en la carpeta «%4»: cierre el programa y copie de allí "
                                "«%5» en la carpeta del programa.")
                        .arg(diario, nativo(archivo), perdido.isEmpty() ? QObject::tr("quedaba dañada") : perdido,
                             nativo(carpeta), info.fileName());
        return r;
    }
    r.estado = Estado::Apartado;
    r.mensaje =
        QObject::tr("Junto a la base de datos «%1» había un diario de cambios pendiente («%2») que no le "
                    "corresponde o está dañado: al aplicarlo %3. Puede ser el de otra base de datos (una "
                    "copia restaurada junto a un diario que quedó de antes, un archivo traído de otro equipo). "
                    "Para no perder nada, la base de datos sigue como estaba y el diario se ha apartado.\n\n"
                    "La base de datos y su diario, tal como estaban, están guardados en la carpeta «%4».")
            .arg(nativo(archivo), diario, perdido.isEmpty() ? QObject::tr("quedaba dañada") : perdido, nativo(carpeta));
    return r;
}
} // namespace

ResultadoDiario ProtegerDiario(const QString& archivo, const QDateTime& ahora)
{
    const QString clave = QDir::cleanPath(QFileInfo(archivo).absoluteFilePath());
    // Sin archivo no hay nada que mirar aún; la primera vez que exista, sí.
    if (yaMirados().contains(clave) || !QFileInfo(clave).isFile())
        return {};
    yaMirados().insert(clave);
    ResultadoDiario r = proteger(clave, ahora);
    if (r.estado == Estado::SinCopia)
        yaMirados().remove(clave); // no se ha hecho nada: la próxima vez se vuelve a intentar
    if (!r.mensaje.isEmpty())
        avisosPendientes() << r.mensaje;
    return r;
}

QStringList TomarAvisosDiario()
{
    QStringList avisos;
    avisos.swap(avisosPendientes());
    return avisos;
}
