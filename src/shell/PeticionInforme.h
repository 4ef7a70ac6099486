#pragma once

#include <QString>
#include <QVariant>
#include <vector>

// Una condición de la selección de un informe: {Tabla.Campo}=valor.
struct CondicionSeleccion
{
    QString tabla;
    QString campo;
    QVariant valor; // qlonglong, double o QString

    // "Tabla.Campo", como se nombra en las consultas de las plantillas.
    QString nombre() const { return tabla + QLatin1Char('.') + campo; }
    bool operator==(const CondicionSeleccion& otra) const = default;
};

// Los dos documentos del programa. Los pide la ventana de empresas y las páginas de cierre.
namespace Informes {
inline const QString TituloEvaluacion = QStringLiteral("EVALUCIÓN DE RIESGOS");
inline const QString FicheroEvaluacion = QStringLiteral("Evaluacion.rpt");
inline const QString TituloPlanificacion = QStringLiteral("PLANIFICACIÓN DE ACTUACIONES PREVENTIVAS");
inline const QString FicheroPlanificacion = QStringLiteral("Planificacion.rpt");
} // namespace Informes

// Lo que se pide al visor de informes. Las condiciones van ya separadas: los identificadores
// llegan al motor como valores, sin pasar por un texto que haya que volver a leer.
struct PeticionInforme
{
    QString titulo;
    QString plantilla; // archivo dentro de Informes/
    std::vector<CondicionSeleccion> condiciones;

    static PeticionInforme evaluacion(qint64 idCentro, qint64 idEmpresa);
    static PeticionInforme planificacion(qint64 idCentro);
    bool operator==(const PeticionInforme& otra) const = default;
};
