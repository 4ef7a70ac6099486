// Sentencias preparadas que vuelven solas a la reserva de la conexión o se finalizan.
#include "CopiaPrograma.h"
#include "store/SentenciaPreparada.h"

#include <QFileInfo>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <utility>

namespace {
int sentenciasVivas(sqlite3* bd)
{
    int n = 0;
    for (sqlite3_stmt* st = sqlite3_next_stmt(bd, nullptr); st; st = sqlite3_next_stmt(bd, st))
        ++n;
    return n;
}

const QByteArray consulta = "SELECT Riesgo FROM Riesgos WHERE IDRiesgo > ?";
} // namespace

TEST(SentenciaPreparada, VuelveALaReservaLimpiaYUnaSolaVez)
{
    CopiaPrograma p;
    const auto con = Conexion::obtener(p.conexion());
    sqlite3_stmt* primera = nullptr;
    {
        SentenciaPreparada st(*con, consulta);
        primera = st.get();
        sqlite3_bind_int(st.get(), 1, 0);
        ASSERT_EQ(sqlite3_step(st.get()), SQLITE_ROW); // a medias: aún quedan filas
        // Mover la pasa de mano; la que queda vacía no devuelve nada.
        SentenciaPreparada otra = std::move(st);
        EXPECT_FALSE(st);
        st = std::move(otra);
        EXPECT_EQ(st.get(), primera);
    }
    // La siguiente sale de la reserva, sin filas a medias ni valores de antes.
    SentenciaPreparada a(*con, consulta);
    EXPECT_EQ(a.get(), primera);
    EXPECT_FALSE(sqlite3_stmt_busy(a.get()));
    EXPECT_EQ(sqlite3_step(a.get()), SQLITE_DONE); // "> NULL" no da filas
    // Dos a la vez nunca comparten sentencia.
    SentenciaPreparada b(*con, consulta);
    EXPECT_NE(a.get(), b.get());
}

TEST(SentenciaPreparada, LaSueltaSeFinalizaYUnFalloQuedaVacio)
{
    sqlite3* bd = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &bd), SQLITE_OK);
    int rc = SQLITE_OK;
    {
        const SentenciaPreparada st = SentenciaPreparada::suelta(bd, "SELECT 1", rc);
        EXPECT_EQ(rc, SQLITE_OK);
        EXPECT_TRUE(st);
        EXPECT_EQ(sentenciasVivas(bd), 1);
        const SentenciaPreparada mala = SentenciaPreparada::suelta(bd, "SELEC 1", rc);
        EXPECT_EQ(rc, SQLITE_ERROR);
        EXPECT_FALSE(mala);
        EXPECT_EQ(sentenciasVivas(bd), 1);
    }
    EXPECT_EQ(sentenciasVivas(bd), 0);
    // Si quedara alguna viva, el cierre fallaría.
    EXPECT_EQ(sqlite3_close(bd), SQLITE_OK);
}

TEST(SentenciaPreparada, UnaQueSigueEnManoAlCerrarLaConexionNoLaToca)
{
    CopiaPrograma p;
    auto con = Conexion::obtener(p.conexion());
    con->ejecutar("INSERT INTO Empresas (Nombre) VALUES (?)", {QStringLiteral("Pendiente")});
    {
        SentenciaPreparada st(*con, consulta);
        Conexion::cerrarTodas();
        // El cierre la ha finalizado: al soltarla no se vuelve a usar.
    }
    EXPECT_EQ(con->sqlite(), nullptr);
    EXPECT_FALSE(QFileInfo::exists(p.ruta("Evaluacion.mdb-wal")));
    EXPECT_THROW(SentenciaPreparada(*con, consulta), ErrorBD);
}
