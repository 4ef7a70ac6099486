#include "shell/NavegadorRegistros.h"

#include "plataforma/PlataformaServicios.h"
#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "shell/Rutinas.h"
#include "store/ErrorBD.h"
#include "store/Recordset.h"

#include <QAbstractListModel>
#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>

namespace {
using namespace TiposAviso;

QString texto(Recordset& rs, const QString& campo)
{
    return NuloATexto(rs.value(campo)).toString();
}

QString entreComillas(const QString& t)
{
    return t.isEmpty() ? QString() : QStringLiteral(" «%1»").arg(t);
}
} // namespace

// Los nombres de la lista: una entrada por fila del conjunto, cada una leída de él cuando se pide.
// Leer no mueve la fila actual; una fila que ya no se puede leer se ve vacía.
class NombresRegistros : public QAbstractListModel
{
public:
    explicit NombresRegistros(QObject* padre) : QAbstractListModel(padre) {}

    // Otro conjunto, o el mismo vuelto a leer: se cuentan otra vez sus filas. Sin conjunto, vacía.
    void poner(Recordset* rs, const QString& campo)
    {
        const int filas = rs ? int(rs->countWithoutReading()) : 0;
        beginResetModel();
        rs_ = rs;
        campo_ = rs ? rs->fieldIndex(campo) : -1;
        filas_ = filas;
        endResetModel();
    }

    int rowCount(const QModelIndex& padre) const override { return padre.isValid() ? 0 : filas_; }

    QVariant data(const QModelIndex& i, int rol) const override
    {
        if (!rs_ || !i.isValid() || (rol != Qt::DisplayRole && rol != Qt::EditRole))
            return {};
        // Se pide al pintar o al buscar en la lista: ningún error puede salir de aquí.
        try {
            return NuloATexto(rs_->valueAt(i.row() + 1, campo_)).toString();
        } catch (...) {
            return QString();
        }
    }

private:
    Recordset* rs_ = nullptr;
    int campo_ = -1;
    int filas_ = 0;
};

NavegadorRegistros::NavegadorRegistros(QWidget* ventana, Definicion definicion)
    : QObject(ventana), ventana_(ventana), def_(std::move(definicion)), rs_(std::make_unique<Recordset>())
{
    static bool sinAlta = false;
    if (!def_.nueva)
        def_.nueva = &sinAlta;
    lista_ = Kit::lista(def_.lista);
    nombres_ = new NombresRegistros(this);
    lista_->setModel(nombres_);
    // Desplegada, pide sólo los nombres que enseña: todas las entradas miden lo mismo.
    if (auto* vista = qobject_cast<QListView*>(lista_->view()))
        vista->setUniformItemSizes(true);
    contador_ = new QLabel(QStringLiteral("0 de 0"));
    contador_->setObjectName(def_.contador);
    contador_->setAlignment(Qt::AlignCenter);
    contador_->setMinimumWidth(90);
    static const char* const ayudas[] = {"Primer registro", "Retroceder registro", "Avanzar registro",
                                         "Ultimo registro"};
    for (int i = 0; i < 4; ++i) {
        barras_[i] = flecha(def_.barras.value(i), QString::fromUtf8(ayudas[i]), i);
        const auto m = Movimiento(i);
        connect(barras_[i]->actions().first(), &QAction::triggered, this, Ranura([this, m] { mover(m); }, ventana));
    }
    crear_ = Kit::boton(def_.crear.nombre, def_.crear.titulo);
    guardar_ = Kit::boton(def_.guardar.nombre, def_.guardar.titulo);
    eliminar_ = Kit::boton(def_.eliminar.nombre, def_.eliminar.titulo);
    connect(crear_, &QPushButton::clicked, this, Ranura([this] { crear(); }, ventana));
    connect(guardar_, &QPushButton::clicked, this, Ranura([this] { guardar(); }, ventana));
    connect(eliminar_, &QPushButton::clicked, this, Ranura([this] { eliminar(); }, ventana));
    connect(lista_, qOverload<int>(&QComboBox::activated), this, Ranura([this] { elegir(); }, ventana));
    // Lo que el usuario teclea, para saber al elegir otra fila si se pierde algo.
    connect(lista_->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& t) { escrito_ = t; });
    campos_ = {lista_};
}

// La lista deja de leer del conjunto antes de que se suelte.
NavegadorRegistros::~NavegadorRegistros()
{
    nombres_->poner(nullptr, {});
}

long NavegadorRegistros::total() const
{
    return rs_ && rs_->isOpen() ? rs_->countWithoutReading() : 0;
}

void NavegadorRegistros::ponerCampos(const QList<QWidget*>& campos)
{
    campos_ = QList<QWidget*>{lista_} + campos;
}

QToolBar* NavegadorRegistros::flecha(const QString& nombre, const QString& ayuda, int cual)
{
    static const QStyle::StandardPixmap iconos[] = {QStyle::SP_MediaSkipBackward, QStyle::SP_MediaSeekBackward,
                                                    QStyle::SP_MediaSeekForward, QStyle::SP_MediaSkipForward};
    auto* barra = new QToolBar;
    barra->setObjectName(nombre);
    barra->setIconSize(QSize(16, 16));
    QAction* accion = barra->addAction(Kit::iconoEstandar(iconos[cual]), ayuda);
    accion->setToolTip(ayuda);
    barra->widgetForAction(accion)->setObjectName(nombre + "Boton");
    barra->widgetForAction(accion)->setAccessibleName(ayuda);
    return barra;
}

QHBoxLayout* NavegadorRegistros::barra(bool centrada)
{
    auto* nav = new QHBoxLayout;
    if (centrada)
        nav->addStretch();
    nav->addWidget(barras_[0]);
    nav->addWidget(barras_[1]);
    nav->addWidget(contador_);
    nav->addWidget(barras_[2]);
    nav->addWidget(barras_[3]);
    nav->addStretch();
    return nav;
}

void NavegadorRegistros::cerrar() noexcept
{
    // Al descargar la ventana se cierra el conjunto sin atender a ningún error.
    try {
        if (rs_)
            rs_->close();
    } catch (...) {
    }
}

void NavegadorRegistros::vaciarLista()
{
    const QSignalBlocker bloqueo(lista_);
    nombres_->poner(nullptr, {});
}

// Pone en la lista los nombres de ese conjunto (o ninguno) sin tocar lo que se ve escrito.
void NavegadorRegistros::ponerNombres(Recordset* rs)
{
    const QSignalBlocker bloqueo(lista_);
    const QString escrito = lista_->currentText();
    nombres_->poner(rs, def_.campoNombre);
    lista_->setEditText(escrito);
}

void NavegadorRegistros::rellenarLista()
{
    ponerNombres(rs_.get());
}

void NavegadorRegistros::mostrarNombre(const QString& nombre)
{
    const QSignalBlocker bloqueo(lista_);
    mostrado_ = escrito_ = nombre;
    lista_->setEditText(nombre);
    lista_->lineEdit()->setCursorPosition(0);
}

void NavegadorRegistros::cargar()
{
    // La lista deja de leer del conjunto que se va a soltar.
    ponerNombres(nullptr);
    rs_ = std::make_unique<Recordset>();
    funciones_.abrir(*rs_);
    rs_->requery();
    vaciarLista();
    if (rs_->countWithoutReading() == 0)
        return;
    rellenarLista();
    {
        const QSignalBlocker bloqueo(lista_);
        lista_->setCurrentIndex(0);
    }
    // Elegir la primera entrada es lo mismo que si la eligiera el usuario.
    buscar();
}

// Las primeras filas, las que caben en la lista desplegada, se leen de una vez: un conjunto que
// cabe en ella queda leído entero y ya no vuelve a la base de datos para moverse por él.
void NavegadorRegistros::leerPrimeras()
{
    rs_->valueAt(lista_->maxVisibleItems() + 1, 0);
}

void NavegadorRegistros::buscar()
{
    rs_->requery();
    leerPrimeras();
    // Se busca por el valor, no pegando el texto en un criterio: un apóstrofo no molesta.
    rs_->findValue(def_.campoNombre, lista_->currentText());
    colocar();
}

void NavegadorRegistros::estadoSinFilas()
{
    mostrado_ = escrito_ = QString();
    contador_->setText(QStringLiteral("0 de 0"));
    navegacion(false);
    guardar_->setEnabled(false);
    eliminar_->setEnabled(false);
    campos(false, true);
}

void NavegadorRegistros::colocar()
{
    bool parar = false;
    Recordset* rs = rs_.get();
    EjecutarPresentacion({[&] {
                              // Sin base de datos no hay conjunto: nada debe quedar activo para fallar al pulsarlo.
                              if (!rs->isOpen() || rs->countWithoutReading() == 0) {
                                  estadoSinFilas();
                                  if (funciones_.sinFilas)
                                      funciones_.sinFilas();
                                  parar = true;
                                  return;
                              }
                              navegacion(true);
                              guardar_->setEnabled(true);
                              eliminar_->setEnabled(true);
                              if (funciones_.conFilas)
                                  funciones_.conFilas();
                          },
                          [&] {
                              if (!parar && rs->eof()) {
                                  rs->moveLast();
                                  parar = true;
                              }
                          },
                          [&] {
                              if (parar)
                                  return;
                              // Antes de la primera fila no hay registro actual: el manejador pone "1 de N".
                              rs->value(def_.campoClave);
                              MostrarContador(contador_, rs->absolutePosition(), rs->countWithoutReading());
                              *def_.nueva = false;
                          },
                          [&] {
                              if (parar)
                                  return;
                              mostrarNombre(texto(*rs, def_.campoNombre));
                              if (funciones_.mostrar)
                                  funciones_.mostrar(*rs);
                          },
                          [&] {
                              if (parar)
                                  return;
                              *def_.nueva = false;
                              if (funciones_.trasColocar)
                                  funciones_.trasColocar();
                          }},
                         rs, contador_, ventana_);
}

// Antes de la primera fila, "anterior" va a la primera y "siguiente" a la última. Moverse, hacia
// donde sea, deja la fila nueva; sus campos están vacíos o con lo escrito, así que se vuelve a
// enseñar la fila entera también al pasar de la última.
void NavegadorRegistros::mover(Movimiento m)
{
    const bool eraNueva = *def_.nueva;
    *def_.nueva = false;
    Recordset& rs = *rs_;
    switch (m) {
    case Movimiento::Primero:
        rs.moveFirst();
        break;
    case Movimiento::Anterior:
        rs.bof() ? rs.moveFirst() : rs.movePrevious();
        break;
    case Movimiento::Siguiente:
        rs.bof() ? rs.moveLast() : rs.moveNext();
        break;
    case Movimiento::Ultimo:
        rs.moveLast();
        break;
    }
    if (eraNueva && rs.eof())
        rs.moveLast();
    colocar();
}

void NavegadorRegistros::crear()
{
    *def_.nueva = true;
    escrito_.clear();
    guardar_->setEnabled(true);
    // La fila que estaba a la vista ya no se ve: no se borra a ciegas.
    eliminar_->setEnabled(false);
    campos(true, true);
    if (funciones_.alCrear)
        funciones_.alCrear();
    lista_->setFocus();
}

void NavegadorRegistros::guardar()
{
    if (lista_->currentText().trimmed().isEmpty()) {
        Servicios().mensaje(ventana_, def_.faltaNombre, QStringLiteral("Error"), Icono::Critico, Botones::Aceptar,
                            Respuesta::Aceptar);
        lista_->setFocus();
        return;
    }
    if (funciones_.validar && !funciones_.validar())
        return;
    const QString nombre = lista_->currentText().left(def_.largoNombre);
    Recordset& rs = *rs_;
    if (*def_.nueva) {
        rs.addNew();
        funciones_.escribir(rs, nombre, true);
        GrabarFila(rs); // si falla, lo escrito sigue siendo una fila nueva
        *def_.nueva = false;
        const long long id = rs.lastInsertId();
        cargar();
        rs_->findValue(def_.campoClave, id);
        colocar();
        return;
    }
    const long long id = rs.value(def_.campoClave).toLongLong();
    funciones_.escribir(rs, nombre, false);
    try {
        GrabarFila(rs);
    } catch (const ErrorBD& e) {
        // Otro la ha guardado antes: se enseña lo que guardó, y el aviso lo explica.
        if (e.numero() == NumeroError::RegistroModificado)
            colocar();
        throw;
    }
    // La lista se rehace para que el nombre nuevo se pueda elegir ya, y se vuelve a la misma fila
    // por su identificador: con dos filas del mismo nombre, buscar por el nombre enseñaría la otra.
    rs.requery();
    rellenarLista();
    rs.requery();
    leerPrimeras();
    rs.findValue(def_.campoClave, id);
    if (def_.recolocarAlGuardar)
        colocar();
    const QSignalBlocker bloqueo(lista_);
    mostrado_ = escrito_ = nombre;
    lista_->setEditText(nombre);
}

void NavegadorRegistros::eliminar()
{
    const Respuesta r = Servicios().mensaje(ventana_, def_.confirmarBorrado, QStringLiteral("Eliminar"), Icono::Critico,
                                            Botones::SiNo, Respuesta::No);
    if (r != Respuesta::Si)
        return;
    // El conjunto sigue abierto hasta que el borrado está hecho: si el archivo no deja borrar
    // (bloqueado, de sólo lectura), la fila sigue a la vista y la ventana responde.
    const long long id = rs_->value(def_.campoClave).toLongLong();
    try {
        funciones_.borrar(id);
    } catch (const ErrorBD& e) {
        // Otro la ha cambiado desde que se leyó: no se borra, y se enseña como la dejó.
        if (e.numero() == NumeroError::RegistroModificado) {
            cargar();
            rs_->findValue(def_.campoClave, id);
            colocar();
        }
        throw;
    }
    cargar();
    colocar();
    if (funciones_.trasBorrar)
        funciones_.trasBorrar();
}

void NavegadorRegistros::elegir()
{
    const bool pendiente = *def_.nueva || escrito_ != mostrado_;
    if (pendiente) {
        const QString aviso =
            *def_.nueva ? def_.avisoNueva.arg(entreComillas(escrito_)) : def_.avisoCambiada.arg(mostrado_, escrito_);
        const QString elegida = lista_->currentText();
        const Respuesta r =
            Servicios().mensaje(ventana_, aviso + QStringLiteral(" ¿Quiere ver «%1» y perder lo escrito?").arg(elegida),
                                def_.tituloAviso, Icono::Pregunta, Botones::SiNo, Respuesta::No);
        if (r != Respuesta::Si) {
            // Sigue lo que se estaba escribiendo, en la misma fila.
            const QSignalBlocker bloqueo(lista_);
            lista_->setEditText(escrito_);
            lista_->setFocus();
            return;
        }
    }
    buscar();
}

void NavegadorRegistros::campos(bool editables, bool vaciarlos)
{
    for (QWidget* w : campos_) {
        if (vaciarlos) {
            const QSignalBlocker bloqueo(w);
            Kit::vaciar(w);
        }
        Kit::ponerEstado(w, editables);
    }
}

void NavegadorRegistros::navegacion(bool activa)
{
    for (QToolBar* b : barras_)
        b->actions().first()->setEnabled(activa);
}
