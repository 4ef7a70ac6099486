#include "plataforma/ClavesServidor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <QStandardPaths>

namespace {
QString escapar(QString campo)
{
    campo.replace('\\', QStringLiteral("\\\\"));
    campo.replace(':', QStringLiteral("\\:"));
    return campo;
}

// Los cuatro primeros campos de una línea, ya sin escapes; menos de cuatro si la línea no es de
// una conexión (un comentario, una línea vacía o cortada).
QStringList camposConexion(const QString& linea)
{
    QStringList campos;
    if (linea.startsWith('#'))
        return campos;
    QString campo;
    for (qsizetype i = 0; i < linea.size() && campos.size() < 4; ++i) {
        if (linea[i] == '\\' && i + 1 < linea.size())
            campo += linea[++i];
        else if (linea[i] == ':') {
            campos << campo;
            campo.clear();
        } else
            campo += linea[i];
    }
    return campos;
}

bool coincide(const QString& campo, const QString& valor)
{
    return campo == QLatin1String("*") || campo == valor;
}
} // namespace

QString ArchivoClaves()
{
    const QString elegido = qEnvironmentVariable("PGPASSFILE");
    if (!elegido.isEmpty())
        return elegido;
#ifdef Q_OS_WIN
    return QDir(qEnvironmentVariable("APPDATA")).filePath(QStringLiteral("postgresql/pgpass.conf"));
#else
    return QDir::home().filePath(QStringLiteral(".pgpass"));
#endif
}

QString LineaClave(const DatosServidor& datos, const QString& clave)
{
    return QStringList{escapar(datos.servidor), QString::number(datos.puerto), escapar(datos.base),
                       escapar(datos.usuario), escapar(clave)}
        .join(':');
}

QString GuardarClave(const DatosServidor& datos, const QString& clave)
{
    // Un salto de línea partiría la línea en dos que libpq leería como otras conexiones.
    for (const QString& campo : {datos.servidor, datos.base, datos.usuario, clave})
        if (campo.contains('\n') || campo.contains('\r') || campo.contains(QChar(0)))
            return QStringLiteral("La contraseña, el servidor, la base de datos y el usuario no pueden llevar saltos "
                                  "de línea.");
    const QString ruta = ArchivoClaves();
    const QString nativa = QDir::toNativeSeparators(ruta);
    QList<QByteArray> lineas;
    if (QFileInfo::exists(ruta)) {
        QFile actual(ruta);
        // Si no se puede leer, reescribirlo perdería las contraseñas de las demás conexiones.
        if (!actual.open(QIODevice::ReadOnly))
            return QStringLiteral("No se puede leer el archivo de contraseñas «%1»: %2")
                .arg(nativa, actual.errorString());
        const QByteArray contenido = actual.readAll();
        lineas = contenido.split('\n');
        if (contenido.endsWith('\n'))
            lineas.removeLast();
    }
    const QString puerto = QString::number(datos.puerto);
    const QStringList nuestra{datos.servidor, puerto, datos.base, datos.usuario};
    QList<QByteArray> nuevas;
    bool puesta = false;
    for (const QByteArray& linea : lineas) {
        QString texto = QString::fromUtf8(linea);
        if (texto.endsWith('\r'))
            texto.chop(1);
        const QStringList campos = camposConexion(texto);
        if (campos.size() == 4 && campos == nuestra) {
            if (!puesta)
                nuevas << LineaClave(datos, clave).toUtf8();
            puesta = true;
            continue;
        }
        if (!puesta && campos.size() == 4 && coincide(campos[0], datos.servidor) && coincide(campos[1], puerto) &&
            coincide(campos[2], datos.base) && coincide(campos[3], datos.usuario)) {
            nuevas << LineaClave(datos, clave).toUtf8();
            puesta = true;
        }
        nuevas << linea;
    }
    if (!puesta)
        nuevas << LineaClave(datos, clave).toUtf8();

    QDir().mkpath(QFileInfo(ruta).absolutePath());
    QSaveFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly))
        return QStringLiteral("No se puede escribir el archivo de contraseñas «%1»: %2")
            .arg(nativa, archivo.errorString());
    // libpq no hace caso de un archivo que puedan leer otros.
    archivo.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    for (const QByteArray& linea : nuevas)
        archivo.write(linea + '\n');
    if (!archivo.commit())
        return QStringLiteral("No se ha podido guardar el archivo de contraseñas «%1»: %2")
            .arg(nativa, archivo.errorString());
    return {};
}
