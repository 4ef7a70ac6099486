// Varios técnicos sobre la misma base de datos: cada fila lleva su versión, guardar una fila que
// otro ha cambiado desde que se leyó no la pisa, y una acción que encuentra la base ocupada se
// repite unas pocas veces antes de avisar.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "ErrorDe.h"
#include "store/Conexion.h"
#include "store/ErrorBD.h"
#include "store/Esquema.h"
#include "store/Recordset.h"
#include "store/Reintentos.h"

#include <QFile>
#include <sqlite3.h>

#include <gtest/gtest.h>

namespace {
// Otro programa sobre el mismo archivo, con su propio manejador.
struct OtroPrograma
{
    sqlite3* bd = nullptr;
    explicit OtroPrograma(const QString& ruta) { sqlite3_open(QFile::encodeName(ruta).constData(), &bd); }
    ~OtroPrograma() { sqlite3_close(bd); }
    int sql(const char* texto) { return sqlite3_exec(bd, texto, nullptr, nullptr, nullptr); }
    QString valor(const char* consulta)
    {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(bd, consulta, -1, &st, nullptr);
        QString r;
        if (sqlite3_step(st) == SQLITE_ROW)
            r = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        return r;
    }
};

class VersionesFila : public ::testing::Test
{
protected:
    CopiaPrograma p;
    QString cx = p.conexion();
};
} // namespace

TEST_F(VersionesFila, UnArchivoDeLaRevisionAnteriorSePoneAlDiaConLaCopiaAntes)
{
    const QString archivo = p.ruta("Evaluacion.mdb");
    ASSERT_TRUE(QFile::remove(archivo));
    {
        OtroPrograma viejo(archivo);
        ASSERT_EQ(crearEsquemaRevision(viejo.bd, 6), SQLITE_OK);
        ASSERT_EQ(viejo.sql("INSERT INTO Empresas (IDEmpresa, Nombre) VALUES (1, 'Uno');"
                            "INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, Direccion) VALUES (1, 1, 'C1');"
                            "INSERT INTO \"ActuaciónPreventiva\" (IDActuacion, IDCentro) VALUES (1, 1);"),
                  SQLITE_OK);
    }
    const auto con = Conexion::obtener(cx);
    EXPECT_EQ(con->esquema().estado, ResultadoEsquema::Estado::PuestaAlDia);
    EXPECT_EQ(con->esquema().revision, 6);
    ASSERT_EQ(con->esquema().copia, archivo + ".r6.bak");
    {
        OtroPrograma copia(con->esquema().copia);
        EXPECT_EQ(copia.valor("PRAGMA user_version"), "6");
        EXPECT_EQ(copia.valor("SELECT Nombre FROM Empresas"), "Uno");
    }
    EXPECT_EQ(datos::contar(cx, "PRAGMA user_version"), RevisionEsquema);
    // Las filas que había empiezan en la versión 0, también la de la tabla con acento.
    for (const char* sql : {"SELECT VersionFila FROM Empresas WHERE IDEmpresa = 1",
                            "SELECT VersionFila FROM CentroTrabajo WHERE IDCentro = 1",
                            "SELECT VersionFila FROM \"ActuaciónPreventiva\" WHERE IDActuacion = 1"})
        EXPECT_EQ(datos::contar(cx, sql), 0) << sql;
    // Un alta nueva también empieza en 0.
    Recordset rs;
    rs.open("Select * from PuestosCentros", cx);
    rs.addNew();
    rs.setValue("IDCentro", 1);
    rs.update();
    EXPECT_EQ(rs.value("VersionFila").toLongLong(), 0);
}

TEST_F(VersionesFila, GuardarUnaFilaQueOtroHaCambiadoNoLaPisaYEnsenaLaSuya)
{
    const long long id = datos::empresa(cx, "Alfa");
    Recordset rs;
    rs.open("Select * from Empresas", cx);

    // Guardar sin competencia sube la versión, en la base y en el conjunto.
    rs.setValue("Persona", "Ana");
    rs.update();
    EXPECT_EQ(rs.value("VersionFila").toLongLong(), 1);
    EXPECT_EQ(datos::contar(cx, "SELECT VersionFila FROM Empresas WHERE IDEmpresa = ?", {id}), 1);

    // Otro programa guarda la misma fila mientras tanto.
    OtroPrograma otro(p.ruta("Evaluacion.mdb"));
    ASSERT_EQ(otro.sql("UPDATE Empresas SET CIF = 'B123', Persona = 'Berta', VersionFila = VersionFila + 1"),
              SQLITE_OK);

    rs.setValue("Persona", "Carlos");
    const ErrorBD e = errorDe([&] { rs.update(); });
    EXPECT_EQ(e.numero(), NumeroError::RegistroModificado);
    EXPECT_EQ(e.descripcion(), "Otro usuario ha modificado este registro; se muestran sus datos");
    // El conjunto enseña lo que guardó el otro, y la base lo conserva entero.
    EXPECT_FALSE(rs.editing());
    EXPECT_EQ(rs.value("Persona").toString(), "Berta");
    EXPECT_EQ(rs.value("CIF").toString(), "B123");
    EXPECT_EQ(otro.valor("SELECT Persona || '|' || CIF || '|' || VersionFila FROM Empresas"), "Berta|B123|2");

    // Sobre lo ya visto, guardar vale otra vez.
    rs.setValue("Persona", "Carlos");
    rs.update();
    EXPECT_EQ(otro.valor("SELECT Persona || '|' || CIF || '|' || VersionFila FROM Empresas"), "Carlos|B123|3");

    // Si el otro la borra, el aviso es el de siempre: no hay datos suyos que enseñar.
    ASSERT_EQ(otro.sql("DELETE FROM Empresas"), SQLITE_OK);
    rs.setValue("Persona", "Dora");
    const ErrorBD borrada = errorDe([&] { rs.update(); });
    EXPECT_EQ(borrada.numero(), NumeroError::ErrorGeneral);
    EXPECT_TRUE(borrada.descripcion().startsWith("No se encuentra el registro")) << borrada.descripcion().toStdString();
}

TEST_F(VersionesFila, LaBaseOcupadaSeReintentaUnasPocasVecesYLuegoSeAvisa)
{
    const auto con = Conexion::obtener(cx);
    const ErrorBD ocupada(NumeroError::BaseOcupada, "ocupada");

    // Dos veces ocupada y a la tercera sale: lo hecho en los intentos fallidos no queda.
    int intentos = 0;
    conReintentos(*con, [&] {
        Transaccion t(con);
        ++intentos;
        con->ejecutar("INSERT INTO Empresas (Nombre) VALUES ('Intento')");
        if (intentos < 3)
            throw ocupada;
        t.confirmar();
    });
    EXPECT_EQ(intentos, 3);
    EXPECT_EQ(datos::contar(cx, "SELECT count(*) FROM Empresas WHERE Nombre = 'Intento'"), 1);

    // Siempre ocupada: se avisa tras el último intento, sin repetir sin fin.
    intentos = 0;
    EXPECT_EQ(errorDe([&] { conReintentos(*con, [&] { ++intentos, throw ocupada; }); }).numero(),
              NumeroError::BaseOcupada);
    EXPECT_EQ(intentos, IntentosOcupada);

    // Otro fallo no se repite, y dentro de una transacción abierta tampoco: la repite quien la abrió.
    intentos = 0;
    EXPECT_EQ(errorDe([&] {
                  conReintentos(*con, [&] { ++intentos, throw ErrorBD(NumeroError::OperacionVariosPasos, "x"); });
              }).numero(),
              NumeroError::OperacionVariosPasos);
    EXPECT_EQ(intentos, 1);
    intentos = 0;
    {
        Transaccion fuera(con);
        errorDe([&] { conReintentos(*con, [&] { ++intentos, throw ocupada; }); });
    }
    EXPECT_EQ(intentos, 1);

    // Con el archivo bloqueado de verdad por otro programa, el fallo llega como base ocupada.
    OtroPrograma otro(p.ruta("Evaluacion.mdb"));
    ASSERT_EQ(otro.sql("BEGIN IMMEDIATE"), SQLITE_OK);
    intentos = 0;
    const ErrorBD bloqueada = errorDe([&] {
        conReintentos(*con, [&] {
            ++intentos;
            Transaccion t(con);
            con->ejecutar("INSERT INTO Empresas (Nombre) VALUES ('Bloqueada')");
            t.confirmar();
        });
    });
    EXPECT_EQ(bloqueada.numero(), NumeroError::BaseOcupada);
    EXPECT_EQ(intentos, IntentosOcupada);
    otro.sql("ROLLBACK");
}

// Las vistas que editan las ventanas escriben por su disparador: también ahí la versión leída
// decide, y quien la leyó vieja ve lo que guardó el otro.
TEST_F(VersionesFila, CalificarPorLaVistaUnRiesgoQueOtroHaCambiadoNoLoPisa)
{
    const long long c = datos::centro(cx, datos::empresa(cx));
    const long long ev = datos::evaluacion(cx, datos::factor(cx, datos::puesto(cx, c), 1, "S"), 1);
    Recordset rs;
    rs.open(QStringLiteral("Select * from VRiesgos where IDEvaluacion = %1").arg(ev), cx);
    rs.setValue("Probabilidad", "Baja");
    rs.update();
    EXPECT_EQ(rs.value("VersionFila").toLongLong(), 1);

    OtroPrograma otro(p.ruta("Evaluacion.mdb"));
    ASSERT_EQ(otro.sql("UPDATE Evaluacion SET Probabilidad = 'Alta', VersionFila = VersionFila + 1"), SQLITE_OK);
    rs.setValue("Probabilidad", "Media");
    const ErrorBD e = errorDe([&] { rs.update(); });
    EXPECT_EQ(e.numero(), NumeroError::RegistroModificado);
    EXPECT_EQ(e.descripcion(), "Otro usuario ha modificado este registro; se muestran sus datos");
    EXPECT_EQ(rs.value("Probabilidad").toString(), "Alta");
    EXPECT_EQ(otro.valor("SELECT Probabilidad || '|' || VersionFila FROM Evaluacion"), "Alta|2");

    // Sobre lo ya visto, guardar vale; quien escribe en la vista sin nombrar la versión no se rechaza.
    rs.setValue("Probabilidad", "Media");
    rs.update();
    EXPECT_EQ(otro.valor("SELECT Probabilidad || '|' || VersionFila FROM Evaluacion"), "Media|3");
    ASSERT_EQ(otro.sql("UPDATE VRiesgos SET Consecuencias = 'Dañino'"), SQLITE_OK);
    EXPECT_EQ(otro.valor("SELECT Consecuencias || '|' || VersionFila FROM Evaluacion"), "Dañino|4");
}

TEST_F(VersionesFila, UnArchivoDeLaRevision7GanaLaVersionEnLasVistasConSuCopia)
{
    const QString archivo = p.ruta("Evaluacion.mdb");
    ASSERT_TRUE(QFile::remove(archivo));
    {
        OtroPrograma viejo(archivo);
        ASSERT_EQ(crearEsquemaRevision(viejo.bd, 7), SQLITE_OK);
        ASSERT_EQ(viejo.sql("INSERT INTO Empresas (IDEmpresa) VALUES (1);"
                            "INSERT INTO CentroTrabajo (IDCentro, IDEmpresa) VALUES (1, 1);"
                            "INSERT INTO \"ActuaciónPreventiva\" (IDActuacion, IDCentro) VALUES (1, 1);"
                            "INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, VersionFila) VALUES (1, 5);"),
                  SQLITE_OK);
    }
    const auto con = Conexion::obtener(cx);
    EXPECT_EQ(con->esquema().estado, ResultadoEsquema::Estado::PuestaAlDia);
    EXPECT_EQ(con->esquema().copia, archivo + ".r7.bak");
    EXPECT_EQ(datos::contar(cx, "SELECT VersionFila FROM VLineasPlan"), 5);
    // Una línea del plan leída en la versión 5 se guarda una vez; la segunda copia leída igual, no.
    Recordset uno, dos;
    uno.open("Select * from VLineasPlan", cx);
    dos.open("Select * from VLineasPlan", cx);
    uno.setValue("Seguimiento", "Hecho");
    uno.update();
    dos.setValue("Seguimiento", "Pisado");
    EXPECT_EQ(errorDe([&] { dos.update(); }).numero(), NumeroError::RegistroModificado);
    EXPECT_EQ(dos.value("Seguimiento").toString(), "Hecho");
    EXPECT_EQ(datos::contar(cx, "SELECT VersionFila FROM \"ActuaciónPreventivaRegistro\""), 6);
}
