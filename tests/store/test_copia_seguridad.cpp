// Copias de seguridad hechas con el programa en marcha y vuelta a una de ellas.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "store/CopiaSeguridad.h"
#include "store/Esquema.h"
#include "store/Recordset.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {
const QDateTime Ahora(QDate(2024, 3, 5), QTime(9, 7, 30));

QByteArray huella(const QString& archivo)
{
    QFile f(archivo);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) : "";
}

void escribir(const QString& archivo, const QByteArray& contenido, qint64 posicion = -1)
{
    QFile f(archivo);
    f.open(posicion < 0 ? QIODevice::WriteOnly | QIODevice::Truncate : QIODevice::ReadWrite);
    if (posicion >= 0)
        f.seek(posicion);
    f.write(contenido);
}

// Ejecuta sentencias sobre un archivo, aparte del almacén.
void sql(const QString& archivo, const char* sentencias)
{
    sqlite3* bd = nullptr;
    sqlite3_open(QFile::encodeName(archivo).constData(), &bd);
    ASSERT_EQ(sqlite3_exec(bd, sentencias, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(bd);
    sqlite3_close(bd);
}

qint64 numero(const QString& archivo, const QString& consulta)
{
    sqlite3* bd = nullptr;
    sqlite3_open_v2(QFile::encodeName(archivo).constData(), &bd, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    qint64 n = -1;
    if (sqlite3_prepare_v2(bd, consulta.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(bd);
    return n;
}

qint64 empresasEn(const QString& archivo)
{
    return numero(archivo, "SELECT count(*) FROM Empresas");
}

// Estropea la página raíz de la tabla más grande del catálogo.
void estropear(const QString& archivo)
{
    sql(archivo, "PRAGMA journal_mode = DELETE");
    const qint64 raiz = numero(archivo, "SELECT rootpage FROM sqlite_master WHERE name = 'Medidas'");
    escribir(archivo, QByteArray(64, '\x5a'), (raiz - 1) * 4096 + 8);
}

class Copias : public ::testing::Test
{
protected:
    CopiaPrograma p;
    QString cx = p.conexion();
    QString base = p.ruta("Evaluacion.mdb");
    QTemporaryDir fuera;
    QString destino = fuera.filePath("copia.mdb");
};
} // namespace

TEST_F(Copias, ConElProgramaEscribiendoLaCopiaLlevaTodoYSeComprueba)
{
    {
        // Bastantes páginas para que la copia vaya en varios pasos.
        auto c = Conexion::obtener(cx);
        Transaccion t(c);
        for (int i = 0; i < 3000; ++i)
            c->ejecutar("INSERT INTO Empresas (Nombre, Direccion) VALUES (?, ?)",
                        {QStringLiteral("Empresa %1").arg(i), QString(500, QLatin1Char('d'))});
        t.confirmar();
    }
    // Lo último sigue en el diario y hay una lectura a medias, como con una ventana abierta.
    Recordset abierta;
    abierta.open("SELECT * FROM Medidas", cx);
    ASSERT_TRUE(QFileInfo(base + "-wal").size() > 0);
    int ultimo = -1, total = 0, pasos = 0, comprobando = 0;
    const ResultadoCopia r = copiarBase(base, destino, [&](int hechas, int de) {
        if (de == 0)
            return ++comprobando > 0;
        EXPECT_GE(hechas, ultimo);
        EXPECT_EQ(comprobando, 0);
        ultimo = hechas;
        total = de;
        // El usuario sigue trabajando a mitad de la copia: la copia es la foto del principio.
        if (++pasos == 1)
            datos::empresa(cx, "Escrita durante la copia");
        return true;
    });
    ASSERT_TRUE(r.hecha()) << r.mensaje.toStdString();
    EXPECT_GT(pasos, 1);
    EXPECT_GT(comprobando, 0);
    EXPECT_EQ(r.archivo, destino);
    EXPECT_EQ(ultimo, total);
    EXPECT_EQ(empresasEn(destino), 3000);
    EXPECT_EQ(r.tablas, int(tablasEsquema().size()));
    EXPECT_TRUE(examinarBase(destino).estado == ExamenBase::Estado::DelPrograma);
    // Sólo la copia: ni el archivo a medias ni diarios.
    EXPECT_EQ(QDir(fuera.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"copia.mdb"});
}

TEST_F(Copias, UnaCopiaQueNoSaleBienNoPisaNada)
{
    escribir(destino, "la copia de ayer");
    const QByteArray ayer = huella(destino);
    // Cancelada a mitad de la copia o de la comprobación.
    for (const bool alComprobar : {false, true}) {
        const ResultadoCopia cancelada =
            copiarBase(base, destino, [&](int, int total) { return alComprobar && total > 0; });
        EXPECT_EQ(cancelada.estado, ResultadoCopia::Estado::Cancelada) << cancelada.mensaje.toStdString();
        EXPECT_EQ(huella(destino), ayer);
        EXPECT_EQ(QDir(fuera.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"copia.mdb"});
    }
    // Encima de la propia base de datos.
    const QByteArray antes = huella(base);
    const ResultadoCopia encima = copiarBase(base, base);
    EXPECT_FALSE(encima.hecha());
    EXPECT_TRUE(encima.mensaje.contains("propia base de datos")) << encima.mensaje.toStdString();
    EXPECT_EQ(huella(base), antes);
    // En una carpeta que no existe (el disco de las copias sin conectar).
    const ResultadoCopia sinCarpeta = copiarBase(base, fuera.filePath("USB/copia.mdb"));
    EXPECT_TRUE(sinCarpeta.mensaje.contains("No existe la carpeta")) << sinCarpeta.mensaje.toStdString();
    // De una base dañada: la comprobación la para.
    estropear(base);
    const ResultadoCopia danada = copiarBase(base, destino);
    EXPECT_FALSE(danada.hecha());
    EXPECT_FALSE(danada.mensaje.isEmpty());
    EXPECT_EQ(huella(destino), ayer);
    EXPECT_EQ(QDir(fuera.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"copia.mdb"});
}

TEST_F(Copias, LaComprobacionVeFilasYTablasDeMasODeMenos)
{
    ASSERT_TRUE(copiarBase(base, destino).hecha());
    RecuentoTablas cuentas;
    for (const QString& t : tablasEsquema())
        cuentas[t] = numero(base, "SELECT count(*) FROM \"" + t + "\"");
    EXPECT_EQ(comprobarCopia(destino, cuentas), QString());
    sql(destino, "DELETE FROM Riesgos WHERE IDRiesgo = (SELECT max(IDRiesgo) FROM Riesgos)");
    EXPECT_TRUE(comprobarCopia(destino, cuentas).contains("Riesgos"));
    auto conOtra = cuentas;
    conOtra["Otra"] = 0;
    EXPECT_TRUE(comprobarCopia(destino, conOtra).contains("Otra"));
}

TEST_F(Copias, ExaminaSiEsUnaBaseDeEsteProgramaYDiceElMotivo)
{
    using E = ExamenBase::Estado;
    EXPECT_EQ(examinarBase(base).estado, E::DelPrograma);
    const auto examen = [&](const QByteArray& contenido, const char* sentencias) {
        QFile::remove(destino);
        escribir(destino, contenido);
        if (sentencias)
            sql(destino, sentencias);
        return examinarBase(destino);
    };
    EXPECT_EQ(examen("Hola, esto es una carta", nullptr).estado, E::Danada);
    EXPECT_EQ(examen("", nullptr).estado, E::Danada);
    const ExamenBase ajena = examen("", "CREATE TABLE Fotos (id INTEGER)");
    EXPECT_EQ(ajena.estado, E::Ajena);
    EXPECT_TRUE(ajena.motivo.contains("no de este programa")) << ajena.motivo.toStdString();
    const ExamenBase nueva = examen("", "PRAGMA user_version = 99");
    EXPECT_EQ(nueva.estado, E::MasNueva);
    EXPECT_TRUE(nueva.motivo.contains("99"));
    const ExamenBase incompleta = examen("", "PRAGMA user_version = 1; CREATE TABLE Empresas (IDEmpresa INTEGER)");
    EXPECT_EQ(incompleta.estado, E::Ajena);
    EXPECT_TRUE(incompleta.motivo.contains("CentroTrabajo")) << incompleta.motivo.toStdString();
    EXPECT_EQ(examinarBase(fuera.path()).estado, E::NoSeAbre);
    // Una página estropeada sólo la ve la comprobación de integridad.
    QFile::copy(QStringLiteral(CARPETA_ENTREGA "/Evaluacion.mdb"), destino + "2");
    estropear(destino + "2");
    EXPECT_EQ(examinarBase(destino + "2", false).estado, E::DelPrograma);
    EXPECT_EQ(examinarBase(destino + "2").estado, E::Danada);
}

TEST_F(Copias, NombresConLaFechaSinPisarLasDeAntes)
{
    const QString dia = fuera.filePath("Evaluacion 2024-03-05.mdb");
    EXPECT_EQ(rutaCopiaLibre(fuera.path(), Ahora), dia);
    escribir(dia, "x");
    EXPECT_EQ(rutaCopiaLibre(fuera.path(), Ahora), fuera.filePath("Evaluacion 2024-03-05 09.07.30.mdb"));
    escribir(fuera.filePath("Evaluacion 2024-03-05 09.07.30.mdb"), "x");
    EXPECT_EQ(rutaCopiaLibre(fuera.path(), Ahora), fuera.filePath("Evaluacion 2024-03-05 09.07.30 2.mdb"));
    EXPECT_EQ(carpetaCopias(p.carpeta()), p.ruta("Copias"));
}

TEST_F(Copias, RestaurarPoneLaCopiaYGuardaLaQueHabia)
{
    datos::empresa(cx, "De la copia");
    ASSERT_TRUE(copiarBase(base, destino).hecha());
    datos::empresa(cx, "Escrita después");
    Conexion::cerrarTodas();
    const QByteArray actual = huella(base);
    const ResultadoRestauracion r = restaurarBase(destino, p.carpeta(), Ahora);
    ASSERT_TRUE(r.hecha) << r.mensaje.toStdString();
    EXPECT_EQ(r.anterior, p.ruta("Copias/Evaluacion antes de restaurar 2024-03-05 09.07.30.mdb"));
    EXPECT_EQ(huella(r.anterior), actual);
    EXPECT_EQ(empresasEn(base), 1);
    EXPECT_EQ(datos::contar(cx, "SELECT count(*) FROM Empresas WHERE Nombre = 'De la copia'"), 1);
    EXPECT_FALSE(QFileInfo::exists(base + ".restaurando"));
}

TEST_F(Copias, RestaurarNoTocaNadaSiEligeLaPropiaBaseOEstaEnUso)
{
    datos::empresa(cx, "La de hoy");
    Conexion::cerrarTodas();
    const QByteArray actual = huella(base);
    ResultadoRestauracion r = restaurarBase(base, p.carpeta(), Ahora);
    EXPECT_FALSE(r.hecha);
    EXPECT_TRUE(r.mensaje.contains("propia base de datos")) << r.mensaje.toStdString();
    EXPECT_TRUE(r.mensaje.contains("no se ha tocado"));
    // Una copia buena con la base abierta por otro (Reparar, otra copia del programa).
    QFile::copy(QStringLiteral(CARPETA_ENTREGA "/Evaluacion.mdb"), destino);
    auto otra = Conexion::obtener(cx);
    r = restaurarBase(destino, p.carpeta(), Ahora);
    EXPECT_FALSE(r.hecha);
    EXPECT_TRUE(r.mensaje.contains("Otro programa")) << r.mensaje.toStdString();
    otra.reset();
    Conexion::cerrarTodas();
    EXPECT_EQ(huella(base), actual);
    EXPECT_FALSE(QFileInfo::exists(p.ruta("Copias")));
    EXPECT_FALSE(QFileInfo::exists(base + ".restaurando"));
}
