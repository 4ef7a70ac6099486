#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QComboBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QToolBar;
class QWidget;
class NombresRegistros;
class Recordset;

// Una tabla que se recorre fila a fila en una ventana: la lista con los nombres de sus filas (la
// única forma de ir a una fila por su nombre), las cuatro flechas, el contador "n de m" y los
// botones de crear, guardar y eliminar con sus estados. Lo propio de cada tabla (qué se lee, qué
// campos se ven y se escriben) lo ponen las funciones que le da la ventana.
//
// Abrir una tabla no la lee entera: el contador cuenta las filas en el almacén y la lista, que
// tiene una entrada por fila, lee cada nombre del conjunto cuando se pinta o se busca.
class NavegadorRegistros : public QObject
{
public:
    enum class Movimiento
    {
        Primero,
        Anterior,
        Siguiente,
        Ultimo
    };

    struct Boton
    {
        QString nombre, titulo;
    };

    // Nombres de los controles y textos de los avisos.
    struct Definicion
    {
        QString lista;       // lista de nombres
        QString campoNombre; // campo que se ve en la lista y por el que se busca
        QString campoClave;  // identificador de la fila
        int largoNombre = 0; // lo que cabe en el campo del nombre
        QString contador;    // etiqueta "n de m"
        QStringList barras;  // primera, anterior, siguiente, última
        Boton crear, guardar, eliminar;
        QString faltaNombre; // aviso al guardar sin nombre
        QString confirmarBorrado;
        QString avisoNueva;    // "%1": lo escrito, entre comillas
        QString avisoCambiada; // "%1": el nombre que se ve, "%2": lo escrito
        QString tituloAviso;
        bool* nueva = nullptr; // se está dando de alta una fila
        // Tras modificar una fila se vuelve a enseñar entera (con lo que cuelga de ella).
        bool recolocarAlGuardar = false;
    };

    // Lo que la ventana hace en cada momento. abrir, borrar y escribir hacen falta; las demás son opcionales.
    struct Funciones
    {
        std::function<void(Recordset&)> abrir;   // abre el conjunto de filas
        std::function<void(long long)> borrar;   // borra la fila del identificador
        std::function<void(Recordset&)> mostrar; // campos de la fila, salvo el nombre
        std::function<void(Recordset&, const QString& nombre, bool nueva)> escribir;
        std::function<bool()> validar;  // antes de guardar; false para no guardar
        std::function<void()> sinFilas; // además de bloquear lo propio
        std::function<void()> conFilas; // además de activar lo propio
        std::function<void()> alCrear;  // además de vaciar los campos
        std::function<void()> trasColocar;
        std::function<void()> trasBorrar;
    };

    NavegadorRegistros(QWidget* ventana, Definicion definicion);
    ~NavegadorRegistros() override;

    Funciones& funciones() { return funciones_; }
    // Campos que se vacían y bloquean con la tabla (la lista de nombres va siempre la primera).
    void ponerCampos(const QList<QWidget*>& campos);

    // Flechas y contador en una fila; centrada, con espacio a los dos lados.
    QHBoxLayout* barra(bool centrada);
    QComboBox* lista() const { return lista_; }
    QLabel* contador() const { return contador_; }
    QPushButton* botonCrear() const { return crear_; }
    QPushButton* botonGuardar() const { return guardar_; }
    QPushButton* botonEliminar() const { return eliminar_; }
    Recordset* registros() const { return rs_.get(); }
    // Filas del conjunto, sin leerlas todas.
    long total() const;
    bool nueva() const { return *def_.nueva; }

    void cargar();
    void buscar();
    void colocar();
    void mover(Movimiento m);
    void crear();
    void guardar();
    void eliminar();
    // Elección en la lista desplegable: pregunta antes de perder lo escrito.
    void elegir();

    // Sin filas a la vista: nada activo que pueda fallar al pulsarlo.
    void estadoSinFilas();
    void vaciarLista();
    void campos(bool editables, bool vaciarlos);
    void navegacion(bool activa);
    void cerrar() noexcept;

private:
    QToolBar* flecha(const QString& nombre, const QString& ayuda, int cual);
    void rellenarLista();
    void ponerNombres(Recordset* rs);
    void leerPrimeras();
    void mostrarNombre(const QString& nombre);

    QWidget* ventana_;
    Definicion def_;
    Funciones funciones_;
    std::unique_ptr<Recordset> rs_;
    NombresRegistros* nombres_ = nullptr; // lo que enseña la lista
    // Nombre de la fila a la vista y lo que el usuario ha tecleado en su lugar.
    QString mostrado_, escrito_;
    QComboBox* lista_ = nullptr;
    QLabel* contador_ = nullptr;
    QToolBar* barras_[4] = {};
    QPushButton* crear_ = nullptr;
    QPushButton* guardar_ = nullptr;
    QPushButton* eliminar_ = nullptr;
    QList<QWidget*> campos_;
};
