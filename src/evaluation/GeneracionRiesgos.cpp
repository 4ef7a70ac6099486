#include "evaluation/GeneracionRiesgos.h"

#include "store/Conexion.h"
#include "store/Recordset.h"
#include "store/Reintentos.h"

#include <map>
#include <vector>

int GenerarRiesgos(const QString& conexion, const FilaFactor& f)
{
    Transaccion t(conexion);
    Recordset riesgos;
    riesgos.open("Select * from RiesgosFactores where IDFactor = ?;", conexion, {f.idFactor});
    Recordset evaluacion;
    evaluacion.open("SELECT * from Evaluacion ;", conexion);
    Recordset medidas;
    auto base = Conexion::obtener(conexion);
    int escritas = 0;
    while (!riesgos.eof()) {
        const qlonglong riesgo = riesgos.value("IDRiesgo").toLongLong();
        // La visibilidad depende también de las filas escritas en esta misma generación.
        Recordset previas;
        previas.open("Select IDEvaluacion from Evaluacion where IDRiesgo = ? and IDPuestoCentro = ?", conexion,
                     {riesgo, f.idPuestoCentro});
        const QString mostrar = previas.eof() ? "S" : "N";

        evaluacion.addNew();
        evaluacion.setValue("IDEmpresa", f.idEmpresa);
        evaluacion.setValue("IDCentro", f.idCentro);
        evaluacion.setValue("IDEvaluacionCrear", f.idEvaluacionCrear);
        evaluacion.setValue("IDPuestoCentro", f.idPuestoCentro);
        evaluacion.setValue("IDRiesgo", riesgo);
        evaluacion.setValue("IDFactor", f.idFactor);
        evaluacion.setValue("Mostrar", mostrar);
        evaluacion.update();
        const qlonglong nueva = evaluacion.lastInsertId();
        ++escritas;

        medidas.open("Select Medida from Medidas where IDRiesgo = ? and IDFactor = ?", conexion, {riesgo, f.idFactor});
        while (!medidas.eof()) {
            base->ejecutar("INSERT INTO MedidasFactores (IDEvaluacion, Medida) VALUES (?, ?)",
                           {nueva, medidas.value(0)});
            medidas.moveNext();
        }
        riesgos.moveNext();
    }
    t.confirmar();
    return escritas;
}

void QuitarRiesgos(const QString& conexion, long long idEvaluacionCrear)
{
    struct Nota
    {
        QVariant probabilidad, consecuencias, valor;
        bool eraMostrada = false;
    };
    Transaccion t(conexion);
    Recordset filas;
    filas.open("Select IDPuestoCentro, IDRiesgo, Mostrar, Probabilidad, Consecuencias, ValorRiesgo from Evaluacion "
               "where IDEvaluacionCrear = ?",
               conexion, {idEvaluacionCrear});
    std::map<std::pair<qlonglong, qlonglong>, Nota> riesgos;
    while (!filas.eof()) {
        Nota& n = riesgos[{filas.value(0).toLongLong(), filas.value(1).toLongLong()}];
        if (filas.value(2).toString() == "S") {
            n = {filas.value(3), filas.value(4), filas.value(5), true};
        }
        filas.moveNext();
    }
    filas.close();
    if (riesgos.empty()) {
        t.confirmar();
        return;
    }
    Recordset::execute("delete from Evaluacion where IDEvaluacionCrear = ?;", conexion, {idEvaluacionCrear});
    auto base = Conexion::obtener(conexion);
    for (const auto& [clave, nota] : riesgos) {
        const auto& [puesto, riesgo] = clave;
        Recordset quedan;
        quedan.open("Select IDEvaluacion, Mostrar from Evaluacion where IDPuestoCentro = ? and IDRiesgo = ?", conexion,
                    {puesto, riesgo});
        if (quedan.eof())
            continue;
        bool hayMostrada = false;
        const qlonglong primera = quedan.value(0).toLongLong();
        while (!quedan.eof()) {
            hayMostrada = hayMostrada || quedan.value(1).toString() == "S";
            quedan.moveNext();
        }
        if (hayMostrada)
            continue;
        base->ejecutar("UPDATE Evaluacion SET Mostrar = 'S' WHERE IDEvaluacion = ?", {primera});
        // La oculta guarda los grados de la última copia, quizá ya cambiados o borrados en la
        // mostrada: lo que vale es lo que el usuario veía, también si estaba sin evaluar.
        if (nota.eraMostrada)
            base->ejecutar("UPDATE Evaluacion SET Probabilidad = ?, Consecuencias = ?, ValorRiesgo = ? "
                           "WHERE IDEvaluacion = ?",
                           {nota.probabilidad, nota.consecuencias, nota.valor, primera});
    }
    t.confirmar();
}

namespace {
void guardarMarca(const QString& conexion, long long idEvaluacionCrear, const QString& marca)
{
    Recordset::execute("UPDATE FactoresSeleccionarEvaluacion SET FactorSelecionado = ? WHERE IDEvaluacionCrear = ?",
                       conexion, {marca, idEvaluacionCrear});
}
} // namespace

// Marcar y desmarcar son lo que dos técnicos hacen a la vez: si el otro tiene la base ocupada, se
// repite entero unas pocas veces antes de avisar.
int MarcarFactor(const QString& conexion, const FilaFactor& fila)
{
    int escritas = 0;
    conReintentos(*Conexion::obtener(conexion), [&] {
        Transaccion t(conexion);
        // Una fila que ya tiene sus riesgos (marcada desde otra ventana con datos viejos) no los repite.
        Recordset ya;
        ya.open("Select IDEvaluacion from Evaluacion where IDEvaluacionCrear = ? limit 1", conexion,
                {fila.idEvaluacionCrear});
        escritas = ya.eof() ? GenerarRiesgos(conexion, fila) : 0;
        ya.close();
        guardarMarca(conexion, fila.idEvaluacionCrear, QStringLiteral("S"));
        t.confirmar();
    });
    return escritas;
}

void DesmarcarFactor(const QString& conexion, long long idEvaluacionCrear)
{
    conReintentos(*Conexion::obtener(conexion), [&] {
        Transaccion t(conexion);
        QuitarRiesgos(conexion, idEvaluacionCrear);
        guardarMarca(conexion, idEvaluacionCrear, QStringLiteral("N"));
        t.confirmar();
    });
}
