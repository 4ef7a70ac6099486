// El visor y las dos páginas de cierre, sin pantalla, sobre su propia copia de la base de datos.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "PlataformaPrueba.h"
#include "reports/DocumentoInforme.h"
#include "reports/ExportacionOdt.h"
#include "reports/FormulaSeleccion.h"
#include "reports/ImprimirEvaluacion.h"
#include "reports/ImprimirPlanificacion.h"
#include "reports/InformeGeneral.h"
#include "reports/Informes.h"
#include "reports/VistaPreviaInforme.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"
#include "store/Conexion.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

// Menú de la evaluación de mentira: sólo cuenta las veces que se le pide Colocar.
class MenuFalso : public QWidget
{
    Q_OBJECT
public:
    int colocados = 0;
public slots:
    void Colocar() { ++colocados; }
};

class PruebaVentanasInformes : public QObject
{
    Q_OBJECT

    Sesion sesion;
    std::unique_ptr<CopiaPrograma> copia;
    std::unique_ptr<PlataformaPrueba> plataforma;
    QString cx;
    long long empresa = 0, centro = 0;

private slots:
    void init()
    {
        copia = std::make_unique<CopiaPrograma>();
        plataforma = std::make_unique<PlataformaPrueba>();
        QDir(copia->carpeta()).mkdir("Informes");
        for (const QString& f : {Informes::FicheroEvaluacion, Informes::FicheroPlanificacion})
            QFile::copy(QStringLiteral(FUENTES_PROYECTO "/data/informes/") + f, copia->ruta("Informes/" + f));
        FijarCarpetaPrograma(copia->carpeta());
        sesion = Sesion();
        cx = sesion.conexion = copia->conexion();
        empresa = datos::empresa(cx, "Comercial Visor");
        centro = datos::centro(cx, empresa, "Calle Visor 5/B");
        datos::puesto(cx, centro, "Puesto del visor");
        sesion.idCentro = centro;
        sesion.idEmpresa = empresa;
    }

    void cleanup()
    {
        // Borrar una puede llevarse otras: se guardan vigiladas antes de empezar.
        QList<QPointer<QWidget>> abiertas;
        for (QWidget* w : QApplication::topLevelWidgets())
            abiertas << w;
        for (const QPointer<QWidget>& w : abiertas)
            delete w.data();
        plataforma.reset();
        copia.reset();
        FijarCarpetaPrograma({});
    }

    void cadaPeticionAbreSuVisorConSuTituloYSuDocumento()
    {
        InformeGeneral* primero = AbrirInformeEvaluacion(sesion, centro, empresa);
        QCOMPARE(
            sesion.informe.condiciones,
            *AnalizarFormula(
                QStringLiteral("{CentroTrabajo.IDCentro}=%1 and {Empresas.IDEmpresa}= %2").arg(centro).arg(empresa)));
        InformeGeneral* segundo = AbrirInformePlanificacion(sesion, centro);
        QVERIFY(primero != segundo);
        QCOMPARE(primero->windowTitle(), QStringLiteral("EVALUCIÓN DE RIESGOS"));
        QCOMPARE(segundo->windowTitle(), QStringLiteral("PLANIFICACIÓN DE ACTUACIONES PREVENTIVAS"));
        QCOMPARE(primero->size(), QSize(TwipsAPixeles(13000, primero), TwipsAPixeles(9000, primero)));
        for (InformeGeneral* v : {primero, segundo}) {
            QVERIFY(v->isVisible());
            QVERIFY(v->documento() && v->documento()->paginas() > 0);
            QCOMPARE(v->vista()->pageCount(), v->documento()->paginas());
            QVERIFY(v->findChild<QLabel*>("PaginaActual")->text().startsWith("Página 1 de "));
        }
        QVERIFY(plataforma->mensajes.empty());
        QCOMPARE(plataforma->relojes, (std::vector<bool>{true, false, true, false}));

        // La vista ocupa toda la ventana y la acompaña al cambiar de tamaño.
        primero->resize(700, 500);
        QCOMPARE(primero->findChild<QWidget*>("CRViewer91")->geometry(), QRect(0, 0, 700, 500));

        // Pasar de página y volver.
        const int paginas = primero->vista()->pageCount();
        primero->ultimaPagina();
        QCOMPARE(primero->vista()->currentPage(), paginas);
        primero->paginaSiguiente();
        QCOMPARE(primero->vista()->currentPage(), paginas);
        primero->primeraPagina();
        primero->paginaAnterior();
        QCOMPARE(primero->vista()->currentPage(), 1);

        // Cerrada, la siguiente vuelve con el tamaño que el usuario le dio.
        delete primero;
        InformeGeneral* otra = AbrirInformeEvaluacion(sesion, centro, empresa);
        QVERIFY(QTest::qWaitForWindowExposed(otra));
        QCOMPARE(otra->size(), QSize(700, 500));
    }

    void laVistaPreviaAmpliaSeAjustaYTerminaDeComponerAbierta()
    {
        // Un centro con varios puestos, para que el documento tenga unas cuantas hojas.
        for (int i = 0; i < 40; ++i)
            datos::puesto(cx, centro, QStringLiteral("Puesto adicional %1").arg(i));
        InformeGeneral* v = AbrirInformeEvaluacion(sesion, centro, empresa);
        VistaPreviaInforme* vista = v->vista();
        auto* etiqueta = v->findChild<QLabel*>("PaginaActual");
        // La ventana se abre con la primera hoja; el resto se compone sin bloquearla.
        QVERIFY(etiqueta->text().startsWith("Página 1 de "));
        QTRY_VERIFY(vista->composicionTerminada());
        const int paginas = v->documento()->paginas();
        QVERIFY(paginas > 1);
        QCOMPARE(vista->pageCount(), paginas);
        QCOMPARE(etiqueta->text(), QStringLiteral("Página 1 de %1").arg(paginas));

        for (const char* nombre : {"Imprimir", "ExportarPdf", "Reducir", "Ampliar", "AjustarAncho", "PaginaEntera",
                                   "PrimeraPagina", "PaginaAnterior", "PaginaSiguiente", "UltimaPagina"})
            QVERIFY2(v->findChild<QAction*>(nombre), nombre);
        QVERIFY(v->findChild<QAction*>("Imprimir")->isEnabled());
        QVERIFY(!v->findChild<QAction*>("PaginaAnterior")->isEnabled());
        QVERIFY(v->findChild<QAction*>("PaginaSiguiente")->isEnabled());

        // Ajustada al ancho, la hoja llena el ancho de la vista, también al cambiar la ventana de tamaño.
        v->resize(900, 700);
        QApplication::processEvents();
        const auto anchoHoja = [&] {
            return DocumentoInforme::tamanoHoja().width() * vista->logicalDpiX() / 96.0 * vista->zoomFactor();
        };
        QVERIFY(anchoHoja() > vista->viewport()->width() - 80 && anchoHoja() <= vista->viewport()->width());
        v->resize(600, 700);
        QApplication::processEvents();
        QVERIFY(anchoHoja() > vista->viewport()->width() - 80 && anchoHoja() <= vista->viewport()->width());

        // Ampliar y reducir dejan de ajustar y conservan la hoja que se mira.
        v->paginaSiguiente();
        QCOMPARE(vista->currentPage(), 2);
        QCOMPARE(etiqueta->text(), QStringLiteral("Página 2 de %1").arg(paginas));
        const qreal zoom = vista->zoomFactor();
        v->findChild<QAction*>("Ampliar")->trigger();
        QVERIFY(qAbs(vista->zoomFactor() - zoom * 1.25) < 1e-6);
        QCOMPARE(vista->ajuste(), VistaPreviaInforme::Ajuste::Libre);
        QCOMPARE(vista->currentPage(), 2);
        v->findChild<QAction*>("Reducir")->trigger();
        v->findChild<QAction*>("Reducir")->trigger();
        QVERIFY(vista->zoomFactor() < zoom);
        QCOMPARE(vista->currentPage(), 2);
        v->resize(700, 500);
        QApplication::processEvents();
        QVERIFY(vista->zoomFactor() < zoom); // sin ajuste, cambiar la ventana no toca el zoom

        // Página entera: la hoja cabe de alto en la vista.
        v->findChild<QAction*>("PaginaEntera")->trigger();
        const qreal altoHoja =
            DocumentoInforme::tamanoHoja().height() * vista->logicalDpiY() / 96.0 * vista->zoomFactor();
        QVERIFY(altoHoja <= vista->viewport()->height());
        QCOMPARE(vista->currentPage(), 2);

        // Lo que se ve es la hoja pintada: papel blanco sobre el fondo oscuro. Se cuentan los píxeles
        // claros de toda la vista, no uno suelto: dónde cae la tinta depende de las letras instaladas.
        const QImage imagen = vista->viewport()->grab().toImage();
        const qreal ratio = imagen.devicePixelRatio();
        const qreal areaHoja = anchoHoja() * altoHoja * ratio * ratio;
        qint64 claros = 0;
        for (int y = 0; y < imagen.height(); ++y)
            for (int x = 0; x < imagen.width(); ++x)
                claros += imagen.pixelColor(x, y).lightness() > 200;
        QVERIFY2(claros > areaHoja / 2, qPrintable(QStringLiteral("%1 claros de %2").arg(claros).arg(areaHoja)));
        QVERIFY2(claros < areaHoja * 1.05 + imagen.width() * 4,
                 qPrintable(QStringLiteral("%1 claros de %2").arg(claros).arg(areaHoja)));
        QVERIFY(imagen.pixelColor(2, 2) != QColor(Qt::white));
        QVERIFY(plataforma->mensajes.empty());
    }

    void laUltimaHojaSeAlcanzaAunqueNoEsteTodoCompuesto()
    {
        for (int i = 0; i < 40; ++i)
            datos::puesto(cx, centro, QStringLiteral("Puesto adicional %1").arg(i));
        InformeGeneral* v = AbrirInformeEvaluacion(sesion, centro, empresa);
        QVERIFY(v->findChild<QAction*>("UltimaPagina")->isEnabled());
        v->ultimaPagina();
        QVERIFY(v->vista()->composicionTerminada());
        QCOMPARE(v->vista()->currentPage(), v->documento()->paginas());
        QCOMPARE(v->findChild<QLabel*>("PaginaActual")->text(),
                 QStringLiteral("Página %1 de %1").arg(v->documento()->paginas()));
        QVERIFY(!v->findChild<QAction*>("UltimaPagina")->isEnabled());
    }

    void sinPlantillaElVisorQuedaAbiertoYVacioYDiceQueFalta()
    {
        sesion.informe.titulo = "Informe perdido";
        sesion.informe.plantilla = "NoExiste.rpt";
        sesion.informe.condiciones = *AnalizarFormula(FormulaPlanificacion(centro));
        InformeGeneral* v = AbrirInforme(sesion);
        QVERIFY(v->isVisible());
        QCOMPARE(v->windowTitle(), QStringLiteral("Informe perdido"));
        QVERIFY(!v->documento());
        // Un solo aviso, el de la plantilla: lo que falla después por su causa no se repite.
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QCOMPARE(plataforma->mensajes[0].titulo, QStringLiteral("Error"));
        QCOMPARE(plataforma->mensajes[0].icono, PlataformaServicios::Icono::Critico);
        QVERIFY(plataforma->mensajes[0].texto.contains(QStringLiteral("No se encuentra la plantilla del informe")));
        QVERIFY(plataforma->mensajes[0].texto.contains(QStringLiteral("NoExiste.rpt")));
        QCOMPARE(plataforma->relojes, (std::vector<bool>{true, false}));
        QVERIFY(!v->findChild<QAction*>("Imprimir")->isEnabled());
    }

    // La vista previa de la página de cierre, pulsada con el ratón, cuando la base no se puede
    // abrir: sin el archivo de cuentas se dice por qué; dañada, se ofrece repararla.
    void laVistaPreviaDiceElMotivoYOfreceRepararUnaBaseDanada()
    {
        QMdiArea area;
        area.show();
        RegistroVentanas registro(&area, sesion);
        ImprimirEvaluacion pagina(sesion);
        pagina.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pagina));
        auto* vistaPrevia = pagina.findChild<QPushButton*>("CEvaluacionVisualizar");
        Conexion::cerrarTodas();

        QVERIFY(QFile::rename(copia->ruta("SYSTEM.mdw"), copia->ruta("SYSTEM.aparte")));
        QTest::mouseClick(vistaPrevia, Qt::LeftButton);
        QCOMPARE(area.findChildren<InformeGeneral*>().size(), 1);
        QVERIFY(!area.findChildren<InformeGeneral*>().value(0)->documento());
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QCOMPARE(plataforma->mensajes[0].titulo, QStringLiteral("Error"));
        QVERIFY2(plataforma->mensajes[0].texto.startsWith(QStringLiteral("Se ha producido el error: ")),
                 qPrintable(plataforma->mensajes[0].texto));
        QVERIFY2(plataforma->mensajes[0].texto.contains(QStringLiteral("SYSTEM.mdw")),
                 qPrintable(plataforma->mensajes[0].texto));
        QVERIFY(QFile::rename(copia->ruta("SYSTEM.aparte"), copia->ruta("SYSTEM.mdw")));

        {
            QFile base(copia->ruta("Evaluacion.mdb"));
            QVERIFY(base.open(QIODevice::WriteOnly));
            base.write("no es una base de datos");
        }
        plataforma->responder(PlataformaServicios::Respuesta::Si);
        QTest::mouseClick(vistaPrevia, Qt::LeftButton);
        QCOMPARE(plataforma->mensajes.size(), size_t(2));
        QCOMPARE(plataforma->mensajes[1].titulo, QStringLiteral("Base de datos Dañada"));
        QCOMPARE(plataforma->mensajes[1].texto,
                 QStringLiteral("La base de datos esta dañada\n\r¿Desea repararla en estos Momentos?"));
        QCOMPARE(plataforma->programas.size(), 1);
        QVERIFY(plataforma->programas[0].contains(QStringLiteral("Reparar")));
        QCOMPARE(plataforma->terminado, 1);
        // El reloj de arena ya no estaba puesto cuando se preguntó.
        QCOMPARE(plataforma->relojes.back(), false);
    }

    void elPdfLlevaUnNombrePropuestoYUnFalloSeAvisa()
    {
        InformeGeneral* v = AbrirInformeEvaluacion(sesion, centro, empresa);
        // La barra de la dirección no puede ir en un nombre de archivo.
        QCOMPARE(v->nombrePropuesto(), QStringLiteral("Evaluación de riesgos - Calle Visor 5-B.pdf"));
        const QString ruta = copia->ruta(v->nombrePropuesto());
        QVERIFY(v->exportarPdf(ruta));
        QVERIFY(QFileInfo(ruta).size() > 1000);
        QVERIFY(plataforma->mensajes.empty());

        QVERIFY(!v->exportarPdf(copia->ruta("no/existe/informe.pdf")));
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QCOMPARE(plataforma->mensajes[0].titulo, QStringLiteral("Exportar a PDF"));
        QCOMPARE(plataforma->mensajes[0].icono, PlataformaServicios::Icono::Critico);
    }

    // Imprimir y exportar, pulsados en la barra, preguntan por los servicios: el diálogo de imprimir
    // ofrece las hojas del documento y sólo se imprime si se acepta, en la impresora y las hojas
    // elegidas; el PDF se propone con su nombre y sin extensión elegida se le pone.
    void imprimirYExportarPreguntanYSoloAlAceptarEscriben()
    {
        for (int i = 0; i < 40; ++i)
            datos::puesto(cx, centro, QStringLiteral("Puesto adicional %1").arg(i));
        InformeGeneral* v = AbrirInformeEvaluacion(sesion, centro, empresa);
        QVERIFY(QTest::qWaitForWindowExposed(v));
        auto* barra = v->findChild<QToolBar*>("BarraInforme");
        const auto pulsar = [&](const char* accion) {
            QTest::mouseClick(barra->widgetForAction(v->findChild<QAction*>(accion)), Qt::LeftButton);
        };
        const int paginas = v->documento()->paginas();
        QVERIFY(paginas > 3);
        const auto hojasPdf = [](const QString& ruta) {
            QFile f(ruta);
            if (!f.open(QIODevice::ReadOnly))
                return -1;
            static const QRegularExpression hoja(QStringLiteral("/Type\\s*/Page\\b"));
            return int(QString::fromLatin1(f.readAll()).count(hoja));
        };

        pulsar("Imprimir");
        QCOMPARE(plataforma->impresiones.size(), size_t(1));
        QCOMPARE(plataforma->impresiones[0].titulo, QStringLiteral("Imprimir"));
        QCOMPARE(plataforma->impresiones[0].documento, v->documento()->titulo());
        QCOMPARE(plataforma->impresiones[0].primera, 1);
        QCOMPARE(plataforma->impresiones[0].ultima, paginas);
        QVERIFY(QDir(copia->carpeta()).entryList({"*.pdf"}, QDir::Files).isEmpty());

        plataforma->imprimirEn = copia->ruta("impreso.pdf");
        pulsar("Imprimir");
        QCOMPARE(hojasPdf(plataforma->imprimirEn), paginas);
        plataforma->imprimirEn = copia->ruta("hojas.pdf");
        plataforma->hojasElegidas = {2, 3};
        pulsar("Imprimir");
        QCOMPARE(hojasPdf(plataforma->imprimirEn), 2);
        QCOMPARE(plataforma->impresiones.size(), size_t(3));

        pulsar("ExportarPdf");
        QCOMPARE(plataforma->elecciones.size(), size_t(1));
        QCOMPARE(plataforma->elecciones[0].titulo, QStringLiteral("Exportar a PDF"));
        QVERIFY(plataforma->elecciones[0].propuesta.endsWith(QLatin1Char('/') + v->nombrePropuesto()));
        QCOMPARE(plataforma->elecciones[0].filtro, QStringLiteral("Documentos PDF (*.pdf)"));
        QVERIFY(plataforma->elecciones[0].paraGuardar);
        QCOMPARE(QDir(copia->carpeta()).entryList({"*.pdf"}, QDir::Files).size(), 2);

        plataforma->archivosElegidos.push_back(copia->ruta("exportado"));
        pulsar("ExportarPdf");
        QCOMPARE(hojasPdf(copia->ruta("exportado.pdf")), paginas);
        QVERIFY(plataforma->mensajes.empty());

        // Una impresora que no acepta el trabajo no se da por buena en silencio.
        plataforma->imprimirEn = copia->ruta("no/existe/impreso.pdf");
        plataforma->hojasElegidas = {0, 0};
        pulsar("Imprimir");
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QCOMPARE(plataforma->mensajes[0].titulo, QStringLiteral("Imprimir"));
        QCOMPARE(plataforma->mensajes[0].icono, PlataformaServicios::Icono::Critico);
    }

    // La copia en ODT, desde su botón: se propone con el nombre del documento y sale un paquete entero. Imprimir o
    // exportar la evaluación la emite, una versión por cambio; lo que no se llega a escribir y el plan, no.
    void exportarAOdtEImprimirEmitenLaEvaluacion()
    {
        const auto versiones = [&] {
            return datos::contar(cx, "SELECT count(*) FROM VersionesEvaluacion WHERE IDCentro = ?", {centro});
        };
        InformeGeneral* v = AbrirInformeEvaluacion(sesion, centro, empresa);
        QVERIFY(QTest::qWaitForWindowExposed(v));
        auto* barra = v->findChild<QToolBar*>("BarraInforme");
        const auto pulsar = [&](const char* accion) {
            QTest::mouseClick(barra->widgetForAction(v->findChild<QAction*>(accion)), Qt::LeftButton);
        };

        plataforma->archivosElegidos.push_back(copia->ruta("no/existe/copia"));
        pulsar("ExportarOdt");
        QCOMPARE(plataforma->elecciones.size(), size_t(1));
        QCOMPARE(plataforma->elecciones[0].titulo, QStringLiteral("Exportar a ODT"));
        QVERIFY(plataforma->elecciones[0].propuesta.endsWith("/Evaluación de riesgos - Calle Visor 5-B.odt"));
        QCOMPARE(plataforma->elecciones[0].filtro, QStringLiteral("Documentos OpenDocument (*.odt)"));
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QCOMPARE(plataforma->mensajes[0].titulo, QStringLiteral("Exportar a ODT"));
        QCOMPARE(versiones(), 0);

        plataforma->archivosElegidos.push_back(copia->ruta("copia"));
        pulsar("ExportarOdt");
        QVERIFY(OdtEntero(copia->ruta("copia.odt")));
        QCOMPARE(versiones(), 1);
        plataforma->imprimirEn = copia->ruta("impreso.pdf");
        pulsar("Imprimir");
        QVERIFY(QFileInfo(plataforma->imprimirEn).size() > 1000);
        QCOMPARE(versiones(), 1);

        datos::puesto(cx, centro, "Mozo de almacén");
        plataforma->imprimirEn = copia->ruta("no/existe/impreso.pdf");
        pulsar("Imprimir");
        QCOMPARE(versiones(), 1);
        plataforma->archivosElegidos.push_back(copia->ruta("otra.pdf"));
        pulsar("ExportarPdf");
        QCOMPARE(versiones(), 2);

        InformeGeneral* plan = AbrirInformePlanificacion(sesion, centro);
        datos::puesto(cx, centro, "Encargada");
        plataforma->archivosElegidos.push_back(copia->ruta("plan.odt"));
        QTest::mouseClick(
            plan->findChild<QToolBar*>("BarraInforme")->widgetForAction(plan->findChild<QAction*>("ExportarOdt")),
            Qt::LeftButton);
        QVERIFY(OdtEntero(copia->ruta("plan.odt")));
        QCOMPARE(versiones(), 2);
    }

    void lasPaginasDeCierreNombranElCentroConSuTexto()
    {
        ImprimirEvaluacion evaluacion(sesion);
        QCOMPARE(evaluacion.windowTitle(), QStringLiteral("Imprimir Evaluación"));
        QCOMPARE(evaluacion.findChild<QPushButton*>("CEvaluacionVisualizar")->text(), QStringLiteral("Vista Previa"));
        QCOMPARE(
            evaluacion.findChild<QLabel*>("Label1")->text(),
            QStringLiteral("Ya has finalizado la Evaluación de Riesgos del centro de trabajo Calle Visor 5/B, pulsa "
                           "el botón de 'Vista Previa' para visualizar e imprimir el documento de la evaluación de "
                           "riesgos. En cambio, si necesitas hacer alguna modificación más, pulsa el botón 'Volver "
                           "al Menú Principal'"));
        QCOMPARE(evaluacion.findChild<QToolButton*>("Picture1")->toolTip(),
                 QStringLiteral("Volver Medidas Preventivas"));
        QCOMPARE(evaluacion.findChild<QToolButton*>("Image1")->toolTip(), QStringLiteral("Volver al Menú Principal"));
        QCOMPARE(evaluacion.size(), QSize(TwipsAPixeles(12700, &evaluacion), TwipsAPixeles(4050, &evaluacion)));

        // Un centro sin dirección deja el hueco vacío.
        Recordset::execute("UPDATE CentroTrabajo SET Direccion = NULL WHERE IDCentro = ?", cx, {centro});
        ImprimirPlanificacion plan(sesion);
        QCOMPARE(plan.windowTitle(), QStringLiteral("Imprimir Evaluación"));
        QCOMPARE(plan.findChild<QPushButton*>("CPlanificacionVisualizar")->text(), QStringLiteral("Vista Previa"));
        QCOMPARE(
            plan.findChild<QLabel*>("Label1")->text(),
            QStringLiteral("Ya has finalizado la planificación de la actuación preventiva del centro de trabajo , "
                           "pulsa el botón de 'Vista Previa' para visualizar e imprimir el documento de la actuación "
                           "preventiva. En cambio, si necesitas hacer alguna modificación más, pulsa el botón "
                           "'Volver a Acciones Preventivas'"));
        QCOMPARE(plan.findChild<QToolButton*>("Picture1")->toolTip(), QStringLiteral("Volver Acciones Preventivas"));
        QCOMPARE(plan.findChild<QToolButton*>("Image1")->toolTip(), QStringLiteral("Volver a Empresas y Centros"));
        QVERIFY(plataforma->mensajes.empty());
    }

    void losBotonesDeLasPaginasDeCierreVanASuSitio()
    {
        QMdiArea area;
        area.show();
        RegistroVentanas registro(&area, sesion);
        RegistrarInformes();
        int medidas = 0, acciones = 0;
        RegistroVentanas::registrarFabrica(Ventana::SeleccionaMedidas, [&](Sesion&) {
            ++medidas;
            return new QWidget;
        });
        RegistroVentanas::registrarFabrica(Ventana::ActuacionPreventiva, [&](Sesion&) {
            ++acciones;
            return new QWidget;
        });
        MenuFalso* menu = nullptr;
        RegistroVentanas::registrarFabrica(Ventana::InicioEvaluacion, [&](Sesion&) { return menu = new MenuFalso; });
        registro.abrirNueva(Ventana::InicioEvaluacion);
        registro.ocultar(Ventana::InicioEvaluacion);

        auto* evaluacion = registro.abrirNueva(Ventana::ImprimirEvaluacion);
        QVERIFY(evaluacion);
        evaluacion->findChild<QPushButton*>("CEvaluacionVisualizar")->click();
        evaluacion->findChild<QPushButton*>("CEvaluacionVisualizar")->click();
        const auto visores = area.findChildren<InformeGeneral*>();
        QCOMPARE(visores.size(), 2);
        QCOMPARE(sesion.informe.condiciones, *AnalizarFormula(FormulaEvaluacion(centro, empresa)));
        QCOMPARE(sesion.idCentro, qint64(centro));

        evaluacion->findChild<QToolButton*>("Image1")->click();
        QCOMPARE(menu->colocados, 1);
        QVERIFY(!evaluacion->parentWidget()->isVisible());
        QVERIFY(menu->parentWidget()->isVisible()); // el menú queda descubierto
        evaluacion->findChild<QToolButton*>("Picture1")->click();
        QCOMPARE(medidas, 1);

        auto* plan = registro.abrirNueva(Ventana::ImprimirPlanificacion);
        plan->findChild<QPushButton*>("CPlanificacionVisualizar")->click();
        QCOMPARE(sesion.informe.condiciones, *AnalizarFormula(FormulaPlanificacion(centro)));
        QCOMPARE(area.findChildren<InformeGeneral*>().size(), 3);
        plan->findChild<QToolButton*>("Picture1")->click();
        QCOMPARE(acciones, 1);
        QVERIFY(!plan->parentWidget()->isVisible());

        // Sin las ventanas de destino registradas, volver no hace nada más que ocultarse.
        for (Ventana n : {Ventana::SeleccionaMedidas, Ventana::ActuacionPreventiva, Ventana::InicioEvaluacion})
            RegistroVentanas::quitarFabrica(n);
        registro.descargar(Ventana::InicioEvaluacion);
        auto* otra = registro.abrirNueva(Ventana::ImprimirEvaluacion);
        otra->findChild<QToolButton*>("Image1")->click();
        otra = registro.abrirNueva(Ventana::ImprimirEvaluacion);
        otra->findChild<QToolButton*>("Picture1")->click();
        QVERIFY(!otra->parentWidget()->isVisible());
        QVERIFY(plataforma->mensajes.empty());
    }
};

QTEST_MAIN(PruebaVentanasInformes)
#include "test_ventanas_informes.moc"
