#include "evaluation/InicioEvaluacion.h"

#include "plataforma/PlataformaServicios.h"
#include "shell/Comprobaciones.h"
#include "shell/DateBox.h"
#include "shell/IconosEntrada.h"
#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "shell/MarcoCentro.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "store/Recordset.h"
#include "store/VersionEvaluacion.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
// Abre una ventana del asistente nueva, descartando la que hubiera.
void abrirPaso(Ventana ventana)
{
    if (RegistroVentanas* r = RegistroVentanas::actual())
        r->abrirNueva(ventana);
}

// Una fecha sin valor se guarda como nulo, no como una fecha vacía.
QVariant valorFecha(const QDate& fecha)
{
    return fecha.isValid() ? QVariant(fecha) : QVariant();
}
} // namespace

InicioEvaluacion::InicioEvaluacion(Sesion& sesion, QWidget* parent) : QWidget(parent), sesion_(sesion)
{
    setObjectName(NombreVentana(Ventana::InicioEvaluacion));
    construir();
    AplicarAccesibilidad(this);
    // Alto para los cuatro pasos con su explicación entera, sin apretar las líneas.
    EjecutarCarga({[this] { ColocarEnTwips(this, 100, 100, 12700, 6300); },
                   [this] { setWindowTitle("Iniciar Evaluación"); }, [this] { Colocar(); }},
                  this);
}

InicioEvaluacion::~InicioEvaluacion() = default;

void InicioEvaluacion::construir()
{
    auto* v = new QVBoxLayout(this);
    v->addWidget(Kit::banner("LabelCabecera", "CREAR EVALUACIÓN", 1.4));
    marcoCentro_ = new MarcoCentro(MarcoCentro::Forma::EnLinea);
    auto* lineaCentro = new QHBoxLayout;
    lineaCentro->addWidget(marcoCentro_, 1);
    v->addLayout(lineaCentro);
    v->addWidget(construirDatos(lineaCentro));

    const struct
    {
        const char* nombre;
        const char* texto;
        const char* explicacion;
        Ventana ventana;
    } pasos[] = {
        {"CEvaluacion", "1- PUESTO DE TRABAJO", "Permite describir los puestos asociados al centro de trabajo",
         Ventana::Puestos},
        {"BFactores", "2- FACTORES DE RIESGO",
         "A partir de una lista predeterminada se eligen las causas de los riesgos por puesto de trabajo",
         Ventana::SeleccionaFactores},
        {"BEvaluacion", "3- EVALUACION DE RIESGOS",
         "Se evalúan los riesgos generados por puesto de trabajo, indicando la probabilidad de que ocurran y  las "
         "consecuencias.",
         Ventana::SeleccionaRiesgos},
        {"BMedidas", "4- MEDIDAS PREVENTIVAS",
         "Dependiendo de los riesgos y los factores de riesgo se harán efectivas diferentes medidas preventivas "
         "necesarias para evitar o reducir los riesgos existentes",
         Ventana::SeleccionaMedidas},
    };
    auto* g = new QGridLayout;
    int fila = 0;
    for (const auto& p : pasos) {
        QPushButton* b = Kit::boton(p.nombre, p.texto);
        b->setMinimumWidth(230);
        b->setToolTip(p.explicacion);
        auto* texto = new QLabel(p.explicacion);
        texto->setObjectName(QString(p.nombre) + "Explicacion");
        texto->setWordWrap(true);
        g->addWidget(b, fila, 0);
        g->addWidget(texto, fila, 1);
        botonesPaso_[size_t(fila++)] = b;
        const Ventana ventana = p.ventana;
        connect(b, &QPushButton::clicked, this, Ranura([ventana] { abrirPaso(ventana); }, this));
    }
    g->setColumnStretch(1, 1);
    v->addLayout(g);
    v->addStretch();

    auto* pie = new QHBoxLayout;
    QToolButton* volver = Kit::botonImagen("Image1", "Volver a la Pantalla Empresa", QStyle::SP_ArrowBack,
                                           "Volver a la Pantalla Empresa");
    QToolButton* ayuda = Kit::botonImagen("Image9", "Ayuda", QStyle::SP_DialogHelpButton, "Ayuda");
    ayuda->setIcon(IconosEntrada::ayuda());
    pie->addWidget(volver);
    pie->addStretch();
    pie->addWidget(ayuda);
    v->addLayout(pie);
    connect(volver, &QToolButton::clicked, this,
            Ranura(
                [this] {
                    if (RegistroVentanas* r = RegistroVentanas::actual();
                        r && r->ventana(Ventana::InicioEvaluacion) == this)
                        r->ocultar(Ventana::InicioEvaluacion);
                    else
                        hide();
                },
                this));
    connect(ayuda, &QToolButton::clicked, this, Ranura([this] { AbrirAyuda(this, "Inicio Evaluacion"); }, this));
}

void InicioEvaluacion::Colocar()
{
    bool parar = false;
    bool factores = false, riesgos = false;
    Recordset centro;
    EjecutarPresentacion(
        {[&] { AbrirCentroEnCurso(centro, sesion_); },
         [&] {
             if (centro.eof())
                 parar = true;
         },
         [&] {
             if (!parar)
                 marcoCentro_->mostrar(centro.value("Direccion"));
         },
         [&] {
             if (parar) {
                 marcoDatos_->setEnabled(false);
                 listaMotivo_->setEnabled(false);
             } else
                 mostrarDatos(centro);
         },
         [&] {
             if (parar)
                 return;
             factores = ComprobarFactores(sesion_.conexion, sesion_.idEmpresa, sesion_.idCentro).completo;
             riesgos = ComprobarRiesgos(sesion_.conexion, sesion_.idEmpresa, sesion_.idCentro).completo;
             // La última lista es la que queda en la sesión, como siempre.
             sesion_.pendientes = ComprobarMedidas(sesion_.conexion, sesion_.idEmpresa, sesion_.idCentro).pendientes;
         },
         [&] {
             if (parar)
                 return;
             rsPuestos_ = std::make_unique<Recordset>();
             rsPuestos_->open("Select * from PuestosCentros where IDCentro = ?;", sesion_.conexion,
                              {qlonglong(sesion_.idCentro)});
             rsPuestos_->requery();
             const bool hayPuestos = rsPuestos_->recordCount() > 0;
             // Cada paso se abre cuando los anteriores están hechos.
             const bool abiertos[] = {true, hayPuestos, hayPuestos && factores, hayPuestos && factores && riesgos};
             for (size_t i = 0; i < botonesPaso_.size(); ++i)
                 botonesPaso_[i]->setEnabled(abiertos[i]);
         }},
        nullptr, nullptr, this);
}

QGroupBox* InicioEvaluacion::construirDatos(QHBoxLayout* lineaCentro)
{
    // Sin título y con márgenes justos: en el alto de siempre han de caber también los cuatro pasos
    // con sus explicaciones.
    marcoDatos_ = new QGroupBox;
    marcoDatos_->setObjectName("FrameDatos");
    marcoDatos_->setAccessibleName(QStringLiteral("Datos de la evaluación"));
    auto* g = new QGridLayout(marcoDatos_);
    g->setContentsMargins(6, 2, 6, 2);
    g->setVerticalSpacing(2);
    cajaFecha_ = Kit::cajaFecha("dteFechaEvaluacion", QStringLiteral("Fecha de la evaluación"));
    cajaRevision_ = Kit::cajaFecha("dteFechaRevision", QStringLiteral("Próxima revisión"));
    cajaRevision_->setToolTip(QStringLiteral("Por defecto, un año después de la fecha de la evaluación"));
    listaMotivo_ = new QComboBox;
    listaMotivo_->setObjectName("cmbMotivo");
    listaMotivo_->addItems(MotivosEvaluacion());
    listaMotivo_->setPlaceholderText(QStringLiteral("Sin indicar"));
    listaMotivo_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    cajaVersion_ = Kit::cajaLectura("strVersion", QStringLiteral("Versión"));
    cajaVersion_->setFocusPolicy(Qt::ClickFocus);
    cajaVersion_->setToolTip(QStringLiteral("La última versión emitida (impresa o exportada) del documento"));
    // El motivo va en la línea del centro; las dos fechas y la versión, en una sola fila.
    lineaCentro->addWidget(Kit::etiqueta(QStringLiteral("Motivo"), listaMotivo_));
    lineaCentro->addWidget(listaMotivo_);
    g->addWidget(Kit::etiqueta(QStringLiteral("Fecha de la evaluación"), cajaFecha_), 0, 0);
    g->addWidget(cajaFecha_, 0, 1);
    g->addWidget(Kit::etiqueta(QStringLiteral("Próxima revisión"), cajaRevision_), 0, 2);
    g->addWidget(cajaRevision_, 0, 3);
    g->addWidget(Kit::etiqueta(QStringLiteral("Versión"), cajaVersion_), 0, 4);
    g->addWidget(cajaVersion_, 0, 5);
    g->setColumnStretch(6, 1);
    marcoDatos_->setEnabled(false);
    listaMotivo_->setEnabled(false);

    connect(cajaFecha_, &DateBox::editingFinished, this, Ranura([this] { guardarFecha(); }, this));
    connect(cajaRevision_, &DateBox::editingFinished, this, Ranura([this] { guardarRevision(); }, this));
    connect(listaMotivo_, qOverload<int>(&QComboBox::activated), this,
            [this](int i) { ProtegerRanura([this, i] { guardarMotivo(i); }, this); });
    return marcoDatos_;
}

void InicioEvaluacion::mostrarDatos(Recordset& centro)
{
    fechaGuardada_ = centro.value("FechaEvaluacion").toDate();
    revisionGuardada_ = centro.value("FechaRevision").toDate();
    cajaFecha_->setValue(valorFecha(fechaGuardada_));
    cajaRevision_->setValue(valorFecha(revisionGuardada_));
    for (DateBox* caja : {cajaFecha_, cajaRevision_})
        caja->setProperty("rechazada", QVariant());

    const QString motivo = NuloATexto(centro.value("MotivoEvaluacion")).toString();
    int i = motivo.isEmpty() ? -1 : listaMotivo_->findText(motivo);
    if (i < 0 && !motivo.isEmpty()) {
        // Un motivo escrito de otra forma se enseña tal cual: no se cambia sin que el usuario lo elija.
        listaMotivo_->addItem(motivo);
        i = listaMotivo_->count() - 1;
    }
    listaMotivo_->setCurrentIndex(i);

    // La versión emitida es la mayor entre la del centro y la del historial.
    Recordset historial;
    historial.open("SELECT Version, FechaEvaluacion FROM VersionesEvaluacion WHERE IDCentro = ? "
                   "ORDER BY Version DESC LIMIT 1;",
                   sesion_.conexion, {qlonglong(sesion_.idCentro)});
    const int enHistorial = historial.eof() ? 0 : historial.value("Version").toInt();
    const int version = qMax(enHistorial, int(NuloACero(centro.value("VersionEvaluacion")).toDouble()));
    QString texto = QStringLiteral("sin emitir");
    if (version > 0) {
        texto = QString::number(version);
        const QDate fecha = enHistorial == version ? historial.value("FechaEvaluacion").toDate() : QDate();
        if (fecha.isValid())
            texto += QStringLiteral(" de ") + DateBox::format(fecha);
    }
    cajaVersion_->setText(texto);
    marcoDatos_->setEnabled(true);
    listaMotivo_->setEnabled(true);
}

std::optional<QDate> InicioEvaluacion::fechaCambiada(DateBox* caja, const QString& nombre, const QDate& guardada)
{
    if (caja->isValid()) {
        caja->setProperty("rechazada", QVariant());
        if (caja->date() == guardada)
            return std::nullopt;
        return caja->date();
    }
    // Al salir de la caja con lo mismo escrito no se vuelve a avisar.
    if (caja->property("rechazada").toString() == caja->text())
        return std::nullopt;
    caja->setProperty("rechazada", caja->text());
    Servicios().mensaje(this,
                        nombre + QStringLiteral(": ") + caja->problem() + QStringLiteral("\n\nNo se ha guardado."),
                        QStringLiteral("Fecha no válida"), PlataformaServicios::Icono::Critico,
                        PlataformaServicios::Botones::Aceptar, PlataformaServicios::Respuesta::Aceptar);
    return std::nullopt;
}

void InicioEvaluacion::guardarFecha()
{
    const std::optional<QDate> cambiada =
        fechaCambiada(cajaFecha_, QStringLiteral("Fecha de la evaluación"), fechaGuardada_);
    if (!cambiada)
        return;
    const QDate nueva = *cambiada;
    // La revisión por defecto es un año después de la evaluación: mientras nadie la cambie, sigue
    // a la fecha. Sin fecha, tampoco queda revisión por defecto.
    QDate revision = revisionGuardada_;
    if (!revision.isValid() || (fechaGuardada_.isValid() && revision == fechaGuardada_.addYears(1)))
        revision = nueva.isValid() ? nueva.addYears(1) : QDate();
    Recordset::execute("UPDATE CentroTrabajo SET FechaEvaluacion = ?, FechaRevision = ? WHERE IDCentro = ?;",
                       sesion_.conexion, {valorFecha(nueva), valorFecha(revision), qlonglong(sesion_.idCentro)});
    fechaGuardada_ = nueva;
    revisionGuardada_ = revision;
    cajaRevision_->setValue(valorFecha(revision));
}

void InicioEvaluacion::guardarRevision()
{
    const std::optional<QDate> nueva =
        fechaCambiada(cajaRevision_, QStringLiteral("Próxima revisión"), revisionGuardada_);
    if (!nueva)
        return;
    Recordset::execute("UPDATE CentroTrabajo SET FechaRevision = ? WHERE IDCentro = ?;", sesion_.conexion,
                       {valorFecha(*nueva), qlonglong(sesion_.idCentro)});
    revisionGuardada_ = *nueva;
}

void InicioEvaluacion::guardarMotivo(int indice)
{
    if (indice < 0)
        return;
    Recordset::execute("UPDATE CentroTrabajo SET MotivoEvaluacion = ? WHERE IDCentro = ?;", sesion_.conexion,
                       {listaMotivo_->itemText(indice), qlonglong(sesion_.idCentro)});
}
