#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QList>
#include <QTimer>

class DocumentoInforme;

// Vista previa de un documento de informe: las hojas una debajo de otra, con zoom, ajuste al ancho
// o a la página y paso de hoja. Sólo pinta las hojas que se ven (y guarda unas pocas ya pintadas),
// y el documento se termina de componer por partes con la ventana ya abierta: la primera hoja se
// ve enseguida aunque el documento tenga cientos.
class VistaPreviaInforme : public QAbstractScrollArea
{
    Q_OBJECT

public:
    enum class Ajuste
    {
        Libre,
        Ancho,
        Pagina
    };

    explicit VistaPreviaInforme(QWidget* parent = nullptr);
    ~VistaPreviaInforme() override;

    // El documento no pasa a ser de la vista: quien lo da lo mantiene vivo mientras se vea.
    void setDocumento(const DocumentoInforme* documento);
    const DocumentoInforme* documento() const { return documento_; }
    // Vuelve a pintar las hojas (el documento ha cambiado).
    void updatePreview();

    // Hojas que se conocen: mientras se compone el documento, las compuestas hasta ahora.
    int pageCount() const;
    bool composicionTerminada() const;
    // Termina de componer el documento ya (para ir a la última hoja, por ejemplo).
    void completar();
    // Hoja que más se ve (desde 1; 0 sin documento).
    int currentPage() const { return actual_; }
    void setCurrentPage(int pagina);

    // 1 es el tamaño real en la pantalla.
    qreal zoomFactor() const { return zoom_; }
    void setZoomFactor(qreal factor);
    void zoomIn(qreal factor = 1.25);
    void zoomOut(qreal factor = 1.25);
    void fitToWidth();
    void fitInView();
    Ajuste ajuste() const { return ajuste_; }

signals:
    // Cambia la hoja actual, el número de hojas o el zoom.
    void previewChanged();

protected:
    void paintEvent(QPaintEvent* evento) override;
    void resizeEvent(QResizeEvent* evento) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* evento) override;

private:
    struct HojaPintada
    {
        int pagina = 0;
        qreal zoom = 0;
        qreal ratio = 0;
        QImage imagen;
    };

    QSizeF tamanoHoja() const; // a zoom 1, en píxeles de la pantalla
    QSize tamanoHojaVista() const;
    int alto() const; // todo el contenido
    int arribaDe(int pagina) const;
    void recolocar();
    void calcularActual();
    void seguirComponiendo();
    void composicionAcabada();
    void aplicarAjuste();
    // Fija el ajuste y vuelve a colocar las hojas sin perder la página actual.
    void ajustar(Ajuste ajuste);
    const QImage& hoja(int pagina);

    const DocumentoInforme* documento_ = nullptr;
    qreal zoom_ = 1.0;
    Ajuste ajuste_ = Ajuste::Ancho;
    int actual_ = 0;
    bool moviendo_ = false;
    QList<HojaPintada> pintadas_; // la más reciente al final
    QTimer composicion_;
};
