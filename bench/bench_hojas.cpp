// Las hojas de cálculo: el plan de 200 acciones de un centro en XLSX y en CSV, y su evaluación (50
// puestos de 30 riesgos, tres medidas por riesgo) en XLSX. Cuenta la lectura de las filas y la escritura.
#include "CopiaPrograma.h"
#include "PreparacionMedidas.h"
#include "reports/ExportacionHoja.h"
#include "store/Conexion.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <memory>

namespace {
std::unique_ptr<CopiaPrograma> copia;
constexpr long long Centro = 1;
constexpr int Puestos = 50, RiesgosPorPuesto = 30, Acciones = 200;

void preparar()
{
    copia = std::make_unique<CopiaPrograma>();
    auto c = Conexion::obtener(copia->conexion());
    Transaccion t(copia->conexion());
    c->ejecutar("INSERT INTO Empresas (IDEmpresa, Nombre) VALUES (1, 'Consultoría de prueba')");
    c->ejecutar("INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, NombreCentro, Direccion) VALUES (1, 1, 'Nave', "
                "'Nave')");
    const auto riesgos = RiesgosDePrueba(copia->conexion(), RiesgosPorPuesto);
    const QStringList niveles{"Riesgo Intolerable", "Riesgo Importante", "Riesgo Moderado", "Riesgo Tolerable"};
    long long fila = 0;
    for (long long puesto = 1; puesto <= Puestos; ++puesto) {
        c->ejecutar("INSERT INTO PuestosCentros (IDPuestoCentro, IDCentro, Puesto, NTrabajadores) VALUES (?, 1, ?, ?)",
                    {puesto, QStringLiteral("Puesto número %1").arg(puesto), QString::number(puesto % 7)});
        for (int r = 0; r < RiesgosPorPuesto && r < int(riesgos.size()); ++r) {
            ++fila;
            const auto [factor, riesgo] = riesgos[size_t(r)];
            c->ejecutar("INSERT INTO FactoresSeleccionarEvaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, "
                        "IDPuestoCentro, IDFactor, Factor, FactorSelecionado) VALUES (?, 1, 1, ?, ?, 'Factor', 'S')",
                        {fila, puesto, factor});
            c->ejecutar("INSERT INTO Evaluacion (IDEvaluacion, IDEvaluacionCrear, IDEmpresa, IDCentro, "
                        "IDPuestoCentro, IDFactor, IDRiesgo, Mostrar, Probabilidad, Consecuencias, ValorRiesgo, "
                        "SituacionObservada) VALUES (?, ?, 1, 1, ?, ?, ?, 'S', 'Media', 'Dañino', ?, "
                        "'Se observa el puesto en su jornada; falta orden en la zona')",
                        {fila, fila, puesto, factor, riesgo, niveles[int(fila % niveles.size())]});
            for (int m = 0; m < 3; ++m)
                c->ejecutar("INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida, Implantada) "
                            "VALUES (?, ?, 'S', ?)",
                            {fila, QStringLiteral("Medida preventiva %1 del riesgo").arg(m + 1), m == 0 ? "S" : "N"});
        }
    }
    c->ejecutar("INSERT INTO \"ActuaciónPreventiva\" (IDActuacion, IDCentro, Persona) VALUES (1, 1, 'Técnico')");
    for (int a = 0; a < Acciones; ++a)
        c->ejecutar("INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva, FechaLimite, "
                    "ResponsableEjecucion, PresupuestoAproximado, IDEvaluacion, Estado, CosteReal, Seguimiento) "
                    "VALUES (1, ?, date('2027-01-01', ?), 'Encargado de mantenimiento', ?, ?, ?, ?, ?)",
                    {QStringLiteral("Acción preventiva número %1 del plan; con su descripción").arg(a),
                     QStringLiteral("+%1 days").arg(a % 90), a % 5 ? QStringLiteral("1.250,00") : "a convenir",
                     a % 4 ? QVariant(qlonglong(a * 7 + 1)) : QVariant(), a % 3 ? "Pendiente" : "Realizada",
                     a % 3 ? QString() : QStringLiteral("1.100,50"), QStringLiteral("Revisado en la visita")});
    t.confirmar();
}

void PlanDe200AccionesAXlsx(benchmark::State& estado)
{
    for (auto _ : estado) {
        QString motivo;
        if (!EscribirXlsx(FilasPlan(copia->conexion(), Centro), copia->ruta("plan.xlsx"), motivo))
            estado.SkipWithError(motivo.toUtf8().constData());
    }
}
BENCHMARK(PlanDe200AccionesAXlsx)->Unit(benchmark::kMillisecond);

void PlanDe200AccionesACsv(benchmark::State& estado)
{
    for (auto _ : estado) {
        QString motivo;
        if (!EscribirCsv(FilasPlan(copia->conexion(), Centro), copia->ruta("plan.csv"), motivo))
            estado.SkipWithError(motivo.toUtf8().constData());
    }
}
BENCHMARK(PlanDe200AccionesACsv)->Unit(benchmark::kMillisecond);

void EvaluacionDe50PuestosAXlsx(benchmark::State& estado)
{
    for (auto _ : estado) {
        QString motivo;
        if (!EscribirXlsx(FilasEvaluacion(copia->conexion(), Centro), copia->ruta("evaluacion.xlsx"), motivo))
            estado.SkipWithError(motivo.toUtf8().constData());
    }
}
BENCHMARK(EvaluacionDe50PuestosAXlsx)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    preparar();
    PasarMedidas(argc, argv);
    copia.reset();
    return 0;
}
