#pragma once

// La ventana de empresas manejada como lo hace una persona: el ratón en los botones y en las
// barras de navegación, el teclado en las listas.
#include "companies/Empresa.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolBar>
#include <QtTest>

struct ManejoEmpresa
{
    Empresa* ventana = nullptr;

    template <typename T> T* hijo(const char* nombre) const
    {
        T* w = ventana->findChild<T*>(nombre);
        if (!w)
            qFatal("no existe el control %s", nombre);
        return w;
    }
    QComboBox* lista(const char* n) const { return hijo<QComboBox>(n); }
    QLineEdit* caja(const char* n) const { return hijo<QLineEdit>(n); }
    QString texto(const char* n) const { return lista(n)->currentText(); }
    QString contador(const char* n) const { return hijo<QLabel>(n)->text(); }
    void pulsar(const char* boton) const { QTest::mouseClick(hijo<QPushButton>(boton), Qt::LeftButton); }
    void barra(int n) const
    {
        auto* b = hijo<QToolBar>(qPrintable(QStringLiteral("Toolbar%1").arg(n)));
        QTest::mouseClick(b->widgetForAction(b->actions().first()), Qt::LeftButton);
    }
    bool barraActiva(int n) const
    {
        return hijo<QToolBar>(qPrintable(QStringLiteral("Toolbar%1").arg(n)))->actions().first()->isEnabled();
    }
    // Con una lista de coincidencias abierta, el teclado va a ella, como con el teclado de verdad.
    static QWidget* destino(QWidget* w)
    {
        QWidget* lista = QApplication::activePopupWidget();
        return lista ? lista : w;
    }
    static void tecla(QWidget* w, Qt::Key k, Qt::KeyboardModifiers m = {}) { QTest::keyClick(destino(w), k, m); }
    // Tecla a tecla; las letras con tilde no las admite keyClicks.
    static void teclear(QWidget* w, const QString& texto)
    {
        for (const QChar c : texto) {
            if (c.unicode() < 128)
                QTest::keyClick(destino(w), c.toLatin1());
            else
                QTest::sendKeyEvent(QTest::Click, destino(w), Qt::Key_unknown, QString(c), {});
        }
    }
    // Borra lo que haya en la lista y escribe en ella.
    void escribir(const char* nombreLista, const QString& texto) const
    {
        QLineEdit* e = lista(nombreLista)->lineEdit();
        e->setFocus();
        tecla(e, Qt::Key_A, Qt::ControlModifier);
        tecla(e, Qt::Key_Delete);
        teclear(e, texto);
    }
    // Abre la lista desplegable y elige la entrada con las flechas e Intro.
    void elegir(const char* nombreLista, int fila) const
    {
        QComboBox* c = lista(nombreLista);
        QTest::keyClick(c, Qt::Key_Down, Qt::AltModifier);
        QTRY_VERIFY(c->view()->isVisible());
        QAbstractItemView* v = c->view();
        const int desde = v->currentIndex().isValid() ? v->currentIndex().row() : -1;
        for (int i = desde; i < fila; ++i)
            QTest::keyClick(v, Qt::Key_Down);
        for (int i = desde; i > fila; --i)
            QTest::keyClick(v, Qt::Key_Up);
        QCOMPARE(v->currentIndex().row(), fila);
        QTest::keyClick(v, Qt::Key_Return);
        QTRY_VERIFY(!c->view()->isVisible());
    }
    // Abre la lista con el ratón y pulsa en la entrada.
    void elegirConRaton(const char* nombreLista, int fila) const
    {
        QComboBox* c = lista(nombreLista);
        c->showPopup();
        QAbstractItemView* v = c->view();
        QTRY_VERIFY(v->isVisible());
        const QPoint punto = v->visualRect(v->model()->index(fila, 0)).center();
        QTest::mouseMove(v->viewport(), punto);
        QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, punto);
        QTRY_VERIFY(!v->isVisible());
    }
};
