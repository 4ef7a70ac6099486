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

// Documento de un informe ya relleno: el cuerpo paginado en A4 vertical y la cabecera y el pie
// de cada página. La misma pintura sirve para la vista previa, la impresora y el PDF.
//
// El cuerpo se compone una sola vez, como una tira continua del ancho de la hoja, y se reparte en
// hojas cortándolo entre líneas, entre filas de una tabla o entre piezas. Así se cuidan las reglas
// de maquetación sin recomponer nada: una tabla cuya primera fila lleva un ancla "junto"
// (<a name="junto"></a>) no se parte entre hojas (si no cabe en lo que queda, pasa entera a la
// siguiente; si es más alta que una hoja, empieza una y se parte entre filas), un título (h1 a h4)
// nunca se queda el último de su hoja, una tabla partida repite sus filas de cabecera (<thead>) en
// cada hoja, y un salto de hoja pedido (page-break-before/after) empieza hoja.
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

    QTextDocument& texto() { return doc_; }
    const QTextDocument& texto() const { return doc_; }
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
    // Lo que hay en el primer nivel del cuerpo, en orden: un párrafo con texto o una tabla.
    struct Pieza
    {
        QTextBlock bloque; // no válido si es una tabla
        QTextTable* tabla = nullptr;
        bool titulo = false;     // h1 a h4
        bool junto = false;      // tabla que no se parte
        bool saltoAntes = false; // empieza hoja
    };
    // Lo más pequeño que no se corta: una línea, una fila de tabla, una tabla junta o un título.
    // Tira del cuerpo de arriba abajo; cortar delante de ella es empezar hoja en "corte".
    struct Unidad
    {
        double corte = 0, abajo = 0;
        int posicion = 0;     // primera posición del texto
        bool cortable = true; // se puede empezar hoja en ella
        bool forzada = false; // empieza hoja por fuerza
        int banda = -1;       // cabecera de tabla que se repite si la hoja empieza en ella
    };
    struct Banda
    {
        double desde = 0, hasta = 0;
    };
    struct Hoja
    {
        double desde = 0, hasta = 0; // trozo de la tira
        int banda = -1;
        int primera = 0; // primera unidad
    };
    struct Ancla
    {
        QTextBlock bloque;
        int desde = 0; // dentro del bloque
        QString nombre;
    };

    void pintarPagina(QPainter& pintor, double escalaX, double escalaY, int pagina) const;
    void pintarTira(QPainter& pintor, double desde, double hasta, double y) const;
    void pintarMarca(QPainter& pintor) const;
    QString parte(const QString& plantilla, int pagina, bool derecha) const;

    void prepararPiezas() const;
    int posicionPieza(const Pieza& p) const;
    void anadirUnidades(const Pieza& p) const;
    void anadirFilas(const Pieza& p) const;
    void cerrarHojas(bool final) const;
    bool avanzarPieza() const;
    void componerHasta(int hojas) const;
    double altoCuerpo() const;

    QTextDocument doc_;
    QString titulo_;
    QString cabecera_;
    QString pie_;
    QString nombreArchivo_;
    mutable std::vector<Pieza> piezas_;
    mutable std::vector<Ancla> anclas_;
    mutable std::vector<Unidad> unidades_;
    mutable std::vector<Banda> bandas_;
    mutable std::vector<Hoja> hojas_;
    mutable bool preparado_ = false;
    mutable int siguientePieza_ = 0;
    mutable int inicioHoja_ = 0; // primera unidad de la hoja aún abierta
    mutable bool siguienteForzada_ = false;
    mutable bool siguienteNoCortable_ = false;
    mutable int inicioTitulos_ = -1; // primera unidad de los títulos que preceden a la pieza
    QString marca_;
    // La composición es una caché del texto: no cambia lo que el documento es.
    mutable bool compuesto_ = false;
    // Detiene la composición por su cuenta que la maquetación de Qt hace con el bucle de eventos.
    std::unique_ptr<QObject> sinComponerAparte_;
};
