// Los datos en el servidor: cascadas, vistas que se editan, valores enlazados, transacciones y
// números de error.
#include "BaseServidorPrueba.h"
#include "store/Esquema.h"
#include "store/postgres/EsquemaServidor.h"
#include "store/postgres/MapaErroresPg.h"
#include "store/postgres/TransaccionPg.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {
// Una base del programa en el servidor, con una empresa, su centro y un puesto con un factor
// marcado, un riesgo evaluado con una medida y un plan con una línea de ese riesgo.
struct BaseConDatos
{
    BaseServidorPrueba base;
    ConexionPg c = base.conectar();
    QString empresa, centro, puesto, factor, evaluacion, medida, plan, linea;

    BaseConDatos()
    {
        const ResultadoEsquema r = prepararEsquemaServidor(c.get());
        EXPECT_EQ(r.estado, ResultadoEsquema::Estado::Nueva);
        empresa = insertar("INSERT INTO Empresas (Nombre) VALUES ('Talleres') RETURNING IDEmpresa");
        centro = insertar("INSERT INTO CentroTrabajo (IDEmpresa, NombreCentro) VALUES ($1, 'Nave') RETURNING IDCentro",
                          {empresa});
        puesto = insertar("INSERT INTO PuestosCentros (IDCentro, Puesto, NTrabajadores) VALUES ($1, 'Soldador', '3') "
                          "RETURNING IDPuestoCentro",
                          {centro});
        factor = insertar("INSERT INTO FactoresSeleccionarEvaluacion (IDEmpresa, IDCentro, IDPuestoCentro, IDFactor, "
                          "FactorSelecionado) VALUES ($1, $2, $3, 1, 'S') RETURNING IDEvaluacionCrear",
                          {empresa, centro, puesto});
        evaluacion =
            insertar("INSERT INTO Evaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro, IDFactor, "
                     "IDRiesgo, Mostrar, Probabilidad, Consecuencias, ValorRiesgo) VALUES ($1, $2, $3, $4, 1, "
                     "10, 'S', 'Alta', 'Dañino', 'Riesgo Importante') RETURNING IDEvaluacion",
                     {factor, empresa, centro, puesto});
        medida =
            insertar("INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida) VALUES ($1, 'Guantes', 'N') "
                     "RETURNING IDMedidaFactor",
                     {evaluacion});
        plan =
            insertar("INSERT INTO \"ActuaciónPreventiva\" (IDCentro, Persona) VALUES ($1, 'Ana') RETURNING IDActuacion",
                     {centro});
        linea = insertar("INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva, IDEvaluacion, "
                         "IDMedidaFactor) VALUES ($1, 'Formar', $2, $3) RETURNING IDActuacionRegistro",
                         {plan, evaluacion, medida});
    }
    QString insertar(const QString& sql, const QStringList& valores = {}) { return celdaPg(c.get(), sql, valores); }
    QString celda(const QString& sql, const QStringList& valores = {}) { return celdaPg(c.get(), sql, valores); }
    // Filas que cambió la sentencia.
    QString cambiadas(const QString& sql, const QStringList& valores)
    {
        const ResultadoPg r = ejecutarPg(c.get(), sql, valores);
        return QString::fromLatin1(PQcmdTuples(r.get()));
    }
};

// Los trabajadores del puesto como los ve la vista de las líneas del plan en un archivo nuevo.
QString trabajadoresEnArchivo(const QString& nTrabajadores)
{
    sqlite3* bd = nullptr;
    sqlite3_open(":memory:", &bd);
    EXPECT_EQ(crearEsquemaRevision(bd, RevisionEsquema), SQLITE_OK);
    sqlite3_exec(bd,
                 "INSERT INTO Empresas (IDEmpresa) VALUES (1); INSERT INTO CentroTrabajo (IDCentro, IDEmpresa) "
                 "VALUES (1, 1); INSERT INTO FactoresSeleccionarEvaluacion (IDEvaluacionCrear, IDPuestoCentro) "
                 "VALUES (1, 1); INSERT INTO Evaluacion (IDEvaluacion, IDEvaluacionCrear, IDPuestoCentro) VALUES "
                 "(1, 1, 1); INSERT INTO \"ActuaciónPreventiva\" (IDActuacion, IDCentro) VALUES (1, 1); "
                 "INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, IDEvaluacion) VALUES (1, 1);",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(bd, "INSERT INTO PuestosCentros (IDPuestoCentro, IDCentro, NTrabajadores) VALUES (1, 1, ?)", -1,
                       &st, nullptr);
    const QByteArray texto = nTrabajadores.toUtf8();
    if (!nTrabajadores.isNull())
        sqlite3_bind_text(st, 1, texto.constData(), int(texto.size()), SQLITE_TRANSIENT);
    sqlite3_step(st);
    sqlite3_finalize(st);
    sqlite3_prepare_v2(bd, "SELECT Trabajadores FROM VLineasPlan", -1, &st, nullptr);
    QString valor = sqlite3_step(st) == SQLITE_ROW
                        ? QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)))
                        : QStringLiteral("sin fila");
    sqlite3_finalize(st);
    sqlite3_close(bd);
    return valor;
}
} // namespace

// Borrar una empresa se lleva sus centros, puestos, evaluaciones, medidas y planes; borrar un
// riesgo evaluado deja la línea del plan como general.
TEST(DatosServidor, BorradosEnCascada)
{
    BaseConDatos d;
    d.cambiadas("DELETE FROM Evaluacion WHERE IDEvaluacion = $1", {d.evaluacion});
    EXPECT_EQ(d.celda("SELECT coalesce(IDEvaluacion::text, 'nula') || ' ' || coalesce(IDMedidaFactor::text, 'nula') "
                      "FROM \"ActuaciónPreventivaRegistro\""),
              "nula nula");
    EXPECT_EQ(d.cambiadas("DELETE FROM Empresas WHERE IDEmpresa = $1", {d.empresa}), "1");
    EXPECT_EQ(d.celda("SELECT (SELECT count(*) FROM CentroTrabajo) + (SELECT count(*) FROM PuestosCentros) + "
                      "(SELECT count(*) FROM FactoresSeleccionarEvaluacion) + (SELECT count(*) FROM Evaluacion) + "
                      "(SELECT count(*) FROM MedidasFactores) + (SELECT count(*) FROM \"ActuaciónPreventiva\") + "
                      "(SELECT count(*) FROM \"ActuaciónPreventivaRegistro\")"),
              "0");
}

// Lo que se cambia en cada vista editable llega a su tabla, y una fila que ya no está no cuenta
// como cambiada.
TEST(DatosServidor, VistasEditables)
{
    BaseConDatos d;
    EXPECT_EQ(d.cambiadas("UPDATE VRiesgos SET Probabilidad = 'Baja', SituacionObservada = 'Sin guardas' "
                          "WHERE IDEvaluacion = $1",
                          {d.evaluacion}),
              "1");
    EXPECT_EQ(d.celda("SELECT Probabilidad || '/' || SituacionObservada FROM Evaluacion"), "Baja/Sin guardas");
    EXPECT_EQ(d.cambiadas("UPDATE VFactoresMedidas SET MarcarMedida = 'S', Implantada = 'S' WHERE IDMedidaFactor = $1",
                          {d.medida}),
              "1");
    EXPECT_EQ(d.celda("SELECT MarcarMedida || Implantada FROM MedidasFactores"), "SS");
    EXPECT_EQ(d.cambiadas("UPDATE VLineasPlan SET Estado = 'Hecha', FechaRealizada = '2024-03-01', CosteReal = '120' "
                          "WHERE IDActuacionRegistro = $1",
                          {d.linea}),
              "1");
    EXPECT_EQ(
        d.celda("SELECT Estado || ' ' || FechaRealizada || ' ' || CosteReal FROM \"ActuaciónPreventivaRegistro\""),
        "Hecha 2024-03-01 120");
    EXPECT_EQ(d.celda("SELECT Prioridad FROM VLineasPlan"), "2");

    // Otro la borra mientras tanto: el disparador no la encuentra.
    ConexionPg otra = d.base.conectar();
    TransaccionPg t(d.c.get());
    ejecutarPg(d.c.get(), "SELECT 1 FROM VRiesgos WHERE IDEvaluacion = $1", {d.evaluacion});
    ejecutarPg(otra.get(), "DELETE FROM \"ActuaciónPreventivaRegistro\"");
    EXPECT_EQ(d.cambiadas("UPDATE VLineasPlan SET Estado = 'Hecha' WHERE IDActuacionRegistro = $1", {d.linea}), "0");
}

// La vista de las líneas del plan lee los trabajadores del puesto como el archivo, también
// cuando el texto no es un número o no cabe.
TEST(DatosServidor, TrabajadoresComoEnElArchivo)
{
    BaseConDatos d;
    for (const QString& n :
         {QString("3"), QString("12 personas"), QString("muchos"), QString(""), QString("  7 "), QString("-3"),
          QString("+4"), QString("12.9"), QString("0x1A"), QString("99999999999999999999"),
          QString("-99999999999999999999"), QString("9223372036854775807"), QString()}) {
        d.cambiadas("UPDATE PuestosCentros SET NTrabajadores = $1", {n});
        EXPECT_EQ(d.celda("SELECT Trabajadores FROM VLineasPlan"), trabajadoresEnArchivo(n)) << qPrintable(n);
    }
}

// Apóstrofos, acentos y lo que parece SQL llegan y vuelven tal cual, como valores enlazados.
TEST(DatosServidor, TextosEnlazadosIntactos)
{
    BaseConDatos d;
    const QStringList textos{"O'Donnell y Peñalver, S.L.", "Ñandú «Cía» — áéíóú ü €", "'); DROP TABLE Empresas; --",
                             "\\ $1 %"};
    for (const QString& t : textos) {
        const QString id = d.insertar("INSERT INTO Empresas (Nombre) VALUES ($1) RETURNING IDEmpresa", {t});
        EXPECT_EQ(d.celda("SELECT Nombre FROM Empresas WHERE IDEmpresa = $1", {id}), t);
        EXPECT_EQ(d.celda("SELECT IDEmpresa FROM Empresas WHERE Nombre = $1", {t}), id);
    }
    EXPECT_EQ(d.celda("SELECT count(*) FROM Empresas"), QString::number(textos.size() + 1));
    EXPECT_EQ(d.celda("SELECT Nombre IS NULL FROM Empresas WHERE IDEmpresa = $1",
                      {d.insertar("INSERT INTO Empresas (Nombre) VALUES ($1) RETURNING IDEmpresa", {QString()})}),
              "t");
}

// Una fila copiada conserva su identificador; las nuevas los reciben del servidor.
TEST(DatosServidor, IdentificadoresDadosYNuevos)
{
    BaseConDatos d;
    EXPECT_EQ(d.insertar("INSERT INTO Empresas (IDEmpresa, Nombre) VALUES (500, 'Copiada') RETURNING IDEmpresa"),
              "500");
    const QString nueva = d.insertar("INSERT INTO Empresas (Nombre) VALUES ('Nueva') RETURNING IDEmpresa");
    EXPECT_NE(nueva, "500");
    EXPECT_NE(nueva, d.empresa);
}

// Una transacción sin confirmar se deshace; y si algo falló dentro, confirmarla no dice que se ha
// guardado.
TEST(DatosServidor, Transacciones)
{
    BaseConDatos d;
    {
        TransaccionPg t(d.c.get());
        d.cambiadas("UPDATE Empresas SET Nombre = 'Otra'", {});
    }
    EXPECT_EQ(d.celda("SELECT Nombre FROM Empresas"), "Talleres");
    {
        TransaccionPg t(d.c.get());
        d.cambiadas("UPDATE Empresas SET Nombre = 'Otra'", {});
        EXPECT_THROW(ejecutarPg(d.c.get(), "INSERT INTO CentroTrabajo (IDEmpresa) VALUES (987654)"), ErrorBD);
        EXPECT_THROW(t.confirmar(), ErrorBD);
    }
    EXPECT_EQ(d.celda("SELECT Nombre FROM Empresas"), "Talleres");
    EXPECT_EQ(PQtransactionStatus(d.c.get()), PQTRANS_IDLE);
    {
        TransaccionPg t(d.c.get());
        d.cambiadas("UPDATE Empresas SET Nombre = 'Otra'", {});
        TransaccionPg movida(std::move(t));
        movida.confirmar();
    }
    EXPECT_EQ(d.celda("SELECT Nombre FROM Empresas"), "Otra");
}

// Los fallos del servidor llegan con el número que deciden las ventanas y la sentencia.
TEST(DatosServidor, NumerosDeError)
{
    BaseConDatos d;
    const auto numero = [&](const QString& sql) {
        try {
            ejecutarPg(d.c.get(), sql);
        } catch (const ErrorBD& e) {
            EXPECT_EQ(e.sentencia(), sql);
            return e.numero();
        }
        return 0L;
    };
    EXPECT_EQ(numero("INSERT INTO CentroTrabajo (IDEmpresa) VALUES (987654)"), NumeroError::OperacionVariosPasos);
    EXPECT_EQ(numero("INSERT INTO FactoresRiesgos (Factor) VALUES ('a'), ('a')"), NumeroError::OperacionVariosPasos);
    EXPECT_EQ(numero("SELECT * FROM NoExiste"), NumeroError::TablaNoEncontrada);
    EXPECT_EQ(numero("SELECT NoExiste FROM Empresas"), NumeroError::CampoNoEncontrado);
    EXPECT_EQ(numero("SELEC 1"), NumeroError::SintaxisConsulta);

    const auto alConectar = [](const QString& texto) {
        try {
            conectarPg(texto);
        } catch (const ErrorBD& e) {
            return e.numero();
        }
        return 0L;
    };
    // Al conectar, libpq no da el código del servidor: cualquier fallo es de red, y nunca un éxito.
    EXPECT_EQ(alConectar(d.base.texto() + " password=mala"), NumeroError::ErrorDisco);
    EXPECT_EQ(alConectar(d.base.texto() + " dbname=no_existe_esta"), NumeroError::ErrorDisco);
    EXPECT_EQ(alConectar("host=/no/existe/esta/carpeta dbname=x"), NumeroError::ErrorDisco);
}
