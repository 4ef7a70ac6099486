#pragma once

#include <QObject>
#include <functional>
#include <optional>

class QLabel;
class QTimer;

// Estado de las teclas de bloqueo tal como lo da el sistema. Sin valor cuando el sistema no lo
// dice: sin pantalla, o una plataforma que no lo cuenta (X11 no lleva cuenta de Insert).
struct EstadoTeclas
{
    std::optional<bool> insertar, numeros, mayusculas;
};

// Lo lee del sistema en este momento: en Windows por la propia tecla, en X11 por los indicadores
// de XKB. En cualquier otro caso no sabe nada.
EstadoTeclas LeerEstadoTeclas();

// Los paneles INS, NUM y CAPS de la barra de estado: cada uno enseña su rótulo mientras la tecla
// está activa y se queda vacío si no lo está o si el sistema no lo dice; nunca un rótulo que no
// corresponde. Se ponen al día al pulsar una de las tres teclas y cada medio segundo, porque la
// tecla puede cambiar en otro programa.
class PanelesTeclas : public QObject
{
    Q_OBJECT

public:
    using Lector = std::function<EstadoTeclas()>;

    PanelesTeclas(QLabel* insertar, QLabel* numeros, QLabel* mayusculas, QObject* padre,
                  Lector lector = LeerEstadoTeclas);

    void actualizar();

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    QLabel* insertar_;
    QLabel* numeros_;
    QLabel* mayusculas_;
    Lector lector_;
    QTimer* reloj_;
};
