#pragma once

#include <QObject>
#include <QVariant>

class QComboBox;
class QWidget;

// Las dos listas con que una línea nueva del plan nombra lo que controla: el riesgo evaluado del
// centro, del más grave al menos, o "(general)" si no es de ninguno; y, del riesgo elegido, la medida
// propuesta que lleva a cabo (si la hay).
class EleccionRiesgo : public QObject
{
    Q_OBJECT

public:
    // Los fallos al leer las medidas se avisan sobre la ventana dada.
    explicit EleccionRiesgo(QWidget* ventana);

    QComboBox* listaRiesgos() const { return listaRiesgos_; }
    QComboBox* listaMedidas() const { return listaMedidas_; }

    // Vuelve a leer los riesgos mostrados del centro y deja elegido "(general)".
    void leer(const QString& conexion, long long idCentro);
    // La fila de Evaluacion del riesgo elegido y la de MedidasFactores de la medida (nulas si no hay).
    QVariant riesgo() const;
    QVariant medida() const;
    // Vuelve a "(general)".
    void vaciar();

signals:
    // El usuario ha elegido una medida en la lista.
    void medidaElegida(const QString& texto);

private:
    void leerMedidas();

    QString conexion_;
    QComboBox* listaRiesgos_;
    QComboBox* listaMedidas_;
};
