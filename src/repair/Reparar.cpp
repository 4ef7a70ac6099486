#include "repair/Reparar.h"

#include "plataforma/CarpetaPrograma.h"
#include "plataforma/GeometriaVentana.h"
#include "plataforma/PlataformaServicios.h"
#include "repair/DigitosReloj.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
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
    for (QPushButton* b : {botonCompactar_, botonVolver_}) {
        b->setAccessibleName(b->text());
        b->setMinimumSize(150, 32);
        b->setAutoDefault(false);
    }
    auto* botones = new QHBoxLayout;
    botones->addStretch();
    botones->addWidget(botonCompactar_);
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

    // Carga: el reloj corre desde que se abre la ventana.
    temporizadorReloj_->start();
    adjustSize();
    CentrarFormulario(this);
    setWindowTitle(tr("Compactar/Reparar Base de Datos"));
    estado_->setText(tr("Preparado"));
    reloj_.Segundos = 0;
    reloj_.Minutos = 0;
    mostrados_.fill(QLatin1Char('0'));
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
