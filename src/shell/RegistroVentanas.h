#pragma once

#include <QHash>
#include <QPointer>
#include <QString>
#include <functional>

class QMdiArea;
class QMdiSubWindow;
class QWidget;
struct Sesion;

// Las ventanas hijas del área MDI. Se nombran por tipo: un nombre mal escrito no compila.
enum class Ventana
{
    Empresa,
    InicioEvaluacion,
    Puestos,
    SeleccionaFactores,
    SeleccionaRiesgos,
    SeleccionaMedidas,
    ActuacionPreventiva,
    AccionPreventiva,
    InformeGeneral,
    ImprimirEvaluacion,
    ImprimirPlanificacion,
    ResumenCentros,
    OrigenDatos,
};

// Nombre de la ventana como objectName ("InicioEvaluacion").
QString NombreVentana(Ventana ventana);

inline size_t qHash(Ventana ventana, size_t semilla = 0) noexcept
{
    return ::qHash(static_cast<int>(ventana), semilla);
}

// Ventanas hijas del área MDI de Entrada. Cada módulo registra al arrancar cómo se crea cada una
// de sus ventanas; el registro las abre dentro del área como piden las ventanas: nueva cada vez
// (las del asistente) o cargada una sola vez (Empresa, el selector de acciones). Toda ventana que
// crea recibe la sesión del registro.
class RegistroVentanas
{
public:
    using Fabrica = std::function<QWidget*(Sesion&)>;

    RegistroVentanas(QMdiArea* area, Sesion& sesion);
    ~RegistroVentanas();
    RegistroVentanas(const RegistroVentanas&) = delete;
    RegistroVentanas& operator=(const RegistroVentanas&) = delete;

    // Registro del área de la ventana principal en marcha (nullptr si no hay).
    static RegistroVentanas* actual();

    // Las fábricas son de todo el programa: se pueden registrar antes de que exista Entrada.
    static void registrarFabrica(Ventana ventana, Fabrica fabrica);
    static bool hayFabrica(Ventana ventana);
    static void quitarFabrica(Ventana ventana);

    // Descarta la instancia cargada, si la hay, y muestra una nueva. nullptr si no hay fábrica.
    QWidget* abrirNueva(Ventana ventana);
    // Crea otra instancia más, sin tocar las que ya hay (los visores de informes: cada petición
    // abre el suyo). No queda registrada. nullptr si no hay fábrica.
    QWidget* abrirOtra(Ventana ventana);
    // Carga la ventana si no lo está, la oculta, la vuelve a mostrar y le da el foco.
    QWidget* mostrarCargada(Ventana ventana);
    void ocultar(Ventana ventana);
    // Descarga la ventana (sin su lógica de cierre).
    void descargar(Ventana ventana);
    // Instancia cargada o nullptr (también si el usuario la cerró).
    QWidget* ventana(Ventana ventana) const;

    QMdiArea* area() const { return area_; }
    Sesion& sesion() const { return sesion_; }

private:
    QWidget* cargar(Ventana ventana);
    void mostrar(QMdiSubWindow* marco);

    QMdiArea* area_;
    Sesion& sesion_;
    QHash<Ventana, QPointer<QMdiSubWindow>> cargadas_;
};

// Registra como la ventana dada la fábrica de una clase V que se crea con la sesión, V(Sesion&).
template <class V> void registrarVentana(Ventana ventana)
{
    RegistroVentanas::registrarFabrica(ventana, [](Sesion& sesion) -> QWidget* { return new V(sesion); });
}
