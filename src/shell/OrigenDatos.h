#pragma once

#include "plataforma/ConexionServidor.h"
#include "plataforma/SondeoServidor.h"
#include "store/postgres/Traslado.h"

#include <QPointer>
#include <QWidget>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QThread;
struct Sesion;

// Ventana "Origen de datos": dónde viven los datos del programa, el archivo de su carpeta (lo de
// siempre) o un servidor PostgreSQL. Prueba la conexión sin que la ventana se quede parada y
// guarda la elección (en OrigenDatos.ini) y la contraseña (en el archivo de contraseñas de
// libpq); lo guardado vale desde la próxima vez que se abra el programa. También pasa los datos
// del archivo de la carpeta a una base de datos vacía del servidor, y los del servidor a un archivo
// para trabajar sin red.
class OrigenDatos : public QWidget
{
    Q_OBJECT

public:
    static inline const QString Titulo = QStringLiteral("Origen de datos");
    // Espera máxima de la prueba de conexión por cada dirección del servidor, en segundos.
    static constexpr int EsperaPrueba = 5;

    explicit OrigenDatos(Sesion& sesion, QWidget* parent = nullptr);
    ~OrigenDatos() override;

private:
    void construir();
    void cargar();
    void cambiarTipo();
    // El servidor escrito; si falta algo o el puerto no vale, lo dice, pone el cursor en el campo
    // y no devuelve nada.
    std::optional<DatosServidor> servidorEscrito();
    void probar();
    void mostrarPrueba(const ResultadoSondeo& resultado, const DatosServidor& datos);
    void guardar();
    void trasladar();
    void copiarArchivo();
    // Conecta con el servidor escrito y hace la copia con una ventana de avance que deja repintar y
    // cancelar entre tabla y tabla; después dice lo copiado o qué ha fallado.
    void copiarConAvance(const DatosServidor& datos, const QString& titulo,
                         const std::function<ResultadoTraslado(PGconn*, const AvanceCopia&)>& copia);
    void cerrar();
    void avisar(const QString& texto, bool fallo);

    QRadioButton* archivo_ = nullptr;
    QRadioButton* servidor_ = nullptr;
    QLineEdit* equipo_ = nullptr;
    QLineEdit* puerto_ = nullptr;
    QLineEdit* base_ = nullptr;
    QLineEdit* usuario_ = nullptr;
    QLineEdit* clave_ = nullptr;
    QPushButton* probar_ = nullptr;
    QPushButton* trasladar_ = nullptr;
    QPushButton* copiar_ = nullptr;
    QPushButton* guardar_ = nullptr;
    QPushButton* cancelar_ = nullptr;
    QLabel* resultado_ = nullptr;
    QPointer<QThread> prueba_;
    Sesion& sesion_;
};
