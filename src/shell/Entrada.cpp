#include "shell/Entrada.h"

#include "plataforma/PlataformaServicios.h"
#include "shell/AccionesCopia.h"
#include "shell/EstadoTeclas.h"
#include "shell/ManejadorErrores.h"
#include "shell/Rutinas.h"

#include "plataforma/InstanciaPrograma.h"
#include "store/Conexion.h"
#include "store/ProteccionDiario.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QDockWidget>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMdiArea>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

namespace {
using Icono = PlataformaServicios::Icono;
using Botones = PlataformaServicios::Botones;
using Respuesta = PlataformaServicios::Respuesta;

constexpr int LadoIcono = 40;

// Dibujos propios de los botones de imagen.
QPixmap lienzo()
{
    QPixmap p(LadoIcono * 2, LadoIcono * 2); // a doble tamaño para pantallas de alta densidad
    p.setDevicePixelRatio(2.0);
    p.fill(Qt::transparent);
    return p;
}

void documento(QPainter& g, const QColor& color)
{
    QPainterPath hoja;
    hoja.moveTo(9, 4);
    hoja.lineTo(25, 4);
    hoja.lineTo(32, 11);
    hoja.lineTo(32, 36);
    hoja.lineTo(9, 36);
    hoja.closeSubpath();
    g.setPen(QPen(QColor(90, 90, 90), 1.2));
    g.setBrush(Qt::white);
    g.drawPath(hoja);
    g.setBrush(QColor(220, 220, 220));
    g.drawPolygon(QPolygonF({QPointF(25, 4), QPointF(25, 11), QPointF(32, 11)}));
    g.setPen(QPen(color, 2));
    for (int y = 16; y <= 31; y += 5)
        g.drawLine(QPointF(13, y), QPointF(28, y));
}

QIcon iconoEmpresas()
{
    QPixmap p = lienzo();
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fachada(0, 6, 0, 36);
    fachada.setColorAt(0, QColor(96, 140, 200));
    fachada.setColorAt(1, QColor(40, 80, 150));
    g.setPen(QPen(QColor(30, 50, 90), 1.2));
    g.setBrush(fachada);
    g.drawRect(QRectF(6, 10, 17, 26));
    g.drawRect(QRectF(23, 18, 12, 18));
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(255, 236, 150));
    for (int f = 0; f < 4; ++f)
        for (int c = 0; c < 3; ++c)
            g.drawRect(QRectF(8.5 + c * 5, 13 + f * 5.5, 3, 3));
    for (int f = 0; f < 3; ++f)
        g.drawRect(QRectF(26, 21 + f * 5, 6, 2.5));
    g.setBrush(QColor(60, 60, 60));
    g.drawRect(QRectF(12.5, 31, 4, 5));
    return QIcon(p);
}

QIcon iconoAntesDeEmpezar()
{
    QPixmap p = lienzo();
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    documento(g, QColor(70, 130, 70));
    g.setPen(QPen(Qt::white, 1.5));
    g.setBrush(QColor(40, 150, 60));
    g.drawEllipse(QPointF(29, 30), 8, 8);
    g.setPen(Qt::NoPen);
    g.setBrush(Qt::white);
    g.drawPolygon(QPolygonF({QPointF(26.5, 25.5), QPointF(26.5, 34.5), QPointF(34, 30)}));
    return QIcon(p);
}

QIcon iconoConceptos()
{
    QPixmap p = lienzo();
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    // Libro abierto
    g.setPen(QPen(QColor(110, 70, 30), 1.2));
    g.setBrush(QColor(250, 245, 230));
    g.drawPolygon(QPolygonF({QPointF(4, 10), QPointF(20, 13), QPointF(20, 35), QPointF(4, 32)}));
    g.drawPolygon(QPolygonF({QPointF(36, 10), QPointF(20, 13), QPointF(20, 35), QPointF(36, 32)}));
    g.setPen(QPen(QColor(170, 140, 100), 1.2));
    for (int i = 0; i < 4; ++i) {
        g.drawLine(QPointF(7, 16 + i * 4), QPointF(17, 18 + i * 4));
        g.drawLine(QPointF(23, 18 + i * 4), QPointF(33, 16 + i * 4));
    }
    // Bombilla encima
    g.setPen(QPen(QColor(150, 110, 0), 1.2));
    g.setBrush(QColor(255, 215, 40));
    g.drawEllipse(QPointF(20, 8), 6, 6);
    return QIcon(p);
}

// Base de datos: el cilindro de los tres botones que tratan con ella.
void cilindro(QPainter& g)
{
    QLinearGradient cuerpo(6, 0, 28, 0);
    cuerpo.setColorAt(0, QColor(120, 120, 130));
    cuerpo.setColorAt(0.5, QColor(200, 200, 210));
    cuerpo.setColorAt(1, QColor(110, 110, 120));
    g.setPen(QPen(QColor(60, 60, 70), 1.2));
    g.setBrush(cuerpo);
    g.drawRect(QRectF(6, 9, 22, 22));
    g.drawEllipse(QRectF(6, 27, 22, 8));
    g.setPen(Qt::NoPen);
    g.drawRect(QRectF(6.6, 9, 20.8, 22));
    g.setPen(QPen(QColor(60, 60, 70), 1.2));
    g.setBrush(QColor(225, 225, 235));
    g.drawEllipse(QRectF(6, 5, 22, 8));
}

QIcon iconoUtilidades()
{
    QPixmap p = lienzo();
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    cilindro(g);
    // Llave inglesa
    g.save();
    g.translate(27, 25);
    g.rotate(45);
    g.setPen(QPen(QColor(120, 40, 20), 1));
    g.setBrush(QColor(230, 120, 40));
    g.drawRoundedRect(QRectF(-2.5, -2, 5, 16), 1.5, 1.5);
    QPainterPath cabeza;
    cabeza.addEllipse(QPointF(0, -4), 6, 6);
    QPainterPath boca;
    boca.addRect(QRectF(-2.2, -11, 4.4, 8));
    g.drawPath(cabeza.subtracted(boca));
    g.restore();
    return QIcon(p);
}

// Copia de seguridad: la base de datos con una flecha verde que sale hacia abajo.
QIcon iconoCopia()
{
    QPixmap p = lienzo();
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    cilindro(g);
    g.setPen(QPen(QColor(20, 90, 30), 1));
    g.setBrush(QColor(50, 170, 70));
    g.drawPolygon(QPolygonF({QPointF(28, 18), QPointF(34, 18), QPointF(34, 27), QPointF(38, 27), QPointF(31, 36),
                             QPointF(24, 27), QPointF(28, 27)}));
    return QIcon(p);
}

// Restaurar: la base de datos con una flecha azul que vuelve.
QIcon iconoRestaurar()
{
    QPixmap p = lienzo();
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    cilindro(g);
    g.setPen(QPen(QColor(30, 100, 200), 3, Qt::SolidLine, Qt::RoundCap));
    g.setBrush(Qt::NoBrush);
    g.drawArc(QRectF(22, 20, 14, 14), 90 * 16, 270 * 16);
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(30, 100, 200));
    g.drawPolygon(QPolygonF({QPointF(29, 16), QPointF(29, 24), QPointF(24, 20)}));
    return QIcon(p);
}

QIcon iconoLectorPdf()
{
    QPixmap p = lienzo();
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    documento(g, QColor(200, 200, 200));
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(200, 20, 20));
    g.drawRoundedRect(QRectF(4, 20, 24, 12), 2, 2);
    QFont letra = g.font();
    letra.setBold(true);
    letra.setPixelSize(9);
    g.setFont(letra);
    g.setPen(Qt::white);
    g.drawText(QRectF(4, 20, 24, 12), Qt::AlignCenter, QStringLiteral("PDF"));
    // Flecha de descarga
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(30, 110, 200));
    g.drawPolygon(QPolygonF({QPointF(31, 22), QPointF(35, 22), QPointF(35, 29), QPointF(38, 29), QPointF(33, 35),
                             QPointF(28, 29), QPointF(31, 29)}));
    return QIcon(p);
}

QIcon iconoCerrar()
{
    QPixmap p = lienzo();
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    QRadialGradient fondo(QPointF(17, 15), 18);
    fondo.setColorAt(0, QColor(240, 90, 80));
    fondo.setColorAt(1, QColor(170, 20, 20));
    g.setPen(QPen(QColor(120, 10, 10), 1.2));
    g.setBrush(fondo);
    g.drawEllipse(QPointF(20, 20), 15, 15);
    g.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
    g.drawArc(QRectF(12, 12, 16, 16), 120 * 16, 300 * 16);
    g.drawLine(QPointF(20, 9), QPointF(20, 20));
    return QIcon(p);
}

QToolButton* botonImagen(QWidget* padre, const QString& nombre, const QString& ayuda, const QIcon& icono)
{
    auto* boton = new QToolButton(padre);
    boton->setObjectName(nombre);
    boton->setToolTip(ayuda);
    boton->setIcon(icono);
    boton->setIconSize(QSize(LadoIcono, LadoIcono));
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

Entrada::~Entrada() = default;

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

    auto* empresas = botonImagen(panel_, QStringLiteral("Image3"), QStringLiteral("Empresas"), iconoEmpresas());
    auto* antes =
        botonImagen(panel_, QStringLiteral("Image9"), QStringLiteral("Antes de Empezar"), iconoAntesDeEmpezar());
    auto* conceptos =
        botonImagen(panel_, QStringLiteral("Image7"), QStringLiteral("Conceptos basicos"), iconoConceptos());
    auto* utilidades = botonImagen(panel_, QStringLiteral("Image8"), QStringLiteral("Utilidades"), iconoUtilidades());
    auto* copia =
        botonImagen(panel_, QStringLiteral("BCopiaSeguridad"), QStringLiteral("Copia de seguridad"), iconoCopia());
    auto* restaurar =
        botonImagen(panel_, QStringLiteral("BRestaurarCopia"), QStringLiteral("Restaurar copia"), iconoRestaurar());
    auto* lector =
        botonImagen(panel_, QStringLiteral("Image2"),
                    QStringLiteral("Se necesita tener instalado Adobe Reader, pulsar para instalar"), iconoLectorPdf());
    auto* cerrar = botonImagen(panel_, QStringLiteral("Image5"), QStringLiteral("Cerrar Aplicación"), iconoCerrar());

    fila->addWidget(inicio_);
    fila->addWidget(separador(panel_));
    fila->addWidget(empresas);
    fila->addWidget(antes);
    fila->addWidget(conceptos);
    fila->addWidget(separador(panel_));
    fila->addWidget(utilidades);
    fila->addWidget(copia);
    fila->addWidget(restaurar);
    fila->addWidget(lector);
    fila->addStretch(1);
    fila->addWidget(cerrar);
    fila->addWidget(salir_);

    connect(inicio_, &QPushButton::clicked, this, Ranura([this] { abrirEmpresa(); }, this));
    connect(empresas, &QToolButton::clicked, this, Ranura([this] { abrirEmpresa(); }, this));
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
    // Cerrar pasa siempre por la pregunta de salida de closeEvent.
    connect(salir_, &QPushButton::clicked, this, [this] { close(); });
    connect(cerrar, &QToolButton::clicked, this, [this] { close(); });

    // Barra de estado: hora, fecha, teclas y correo.
    auto* barra = new QStatusBar(this);
    barra->setObjectName(QStringLiteral("Barra2"));
    setStatusBar(barra);
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
                      [this] { sesion_.conexion = textoConexion(CarpetaPrograma()); },
                  },
                  this);
}

void Entrada::abrirEmpresa()
{
    if (RegistroVentanas::hayFabrica(Ventana::Empresa))
        registro_.mostrarCargada(Ventana::Empresa);
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
