#pragma once

#include <QTextBlock>
#include <vector>

class QPainter;
class QTextDocument;
class QTextTable;

// Reparte en hojas un documento compuesto como una tira continua (QTextDocument::setTextWidth, sin
// alto de página), cortándolo entre líneas, entre filas de una tabla o entre piezas. Nada se
// recompone: el documento queda como Qt lo compuso y cada hoja es un trozo de la tira.
//
// Reglas: una tabla cuya primera fila lleva un ancla "junto" (<a name="junto"></a>) no se parte
// (si no cabe en lo que queda pasa entera a la hoja siguiente; si es más alta que una hoja, empieza
// una y se parte entre filas); en una tabla cuyas filas llevan un ancla "grupo" en su primera celda,
// cada una de ésas va en la misma hoja que las que le siguen hasta la próxima (el grupo se parte
// sólo si no cabe en una hoja); ninguna fila de tabla se parte, salvo la que no cabe en una hoja; un
// título (h1 a h4) nunca se queda el último de su hoja; una tabla partida repite sus filas de
// cabecera (<thead>) en cada hoja; un salto de hoja pedido (page-break-before/after) empieza hoja.
//
// La composición va por piezas, a demanda: lo que aún no se ha pedido no se compone.
class CorteHojas
{
public:
    // El documento tiene que durar lo que dure el corte; "alto" es el del cuerpo de una hoja, en
    // las unidades del documento.
    CorteHojas(const QTextDocument& documento, double alto);

    // Una pieza más; dice si ya está todo cortado.
    bool avanzar();
    // Corta hasta tener esas hojas cerradas (o todas, si hay menos).
    void cortarHasta(int hojas);
    bool cortado() const { return cortado_; }
    // Hojas cerradas; con todo cortado, todas.
    int hojas() const { return int(hojas_.size()); }
    // Posición del texto en la que va la composición: lo que viene detrás aún no se ha medido.
    int posicionSiguiente() const;

    // Hoja (desde 1) de una posición del texto; corta el documento entero.
    int hojaDe(int posicion);
    // Primera posición del texto de una hoja cerrada (desde 1) y dónde acaba su primera línea o fila
    // (lo que está por encima está "en lo alto" de la hoja).
    int posicionInicio(int pagina) const;
    double finPrimeraLinea(int pagina) const;
    // Trozo de la tira de una hoja cerrada: arriba y abajo.
    double desde(int pagina) const { return hojas_[pagina - 1].desde; }
    double hasta(int pagina) const { return hojas_[pagina - 1].hasta; }

    // Pinta el cuerpo de una hoja cerrada con su esquina superior izquierda en (x, y), en unidades del
    // documento: la cabecera de la tabla que sigue de la hoja anterior y debajo su trozo de la tira.
    void pintar(QPainter& pintor, int pagina, double x, double y, const QColor& texto = Qt::black) const;

private:
    struct Pieza
    {
        QTextBlock bloque; // no válido si es una tabla
        QTextTable* tabla = nullptr;
        bool titulo = false;     // h1 a h4
        bool junto = false;      // tabla que no se parte
        bool saltoAntes = false; // empieza hoja
    };
    // Lo más pequeño que no se corta: una línea, una fila de tabla, una tabla junta o un título.
    // Cortar delante de ella es empezar hoja en "corte".
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

    void prepararPiezas();
    void anadirUnidades(const Pieza& p);
    void anadirFilas(const Pieza& p);
    void cerrarHojas(bool final);
    void pintarTira(QPainter& pintor, double desde, double hasta, double x, double y, const QColor& texto) const;

    const QTextDocument& doc_;
    const double alto_;
    std::vector<Pieza> piezas_;
    std::vector<Unidad> unidades_;
    std::vector<Banda> bandas_;
    std::vector<Hoja> hojas_;
    bool preparado_ = false;
    bool cortado_ = false;
    int siguientePieza_ = 0;
    int inicioHoja_ = 0; // primera unidad de la hoja aún abierta
    bool siguienteNoCortable_ = false;
    int inicioTitulos_ = -1; // primera unidad de los títulos que preceden a la pieza
};
