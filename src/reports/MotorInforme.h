#pragma once

#include "reports/FormulaSeleccion.h"
#include "reports/PlantillaInforme.h"

#include <QString>
#include <memory>
#include <optional>
#include <vector>

class DocumentoInforme;

// Motor de informes: abre una plantilla, toma la conexión de su base de datos (el texto de conexión del
// programa, o las propiedades de conexión del archivo) y la fórmula de selección, y rellena el documento
// leyendo la base de datos, en el archivo o en el servidor.
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
    // El texto de conexión del programa (el de la sesión), del archivo o de un servidor: se lee con la
    // misma conexión que usan las ventanas. Fijar después una propiedad vuelve a las propiedades.
    void fijarConexion(const QString& texto);
    // El texto de conexión fijado o, sin él, el que resulta de las cuatro propiedades.
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
    QString conexion_; // vacío: la de las propiedades
    // Sin valor si la fórmula no se entendía.
    std::optional<std::vector<CondicionSeleccion>> condiciones_ = std::vector<CondicionSeleccion>{};
};
