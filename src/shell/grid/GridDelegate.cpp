#include "shell/grid/GridDelegate.h"

#include "shell/grid/GridColumn.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTableView>
#include <QTreeView>

namespace {
GridColumn::Presentation presentacion(const QModelIndex& i)
{
    const QVariant p = i.data(GridRole::Presentation);
    return p.isValid() ? GridColumn::Presentation(p.toInt()) : GridColumn::Presentation::Text;
}

const QStyle* estilo(const QWidget* w)
{
    return w ? w->style() : QApplication::style();
}
} // namespace

GridDelegate::GridDelegate(QObject* parent) : QStyledItemDelegate(parent)
{
}

void GridDelegate::setRowDividers(bool si)
{
    lineas_ = si;
}

bool GridDelegate::editing() const
{
    return editores_ > 0;
}

QWidget* GridDelegate::contar(QWidget* editor) const
{
    if (editor) {
        ++editores_;
        connect(editor, &QObject::destroyed, this, [this] { --editores_; });
    }
    return editor;
}

QRect GridDelegate::checkRect(const QStyleOptionViewItem& opcion, const QWidget* vista)
{
    const QStyle* s = estilo(vista);
    const QSize tam(s->pixelMetric(QStyle::PM_IndicatorWidth, &opcion, vista),
                    s->pixelMetric(QStyle::PM_IndicatorHeight, &opcion, vista));
    return QStyle::alignedRect(opcion.direction, Qt::AlignCenter, tam, opcion.rect);
}

void GridDelegate::paint(QPainter* pintor, const QStyleOptionViewItem& opcion, const QModelIndex& indice) const
{
    const GridColumn::Presentation p = presentacion(indice);
    const QWidget* vista = opcion.widget;
    const QStyle* s = estilo(vista);
    if (p == GridColumn::Presentation::CheckBox && indice.data(GridRole::SourceRow).toInt() >= 0) {
        QStyleOptionViewItem o = opcion;
        initStyleOption(&o, indice);
        const Qt::CheckState marca = o.checkState;
        o.features &= ~QStyleOptionViewItem::HasCheckIndicator;
        o.text.clear();
        s->drawControl(QStyle::CE_ItemViewItem, &o, pintor, vista);
        QStyleOptionViewItem c = o;
        c.rect = checkRect(opcion, vista);
        c.state = c.state & ~QStyle::State_HasFocus;
        c.state |= marca == Qt::Checked ? QStyle::State_On : QStyle::State_Off;
        if (!(indice.flags() & Qt::ItemIsUserCheckable))
            c.state &= ~QStyle::State_Enabled;
        s->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &c, pintor, vista);
    } else if ((opcion.state & QStyle::State_Selected) && indice.data(GridRole::SourceRow).toInt() >= 0 &&
               indice.data(Qt::BackgroundRole).isValid()) {
        // Una celda con fondo propio lo conserva en la fila seleccionada, que se ve por el borde.
        QStyleOptionViewItem o = opcion;
        o.state &= ~QStyle::State_Selected;
        QStyledItemDelegate::paint(pintor, o, indice);
        pintor->save();
        pintor->setPen(QPen(opcion.palette.color(QPalette::Highlight), 2));
        pintor->setBrush(Qt::NoBrush);
        pintor->drawRect(QRectF(opcion.rect).adjusted(1, 1, -1, -1));
        pintor->restore();
    } else {
        QStyledItemDelegate::paint(pintor, opcion, indice);
        // En la fila actual la celda con lista enseña su flecha: se ve que se despliega.
        if (p == GridColumn::Presentation::ValueList && indice.data(GridRole::CurrentRow).toBool() &&
            (indice.flags() & Qt::ItemIsEditable)) {
            QStyleOption f;
            f.initFrom(vista);
            const int lado = qMin(opcion.rect.height(), 14);
            f.rect = QRect(opcion.rect.right() - lado - 2, opcion.rect.center().y() - lado / 2, lado, lado);
            f.palette = opcion.palette;
            if (opcion.state & QStyle::State_Selected)
                f.palette.setColor(QPalette::ButtonText, opcion.palette.color(QPalette::HighlightedText));
            s->drawPrimitive(QStyle::PE_IndicatorArrowDown, &f, pintor, vista);
        }
    }
    if (lineas_) {
        pintor->save();
        pintor->setPen(opcion.palette.color(QPalette::Mid));
        pintor->drawLine(opcion.rect.bottomLeft(), opcion.rect.bottomRight());
        pintor->restore();
    }
}

void GridDelegate::initStyleOption(QStyleOptionViewItem* opcion, const QModelIndex& indice) const
{
    QStyledItemDelegate::initStyleOption(opcion, indice);
    if (indice.data(GridRole::WordWrap).toBool())
        opcion->features |= QStyleOptionViewItem::WrapText;
    else
        opcion->features &= ~QStyleOptionViewItem::WrapText;
}

QSize GridDelegate::sizeHint(const QStyleOptionViewItem& opcion, const QModelIndex& indice) const
{
    QStyleOptionViewItem o = opcion;
    const int ancho = indice.data(GridRole::WordWrap).toBool() ? anchoTexto(opcion, indice) : 0;
    // Con la anchura de la columna el estilo mide cuántas líneas ocupa el texto partido. Una
    // columna aún sin medidas (la vista sin enseñar) daría una línea por letra.
    const bool partido = ancho > opcion.fontMetrics.averageCharWidth() * 4;
    if (partido)
        o.rect = QRect(0, 0, ancho, QWIDGETSIZE_MAX / 2);
    QSize t = QStyledItemDelegate::sizeHint(o, indice);
    // El mismo aire arriba y abajo que en las filas de una línea.
    t.setHeight(qMax(t.height() + (partido ? 6 : 0), opcion.fontMetrics.height() + 8));
    return t;
}

// Anchura de la celda en su vista: las vistas no la dan al pedir la altura de una fila (el árbol
// nunca, la tabla sólo con el partido de líneas de toda la vista encendido).
int GridDelegate::anchoTexto(const QStyleOptionViewItem& opcion, const QModelIndex& indice)
{
    if (const auto* tabla = qobject_cast<const QTableView*>(opcion.widget))
        return tabla->columnWidth(indice.column()) - (tabla->showGrid() ? 1 : 0);
    const auto* arbol = qobject_cast<const QTreeView*>(opcion.widget);
    if (!arbol)
        return opcion.rect.width();
    int ancho = arbol->header()->sectionSize(indice.column());
    const int columnaArbol = arbol->treePosition() < 0 ? arbol->header()->logicalIndex(0) : arbol->treePosition();
    if (columnaArbol == indice.column()) {
        int nivel = arbol->rootIsDecorated() ? 1 : 0;
        for (QModelIndex p = indice.parent(); p.isValid(); p = p.parent())
            ++nivel;
        ancho -= nivel * arbol->indentation();
    }
    return ancho;
}

QWidget* GridDelegate::createEditor(QWidget* padre, const QStyleOptionViewItem& opcion, const QModelIndex& indice) const
{
    const GridColumn::Presentation p = presentacion(indice);
    if (p == GridColumn::Presentation::CheckBox)
        return nullptr;
    if (p != GridColumn::Presentation::ValueList)
        return contar(QStyledItemDelegate::createEditor(padre, opcion, indice));
    auto* lista = new QComboBox(padre);
    lista->setObjectName(QStringLiteral("listaValores"));
    lista->setAccessibleName(tr("Lista de valores"));
    // Se puede escribir además de elegir: las ventanas aceptan el texto escrito.
    lista->setEditable(true);
    lista->setInsertPolicy(QComboBox::NoInsert);
    lista->setFrame(false);
    lista->setMaxVisibleItems(qMax(1, indice.data(GridRole::VisibleItems).toInt()));
    for (const QVariant& e : indice.data(GridRole::Values).toList()) {
        const QVariantList par = e.toList();
        lista->addItem(par.value(1).toString(), par.value(0));
    }
    // Elegir de la lista ya es el cambio de la celda: no hace falta salir de ella. Con Intro en el
    // texto también llega "activated", pero ese cambio ya lo confirma el delegado por su cuenta:
    // confirmarlo dos veces cerraría un editor ya cerrado.
    lista->lineEdit()->installEventFilter(const_cast<GridDelegate*>(this));
    connect(lista, &QComboBox::activated, this, [this, lista](int) {
        if (lista->property("porTecla").toBool()) {
            lista->setProperty("porTecla", false);
            return;
        }
        auto* yo = const_cast<GridDelegate*>(this);
        emit yo->commitData(lista);
        emit yo->closeEditor(lista, QAbstractItemDelegate::NoHint);
    });
    return contar(lista);
}

void GridDelegate::setEditorData(QWidget* editor, const QModelIndex& indice) const
{
    auto* lista = qobject_cast<QComboBox*>(editor);
    if (!lista || presentacion(indice) != GridColumn::Presentation::ValueList) {
        QStyledItemDelegate::setEditorData(editor, indice);
        return;
    }
    const QVariant guardado = indice.data(Qt::EditRole);
    const int i = lista->findData(guardado.toString(), Qt::UserRole, Qt::MatchExactly);
    if (i >= 0)
        lista->setCurrentIndex(i);
    else
        lista->setEditText(guardado.toString());
}

void GridDelegate::setModelData(QWidget* editor, QAbstractItemModel* modelo, const QModelIndex& indice) const
{
    auto* lista = qobject_cast<QComboBox*>(editor);
    if (!lista || presentacion(indice) != GridColumn::Presentation::ValueList) {
        QStyledItemDelegate::setModelData(editor, modelo, indice);
        return;
    }
    const QString texto = lista->currentText();
    // El texto visto de un elemento se guarda con el valor de ese elemento; lo escrito a mano, tal cual.
    QVariant valor = texto;
    for (int i = 0; i < lista->count(); ++i)
        if (lista->itemText(i) == texto) {
            valor = lista->itemData(i);
            break;
        }
    modelo->setData(indice, valor, Qt::EditRole);
}

bool GridDelegate::eventFilter(QObject* objeto, QEvent* evento)
{
    // Las teclas del texto de dentro de una lista siguen hasta la lista, cuyo filtro confirma o
    // deshace. El editor de texto normal no se salta el filtro: sin él ni Intro confirma ni Escape
    // deshace, y lo abandonado se escribe al salir de la celda.
    if (evento->type() == QEvent::KeyPress && qobject_cast<QLineEdit*>(objeto)) {
        if (auto* lista = qobject_cast<QComboBox*>(objeto->parent())) {
            const int tecla = static_cast<QKeyEvent*>(evento)->key();
            if (tecla == Qt::Key_Return || tecla == Qt::Key_Enter)
                lista->setProperty("porTecla", true);
            return false;
        }
    }
    return QStyledItemDelegate::eventFilter(objeto, evento);
}

bool GridDelegate::editorEvent(QEvent* evento, QAbstractItemModel* modelo, const QStyleOptionViewItem& opcion,
                               const QModelIndex& indice)
{
    if (presentacion(indice) != GridColumn::Presentation::CheckBox)
        return QStyledItemDelegate::editorEvent(evento, modelo, opcion, indice);
    const Qt::ItemFlags f = indice.flags();
    if (!(f & Qt::ItemIsUserCheckable) || !(f & Qt::ItemIsEnabled))
        return false;
    switch (evento->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease: {
        auto* raton = static_cast<QMouseEvent*>(evento);
        const QRect zona = checkRect(opcion, opcion.widget).adjusted(-4, -4, 4, 4);
        if (raton->button() != Qt::LeftButton || !zona.contains(raton->position().toPoint()))
            return false;
        if (evento->type() != QEvent::MouseButtonRelease)
            return true;
        break;
    }
    case QEvent::KeyPress: {
        const int tecla = static_cast<QKeyEvent*>(evento)->key();
        if (tecla != Qt::Key_Space && tecla != Qt::Key_Select)
            return false;
        break;
    }
    default:
        return false;
    }
    const bool marcada = indice.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    return modelo->setData(indice, marcada ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}
