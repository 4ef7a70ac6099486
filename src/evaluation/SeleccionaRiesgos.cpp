#include "evaluation/SeleccionaRiesgos.h"

#include "evaluation/MatrizRiesgo.h"
#include "evaluation/TextoFila.h"
#include "plataforma/PlataformaServicios.h"
#include "shell/Comprobaciones.h"
#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"
#include "store/Recordset.h"

#include <QAbstractItemDelegate>
#include <QPointer>
#include <QTableView>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <utility>

namespace {
using namespace TiposAviso;

enum Columna
{
    ColRiesgo = 0,
    ColProbabilidad = 1,
    ColConsecuencias = 2,
    ColValor = 3
};
const QString DobleSalto = QStringLiteral("\r\n\r\n");

QString texto(const QVariant& v)
{
    return NuloATexto(v).toString();
}
} // namespace

QColor SeleccionaRiesgos::ColorNivel(const QString& nivel)
{
    const QString n = nivel.trimmed();
    const auto es = [&](const char* t) { return n.compare(QLatin1String(t), Qt::CaseInsensitive) == 0; };
    if (es("Riesgo Trivial") || es("Riesgo Tolerable"))
        return QColor(0xd9, 0xea, 0xd3); // verde suave
    if (es("Riesgo Moderado"))
        return QColor(0xff, 0xe5, 0x99); // ámbar
    if (es("Riesgo Importante") || es("Riesgo Intolerable"))
        return QColor(0xf4, 0xb6, 0xb0); // rojo
    return {};
}

SeleccionaRiesgos::SeleccionaRiesgos(Sesion& sesion, QWidget* parent)
    : VentanaAsistente(Ventana::SeleccionaRiesgos, sesion, QStringLiteral("Evaluacion del Riesgo"),
                       QStringLiteral("3- EVALUACION DE RIESGOS"), parent)
{
    ponerListaPuestos();

    // El nombre del riesgo es el del catálogo y el nivel lo pone la matriz: no se escriben a mano.
    GridColumn riesgo = GridColumn::text("Riesgo", "Riesgo");
    riesgo.readOnly = true;
    GridColumn valor = GridColumn::text("Valor Riesgo", "ValorRiesgo");
    valor.readOnly = true;
    valor.background = [](const QVariant& v) { return ColorNivel(v.toString()); };
    cuadriculaRiesgos_ =
        ponerCuadricula("GRiesgos", "RRiesgos", "Riesgos del puesto",
                        {riesgo,
                         GridColumn::valueList("Probabilidad", "Probabilidad",
                                               {{"Baja", "Baja"}, {"Media", "Media"}, {"Alta", "Alta"}}),
                         GridColumn::valueList("Consecuencias", "Consecuencias",
                                               {{"Ligeramente dañino", "Ligeramente dañino"},
                                                {"Dañino", "dañino"},
                                                {"Extremadamente dañino", "Extremadamente dañino"}}),
                         valor},
                        10);
    origenRiesgos_ = cuadriculaRiesgos_->dataSource();
    cuadriculaRiesgos_->setGroupView(true);
    // Lo que vio el evaluador (dónde, cuánto, con qué equipo) sale en el documento bajo el riesgo.
    // La caja escribe en la tabla, no en la vista de la cuadrícula: la vista sube la versión de la
    // fila y el grado que se guarde después desde la cuadrícula se tomaría por el de otro usuario.
    situacion_ = new TextoFila(QStringLiteral("strSituacionObservada"), QStringLiteral("Situación observada"),
                               QStringLiteral("Opcional: lo que se ha visto en el puesto (dónde, con qué frecuencia, "
                                              "con qué equipos)"),
                               cuadriculaRiesgos_, sesion_.conexion,
                               {QStringLiteral("Evaluacion"), QStringLiteral("IDEvaluacion"),
                                QStringLiteral("SituacionObservada"), QStringLiteral("Riesgo")});
    cuerpo()->addWidget(situacion_);

    ponerPie(Ventana::SeleccionaFactores, {}, QStringLiteral("Volver a Factor de Riesgo"), {},
             QStringLiteral("Medidas Preventivas"), QStringLiteral("Volver al Menu Principal"),
             QStringLiteral("Riesgos"));
    cargar();
}

void SeleccionaRiesgos::elegirPuesto(long long)
{
    // Lo escrito para el puesto anterior se guarda antes de cambiar de filas; si no se ha podido,
    // la caja sigue con ello y con su riesgo para intentarlo otra vez.
    const bool guardada = situacion_->guardar();
    const qlonglong puesto = rsPuesto_ && !rsPuesto_->eof() ? rsPuesto_->value("IDPuestoCentro").toLongLong() : 0;
    origenRiesgos_->setRecordSource(
        "SELECT * from VRiesgos Where IDCentro = ? and IDPuestoCentro = ? and Mostrar = 'S';",
        {qlonglong(sesion_.idCentro), puesto});
    origenRiesgos_->refresh();
    cuadriculaRiesgos_->redraw();
    ponerDelanteRiesgoPorValorar();
    if (guardada)
        situacion_->seguirFila();
}

void SeleccionaRiesgos::ponerDelanteRiesgoPorValorar()
{
    const qint64 idEvaluacion = std::exchange(sesion_.riesgoPorValorar, 0);
    if (idEvaluacion <= 0)
        return;
    // La fila que se ve es una por riesgo, la mostrada, que no tiene por qué ser la que nombra el plan.
    Recordset riesgo;
    riesgo.open("SELECT IDRiesgo FROM Evaluacion WHERE IDEvaluacion = ?", sesion_.conexion, {idEvaluacion});
    if (riesgo.eof())
        return;
    const QVariant buscado = riesgo.value(0);
    Recordset& filas = origenRiesgos_->recordset();
    const int campo = filas.fieldIndex(QStringLiteral("IDRiesgo"));
    for (long posicion = 1; campo >= 0 && posicion <= filas.recordCount(); ++posicion)
        if (filas.valueAt(posicion, campo) == buscado) {
            cuadriculaRiesgos_->setCurrentRow(int(posicion - 1));
            cuadriculaRiesgos_->setCurrentColumn(ColProbabilidad);
            return;
        }
}

// Regla de la matriz, antes de que se guarde el cambio: el nivel va en la misma escritura que el
// grado. Un grado escrito a mano se guarda como el de la lista; uno que no es de la lista no se
// acepta, porque dejaría la fila con un grado que no corresponde a su nivel. Borrar un grado
// borra también el nivel.
void SeleccionaRiesgos::antesDeCambiar(int columna, const QVariant& nuevo, bool* cancelar)
{
    if (columna != ColProbabilidad && columna != ColConsecuencias)
        return;
    const QString escrito = texto(nuevo);
    if (escrito.trimmed().isEmpty()) {
        // Vacío o sólo blancos es no haber elegido nada: no debe contar como evaluado.
        if (!nuevo.isNull())
            cuadriculaRiesgos_->setCellValue(columna, QVariant());
    } else {
        const bool esProbabilidad = columna == ColProbabilidad;
        const QString grado = esProbabilidad ? GradoProbabilidad(escrito) : GradoConsecuencias(escrito);
        if (grado.isEmpty()) {
            *cancelar = true;
            const QString aviso =
                esProbabilidad
                    ? QStringLiteral("«%1» no es una probabilidad de la lista. Elija Baja, Media o Alta.").arg(escrito)
                    : QStringLiteral("«%1» no son unas consecuencias de la lista. Elija Ligeramente dañino, dañino o "
                                     "Extremadamente dañino.")
                          .arg(escrito);
            // El aviso sale cuando la cuadrícula ha terminado con la celda.
            QPointer<SeleccionaRiesgos> yo(this);
            QTimer::singleShot(0, this, [yo, aviso] {
                if (yo)
                    Servicios().mensaje(yo, aviso, QStringLiteral("Valor no válido"), Icono::Critico, Botones::Aceptar,
                                        Respuesta::Aceptar);
            });
            return;
        }
        if (grado != escrito)
            cuadriculaRiesgos_->setCellValue(columna, grado);
    }
    const QString probabilidad = texto(cuadriculaRiesgos_->cellValue(ColProbabilidad));
    const QString consecuencias = texto(cuadriculaRiesgos_->cellValue(ColConsecuencias));
    const QString nivel = NivelRiesgo(probabilidad, consecuencias);
    if (!nivel.isEmpty())
        cuadriculaRiesgos_->setCellValue(ColValor, nivel);
    else if (probabilidad.trimmed().isEmpty() || consecuencias.trimmed().isEmpty())
        // Sin uno de los dos grados no hay nivel: el que quedara de antes saldría en el documento.
        cuadriculaRiesgos_->setCellValue(ColValor, QVariant());
}

void SeleccionaRiesgos::nota(int division, int columna, int fila, CellTip* tip)
{
    EjecutarSinAviso({[&] {
        if (division < 0 || fila < 0)
            return;
        Recordset& rs = origenRiesgos_->recordset();
        if (columna == ColRiesgo) {
            // Todas las filas del riesgo en el puesto, mostrada y ocultas: una por factor.
            Recordset filas;
            filas.open("SELECT * from VRiesgos Where IDCentro = ? and IDPuestoCentro = ? and IDRiesgo = ?;",
                       sesion_.conexion,
                       {rs.value("IDCentro").toLongLong(), rs.value("IDPuestoCentro").toLongLong(),
                        rs.value("IDRiesgo").toLongLong()});
            filas.requery();
            QString lista = QStringLiteral("Factores de Riesgo: ") + DobleSalto;
            for (int i = 1; !filas.eof(); ++i, filas.moveNext())
                lista += QString::number(i) + "- " + texto(filas.value("Factor")) + DobleSalto;
            tip->text = lista;
            Kit::estiloNota(tip);
        } else if (columna == ColValor) {
            tip->text = QStringLiteral("Valor de Riesgo: ") + DobleSalto + texto(rs.value("Probabilidad")) + " y " +
                        texto(rs.value("Consecuencias")) + " = " + texto(rs.value("ValorRiesgo"));
            Kit::estiloNota(tip);
        }
    }});
}

bool SeleccionaRiesgos::cerrarEdicion()
{
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(cuadriculaRiesgos_->tableView()),
                                 static_cast<QAbstractItemView*>(cuadriculaRiesgos_->treeView())}) {
        if (QWidget* editor = v->indexWidget(v->currentIndex())) {
            emit v->itemDelegate()->commitData(editor);
            emit v->itemDelegate()->closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }
    return situacion_->guardar();
}

void SeleccionaRiesgos::adelante()
{
    if (const long long puesto = puestoElegido(); puesto > 0)
        CopiarEvaluacionAOcultas(sesion_.conexion, puesto);
    if (pasoCompleto(ComprobarRiesgos, QStringLiteral("Sin Riesgos Evaluados")))
        irA(Ventana::SeleccionaMedidas);
}
