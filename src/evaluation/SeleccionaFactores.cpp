#include "SeleccionaFactores.h"

#include "Comprobaciones.h"
#include "ErrorBD.h"
#include "GeneracionRiesgos.h"
#include "Globales.h"
#include "ManejadorErrores.h"
#include "PlataformaServicios.h"
#include "Recordset.h"
#include "RegistroVentanas.h"
#include "Rutinas.h"
#include "grid/DataSource.h"
#include "grid/Grid.h"

#include <QToolButton>
#include <QVBoxLayout>

const QString SeleccionaFactores::Nombre = QStringLiteral("SeleccionaFactores");

namespace {
using Icono = PlataformaServicios::Icono;
using Botones = PlataformaServicios::Botones;
using Respuesta = PlataformaServicios::Respuesta;

constexpr int ColumnaMarca = 1;
constexpr int RetardoNota = 200;
} // namespace

void SeleccionaFactores::registrar()
{
    RegistroVentanas::registrarFabrica(Nombre, [] { return new SeleccionaFactores; });
}

SeleccionaFactores::SeleccionaFactores(QWidget* parent)
    : VentanaAsistente(Nombre, QStringLiteral("Factores de Riesgo"), QStringLiteral("2- FACTORES DE RIESGO"), parent)
{
    construir();
    RFactores_->setConnectionString(gConexion);
    cargar();
}

SeleccionaFactores::~SeleccionaFactores() = default;

void SeleccionaFactores::construir()
{
    ponerListaPuestos();

    RFactores_ = new DataSource(this);
    RFactores_->setObjectName("RFactores");
    GFactores_ = new Grid;
    GFactores_->setObjectName("GFactores");
    GFactores_->setAccessibleName("Factores de riesgo del puesto");
    // El nombre del factor es el del catálogo: sólo se marca o se desmarca.
    GridColumn factor = GridColumn::text("Factores de Riesgo", "Factor");
    factor.readOnly = true;
    GFactores_->setColumns({factor, GridColumn::checkBox("Seleccionado", "FactorSelecionado")});
    GFactores_->setDataSource(RFactores_);
    GFactores_->setTipAnchored(true);
    GFactores_->setTipWidth(0);
    GFactores_->setTipDelay(RetardoNota);
    // La altura de siempre sólo deja ver una fila o dos: la ventana crece hasta enseñar unas cuantas.
    GFactores_->setMinimumHeight((GFactores_->fontMetrics().height() + 8) * 9);
    cuerpo()->addWidget(GFactores_, 1);

    connect(GFactores_, &Grid::beforeCellChange, this,
            [this](int columna, const QVariant&, const QVariant& nuevo, bool* cancelar) {
                antesDeCambiar(columna, nuevo, cancelar);
            });
    connect(GFactores_, &Grid::cellTipRequested, this,
            [this](int division, int columna, int fila, CellTip* tip) { nota(division, columna, fila, tip); });

    ponerPie(QStringLiteral("Volver a puestos"), {}, QStringLiteral("Evaluacion de Riesgos"), {},
             QStringLiteral("Volver al Menu Principal"), QStringLiteral("Factores"));
    // En este paso el botón de vuelta al inicio se llama como siempre se ha llamado aquí.
    if (auto* salir = findChild<QToolButton*>("Image1"))
        salir->setObjectName("cmdSalir");
}

void SeleccionaFactores::elegirPuesto(long long)
{
    // Sin el puesto o sin el centro (borrados mientras tanto) la cuadrícula queda vacía.
    const bool hayPuesto = rsPuesto_ && !rsPuesto_->eof() && rsCentro_ && !rsCentro_->eof();
    const QString puesto = hayPuesto ? QString::number(rsPuesto_->value("IDPuestoCentro").toLongLong()) : "0";
    const QString empresa = hayPuesto ? QString::number(rsCentro_->value("IDEmpresa").toLongLong()) : "0";
    RFactores_->setRecordSource(
        "SELECT * from FactoresSeleccionarEvaluacion Where IDCentro = " + QString::number(gIDCentro) +
        " and IDPuestoCentro = " + puesto + " and IDEmpresa = " + empresa + ";");
    RFactores_->refresh();
    GFactores_->redraw();
}

// La casilla de un factor. El cambio sólo se acepta cuando lo generado o quitado y la marca ya
// están guardados juntos; si algo falla, la casilla vuelve a lo que hay en la base de datos.
void SeleccionaFactores::antesDeCambiar(int columna, const QVariant& nuevo, bool* cancelar)
{
    if (columna != ColumnaMarca)
        return;
    try {
        Recordset& rs = RFactores_->recordset();
        const long long k = rs.value("IDEvaluacionCrear").toLongLong();
        if (nuevo.toString() == MarcaSi) {
            FilaFactor fila;
            fila.idEvaluacionCrear = k;
            fila.idFactor = rs.value("IDFactor").toLongLong();
            fila.idPuestoCentro = rsPuesto_->value("IDPuestoCentro").toLongLong();
            fila.idEmpresa = rsCentro_->value("IDEmpresa").toLongLong();
            fila.idCentro = gIDCentro;
            MarcarFactor(fila);
            GFactores_->setCellValue(ColumnaMarca, MarcaSi);
            return;
        }
        const Respuesta r = Servicios().mensaje(
            this,
            QStringLiteral(
                "Se dispone a quitar un factor de riesgo, implica tambien la eliminación del riesgo evaluado. "
                "¿Confirma la Eliminacion?"),
            QStringLiteral("Eliminar"), Icono::Critico, Botones::SiNo, Respuesta::No);
        if (r != Respuesta::Si) {
            // Sigue marcado y no se borra nada.
            *cancelar = true;
            return;
        }
        DesmarcarFactor(k);
        GFactores_->setCellValue(ColumnaMarca, MarcaNo);
    } catch (const ProgramaTerminado&) {
        throw;
    } catch (const ErrorBD& e) {
        tratarFallo(e.numero(), e.descripcion(), cancelar);
    } catch (const std::exception& e) {
        tratarFallo(NumeroError::ErrorGeneral, QString::fromLocal8Bit(e.what()), cancelar);
    }
}

void SeleccionaFactores::tratarFallo(long numero, const QString& descripcion, bool* cancelar)
{
    if (numero == NumeroError::BaseDanada)
        OfrecerReparacion(this);
    MostrarErrorGeneral(numero, descripcion, this);
    // Lo generado o quitado se ha deshecho con la marca: la casilla enseña lo que hay guardado.
    *cancelar = true;
    if (numero == NumeroError::OperacionVariosPasos) {
        RFactores_->refresh();
        GFactores_->redraw();
    }
}

void SeleccionaFactores::nota(int division, int columna, int fila, CellTip* tip)
{
    GFactores_->setTipAnchored(true);
    GFactores_->setTipWidth(0);
    GFactores_->setTipDelay(RetardoNota);
    if (division < 0 || fila < 0 || columna != 0)
        return;
    tip->text = "Factor del riesgo: " + NuloATexto(RFactores_->recordset().value("Factor")).toString();
    tip->fontSize = 11;
    tip->bold = true;
    tip->textColor = CellTip::oleColor(0x8000000E);
    tip->fillColor = CellTip::oleColor(0x800000);
}

void SeleccionaFactores::adelante()
{
    if (!ComprobarFactores(gIDEmpresa, gIDCentro)) {
        Servicios().mensaje(this, gPendientes, QStringLiteral("Sin Factores"), Icono::Critico, Botones::Aceptar,
                            Respuesta::Aceptar);
        return;
    }
    irA(QStringLiteral("SeleccionaRiesgos"));
}

void SeleccionaFactores::atras()
{
    irA(QStringLiteral("Puestos"));
}
