// Abrir cada ventana (con su carga y su Colocar) y moverse por ella, sobre la base de escala de
// asesoría. Sólo se mide lo nuestro: no hay una forma "ingenua" con la que compararlo.
#include "CopiaPorMedida.h"
#include "GeneradorEscala.h"
#include "PlataformaPrueba.h"
#include "companies/Empresa.h"
#include "evaluation/InicioEvaluacion.h"
#include "evaluation/Puestos.h"
#include "evaluation/SeleccionaFactores.h"
#include "evaluation/SeleccionaMedidas.h"
#include "evaluation/SeleccionaRiesgos.h"
#include "evaluation/VentanaAsistente.h"
#include "planning/ActuacionPreventiva.h"
#include "shell/NavegadorRegistros.h"
#include "shell/Sesion.h"
#include "store/Conexion.h"
#include "store/Recordset.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

namespace {
QString carpetaEscala;
// Lo que las ventanas reciben de la anterior.
Sesion sesion;

struct Escala
{
    QTemporaryDir dir;
    Escala()
    {
        sesion.conexion = UsarCopiaEscala(carpetaEscala, dir.path());
        // Un puesto de un centro de en medio de la cartera, como si viniera de la ventana anterior.
        Recordset rs;
        rs.open("SELECT p.IDPuestoCentro, p.Puesto, p.IDCentro, c.IDEmpresa FROM PuestosCentros p JOIN CentroTrabajo c "
                "ON c.IDCentro = p.IDCentro ORDER BY p.IDPuestoCentro LIMIT 1 OFFSET "
                "(SELECT count(*) / 2 FROM PuestosCentros)",
                sesion.conexion);
        sesion.puestoActual = VentanaAsistente::TextoPuesto(rs.value(0).toLongLong(), rs.value(1).toString());
        sesion.idCentro = rs.value(2).toLongLong();
        sesion.idEmpresa = rs.value(3).toLongLong();
    }
    ~Escala() { Conexion::cerrarTodas(); }
};
CopiaPorMedida<Escala> copias;

template <typename Ventana> void Abrir(benchmark::State& estado)
{
    for (auto _ : estado) {
        Ventana v(sesion);
        benchmark::DoNotOptimize(&v);
    }
}

template <typename Ventana> void Colocar(benchmark::State& estado)
{
    Ventana v(sesion);
    for (auto _ : estado)
        v.Colocar();
}

void SiguienteEmpresa(benchmark::State& estado)
{
    Empresa v(sesion);
    for (auto _ : estado) {
        v.navegadorEmpresas()->mover(NavegadorRegistros::Movimiento::Siguiente);
        if (v.empresas()->eof() || v.empresas()->absolutePosition() >= v.empresas()->recordCount())
            v.navegadorEmpresas()->mover(NavegadorRegistros::Movimiento::Primero);
    }
}

template <typename Ventana> void registrarVentana(const char* nombre)
{
    copias.registrar(std::string("Abrir ") + nombre + "/nuestro", Abrir<Ventana>)->Unit(benchmark::kMillisecond);
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication aplicacion(argc, argv);
    PlataformaPrueba plataforma;
    carpetaEscala = qEnvironmentVariable("BASE_ESCALA");
    if (carpetaEscala.isEmpty() || !QFile::exists(carpetaEscala + "/Evaluacion.mdb")) {
        std::fprintf(stderr, "BASE_ESCALA debe ser la carpeta de una base hecha con generar_escala.\n");
        return 2;
    }
    registrarVentana<Empresa>("Empresa");
    copias.registrar("Pasar a la empresa siguiente/nuestro", SiguienteEmpresa)->Unit(benchmark::kMillisecond);
    registrarVentana<InicioEvaluacion>("InicioEvaluacion");
    copias.registrar("Colocar de InicioEvaluacion/nuestro", Colocar<InicioEvaluacion>)->Unit(benchmark::kMillisecond);
    registrarVentana<Puestos>("Puestos");
    copias.registrar("Colocar de Puestos/nuestro", Colocar<Puestos>)->Unit(benchmark::kMillisecond);
    registrarVentana<SeleccionaFactores>("SeleccionaFactores");
    copias.registrar("Colocar de SeleccionaFactores/nuestro", Colocar<SeleccionaFactores>)
        ->Unit(benchmark::kMillisecond);
    registrarVentana<SeleccionaRiesgos>("SeleccionaRiesgos");
    copias.registrar("Colocar de SeleccionaRiesgos/nuestro", Colocar<SeleccionaRiesgos>)->Unit(benchmark::kMillisecond);
    registrarVentana<SeleccionaMedidas>("SeleccionaMedidas");
    copias.registrar("Colocar de SeleccionaMedidas/nuestro", Colocar<SeleccionaMedidas>)->Unit(benchmark::kMillisecond);
    registrarVentana<ActuacionPreventiva>("ActuacionPreventiva");
    copias.registrar("Colocar de ActuacionPreventiva/nuestro", Colocar<ActuacionPreventiva>)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    copias.soltar();
    return 0;
}
