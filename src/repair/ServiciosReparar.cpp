#include "ServiciosReparar.h"

#include "Conexion.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>

void ServiciosRepararReales::aviso(QWidget* dueno, const QString& texto, const QString& titulo)
{
    QMessageBox::critical(dueno, titulo, texto);
}

bool ServiciosRepararReales::iniciarPrograma(const QString& ruta)
{
    return QProcess::startDetached(ruta, {}, QFileInfo(ruta).absolutePath());
}

void ServiciosRepararReales::terminarPrograma()
{
    Conexion::cerrarTodas();
    QCoreApplication::quit();
}

void ServiciosRepararReales::cursorEspera(bool activo)
{
    // Se lleva la cuenta para no dejar un reloj de arena puesto si se piden dos seguidos.
    if (activo) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++cursores_;
    } else if (cursores_ > 0) {
        QApplication::restoreOverrideCursor();
        --cursores_;
    }
}
