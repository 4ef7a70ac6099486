#include "planning/EleccionRiesgo.h"

#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "store/Conexion.h"
#include "store/PlanAcciones.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <algorithm>
#include <vector>

namespace {
// Riesgos mostrados del centro, con su nivel sólo si están valorados del todo.
const char* const RiesgosDelCentro = R"SQL(
SELECT e.IDEvaluacion, p.Puesto, k.Riesgo,
       CASE WHEN trim(coalesce(e.Probabilidad, '')) = '' OR trim(coalesce(e.Consecuencias, '')) = '' THEN NULL
            ELSE e.ValorRiesgo END
FROM Evaluacion e
JOIN PuestosCentros p ON p.IDPuestoCentro = e.IDPuestoCentro
LEFT JOIN Riesgos k ON k.IDRiesgo = e.IDRiesgo
WHERE p.IDCentro = ? AND e.Mostrar = 'S'
ORDER BY p.IDPuestoCentro, k.Riesgo, e.IDEvaluacion
)SQL";

// Medidas elegidas del riesgo en su puesto (de todas sus filas, una vez cada redacción).
const char* const MedidasDelRiesgo = R"SQL(
SELECT min(m.IDMedidaFactor), m.Medida
FROM Evaluacion e
JOIN Evaluacion x ON x.IDPuestoCentro = e.IDPuestoCentro AND x.IDRiesgo = e.IDRiesgo
JOIN MedidasFactores m ON m.IDEvaluacion = x.IDEvaluacion
WHERE e.IDEvaluacion = ? AND m.MarcarMedida = 'S'
GROUP BY m.Medida
ORDER BY min(m.IDMedidaFactor)
)SQL";

QString nivelCorto(const QString& nivel)
{
    if (nivel.trimmed().isEmpty())
        return QStringLiteral("sin valorar");
    return nivel.startsWith(QLatin1String("Riesgo ")) ? nivel.mid(7) : nivel;
}
} // namespace

EleccionRiesgo::EleccionRiesgo(QWidget* ventana)
    : QObject(ventana), listaRiesgos_(Kit::lista("cmbRiesgo")), listaMedidas_(Kit::lista("cmbMedida"))
{
    listaRiesgos_->setAccessibleName("Riesgo que controla la acción");
    listaRiesgos_->setToolTip("Riesgo evaluado del centro que controla la acción; (general) si no es de ninguno");
    listaMedidas_->setAccessibleName("Medida que lleva a cabo la acción");
    listaMedidas_->setToolTip("Medida propuesta del riesgo que lleva a cabo la acción (si la hay)");
    connect(listaRiesgos_, &QComboBox::currentIndexChanged, this, Ranura([this] { leerMedidas(); }, ventana));
    connect(listaMedidas_, &QComboBox::activated, this, [this](int i) {
        if (i > 0)
            emit medidaElegida(listaMedidas_->itemText(i));
    });
}

void EleccionRiesgo::leer(const QString& conexion, long long idCentro)
{
    conexion_ = conexion;
    struct Riesgo
    {
        QVariant id;
        QString texto;
        int prioridad;
    };
    std::vector<Riesgo> riesgos;
    for (const QVariantList& f : Conexion::obtener(conexion)->leerFilas(RiesgosDelCentro, {qlonglong(idCentro)})) {
        const QString nivel = f[3].toString();
        const int prioridad = PrioridadNivel(nivel);
        riesgos.push_back({f[0], f[1].toString() + " — " + f[2].toString() + " (" + nivelCorto(nivel) + ")",
                           prioridad > 0 ? prioridad : 6});
    }
    // Del más grave al menos; los que aún no tienen nivel, al final.
    std::stable_sort(riesgos.begin(), riesgos.end(),
                     [](const Riesgo& a, const Riesgo& b) { return a.prioridad < b.prioridad; });
    // La lista entera de una vez: un centro grande tiene cientos de riesgos y meterlos uno a uno en
    // la lista avisa a la vista de cada uno.
    QList<QStandardItem*> filas;
    filas.reserve(qsizetype(riesgos.size()) + 1);
    filas.append(new QStandardItem(QStringLiteral("(general)")));
    for (const Riesgo& r : riesgos) {
        auto* fila = new QStandardItem(r.texto);
        fila->setData(r.id, Qt::UserRole);
        filas.append(fila);
    }
    auto* modelo = new QStandardItemModel(listaRiesgos_);
    modelo->appendColumn(filas);
    const QSignalBlocker bloqueo(listaRiesgos_);
    listaRiesgos_->setModel(modelo);
    listaRiesgos_->setCurrentIndex(0);
    leerMedidas();
}

void EleccionRiesgo::leerMedidas()
{
    listaMedidas_->clear();
    listaMedidas_->addItem("(ninguna)");
    const QVariant id = riesgo();
    listaMedidas_->setEnabled(!id.isNull());
    if (id.isNull())
        return;
    for (const QVariantList& f : Conexion::obtener(conexion_)->leerFilas(MedidasDelRiesgo, {id}))
        listaMedidas_->addItem(f[1].toString(), f[0]);
}

QVariant EleccionRiesgo::riesgo() const
{
    return listaRiesgos_->currentData();
}

QVariant EleccionRiesgo::medida() const
{
    return listaMedidas_->currentData();
}

void EleccionRiesgo::vaciar()
{
    listaRiesgos_->setCurrentIndex(listaRiesgos_->count() > 0 ? 0 : -1);
}
