#include "SeleccionaMedidas.h"

#include "Comprobaciones.h"
#include "Conexion.h"
#include "ErrorBD.h"
#include "Globales.h"
#include "ManejadorErrores.h"
#include "PlataformaServicios.h"
#include "Recordset.h"
#include "RegistroVentanas.h"
#include "Rutinas.h"
#include "grid/DataSource.h"
#include "grid/Grid.h"

#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

const QString SeleccionaMedidas::Nombre = QStringLiteral("SeleccionaMedidas");

namespace {
using Icono = PlataformaServicios::Icono;
using Botones = PlataformaServicios::Botones;
using Respuesta = PlataformaServicios::Respuesta;

enum Columna
{
    ColRiesgo = 0,
    ColFactor = 1,
    ColMedida = 2,
    ColMarca = 3
};
constexpr int RetardoNota = 200;
constexpr int AnchoNota = 9000; // twips

QString texto(const QVariant& v)
{
    return NuloATexto(v).toString();
}

// Sólo blancos es no haber escrito nada: una medida así no dice qué hacer y, marcada, daría por
// completo un factor que no tiene ninguna.
bool vacio(const QString& s)
{
    return s.trimmed().isEmpty();
}
} // namespace

void SeleccionaMedidas::registrar()
{
    RegistroVentanas::registrarFabrica(Nombre, [] { return new SeleccionaMedidas; });
}

long long SeleccionaMedidas::AnadirMedida(long idCentro, long long idPuesto, long long idEmpresa,
                                          const QString& factor, const QString& medida)
{
    // La búsqueda y el alta van juntas: la fila de evaluación no puede desaparecer entre las dos.
    Transaccion t(gConexion);
    Recordset fila;
    fila.open("SELECT IDEvaluacion from VFactoresMedidas Where IDCentro = ? and IDPuestoCentro = ? and IDEmpresa = ? "
              "and Factor = ?",
              gConexion, {qlonglong(idCentro), idPuesto, idEmpresa, factor});
    if (fila.eof())
        return 0;
    const QVariant evaluacion = fila.value("IDEvaluacion");
    fila.close();

    Recordset medidas;
    medidas.open("SELECT * from MedidasFactores;", gConexion);
    medidas.addNew();
    medidas.setValue("IDEvaluacion", evaluacion);
    medidas.setValue("Medida", medida);
    medidas.setValue("MarcarMedida", MarcaSi);
    medidas.update();
    const long long nueva = medidas.lastInsertId();
    t.confirmar();
    return nueva;
}

SeleccionaMedidas::SeleccionaMedidas(QWidget* parent)
    : VentanaAsistente(Nombre, QStringLiteral("Medidas Preventivas"), QStringLiteral("4- MEDIDAS PREVENTIVAS"),
                       parent)
{
    construir();
    RMedidas_->setConnectionString(gConexion);
    cargar();
}

SeleccionaMedidas::~SeleccionaMedidas() = default;

void SeleccionaMedidas::construir()
{
    ponerListaPuestos();

    RMedidas_ = new DataSource(this);
    RMedidas_->setObjectName("RMedidas");
    GMedidas_ = new Grid;
    GMedidas_->setObjectName("GMedidas");
    GMedidas_->setAccessibleName("Medidas preventivas del puesto");

    // Riesgo, factor y medida vienen de la evaluación: aquí sólo se marca o se desmarca. Son
    // frases largas: la fila crece para que se lean enteras.
    GridColumn riesgo = GridColumn::text("Riesgo", "Riesgo");
    GridColumn factor = GridColumn::text("Factores de Riesgo", "Factor");
    GridColumn medida = GridColumn::text("Medida", "Medida");
    for (GridColumn* c : {&riesgo, &factor, &medida})
        c->readOnly = c->wordWrap = true;
    GMedidas_->setColumns({riesgo, factor, medida, GridColumn::checkBox("Seleccionado", "MarcarMedida")});
    GMedidas_->setDataSource(RMedidas_);
    GMedidas_->setGroupView(true);
    // Las medidas se leen mejor bajo su riesgo y su factor; el usuario puede quitar los grupos.
    GMedidas_->groupBy(ColRiesgo);
    GMedidas_->groupBy(ColFactor);
    GMedidas_->setTipAnchored(true);
    GMedidas_->setTipWidth(AnchoNota);
    GMedidas_->setTipDelay(RetardoNota);
    GMedidas_->setMinimumHeight((GMedidas_->fontMetrics().height() + 8) * 10);
    cuerpo()->addWidget(GMedidas_, 1);

    connect(GMedidas_, &Grid::beforeCellChange, this,
            [this](int columna, const QVariant&, const QVariant& nuevo, bool* cancelar) {
                antesDeCambiar(columna, nuevo, cancelar);
            });
    connect(GMedidas_, &Grid::cellTipRequested, this,
            [this](int division, int columna, int fila, CellTip* tip) { nota(division, columna, fila, tip); });

    auto* marco = new QGroupBox("Añadir una medida propia");
    marco->setObjectName("FrameAnadir");
    auto* rejilla = new QGridLayout(marco);
    auto* etiquetaFactor = new QLabel("Factor de riesgo");
    cmbFactor_ = new QComboBox;
    cmbFactor_->setObjectName("cmbFactor");
    cmbFactor_->setAccessibleName("Factor de riesgo");
    // Se puede escribir para buscar el factor en una lista larga; lo escrito no se añade a la lista.
    cmbFactor_->setEditable(true);
    cmbFactor_->setInsertPolicy(QComboBox::NoInsert);
    cmbFactor_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cmbFactor_->setMinimumContentsLength(30);
    cmbFactor_->completer()->setCompletionMode(QCompleter::PopupCompletion);
    cmbFactor_->completer()->setFilterMode(Qt::MatchContains);
    cmbFactor_->completer()->setCaseSensitivity(Qt::CaseInsensitive);
    etiquetaFactor->setBuddy(cmbFactor_);
    auto* etiquetaMedida = new QLabel("Medida");
    strMedida_ = new QLineEdit;
    strMedida_->setObjectName("strMedida");
    strMedida_->setAccessibleName("Medida");
    etiquetaMedida->setBuddy(strMedida_);
    Command1_ = new QPushButton("Añadir");
    Command1_->setObjectName("Command1");
    Command1_->setAccessibleName("Añadir");
    rejilla->addWidget(etiquetaFactor, 0, 0);
    rejilla->addWidget(cmbFactor_, 0, 1);
    rejilla->addWidget(etiquetaMedida, 1, 0);
    rejilla->addWidget(strMedida_, 1, 1);
    rejilla->addWidget(Command1_, 1, 2);
    rejilla->setColumnStretch(1, 1);
    cuerpo()->addWidget(marco);
    connect(Command1_, &QPushButton::clicked, this, Ranura([this] { anadir(); }, this));
    connect(strMedida_, &QLineEdit::returnPressed, this, Ranura([this] { anadir(); }, this));

    ponerPie({}, QStringLiteral("Volver a Evaluación de Riesgos"), {},
             QStringLiteral("Impresion Evaluacion de Riesgos"), QStringLiteral("Volver al Menu Principal"),
             QStringLiteral("Medidas Preventivas"));
}

bool SeleccionaMedidas::puestoActual(long long& puesto, long long& empresa) const
{
    const bool hay = rsPuesto_ && rsPuesto_->isOpen() && !rsPuesto_->eof() && rsCentro_ && rsCentro_->isOpen() &&
                     !rsCentro_->eof();
    puesto = hay ? rsPuesto_->value("IDPuestoCentro").toLongLong() : 0;
    empresa = hay ? rsCentro_->value("IDEmpresa").toLongLong() : 0;
    return hay;
}

void SeleccionaMedidas::elegirPuesto(long long)
{
    // Sin el puesto o sin el centro (borrados mientras tanto) la cuadrícula y la lista quedan vacías.
    long long puesto = 0, empresa = 0;
    puestoActual(puesto, empresa);
    const QString filtro = " Where IDCentro = " + QString::number(gIDCentro) +
                           " and IDPuestoCentro = " + QString::number(puesto) +
                           " and IDEmpresa = " + QString::number(empresa);
    // Dentro de un riesgo y un factor, las medidas en el orden en que se añadieron.
    RMedidas_->setRecordSource("SELECT * from VFactoresMedidas" + filtro + " order by Riesgo, Factor, IDMedidaFactor;");
    RMedidas_->refresh();
    GMedidas_->redraw();

    Recordset factores;
    factores.open("SELECT Factor from VFactoresMedidas" + filtro + " group by Factor;", gConexion);
    factores.requery();
    const QSignalBlocker bloqueo(cmbFactor_);
    cmbFactor_->clear();
    cmbFactor_->addItem(QString());
    for (; !factores.eof(); factores.moveNext())
        cmbFactor_->addItem(texto(factores.value("Factor")));
    cmbFactor_->setCurrentIndex(0);
}

// Regla de la casilla: marcada es "S", sin marcar "N"; el origen escribe la fila con el cambio.
void SeleccionaMedidas::antesDeCambiar(int columna, const QVariant& nuevo, bool*)
{
    if (columna != ColMarca)
        return;
    GMedidas_->setCellValue(ColMarca, nuevo.toString() == MarcaSi ? MarcaSi : MarcaNo);
}

void SeleccionaMedidas::nota(int division, int columna, int fila, CellTip* tip)
{
    EjecutarSinAviso({[&] {
        GMedidas_->setTipAnchored(true);
        GMedidas_->setTipWidth(AnchoNota);
        GMedidas_->setTipDelay(RetardoNota);
        if (division < 0 || fila < 0)
            return;
        Recordset& rs = RMedidas_->recordset();
        switch (columna) {
        case ColRiesgo: tip->text = "Riesgo: " + texto(rs.value("Riesgo")); break;
        case ColFactor: tip->text = "Factor: " + texto(rs.value("Factor")); break;
        case ColMedida: tip->text = "Medida: " + texto(rs.value("Medida")); break;
        default: return;
        }
        tip->fontSize = 11;
        tip->bold = true;
        tip->textColor = CellTip::oleColor(0x8000000E);
        tip->fillColor = CellTip::oleColor(0x800000);
    }});
}

void SeleccionaMedidas::anadir()
{
    const QString escrito = cmbFactor_->currentText();
    const QString medida = strMedida_->text();
    if (vacio(escrito) || vacio(medida)) {
        Servicios().mensaje(this, QStringLiteral("Tiene que seleccionar un factor y su correspondiente medida"),
                            QStringLiteral("Texto Vacio"), Icono::Critico, Botones::Aceptar, Respuesta::Aceptar);
        return;
    }
    // Un factor escrito a mano vale si es uno de la lista, aunque difiera en mayúsculas o blancos.
    QString factor = escrito.trimmed();
    if (const int i = cmbFactor_->findText(factor, Qt::MatchFixedString); i > 0)
        factor = cmbFactor_->itemText(i);

    long long puesto = 0, empresa = 0;
    long long nueva = 0;
    try {
        if (puestoActual(puesto, empresa))
            nueva = AnadirMedida(gIDCentro, puesto, empresa, factor, medida);
    } catch (const ProgramaTerminado&) {
        throw;
    } catch (const ErrorBD& e) {
        // No se ha guardado nada; lo escrito sigue en la ventana para intentarlo otra vez.
        if (e.numero() == NumeroError::BaseDanada)
            OfrecerReparacion(this);
        MostrarErrorGeneral(e.numero(), e.descripcion(), this);
        return;
    }
    if (nueva == 0) {
        Servicios().mensaje(this,
                            QStringLiteral("«%1» no es un factor de riesgo de este puesto. Elija en la lista uno de "
                                           "los factores del puesto para añadirle la medida.")
                                .arg(escrito.trimmed()),
                            QStringLiteral("Factor no encontrado"), Icono::Critico, Botones::Aceptar,
                            Respuesta::Aceptar);
        return;
    }

    strMedida_->clear();
    cmbFactor_->setCurrentIndex(0);
    cmbFactor_->setEditText(QString());
    RMedidas_->refresh();
    // La medida nueva queda como fila actual: se ve, marcada, bajo su riesgo y su factor.
    RMedidas_->fetchAll();
    for (int f = 0; f < RMedidas_->rowCount(); ++f)
        if (RMedidas_->fieldValue(f, "IDMedidaFactor").toLongLong() == nueva) {
            GMedidas_->setCurrentRow(f);
            break;
        }
    GMedidas_->redraw();
}

void SeleccionaMedidas::adelante()
{
    if (!ComprobarMedidas(gIDEmpresa, gIDCentro)) {
        Servicios().mensaje(this, gPendientes, QStringLiteral("Sin Medidas"), Icono::Critico, Botones::Aceptar,
                            Respuesta::Aceptar);
        return;
    }
    irA(QStringLiteral("ImprimirEvaluacion"));
}

void SeleccionaMedidas::atras()
{
    irA(QStringLiteral("SeleccionaRiesgos"));
}
