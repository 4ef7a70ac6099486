// "Reparar --copia CARPETA": la copia de seguridad de las tareas programadas, con el programa de
// verdad copiado en una carpeta de programa de usar y tirar.
#include "ArchivosReparar.h"
#include "CopiaPrograma.h"
#include "Datos.h"
#include "store/CopiaSeguridad.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {
struct Salida
{
    int codigo = -1;
    QString normal, errores;
};

class CopiaReparar : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char nombre[] = "prueba_copia_reparar";
        static char* argv[] = {nombre, nullptr};
        static QCoreApplication aplicacion(argc, argv);
    }
    void SetUp() override
    {
        ASSERT_TRUE(QFile::copy(QStringLiteral(PROGRAMA_REPARAR), p.ruta("Reparar")));
        QFile(p.ruta("Reparar")).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }

    Salida reparar(const QStringList& argumentos)
    {
        Conexion::cerrarTodas();
        QProcess proceso;
        proceso.start(p.ruta("Reparar"), argumentos);
        Salida s;
        if (!proceso.waitForFinished(60000))
            return s;
        s.codigo = proceso.exitCode();
        s.normal = QString::fromUtf8(proceso.readAllStandardOutput());
        s.errores = QString::fromUtf8(proceso.readAllStandardError());
        return s;
    }

    QStringList copias() const { return QDir(fuera.path()).entryList(QDir::Files | QDir::Hidden); }

    CopiaPrograma p;
    QTemporaryDir fuera;
};
} // namespace

TEST_F(CopiaReparar, EscribeLaCopiaComprobadaDelDiaSinPisarLaAnterior)
{
    datos::empresa(p.conexion(), "Escrita antes de la copia");
    const Salida primera = reparar({"--copia", fuera.path()});
    ASSERT_EQ(primera.codigo, 0) << primera.errores.toStdString();
    ASSERT_EQ(copias().size(), 1);
    EXPECT_TRUE(QRegularExpression("^Evaluacion \\d{4}-\\d{2}-\\d{2}\\.mdb$").match(copias()[0]).hasMatch());
    EXPECT_TRUE(primera.normal.contains(copias()[0])) << primera.normal.toStdString();
    const QString copia = fuera.filePath(copias()[0]);
    EXPECT_EQ(examinarBase(copia).estado, ExamenBase::Estado::DelPrograma);
    const QString cx =
        textoConexion(QDir::toNativeSeparators(p.carpeta()))
            .replace(QDir::toNativeSeparators(p.ruta("Evaluacion.mdb")), QDir::toNativeSeparators(copia));
    EXPECT_EQ(datos::contar(cx, "SELECT count(*) FROM Empresas WHERE Nombre = 'Escrita antes de la copia'"), 1);
    // La segunda del mismo día lleva la hora y deja la primera como estaba.
    const Salida segunda = reparar({"--copia", fuera.path()});
    EXPECT_EQ(segunda.codigo, 0) << segunda.errores.toStdString();
    EXPECT_EQ(copias().size(), 2);
    EXPECT_TRUE(copias().contains(QFileInfo(copia).fileName()));
}

TEST_F(CopiaReparar, SinCopiaComprobadaNoSaleConCero)
{
    Salida s = reparar({"--copia"});
    EXPECT_EQ(s.codigo, 64);
    EXPECT_TRUE(s.errores.startsWith("Uso: Reparar --copia CARPETA")) << s.errores.toStdString();
    s = reparar({"--copia", fuera.filePath("USB")});
    EXPECT_EQ(s.codigo, 1);
    EXPECT_TRUE(s.errores.contains("no existe la carpeta")) << s.errores.toStdString();
    EXPECT_FALSE(QFileInfo::exists(fuera.filePath("USB")));
    // Una base dañada no da una copia por buena.
    Conexion::cerrarTodas();
    const qint64 raiz = numeroDe(p.ruta("Evaluacion.mdb"), "SELECT rootpage FROM sqlite_master WHERE name = 'Medidas'");
    QFile f(p.ruta("Evaluacion.mdb"));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek((raiz - 1) * 4096 + 8);
    f.write(QByteArray(64, '\x5a'));
    f.close();
    s = reparar({"--copia", fuera.path()});
    EXPECT_EQ(s.codigo, 1);
    EXPECT_TRUE(s.errores.startsWith("No se ha hecho la copia de seguridad")) << s.errores.toStdString();
    EXPECT_TRUE(copias().isEmpty()) << copias().join(", ").toStdString();
}
