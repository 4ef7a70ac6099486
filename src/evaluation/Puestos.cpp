#include "evaluation/Puestos.h"

#include "evaluation/DatosPuesto.h"
#include "evaluation/TextoFila.h"
#include "plataforma/PlataformaServicios.h"
#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "shell/MarcoCentro.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"
#include "store/Conexion.h"
#include "store/ErrorBD.h"
#include "store/EscrituraFila.h"
#include "store/Recordset.h"

#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <iterator>

const QStringList Puestos::Sensibilidades = {
    QString(), QStringLiteral("Mujer embarazada"), QStringLiteral("Trabajador menor"),
    QStringLiteral("Trabajador con discapacidad reconocida"), QStringLiteral("No existe personal sensible")};

namespace {
using namespace TiposAviso;

// Los identificadores de puesto se han escrito siempre con cuatro cifras en las listas.
constexpr long long PrimerPuestoDeCincoCifras = 10000;

struct Aviso
{
    const char* texto;
    const char* titulo;
};

// Las cuatro comprobaciones del alta, en su orden (el mismo que las columnas de la cuadrícula).
const Aviso avisosAlta[] = {
    {"Tienes que escribir un puesto de trabajo", "Sin Puesto"},
    {"Tienes que escribir una descripción para el puesto seleccionado", "Sin Descripcion"},
    {"Tienes que escribir un tipo de sensibilidad para el puesto", "Sin Sensibilidad"},
    {"Tienes que escribir el numero de trabajadores", "Sin Trabajadores"},
};

struct ColumnaPuesto
{
    const char* titulo;
    const char* campo;
    const char* prefijoNota;
    bool frase; // la fila crece para que se lea entera
};

const ColumnaPuesto columnas[] = {
    {"Puesto", "Puesto", "Puesto: ", true},
    {"Descripción", "Descripcion", "Descripción del puesto: ", true},
    {"Trabajadores Sensibles", "TrabajadoresSensibles", "Trabajador Sensible: ", true},
    {"Nº Trabajadores", "NTrabajadores", "Numero de Trabajadores: ", false},
};

const QString SentenciaPuestos = QStringLiteral("SELECT * from PuestosCentros Where IDCentro = ?;");
} // namespace

Puestos::Puestos(Sesion& sesion, QWidget* parent)
    : VentanaAsistente(Ventana::Puestos, sesion, QStringLiteral("Puestos de trabajo"),
                       QStringLiteral("1- PUESTO DE TRABAJO"), parent)
{
    construir();
    AplicarAccesibilidad(this);
    cargarVentana();
}

Puestos::~Puestos() = default;

void Puestos::construir()
{
    auto* cuerpoPuestos = new QHBoxLayout;

    // Las cuatro entradas del puesto nuevo y los dos botones, a la izquierda.
    auto* formulario = new QGridLayout;
    // Lo escrito no entra en la lista: la lista es el catálogo, y se puede escribir un puesto que
    // no esté en él.
    listaPuesto_ = Kit::listaAbierta("cmbPuesto", 18);
    listaPuesto_->setMaxVisibleItems(15);
    Kit::proponerAlEscribir(listaPuesto_);
    QLabel* Label2 = Kit::etiqueta("Puesto", listaPuesto_);
    Label2->setObjectName("Label2");

    cajaDescripcion_ = Kit::caja("strDescripcion");
    QLabel* etiquetaDescripcion = Kit::etiqueta("Descripción", cajaDescripcion_);

    // Además de las entradas de la lista se puede escribir otro tipo.
    listaSensibilidad_ = Kit::listaAbierta("cmbSensibilidad", 18);
    QLabel* etiquetaSensibilidad = Kit::etiqueta("Trabajadores sensibles", listaSensibilidad_);

    cajaTrabajadores_ = Kit::caja("numTrabajadores", 50);
    cajaTrabajadores_->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0")) * 14);
    QLabel* etiquetaTrabajadores = Kit::etiqueta("Nº de trabajadores", cajaTrabajadores_);

    // Opcional: quienes ocupan el puesto, un nombre por línea.
    cajaOcupantes_ = new QPlainTextEdit;
    cajaOcupantes_->setObjectName("strTrabajadores");
    cajaOcupantes_->setPlaceholderText(QStringLiteral("Opcional: un nombre por línea"));
    cajaOcupantes_->setTabChangesFocus(true);
    cajaOcupantes_->setFixedHeight(cajaOcupantes_->fontMetrics().lineSpacing() * 3 + 2 * cajaOcupantes_->frameWidth() +
                                   8);
    QLabel* etiquetaOcupantes = Kit::etiqueta("Trabajadores que ocupan el puesto", cajaOcupantes_);
    etiquetaOcupantes->setWordWrap(true);

    botonAnadirPuesto_ = Kit::boton(QStringLiteral("BAñadir"), "Añadir");
    botonAnadirPuesto_->setDefault(true);
    botonQuitarPuesto_ = Kit::boton("BCancelar", "Eliminar");
    botonQuitarPuesto_->setEnabled(false);

    formulario->addWidget(Label2, 0, 0);
    formulario->addWidget(listaPuesto_, 0, 1, 1, 2);
    formulario->addWidget(etiquetaDescripcion, 1, 0);
    formulario->addWidget(cajaDescripcion_, 1, 1, 1, 2);
    formulario->addWidget(etiquetaSensibilidad, 2, 0);
    formulario->addWidget(listaSensibilidad_, 2, 1, 1, 2);
    formulario->addWidget(etiquetaTrabajadores, 3, 0);
    formulario->addWidget(cajaTrabajadores_, 3, 1);
    formulario->addWidget(etiquetaOcupantes, 4, 0, Qt::AlignTop);
    formulario->addWidget(cajaOcupantes_, 4, 1, 1, 2);
    auto* botones = new QHBoxLayout;
    botones->addStretch();
    botones->addWidget(botonAnadirPuesto_);
    botones->addWidget(botonQuitarPuesto_);
    formulario->addLayout(botones, 5, 0, 1, 3);
    formulario->setRowStretch(6, 1);
    formulario->setColumnStretch(2, 1);
    cuerpoPuestos->addLayout(formulario, 2);

    // La cuadrícula de los puestos del centro, a la derecha.
    origenPuestos_ = new DataSource(this);
    origenPuestos_->setObjectName("RPuestos");
    cuadriculaPuestos_ = new Grid;
    cuadriculaPuestos_->setObjectName("GPuestos");
    cuadriculaPuestos_->setDataSource(origenPuestos_);
    QVector<GridColumn> definicion;
    for (const ColumnaPuesto& c : columnas) {
        definicion << GridColumn::text(c.titulo, c.campo);
        definicion.back().wordWrap = c.frase;
    }
    cuadriculaPuestos_->setColumns(definicion);
    // Las notas flotan junto al puntero, con la fila seleccionada: pasar por encima no cambia de puesto.
    cuadriculaPuestos_->setTipAnchored(false);
    cuadriculaPuestos_->setTipWidth(6000);
    cuadriculaPuestos_->setTipDelay(500);
    cuadriculaPuestos_->setTipMovesCurrentRow(false);
    // Bajo la cuadrícula, quienes ocupan el puesto elegido en ella.
    ocupantesDelPuesto_ =
        new TextoFila(QStringLiteral("strTrabajadoresPuesto"), QStringLiteral("Trabajadores que ocupan el puesto"),
                      QStringLiteral("Opcional: un nombre por línea"), cuadriculaPuestos_, sesion_.conexion,
                      {QStringLiteral("PuestosCentros"), QStringLiteral("IDPuestoCentro"),
                       QStringLiteral("Trabajadores"), QStringLiteral("Puesto")});
    auto* derecha = new QVBoxLayout;
    derecha->addWidget(cuadriculaPuestos_, 1);
    derecha->addWidget(ocupantesDelPuesto_);
    cuerpoPuestos->addLayout(derecha, 5);
    cuerpo()->addLayout(cuerpoPuestos, 1);

    ponerPie(std::nullopt, {}, {}, QStringLiteral("Factor de Riesgo"), {}, QStringLiteral("Volver al Menu Principal"),
             QStringLiteral("Puestos"));

    connect(botonAnadirPuesto_, &QPushButton::clicked, this, Ranura([this] { anadir(); }, this));
    connect(botonQuitarPuesto_, &QPushButton::clicked, this, Ranura([this] { eliminar(); }, this));
    connect(listaPuesto_, qOverload<int>(&QComboBox::activated), this,
            Ranura([this] { elegirNombre(listaPuesto_->currentText()); }, this));
    // Elegir un nombre entre los propuestos al escribir es como elegirlo en la lista.
    connect(listaPuesto_->completer(), qOverload<const QString&>(&QCompleter::activated), this,
            [this](const QString& nombre) { ProtegerRanura([this, nombre] { elegirNombre(nombre); }, this); });
    connect(cuadriculaPuestos_, &Grid::cellTipRequested, this,
            [this](int division, int columna, int fila, CellTip* nota) {
                ProtegerRanura([&] { pedirNota(division, columna, fila, nota); }, this);
            });
    connect(cuadriculaPuestos_, &Grid::beforeCellChange, this,
            [this](int columna, const QVariant&, const QVariant& nuevo, bool* cancelar) {
                antesDeCambiar(columna, nuevo, cancelar);
            });
}

void Puestos::cargarVentana()
{
    EjecutarCarga({[this] { colocarPaso(); }, [this] { setWindowTitle(titulo_); },
                   [this] { origenPuestos_->setConnectionString(sesion_.conexion); },
                   [this] { cajaTrabajadores_->setText(QStringLiteral("0")); },
                   [this] {
                       listaSensibilidad_->clear();
                       listaSensibilidad_->addItems(Sensibilidades);
                       listaSensibilidad_->setCurrentIndex(0);
                   },
                   [this] {
                       Recordset catalogo;
                       catalogo.open("Select * from Puestos", sesion_.conexion);
                       listaPuesto_->clear();
                       QStringList nombres;
                       for (; !catalogo.eof(); catalogo.moveNext())
                           nombres << NuloATexto(catalogo.value("Puesto")).toString();
                       listaPuesto_->addItems(nombres);
                       // La lista no deja ningún nombre puesto: el puesto se escribe o se elige.
                       listaPuesto_->setCurrentIndex(-1);
                       listaPuesto_->setEditText(QString());
                   },
                   [this] { Colocar(); }},
                  this);
}

void Puestos::Colocar()
{
    bool parar = false;
    // Esta ventana no tiene contador de registros: tras un 3021 sólo se vuelve a la primera fila.
    EjecutarPresentacion({[&] { leerCentro(parar); }, [&] { mostrarCentro(parar); },
                          [&] {
                              if (parar)
                                  return;
                              origenPuestos_->setRecordSource(SentenciaPuestos, {qlonglong(sesion_.idCentro)});
                              origenPuestos_->refresh();
                              cuadriculaPuestos_->redraw();
                              ocupantesDelPuesto_->seguirFila();
                          },
                          [&] {
                              if (!parar)
                                  botonQuitarPuesto_->setEnabled(!origenPuestos_->isEmpty());
                          }},
                         &origenPuestos_->recordset(), nullptr, this);
}

void Puestos::releerPuestos()
{
    // Si la relectura falla, la cuadrícula queda vacía y el botón de quitar, apagado.
    try {
        origenPuestos_->setRecordSource(SentenciaPuestos, {qlonglong(sesion_.idCentro)});
        origenPuestos_->refresh();
    } catch (...) {
        botonQuitarPuesto_->setEnabled(false);
        cuadriculaPuestos_->redraw();
        throw;
    }
    cuadriculaPuestos_->redraw();
    botonQuitarPuesto_->setEnabled(!origenPuestos_->isEmpty());
    ocupantesDelPuesto_->seguirFila();
}

bool Puestos::cumpleRegla(int regla, const QString& texto)
{
    switch (regla) {
    case 3:
        // El valor es el número con que empieza el texto ("3 personas" vale 3). Un número de
        // trabajadores negativo tampoco es un número de trabajadores.
        return ValorNumerico(texto) > 0;
    default:
        // Vacío es sin ninguna letra: los blancos cuentan.
        return !texto.isEmpty();
    }
}

void Puestos::avisar(int regla)
{
    Servicios().mensaje(this, QString::fromUtf8(avisosAlta[regla].texto), QString::fromUtf8(avisosAlta[regla].titulo),
                        Icono::Critico, Botones::Aceptar, Respuesta::Aceptar);
}

void Puestos::anadir()
{
    const QString entradas[] = {listaPuesto_->currentText(), cajaDescripcion_->text(),
                                listaSensibilidad_->currentText(), cajaTrabajadores_->text()};
    for (int regla = 0; regla < 4; ++regla)
        if (!cumpleRegla(regla, entradas[regla])) {
            avisar(regla);
            listaPuesto_->setFocus();
            return;
        }

    // El centro del que cuelga el puesto (y cuya empresa llevan sus factores) tiene que existir.
    if (!rsCentro_ || !rsCentro_->isOpen() || rsCentro_->eof()) {
        Servicios().mensaje(this,
                            QStringLiteral("No se encuentra el centro de trabajo en la base de datos, así que el "
                                           "puesto no se ha guardado.\n\nVuelva a la pantalla de empresas y elija "
                                           "otra vez el centro."),
                            QStringLiteral("Sin Centro"), Icono::Critico, Botones::Aceptar, Respuesta::Aceptar);
        return;
    }

    NuevoPuesto nuevo;
    nuevo.idCentro = sesion_.idCentro;
    nuevo.idEmpresa = rsCentro_->value("IDEmpresa").toLongLong();
    nuevo.puesto = entradas[0];
    nuevo.descripcion = entradas[1];
    nuevo.sensibles = entradas[2];
    nuevo.trabajadores = entradas[3];
    nuevo.ocupantes = cajaOcupantes_->toPlainText();
    long long id = 0;
    try {
        // El puesto y su copia del catálogo de factores se escriben juntos o no se escribe nada.
        id = AnadirPuestoConFactores(sesion_.conexion, nuevo);
    } catch (const ErrorBD& e) {
        if (e.numero() == NumeroError::BaseDanada)
            OfrecerReparacion(this);
        Servicios().mensaje(this,
                            QStringLiteral("No se ha podido añadir el puesto de trabajo: no se ha guardado nada, ni "
                                           "el puesto ni sus factores de riesgo. Los datos escritos siguen en la "
                                           "pantalla para volver a intentarlo.\n\n") +
                                TextoErrorGeneral(e.numero(), e.descripcion()),
                            QStringLiteral("Error"), Icono::Critico, Botones::Aceptar, Respuesta::Aceptar);
        return;
    }

    releerPuestos();

    listaPuesto_->setCurrentIndex(-1);
    listaPuesto_->setEditText(QString());
    cajaDescripcion_->clear();
    cajaOcupantes_->clear();
    cajaTrabajadores_->setText(QStringLiteral("0"));
    listaSensibilidad_->setCurrentIndex(0);
    listaPuesto_->setFocus();

    // Las ventanas del asistente escriben el número completo; se avisa porque no se verá con
    // cuatro cifras como los demás.
    if (id >= PrimerPuestoDeCincoCifras)
        Servicios().mensaje(this,
                            QStringLiteral("El puesto se ha guardado con el número %1, que tiene más de cuatro "
                                           "cifras.\n\nEn las listas de puestos del asistente aparecerá con el "
                                           "número completo, \"%2\", y se seguirá tratando siempre como este "
                                           "mismo puesto.")
                                .arg(id)
                                .arg(TextoPuesto(id, nuevo.puesto)),
                            QStringLiteral("Número de puesto"), Icono::Informacion, Botones::Aceptar,
                            Respuesta::Aceptar);
}

void Puestos::eliminar()
{
    if (origenPuestos_->isEmpty())
        return;
    const Respuesta r =
        Servicios().mensaje(this, QStringLiteral("¿Esta seguro de querer quitar el puesto de la base de datos?"),
                            QStringLiteral("Eliminar"), Icono::Critico, Botones::SiNo, Respuesta::No);
    if (r != Respuesta::Si)
        return;
    const int fila = cuadriculaPuestos_->currentRow();
    if (fila < 0)
        return;
    const long long id = origenPuestos_->fieldValue(fila, QStringLiteral("IDPuestoCentro")).toLongLong();
    // Lo escrito para otro puesto no se pierde con la relectura.
    ocupantesDelPuesto_->guardar();
    // Las claves ajenas se llevan con el puesto sus factores, sus evaluaciones y sus medidas.
    // Un puesto que otro ha cambiado desde que se leyó no se borra: se enseña como lo dejó.
    try {
        borrarFila(*Conexion::obtener(sesion_.conexion), "PuestosCentros", "IDPuestoCentro", id,
                   origenPuestos_->fieldValue(fila, QStringLiteral("VersionFila")));
    } catch (const ErrorBD& e) {
        if (e.numero() == NumeroError::RegistroModificado)
            releerPuestos();
        throw;
    }
    releerPuestos();
}

void Puestos::elegirNombre(const QString& nombre)
{
    Recordset catalogo;
    // El nombre va enlazado: un apóstrofo ("Mozo d'almacén") no rompe la consulta.
    catalogo.open("Select * from Puestos where Puesto = ?;", sesion_.conexion, {nombre});
    // Sólo un nombre que está una vez en el catálogo trae su descripción.
    if (catalogo.recordCount() == 1) {
        catalogo.moveFirst();
        cajaDescripcion_->setText(NuloATexto(catalogo.value(QStringLiteral("Descripción"))).toString());
    } else {
        cajaDescripcion_->setText(QString());
    }
}

void Puestos::pedirNota(int division, int columna, int fila, CellTip* nota)
{
    if (division < 0 || fila < 0 || columna < 0 || columna >= int(std::size(columnas)))
        return;
    // La nota es de la fila seleccionada, esté donde esté el puntero.
    const int actual = cuadriculaPuestos_->currentRow();
    if (actual < 0)
        return;
    nota->text = QString::fromUtf8(columnas[columna].prefijoNota) +
                 NuloATexto(origenPuestos_->fieldValue(actual, QString::fromUtf8(columnas[columna].campo))).toString();
    Kit::estiloNota(nota);
}

void Puestos::antesDeCambiar(int columna, const QVariant& nuevo, bool* cancelar)
{
    // En la cuadrícula valen las mismas reglas que al añadir: no se deja un puesto sin nombre o
    // sin trabajadores que el alta no habría aceptado.
    if (columna < 0 || columna > 3 || cumpleRegla(columna, nuevo.toString()))
        return;
    *cancelar = true;
    // El aviso va después: la celda está terminando su edición.
    QTimer::singleShot(0, this, [this, columna] { avisar(columna); });
}

void Puestos::adelante()
{
    if (!ocupantesDelPuesto_->guardar())
        return;
    if (origenPuestos_->isEmpty()) {
        Servicios().mensaje(this, QStringLiteral("Tiene que existir por lo menos un Puesto para poder continuar"),
                            QStringLiteral("Sin Puesto"), Icono::Critico, Botones::Aceptar, Respuesta::Aceptar);
        listaPuesto_->setFocus();
        return;
    }
    // El puesto de la sesión no se toca: la ventana de factores vuelve al puesto que tenía elegido.
    irA(Ventana::SeleccionaFactores, false);
}

void Puestos::inicio()
{
    if (!ocupantesDelPuesto_->guardar())
        return;
    // El inicio recalcula sus pasos con los puestos de ahora y vuelve a verse.
    if (RegistroVentanas* r = RegistroVentanas::actual()) {
        if (QWidget* hub = r->ventana(Ventana::InicioEvaluacion)) {
            QMetaObject::invokeMethod(hub, "Colocar");
            r->mostrarCargada(Ventana::InicioEvaluacion);
        } else {
            // Si se había cerrado, se abre otro, que al cargar se coloca.
            r->abrirNueva(Ventana::InicioEvaluacion);
        }
    }
    ocultarme();
}
