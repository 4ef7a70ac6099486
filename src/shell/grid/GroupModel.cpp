#include "shell/grid/GroupModel.h"

#include "shell/grid/DataSource.h"
#include "shell/grid/GridColumn.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QPixmap>
#include <QTimer>
#include <algorithm>

struct GroupModel::Nodo
{
    Nodo* padre = nullptr;
    int fila = 0;     // posición dentro del padre
    int origen = -1;  // fila del origen (sólo en las filas de datos)
    int columna = -1; // columna agrupada (sólo en los grupos)
    QString valor;    // texto del grupo
    int total = 0;    // filas de datos debajo del grupo
    std::vector<std::unique_ptr<Nodo>> hijos;
};

namespace {
QString claveGrupo(DataSource* origen, int fila, int columna)
{
    const QModelIndex i = origen->index(fila, columna);
    // Las casillas no tienen texto: se agrupan por "Marcado" / "Sin marcar".
    if (origen->columns().value(columna).presentation == GridColumn::Presentation::CheckBox)
        return i.data(Qt::AccessibleTextRole).toString();
    return i.data(Qt::DisplayRole).toString();
}
} // namespace

GroupModel::GroupModel(DataSource* origen, QObject* parent)
    : QAbstractItemModel(parent), origen_(origen), raiz_(std::make_unique<Nodo>())
{
    connect(origen_, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        if (!reconstruyendo_)
            beginResetModel();
    });
    connect(origen_, &QAbstractItemModel::modelReset, this, [this] {
        if (reconstruyendo_)
            return;
        construir();
        endResetModel();
    });
    connect(origen_, &QAbstractItemModel::rowsInserted, this, [this] {
        if (!reconstruyendo_)
            reconstruirLuego();
    });
    connect(origen_, &QAbstractItemModel::dataChanged, this, &GroupModel::cambiaronDatos);
    connect(origen_, &DataSource::currentRowChanged, this, &GroupModel::cambioFilaActual);
    construir();
}

GroupModel::~GroupModel() = default;

DataSource* GroupModel::source() const
{
    return origen_;
}

const QList<int>& GroupModel::groupColumns() const
{
    return columnas_;
}

void GroupModel::setGroupColumns(const QList<int>& columnas)
{
    columnas_ = columnas;
    reconstruir();
}

void GroupModel::reconstruir()
{
    beginResetModel();
    construir();
    endResetModel();
}

// Un cambio en una columna agrupada cambia de grupo la fila: se rehace el árbol cuando termine
// lo que esté en curso (la edición que lo ha provocado).
void GroupModel::reconstruirLuego()
{
    if (pendiente_)
        return;
    pendiente_ = true;
    QTimer::singleShot(0, this, [this] {
        pendiente_ = false;
        reconstruir();
    });
}

void GroupModel::construir()
{
    raiz_ = std::make_unique<Nodo>();
    hojas_.clear();
    filaMarcada_ = origen_->currentRow();
    const int columnasOrigen = origen_->columnCount();
    QList<int> validas;
    for (int c : columnas_)
        if (c >= 0 && c < columnasOrigen && !validas.contains(c))
            validas << c;
    columnas_ = validas;
    if (!columnas_.isEmpty()) {
        reconstruyendo_ = true;
        origen_->fetchAll();
        reconstruyendo_ = false;
    }
    const int filas = origen_->rowCount();
    hojas_.assign(size_t(filas), nullptr);
    QHash<Nodo*, QHash<QString, Nodo*>> grupos;
    for (int f = 0; f < filas; ++f) {
        Nodo* padre = raiz_.get();
        for (int c : columnas_) {
            const QString clave = claveGrupo(origen_, f, c);
            Nodo*& grupo = grupos[padre][clave];
            if (!grupo) {
                auto nuevo = std::make_unique<Nodo>();
                nuevo->padre = padre;
                nuevo->columna = c;
                nuevo->valor = clave;
                grupo = nuevo.get();
                padre->hijos.push_back(std::move(nuevo));
            }
            ++grupo->total;
            padre = grupo;
        }
        auto hoja = std::make_unique<Nodo>();
        hoja->padre = padre;
        hoja->origen = f;
        hojas_[size_t(f)] = hoja.get();
        padre->hijos.push_back(std::move(hoja));
    }
    // Los grupos, por orden alfabético; las filas de datos, en el orden del origen.
    std::vector<Nodo*> pila{raiz_.get()};
    while (!pila.empty()) {
        Nodo* n = pila.back();
        pila.pop_back();
        if (!n->hijos.empty() && n->hijos.front()->origen < 0)
            std::stable_sort(n->hijos.begin(), n->hijos.end(), [](const auto& a, const auto& b) {
                return QString::localeAwareCompare(a->valor, b->valor) < 0;
            });
        for (size_t i = 0; i < n->hijos.size(); ++i) {
            n->hijos[i]->fila = int(i);
            pila.push_back(n->hijos[i].get());
        }
    }
}

GroupModel::Nodo* GroupModel::nodo(const QModelIndex& indice) const
{
    return indice.isValid() ? static_cast<Nodo*>(indice.internalPointer()) : raiz_.get();
}

QModelIndex GroupModel::index(int fila, int columna, const QModelIndex& padre) const
{
    if (!hasIndex(fila, columna, padre))
        return {};
    Nodo* p = nodo(padre);
    return createIndex(fila, columna, p->hijos[size_t(fila)].get());
}

QModelIndex GroupModel::parent(const QModelIndex& hijo) const
{
    if (!hijo.isValid())
        return {};
    Nodo* p = nodo(hijo)->padre;
    if (!p || p == raiz_.get())
        return {};
    return createIndex(p->fila, 0, p);
}

int GroupModel::rowCount(const QModelIndex& padre) const
{
    if (padre.isValid() && padre.column() > 0)
        return 0;
    return int(nodo(padre)->hijos.size());
}

int GroupModel::columnCount(const QModelIndex&) const
{
    return origen_->columnCount();
}

bool GroupModel::hasChildren(const QModelIndex& padre) const
{
    return rowCount(padre) > 0;
}

int GroupModel::sourceRow(const QModelIndex& indice) const
{
    if (!indice.isValid() || indice.model() != this)
        return -1;
    return nodo(indice)->origen;
}

bool GroupModel::isGroupRow(const QModelIndex& indice) const
{
    return indice.isValid() && indice.model() == this && nodo(indice)->origen < 0;
}

QModelIndex GroupModel::indexOfSourceRow(int fila, int columna) const
{
    if (fila < 0 || fila >= int(hojas_.size()) || columna < 0 || columna >= columnCount())
        return {};
    Nodo* h = hojas_[size_t(fila)];
    return createIndex(h->fila, columna, h);
}

QVariant GroupModel::data(const QModelIndex& indice, int papel) const
{
    if (!indice.isValid() || indice.model() != this)
        return {};
    const Nodo* n = nodo(indice);
    if (n->origen >= 0) {
        if (indice.column() == 0 && papel == Qt::DecorationRole) {
            // La marca de fila actual hace aquí de selector de registro; las demás filas llevan un
            // hueco igual para que el texto no baile.
            const QVariant marca = origen_->headerData(n->origen, Qt::Vertical, Qt::DecorationRole);
            if (marca.isValid())
                return marca;
            QPixmap hueco(8, 10);
            hueco.fill(Qt::transparent);
            return hueco;
        }
        return origen_->index(n->origen, indice.column()).data(papel);
    }
    switch (papel) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        if (indice.column() != 0)
            return QString();
        return tr("%1: %2 (%3)")
            .arg(QString(origen_->columns().value(n->columna).caption).replace('\n', ' '),
                 n->valor.isEmpty() ? tr("(vacío)") : n->valor)
            .arg(n->total);
    case Qt::FontRole: {
        QFont f;
        f.setBold(true);
        return f;
    }
    case Qt::BackgroundRole:
        return QBrush(QColor(0xE4, 0xEA, 0xF4));
    case GridRole::SourceRow:
        return -1;
    default:
        return {};
    }
}

bool GroupModel::setData(const QModelIndex& indice, const QVariant& valor, int papel)
{
    const int f = sourceRow(indice);
    if (f < 0)
        return false;
    return origen_->setData(origen_->index(f, indice.column()), valor, papel);
}

Qt::ItemFlags GroupModel::flags(const QModelIndex& indice) const
{
    if (!indice.isValid() || indice.model() != this)
        return Qt::NoItemFlags;
    const int f = sourceRow(indice);
    if (f < 0)
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return origen_->flags(origen_->index(f, indice.column()));
}

QVariant GroupModel::headerData(int seccion, Qt::Orientation orientacion, int papel) const
{
    if (orientacion != Qt::Horizontal)
        return {};
    return origen_->headerData(seccion, orientacion, papel);
}

void GroupModel::cambiaronDatos(const QModelIndex& desde, const QModelIndex& hasta)
{
    if (reconstruyendo_ || !desde.isValid())
        return;
    bool cambiaGrupo = false;
    for (int f = desde.row(); f <= hasta.row() && f < int(hojas_.size()); ++f) {
        Nodo* h = hojas_[size_t(f)];
        emit dataChanged(createIndex(h->fila, desde.column(), h), createIndex(h->fila, hasta.column(), h));
        for (Nodo* g = h->padre; g && g != raiz_.get(); g = g->padre)
            if (g->columna >= desde.column() && g->columna <= hasta.column() &&
                claveGrupo(origen_, f, g->columna) != g->valor)
                cambiaGrupo = true;
    }
    if (cambiaGrupo)
        reconstruirLuego();
}

void GroupModel::cambioFilaActual(int fila)
{
    const int anterior = filaMarcada_;
    filaMarcada_ = fila;
    for (int f : {anterior, fila}) {
        if (f < 0 || f >= int(hojas_.size()))
            continue;
        Nodo* h = hojas_[size_t(f)];
        const QModelIndex i = createIndex(h->fila, 0, h);
        emit dataChanged(i, i, {Qt::DecorationRole, GridRole::CurrentRow});
    }
}
