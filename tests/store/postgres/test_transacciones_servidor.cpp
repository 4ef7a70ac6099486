// Transacciones en el servidor. Las lecturas a tandas viven en una transacción de sólo lectura que
// abre el motor: ninguna conexión debe quedarse «idle in transaction» con cerrojos cogidos cuando el
// programa ya no lee, ni al empezar ni al terminar sus propias transacciones. Y una transacción de
// libpq dentro de otra no confirma ni deshace la de fuera.
#include "Datos.h"
#include "MotoresPrueba.h"
#include "store/postgres/TransaccionPg.h"

#include <gtest/gtest.h>

namespace {
class LecturasServidor : public ::testing::Test
{
protected:
    BaseProgramaServidor base;
    QString cx = base.texto();
    std::shared_ptr<Conexion> con = Conexion::obtener(cx);
    ~LecturasServidor() override
    {
        con.reset();
        Conexion::cerrarTodas();
    }
    ConexionPg mira = conectarPg(BaseServidorPrueba::textoServidor());
    QString pid = con->leerFilas("SELECT pg_backend_pid()").front().value(0).toString();

    // Lo que ve otra conexión de la del programa.
    QString estado()
    {
        return celdaPg(mira.get(), QStringLiteral("SELECT state FROM pg_stat_activity WHERE pid = %1").arg(pid));
    }
    long long cerrojos()
    {
        return celdaPg(mira.get(), QStringLiteral("SELECT count(*) FROM pg_locks WHERE pid = %1 AND "
                                                  "locktype = 'relation'")
                                       .arg(pid))
            .toLongLong();
    }
    void muchasEmpresas()
    {
        Transaccion t(con);
        for (int i = 0; i < 600; ++i)
            datos::empresa(cx, QStringLiteral("Empresa %1").arg(i, 3, 10, QChar('0')));
        t.confirmar();
    }
};
} // namespace

TEST_F(LecturasServidor, SinLecturasPendientesLaConexionQuedaLibre)
{
    muchasEmpresas();
    EXPECT_EQ(estado(), "idle");
    Recordset rs;
    rs.open("SELECT * FROM Empresas", cx);
    EXPECT_EQ(estado(), "idle in transaction"); // leyendo a tandas: la lectura sigue abierta
    {
        Transaccion t(con);
        datos::empresa(cx, "Dentro");
        t.confirmar();
    }
    EXPECT_EQ(estado(), "idle");
    EXPECT_EQ(cerrojos(), 0);
    rs.moveNext();
    {
        Transaccion t(con);
        datos::empresa(cx, "Deshecha");
    }
    EXPECT_EQ(estado(), "idle");
    EXPECT_EQ(cerrojos(), 0);
    // La lectura sigue donde iba y llega al final sin perder filas.
    long long n = 2;
    for (rs.moveNext(); !rs.eof(); rs.moveNext())
        ++n;
    EXPECT_EQ(n, 601);
    EXPECT_EQ(estado(), "idle");
    EXPECT_EQ(cerrojos(), 0);
}

TEST(TransaccionPgAnidada, SoloConfirmaODeshaceLoSuyo)
{
    BaseServidorPrueba base;
    ConexionPg c = base.conectar();
    ejecutarPg(c.get(), QStringLiteral("CREATE TABLE Numeros (n integer)"));
    const auto anadir = [&](int n) {
        ejecutarPg(c.get(), QStringLiteral("INSERT INTO Numeros VALUES ($1)"), {QString::number(n)});
    };
    const auto numeros = [&] {
        return celdaPg(c.get(), QStringLiteral("SELECT string_agg(n::text, ',' ORDER BY n) FROM Numeros"));
    };
    {
        // La de dentro confirmada, la de fuera no: no queda nada.
        TransaccionPg fuera(c.get());
        anadir(1);
        {
            TransaccionPg dentro(c.get());
            anadir(2);
            dentro.confirmar();
        }
        EXPECT_EQ(numeros(), "1,2");
    }
    EXPECT_EQ(numeros(), "");
    {
        // La de dentro sin confirmar, la de fuera sí: queda lo de fuera.
        TransaccionPg fuera(c.get());
        anadir(3);
        {
            TransaccionPg dentro(c.get());
            anadir(4);
        }
        anadir(5);
        fuera.confirmar();
    }
    EXPECT_EQ(numeros(), "3,5");
    EXPECT_EQ(PQtransactionStatus(c.get()), PQTRANS_IDLE);
}
