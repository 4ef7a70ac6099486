#include "companies/ResumenCentros.h"

#include "companies/Empresa.h"
#include "companies/FiltroResumenCentros.h"
#include "companies/ModeloResumenCentros.h"
#include "plataforma/GeometriaVentana.h"
#include "plataforma/PlataformaServicios.h"
#include "plataforma/Reloj.h"
#include "reports/Importes.h"
#include "shell/IconosEntrada.h"
#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "store/EstadoCentros.h"
#include "store/Recordset.h"

#include <QDir>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

namespace {
using namespace TiposAviso;

const QString Titulo = QStringLiteral("Resumen de centros");

QPushButton* filtroRapido(const QString& nombre, const QString& titulo, const QString& ayuda)
{
    QPushButton* b = Kit::boton(nombre, titulo);
    b->setCheckable(true);
    b->setToolTip(ayuda);
    return b;
}

// Lleva la ventana de empresas a una fila por su identificador (la lista de nombres no sirve: dos
// empresas pueden llamarse igual). false si la fila ya no está.
bool irA(Recordset* rs, const char* campo, long long id)
{
    if (!rs || !rs->isOpen())
        return false;
    rs->requery();
    if (rs->countWithoutReading() == 0)
        return false;
    rs->moveFirst();
    if (rs->findValue(QString::fromLatin1(campo), id))
        return true;
    // Sin encontrarla quedaría tras la última fila, sin registro actual: moverse daría error.
    rs->moveFirst();
    return false;
}

bool centroExiste(const QString& conexion, long long idEmpresa, long long idCentro)
{
    Recordset rs;
    rs.open(QStringLiteral("Select IDCentro from CentroTrabajo where IDCentro = ? and IDEmpresa = ?"), conexion,
            {idCentro, idEmpresa});
    return !rs.eof();
}
} // namespace

ResumenCentros::ResumenCentros(Sesion& sesion, QWidget* parent) : QWidget(parent), sesion_(sesion)
{
    setObjectName(NombreVentana(Ventana::ResumenCentros));
    setAttribute(Qt::WA_DeleteOnClose);
    construir();
    AplicarAccesibilidad(this);
    EjecutarCarga({[this] { ColocarEnTwips(this, 100, 100, 18000, 7200); }, [this] { Colocar(); }}, this);
}

ResumenCentros::~ResumenCentros() = default;

void ResumenCentros::construir()
{
    setWindowTitle(Titulo);
    modelo_ = new ModeloResumenCentros(this);
    filtro_ = new FiltroResumenCentros(modelo_, this);

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(6, 6, 6, 6);
    v->addWidget(Kit::banner(QStringLiteral("LabelTitulo"), QStringLiteral("RESUMEN DE CENTROS")));

    auto* arriba = new QHBoxLayout;
    busqueda_ = Kit::caja(QStringLiteral("strBuscar"));
    busqueda_->setPlaceholderText(QStringLiteral("Empresa o centro"));
    busqueda_->setClearButtonEnabled(true);
    busqueda_->setAccessibleName(QStringLiteral("Buscar empresa o centro"));
    arriba->addWidget(Kit::etiqueta(QStringLiteral("&Buscar"), busqueda_));
    arriba->addWidget(busqueda_, 1);
    QPushButton* sinTerminar =
        filtroRapido(QStringLiteral("BSinTerminar"), QStringLiteral("Sin terminar"),
                     QStringLiteral("Sólo los centros con algún paso de la evaluación por hacer"));
    QPushButton* revisionVencida = filtroRapido(QStringLiteral("BRevisionVencida"), QStringLiteral("Revisión vencida"),
                                                QStringLiteral("Sólo los centros cuya próxima revisión ya ha pasado"));
    QPushButton* accionesVencidas =
        filtroRapido(QStringLiteral("BAccionesVencidas"), QStringLiteral("Acciones vencidas"),
                     QStringLiteral("Sólo los centros con acciones del plan sin hacer pasada su fecha límite"));
    for (QPushButton* b : {sinTerminar, revisionVencida, accionesVencidas})
        arriba->addWidget(b);
    contador_ = new QLabel;
    contador_->setObjectName(QStringLiteral("LContador"));
    arriba->addWidget(contador_);
    v->addLayout(arriba);

    tabla_ = new QTableView;
    tabla_->setObjectName(QStringLiteral("GCentros"));
    tabla_->setAccessibleName(QStringLiteral("Centros"));
    tabla_->setModel(filtro_);
    tabla_->setSortingEnabled(true);
    tabla_->sortByColumn(ModeloResumenCentros::ColEmpresa, Qt::AscendingOrder);
    tabla_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tabla_->setSelectionMode(QAbstractItemView::SingleSelection);
    tabla_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tabla_->setAlternatingRowColors(true);
    tabla_->setWordWrap(false);
    tabla_->verticalHeader()->hide();
    tabla_->verticalHeader()->setDefaultSectionSize(tabla_->fontMetrics().height() + 8);
    tabla_->horizontalHeader()->setStretchLastSection(false);
    tabla_->horizontalHeader()->setSectionResizeMode(ModeloResumenCentros::ColEmpresa, QHeaderView::Stretch);
    tabla_->horizontalHeader()->setSectionResizeMode(ModeloResumenCentros::ColCentro, QHeaderView::Stretch);
    const int letra = tabla_->fontMetrics().averageCharWidth();
    const int anchos[] = {0, 0, 30, 17, 17, 12, 10, 9, 18};
    // Las anchuras que dejó el usuario, como en las cuadrículas de las demás ventanas.
    const QHash<QString, int> guardados = AnchosGuardados(NombreVentana(Ventana::ResumenCentros));
    const auto titulo = [this](int c) { return modelo_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(); };
    // Sin nada guardado, cada columna cabe al menos su título entero (en negrita y con la flecha de
    // ordenar), para que no se lea "róxima revisió".
    QFont negrita = tabla_->horizontalHeader()->font();
    negrita.setBold(true);
    const QFontMetrics cabecera(negrita);
    const int flecha = tabla_->style()->pixelMetric(QStyle::PM_HeaderMarkSize) + 10;
    for (int c = ModeloResumenCentros::ColEstado; c < ModeloResumenCentros::NumColumnas; ++c)
        tabla_->setColumnWidth(
            c, guardados.value(titulo(c), std::max(anchos[c] * letra, cabecera.horizontalAdvance(titulo(c)) + flecha)));
    connect(tabla_->horizontalHeader(), &QHeaderView::sectionResized, this, [titulo](int c, int, int ancho) {
        if (c >= ModeloResumenCentros::ColEstado)
            GuardarAncho(NombreVentana(Ventana::ResumenCentros), titulo(c), ancho);
    });
    v->addWidget(tabla_, 1);

    auto* pie = new QHBoxLayout;
    botonEmpresa_ = Kit::boton(QStringLiteral("BVerEmpresa"), QStringLiteral("Ver empresa y centro"));
    botonEmpresa_->setToolTip(QStringLiteral("Abre la ventana de empresas en el centro elegido (doble clic o Intro)"));
    botonEvaluacion_ = Kit::boton(QStringLiteral("BVerEvaluacion"), QStringLiteral("Evaluación del centro"));
    botonEvaluacion_->setToolTip(QStringLiteral("Abre el inicio de la evaluación del centro elegido"));
    botonPlan_ = Kit::boton(QStringLiteral("BVerPlan"), QStringLiteral("Plan de actuación"));
    botonPlan_->setToolTip(QStringLiteral("Abre la planificación de la actuación preventiva del centro elegido"));
    QPushButton* actualizar = Kit::boton(QStringLiteral("BActualizar"), QStringLiteral("Actualizar"));
    QPushButton* xlsx = Kit::boton(QStringLiteral("BExportarXlsx"), QStringLiteral("Exportar a Excel (XLSX)"));
    QPushButton* csv = Kit::boton(QStringLiteral("BExportarCsv"), QStringLiteral("Exportar a CSV"));
    botonesHoja_ = {xlsx, csv, actualizar};
    xlsx->setToolTip(QStringLiteral("Guarda en una hoja de cálculo los centros que se ven, en su orden"));
    csv->setToolTip(xlsx->toolTip());
    QToolButton* ayuda =
        Kit::botonImagen(QStringLiteral("Image9"), QStringLiteral("Ayuda"), QStyle::SP_DialogHelpButton);
    ayuda->setIcon(IconosEntrada::ayuda());
    QToolButton* cerrar = Kit::botonImagen(QStringLiteral("cmdSalir"), QStringLiteral("Cerrar Resumen de centros"),
                                           QStyle::SP_DialogCloseButton);
    for (QWidget* w : {static_cast<QWidget*>(botonEmpresa_), static_cast<QWidget*>(botonEvaluacion_),
                       static_cast<QWidget*>(botonPlan_), static_cast<QWidget*>(actualizar)})
        pie->addWidget(w);
    pie->addStretch(1);
    for (QWidget* w : {static_cast<QWidget*>(xlsx), static_cast<QWidget*>(csv), static_cast<QWidget*>(ayuda),
                       static_cast<QWidget*>(cerrar)})
        pie->addWidget(w);
    v->addLayout(pie);

    connect(busqueda_, &QLineEdit::textChanged, this,
            Ranura(
                [this] {
                    filtro_->buscar(busqueda_->text());
                    actualizarContador();
                },
                this));
    const auto alFiltrar = [this](QPushButton* boton, std::function<void(FiltroResumenCentros&, bool)> aplicar) {
        connect(boton, &QPushButton::toggled, this,
                Ranura(
                    [this, boton, aplicar = std::move(aplicar)] {
                        aplicar(*filtro_, boton->isChecked());
                        actualizarContador();
                    },
                    this));
    };
    alFiltrar(sinTerminar, [](FiltroResumenCentros& f, bool si) { f.soloSinTerminar(si); });
    alFiltrar(revisionVencida, [](FiltroResumenCentros& f, bool si) { f.soloRevisionVencida(si); });
    alFiltrar(accionesVencidas, [](FiltroResumenCentros& f, bool si) { f.soloAccionesVencidas(si); });
    // Intro en la búsqueda pasa a la lista, en la primera fila que se ve: otro Intro la abre.
    connect(busqueda_, &QLineEdit::returnPressed, this, [this] {
        if (!tabla_->currentIndex().isValid() && filtro_->rowCount() > 0)
            tabla_->setCurrentIndex(filtro_->index(0, 0));
        tabla_->setFocus();
        actualizarContador();
    });
    // Doble clic o Intro sobre una fila.
    connect(tabla_, &QTableView::activated, this, Ranura([this] { abrirEmpresa(); }, this));
    connect(tabla_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { actualizarContador(); });
    connect(botonEmpresa_, &QPushButton::clicked, this, Ranura([this] { abrirEmpresa(); }, this));
    connect(botonEvaluacion_, &QPushButton::clicked, this, Ranura([this] { abrirEvaluacion(); }, this));
    connect(botonPlan_, &QPushButton::clicked, this, Ranura([this] { abrirPlan(); }, this));
    connect(actualizar, &QPushButton::clicked, this, Ranura([this] { Colocar(); }, this));
    connect(xlsx, &QPushButton::clicked, this, Ranura([this] { exportarA(FormatoHoja::Xlsx); }, this));
    connect(csv, &QPushButton::clicked, this, Ranura([this] { exportarA(FormatoHoja::Csv); }, this));
    connect(ayuda, &QToolButton::clicked, this,
            Ranura([this] { AbrirAyuda(this, QStringLiteral("Resumen Centros")); }, this));
    connect(cerrar, &QToolButton::clicked, this, [this] {
        // Dentro del área se descarga con su marco; suelta, se cierra.
        RegistroVentanas* r = RegistroVentanas::actual();
        if (r && r->ventana(Ventana::ResumenCentros) == this)
            r->descargar(Ventana::ResumenCentros);
        else
            close();
    });
    actualizarContador();
}

void ResumenCentros::showEvent(QShowEvent* evento)
{
    QWidget::showEvent(evento);
    // Abierta otra vez desde la ventana principal: lo de ahora, no lo de la vez anterior.
    if (mostrada_)
        ProtegerRanura([this] { Colocar(); }, this);
    mostrada_ = true;
}

bool ResumenCentros::leyendo() const
{
    return espera_ && espera_->isActive();
}

void ResumenCentros::Colocar()
{
    // Nada más arrancar, lo que se lee aparte en una base grande tarda algo más de un segundo: la
    // ventana no se queda parada esperándolo. Igual si hay que leerlo todo otra vez (otro programa ha
    // escrito en el archivo, o se ha restaurado una copia): se lee aparte y la ventana lo espera
    // viva. Si no se puede leer aparte, lo lee la lectura de siempre, que dice por qué falla.
    EjecutarSinAviso({[this] {
        if (!PreparandoEstadoCentros() && EstadoCentrosPorRehacer(sesion_.conexion))
            PrepararEstadoCentros(sesion_.conexion, Hoy());
    }});
    if (PreparandoEstadoCentros()) {
        if (!espera_) {
            espera_ = new QTimer(this);
            espera_->setInterval(50);
            connect(espera_, &QTimer::timeout, this,
                    Ranura(
                        [this] {
                            if (PreparandoEstadoCentros())
                                return;
                            espera_->stop();
                            Colocar();
                        },
                        this));
        }
        espera_->start();
        contador_->setText(QStringLiteral("Leyendo el estado de los centros…"));
        for (QPushButton* b : botonesHoja_)
            b->setEnabled(false);
        return;
    }
    if (espera_)
        espera_->stop();
    for (QPushButton* b : botonesHoja_)
        b->setEnabled(true);
    const EstadoCentro* antes = centroActual();
    const long long idAntes = antes ? antes->idCentro : 0;
    EjecutarPresentacion(
        {[this] {
            const QDate hoy = Hoy();
            modelo_->poner(LeerEstadoCentros(sesion_.conexion, hoy, [](const QString& t) { return LeerImporte(t); }),
                           hoy);
        }},
        nullptr, nullptr, this);
    // Si la lista no se ha rehecho, la fila de antes sigue siendo la actual.
    if (const EstadoCentro* ahora = centroActual(); ahora && ahora->idCentro == idAntes) {
        actualizarContador();
        return;
    }
    QModelIndex actual;
    for (int fila = 0; idAntes && fila < modelo_->rowCount(); ++fila)
        if (modelo_->centro(fila).idCentro == idAntes) {
            actual = filtro_->mapFromSource(modelo_->index(fila, 0));
            break;
        }
    // Sin el de antes, el primero: Intro ya abre algo.
    if (!actual.isValid())
        actual = filtro_->index(0, 0);
    if (actual.isValid())
        tabla_->setCurrentIndex(actual);
    actualizarContador();
}

void ResumenCentros::actualizarContador()
{
    if (leyendo())
        return;
    contador_->setText(QStringLiteral("%1 de %2 centros").arg(filtro_->rowCount()).arg(modelo_->rowCount()));
    const bool hayCentro = centroActual() != nullptr;
    for (QPushButton* b : {botonEmpresa_, botonEvaluacion_, botonPlan_})
        b->setEnabled(hayCentro);
}

const EstadoCentro* ResumenCentros::centroActual() const
{
    const QModelIndex i = filtro_->mapToSource(tabla_->currentIndex());
    return i.isValid() ? &modelo_->centro(i.row()) : nullptr;
}

Empresa* ResumenCentros::abrirEmpresa()
{
    const EstadoCentro* c = centroActual();
    RegistroVentanas* r = RegistroVentanas::actual();
    if (!c || !r || !RegistroVentanas::hayFabrica(Ventana::Empresa))
        return nullptr;
    const long long idEmpresa = c->idEmpresa, idCentro = c->idCentro;
    const QString nombre = c->centro;
    const auto yaNoEsta = [&] {
        Servicios().mensaje(this,
                            QStringLiteral("El centro «%1» ya no está en la base de datos: se ha borrado después de "
                                           "abrir el resumen. La lista se vuelve a leer.")
                                .arg(nombre),
                            Titulo, Icono::Exclamacion, Botones::Aceptar, Respuesta::Aceptar);
        Colocar();
    };
    // Un centro borrado no mueve la ventana de empresas ni pregunta por lo que tenga escrito.
    if (!centroExiste(sesion_.conexion, idEmpresa, idCentro)) {
        yaNoEsta();
        return nullptr;
    }
    // Llevar la ventana de empresas a otro centro deja sin guardar lo que se estuviera dando de alta.
    if (r->ventana(Ventana::Empresa) && (sesion_.nuevaEmpresa || sesion_.nuevoCentro)) {
        const QString aviso = sesion_.nuevaEmpresa ? QStringLiteral("La empresa nueva aún no se ha guardado.")
                                                   : QStringLiteral("El centro nuevo aún no se ha guardado.");
        if (Servicios().mensaje(this, aviso + QStringLiteral(" ¿Quiere ver «%1» y perder lo escrito?").arg(nombre),
                                QStringLiteral("Datos Empresa"), Icono::Pregunta, Botones::SiNo,
                                Respuesta::No) != Respuesta::Si)
            return nullptr;
    }
    auto* empresa = qobject_cast<Empresa*>(r->mostrarCargada(Ventana::Empresa));
    if (!empresa)
        return nullptr;
    sesion_.nuevaEmpresa = sesion_.nuevoCentro = false;
    bool encontrado = irA(empresa->empresas(), "IDEmpresa", idEmpresa);
    // Otro programa lo ha borrado justo ahora: la ventana enseña la fila en la que ha quedado.
    if (!encontrado)
        empresa->ColocarEmpresas();
    else {
        // Colocar la empresa vuelve a leer sus centros y enseña el primero; después, el pedido.
        empresa->ColocarEmpresas();
        encontrado = irA(empresa->centros(), "IDCentro", idCentro);
        if (encontrado)
            empresa->ColocarCentros();
    }
    if (!encontrado) {
        yaNoEsta();
        return nullptr;
    }
    return empresa;
}

void ResumenCentros::abrirEvaluacion()
{
    // Como si se pulsara en la ventana de empresas: el inicio de la evaluación vuelve a ella.
    if (Empresa* e = abrirEmpresa())
        e->crearEvaluacion();
}

void ResumenCentros::abrirPlan()
{
    if (Empresa* e = abrirEmpresa())
        e->crearPlanificacion();
}

FilasExportacion ResumenCentros::filasVisibles() const
{
    FilasExportacion tabla;
    tabla.hoja = Titulo;
    for (int c = 0; c < ModeloResumenCentros::NumColumnas; ++c)
        tabla.cabeceras << modelo_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    tabla.filas.reserve(size_t(filtro_->rowCount()));
    for (int f = 0; f < filtro_->rowCount(); ++f) {
        const EstadoCentro& c = modelo_->centro(filtro_->mapToSource(filtro_->index(f, 0)).row());
        CeldaHoja presupuesto;
        if (c.presupuesto != 0 || c.presupuestosSinLeer > 0) {
            presupuesto.tipo = CeldaHoja::Tipo::Importe;
            presupuesto.numero = c.presupuesto;
        }
        tabla.filas.push_back({CeldaHoja::deTexto(c.empresa), CeldaHoja::deTexto(c.centro),
                               CeldaHoja::deTexto(ModeloResumenCentros::textoPaso(c.paso)),
                               CeldaHoja::deFecha(c.fechaEvaluacion), CeldaHoja::deFecha(c.fechaRevision),
                               CeldaHoja::deEntero(c.pendientes), CeldaHoja::deEntero(c.vencidas),
                               CeldaHoja::deEntero(c.hechas), presupuesto});
    }
    return tabla;
}

bool ResumenCentros::exportar(const QString& ruta, FormatoHoja formato)
{
    QString motivo;
    if (EscribirHoja(filasVisibles(), ruta, formato, motivo))
        return true;
    Servicios().mensaje(this,
                        QStringLiteral("No se ha podido guardar la hoja de cálculo en «%1»: %2.")
                            .arg(QDir::toNativeSeparators(ruta), motivo),
                        formato == FormatoHoja::Xlsx ? QStringLiteral("Exportar a Excel (XLSX)")
                                                     : QStringLiteral("Exportar a CSV"),
                        Icono::Critico, Botones::Aceptar, Respuesta::Aceptar);
    return false;
}

void ResumenCentros::exportarA(FormatoHoja formato)
{
    const bool xlsx = formato == FormatoHoja::Xlsx;
    const QString extension = xlsx ? QStringLiteral(".xlsx") : QStringLiteral(".csv");
    QString carpeta = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (carpeta.isEmpty())
        carpeta = QDir::homePath();
    QString ruta = Servicios().elegirArchivo(
        this, xlsx ? QStringLiteral("Exportar a Excel (XLSX)") : QStringLiteral("Exportar a CSV"),
        QDir(carpeta).filePath(Titulo + extension),
        xlsx ? QStringLiteral("Libros de Excel (*.xlsx)")
             : QStringLiteral("Valores separados por punto y coma (*.csv)"),
        true);
    if (ruta.isEmpty())
        return;
    if (!ruta.endsWith(extension, Qt::CaseInsensitive))
        ruta += extension;
    exportar(ruta, formato);
}
