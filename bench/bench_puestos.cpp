// La ventana de puestos y el inicio de la evaluación en la base de una asesoría: un catálogo de 500
// factores y unas 300.000 medidas ya elegidas en 1.000 puestos.
//   AnadirPuesto      — pulsar "Añadir" en un centro de cinco puestos: el puesto, sus 500 factores y
//                       la cuadrícula releída.
//   ColocarInicio50   — el Colocar del inicio de la evaluación en un centro de 50 puestos: las tres
//                       comprobaciones y el recuento de puestos.
#include "CopiaPrograma.h"
#include "PlataformaPrueba.h"
#include "evaluation/InicioEvaluacion.h"
#include "evaluation/Puestos.h"
#include "shell/Sesion.h"
#include "shell/grid/DataSource.h"
#include "store/Conexion.h"
#include "store/Recordset.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

namespace {
constexpr int FactoresCatalogo = 500;
constexpr int Empresas = 100;
constexpr int CentrosPorEmpresa = 2;
constexpr int PuestosPorCentro = 5;
constexpr int PuestosCentroGrande = 50;
// En cada puesto: 10 factores marcados, 3 riesgos por factor y 10 medidas por riesgo.
constexpr int MedidasPorEvaluacion = 10;

std::unique_ptr<CopiaPrograma> copia;
Sesion sesion;
long long centroPequeno = 0, centroGrande = 0, empresaGrande = 0;

long long valor(const QString& sql)
{
    Recordset rs;
    rs.open(sql, sesion.conexion);
    return rs.value(0).toLongLong();
}

void preparar()
{
    copia = std::make_unique<CopiaPrograma>();
    sesion.conexion = copia->conexion();
    auto c = Conexion::obtener(sesion.conexion);
    Transaccion t(sesion.conexion);
    // El catálogo de factores hasta 500.
    c->ejecutar("WITH RECURSIVE n(i) AS (SELECT (SELECT count(*) FROM FactoresRiesgos) + 1 UNION ALL SELECT i + 1 "
                "FROM n WHERE i < ?) INSERT INTO FactoresRiesgos (Factor) SELECT 'Factor de escala ' || i FROM n",
                {FactoresCatalogo});
    c->ejecutar("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
                "INSERT INTO Empresas (Nombre, Provincia) SELECT 'Empresa ' || i, 'Madrid' FROM n",
                {Empresas + 1});
    c->ejecutar("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
                "INSERT INTO CentroTrabajo (IDEmpresa, NombreCentro, Direccion) "
                "SELECT e.IDEmpresa, 'Local ' || n.i, 'Local ' || n.i FROM Empresas e, n WHERE e.IDEmpresa <= ?",
                {CentrosPorEmpresa, Empresas});
    c->ejecutar(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
        "INSERT INTO PuestosCentros (IDCentro, Puesto, Descripcion, NTrabajadores, TrabajadoresSensibles, Fecha) "
        "SELECT c.IDCentro, 'Puesto ' || n.i, 'Descripción del puesto', '3', 'No existe personal sensible', "
        "'2024-01-01 09:00:00' FROM CentroTrabajo c, n",
        {PuestosPorCentro});
    // El centro de 50 puestos, de la última empresa.
    empresaGrande = valor("SELECT max(IDEmpresa) FROM Empresas");
    c->ejecutar("INSERT INTO CentroTrabajo (IDEmpresa, NombreCentro, Direccion) VALUES (?, 'Nave grande', "
                "'Nave grande')",
                {empresaGrande});
    centroGrande = valor("SELECT max(IDCentro) FROM CentroTrabajo");
    c->ejecutar("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
                "INSERT INTO PuestosCentros (IDCentro, Puesto, Descripcion, NTrabajadores, TrabajadoresSensibles) "
                "SELECT ?, 'Puesto ' || i, 'Descripción', '2', 'Trabajador menor' FROM n",
                {PuestosCentroGrande, centroGrande});
    // La copia del catálogo de cada puesto, con uno de cada 50 factores marcado.
    c->ejecutar("INSERT INTO FactoresSeleccionarEvaluacion (IDEmpresa, IDCentro, IDPuestoCentro, IDFactor, Factor, "
                "FactorSelecionado) SELECT c.IDEmpresa, p.IDCentro, p.IDPuestoCentro, f.IDFactor, f.Factor, "
                "CASE WHEN f.IDFactor % 50 = 0 THEN 'S' ELSE 'N' END FROM PuestosCentros p "
                "JOIN CentroTrabajo c ON c.IDCentro = p.IDCentro CROSS JOIN FactoresRiesgos f");
    c->ejecutar("WITH RECURSIVE r(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM r WHERE k < 3) "
                "INSERT INTO Evaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro, IDFactor, IDRiesgo, "
                "Mostrar, Probabilidad, Consecuencias, ValorRiesgo) SELECT s.IDEvaluacionCrear, s.IDEmpresa, "
                "s.IDCentro, s.IDPuestoCentro, s.IDFactor, s.IDFactor * 3 + r.k, 'S', 'Media', 'Dañino', "
                "'Riesgo Moderado' FROM FactoresSeleccionarEvaluacion s, r WHERE s.FactorSelecionado = 'S'");
    c->ejecutar("WITH RECURSIVE m(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM m WHERE k < ?) "
                "INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida) SELECT e.IDEvaluacion, "
                "'Medida ' || m.k, CASE WHEN m.k = 1 THEN 'S' ELSE 'N' END FROM Evaluacion e, m",
                {MedidasPorEvaluacion});
    t.confirmar();
    c->ejecutar("ANALYZE");
    centroPequeno = valor("SELECT min(IDCentro) FROM CentroTrabajo");
    std::printf("Base: %lld factores de catálogo, %lld puestos, %lld filas de factores, %lld evaluaciones, "
                "%lld medidas\n",
                valor("SELECT count(*) FROM FactoresRiesgos"), valor("SELECT count(*) FROM PuestosCentros"),
                valor("SELECT count(*) FROM FactoresSeleccionarEvaluacion"), valor("SELECT count(*) FROM Evaluacion"),
                valor("SELECT count(*) FROM MedidasFactores"));
}

void AnadirPuesto(benchmark::State& estado)
{
    sesion.idCentro = centroPequeno;
    sesion.idEmpresa = valor("SELECT IDEmpresa FROM CentroTrabajo WHERE IDCentro = " + QString::number(centroPequeno));
    Puestos ventana(sesion);
    auto* puesto = ventana.findChild<QComboBox*>("cmbPuesto");
    auto* descripcion = ventana.findChild<QLineEdit*>("strDescripcion");
    auto* sensibilidad = ventana.findChild<QComboBox*>("cmbSensibilidad");
    auto* trabajadores = ventana.findChild<QLineEdit*>("numTrabajadores");
    auto* anadir = ventana.findChild<QPushButton*>(QStringLiteral("BAñadir"));
    for (auto _ : estado) {
        estado.PauseTiming();
        puesto->setEditText("Carretillero");
        descripcion->setText("Mueve palés en el almacén");
        sensibilidad->setCurrentIndex(4);
        trabajadores->setText("2 por turno");
        estado.ResumeTiming();

        anadir->click();

        estado.PauseTiming();
        if (ventana.findChild<DataSource*>("RPuestos")->rowCount() != PuestosPorCentro + 1)
            estado.SkipWithError("el puesto no se ha añadido");
        Conexion::obtener(sesion.conexion)
            ->ejecutar("DELETE FROM PuestosCentros WHERE IDCentro = ? AND Puesto = "
                       "'Carretillero'",
                       {centroPequeno});
        ventana.Colocar();
        estado.ResumeTiming();
    }
    estado.counters["factores"] = FactoresCatalogo;
}
BENCHMARK(AnadirPuesto)->Unit(benchmark::kMillisecond);

void ColocarInicio50(benchmark::State& estado)
{
    sesion.idCentro = centroGrande;
    sesion.idEmpresa = empresaGrande;
    InicioEvaluacion inicio(sesion);
    if (!inicio.findChild<QPushButton*>("BMedidas")->isEnabled())
        estado.SkipWithError("el centro grande debería tener los cuatro pasos activos");
    for (auto _ : estado)
        inicio.Colocar();
    estado.counters["puestos"] = PuestosCentroGrande;
}
BENCHMARK(ColocarInicio50)->Unit(benchmark::kMillisecond);
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
    std::printf("Avisos durante las medidas: %zu\n", plataforma.mensajes.size());
    copia.reset();
    return 0;
}
