#include "planning/RevaloracionPlan.h"

#include "evaluation/VentanaAsistente.h"
#include "plataforma/PlataformaServicios.h"
#include "plataforma/Reloj.h"
#include "shell/DateBox.h"
#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "shell/RegistroVentanas.h"
#include "shell/Sesion.h"
#include "shell/grid/DataSource.h"
#include "store/Conexion.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace {
using namespace TiposAviso;

// La pendiente que se ha abierto desde el plan para valorarla otra vez. Se recuerda aunque la
// ventana del plan se descargue mientras tanto: al volver se sabe de cuál se viene.
struct Abierta
{
    QString conexion;
    long long idRevaloracion = 0;
};
Abierta& abierta()
{
    static Abierta a;
    return a;
}

QString nivelCorto(const QString& nivel)
{
    if (nivel.trimmed().isEmpty())
        return QStringLiteral("sin valorar");
    return nivel.startsWith(QLatin1String("Riesgo ")) ? nivel.mid(7) : nivel;
}

QString nombrar(const RevaloracionPendiente& p)
{
    return QString("«%1» en el puesto «%2»").arg(p.riesgo, p.puesto);
}
} // namespace

RevaloracionPlan::RevaloracionPlan(Sesion& sesion, QWidget* ventana, std::function<bool()> dejarVentana)
    : QFrame(ventana), sesion_(sesion), ventana_(ventana), dejarVentana_(std::move(dejarVentana)), texto_(new QLabel),
      boton_(Kit::boton("BRevalorar", "Revalorar riesgos pendientes"))
{
    setObjectName("AvisoRevaloraciones");
    setFrameShape(QFrame::StyledPanel);
    texto_->setObjectName("TextoRevaloraciones");
    texto_->setWordWrap(true);
    boton_->setAccessibleName("Revalorar riesgos pendientes");
    boton_->setToolTip("Abre la valoración del riesgo cuya acción está realizada desde hace más tiempo");
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(6, 3, 6, 3);
    h->addWidget(texto_, 1);
    h->addWidget(boton_);
    connect(boton_, &QPushButton::clicked, this, Ranura([this] { revalorarPendiente(); }, ventana));
    hide();
}

void RevaloracionPlan::estadoCambiado(DataSource* ds)
{
    const int fila = ds->currentRow();
    if (fila < 0 || ds->fieldValue(fila, "IDEvaluacion").isNull())
        return;
    const long long linea = ds->fieldValue(fila, "IDActuacionRegistro").toLongLong();
    const QString estado = ds->fieldValue(fila, "Estado").toString();
    Conexion& c = *Conexion::obtener(sesion_.conexion);
    if (estado == QLatin1String("Realizada")) {
        DejarRevaloracionPendiente(c, linea, Hoy());
        actualizar(false);
        // La pregunta sale cuando la cuadrícula ha terminado con la celda.
        QPointer<RevaloracionPlan> yo(this);
        QTimer::singleShot(0, this, [yo, linea] {
            if (yo)
                ProtegerRanura([&] { yo->ofrecer(linea); }, yo->ventana_);
        });
    } else if (!LineaHecha(estado)) {
        QuitarRevaloracionPendiente(c, linea);
        actualizar(false);
    }
}

void RevaloracionPlan::ofrecer(long long idLinea)
{
    for (const RevaloracionPendiente& p : pendientes_) {
        if (p.idLinea != idLinea)
            continue;
        const QString pregunta =
            QString("La acción de «%1» en el puesto «%2» está realizada. ¿Quiere volver a valorar ahora ese riesgo?")
                .arg(p.riesgo, p.puesto);
        if (Servicios().mensaje(ventana_, pregunta, "Volver a valorar", Icono::Pregunta, Botones::SiNo,
                                Respuesta::Si) == Respuesta::Si)
            abrir(p);
        return;
    }
}

void RevaloracionPlan::revalorarPendiente()
{
    if (!pendientes_.empty())
        abrir(pendientes_.front());
}

void RevaloracionPlan::abrir(const RevaloracionPendiente& p)
{
    const RevaloracionPendiente pendiente = p; // dejar la ventana puede volver a leer la lista
    if (!dejarVentana_())
        return;
    abierta() = {sesion_.conexion, pendiente.idRevaloracion};
    sesion_.puestoActual = VentanaAsistente::TextoPuesto(pendiente.idPuestoCentro, pendiente.puesto);
    sesion_.idEmpresa = pendiente.idEmpresa;
    sesion_.riesgoPorValorar = pendiente.idEvaluacion;
    if (RegistroVentanas* r = RegistroVentanas::actual())
        r->abrirNueva(Ventana::SeleccionaRiesgos);
}

void RevaloracionPlan::actualizar(bool preguntar)
{
    Conexion& c = *Conexion::obtener(sesion_.conexion);
    pendientes_ = CerrarRevaloraciones(c, sesion_.idCentro, Hoy());
    if (pendientes_.empty()) {
        texto_->clear();
        hide();
    } else {
        const RevaloracionPendiente& p = pendientes_.front();
        const QString desde = DateBox::format(p.desde);
        if (pendientes_.size() == 1)
            texto_->setText(QString("La acción de %1 está realizada desde el %2 y el riesgo sigue sin volver a "
                                    "valorarse.")
                                .arg(nombrar(p), desde));
        else
            texto_->setText(QString("%1 riesgos con su acción realizada siguen sin volver a valorarse; el primero, "
                                    "%2, desde el %3.")
                                .arg(pendientes_.size())
                                .arg(nombrar(p), desde));
        show();
    }
    if (preguntar && abierta().conexion == sesion_.conexion && abierta().idRevaloracion > 0) {
        QPointer<RevaloracionPlan> yo(this);
        QTimer::singleShot(0, this, [yo] {
            if (yo)
                ProtegerRanura([&] { yo->preguntarSiSigueIgual(); }, yo->ventana_);
        });
    }
}

void RevaloracionPlan::preguntarSiSigueIgual()
{
    const long long id = abierta().idRevaloracion;
    if (abierta().conexion != sesion_.conexion || id <= 0)
        return;
    abierta() = {};
    for (const RevaloracionPendiente& p : pendientes_) {
        if (p.idRevaloracion != id)
            continue;
        const QString pregunta = QString("%1 sigue con el nivel «%2». ¿Da por hecha su nueva valoración?")
                                     .arg(nombrar(p), nivelCorto(p.nivelAnterior));
        if (Servicios().mensaje(ventana_, pregunta, "Volver a valorar", Icono::Pregunta, Botones::SiNo,
                                Respuesta::No) == Respuesta::Si) {
            DarPorRevalorado(*Conexion::obtener(sesion_.conexion), id, Hoy());
            actualizar(false);
        }
        return;
    }
}
