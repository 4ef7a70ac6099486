#include "shell/Entrada.h"

#include "plataforma/PlataformaServicios.h"
#include "shell/AccionesCopia.h"
#include "shell/EstadoTeclas.h"
#include "shell/IconosEntrada.h"
#include "shell/ManejadorErrores.h"
#include "shell/OrigenDatosInicio.h"
#include "shell/Rutinas.h"

#include "plataforma/ConexionServidor.h"
#include "plataforma/InstanciaPrograma.h"
#include "plataforma/Reloj.h"
#include "store/Conexion.h"
#include "store/EstadoCentros.h"
#include "store/ProteccionDiario.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QDockWidget>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

namespace {
using Icono = PlataformaServicios::Icono;
using Botones = PlataformaServicios::Botones;
using Respuesta = PlataformaServicios::Respuesta;

QToolButton* botonImagen(QWidget* padre, const QString& nombre, const QString& ayuda, const QIcon& icono)
{
    auto* boton = new QToolButton(padre);
    boton->setObjectName(nombre);
    boton->setToolTip(ayuda);
    boton->setIcon(icono);
    boton->setIconSize(QSize(IconosEntrada::Lado, IconosEntrada::Lado));
    boton->setAutoRaise(true);
    boton->setCursor(Qt::PointingHandCursor);
    boton->setFocusPolicy(Qt::TabFocus);
    return boton;
}

QFrame* separador(QWidget* padre)
{
    auto* linea = new QFrame(padre);
    linea->setFrameShape(QFrame::VLine);
    linea->setFrameShadow(QFrame::Sunken);
    return linea;
}

QLabel* panelEstado(QStatusBar* barra, const QString& nombre, const QString& texto, bool ajustable = false)
{
    auto* etiqueta = new QLabel(texto, barra);
    etiqueta->setObjectName(nombre);
    etiqueta->setFrameShape(QFrame::Panel);
    etiqueta->setFrameShadow(QFrame::Sunken);
    etiqueta->setContentsMargins(6, 0, 6, 0);
    if (ajustable)
        barra->addWidget(etiqueta, 1);
    else
        barra->addPermanentWidget(etiqueta);
    return etiqueta;
}
} // namespace

Entrada::Entrada(QWidget* parent) : QMainWindow(parent), area_(new QMdiArea), registro_(area_, sesion_)
{
    // En una pantalla pequeña una ventana puede no caber: con barras se llega a toda ella.
    area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    construir();
    AplicarAccesibilidad(this);
    ProtegerRanura([this] { cargar(); }, this);
}

Entrada::~Entrada()
{
    // La lectura aparte de los centros no sigue con el archivo abierto cuando ya no hay programa.
    TerminarEstadoCentros();
}

void Entrada::registrarVentanaEmpresa(RegistroVentanas::Fabrica fabrica)
{
    RegistroVentanas::registrarFabrica(Ventana::Empresa, std::move(fabrica));
}

QString Entrada::direccionLectorPdf()
{
    return QStringLiteral("https://get.adobe.com/es/reader/");
}

void Entrada::construir()
{
    setObjectName(QStringLiteral("Entrada"));
    area_->setObjectName(QStringLiteral("AreaVentanas"));
    area_->setBackground(QColor(171, 171, 171));
    setCentralWidget(area_);

    // Panel de botones dentro de un divisor acoplado arriba.
    auto* muelle = new QDockWidget(this);
    muelle->setObjectName(QStringLiteral("MuelleBotones"));
    muelle->setFeatures(QDockWidget::NoDockWidgetFeatures);
    muelle->setTitleBarWidget(new QWidget(muelle));
    divisor_ = new QSplitter(Qt::Horizontal, muelle);
    divisor_->setObjectName(QStringLiteral("SSSplitter2"));
    divisor_->setChildrenCollapsible(false);
    panel_ = new QFrame(divisor_);
    panel_->setObjectName(QStringLiteral("SSPanel2"));
    static_cast<QFrame*>(panel_)->setFrameShape(QFrame::StyledPanel);
    static_cast<QFrame*>(panel_)->setFrameShadow(QFrame::Raised);
    panel_->setAutoFillBackground(true);
    divisor_->addWidget(panel_);
    muelle->setWidget(divisor_);
    addDockWidget(Qt::TopDockWidgetArea, muelle);

    auto* fila = new QHBoxLayout(panel_);
    fila->setContentsMargins(8, 4, 8, 4);
    fila->setSpacing(4);

    QFont letraBoton = font();
    letraBoton.setBold(true);
    letraBoton.setPointSizeF(letraBoton.pointSizeF() * 1.15);

    inicio_ = new QPushButton(QStringLiteral("Inicio"), panel_);
    inicio_->setObjectName(QStringLiteral("SSCommand1"));
    salir_ = new QPushButton(QStringLiteral("Salir"), panel_);
    salir_->setObjectName(QStringLiteral("BOSalir"));
    for (QPushButton* b : {inicio_, salir_}) {
        b->setFont(letraBoton);
        b->setMinimumSize(96, 44);
        b->installEventFilter(this);
    }

    auto* empresas =
        botonImagen(panel_, QStringLiteral("Image3"), QStringLiteral("Empresas"), IconosEntrada::empresas());
    auto* resumen =
        botonImagen(panel_, QStringLiteral("BResumenCentros"),
                    QStringLiteral("Resumen de centros: la evaluación, la revisión y el plan de cada centro "
                                   "de todas las empresas"),
                    style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    resumen->setAccessibleName(QStringLiteral("Resumen de centros"));
    auto* antes = botonImagen(panel_, QStringLiteral("Image9"), QStringLiteral("Antes de Empezar"),
                              IconosEntrada::antesDeEmpezar());
    auto* conceptos =
        botonImagen(panel_, QStringLiteral("Image7"), QStringLiteral("Conceptos basicos"), IconosEntrada::conceptos());
    auto* utilidades =
        botonImagen(panel_, QStringLiteral("Image8"), QStringLiteral("Utilidades"), IconosEntrada::utilidades());
    auto* copia = botonImagen(panel_, QStringLiteral("BCopiaSeguridad"), QStringLiteral("Copia de seguridad"),
                              IconosEntrada::copia());
    auto* restaurar = botonImagen(panel_, QStringLiteral("BRestaurarCopia"), QStringLiteral("Restaurar copia"),
                                  IconosEntrada::restaurar());
    auto* origen = botonImagen(panel_, QStringLiteral("BOrigenDatos"),
                               QStringLiteral("Origen de datos: el archivo de la carpeta del programa o un servidor"),
                               IconosEntrada::origenDatos());
    origen->setAccessibleName(QStringLiteral("Origen de datos"));
    auto* lector = botonImagen(panel_, QStringLiteral("Image2"),
                               QStringLiteral("Se necesita tener instalado Adobe Reader, pulsar para instalar"),
                               IconosEntrada::lectorPdf());
    auto* cerrar =
        botonImagen(panel_, QStringLiteral("Image5"), QStringLiteral("Cerrar Aplicación"), IconosEntrada::cerrar());

    fila->addWidget(inicio_);
    fila->addWidget(separador(panel_));
    fila->addWidget(empresas);
    fila->addWidget(resumen);
    fila->addWidget(antes);
    fila->addWidget(conceptos);
    fila->addWidget(separador(panel_));
    fila->addWidget(utilidades);
    fila->addWidget(copia);
    fila->addWidget(restaurar);
    fila->addWidget(origen);
    fila->addWidget(lector);
    fila->addStretch(1);
    fila->addWidget(cerrar);
    fila->addWidget(salir_);

    connect(inicio_, &QPushButton::clicked, this, Ranura([this] { abrirEmpresa(); }, this));
    connect(empresas, &QToolButton::clicked, this, Ranura([this] { abrirEmpresa(); }, this));
    connect(resumen, &QToolButton::clicked, this, Ranura([this] { abrirResumenCentros(); }, this));
    connect(antes, &QToolButton::clicked, this,
            Ranura([this] { abrirDocumento(QStringLiteral("Antes de empezardef.pdf")); }, this));
    connect(conceptos, &QToolButton::clicked, this,
            Ranura([this] { abrirDocumento(QStringLiteral("Conceptos basicos.pdf")); }, this));
    connect(lector, &QToolButton::clicked, this,
            Ranura([this] { Servicios().abrirDocumento(this, direccionLectorPdf()); }, this));
    connect(utilidades, &QToolButton::clicked, this, Ranura([] { IniciarReparacionYTerminar(); }, this));
    connect(copia, &QToolButton::clicked, this, Ranura([this] { HacerCopiaSeguridad(this, sesion_.conexion); }, this));
    connect(restaurar, &QToolButton::clicked, this,
            Ranura([this] { RestaurarCopia(this, area_, sesion_.conexion); }, this));
    connect(origen, &QToolButton::clicked, this, Ranura([this] { abrirOrigenDatos(); }, this));
    // Cerrar pasa siempre por la pregunta de salida de closeEvent.
    connect(salir_, &QPushButton::clicked, this, [this] { close(); });
    connect(cerrar, &QToolButton::clicked, this, [this] { close(); });

    // Barra de estado: hora, fecha, teclas y correo.
    auto* barra = new QStatusBar(this);
    barra->setObjectName(QStringLiteral("Barra2"));
    setStatusBar(barra);
    // Lo vencido, si lo hay, a la izquierda; al pulsarlo se abre el resumen de centros.
    vencidos_ = new QToolButton(barra);
    vencidos_->setObjectName(QStringLiteral("Barra2Vencidos"));
    vencidos_->setAutoRaise(true);
    vencidos_->setCursor(Qt::PointingHandCursor);
    vencidos_->setToolTip(QStringLiteral("Abrir el resumen de centros"));
    vencidos_->hide();
    barra->addWidget(vencidos_);
    connect(vencidos_, &QToolButton::clicked, this, Ranura([this] { abrirResumenCentros(); }, this));
    // Con los datos en un servidor, cuál: quien trabaja unas veces en él y otras en una copia sin
    // red tiene que ver a la primera en cuál está escribiendo.
    origenDatos_ = new QLabel(barra);
    origenDatos_->setObjectName(QStringLiteral("Barra2Origen"));
    origenDatos_->hide();
    barra->addWidget(origenDatos_);
    panelEstado(barra, QStringLiteral("Barra2Espacio"), QString(), true)->setFrameShape(QFrame::NoFrame);
    hora_ = panelEstado(barra, QStringLiteral("Barra2Hora"), QString());
    fecha_ = panelEstado(barra, QStringLiteral("Barra2Fecha"), QString());
    // Las tres teclas con su estado de verdad; vacías donde el sistema no lo dice. Una a una: en
    // los argumentos de una llamada el orden en que se crean (el de la barra) no está fijado.
    QLabel* insertar = panelEstado(barra, QStringLiteral("Barra2Insertar"), QString());
    QLabel* numeros = panelEstado(barra, QStringLiteral("Barra2Numeros"), QString());
    QLabel* mayusculas = panelEstado(barra, QStringLiteral("Barra2Mayusculas"), QString());
    new PanelesTeclas(insertar, numeros, mayusculas, this);
    panelEstado(barra, QStringLiteral("Barra2Correo"), QStringLiteral("Correo"));
    hora_->setAccessibleName(QStringLiteral("Hora"));
    fecha_->setAccessibleName(QStringLiteral("Fecha"));
    actualizarReloj();
    // El reloj de la barra necesita avanzar; es lo único que hace este temporizador.
    reloj_ = new QTimer(this);
    reloj_->setObjectName(QStringLiteral("RelojBarra"));
    connect(reloj_, &QTimer::timeout, this, [this] { actualizarReloj(); });
    reloj_->start(1000);

    // Tamaño de partida: cabe una ventana del asistente (12700 twips más su margen) y el panel.
    // Como mínimo eso; en una pantalla mayor, casi toda ella, para que quepan varias ventanas.
    QSize tamano(TwipsAPixeles(14400, this), TwipsAPixeles(9000, this));
    if (QScreen* pantalla = QGuiApplication::primaryScreen()) {
        const QSize disponible = pantalla->availableGeometry().size();
        tamano = tamano.expandedTo(disponible * 0.9).boundedTo(disponible);
    }
    resize(tamano);
}

namespace {
// Reparar toma el mismo bloqueo mientras compacta: entonces no es otra copia del programa.
QString avisoCarpetaOcupada()
{
    if (repararEnCurso(CarpetaPrograma()))
        return QStringLiteral("El programa Reparar está compactando la base de datos. Espere a que su ventana diga "
                              "«Finalizado....» y vuelva a abrir Evaluación de Riesgos.");
    return QStringLiteral("La Aplicación ya se encuentra en Ejecución");
}
} // namespace

void Entrada::cargar()
{
    EjecutarCarga({
                      [this] { CentrarFormulario(this); },
                      [this] { setWindowTitle(QStringLiteral("Evaluación de Riesgos")); },
                      [this] {
                          if (!Servicios().otraInstanciaEnEjecucion(CarpetaPrograma()))
                              return;
                          Servicios().pitido();
                          Servicios().mensaje(this, avisoCarpetaOcupada(), QStringLiteral("Evaluacion"), Icono::Critico,
                                              Botones::Aceptar, Respuesta::Aceptar);
                          Servicios().terminarPrograma();
                      },
                      [this] {
                          // Antes de la primera conexión: un diario que no es del archivo no lo vacía.
                          ProtegerDiario(QDir(CarpetaPrograma()).filePath(QStringLiteral("Evaluacion.mdb")));
                          for (const QString& aviso : TomarAvisosDiario())
                              Servicios().mensaje(this, aviso, QStringLiteral("Evaluación de Riesgos"),
                                                  Icono::Exclamacion, Botones::Aceptar, Respuesta::Aceptar);
                      },
                      // Con un servidor elegido, puede preguntar: la ventana ya tiene su título.
                      [this] { sesion_.conexion = ConexionAlArrancar(this); },
                  },
                  this);
    mostrarOrigenDatos();
    // Cuando la ventana ya está a la vista: contar no retrasa que aparezca.
    QTimer::singleShot(0, this, [this] { avisarVencimientos(); });
}

void Entrada::mostrarOrigenDatos()
{
    const std::optional<DatosServidor> servidor = AnalizarConexionServidor(sesion_.conexion);
    const QString texto =
        servidor
            ? QStringLiteral("Datos en el servidor %1 (usuario %2)").arg(FuenteServidor(*servidor), servidor->usuario)
            : QString();
    origenDatos_->setText(texto);
    origenDatos_->setAccessibleName(texto);
    origenDatos_->setVisible(servidor.has_value());
}

void Entrada::avisarVencimientos()
{
    Vencimientos v;
    // Es sólo un aviso: si la base no se puede leer, lo dirá la primera ventana que la abra, con
    // su manejador de errores y la oferta de reparar.
    EjecutarSinAviso({[&] { v = ContarVencimientos(sesion_.conexion, Hoy()); },
                      // Mientras se trabaja en otra cosa, se va leyendo lo que el resumen de centros tarda más en leer.
                      [this] { PrepararEstadoCentros(sesion_.conexion, Hoy()); }});
    const bool hayVencidos = v.revisiones > 0 || v.acciones > 0;
    const QString revisiones = v.revisiones == 1 ? QStringLiteral("1 revisión vencida")
                                                 : QStringLiteral("%1 revisiones vencidas").arg(v.revisiones);
    const QString acciones =
        v.acciones == 1 ? QStringLiteral("1 acción vencida") : QStringLiteral("%1 acciones vencidas").arg(v.acciones);
    vencidos_->setText(hayVencidos ? revisiones + QStringLiteral(" · ") + acciones : QString());
    vencidos_->setAccessibleName(vencidos_->text());
    vencidos_->setVisible(hayVencidos);
}

void Entrada::abrirEmpresa()
{
    if (RegistroVentanas::hayFabrica(Ventana::Empresa))
        registro_.mostrarCargada(Ventana::Empresa);
}

void Entrada::abrirResumenCentros()
{
    if (RegistroVentanas::hayFabrica(Ventana::ResumenCentros))
        registro_.mostrarCargada(Ventana::ResumenCentros);
}

void Entrada::abrirOrigenDatos()
{
    if (RegistroVentanas::hayFabrica(Ventana::OrigenDatos))
        registro_.mostrarCargada(Ventana::OrigenDatos);
}

void Entrada::abrirDocumento(const QString& nombre)
{
    Servicios().abrirDocumento(this, RutaEnPrograma(nombre));
}

void Entrada::actualizarReloj()
{
    const QDateTime ahora = QDateTime::currentDateTime();
    hora_->setText(ahora.toString(QStringLiteral("HH:mm")));
    fecha_->setText(ahora.toString(QStringLiteral("dd/MM/yyyy")));
}

void Entrada::closeEvent(QCloseEvent* evento)
{
    // Sólo termina el programa: la ventana nunca se cierra por su cuenta.
    evento->ignore();
    ProtegerRanura(
        [this] {
            Respuesta respuesta = Respuesta::No;
            EjecutarSinAviso({
                [&] {
                    respuesta = Servicios().mensaje(this, QStringLiteral("¿Estas seguro de querer Salir?"),
                                                    QStringLiteral("Evaluación Salida"), Icono::Pregunta, Botones::SiNo,
                                                    Respuesta::Si);
                },
                [&] {
                    if (respuesta == Respuesta::Si)
                        Servicios().terminarPrograma();
                },
            });
        },
        this);
}

bool Entrada::eventFilter(QObject* objeto, QEvent* evento)
{
    // Los dos botones de texto se ponen en verde bajo el puntero.
    if ((objeto == inicio_ || objeto == salir_) &&
        (evento->type() == QEvent::Enter || evento->type() == QEvent::Leave)) {
        auto* boton = static_cast<QPushButton*>(objeto);
        QPalette paleta = boton->palette();
        paleta.setColor(QPalette::ButtonText, evento->type() == QEvent::Enter ? QColor(0, 255, 0) : QColor(0, 0, 0));
        boton->setPalette(paleta);
    }
    return QMainWindow::eventFilter(objeto, evento);
}
