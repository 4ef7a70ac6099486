#pragma once

// Acciones del usuario hechas como las hace el programa, iguales con los datos en un archivo o en un
// servidor: las medidas de los dos las comparten.
#include "evaluation/MatrizRiesgo.h"
#include "shell/Comprobaciones.h"
#include "store/Conexion.h"
#include "store/PlanAcciones.h"
#include "store/Recordset.h"

#include <QDate>
#include <benchmark/benchmark.h>

// Añade la línea de siempre al plan por un conjunto de registros abierto sobre su tabla y devuelve
// su número (lo ingenuo: la tabla entera leída antes).
inline long long AnadirLinea(Recordset& rs, long long plan)
{
    rs.addNew();
    rs.setValue("IDActuacion", plan);
    rs.setValue("AccionPreventiva", "Revisión de extintores");
    rs.setValue("FechaLimite", QDate(2027, 3, 1));
    rs.setValue("ResponsableEjecucion", "Gerencia");
    rs.setValue("PresupuestoAproximado", "150");
    rs.update();
    return rs.lastInsertId();
}

// Como el botón de añadir de la ventana del plan: la misma línea con una sola sentencia.
inline long long AnadirLineaComoLaVentana(const QString& conexion, long long plan)
{
    LineaNueva linea;
    linea.idActuacion = plan;
    linea.accion = QStringLiteral("Revisión de extintores");
    linea.fechaLimite = QDate(2027, 3, 1);
    linea.responsable = QStringLiteral("Gerencia");
    linea.presupuesto = QStringLiteral("150");
    return AnadirLinea(*Conexion::obtener(conexion), linea);
}

// Como la ventana de evaluación: la cuadrícula abierta sobre los riesgos mostrados del puesto, y
// cada cambio de celda grabado al momento con su nivel.
inline void EvaluarRiesgoComoLaVentana(benchmark::State& estado, const QString& conexion, long long puesto)
{
    static const char* const grados[][2] = {{"Alta", "Dañino"}, {"Baja", "Ligeramente Dañino"}};
    Recordset rs;
    rs.open("SELECT * FROM VRiesgos WHERE IDPuestoCentro = ? AND Mostrar = 'S' ORDER BY IDEvaluacion", conexion,
            {puesto});
    int k = 0;
    for (auto _ : estado) {
        const auto& g = grados[k++ % 2];
        rs.setValue("Probabilidad", g[0]);
        rs.setValue("Consecuencias", g[1]);
        rs.setValue("ValorRiesgo", NivelRiesgo(g[0], g[1]));
        rs.update();
    }
}

// Como la ventana de medidas: la casilla de la primera medida del puesto, marcada y desmarcada.
inline void MarcarMedidaComoLaVentana(benchmark::State& estado, const QString& conexion, long long puesto)
{
    Recordset rs;
    rs.open("SELECT * FROM VFactoresMedidas WHERE IDPuestoCentro = ? ORDER BY Riesgo, Factor", conexion, {puesto});
    int k = 0;
    for (auto _ : estado) {
        rs.setValue("MarcarMedida", k++ % 2 ? "S" : "N");
        rs.update();
    }
}

// Las tres comprobaciones del centro antes de pasar al paso siguiente.
inline void ComprobacionesDelCentro(benchmark::State& estado, const QString& conexion, long long empresa,
                                    long long centro)
{
    for (auto _ : estado) {
        benchmark::DoNotOptimize(ComprobarFactores(conexion, empresa, centro));
        benchmark::DoNotOptimize(ComprobarRiesgos(conexion, empresa, centro));
        benchmark::DoNotOptimize(ComprobarMedidas(conexion, empresa, centro));
    }
}
