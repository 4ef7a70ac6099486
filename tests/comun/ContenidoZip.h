#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// Lo que hay dentro de un zip, con la herramienta unzip ("-Z1" los nombres en su orden, "-p" un archivo).
inline QString ContenidoZip(const QStringList& argumentos)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), argumentos);
    if (!unzip.waitForFinished(30000) || unzip.exitCode() != 0)
        return QStringLiteral("(unzip ha fallado: %1)").arg(QString::fromLocal8Bit(unzip.readAllStandardError()));
    return QString::fromUtf8(unzip.readAllStandardOutput());
}
