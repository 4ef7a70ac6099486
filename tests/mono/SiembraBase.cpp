#include "SiembraBase.h"

#include "Datos.h"
#include "evaluation/DatosPuesto.h"
#include "evaluation/GeneracionRiesgos.h"
#include "store/Recordset.h"

#include <QDate>
#include <QVector>

namespace {
QVector<long long> primeros(const QString& cx, const QString& sql, int cuantos)
{
    QVector<long long> ids;
    Recordset rs;
    rs.open(sql, cx);
    while (!rs.eof() && ids.size() < cuantos) {
        ids << rs.value(0).toLongLong();
        rs.moveNext();
    }
    return ids;
}

void marcar(const QString& cx, long long puesto, long long empresa, long long centro, long long idFactor)
{
    Recordset rs;
    rs.open("select IDEvaluacionCrear from FactoresSeleccionarEvaluacion where IDPuestoCentro = ? and IDFactor = ?", cx,
            {puesto, idFactor});
    if (!rs.eof())
        MarcarFactor(cx, {rs.value(0).toLongLong(), idFactor, puesto, empresa, centro});
}
} // namespace

void SembrarBase(const QString& cx)
{
    const QVector<long long> factores = primeros(cx, "SELECT IDFactor FROM FactoresRiesgos ORDER BY IDFactor", 6);
    // Nombres con apóstrofo, acentos y eñe: los que rompen una sentencia mal escrita.
    const QStringList empresas = {"Talleres O'Donnell", "Panadería Núñez", "Construcciones Ébano"};
    const QStringList calles = {"Calle Mayor 1", "Polígono Sur 4", "Avda. de l'Estació 7"};
    const QStringList puestos = {"Soldador", "Dependienta", "Peón de obra"};
    int n = 0;
    for (int e = 0; e < empresas.size(); ++e) {
        const long long empresa = datos::empresa(cx, empresas[e]);
        // La última empresa no tiene centros: también hay que pasar por ahí.
        const int centros = e == empresas.size() - 1 ? 0 : 2 - e;
        for (int c = 0; c < centros; ++c) {
            const long long centro = datos::centro(cx, empresa, calles[(e + c) % calles.size()]);
            // El primer centro de cada empresa está completo y se puede recorrer hasta el final; el
            // segundo tiene un puesto sin factores, que las comprobaciones dan por pendiente.
            const bool completo = c == 0;
            for (int p = 0; p < 2; ++p) {
                NuevoPuesto nuevo;
                nuevo.idCentro = centro;
                nuevo.idEmpresa = empresa;
                nuevo.puesto = puestos[(n++) % puestos.size()];
                nuevo.trabajadores = QString::number(p + 2);
                const long long puesto = AnadirPuestoConFactores(cx, nuevo);
                if (p == 1 && !completo)
                    continue;
                for (int f = 0; f < factores.size(); f += 2 + p)
                    marcar(cx, puesto, empresa, centro, factores[f]);
            }
            if (completo) {
                datos::insertar(cx,
                                "UPDATE Evaluacion SET Probabilidad = 'Media', Consecuencias = 'Dañino', "
                                "ValorRiesgo = 'Riesgo Moderado' WHERE IDCentro = ?",
                                {centro});
                datos::insertar(cx,
                                "UPDATE MedidasFactores SET MarcarMedida = 'S' WHERE IDEvaluacion IN "
                                "(SELECT IDEvaluacion FROM Evaluacion WHERE IDCentro = ?)",
                                {centro});
                const long long plan = datos::insertar(
                    cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro, Persona, Cargo, Fecha) VALUES (?, ?, ?, ?)",
                    {centro, "María Pérez", "Empresario", QDate(2026, 3, 1)});
                for (int l = 0; l < 3; ++l)
                    datos::insertar(cx,
                                    "INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva, "
                                    "FechaLimite, ResponsableEjecucion, PresupuestoAproximado) VALUES (?, ?, ?, ?, ?)",
                                    {plan, QStringLiteral("Acción %1 de l'obra").arg(l + 1), QDate(2026, 6, 1 + l),
                                     "Jefe de taller", QString::number(100 * (l + 1))});
            }
        }
    }
}
