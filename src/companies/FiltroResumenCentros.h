#pragma once

#include <QSortFilterProxyModel>
#include <QStringList>

class ModeloResumenCentros;

// Lo que se ve de la vista de resumen: los centros cuya empresa o nombre contienen todas las palabras
// buscadas (sin distinguir mayúsculas ni acentos) y que cumplen cada filtro rápido marcado.
class FiltroResumenCentros : public QSortFilterProxyModel
{
public:
    explicit FiltroResumenCentros(ModeloResumenCentros* modelo, QObject* padre = nullptr);

    void buscar(const QString& escrito);
    void soloSinTerminar(bool activo);
    void soloRevisionVencida(bool activo);
    void soloAccionesVencidas(bool activo);

protected:
    bool filterAcceptsRow(int fila, const QModelIndex& padre) const override;
    bool lessThan(const QModelIndex& izquierda, const QModelIndex& derecha) const override;

private:
    void cambiar(bool& filtro, bool activo);

    ModeloResumenCentros* modelo_;
    QStringList palabras_;
    bool sinTerminar_ = false, revisionVencida_ = false, accionesVencidas_ = false;
};
