// Archivos dañados: se rehacen con todas las filas que aún se pueden leer y el dañado queda
// como copia.
#include "ArchivosReparar.h"
#include "CopiaPrograma.h"
#include "repair/Compactacion.h"
#include "store/ErrorBD.h"
#include "store/Esquema.h"

#include <gtest/gtest.h>

namespace {
using Estado = ResultadoCompactacion::Estado;
constexpr int empresas = 300;

class Salvamento : public ::testing::Test
{
protected:
    void SetUp() override
    {
        anadirEmpresas(p.conexion(), empresas);
        Conexion::cerrarTodas();
        base = p.ruta("Evaluacion.mdb");
        nueva = base;
        respaldo = p.ruta("Evaluacion.bak");
        catalogo = numeroDe(base, "SELECT count(*) FROM FactoresRiesgos");
    }

    // Machaca una hoja de la tabla, hacia la mitad, y devuelve cuántas filas tenía.
    int machacarHoja(const char* tabla)
    {
        sqlite3* bd = nullptr;
        sqlite3_open_v2(QFile::encodeName(base).constData(), &bd, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(bd, "SELECT pageno, ncell FROM dbstat WHERE name = ? AND pagetype = 'leaf' ORDER BY pageno",
                           -1, &st, nullptr);
        sqlite3_bind_text(st, 1, tabla, -1, SQLITE_STATIC);
        std::vector<std::pair<int, int>> hojas;
        while (sqlite3_step(st) == SQLITE_ROW)
            hojas.emplace_back(sqlite3_column_int(st, 0), sqlite3_column_int(st, 1));
        sqlite3_finalize(st);
        sqlite3_close(bd);
        EXPECT_GT(hojas.size(), 4u) << "la tabla debe ocupar varias hojas";
        const auto [pagina, filas] = hojas[hojas.size() / 2];
        const qint64 tamano = numeroDe(base, "PRAGMA page_size");
        QFile f(base);
        f.open(QIODevice::ReadWrite);
        f.seek((pagina - 1) * tamano);
        f.write(QByteArray(int(tamano), '\x5a'));
        return filas;
    }

    ResultadoCompactacion reparar()
    {
        danado = huella(base);
        return CompactarBaseDatos(p.carpeta(), ConfiguracionRegionalDestino);
    }

    // Lo que vale para todo archivo rehecho: sano, con el esquema al día, sin huérfanos y con
    // el dañado guardado tal cual.
    void rehechaSana(const ResultadoCompactacion& r)
    {
        ASSERT_EQ(r.estado, Estado::Salvada) << r.mensaje.toStdString();
        EXPECT_TRUE(r.mensaje.startsWith("Finalizado.... La base de datos estaba dañada")) << r.mensaje.toStdString();
        EXPECT_TRUE(r.mensaje.contains(QStringLiteral("se han salvado %1 filas").arg(r.filasSalvadas)));
        EXPECT_TRUE(r.copia.endsWith(" dañada.bak")) << r.copia.toStdString();
        EXPECT_EQ(huella(p.ruta(r.copia)), danado);
        EXPECT_FALSE(QFileInfo::exists(p.ruta("Evaluacion2.mdb")));
        EXPECT_EQ(numeroDe(nueva, "PRAGMA user_version"), RevisionEsquema);
        EXPECT_EQ(numeroDe(nueva, "SELECT count(*) FROM pragma_integrity_check WHERE integrity_check <> 'ok'"), 0);
        EXPECT_EQ(numeroDe(nueva, "SELECT count(*) FROM pragma_foreign_key_check"), 0);
        EXPECT_NO_THROW(Conexion::obtener(p.conexion()));
    }

    qint64 filasDe(const char* tabla) { return numeroDe(nueva, QByteArray("SELECT count(*) FROM ") + tabla); }

    CopiaPrograma p;
    QString base, nueva, respaldo;
    QByteArray danado;
    qint64 catalogo = 0;
};
} // namespace

TEST_F(Salvamento, HojaDeEmpresasMachacadaPierdeSusEmpresasPeroNoSusCentros)
{
    const int perdidas = machacarHoja("Empresas");
    const ResultadoCompactacion r = reparar();
    rehechaSana(r);
    // Cada centro cuyo padre se perdió se queda, con una empresa provisional que lo dice.
    EXPECT_EQ(filasDe("Empresas"), empresas);
    EXPECT_EQ(filasDe("CentroTrabajo"), empresas);
    EXPECT_EQ(numeroDe(nueva, "SELECT count(*) FROM Empresas e JOIN CentroTrabajo c USING (IDEmpresa) "
                              "WHERE e.Nombre = 'Empresa recuperada ' || e.IDEmpresa "
                              "AND c.NombreCentro = printf('Centro de Empresa %04d', e.IDEmpresa)"),
              perdidas);
    EXPECT_EQ(filasDe("FactoresRiesgos"), catalogo);
    EXPECT_EQ(numeroDe(nueva, "SELECT count(*) FROM Empresas e JOIN CentroTrabajo c USING (IDEmpresa) "
                              "WHERE e.Nombre = printf('Empresa %04d', e.IDEmpresa) "
                              "AND c.NombreCentro = 'Centro de ' || e.Nombre"),
              empresas - perdidas);
    // Las empresas no tienen índice: cuántas había en la hoja rota no se puede saber, y se dice.
    EXPECT_FALSE(r.perdidasExactas);
    EXPECT_FALSE(r.mensaje.contains("al menos")) << r.mensaje.toStdString();
    EXPECT_TRUE(
        r.mensaje.contains(QStringLiteral("Empresas: %1 salvadas, no se sabe cuántas perdidas, %2 provisionales")
                               .arg(empresas - perdidas)
                               .arg(perdidas)))
        << r.mensaje.toStdString();
}

TEST_F(Salvamento, HojaDeCentrosMachacadaCuentaLasPerdidasPorSuIndice)
{
    const int perdidas = machacarHoja("CentroTrabajo");
    const ResultadoCompactacion r = reparar();
    rehechaSana(r);
    EXPECT_EQ(filasDe("Empresas"), empresas);
    EXPECT_EQ(filasDe("CentroTrabajo"), empresas - perdidas);
    EXPECT_TRUE(r.perdidasExactas);
    EXPECT_EQ(r.filasPerdidas, perdidas);
    EXPECT_TRUE(r.mensaje.contains(QStringLiteral("se han perdido %1.").arg(perdidas))) << r.mensaje.toStdString();
}

TEST_F(Salvamento, ArchivoDeTextoDaUnaBaseVaciaYConservaLaCopiaBuena)
{
    escribirArchivo(respaldo, "la copia buena de la última compactación");
    const QByteArray copiaBuena = huella(respaldo);
    escribirArchivo(base, "Esto no es una base de datos.\r\n");
    const ResultadoCompactacion r = reparar();
    rehechaSana(r);
    EXPECT_EQ(r.filasSalvadas, 0);
    EXPECT_EQ(filasDe("Empresas"), 0);
    // La copia anterior puede tener justo lo que el dañado ha perdido: no se borra.
    EXPECT_EQ(huella(respaldo), copiaBuena);
}

TEST_F(Salvamento, ArchivoCortadoSalvaLoQueQuedaAntesDelCorte)
{
    const qint64 filasAntes = numeroDe(base, "SELECT (SELECT count(*) FROM Empresas) + (SELECT count(*) FROM "
                                             "CentroTrabajo) + (SELECT count(*) FROM FactoresRiesgos)");
    QFile f(base);
    ASSERT_TRUE(f.resize(f.size() * 3 / 4));
    const ResultadoCompactacion r = reparar();
    rehechaSana(r);
    EXPECT_GT(r.filasSalvadas, 0);
    EXPECT_LT(filasDe("Empresas") + filasDe("CentroTrabajo") + filasDe("FactoresRiesgos"), filasAntes);
    EXPECT_TRUE(r.filasPerdidas > 0 || !r.perdidasExactas);
}
