// La versión de las filas en un servidor: una base de la revisión anterior se pone al día con las
// filas que tenía en la versión 0, y una nueva nace con la columna en cada tabla que la lleva.
#include "BaseServidorPrueba.h"
#include "store/Esquema.h"
#include "store/TextoRevisiones.h"
#include "store/postgres/EsquemaServidor.h"
#include "store/postgres/TextoEsquemaServidor.h"

#include <gtest/gtest.h>

using Estado = ResultadoEsquema::Estado;

TEST(VersionesServidor, LaRevisionAnteriorSePoneAlDiaConSusFilasEnLaVersionCero)
{
    BaseServidorPrueba base;
    ConexionPg c = base.conectar();
    // Una base tal como la dejaba el programa anterior, con datos.
    ejecutarPg(c.get(), QString::fromUtf8(SqlServidor::revision6));
    ejecutarPg(c.get(), QStringLiteral("UPDATE RevisionEsquema SET Revision = 6;"
                                       "INSERT INTO Empresas (IDEmpresa, Nombre) VALUES (5, 'Uno');"
                                       "INSERT INTO CentroTrabajo (IDCentro, IDEmpresa) VALUES (7, 5);"
                                       "INSERT INTO \"ActuaciónPreventiva\" (IDActuacion, IDCentro) VALUES (3, 7);"));

    const ResultadoEsquema r = prepararEsquemaServidor(c.get());
    ASSERT_EQ(r.estado, Estado::PuestaAlDia) << (r.error ? r.error->descripcion().toStdString() : "");
    EXPECT_EQ(r.revision, 6);
    EXPECT_EQ(celdaPg(c.get(), QStringLiteral("SELECT Revision FROM RevisionEsquema")),
              QString::number(RevisionEsquema));
    EXPECT_EQ(celdaPg(c.get(), QStringLiteral("SELECT VersionFila FROM Empresas WHERE IDEmpresa = 5")), "0");
    EXPECT_EQ(celdaPg(c.get(), QStringLiteral("SELECT VersionFila FROM \"ActuaciónPreventiva\"")), "0");
    // Un alta nueva también empieza en 0, y la columna no admite quedarse sin versión.
    EXPECT_EQ(
        celdaPg(c.get(), QStringLiteral("INSERT INTO CentroTrabajo (IDEmpresa) VALUES (5) RETURNING VersionFila")),
        "0");
    EXPECT_THROW(ejecutarPg(c.get(), QStringLiteral("UPDATE Empresas SET VersionFila = NULL")), ErrorBD);

    // Las mismas tablas llevan la columna en el servidor que en el archivo.
    for (QString tabla : SqlRevision::tablasConVersion()) {
        tabla.remove('"');
        const bool conComillas = tabla != tabla.toLatin1();
        EXPECT_EQ(celdaPg(c.get(),
                          QStringLiteral("SELECT count(*) FROM information_schema.columns WHERE table_schema = "
                                         "current_schema() AND table_name = $1 AND column_name = 'versionfila' "
                                         "AND is_nullable = 'NO' AND column_default = '0'"),
                          {conComillas ? tabla : tabla.toLower()}),
                  "1")
            << tabla.toStdString();
    }
}

// Una base de la revisión 7 gana la versión en las vistas que editan las ventanas, y su función
// rechaza con su código a quien escribe con la versión vieja, sin tocar la fila.
TEST(VersionesServidor, LaRevision7GanaLaVersionEnLasVistasYRechazaLaVieja)
{
    BaseServidorPrueba base;
    ConexionPg c = base.conectar();
    ejecutarPg(c.get(), QString::fromUtf8(SqlServidor::revision6));
    ejecutarPg(c.get(), SqlServidor::revision7());
    ejecutarPg(c.get(), QStringLiteral("UPDATE RevisionEsquema SET Revision = 7;"
                                       "INSERT INTO Empresas (IDEmpresa) VALUES (5);"
                                       "INSERT INTO CentroTrabajo (IDCentro, IDEmpresa) VALUES (7, 5);"
                                       "INSERT INTO \"ActuaciónPreventiva\" (IDActuacion, IDCentro) VALUES (3, 7);"
                                       "INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacionRegistro, "
                                       "IDActuacion, VersionFila) VALUES (9, 3, 4);"));
    const ResultadoEsquema r = prepararEsquemaServidor(c.get());
    ASSERT_EQ(r.estado, Estado::PuestaAlDia) << (r.error ? r.error->descripcion().toStdString() : "");
    EXPECT_EQ(r.revision, 7);
    EXPECT_EQ(celdaPg(c.get(), QStringLiteral("SELECT VersionFila FROM VLineasPlan")), "4");
    ejecutarPg(c.get(), QStringLiteral("UPDATE VLineasPlan SET Seguimiento = 'Hecho', VersionFila = 4"));
    try {
        ejecutarPg(c.get(), QStringLiteral("UPDATE VLineasPlan SET Seguimiento = 'Pisado', VersionFila = 4"));
        ADD_FAILURE() << "la versión vieja se ha guardado";
    } catch (const ErrorBD& e) {
        EXPECT_EQ(e.numero(), NumeroError::RegistroModificado);
    }
    EXPECT_EQ(celdaPg(c.get(), QStringLiteral("SELECT Seguimiento || '|' || VersionFila FROM VLineasPlan")), "Hecho|5");
}
