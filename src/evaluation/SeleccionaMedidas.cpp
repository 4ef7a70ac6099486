#include "evaluation/SeleccionaMedidas.h"

#include "plataforma/PlataformaServicios.h"
#include "plataforma/Reloj.h"
#include "shell/Comprobaciones.h"
#include "shell/FiltroCuadricula.h"
#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"
#include "store/Conexion.h"
#include "store/ErrorBD.h"
#include "store/Recordset.h"
#include "store/VersionEvaluacion.h"

#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
using namespace TiposAviso;

enum Columna
{
    ColRiesgo = 0,
    ColFactor = 1,
    ColMedida = 2,
    ColMarca = 3,
    ColImplantada = 4
};
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

long long SeleccionaMedidas::AnadirMedida(const QString& conexion, qint64 idCentro, long long idPuesto,
                                          long long idEmpresa, const QString& factor, const QString& medida)
{
    // La búsqueda y el alta van juntas: la fila de evaluación no puede desaparecer entre las dos.
    Transaccion t(conexion);
    Recordset fila;
    fila.open("SELECT IDEvaluacion from VFactoresMedidas Where IDCentro = ? and IDPuestoCentro = ? and IDEmpresa = ? "
              "and Factor = ?",
              conexion, {qlonglong(idCentro), idPuesto, idEmpresa, factor});
    if (fila.eof())
        return 0;
    const QVariant evaluacion = fila.value("IDEvaluacion");
    fila.close();

    Recordset medidas;
    medidas.open("SELECT * from MedidasFactores;", conexion);
    medidas.addNew();
    medidas.setValue("IDEvaluacion", evaluacion);
    medidas.setValue("Medida", medida);
    medidas.setValue("MarcarMedida", MarcaSi);
    medidas.update();
    const long long nueva = medidas.lastInsertId();
    t.confirmar();
    return nueva;
}

SeleccionaMedidas::SeleccionaMedidas(Sesion& sesion, QWidget* parent)
    : VentanaAsistente(Ventana::SeleccionaMedidas, sesion, QStringLiteral("Medidas Preventivas"),
                       QStringLiteral("4- MEDIDAS PREVENTIVAS"), parent)
{
    ponerListaPuestos();

    // Riesgo, factor y medida vienen de la evaluación: aquí sólo se marca o se desmarca. Son
    // frases largas: la fila crece para que se lean enteras.
    GridColumn riesgo = GridColumn::text("Riesgo", "Riesgo");
    GridColumn factor = GridColumn::text("Factores de Riesgo", "Factor");
    GridColumn medida = GridColumn::text("Medida", "Medida");
    for (GridColumn* c : {&riesgo, &factor, &medida})
        c->readOnly = c->wordWrap = true;
    cuadriculaMedidas_ = ponerCuadricula("GMedidas", "RMedidas", "Medidas preventivas del puesto",
                                         {riesgo, factor, medida, GridColumn::checkBox("Seleccionado", "MarcarMedida"),
                                          GridColumn::checkBox("Ya implantada", "Implantada")},
                                         10, AnchoNota);
    origenMedidas_ = cuadriculaMedidas_->dataSource();
    cuadriculaMedidas_->setGroupView(true);
    // Las medidas se leen mejor bajo su riesgo y su factor; el usuario puede quitar los grupos.
    cuadriculaMedidas_->groupBy(ColRiesgo);
    cuadriculaMedidas_->groupBy(ColFactor);
    filtro_ = ponerFiltro(cuadriculaMedidas_, "txtBuscarMedida");

    auto* marco = new QGroupBox("Añadir una medida propia");
    marco->setObjectName("FrameAnadir");
    auto* rejilla = new QGridLayout(marco);
    // Se puede escribir para buscar el factor en una lista larga; lo escrito no se añade a la lista.
    listaFactores_ = Kit::listaAbierta("cmbFactor", 30);
    listaFactores_->setAccessibleName("Factor de riesgo");
    Kit::proponerAlEscribir(listaFactores_);
    cajaMedida_ = Kit::caja("strMedida");
    cajaMedida_->setAccessibleName("Medida");
    botonAnadirMedida_ = Kit::boton("Command1", "Añadir");
    botonAnadirMedida_->setAccessibleName("Añadir");
    rejilla->addWidget(Kit::etiqueta("Factor de riesgo", listaFactores_), 0, 0);
    rejilla->addWidget(listaFactores_, 0, 1);
    rejilla->addWidget(Kit::etiqueta("Medida", cajaMedida_), 1, 0);
    rejilla->addWidget(cajaMedida_, 1, 1);
    rejilla->addWidget(botonAnadirMedida_, 1, 2);
    rejilla->setColumnStretch(1, 1);
    cuerpo()->addWidget(marco);
    connect(botonAnadirMedida_, &QPushButton::clicked, this, Ranura([this] { anadir(); }, this));
    connect(cajaMedida_, &QLineEdit::returnPressed, this, Ranura([this] { anadir(); }, this));

    ponerPie(Ventana::SeleccionaRiesgos, {}, QStringLiteral("Volver a Evaluación de Riesgos"), {},
             QStringLiteral("Impresion Evaluacion de Riesgos"), QStringLiteral("Volver al Menu Principal"),
             QStringLiteral("Medidas Preventivas"));
    cargar();
}

bool SeleccionaMedidas::puestoActual(long long& puesto, long long& empresa) const
{
    const bool hay =
        rsPuesto_ && rsPuesto_->isOpen() && !rsPuesto_->eof() && rsCentro_ && rsCentro_->isOpen() && !rsCentro_->eof();
    puesto = hay ? rsPuesto_->value("IDPuestoCentro").toLongLong() : 0;
    empresa = hay ? rsCentro_->value("IDEmpresa").toLongLong() : 0;
    return hay;
}

void SeleccionaMedidas::elegirPuesto(long long)
{
    // Sin el puesto o sin el centro (borrados mientras tanto) la cuadrícula y la lista quedan vacías.
    long long puesto = 0, empresa = 0;
    puestoActual(puesto, empresa);
    const QString filtro = QStringLiteral(" Where IDCentro = ? and IDPuestoCentro = ? and IDEmpresa = ?");
    const QVariantList valores{qlonglong(sesion_.idCentro), puesto, empresa};
    // Dentro de un riesgo y un factor, las medidas en el orden en que se añadieron.
    origenMedidas_->setRecordSource(
        "SELECT * from VFactoresMedidas" + filtro + " order by Riesgo, Factor, IDMedidaFactor;", valores);
    origenMedidas_->refresh();
    cuadriculaMedidas_->redraw();

    Recordset factores;
    factores.open("SELECT Factor from VFactoresMedidas" + filtro + " group by Factor;", sesion_.conexion, valores);
    factores.requery();
    const QSignalBlocker bloqueo(listaFactores_);
    listaFactores_->clear();
    listaFactores_->addItem(QString());
    for (; !factores.eof(); factores.moveNext())
        listaFactores_->addItem(texto(factores.value("Factor")));
    listaFactores_->setCurrentIndex(0);
}

// Regla de las casillas: marcada es "S", sin marcar "N"; el origen escribe la fila con el cambio.
// Una medida que ya está implantada se aplica, así que queda también seleccionada; una que no se
// selecciona no puede estar implantada. Las dos casillas van en la misma escritura.
void SeleccionaMedidas::antesDeCambiar(int columna, const QVariant& nuevo, bool*)
{
    if (columna != ColMarca && columna != ColImplantada)
        return;
    const bool marcada = nuevo.toString() == MarcaSi;
    cuadriculaMedidas_->setCellValue(columna, marcada ? MarcaSi : MarcaNo);
    if (columna == ColImplantada && marcada)
        cuadriculaMedidas_->setCellValue(ColMarca, MarcaSi);
    else if (columna == ColMarca && !marcada)
        cuadriculaMedidas_->setCellValue(ColImplantada, MarcaNo);
}

void SeleccionaMedidas::nota(int division, int columna, int fila, CellTip* tip)
{
    EjecutarSinAviso({[&] {
        if (division < 0 || fila < 0)
            return;
        Recordset& rs = origenMedidas_->recordset();
        switch (columna) {
        case ColRiesgo:
            tip->text = "Riesgo: " + texto(rs.value("Riesgo"));
            break;
        case ColFactor:
            tip->text = "Factor: " + texto(rs.value("Factor"));
            break;
        case ColMedida:
            tip->text = "Medida: " + texto(rs.value("Medida"));
            break;
        default:
            return;
        }
        Kit::estiloNota(tip);
    }});
}

void SeleccionaMedidas::anadir()
{
    const QString escrito = listaFactores_->currentText();
    const QString medida = cajaMedida_->text();
    if (vacio(escrito) || vacio(medida)) {
        Servicios().mensaje(this, QStringLiteral("Tiene que seleccionar un factor y su correspondiente medida"),
                            QStringLiteral("Texto Vacio"), Icono::Critico, Botones::Aceptar, Respuesta::Aceptar);
        return;
    }
    // Un factor escrito a mano vale si es uno de la lista, aunque difiera en mayúsculas o blancos.
    QString factor = escrito.trimmed();
    if (const int i = listaFactores_->findText(factor, Qt::MatchFixedString); i > 0)
        factor = listaFactores_->itemText(i);

    long long puesto = 0, empresa = 0;
    long long nueva = 0;
    try {
        if (puestoActual(puesto, empresa))
            nueva = AnadirMedida(sesion_.conexion, sesion_.idCentro, puesto, empresa, factor, medida);
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

    cajaMedida_->clear();
    listaFactores_->setCurrentIndex(0);
    listaFactores_->setEditText(QString());
    origenMedidas_->refresh();
    // La medida nueva queda como fila actual: se ve, marcada, bajo su riesgo y su factor (aunque
    // lo buscado no la encontrara).
    origenMedidas_->fetchAll();
    for (int f = 0; f < origenMedidas_->rowCount(); ++f)
        if (origenMedidas_->fieldValue(f, "IDMedidaFactor").toLongLong() == nueva) {
            if (!cuadriculaMedidas_->rowMatchesFilter(f))
                filtro_->limpiar();
            cuadriculaMedidas_->setCurrentRow(f);
            break;
        }
    cuadriculaMedidas_->redraw();
}

void SeleccionaMedidas::adelante()
{
    if (!pasoCompleto(ComprobarMedidas, QStringLiteral("Sin Medidas")))
        return;
    // Terminado el último paso, la evaluación lleva la fecha del día (si no la tenía ya).
    FechaAlCompletar(*Conexion::obtener(sesion_.conexion), sesion_.idCentro, Hoy());
    irA(Ventana::ImprimirEvaluacion);
}
