#pragma once

// Lo que hace el usuario con una celda de una cuadrícula, y lo que ve de ella.
#include <QAbstractItemView>
#include <QApplication>
#include <QStyle>
#include <QTableView>
#include <QtTest>

// Abre el editor de una celda como lo hace el usuario: un clic para ir a ella y doble clic. Da el
// control que recibe las teclas, o nulo si no se ha abierto ningún editor.
inline QWidget* editarConRaton(QTableView* t, int fila, int columna)
{
    // El editor anterior se borra más tarde: que no se confunda con el nuevo.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    t->scrollTo(t->model()->index(fila, columna));
    const QPoint p = t->visualRect(t->model()->index(fila, columna)).center();
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseDClick(t->viewport(), Qt::LeftButton, {}, p);
    QWidget* foco = QApplication::focusWidget();
    return foco && foco != t && t->isAncestorOf(foco) ? foco : nullptr;
}

// El texto de la celda, partido en líneas a lo ancho de ella, cabe entero en su altura.
inline bool textoEntero(const QAbstractItemView* v, const QModelIndex& i)
{
    const QRect celda = v->visualRect(i);
    const int margen = v->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, v) + 1;
    const QRect texto = v->fontMetrics().boundingRect(QRect(0, 0, celda.width() - 2 * margen, 100000), Qt::TextWordWrap,
                                                      i.data().toString());
    return texto.height() <= celda.height();
}
