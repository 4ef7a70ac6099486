// Coste de las operaciones básicas del almacén según el tamaño de la base de datos.
#include "CopiaPrograma.h"
#include "shell/Comprobaciones.h"
#include "store/Recordset.h"

#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace {
// Base de datos de una asesoría grande: 200 empresas, 400 centros, 2.000 puestos, unas
// 100.000 filas de evaluación y 300.000 medidas. Con filas = 10 sólo hay diez evaluaciones.
struct Base
{
    CopiaPrograma copia;
    QString cx = copia.conexion();
    long empresa = 0, centro = 0;

    Base(long evaluaciones, int medidasPorFila)
    {
        auto c = Conexion::obtener(cx);
        Transaccion t(cx);
        const long puestosPorCentro = 5, centrosPorEmpresa = 2;
        const long empresas = evaluaciones >= 1000 ? 200 : 1;
        const long puestos = empresas * centrosPorEmpresa * puestosPorCentro;
        const long filasPorPuesto = std::max(1L, evaluaciones / puestos);
        for (long e = 1; e <= empresas; ++e) {
            c->ejecutar("INSERT INTO Empresas (IDEmpresa, Nombre) VALUES (?, ?)", {qlonglong(e), "Empresa"});
            for (long k = 0; k < centrosPorEmpresa; ++k) {
                const long idc = (e - 1) * centrosPorEmpresa + k + 1;
                c->ejecutar("INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, Direccion) VALUES (?, ?, 'Calle')",
                            {qlonglong(idc), qlonglong(e)});
                for (long pu = 0; pu < puestosPorCentro; ++pu) {
                    const long idp = (idc - 1) * puestosPorCentro + pu + 1;
                    c->ejecutar("INSERT INTO PuestosCentros (IDPuestoCentro, IDCentro, Puesto) VALUES (?, ?, 'P')",
                                {qlonglong(idp), qlonglong(idc)});
                    c->ejecutar("INSERT INTO FactoresSeleccionarEvaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, "
                                "IDPuestoCentro, IDFactor, Factor, FactorSelecionado) VALUES (?, ?, ?, ?, 1, 'F', 'S')",
                                {qlonglong(idp), qlonglong(e), qlonglong(idc), qlonglong(idp)});
                    for (long r = 0; r < filasPorPuesto && evaluaciones > 0; ++r, --evaluaciones) {
                        c->ejecutar("INSERT INTO Evaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro, "
                                    "IDFactor, IDRiesgo, Mostrar, Probabilidad, Consecuencias, ValorRiesgo) VALUES "
                                    "(?, ?, ?, ?, 1, ?, 'S', 'Media', 'Dañino', 'Riesgo Moderado')",
                                    {qlonglong(idp), qlonglong(e), qlonglong(idc), qlonglong(idp), qlonglong(r)});
                        for (int m = 0; m < medidasPorFila; ++m)
                            c->ejecutar("INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida) VALUES "
                                        "((SELECT max(IDEvaluacion) FROM Evaluacion), 'Medida', 'S')");
                    }
                }
            }
        }
        t.confirmar();
        empresa = 100 < empresas ? 100 : 1;
        centro = (empresa - 1) * centrosPorEmpresa + 1;
    }
};

std::map<std::pair<long, int>, std::unique_ptr<Base>> bases;

Base& base(long filas, int medidasPorFila)
{
    auto& b = bases[{filas, medidasPorFila}];
    if (!b)
        b = std::make_unique<Base>(filas, medidasPorFila);
    return *b;
}

// Abrir "Select * from Evaluacion" sólo para añadir una fila, y añadirla.
void AltaEnEvaluacion(benchmark::State& estado)
{
    Base& b = base(estado.range(0), 0);
    for (auto _ : estado) {
        Recordset rs;
        rs.open("Select * from Evaluacion", b.cx);
        rs.addNew();
        rs.setValue("IDEvaluacionCrear", 1);
        rs.setValue("IDEmpresa", 1);
        rs.setValue("IDCentro", 1);
        rs.setValue("IDPuestoCentro", 1);
        rs.setValue("IDFactor", 1);
        rs.setValue("IDRiesgo", 10);
        rs.setValue("Mostrar", "N");
        rs.update();
        benchmark::DoNotOptimize(rs.lastInsertId());
    }
}
BENCHMARK(AltaEnEvaluacion)->Arg(10)->Arg(300000)->Unit(benchmark::kMicrosecond);

// Buscar la última fila de un conjunto de 1.000 con un criterio de texto.
void BuscarEnMilFilas(benchmark::State& estado)
{
    CopiaPrograma copia;
    const QString cx = copia.conexion();
    {
        Transaccion t(cx);
        for (int i = 0; i < 1000; ++i)
            Conexion::obtener(cx)->ejecutar("INSERT INTO Empresas (Nombre) VALUES (?)",
                                            {QStringLiteral("Comercio L'Esquina %1").arg(i)});
        t.confirmar();
    }
    Recordset rs;
    rs.open("Select * from Empresas", cx);
    rs.recordCount();
    for (auto _ : estado) {
        rs.moveFirst();
        benchmark::DoNotOptimize(rs.find("[Nombre] = 'Comercio L'Esquina 999'"));
    }
}
BENCHMARK(BuscarEnMilFilas)->Unit(benchmark::kMicrosecond);

// Las tres comprobaciones de un centro con 300.000 medidas en la base de datos.
void TresComprobaciones(benchmark::State& estado)
{
    Base& b = base(100000, 3);
    for (auto _ : estado) {
        benchmark::DoNotOptimize(ComprobarFactores(b.cx, b.empresa, b.centro));
        benchmark::DoNotOptimize(ComprobarRiesgos(b.cx, b.empresa, b.centro));
        benchmark::DoNotOptimize(ComprobarMedidas(b.cx, b.empresa, b.centro));
    }
}
BENCHMARK(TresComprobaciones)->Unit(benchmark::kMicrosecond);
} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bases.clear(); // antes de que se destruya la caché de conexiones
    return 0;
}
