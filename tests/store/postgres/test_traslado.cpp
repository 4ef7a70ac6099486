// Trasladar un archivo del programa a una base de datos vacía del servidor: qué se copia, qué se
// rechaza y que un fallo a medias no deja nada en el servidor.
#include "BaseServidorPrueba.h"
#include "store/Esquema.h"
#include "store/postgres/EsquemaServidor.h"
#include "store/postgres/Traslado.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {
// Un archivo en disco con el esquema de la revisión dada y las sentencias que se le pasen.
QString archivo(const QTemporaryDir& dir, const QString& sql, int revision = RevisionEsquema)
{
    const QString ruta = dir.filePath(QStringLiteral("Evaluacion.mdb"));
    sqlite3* bd = nullptr;
    sqlite3_open(ruta.toUtf8().constData(), &bd);
    EXPECT_EQ(crearEsquemaRevision(bd, revision), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(bd, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(bd);
    sqlite3_close(bd);
    return ruta;
}

const QString Sembrado =
    QStringLiteral("INSERT INTO Empresas (IDEmpresa, Nombre, Provincia) VALUES (3, 'Otra', 'Soria'), (7, 'L''Oréal "
                   "Ibérica', 'A Coruña');"
                   "INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, NombreCentro, FechaEvaluacion, FechaRevision) "
                   "VALUES (40, 7, 'Almacén d''Ávila', NULL, ''), (41, 3, 'Sede', '2024-03-05', '2025-01-31');"
                   "INSERT INTO PuestosCentros (IDPuestoCentro, IDCentro, Puesto) VALUES (9, 40, 'Mozo');");

long long filasEn(const ResultadoTraslado& r, const QString& tabla)
{
    for (const auto& [t, n] : r.filas)
        if (t == tabla)
            return n;
    return -1;
}
} // namespace

TEST(Traslado, CopiaTodoConLosIdentificadoresYLosContadoresPorEncima)
{
    const QTemporaryDir dir;
    BaseServidorPrueba base;
    ConexionPg c = base.conectar();
    const ResultadoTraslado r = trasladarAlServidor(archivo(dir, Sembrado), c.get());
    ASSERT_TRUE(r.hecho) << qPrintable(r.mensaje);
    EXPECT_EQ(filasEn(r, "sqlite_sequence"), -1);
    EXPECT_GE(r.filas.size(), size_t(tablasEsquema().size() - 1));
    EXPECT_EQ(filasEn(r, "Empresas"), 2);
    EXPECT_EQ(filasEn(r, "CentroTrabajo"), 2);
    EXPECT_EQ(r.fechasVacias, 1);
    EXPECT_TRUE(r.mensaje.contains("1 fechas vacías")) << qPrintable(r.mensaje);
    EXPECT_EQ(celdaPg(c.get(), "SELECT count(*) FROM centrotrabajo"), "2");

    const ResultadoPg fila = ejecutarPg(
        c.get(), "SELECT e.Nombre, e.Provincia, t.NombreCentro, t.FechaEvaluacion IS NULL, t.FechaRevision IS NULL "
                 "FROM CentroTrabajo t JOIN Empresas e USING (IDEmpresa) WHERE t.IDCentro = 40");
    ASSERT_EQ(PQntuples(fila.get()), 1);
    EXPECT_EQ(valorPg(fila.get(), 0, 0), "L'Oréal Ibérica");
    EXPECT_EQ(valorPg(fila.get(), 0, 1), "A Coruña");
    EXPECT_EQ(valorPg(fila.get(), 0, 2), "Almacén d'Ávila");
    EXPECT_EQ(valorPg(fila.get(), 0, 3), "t");
    EXPECT_EQ(valorPg(fila.get(), 0, 4), "t");
    EXPECT_EQ(celdaPg(c.get(), "SELECT FechaRevision FROM CentroTrabajo WHERE IDCentro = 41"), "2025-01-31");
    EXPECT_EQ(celdaPg(c.get(), "SELECT Puesto FROM PuestosCentros WHERE IDPuestoCentro = 9"), "Mozo");

    // Lo que se da de alta después no choca con lo copiado.
    EXPECT_EQ(celdaPg(c.get(), "INSERT INTO Empresas (Nombre) VALUES ('Nueva') RETURNING IDEmpresa"), "8");
    EXPECT_EQ(celdaPg(c.get(), "INSERT INTO CentroTrabajo (IDEmpresa) VALUES (8) RETURNING IDCentro"), "42");
}

TEST(Traslado, RechazaUnServidorConDatosOUnArchivoDeOtraRevisionSinTocarNada)
{
    const QTemporaryDir dir;
    {
        BaseServidorPrueba base;
        ConexionPg c = base.conectar();
        ASSERT_EQ(prepararEsquemaServidor(c.get()).estado, ResultadoEsquema::Estado::Nueva);
        ejecutarPg(c.get(), "INSERT INTO Empresas (IDEmpresa, Nombre) VALUES (7, 'Ya estaba')");
        const ResultadoTraslado r = trasladarAlServidor(archivo(dir, Sembrado), c.get());
        EXPECT_FALSE(r.hecho);
        EXPECT_TRUE(r.mensaje.contains("Empresas")) << qPrintable(r.mensaje);
        EXPECT_EQ(celdaPg(c.get(), "SELECT Nombre FROM Empresas"), "Ya estaba");
        EXPECT_EQ(celdaPg(c.get(), "SELECT count(*) FROM CentroTrabajo"), "0");
    }
    const QTemporaryDir antiguo;
    BaseServidorPrueba base;
    ConexionPg c = base.conectar();
    const ResultadoTraslado r = trasladarAlServidor(archivo(antiguo, {}, RevisionEsquema - 1), c.get());
    EXPECT_FALSE(r.hecho);
    EXPECT_TRUE(r.mensaje.contains(QString::number(RevisionEsquema - 1))) << qPrintable(r.mensaje);
    EXPECT_EQ(celdaPg(c.get(), "SELECT count(*) FROM pg_tables WHERE schemaname = current_schema()"), "0");
    const ResultadoTraslado sinArchivo = trasladarAlServidor(dir.filePath("NoEsta.mdb"), c.get());
    EXPECT_FALSE(sinArchivo.hecho);
    EXPECT_FALSE(QFile::exists(dir.filePath("NoEsta.mdb"))); // sólo se lee: no se crea
}

// Una base del servidor que el programa ya abrió tiene su catálogo: sigue contando como vacía y el
// catálogo que queda es el del archivo, el que nombran sus evaluaciones.
TEST(Traslado, UnServidorConSoloElCatalogoSeAceptaYTomaElDelArchivo)
{
    const QTemporaryDir dir;
    BaseServidorPrueba base;
    ConexionPg c = base.conectar();
    ASSERT_EQ(prepararEsquemaServidor(c.get()).estado, ResultadoEsquema::Estado::Nueva);
    ejecutarPg(c.get(), "INSERT INTO Riesgos (IDRiesgo, Riesgo) VALUES (1, 'Del servidor'), (2, 'Sólo allí');"
                        "INSERT INTO FactoresRiesgos (IDFactor, Factor) VALUES (5, 'Escaleras');"
                        "INSERT INTO RiesgosFactores (IDRiesgoFactor, IDFactor, IDRiesgo) VALUES (1, 5, 2);"
                        "INSERT INTO Medidas (IDMedida, IDRiesgo, IDFactor, Medida) VALUES (1, 2, 5, 'Barandilla');"
                        "INSERT INTO Actuaciones (IDActuaciones, Actuacion) VALUES (1, 'Formación');"
                        "UPDATE RevisionCatalogo SET Revision = 9");
    const ResultadoTraslado r = trasladarAlServidor(
        archivo(dir, Sembrado + "INSERT INTO Riesgos (IDRiesgo, Riesgo) VALUES (1, 'Caída al mismo nivel');"
                                "UPDATE RevisionCatalogo SET Revision = 4;"),
        c.get());
    ASSERT_TRUE(r.hecho) << qPrintable(r.mensaje);
    EXPECT_EQ(celdaPg(c.get(), "SELECT string_agg(Riesgo, '|' ORDER BY IDRiesgo) FROM Riesgos"),
              "Caída al mismo nivel");
    EXPECT_EQ(celdaPg(c.get(), "SELECT count(*) FROM Medidas"), "0");
    EXPECT_EQ(celdaPg(c.get(), "SELECT count(*) FROM RiesgosFactores"), "0");
    EXPECT_EQ(celdaPg(c.get(), "SELECT count(*) FROM Actuaciones"), "0");
    EXPECT_EQ(celdaPg(c.get(), "SELECT Revision FROM RevisionCatalogo"), "4");
    EXPECT_EQ(celdaPg(c.get(), "SELECT count(*) FROM Empresas"), "2");
}

// Lo que dice al terminar se lee como un número en castellano: 12.004, no 12004 (con cuatro cifras,
// 1254, sin punto, como se escribe).
TEST(Traslado, ElTotalDeFilasLlevaLosMilesSeparados)
{
    const QTemporaryDir dir;
    BaseServidorPrueba base;
    ConexionPg c = base.conectar();
    const ResultadoTraslado r =
        trasladarAlServidor(archivo(dir, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                                         "12000) INSERT INTO Empresas (Nombre) SELECT 'Empresa ' || i FROM n;"),
                            c.get());
    ASSERT_TRUE(r.hecho) << qPrintable(r.mensaje);
    const long long total = totalFilas(r.filas);
    ASSERT_GE(total, 12000);
    EXPECT_TRUE(r.mensaje.startsWith(QStringLiteral("Trasladadas 12.%1 filas").arg(total - 12000, 3, 10, QChar('0'))))
        << qPrintable(r.mensaje);
}

TEST(Traslado, UnFalloAMediasDejaElServidorVacio)
{
    const QTemporaryDir dir;
    BaseServidorPrueba base;
    ConexionPg c = base.conectar();
    ASSERT_EQ(prepararEsquemaServidor(c.get()).estado, ResultadoEsquema::Estado::Nueva);
    const QString deSerie = celdaPg(c.get(), "SELECT count(*) FROM PlazosNiveles");
    ejecutarPg(c.get(), "ALTER TABLE CentroTrabajo ADD CONSTRAINT sin_sede CHECK (NombreCentro <> 'Sede')");
    const ResultadoTraslado r = trasladarAlServidor(archivo(dir, Sembrado), c.get());
    EXPECT_FALSE(r.hecho);
    EXPECT_TRUE(r.filas.empty());
    EXPECT_TRUE(r.mensaje.startsWith("No se ha trasladado nada")) << qPrintable(r.mensaje);
    EXPECT_EQ(celdaPg(c.get(), "SELECT count(*) FROM Empresas"), "0");
    EXPECT_EQ(celdaPg(c.get(), "SELECT count(*) FROM CentroTrabajo"), "0");
    EXPECT_EQ(celdaPg(c.get(), "SELECT count(*) FROM PlazosNiveles"), deSerie);
    // El contador sigue donde estaba: nada del intento queda en el servidor.
    EXPECT_EQ(celdaPg(c.get(), "INSERT INTO Empresas (Nombre) VALUES ('Nueva') RETURNING IDEmpresa"), "1");

    // Una fecha que el servidor podría leer de dos maneras no se pasa.
    ejecutarPg(c.get(), "DELETE FROM Empresas");
    const QTemporaryDir otro;
    const ResultadoTraslado ambigua = trasladarAlServidor(
        archivo(otro, "INSERT INTO Empresas (IDEmpresa) VALUES (1);"
                      "INSERT INTO CentroTrabajo (IDEmpresa, FechaEvaluacion) VALUES (1, '05/03/2024');"),
        c.get());
    EXPECT_FALSE(ambigua.hecho);
    EXPECT_TRUE(ambigua.mensaje.contains("05/03/2024")) << qPrintable(ambigua.mensaje);
    EXPECT_EQ(celdaPg(c.get(), "SELECT count(*) FROM CentroTrabajo"), "0");
}

TEST(Traslado, FilasQueNoLleganAlServidorDeshacenElTrasladoYDicenLaTabla)
{
    const QTemporaryDir dir;
    BaseServidorPrueba base;
    ConexionPg c = base.conectar();
    ASSERT_EQ(prepararEsquemaServidor(c.get()).estado, ResultadoEsquema::Estado::Nueva);
    // El servidor acepta las filas sin error, pero no las guarda.
    ejecutarPg(c.get(), "CREATE RULE descartar AS ON INSERT TO PuestosCentros DO INSTEAD NOTHING");
    const ResultadoTraslado r = trasladarAlServidor(archivo(dir, Sembrado), c.get());
    EXPECT_FALSE(r.hecho);
    EXPECT_TRUE(r.mensaje.contains("PuestosCentros")) << qPrintable(r.mensaje);
    EXPECT_EQ(celdaPg(c.get(), "SELECT count(*) FROM Empresas"), "0");
}
