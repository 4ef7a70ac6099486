#include "store/CuentaSistema.h"

#include "store/ErrorBD.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QSaveFile>

namespace {
const QByteArray formato = "EvaluacionRiesgos grupo de trabajo 1";

QByteArray huella(const QString& usuario, const QString& clave)
{
    return QCryptographicHash::hash((usuario + ':' + clave).toUtf8(), QCryptographicHash::Sha256).toHex();
}
} // namespace

bool escribirCuenta(const QString& archivo, const QString& usuario, const QString& clave)
{
    QSaveFile f(archivo);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(formato + "\n" + usuario.toUtf8() + ":" + huella(usuario, clave) + "\n");
    return f.commit();
}

void comprobarCuenta(const QString& archivo, const QString& usuario, const QString& clave)
{
    const QString nativo = QDir::toNativeSeparators(archivo);
    QFile f(archivo);
    if (archivo.isEmpty() || !f.open(QIODevice::ReadOnly))
        throw ErrorBD(NumeroError::SistemaNoEncontrado,
                      QObject::tr("No se encuentra el archivo de información del grupo de trabajo «%1». Copie "
                                  "SYSTEM.mdw en la carpeta del programa, junto a Evaluacion.mdb, o vuelva a "
                                  "instalar el programa.")
                          .arg(nativo));
    const QList<QByteArray> lineas = f.read(64 * 1024).split('\n');
    if (lineas.isEmpty() || lineas.first().trimmed() != formato)
        throw ErrorBD(NumeroError::SistemaNoEncontrado,
                      QObject::tr("El archivo de información del grupo de trabajo «%1» está dañado o no es de este "
                                  "programa. Sustitúyalo por el SYSTEM.mdw que acompaña al programa.")
                          .arg(nativo));
    const QByteArray buscada = usuario.toUtf8() + ":" + huella(usuario, clave);
    for (const QByteArray& linea : lineas)
        if (linea.trimmed() == buscada)
            return;
    throw ErrorBD(NumeroError::CuentaNoValida,
                  QObject::tr("La cuenta «%1» no es válida en el archivo de grupo de trabajo «%2» (usuario o "
                              "contraseña incorrectos). Use el SYSTEM.mdw que acompaña a esta base de datos.")
                      .arg(usuario, nativo));
}
