// El resumen de centros sobre la base de escala: abrirlo (la primera vez en la sesión, nada más
// arrancar y las siguientes), volver a leerlo tras escribir en un centro y filtrar tecla a tecla mientras se escribe.
#include "CopiaPorMedida.h"
#include "PlataformaPrueba.h"
#include "PreparacionMedidas.h"
#include "companies/ResumenCentros.h"
#include "plataforma/Reloj.h"
#include "reports/Importes.h"
#include "shell/Sesion.h"
#include "store/Conexion.h"
#include "store/EstadoCentros.h"
#include "store/Recordset.h"

#include <QApplication>
#include <QLineEdit>
#include <benchmark/benchmark.h>
#include <chrono>
#include <thread>

namespace {
QString carpetaEscala;
Sesion sesion;

struct Escala : CopiaEscala
{
    Escala() : CopiaEscala(carpetaEscala) { sesion.conexion = conexion; }
};
CopiaPorMedida<Escala> copias;

// Hasta que la ventana tiene los centros, si los estaba leyendo aparte.
void esperarLlena(const ResumenCentros& v)
{
    while (v.leyendo())
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Cada vuelta, como al abrirla por primera vez con una conexión nueva y nada leído aparte (tras
// restaurar una copia, o si otro programa ha escrito en el archivo): la ventana se abre y lo lee
// aparte. Aparte, lo que tarda en llenarse ("lleno_ms", desde que se empezó a abrir).
void AbrirPrimeraVez(benchmark::State& estado)
{
    double lleno = 0;
    for (auto _ : estado) {
        estado.PauseTiming();
        Conexion::cerrarTodas();
        const auto inicio = std::chrono::steady_clock::now();
        estado.ResumeTiming();
        ResumenCentros v(sesion);
        estado.PauseTiming();
        esperarLlena(v);
        lleno += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - inicio).count();
        estado.ResumeTiming();
    }
    estado.counters["lleno_ms"] = lleno / double(estado.iterations());
}

// La primera vez tras arrancar, cuando ya ha dado tiempo a leer aparte lo preparado al arrancar
// (PrepararEstadoCentros, que lanza la ventana principal): lo normal si no se abre nada más empezar.
void AbrirPreparado(benchmark::State& estado)
{
    for (auto _ : estado) {
        estado.PauseTiming();
        Conexion::cerrarTodas();
        PrepararEstadoCentros(sesion.conexion, Hoy());
        std::this_thread::sleep_for(std::chrono::seconds(3));
        estado.ResumeTiming();
        ResumenCentros v(sesion);
        benchmark::DoNotOptimize(&v);
    }
}

// Nada más arrancar, con lo preparado aún leyéndose aparte: la ventana se abre sin esperarlo. Aparte,
// lo que tarda en llenarse ("lleno_ms", desde que se empezó a leer aparte).
void AbrirNadaMasArrancar(benchmark::State& estado)
{
    double lleno = 0;
    for (auto _ : estado) {
        estado.PauseTiming();
        Conexion::cerrarTodas();
        const auto inicio = std::chrono::steady_clock::now();
        PrepararEstadoCentros(sesion.conexion, Hoy());
        estado.ResumeTiming();
        ResumenCentros v(sesion);
        estado.PauseTiming();
        esperarLlena(v);
        lleno += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - inicio).count();
        estado.ResumeTiming();
    }
    estado.counters["lleno_ms"] = lleno / double(estado.iterations());
}

void Abrir(benchmark::State& estado)
{
    // Una primera vez fuera de la medida, como la de la sesión.
    {
        ResumenCentros primera(sesion);
        esperarLlena(primera);
    }
    for (auto _ : estado) {
        ResumenCentros v(sesion);
        benchmark::DoNotOptimize(&v);
    }
}

// Sólo la lectura, sin la ventana: lo que cuesta la base frente a lo que cuesta enseñarlo.
void Leer(benchmark::State& estado)
{
    LeerEstadoCentros(sesion.conexion, QDate(2026, 6, 15), LeerImporte);
    for (auto _ : estado)
        benchmark::DoNotOptimize(LeerEstadoCentros(sesion.conexion, QDate(2026, 6, 15), LeerImporte));
}

// Una medida marcada o desmarcada en un centro de en medio y vuelta al resumen.
void ColocarTrasUnCambio(benchmark::State& estado)
{
    ResumenCentros v(sesion);
    esperarLlena(v);
    Recordset rs;
    rs.open("SELECT m.IDMedidaFactor FROM MedidasFactores m ORDER BY m.IDMedidaFactor LIMIT 1 OFFSET "
            "(SELECT count(*) / 2 FROM MedidasFactores)",
            sesion.conexion);
    const qlonglong medida = rs.value(0).toLongLong();
    auto c = Conexion::obtener(sesion.conexion);
    bool marcada = false;
    for (auto _ : estado) {
        c->ejecutar("UPDATE MedidasFactores SET MarcarMedida = ? WHERE IDMedidaFactor = ?",
                    {marcada ? "S" : "N", medida});
        marcada = !marcada;
        v.Colocar();
    }
}

// Una tecla cada vuelta: se escribe "empresa 1" y se borra, letra a letra.
void FiltrarAlEscribir(benchmark::State& estado)
{
    ResumenCentros v(sesion);
    esperarLlena(v);
    auto* caja = v.findChild<QLineEdit*>(QStringLiteral("strBuscar"));
    const QString texto = QStringLiteral("empresa 1");
    int paso = 0;
    for (auto _ : estado) {
        const int n = paso < texto.size() ? paso + 1 : 2 * int(texto.size()) - paso - 1;
        caja->setText(texto.left(n));
        paso = (paso + 1) % (2 * int(texto.size()));
    }
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
    // Cada vuelta espera la lectura aparte entera (más de un segundo a diez veces): pocas vueltas.
    copias.registrar("Abrir ResumenCentros la primera vez/nuestro", AbrirPrimeraVez)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
    copias.registrar("Abrir ResumenCentros nada más arrancar/nuestro", AbrirNadaMasArrancar)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    copias.registrar("Abrir ResumenCentros preparado al arrancar/nuestro", AbrirPreparado)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    copias.registrar("Abrir ResumenCentros/nuestro", Abrir)->Unit(benchmark::kMillisecond);
    copias.registrar("Leer el estado de los centros/nuestro", Leer)->Unit(benchmark::kMillisecond);
    copias.registrar("Colocar de ResumenCentros tras un cambio/nuestro", ColocarTrasUnCambio)
        ->Unit(benchmark::kMillisecond);
    copias.registrar("Filtrar ResumenCentros al escribir/nuestro", FiltrarAlEscribir)->Unit(benchmark::kMillisecond);
    PasarMedidas(argc, argv);
    copias.soltar();
    return 0;
}
