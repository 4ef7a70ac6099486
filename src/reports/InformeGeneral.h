#pragma once

#include "reports/ExportacionHoja.h"
#include "reports/VistaPreviaInforme.h"
#include "shell/PeticionInforme.h"
#include "shell/Sesion.h"

#include <QWidget>
#include <memory>

class DocumentoInforme;
class MotorInforme;
class QLabel;
class QPrinter;
class QToolBar;

// Visor de informes: abre la plantilla de la petición, la rellena para sus condiciones y la enseña en vista previa con
// lo que se espera de ella: imprimir, exportar a PDF o a ODT, zoom, ajustar al ancho y pasar de página. Imprimir o
// exportar la evaluación la emite: si ha cambiado desde su última versión, apunta una más. Del plan y de la
// evaluación de un centro también exporta los datos a hoja de cálculo (XLSX o CSV), que no emite nada.
class InformeGeneral : public QWidget
{
    Q_OBJECT

public:
    // La petición se copia: cada visor sigue con la suya aunque después se pida otro informe. El
    // documento se lee con la conexión del programa (la de la sesión: el archivo o el servidor); sin
    // ella, con la base de datos del archivo de la carpeta del programa.
    explicit InformeGeneral(const PeticionInforme& peticion, const QString& conexion = {}, QWidget* parent = nullptr);
    ~InformeGeneral() override;

    // Carga de la ventana. Se abre aunque falle algo, vacía, y entonces avisa del motivo.
    void cargar();

    DocumentoInforme* documento() const { return documento_.get(); }
    VistaPreviaInforme* vista() const { return vista_; }
    // Nombre de archivo para el PDF (o con otra extensión), sacado del documento y del centro.
    QString nombrePropuesto(const QString& extension = QStringLiteral(".pdf")) const;

    void imprimir();
    void exportar();
    void exportarCopiaOdt();
    // Guardan el PDF o el ODT en la ruta; si no pueden, lo avisan y devuelven false.
    bool exportarPdf(const QString& ruta);
    bool exportarOdt(const QString& ruta);
    // Pide el destino y guarda los datos del documento en hoja de cálculo.
    void exportarDatos(FormatoHoja formato);
    // Guarda los datos en la ruta; si no puede, lo avisa con el motivo y devuelve false.
    bool exportarHoja(const QString& ruta, FormatoHoja formato);
    void primeraPagina();
    void paginaAnterior();
    void paginaSiguiente();
    void ultimaPagina();

protected:
    void resizeEvent(QResizeEvent* evento) override;

private:
    void construir();
    void actualizarEstado();
    QString elegirDestino(const QString& titulo, const QString& extension, const QString& filtro);
    bool guardado(bool bien, const QString& ruta, const QString& titulo);
    void emitir();
    // El centro del plan o de la evaluación que se enseña; 0 si el informe es otro.
    long long centroPedido() const;

    PeticionInforme peticion_;
    QString conexion_;
    std::unique_ptr<MotorInforme> motor_;
    std::unique_ptr<DocumentoInforme> documento_;
    QWidget* panelVisor_ = nullptr;
    QToolBar* barra_ = nullptr;
    VistaPreviaInforme* vista_ = nullptr;
    QLabel* pagina_ = nullptr;
};

// Abre un visor nuevo con la petición de informe de la sesión. Cada llamada abre el suyo, así que
// puede haber varios informes abiertos a la vez.
InformeGeneral* AbrirInforme(Sesion& sesion);
