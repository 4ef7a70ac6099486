// Las tres comprobaciones de un centro y el texto exacto de su lista de pendientes.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "shell/Comprobaciones.h"
#include "store/ErrorBD.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
class ComprobacionesPrueba : public ::testing::Test
{
protected:
    CopiaPrograma p;
    QString cx = p.conexion();
    long long empresa = 0, centro = 0;

    Comprobacion ultima;

    void SetUp() override
    {
        empresa = datos::empresa(cx);
        centro = datos::centro(cx, empresa);
    }
    long long puesto(long long id, const QString& nombre)
    {
        return datos::insertar(cx, "INSERT INTO PuestosCentros (IDPuestoCentro, IDCentro, Puesto) VALUES (?, ?, ?)",
                               {id, centro, nombre});
    }
    bool comprobar(Comprobacion (*comprobacion)(const QString&, qint64, qint64), long long e, long long c)
    {
        ultima = comprobacion(cx, e, c);
        return ultima.completo;
    }
    // Un puesto con n riesgos mostrados, de los que g están evaluados.
    void riesgos(long long puesto, int n, int g)
    {
        const long long f = datos::factor(cx, puesto, 1, "S");
        for (int i = 0; i < n; ++i)
            datos::evaluacion(cx, f, 10 * (i + 1), "S", i < g ? QVariant("Riesgo Moderado") : QVariant());
    }
};
} // namespace

TEST_F(ComprobacionesPrueba, FactoresSeñalaElPuestoSinFactorMarcado)
{
    datos::factor(cx, puesto(3, "Cajera"), 1, "S");
    datos::factor(cx, puesto(12, "Mozo de almacén"), 1, "N");
    EXPECT_FALSE(comprobar(ComprobarFactores, empresa, centro));
    EXPECT_EQ(ultima.pendientes, "En los siguientes puestos falta por seleccionar por lo menos un Factor de Riesgo:\r\n"
                                 "    0012 - Mozo de almacén\r\n");

    Recordset::execute("update FactoresSeleccionarEvaluacion set FactorSelecionado = 'S'", cx);
    EXPECT_TRUE(comprobar(ComprobarFactores, empresa, centro));
    EXPECT_EQ(ultima.pendientes,
              "En los siguientes puestos falta por seleccionar por lo menos un Factor de Riesgo:\r\n");
}

TEST_F(ComprobacionesPrueba, RiesgosSeñalaTotalesDistintosYAmbosACero)
{
    riesgos(puesto(1, "Tres y dos"), 3, 2);
    puesto(2, "Sin riesgos");
    riesgos(puesto(3, "Cuatro y cuatro"), 4, 4);
    EXPECT_FALSE(comprobar(ComprobarRiesgos, empresa, centro));
    EXPECT_EQ(ultima.pendientes, "En los siguientes puestos falta por evaluar algun riesgo:\r\n"
                                 "    0001 - Tres y dos\r\n"
                                 "    0002 - Sin riesgos\r\n");
}

TEST_F(ComprobacionesPrueba, MedidasNombraElFactorSinMedidaMarcada)
{
    const long long pu = puesto(7, "Carnicero");
    const long long conMedida = datos::factor(cx, pu, 1, "S");
    datos::medida(cx, datos::evaluacion(cx, conMedida, 10), "S");
    const long long sinMedida = datos::factor(cx, pu, 2, "S");
    Recordset::execute("update FactoresSeleccionarEvaluacion set Factor = 'Uso de cuchillos' where "
                       "IDEvaluacionCrear = ?",
                       cx, {sinMedida});
    datos::medida(cx, datos::evaluacion(cx, sinMedida, 90), "N");
    EXPECT_FALSE(comprobar(ComprobarMedidas, empresa, centro));
    EXPECT_EQ(ultima.pendientes, "En los siguientes puestos falta por seleccionar alguna medida:\r\n"
                                 "    0007 - Carnicero (Uso de cuchillos)\r\n");
}

TEST_F(ComprobacionesPrueba, CentroSinPuestosEstaCompletoYSoloLlevaLaCabecera)
{
    EXPECT_TRUE(comprobar(ComprobarFactores, empresa, centro));
    EXPECT_TRUE(comprobar(ComprobarRiesgos, empresa, centro));
    EXPECT_TRUE(comprobar(ComprobarMedidas, empresa, centro));
    EXPECT_EQ(ultima.pendientes, "En los siguientes puestos falta por seleccionar alguna medida:\r\n");
    // Los puestos de otra empresa con el mismo centro no cuentan.
    EXPECT_TRUE(comprobar(ComprobarFactores, empresa + 1, centro));
}

TEST_F(ComprobacionesPrueba, UnaBaseDañadaLlegaAlManejadorDeQuienLlama)
{
    Conexion::cerrarTodas();
    QFile f(p.ruta("Evaluacion.mdb"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("no es una base de datos");
    f.close();
    try {
        comprobar(ComprobarFactores, empresa, centro);
        FAIL() << "debía lanzar";
    } catch (const ErrorBD& e) {
        EXPECT_EQ(e.numero(), NumeroError::BaseDanada);
    }
}
