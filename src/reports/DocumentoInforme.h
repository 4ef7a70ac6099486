#pragma once

#include <QString>
#include <QTextBlock>
#include <QTextDocument>
#include <memory>
#include <vector>

class QPainter;
class QPagedPaintDevice;
class QPrinter;
class QTextTable;
class CorteHojas;

// Documento de un informe ya relleno: el cuerpo paginado en A4 vertical y la cabecera y el pie
// de cada página. La misma pintura sirve para la vista previa, la impresora y el PDF. El cuerpo se
// compone una sola vez, como una tira continua del ancho de la hoja, y CorteHojas lo reparte en
// hojas con las reglas de maquetación (tablas "junto" enteras, títulos con lo que les sigue,
// cabeceras de tabla repetidas, saltos de hoja pedidos).
class DocumentoInforme
{
public:
    // Cabecera y pie ya rellenos; "[[pagina]]" y "[[paginas]]" se cambian al pintar cada hoja
    // ("[[paginas]]" sale como "…" mientras el documento no esté compuesto del todo) y
    // "[[seccion]]" por el apartado en curso: el texto de la última ancla "seccion:<texto>" que
    // queda en lo alto de la hoja o antes (si no hay ninguna antes, la primera de la hoja).
    // La marca, si no está vacía, se pinta en diagonal y en gris claro en todas las hojas.
    DocumentoInforme(const QString& html, const QString& titulo, const QString& cabecera, const QString& pie,
                     const QString& nombreArchivo = {}, const QString& marca = {});
    ~DocumentoInforme();

    // El texto se lee del HTML la primera vez que alguien lo pide: quien sólo quiere el HTML (el
    // documento de la empresa, que une el de varios) no paga la lectura de cada uno.
    QTextDocument& texto()
    {
        cuerpo();
        return doc_;
    }
    const QTextDocument& texto() const { return cuerpo(); }
    // El HTML del que sale el texto; lo que se cambie después en texto() no está en él.
    const QString& html() const { return html_; }
    const QString& titulo() const { return titulo_; }
    // Nombre que la plantilla propone para guardar el documento (sin extensión).
    const QString& nombreArchivo() const { return nombreArchivo_; }
    // Marca de borrador de cada hoja (la de @marca ya rellena); vacía si el documento no es un borrador.
    const QString& marca() const { return marca_; }
    void fijarMarca(const QString& marca) { marca_ = marca; }
    // Número de hojas. Compone el documento entero si aún no lo está.
    int paginas() const;

    // Composición por partes, para enseñar la primera hoja sin esperar a las demás: cada paso
    // compone un trozo más y dice si ya está todo. Pintar una hoja compone lo que le falte.
    bool componerPaso() const;
    bool compuesto() const { return compuesto_; }
    // Hojas que se sabe que hay: las compuestas hasta ahora, o todas si ya está compuesto.
    int paginasCompuestas() const;
    // Texto de la cabecera o del pie de una página (1 en adelante): izquierda y derecha.
    QString cabecera(int pagina, bool derecha = false) const;
    QString pie(int pagina, bool derecha = false) const;
    // Hoja (desde 1) en la que queda una posición del texto. Compone el documento entero.
    int hojaDe(int posicion) const;
    // Apartado en curso en una página (1 en adelante), el que pone "[[seccion]]".
    QString seccion(int pagina) const;

    // Tamaño de la hoja (A4) en píxeles a 96 puntos por pulgada.
    static QSizeF tamanoHoja();
    // Para escribir un documento a trozos que empiezan hoja (EscribirPdfEnPiezas): cuántas hojas van
    // delante de este trozo y cuántas hay en total, para la numeración de cabeceras y pies, y el
    // último apartado de lo anterior, para "[[seccion]]".
    void numerar(int hojasAntes, int hojasTotal, const QString& seccionAnterior);
    // El último apartado ("seccion:") del documento; vacío si no tiene. Lo compone si no lo está.
    QString ultimaSeccion() const;

    // Pinta una hoja (desde 1) con el pintor ya preparado; escala 1 son 96 puntos por pulgada.
    void pintarHoja(QPainter& pintor, int pagina, double escala) const;

    // Pinta las páginas desde/hasta (desde 1, incluidas) en un dispositivo de páginas ya
    // preparado para A4 a página completa: entre una y otra pide hoja nueva.
    void pintar(QPainter& pintor, QPagedPaintDevice& dispositivo, int desde = 1, int hasta = 0) const;
    // Prepara la impresora (A4, página completa) y pinta el rango que tenga elegido.
    // Dice si la impresora llegó a empezar: si no, no se ha impreso nada.
    bool imprimir(QPrinter& impresora) const;
    // Escribe el PDF sin dejar un archivo a medias si algo falla.
    bool exportarPdf(const QString& ruta) const;

private:
    struct Ancla
    {
        QTextBlock bloque;
        int desde = 0; // dentro del bloque
        QString nombre;
    };

    void pintarPagina(QPainter& pintor, double escalaX, double escalaY, int pagina) const;
    void pintarMarca(QPainter& pintor) const;
    QString parte(const QString& plantilla, int pagina, bool derecha) const;

    CorteHojas& corte() const;
    double altoCuerpo() const;
    const QTextDocument& cuerpo() const;

    // Leer el HTML es una caché del texto, como la composición.
    mutable QTextDocument doc_;
    QString html_;
    mutable bool leido_ = false;
    QString titulo_;
    QString cabecera_;
    QString pie_;
    QString nombreArchivo_;
    mutable std::unique_ptr<CorteHojas> corte_;
    mutable std::vector<Ancla> anclas_;
    QString marca_;
    int hojasAntes_ = 0, hojasTotal_ = 0;
    QString seccionAnterior_;
    // La composición es una caché del texto: no cambia lo que el documento es.
    mutable bool compuesto_ = false;
    // Detiene la composición por su cuenta que la maquetación de Qt hace con el bucle de eventos.
    std::unique_ptr<QObject> sinComponerAparte_;
};
