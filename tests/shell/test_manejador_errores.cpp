#include "CopiaPrograma.h"
#include "PlataformaPrueba.h"
#include "shell/ManejadorErrores.h"
#include "shell/Rutinas.h"
#include "store/ErrorBD.h"
#include "store/Recordset.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <gtest/gtest.h>

#include <stdexcept>

using Icono = PlataformaServicios::Icono;
using Botones = PlataformaServicios::Botones;
using Respuesta = PlataformaServicios::Respuesta;

namespace {
// Las etiquetas de contador necesitan una aplicación de widgets.
class ConAplicacion : public ::testing::Environment
{
public:
    void SetUp() override
    {
        static int argc = 1;
        static char nombre[] = "prueba";
        static char* argv[] = {nombre, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QApplication> app_;
};
const auto* const gEntorno = ::testing::AddGlobalTestEnvironment(new ConAplicacion);

Paso falla(long numero, const QString& descripcion = QStringLiteral("Descripción del fallo"),
           const QString& sentencia = {})
{
    return [=] { throw ErrorBD(numero, descripcion, sentencia); };
}
} // namespace

class Manejador : public ::testing::Test
{
protected:
    void SetUp() override { FijarCarpetaPrograma(QStringLiteral("/opt/Prog")); }
    void TearDown() override { FijarCarpetaPrograma({}); }
    PlataformaPrueba plataforma;
    QStringList hechos;
    Paso apunta(const QString& nombre)
    {
        return [this, nombre] { hechos << nombre; };
    }
};

TEST_F(Manejador, MensajeGeneralAlCaracterYSigue)
{
    EjecutarCarga({apunta("a"), falla(NumeroError::OperacionVariosPasos, "Valor no admitido"), apunta("b")});
    ASSERT_EQ(plataforma.mensajes.size(), 1u);
    const auto& m = plataforma.mensajes[0];
    EXPECT_EQ(m.texto, QStringLiteral("Se ha producido el error: -2147217887\n\rDescripción: Valor no admitido"));
    EXPECT_EQ(m.titulo, QStringLiteral("Error"));
    EXPECT_EQ(m.icono, Icono::Critico);
    EXPECT_EQ(m.botones, Botones::Aceptar);
    EXPECT_EQ(hechos, QStringList({"a", "b"}));
    EXPECT_EQ(plataforma.terminado, 0);
}

TEST_F(Manejador, OtrasExcepcionesDanElMensajeGeneral)
{
    EjecutarPresentacion({[] { throw std::runtime_error("sin memoria"); }, apunta("b")});
    ASSERT_EQ(plataforma.mensajes.size(), 1u);
    EXPECT_EQ(
        plataforma.mensajes[0].texto,
        QStringLiteral("Se ha producido el error: %1\n\rDescripción: sin memoria").arg(NumeroError::ErrorGeneral));
    EXPECT_EQ(hechos, QStringList({"b"}));
}

TEST_F(Manejador, BaseDanadaAlCargarOfreceRepararYConSiArrancaReparar)
{
    plataforma.responder(Respuesta::Si);
    ProtegerRanura([&] { EjecutarCarga({falla(NumeroError::BaseDanada), apunta("después")}); });
    ASSERT_EQ(plataforma.mensajes.size(), 1u);
    const auto& m = plataforma.mensajes[0];
    EXPECT_EQ(m.texto, QStringLiteral("La base de datos esta dañada\n\r¿Desea repararla en estos Momentos?"));
    EXPECT_EQ(m.titulo, QStringLiteral("Base de datos Dañada"));
    EXPECT_EQ(m.icono, Icono::Pregunta);
    EXPECT_EQ(m.botones, Botones::SiNo);
    EXPECT_EQ(plataforma.programas,
              QStringList({rutaPrograma(QStringLiteral("/opt/Prog"), QStringLiteral("Reparar"))}));
    EXPECT_EQ(plataforma.ordenLlamadas.mid(1), QStringList({"iniciarPrograma", "terminarPrograma"}));
    EXPECT_TRUE(hechos.isEmpty());
}

TEST_F(Manejador, BaseDanadaConNoTerminaSinReparar)
{
    plataforma.responder(Respuesta::No);
    ProtegerRanura([&] { EjecutarCarga({falla(NumeroError::BaseDanada), apunta("después")}); });
    EXPECT_TRUE(plataforma.programas.isEmpty());
    EXPECT_EQ(plataforma.terminado, 1);
    EXPECT_TRUE(hechos.isEmpty());
}

TEST_F(Manejador, ElFinDelProgramaCortaTambienLaRutinaQueLlama)
{
    plataforma.responder(Respuesta::No);
    ProtegerRanura([&] {
        EjecutarPresentacion({[] { EjecutarCarga({falla(NumeroError::BaseDanada)}); }, apunta("fuera")});
    });
    EXPECT_EQ(plataforma.terminado, 1);
    EXPECT_TRUE(hechos.isEmpty());
}

TEST_F(Manejador, BaseDanadaAlPresentarEsUnErrorMas)
{
    EjecutarPresentacion({falla(NumeroError::BaseDanada, "dañada"), apunta("b")});
    ASSERT_EQ(plataforma.mensajes.size(), 1u);
    EXPECT_TRUE(plataforma.mensajes[0].texto.startsWith(QStringLiteral("Se ha producido el error: 3049\n\r")));
    EXPECT_EQ(plataforma.terminado, 0);
    EXPECT_EQ(hechos, QStringList({"b"}));
}

TEST_F(Manejador, ErroresQueSeCallan)
{
    EjecutarPresentacion({falla(NumeroError::PropiedadSoloLectura), apunta("a"), falla(NumeroError::ObjetoDesconectado),
                          apunta("b"), falla(NumeroError::SinRegistroActual), apunta("c")});
    EXPECT_TRUE(plataforma.mensajes.empty());
    EXPECT_EQ(hechos, QStringList({"a", "b", "c"}));
}

TEST_F(Manejador, SintaxisSeRepiteHastaQueSale)
{
    int veces = 0;
    EjecutarPresentacion({[&] {
                              if (++veces < 3)
                                  throw ErrorBD(NumeroError::SintaxisConsulta, "sintaxis");
                          },
                          apunta("b")});
    EXPECT_EQ(veces, 3);
    EXPECT_TRUE(plataforma.mensajes.empty());
    EXPECT_EQ(hechos, QStringList({"b"}));
}

TEST_F(Manejador, SintaxisSinArregloAvisaDeLaSentenciaYSigue)
{
    int veces = 0;
    const QString sql = QStringLiteral("Select * from Puestos where IDCentro = ");
    EjecutarPresentacion({[&] {
                              ++veces;
                              throw ErrorBD(NumeroError::SintaxisConsulta, "falta un operando", sql);
                          },
                          apunta("b")});
    EXPECT_EQ(veces, IntentosSintaxis);
    ASSERT_EQ(plataforma.mensajes.size(), 1u);
    EXPECT_TRUE(plataforma.mensajes[0].texto.contains(sql));
    EXPECT_EQ(plataforma.mensajes[0].icono, Icono::Critico);
    EXPECT_EQ(hechos, QStringList({"b"}));
}

TEST_F(Manejador, RanuraNoDejaEscaparNada)
{
    EXPECT_NO_THROW(ProtegerRanura([] { throw ErrorBD(3024, "No se encuentra el archivo"); }));
    EXPECT_NO_THROW(ProtegerRanura([] { throw 42; }));
    EXPECT_NO_THROW(ProtegerRanura([this] { plataforma.terminarPrograma(); }));
    ASSERT_EQ(plataforma.mensajes.size(), 2u);
    EXPECT_EQ(plataforma.mensajes[0].texto,
              QStringLiteral("Se ha producido el error: 3024\n\rDescripción: No se encuentra el archivo"));
}

// Sin registro actual con el conjunto antes de la primera de 1.250 filas.
class SinRegistro : public Manejador
{
protected:
    void SetUp() override
    {
        Manejador::SetUp();
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
        Recordset::execute(QStringLiteral("create table PruebaContador (ID integer primary key, Nombre text)"),
                           copia.conexion());
        Recordset::execute(QStringLiteral("insert into PruebaContador (Nombre) with recursive n(i) as "
                                          "(select 1 union all select i + 1 from n where i < 1250) "
                                          "select 'Fila ' || i from n"),
                           copia.conexion());
        rs.open(QStringLiteral("Select * from PruebaContador order by ID"), copia.conexion());
        contador.setText(QStringLiteral("sin tocar"));
    }
    void TearDown() override
    {
        rs.close();
        QLocale::setDefault(QLocale::c());
        Manejador::TearDown();
    }
    CopiaPrograma copia;
    Recordset rs;
    QLabel contador;
};

TEST_F(SinRegistro, AntesDeLaPrimeraFilaVaALaPrimeraYPoneElContador)
{
    EjecutarPresentacion({[&] { rs.movePrevious(); }, [&] { rs.movePrevious(); }, apunta("b")}, &rs, &contador);
    EXPECT_EQ(contador.text(), QStringLiteral("1 de 1.250"));
    EXPECT_EQ(rs.absolutePosition(), 1);
    EXPECT_EQ(rs.value("Nombre").toString(), QStringLiteral("Fila 1"));
    EXPECT_TRUE(plataforma.mensajes.empty());
    EXPECT_EQ(hechos, QStringList({"b"}));
}

TEST_F(SinRegistro, FueraDelPrincipioNoSeMueve)
{
    rs.moveLast();
    EjecutarPresentacion({[&] { rs.moveNext(); }, [&] { rs.moveNext(); }}, &rs, &contador);
    EXPECT_EQ(contador.text(), QStringLiteral("sin tocar"));
    EXPECT_TRUE(rs.eof());
    EXPECT_TRUE(plataforma.mensajes.empty());
}

TEST_F(SinRegistro, ConjuntoVacioSigueSinMoverse)
{
    rs.open(QStringLiteral("Select * from PruebaContador where ID < 0"), copia.conexion());
    EjecutarPresentacion({[&] { rs.moveNext(); }, apunta("b")}, &rs, &contador);
    EXPECT_EQ(contador.text(), QStringLiteral("sin tocar"));
    EXPECT_TRUE(plataforma.mensajes.empty());
    EXPECT_EQ(hechos, QStringList({"b"}));
}
