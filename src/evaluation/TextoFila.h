#pragma once

#include <QString>
#include <QVariant>
#include <QWidget>

class Grid;
class QLabel;
class QPlainTextEdit;

// Texto largo de la fila actual de una cuadrícula (la situación observada de un riesgo, los
// trabajadores de un puesto), en una caja aparte: las celdas de la cuadrícula sólo editan una línea.
//
// La caja enseña el texto de la fila actual y lo guarda al salir de ella, al cambiar de fila y
// cuando deja de verse. Mientras se escribe en la caja no cambia de fila aunque la cuadrícula sí
// (pasar el puntero por una celda la hace actual): lo escrito va siempre a la fila cuyo nombre
// enseña la caja encima. El valor va enlazado: los apóstrofos y los textos largos se guardan tal cual.
class TextoFila : public QWidget
{
    Q_OBJECT

public:
    // Dónde se guarda el texto: "UPDATE origen SET campo = ? WHERE clave = ?". El rótulo es el
    // campo de la fila que dice de qué fila es el texto (el nombre del riesgo o del puesto).
    struct Destino
    {
        QString origen;
        QString clave;
        QString campo;
        QString rotulo;
    };

    TextoFila(const QString& nombre, const QString& titulo, const QString& ayuda, Grid* cuadricula,
              const QString& conexion, Destino destino, QWidget* parent = nullptr);

    QPlainTextEdit* caja() const { return caja_; }
    // Clave de la fila cuyo texto enseña la caja; 0 si no enseña ninguna.
    long long clave() const { return clave_; }

    // Guarda lo escrito si ha cambiado. Si el almacén no lo acepta avisa, lo escrito sigue en la
    // caja y devuelve false. Si otro ha cambiado el texto desde que se leyó, no lo pisa: avisa,
    // enseña el suyo y devuelve false.
    bool guardar();
    // Guarda lo pendiente y pasa a la fila actual de la cuadrícula (tras releerla, por ejemplo).
    void seguirFila();

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;
    void hideEvent(QHideEvent* evento) override;

private:
    void enlazar(int fila);

    Grid* cuadricula_;
    QString conexion_;
    Destino destino_;
    QLabel* rotulo_ = nullptr;
    QPlainTextEdit* caja_ = nullptr;
    long long clave_ = 0;
    QVariant leido_;        // el texto guardado cuando se leyó (o se guardó) por última vez
    bool retenida_ = false; // se acaba de enseñar el texto de otro: no se sigue a la fila siguiente
};
