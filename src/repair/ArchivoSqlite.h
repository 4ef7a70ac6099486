#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <limits>
#include <optional>
#include <set>
#include <vector>

// Lectura directa de las páginas de un archivo SQLite 3, sin pasar por SQLite: sirve para llegar
// a las filas de un archivo dañado que SQLite ya no alcanza (una raíz rota, una cabecera a ceros).
// Nunca escribe en el archivo y no se fía de nada de lo que lee: todo número se comprueba.
class ArchivoSqlite
{
public:
    static constexpr qint64 menor = std::numeric_limits<qint64>::min();
    static constexpr qint64 mayor = std::numeric_limits<qint64>::max();

    struct Valor
    {
        enum class Tipo
        {
            Nulo,
            Entero,
            Real,
            Texto, // bytes en la codificación del archivo
            Blob
        };
        Tipo tipo = Tipo::Nulo;
        qint64 entero = 0;
        double real = 0;
        QByteArray bytes;
    };

    struct Fila
    {
        qint64 rowid = 0;
        std::vector<Valor> valores;
    };

    // Parte de las claves de una tabla: la que guarda una hoja, o la que colgaba de una página rota.
    struct Tramo
    {
        qint64 desde = menor, hasta = mayor; // ambos incluidos
        quint32 hoja = 0;                    // 0: la página está rota
        bool huerfanas = false;              // la rota no era una hoja: sus hojas andan sueltas
    };

    explicit ArchivoSqlite(const QByteArray& datos, bool conLibres = true);

    // Cabecera de 100 bytes nueva para un archivo cuya cabecera está dañada, con el tamaño de
    // página que se deduce de sus páginas. Vacía si el archivo no tiene ninguna página legible.
    static QByteArray rehacerCabecera(const QByteArray& datos, bool conDiario);
    // Verdadero si SQLite puede abrir el archivo con la cabecera que tiene.
    static bool cabeceraSana(const QByteArray& datos);

    bool legible() const { return tamano_ > 0; }
    quint32 paginas() const { return paginas_; }
    int tamanoPagina() const { return tamano_; }

    // Recorre el árbol de una tabla desde su raíz y devuelve sus tramos en orden de clave. Anota
    // en usadas las páginas del árbol.
    std::vector<Tramo> recorrerTabla(quint32 raiz, std::set<quint32>& usadas) const;
    // Sólo anota las páginas de un árbol de índice (para no tomarlas por sueltas).
    void recorrerIndice(quint32 raiz, std::set<quint32>& usadas) const;

    bool esHojaDeTabla(quint32 pagina) const;
    // Filas que se pueden leer de una hoja de tabla; malas cuenta las celdas que no.
    std::vector<Fila> filasDeHoja(quint32 pagina, int* malas = nullptr) const;
    // Claves de las celdas de una hoja de tabla, en su orden.
    std::vector<qint64> clavesDeHoja(quint32 pagina) const;
    // Páginas de la lista de libres (vacía si la cabecera no es de fiar).
    const std::set<quint32>& libres() const { return libres_; }

    // Texto de un valor según la codificación del archivo.
    QString texto(const Valor& v) const;

private:
    struct Pagina
    {
        quint8 tipo = 0;
        int inicio = 0; // donde empieza la cabecera de página (100 en la primera)
        int celdas = 0;
    };
    std::optional<Pagina> pagina(quint32 n) const;
    const uchar* bytes(quint32 n) const;
    int puntero(quint32 n, const Pagina& p, int i) const;
    std::optional<Fila> celdaDeHoja(quint32 n, int desplazamiento) const;
    void recorrer(quint32 n, qint64 desde, qint64 hasta, int nivel, std::set<quint32>& usadas,
                  std::vector<Tramo>& tramos, int& nivelHojas, std::vector<int>& nivelRotas, bool tabla) const;
    void leerLibres();

    QByteArray datos_;
    int tamano_ = 0;
    int util_ = 0; // bytes de cada página sin los reservados
    quint32 paginas_ = 0;
    int codificacion_ = 1;
    std::set<quint32> libres_;
};
