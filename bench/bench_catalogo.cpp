// Abrir la base de una asesoría con un programa de catálogo más nuevo: 2.000 puestos con su copia del
// catálogo (unas 280.000 filas de factores) y un catálogo con diez factores nuevos, que llegan a cada
// puesto como filas sin marcar.
//   AbrirConCatalogoNuevo — copia de la base, su copia de seguridad y la puesta al día del catálogo.
//   AbrirAlDia            — la misma base ya puesta al día: sólo se mira la revisión del catálogo.
#include "CopiaPrograma.h"
#include "store/ActualizacionCatalogo.h"
#include "store/Conexion.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <benchmark/benchmark.h>
#include <memory>
#include <sqlite3.h>

namespace {
constexpr int Empresas = 200, CentrosPorEmpresa = 2, PuestosPorCentro = 5, FactoresNuevos = 10;

std::unique_ptr<CopiaPrograma> copia;
QString base, vieja;

void ejecutar(const QString& archivo, const QString& sql)
{
    sqlite3* bd = nullptr;
    sqlite3_open(QFile::encodeName(archivo).constData(), &bd);
    sqlite3_exec(bd, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    sqlite3_close(bd);
}

void preparar()
{
    copia = std::make_unique<CopiaPrograma>();
    base = copia->ruta("Evaluacion.mdb");
    vieja = copia->ruta("Vieja.mdb");
    ejecutar(base, QStringLiteral(
                       "BEGIN;"
                       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                       "INSERT INTO Empresas (Nombre) SELECT 'Empresa ' || i FROM n;"
                       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %2) "
                       "INSERT INTO CentroTrabajo (IDEmpresa, Direccion) SELECT IDEmpresa, 'Local ' || i FROM "
                       "Empresas, n;"
                       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %3) "
                       "INSERT INTO PuestosCentros (IDCentro, Puesto) SELECT IDCentro, 'Dependiente/a de comercio' "
                       "FROM CentroTrabajo, n;"
                       "INSERT INTO FactoresSeleccionarEvaluacion (IDEmpresa, IDCentro, IDPuestoCentro, "
                       "FactorSelecionado, IDFactor, Factor) SELECT c.IDEmpresa, c.IDCentro, p.IDPuestoCentro, 'N', "
                       "f.IDFactor, f.Factor FROM PuestosCentros p JOIN CentroTrabajo c USING (IDCentro), "
                       "FactoresRiesgos f ORDER BY p.IDPuestoCentro, f.IDFactor;"
                       "COMMIT;")
                       .arg(Empresas)
                       .arg(CentrosPorEmpresa)
                       .arg(PuestosPorCentro));
    QFile::copy(base, vieja);
    // El catálogo del programa: el entregado con diez factores más.
    const QString catalogo = copia->ruta(NombreCatalogoPrograma);
    QFile::copy(QStringLiteral(CARPETA_ENTREGA "/Evaluacion.mdb"), catalogo);
    ejecutar(catalogo, QStringLiteral("BEGIN;"
                                      "UPDATE RevisionCatalogo SET Revision = Revision + 1;"
                                      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                      "INSERT INTO FactoresRiesgos (Factor) SELECT 'Factor nuevo ' || i FROM n;"
                                      "COMMIT;")
                           .arg(FactoresNuevos));
}

void AbrirConCatalogoNuevo(benchmark::State& estado)
{
    for (auto _ : estado) {
        estado.PauseTiming();
        Conexion::cerrarTodas();
        QFile::remove(base);
        for (const char* resto : {"-wal", "-shm"})
            QFile::remove(base + resto);
        QFile::copy(vieja, base);
        for (const QString& bak : QDir(copia->carpeta()).entryList({"*.bak"}))
            QFile::remove(copia->ruta(bak));
        estado.ResumeTiming();
        const auto c = Conexion::obtener(copia->conexion());
        if (c->esquema().catalogoPuestoAlDia == 0)
            estado.SkipWithError("no se ha puesto al día el catálogo");
    }
}
BENCHMARK(AbrirConCatalogoNuevo)->Unit(benchmark::kMillisecond);

void AbrirAlDia(benchmark::State& estado)
{
    Conexion::cerrarTodas();
    Conexion::obtener(copia->conexion());
    for (auto _ : estado) {
        Conexion::cerrarTodas();
        benchmark::DoNotOptimize(Conexion::obtener(copia->conexion()));
    }
}
BENCHMARK(AbrirAlDia)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication aplicacion(argc, argv);
    benchmark::Initialize(&argc, argv);
    preparar();
    benchmark::RunSpecifiedBenchmarks();
    copia.reset();
    return 0;
}
