#include "CopiaPrograma.h"
#include "RevisionBase.h"

#include <sqlite3.h>

#include <QFile>
#include <gtest/gtest.h>

namespace {
// Escribe sin claves ajenas, como lo haría un fallo a medias o un programa descuidado.
void ejecutar(const QString& archivo, const char* sql)
{
    sqlite3* bd = nullptr;
    ASSERT_EQ(sqlite3_open(archivo.toUtf8().constData(), &bd), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(bd, sql, nullptr, nullptr, &error);
    ASSERT_EQ(rc, SQLITE_OK) << (error ? error : "");
    sqlite3_close(bd);
}

const char* const filasSanas =
    "INSERT INTO Empresas (IDEmpresa, Nombre) VALUES (1, 'Uno');"
    "INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, Direccion) VALUES (10, 1, 'C');"
    "INSERT INTO PuestosCentros (IDPuestoCentro, IDCentro, Puesto) VALUES (100, 10, 'P');"
    "INSERT INTO FactoresSeleccionarEvaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, "
    "IDPuestoCentro, IDFactor, FactorSelecionado) VALUES (1000, 1, 10, 100, 1, 'S');"
    "INSERT INTO Evaluacion (IDEvaluacion, IDEvaluacionCrear, IDEmpresa, IDCentro, "
    "IDPuestoCentro, IDFactor, IDRiesgo, Mostrar) VALUES (5000, 1000, 1, 10, 100, 1, 1, 'S');"
    "INSERT INTO MedidasFactores (IDEvaluacion, Medida) VALUES (5000, 'M');"
    "INSERT INTO \"ActuaciónPreventiva\" (IDActuacion, IDCentro) VALUES (7, 10);"
    "INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion) VALUES (7);";

class RevisionBase : public ::testing::Test
{
protected:
    CopiaPrograma copia;
    QString archivo = copia.ruta("Evaluacion.mdb");
    void SetUp() override { ejecutar(archivo, filasSanas); }
};
} // namespace

TEST_F(RevisionBase, UnaBaseCompletaNoDaNingunProblema)
{
    EXPECT_EQ(RevisarBase(archivo), QStringList());
}

// Cada fila suelta se nombra por lo que le falta, también las que no rompen ninguna clave ajena
// pero ya no se ven desde su empresa.
TEST_F(RevisionBase, CadaFilaHuerfanaSeNombra)
{
    const std::pair<const char*, const char*> casos[] = {
        {"DELETE FROM Empresas WHERE IDEmpresa = 1", "centros sin empresa"},
        {"DELETE FROM CentroTrabajo WHERE IDCentro = 10", "puestos sin centro"},
        {"UPDATE FactoresSeleccionarEvaluacion SET IDCentro = 11", "factores sin su puesto"},
        {"UPDATE Evaluacion SET IDPuestoCentro = 101", "evaluaciones sin su fila de factor"},
        {"UPDATE FactoresSeleccionarEvaluacion SET FactorSelecionado = 'N'", "evaluaciones de un factor sin marcar"},
        {"DELETE FROM Evaluacion", "medidas sin evaluación"},
        {"DELETE FROM \"ActuaciónPreventiva\"", "líneas de plan sin plan"},
    };
    for (const auto& [sql, problema] : casos) {
        CopiaPrograma otra;
        const QString f = otra.ruta("Evaluacion.mdb");
        ejecutar(f, filasSanas);
        ejecutar(f, sql);
        const QString todos = RevisarBase(f).join('\n');
        EXPECT_TRUE(todos.contains(QString::fromUtf8(problema))) << sql << " da: " << todos.toStdString();
    }
}

TEST_F(RevisionBase, UnArchivoEstropeadoNoPasa)
{
    QFile f(archivo);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    const qint64 tamano = f.size();
    ASSERT_GT(tamano, 8192);
    // Se machaca el medio del archivo: páginas de tablas e índices, no la cabecera.
    f.seek(tamano / 2);
    f.write(QByteArray(int(tamano / 4), '\xA5'));
    f.close();
    EXPECT_FALSE(RevisarBase(archivo).isEmpty());
    EXPECT_FALSE(RevisarBase(copia.ruta("no-existe.mdb")).isEmpty());
}
