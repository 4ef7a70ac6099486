#include "repair/Reparar.h"

#include "plataforma/CarpetaPrograma.h"
#include "plataforma/GeometriaVentana.h"
#include "plataforma/PlataformaServicios.h"
#include "repair/DigitosReloj.h"
#include "store/ErrorBD.h"
#include "store/postgres/ConexionPg.h"
#include "store/postgres/CopiaArchivo.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// Espera máxima de la conexión con el servidor, en segundos.
constexpr int EsperaServidor = 5;

const char* const nombresPosiciones[4] = {"UNO", "DOS", "TRES", "CUATRO"};
const char* const descripcionesPosiciones[4] = {"Decenas de minutos", "Unidades de minutos", "Decenas de segundos",
                                                "Unidades de segundos"};
} // namespace

Reparar::Reparar(PlataformaServicios& servicios, const QString& carpeta, QWidget* padre)
    : QWidget(padre), servicios_(servicios), carpeta_(carpeta)
{
    setObjectName(QStringLiteral("Reparar"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    estado_ = new QLabel(this);
    estado_->setObjectName(QStringLiteral("Mensaje"));
    estado_->setAccessibleName(tr("Estado"));
    estado_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    estado_->setWordWrap(true);
    estado_->setMargin(6);
    estado_->setFixedWidth(440);
    estado_->setMinimumHeight(estado_->fontMetrics().lineSpacing() * 2 + 14);
    estado_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    estado_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // Las diez cifras se dibujan una vez; las posiciones del reloj sólo toman la que toca.
    for (int i = 0; i < 10; ++i) {
        dibujosCifras_[i] = new QLabel(this);
        dibujosCifras_[i]->setObjectName(QStringLiteral("Image1"));
        dibujosCifras_[i]->setProperty("Index", i);
        dibujosCifras_[i]->setPixmap(DibujarDigitoReloj(i));
        dibujosCifras_[i]->hide();
    }

    auto* Label74 = new QLabel(tr("Tiempo"), this);
    Label74->setObjectName(QStringLiteral("Label74"));
    QFont negrita = Label74->font();
    negrita.setBold(true);
    Label74->setFont(negrita);

    auto* marcador = new QFrame(this);
    marcador->setObjectName(QStringLiteral("Marcador"));
    marcador->setFrameStyle(QFrame::Box | QFrame::Plain);
    marcador->setStyleSheet(QStringLiteral("#Marcador { background: rgb(24, 28, 24); border: 2px solid rgb(90, 90, "
                                           "90); border-radius: 4px; }"));
    auto* cifras = new QHBoxLayout(marcador);
    cifras->setContentsMargins(8, 6, 8, 6);
    cifras->setSpacing(3);
    for (int i = 0; i < 4; ++i) {
        if (i == 2) {
            auto* separador = new QLabel(marcador);
            separador->setObjectName(QStringLiteral("Separador"));
            separador->setPixmap(DibujarSeparadorReloj());
            cifras->addWidget(separador);
        }
        posiciones_[i] = new QLabel(marcador);
        posiciones_[i]->setObjectName(QString::fromLatin1(nombresPosiciones[i]));
        posiciones_[i]->setAccessibleName(tr(descripcionesPosiciones[i]));
        posiciones_[i]->setFixedSize(TamanoDigitoReloj());
        posiciones_[i]->setPixmap(dibujosCifras_[0]->pixmap());
        cifras->addWidget(posiciones_[i]);
    }
    Label74->setBuddy(marcador);

    auto* filaReloj = new QHBoxLayout;
    filaReloj->addStretch();
    filaReloj->addWidget(Label74);
    filaReloj->addSpacing(12);
    filaReloj->addWidget(marcador);
    filaReloj->addStretch();

    botonCompactar_ = new QPushButton(tr("Compactar/Reparar"), this);
    botonCompactar_->setObjectName(QStringLiteral("SSCommand1"));
    botonVolver_ = new QPushButton(tr("Volver al Programa"), this);
    botonVolver_->setObjectName(QStringLiteral("SSCommand2"));
    botonCopiar_ = new QPushButton(tr("Copiar a un archivo"), this);
    botonCopiar_->setObjectName(QStringLiteral("BCopiarArchivo"));
    for (QPushButton* b : {botonCompactar_, botonCopiar_, botonVolver_}) {
        b->setAccessibleName(b->text());
        b->setMinimumSize(150, 32);
        b->setAutoDefault(false);
    }
    auto* botones = new QHBoxLayout;
    botones->addStretch();
    botones->addWidget(botonCompactar_);
    botones->addSpacing(12);
    botones->addWidget(botonCopiar_);
    botones->addSpacing(12);
    botones->addWidget(botonVolver_);
    botones->addStretch();

    auto* todo = new QVBoxLayout(this);
    todo->setContentsMargins(14, 14, 14, 14);
    todo->setSpacing(14);
    todo->addWidget(estado_);
    todo->addLayout(filaReloj);
    todo->addLayout(botones);
    // Crece hacia abajo si un aviso largo necesita más líneas.
    todo->setSizeConstraint(QLayout::SetFixedSize);

    temporizadorReloj_ = new QTimer(this);
    temporizadorReloj_->setObjectName(QStringLiteral("Timer1"));
    temporizadorReloj_->setInterval(1000);
    connect(temporizadorReloj_, &QTimer::timeout, this, &Reparar::avanzarReloj);
    connect(botonCompactar_, &QPushButton::clicked, this, &Reparar::compactar);
    connect(botonVolver_, &QPushButton::clicked, this, &Reparar::volverAlPrograma);
    connect(botonCopiar_, &QPushButton::clicked, this, &Reparar::copiarAArchivo);

    origen_ = LeerOrigen();
    botonCopiar_->setVisible(origen_.enServidor);

    // Carga: el reloj corre desde que se abre la ventana.
    temporizadorReloj_->start();
    adjustSize();
    CentrarFormulario(this);
    setWindowTitle(tr("Compactar/Reparar Base de Datos"));
    estado_->setText(tr("Preparado"));
    reloj_.Segundos = 0;
    reloj_.Minutos = 0;
    mostrados_.fill(QLatin1Char('0'));
    if (origen_.enServidor) {
        explicarServidor();
        adjustSize();
        CentrarFormulario(this);
    }
}

void Reparar::explicarServidor()
{
    // El archivo de la carpeta no es el que usa el programa: compactarlo no arreglaría nada.
    botonCompactar_->setEnabled(false);
    estado_->setText(tr("El programa trabaja con la base de datos «%1» del servidor PostgreSQL. Su compactación y "
                        "su reparación no se hacen desde aquí: son tarea del administrador del servidor, con las "
                        "herramientas del propio servidor (VACUUM FULL para compactar, REINDEX para rehacer los "
                        "índices y pg_dump para las copias de seguridad). Con «Copiar a un archivo» puede guardar "
                        "los datos del servidor en un archivo de este equipo.")
                         .arg(FuenteServidor(origen_.servidor)));
    // Tan ancha como los tres botones, y tan alta como pida el texto.
    estado_->setFixedWidth(540);
    estado_->setMinimumHeight(estado_->heightForWidth(540));
}

void Reparar::copiarAArchivo()
{
    const QString titulo = tr("Copiar a un archivo");
    const QString destino =
        servicios_.elegirArchivo(this, titulo, QDir(carpeta_).filePath(QStringLiteral("Evaluacion servidor.mdb")),
                                 tr("Bases de datos (*.mdb)"), true);
    if (destino.isEmpty())
        return;
    botonCopiar_->setEnabled(false);
    servicios_.relojArena(true);
    ResultadoTraslado r;
    try {
        // La contraseña, del archivo de contraseñas de libpq, como al abrir el programa.
        ConexionPg conexion = conectarPg(QString::fromUtf8(ParametrosLibpq(origen_.servidor, EsperaServidor)));
        r = ::copiarAArchivo(conexion.get(), destino, [this](const QString& tabla, int hechas, int total) {
            estado_->setText(tabla.isEmpty()
                                 ? tr("Contando las filas copiadas....")
                                 : tr("Copiando la tabla %1 (%2 de %3)....").arg(tabla).arg(hechas + 1).arg(total));
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
    } catch (const ErrorBD& e) {
        r.mensaje = tr("No se puede conectar con el servidor «%1»: no se ha copiado nada.\n\n%2")
                        .arg(FuenteServidor(origen_.servidor), e.descripcion());
    }
    servicios_.relojArena(false);
    botonCopiar_->setEnabled(true);
    estado_->setText(r.mensaje);
    layout()->activate();
    servicios_.mensaje(this, r.mensaje, titulo,
                       r.hecho ? PlataformaServicios::Icono::Informacion : PlataformaServicios::Icono::Critico,
                       PlataformaServicios::Botones::Aceptar, PlataformaServicios::Respuesta::Aceptar);
}

void Reparar::avanzarReloj()
{
    reloj_.avanzar();
    const std::array<QChar, 4> c = reloj_.cifras();
    for (int i = 0; i < 4; ++i)
        MostrarDigito(i, c[i]);
}

void Reparar::MostrarDigito(int posicion, QChar caracter)
{
    if (caracter < QLatin1Char('0') || caracter > QLatin1Char('9'))
        return;
    posiciones_[posicion]->setPixmap(dibujosCifras_[caracter.unicode() - '0']->pixmap());
    mostrados_[posicion] = caracter;
}

void Reparar::compactar()
{
    // El reloj sigue la cuenta que llevaba desde que se abrió la ventana.
    if (!temporizadorReloj_->isActive())
        temporizadorReloj_->start();
    estado_->setText(tr("Compactando Base de Datos...."));
    repaint();
    servicios_.relojArena(true);
    ultimo_ = CompactarBaseDatos(carpeta_, ConfiguracionRegionalDestino);
    estado_->setText(ultimo_.mensaje);
    layout()->activate(); // un aviso largo hace crecer la ventana ya, no en la próxima vuelta
    temporizadorReloj_->stop();
    servicios_.relojArena(false);
}

void Reparar::volverAlPrograma()
{
    const QString programa = rutaPrograma(carpeta_, QStringLiteral("Evaluacion"));
    if (!servicios_.iniciarPrograma(programa)) {
        // Terminar sin que arranque nada dejaría al usuario sin programa y sin saber por qué.
        servicios_.mensaje(
            this,
            tr("No se puede iniciar el programa «%1». Compruebe que está en la carpeta del programa.").arg(programa),
            tr("Volver al Programa"), PlataformaServicios::Icono::Critico, PlataformaServicios::Botones::Aceptar,
            PlataformaServicios::Respuesta::Aceptar);
        return;
    }
    terminar();
}

void Reparar::closeEvent(QCloseEvent* evento)
{
    evento->accept();
    if (terminando_)
        return;
    terminar();
}

void Reparar::terminar()
{
    // Los servicios cierran las conexiones y acaban el proceso; sólo los de prueba vuelven, con
    // ProgramaTerminado, que no debe salir hacia Qt.
    terminando_ = true;
    try {
        servicios_.terminarPrograma();
    } catch (const ProgramaTerminado&) {
    }
}
