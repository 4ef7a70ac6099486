// El plan de un centro grande sobre la base de escala de asesoría: abrir su ventana con 200 líneas
// y proponer líneas desde una evaluación de 50 puestos con 30 riesgos cada uno.
#include "CopiaPorMedida.h"
#include "PlataformaPrueba.h"
#include "PreparacionMedidas.h"
#include "planning/ActuacionPreventiva.h"
#include "plataforma/Reloj.h"
#include "shell/Sesion.h"
#include "shell/grid/DataSource.h"
#include "store/Conexion.h"
#include "store/PlanAcciones.h"

#include <QApplication>
#include <QDate>
#include <benchmark/benchmark.h>

namespace {
QString carpetaEscala;
Sesion sesion;

const int Puestos = 50;
const int RiesgosPorPuesto = 30;
const int LineasPlan = 200;
const QStringList Niveles{"Riesgo Trivial", "Riesgo Tolerable", "Riesgo Moderado", "Riesgo Importante",
                          "Riesgo Intolerable"};

long long insertar(Conexion& c, const QString& sql, const QVariantList& valores)
{
    c.ejecutar(sql, valores);
    return c.leerFilas("SELECT last_insert_rowid()").front()[0].toLongLong();
}

// Un centro más en una empresa de la cartera, evaluado entero: cada riesgo sale de dos factores
// (una fila mostrada y otra no) con tres medidas cada una, dos elegidas y alguna ya implantada; y
// un plan con la mitad de las líneas de un riesgo y la otra mitad generales.
void llenarCentroGrande(Conexion& c)
{
    Transaccion t(c);
    const long long empresa = c.leerFilas("SELECT min(IDEmpresa) FROM Empresas").front()[0].toLongLong();
    const long long centro = insertar(
        c, "INSERT INTO CentroTrabajo (IDEmpresa, NombreCentro, Direccion) VALUES (?, 'Nave grande', 'Polígono 7')",
        {empresa});
    const auto riesgos = c.leerFilas("SELECT IDRiesgo FROM Riesgos ORDER BY IDRiesgo LIMIT ?", {RiesgosPorPuesto});
    std::vector<long long> mostradas;
    for (int p = 0; p < Puestos; ++p) {
        const long long puesto =
            insertar(c, "INSERT INTO PuestosCentros (IDCentro, Puesto, NTrabajadores) VALUES (?, ?, ?)",
                     {centro, QString("Puesto %1").arg(p + 1), QString::number(1 + p % 7)});
        for (int r = 0; r < int(riesgos.size()); ++r) {
            for (int copia = 0; copia < 2; ++copia) {
                const long long factor =
                    insertar(c,
                             "INSERT INTO FactoresSeleccionarEvaluacion (IDEmpresa, IDCentro, IDPuestoCentro, "
                             "IDFactor, Factor, FactorSelecionado) VALUES (?, ?, ?, ?, 'Factor', 'S')",
                             {empresa, centro, puesto, r * 2 + copia + 1});
                const long long fila =
                    insertar(c,
                             "INSERT INTO Evaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro, "
                             "IDFactor, IDRiesgo, Mostrar, Probabilidad, Consecuencias, ValorRiesgo) VALUES (?, ?, "
                             "?, ?, ?, ?, ?, 'Media', 'Dañino', ?)",
                             {factor, empresa, centro, puesto, r * 2 + copia + 1, riesgos[r][0], copia == 0 ? "S" : "N",
                              Niveles[(p + r) % Niveles.size()]});
                if (copia == 0)
                    mostradas.push_back(fila);
                for (int m = 0; m < 3; ++m)
                    c.ejecutar("INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida, Implantada) "
                               "VALUES (?, ?, ?, ?)",
                               {fila, QString("Medida %1 del riesgo %2").arg(m + copia).arg(r + 1), m < 2 ? "S" : "N",
                                (p + m) % 5 == 0 ? "S" : "N"});
            }
        }
    }
    const long long plan = insertar(
        c, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro, Persona, Cargo) VALUES (?, 'Ana Gil', 'Empresario')",
        {centro});
    for (int l = 0; l < LineasPlan; ++l)
        c.ejecutar("INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva, FechaLimite, "
                   "ResponsableEjecucion, PresupuestoAproximado, IDEvaluacion, Estado) VALUES (?, ?, ?, 'Ana Gil', "
                   "'150', ?, ?)",
                   {plan, QString("Acción %1").arg(l + 1), QDate(2027, 1, 1).addDays(l * 3),
                    l % 2 ? QVariant() : QVariant(mostradas[size_t(l) * 7 % mostradas.size()]), EstadosLinea()[l % 4]});
    t.confirmar();
    sesion.idEmpresa = empresa;
    sesion.idCentro = centro;
}

struct Escala : CopiaEscala
{
    Escala() : CopiaEscala(carpetaEscala)
    {
        sesion.conexion = conexion;
        llenarCentroGrande(*Conexion::obtener(sesion.conexion));
    }
};
CopiaPorMedida<Escala> copias;

void AbrirPlan(benchmark::State& estado)
{
    for (auto _ : estado) {
        ActuacionPreventiva v(sesion);
        benchmark::DoNotOptimize(&v);
    }
    ActuacionPreventiva v(sesion);
    estado.counters["lineas"] = v.lineas()->rowCount();
}

void Proponer(benchmark::State& estado)
{
    Conexion& c = *Conexion::obtener(sesion.conexion);
    size_t propuestas = 0;
    for (auto _ : estado)
        propuestas = ProponerDesdeEvaluacion(c, sesion.idCentro, QDate(2027, 6, 2)).size();
    estado.counters["propuestas"] = double(propuestas);
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication aplicacion(argc, argv);
    PlataformaPrueba plataforma;
    FijarHoy(QDate(2027, 6, 2));
    carpetaEscala = LeerBaseEscala();
    if (carpetaEscala.isEmpty())
        return 2;
    copias.registrar("Abrir ActuacionPreventiva con 200 líneas/nuestro", AbrirPlan)->Unit(benchmark::kMillisecond);
    copias.registrar("Proponer desde 50 puestos por 30 riesgos/nuestro", Proponer)->Unit(benchmark::kMillisecond);
    PasarMedidas(argc, argv);
    copias.soltar();
    return 0;
}
