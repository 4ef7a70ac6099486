// Las tres comprobaciones de un centro grande leen sólo los puestos que les faltan, no todos.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "shell/Comprobaciones.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {
// Cuenta las filas que dan las sentencias del archivo.
int contarFila(unsigned, void* cuenta, void*, void*)
{
    ++*static_cast<int*>(cuenta);
    return 0;
}
} // namespace

TEST(ComprobacionesLectura, SoloSeLeenLosPuestosIncompletos)
{
    CopiaPrograma prog;
    const QString cx = prog.conexion();
    const long long empresa = datos::empresa(cx), centro = datos::centro(cx, empresa);
    // Cuarenta puestos completos: factor marcado, su riesgo evaluado y una medida elegida.
    for (int i = 0; i < 40; ++i) {
        const long long puesto = datos::puesto(cx, centro, QStringLiteral("Completo %1").arg(i));
        datos::medida(cx, datos::evaluacion(cx, datos::factor(cx, puesto, 1, "S"), 10, "S", "Riesgo Moderado"), "S");
    }
    // Y uno al que le falta todo menos el factor.
    const long long incompleto = datos::puesto(cx, centro, "Mozo");
    datos::medida(cx, datos::evaluacion(cx, datos::factor(cx, incompleto, 1, "S"), 10), "N");
    datos::factor(cx, datos::puesto(cx, centro, "Sin factor"), 1, "N");

    auto c = Conexion::obtener(cx);
    const auto filasDe = [&](Comprobacion (*comprobacion)(const QString&, qint64, qint64), Comprobacion& r) {
        r = comprobacion(cx, empresa, centro); // la primera vez la conexión pregunta lo suyo
        int filas = 0;
        sqlite3_trace_v2(c->sqlite(), SQLITE_TRACE_ROW, contarFila, &filas);
        r = comprobacion(cx, empresa, centro);
        sqlite3_trace_v2(c->sqlite(), 0, nullptr, nullptr);
        return filas;
    };
    Comprobacion r;
    EXPECT_EQ(filasDe(ComprobarFactores, r), 1);
    EXPECT_FALSE(r.completo);
    EXPECT_TRUE(r.pendientes.endsWith(" - Sin factor\r\n"));
    EXPECT_EQ(filasDe(ComprobarRiesgos, r), 2);
    EXPECT_TRUE(r.pendientes.contains(" - Mozo\r\n"));
    EXPECT_TRUE(r.pendientes.endsWith(" - Sin factor\r\n"));
    EXPECT_EQ(filasDe(ComprobarMedidas, r), 1);
    EXPECT_TRUE(r.pendientes.endsWith(" - Mozo (Factor)\r\n"));
}
