#pragma once

#include <QHash>
#include <QPointer>
#include <QString>
#include <functional>

class QMdiArea;
class QMdiSubWindow;
class QWidget;

// Ventanas hijas del área MDI de Entrada, por nombre. Cada módulo registra al arrancar cómo se
// crea cada una de sus ventanas; el registro las abre dentro del área como piden las ventanas:
// nueva cada vez (las del asistente) o cargada una sola vez (Empresa, el selector de acciones).
class RegistroVentanas
{
public:
    using Fabrica = std::function<QWidget*()>;

    explicit RegistroVentanas(QMdiArea* area);
    ~RegistroVentanas();
    RegistroVentanas(const RegistroVentanas&) = delete;
    RegistroVentanas& operator=(const RegistroVentanas&) = delete;

    // Registro del área de la ventana principal en marcha (nullptr si no hay).
    static RegistroVentanas* actual();

    // Las fábricas son de todo el programa: se pueden registrar antes de que exista Entrada.
    static void registrarFabrica(const QString& nombre, Fabrica fabrica);
    static bool hayFabrica(const QString& nombre);
    static void quitarFabrica(const QString& nombre);

    // Descarta la instancia cargada, si la hay, y muestra una nueva. nullptr si no hay fábrica.
    QWidget* abrirNueva(const QString& nombre);
    // Crea otra instancia más, sin tocar las que ya hay (los visores de informes: cada petición
    // abre el suyo). No queda registrada por nombre. nullptr si no hay fábrica.
    QWidget* abrirOtra(const QString& nombre);
    // Carga la ventana si no lo está, la oculta, la vuelve a mostrar y le da el foco.
    QWidget* mostrarCargada(const QString& nombre);
    void ocultar(const QString& nombre);
    // Descarga la ventana (sin su lógica de cierre).
    void descargar(const QString& nombre);
    // Instancia cargada o nullptr (también si el usuario la cerró).
    QWidget* ventana(const QString& nombre) const;

    QMdiArea* area() const { return area_; }

private:
    QWidget* cargar(const QString& nombre);
    void mostrar(QMdiSubWindow* marco);

    QMdiArea* area_;
    QHash<QString, QPointer<QMdiSubWindow>> cargadas_;
};
