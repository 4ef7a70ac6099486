#include "reports/InformeGeneral.h"

#include "plataforma/GeometriaVentana.h"
#include "plataforma/PlataformaServicios.h"
#include "plataforma/Reloj.h"
#include "reports/DocumentoInforme.h"
#include "reports/ExportacionHoja.h"
#include "reports/ExportacionOdt.h"
#include "reports/MotorInforme.h"
#include "reports/VistaPreviaInforme.h"
#include "shell/IconosEntrada.h"
#include "shell/ManejadorErrores.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "store/Conexion.h"
#include "store/VersionEvaluacion.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

InformeGeneral::InformeGeneral(const PeticionInforme& peticion, const QString& conexion, QWidget* parent)
    : QWidget(parent), peticion_(peticion), conexion_(conexion)
{
    setObjectName(NombreVentana(Ventana::InformeGeneral));
    setAttribute(Qt::WA_DeleteOnClose);
    construir();
    AplicarAccesibilidad(this);
}

// Cerrar la ventana suelta el informe: no se escribe nada en ningún sitio.
InformeGeneral::~InformeGeneral() = default;

void InformeGeneral::construir()
{
    // Como el visor de siempre, un solo control con su barra que ocupa toda la ventana.
    panelVisor_ = new QWidget(this);
    panelVisor_->setObjectName(QStringLiteral("CRViewer91"));
    panelVisor_->setAccessibleName(QStringLiteral("Vista previa del informe"));
    auto* caja = new QVBoxLayout(panelVisor_);
    caja->setContentsMargins(0, 0, 0, 0);
    caja->setSpacing(0);

    barra_ = new QToolBar(panelVisor_);
    barra_->setObjectName(QStringLiteral("BarraInforme"));
    barra_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    const auto accion = [this](const QString& nombre, const QString& texto, const QString& tema,
                               QStyle::StandardPixmap icono, const QKeySequence& atajo, auto cuerpo) {
        QAction* a = barra_->addAction(QIcon::fromTheme(tema, style()->standardIcon(icono)), texto);
        a->setObjectName(nombre);
        a->setToolTip(texto);
        a->setShortcut(atajo);
        connect(a, &QAction::triggered, this, Ranura(cuerpo, this));
        return a;
    };
    // Sin tema de iconos, los del estilo confunden: imprimir sería el disquete de exportar y la lupa
    // unas flechas de pasar página. Van los dibujos propios.
    QAction* impresion = accion("Imprimir", tr("Imprimir"), "document-print", QStyle::SP_DialogSaveButton,
                                QKeySequence::Print, [this] { imprimir(); });
    impresion->setIcon(QIcon::fromTheme(QStringLiteral("document-print"), IconosEntrada::imprimir()));
    accion("ExportarPdf", tr("Exportar a PDF"), "document-save-as", QStyle::SP_DriveFDIcon, QKeySequence::Save,
           [this] { exportar(); });
    accion("ExportarOdt", tr("Exportar a ODT"), "x-office-document", QStyle::SP_FileIcon, QKeySequence(),
           [this] { exportarCopiaOdt(); });
    accion("ExportarXlsx", tr("Exportar a Excel (XLSX)"), "x-office-spreadsheet", QStyle::SP_FileDialogDetailedView,
           QKeySequence(), [this] { exportarDatos(FormatoHoja::Xlsx); });
    accion("ExportarCsv", tr("Exportar a CSV"), "text-csv", QStyle::SP_FileDialogListView, QKeySequence(),
           [this] { exportarDatos(FormatoHoja::Csv); });
    barra_->addSeparator();
    QAction* reducir = accion("Reducir", tr("Reducir"), "zoom-out", QStyle::SP_ArrowDown, QKeySequence::ZoomOut,
                              [this] { vista_->zoomOut(1.25); });
    reducir->setIcon(QIcon::fromTheme(QStringLiteral("zoom-out"), IconosEntrada::lupa(false)));
    QAction* ampliar = accion("Ampliar", tr("Ampliar"), "zoom-in", QStyle::SP_ArrowUp, QKeySequence::ZoomIn,
                              [this] { vista_->zoomIn(1.25); });
    ampliar->setIcon(QIcon::fromTheme(QStringLiteral("zoom-in"), IconosEntrada::lupa(true)));
    accion("AjustarAncho", tr("Ajustar al ancho"), "zoom-fit-width", QStyle::SP_TitleBarMaxButton, QKeySequence(),
           [this] { vista_->fitToWidth(); });
    accion("PaginaEntera", tr("Página entera"), "zoom-fit-best", QStyle::SP_TitleBarNormalButton, QKeySequence(),
           [this] { vista_->fitInView(); });
    barra_->addSeparator();
    accion("PrimeraPagina", tr("Primera página"), "go-first", QStyle::SP_MediaSkipBackward,
           QKeySequence(Qt::CTRL | Qt::Key_Home), [this] { primeraPagina(); });
    accion("PaginaAnterior", tr("Página anterior"), "go-previous", QStyle::SP_MediaSeekBackward,
           QKeySequence(Qt::Key_PageUp), [this] { paginaAnterior(); });
    pagina_ = new QLabel(panelVisor_);
    pagina_->setObjectName(QStringLiteral("PaginaActual"));
    pagina_->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Página 000 de 000")) + 12);
    pagina_->setAlignment(Qt::AlignCenter);
    barra_->addWidget(pagina_);
    accion("PaginaSiguiente", tr("Página siguiente"), "go-next", QStyle::SP_MediaSeekForward,
           QKeySequence(Qt::Key_PageDown), [this] { paginaSiguiente(); });
    accion("UltimaPagina", tr("Última página"), "go-last", QStyle::SP_MediaSkipForward,
           QKeySequence(Qt::CTRL | Qt::Key_End), [this] { ultimaPagina(); });
    // Con el texto al lado sólo imprimir y exportar los documentos: el resto (también las hojas de
    // cálculo), con su icono y su ayuda emergente, para que la barra quepa entera (con la hoja actual a
    // la vista) en el tamaño de la ventana.
    const QStringList conTexto{QStringLiteral("Imprimir"), QStringLiteral("ExportarPdf"),
                               QStringLiteral("ExportarOdt")};
    for (QAction* a : barra_->actions()) {
        auto* boton = qobject_cast<QToolButton*>(barra_->widgetForAction(a));
        if (boton && !conTexto.contains(a->objectName()))
            boton->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    caja->addWidget(barra_);

    // Sólo se pintan las hojas que se ven: un documento de cientos de páginas se abre enseguida.
    vista_ = new VistaPreviaInforme(panelVisor_);
    vista_->setObjectName(QStringLiteral("VistaPrevia"));
    vista_->setAccessibleName(QStringLiteral("Hojas del informe"));
    connect(vista_, &VistaPreviaInforme::previewChanged, this, [this] { actualizarEstado(); });
    caja->addWidget(vista_, 1);
    actualizarEstado();
}

void InformeGeneral::cargar()
{
    auto* marco = qobject_cast<QMdiSubWindow*>(parentWidget());
    // Pasos de la carga; un paso que falla se salta y se sigue con el siguiente. La ventana se
    // abre igual, pero vacía no explica nada: al acabar se dice por qué (plantilla que falta,
    // base dañada, con la oferta de repararla, o conexión que no se abre).
    const std::vector<Paso> pasos{
        [&] {
            QWidget* destino = marco ? static_cast<QWidget*>(marco) : this;
            destino->resize(TwipsAPixeles(13000, this), TwipsAPixeles(9000, this));
        },
        [this] { CentrarFormulario(this); },
        [this] { motor_ = std::make_unique<MotorInforme>(); },
        [this] { setWindowTitle(peticion_.titulo); },
        [this] { motor_->abrirPlantilla(RutaEnPrograma(QStringLiteral("Informes/") + peticion_.plantilla)); },
        [] { Servicios().relojArena(true); },
        [this] {
            // La misma conexión que las ventanas: con los datos en un servidor, el documento es el suyo.
            if (!conexion_.isEmpty()) {
                motor_->fijarConexion(conexion_);
                return;
            }
            // Los nombres de archivo de la carpeta del programa tal como están escritos: en un
            // sistema que distingue mayúsculas "Evaluacion.MDB" no sería la base de datos.
            motor_->fijarPropiedad(QStringLiteral("Database Name"), RutaEnPrograma(QStringLiteral("Evaluacion.mdb")));
            motor_->fijarPropiedad(QStringLiteral("System Database Path"),
                                   RutaEnPrograma(QStringLiteral("SYSTEM.mdw")));
            motor_->fijarPropiedad(QStringLiteral("Session User ID"), QStringLiteral("Velka"));
            motor_->fijarPropiedad(QStringLiteral("Session Password"), QStringLiteral("Tortuganza"));
        },
        [this] { motor_->fijarCondiciones(peticion_.condiciones); },
        [this] {
            documento_ = motor_->generar();
            vista_->setDocumento(documento_.get());
            vista_->fitToWidth();
        },
        [] { Servicios().relojArena(false); },
    };
    EjecutarAvisandoAlFinal(pasos, this);
    if (!marco)
        setProperty("geometriaInicial", QRect(pos(), size()));
    // Vuelve con el tamaño que le dejó el usuario la última vez.
    RecordarTamano(this, objectName());
    actualizarEstado();
}

void InformeGeneral::resizeEvent(QResizeEvent* evento)
{
    QWidget::resizeEvent(evento);
    panelVisor_->setGeometry(0, 0, width(), height());
}

void InformeGeneral::actualizarEstado()
{
    const bool hay = documento_ && vista_->pageCount() > 0;
    const int total = hay ? vista_->pageCount() : 0;
    const int actual = hay ? vista_->currentPage() : 0;
    // Mientras se compone el documento aún no se sabe cuántas hojas tiene.
    pagina_->setText(hay && !vista_->composicionTerminada() ? tr("Página %1 de …").arg(actual)
                                                            : tr("Página %1 de %2").arg(actual).arg(total));
    for (QAction* a : barra_->actions())
        if (!a->objectName().isEmpty())
            a->setEnabled(hay);
    // Las hojas de cálculo son del plan y de la evaluación de un centro, no de cualquier informe.
    for (const char* nombre : {"ExportarXlsx", "ExportarCsv"})
        barra_->findChild<QAction*>(QLatin1String(nombre))->setEnabled(hay && centroPedido() > 0);
    if (hay) {
        barra_->findChild<QAction*>(QStringLiteral("PrimeraPagina"))->setEnabled(actual > 1);
        barra_->findChild<QAction*>(QStringLiteral("PaginaAnterior"))->setEnabled(actual > 1);
        barra_->findChild<QAction*>(QStringLiteral("PaginaSiguiente"))->setEnabled(actual < total);
        barra_->findChild<QAction*>(QStringLiteral("UltimaPagina"))
            ->setEnabled(actual < total || !vista_->composicionTerminada());
    }
}

void InformeGeneral::primeraPagina()
{
    vista_->setCurrentPage(1);
    actualizarEstado();
}

void InformeGeneral::paginaAnterior()
{
    vista_->setCurrentPage(std::max(1, vista_->currentPage() - 1));
    actualizarEstado();
}

void InformeGeneral::paginaSiguiente()
{
    vista_->setCurrentPage(std::min(vista_->pageCount(), vista_->currentPage() + 1));
    actualizarEstado();
}

void InformeGeneral::ultimaPagina()
{
    vista_->completar();
    vista_->setCurrentPage(vista_->pageCount());
    actualizarEstado();
}

QString InformeGeneral::nombrePropuesto(const QString& extension) const
{
    QString nombre = documento_ ? documento_->nombreArchivo() : QString();
    if (nombre.isEmpty())
        nombre = windowTitle();
    // Fuera lo que no vale en un nombre de archivo en ningún sistema.
    static const QRegularExpression prohibidos(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1f]"));
    nombre.replace(prohibidos, QStringLiteral("-"));
    nombre = nombre.simplified();
    while (nombre.endsWith(QLatin1Char('.')))
        nombre.chop(1);
    if (nombre.isEmpty())
        nombre = QStringLiteral("Informe");
    return nombre + extension;
}

void InformeGeneral::imprimir()
{
    if (!documento_)
        return;
    QPrinter impresora(QPrinter::HighResolution);
    impresora.setPageSize(QPageSize(QPageSize::A4));
    impresora.setDocName(documento_->titulo());
    if (!Servicios().elegirImpresora(this, tr("Imprimir"), impresora, 1, documento_->paginas()))
        return;
    // Lo que la impresora no ha aceptado no cuenta como emitido, y se dice.
    if (documento_->imprimir(impresora) && impresora.printerState() != QPrinter::Error &&
        impresora.printerState() != QPrinter::Aborted) {
        emitir();
        return;
    }
    Servicios().mensaje(
        this,
        tr("La impresora «%1» no ha aceptado el documento: no se ha impreso nada. Compruebe que está "
           "encendida y conectada, o elija otra.")
            .arg(impresora.printerName().isEmpty() ? impresora.outputFileName() : impresora.printerName()),
        tr("Imprimir"), PlataformaServicios::Icono::Critico, PlataformaServicios::Botones::Aceptar,
        PlataformaServicios::Respuesta::Aceptar);
}

QString InformeGeneral::elegirDestino(const QString& titulo, const QString& extension, const QString& filtro)
{
    QString carpeta = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (carpeta.isEmpty())
        carpeta = QDir::homePath();
    QString ruta =
        Servicios().elegirArchivo(this, titulo, QDir(carpeta).filePath(nombrePropuesto(extension)), filtro, true);
    if (!ruta.isEmpty() && !ruta.endsWith(extension, Qt::CaseInsensitive))
        ruta += extension;
    return ruta;
}

void InformeGeneral::exportar()
{
    if (!documento_)
        return;
    const QString ruta = elegirDestino(tr("Exportar a PDF"), QStringLiteral(".pdf"), tr("Documentos PDF (*.pdf)"));
    if (!ruta.isEmpty())
        exportarPdf(ruta);
}

void InformeGeneral::exportarCopiaOdt()
{
    if (!documento_)
        return;
    const QString ruta =
        elegirDestino(tr("Exportar a ODT"), QStringLiteral(".odt"), tr("Documentos OpenDocument (*.odt)"));
    if (!ruta.isEmpty())
        exportarOdt(ruta);
}

long long InformeGeneral::centroPedido() const
{
    if (peticion_.plantilla != Informes::FicheroEvaluacion && peticion_.plantilla != Informes::FicheroPlanificacion)
        return 0;
    for (const CondicionSeleccion& c : peticion_.condiciones)
        if (c.tabla == QLatin1String("CentroTrabajo") && c.campo == QLatin1String("IDCentro"))
            return c.valor.toLongLong();
    return 0;
}

void InformeGeneral::exportarDatos(FormatoHoja formato)
{
    if (!documento_ || centroPedido() <= 0)
        return;
    const bool xlsx = formato == FormatoHoja::Xlsx;
    const QString ruta =
        xlsx ? elegirDestino(tr("Exportar a Excel (XLSX)"), QStringLiteral(".xlsx"), tr("Libros de Excel (*.xlsx)"))
             : elegirDestino(tr("Exportar a CSV"), QStringLiteral(".csv"),
                             tr("Valores separados por punto y coma (*.csv)"));
    if (!ruta.isEmpty())
        exportarHoja(ruta, formato);
}

bool InformeGeneral::exportarHoja(const QString& ruta, FormatoHoja formato)
{
    const QString titulo = formato == FormatoHoja::Xlsx ? tr("Exportar a Excel (XLSX)") : tr("Exportar a CSV");
    const long long centro = centroPedido();
    if (!motor_ || centro <= 0)
        return false;
    QString motivo;
    bool bien = false;
    // Los datos se leen al exportar: son los de ahora, aunque la vista previa sea de antes.
    EjecutarAvisandoAlFinal({[&] {
                                const FilasExportacion tabla = peticion_.plantilla == Informes::FicheroPlanificacion
                                                                   ? FilasPlan(motor_->conexion(), centro)
                                                                   : FilasEvaluacion(motor_->conexion(), centro);
                                bien = EscribirHoja(tabla, ruta, formato, motivo);
                                if (!bien)
                                    Servicios().mensaje(this,
                                                        tr("No se ha podido guardar la hoja de cálculo en «%1»: %2.")
                                                            .arg(QDir::toNativeSeparators(ruta), motivo),
                                                        titulo, PlataformaServicios::Icono::Critico,
                                                        PlataformaServicios::Botones::Aceptar,
                                                        PlataformaServicios::Respuesta::Aceptar);
                            }},
                            this);
    // Una hoja de cálculo no es el documento que se firma: no emite la evaluación.
    return bien;
}

bool InformeGeneral::exportarPdf(const QString& ruta)
{
    return guardado(documento_ && documento_->exportarPdf(ruta), ruta, tr("Exportar a PDF"));
}

bool InformeGeneral::exportarOdt(const QString& ruta)
{
    return guardado(documento_ && EscribirOdt(*documento_, ruta), ruta, tr("Exportar a ODT"));
}

bool InformeGeneral::guardado(bool bien, const QString& ruta, const QString& titulo)
{
    if (bien) {
        emitir();
        return true;
    }
    Servicios().mensaje(this,
                        tr("No se ha podido guardar el documento en «%1». Compruebe que la carpeta existe y que "
                           "el archivo no está abierto en otro programa.")
                            .arg(QDir::toNativeSeparators(ruta)),
                        titulo, PlataformaServicios::Icono::Critico, PlataformaServicios::Botones::Aceptar,
                        PlataformaServicios::Respuesta::Aceptar);
    return false;
}

void InformeGeneral::emitir()
{
    // Sólo la evaluación tiene versiones; el plan se imprime las veces que haga falta.
    if (!motor_ || peticion_.plantilla != Informes::FicheroEvaluacion)
        return;
    for (const CondicionSeleccion& c : peticion_.condiciones)
        if (c.tabla == QLatin1String("CentroTrabajo") && c.campo == QLatin1String("IDCentro")) {
            const long long centro = c.valor.toLongLong();
            EjecutarAvisandoAlFinal({[&] {
                                        EmitirVersion(*Conexion::obtener(motor_->conexion()), centro,
                                                      QDateTime(Hoy(), QTime::currentTime()));
                                    }},
                                    this);
        }
}

InformeGeneral* AbrirInforme(Sesion& sesion)
{
    auto* visor = new InformeGeneral(sesion.informe, sesion.conexion);
    RegistroVentanas* registro = RegistroVentanas::actual();
    if (!registro || !registro->area()) {
        visor->cargar();
        visor->show();
        return visor;
    }
    // Directamente en el área y no por el registro: el registro guarda una instancia por nombre
    // y descartaría el visor anterior.
    QMdiSubWindow* marco = registro->area()->addSubWindow(visor);
    marco->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(visor, &QWidget::windowTitleChanged, marco, &QWidget::setWindowTitle);
    visor->cargar();
    marco->show();
    registro->area()->setActiveSubWindow(marco);
    return visor;
}
