#include "plataforma/CarpetaPrograma.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString gCarpetaFijada;
} // namespace

QString CarpetaPrograma()
{
    const QString carpeta = gCarpetaFijada.isEmpty() ? QCoreApplication::applicationDirPath() : gCarpetaFijada;
    QString nativa = QDir::toNativeSeparators(QDir::cleanPath(carpeta));
    while (nativa.size() > 1 && nativa.endsWith(QDir::separator()))
        nativa.chop(1);
    return nativa;
}

void FijarCarpetaPrograma(const QString& carpeta)
{
    gCarpetaFijada = carpeta;
}

QString RutaEnPrograma(const QString& relativa)
{
    return QDir::toNativeSeparators(QDir(QDir::fromNativeSeparators(CarpetaPrograma())).filePath(relativa));
}

QString rutaPrograma(const QString& carpeta, const QString& nombre)
{
#ifdef Q_OS_WIN
    const QString archivo = nombre + QStringLiteral(".exe");
#else
    const QString& archivo = nombre;
#endif
    return QDir::toNativeSeparators(QDir(QDir::fromNativeSeparators(carpeta)).filePath(archivo));
}
