// Copiar la base de datos del servidor en un archivo: de ida y vuelta quedan las mismas filas, y
// un fallo no deja archivo a medias ni toca el que había.
#include "BaseServidorPrueba.h"
#include "store/Esquema.h"
#include "store/postgres/CopiaArchivo.h"
#include "store/postgres/EsquemaServidor.h"
#include "store/postgres/Traslado.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {
QString crearArchivo(const QString& ruta, const QString& sql)
{
    sqlite3* bd = nullptr;
    sqlite3_open(ruta.toUtf8().constData(), &bd);
    EXPECT_EQ(crearEsquemaRevision(bd, RevisionEsquema), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(bd, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(bd);
    sqlite3_close(bd);
    return ruta;
}

// Todas las filas de todas las tablas, cada celda con su tipo de SQLite, ordenadas: dos archivos
// con los mismos datos dan el mismo texto.
QStringList volcado(const QString& ruta)
{
    sqlite3* bd = nullptr;
    sqlite3_open_v2(ruta.toUtf8().constData(), &bd, SQLITE_OPEN_READONLY, nullptr);
    QStringList lineas;
    for (const QString& t : tablasEsquema()) {
        if (t.startsWith("sqlite_"))
            continue;
        sqlite3_stmt* st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(bd, QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(t).toUtf8(), -1, &st,
                                     nullptr),
                  SQLITE_OK)
            << qPrintable(t);
        while (sqlite3_step(st) == SQLITE_ROW) {
            QString linea = t + ':';
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                linea += QStringLiteral(" %1=%2")
                             .arg(sqlite3_column_type(st, i))
                             .arg(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i))));
            lineas << linea;
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(bd);
    lineas.sort();
    return lineas;
}

const QString Datos =
    QStringLiteral("INSERT INTO Empresas (IDEmpresa, Nombre, Provincia, TotalTrabajadores) VALUES (3, 'Otra', '', 12), "
                   "(7, 'L''Oréal Ibérica', 'A Coruña', NULL);"
                   "INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, NombreCentro, FechaEvaluacion, FechaRevision) "
                   "VALUES (40, 7, 'Almacén d''Ávila', NULL, '2025-01-31'), (41, 3, 'Sede', '2024-03-05', NULL);"
                   "INSERT INTO PuestosCentros (IDPuestoCentro, IDCentro, Puesto, Fecha) VALUES (9, 40, 'Mozo', "
                   "'2024-03-05 10:20:30'), (12, 41, 'Recepción', NULL);");

QStringList archivosDe(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
}
} // namespace

TEST(CopiaArchivo, DeIdaYVueltaQuedanLasMismasFilasYSustituyeAlQueHabia)
{
    const QTemporaryDir dir;
    const QString original = crearArchivo(dir.filePath("Original.mdb"), Datos);
    BaseServidorPrueba base;
    ConexionPg c = base.conectar();
    ASSERT_TRUE(trasladarAlServidor(original, c.get()).hecho);
    // Un servidor que escribe las fechas a la europea no cambia las del archivo.
    ejecutarPg(c.get(), "SET DateStyle = 'SQL, DMY'");

    // El archivo de destino ya existe y tiene un diario suyo al lado: ni uno ni otro sobreviven.
    const QString copia = dir.filePath("Copia.mdb");
    crearArchivo(copia, "INSERT INTO Empresas (Nombre) VALUES ('Vieja')");
    QFile diario(copia + "-journal");
    ASSERT_TRUE(diario.open(QIODevice::WriteOnly));
    diario.write(QByteArray(2048, 'x'));
    diario.close();

    std::vector<QString> avance;
    const ResultadoTraslado r =
        copiarAArchivo(c.get(), copia, [&](const QString& t, int, int) { avance.push_back(t); });
    ASSERT_TRUE(r.hecho) << qPrintable(r.mensaje);
    EXPECT_EQ(archivosDe(dir), QStringList({"Copia.mdb", "Original.mdb"}));
    EXPECT_EQ(volcado(copia), volcado(original));
    EXPECT_TRUE(r.mensaje.startsWith("Copiadas ")) << qPrintable(r.mensaje);
    // Cada tabla se anuncia antes de copiarla y, al final, el recuento.
    EXPECT_EQ(avance.size(), r.filas.size() + 1);

    // Lo que se da de alta en la copia sigue a lo copiado.
    sqlite3* bd = nullptr;
    sqlite3_open(copia.toUtf8().constData(), &bd);
    ASSERT_EQ(sqlite3_exec(bd, "INSERT INTO CentroTrabajo (IDEmpresa) VALUES (3)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_EQ(sqlite3_last_insert_rowid(bd), 42);
    sqlite3_close(bd);
}

TEST(CopiaArchivo, UnFalloNoDejaArchivoAMediasNiTocaElQueHabia)
{
    const QTemporaryDir dir;
    BaseServidorPrueba base;
    ConexionPg c = base.conectar();
    const QString destino = dir.filePath("Copia.mdb");

    // Sin el esquema del programa: nada que copiar.
    ResultadoTraslado r = copiarAArchivo(c.get(), destino);
    EXPECT_FALSE(r.hecho);
    EXPECT_TRUE(r.mensaje.contains("no tiene los datos de este programa")) << qPrintable(r.mensaje);
    EXPECT_TRUE(archivosDe(dir).isEmpty());

    // Una columna que el archivo no tiene se perdería: no se copia nada y el archivo que había sigue.
    ASSERT_TRUE(trasladarAlServidor(crearArchivo(dir.filePath("Original.mdb"), Datos), c.get()).hecho);
    const QString antes = crearArchivo(destino, "INSERT INTO Empresas (Nombre) VALUES ('Vieja')");
    const QStringList volcadoAntes = volcado(antes);
    ejecutarPg(c.get(), "ALTER TABLE PuestosCentros ADD COLUMN Turno text");
    r = copiarAArchivo(c.get(), destino);
    EXPECT_FALSE(r.hecho);
    EXPECT_TRUE(r.filas.empty());
    EXPECT_TRUE(r.mensaje.startsWith("No se ha copiado nada")) << qPrintable(r.mensaje);
    EXPECT_TRUE(r.mensaje.contains("Turno", Qt::CaseInsensitive)) << qPrintable(r.mensaje);
    EXPECT_EQ(archivosDe(dir), QStringList({"Copia.mdb", "Original.mdb"}));
    EXPECT_EQ(volcado(destino), volcadoAntes);

    // Quien la cancela a medias tampoco deja nada.
    ejecutarPg(c.get(), "ALTER TABLE PuestosCentros DROP COLUMN Turno");
    r = copiarAArchivo(c.get(), dir.filePath("Otra.mdb"), [](const QString& t, int, int) {
        if (t == "PuestosCentros")
            throw ErrorBD(NumeroError::ErrorGeneral, "cancelada");
    });
    EXPECT_FALSE(r.hecho);
    EXPECT_EQ(archivosDe(dir), QStringList({"Copia.mdb", "Original.mdb"}));
}
