// El documento de la evaluación de un centro de la base de escala, relleno con la plantilla: lo que
// cuesta leer sus datos cuando la base es la de una asesoría entera, no sólo la de ese centro.
#include "PreparacionMedidas.h"
#include "reports/DocumentoInforme.h"
#include "reports/Informes.h"
#include "reports/MotorInforme.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

namespace {
QString carpetaEscala;

void RellenarEvaluacionDeUnCentro(benchmark::State& estado)
{
    const CopiaEscala copia(carpetaEscala);
    const PuestoEscala puesto = PuestoDeEnMedio(copia.conexion, true);
    for (auto _ : estado) {
        MotorInforme motor;
        motor.abrirPlantilla(QStringLiteral(FUENTES_PROYECTO "/data/informes/") + Informes::FicheroEvaluacion);
        motor.fijarConexion(copia.conexion);
        motor.fijarFormula(FormulaEvaluacion(puesto.centro, puesto.empresa));
        benchmark::DoNotOptimize(motor.generar()->html().size());
    }
}
BENCHMARK(RellenarEvaluacionDeUnCentro)
    ->Name("Rellenar la evaluación de un centro/nuestro")
    ->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication aplicacion(argc, argv);
    carpetaEscala = LeerBaseEscala();
    if (carpetaEscala.isEmpty())
        return 2;
    PasarMedidas(argc, argv);
    return 0;
}
