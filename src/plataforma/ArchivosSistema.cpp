#include "plataforma/ArchivosSistema.h"

#include <QFile>

std::filesystem::path RutaSistema(const QString& ruta)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(ruta.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(ruta).toStdString());
#endif
}

bool RenombrarArchivo(const QString& de, const QString& a)
{
    std::error_code error;
    std::filesystem::rename(RutaSistema(de), RutaSistema(a), error);
    return !error;
}
