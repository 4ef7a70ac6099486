#pragma once

#include <QColor>
#include <QString>
#include <QVariant>
#include <QVector>
#include <Qt>
#include <functional>

// Elemento de una lista de valores: lo que se guarda y lo que ve el usuario pueden no coincidir
// (se guarda "Dañino" y se ve "dañino").
struct ValueItem
{
    QVariant stored;
    QString shown;
};

// Definición de una columna de la cuadrícula. El orden de las columnas es el del vector.
struct GridColumn
{
    enum class Presentation
    {
        Text,      // el valor tal cual
        ValueList, // lista desplegable con "values"
        CheckBox   // casilla: "S" marcada, cualquier otro valor sin marcar
    };

    QString caption; // puede llevar "\n": encabezado en dos líneas
    QString field;   // campo del conjunto de registros
    Presentation presentation = Presentation::Text;
    QVector<ValueItem> values;
    int visibleItems = 3; // elementos que enseña la lista desplegada
    bool readOnly = false;
    int widthTwips = 0; // 0: la anchura que pida el contenido
    // Columna de texto largo: el texto se parte en líneas y la fila crece hasta enseñarlo entero.
    // Recortado sólo se leería en la nota, que un lector de pantalla no alcanza.
    bool wordWrap = false;
    // Fondo de cada celda según su valor guardado (el nivel de riesgo, por ejemplo). Sin función,
    // o si devuelve un color no válido, la celda lleva el fondo de la cuadrícula. La letra se
    // pone negra o blanca según lo claro que sea el fondo, para que siempre se lea.
    std::function<QColor(const QVariant& stored)> background;

    static GridColumn text(const QString& caption, const QString& field)
    {
        GridColumn c;
        c.caption = caption;
        c.field = field;
        return c;
    }
    static GridColumn valueList(const QString& caption, const QString& field, const QVector<ValueItem>& values,
                                int visibleItems = 3)
    {
        GridColumn c = text(caption, field);
        c.presentation = Presentation::ValueList;
        c.values = values;
        c.visibleItems = visibleItems;
        return c;
    }
    static GridColumn checkBox(const QString& caption, const QString& field)
    {
        GridColumn c = text(caption, field);
        c.presentation = Presentation::CheckBox;
        return c;
    }
};

// Funciones de datos propias que entienden la cuadrícula y su delegado, en los dos modelos.
namespace GridRole {
constexpr int Presentation = Qt::UserRole + 1; // int de GridColumn::Presentation
constexpr int Values = Qt::UserRole + 2;       // QVariantList de pares {guardado, visto}
constexpr int SourceRow = Qt::UserRole + 3;    // fila en el origen de datos, -1 en una fila de grupo
constexpr int VisibleItems = Qt::UserRole + 4;
constexpr int CurrentRow = Qt::UserRole + 5; // true en la fila actual
constexpr int WordWrap = Qt::UserRole + 6;   // true si el texto de la celda se parte en líneas
} // namespace GridRole

// Texto de las casillas, como se guarda en la base de datos.
inline const QString MarcaSi = QStringLiteral("S");
inline const QString MarcaNo = QStringLiteral("N");
