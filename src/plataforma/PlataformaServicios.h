#pragma once

#include "plataforma/InstanciaPrograma.h"

#include <QString>
#include <memory>

class QApplication;
class QLockFile;
class QPrinter;
class QWidget;

// Lo que el programa pide al sistema: avisos, abrir documentos, arrancar otros programas,
// terminar, pitar, el reloj de arena y saber si ya hay otra copia en marcha. Todo pasa por
// aquí para que las pruebas puedan contestar a los avisos y ver qué se ha pedido.
class PlataformaServicios
{
public:
    enum class Icono
    {
        Ninguno,
        Critico,
        Pregunta,
        Exclamacion,
        Informacion
    };
    enum class Botones
    {
        Aceptar,
        SiNo,
        SiNoCancelar
    };
    enum class Respuesta
    {
        Aceptar,
        Si,
        No,
        Cancelar
    };

    virtual ~PlataformaServicios() = default;

    // Aviso modal; devuelve el botón pulsado.
    virtual Respuesta mensaje(QWidget* dueno, const QString& texto, const QString& titulo, Icono icono, Botones botones,
                              Respuesta predeterminada) = 0;
    // Abre una ruta local o una dirección (http/https) con su programa. El resultado no se mira.
    virtual void abrirDocumento(QWidget* dueno, const QString& rutaODireccion) = 0;
    // Arranca un programa sin esperar a que termine. Devuelve si se pudo arrancar.
    virtual bool iniciarPrograma(const QString& ruta) = 0;
    // Cierra todo lo apuntado en AlTerminarPrograma (las conexiones) y termina en el acto, sin
    // preguntar a ninguna ventana. No vuelve nunca a quien la llama.
    [[noreturn]] virtual void terminarPrograma() = 0;
    virtual void pitido() = 0;
    virtual void relojArena(bool activo) = 0;
    // Toma el bloqueo de instancia de la carpeta del programa; true si ya lo tiene otra copia.
    virtual bool otraInstanciaEnEjecucion(const QString& carpeta) = 0;
    // Pide un archivo para guardar o para abrir, proponiendo una ruta (o una carpeta) y con un
    // filtro como "Bases de datos (*.mdb)". Vacío si el usuario no elige ninguno.
    virtual QString elegirArchivo(QWidget* dueno, const QString& titulo, const QString& propuesta,
                                  const QString& filtro, bool paraGuardar) = 0;
    // Diálogo de imprimir sobre la impresora dada, con las hojas de primera a ultima para elegir;
    // lo que se elige (impresora, copias, hojas) queda en ella. false si el usuario cancela.
    virtual bool elegirImpresora(QWidget* dueno, const QString& titulo, QPrinter& impresora, int primera,
                                 int ultima) = 0;
};

// Los tipos de un aviso con su nombre corto, para el archivo que escribe avisos:
// "using namespace TiposAviso;".
namespace TiposAviso {
using Icono = PlataformaServicios::Icono;
using Botones = PlataformaServicios::Botones;
using Respuesta = PlataformaServicios::Respuesta;
} // namespace TiposAviso

// Lo que lanza terminarPrograma() cuando no se puede acabar el proceso (en las pruebas).
// No deriva de std::exception para que ningún manejador de errores lo tome por un fallo.
struct ProgramaTerminado
{
};

// Servicios en uso. Si nadie ha instalado otros, los reales.
PlataformaServicios& Servicios();
// Instala otros servicios (sin tomar su propiedad) y devuelve los anteriores; nullptr vuelve a los reales.
PlataformaServicios* FijarServicios(PlataformaServicios* servicios);

// Carga la traducción de Qt al castellano (botones y diálogos estándar).
void CargarTraduccionEspanola(QApplication& aplicacion);

// Servicios de verdad: QMessageBox, QDesktopServices, QProcess, QLockFile, QFileDialog, QPrintDialog.
class ServiciosReales : public PlataformaServicios
{
public:
    ServiciosReales();
    ~ServiciosReales() override;

    Respuesta mensaje(QWidget* dueno, const QString& texto, const QString& titulo, Icono icono, Botones botones,
                      Respuesta predeterminada) override;
    void abrirDocumento(QWidget* dueno, const QString& rutaODireccion) override;
    bool iniciarPrograma(const QString& ruta) override;
    [[noreturn]] void terminarPrograma() override;
    void pitido() override;
    void relojArena(bool activo) override;
    bool otraInstanciaEnEjecucion(const QString& carpeta) override;
    QString elegirArchivo(QWidget* dueno, const QString& titulo, const QString& propuesta, const QString& filtro,
                          bool paraGuardar) override;
    bool elegirImpresora(QWidget* dueno, const QString& titulo, QPrinter& impresora, int primera, int ultima) override;

private:
    std::unique_ptr<QLockFile> bloqueo_;
    int relojes_ = 0;
};
