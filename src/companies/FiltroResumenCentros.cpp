#include "companies/FiltroResumenCentros.h"

#include "companies/ModeloResumenCentros.h"
#include "shell/TextoBusqueda.h"

#include <QDate>
#include <utility>

FiltroResumenCentros::FiltroResumenCentros(ModeloResumenCentros* modelo, QObject* padre)
    : QSortFilterProxyModel(padre), modelo_(modelo)
{
    setSourceModel(modelo);
    setSortRole(ModeloResumenCentros::RolOrden);
}

void FiltroResumenCentros::buscar(const QString& escrito)
{
    const QStringList palabras = PalabrasBuscadas(escrito);
    if (palabras == palabras_)
        return;
    palabras_ = palabras;
    invalidateFilter();
}

void FiltroResumenCentros::cambiar(bool& filtro, bool activo)
{
    if (filtro == activo)
        return;
    filtro = activo;
    invalidateFilter();
}

void FiltroResumenCentros::soloSinTerminar(bool activo)
{
    cambiar(sinTerminar_, activo);
}

void FiltroResumenCentros::soloRevisionVencida(bool activo)
{
    cambiar(revisionVencida_, activo);
}

void FiltroResumenCentros::soloAccionesVencidas(bool activo)
{
    cambiar(accionesVencidas_, activo);
}

bool FiltroResumenCentros::filterAcceptsRow(int fila, const QModelIndex&) const
{
    const EstadoCentro& c = modelo_->centro(fila);
    if (sinTerminar_ && c.paso == PasoPendiente::Completa)
        return false;
    if (revisionVencida_ && !RevisionVencida(c.fechaRevision, modelo_->hoy()))
        return false;
    if (accionesVencidas_ && c.vencidas == 0)
        return false;
    return ContieneTodas(modelo_->textoBusqueda(fila), palabras_);
}

namespace {
// El valor de una columna de números de la fila, para ordenar por él.
double cifra(const EstadoCentro& c, int columna)
{
    if (columna == ModeloResumenCentros::ColEstado)
        return int(c.paso);
    if (columna == ModeloResumenCentros::ColPresupuesto)
        return c.presupuesto;
    static const std::pair<int, int EstadoCentro::*> cuentas[] = {
        {ModeloResumenCentros::ColPendientes, &EstadoCentro::pendientes},
        {ModeloResumenCentros::ColVencidas, &EstadoCentro::vencidas},
        {ModeloResumenCentros::ColHechas, &EstadoCentro::hechas},
    };
    for (const auto& [col, cuenta] : cuentas)
        if (col == columna)
            return c.*cuenta;
    return 0;
}
} // namespace

bool FiltroResumenCentros::lessThan(const QModelIndex& izquierda, const QModelIndex& derecha) const
{
    const EstadoCentro& a = modelo_->centro(izquierda.row());
    const EstadoCentro& b = modelo_->centro(derecha.row());
    // A igual valor, por empresa y centro: el orden no cambia de una vez a otra.
    const auto nombres = [&] { return modelo_->rangoNombre(izquierda.row()) < modelo_->rangoNombre(derecha.row()); };
    const auto fecha = [&](const QDate& x, const QDate& y) {
        // Sin fecha, detrás de todas.
        if (x.isValid() != y.isValid())
            return x.isValid();
        return x != y ? x < y : nombres();
    };
    const auto numero = [&](double x, double y) { return x != y ? x < y : nombres(); };
    const int columna = izquierda.column();
    switch (columna) {
    case ModeloResumenCentros::ColCentro:
        return modelo_->rangoCentro(izquierda.row()) < modelo_->rangoCentro(derecha.row());
    case ModeloResumenCentros::ColFechaEvaluacion:
        return fecha(a.fechaEvaluacion, b.fechaEvaluacion);
    case ModeloResumenCentros::ColRevision:
        return fecha(a.fechaRevision, b.fechaRevision);
    case ModeloResumenCentros::ColEstado:
    case ModeloResumenCentros::ColPendientes:
    case ModeloResumenCentros::ColVencidas:
    case ModeloResumenCentros::ColHechas:
    case ModeloResumenCentros::ColPresupuesto:
        return numero(cifra(a, columna), cifra(b, columna));
    default:
        return nombres();
    }
}
