// Un diario junto a Evaluacion.mdb: si es de otra base de datos no la vacía; si es el de una
// sesión que murió, lo confirmado en ella se conserva. En los dos casos queda antes una copia.
#include "DiarioAjeno.h"
#include "Escenario.h"
#include "store/Conexion.h"
#include "store/ErrorBD.h"
#include "store/ProteccionDiario.h"
#include "store/Recordset.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

using namespace fallos;

namespace {
long long empresas(const Copia& c)
{
    Recordset rs;
    rs.open(QStringLiteral("SELECT count(*) FROM Empresas"), c.conexion());
    return rs.value(0).toLongLong();
}

// Carpetas de Recuperacion junto a la base de datos.
QStringList recuperaciones(const Copia& c)
{
    return QDir(c.ruta(QStringLiteral("Recuperacion"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

QByteArray contenido(const QString& ruta)
{
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

TEST(DiarioAjeno, UnDiarioDeOtraBaseDeDatosNoBorraLasEmpresas)
{
    Copia c;
    const Huella antes = huella(c.archivo());
    TomarAvisosDiario();

    // El diario de otra copia en la que se han borrado todas las empresas.
    const QByteArray diario = PonerDiarioAjeno(c.archivo());
    ASSERT_GT(diario.size(), 0);

    ASSERT_NO_THROW(Conexion::obtener(c.conexion()));
    EXPECT_GT(empresas(c), 0);
    Conexion::cerrarTodas();
    EXPECT_EQ(huella(c.archivo()), antes) << huella(c.archivo()).resumen.toStdString();
    EXPECT_FALSE(QFileInfo::exists(c.archivo() + "-wal"));

    // El usuario sabe qué ha pasado y dónde están el archivo y el diario tal como estaban.
    const QStringList avisos = TomarAvisosDiario();
    ASSERT_EQ(avisos.size(), 1);
    EXPECT_TRUE(avisos[0].contains(QStringLiteral("Empresas"))) << avisos[0].toStdString();
    const QStringList carpetas = recuperaciones(c);
    ASSERT_EQ(carpetas.size(), 1);
    const QString guardada = c.ruta(QStringLiteral("Recuperacion/") + carpetas[0]);
    EXPECT_TRUE(avisos[0].contains(QDir::toNativeSeparators(guardada))) << avisos[0].toStdString();
    EXPECT_EQ(contenido(guardada + "/Evaluacion.mdb-wal"), diario);
    EXPECT_EQ(contenido(guardada + "/Evaluacion.mdb").size(), QFileInfo(c.archivo()).size());
}

TEST(DiarioAjeno, ElDiarioDeUnProcesoMatadoConservaLoConfirmado)
{
    Copia c;
    TomarAvisosDiario();
    long long previas = 0;
    {
        // Este proceso no abre la base de datos antes: como el programa que arranca tras el fallo.
        Hijo hijo([&](Hijo& yo) -> QString {
            const QByteArray n = QByteArray::number(empresas(c));
            Conexion::obtener(c.conexion())
                ->ejecutar(QStringLiteral("INSERT INTO Empresas (Nombre) VALUES (?)"), {QStringLiteral("Recién dada")});
            yo.avisar("guardada " + n);
            for (;;)
                ::pause();
        });
        const QByteArray aviso = hijo.esperar();
        ASSERT_TRUE(aviso.startsWith("guardada ")) << aviso.toStdString();
        previas = aviso.mid(9).toLongLong();
        hijo.matar();
    }
    ASSERT_GT(QFileInfo(c.archivo() + "-wal").size(), 0) << "el proceso matado debía dejar su diario";

    EXPECT_EQ(empresas(c), previas + 1);
    Recordset rs;
    rs.open(QStringLiteral("SELECT Nombre FROM Empresas WHERE Nombre = ?"), c.conexion(),
            {QStringLiteral("Recién dada")});
    EXPECT_FALSE(rs.eof());
    EXPECT_TRUE(TomarAvisosDiario().isEmpty());
    // La copia se hizo antes de aplicarlo, por si acaso.
    EXPECT_EQ(recuperaciones(c).size(), 1);
}

TEST(DiarioAjeno, CerrarLoDejaTodoEnElArchivoYNoHayNadaQueCopiar)
{
    Copia c;
    // Un conjunto con filas por leer, como el de una cuadrícula abierta, mientras se escribe.
    Recordset abierto;
    abierto.open(QStringLiteral("SELECT * FROM Riesgos"), c.conexion());
    Conexion::obtener(c.conexion())->ejecutar(QStringLiteral("INSERT INTO Empresas (Nombre) VALUES ('Otra')"));
    ASSERT_FALSE(abierto.eof());
    Conexion::cerrarTodas();
    EXPECT_THROW(abierto.moveLast(), ErrorBD);
    EXPECT_FALSE(QFileInfo::exists(c.archivo() + "-wal"));
    EXPECT_FALSE(QFileInfo::exists(c.archivo() + "-shm"));
    Conexion::obtener(c.conexion());
    EXPECT_TRUE(recuperaciones(c).isEmpty());
}
