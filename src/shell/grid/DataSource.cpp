#include "shell/grid/DataSource.h"

#include "store/ErrorBD.h"
#include "store/Recordset.h"

#include <QApplication>
#include <QObject>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPolygon>
#include <QtDebug>

namespace {
// Un nulo y un texto vacío son lo mismo para quien edita: salir de una celda vacía sin escribir
// nada no es un cambio.
bool mismoValor(const QVariant& a, const QVariant& b)
{
    const bool vacioA = a.isNull() || (a.typeId() == QMetaType::QString && a.toString().isEmpty());
    const bool vacioB = b.isNull() || (b.typeId() == QMetaType::QString && b.toString().isEmpty());
    if (vacioA || vacioB)
        return vacioA == vacioB;
    if (a.typeId() == b.typeId())
        return a == b;
    return a.toString() == b.toString();
}

// Marca del selector de registro: un triángulo hacia la derecha en la fila actual.
QPixmap marcaFilaActual()
{
    static QPixmap marca;
    if (marca.isNull()) {
        marca = QPixmap(8, 10);
        marca.fill(Qt::transparent);
        QPainter p(&marca);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QApplication::palette().color(QPalette::WindowText));
        p.drawPolygon(QPolygon({QPoint(1, 0), QPoint(7, 5), QPoint(1, 10)}));
    }
    return marca;
}
} // namespace

struct DataSource::Datos
{
    QString conexion;
    QString sql;
    QVariantList parametros;
    std::unique_ptr<Recordset> rs = std::make_unique<Recordset>();
    bool abierto = false;
    bool completo = true;
    std::vector<QVariantList> filas; // todos los campos de cada fila leída
    QVector<GridColumn> columnas;
    std::vector<int> campo; // índice del campo de cada columna, -1 si no está en el conjunto
    int actual = -1;
    int lote = 256;
    quint64 generacion = 0; // cambia con cada lectura nueva
    bool enCambio = false;

    int indiceDe(int columna) const
    {
        return columna >= 0 && columna < int(campo.size()) ? campo[size_t(columna)] : -1;
    }
    void resolverCampos()
    {
        campo.clear();
        for (const GridColumn& c : columnas) {
            const int i = abierto ? rs->fieldIndex(c.field) : -1;
            if (abierto && i < 0)
                qWarning("La columna «%s» no tiene el campo «%s» en el conjunto de registros",
                         qUtf8Printable(c.caption), qUtf8Printable(c.field));
            campo.push_back(i);
        }
    }
};

DataSource::DataSource(QObject* parent) : QAbstractTableModel(parent), d(std::make_unique<Datos>())
{
}

DataSource::~DataSource() = default;

void DataSource::setConnectionString(const QString& conexion)
{
    d->conexion = conexion;
}

const QString& DataSource::connectionString() const
{
    return d->conexion;
}

void DataSource::setRecordSource(const QString& sql, const QVariantList& parametros)
{
    d->sql = sql;
    d->parametros = parametros;
}

const QString& DataSource::recordSource() const
{
    return d->sql;
}

bool DataSource::isOpen() const
{
    return d->abierto;
}

Recordset& DataSource::recordset()
{
    return *d->rs;
}

void DataSource::setFetchBatch(int filas)
{
    d->lote = qMax(1, filas);
}

void DataSource::refresh()
{
    beginResetModel();
    ++d->generacion;
    d->filas.clear();
    d->actual = -1;
    d->completo = true;
    d->abierto = false;
    try {
        d->rs->open(d->sql, d->conexion, d->parametros);
        d->abierto = true;
        d->completo = false;
        d->resolverCampos();
        std::vector<QVariantList> primeras;
        leerFilas(d->lote, primeras);
        d->filas = std::move(primeras);
        if (!d->filas.empty()) {
            d->rs->setAbsolutePosition(1);
            d->actual = 0;
        }
    } catch (...) {
        d->filas.clear();
        d->actual = -1;
        d->completo = true;
        d->abierto = false;
        d->rs->close();
        d->resolverCampos();
        endResetModel();
        emit currentRowChanged(-1);
        throw;
    }
    endResetModel();
    emit currentRowChanged(d->actual);
}

bool DataSource::isEmpty() const
{
    return d->filas.empty() && d->completo;
}

// Lee hasta "maximo" filas detrás de las ya leídas, sin mover la fila actual del conjunto.
int DataSource::leerFilas(int maximo, std::vector<QVariantList>& salida)
{
    if (!d->abierto || d->completo || maximo <= 0)
        return 0;
    // Con cambios a medias el conjunto no se mueve: se escribirían en otra fila.
    if (d->rs->editing())
        return 0;
    Recordset& rs = *d->rs;
    long volver = rs.absolutePosition();
    if (volver < 1 && d->actual >= 0)
        volver = d->actual + 1;
    const long primera = long(d->filas.size() + salida.size()) + 1;
    int leidas = 0;
    try {
        try {
            rs.setAbsolutePosition(primera);
        } catch (const ErrorBD& e) {
            if (e.numero() != NumeroError::ArgumentoNoValido)
                throw;
            d->completo = true;
        }
        while (!d->completo && leidas < maximo) {
            QVariantList fila;
            fila.reserve(rs.fieldCount());
            for (int i = 0; i < rs.fieldCount(); ++i)
                fila << rs.value(i);
            salida.push_back(std::move(fila));
            ++leidas;
            rs.moveNext();
            if (rs.eof())
                d->completo = true;
        }
    } catch (...) {
        d->completo = true;
        if (volver > 0)
            try {
                rs.setAbsolutePosition(volver);
            } catch (...) {
            }
        throw;
    }
    if (volver > 0)
        rs.setAbsolutePosition(volver);
    return leidas;
}

void DataSource::anadirFilas(int maximo)
{
    std::vector<QVariantList> nuevas;
    try {
        leerFilas(maximo, nuevas);
    } catch (const ErrorBD& e) {
        avisarFallo(e.numero(), e.descripcion());
    }
    if (nuevas.empty())
        return;
    const int desde = int(d->filas.size());
    beginInsertRows({}, desde, desde + int(nuevas.size()) - 1);
    for (auto& f : nuevas)
        d->filas.push_back(std::move(f));
    endInsertRows();
}

void DataSource::fetchAll()
{
    while (d->abierto && !d->completo) {
        const size_t antes = d->filas.size();
        anadirFilas(4096);
        if (d->filas.size() == antes)
            break;
    }
}

bool DataSource::canFetchMore(const QModelIndex& padre) const
{
    return !padre.isValid() && d->abierto && !d->completo;
}

void DataSource::fetchMore(const QModelIndex& padre)
{
    if (!padre.isValid())
        anadirFilas(d->lote);
}

void DataSource::setColumns(const QVector<GridColumn>& columnas)
{
    beginResetModel();
    d->columnas = columnas;
    d->resolverCampos();
    endResetModel();
    // La vista pierde su fila actual con el reinicio: se le vuelve a decir cuál es.
    emit currentRowChanged(d->actual);
}

const QVector<GridColumn>& DataSource::columns() const
{
    return d->columnas;
}

int DataSource::currentRow() const
{
    return d->actual;
}

void DataSource::setCurrentRow(int fila)
{
    colocar(fila);
}

void DataSource::colocar(int fila)
{
    if (fila == d->actual || !d->abierto)
        return;
    if (fila < 0)
        throw ErrorBD(NumeroError::ArgumentoNoValido, QObject::tr("La fila %1 no existe.").arg(fila));
    escribirPendiente();
    while (fila >= int(d->filas.size()) && !d->completo) {
        const size_t antes = d->filas.size();
        anadirFilas(qMax(d->lote, fila + 1 - int(d->filas.size())));
        if (d->filas.size() == antes)
            break;
    }
    if (fila >= int(d->filas.size()))
        throw ErrorBD(NumeroError::ArgumentoNoValido, QObject::tr("La fila %1 no existe.").arg(fila));
    d->rs->setAbsolutePosition(fila + 1);
    const int anterior = d->actual;
    d->actual = fila;
    if (anterior >= 0 && anterior < int(d->filas.size())) {
        emit headerDataChanged(Qt::Vertical, anterior, anterior);
        repintarFila(anterior);
    }
    emit headerDataChanged(Qt::Vertical, fila, fila);
    repintarFila(fila);
    emit currentRowChanged(fila);
}

void DataSource::followRecordset()
{
    if (!d->abierto)
        return;
    const long posicion = d->rs->absolutePosition();
    if (posicion < 1 || posicion - 1 == d->actual)
        return;
    while (posicion > long(d->filas.size()) && !d->completo) {
        const size_t antes = d->filas.size();
        anadirFilas(int(posicion - long(d->filas.size())));
        if (d->filas.size() == antes)
            break;
    }
    if (posicion > long(d->filas.size()))
        return;
    const int anterior = d->actual;
    d->actual = int(posicion - 1);
    if (anterior >= 0) {
        emit headerDataChanged(Qt::Vertical, anterior, anterior);
        repintarFila(anterior);
    }
    emit headerDataChanged(Qt::Vertical, d->actual, d->actual);
    repintarFila(d->actual);
    emit currentRowChanged(d->actual);
}

// Lo que la ventana haya dejado puesto en el conjunto y sin escribir se escribe antes de moverse,
// como hace el propio conjunto de registros al cambiar de fila.
void DataSource::escribirPendiente()
{
    if (!d->abierto || !d->rs->editing())
        return;
    try {
        d->rs->update();
    } catch (const ErrorBD& e) {
        d->rs->cancelUpdate();
        reloadCurrentRow();
        avisarFallo(e.numero(), e.descripcion());
        return;
    }
    reloadCurrentRow();
}

QVariantList DataSource::leerFilaActual()
{
    QVariantList fila;
    Recordset& rs = *d->rs;
    for (int i = 0; i < rs.fieldCount(); ++i)
        fila << rs.value(i);
    return fila;
}

void DataSource::reloadCurrentRow()
{
    if (!d->abierto || d->actual < 0 || d->actual >= int(d->filas.size()))
        return;
    try {
        d->filas[size_t(d->actual)] = leerFilaActual();
    } catch (const ErrorBD&) {
        // Sin registro actual se queda lo último que se leyó.
    }
    repintarFila(d->actual);
}

void DataSource::repintarFila(int fila)
{
    if (fila >= 0 && fila < int(d->filas.size()) && !d->columnas.isEmpty())
        emit dataChanged(index(fila, 0), index(fila, int(d->columnas.size()) - 1));
}

void DataSource::avisarFallo(long numero, const QString& descripcion)
{
    emit writeFailed(numero, descripcion);
}

QVariant DataSource::cellValue(int fila, int columna) const
{
    const int i = d->indiceDe(columna);
    if (i < 0 || fila < 0 || fila >= int(d->filas.size()))
        return {};
    return d->filas[size_t(fila)].value(i);
}

QVariant DataSource::fieldValue(int fila, const QString& campo) const
{
    if (!d->abierto || fila < 0 || fila >= int(d->filas.size()))
        return {};
    return d->filas[size_t(fila)].value(d->rs->fieldIndex(campo));
}

void DataSource::setCellValue(int columna, const QVariant& valor)
{
    const int i = d->indiceDe(columna);
    if (!d->abierto || d->actual < 0)
        throw ErrorBD(NumeroError::SinRegistroActual, QObject::tr("No hay fila actual en la cuadrícula."));
    if (i < 0)
        throw ErrorBD(NumeroError::ElementoNoEncontrado,
                      QObject::tr("La columna %1 no tiene campo en el conjunto de registros.").arg(columna));
    d->rs->setValue(d->rs->fieldName(i), valor);
    d->filas[size_t(d->actual)][i] = d->rs->value(i);
    repintarFila(d->actual);
}

bool DataSource::valido(const QModelIndex& indice) const
{
    return indice.isValid() && indice.model() == this && indice.row() < int(d->filas.size()) &&
           indice.column() < int(d->columnas.size());
}

int DataSource::rowCount(const QModelIndex& padre) const
{
    return padre.isValid() ? 0 : int(d->filas.size());
}

int DataSource::columnCount(const QModelIndex& padre) const
{
    return padre.isValid() ? 0 : int(d->columnas.size());
}

QVariant DataSource::data(const QModelIndex& indice, int papel) const
{
    if (!valido(indice))
        return {};
    switch (papel) {
    case GridRole::SourceRow:
        return indice.row();
    case GridRole::CurrentRow:
        return indice.row() == d->actual;
    default:
        return presentar(d->columnas[indice.column()], cellValue(indice.row(), indice.column()), papel);
    }
}

Qt::ItemFlags DataSource::flags(const QModelIndex& indice) const
{
    if (!valido(indice))
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    const GridColumn& c = d->columnas[indice.column()];
    if (c.readOnly || d->indiceDe(indice.column()) < 0)
        return f;
    if (c.presentation == GridColumn::Presentation::CheckBox)
        return f | Qt::ItemIsUserCheckable;
    return f | Qt::ItemIsEditable;
}

QVariant DataSource::headerData(int seccion, Qt::Orientation orientacion, int papel) const
{
    if (orientacion == Qt::Horizontal) {
        if (seccion < 0 || seccion >= d->columnas.size())
            return {};
        if (papel == Qt::DisplayRole)
            return d->columnas[seccion].caption;
        if (papel == Qt::AccessibleTextRole)
            return QString(d->columnas[seccion].caption).replace('\n', ' ');
        return {};
    }
    if (papel == Qt::DecorationRole && seccion == d->actual)
        return marcaFilaActual();
    if (papel == Qt::AccessibleTextRole)
        return seccion == d->actual ? tr("Fila actual") : QString();
    return {};
}

bool DataSource::setData(const QModelIndex& indice, const QVariant& valor, int papel)
{
    if (!valido(indice))
        return false;
    const GridColumn& c = d->columnas[indice.column()];
    QVariant nuevo;
    if (c.presentation == GridColumn::Presentation::CheckBox) {
        if (papel == Qt::CheckStateRole)
            nuevo = valor.toInt() == Qt::Checked ? MarcaSi : MarcaNo;
        else if (papel == Qt::EditRole)
            nuevo = valor.typeId() == QMetaType::Bool ? (valor.toBool() ? MarcaSi : MarcaNo) : valor;
        else
            return false;
    } else {
        if (papel != Qt::EditRole)
            return false;
        nuevo = valor;
    }
    return cambiarCelda(indice.row(), indice.column(), nuevo);
}

// Cambio de una celda hecho por el usuario: aviso previo (que puede cancelarlo), escritura de la
// fila por el conjunto de registros y aviso posterior. Nunca deja escapar una excepción: se llega
// aquí desde el bucle de eventos.
bool DataSource::cambiarCelda(int fila, int columna, QVariant nuevo)
{
    const int i = d->indiceDe(columna);
    if (d->enCambio || !d->abierto || i < 0 || d->columnas[columna].readOnly)
        return false;
    d->enCambio = true;
    struct Fin
    {
        bool& b;
        ~Fin() { b = false; }
    } fin{d->enCambio};

    const quint64 generacion = d->generacion;
    try {
        colocar(fila);
    } catch (const ErrorBD& e) {
        avisarFallo(e.numero(), e.descripcion());
        return false;
    }
    if (generacion != d->generacion || d->actual != fila)
        return false;
    const QVariant anterior = d->filas[size_t(fila)][i];
    if (mismoValor(anterior, nuevo))
        return true;

    // Mientras la ventana decide, la celda ya enseña el valor nuevo (lo lee como valor de la celda).
    d->filas[size_t(fila)][i] = nuevo;
    repintarFila(fila);
    bool cancelar = false;
    long numeroFallo = 0;
    QString textoFallo;
    try {
        emit beforeCellChange(fila, columna, anterior, nuevo, &cancelar);
    } catch (const ErrorBD& e) {
        cancelar = true;
        numeroFallo = e.numero();
        textoFallo = e.descripcion();
    } catch (const std::exception& e) {
        cancelar = true;
        numeroFallo = NumeroError::ErrorGeneral;
        textoFallo = QString::fromLocal8Bit(e.what());
    } catch (...) {
        cancelar = true;
    }
    // La ventana ha vuelto a leer el origen dentro del aviso: la fila ya no es la de antes.
    if (generacion != d->generacion)
        return false;

    Recordset& rs = *d->rs;
    const auto volverALoGuardado = [&] {
        rs.cancelUpdate();
        try {
            d->filas[size_t(fila)] = leerFilaActual();
        } catch (const ErrorBD&) {
            d->filas[size_t(fila)][i] = anterior;
        }
        repintarFila(fila);
    };
    if (cancelar) {
        volverALoGuardado();
        if (numeroFallo != 0)
            avisarFallo(numeroFallo, textoFallo);
        return false;
    }

    try {
        // Lo que haya en la celda: el valor nuevo o el que haya puesto la ventana en el aviso.
        rs.setValue(rs.fieldName(i), d->filas[size_t(fila)][i]);
        rs.update();
        d->filas[size_t(fila)] = leerFilaActual();
    } catch (const ErrorBD& e) {
        volverALoGuardado();
        avisarFallo(e.numero(), e.descripcion());
        return false;
    }
    repintarFila(fila);

    try {
        emit afterCellChange(fila, columna);
    } catch (const ErrorBD& e) {
        avisarFallo(e.numero(), e.descripcion());
    } catch (const std::exception& e) {
        avisarFallo(NumeroError::ErrorGeneral, QString::fromLocal8Bit(e.what()));
    } catch (...) {
    }
    if (generacion != d->generacion || d->actual != fila)
        return true;
    // Lo que la ventana haya puesto en el aviso posterior sin escribirlo tampoco se pierde.
    escribirPendiente();
    reloadCurrentRow();
    return true;
}
