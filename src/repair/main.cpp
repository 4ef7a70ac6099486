#include "Reparar.h"
#include "ServiciosReparar.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char* argv[])
{
    QApplication aplicacion(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Reparar"));
    // Botones de los avisos en castellano.
    QTranslator traductor;
    if (traductor.load(QStringLiteral("qtbase_es"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&traductor);

    ServiciosRepararReales servicios;
    Reparar ventana(servicios, QCoreApplication::applicationDirPath());
    ventana.show();
    return aplicacion.exec();
}
