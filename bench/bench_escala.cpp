// Cada acción del usuario a escala de asesoría, medida de tres maneras en la misma pasada:
//   nuestro  — como la hace el programa;
//   ingenuo  — una sentencia por fila, leyendo la tabla entera para añadir una fila;
//   directo  — el coste mínimo de SQLite para las mismas filas (sentencias preparadas, una transacción).
// bench/tabla.py junta las tres en una tabla con sus proporciones.
#include "AccionesPrograma.h"
#include "CopiaPorMedida.h"
#include "PreparacionMedidas.h"
#include "evaluation/DatosPuesto.h"
#include "evaluation/GeneracionRiesgos.h"
#include "evaluation/MatrizRiesgo.h"
#include "repair/Compactacion.h"
#include "shell/Comprobaciones.h"
#include "store/Conexion.h"
#include "store/Recordset.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>
#include <sqlite3.h>
#include <vector>

namespace {
QString carpetaEscala;
// Texto de conexión de la copia en uso.
QString conexion;

// Copia de la base de escala para las medidas, con su conexión cruda, y un puesto de un centro de
// en medio de la cartera.
struct Escala : CopiaEscalaCruda, PuestoEscala
{
    FilaFactor factorGrande; // el de diez riesgos, cuando una medida lo ha puesto en esta copia

    Escala() : CopiaEscalaCruda(carpetaEscala), PuestoEscala(PuestoDeEnMedio(conexion, false))
    {
        ::conexion = conexion;
    }

    void exec(const char* sql) { sqlite3_exec(crudo, sql, nullptr, nullptr, nullptr); }
};

CopiaPorMedida<Escala> copias;

Escala& base()
{
    return copias.actual();
}

// Sentencia cruda de usar y tirar con enlace de enteros y textos.
struct Crudo
{
    sqlite3_stmt* s = nullptr;
    Crudo(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &s, nullptr); }
    ~Crudo() { sqlite3_finalize(s); }
    Crudo& entero(int i, long long v)
    {
        sqlite3_bind_int64(s, i, v);
        return *this;
    }
    Crudo& texto(int i, const QByteArray& v)
    {
        sqlite3_bind_text(s, i, v.constData(), int(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    bool paso() { return sqlite3_step(s) == SQLITE_ROW; }
    void otra()
    {
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
    }
    long long col(int i) { return sqlite3_column_int64(s, i); }
};

// Lectura de la tabla entera, como quien abre "Select * from Tabla" y va al final para añadir.
void leerTablaEntera(Recordset& rs, const QString& tabla)
{
    rs.open("SELECT * FROM " + tabla, conexion);
    if (!rs.eof())
        rs.moveLast();
}

QList<QPair<long long, QString>> catalogoFactores()
{
    QList<QPair<long long, QString>> f;
    Recordset rs;
    rs.open("SELECT IDFactor, Factor FROM FactoresRiesgos ORDER BY IDFactor", conexion);
    for (; !rs.eof(); rs.moveNext())
        f.append({rs.value(0).toLongLong(), rs.value(1).toString()});
    return f;
}

// ---------------------------------------------------------------- alta de un puesto
NuevoPuesto puestoNuevo(const Escala& b)
{
    NuevoPuesto p;
    p.idCentro = b.centro;
    p.idEmpresa = b.empresa;
    p.puesto = "Carretillero";
    p.descripcion = "Manejo de carretilla elevadora";
    p.trabajadores = "2";
    return p;
}

void borrarPuesto(long long id)
{
    Conexion::obtener(conexion)->ejecutar("DELETE FROM PuestosCentros WHERE IDPuestoCentro = ?", {id});
}

void AnadirPuesto_nuestro(benchmark::State& estado)
{
    Escala& b = base();
    for (auto _ : estado) {
        const long long id = AnadirPuestoConFactores(conexion, puestoNuevo(b));
        estado.PauseTiming();
        borrarPuesto(id);
        estado.ResumeTiming();
    }
}

void AnadirPuesto_ingenuo(benchmark::State& estado)
{
    Escala& b = base();
    const auto factores = catalogoFactores();
    for (auto _ : estado) {
        Recordset puestos;
        leerTablaEntera(puestos, "PuestosCentros");
        puestos.addNew();
        puestos.setValue("IDCentro", b.centro);
        puestos.setValue("Puesto", "Carretillero");
        puestos.update();
        const long long id = puestos.lastInsertId();
        Recordset filas;
        leerTablaEntera(filas, "FactoresSeleccionarEvaluacion");
        for (const auto& [idFactor, factor] : factores) {
            filas.addNew();
            filas.setValue("IDEmpresa", b.empresa);
            filas.setValue("IDCentro", b.centro);
            filas.setValue("IDPuestoCentro", id);
            filas.setValue("IDFactor", idFactor);
            filas.setValue("Factor", factor);
            filas.setValue("FactorSelecionado", "N");
            filas.update();
        }
        estado.PauseTiming();
        borrarPuesto(id);
        estado.ResumeTiming();
    }
}

void AnadirPuesto_directo(benchmark::State& estado)
{
    Escala& b = base();
    const auto factores = catalogoFactores();
    for (auto _ : estado) {
        b.exec("BEGIN");
        Crudo(b.crudo, "INSERT INTO PuestosCentros (IDCentro, Puesto) VALUES (?, 'Carretillero')")
            .entero(1, b.centro)
            .paso();
        const long long id = sqlite3_last_insert_rowid(b.crudo);
        Crudo f(b.crudo, "INSERT INTO FactoresSeleccionarEvaluacion (IDEmpresa, IDCentro, IDPuestoCentro, IDFactor, "
                         "Factor, FactorSelecionado) VALUES (?, ?, ?, ?, ?, 'N')");
        for (const auto& [idFactor, factor] : factores) {
            f.entero(1, b.empresa).entero(2, b.centro).entero(3, id).entero(4, idFactor).texto(5, factor.toUtf8());
            f.paso();
            f.otra();
        }
        b.exec("COMMIT");
        estado.PauseTiming();
        borrarPuesto(id);
        estado.ResumeTiming();
    }
}

// ---------------------------------------------------------------- marcar un factor
// El caso caro: un factor que da 10 riesgos con 6 medidas cada uno (el catálogo entregado no tiene
// ninguno tan grande). Se añade una vez al catálogo de la copia, con su fila sin marcar en el puesto.
FilaFactor factorSinMarcar(Escala& b)
{
    FilaFactor& f = b.factorGrande;
    if (f.idFactor != 0)
        return f;
    const auto id = [&](const QByteArray& sql) {
        Crudo(b.crudo, sql.constData()).paso();
        return sqlite3_last_insert_rowid(b.crudo);
    };
    Crudo(b.crudo, "BEGIN").paso();
    const long long idFactor = id("INSERT INTO FactoresRiesgos (Factor) VALUES ('Factor de diez riesgos')");
    Crudo riesgos(b.crudo, "SELECT IDRiesgo FROM Riesgos ORDER BY IDRiesgo LIMIT 10");
    QList<long long> ids;
    while (riesgos.paso())
        ids << riesgos.col(0);
    for (const long long idRiesgo : ids) {
        Crudo(b.crudo, "INSERT INTO RiesgosFactores (IDFactor, IDRiesgo) VALUES (?, ?)")
            .entero(1, idFactor)
            .entero(2, idRiesgo)
            .paso();
        for (int m = 1; m <= 6; ++m)
            Crudo(b.crudo, "INSERT INTO Medidas (IDRiesgo, IDFactor, Medida) VALUES (?, ?, 'Medida de prueba')")
                .entero(1, idRiesgo)
                .entero(2, idFactor)
                .paso();
    }
    f.idEvaluacionCrear =
        id(QByteArray("INSERT INTO FactoresSeleccionarEvaluacion (IDEmpresa, IDCentro, IDPuestoCentro, "
                      "IDFactor, Factor, FactorSelecionado) VALUES (") +
           QByteArray::number(b.empresa) + ", " + QByteArray::number(b.centro) + ", " + QByteArray::number(b.puesto) +
           ", " + QByteArray::number(idFactor) + ", 'Factor de diez riesgos', 'N')");
    Crudo(b.crudo, "COMMIT").paso();
    f.idFactor = idFactor;
    f.idPuestoCentro = b.puesto;
    f.idCentro = b.centro;
    f.idEmpresa = b.empresa;
    return f;
}

void quitarFilasDe(long long idEvaluacionCrear)
{
    Conexion::obtener(conexion)->ejecutar("DELETE FROM Evaluacion WHERE IDEvaluacionCrear = ?", {idEvaluacionCrear});
}

void MarcarFactor_nuestro(benchmark::State& estado)
{
    Escala& b = base();
    const FilaFactor f = factorSinMarcar(b);
    for (auto _ : estado) {
        MarcarFactor(conexion, f);
        estado.PauseTiming();
        DesmarcarFactor(conexion, f.idEvaluacionCrear);
        estado.ResumeTiming();
    }
}

void MarcarFactor_ingenuo(benchmark::State& estado)
{
    Escala& b = base();
    const FilaFactor f = factorSinMarcar(b);
    for (auto _ : estado) {
        Recordset riesgos;
        riesgos.open("SELECT * FROM RiesgosFactores", conexion);
        Recordset evaluacion;
        leerTablaEntera(evaluacion, "Evaluacion");
        for (; !riesgos.eof(); riesgos.moveNext()) {
            if (riesgos.value("IDFactor").toLongLong() != f.idFactor)
                continue;
            const long long idRiesgo = riesgos.value("IDRiesgo").toLongLong();
            evaluacion.addNew();
            evaluacion.setValue("IDEvaluacionCrear", f.idEvaluacionCrear);
            evaluacion.setValue("IDEmpresa", f.idEmpresa);
            evaluacion.setValue("IDCentro", f.idCentro);
            evaluacion.setValue("IDPuestoCentro", f.idPuestoCentro);
            evaluacion.setValue("IDFactor", f.idFactor);
            evaluacion.setValue("IDRiesgo", idRiesgo);
            evaluacion.setValue("Mostrar", "S");
            evaluacion.update();
            const long long idEvaluacion = evaluacion.lastInsertId();
            Recordset medidas;
            medidas.open("SELECT * FROM Medidas", conexion);
            Recordset filas;
            leerTablaEntera(filas, "MedidasFactores");
            for (; !medidas.eof(); medidas.moveNext()) {
                if (medidas.value("IDRiesgo").toLongLong() != idRiesgo ||
                    medidas.value("IDFactor").toLongLong() != f.idFactor)
                    continue;
                filas.addNew();
                filas.setValue("IDEvaluacion", idEvaluacion);
                filas.setValue("Medida", medidas.value("Medida"));
                filas.setValue("MarcarMedida", "N");
                filas.update();
            }
        }
        estado.PauseTiming();
        quitarFilasDe(f.idEvaluacionCrear);
        estado.ResumeTiming();
    }
}

void MarcarFactor_directo(benchmark::State& estado)
{
    Escala& b = base();
    const FilaFactor f = factorSinMarcar(b);
    for (auto _ : estado) {
        b.exec("BEGIN");
        Crudo riesgos(b.crudo, "SELECT IDRiesgo FROM RiesgosFactores WHERE IDFactor = ?");
        riesgos.entero(1, f.idFactor);
        Crudo fila(b.crudo, "INSERT INTO Evaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro, IDFactor, "
                            "IDRiesgo, Mostrar) VALUES (?, ?, ?, ?, ?, ?, 'S')");
        Crudo medidas(b.crudo, "INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida) SELECT ?, Medida, 'N' "
                               "FROM Medidas WHERE IDRiesgo = ? AND IDFactor = ?");
        while (riesgos.paso()) {
            const long long idRiesgo = riesgos.col(0);
            fila.entero(1, f.idEvaluacionCrear).entero(2, f.idEmpresa).entero(3, f.idCentro);
            fila.entero(4, f.idPuestoCentro).entero(5, f.idFactor).entero(6, idRiesgo).paso();
            fila.otra();
            medidas.entero(1, sqlite3_last_insert_rowid(b.crudo)).entero(2, idRiesgo).entero(3, f.idFactor).paso();
            medidas.otra();
        }
        Crudo(b.crudo, "UPDATE FactoresSeleccionarEvaluacion SET FactorSelecionado = 'S' WHERE IDEvaluacionCrear = ?")
            .entero(1, f.idEvaluacionCrear)
            .paso();
        b.exec("COMMIT");
        estado.PauseTiming();
        quitarFilasDe(f.idEvaluacionCrear);
        Recordset::execute(
            "UPDATE FactoresSeleccionarEvaluacion SET FactorSelecionado = 'N' WHERE IDEvaluacionCrear = ?", conexion,
            {f.idEvaluacionCrear});
        estado.ResumeTiming();
    }
}

// ---------------------------------------------------------------- desmarcar un factor
FilaFactor factorMarcado(const Escala& b)
{
    Recordset rs;
    rs.open("SELECT IDEvaluacionCrear, IDFactor FROM FactoresSeleccionarEvaluacion WHERE IDPuestoCentro = ? AND "
            "FactorSelecionado = 'S' ORDER BY IDEvaluacionCrear LIMIT 1",
            conexion, {b.puesto});
    FilaFactor f;
    f.idEvaluacionCrear = rs.value(0).toLongLong();
    f.idFactor = rs.value(1).toLongLong();
    f.idPuestoCentro = b.puesto;
    f.idCentro = b.centro;
    f.idEmpresa = b.empresa;
    return f;
}

void DesmarcarFactor_nuestro(benchmark::State& estado)
{
    Escala& b = base();
    const FilaFactor f = factorMarcado(b);
    for (auto _ : estado) {
        DesmarcarFactor(conexion, f.idEvaluacionCrear);
        estado.PauseTiming();
        MarcarFactor(conexion, f);
        estado.ResumeTiming();
    }
}

void DesmarcarFactor_ingenuo(benchmark::State& estado)
{
    Escala& b = base();
    const FilaFactor f = factorMarcado(b);
    for (auto _ : estado) {
        // Recorre la tabla entera borrando las filas del factor, y luego vuelve a mirar todas las
        // del puesto para dejar una mostrada por riesgo, una sentencia por fila.
        Recordset todas;
        todas.open("SELECT IDEvaluacion, IDEvaluacionCrear FROM Evaluacion", conexion);
        std::vector<long long> borrar;
        for (; !todas.eof(); todas.moveNext())
            if (todas.value(1).toLongLong() == f.idEvaluacionCrear)
                borrar.push_back(todas.value(0).toLongLong());
        for (long long id : borrar)
            Recordset::execute("DELETE FROM Evaluacion WHERE IDEvaluacion = ?", conexion, {id});
        Recordset puesto;
        puesto.open("SELECT IDEvaluacion, IDPuestoCentro, IDRiesgo, Mostrar FROM Evaluacion", conexion);
        QSet<long long> vistos;
        for (; !puesto.eof(); puesto.moveNext()) {
            if (puesto.value(1).toLongLong() != f.idPuestoCentro)
                continue;
            const long long riesgo = puesto.value(2).toLongLong();
            Recordset::execute("UPDATE Evaluacion SET Mostrar = ? WHERE IDEvaluacion = ?", conexion,
                               {vistos.contains(riesgo) ? "N" : "S", puesto.value(0)});
            vistos.insert(riesgo);
        }
        estado.PauseTiming();
        GenerarRiesgos(conexion, f);
        estado.ResumeTiming();
    }
}

void DesmarcarFactor_directo(benchmark::State& estado)
{
    Escala& b = base();
    const FilaFactor f = factorMarcado(b);
    for (auto _ : estado) {
        b.exec("BEGIN");
        Crudo(b.crudo, "DELETE FROM Evaluacion WHERE IDEvaluacionCrear = ?").entero(1, f.idEvaluacionCrear).paso();
        Crudo(b.crudo, "UPDATE Evaluacion SET Mostrar = 'S' WHERE IDEvaluacion IN (SELECT min(IDEvaluacion) FROM "
                       "Evaluacion WHERE IDPuestoCentro = ?1 GROUP BY IDRiesgo HAVING sum(Mostrar = 'S') = 0)")
            .entero(1, f.idPuestoCentro)
            .paso();
        b.exec("COMMIT");
        estado.PauseTiming();
        GenerarRiesgos(conexion, f);
        estado.ResumeTiming();
    }
}

// ---------------------------------------------------------------- evaluar un riesgo
const char* const grados[][2] = {{"Alta", "Dañino"}, {"Baja", "Ligeramente Dañino"}};

void EvaluarRiesgo_nuestro(benchmark::State& estado)
{
    EvaluarRiesgoComoLaVentana(estado, conexion, base().puesto);
}

void EvaluarRiesgo_ingenuo(benchmark::State& estado)
{
    Escala& b = base();
    Recordset uno;
    uno.open("SELECT IDEvaluacion FROM Evaluacion WHERE IDPuestoCentro = ? AND Mostrar = 'S'", conexion, {b.puesto});
    const long long id = uno.value(0).toLongLong();
    int k = 0;
    for (auto _ : estado) {
        const auto& g = grados[k++ % 2];
        Recordset rs;
        rs.open("SELECT * FROM Evaluacion", conexion);
        rs.findValue("IDEvaluacion", id);
        rs.setValue("Probabilidad", g[0]);
        rs.setValue("Consecuencias", g[1]);
        rs.setValue("ValorRiesgo", NivelRiesgo(g[0], g[1]));
        rs.update();
    }
}

void EvaluarRiesgo_directo(benchmark::State& estado)
{
    Escala& b = base();
    Recordset uno;
    uno.open("SELECT IDEvaluacion FROM Evaluacion WHERE IDPuestoCentro = ? AND Mostrar = 'S'", conexion, {b.puesto});
    const long long id = uno.value(0).toLongLong();
    Crudo u(b.crudo,
            "UPDATE Evaluacion SET Probabilidad = ?, Consecuencias = ?, ValorRiesgo = ? WHERE IDEvaluacion = ?");
    int k = 0;
    for (auto _ : estado) {
        const auto& g = grados[k++ % 2];
        u.texto(1, g[0]).texto(2, g[1]).texto(3, NivelRiesgo(g[0], g[1]).toUtf8()).entero(4, id).paso();
        u.otra();
    }
}

// ---------------------------------------------------------------- grabar la evaluación del puesto
void GrabarEvaluacion_nuestro(benchmark::State& estado)
{
    Escala& b = base();
    for (auto _ : estado)
        benchmark::DoNotOptimize(CopiarEvaluacionAOcultas(conexion, b.puesto));
}

void GrabarEvaluacion_ingenuo(benchmark::State& estado)
{
    Escala& b = base();
    for (auto _ : estado) {
        Recordset todas;
        todas.open("SELECT * FROM Evaluacion", conexion);
        QHash<long long, QVariantList> mostradas;
        QList<QPair<long long, long long>> ocultas;
        for (; !todas.eof(); todas.moveNext()) {
            if (todas.value("IDPuestoCentro").toLongLong() != b.puesto)
                continue;
            const long long riesgo = todas.value("IDRiesgo").toLongLong();
            if (todas.value("Mostrar").toString() == "S")
                mostradas[riesgo] = {todas.value("Probabilidad"), todas.value("Consecuencias"),
                                     todas.value("ValorRiesgo")};
            else
                ocultas.append({todas.value("IDEvaluacion").toLongLong(), riesgo});
        }
        for (const auto& [id, riesgo] : ocultas)
            if (mostradas.contains(riesgo)) {
                const auto& g = mostradas[riesgo];
                Recordset::execute("UPDATE Evaluacion SET Probabilidad = ?, Consecuencias = ?, ValorRiesgo = ? WHERE "
                                   "IDEvaluacion = ?",
                                   conexion, {g[0], g[1], g[2], id});
            }
    }
}

void GrabarEvaluacion_directo(benchmark::State& estado)
{
    Escala& b = base();
    Crudo u(b.crudo, "UPDATE Evaluacion AS o SET Probabilidad = m.Probabilidad, Consecuencias = m.Consecuencias, "
                     "ValorRiesgo = m.ValorRiesgo FROM Evaluacion AS m WHERE o.IDPuestoCentro = ?1 AND o.Mostrar = 'N' "
                     "AND m.IDPuestoCentro = ?1 AND m.IDRiesgo = o.IDRiesgo AND m.Mostrar = 'S'");
    for (auto _ : estado) {
        u.entero(1, b.puesto).paso();
        u.otra();
    }
}

// ---------------------------------------------------------------- marcar una medida
void MarcarMedida_nuestro(benchmark::State& estado)
{
    MarcarMedidaComoLaVentana(estado, conexion, base().puesto);
}

void MarcarMedida_ingenuo(benchmark::State& estado)
{
    Escala& b = base();
    Recordset una;
    una.open("SELECT IDMedidaFactor FROM VFactoresMedidas WHERE IDPuestoCentro = ?", conexion, {b.puesto});
    const long long id = una.value(0).toLongLong();
    int k = 0;
    for (auto _ : estado) {
        Recordset rs;
        rs.open("SELECT * FROM MedidasFactores", conexion);
        rs.findValue("IDMedidaFactor", id);
        rs.setValue("MarcarMedida", k++ % 2 ? "S" : "N");
        rs.update();
    }
}

void MarcarMedida_directo(benchmark::State& estado)
{
    Escala& b = base();
    Recordset una;
    una.open("SELECT IDMedidaFactor FROM VFactoresMedidas WHERE IDPuestoCentro = ?", conexion, {b.puesto});
    const long long id = una.value(0).toLongLong();
    Crudo u(b.crudo, "UPDATE MedidasFactores SET MarcarMedida = ? WHERE IDMedidaFactor = ?");
    int k = 0;
    for (auto _ : estado) {
        u.texto(1, k++ % 2 ? "S" : "N").entero(2, id).paso();
        u.otra();
    }
}

// ---------------------------------------------------------------- las tres comprobaciones del centro
void Comprobaciones_nuestro(benchmark::State& estado)
{
    Escala& b = base();
    ComprobacionesDelCentro(estado, conexion, b.empresa, b.centro);
}

void Comprobaciones_ingenuo(benchmark::State& estado)
{
    Escala& b = base();
    for (auto _ : estado) {
        // Cuenta a mano recorriendo las tablas enteras.
        QHash<long long, int> factores, mostrados, evaluados, medidas;
        Recordset f;
        f.open("SELECT * FROM FactoresSeleccionarEvaluacion", conexion);
        for (; !f.eof(); f.moveNext())
            if (f.value("IDCentro").toLongLong() == b.centro && f.value("FactorSelecionado").toString() == "S")
                ++factores[f.value("IDPuestoCentro").toLongLong()];
        Recordset e;
        e.open("SELECT * FROM Evaluacion", conexion);
        for (; !e.eof(); e.moveNext())
            if (e.value("IDCentro").toLongLong() == b.centro && e.value("Mostrar").toString() == "S") {
                ++mostrados[e.value("IDPuestoCentro").toLongLong()];
                if (!e.value("ValorRiesgo").toString().isEmpty())
                    ++evaluados[e.value("IDPuestoCentro").toLongLong()];
            }
        Recordset m;
        m.open("SELECT * FROM VFactoresMedidas", conexion);
        for (; !m.eof(); m.moveNext())
            if (m.value("IDCentro").toLongLong() == b.centro && m.value("MarcarMedida").toString() == "S")
                ++medidas[m.value("IDEvaluacionCrear").toLongLong()];
        benchmark::DoNotOptimize(factores.size() + mostrados.size() + evaluados.size() + medidas.size());
    }
}

void Comprobaciones_directo(benchmark::State& estado)
{
    Escala& b = base();
    Crudo f(b.crudo, "SELECT count(*) FROM VEvaluacionFactoresSeleccionados WHERE IDEmpresa = ? AND IDCentro = ? AND "
                     "Total = 0");
    Crudo r(b.crudo,
            "SELECT count(*) FROM VEvaluacionRiesgos WHERE IDEmpresa = ? AND IDCentro = ? AND Total1 <> Total2");
    Crudo m(b.crudo, "SELECT count(*) FROM VEvaluacionMedidas WHERE IDEmpresa = ? AND IDCentro = ? AND Total = 0");
    for (auto _ : estado)
        for (Crudo* c : {&f, &r, &m}) {
            c->entero(1, b.empresa).entero(2, b.centro).paso();
            benchmark::DoNotOptimize(c->col(0));
            c->otra();
        }
}

// ---------------------------------------------------------------- añadir una línea al plan
long long planDelCentro(const Escala& b)
{
    Recordset rs;
    rs.open("SELECT IDActuacion FROM \"ActuaciónPreventiva\" WHERE IDCentro = ?", conexion, {b.centro});
    return rs.value(0).toLongLong();
}

void quitarLinea(long long id)
{
    Recordset::execute("DELETE FROM \"ActuaciónPreventivaRegistro\" WHERE IDActuacionRegistro = ?", conexion, {id});
}

void AnadirLineaPlan_nuestro(benchmark::State& estado)
{
    Escala& b = base();
    const long long plan = planDelCentro(b);
    for (auto _ : estado) {
        const long long id = AnadirLineaComoLaVentana(conexion, plan);
        estado.PauseTiming();
        quitarLinea(id);
        estado.ResumeTiming();
    }
}

void AnadirLineaPlan_ingenuo(benchmark::State& estado)
{
    Escala& b = base();
    const long long plan = planDelCentro(b);
    for (auto _ : estado) {
        Recordset rs;
        leerTablaEntera(rs, "\"ActuaciónPreventivaRegistro\"");
        const long long id = AnadirLinea(rs, plan);
        estado.PauseTiming();
        quitarLinea(id);
        estado.ResumeTiming();
    }
}

void AnadirLineaPlan_directo(benchmark::State& estado)
{
    Escala& b = base();
    const long long plan = planDelCentro(b);
    Crudo i(b.crudo, "INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva, FechaLimite, "
                     "ResponsableEjecucion, PresupuestoAproximado) VALUES (?, 'Revisión de extintores', '2027-03-01', "
                     "'Gerencia', '150')");
    for (auto _ : estado) {
        i.entero(1, plan).paso();
        i.otra();
        estado.PauseTiming();
        quitarLinea(sqlite3_last_insert_rowid(b.crudo));
        estado.ResumeTiming();
    }
}

// ---------------------------------------------------------------- compactar la base entera
// Sobre una copia propia en cada vuelta: la compactación cambia el archivo de sitio.
void Compactar_nuestro(benchmark::State& estado)
{
    for (auto _ : estado) {
        estado.PauseTiming();
        QTemporaryDir dir;
        for (const char* nombre : {"Evaluacion.mdb", "SYSTEM.mdw"})
            QFile::copy(carpetaEscala + "/" + nombre, dir.filePath(nombre));
        estado.ResumeTiming();
        const ResultadoCompactacion r = CompactarBaseDatos(dir.path(), ConfiguracionRegionalDestino);
        if (r.estado != ResultadoCompactacion::Estado::Compactada)
            estado.SkipWithError(r.mensaje.toUtf8().constData());
    }
}

void Compactar_directo(benchmark::State& estado)
{
    for (auto _ : estado) {
        estado.PauseTiming();
        QTemporaryDir dir;
        QFile::copy(carpetaEscala + "/Evaluacion.mdb", dir.filePath("Evaluacion.mdb"));
        estado.ResumeTiming();
        sqlite3* db = nullptr;
        sqlite3_open_v2(dir.filePath("Evaluacion.mdb").toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        const QByteArray sql = "VACUUM INTO '" + dir.filePath("Evaluacion2.mdb").toUtf8() + "'";
        sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
        sqlite3_close_v2(db);
        QFile::rename(dir.filePath("Evaluacion.mdb"), dir.filePath("Evaluacion.bak"));
        QFile::rename(dir.filePath("Evaluacion2.mdb"), dir.filePath("Evaluacion.mdb"));
    }
}

void registrar(const char* accion, void (*nuestro)(benchmark::State&), void (*ingenuo)(benchmark::State&),
               void (*directo)(benchmark::State&), int vueltasIngenuo = 3)
{
    const std::string a(accion);
    copias.registrar(a + "/nuestro", nuestro)->Unit(benchmark::kMillisecond);
    // Lo ingenuo suele tardar segundos: pocas vueltas bastan.
    copias.registrar(a + "/ingenuo", ingenuo)->Unit(benchmark::kMillisecond)->Iterations(vueltasIngenuo);
    copias.registrar(a + "/directo", directo)->Unit(benchmark::kMillisecond);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication aplicacion(argc, argv);
    carpetaEscala = LeerBaseEscala();
    if (carpetaEscala.isEmpty())
        return 2;
    registrar("Añadir un puesto", AnadirPuesto_nuestro, AnadirPuesto_ingenuo, AnadirPuesto_directo);
    registrar("Marcar un factor", MarcarFactor_nuestro, MarcarFactor_ingenuo, MarcarFactor_directo);
    registrar("Desmarcar un factor", DesmarcarFactor_nuestro, DesmarcarFactor_ingenuo, DesmarcarFactor_directo);
    registrar("Evaluar un riesgo", EvaluarRiesgo_nuestro, EvaluarRiesgo_ingenuo, EvaluarRiesgo_directo);
    registrar("Grabar la evaluación del puesto", GrabarEvaluacion_nuestro, GrabarEvaluacion_ingenuo,
              GrabarEvaluacion_directo);
    registrar("Marcar una medida", MarcarMedida_nuestro, MarcarMedida_ingenuo, MarcarMedida_directo);
    registrar("Las tres comprobaciones", Comprobaciones_nuestro, Comprobaciones_ingenuo, Comprobaciones_directo);
    // La tabla de líneas tiene unas 4.000 filas: leerla entera tarda milisegundos, y con más vueltas
    // la medida no depende de un par de ellas.
    registrar("Añadir una línea al plan", AnadirLineaPlan_nuestro, AnadirLineaPlan_ingenuo, AnadirLineaPlan_directo,
              50);
    benchmark::RegisterBenchmark("Compactar la base/nuestro", Compactar_nuestro)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark("Compactar la base/directo", Compactar_directo)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    PasarMedidas(argc, argv);
    copias.soltar();
    return 0;
}
