// Las acciones del mono sobre cada clase de control: botones, cajas de texto, listas, cuadrículas,
// teclas sueltas y desplegables abiertos. Todas con eventos de verdad (QTest) y al azar de la semilla.
#include "Mono.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>
#include <memory>

namespace {
// Textos que un usuario escribe de verdad, y los que rompen una sentencia o una fecha mal tratadas.
const char* const TextosFijos[] = {
    "",
    "a",
    "Juan",
    "O'Brien",
    "Ñandú",
    "100",
    "0",
    "-3",
    "3,5",
    "12.5",
    "abc123",
    "15/03/2026",
    "31/02/2025",
    "1/1/1900",
    "99/99/9999",
    "'; DELETE FROM Empresas; --",
    "%_*",
    "  ",
    "Ébano, S.L.",
    "l'Hospitalet",
    "2147483648",
    "Técnico Superior en PRL",
    "Empresario",
    "Riesgo Moderado",
    "S",
    "N",
    "Alta",
    "Dañino",
};

// Nombre de una tecla para la lista de acciones. QTest::toString devuelve una copia hecha con
// new[] que es de quien la pide: guardada así, no se pierde.
QString nombreTecla(Qt::Key k)
{
    const std::unique_ptr<char[]> texto(QTest::toString(k));
    return QString::fromLatin1(texto.get());
}

bool visibleYActivo(const QWidget* w)
{
    return w->isVisible() && w->isEnabled() && w->width() > 0 && w->height() > 0;
}

// Los controles que forman parte de otro (la caja de una lista, la vista de su desplegable) se
// tratan con el control que los contiene.
bool dentroDeLista(const QWidget* w)
{
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (qobject_cast<const QComboBox*>(p))
            return true;
    return false;
}

template <typename T> QList<T*> controles(QWidget* raiz)
{
    QList<T*> r;
    for (T* w : raiz->findChildren<T*>())
        if (visibleYActivo(w) && !dentroDeLista(w))
            r << w;
    return r;
}
} // namespace

void Mono::actuarEn(QWidget* raiz)
{
    if (!raiz)
        return;
    const QList<QAbstractButton*> botones = controles<QAbstractButton>(raiz);
    QList<QLineEdit*> cajas;
    for (QLineEdit* c : controles<QLineEdit>(raiz))
        if (!c->isReadOnly())
            cajas << c;
    const QList<QComboBox*> listas = controles<QComboBox>(raiz);
    // Las cabeceras se tocan con su tabla.
    QList<QAbstractItemView*> vistas;
    for (QAbstractItemView* v : controles<QAbstractItemView>(raiz))
        if (!qobject_cast<QHeaderView*>(v))
            vistas << v;
    // Pesos de cada clase de acción; una clase sin controles no cuenta.
    const int pesos[] = {botones.isEmpty() ? 0 : 30, cajas.isEmpty() ? 0 : 20, listas.isEmpty() ? 0 : 20,
                         vistas.isEmpty() ? 0 : 25, 5};
    int total = 0;
    for (int p : pesos)
        total += p;
    int tirada = azar(total);
    int clase = 0;
    while (tirada >= pesos[clase])
        tirada -= pesos[clase++];
    switch (clase) {
    case 0:
        return pulsar(botones.at(azar(int(botones.size()))));
    case 1:
        return escribirEn(cajas.at(azar(int(cajas.size()))));
    case 2:
        return elegirEn(listas.at(azar(int(listas.size()))));
    case 3:
        return tocarVista(vistas.at(azar(int(vistas.size()))));
    default:
        return teclaSuelta(raiz);
    }
}

void Mono::pulsar(QWidget* boton)
{
    apuntar(QStringLiteral("pulsa %1").arg(nombre(boton)));
    if (boton)
        QTest::mouseClick(boton, Qt::LeftButton, {}, boton->rect().center());
}

void Mono::teclear(QWidget* w, const QString& texto)
{
    // keyClicks no admite letras fuera del ASCII: ésas van una a una con su texto.
    QString ascii;
    auto soltar = [&] {
        if (!ascii.isEmpty())
            QTest::keyClicks(w, ascii);
        ascii.clear();
    };
    for (const QChar c : texto) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f) {
            ascii += c;
            continue;
        }
        soltar();
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), {});
    }
    soltar();
}

QString Mono::textoAzar()
{
    const int n = int(std::size(TextosFijos));
    const int que = azar(n + 3);
    if (que < n)
        return QString::fromUtf8(TextosFijos[que]);
    if (que == n)
        return QString(120 + azar(100), QLatin1Char('x'));
    QString t;
    const QString letras =
        QStringLiteral("abcdefghijklmnñopqrstuvwxyzáéíóú ABCDEFGHIJKLMNÑOPQRSTUVWXYZ0123456789'.,-/");
    for (int i = 1 + azar(14); i > 0; --i)
        t += letras.at(azar(int(letras.size())));
    return t;
}

void Mono::escribirEn(QLineEdit* caja)
{
    const QString texto = textoAzar();
    apuntar(QStringLiteral("escribe «%1» en %2").arg(texto.left(40), nombre(caja)));
    QTest::mouseClick(caja, Qt::LeftButton, {}, caja->rect().center());
    if (moneda(70))
        QTest::keyClick(caja, Qt::Key_A, Qt::ControlModifier);
    if (!caja->isVisible())
        return;
    teclear(caja, texto);
    if (!caja->isVisible())
        return;
    const Qt::Key fin[] = {Qt::Key_Return, Qt::Key_Tab, Qt::Key_Escape, Qt::Key_unknown};
    const Qt::Key k = fin[azar(4)];
    if (k != Qt::Key_unknown)
        QTest::keyClick(caja, k);
}

void Mono::elegirEn(QComboBox* lista)
{
    const int tirada = azar(100);
    if (lista->count() > 0 && tirada < 35) {
        const Qt::Key teclas[] = {Qt::Key_Down, Qt::Key_Up, Qt::Key_Home, Qt::Key_End, Qt::Key_PageDown};
        const Qt::Key k = teclas[azar(5)];
        apuntar(QStringLiteral("tecla %1 en la lista %2").arg(nombreTecla(k)).arg(nombre(lista)));
        lista->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(lista, k);
        return;
    }
    if (lista->count() > 0 && tirada < 80) {
        const int fila = azar(lista->count());
        apuntar(QStringLiteral("elige la fila %1 («%2») de %3")
                    .arg(fila)
                    .arg(lista->itemText(fila).left(40), nombre(lista)));
        QTest::mouseClick(lista, Qt::LeftButton, {}, lista->rect().center());
        QAbstractItemView* v = lista->view();
        if (!v->isVisible() && lista->isVisible())
            lista->showPopup();
        if (!v->isVisible())
            return;
        const QModelIndex i = v->model()->index(fila, lista->modelColumn());
        v->scrollTo(i);
        QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, v->visualRect(i).center());
        if (v->isVisible())
            QTest::keyClick(v, Qt::Key_Escape);
        return;
    }
    if (lista->isEditable() && lista->lineEdit()) {
        const QString texto = lista->count() > 0 && moneda(50) ? lista->itemText(azar(lista->count())) : textoAzar();
        apuntar(QStringLiteral("escribe «%1» en la lista %2").arg(texto.left(40), nombre(lista)));
        QLineEdit* caja = lista->lineEdit();
        QTest::mouseClick(caja, Qt::LeftButton, {}, caja->rect().center());
        QTest::keyClick(caja, Qt::Key_A, Qt::ControlModifier);
        teclear(caja, texto);
        if (caja->isVisible() && moneda(70))
            QTest::keyClick(caja, moneda(50) ? Qt::Key_Return : Qt::Key_Tab);
        return;
    }
    apuntar(QStringLiteral("clic en la lista %1").arg(nombre(lista)));
    QTest::mouseClick(lista, Qt::LeftButton, {}, lista->rect().center());
}

void Mono::tocarVista(QAbstractItemView* vista)
{
    QAbstractItemModel* modelo = vista->model();
    if (!modelo || modelo->rowCount() == 0 || modelo->columnCount() == 0) {
        apuntar(QStringLiteral("clic en %1 vacía").arg(nombre(vista)));
        QTest::mouseClick(vista->viewport(), Qt::LeftButton, {}, vista->viewport()->rect().center());
        return;
    }
    const int fila = azar(modelo->rowCount());
    QList<int> columnas;
    auto* tabla = qobject_cast<QTableView*>(vista);
    for (int c = 0; c < modelo->columnCount(); ++c)
        if (!tabla || !tabla->isColumnHidden(c))
            columnas << c;
    if (columnas.isEmpty())
        return;
    const int columna = columnas.at(azar(int(columnas.size())));
    const QModelIndex i = modelo->index(fila, columna);
    vista->scrollTo(i);
    const QRect r = vista->visualRect(i);
    if (r.isEmpty())
        return;
    const QString donde = QStringLiteral("%1 fila %2 columna %3").arg(nombre(vista)).arg(fila).arg(columna);
    QWidget* hoja = vista->viewport();
    const int que = azar(100);
    if (que < 30) {
        apuntar(QStringLiteral("clic en ") + donde);
        QTest::mouseClick(hoja, Qt::LeftButton, {}, r.center());
    } else if (que < 50) {
        apuntar(QStringLiteral("clic y espacio en ") + donde);
        QTest::mouseClick(hoja, Qt::LeftButton, {}, r.center());
        QTest::keyClick(vista, Qt::Key_Space);
    } else if (que < 85) {
        const QString texto = textoAzar();
        apuntar(QStringLiteral("edita «%1» en ").arg(texto.left(40)) + donde);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::mouseClick(hoja, Qt::LeftButton, {}, r.center());
        if (moneda(50))
            QTest::mouseDClick(hoja, Qt::LeftButton, {}, r.center());
        else
            QTest::keyClick(vista, Qt::Key_F2);
        QWidget* editor = QApplication::focusWidget();
        if (!editor || editor == vista || !vista->isAncestorOf(editor)) {
            apuntar(QStringLiteral("no se abre ningún editor (foco en %1, desplegable %2)")
                        .arg(nombre(editor), nombre(QApplication::activePopupWidget())));
            return;
        }
        if (moneda(60))
            QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        teclear(editor, texto);
        const Qt::Key fin[] = {Qt::Key_Return, Qt::Key_Tab, Qt::Key_Escape, Qt::Key_Down};
        if (QApplication::focusWidget() == editor)
            QTest::keyClick(editor, fin[azar(4)]);
    } else if (que < 95) {
        const Qt::Key teclas[] = {Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End, Qt::Key_Tab};
        const Qt::Key k = teclas[azar(6)];
        apuntar(QStringLiteral("tecla %1 en %2").arg(nombreTecla(k)).arg(nombre(vista)));
        vista->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(vista, k);
    } else if (auto* t = qobject_cast<QTableView*>(vista); t && t->horizontalHeader()->isVisible()) {
        QHeaderView* cabecera = t->horizontalHeader();
        const int x = cabecera->sectionViewportPosition(columna) + cabecera->sectionSize(columna) / 2;
        apuntar(QStringLiteral("clic en la cabecera de ") + donde);
        QTest::mouseClick(cabecera->viewport(), Qt::LeftButton, {}, QPoint(x, cabecera->height() / 2));
    } else {
        apuntar(QStringLiteral("doble clic en ") + donde);
        QTest::mouseDClick(hoja, Qt::LeftButton, {}, r.center());
    }
}

void Mono::teclaSuelta(QWidget* raiz)
{
    const Qt::Key teclas[] = {Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Return, Qt::Key_Escape, Qt::Key_Down,
                              Qt::Key_Up,  Qt::Key_Delete,  Qt::Key_F2,     Qt::Key_Space,  Qt::Key_F4};
    const Qt::Key k = teclas[azar(int(std::size(teclas)))];
    QWidget* foco = QApplication::focusWidget();
    if (!foco || !(foco == raiz || raiz->isAncestorOf(foco)))
        foco = raiz;
    apuntar(QStringLiteral("tecla %1 en %2").arg(nombreTecla(k)).arg(nombre(foco)));
    QTest::keyClick(foco, k);
}

void Mono::actuarEnDesplegable(QWidget* desplegable)
{
    if (moneda(40)) {
        apuntar(QStringLiteral("Escape en el desplegable %1").arg(nombre(desplegable)));
        QTest::keyClick(desplegable, Qt::Key_Escape);
        if (QApplication::activePopupWidget() == desplegable)
            desplegable->close();
        return;
    }
    // Un clic en cualquier punto del desplegable (un día del calendario, una fila de la lista).
    QList<QWidget*> dentro;
    for (QWidget* w : desplegable->findChildren<QWidget*>())
        if (visibleYActivo(w) && w->findChildren<QWidget*>().isEmpty())
            dentro << w;
    QWidget* w = dentro.isEmpty() ? desplegable : dentro.at(azar(int(dentro.size())));
    const QPoint p(azar(w->width()), azar(w->height()));
    apuntar(QStringLiteral("clic en %1 del desplegable %2").arg(nombre(w), nombre(desplegable)));
    QTest::mouseClick(w, Qt::LeftButton, {}, p);
    if (QApplication::activePopupWidget() == desplegable && moneda(50))
        QTest::keyClick(desplegable, Qt::Key_Return);
}
