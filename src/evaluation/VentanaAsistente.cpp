#include "evaluation/VentanaAsistente.h"

#include "plataforma/PlataformaServicios.h"
#include "shell/FiltroCuadricula.h"
#include "shell/IconosEntrada.h"
#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "shell/MarcoCentro.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"
#include "store/Recordset.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

QString VentanaAsistente::TextoPuesto(long long idPuesto, const QString& nombre)
{
    QString numero = RellenarCeros(double(idPuesto), 4);
    if (numero.isEmpty())
        numero = QString::number(idPuesto);
    return numero + " - " + nombre;
}

VentanaAsistente::VentanaAsistente(Ventana tipo, Sesion& sesion, const QString& titulo, const QString& cabecera,
                                   QWidget* parent)
    : QWidget(parent), tipo_(tipo), sesion_(sesion), titulo_(titulo)
{
    setObjectName(NombreVentana(tipo));
    setProperty("claveTamano", QStringLiteral("Asistente"));
    auto* v = new QVBoxLayout(this);
    v->addWidget(Kit::banner("LabelCabecera", cabecera));
    marcoCentro_ = new MarcoCentro;
    v->addWidget(marcoCentro_);
    cuerpo_ = new QVBoxLayout;
    v->addLayout(cuerpo_, 1);
}

VentanaAsistente::~VentanaAsistente() = default;

void VentanaAsistente::ponerListaPuestos()
{
    auto* etiqueta =
        new QLabel("PUESTO DE TRABAJO (Con ayuda del siguiente desplegable, ve seleccionando los puestos a evaluar)");
    etiqueta->setWordWrap(true);
    listaPuestos_ = new QComboBox;
    listaPuestos_->setObjectName("cmbPuestos");
    listaPuestos_->setEditable(false);
    etiqueta->setBuddy(listaPuestos_);
    cuerpo_->addWidget(etiqueta);
    cuerpo_->addWidget(listaPuestos_);
    connect(listaPuestos_, qOverload<int>(&QComboBox::activated), this,
            Ranura(
                [this] {
                    const long long id = puestoElegido();
                    rsPuesto_ = std::make_unique<Recordset>();
                    rsPuesto_->open("Select * from PuestosCentros where IDCentro = ? and IDPuestoCentro = ?;",
                                    sesion_.conexion, {qlonglong(sesion_.idCentro), id});
                    rsPuesto_->requery();
                    elegirPuesto(id);
                },
                this));
}

Grid* VentanaAsistente::ponerCuadricula(const QString& nombre, const QString& nombreOrigen, const QString& accesible,
                                        const QVector<GridColumn>& columnas, int filasVisibles, int anchoNota)
{
    auto* origen = new DataSource(this);
    origen->setObjectName(nombreOrigen);
    origen->setConnectionString(sesion_.conexion);
    Grid* g = Kit::cuadricula(nombre, accesible, origen);
    g->setColumns(columnas);
    g->setTipAnchored(true);
    g->setTipWidth(anchoNota);
    g->setTipDelay(RetardoNota);
    // Las filas pedidas caben en el tamaño de los pasos; de mínimo, menos, para que la ventana
    // se pueda achicar en una pantalla pequeña. Con la ventana crece la cuadrícula.
    g->setMinimumHeight((g->fontMetrics().height() + 8) * qMin(filasVisibles, 4));
    cuerpo_->addWidget(g, 1);
    cuadricula_ = g;
    connect(g, &Grid::beforeCellChange, this,
            [this](int columna, const QVariant&, const QVariant& nuevo, bool* cancelar) {
                antesDeCambiar(columna, nuevo, cancelar);
            });
    connect(g, &Grid::cellTipRequested, this,
            [this](int division, int columna, int fila, CellTip* tip) { nota(division, columna, fila, tip); });
    return g;
}

FiltroCuadricula* VentanaAsistente::ponerFiltro(Grid* cuadricula, const QString& nombre)
{
    auto* filtro = new FiltroCuadricula(nombre, cuadricula);
    const int sitio = cuerpo_->indexOf(cuadricula);
    cuerpo_->insertWidget(sitio < 0 ? cuerpo_->count() : sitio, filtro);
    return filtro;
}

DataSource* VentanaAsistente::origen() const
{
    return cuadricula_ ? cuadricula_->dataSource() : nullptr;
}

long long VentanaAsistente::puestoElegido() const
{
    // El número va con el elemento: no se saca de las cuatro primeras letras del texto, que no
    // bastan para un puesto de cinco cifras.
    return listaPuestos_ && listaPuestos_->currentIndex() >= 0 ? listaPuestos_->currentData().toLongLong() : 0;
}

void VentanaAsistente::ponerPie(std::optional<Ventana> anterior, const QString& tipAtras, const QString& textoAtras,
                                const QString& tipAdelante, const QString& textoAdelante, const QString& tipInicio,
                                const QString& documentoAyuda)
{
    // Ningún botón es sólo un dibujo: el que no trae texto lleva debajo el de su nota.
    const auto boton = [](const char* nombre, const QString& tip, const QString& texto, QStyle::StandardPixmap icono) {
        return Kit::botonImagen(nombre, tip, icono, texto.isEmpty() ? tip : texto);
    };
    // Cada botón del pie cierra antes la edición en curso; si no se puede cerrar, no hace nada.
    const auto alPulsar = [this](QToolButton* b, std::function<void()> accion) {
        connect(b, &QToolButton::clicked, this,
                Ranura(
                    [this, accion = std::move(accion)] {
                        if (cerrarEdicion())
                            accion();
                    },
                    this));
    };
    auto* pie = new QHBoxLayout;
    QToolButton* alInicio = boton("Image1", tipInicio, {}, QStyle::SP_DirHomeIcon);
    pie->addWidget(alInicio);
    alPulsar(alInicio, [this] { inicio(); });
    if (anterior) {
        QToolButton* b = boton("Picture1", tipAtras, textoAtras, QStyle::SP_ArrowBack);
        pie->addWidget(b);
        alPulsar(b, [this, paso = *anterior] { irA(paso); });
    }
    pie->addStretch();
    QToolButton* ayuda = boton("Image9", "Ayuda", "Ayuda", QStyle::SP_DialogHelpButton);
    ayuda->setIcon(IconosEntrada::ayuda());
    pie->addWidget(ayuda);
    QToolButton* sigue = boton("Picture2", tipAdelante, textoAdelante, QStyle::SP_ArrowForward);
    pie->addWidget(sigue);
    alPulsar(sigue, [this] { adelante(); });
    cuerpo_->addLayout(pie);
    connect(ayuda, &QToolButton::clicked, this,
            Ranura([this, documentoAyuda] { AbrirAyuda(this, documentoAyuda); }, this));
}

void VentanaAsistente::cargar()
{
    AplicarAccesibilidad(this);
    EjecutarCarga({[this] { colocarPaso(); }, [this] { setWindowTitle(titulo_); }, [this] { Colocar(); }}, this);
}

void VentanaAsistente::colocarPaso()
{
    ColocarEnTwips(this, 100, 100, AnchoPaso, AltoPaso);
}

void VentanaAsistente::Colocar()
{
    bool parar = false;
    int elegido = 0;
    EjecutarPresentacion({[&] { leerCentro(parar); }, [&] { mostrarCentro(parar); },
                          [&] {
                              if (parar || !listaPuestos_)
                                  return;
                              const QSignalBlocker bloqueo(listaPuestos_);
                              listaPuestos_->clear();
                              Recordset puestos;
                              puestos.open("Select * from PuestosCentros where IDCentro = ?;", sesion_.conexion,
                                           {qlonglong(sesion_.idCentro)});
                              puestos.requery();
                              while (!puestos.eof()) {
                                  const long long id = puestos.value("IDPuestoCentro").toLongLong();
                                  const QString texto = TextoPuesto(id, NuloATexto(puestos.value("Puesto")).toString());
                                  if (texto == sesion_.puestoActual)
                                      elegido = listaPuestos_->count();
                                  listaPuestos_->addItem(texto, id);
                                  puestos.moveNext();
                              }
                          },
                          [&] {
                              if (parar || !listaPuestos_ || listaPuestos_->count() == 0)
                                  return;
                              listaPuestos_->setCurrentIndex(elegido);
                              emit listaPuestos_->activated(elegido);
                          }},
                         nullptr, nullptr, this);
}

void VentanaAsistente::leerCentro(bool& parar)
{
    rsCentro_ = std::make_unique<Recordset>();
    AbrirCentroEnCurso(*rsCentro_, sesion_);
    parar = rsCentro_->eof();
}

void VentanaAsistente::mostrarCentro(bool parar)
{
    if (!parar)
        marcoCentro_->mostrar(rsCentro_->value("Direccion"));
}

void VentanaAsistente::ocultarme()
{
    if (RegistroVentanas* r = RegistroVentanas::actual(); r && r->ventana(tipo_) == this)
        r->ocultar(tipo_);
    else
        hide();
}

bool VentanaAsistente::pasoCompleto(Comprobacion (*comprobar)(const QString&, qint64, qint64), const QString& titulo)
{
    const Comprobacion c = comprobar(sesion_.conexion, sesion_.idEmpresa, sesion_.idCentro);
    sesion_.pendientes = c.pendientes;
    if (!c.completo)
        Servicios().mensaje(this, c.pendientes, titulo, PlataformaServicios::Icono::Critico,
                            PlataformaServicios::Botones::Aceptar, PlataformaServicios::Respuesta::Aceptar);
    return c.completo;
}

void VentanaAsistente::irA(Ventana ventana, bool guardarPuesto)
{
    ocultarme();
    if (guardarPuesto && listaPuestos_ && listaPuestos_->currentIndex() >= 0)
        sesion_.puestoActual = listaPuestos_->currentText();
    if (RegistroVentanas* r = RegistroVentanas::actual())
        r->abrirNueva(ventana);
}

void VentanaAsistente::volverAlInicio(bool nuevo)
{
    // El inicio se rehace con los datos de ahora para que sus pasos reflejen lo hecho aquí.
    if (RegistroVentanas* r = RegistroVentanas::actual()) {
        if (QWidget* inicio = r->ventana(Ventana::InicioEvaluacion))
            QMetaObject::invokeMethod(inicio, "Colocar");
        if (nuevo)
            r->abrirNueva(Ventana::InicioEvaluacion);
    }
    ocultarme();
}
