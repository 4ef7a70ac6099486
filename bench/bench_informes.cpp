// Los informes de un centro grande: 50 puestos con 30 riesgos cada uno y tres medidas por riesgo
// (4.500 filas de medidas, la mitad elegidas).
#include "CopiaPrograma.h"
#include "PlataformaPrueba.h"
#include "reports/DocumentoInforme.h"
#include "reports/InformeGeneral.h"
#include "reports/Informes.h"
#include "reports/MotorInforme.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"
#include "store/Recordset.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>
#include <benchmark/benchmark.h>
#include <memory>

namespace {
std::unique_ptr<CopiaPrograma> copia;
long long centro = 0, empresa = 0;
Sesion sesion;

void preparar()
{
    copia = std::make_unique<CopiaPrograma>();
    QDir(copia->carpeta()).mkdir("Informes");
    for (const QString& f : {Informes::FicheroEvaluacion, Informes::FicheroPlanificacion})
        QFile::copy(QStringLiteral(FUENTES_PROYECTO "/data/informes/") + f, copia->ruta("Informes/" + f));
    FijarCarpetaPrograma(copia->carpeta());
    sesion.conexion = copia->conexion();
    auto c = Conexion::obtener(sesion.conexion);
    const char* const niveles[] = {"Riesgo Trivial", "Riesgo Tolerable", "Riesgo Moderado", "Riesgo Importante",
                                   "Riesgo Intolerable"};
    Transaccion t(sesion.conexion);
    c->ejecutar("INSERT INTO Empresas (IDEmpresa, Nombre, CIF, Persona, Cargo, TotalTrabajadores) VALUES (1, "
                "'Consultoría de prueba', 'B00000001', 'Técnico', 'Empresario', 200)");
    c->ejecutar("INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, NombreCentro, Direccion) VALUES (1, 1, 'Nave 1', "
                "'Nave 1')");
    centro = empresa = 1;
    Recordset riesgos;
    riesgos.open("SELECT IDFactor, IDRiesgo FROM RiesgosFactores GROUP BY IDRiesgo ORDER BY IDRiesgo LIMIT 30",
                 sesion.conexion);
    std::vector<std::pair<long long, long long>> pares;
    for (; !riesgos.eof(); riesgos.moveNext())
        pares.emplace_back(riesgos.value(0).toLongLong(), riesgos.value(1).toLongLong());
    long long fila = 0, evaluacion = 0;
    for (int p = 1; p <= 50; ++p) {
        c->ejecutar("INSERT INTO PuestosCentros (IDPuestoCentro, IDCentro, Puesto, Descripcion, NTrabajadores) "
                    "VALUES (?, 1, ?, 'Tareas del puesto', 4)",
                    {p, QStringLiteral("Puesto número %1").arg(p)});
        for (size_t r = 0; r < pares.size(); ++r) {
            c->ejecutar("INSERT INTO FactoresSeleccionarEvaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, "
                        "IDPuestoCentro, IDFactor, Factor, FactorSelecionado) VALUES (?, 1, 1, ?, ?, 'Factor', 'S')",
                        {++fila, p, pares[r].first});
            c->ejecutar("INSERT INTO Evaluacion (IDEvaluacion, IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro, "
                        "IDFactor, IDRiesgo, Mostrar, Probabilidad, Consecuencias, ValorRiesgo) VALUES (?, ?, 1, 1, ?, "
                        "?, ?, 'S', 'Media', 'Dañino', ?)",
                        {++evaluacion, fila, p, pares[r].first, pares[r].second, niveles[(p + r) % 5]});
            for (int m = 0; m < 3; ++m)
                c->ejecutar("INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida) VALUES (?, ?, ?)",
                            {evaluacion,
                             QStringLiteral("Medida preventiva %1 del riesgo, con una redacción de longitud "
                                            "habitual en el catálogo de medidas")
                                 .arg(m + 1),
                             m % 2 ? "N" : "S"});
        }
    }
    t.confirmar();
}

void EvaluacionAPdf(benchmark::State& estado)
{
    const QString ruta = copia->ruta("evaluacion.pdf");
    int paginas = 0;
    for (auto _ : estado) {
        MotorInforme motor;
        motor.abrirPlantilla(RutaEnPrograma("Informes/" + Informes::FicheroEvaluacion));
        motor.conectarCarpeta(CarpetaPrograma());
        motor.fijarFormula(FormulaEvaluacion(centro, empresa));
        const auto documento = motor.generar();
        // Como ExportarInformes: el PDF sin haber pedido antes las hojas, que compondrían el
        // documento entero en un solo hilo.
        documento->exportarPdf(ruta);
    }
    QFile pdf(ruta);
    if (pdf.open(QIODevice::ReadOnly))
        paginas = int(pdf.readAll().count("/Type /Page\n"));
    estado.counters["paginas"] = paginas;
}
BENCHMARK(EvaluacionAPdf)->Unit(benchmark::kMillisecond)->Iterations(5);

// Las tres partes del PDF por separado: leer y rellenar la plantilla, componer las hojas con las
// reglas de maquetación, y pintarlas.
void EvaluacionPorPartes(benchmark::State& estado)
{
    double generar = 0, componer = 0, pintar = 0;
    for (auto _ : estado) {
        QElapsedTimer reloj;
        reloj.start();
        MotorInforme motor;
        motor.abrirPlantilla(RutaEnPrograma("Informes/" + Informes::FicheroEvaluacion));
        motor.conectarCarpeta(CarpetaPrograma());
        motor.fijarFormula(FormulaEvaluacion(centro, empresa));
        const auto documento = motor.generar();
        generar += reloj.restart();
        benchmark::DoNotOptimize(documento->paginas());
        componer += reloj.restart();
        documento->exportarPdf(copia->ruta("partes.pdf"));
        pintar += reloj.restart();
        // Para mirar el resultado: GUARDAR_PDF=ruta deja una copia del documento.
        if (qEnvironmentVariableIsSet("GUARDAR_PDF")) {
            QFile::remove(qEnvironmentVariable("GUARDAR_PDF"));
            QFile::copy(copia->ruta("partes.pdf"), qEnvironmentVariable("GUARDAR_PDF"));
        }
    }
    const double n = double(estado.iterations());
    estado.counters["generar_ms"] = generar / n;
    estado.counters["componer_ms"] = componer / n;
    estado.counters["pintar_ms"] = pintar / n;
}
BENCHMARK(EvaluacionPorPartes)->Unit(benchmark::kMillisecond)->Iterations(2);

// Hasta ver la primera hoja: la ventana abierta con la hoja ya pintada.
void AbrirVistaPrevia(benchmark::State& estado)
{
    for (auto _ : estado) {
        InformeGeneral* visor = AbrirInformeEvaluacion(sesion, centro, empresa);
        QApplication::processEvents();
        const QPixmap vista = visor->vista()->viewport()->grab();
        benchmark::DoNotOptimize(vista.cacheKey());
        estado.PauseTiming();
        delete visor;
        QApplication::processEvents();
        estado.ResumeTiming();
    }
}
BENCHMARK(AbrirVistaPrevia)->Unit(benchmark::kMillisecond)->Iterations(5);

// Hasta que la vista previa sabe cuántas hojas hay: el resto del documento se compone con la
// ventana ya abierta.
void VistaPreviaCompuesta(benchmark::State& estado)
{
    int paginas = 0;
    for (auto _ : estado) {
        InformeGeneral* visor = AbrirInformeEvaluacion(sesion, centro, empresa);
        while (!visor->vista()->composicionTerminada())
            QApplication::processEvents();
        paginas = visor->vista()->pageCount();
        estado.PauseTiming();
        delete visor;
        QApplication::processEvents();
        estado.ResumeTiming();
    }
    estado.counters["paginas"] = paginas;
}
BENCHMARK(VistaPreviaCompuesta)->Unit(benchmark::kMillisecond)->Iterations(5);
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
