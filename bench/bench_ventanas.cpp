// Abrir cada ventana (con su carga y su Colocar) y moverse por ella, sobre la base de escala de
// asesoría. Sólo se mide lo nuestro: no hay una forma "ingenua" con la que compararlo.
#include "CopiaPorMedida.h"
#include "PlataformaPrueba.h"
#include "PreparacionMedidas.h"
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

#include <QApplication>
#include <benchmark/benchmark.h>
#include <memory>

namespace {
QString carpetaEscala;
// Lo que las ventanas reciben de la anterior.
Sesion sesion;

struct Escala : CopiaEscala
{
    Escala() : CopiaEscala(carpetaEscala)
    {
        sesion.conexion = conexion;
        const PuestoEscala p = PuestoDeEnMedio(conexion, false);
        sesion.puestoActual = VentanaAsistente::TextoPuesto(p.puesto, p.nombre);
        sesion.idCentro = p.centro;
        sesion.idEmpresa = p.empresa;
    }
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
    carpetaEscala = LeerBaseEscala();
    if (carpetaEscala.isEmpty())
        return 2;
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
    PasarMedidas(argc, argv);
    copias.soltar();
    return 0;
}
