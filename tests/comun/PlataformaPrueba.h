#pragma once

#include "plataforma/PlataformaServicios.h"

#include <QLockFile>
#include <QPrinter>
#include <QString>
#include <QStringList>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

// Servicios de prueba: contestan a los avisos con las respuestas que se les dan, apuntan todo lo
// que se les pide y, al "terminar el programa", lanzan ProgramaTerminado para que la rutina no
// siga. Mientras existen están instalados; al destruirse vuelven los anteriores.
class PlataformaPrueba : public PlataformaServicios
{
public:
    struct Mensaje
    {
        QString texto;
        QString titulo;
        Icono icono;
        Botones botones;
        Respuesta predeterminada;
    };

    PlataformaPrueba() : anteriores_(FijarServicios(this)) {}
    ~PlataformaPrueba() override { FijarServicios(anteriores_); }
    PlataformaPrueba(const PlataformaPrueba&) = delete;
    PlataformaPrueba& operator=(const PlataformaPrueba&) = delete;

    // Respuestas para los próximos avisos, en orden. Sin respuesta pendiente se pulsa el botón
    // predeterminado.
    void responder(Respuesta r) { respuestas.push_back(r); }

    Respuesta mensaje(QWidget*, const QString& texto, const QString& titulo, Icono icono, Botones botones,
                      Respuesta predeterminada) override
    {
        mensajes.push_back({texto, titulo, icono, botones, predeterminada});
        ordenLlamadas << QStringLiteral("mensaje");
        if (respuestas.empty())
            return predeterminada;
        const Respuesta r = respuestas.front();
        respuestas.pop_front();
        return r;
    }

    void abrirDocumento(QWidget*, const QString& rutaODireccion) override
    {
        documentos << rutaODireccion;
        ordenLlamadas << QStringLiteral("abrirDocumento");
    }

    bool iniciarPrograma(const QString& ruta) override
    {
        programas << ruta;
        ordenLlamadas << QStringLiteral("iniciarPrograma");
        return iniciarFunciona;
    }

    [[noreturn]] void terminarPrograma() override
    {
        ++terminado;
        ordenLlamadas << QStringLiteral("terminarPrograma");
        throw ProgramaTerminado{};
    }

    void pitido() override
    {
        ++pitidos;
        ordenLlamadas << QStringLiteral("pitido");
    }

    void relojArena(bool activo) override { relojes.push_back(activo); }

    // Usa el bloqueo de verdad, para que una prueba pueda tenerlo tomado de antemano.
    bool otraInstanciaEnEjecucion(const QString& carpeta) override
    {
        ordenLlamadas << QStringLiteral("otraInstancia");
        if (bloqueo_)
            return false;
        bloqueo_ = TomarBloqueoInstancia(carpeta);
        return !bloqueo_;
    }

    // Archivos que "elige" el usuario, en orden; sin ninguno pendiente, no elige (cancela).
    QString elegirArchivo(QWidget*, const QString& titulo, const QString& propuesta, const QString& filtro,
                          bool paraGuardar) override
    {
        elecciones.push_back({titulo, propuesta, filtro, paraGuardar});
        ordenLlamadas << QStringLiteral("elegirArchivo");
        if (archivosElegidos.empty())
            return {};
        const QString r = archivosElegidos.front();
        archivosElegidos.pop_front();
        return r;
    }

    // Diálogo de imprimir: si hay una ruta en imprimirEn, el usuario acepta y la impresora escribe
    // un PDF en esa ruta (y, con hojasElegidas, sólo esas hojas); sin ruta, cancela.
    bool elegirImpresora(QWidget*, const QString& titulo, QPrinter& impresora, int primera, int ultima) override
    {
        impresiones.push_back({titulo, impresora.docName(), primera, ultima});
        ordenLlamadas << QStringLiteral("elegirImpresora");
        if (imprimirEn.isEmpty())
            return false;
        impresora.setOutputFormat(QPrinter::PdfFormat);
        impresora.setOutputFileName(imprimirEn);
        if (hojasElegidas.first > 0) {
            impresora.setPrintRange(QPrinter::PageRange);
            impresora.setFromTo(hojasElegidas.first, hojasElegidas.second);
        }
        return true;
    }

    struct Impresion
    {
        QString titulo;
        QString documento;
        int primera;
        int ultima;
    };
    std::vector<Impresion> impresiones;
    QString imprimirEn;
    std::pair<int, int> hojasElegidas{0, 0};

    struct Eleccion
    {
        QString titulo;
        QString propuesta;
        QString filtro;
        bool paraGuardar;
    };
    std::deque<QString> archivosElegidos;
    std::vector<Eleccion> elecciones;
    std::deque<Respuesta> respuestas;
    std::vector<Mensaje> mensajes;
    QStringList documentos;
    QStringList programas;
    QStringList ordenLlamadas;
    std::vector<bool> relojes;
    int pitidos = 0;
    int terminado = 0;
    bool iniciarFunciona = true;

private:
    PlataformaServicios* anteriores_;
    std::unique_ptr<QLockFile> bloqueo_;
};
