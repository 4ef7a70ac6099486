#include "Puestos.h"

#include "DatosPuesto.h"
#include "ErrorBD.h"
#include "Globales.h"
#include "ManejadorErrores.h"
#include "PlataformaServicios.h"
#include "Recordset.h"
#include "RegistroVentanas.h"
#include "Rutinas.h"
#include "grid/DataSource.h"
#include "grid/Grid.h"

#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <iterator>

const QString Puestos::Nombre = QStringLiteral("Puestos");

const QStringList Puestos::Sensibilidades = {
    QString(), QStringLiteral("Mujer embarazada"), QStringLiteral("Trabajador menor"),
    QStringLiteral("Trabajador con discapacidad reconocida"), QStringLiteral("No existe personal sensible")};

namespace {
using Icono = PlataformaServicios::Icono;
using Botones = PlataformaServicios::Botones;
using Respuesta = PlataformaServicios::Respuesta;

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

QString sentenciaPuestos()
{
    return "SELECT * from PuestosCentros Where IDCentro = " + QString::number(gIDCentro) + ";";
}
} // namespace

void Puestos::registrar()
{
    RegistroVentanas::registrarFabrica(Nombre, [] { return new Puestos; });
}

Puestos::Puestos(QWidget* parent)
    : VentanaAsistente(Nombre, QStringLiteral("Puestos de trabajo"), QStringLiteral("1- PUESTO DE TRABAJO"), parent)
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
    cmbPuesto_ = new QComboBox;
    cmbPuesto_->setObjectName("cmbPuesto");
    cmbPuesto_->setEditable(true);
    // Lo escrito no entra en la lista: la lista es el catálogo.
    cmbPuesto_->setInsertPolicy(QComboBox::NoInsert);
    cmbPuesto_->setMaxVisibleItems(15);
    cmbPuesto_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cmbPuesto_->setMinimumContentsLength(18);
    // Al escribir se proponen los nombres del catálogo que contienen lo escrito, sin rellenar
    // el resto del nombre por su cuenta (se puede escribir un puesto que no esté en él).
    cmbPuesto_->completer()->setCompletionMode(QCompleter::PopupCompletion);
    cmbPuesto_->completer()->setFilterMode(Qt::MatchContains);
    cmbPuesto_->completer()->setCaseSensitivity(Qt::CaseInsensitive);
    auto* Label2 = new QLabel("Puesto");
    Label2->setObjectName("Label2");
    Label2->setBuddy(cmbPuesto_);

    strDescripcion_ = new QLineEdit;
    strDescripcion_->setObjectName("strDescripcion");
    auto* etiquetaDescripcion = new QLabel("Descripción");
    etiquetaDescripcion->setBuddy(strDescripcion_);

    cmbSensibilidad_ = new QComboBox;
    cmbSensibilidad_->setObjectName("cmbSensibilidad");
    // Además de las entradas de la lista se puede escribir otro tipo.
    cmbSensibilidad_->setEditable(true);
    cmbSensibilidad_->setInsertPolicy(QComboBox::NoInsert);
    cmbSensibilidad_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cmbSensibilidad_->setMinimumContentsLength(18);
    auto* etiquetaSensibilidad = new QLabel("Trabajadores sensibles");
    etiquetaSensibilidad->setBuddy(cmbSensibilidad_);

    numTrabajadores_ = new QLineEdit;
    numTrabajadores_->setObjectName("numTrabajadores");
    numTrabajadores_->setMaxLength(50);
    numTrabajadores_->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0")) * 14);
    auto* etiquetaTrabajadores = new QLabel("Nº de trabajadores");
    etiquetaTrabajadores->setBuddy(numTrabajadores_);

    BAnadir_ = new QPushButton("Añadir");
    BAnadir_->setObjectName(QStringLiteral("BAñadir"));
    BAnadir_->setDefault(true);
    BCancelar_ = new QPushButton("Eliminar");
    BCancelar_->setObjectName("BCancelar");
    BCancelar_->setEnabled(false);

    formulario->addWidget(Label2, 0, 0);
    formulario->addWidget(cmbPuesto_, 0, 1, 1, 2);
    formulario->addWidget(etiquetaDescripcion, 1, 0);
    formulario->addWidget(strDescripcion_, 1, 1, 1, 2);
    formulario->addWidget(etiquetaSensibilidad, 2, 0);
    formulario->addWidget(cmbSensibilidad_, 2, 1, 1, 2);
    formulario->addWidget(etiquetaTrabajadores, 3, 0);
    formulario->addWidget(numTrabajadores_, 3, 1);
    auto* botones = new QHBoxLayout;
    botones->addStretch();
    botones->addWidget(BAnadir_);
    botones->addWidget(BCancelar_);
    formulario->addLayout(botones, 4, 0, 1, 3);
    formulario->setRowStretch(5, 1);
    formulario->setColumnStretch(2, 1);
    cuerpoPuestos->addLayout(formulario, 2);

    // La cuadrícula de los puestos del centro, a la derecha.
    RPuestos_ = new DataSource(this);
    RPuestos_->setObjectName("RPuestos");
    GPuestos_ = new Grid;
    GPuestos_->setObjectName("GPuestos");
    GPuestos_->setDataSource(RPuestos_);
    QVector<GridColumn> definicion;
    for (const ColumnaPuesto& c : columnas) {
        definicion << GridColumn::text(c.titulo, c.campo);
        definicion.back().wordWrap = c.frase;
    }
    GPuestos_->setColumns(definicion);
    // Las notas flotan junto al puntero, con la fila seleccionada: pasar por encima no cambia de puesto.
    GPuestos_->setTipAnchored(false);
    GPuestos_->setTipWidth(6000);
    GPuestos_->setTipDelay(500);
    GPuestos_->setTipMovesCurrentRow(false);
    cuerpoPuestos->addWidget(GPuestos_, 5);
    cuerpo()->addLayout(cuerpoPuestos, 1);

    ponerPie({}, {}, QStringLiteral("Factor de Riesgo"), {}, QStringLiteral("Volver al Menu Principal"),
             QStringLiteral("Puestos"));

    connect(BAnadir_, &QPushButton::clicked, this, Ranura([this] { anadir(); }, this));
    connect(BCancelar_, &QPushButton::clicked, this, Ranura([this] { eliminar(); }, this));
    connect(cmbPuesto_, qOverload<int>(&QComboBox::activated), this,
            Ranura([this] { elegirNombre(cmbPuesto_->currentText()); }, this));
    // Elegir un nombre entre los propuestos al escribir es como elegirlo en la lista.
    connect(cmbPuesto_->completer(), qOverload<const QString&>(&QCompleter::activated), this,
            [this](const QString& nombre) { ProtegerRanura([this, nombre] { elegirNombre(nombre); }, this); });
    connect(GPuestos_, &Grid::cellTipRequested, this, [this](int division, int columna, int fila, CellTip* nota) {
        ProtegerRanura([&] { pedirNota(division, columna, fila, nota); }, this);
    });
    connect(GPuestos_, &Grid::beforeCellChange, this,
            [this](int columna, const QVariant&, const QVariant& nuevo, bool* cancelar) {
                antesDeCambiar(columna, nuevo, cancelar);
            });
}

void Puestos::cargarVentana()
{
    EjecutarCarga({[this] { ColocarEnTwips(this, 100, 100, 12700, 4050); }, [this] { setWindowTitle(titulo_); },
                   [this] { RPuestos_->setConnectionString(gConexion); },
                   [this] { numTrabajadores_->setText(QStringLiteral("0")); },
                   [this] {
                       cmbSensibilidad_->clear();
                       cmbSensibilidad_->addItems(Sensibilidades);
                       cmbSensibilidad_->setCurrentIndex(0);
                   },
                   [this] {
                       Recordset catalogo;
                       catalogo.open("Select * from Puestos", gConexion);
                       cmbPuesto_->clear();
                       QStringList nombres;
                       for (; !catalogo.eof(); catalogo.moveNext())
                           nombres << NuloATexto(catalogo.value("Puesto")).toString();
                       cmbPuesto_->addItems(nombres);
                       // La lista no deja ningún nombre puesto: el puesto se escribe o se elige.
                       cmbPuesto_->setCurrentIndex(-1);
                       cmbPuesto_->setEditText(QString());
                   },
                   [this] { Colocar(); }},
                  this);
}

void Puestos::Colocar()
{
    bool parar = false;
    // Esta ventana no tiene contador de registros: tras un 3021 sólo se vuelve a la primera fila.
    EjecutarPresentacion({[&] {
                              rsCentro_ = std::make_unique<Recordset>();
                              rsCentro_->open(
                                  "Select * from CentroTrabajo where IDCentro = " + QString::number(gIDCentro) + ";",
                                  gConexion);
                              parar = rsCentro_->eof();
                          },
                          [&] {
                              if (!parar)
                                  strDireccion_->setText(NuloATexto(rsCentro_->value("Direccion")).toString());
                          },
                          [&] {
                              if (parar)
                                  return;
                              RPuestos_->setRecordSource(sentenciaPuestos());
                              RPuestos_->refresh();
                              GPuestos_->redraw();
                          },
                          [&] {
                              if (!parar)
                                  BCancelar_->setEnabled(!RPuestos_->isEmpty());
                          }},
                         &RPuestos_->recordset(), nullptr, this);
}

void Puestos::releerPuestos()
{
    // Si la relectura falla, la cuadrícula queda vacía y el botón de quitar, apagado.
    try {
        RPuestos_->setRecordSource(sentenciaPuestos());
        RPuestos_->refresh();
    } catch (...) {
        BCancelar_->setEnabled(false);
        GPuestos_->redraw();
        throw;
    }
    GPuestos_->redraw();
    BCancelar_->setEnabled(!RPuestos_->isEmpty());
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
    const QString entradas[] = {cmbPuesto_->currentText(), strDescripcion_->text(), cmbSensibilidad_->currentText(),
                                numTrabajadores_->text()};
    for (int regla = 0; regla < 4; ++regla)
        if (!cumpleRegla(regla, entradas[regla])) {
            avisar(regla);
            cmbPuesto_->setFocus();
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
    nuevo.idCentro = gIDCentro;
    nuevo.idEmpresa = rsCentro_->value("IDEmpresa").toLongLong();
    nuevo.puesto = entradas[0];
    nuevo.descripcion = entradas[1];
    nuevo.sensibles = entradas[2];
    nuevo.trabajadores = entradas[3];
    long long id = 0;
    try {
        // El puesto y su copia del catálogo de factores se escriben juntos o no se escribe nada.
        id = AnadirPuestoConFactores(nuevo);
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

    cmbPuesto_->setCurrentIndex(-1);
    cmbPuesto_->setEditText(QString());
    strDescripcion_->clear();
    numTrabajadores_->setText(QStringLiteral("0"));
    cmbSensibilidad_->setCurrentIndex(0);
    cmbPuesto_->setFocus();

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
    if (RPuestos_->isEmpty())
        return;
    const Respuesta r =
        Servicios().mensaje(this, QStringLiteral("¿Esta seguro de querer quitar el puesto de la base de datos?"),
                            QStringLiteral("Eliminar"), Icono::Critico, Botones::SiNo, Respuesta::No);
    if (r != Respuesta::Si)
        return;
    const int fila = GPuestos_->currentRow();
    if (fila < 0)
        return;
    const long long id = RPuestos_->fieldValue(fila, QStringLiteral("IDPuestoCentro")).toLongLong();
    // Las claves ajenas se llevan con el puesto sus factores, sus evaluaciones y sus medidas.
    Recordset::execute("delete from PuestosCentros where IDPuestoCentro = " + QString::number(id) + ";", gConexion);
    releerPuestos();
}

void Puestos::elegirNombre(const QString& nombre)
{
    Recordset catalogo;
    // El nombre va enlazado: un apóstrofo ("Mozo d'almacén") no rompe la consulta.
    catalogo.open("Select * from Puestos where Puesto = ?;", gConexion, {nombre});
    // Sólo un nombre que está una vez en el catálogo trae su descripción.
    if (catalogo.recordCount() == 1) {
        catalogo.moveFirst();
        strDescripcion_->setText(NuloATexto(catalogo.value(QStringLiteral("Descripción"))).toString());
    } else {
        strDescripcion_->setText(QString());
    }
}

void Puestos::pedirNota(int division, int columna, int fila, CellTip* nota)
{
    if (division < 0 || fila < 0 || columna < 0 || columna >= int(std::size(columnas)))
        return;
    // La nota es de la fila seleccionada, esté donde esté el puntero.
    const int actual = GPuestos_->currentRow();
    if (actual < 0)
        return;
    nota->text = QString::fromUtf8(columnas[columna].prefijoNota) +
                 NuloATexto(RPuestos_->fieldValue(actual, QString::fromUtf8(columnas[columna].campo))).toString();
    nota->fontSize = 11;
    nota->bold = true;
    nota->textColor = CellTip::oleColor(0x8000000E);
    nota->fillColor = CellTip::oleColor(0x800000);
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
    if (RPuestos_->isEmpty()) {
        Servicios().mensaje(this, QStringLiteral("Tiene que existir por lo menos un Puesto para poder continuar"),
                            QStringLiteral("Sin Puesto"), Icono::Critico, Botones::Aceptar, Respuesta::Aceptar);
        cmbPuesto_->setFocus();
        return;
    }
    // gPuestoActual no se toca: la ventana de factores vuelve al puesto que tenía elegido.
    irA(QStringLiteral("SeleccionaFactores"), false);
}

void Puestos::inicio()
{
    // El inicio recalcula sus pasos con los puestos de ahora y vuelve a verse.
    if (RegistroVentanas* r = RegistroVentanas::actual()) {
        if (QWidget* hub = r->ventana(QStringLiteral("InicioEvaluacion"))) {
            QMetaObject::invokeMethod(hub, "Colocar");
            r->mostrarCargada(QStringLiteral("InicioEvaluacion"));
        } else {
            // Si se había cerrado, se abre otro, que al cargar se coloca.
            r->abrirNueva(QStringLiteral("InicioEvaluacion"));
        }
    }
    ocultarme();
}
