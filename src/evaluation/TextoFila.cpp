#include "evaluation/TextoFila.h"

#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "shell/Rutinas.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"
#include "store/ErrorBD.h"
#include "store/EscrituraFila.h"
#include "store/Recordset.h"

#include <QEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <utility>

TextoFila::TextoFila(const QString& nombre, const QString& titulo, const QString& ayuda, Grid* cuadricula,
                     const QString& conexion, Destino destino, QWidget* parent)
    : QWidget(parent), cuadricula_(cuadricula), conexion_(conexion), destino_(std::move(destino))
{
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);
    caja_ = new QPlainTextEdit;
    caja_->setObjectName(nombre);
    caja_->setPlaceholderText(ayuda);
    caja_->setTabChangesFocus(true);
    // Unas tres líneas a la vista; lo que pase de ahí se lee bajando.
    caja_->setFixedHeight(caja_->fontMetrics().lineSpacing() * 3 + 2 * caja_->frameWidth() + 8);
    caja_->installEventFilter(this);
    auto* cabecera = new QHBoxLayout;
    QLabel* etiqueta = Kit::etiqueta(titulo, caja_);
    rotulo_ = new QLabel;
    rotulo_->setObjectName(nombre + "Fila");
    rotulo_->setForegroundRole(QPalette::PlaceholderText);
    rotulo_->setTextFormat(Qt::PlainText);
    cabecera->addWidget(etiqueta);
    cabecera->addWidget(rotulo_, 1);
    v->addLayout(cabecera);
    v->addWidget(caja_);
    caja_->setEnabled(false);

    connect(cuadricula_, &Grid::currentRowChanged, this, [this](int fila) {
        if (!caja_->hasFocus())
            ProtegerRanura(
                [this, fila] {
                    // Tras avisar de que otro había cambiado el texto, la caja se queda con el suyo
                    // a la vista aunque el clic que la dejó haya movido la fila de la cuadrícula.
                    if (std::exchange(retenida_, false))
                        return;
                    if (guardar())
                        enlazar(fila);
                },
                this);
    });
}

void TextoFila::enlazar(int fila)
{
    DataSource* origen = cuadricula_->dataSource();
    const long long clave =
        origen && origen->isOpen() && fila >= 0 ? origen->fieldValue(fila, destino_.clave).toLongLong() : 0;
    if (clave == clave_)
        return;
    QString texto, rotulo;
    if (clave != 0) {
        // Se lee lo guardado, no la copia de la cuadrícula, que no se entera de lo que escribe la caja.
        Recordset rs;
        rs.open("SELECT " + destino_.campo + " FROM " + destino_.origen + " WHERE " + destino_.clave + " = ?",
                conexion_, {clave});
        leido_ = QVariant();
        if (!rs.eof()) {
            leido_ = rs.value(0);
            texto = NuloATexto(leido_).toString();
        }
        rotulo = NuloATexto(origen->fieldValue(fila, destino_.rotulo)).toString();
    }
    clave_ = clave;
    caja_->setPlainText(texto);
    caja_->document()->setModified(false);
    rotulo_->setText(rotulo.isEmpty() ? QString() : QStringLiteral("(%1)").arg(rotulo));
    rotulo_->setToolTip(rotulo);
    caja_->setEnabled(clave != 0);
}

bool TextoFila::guardar()
{
    if (clave_ == 0 || !caja_->document()->isModified())
        return true;
    const QString texto = caja_->toPlainText();
    try {
        // Sólo blancos es no haber escrito nada: no queda un párrafo vacío en el documento.
        const QVariant nuevo = texto.trimmed().isEmpty() ? QVariant() : QVariant(texto);
        // Sólo si el texto guardado sigue siendo el que se leyó: el de otro técnico que lo ha
        // cambiado entretanto no se pisa. (No se mira la versión de la fila: los grados que guarda
        // la cuadrícula de esta misma ventana la cambian, y no son otro usuario.)
        const QString sql = "UPDATE " + destino_.origen + " SET " + destino_.campo + " = ? WHERE " + destino_.clave +
                            " = ? AND " + destino_.campo + " IS NOT DISTINCT FROM ?";
        if (Recordset::execute(sql, conexion_, {nuevo, clave_, leido_}) == 0) {
            Recordset rs;
            rs.open("SELECT " + destino_.campo + " FROM " + destino_.origen + " WHERE " + destino_.clave + " = ?",
                    conexion_, {clave_});
            // Una fila que ya no está no tiene dónde guardar nada: no es un fallo.
            if (!rs.eof()) {
                leido_ = rs.value(0);
                caja_->setPlainText(NuloATexto(leido_).toString());
                caja_->document()->setModified(false);
                retenida_ = true;
                throw filaModificada(sql);
            }
        }
        leido_ = nuevo;
    } catch (const ErrorBD& e) {
        if (e.numero() == NumeroError::BaseDanada)
            OfrecerReparacion(this);
        MostrarErrorGeneral(e.numero(), e.descripcion(), this);
        return false;
    }
    caja_->document()->setModified(false);
    return true;
}

void TextoFila::seguirFila()
{
    if (guardar())
        enlazar(cuadricula_->currentRow());
}

bool TextoFila::eventFilter(QObject* objeto, QEvent* evento)
{
    if (objeto == caja_ && evento->type() == QEvent::FocusIn)
        retenida_ = false;
    if (objeto == caja_ && evento->type() == QEvent::FocusOut) {
        // Un menú de la propia caja no es salir de ella.
        const bool menu = static_cast<QFocusEvent*>(evento)->reason() == Qt::PopupFocusReason;
        ProtegerRanura(
            [this, menu] {
                if (menu)
                    guardar();
                else
                    seguirFila();
            },
            this);
    }
    return QWidget::eventFilter(objeto, evento);
}

void TextoFila::hideEvent(QHideEvent* evento)
{
    ProtegerRanura([this] { guardar(); }, this);
    QWidget::hideEvent(evento);
}
