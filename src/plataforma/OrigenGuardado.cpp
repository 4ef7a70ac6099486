#include "plataforma/OrigenGuardado.h"

#include "plataforma/CarpetaPrograma.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {
QString rutaAjustes()
{
    return RutaEnPrograma(QStringLiteral("OrigenDatos.ini"));
}
} // namespace

OrigenGuardado LeerOrigen()
{
    QSettings ajustes(rutaAjustes(), QSettings::IniFormat);
    OrigenGuardado o;
    ajustes.beginGroup(QStringLiteral("Origen"));
    o.servidor.servidor = ajustes.value(QStringLiteral("servidor")).toString();
    bool numero = false;
    const int puerto = ajustes.value(QStringLiteral("puerto"), 5432).toInt(&numero);
    if (numero && puerto >= 1 && puerto <= 65535)
        o.servidor.puerto = puerto;
    o.servidor.base = ajustes.value(QStringLiteral("base")).toString();
    o.servidor.usuario = ajustes.value(QStringLiteral("usuario")).toString();
    // Un servidor a medio escribir a mano no se toma por bueno: se sigue con el archivo.
    o.enServidor = ajustes.value(QStringLiteral("tipo")).toString() == QLatin1String("servidor") && numero &&
                   o.servidor.puerto == puerto && !o.servidor.servidor.isEmpty() && !o.servidor.base.isEmpty() &&
                   !o.servidor.usuario.isEmpty();
    return o;
}

QString GuardarOrigen(const OrigenGuardado& origen)
{
    QSettings ajustes(rutaAjustes(), QSettings::IniFormat);
    ajustes.beginGroup(QStringLiteral("Origen"));
    ajustes.setValue(QStringLiteral("tipo"),
                     origen.enServidor ? QStringLiteral("servidor") : QStringLiteral("archivo"));
    // Los datos del servidor se quedan también con el archivo elegido: así se vuelve a él sin
    // escribirlos otra vez.
    ajustes.setValue(QStringLiteral("servidor"), origen.servidor.servidor);
    ajustes.setValue(QStringLiteral("puerto"), origen.servidor.puerto);
    ajustes.setValue(QStringLiteral("base"), origen.servidor.base);
    ajustes.setValue(QStringLiteral("usuario"), origen.servidor.usuario);
    ajustes.endGroup();
    ajustes.sync();
    if (ajustes.status() != QSettings::NoError)
        return QStringLiteral("No se puede escribir «%1» en la carpeta del programa.")
            .arg(QDir::toNativeSeparators(QFileInfo(rutaAjustes()).fileName()));
    return {};
}
