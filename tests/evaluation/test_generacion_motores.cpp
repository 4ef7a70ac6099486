// Marcar y desmarcar factores en el archivo y en el servidor: las mismas filas de evaluación y de
// medidas, en el mismo orden y con sus valores de partida, y un número de sentencias que no crece
// con los riesgos y medidas del factor.
#include "../store/postgres/BaseConCatalogo.h"
#include "CopiaPrograma.h"
#include "Datos.h"
#include "evaluation/GeneracionRiesgos.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sqlite3.h>
#include <thread>

namespace {
// Catálogo propio: riesgos 901.., factores 9001... En 9003 el riesgo 903 se enlazó antes que el 901:
// las filas salen en el orden del catálogo, no por número de riesgo. Las medidas de 9001 se dieron
// de alta alternando sus dos riesgos, y con apóstrofos.
void catalogoPropio(Conexion& c)
{
    for (int r = 901; r <= 910; ++r)
        c.ejecutar("INSERT INTO Riesgos (IDRiesgo, Riesgo) VALUES (?, ?)", {r, QStringLiteral("Riesgo %1").arg(r)});
    for (int f : {9001, 9002, 9003, 9010, 9011})
        c.ejecutar("INSERT INTO FactoresRiesgos (IDFactor, Factor) VALUES (?, ?)",
                   {f, QStringLiteral("Factor %1").arg(f)});
    for (auto [f, r] : std::initializer_list<std::pair<int, int>>{
             {9001, 901}, {9001, 902}, {9002, 901}, {9003, 903}, {9003, 901}, {9011, 901}})
        c.ejecutar("INSERT INTO RiesgosFactores (IDFactor, IDRiesgo) VALUES (?, ?)", {f, r});
    for (auto [f, r, m] :
         std::initializer_list<std::tuple<int, int, const char*>>{{9001, 902, "Señalizar l'àrea de càrrega"},
                                                                  {9001, 901, "Revisar 'a diario' la escalera"},
                                                                  {9001, 902, "Formación"},
                                                                  {9001, 901, "Apilar a menos de 1,5 m"},
                                                                  {9002, 901, "Calzado de seguridad"},
                                                                  {9003, 901, "Orden y limpieza"},
                                                                  {9011, 901, "Una sola medida"}})
        c.ejecutar("INSERT INTO Medidas (IDFactor, IDRiesgo, Medida) VALUES (?, ?, ?)", {f, r, m});
    // 9010: diez riesgos con seis medidas cada uno.
    for (int r = 901; r <= 910; ++r) {
        c.ejecutar("INSERT INTO RiesgosFactores (IDFactor, IDRiesgo) VALUES (9010, ?)", {r});
        for (int m = 0; m < 6; ++m)
            c.ejecutar("INSERT INTO Medidas (IDFactor, IDRiesgo, Medida) VALUES (9010, ?, ?)",
                       {r, QStringLiteral("Medida %1-%2").arg(r).arg(m)});
    }
}

QString texto(const QVariant& v)
{
    return v.isNull() ? QStringLiteral("-") : v.toString();
}

class GeneracionMotores : public ::testing::TestWithParam<bool>
{
protected:
    BaseConCatalogo base{GetParam()};
    QString cx = base.texto();
    std::shared_ptr<Conexion> c = Conexion::obtener(cx);
    long long empresa = 0, centro = 0, p = 0, q = 0;

    void SetUp() override
    {
        catalogoPropio(*c);
        empresa = datos::empresa(cx);
        centro = datos::centro(cx, empresa);
        p = datos::puesto(cx, centro, "Carnicero");
        q = datos::puesto(cx, centro, "Cajera");
    }

    FilaFactor fila(long long puesto, long long factor)
    {
        return {datos::factor(cx, puesto, factor), factor, puesto, empresa, centro};
    }

    // Las filas de evaluación por su número, cada una como "puesto factor riesgo mostrar grados
    // versión", con el puesto como P o Q; y en "numeros" el orden de cada fila por su número.
    QStringList evaluacion(std::map<long long, int>* numeros = nullptr)
    {
        QStringList r;
        for (const QVariantList& f :
             c->leerFilas("SELECT IDEvaluacion, IDPuestoCentro, IDFactor, IDRiesgo, Mostrar, Probabilidad, "
                          "Consecuencias, ValorRiesgo, VersionFila, IDEmpresa, IDCentro FROM Evaluacion ORDER BY "
                          "IDEvaluacion")) {
            if (numeros)
                (*numeros)[f[0].toLongLong()] = int(r.size());
            EXPECT_EQ(f[9].toLongLong(), empresa);
            EXPECT_EQ(f[10].toLongLong(), centro);
            r << QStringLiteral("%1 %2 %3 %4 %5/%6/%7 v%8")
                     .arg(f[1].toLongLong() == p ? "P" : "Q", texto(f[2]), texto(f[3]), texto(f[4]), texto(f[5]),
                          texto(f[6]), texto(f[7]), texto(f[8]));
        }
        return r;
    }
    // Las medidas por su número, cada una como "fila medida marca versión", con la fila de
    // evaluación por su orden en evaluacion().
    QStringList medidas()
    {
        std::map<long long, int> numeros;
        evaluacion(&numeros);
        QStringList r;
        for (const QVariantList& f : c->leerFilas("SELECT IDEvaluacion, Medida, MarcarMedida, VersionFila FROM "
                                                  "MedidasFactores ORDER BY IDMedidaFactor"))
            r << QStringLiteral("%1 %2 %3 v%4")
                     .arg(numeros.count(f[0].toLongLong()) ? QString::number(numeros[f[0].toLongLong()]) : "?",
                          texto(f[1]), texto(f[2]), texto(f[3]));
        return r;
    }
    void grados(long long filaFactor, int riesgo, const QVariant& probabilidad, const QVariant& consecuencias,
                const QVariant& valor)
    {
        c->ejecutar("UPDATE Evaluacion SET Probabilidad = ?, Consecuencias = ?, ValorRiesgo = ? WHERE "
                    "IDEvaluacionCrear = ? AND IDRiesgo = ?",
                    {probabilidad, consecuencias, valor, filaFactor, riesgo});
    }
    QString marca(long long filaFactor)
    {
        return c
            ->leerFilas("SELECT FactorSelecionado FROM FactoresSeleccionarEvaluacion WHERE IDEvaluacionCrear = ?",
                        {filaFactor})
            .at(0)
            .value(0)
            .toString();
    }
};
} // namespace

TEST_P(GeneracionMotores, MarcarEscribeLasFilasYMedidasDelCatalogoEnSuOrden)
{
    const FilaFactor f3 = fila(p, 9003), f1 = fila(p, 9001), fq = fila(q, 9002);
    EXPECT_EQ(MarcarFactor(cx, f3), 2);
    // El riesgo 901 ya está en el puesto por el factor 9003: la fila nueva sigue oculta.
    EXPECT_EQ(MarcarFactor(cx, f1), 2);
    EXPECT_EQ(MarcarFactor(cx, fq), 1);
    // Marcar otra vez la misma fila no repite nada; generar otra vez sí, ya oculto, y sólo con las
    // medidas de las filas nuevas.
    EXPECT_EQ(MarcarFactor(cx, f1), 0);
    EXPECT_EQ(GenerarRiesgos(cx, f1), 2);
    // De los diez riesgos de 9010, el puesto ya tiene los tres primeros.
    EXPECT_EQ(MarcarFactor(cx, fila(p, 9010)), 10);
    const QStringList esperadas{"P 9003 903 S -/-/- v0", "P 9003 901 S -/-/- v0", "P 9001 901 N -/-/- v0",
                                "P 9001 902 S -/-/- v0", "Q 9002 901 S -/-/- v0", "P 9001 901 N -/-/- v0",
                                "P 9001 902 N -/-/- v0"};
    const QStringList filas = evaluacion();
    ASSERT_EQ(filas.size(), 17);
    EXPECT_EQ(filas.mid(0, 7), esperadas);
    EXPECT_EQ(filas[7], "P 9010 901 N -/-/- v0");
    EXPECT_EQ(filas[8], "P 9010 902 N -/-/- v0");
    EXPECT_EQ(filas[9], "P 9010 903 N -/-/- v0");
    EXPECT_EQ(filas[10], "P 9010 904 S -/-/- v0");

    const QStringList m = medidas();
    ASSERT_EQ(m.size(), 10 + 60);
    EXPECT_EQ(m.mid(0, 9),
              (QStringList{"1 Orden y limpieza - v0", "2 Revisar 'a diario' la escalera - v0",
                           "2 Apilar a menos de 1,5 m - v0", "3 Señalizar l'àrea de càrrega - v0", "3 Formación - v0",
                           "4 Calzado de seguridad - v0", "5 Revisar 'a diario' la escalera - v0",
                           "5 Apilar a menos de 1,5 m - v0", "6 Señalizar l'àrea de càrrega - v0"}));
    EXPECT_EQ(m[9], "6 Formación - v0");
    EXPECT_EQ(m[10], "7 Medida 901-0 - v0");
    EXPECT_EQ(m[15], "7 Medida 901-5 - v0");
    EXPECT_EQ(m[69], "16 Medida 910-5 - v0");
    EXPECT_EQ(marca(f1.idEvaluacionCrear), "S");
}

TEST_P(GeneracionMotores, DesmarcarMuestraLaPrimeraQueQuedaConLosGradosDeLaQuitada)
{
    const FilaFactor f3 = fila(p, 9003), f1 = fila(p, 9001), f2 = fila(p, 9002), fq = fila(q, 9002);
    for (const FilaFactor& f : {f3, f1, f2, fq})
        MarcarFactor(cx, f);
    // Lo que se ve en P del riesgo 901 es la fila de 9003; las ocultas guardan grados viejos.
    grados(f3.idEvaluacionCrear, 901, "Alta", "Dañino", "Riesgo Importante");
    grados(f1.idEvaluacionCrear, 901, "Baja", "Dañino", "Riesgo Tolerable");
    grados(f2.idEvaluacionCrear, 901, "Media", "Dañino", "Riesgo Moderado");
    grados(fq.idEvaluacionCrear, 901, "Media", "Dañino", "Riesgo Moderado");

    DesmarcarFactor(cx, f3.idEvaluacionCrear);
    EXPECT_EQ(evaluacion(), (QStringList{"P 9001 901 S Alta/Dañino/Riesgo Importante v0", "P 9001 902 S -/-/- v0",
                                         "P 9002 901 N Media/Dañino/Riesgo Moderado v0",
                                         "Q 9002 901 S Media/Dañino/Riesgo Moderado v0"}));
    EXPECT_EQ(marca(f3.idEvaluacionCrear), "N");

    // Quitar una oculta no cambia la mostrada.
    grados(f1.idEvaluacionCrear, 901, "Alta", "Extremadamente dañino", "Riesgo Intolerable");
    MarcarFactor(cx, f3);
    DesmarcarFactor(cx, f3.idEvaluacionCrear);
    EXPECT_EQ(evaluacion()[0], "P 9001 901 S Alta/Extremadamente dañino/Riesgo Intolerable v0");

    // Vaciados en la mostrada, la que pasa a mostrarse queda también sin evaluar.
    grados(f1.idEvaluacionCrear, 901, {}, {}, {});
    DesmarcarFactor(cx, f1.idEvaluacionCrear);
    EXPECT_EQ(evaluacion(), (QStringList{"P 9002 901 S -/-/- v0", "Q 9002 901 S Media/Dañino/Riesgo Moderado v0"}));
    EXPECT_EQ(medidas(), (QStringList{"0 Calzado de seguridad - v0", "1 Calzado de seguridad - v0"}));

    // Sin más filas del riesgo en el puesto no queda nada que mostrar; el otro puesto sigue igual.
    DesmarcarFactor(cx, f2.idEvaluacionCrear);
    EXPECT_EQ(evaluacion(), (QStringList{"Q 9002 901 S Media/Dañino/Riesgo Moderado v0"}));
    DesmarcarFactor(cx, f2.idEvaluacionCrear);
    EXPECT_EQ(evaluacion().size(), 1);
}

// Dos técnicos marcan a la vez el mismo factor (dos ventanas con datos viejos): el segundo espera a
// que el primero confirme y no repite sus riesgos. Y si lo desmarca mientras el primero lo marca,
// quita también lo que éste escribió. En el archivo sólo escribe uno a la vez.
TEST_P(GeneracionMotores, DosTecnicosConElMismoFactorALaVez)
{
    if (!GetParam())
        GTEST_SKIP() << "en el archivo las escrituras no se solapan";
    // El otro técnico, con su propia conexión a la misma base.
    const QString otro = cx + ";";
    Conexion::obtener(otro);
    const FilaFactor f = fila(p, 9001);
    const auto aLaVez = [&](const std::function<void()>& suyo) {
        std::atomic<bool> terminado = false;
        std::exception_ptr fallo;
        Transaccion t(c);
        EXPECT_EQ(MarcarFactor(cx, f), 2); // sin confirmar todavía
        std::thread hilo([&] {
            try {
                suyo();
            } catch (...) {
                fallo = std::current_exception();
            }
            terminado = true;
        });
        // Hasta que el otro espera por lo que este tiene tomado.
        while (!terminado &&
               c->leerFilas("SELECT count(*) FROM pg_locks WHERE NOT granted").at(0).value(0).toLongLong() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        t.confirmar();
        hilo.join();
        if (fallo)
            std::rethrow_exception(fallo);
    };
    int escritas = -1;
    aLaVez([&] { escritas = MarcarFactor(otro, f); });
    EXPECT_EQ(escritas, 0);
    EXPECT_EQ(datos::contar(cx, "select count(*) from Evaluacion where IDEvaluacionCrear = ?", {f.idEvaluacionCrear}),
              2);
    EXPECT_EQ(datos::contar(cx, "select count(*) from MedidasFactores"), 4);

    DesmarcarFactor(cx, f.idEvaluacionCrear);
    aLaVez([&] { DesmarcarFactor(otro, f.idEvaluacionCrear); });
    EXPECT_EQ(marca(f.idEvaluacionCrear), "N");
    EXPECT_EQ(datos::contar(cx, "select count(*) from Evaluacion"), 0);
    EXPECT_EQ(datos::contar(cx, "select count(*) from MedidasFactores"), 0);
}

INSTANTIATE_TEST_SUITE_P(Motores, GeneracionMotores, ::testing::ValuesIn(motoresConCatalogo()), nombreMotor);

namespace {
// Cuenta las sentencias que el archivo ejecuta, una vez cada una al terminar (no cada disparador o
// borrado en cascada que ponen en marcha).
int contarSentencias(unsigned, void* cuenta, void*, void*)
{
    ++*static_cast<int*>(cuenta);
    return 0;
}

int sentenciasDe(Conexion& c, const std::function<void()>& accion)
{
    int cuenta = 0;
    sqlite3_trace_v2(c.sqlite(), SQLITE_TRACE_PROFILE, contarSentencias, &cuenta);
    accion();
    sqlite3_trace_v2(c.sqlite(), 0, nullptr, nullptr);
    return cuenta;
}
} // namespace

// Con los datos en un servidor cada sentencia es una ida y vuelta: marcar un factor de diez riesgos
// con seis medidas cada uno cuesta las mismas sentencias que uno de un riesgo con una medida.
TEST(GeneracionSentencias, MarcarYDesmarcarNoCrecenConLosRiesgosNiLasMedidas)
{
    CopiaPrograma prog;
    const QString cx = prog.conexion();
    auto c = Conexion::obtener(cx);
    catalogoPropio(*c);
    const long long empresa = datos::empresa(cx), centro = datos::centro(cx, empresa);
    const long long puesto = datos::puesto(cx, centro);
    const FilaFactor uno{datos::factor(cx, puesto, 9011), 9011, puesto, empresa, centro};
    const FilaFactor diez{datos::factor(cx, puesto, 9010), 9010, puesto, empresa, centro};
    // La primera vez la conexión prepara y pregunta lo suyo.
    MarcarFactor(cx, uno);
    DesmarcarFactor(cx, uno.idEvaluacionCrear);

    const int marcarUno = sentenciasDe(*c, [&] { MarcarFactor(cx, uno); });
    const int marcarDiez = sentenciasDe(*c, [&] { EXPECT_EQ(MarcarFactor(cx, diez), 10); });
    EXPECT_EQ(datos::contar(cx, "select count(*) from MedidasFactores"), 61);
    EXPECT_EQ(marcarDiez, marcarUno);
    EXPECT_LE(marcarDiez, 8);
    const int desmarcarUno = sentenciasDe(*c, [&] { DesmarcarFactor(cx, uno.idEvaluacionCrear); });
    const int desmarcarDiez = sentenciasDe(*c, [&] { DesmarcarFactor(cx, diez.idEvaluacionCrear); });
    EXPECT_EQ(datos::contar(cx, "select count(*) from Evaluacion"), 0);
    EXPECT_EQ(desmarcarDiez, desmarcarUno);
    EXPECT_LE(desmarcarDiez, 8);
}
