// Compactación de la base de datos: qué queda en la carpeta cuando sale bien y que el archivo
// vivo no cambia cuando algo sale mal.
#include "ArchivosReparar.h"
#include "Compactacion.h"
#include "CopiaPrograma.h"
#include "InstanciaPrograma.h"

#include <QLockFile>
#include <gtest/gtest.h>

namespace {
using Estado = ResultadoCompactacion::Estado;
const QStringList tresArchivos = {"Evaluacion.bak", "Evaluacion.mdb", "SYSTEM.mdw"};

class Compactacion : public ::testing::Test
{
protected:
    void SetUp() override
    {
        anadirEmpresas(p.conexion(), 40);
        // Borrar deja páginas libres: la compactación tiene algo que quitar.
        Conexion::obtener(p.conexion())->ejecutar("DELETE FROM Empresas WHERE IDEmpresa > 20");
        Conexion::cerrarTodas();
        original = huella(p.ruta("Evaluacion.mdb"));
    }

    ResultadoCompactacion compactar(const GanchosCompactacion& g = {})
    {
        return CompactarBaseDatos(p.carpeta(), ConfiguracionRegionalDestino, g);
    }

    // Lo que se comprueba en cada fallo: el archivo vivo es el mismo y no sobra nada.
    void sinCambios(const ResultadoCompactacion& r, Estado estado, const QStringList& archivos)
    {
        EXPECT_EQ(r.estado, estado) << r.mensaje.toStdString();
        EXPECT_TRUE(r.mensaje.startsWith("No se ha compactado")) << r.mensaje.toStdString();
        EXPECT_EQ(huella(p.ruta("Evaluacion.mdb")), original);
        EXPECT_EQ(archivosDe(p.carpeta()), archivos);
    }

    CopiaPrograma p;
    QByteArray original;
};
} // namespace

TEST_F(Compactacion, DejaLaCompactadaEnSuSitioYLaAnteriorComoCopia)
{
    const qint64 antes = QFileInfo(p.ruta("Evaluacion.mdb")).size();
    const ResultadoCompactacion r = compactar();
    ASSERT_EQ(r.estado, Estado::Compactada) << r.mensaje.toStdString();
    EXPECT_EQ(r.mensaje, "Finalizado....");
    EXPECT_EQ(archivosDe(p.carpeta()), tresArchivos);
    EXPECT_EQ(huella(p.ruta("Evaluacion.bak")), original);
    EXPECT_LT(QFileInfo(p.ruta("Evaluacion.mdb")).size(), antes);
    // El programa la abre como siempre, con diario adelantado y los mismos datos.
    EXPECT_EQ(numeroDe(p.ruta("Evaluacion.mdb"), "SELECT count(*) FROM Empresas"), 20);
    EXPECT_EQ(numeroDe(p.ruta("Evaluacion.mdb"), "SELECT count(*) FROM CentroTrabajo"), 20);
    QFile f(p.ruta("Evaluacion.mdb"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.read(20).mid(18, 2), QByteArray("\x02\x02"));
    f.close();
    EXPECT_NO_THROW(Conexion::obtener(p.conexion()));
}

TEST_F(Compactacion, DosSeguidasYCopiasYRestosAnteriores)
{
    // Restos de otras veces: una copia vieja y una compactación que se quedó a medias.
    escribirArchivo(p.ruta("Evaluacion.bak"), "copia de hace mucho");
    escribirArchivo(p.ruta("Evaluacion2.mdb"), "a medias");
    escribirArchivo(p.ruta("Evaluacion2.mdb-wal"), "diario a medias");
    ASSERT_EQ(compactar().estado, Estado::Compactada);
    EXPECT_EQ(archivosDe(p.carpeta()), tresArchivos);
    EXPECT_EQ(huella(p.ruta("Evaluacion.bak")), original);

    const QByteArray primera = huella(p.ruta("Evaluacion.mdb"));
    ASSERT_EQ(compactar().estado, Estado::Compactada);
    EXPECT_EQ(archivosDe(p.carpeta()), tresArchivos);
    EXPECT_EQ(huella(p.ruta("Evaluacion.bak")), primera);
    EXPECT_EQ(numeroDe(p.ruta("Evaluacion.mdb"), "SELECT count(*) FROM Empresas"), 20);
}

TEST_F(Compactacion, RecogeLoQueQuedoEnElDiario)
{
    // Un programa que terminó de golpe deja filas sólo en el diario adelantado.
    sqlite3* bd = nullptr;
    sqlite3_open(QFile::encodeName(p.ruta("Evaluacion.mdb")).constData(), &bd);
    sqlite3_db_config(bd, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_exec(bd, "INSERT INTO Empresas (Nombre) VALUES ('Sólo en el diario')", nullptr, nullptr, nullptr);
    sqlite3_close(bd);
    ASSERT_TRUE(QFileInfo::exists(p.ruta("Evaluacion.mdb-wal")));

    ASSERT_EQ(compactar().estado, Estado::Compactada);
    EXPECT_EQ(archivosDe(p.carpeta()), tresArchivos);
    EXPECT_EQ(numeroDe(p.ruta("Evaluacion.mdb"), "SELECT count(*) FROM Empresas WHERE Nombre = 'Sólo en el diario'"),
              1);
    EXPECT_EQ(numeroDe(p.ruta("Evaluacion.bak"), "SELECT count(*) FROM Empresas"), 21);
}

TEST_F(Compactacion, ConElProgramaAbiertoNoSeToca)
{
    QLockFile programa(rutaBloqueoInstancia(p.carpeta()));
    ASSERT_TRUE(programa.tryLock(0));
    const ResultadoCompactacion r = compactar();
    sinCambios(r, Estado::EnUso, {"Evaluacion.mdb", "SYSTEM.mdw"});
    EXPECT_TRUE(r.mensaje.contains("Evaluación de Riesgos está abierto"));
}

TEST_F(Compactacion, ConOtraConexionAbiertaNoSeToca)
{
    sqlite3* otra = nullptr;
    sqlite3_open(QFile::encodeName(p.ruta("Evaluacion.mdb")).constData(), &otra);
    sqlite3_exec(otra, "SELECT count(*) FROM Empresas", nullptr, nullptr, nullptr);
    const ResultadoCompactacion r = compactar();
    sqlite3_close(otra);
    sinCambios(r, Estado::EnUso, {"Evaluacion.mdb", "SYSTEM.mdw"});
    EXPECT_TRUE(r.mensaje.contains("Otro programa tiene abierta la base de datos"));
    // Cerrada la otra, sale bien.
    EXPECT_EQ(compactar().estado, Estado::Compactada);
}

TEST_F(Compactacion, DiscoLlenoNoRenombraNada)
{
    escribirArchivo(p.ruta("Evaluacion.bak"), "copia anterior");
    GanchosCompactacion g;
    g.copiar = [](sqlite3*, const QString& destino) {
        escribirArchivo(destino, QByteArray(4096, 'x')); // lo que cupo antes de llenarse
        return SQLITE_FULL;
    };
    const ResultadoCompactacion r = compactar(g);
    sinCambios(r, Estado::DiscoLleno, tresArchivos);
    EXPECT_TRUE(r.mensaje.contains("No queda espacio en el disco"));
    EXPECT_EQ(huella(p.ruta("Evaluacion.bak")), QCryptographicHash::hash("copia anterior", QCryptographicHash::Sha256));
}

TEST_F(Compactacion, CopiaQueNoPasaLaComprobacionSeBorra)
{
    GanchosCompactacion g;
    g.antesDeComprobar = [](sqlite3* copia) {
        sqlite3_exec(copia, "DELETE FROM CentroTrabajo WHERE IDCentro = 3", nullptr, nullptr, nullptr);
    };
    const ResultadoCompactacion r = compactar(g);
    sinCambios(r, Estado::ComprobacionFallida, {"Evaluacion.mdb", "SYSTEM.mdw"});
    EXPECT_TRUE(r.mensaje.contains("CentroTrabajo tiene 19 filas")) << r.mensaje.toStdString();
}

TEST_F(Compactacion, SiFallaUnCambioDeNombreTodoVuelveASuSitio)
{
    escribirArchivo(p.ruta("Evaluacion.bak"), "copia anterior");
    const QByteArray copiaAnterior = huella(p.ruta("Evaluacion.bak"));
    GanchosCompactacion g;
    g.renombrar = [](const QString& de, const QString& a) {
        return !de.endsWith("Evaluacion2.mdb") && QFile::rename(de, a);
    };
    const ResultadoCompactacion r = compactar(g);
    sinCambios(r, Estado::Fallo, tresArchivos);
    EXPECT_EQ(huella(p.ruta("Evaluacion.bak")), copiaAnterior);
}

TEST_F(Compactacion, SinBaseDeDatosNoHaceNada)
{
    QFile::rename(p.ruta("Evaluacion.mdb"), p.ruta("Evaluacion.bak"));
    const ResultadoCompactacion r = compactar();
    EXPECT_EQ(r.estado, Estado::SinBaseDatos);
    EXPECT_TRUE(r.mensaje.contains("Puede recuperar la copia Evaluacion.bak"));
    EXPECT_EQ(archivosDe(p.carpeta()), QStringList({"Evaluacion.bak", "SYSTEM.mdw"}));
}
