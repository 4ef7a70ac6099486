// La base repetida para las medidas: cada repetición es una cartera entera y bien enlazada, y un
// fallo no deja una base a medias donde las medidas la buscarían.
#include "CopiaPrograma.h"
#include "GeneradorEscala.h"
#include "store/Conexion.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdexcept>

namespace {
// Consulta de una fila y una columna, en texto.
QString valor(const QString& archivo, const QString& sql)
{
    sqlite3* bd = nullptr;
    sqlite3_open_v2(QFile::encodeName(archivo).constData(), &bd, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* s = nullptr;
    QString v = "(error)";
    if (sqlite3_prepare_v2(bd, sql.toUtf8().constData(), -1, &s, nullptr) == SQLITE_OK) {
        const int rc = sqlite3_step(s);
        v = rc == SQLITE_ROW    ? QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)))
            : rc == SQLITE_DONE ? QString()
                                : "(error)";
    }
    sqlite3_finalize(s);
    sqlite3_close_v2(bd);
    return v;
}

void esperarIgual(const ResumenEscala& a, const ResumenEscala& b)
{
    EXPECT_EQ(a.empresas, b.empresas);
    EXPECT_EQ(a.centros, b.centros);
    EXPECT_EQ(a.puestos, b.puestos);
    EXPECT_EQ(a.factores, b.factores);
    EXPECT_EQ(a.evaluaciones, b.evaluaciones);
    EXPECT_EQ(a.medidas, b.medidas);
    EXPECT_EQ(a.lineasPlan, b.lineasPlan);
}

ResumenEscala porTres(ResumenEscala r)
{
    for (long long* n : {&r.empresas, &r.centros, &r.puestos, &r.factores, &r.evaluaciones, &r.medidas, &r.lineasPlan})
        *n *= 3;
    return r;
}

// Una cartera pequeña hecha con las operaciones del programa, con una cuarta empresa dada de alta y
// borrada: su número ya no se puede volver a dar.
class Repetir : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TamanoEscala t;
        t.empresas = 3;
        t.puestosPorCentro = 2;
        t.filasPorPuesto = 8;
        t.lineasPlan = 2;
        GenerarEscala(origen.conexion(), t);
        Conexion::obtener(origen.conexion())->ejecutar("INSERT INTO Empresas (Nombre) VALUES ('Borrada')");
        Conexion::obtener(origen.conexion())->ejecutar("DELETE FROM Empresas WHERE Nombre = 'Borrada'");
        antes = ContarEscala(origen.conexion());
        Conexion::cerrarTodas();
    }

    QString base() const { return destino.filePath("Evaluacion.mdb"); }
    QString consulta(const QString& sql) const { return valor(base(), sql); }

    CopiaPrograma origen;
    QTemporaryDir destino;
    ResumenEscala antes;
};

TEST_F(Repetir, CadaRepeticionEsUnaCarteraEnteraConNumerosNuevos)
{
    esperarIgual(MultiplicarEscala(origen.carpeta(), destino.path(), 3), porTres(antes));
    EXPECT_EQ(consulta("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(consulta("SELECT count(*) FROM pragma_foreign_key_check"), "0");
    EXPECT_EQ(consulta("PRAGMA journal_mode"), "wal");

    // Lo que se copia de empresa y centro en cada fila es de la misma repetición que su puesto.
    EXPECT_EQ(consulta("SELECT count(*) FROM Evaluacion e JOIN PuestosCentros p USING (IDPuestoCentro) JOIN "
                       "CentroTrabajo c ON c.IDCentro = p.IDCentro WHERE e.IDCentro <> c.IDCentro OR e.IDEmpresa <> "
                       "c.IDEmpresa"),
              "0");
    EXPECT_EQ(consulta("SELECT count(*) FROM FactoresSeleccionarEvaluacion f JOIN PuestosCentros p USING "
                       "(IDPuestoCentro) JOIN CentroTrabajo c ON c.IDCentro = p.IDCentro WHERE f.IDCentro <> "
                       "c.IDCentro OR f.IDEmpresa <> c.IDEmpresa"),
              "0");
    EXPECT_EQ(consulta("SELECT count(*) FROM Evaluacion e JOIN FactoresSeleccionarEvaluacion f USING "
                       "(IDEvaluacionCrear) WHERE f.IDPuestoCentro <> e.IDPuestoCentro"),
              "0");

    // Cada repetición evalúa y elige lo mismo que la primera, en el mismo orden.
    const QString huella = "SELECT group_concat(e.IDRiesgo || e.Mostrar || coalesce(e.ValorRiesgo, '') || '/' || "
                           "(SELECT group_concat(MarcarMedida, '') FROM MedidasFactores m WHERE m.IDEvaluacion = "
                           "e.IDEvaluacion)) FROM (SELECT * FROM Evaluacion WHERE IDEmpresa BETWEEN %1 AND %2 ORDER BY "
                           "IDEvaluacion) e";
    const QString uno = consulta(huella.arg(1).arg(3));
    EXPECT_FALSE(uno.isEmpty());
    EXPECT_EQ(consulta(huella.arg(5).arg(7)), uno);
    EXPECT_EQ(consulta(huella.arg(9).arg(11)), uno);

    // La base de origen no cambia, y el archivo solo ya tiene todo (las medidas copian sólo él).
    esperarIgual(ContarEscala(origen.conexion()), antes);
    Conexion::cerrarTodas();
    QTemporaryDir copia;
    esperarIgual(ContarEscala(UsarCopiaEscala(destino.path(), copia.path())), porTres(antes));

    // Los números siguen tras el borrado, sin volver a dar el 4, y la siguiente alta va detrás.
    EXPECT_EQ(consulta("SELECT group_concat(IDEmpresa) FROM (SELECT IDEmpresa FROM Empresas ORDER BY 1)"),
              "1,2,3,5,6,7,9,10,11");
    EXPECT_EQ(consulta("SELECT Nombre || ' ' || CIF FROM Empresas WHERE IDEmpresa = 10"), "Empresa 10, S.L. B10000010");
    EXPECT_EQ(consulta("SELECT count(DISTINCT Nombre) FROM Empresas"), "9");
    Conexion::obtener(textoConexion(destino.path()))->ejecutar("INSERT INTO Empresas (Nombre) VALUES ('Nueva')");
    Conexion::cerrarTodas();
    EXPECT_EQ(consulta("SELECT IDEmpresa FROM Empresas WHERE Nombre = 'Nueva'"), "12");
}

TEST_F(Repetir, UnFalloNoDejaBaseAMedias)
{
    // Una base que ya está en destino no se pisa.
    ASSERT_NO_THROW(MultiplicarEscala(origen.carpeta(), destino.path(), 2));
    const qint64 tamano = QFileInfo(base()).size();
    EXPECT_THROW(MultiplicarEscala(origen.carpeta(), destino.path(), 3), std::runtime_error);
    EXPECT_EQ(QFileInfo(base()).size(), tamano);
    EXPECT_EQ(consulta("SELECT count(*) FROM Empresas"), "6");

    // Sin base de origen, o con un archivo que no es una base, no queda nada en destino.
    QTemporaryDir vacio, otro;
    EXPECT_THROW(MultiplicarEscala(vacio.path(), otro.path(), 3), std::runtime_error);
    EXPECT_FALSE(QFile::exists(otro.filePath("Evaluacion.mdb")));
    QFile basura(vacio.filePath("Evaluacion.mdb"));
    ASSERT_TRUE(basura.open(QIODevice::WriteOnly));
    basura.write(QByteArray(8192, 'x'));
    basura.close();
    QFile::copy(origen.ruta("SYSTEM.mdw"), vacio.filePath("SYSTEM.mdw"));
    EXPECT_THROW(MultiplicarEscala(vacio.path(), otro.path(), 3), std::runtime_error);
    EXPECT_FALSE(QFile::exists(otro.filePath("Evaluacion.mdb")));
    EXPECT_FALSE(QFile::exists(otro.filePath("SYSTEM.mdw")));
}
} // namespace
