// Texto de conexión, cuenta del grupo de trabajo y archivos que no son una base de datos.
#include "CopiaPrograma.h"
#include "store/CuentaSistema.h"
#include "store/ErrorBD.h"
#include "store/Recordset.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
long numeroAlAbrir(const QString& conexion)
{
    try {
        Recordset rs;
        rs.open("Select * from Empresas", conexion);
        rs.eof();
    } catch (const ErrorBD& e) {
        return e.numero();
    }
    return 0;
}

QString textoAlAbrir(const QString& conexion)
{
    try {
        Recordset rs;
        rs.open("Select * from Empresas", conexion);
    } catch (const ErrorBD& e) {
        return e.descripcion();
    }
    return {};
}
} // namespace

TEST(TextoConexion, SeComponeConLaCarpetaDelPrograma)
{
    const QString sep = QDir::separator();
    const QString carpeta = sep + QStringLiteral("opt") + sep + "prog";
    EXPECT_EQ(textoConexion(carpeta),
              "Provider=Microsoft.Jet.OLEDB.4.0;Password=Tortuganza;Persist Security Info=True;User ID=Velka;"
              "Data Source=" +
                  carpeta + sep + "Evaluacion.mdb;Mode=Read|Write;Jet OLEDB:System database=" + carpeta + sep +
                  "SYSTEM.mdw;Jet OLEDB");
    const DatosConexion d = analizarConexion(textoConexion(carpeta));
    EXPECT_EQ(d.usuario, "Velka");
    EXPECT_EQ(d.clave, "Tortuganza");
    EXPECT_EQ(d.fuente, carpeta + sep + "Evaluacion.mdb");
    EXPECT_EQ(d.sistema, carpeta + sep + "SYSTEM.mdw");
    EXPECT_EQ(d.modo, "Read|Write");
}

TEST(TextoConexion, SinOrigenDeDatosSeRechazaConMensaje)
{
    try {
        analizarConexion("Provider=Microsoft.Jet.OLEDB.4.0;Password=x;User ID=Velka;Jet OLEDB");
        FAIL() << "debía rechazarse";
    } catch (const ErrorBD& e) {
        EXPECT_EQ(e.numero(), NumeroError::ConexionNoValida);
        EXPECT_TRUE(e.descripcion().contains("Data Source"));
    }
    EXPECT_EQ(numeroAlAbrir("Password=Tortuganza;User ID=Velka;Data Source=;Jet OLEDB"), NumeroError::ConexionNoValida);
}

TEST(TextoConexion, CarpetasConPuntoYComaComillasOBlancosSeLeenEnteras)
{
    // Un ';' en el nombre de la carpeta partía la ruta y otro "Data Source" dentro del nombre
    // cambiaba de base de datos.
    const QString sep = QDir::separator();
    for (const QString& carpeta : {sep + "datos;2024" + sep + "prog", sep + "x;Data Source=" + sep + "otra",
                                   QStringLiteral(" con blancos "), QStringLiteral("\"entre\" 'comillas'")}) {
        const DatosConexion d = analizarConexion(textoConexion(carpeta));
        EXPECT_EQ(d.fuente, carpeta + sep + "Evaluacion.mdb");
        EXPECT_EQ(d.sistema, carpeta + sep + "SYSTEM.mdw");
        EXPECT_EQ(d.usuario, "Velka");
    }
    EXPECT_EQ(analizarConexion("Data Source='a;''b'' ' ; User ID = \"x\"\"y\"").fuente, "a;'b' ");
    EXPECT_EQ(analizarConexion("Data Source='a;''b'' ' ; User ID = \"x\"\"y\"").usuario, "x\"y");
    for (const char* mal : {"Data Source=\"sin cerrar;Mode=x", "Data Source='a'b;Mode=x"}) {
        try {
            analizarConexion(mal);
            ADD_FAILURE() << mal;
        } catch (const ErrorBD& e) {
            EXPECT_EQ(e.numero(), NumeroError::ConexionNoValida);
        }
    }

    // Y el programa abre de verdad su base de datos en una carpeta así.
    CopiaPrograma p;
    const QString carpeta = p.ruta("copia; de 2024");
    ASSERT_TRUE(QDir().mkpath(carpeta));
    for (const char* nombre : {"Evaluacion.mdb", "SYSTEM.mdw"})
        ASSERT_TRUE(QFile::copy(p.ruta(nombre), carpeta + "/" + nombre));
    EXPECT_EQ(numeroAlAbrir(textoConexion(QDir::toNativeSeparators(carpeta))), 0);
}

TEST(CuentaSistema, SeCompruebaContraElArchivoDeCuentas)
{
    CopiaPrograma p;
    EXPECT_EQ(numeroAlAbrir(p.conexion()), 0);
    Conexion::cerrarTodas();

    // Otra cuenta en el archivo: la conexión no entra.
    ASSERT_TRUE(escribirCuenta(p.ruta("SYSTEM.mdw"), "Otro", "Tortuganza"));
    EXPECT_EQ(numeroAlAbrir(p.conexion()), NumeroError::CuentaNoValida);
    EXPECT_TRUE(textoAlAbrir(p.conexion()).contains("SYSTEM.mdw"));

    // Contraseña equivocada en el texto de conexión.
    ASSERT_TRUE(escribirCuenta(p.ruta("SYSTEM.mdw"), "Velka", "Tortuganza"));
    QString mala = p.conexion();
    mala.replace("Password=Tortuganza", "Password=otra");
    EXPECT_EQ(numeroAlAbrir(mala), NumeroError::CuentaNoValida);

    // Archivo de cuentas ausente o ajeno.
    QFile::remove(p.ruta("SYSTEM.mdw"));
    EXPECT_EQ(numeroAlAbrir(p.conexion()), NumeroError::SistemaNoEncontrado);
    EXPECT_TRUE(textoAlAbrir(p.conexion()).contains("SYSTEM.mdw"));
    QFile f(p.ruta("SYSTEM.mdw"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("cualquier cosa\n");
    f.close();
    EXPECT_EQ(numeroAlAbrir(p.conexion()), NumeroError::SistemaNoEncontrado);
}

TEST(ArchivoDeBase, LoQueNoEsUnaBaseDeDatosDa3049)
{
    CopiaPrograma p;
    const QString base = p.ruta("Evaluacion.mdb");

    // Falta el archivo: número propio y el mensaje nombra el archivo.
    QFile::rename(base, base + ".aparte");
    EXPECT_EQ(numeroAlAbrir(p.conexion()), NumeroError::ArchivoNoEncontrado);
    EXPECT_TRUE(textoAlAbrir(p.conexion()).contains("Evaluacion.mdb"));

    // Un archivo de texto con el nombre de la base de datos.
    {
        QFile f(base);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Esto es un archivo de texto, no una base de datos.\n");
    }
    EXPECT_EQ(numeroAlAbrir(p.conexion()), NumeroError::BaseDanada);

    // Un archivo vacío.
    QFile::resize(base, 0);
    EXPECT_EQ(numeroAlAbrir(p.conexion()), NumeroError::BaseDanada);

    // La base de datos buena, cortada por la mitad.
    QFile::remove(base);
    QFile::copy(base + ".aparte", base);
    QFile::resize(base, QFileInfo(base).size() / 2);
    EXPECT_EQ(numeroAlAbrir(p.conexion()), NumeroError::BaseDanada);
}

TEST(ArchivoDeBase, PaginasSobrescritasDan3049AlLeerlas)
{
    CopiaPrograma p;
    const QString base = p.ruta("Evaluacion.mdb");
    {
        QFile f(base);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        const qint64 tam = f.size();
        // Se machaca todo salvo la cabecera: el catálogo ya no se puede leer.
        f.seek(4096);
        f.write(QByteArray(int(tam - 4096), '\x5a'));
    }
    long numero = 0;
    try {
        Recordset rs;
        rs.open("Select * from Medidas", p.conexion());
        rs.recordCount();
    } catch (const ErrorBD& e) {
        numero = e.numero();
    }
    EXPECT_EQ(numero, NumeroError::BaseDanada);
}

// Un programa que sale sin cerrar sus conexiones (un final por exit, una prueba que no limpia)
// sale bien: al destruirse, la conexión que queda abierta no usa la tabla de vivas ya destruida.
TEST(SalidaConConexiones, SalirConUnaConexionAbiertaNoSeCae)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            static CopiaPrograma* copia = new CopiaPrograma;
            Recordset rs;
            rs.open("Select * from Empresas", copia->conexion());
            rs.close();
            // La carpeta se borra antes de que se destruyan las conexiones (lo registrado después
            // con atexit va antes), sin cerrarlas.
            std::atexit([] { QDir(copia->carpeta()).removeRecursively(); });
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}
