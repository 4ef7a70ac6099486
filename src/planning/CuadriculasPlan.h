#pragma once

#include <QSplitter>
#include <QVariant>

class DataSource;
class Grid;

// Las líneas de un plan en dos cuadrículas, una al lado de la otra y fila a fila: a la izquierda la
// acción con su fecha límite, su responsable y su presupuesto; a la derecha su prioridad, su riesgo
// y su seguimiento (estado, fecha en que se hizo, coste real y nota). Las dos tienen la misma línea
// elegida y el mismo desplazamiento, y comprueban lo que se escribe en ellas antes de guardarlo.
class CuadriculasPlan : public QSplitter
{
    Q_OBJECT

public:
    // Columnas de la cuadrícula del seguimiento.
    enum ColumnaSeguimiento
    {
        SegPrioridad,
        SegPuesto,
        SegRiesgo,
        SegNivel,
        SegEstado,
        SegRealizada,
        SegCoste,
        SegNota
    };

    // Los avisos de lo que no vale salen sobre la ventana dada.
    explicit CuadriculasPlan(QWidget* ventana, QWidget* parent = nullptr);

    void ponerConexion(const QString& conexion);
    void ponerColumnasLineas();
    void ponerColumnasSeguimiento();
    // Lee las líneas del plan dado, por prioridad.
    void leer(long long idActuacion);

    DataSource* lineas() const { return origenLineas_; }
    Grid* cuadricula() const { return cuadriculaLineas_; }
    DataSource* seguimiento() const { return origenSeguimiento_; }
    Grid* cuadriculaSeguimiento() const { return cuadriculaSeguimiento_; }

signals:
    // Se ha guardado un estado nuevo en la línea actual del seguimiento.
    void estadoCambiado();

private:
    void construirLineas();
    void construirSeguimiento();
    void antesDeLineas(int columna, const QVariant& nuevo, bool* cancelar);
    void antesDeSeguimiento(int columna, const QVariant& nuevo, bool* cancelar);
    void trasSeguimiento(int columna);
    // Vuelve a leer las líneas tras el cambio de una celda que mueve su orden o su color, sin
    // perder la línea elegida.
    void releerDespues();
    void releerLaOtra(Grid* escrita);
    void elegirFila(Grid* destino, int fila);
    // Aviso de un valor no válido, cuando la cuadrícula ha terminado con la celda.
    void avisarTrasEditar(const QString& aviso, const QString& titulo);

    QWidget* ventana_;
    long long idActuacion_ = 0;
    DataSource* origenLineas_ = nullptr;
    Grid* cuadriculaLineas_ = nullptr;
    DataSource* origenSeguimiento_ = nullptr;
    Grid* cuadriculaSeguimiento_ = nullptr;
    bool releyendo_ = false;
};
