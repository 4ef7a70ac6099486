#include "plataforma/InstanciaPrograma.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>

namespace {
// En la carpeta temporal, para no dejar nada en la del programa. Si no sirve (TMPDIR de una carpeta
// que ya no existe), Qt la da vacía y el bloqueo caería en la carpeta de trabajo de cada proceso:
// entonces va a la del programa, que es la misma para todos y en la que se escribe siempre.
QString carpetaBloqueos(const QString& programa)
{
    const QString temporal = QDir::tempPath();
    const QFileInfo info(temporal);
    if (!temporal.isEmpty() && info.isAbsolute() && info.isDir() && info.isWritable())
        return temporal;
    return programa;
}
} // namespace

QString rutaBloqueoInstancia(const QString& carpeta)
{
    // Se normaliza la carpeta para que "C:\Prog" y "C:/Prog/" den el mismo bloqueo.
    const QString absoluta = QDir::cleanPath(QDir::fromNativeSeparators(QFileInfo(carpeta).absoluteFilePath()));
    QString normalizada = absoluta;
#ifdef Q_OS_WIN
    normalizada = normalizada.toLower();
#endif
    const QByteArray resumen = QCryptographicHash::hash(normalizada.toUtf8(), QCryptographicHash::Sha1).toHex();
    return QDir(carpetaBloqueos(absoluta))
        .filePath(QStringLiteral("EvaluacionRiesgos-%1.lock").arg(QString::fromLatin1(resumen.left(16))));
}

QString rutaBloqueoReparacion(const QString& carpeta)
{
    return rutaBloqueoInstancia(carpeta) + QStringLiteral(".reparar");
}

bool repararEnCurso(const QString& carpeta)
{
    // El de instancia no dice de qué programa es; el de Reparar sólo lo toma Reparar.
    QLockFile reparacion(rutaBloqueoReparacion(carpeta));
    reparacion.setStaleLockTime(0);
    if (reparacion.tryLock(0)) {
        reparacion.unlock();
        return false;
    }
    return reparacion.error() == QLockFile::LockFailedError;
}

std::unique_ptr<QLockFile> TomarBloqueoInstancia(const QString& carpeta)
{
    auto bloqueo = std::make_unique<QLockFile>(rutaBloqueoInstancia(carpeta));
    // Sin caducidad por tiempo: una copia que lleva horas abierta sigue siendo la que manda.
    // Si la copia que lo tenía ya no existe, QLockFile lo da por abandonado y lo recupera.
    bloqueo->setStaleLockTime(0);
    if (!bloqueo->tryLock(0))
        return nullptr;
    return bloqueo;
}
