#include "Mono.h"

#include "RevisionBase.h"
#include "plataforma/CarpetaPrograma.h"
#include "shell/Entrada.h"
#include "store/Conexion.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressDialog>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QToolButton>
#include <QtTest>

#include <cstdio>

namespace {
using Respuesta = PlataformaServicios::Respuesta;
using Botones = PlataformaServicios::Botones;

constexpr std::size_t AccionesGuardadas = 40;

// Centro del botón de cerrar en la barra de título de una ventana hija, como lo pinta el estilo.
QPoint botonCerrar(QMdiSubWindow* s)
{
    QStyle* estilo = s->style();
    QStyleOptionTitleBar o;
    o.initFrom(s);
    const int borde = estilo->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, s);
    const int alto = estilo->pixelMetric(QStyle::PM_TitleBarHeight, &o, s);
    o.rect = QRect(borde, borde, s->width() - 2 * borde, alto);
    o.subControls = QStyle::SC_All;
    o.titleBarFlags = s->windowFlags();
    o.titleBarState = int(s->windowState());
    o.state |= QStyle::State_Active;
    return estilo->subControlRect(QStyle::CC_TitleBar, &o, QStyle::SC_TitleBarCloseButton, s).center();
}

// Las teclas Alt+letra que una ventana ofrece a la vez. Dos controles con la misma letra hacen que
// la tecla pase el foco del uno al otro en vez de pulsar o llevar a ninguno: se dice cuáles.
QStringList teclasRepetidas(QWidget* ventana)
{
    QMap<QString, QStringList> porTecla;
    const auto apuntar = [&](QWidget* w, const QString& texto) {
        if (!w->isVisibleTo(ventana))
            return;
        const QKeySequence tecla = QKeySequence::mnemonic(texto);
        if (!tecla.isEmpty())
            porTecla[tecla.toString()] << QStringLiteral("«%1»").arg(texto);
    };
    for (QAbstractButton* b : ventana->findChildren<QAbstractButton*>())
        apuntar(b, b->text());
    for (QLabel* l : ventana->findChildren<QLabel*>())
        if (l->buddy())
            apuntar(l, l->text());
    for (QGroupBox* g : ventana->findChildren<QGroupBox*>())
        if (g->isCheckable())
            apuntar(g, g->title());
    QStringList repetidas;
    for (auto t = porTecla.cbegin(); t != porTecla.cend(); ++t)
        if (t.value().size() > 1)
            repetidas << t.key() + QStringLiteral(": ") + t.value().join(QStringLiteral(" y "));
    return repetidas;
}

Respuesta respuestaAzar(std::mt19937_64& azar, Botones botones)
{
    switch (botones) {
    case Botones::Aceptar:
        return Respuesta::Aceptar;
    case Botones::SiNo:
        return azar() % 2 ? Respuesta::Si : Respuesta::No;
    case Botones::SiNoCancelar:
        break;
    }
    const Respuesta tres[] = {Respuesta::Si, Respuesta::No, Respuesta::Cancelar};
    return tres[azar() % 3];
}

void copiarCarpeta(const QString& origen, const QString& destino)
{
    QDir().mkpath(destino);
    const QDir d(origen);
    for (const QFileInfo& f : d.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString a = QDir(destino).filePath(f.fileName());
        if (f.isDir())
            copiarCarpeta(f.filePath(), a);
        else
            QFile::copy(f.filePath(), a);
    }
}
} // namespace

PlataformaServicios::Respuesta PlataformaMono::mensaje(QWidget* dueno, const QString& texto, const QString& titulo,
                                                       Icono icono, Botones botones, Respuesta predeterminada)
{
    respuestas.clear();
    respuestas.push_back(respuestaAzar(azar_, botones));
    ultimaRespuesta = PlataformaPrueba::mensaje(dueno, texto, titulo, icono, botones, predeterminada);
    return ultimaRespuesta;
}

QString PlataformaMono::elegirArchivo(QWidget* dueno, const QString& titulo, const QString& propuesta,
                                      const QString& filtro, bool paraGuardar)
{
    archivosElegidos.clear();
    const int que = int(azar_() % 4);
    if (paraGuardar && que > 0) {
        archivosElegidos.push_back(QDir(copias_).filePath(QStringLiteral("copia%1.mdb").arg(++hechas_)));
    } else if (!paraGuardar && que > 0) {
        QStringList hay = QDir(copias_).entryList({QStringLiteral("*.mdb")}, QDir::Files, QDir::Name);
        if (que == 1 || hay.isEmpty()) {
            // Un archivo que no es una base de datos: se tiene que rechazar sin tocar nada.
            const QString basura = QDir(copias_).filePath(QStringLiteral("basura.mdb"));
            QFile f(basura);
            if (f.open(QIODevice::WriteOnly))
                f.write("esto no es una base de datos\n");
            archivosElegidos.push_back(basura);
        } else {
            archivosElegidos.push_back(QDir(copias_).filePath(hay.at(int(azar_() % hay.size()))));
        }
    }
    return PlataformaPrueba::elegirArchivo(dueno, titulo, propuesta, filtro, paraGuardar);
}

Mono::Mono(quint64 semilla, const QString& plantilla) : azar_(semilla)
{
    const QString programa = carpeta_.filePath(QStringLiteral("programa"));
    copiarCarpeta(plantilla, programa);
    base_ = QDir(programa).filePath(QStringLiteral("Evaluacion.mdb"));
    const QString copias = carpeta_.filePath(QStringLiteral("copias"));
    QDir().mkpath(copias);
    FijarCarpetaPrograma(programa);
    // La ventana del origen de datos guarda contraseñas: nunca en el archivo de verdad del usuario.
    qputenv("PGPASSFILE", QFile::encodeName(carpeta_.filePath(QStringLiteral("pgpass"))));
    plataforma_ = std::make_unique<PlataformaMono>(azar_, copias);
    // Un diálogo modal que no pasa por los servicios pararía la corrida: se cierra y se apunta.
    vigiaModales_.setInterval(20);
    QObject::connect(&vigiaModales_, &QTimer::timeout, [this] { cerrarModales(); });
    vigiaModales_.start();
}

Mono::~Mono()
{
    vigiaModales_.stop();
    apagar();
    plataforma_.reset();
    FijarCarpetaPrograma({});
}

QString Mono::nombre(const QObject* o)
{
    if (!o)
        return QStringLiteral("(nada)");
    if (!o->objectName().isEmpty())
        return o->objectName();
    // Los botones de una barra se conocen por su acción.
    if (auto* b = qobject_cast<const QToolButton*>(o); b && b->defaultAction())
        return b->defaultAction()->objectName().isEmpty() ? b->defaultAction()->text()
                                                          : b->defaultAction()->objectName();
    return QString::fromLatin1(o->metaObject()->className());
}

int Mono::azar(int n)
{
    return n <= 1 ? 0 : int(azar_() % quint64(n));
}

bool Mono::moneda(int porCiento)
{
    return azar(100) < porCiento;
}

void Mono::apuntar(const QString& accion)
{
    QString ventana = QStringLiteral("-");
    if (entrada_)
        if (QMdiSubWindow* s = entrada_->area()->currentSubWindow(); s && s->isVisible())
            ventana = nombre(s->widget());
    acciones_.push_back(QStringLiteral("%1 [%2]: %3").arg(pasosHechos).arg(ventana, accion));
    static const bool detalle = qEnvironmentVariableIsSet("MONO_DETALLE");
    if (detalle)
        std::printf("  %s\n", qPrintable(acciones_.back()));
    if (acciones_.size() > AccionesGuardadas)
        acciones_.pop_front();
}

QStringList Mono::ultimasAcciones() const
{
    return QStringList(acciones_.begin(), acciones_.end());
}

void Mono::arrancar()
{
    // Con un servidor elegido que no contesta, el arranque pregunta si seguir con el archivo, volver a
    // probar o cerrar. Cerrar es lo que el mono ha contestado, no un fallo: se arranca otra vez.
    for (int intento = 0; intento < 10; ++intento) {
        // La sesión es de la ventana principal: cada arranque empieza de cero, como un proceso nuevo.
        ++arranques;
        apuntar(QStringLiteral("arranque %1 de la ventana principal").arg(arranques));
        const int antes = plataforma_->terminado;
        const qsizetype avisosAntes = plataforma_->mensajes.size();
        entrada_ = std::make_unique<Entrada>();
        entrada_->show();
        entrada_->activateWindow();
        if (!QTest::qWaitForWindowActive(entrada_.get(), 1000))
            apuntar(QStringLiteral("la ventana principal no llega a estar activa"));
        asentar();
        terminados_ = plataforma_->terminado;
        if (plataforma_->terminado == antes)
            return;
        const auto& m = plataforma_->mensajes;
        const bool cerrarElegido =
            qsizetype(m.size()) > avisosAntes &&
            m.back().texto.startsWith(QStringLiteral("No se puede trabajar con la base de datos del servidor")) &&
            plataforma_->ultimaRespuesta == Respuesta::Cancelar;
        if (!cerrarElegido) {
            hallazgos << QStringLiteral("la ventana principal termina el programa al arrancar");
            return;
        }
        apuntar(QStringLiteral("el servidor elegido no contesta y se contesta Cancelar: el programa se cierra"));
        mirarAvisos();
        apagar();
    }
}

void Mono::apagar()
{
    if (!entrada_)
        return;
    // Como el final del programa: nada pregunta a las ventanas.
    entrada_.reset();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && !(w->windowFlags() & Qt::Popup)) {
            apuntar(QStringLiteral("queda abierta fuera de la ventana principal: %1").arg(nombre(w)));
            w->hide();
        }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Conexion::cerrarTodas();
}

void Mono::revisar(const QString& cuando)
{
    for (const QString& p : RevisarBase(base_))
        hallazgos << cuando + QStringLiteral(": ") + p;
}

bool Mono::correr(int pasos)
{
    arrancar();
    for (int i = 0; i < pasos && hallazgos.isEmpty(); ++i) {
        ++pasosHechos;
        paso();
        asentar();
        mirarAvisos();
        if (plataforma_->terminado != terminados_) {
            apuntar(QStringLiteral("el programa termina"));
            apagar();
            revisar(QStringLiteral("al terminar el programa en el paso %1").arg(pasosHechos));
            if (hallazgos.isEmpty())
                arrancar();
        }
    }
    apagar();
    revisar(QStringLiteral("al final de la corrida"));
    return hallazgos.isEmpty();
}

void Mono::asentar()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    cerrarModales();
    if (!entrada_)
        return;
    for (QMdiSubWindow* s : entrada_->area()->subWindowList())
        if (s->isVisible() && s->widget()) {
            const QString clase = nombre(s->widget());
            ventanasVistas.insert(clase);
            for (const QString& repetida : teclasRepetidas(s->widget()))
                if (!teclasVistas_.contains(clase + repetida)) {
                    teclasVistas_.insert(clase + repetida);
                    hallazgos
                        << QStringLiteral("la ventana %1 da la misma tecla a dos controles, %2").arg(clase, repetida);
                }
        }
}

void Mono::mirarAvisos()
{
    const auto& m = plataforma_->mensajes;
    for (; avisosLeidos_ < m.size(); ++avisosLeidos_) {
        const auto& aviso = m[avisosLeidos_];
        ++avisosVistos[aviso.titulo];
        apuntar(QStringLiteral("aviso [%1] %2").arg(aviso.titulo, QString(aviso.texto).left(100).replace('\n', ' ')));
        // Con una base sana y entradas válidas ningún paso debe acabar en el mensaje general, en
        // la consulta que no se pudo ejecutar ni en la oferta de reparar. La excepción: marcar un
        // factor de un puesto que otra ventana ya ha borrado. La marca no se puede guardar, y la
        // ventana de factores lo avisa con el mensaje general y deja la casilla como estaba.
        const bool general = aviso.texto.startsWith(QStringLiteral("Se ha producido el error"));
        const bool previsto = general && ventanaDelPaso_ == QStringLiteral("SeleccionaFactores") &&
                              aviso.texto.startsWith(QStringLiteral("Se ha producido el error: -2147217887")) &&
                              aviso.texto.contains(QStringLiteral("FOREIGN KEY"));
        const bool sinTratar = (general && !previsto) ||
                               aviso.texto.startsWith(QStringLiteral("No se ha podido ejecutar la consulta")) ||
                               aviso.titulo == QStringLiteral("Base de datos Dañada") ||
                               aviso.texto.contains(QStringLiteral("pero no se puede abrir"));
        if (previsto)
            ++avisosPrevistos;
        if (sinTratar)
            hallazgos << QStringLiteral("aviso sin tratar en el paso %1: [%2] %3")
                             .arg(pasosHechos)
                             .arg(aviso.titulo, QString(aviso.texto).replace(QStringLiteral("\n\r"), " / "));
    }
}

void Mono::cerrarModales()
{
    QWidget* m = QApplication::activeModalWidget();
    if (!m || qobject_cast<QProgressDialog*>(m))
        return;
    ++modalesCerrados;
    apuntar(QStringLiteral("se cierra un diálogo modal: %1 «%2»").arg(nombre(m), m->windowTitle()));
    if (auto* d = qobject_cast<QDialog*>(m))
        d->reject();
    else
        m->close();
}

void Mono::paso()
{
    ventanaDelPaso_.clear();
    if (QMdiSubWindow* s = entrada_->area()->currentSubWindow(); s && s->isVisible())
        ventanaDelPaso_ = nombre(s->widget());
    // Sin gestor de ventanas nadie devuelve la activación a la ventana principal cuando se cierra un
    // desplegable o un diálogo; sin ella no hay foco y los editores de celda no se abren.
    if (!QApplication::activePopupWidget() && QApplication::activeWindow() != entrada_.get()) {
        entrada_->activateWindow();
        QCoreApplication::processEvents();
    }
    try {
        if (QWidget* desplegable = QApplication::activePopupWidget()) {
            actuarEnDesplegable(desplegable);
            return;
        }
        QMdiArea* area = entrada_->area();
        QList<QMdiSubWindow*> abiertas;
        for (QMdiSubWindow* s : area->subWindowList())
            if (s->isVisible())
                abiertas << s;
        QWidget* panel = entrada_->findChild<QWidget*>(QStringLiteral("SSPanel2"));
        if (abiertas.isEmpty() || moneda(3)) {
            // Sin ventanas abiertas casi siempre se va a empresas; si no, cualquier botón del panel.
            QWidget* empresas = entrada_->findChild<QWidget*>(moneda(50) ? "Image3" : "SSCommand1");
            if (abiertas.isEmpty() && empresas && moneda(85))
                pulsar(empresas);
            else
                actuarEn(panel);
            return;
        }
        // Sin pantalla la ventana principal no siempre está activa: vale la ventana hija en curso.
        QMdiSubWindow* activa = area->currentSubWindow();
        if (!activa || !activa->isVisible() || (abiertas.size() > 1 && moneda(8))) {
            // Por clases de ventana, no por ventanas (los visores de informes se acumulan), y más a
            // las del asistente y el plan que a empresas y visores, que siguen abiertas detrás.
            QStringList clases;
            for (QMdiSubWindow* s : abiertas) {
                const QString c = nombre(s->widget());
                const bool detras = c == QStringLiteral("Empresa") || c == QStringLiteral("InformeGeneral");
                if (!clases.contains(c))
                    for (int veces = detras ? 1 : 3; veces > 0; --veces)
                        clases << c;
            }
            const QString clase = clases.at(azar(int(clases.size())));
            QList<QMdiSubWindow*> deEsa;
            for (QMdiSubWindow* s : abiertas)
                if (nombre(s->widget()) == clase)
                    deEsa << s;
            activa = deEsa.at(azar(int(deEsa.size())));
            apuntar(QStringLiteral("activa la ventana %1").arg(clase));
            // Como con el teclado: Ctrl+Tab pasa de una ventana a la siguiente hasta llegar a ella.
            for (int i = 0; i < abiertas.size() && area->currentSubWindow() != activa; ++i) {
                QMdiSubWindow* delante = area->currentSubWindow();
                QWidget* destino = delante && delante->widget() ? delante->widget() : area->viewport();
                QTest::keyClick(destino, Qt::Key_Tab, Qt::ControlModifier);
            }
            if (area->currentSubWindow() != activa)
                apuntar(QStringLiteral("sigue delante %1").arg(nombre(area->currentSubWindow())));
            return;
        }
        // Con muchas ventanas abiertas se cierran más a menudo.
        const bool visor = nombre(activa->widget()) == QStringLiteral("InformeGeneral");
        if (moneda(std::min(25, 3 + 4 * int(abiertas.size() - 1)) + (visor ? 15 : 0))) {
            apuntar(QStringLiteral("cierra la ventana %1 con la X de su título").arg(nombre(activa->widget())));
            QTest::mouseClick(activa, Qt::LeftButton, {}, botonCerrar(activa));
            return;
        }
        actuarEn(activa->widget() ? activa->widget() : activa);
    } catch (const ProgramaTerminado&) {
        // Un final del programa fuera de una ranura protegida: se trata como los demás finales.
        apuntar(QStringLiteral("ProgramaTerminado llega hasta el mono"));
    } catch (const std::exception& e) {
        hallazgos << QStringLiteral("una excepción sale al bucle de eventos en el paso %1: %2")
                         .arg(pasosHechos)
                         .arg(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        hallazgos << QStringLiteral("una excepción sin tipo sale al bucle de eventos en el paso %1").arg(pasosHechos);
    }
}
