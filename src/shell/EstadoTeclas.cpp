#include "shell/EstadoTeclas.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>

#if defined(Q_OS_WIN)
#define NOMINMAX
#include <windows.h>
#endif

namespace {
constexpr int PeriodoMs = 500;

#if defined(EVALUACION_CON_XKB)
// Al final del archivo: las cabeceras de Xlib definen macros (KeyPress, None...) que chocan con Qt.
std::optional<bool> indicadorXkb(Display* pantalla, const char* nombre);
#endif
} // namespace

EstadoTeclas LeerEstadoTeclas()
{
    EstadoTeclas estado;
#if defined(Q_OS_WIN)
    // El bit bajo es el de la tecla conmutada, Insert incluida.
    estado.insertar = (GetKeyState(VK_INSERT) & 1) != 0;
    estado.numeros = (GetKeyState(VK_NUMLOCK) & 1) != 0;
    estado.mayusculas = (GetKeyState(VK_CAPITAL) & 1) != 0;
#elif defined(EVALUACION_CON_XKB)
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (Display* pantalla = x11 ? x11->display() : nullptr) {
        estado.numeros = indicadorXkb(pantalla, "Num Lock");
        estado.mayusculas = indicadorXkb(pantalla, "Caps Lock");
    }
#endif
    return estado;
}

PanelesTeclas::PanelesTeclas(QLabel* insertar, QLabel* numeros, QLabel* mayusculas, QObject* padre, Lector lector)
    : QObject(padre), insertar_(insertar), numeros_(numeros), mayusculas_(mayusculas), lector_(std::move(lector)),
      reloj_(new QTimer(this))
{
    // Un panel vacío conserva el ancho de su rótulo: la barra no baila al pulsar las teclas.
    for (auto [panel, rotulo] :
         {std::pair{insertar_, "INS"}, std::pair{numeros_, "NUM"}, std::pair{mayusculas_, "CAPS"}})
        if (panel) {
            const QMargins m = panel->contentsMargins();
            panel->setMinimumWidth(panel->fontMetrics().horizontalAdvance(QString::fromLatin1(rotulo)) + m.left() +
                                   m.right() + 2 * panel->frameWidth());
            panel->setAlignment(Qt::AlignCenter);
        }
    reloj_->setObjectName(QStringLiteral("RelojTeclas"));
    connect(reloj_, &QTimer::timeout, this, &PanelesTeclas::actualizar);
    reloj_->start(PeriodoMs);
    QCoreApplication::instance()->installEventFilter(this);
    actualizar();
}

void PanelesTeclas::actualizar()
{
    const EstadoTeclas estado = lector_ ? lector_() : EstadoTeclas{};
    const auto poner = [](QLabel* panel, const std::optional<bool>& activa, const char* rotulo) {
        const QString texto = activa.value_or(false) ? QString::fromLatin1(rotulo) : QString();
        // Sólo si cambia: cada cambio de texto es un aviso al lector de pantalla.
        if (panel && panel->text() != texto)
            panel->setText(texto);
    };
    poner(insertar_, estado.insertar, "INS");
    poner(numeros_, estado.numeros, "NUM");
    poner(mayusculas_, estado.mayusculas, "CAPS");
}

bool PanelesTeclas::eventFilter(QObject* objeto, QEvent* evento)
{
    if (evento->type() == QEvent::KeyPress || evento->type() == QEvent::KeyRelease) {
        const int tecla = static_cast<QKeyEvent*>(evento)->key();
        // El sistema cambia el estado al tratar la tecla: se lee cuando ha terminado con ella.
        if (tecla == Qt::Key_CapsLock || tecla == Qt::Key_NumLock || tecla == Qt::Key_Insert)
            QTimer::singleShot(0, this, &PanelesTeclas::actualizar);
    }
    return QObject::eventFilter(objeto, evento);
}

#if defined(EVALUACION_CON_XKB)
#include <X11/XKBlib.h>

namespace {
// Indicador de XKB por su nombre ("Caps Lock", "Num Lock"): la posición de cada uno depende de
// la distribución de teclado, el nombre no.
std::optional<bool> indicadorXkb(Display* pantalla, const char* nombre)
{
    const Atom atomo = XInternAtom(pantalla, nombre, True);
    Bool encendido = False;
    if (atomo == None || !XkbGetNamedIndicator(pantalla, atomo, nullptr, &encendido, nullptr, nullptr))
        return std::nullopt;
    return encendido != False;
}
} // namespace
#endif
