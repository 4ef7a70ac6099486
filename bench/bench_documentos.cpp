// Las copias y el documento de empresa: la evaluación de 50 puestos en ODT y el documento de una
// empresa de 10 centros (5 puestos cada uno, con sus riesgos y medidas) en PDF.
#include "CopiaPrograma.h"
#include "reports/DocumentoEmpresa.h"
#include "reports/DocumentoInforme.h"
#include "reports/ExportacionOdt.h"
#include "reports/Informes.h"
#include "reports/MotorInforme.h"
#include "shell/Rutinas.h"
#include "store/Conexion.h"
#include "store/Recordset.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <memory>

namespace {
std::unique_ptr<CopiaPrograma> copia;
constexpr long long CentroGrande = 1, Empresa = 1;

// Un centro con sus puestos, 30 riesgos cada uno y tres medidas por riesgo.
void llenarCentro(Conexion& c, long long centro, int puestos, long long& puesto, long long& fila)
{
    c.ejecutar("INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, NombreCentro, Direccion) VALUES (?, 1, ?, ?)",
               {centro, QStringLiteral("Nave %1").arg(centro), QStringLiteral("Nave %1").arg(centro)});
    Recordset riesgos;
    riesgos.open("SELECT IDFactor, IDRiesgo FROM RiesgosFactores GROUP BY IDRiesgo ORDER BY IDRiesgo LIMIT 30",
                 copia->conexion());
    std::vector<std::pair<long long, long long>> pares;
    for (; !riesgos.eof(); riesgos.moveNext())
        pares.emplace_back(riesgos.value(0).toLongLong(), riesgos.value(1).toLongLong());
    for (int p = 0; p < puestos; ++p) {
        ++puesto;
        c.ejecutar("INSERT INTO PuestosCentros (IDPuestoCentro, IDCentro, Puesto, Descripcion, NTrabajadores) "
                   "VALUES (?, ?, ?, 'Tareas del puesto', 4)",
                   {puesto, centro, QStringLiteral("Puesto número %1").arg(puesto)});
        for (const auto& [factor, riesgo] : pares) {
            ++fila;
            c.ejecutar("INSERT INTO FactoresSeleccionarEvaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, "
                       "IDPuestoCentro, IDFactor, Factor, FactorSelecionado) VALUES (?, 1, ?, ?, ?, 'Factor', 'S')",
                       {fila, centro, puesto, factor});
            c.ejecutar("INSERT INTO Evaluacion (IDEvaluacion, IDEvaluacionCrear, IDEmpresa, IDCentro, "
                       "IDPuestoCentro, IDFactor, IDRiesgo, Mostrar, Probabilidad, Consecuencias, ValorRiesgo) "
                       "VALUES (?, ?, 1, ?, ?, ?, ?, 'S', 'Media', 'Dañino', 'Riesgo Moderado')",
                       {fila, fila, centro, puesto, factor, riesgo});
            for (int m = 0; m < 3; ++m)
                c.ejecutar("INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida) VALUES (?, ?, ?)",
                           {fila, QStringLiteral("Medida preventiva %1 del riesgo").arg(m + 1), m % 2 ? "N" : "S"});
        }
    }
}

void preparar()
{
    copia = std::make_unique<CopiaPrograma>();
    QDir(copia->carpeta()).mkdir("Informes");
    for (const QString& f : {Informes::FicheroEvaluacion, Informes::FicheroPlanificacion})
        QFile::copy(QStringLiteral(FUENTES_PROYECTO "/data/informes/") + f, copia->ruta("Informes/" + f));
    FijarCarpetaPrograma(copia->carpeta());
    auto c = Conexion::obtener(copia->conexion());
    Transaccion t(copia->conexion());
    c->ejecutar("INSERT INTO Empresas (IDEmpresa, Nombre, CIF) VALUES (1, 'Consultoría de prueba', 'B00000001')");
    long long puesto = 0, fila = 0;
    llenarCentro(*c, CentroGrande, 50, puesto, fila);
    for (long long centro = 2; centro <= 11; ++centro)
        llenarCentro(*c, centro, 5, puesto, fila);
    t.confirmar();
}

std::unique_ptr<DocumentoInforme> generar(const QString& plantilla, const QString& formula)
{
    MotorInforme motor;
    motor.abrirPlantilla(RutaEnPrograma("Informes/" + plantilla));
    motor.conectarCarpeta(CarpetaPrograma());
    motor.fijarFormula(formula);
    return motor.generar();
}

void EvaluacionAOdt(benchmark::State& estado)
{
    for (auto _ : estado) {
        const auto documento = generar(Informes::FicheroEvaluacion, FormulaEvaluacion(CentroGrande, Empresa));
        EscribirOdt(*documento, copia->ruta("evaluacion.odt"));
    }
}
BENCHMARK(EvaluacionAOdt)->Unit(benchmark::kMillisecond)->Iterations(3);

// Hojas de un PDF escrito por el programa.
int hojasPdf(const QString& ruta)
{
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? int(f.readAll().count("/Type /Page\n")) : 0;
}

// La evaluación de 50 puestos en PDF como la escribe ExportarInformes: rellenar la plantilla y
// escribir el PDF (a trozos, en varios hilos). GUARDAR_PDF=ruta deja el PDF para mirarlo.
void EvaluacionAPdf(benchmark::State& estado)
{
    double rellenar = 0, escribir = 0;
    for (auto _ : estado) {
        QElapsedTimer reloj;
        reloj.start();
        const auto documento = generar(Informes::FicheroEvaluacion, FormulaEvaluacion(CentroGrande, Empresa));
        rellenar += reloj.restart();
        documento->exportarPdf(copia->ruta("evaluacion.pdf"));
        escribir += reloj.restart();
    }
    const double n = double(estado.iterations());
    estado.counters["paginas"] = hojasPdf(copia->ruta("evaluacion.pdf"));
    estado.counters["rellenar_ms"] = rellenar / n;
    estado.counters["escribir_ms"] = escribir / n;
    if (qEnvironmentVariableIsSet("GUARDAR_PDF")) {
        QFile::remove(qEnvironmentVariable("GUARDAR_PDF"));
        QFile::copy(copia->ruta("evaluacion.pdf"), qEnvironmentVariable("GUARDAR_PDF"));
    }
}
BENCHMARK(EvaluacionAPdf)->Unit(benchmark::kMillisecond)->Iterations(5);

// La misma en un solo hilo, como la vista previa, por fases: rellenar la plantilla, leer el HTML,
// componer y cortar las hojas, pintarlas. GUARDAR_HTML=ruta deja el HTML para mirarlo.
void EvaluacionAPdfEnUnHilo(benchmark::State& estado)
{
    int paginas = 0;
    double rellenar = 0, leer = 0, componer = 0, pintar = 0;
    for (auto _ : estado) {
        QElapsedTimer reloj;
        reloj.start();
        const auto documento = generar(Informes::FicheroEvaluacion, FormulaEvaluacion(CentroGrande, Empresa));
        rellenar += reloj.restart();
        benchmark::DoNotOptimize(documento->texto().blockCount());
        leer += reloj.restart();
        paginas = documento->paginas();
        componer += reloj.restart();
        documento->exportarPdf(copia->ruta("evaluacion.pdf"));
        pintar += reloj.restart();
        if (qEnvironmentVariableIsSet("GUARDAR_HTML")) {
            QFile f(qEnvironmentVariable("GUARDAR_HTML"));
            if (f.open(QIODevice::WriteOnly))
                f.write(documento->html().toUtf8());
        }
    }
    const double n = double(estado.iterations());
    estado.counters["paginas"] = paginas;
    estado.counters["rellenar_ms"] = rellenar / n;
    estado.counters["leer_ms"] = leer / n;
    estado.counters["componer_ms"] = componer / n;
    estado.counters["pintar_ms"] = pintar / n;
}
BENCHMARK(EvaluacionAPdfEnUnHilo)->Unit(benchmark::kMillisecond)->Iterations(5);

void EmpresaDeDiezCentrosAPdf(benchmark::State& estado)
{
    int paginas = 0;
    double leerPartes = 0, unir = 0, pintar = 0;
    for (auto _ : estado) {
        QElapsedTimer reloj;
        reloj.start();
        std::vector<std::unique_ptr<DocumentoInforme>> documentos;
        std::vector<ParteEmpresa> partes;
        for (long long centro = 2; centro <= 11; ++centro) {
            documentos.push_back(generar(Informes::FicheroEvaluacion, FormulaEvaluacion(centro, Empresa)));
            partes.push_back({"Evaluación de riesgos", QStringLiteral("Nave %1").arg(centro), documentos.back().get()});
        }
        for (long long centro = 2; centro <= 11; ++centro) {
            documentos.push_back(generar(Informes::FicheroPlanificacion, FormulaPlanificacion(centro)));
            partes.push_back(
                {"Planificación preventiva", QStringLiteral("Nave %1").arg(centro), documentos.back().get()});
        }
        DatosEmpresa empresa;
        empresa.nombre = "Consultoría de prueba";
        leerPartes += reloj.restart();
        // Unir las partes compone ya el documento entero (el índice lleva las hojas).
        const DocumentoEmpresa d = ComponerDocumentoEmpresa(empresa, partes);
        paginas = d.documento->paginas();
        unir += reloj.restart();
        d.documento->exportarPdf(copia->ruta("empresa.pdf"));
        pintar += reloj.restart();
    }
    const double n = double(estado.iterations());
    estado.counters["paginas"] = paginas;
    estado.counters["partes_ms"] = leerPartes / n;
    estado.counters["unir_ms"] = unir / n;
    estado.counters["pintar_ms"] = pintar / n;
}
BENCHMARK(EmpresaDeDiezCentrosAPdf)->Unit(benchmark::kMillisecond)->Iterations(1);
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    preparar();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    copia.reset();
    return 0;
}
