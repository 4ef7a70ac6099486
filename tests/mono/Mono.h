#pragma once

#include "PlataformaPrueba.h"

#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <deque>
#include <map>
#include <memory>
#include <random>

class Entrada;
class QAbstractItemView;
class QComboBox;
class QLineEdit;
class QWidget;

// Servicios de prueba que contestan a cada aviso con un botón al azar de los que tiene, y que
// unas veces eligen un archivo (una copia de seguridad, una copia hecha antes, un archivo que no
// es una base de datos) y otras cancelan.
class PlataformaMono : public PlataformaPrueba
{
public:
    PlataformaMono(std::mt19937_64& azar, const QString& carpetaCopias) : azar_(azar), copias_(carpetaCopias) {}

    Respuesta mensaje(QWidget* dueno, const QString& texto, const QString& titulo, Icono icono, Botones botones,
                      Respuesta predeterminada) override;
    QString elegirArchivo(QWidget* dueno, const QString& titulo, const QString& propuesta, const QString& filtro,
                          bool paraGuardar) override;
    // El último aviso contestado y cómo.
    Respuesta ultimaRespuesta = Respuesta::Aceptar;

private:
    std::mt19937_64& azar_;
    QString copias_;
    int hechas_ = 0;
};

// Una corrida del mono: una carpeta de programa propia con la base sembrada, la ventana principal
// de verdad y, paso a paso, clics, teclas, elecciones en listas, ediciones de celdas y marcas al
// azar (a partir de la semilla) en la ventana que esté delante. Cuando el programa "termina" se
// revisa la base y se arranca otra ventana principal.
class Mono
{
public:
    // plantilla: carpeta con la base ya sembrada y los informes; se copia entera.
    Mono(quint64 semilla, const QString& plantilla);
    ~Mono();

    // Da false en cuanto encuentra algo (y lo deja en hallazgos).
    bool correr(int pasos);

    QStringList hallazgos;
    QSet<QString> ventanasVistas;
    std::map<QString, int> avisosVistos; // veces que sale cada título de aviso
    int arranques = 0;
    int modalesCerrados = 0;
    int pasosHechos = 0;
    int avisosPrevistos = 0; // mensajes generales que la ventana trata como es debido

    // Últimas acciones, para saber qué llevó al hallazgo.
    QStringList ultimasAcciones() const;

private:
    void arrancar();
    void apagar();
    void revisar(const QString& cuando);
    void paso();
    void asentar();
    void mirarAvisos();
    void cerrarModales();
    void apuntar(const QString& accion);

    // Acciones sobre los controles de una ventana.
    void actuarEn(QWidget* raiz);
    void pulsar(QWidget* boton);
    void escribirEn(QLineEdit* caja);
    void elegirEn(QComboBox* lista);
    void tocarVista(QAbstractItemView* vista);
    void teclaSuelta(QWidget* raiz);
    void actuarEnDesplegable(QWidget* desplegable);
    void teclear(QWidget* w, const QString& texto);

    QString textoAzar();
    int azar(int n); // 0..n-1
    bool moneda(int porCiento);
    static QString nombre(const QObject* o);

    std::mt19937_64 azar_;
    QTemporaryDir carpeta_;
    QString base_;
    std::unique_ptr<PlataformaMono> plataforma_;
    std::unique_ptr<Entrada> entrada_;
    QTimer vigiaModales_;
    std::size_t avisosLeidos_ = 0;
    int terminados_ = 0;
    QString ventanaDelPaso_;
    QSet<QString> teclasVistas_; // teclas repetidas ya dichas, por ventana
    std::deque<QString> acciones_;
};
