// Varios técnicos sobre la misma base, en el archivo y en el servidor: borrar una fila que otro ha
// cambiado desde que se leyó no se lleva lo que él guardó, y una línea del plan leída vieja no se
// guarda por la vista: se enseña la del otro.
#include "postgres/BaseConCatalogo.h"
#include "store/Conexion.h"
#include "store/ErrorBD.h"
#include "store/EscrituraFila.h"
#include "store/Recordset.h"

#include <gtest/gtest.h>

namespace {
class VersionesMotores : public ::testing::TestWithParam<bool>
{
protected:
    BaseConCatalogo base{GetParam()};
    QString cx = base.texto();

    void sql(const QString& texto) { Conexion::obtener(cx)->ejecutar(texto); }
    // Borra como las ventanas, con la versión leída; da el número del fallo, 0 si lo hace.
    long borrar(const QString& tabla, const QString& clave, long long id, const QVariant& version)
    {
        try {
            borrarFila(*Conexion::obtener(cx), tabla, clave, id, version);
        } catch (const ErrorBD& e) {
            return e.numero();
        }
        return 0;
    }
    QString valor(const QString& consulta)
    {
        Recordset rs;
        rs.open(consulta, cx);
        return rs.eof() ? QStringLiteral("(ninguna)") : rs.value(0).toString();
    }
    // Un centro con un puesto y un plan de una línea, con claves fijas.
    void centroConPlan()
    {
        sql("INSERT INTO Empresas (IDEmpresa, Nombre) VALUES (501, 'Uno')");
        sql("INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, Direccion) VALUES (601, 501, 'Calle Mayor 1')");
        sql("INSERT INTO PuestosCentros (IDPuestoCentro, IDCentro, Puesto) VALUES (701, 601, 'Soldador')");
        sql("INSERT INTO \"ActuaciónPreventiva\" (IDActuacion, IDCentro) VALUES (801, 601)");
        sql("INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacionRegistro, IDActuacion, AccionPreventiva) "
            "VALUES (901, 801, 'Guantes')");
    }
};
} // namespace

TEST_P(VersionesMotores, BorrarUnaFilaQueOtroHaCambiadoNoSeLlevaLoQueGuardo)
{
    centroConPlan();
    Recordset puesto;
    puesto.open("SELECT * FROM PuestosCentros WHERE IDPuestoCentro = 701", cx);
    const QVariant leida = puesto.value("VersionFila");
    ASSERT_EQ(leida.toLongLong(), 0);
    // Otro técnico guarda el puesto entretanto: borrar lo leído antes no vale.
    sql("UPDATE PuestosCentros SET Puesto = 'Soldadora', VersionFila = VersionFila + 1");
    EXPECT_EQ(borrar("PuestosCentros", "IDPuestoCentro", 701, leida), NumeroError::RegistroModificado);
    EXPECT_EQ(valor("SELECT Puesto FROM PuestosCentros WHERE IDPuestoCentro = 701"), "Soldadora");
    // Con la versión que tiene ahora se borra, y lo que ya no está no es un fallo.
    EXPECT_EQ(borrar("PuestosCentros", "IDPuestoCentro", 701, 1), 0);
    EXPECT_EQ(valor("SELECT count(*) FROM PuestosCentros"), "0");
    EXPECT_EQ(borrar("PuestosCentros", "IDPuestoCentro", 701, 1), 0);

    // Lo mismo en las tablas de nombre con acento: la línea y la cabecera del plan.
    sql("UPDATE \"ActuaciónPreventivaRegistro\" SET Seguimiento = 'Pedidos', VersionFila = 4");
    EXPECT_EQ(borrar("\"ActuaciónPreventivaRegistro\"", "IDActuacionRegistro", 901, 3),
              NumeroError::RegistroModificado);
    sql("UPDATE \"ActuaciónPreventiva\" SET VersionFila = 2");
    EXPECT_EQ(borrar("\"ActuaciónPreventiva\"", "IDActuacion", 801, 0), NumeroError::RegistroModificado);
    EXPECT_EQ(valor("SELECT Seguimiento FROM \"ActuaciónPreventivaRegistro\""), "Pedidos");
    EXPECT_EQ(borrar("\"ActuaciónPreventiva\"", "IDActuacion", 801, 2), 0);
    EXPECT_EQ(valor("SELECT count(*) FROM \"ActuaciónPreventivaRegistro\""), "0");
}

// La vista de las líneas del plan escribe por su disparador (su función, en el servidor): la
// versión leída decide también ahí, y quien la leyó vieja ve lo que guardó el otro.
TEST_P(VersionesMotores, UnaLineaDelPlanLeidaViejaNoSeGuardaPorLaVista)
{
    centroConPlan();
    Recordset uno, dos;
    uno.open("SELECT * FROM VLineasPlan WHERE IDActuacion = 801", cx);
    dos.open("SELECT * FROM VLineasPlan WHERE IDActuacion = 801", cx);
    uno.setValue("Seguimiento", "Hecho");
    uno.update();
    EXPECT_EQ(uno.value("VersionFila").toLongLong(), 1);
    dos.setValue("Seguimiento", "Pisado");
    long numero = 0;
    QString texto;
    try {
        dos.update();
    } catch (const ErrorBD& e) {
        numero = e.numero();
        texto = e.descripcion();
    }
    EXPECT_EQ(numero, NumeroError::RegistroModificado);
    EXPECT_EQ(texto, "Otro usuario ha modificado este registro; se muestran sus datos");
    EXPECT_EQ(dos.value("Seguimiento").toString(), "Hecho");
    EXPECT_EQ(valor("SELECT Seguimiento FROM \"ActuaciónPreventivaRegistro\""), "Hecho");
    // Sobre lo ya visto, guardar vale.
    dos.setValue("Seguimiento", "Revisado");
    dos.update();
    EXPECT_EQ(valor("SELECT VersionFila FROM \"ActuaciónPreventivaRegistro\""), "2");
}

INSTANTIATE_TEST_SUITE_P(Motores, VersionesMotores, ::testing::ValuesIn(motoresConCatalogo()), nombreMotor);
