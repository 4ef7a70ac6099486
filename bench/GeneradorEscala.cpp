#include "GeneradorEscala.h"

#include "DatosPuesto.h"
#include "GeneracionRiesgos.h"
#include "Globales.h"
#include "MatrizRiesgo.h"
#include "Conexion.h"
#include "Recordset.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <stdexcept>
#include <algorithm>
#include <QStringList>

namespace
{
const QStringList probabilidades = {"Baja", "Media", "Alta"};
const QStringList consecuencias = {"Ligeramente Dañino", "Dañino", "Extremadamente Dañino"};

long long anadirFila(const QString& tabla, const QList<QPair<QString, QVariant>>& campos)
{
    Recordset rs;
    rs.open("SELECT * FROM \"" + tabla + "\" WHERE 0", gConexion);
    rs.addNew();
    for (const auto& [campo, valor] : campos)
        rs.setValue(campo, valor);
    rs.update();
    return rs.lastInsertId();
}

// Marca factores del puesto, como la casilla de la ventana, hasta tener las filas de evaluación
// pedidas. Se escogen entre los factores con más medidas
// por riesgo, empezando en un sitio distinto en cada puesto, para que salgan unas tres medidas por
// fila como en las evaluaciones reales.
void marcarFactores(long long idPuesto, long long idCentro, long long idEmpresa, int filasBuscadas, unsigned semilla)
{
    Recordset factores;
    factores.open("SELECT f.IDEvaluacionCrear, f.IDFactor, f.FactorSelecionado FROM FactoresSeleccionarEvaluacion f "
                  "WHERE f.IDPuestoCentro = ? ORDER BY "
                  "(SELECT count(*) FROM Medidas m WHERE m.IDFactor = f.IDFactor) * 1.0 / "
                  "(SELECT count(*) FROM RiesgosFactores r WHERE r.IDFactor = f.IDFactor) DESC, f.IDEvaluacionCrear",
                  gConexion, {idPuesto});
    const long total = std::min(40L, factores.recordCount());
    if (total == 0)
        return;
    int filas = 0;
    // Paso primo con los factores que se recorren: pasa por todos sin repetir.
    const long paso = 7;
    for (long k = 0; k < total && filas < filasBuscadas; ++k) {
        const long posicion = long((semilla + k * paso) % unsigned(total)) + 1;
        factores.setAbsolutePosition(posicion);
        FilaFactor f;
        f.idEvaluacionCrear = factores.value("IDEvaluacionCrear").toLongLong();
        f.idFactor = factores.value("IDFactor").toLongLong();
        f.idPuestoCentro = idPuesto;
        f.idCentro = idCentro;
        f.idEmpresa = idEmpresa;
        filas += MarcarFactor(f);
    }
}

// Evalúa los riesgos mostrados del puesto como en la ventana de riesgos y copia a las ocultas.
void evaluarRiesgos(long long idPuesto, unsigned semilla)
{
    Recordset riesgos;
    riesgos.open("SELECT IDEvaluacion, Probabilidad, Consecuencias, ValorRiesgo FROM Evaluacion "
                 "WHERE IDPuestoCentro = ? AND Mostrar = 'S' ORDER BY IDEvaluacion",
                 gConexion, {idPuesto});
    unsigned n = semilla;
    while (!riesgos.eof()) {
        const QString p = probabilidades[n % 3];
        const QString c = consecuencias[(n / 3) % 3];
        riesgos.setValue("Probabilidad", p);
        riesgos.setValue("Consecuencias", c);
        riesgos.setValue("ValorRiesgo", NivelRiesgo(p, c));
        riesgos.update();
        riesgos.moveNext();
        ++n;
    }
    CopiarEvaluacionAOcultas(idPuesto);
}

// Elige dos de cada tres medidas propuestas del puesto.
void elegirMedidas(long long idPuesto)
{
    Recordset medidas;
    medidas.open("SELECT m.IDMedidaFactor, m.MarcarMedida FROM MedidasFactores m JOIN Evaluacion e "
                 "ON e.IDEvaluacion = m.IDEvaluacion WHERE e.IDPuestoCentro = ? ORDER BY m.IDMedidaFactor",
                 gConexion, {idPuesto});
    long k = 0;
    while (!medidas.eof()) {
        if (k++ % 3 != 2) {
            medidas.setValue("MarcarMedida", "S");
            medidas.update();
        }
        medidas.moveNext();
    }
}

long long contar(const QString& tabla)
{
    Recordset rs;
    rs.open("SELECT count(*) FROM \"" + tabla + "\"", gConexion);
    return rs.value(0).toLongLong();
}
} // namespace

ResumenEscala GenerarEscala(const TamanoEscala& t)
{
    const QDate hoy(2026, 12, 1);
    for (int e = 1; e <= t.empresas; ++e) {
        // Una transacción por empresa: las operaciones de dentro van en sus puntos de guardado,
        // como en el programa, pero el disco se sincroniza una vez por empresa.
        Transaccion transaccion(gConexion);
        const long long idEmpresa = anadirFila("Empresas", {{"Nombre", QString("Empresa %1, S.L.").arg(e)},
                                                            {"CIF", QString("B%1").arg(10000000 + e)},
                                                            {"Direccion", QString("Calle Mayor, %1").arg(e)},
                                                            {"Poblacion", "Valencia"},
                                                            {"CodPostal", "46001"},
                                                            {"Provincia", "Valencia"},
                                                            {"Persona", "María O'Donnell"},
                                                            {"Cargo", "Técnico de prevención"},
                                                            {"Formacion", "Nivel básico"},
                                                            {"TotalTrabajadores", 25}});
        for (int c = 1; c <= t.centrosPorEmpresa; ++c) {
            const long long idCentro =
                anadirFila("CentroTrabajo", {{"IDEmpresa", idEmpresa},
                                             {"NombreCentro", QString("Centro %1").arg(c)},
                                             {"Direccion", QString("Polígono Industrial, nave %1").arg(c)},
                                             {"Poblacion", "Paterna"},
                                             {"CodPostal", "46980"},
                                             {"Provincia", "Valencia"}});
            for (int p = 1; p <= t.puestosPorCentro; ++p) {
                NuevoPuesto puesto;
                puesto.idCentro = idCentro;
                puesto.idEmpresa = idEmpresa;
                puesto.puesto = QString("Puesto %1").arg(p);
                puesto.descripcion = "Trabajos propios del puesto";
                puesto.trabajadores = "3";
                puesto.sensibles = "Ninguno";
                const long long idPuesto = AnadirPuestoConFactores(puesto);
                const unsigned semilla = unsigned(e * 131 + c * 17 + p * 7);
                marcarFactores(idPuesto, idCentro, idEmpresa, t.filasPorPuesto, semilla);
                evaluarRiesgos(idPuesto, semilla);
                elegirMedidas(idPuesto);
            }
            if (t.lineasPlan > 0) {
                const long long idPlan = anadirFila("ActuaciónPreventiva", {{"IDCentro", idCentro},
                                                                             {"Persona", "María O'Donnell"},
                                                                             {"Cargo", "Técnico de prevención"},
                                                                             {"Fecha", hoy}});
                for (int l = 1; l <= t.lineasPlan; ++l)
                    anadirFila("ActuaciónPreventivaRegistro",
                               {{"IDActuacion", idPlan},
                                {"AccionPreventiva", QString("Actuación preventiva número %1").arg(l)},
                                {"FechaLimite", hoy.addDays(30 * l)},
                                {"ResponsableEjecucion", "Gerencia"},
                                {"PresupuestoAproximado", QString::number(100 * l)}});
            }
        }
        transaccion.confirmar();
    }
    return ContarEscala();
}

ResumenEscala ContarEscala()
{
    ResumenEscala r;
    r.empresas = contar("Empresas");
    r.centros = contar("CentroTrabajo");
    r.puestos = contar("PuestosCentros");
    r.factores = contar("FactoresSeleccionarEvaluacion");
    r.evaluaciones = contar("Evaluacion");
    r.medidas = contar("MedidasFactores");
    r.lineasPlan = contar("ActuaciónPreventivaRegistro");
    return r;
}

void UsarCopiaEscala(const QString& origen, const QString& destino)
{
    for (const char* nombre : {"Evaluacion.mdb", "SYSTEM.mdw"})
        if (!QFile::copy(origen + "/" + nombre, destino + "/" + nombre))
            throw std::runtime_error("no se puede copiar la base de escala");
    gConexion = textoConexion(QDir::toNativeSeparators(destino));
}
