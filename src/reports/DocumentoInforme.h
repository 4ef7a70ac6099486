#pragma once

#include <QString>
#include <QTextDocument>
#include <memory>

class QPainter;
class QPagedPaintDevice;
class QPrinter;

// Documento de un informe ya relleno: el cuerpo paginado en A4 vertical y la cabecera y el pie
// de cada página. La misma pintura sirve para la vista previa, la impresora y el PDF.
class DocumentoInforme
{
public:
    // Cabecera y pie ya rellenos; "[[pagina]]" y "[[paginas]]" se cambian al pintar cada hoja.
    DocumentoInforme(const QString& html, const QString& titulo, const QString& cabecera, const QString& pie,
                     const QString& nombreArchivo = {});
    ~DocumentoInforme();

    QTextDocument& texto() { return doc_; }
    const QString& titulo() const { return titulo_; }
    // Nombre que la plantilla propone para guardar el documento (sin extensión).
    const QString& nombreArchivo() const { return nombreArchivo_; }
    int paginas() const;
    // Texto de la cabecera o del pie de una página (1 en adelante): izquierda y derecha.
    QString cabecera(int pagina, bool derecha = false) const;
    QString pie(int pagina, bool derecha = false) const;

    // Pinta las páginas desde/hasta (desde 1, incluidas) en un dispositivo de páginas ya
    // preparado para A4 a página completa: entre una y otra pide hoja nueva.
    void pintar(QPainter& pintor, QPagedPaintDevice& dispositivo, int desde = 1, int hasta = 0) const;
    // Prepara la impresora (A4, página completa) y pinta el rango que tenga elegido.
    void imprimir(QPrinter& impresora) const;
    // Escribe el PDF sin dejar un archivo a medias si algo falla.
    bool exportarPdf(const QString& ruta) const;

private:
    void pintarPagina(QPainter& pintor, const QPaintDevice& dispositivo, int pagina) const;
    QString parte(const QString& plantilla, int pagina, bool derecha) const;

    QTextDocument doc_;
    QString titulo_;
    QString cabecera_;
    QString pie_;
    QString nombreArchivo_;
    int paginas_ = 0;
};
