#pragma once

#include "shell/Comprobaciones.h"
#include "shell/RegistroVentanas.h"
#include "shell/Sesion.h"

#include "shell/grid/GridColumn.h"

#include <QVector>
#include <QWidget>
#include <memory>
#include <optional>

class CellTip;
class DataSource;
class FiltroCuadricula;
class Grid;
class MarcoCentro;
class QComboBox;
class QLabel;
class QLineEdit;
class QVBoxLayout;
class Recordset;

// Lo común de las ventanas del asistente de evaluación: el centro en curso, la lista de sus
// puestos ("0007 - Soldador"), el puesto elegido que pasa de una ventana a otra en la sesión,
// y el paso a otra ventana del asistente descartando la que hubiera.
class VentanaAsistente : public QWidget
{
    Q_OBJECT

public:
    // Texto del puesto en las listas: su número con cuatro cifras, " - " y su nombre. Un número
    // de más de cuatro cifras se escribe entero: nunca se confunde con otro puesto.
    static QString TextoPuesto(long long idPuesto, const QString& nombre);

    // Puesto elegido en la lista (0 si no hay ninguno).
    long long puestoElegido() const;
    QComboBox* listaPuestos() const { return listaPuestos_; }
    // La cuadrícula del paso y su origen de datos, si el paso tiene una.
    Grid* cuadricula() const { return cuadricula_; }
    DataSource* origen() const;

public slots:
    // Llena el centro y la lista de puestos y elige el puesto de la sesión (o el primero).
    virtual void Colocar();

protected:
    VentanaAsistente(Ventana tipo, Sesion& sesion, const QString& titulo, const QString& cabecera, QWidget* parent);
    ~VentanaAsistente() override;

    // Se llama al elegir un puesto, con el registro del puesto ya abierto.
    virtual void elegirPuesto(long long idPuesto) = 0;

    // Carga común: geometría y título; después, Colocar.
    void cargar();
    // Los primeros pasos de Colocar: abre el centro en curso (parar si ya no existe) y lo enseña
    // en su marco.
    void leerCentro(bool& parar);
    void mostrarCentro(bool parar);
    // Oculta esta ventana, guarda el puesto elegido y abre otra nueva del asistente.
    void irA(Ventana ventana, bool guardarPuesto = true);
    // Rehace el inicio de la evaluación y vuelve a él; con nuevo, lo descarta y lo abre otra vez.
    void volverAlInicio(bool nuevo = true);
    void ocultarme();
    // Comprueba el paso y deja su lista en la sesión; si falta algo, lo avisa con ese título.
    bool pasoCompleto(Comprobacion (*comprobar)(const QString&, qint64, qint64), const QString& titulo);

    // Lo que tarda en salir la nota de una celda.
    static constexpr int RetardoNota = 200;
    // Los cuatro pasos se abren con el mismo tamaño, en el que caben todos (en twips), y comparten
    // el que les dé el usuario: pasar de uno a otro no cambia la ventana de tamaño.
    static constexpr double AnchoPaso = 12700, AltoPaso = 9000;
    void colocarPaso();

    QVBoxLayout* cuerpo() const { return cuerpo_; }
    // Pie con los botones de imagen: atrás (si hay paso anterior: vuelve a él), adelante, inicio y
    // ayuda. Cada uno cierra antes la edición en curso (cerrarEdicion) y no hace nada si no se puede.
    void ponerPie(std::optional<Ventana> anterior, const QString& tipAtras, const QString& textoAtras,
                  const QString& tipAdelante, const QString& textoAdelante, const QString& tipInicio,
                  const QString& documentoAyuda);
    void ponerListaPuestos();
    // Cuadrícula del paso sobre un origen de datos nuevo, con las notas ancladas a la celda y alto
    // para unas cuantas filas (la altura de siempre sólo deja ver una o dos). Sus cambios de celda
    // van a antesDeCambiar y sus notas a nota.
    Grid* ponerCuadricula(const QString& nombre, const QString& nombreOrigen, const QString& accesible,
                          const QVector<GridColumn>& columnas, int filasVisibles, int anchoNota = 0);
    // Caja de búsqueda justo encima de una cuadrícula puesta con ponerCuadricula.
    FiltroCuadricula* ponerFiltro(Grid* cuadricula, const QString& nombre);
    virtual void antesDeCambiar(int /*columna*/, const QVariant& /*nuevo*/, bool* /*cancelar*/) {}
    virtual void nota(int /*division*/, int /*columna*/, int /*fila*/, CellTip* /*tip*/) {}
    virtual void adelante() {}
    virtual void inicio() { volverAlInicio(true); }
    // Lo que se esté escribiendo se guarda antes de salir del paso; false si no se ha podido (ya
    // avisado): entonces no se sale.
    virtual bool cerrarEdicion() { return true; }

    Ventana tipo_;
    Sesion& sesion_;
    QString titulo_;
    MarcoCentro* marcoCentro_ = nullptr;
    QComboBox* listaPuestos_ = nullptr;
    std::unique_ptr<Recordset> rsCentro_;
    std::unique_ptr<Recordset> rsPuesto_;

private:
    QVBoxLayout* cuerpo_ = nullptr;
    Grid* cuadricula_ = nullptr;
};
