#include "shell/grid/Grid.h"

#include "plataforma/GeometriaVentana.h"
#include "shell/grid/GridHeader.h"

#include <QHeaderView>
#include <QMdiSubWindow>
#include <QTableView>
#include <QTreeView>
#include <utility>

// Las anchuras de las columnas: las de texto se reparten el ancho de la cuadrícula y crecen con la
// ventana; la que el usuario ensancha o estrecha se queda como la deja y se recuerda para la
// próxima vez, con el nombre de la ventana y el de la cuadrícula.

namespace {
// La ventana de la cuadrícula: la que está dentro de su marco del área MDI, o la ventana suelta.
QWidget* ventanaDe(const QWidget* w)
{
    QWidget* v = w->parentWidget();
    while (v && !v->isWindow() && !qobject_cast<QMdiSubWindow*>(v->parentWidget()))
        v = v->parentWidget();
    return v;
}
} // namespace

QString Grid::nombreColumna(int columna) const
{
    const QString& campo = columnas_.value(columna).field;
    return campo.isEmpty() ? QStringLiteral("columna%1").arg(columna) : campo;
}

bool Grid::columnaFlexible(int columna) const
{
    const GridColumn& c = columnas_[columna];
    return c.presentation == GridColumn::Presentation::Text && c.widthTwips <= 0 &&
           !anchosUsuario_.contains(nombreColumna(columna));
}

// Sólo una cuadrícula con nombre dentro de una ventana con nombre recuerda sus columnas: dos sin
// nombre se pisarían una a otra.
void Grid::leerAnchosGuardados()
{
    if (!claveAnchos_.isEmpty())
        return;
    const QWidget* ventana = ventanaDe(this);
    if (!ventana || ventana->objectName().isEmpty() || objectName().isEmpty())
        return;
    claveAnchos_ = ventana->objectName() + QLatin1Char('/') + objectName();
    anchosUsuario_ = AnchosGuardados(claveAnchos_);
}

void Grid::repartirAnchos()
{
    ajustandoAnchos_ = true;
    // El ancho es el de la vista: la cabecera toma el suyo después de que la vista cambie.
    const std::pair<QHeaderView*, QAbstractItemView*> pares[] = {{cabeceraTabla_, tabla_}, {cabeceraArbol_, arbol_}};
    for (const auto& [cabecera, vista] : pares) {
        if (cabecera->count() != columnas_.size())
            continue;
        int fijas = 0;
        QList<int> flexibles;
        for (int i = 0; i < columnas_.size(); ++i) {
            if (columnaFlexible(i))
                flexibles << i;
            else if (!cabecera->isSectionHidden(i))
                fijas += cabecera->sectionSize(i);
        }
        if (flexibles.isEmpty())
            continue;
        const int minimo = fontMetrics().horizontalAdvance(QStringLiteral("MMMMMM"));
        const int cada = qMax(minimo, (vista->viewport()->width() - fijas) / int(flexibles.size()));
        for (int i : flexibles)
            if (cabecera->sectionSize(i) != cada)
                cabecera->resizeSection(i, cada);
    }
    ajustandoAnchos_ = false;
}

void Grid::anchoCambiado(QHeaderView* cabecera, int columna, int ancho)
{
    if (columna < 0 || columna >= columnas_.size() || ancho <= 0)
        return;
    leerAnchosGuardados();
    const QString nombre = nombreColumna(columna);
    anchosUsuario_.insert(nombre, ancho);
    GuardarAncho(claveAnchos_, nombre, ancho);
    // La otra vista (la de grupos o la de filas) la tiene igual cuando se pase a ella.
    ajustandoAnchos_ = true;
    for (QHeaderView* otra : {static_cast<QHeaderView*>(cabeceraTabla_), static_cast<QHeaderView*>(cabeceraArbol_)})
        if (otra != cabecera && otra->count() == columnas_.size())
            otra->resizeSection(columna, ancho);
    ajustandoAnchos_ = false;
    repartirAnchos();
}
