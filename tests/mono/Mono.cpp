#include "Mono.h"

#include "CarpetaPrograma.h"
#include "Conexion.h"
#include "Entrada.h"
#include "RevisionBase.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressDialog>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

#include <cstdio>

namespace {
using Respuesta = PlataformaServicios::Respuesta;
using Botones = PlataformaServicios::Botones;

constexpr std::size_t AccionesGuardadas = 40;

// Textos que un usuario escribe de verdad, y los que rompen una sentencia o una fecha mal tratadas.
const char* const TextosFijos[] = {
    "",
    "a",
    "Juan",
    "O'Brien",
    "Ñandú",
    "100",
    "0",
    "-3",
    "3,5",
    "12.5",
    "abc123",
    "15/03/2026",
    "31/02/2025",
    "1/1/1900",
    "99/99/9999",
    "'; DELETE FROM Empresas; --",
    "%_*",
    "  ",
    "Ébano, S.L.",
    "l'Hospitalet",
    "2147483648",
    "Técnico Superior en PRL",
    "Empresario",
    "Riesgo Moderado",
    "S",
    "N",
    "Alta",
    "Dañino",
};

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

bool visibleYActivo(const QWidget* w)
{
    return w->isVisible() && w->isEnabled() && w->width() > 0 && w->height() > 0;
}

// Los controles que forman parte de otro (la caja de una lista, la vista de su desplegable) se
// tratan con el control que los contiene.
bool dentroDeLista(const QWidget* w)
{
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (qobject_cast<const QComboBox*>(p))
            return true;
    return false;
}

template <typename T> QList<T*> controles(QWidget* raiz)
{
    QList<T*> r;
    for (T* w : raiz->findChildren<T*>())
        if (visibleYActivo(w) && !dentroDeLista(w))
            r << w;
    return r;
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
    return PlataformaPrueba::mensaje(dueno, texto, titulo, icono, botones, predeterminada);
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
    // La sesión es de la ventana principal: cada arranque empieza de cero, como un proceso nuevo.
    ++arranques;
    apuntar(QStringLiteral("arranque %1 de la ventana principal").arg(arranques));
    const int antes = plataforma_->terminado;
    entrada_ = std::make_unique<Entrada>();
    entrada_->show();
    entrada_->activateWindow();
    if (!QTest::qWaitForWindowActive(entrada_.get(), 1000))
        apuntar(QStringLiteral("la ventana principal no llega a estar activa"));
    asentar();
    if (plataforma_->terminado != antes)
        hallazgos << QStringLiteral("la ventana principal termina el programa al arrancar");
    terminados_ = plataforma_->terminado;
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
        if (s->isVisible() && s->widget())
            ventanasVistas.insert(nombre(s->widget()));
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

void Mono::actuarEn(QWidget* raiz)
{
    if (!raiz)
        return;
    const QList<QAbstractButton*> botones = controles<QAbstractButton>(raiz);
    QList<QLineEdit*> cajas;
    for (QLineEdit* c : controles<QLineEdit>(raiz))
        if (!c->isReadOnly())
            cajas << c;
    const QList<QComboBox*> listas = controles<QComboBox>(raiz);
    // Las cabeceras se tocan con su tabla.
    QList<QAbstractItemView*> vistas;
    for (QAbstractItemView* v : controles<QAbstractItemView>(raiz))
        if (!qobject_cast<QHeaderView*>(v))
            vistas << v;
    // Pesos de cada clase de acción; una clase sin controles no cuenta.
    const int pesos[] = {botones.isEmpty() ? 0 : 30, cajas.isEmpty() ? 0 : 20, listas.isEmpty() ? 0 : 20,
                         vistas.isEmpty() ? 0 : 25, 5};
    int total = 0;
    for (int p : pesos)
        total += p;
    int tirada = azar(total);
    int clase = 0;
    while (tirada >= pesos[clase])
        tirada -= pesos[clase++];
    switch (clase) {
    case 0:
        return pulsar(botones.at(azar(int(botones.size()))));
    case 1:
        return escribirEn(cajas.at(azar(int(cajas.size()))));
    case 2:
        return elegirEn(listas.at(azar(int(listas.size()))));
    case 3:
        return tocarVista(vistas.at(azar(int(vistas.size()))));
    default:
        return teclaSuelta(raiz);
    }
}

void Mono::pulsar(QWidget* boton)
{
    apuntar(QStringLiteral("pulsa %1").arg(nombre(boton)));
    if (boton)
        QTest::mouseClick(boton, Qt::LeftButton, {}, boton->rect().center());
}

void Mono::teclear(QWidget* w, const QString& texto)
{
    // keyClicks no admite letras fuera del ASCII: ésas van una a una con su texto.
    QString ascii;
    auto soltar = [&] {
        if (!ascii.isEmpty())
            QTest::keyClicks(w, ascii);
        ascii.clear();
    };
    for (const QChar c : texto) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f) {
            ascii += c;
            continue;
        }
        soltar();
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), {});
    }
    soltar();
}

QString Mono::textoAzar()
{
    const int n = int(std::size(TextosFijos));
    const int que = azar(n + 3);
    if (que < n)
        return QString::fromUtf8(TextosFijos[que]);
    if (que == n)
        return QString(120 + azar(100), QLatin1Char('x'));
    QString t;
    const QString letras =
        QStringLiteral("abcdefghijklmnñopqrstuvwxyzáéíóú ABCDEFGHIJKLMNÑOPQRSTUVWXYZ0123456789'.,-/");
    for (int i = 1 + azar(14); i > 0; --i)
        t += letras.at(azar(int(letras.size())));
    return t;
}

void Mono::escribirEn(QLineEdit* caja)
{
    const QString texto = textoAzar();
    apuntar(QStringLiteral("escribe «%1» en %2").arg(texto.left(40), nombre(caja)));
    QTest::mouseClick(caja, Qt::LeftButton, {}, caja->rect().center());
    if (moneda(70))
        QTest::keyClick(caja, Qt::Key_A, Qt::ControlModifier);
    if (!caja->isVisible())
        return;
    teclear(caja, texto);
    if (!caja->isVisible())
        return;
    const Qt::Key fin[] = {Qt::Key_Return, Qt::Key_Tab, Qt::Key_Escape, Qt::Key_unknown};
    const Qt::Key k = fin[azar(4)];
    if (k != Qt::Key_unknown)
        QTest::keyClick(caja, k);
}

void Mono::elegirEn(QComboBox* lista)
{
    const int tirada = azar(100);
    if (lista->count() > 0 && tirada < 35) {
        const Qt::Key teclas[] = {Qt::Key_Down, Qt::Key_Up, Qt::Key_Home, Qt::Key_End, Qt::Key_PageDown};
        const Qt::Key k = teclas[azar(5)];
        apuntar(QStringLiteral("tecla %1 en la lista %2").arg(QTest::toString(k)).arg(nombre(lista)));
        lista->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(lista, k);
        return;
    }
    if (lista->count() > 0 && tirada < 80) {
        const int fila = azar(lista->count());
        apuntar(QStringLiteral("elige la fila %1 («%2») de %3")
                    .arg(fila)
                    .arg(lista->itemText(fila).left(40), nombre(lista)));
        QTest::mouseClick(lista, Qt::LeftButton, {}, lista->rect().center());
        QAbstractItemView* v = lista->view();
        if (!v->isVisible() && lista->isVisible())
            lista->showPopup();
        if (!v->isVisible())
            return;
        const QModelIndex i = v->model()->index(fila, lista->modelColumn());
        v->scrollTo(i);
        QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, v->visualRect(i).center());
        if (v->isVisible())
            QTest::keyClick(v, Qt::Key_Escape);
        return;
    }
    if (lista->isEditable() && lista->lineEdit()) {
        const QString texto = lista->count() > 0 && moneda(50) ? lista->itemText(azar(lista->count())) : textoAzar();
        apuntar(QStringLiteral("escribe «%1» en la lista %2").arg(texto.left(40), nombre(lista)));
        QLineEdit* caja = lista->lineEdit();
        QTest::mouseClick(caja, Qt::LeftButton, {}, caja->rect().center());
        QTest::keyClick(caja, Qt::Key_A, Qt::ControlModifier);
        teclear(caja, texto);
        if (caja->isVisible() && moneda(70))
            QTest::keyClick(caja, moneda(50) ? Qt::Key_Return : Qt::Key_Tab);
        return;
    }
    apuntar(QStringLiteral("clic en la lista %1").arg(nombre(lista)));
    QTest::mouseClick(lista, Qt::LeftButton, {}, lista->rect().center());
}

void Mono::tocarVista(QAbstractItemView* vista)
{
    QAbstractItemModel* modelo = vista->model();
    if (!modelo || modelo->rowCount() == 0 || modelo->columnCount() == 0) {
        apuntar(QStringLiteral("clic en %1 vacía").arg(nombre(vista)));
        QTest::mouseClick(vista->viewport(), Qt::LeftButton, {}, vista->viewport()->rect().center());
        return;
    }
    const int fila = azar(modelo->rowCount());
    QList<int> columnas;
    auto* tabla = qobject_cast<QTableView*>(vista);
    for (int c = 0; c < modelo->columnCount(); ++c)
        if (!tabla || !tabla->isColumnHidden(c))
            columnas << c;
    if (columnas.isEmpty())
        return;
    const int columna = columnas.at(azar(int(columnas.size())));
    const QModelIndex i = modelo->index(fila, columna);
    vista->scrollTo(i);
    const QRect r = vista->visualRect(i);
    if (r.isEmpty())
        return;
    const QString donde = QStringLiteral("%1 fila %2 columna %3").arg(nombre(vista)).arg(fila).arg(columna);
    QWidget* hoja = vista->viewport();
    const int que = azar(100);
    if (que < 30) {
        apuntar(QStringLiteral("clic en ") + donde);
        QTest::mouseClick(hoja, Qt::LeftButton, {}, r.center());
    } else if (que < 50) {
        apuntar(QStringLiteral("clic y espacio en ") + donde);
        QTest::mouseClick(hoja, Qt::LeftButton, {}, r.center());
        QTest::keyClick(vista, Qt::Key_Space);
    } else if (que < 85) {
        const QString texto = textoAzar();
        apuntar(QStringLiteral("edita «%1» en ").arg(texto.left(40)) + donde);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::mouseClick(hoja, Qt::LeftButton, {}, r.center());
        if (moneda(50))
            QTest::mouseDClick(hoja, Qt::LeftButton, {}, r.center());
        else
            QTest::keyClick(vista, Qt::Key_F2);
        QWidget* editor = QApplication::focusWidget();
        if (!editor || editor == vista || !vista->isAncestorOf(editor)) {
            apuntar(QStringLiteral("no se abre ningún editor (foco en %1, desplegable %2)")
                        .arg(nombre(editor), nombre(QApplication::activePopupWidget())));
            return;
        }
        if (moneda(60))
            QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        teclear(editor, texto);
        const Qt::Key fin[] = {Qt::Key_Return, Qt::Key_Tab, Qt::Key_Escape, Qt::Key_Down};
        if (QApplication::focusWidget() == editor)
            QTest::keyClick(editor, fin[azar(4)]);
    } else if (que < 95) {
        const Qt::Key teclas[] = {Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End, Qt::Key_Tab};
        const Qt::Key k = teclas[azar(6)];
        apuntar(QStringLiteral("tecla %1 en %2").arg(QTest::toString(k)).arg(nombre(vista)));
        vista->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(vista, k);
    } else if (auto* t = qobject_cast<QTableView*>(vista); t && t->horizontalHeader()->isVisible()) {
        QHeaderView* cabecera = t->horizontalHeader();
        const int x = cabecera->sectionViewportPosition(columna) + cabecera->sectionSize(columna) / 2;
        apuntar(QStringLiteral("clic en la cabecera de ") + donde);
        QTest::mouseClick(cabecera->viewport(), Qt::LeftButton, {}, QPoint(x, cabecera->height() / 2));
    } else {
        apuntar(QStringLiteral("doble clic en ") + donde);
        QTest::mouseDClick(hoja, Qt::LeftButton, {}, r.center());
    }
}

void Mono::teclaSuelta(QWidget* raiz)
{
    const Qt::Key teclas[] = {Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Return, Qt::Key_Escape, Qt::Key_Down,
                              Qt::Key_Up,  Qt::Key_Delete,  Qt::Key_F2,     Qt::Key_Space,  Qt::Key_F4};
    const Qt::Key k = teclas[azar(int(std::size(teclas)))];
    QWidget* foco = QApplication::focusWidget();
    if (!foco || !(foco == raiz || raiz->isAncestorOf(foco)))
        foco = raiz;
    apuntar(QStringLiteral("tecla %1 en %2").arg(QTest::toString(k)).arg(nombre(foco)));
    QTest::keyClick(foco, k);
}

void Mono::actuarEnDesplegable(QWidget* desplegable)
{
    if (moneda(40)) {
        apuntar(QStringLiteral("Escape en el desplegable %1").arg(nombre(desplegable)));
        QTest::keyClick(desplegable, Qt::Key_Escape);
        if (QApplication::activePopupWidget() == desplegable)
            desplegable->close();
        return;
    }
    // Un clic en cualquier punto del desplegable (un día del calendario, una fila de la lista).
    QList<QWidget*> dentro;
    for (QWidget* w : desplegable->findChildren<QWidget*>())
        if (visibleYActivo(w) && w->findChildren<QWidget*>().isEmpty())
            dentro << w;
    QWidget* w = dentro.isEmpty() ? desplegable : dentro.at(azar(int(dentro.size())));
    const QPoint p(azar(w->width()), azar(w->height()));
    apuntar(QStringLiteral("clic en %1 del desplegable %2").arg(nombre(w), nombre(desplegable)));
    QTest::mouseClick(w, Qt::LeftButton, {}, p);
    if (QApplication::activePopupWidget() == desplegable && moneda(50))
        QTest::keyClick(desplegable, Qt::Key_Return);
}
