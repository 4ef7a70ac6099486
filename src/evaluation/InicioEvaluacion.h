#pragma once

#include "shell/Sesion.h"

#include <QDate>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>

class DateBox;
class MarcoCentro;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class Recordset;

// Página de inicio de la evaluación de un centro: nombra el centro y ofrece los cuatro pasos,
// cada uno activo sólo cuando los anteriores están completos. Enseña y deja cambiar la fecha, el
// motivo y la próxima revisión de la evaluación, que se guardan en el acto, y la última versión
// emitida.
class InicioEvaluacion : public QWidget
{
    Q_OBJECT

public:
    explicit InicioEvaluacion(Sesion& sesion, QWidget* parent = nullptr);
    ~InicioEvaluacion() override;

public slots:
    // Lee el centro y recalcula qué pasos están activos. La llaman las ventanas del asistente
    // al volver aquí.
    void Colocar();

private:
    void construir();
    // Los datos de la evaluación; el motivo va al final de la línea del centro.
    QGroupBox* construirDatos(QHBoxLayout* lineaCentro);
    void mostrarDatos(Recordset& centro);
    // Guardan el campo en el centro si ha cambiado; una fecha que no existe se avisa y no se guarda.
    void guardarFecha();
    void guardarRevision();
    void guardarMotivo(int indice);
    // La fecha de la caja si es otra que la guardada (inválida si la caja está vacía); nada si no
    // ha cambiado o si no existe, y entonces se avisa.
    std::optional<QDate> fechaCambiada(DateBox* caja, const QString& nombre, const QDate& guardada);

    Sesion& sesion_;
    std::unique_ptr<Recordset> rsPuestos_;
    MarcoCentro* marcoCentro_ = nullptr;
    // Los botones de los cuatro pasos, en su orden: puestos, factores, riesgos y medidas.
    std::array<QPushButton*, 4> botonesPaso_{};
    QGroupBox* marcoDatos_ = nullptr;
    DateBox* cajaFecha_ = nullptr;
    DateBox* cajaRevision_ = nullptr;
    QComboBox* listaMotivo_ = nullptr;
    QLineEdit* cajaVersion_ = nullptr;
    // Lo que hay guardado en el centro (inválida si no tiene).
    QDate fechaGuardada_, revisionGuardada_;
};
