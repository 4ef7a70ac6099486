#pragma once

#include "reports/FormulaSeleccion.h"
#include "reports/PlantillaInforme.h"

#include <QString>
#include <memory>
#include <optional>
#include <vector>

class DocumentoInforme;

// Motor de informes: abre una plantilla, toma las propiedades de conexión de su base de datos y la
// fórmula de selección, y rellena el documento leyendo la base de datos.
class MotorInforme
{
public:
    MotorInforme();
    ~MotorInforme();

    // Lanza ErrorBD si la plantilla no se encuentra o está mal escrita.
    void abrirPlantilla(const QString& ruta);
    bool plantillaAbierta() const { return plantilla_.has_value(); }
    const PlantillaInforme* plantilla() const { return plantilla_ ? &*plantilla_ : nullptr; }

    // "Database Name", "System Database Path", "Session User ID" y "Session Password".
    // Otro nombre lanza ErrorBD.
    void fijarPropiedad(const QString& nombre, const QString& valor);
    // Las cuatro propiedades de la base de datos de una carpeta de programa.
    void conectarCarpeta(const QString& carpeta);
    // Texto de conexión que resulta de las cuatro propiedades.
    QString conexion() const;

    // La fórmula de una plantilla o de la exportación en lote; las ventanas dan ya las condiciones.
    void fijarFormula(const QString& formula);
    void fijarCondiciones(const std::vector<CondicionSeleccion>& condiciones);
    // La fórmula se entiende y sólo nombra campos que la plantilla sabe filtrar.
    bool formulaValida() const;

    // Lee los datos y compone el documento. Con una fórmula que no vale, el documento sale sin
    // datos: nunca se lee sin filtrar. Lanza ErrorBD sin plantilla o si falla la base de datos.
    std::unique_ptr<DocumentoInforme> generar() const;

private:
    std::optional<PlantillaInforme> plantilla_;
    QString baseDatos_, sistema_, usuario_, clave_;
    // Sin valor si la fórmula no se entendía.
    std::optional<std::vector<CondicionSeleccion>> condiciones_ = std::vector<CondicionSeleccion>{};
};
