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
#include <initializer_list>
#include <iterator>
#include <utility>

namespace {
PlataformaServicios* gInstalados = nullptr;

ServiciosReales& reales()
{
    static ServiciosReales servicios;
    return servicios;
}

// El icono de la caja de cada Icono, en el orden del enumerado.
constexpr QMessageBox::Icon iconosCaja[] = {QMessageBox::NoIcon, QMessageBox::Critical, QMessageBox::Question,
                                            QMessageBox::Warning, QMessageBox::Information};
static_assert(std::size(iconosCaja) == size_t(PlataformaServicios::Icono::Informacion) + 1);

// Botones de la caja con su texto en castellano, esté o no la traducción de Qt.
void ponerBotones(QMessageBox& caja, std::initializer_list<std::pair<QMessageBox::StandardButton, QString>> botones)
{
    for (const auto& [boton, texto] : botones)
        caja.addButton(boton)->setText(texto);
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
    caja.setIcon(iconosCaja[static_cast<int>(icono)]);
    const QString si = QStringLiteral("Sí"), no = QStringLiteral("No");
    if (botones == Botones::SiNo) {
        ponerBotones(caja, {{QMessageBox::Yes, si}, {QMessageBox::No, no}});
        caja.setDefaultButton(predeterminada == Respuesta::Si ? QMessageBox::Yes : QMessageBox::No);
        caja.setEscapeButton(QMessageBox::No);
    } else if (botones == Botones::SiNoCancelar) {
        ponerBotones(
            caja, {{QMessageBox::Yes, si}, {QMessageBox::No, no}, {QMessageBox::Cancel, QStringLiteral("Cancelar")}});
        caja.setDefaultButton(predeterminada == Respuesta::No         ? QMessageBox::No
                              : predeterminada == Respuesta::Cancelar ? QMessageBox::Cancel
                                                                      : QMessageBox::Yes);
        // Cerrar el aviso sin contestar es no hacer nada.
        caja.setEscapeButton(QMessageBox::Cancel);
    } else {
        ponerBotones(caja, {{QMessageBox::Ok, QStringLiteral("Aceptar")}});
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
