// La conexión del programa con un servidor: se elige por el proveedor del texto de conexión, el
// esquema se prepara en el servidor y los conjuntos de registros trabajan igual que en el archivo.
#include "MotoresPrueba.h"
#include "store/Conexion.h"
#include "store/Recordset.h"

#include <QDate>
#include <gtest/gtest.h>

TEST(ConexionServidor, UnaEmpresaSeAnadeLeeCambiaYBorraEnElServidor)
{
    BaseProgramaServidor s;
    {
        const auto con = Conexion::obtener(s.texto());
        EXPECT_EQ(con->esquema().estado, ResultadoEsquema::Estado::Nueva);
        EXPECT_EQ(con->sqlite(), nullptr);
    }

    Recordset rs;
    rs.open(QStringLiteral("SELECT * FROM Empresas"), s.texto());
    EXPECT_TRUE(rs.eof());
    rs.addNew();
    rs.setValue(QStringLiteral("Nombre"), QStringLiteral("L'Hospitalet «Ñ»"));
    rs.setValue(QStringLiteral("TotalTrabajadores"), QStringLiteral("12"));
    rs.update();
    const long long id = rs.lastInsertId();
    EXPECT_GT(id, 0);
    EXPECT_EQ(rs.value(QStringLiteral("IDEmpresa")).toLongLong(), id);
    EXPECT_EQ(rs.value(QStringLiteral("TotalTrabajadores")), QVariant(qlonglong(12)));

    // Un centro con su fecha: vuelve como fecha, no como texto.
    Recordset centro;
    centro.open(QStringLiteral("SELECT * FROM CentroTrabajo WHERE IDEmpresa = ?"), s.texto(), {id});
    centro.addNew();
    centro.setValue(QStringLiteral("IDEmpresa"), id);
    centro.setValue(QStringLiteral("NombreCentro"), QStringLiteral("Nave"));
    centro.setValue(QStringLiteral("FechaEvaluacion"), QDate(2026, 2, 28));
    centro.update();
    centro.requery();
    ASSERT_FALSE(centro.eof());
    EXPECT_EQ(centro.value(QStringLiteral("FechaEvaluacion")), QVariant(QDate(2026, 2, 28)));

    rs.open(QStringLiteral("SELECT * FROM Empresas WHERE IDEmpresa = ?"), s.texto(), {id});
    ASSERT_FALSE(rs.eof());
    EXPECT_EQ(rs.value(QStringLiteral("Nombre")).toString(), QStringLiteral("L'Hospitalet «Ñ»"));
    rs.setValue(QStringLiteral("Nombre"), QStringLiteral("Talleres"));
    rs.update();
    rs.requery();
    EXPECT_EQ(rs.value(QStringLiteral("Nombre")).toString(), QStringLiteral("Talleres"));

    // Borrar la empresa se lleva su centro en cascada.
    EXPECT_EQ(Recordset::execute(QStringLiteral("DELETE FROM Empresas WHERE IDEmpresa = ?"), s.texto(), {id}), 1);
    centro.requery();
    EXPECT_TRUE(centro.eof());
    rs.close();
    centro.close();

    // Abierta otra vez, el esquema ya está al día.
    Conexion::cerrarTodas();
    EXPECT_EQ(Conexion::obtener(s.texto())->esquema().estado, ResultadoEsquema::Estado::AlDia);
    Conexion::cerrarTodas();
}

TEST(ConexionServidor, UnTextoDeServidorMalEscritoNoSeTomaPorUnArchivo)
{
    try {
        Conexion::obtener(QStringLiteral("Provider=PostgreSQL;Data Source=servidor-sin-puerto;User ID=ana"));
        FAIL() << "debía fallar";
    } catch (const ErrorBD& e) {
        EXPECT_EQ(e.numero(), NumeroError::ConexionNoValida);
        EXPECT_TRUE(e.descripcion().contains(QStringLiteral("servidor:puerto/base"))) << e.descripcion().toStdString();
    }
}
