#include "companies/ModeloResumenCentros.h"

#include "evaluation/SeleccionaRiesgos.h"
#include "planning/OrigenLineasPlan.h"
#include "reports/Importes.h"
#include "shell/TextoBusqueda.h"

#include <QBrush>
#include <QCollator>
#include <algorithm>
#include <numeric>

namespace {
// Lo preparado a partir de los nombres la última vez, en cualquier ventana: volver a leer o abrir
// otra vez el resumen suele traer los mismos centros con los mismos nombres, y entonces no se vuelve
// a cotejar cada nombre, que con miles de centros es lo que más cuesta.
struct NombresPreparados
{
    std::vector<long long> centros;
    std::vector<QString> empresas, nombres, busqueda;
    std::vector<int> rangoNombre, rangoCentro;

    bool mismos(const std::vector<EstadoCentro>& otros) const
    {
        if (otros.size() != centros.size())
            return false;
        for (size_t i = 0; i < otros.size(); ++i)
            if (otros[i].idCentro != centros[i] || otros[i].empresa != empresas[i] || otros[i].centro != nombres[i])
                return false;
        return true;
    }
};

NombresPreparados& preparados()
{
    static NombresPreparados p;
    return p;
}

bool mismoEstado(const EstadoCentro& a, const EstadoCentro& b)
{
    return a.paso == b.paso && a.fechaEvaluacion == b.fechaEvaluacion && a.fechaRevision == b.fechaRevision &&
           a.pendientes == b.pendientes && a.vencidas == b.vencidas && a.hechas == b.hechas &&
           a.presupuesto == b.presupuesto && a.presupuestosSinLeer == b.presupuestosSinLeer;
}
} // namespace

bool ModeloResumenCentros::cambiarEnSuSitio(std::vector<EstadoCentro>& centros, const QDate& hoy)
{
    if (hoy != hoy_ || centros.size() != centros_.size())
        return false;
    for (size_t i = 0; i < centros.size(); ++i)
        if (centros[i].idCentro != centros_[i].idCentro || centros[i].empresa != centros_[i].empresa ||
            centros[i].centro != centros_[i].centro)
            return false;
    // Se avisa por tramos de filas seguidas que han cambiado: normalmente uno, el del centro tocado.
    size_t i = 0;
    while (i < centros.size()) {
        if (mismoEstado(centros[i], centros_[i])) {
            ++i;
            continue;
        }
        const size_t desde = i;
        for (; i < centros.size() && !mismoEstado(centros[i], centros_[i]); ++i)
            centros_[i] = std::move(centros[i]);
        emit dataChanged(index(int(desde), 0), index(int(i) - 1, NumColumnas - 1));
    }
    return true;
}

void ModeloResumenCentros::poner(std::vector<EstadoCentro> centros, const QDate& hoy)
{
    // Los mismos centros con los mismos nombres que ya se enseñan (volver al resumen tras trabajar en
    // un centro): sólo se avisa de las filas que cambian. La lista no se rehace, y quien la mira no
    // pierde ni su fila ni por dónde iba.
    if (cambiarEnSuSitio(centros, hoy))
        return;
    beginResetModel();
    centros_ = std::move(centros);
    hoy_ = hoy;
    NombresPreparados& p = preparados();
    if (p.mismos(centros_)) {
        busqueda_ = p.busqueda;
        rangoNombre_ = p.rangoNombre;
        rangoCentro_ = p.rangoCentro;
        endResetModel();
        return;
    }
    busqueda_.clear();
    busqueda_.reserve(centros_.size());
    // Se prepara una vez al leer: filtrar mientras se escribe sólo compara.
    for (const EstadoCentro& c : centros_)
        busqueda_.push_back(TextoParaBuscar(c.empresa + QLatin1Char('\n') + c.centro));
    ordenar();
    p = NombresPreparados{};
    for (const EstadoCentro& c : centros_) {
        p.centros.push_back(c.idCentro);
        p.empresas.push_back(c.empresa);
        p.nombres.push_back(c.centro);
    }
    p.busqueda = busqueda_;
    p.rangoNombre = rangoNombre_;
    p.rangoCentro = rangoCentro_;
    endResetModel();
}

void ModeloResumenCentros::ordenar()
{
    // Con las claves del cotejo cada comparación es de bytes: ordenar miles de filas es inmediato.
    QCollator cotejo(QLocale(QLocale::Spanish, QLocale::Spain));
    cotejo.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QCollatorSortKey> empresas, centros;
    empresas.reserve(centros_.size());
    centros.reserve(centros_.size());
    for (const EstadoCentro& c : centros_) {
        empresas.push_back(cotejo.sortKey(c.empresa));
        centros.push_back(cotejo.sortKey(c.centro));
    }
    const auto rangos = [&](std::vector<int>& rango, const std::vector<QCollatorSortKey>& primera,
                            const std::vector<QCollatorSortKey>& segunda) {
        std::vector<int> filas(centros_.size());
        std::iota(filas.begin(), filas.end(), 0);
        std::sort(filas.begin(), filas.end(), [&](int a, int b) {
            if (const int x = primera[size_t(a)].compare(primera[size_t(b)]))
                return x < 0;
            if (const int y = segunda[size_t(a)].compare(segunda[size_t(b)]))
                return y < 0;
            return centros_[size_t(a)].idCentro < centros_[size_t(b)].idCentro;
        });
        rango.assign(filas.size(), 0);
        for (size_t i = 0; i < filas.size(); ++i)
            rango[size_t(filas[i])] = int(i);
    };
    rangos(rangoNombre_, empresas, centros);
    rangos(rangoCentro_, centros, empresas);
}

int ModeloResumenCentros::rowCount(const QModelIndex& padre) const
{
    return padre.isValid() ? 0 : int(centros_.size());
}

int ModeloResumenCentros::columnCount(const QModelIndex& padre) const
{
    return padre.isValid() ? 0 : NumColumnas;
}

QString ModeloResumenCentros::textoPaso(PasoPendiente paso)
{
    // Lo que falta, por el número del paso; sin ningún paso pendiente, la evaluación está completa.
    static const char* const faltas[] = {"Falta 1- Puestos de trabajo", "Falta 2- Factores de riesgo",
                                         "Falta 3- Evaluación de riesgos", "Falta 4- Medidas preventivas"};
    const int n = int(paso);
    return n >= 1 && n <= 4 ? QString::fromUtf8(faltas[n - 1]) : QStringLiteral("Completa");
}

QColor ModeloResumenCentros::colorAlarma()
{
    return OrigenLineasPlan::colorAlarma();
}

QColor ModeloResumenCentros::colorAviso()
{
    return SeleccionaRiesgos::ColorNivel(QStringLiteral("Riesgo Moderado"));
}

namespace {
QString textoFecha(const QDate& fecha)
{
    return fecha.isValid() ? fecha.toString(QStringLiteral("dd/MM/yyyy")) : QString();
}
} // namespace

QVariant ModeloResumenCentros::data(const QModelIndex& indice, int papel) const
{
    if (!indice.isValid() || indice.row() >= rowCount())
        return {};
    const EstadoCentro& c = centros_[size_t(indice.row())];
    const int col = indice.column();
    if (papel == Qt::DisplayRole) {
        switch (col) {
        case ColEmpresa:
            return c.empresa;
        case ColCentro:
            return c.centro;
        case ColEstado:
            return textoPaso(c.paso);
        case ColFechaEvaluacion:
            return textoFecha(c.fechaEvaluacion);
        case ColRevision:
            return textoFecha(c.fechaRevision);
        case ColPendientes:
            return c.pendientes;
        case ColVencidas:
            return c.vencidas;
        case ColHechas:
            return c.hechas;
        case ColPresupuesto:
            if (c.presupuesto == 0 && c.presupuestosSinLeer == 0)
                return QString();
            return FormatoImporte(c.presupuesto) + QStringLiteral(" €");
        }
        return {};
    }
    if (papel == RolOrden) {
        // El paso, las fechas y el importe se ordenan por lo que valen, no por su texto.
        if (col == ColEstado)
            return int(c.paso);
        if (col == ColFechaEvaluacion || col == ColRevision)
            return col == ColRevision ? c.fechaRevision : c.fechaEvaluacion;
        if (col == ColPresupuesto)
            return c.presupuesto;
        return data(indice, Qt::DisplayRole);
    }
    if (papel == Qt::BackgroundRole) {
        if (col == ColRevision && RevisionVencida(c.fechaRevision, hoy_))
            return QBrush(colorAlarma());
        if (col == ColRevision && RevisionProxima(c.fechaRevision, hoy_))
            return QBrush(colorAviso());
        if (col == ColVencidas && c.vencidas > 0)
            return QBrush(colorAlarma());
        return {};
    }
    // Sobre los colores de alarma y aviso el texto va siempre en negro, como en el plan.
    if (papel == Qt::ForegroundRole && data(indice, Qt::BackgroundRole).isValid())
        return QBrush(Qt::black);
    if (papel == Qt::ToolTipRole) {
        if (col == ColRevision && RevisionVencida(c.fechaRevision, hoy_))
            return QStringLiteral("Revisión vencida");
        if (col == ColRevision && RevisionProxima(c.fechaRevision, hoy_))
            return QStringLiteral("La revisión vence en los próximos 30 días");
        if (col == ColPresupuesto && c.presupuestosSinLeer > 0)
            return QStringLiteral("%1 presupuesto(s) escritos como texto no se suman").arg(c.presupuestosSinLeer);
        return {};
    }
    if (papel == Qt::TextAlignmentRole && col >= ColPendientes)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant ModeloResumenCentros::headerData(int seccion, Qt::Orientation orientacion, int papel) const
{
    if (orientacion != Qt::Horizontal || papel != Qt::DisplayRole)
        return QAbstractTableModel::headerData(seccion, orientacion, papel);
    static const char* const titulos[NumColumnas] = {"Empresa",          "Centro",           "Evaluación",
                                                     "Fecha evaluación", "Próxima revisión", "Acciones pendientes",
                                                     "Vencidas",         "Hechas",           "Presupuesto pendiente"};
    return seccion >= 0 && seccion < NumColumnas ? QString::fromUtf8(titulos[seccion]) : QVariant();
}
