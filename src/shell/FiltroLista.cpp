#include "shell/FiltroLista.h"

#include "shell/TextoBusqueda.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <vector>

// Entre la lista y sus entradas: deja pasar las que tienen las palabras buscadas. Sin palabras
// deja pasar todas sin leer ninguna, así que una lista que lee sus entradas a medida que se
// pintan sigue haciéndolo.
class ListaFiltrada : public QSortFilterProxyModel
{
public:
    explicit ListaFiltrada(QObject* padre) : QSortFilterProxyModel(padre) {}

    void poner(QAbstractItemModel* entradas)
    {
        setSourceModel(entradas);
        // Antes de que el filtro vuelva a mirar las entradas nuevas.
        connect(entradas, &QAbstractItemModel::modelAboutToBeReset, this, [this] { textos_.clear(); });
        connect(entradas, &QAbstractItemModel::rowsInserted, this, [this] { textos_.clear(); });
        connect(entradas, &QAbstractItemModel::rowsRemoved, this, [this] { textos_.clear(); });
        connect(entradas, &QAbstractItemModel::dataChanged, this, [this] { textos_.clear(); });
    }

    void buscar(const QString& escrito)
    {
        const QStringList palabras = PalabrasBuscadas(escrito);
        if (palabras == palabras_)
            return;
        palabras_ = palabras;
        invalidateRowsFilter();
    }

    bool buscando() const { return !palabras_.isEmpty(); }

protected:
    bool filterAcceptsRow(int fila, const QModelIndex& padre) const override
    {
        if (palabras_.isEmpty() || padre.isValid())
            return true;
        if (textos_.size() != size_t(sourceModel()->rowCount()))
            textos_.assign(size_t(sourceModel()->rowCount()), QString());
        QString& texto = textos_[size_t(fila)];
        if (texto.isNull())
            texto = QLatin1Char(' ') + TextoParaBuscar(sourceModel()->index(fila, 0).data().toString());
        return ContieneTodas(texto, palabras_);
    }

private:
    QStringList palabras_;
    mutable std::vector<QString> textos_;
};

FiltroLista::FiltroLista(const QString& nombre, QComboBox* lista, QWidget* parent)
    : CajaBusqueda(nombre,
                   {.etiqueta = QStringLiteral("B&uscar:"),
                    .ejemplo = QStringLiteral("Parte del nombre, sin acentos si quiere"),
                    .accesible = QStringLiteral("Buscar en la lista de nombres"),
                    .nota = QStringLiteral("Deja en la lista desplegable sólo los nombres que tienen todas las "
                                           "palabras escritas. Intro la despliega; Escape vuelve a enseñar todos.")},
                   parent),
      lista_(lista)
{
    filtro_ = new ListaFiltrada(this);
    filtro_->poner(lista_->model());
    // Lo que el usuario escribe en la lista sigue siendo suyo: cambiar de modelo no lo borra.
    const QString escrito = lista_->currentText();
    {
        const QSignalBlocker bloqueo(lista_);
        lista_->setModel(filtro_);
        if (lista_->isEditable())
            lista_->setEditText(escrito);
    }

    encontradas_ = new QLabel;
    encontradas_->setObjectName(nombre + QStringLiteral("Encontradas"));
    linea()->addWidget(encontradas_);
    connect(filtro_, &QAbstractItemModel::modelReset, this, [this] { contar(); });
}

void FiltroLista::buscar(const QString& texto)
{
    // Al quitar o volver las entradas la lista cambiaría su texto por otra entrada, y ese texto es
    // el nombre que se guarda: se queda lo que había.
    const QString escrito = lista_->currentText();
    QLineEdit* edicion = lista_->lineEdit();
    const int cursor = edicion ? edicion->cursorPosition() : 0;
    {
        const QSignalBlocker bloqueo(lista_);
        filtro_->buscar(texto);
        if (edicion && lista_->currentText() != escrito) {
            lista_->setEditText(escrito);
            edicion->setCursorPosition(cursor);
        }
    }
    contar();
}

bool FiltroLista::pasar()
{
    if (!lista_->isEnabled() || filtro_->rowCount() == 0)
        return false;
    lista_->showPopup();
    return true;
}

int FiltroLista::vistas() const
{
    return filtro_->rowCount();
}

void FiltroLista::contar()
{
    if (!filtro_->buscando()) {
        encontradas_->clear();
        return;
    }
    const int n = filtro_->rowCount();
    encontradas_->setText(n == 1 ? QStringLiteral("1 encontrada") : QStringLiteral("%1 encontradas").arg(n));
}
