#include "planning/PropuestasPlan.h"

#include "evaluation/SeleccionaRiesgos.h"
#include "shell/DateBox.h"
#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "store/Conexion.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
enum Columna
{
    ColMedida,
    ColPuesto,
    ColRiesgo,
    ColNivel,
    ColLimite,
    NumColumnas
};

QTableWidgetItem* celda(const QString& texto)
{
    auto* c = new QTableWidgetItem(texto);
    c->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    c->setToolTip(texto);
    return c;
}
} // namespace

PropuestasPlan::PropuestasPlan(const QString& conexion, long long idActuacion, const QString& responsable,
                               std::vector<LineaPropuesta> propuestas, QWidget* parent)
    : QDialog(parent), conexion_(conexion), idActuacion_(idActuacion), responsable_(responsable),
      propuestas_(std::move(propuestas))
{
    setObjectName("PropuestasPlan");
    setWindowTitle("Proponer desde la evaluación");
    auto* v = new QVBoxLayout(this);
    auto* explicacion = new QLabel("Medidas propuestas de los riesgos moderados o más graves que aún no tienen "
                                   "ninguna acción en el plan. Marque las que quiera añadir; el responsable será "
                                   "quien hace el plan y el plazo, el de su nivel.");
    explicacion->setWordWrap(true);
    v->addWidget(explicacion);

    tabla_ = new QTableWidget(int(propuestas_.size()), NumColumnas);
    tabla_->setObjectName("TPropuestas");
    tabla_->setAccessibleName("Propuestas que se pueden añadir al plan");
    tabla_->setHorizontalHeaderLabels({"Medida", "Puesto", "Riesgo", "Nivel", "Fecha Limite"});
    tabla_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tabla_->setSelectionMode(QAbstractItemView::SingleSelection);
    tabla_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tabla_->verticalHeader()->hide();
    for (int f = 0; f < int(propuestas_.size()); ++f) {
        const LineaPropuesta& p = propuestas_[size_t(f)];
        QTableWidgetItem* medida = celda(p.medida);
        medida->setFlags(medida->flags() | Qt::ItemIsUserCheckable);
        medida->setCheckState(Qt::Unchecked);
        tabla_->setItem(f, ColMedida, medida);
        tabla_->setItem(f, ColPuesto, celda(p.puesto));
        tabla_->setItem(f, ColRiesgo, celda(p.riesgo));
        QTableWidgetItem* nivel = celda(p.nivel);
        if (const QColor fondo = SeleccionaRiesgos::ColorNivel(p.nivel); fondo.isValid()) {
            nivel->setBackground(fondo);
            nivel->setForeground(Qt::black);
        }
        tabla_->setItem(f, ColNivel, nivel);
        tabla_->setItem(f, ColLimite, celda(DateBox::format(p.fechaLimite)));
    }
    tabla_->horizontalHeader()->setSectionResizeMode(ColMedida, QHeaderView::Stretch);
    tabla_->resizeColumnToContents(ColPuesto);
    tabla_->resizeColumnToContents(ColNivel);
    tabla_->resizeColumnToContents(ColLimite);
    tabla_->setColumnWidth(ColRiesgo, 180);
    v->addWidget(tabla_, 1);

    resumen_ = new QLabel;
    resumen_->setObjectName("LabelMarcadas");
    botonAnadir_ = Kit::boton("BAñadirPropuestas", "Añadir");
    botonAnadir_->setToolTip("Añadir al plan las propuestas marcadas");
    QPushButton* cancelar = Kit::boton("BCancelarPropuestas", "Cancelar");
    auto* pie = new QHBoxLayout;
    pie->addWidget(resumen_, 1);
    pie->addWidget(botonAnadir_);
    pie->addWidget(cancelar);
    v->addLayout(pie);

    connect(tabla_, &QTableWidget::itemChanged, this, [this] { contar(); });
    connect(botonAnadir_, &QPushButton::clicked, this, Ranura([this] { anadir(); }, this));
    connect(cancelar, &QPushButton::clicked, this, &QDialog::reject);
    contar();
    resize(820, 360);
}

std::vector<LineaPropuesta> PropuestasPlan::marcadas() const
{
    std::vector<LineaPropuesta> lista;
    for (int f = 0; f < tabla_->rowCount(); ++f)
        if (tabla_->item(f, ColMedida)->checkState() == Qt::Checked)
            lista.push_back(propuestas_[size_t(f)]);
    return lista;
}

void PropuestasPlan::contar()
{
    const int n = int(marcadas().size());
    resumen_->setText(n == 0   ? QStringLiteral("Ninguna marcada")
                      : n == 1 ? QStringLiteral("1 marcada")
                               : QStringLiteral("%1 marcadas").arg(n));
    botonAnadir_->setEnabled(n > 0);
}

void PropuestasPlan::anadir()
{
    const std::vector<LineaPropuesta> lista = marcadas();
    if (lista.empty())
        return;
    const int n = AnadirPropuestas(*Conexion::obtener(conexion_), idActuacion_, lista, responsable_);
    accept();
    emit anadidas(n);
}
