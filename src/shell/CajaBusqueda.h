#pragma once

#include <QWidget>

class QHBoxLayout;
class QLineEdit;

// Lo común de las cajas de búsqueda: la etiqueta "Buscar" con su caja, que se vacía con Escape, y
// el paso con Intro o la flecha abajo a lo que se busca. Cada una decide qué hace con lo escrito y
// adónde pasa.
class CajaBusqueda : public QWidget
{
    Q_OBJECT

public:
    QLineEdit* caja() const { return caja_; }

protected:
    // Lo que la caja dice de sí misma: el texto de su etiqueta (con su tecla de acceso), el que
    // enseña vacía, su nombre para el lector de pantalla y su nota.
    struct Textos
    {
        QString etiqueta;
        QString ejemplo;
        QString accesible;
        QString nota;
    };

    // "nombre" es el objectName de la caja de texto; el del conjunto lleva detrás "Marco".
    CajaBusqueda(const QString& nombre, const Textos& textos, QWidget* parent);

    // La línea de la etiqueta y la caja, para poner algo más detrás.
    QHBoxLayout* linea() const { return linea_; }
    // Lo escrito ha cambiado.
    virtual void buscar(const QString& texto) = 0;
    // Intro o la flecha abajo: true si se ha pasado a lo que se busca (la tecla no sigue).
    virtual bool pasar() = 0;

    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    QHBoxLayout* linea_;
    QLineEdit* caja_;
};
