#include "shell/KitControles.h"

#include "shell/DateBox.h"
#include "shell/grid/CellTip.h"
#include "shell/grid/Grid.h"

#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QWheelEvent>

namespace {

// Qt, por su cuenta, completa lo escrito con la primera entrada que empieza igual y elige la
// entrada que coincide al tabular, al pulsar Intro, con las flechas o con la rueda: lo escrito
// acabaría guardado en otra fila o con otro texto.
class ListaNombres : public QComboBox
{
public:
    ListaNombres()
    {
        setEditable(true);
        disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
        disconnect(lineEdit(), &QLineEdit::returnPressed, this, nullptr);
        // Las coincidencias se ofrecen aparte, sin tocar lo escrito.
        completer()->setCompletionMode(QCompleter::PopupCompletion);
    }

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        const bool flecha = e->key() == Qt::Key_Up || e->key() == Qt::Key_Down || e->key() == Qt::Key_PageUp ||
                            e->key() == Qt::Key_PageDown;
        if (flecha && !(e->modifiers() & Qt::AltModifier)) {
            showPopup();
            return;
        }
        QComboBox::keyPressEvent(e);
    }
    void wheelEvent(QWheelEvent* e) override { e->ignore(); }
};

QFont negrita(const QLabel* l, double escala)
{
    QFont f = l->font();
    f.setBold(true);
    if (escala != 1.0)
        f.setPointSizeF(f.pointSizeF() * escala);
    return f;
}

} // namespace

namespace Kit {

QPushButton* boton(const QString& nombre, const QString& titulo)
{
    auto* b = new QPushButton(titulo);
    b->setObjectName(nombre);
    return b;
}

QLineEdit* caja(const QString& nombre, int limite)
{
    auto* c = new QLineEdit;
    c->setObjectName(nombre);
    if (limite > 0)
        c->setMaxLength(limite);
    return c;
}

QLineEdit* cajaLectura(const QString& nombre, const QString& accesible)
{
    QLineEdit* c = caja(nombre);
    c->setReadOnly(true);
    c->setAccessibleName(accesible);
    return c;
}

DateBox* cajaFecha(const QString& nombre, const QString& accesible)
{
    auto* f = new DateBox;
    f->setObjectName(nombre);
    f->setAccessibleName(accesible);
    f->lineEdit()->setAccessibleName(accesible);
    return f;
}

QLabel* etiqueta(const QString& titulo, QWidget* campo)
{
    auto* e = new QLabel(titulo);
    e->setBuddy(campo);
    return e;
}

void ponerCampo(QGridLayout* rejilla, int fila, int columna, const QString& titulo, QWidget* campo, int ancho)
{
    rejilla->addWidget(etiqueta(titulo, campo), fila, columna);
    rejilla->addWidget(campo, fila, columna + 1, 1, ancho);
}

QLabel* titulo(const QString& nombre, const QString& texto)
{
    auto* t = new QLabel(texto);
    t->setObjectName(nombre);
    t->setFont(negrita(t, 1.0));
    return t;
}

QLabel* banner(const QString& nombre, const QString& texto, double escala)
{
    auto* t = new QLabel(texto);
    t->setObjectName(nombre);
    t->setFont(negrita(t, escala));
    return t;
}

QIcon iconoEstandar(QStyle::StandardPixmap icono)
{
    static QHash<int, QIcon> leidos;
    auto it = leidos.find(int(icono));
    if (it == leidos.end())
        it = leidos.insert(int(icono), QApplication::style()->standardIcon(icono));
    return *it;
}

QToolButton* botonImagen(const QString& nombre, const QString& ayuda, QStyle::StandardPixmap icono,
                         const QString& texto, int lado)
{
    auto* b = new QToolButton;
    b->setObjectName(nombre);
    b->setToolTip(ayuda.isEmpty() ? texto : ayuda);
    b->setAccessibleName(texto.isEmpty() ? ayuda : texto);
    b->setText(texto);
    b->setIcon(iconoEstandar(icono));
    b->setIconSize(QSize(lado, lado));
    b->setToolButtonStyle(texto.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    return b;
}

QComboBox* lista(const QString& nombre)
{
    auto* c = new ListaNombres;
    c->setObjectName(nombre);
    // Lo que se escribe no se añade solo a la lista: la lista la rellena la ventana.
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setMaxVisibleItems(15);
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(8);
    return c;
}

QComboBox* listaAbierta(const QString& nombre, int letrasVisibles)
{
    auto* c = new QComboBox;
    c->setObjectName(nombre);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(letrasVisibles);
    return c;
}

void proponerAlEscribir(QComboBox* lista)
{
    // Sin rellenar el resto por su cuenta: se puede escribir algo que no esté en la lista.
    lista->completer()->setCompletionMode(QCompleter::PopupCompletion);
    lista->completer()->setFilterMode(Qt::MatchContains);
    lista->completer()->setCaseSensitivity(Qt::CaseInsensitive);
}

void ponerEstado(QWidget* campo, bool editable)
{
    campo->setEnabled(editable);
    QPalette p = campo->palette();
    const QColor fondo =
        editable ? QApplication::palette().color(QPalette::Base) : QApplication::palette().color(QPalette::Dark);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(g, QPalette::Base, fondo);
    campo->setPalette(p);
    campo->setProperty("estado", editable ? "editable" : "bloqueado");
}

void vaciar(QWidget* campo)
{
    if (auto* l = qobject_cast<QLineEdit*>(campo))
        l->clear();
    else if (auto* c = qobject_cast<QComboBox*>(campo))
        c->setEditText(QString());
}

Grid* cuadricula(const QString& nombre, const QString& accesible, DataSource* origen)
{
    auto* g = new Grid;
    g->setObjectName(nombre);
    g->setAccessibleName(accesible);
    g->setDataSource(origen);
    return g;
}

void estiloNota(CellTip* nota)
{
    nota->fontSize = 11;
    nota->bold = true;
    nota->textColor = CellTip::oleColor(0x8000000E);
    nota->fillColor = CellTip::oleColor(0x800000);
}

} // namespace Kit
