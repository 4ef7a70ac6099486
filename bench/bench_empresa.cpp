// La ventana de empresas con la cartera de una asesoría: 2.000 empresas de dos centros cada una.
#include "CopiaPrograma.h"
#include "PlataformaPrueba.h"
#include "companies/Empresa.h"
#include "shell/NavegadorRegistros.h"
#include "shell/Sesion.h"
#include "store/Recordset.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <memory>

namespace {
std::unique_ptr<CopiaPrograma> copia;
Sesion sesion;

void preparar()
{
    copia = std::make_unique<CopiaPrograma>();
    sesion.conexion = copia->conexion();
    auto c = Conexion::obtener(sesion.conexion);
    Transaccion t(sesion.conexion);
    for (int e = 1; e <= 2000; ++e) {
        c->ejecutar("INSERT INTO Empresas (IDEmpresa, Nombre, CIF, Provincia, TotalTrabajadores) VALUES (?, ?, ?, "
                    "'Madrid', 5)",
                    {e, QStringLiteral("Comercio número %1").arg(e), QStringLiteral("B%1").arg(e, 8, 10, QChar('0'))});
        for (int k = 0; k < 2; ++k)
            c->ejecutar("INSERT INTO CentroTrabajo (IDEmpresa, NombreCentro, Direccion, Provincia) VALUES (?, ?, ?, "
                        "'Madrid')",
                        {e, QStringLiteral("Local %1").arg(k + 1), QStringLiteral("Local %1").arg(k + 1)});
    }
    t.confirmar();
}

void AbrirVentanaEmpresa(benchmark::State& estado)
{
    for (auto _ : estado) {
        Empresa ventana(sesion);
        benchmark::DoNotOptimize(ventana.empresas());
    }
}
BENCHMARK(AbrirVentanaEmpresa)->Unit(benchmark::kMillisecond);

void SiguienteEmpresa(benchmark::State& estado)
{
    Empresa ventana(sesion);
    for (auto _ : estado) {
        ventana.navegadorEmpresas()->mover(NavegadorRegistros::Movimiento::Siguiente);
        if (ventana.empresas()->eof() || ventana.empresas()->absolutePosition() == 2000)
            ventana.navegadorEmpresas()->mover(NavegadorRegistros::Movimiento::Primero);
    }
}
BENCHMARK(SiguienteEmpresa)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    PlataformaPrueba plataforma;
    preparar();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    copia.reset();
    return 0;
}
