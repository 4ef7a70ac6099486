// Añadir una medida propia a escala de asesoría, de tres maneras (nuestro, ingenuo y directo,
// como en bench_escala). Abrir la ventana de medidas y su Colocar se miden en bench_ventanas.
#include "CopiaPorMedida.h"
#include "PlataformaPrueba.h"
#include "PreparacionMedidas.h"
#include "evaluation/SeleccionaMedidas.h"
#include "evaluation/VentanaAsistente.h"
#include "store/Conexion.h"
#include "store/Recordset.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <memory>
#include <sqlite3.h>

namespace {
QString carpetaEscala;
// Texto de conexión de la copia en uso.
QString conexion;

// Copia de la base de escala con su conexión cruda, y el puesto de en medio entre los que tienen
// medidas con uno de sus factores.
struct Escala : CopiaEscalaCruda, PuestoEscala
{
    QString factor;

    Escala() : CopiaEscalaCruda(carpetaEscala), PuestoEscala(PuestoDeEnMedio(conexion, true))
    {
        ::conexion = conexion;
        Recordset f;
        f.open("SELECT Factor FROM VFactoresMedidas WHERE IDPuestoCentro = ? ORDER BY IDMedidaFactor DESC LIMIT 1",
               conexion, {puesto});
        factor = f.value(0).toString();
    }
};
CopiaPorMedida<Escala> copias;

// Lo añadido en una medida se quita al terminarla: la siguiente, y la ventana, ven el puesto como era.
void quitarAnadidas()
{
    Recordset::execute("DELETE FROM MedidasFactores WHERE Medida = 'Medida propia'", conexion);
}

void AnadirMedida_nuestro(benchmark::State& estado)
{
    Escala& b = copias.actual();
    for (auto _ : estado)
        benchmark::DoNotOptimize(
            SeleccionaMedidas::AnadirMedida(conexion, b.centro, b.puesto, b.empresa, b.factor, "Medida propia"));
    quitarAnadidas();
}

// Toda la vista para buscar el factor y toda la tabla para añadir al final, sin transacción.
void AnadirMedida_ingenuo(benchmark::State& estado)
{
    Escala& b = copias.actual();
    for (auto _ : estado) {
        Recordset vista;
        vista.open("SELECT * FROM VFactoresMedidas", conexion);
        QVariant evaluacion;
        for (; !vista.eof(); vista.moveNext())
            if (vista.value("IDCentro").toLongLong() == b.centro &&
                vista.value("IDPuestoCentro").toLongLong() == b.puesto &&
                vista.value("IDEmpresa").toLongLong() == b.empresa && vista.value("Factor").toString() == b.factor) {
                evaluacion = vista.value("IDEvaluacion");
                break;
            }
        Recordset medidas;
        medidas.open("SELECT * FROM MedidasFactores", conexion);
        medidas.moveLast();
        medidas.addNew();
        medidas.setValue("IDEvaluacion", evaluacion);
        medidas.setValue("Medida", "Medida propia");
        medidas.setValue("MarcarMedida", "S");
        medidas.update();
    }
    quitarAnadidas();
}

void AnadirMedida_directo(benchmark::State& estado)
{
    Escala& b = copias.actual();
    sqlite3_stmt* buscar = nullptr;
    sqlite3_stmt* insertar = nullptr;
    sqlite3_prepare_v2(b.crudo,
                       "SELECT IDEvaluacion FROM VFactoresMedidas WHERE IDCentro = ? AND IDPuestoCentro = ? AND "
                       "IDEmpresa = ? AND Factor = ? ORDER BY IDMedidaFactor LIMIT 1",
                       -1, &buscar, nullptr);
    sqlite3_prepare_v2(b.crudo, "INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida) VALUES (?, ?, 'S')",
                       -1, &insertar, nullptr);
    const QByteArray factor = b.factor.toUtf8();
    for (auto _ : estado) {
        sqlite3_exec(b.crudo, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        sqlite3_bind_int64(buscar, 1, b.centro);
        sqlite3_bind_int64(buscar, 2, b.puesto);
        sqlite3_bind_int64(buscar, 3, b.empresa);
        sqlite3_bind_text(buscar, 4, factor.constData(), int(factor.size()), SQLITE_STATIC);
        if (sqlite3_step(buscar) == SQLITE_ROW) {
            sqlite3_bind_int64(insertar, 1, sqlite3_column_int64(buscar, 0));
            sqlite3_bind_text(insertar, 2, "Medida propia", -1, SQLITE_STATIC);
            sqlite3_step(insertar);
            sqlite3_reset(insertar);
        }
        sqlite3_reset(buscar);
        sqlite3_exec(b.crudo, "COMMIT", nullptr, nullptr, nullptr);
    }
    sqlite3_finalize(buscar);
    sqlite3_finalize(insertar);
    quitarAnadidas();
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
    copias.registrar("Añadir una medida/nuestro", AnadirMedida_nuestro)->Unit(benchmark::kMillisecond);
    // Lo ingenuo tarda mucho más: pocas vueltas bastan.
    copias.registrar("Añadir una medida/ingenuo", AnadirMedida_ingenuo)->Unit(benchmark::kMillisecond)->Iterations(3);
    copias.registrar("Añadir una medida/directo", AnadirMedida_directo)->Unit(benchmark::kMillisecond);
    PasarMedidas(argc, argv);
    copias.soltar();
    return 0;
}
