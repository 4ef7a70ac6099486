#pragma once

#include "store/EstadoCentros.h"

#include <QAbstractTableModel>
#include <QDate>
#include <vector>

// Los centros de la vista de resumen, una fila cada uno. El papel RolOrden da el valor por el que
// se ordena cada columna (las fechas como fechas, los números como números, el estado por su paso).
class ModeloResumenCentros : public QAbstractTableModel
{
public:
    enum Columna
    {
        ColEmpresa,
        ColCentro,
        ColEstado,
        ColFechaEvaluacion,
        ColRevision,
        ColPendientes,
        ColVencidas,
        ColHechas,
        ColPresupuesto,
        NumColumnas
    };
    static constexpr int RolOrden = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    void poner(std::vector<EstadoCentro> centros, const QDate& hoy);
    const EstadoCentro& centro(int fila) const { return centros_[size_t(fila)]; }
    // Empresa y centro sin acentos y en minúsculas, para buscar.
    const QString& textoBusqueda(int fila) const { return busqueda_[size_t(fila)]; }
    const QDate& hoy() const { return hoy_; }
    // Puesto de la fila en el orden por empresa y centro, y en el orden por centro y empresa, como
    // en un índice en castellano (sin distinguir mayúsculas). Se calculan una vez al leer.
    int rangoNombre(int fila) const { return rangoNombre_[size_t(fila)]; }
    int rangoCentro(int fila) const { return rangoCentro_[size_t(fila)]; }

    int rowCount(const QModelIndex& padre = {}) const override;
    int columnCount(const QModelIndex& padre = {}) const override;
    QVariant data(const QModelIndex& indice, int papel) const override;
    QVariant headerData(int seccion, Qt::Orientation orientacion, int papel) const override;

    static QString textoPaso(PasoPendiente paso);
    // Colores de una revisión vencida (el de alarma de las líneas vencidas del plan) y de una que
    // vence en los próximos 30 días.
    static QColor colorAlarma();
    static QColor colorAviso();

private:
    void ordenar();
    // Pone el estado de cada fila si los centros y sus nombres son los que ya hay; si no, nada.
    bool cambiarEnSuSitio(std::vector<EstadoCentro>& centros, const QDate& hoy);

    std::vector<EstadoCentro> centros_;
    std::vector<QString> busqueda_;
    std::vector<int> rangoNombre_, rangoCentro_;
    QDate hoy_;
};
