#include "plataforma/PlataformaServicios.h"

#include "plataforma/CierrePrograma.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLockFile>
#include <QMessageBox>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QTranslator>
#include <QUrl>

#include <cstdio>
#include <cstdlib>

namespace {
PlataformaServicios* gInstalados = nullptr;

ServiciosReales& reales()
{
    static ServiciosReales servicios;
    return servicios;
}
} // namespace

PlataformaServicios& Servicios()
{
    return gInstalados ? *gInstalados : reales();
}

PlataformaServicios* FijarServicios(PlataformaServicios* servicios)
{
    PlataformaServicios* anteriores = gInstalados;
    gInstalados = servicios;
    return anteriores;
}

void CargarTraduccionEspanola(QApplication& aplicacion)
{
    auto* traductor = new QTranslator(&aplicacion);
    if (traductor->load(QStringLiteral("qtbase_es"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(traductor);
    else
        delete traductor;
}

ServiciosReales::ServiciosReales() = default;
ServiciosReales::~ServiciosReales() = default;

PlataformaServicios::Respuesta ServiciosReales::mensaje(QWidget* dueno, const QString& texto, const QString& titulo,
                                                        Icono icono, Botones botones, Respuesta predeterminada)
{
    QMessageBox caja(dueno);
    caja.setWindowTitle(titulo);
    caja.setText(texto);
    switch (icono) {
    case Icono::Critico:
        caja.setIcon(QMessageBox::Critical);
        break;
    case Icono::Pregunta:
        caja.setIcon(QMessageBox::Question);
        break;
    case Icono::Exclamacion:
        caja.setIcon(QMessageBox::Warning);
        break;
    case Icono::Informacion:
        caja.setIcon(QMessageBox::Information);
        break;
    case Icono::Ninguno:
        caja.setIcon(QMessageBox::NoIcon);
        break;
    }
    if (botones == Botones::SiNo) {
        caja.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        caja.button(QMessageBox::Yes)->setText(QStringLiteral("Sí"));
        caja.button(QMessageBox::No)->setText(QStringLiteral("No"));
        caja.setDefaultButton(predeterminada == Respuesta::Si ? QMessageBox::Yes : QMessageBox::No);
        caja.setEscapeButton(QMessageBox::No);
    } else if (botones == Botones::SiNoCancelar) {
        caja.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        caja.button(QMessageBox::Yes)->setText(QStringLiteral("Sí"));
        caja.button(QMessageBox::No)->setText(QStringLiteral("No"));
        caja.button(QMessageBox::Cancel)->setText(QStringLiteral("Cancelar"));
        caja.setDefaultButton(predeterminada == Respuesta::No         ? QMessageBox::No
                              : predeterminada == Respuesta::Cancelar ? QMessageBox::Cancel
                                                                      : QMessageBox::Yes);
        // Cerrar el aviso sin contestar es no hacer nada.
        caja.setEscapeButton(QMessageBox::Cancel);
    } else {
        caja.setStandardButtons(QMessageBox::Ok);
        caja.button(QMessageBox::Ok)->setText(QStringLiteral("Aceptar"));
        caja.setDefaultButton(QMessageBox::Ok);
    }
    // Mientras se espera la respuesta el puntero no debe seguir en reloj de arena.
    const bool habiaReloj = QApplication::overrideCursor() != nullptr;
    if (habiaReloj)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int pulsado = caja.exec();
    if (habiaReloj)
        QApplication::restoreOverrideCursor();
    switch (pulsado) {
    case QMessageBox::Yes:
        return Respuesta::Si;
    case QMessageBox::No:
        return Respuesta::No;
    case QMessageBox::Cancel:
        return Respuesta::Cancelar;
    default:
        if (botones == Botones::SiNoCancelar)
            return Respuesta::Cancelar;
        return botones == Botones::SiNo ? Respuesta::No : Respuesta::Aceptar;
    }
}

void ServiciosReales::abrirDocumento(QWidget*, const QString& rutaODireccion)
{
    const QUrl direccion = rutaODireccion.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
                                   rutaODireccion.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)
                               ? QUrl(rutaODireccion)
                               : QUrl::fromLocalFile(QDir::fromNativeSeparators(rutaODireccion));
    QDesktopServices::openUrl(direccion);
}

bool ServiciosReales::iniciarPrograma(const QString& ruta)
{
    const QFileInfo programa(QDir::fromNativeSeparators(ruta));
    return QProcess::startDetached(programa.absoluteFilePath(), {}, programa.absolutePath());
}

void ServiciosReales::terminarPrograma()
{
    CerrarAntesDeTerminar();
    bloqueo_.reset();
    std::fflush(nullptr);
    // En el acto: ni cierre de ventanas ni destructores globales que puedan preguntar o fallar.
    std::_Exit(0);
}

void ServiciosReales::pitido()
{
    QApplication::beep();
}

void ServiciosReales::relojArena(bool activo)
{
    if (activo) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++relojes_;
    } else if (relojes_ > 0) {
        QApplication::restoreOverrideCursor();
        --relojes_;
    }
}

bool ServiciosReales::otraInstanciaEnEjecucion(const QString& carpeta)
{
    if (bloqueo_)
        return false;
    bloqueo_ = TomarBloqueoInstancia(carpeta);
    return !bloqueo_;
}

QString ServiciosReales::elegirArchivo(QWidget* dueno, const QString& titulo, const QString& propuesta,
                                       const QString& filtro, bool paraGuardar)
{
    // El diálogo pregunta él mismo antes de sustituir un archivo que ya existe.
    const QString ruta = paraGuardar ? QFileDialog::getSaveFileName(dueno, titulo, propuesta, filtro)
                                     : QFileDialog::getOpenFileName(dueno, titulo, propuesta, filtro);
    return ruta.isEmpty() ? QString() : QDir::toNativeSeparators(ruta);
}

bool ServiciosReales::elegirImpresora(QWidget* dueno, const QString& titulo, QPrinter& impresora, int primera,
                                      int ultima)
{
    QPrintDialog dialogo(&impresora, dueno);
    dialogo.setWindowTitle(titulo);
    dialogo.setMinMax(primera, ultima);
    return dialogo.exec() == QDialog::Accepted;
}
