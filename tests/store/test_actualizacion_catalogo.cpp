// Un programa con un catálogo más nuevo pone al día el de la base de datos al abrirla, sin tocar lo
// que ya se evaluó ni lo que el usuario escribió.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "postgres/BaseConCatalogo.h"
#include "store/ActualizacionCatalogo.h"
#include "store/ErrorBD.h"
#include "store/Esquema.h"
#include "store/Recordset.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sqlite3.h>

using datos::contar;

namespace {
void sql(const QString& archivo, const char* texto)
{
    sqlite3* bd = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(archivo).constData(), &bd), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(bd, texto, nullptr, nullptr, &error);
    const std::string mensaje = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(bd);
    ASSERT_EQ(rc, SQLITE_OK) << mensaje;
}

// Filas de un archivo leído por su cuenta: abrirlo con el programa lo pondría al día.
QStringList filas(const QString& archivo, const QString& consulta)
{
    QStringList r;
    sqlite3* bd = nullptr;
    sqlite3_open_v2(QFile::encodeName(archivo).constData(), &bd, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(bd, consulta.toUtf8().constData(), -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList columnas;
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            columnas << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
        r << columnas.join('|');
    }
    sqlite3_finalize(st);
    sqlite3_close(bd);
    return r;
}

// Lo que el usuario tiene: un centro con dos puestos hechos como los hace la ventana (una fila por
// factor del catálogo), uno con el factor 9 marcado, sus riesgos valorados, las medidas copiadas
// (una escrita a mano) y un plan; y una actuación del catálogo corregida.
void datosDelUsuario(const QString& cx)
{
    const long long empresa = datos::empresa(cx), centro = datos::centro(cx, empresa);
    for (const char* nombre : {"Dependiente/a de comercio", "Mozo/a de almacén"}) {
        const long long puesto = datos::puesto(cx, centro, nombre);
        datos::insertar(cx,
                        "INSERT INTO FactoresSeleccionarEvaluacion (IDEmpresa, IDCentro, IDPuestoCentro, "
                        "FactorSelecionado, IDFactor, Factor) SELECT ?, ?, ?, 'N', IDFactor, Factor FROM "
                        "FactoresRiesgos ORDER BY IDFactor",
                        {empresa, centro, puesto});
    }
    Recordset::execute("UPDATE FactoresSeleccionarEvaluacion SET FactorSelecionado = 'S' WHERE IDFactor = 9 AND "
                       "IDPuestoCentro = (SELECT min(IDPuestoCentro) FROM PuestosCentros)",
                       cx);
    datos::insertar(cx,
                    "INSERT INTO Evaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro, IDFactor, "
                    "IDRiesgo, Mostrar, Probabilidad, Consecuencias, ValorRiesgo) SELECT s.IDEvaluacionCrear, "
                    "s.IDEmpresa, s.IDCentro, s.IDPuestoCentro, 9, r.IDRiesgo, 'S', 'Media', 'Dañino', "
                    "'Riesgo Moderado' FROM FactoresSeleccionarEvaluacion s JOIN RiesgosFactores r ON r.IDFactor = 9 "
                    "WHERE s.FactorSelecionado = 'S'",
                    {});
    datos::insertar(cx,
                    "INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida) SELECT e.IDEvaluacion, "
                    "m.Medida, 'S' FROM Evaluacion e JOIN Medidas m ON m.IDFactor = e.IDFactor AND m.IDRiesgo = "
                    "e.IDRiesgo ORDER BY e.IDEvaluacion, m.IDMedida",
                    {});
    datos::insertar(cx,
                    "INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida) SELECT min(IDEvaluacion), "
                    "'Medida propia del centro', 'S' FROM Evaluacion",
                    {});
    const long long plan =
        datos::insertar(cx, "INSERT INTO ActuaciónPreventiva (IDCentro, Persona) VALUES (?, 'Ana')", {centro});
    datos::insertar(cx,
                    "INSERT INTO ActuaciónPreventivaRegistro (IDActuacion, AccionPreventiva, IDEvaluacion) "
                    "SELECT ?, 'Formar', min(IDEvaluacion) FROM Evaluacion",
                    {plan});
    Recordset::execute("UPDATE Actuaciones SET Actuacion = 'Texto corregido por el usuario' WHERE IDActuaciones = 1",
                       cx);
}

// Todo lo del usuario, tal cual, para compararlo antes y después.
QStringList delUsuario(const QString& base)
{
    QStringList r;
    for (const char* t : {"Empresas", "CentroTrabajo", "PuestosCentros", "Evaluacion", "MedidasFactores",
                          "\"ActuaciónPreventiva\"", "\"ActuaciónPreventivaRegistro\""})
        r << filas(base, QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(QString::fromUtf8(t)));
    return r;
}

// El catálogo tabla a tabla, con los puestos de los habituales por su nombre.
const char* const consultasCatalogo[] = {
    "SELECT IDRiesgo, Riesgo FROM Riesgos ORDER BY 1",
    "SELECT IDFactor, Factor FROM FactoresRiesgos ORDER BY 1",
    "SELECT Puesto, \"Descripción\" FROM Puestos ORDER BY 1",
    "SELECT IDFactor, IDRiesgo FROM RiesgosFactores ORDER BY IDRiesgoFactor",
    "SELECT IDFactor, IDRiesgo, Medida FROM Medidas ORDER BY IDMedida",
    "SELECT p.Puesto, h.IDFactor FROM FactoresHabituales h JOIN Puestos p USING (IDPuesto) ORDER BY 1, 2",
    "SELECT Revision FROM RevisionCatalogo"};

// El catálogo de un archivo.
QStringList catalogo(const QString& base)
{
    QStringList r;
    for (const char* consulta : consultasCatalogo)
        r << QString::fromUtf8(consulta) << filas(base, QString::fromUtf8(consulta));
    return r;
}

// Un catálogo nuevo: un riesgo, un factor (con su enlace, medidas y puesto que lo suele tener), un
// puesto y una actuación nuevos; la redacción de un riesgo, un factor, un puesto y una medida
// cambiada; un enlace que ya no está.
void cambiarCatalogo(const QString& archivo)
{
    sql(archivo, "UPDATE RevisionCatalogo SET Revision = Revision + 1;"
                 "INSERT INTO Riesgos (IDRiesgo, Riesgo) VALUES (999, 'Riesgo nuevo');"
                 "UPDATE Riesgos SET Riesgo = 'Sobreesfuerzos al manipular cargas' WHERE IDRiesgo = 130;"
                 "UPDATE FactoresRiesgos SET Factor = 'Manipulación manual de cargas' WHERE IDFactor = 9;"
                 "INSERT INTO FactoresRiesgos (IDFactor, Factor) VALUES (900, 'Factor nuevo');"
                 "INSERT INTO RiesgosFactores (IDFactor, IDRiesgo) VALUES (900, 999);"
                 "INSERT INTO Medidas (IDRiesgo, IDFactor, Medida) VALUES (999, 900, 'Medida nueva uno'),"
                 " (999, 900, 'Medida nueva dos');"
                 "DELETE FROM Medidas WHERE IDFactor = 9 AND IDRiesgo = 40;"
                 "DELETE FROM RiesgosFactores WHERE IDFactor = 9 AND IDRiesgo = 40;"
                 "UPDATE Medidas SET Medida = Medida || ' (revisada)' WHERE IDMedida = (SELECT min(IDMedida) FROM "
                 "Medidas WHERE IDFactor = 9);"
                 "UPDATE Puestos SET \"Descripción\" = 'Atiende a los clientes.' WHERE Puesto = 'Cajero/a';"
                 "INSERT INTO Puestos (Puesto, \"Descripción\") VALUES ('Puesto nuevo', 'Hace algo nuevo.');"
                 "INSERT INTO FactoresHabituales (IDPuesto, IDFactor) SELECT IDPuesto, 900 FROM Puestos WHERE "
                 "Puesto IN ('Puesto nuevo', 'Cajero/a');"
                 "INSERT INTO Actuaciones (Actuacion, Entregada) VALUES ('Actuación nueva', 'Actuación nueva');");
}
} // namespace

TEST(ActualizacionCatalogo, ElCatalogoNuevoLlegaSinTocarLoEvaluadoNiLoDelUsuario)
{
    CopiaPrograma p;
    const QString cx = p.conexion(), base = p.ruta("Evaluacion.mdb"), nuevo = p.ruta(NombreCatalogoPrograma);
    datosDelUsuario(cx);
    const int revision = revisionCatalogo(*Conexion::obtener(cx));
    Conexion::cerrarTodas();
    const QStringList antes = delUsuario(base);
    const QStringList filasFactorAntes = filas(base, "SELECT * FROM FactoresSeleccionarEvaluacion ORDER BY 1");
    const QString entregada = filas(base, "SELECT Entregada FROM Actuaciones WHERE IDActuaciones = 1").value(0);
    const int actuaciones = filas(base, "SELECT count(*) FROM Actuaciones").value(0).toInt();

    ASSERT_TRUE(QFile::copy(QStringLiteral(CARPETA_ENTREGA "/Evaluacion.mdb"), nuevo));
    cambiarCatalogo(nuevo);
    ASSERT_EQ(revisionCatalogoDe(nuevo), revision + 1);

    const ResultadoEsquema r = Conexion::obtener(cx)->esquema();
    EXPECT_EQ(r.estado, ResultadoEsquema::Estado::AlDia);
    EXPECT_EQ(r.revisionCatalogo, revision);
    EXPECT_EQ(r.catalogoPuestoAlDia, revision + 1);
    EXPECT_EQ(r.copia, base + QStringLiteral(".c%1.bak").arg(revision));
    Conexion::cerrarTodas();

    // El catálogo es el nuevo, entero.
    EXPECT_EQ(catalogo(base), catalogo(nuevo));

    // Lo evaluado y lo escrito por el usuario, igual; su actuación corregida no vuelve a aparecer
    // con el texto de antes y la nueva se añade.
    EXPECT_EQ(delUsuario(base), antes);
    EXPECT_EQ(filas(base, "SELECT * FROM FactoresSeleccionarEvaluacion WHERE IDFactor <> 900 ORDER BY 1"),
              filasFactorAntes);
    const QStringList textos = filas(base, "SELECT Actuacion FROM Actuaciones ORDER BY IDActuaciones");
    EXPECT_EQ(textos.value(0), "Texto corregido por el usuario");
    EXPECT_FALSE(textos.contains(entregada));
    EXPECT_EQ(textos.size(), actuaciones + 1);
    EXPECT_EQ(textos.count("Actuación nueva"), 1);

    // El factor nuevo llega a cada puesto que ya había como una fila más, sin marcar.
    EXPECT_EQ(filas(base, "SELECT IDPuestoCentro, IDEmpresa, IDCentro, Factor, FactorSelecionado FROM "
                          "FactoresSeleccionarEvaluacion WHERE IDFactor = 900 ORDER BY 1"),
              (QStringList{"1|1|1|Factor nuevo|N", "2|1|1|Factor nuevo|N"}));

    // La copia es la base de antes; abrirla otra vez no vuelve a poner nada al día.
    EXPECT_EQ(delUsuario(r.copia), antes);
    EXPECT_EQ(filas(r.copia, "SELECT Revision FROM RevisionCatalogo"), QStringList{QString::number(revision)});
    QFile::remove(r.copia);
    const ResultadoEsquema otra = Conexion::obtener(cx)->esquema();
    EXPECT_EQ(otra.catalogoPuestoAlDia, 0);
    EXPECT_TRUE(otra.copia.isEmpty());
    EXPECT_EQ(contar(cx, "SELECT count(*) FROM FactoresSeleccionarEvaluacion WHERE IDFactor = 900"), 2);
}

TEST(ActualizacionCatalogo, UnaPuestaAlDiaQueFallaDejaLaBaseComoEstaba)
{
    CopiaPrograma p;
    const QString cx = p.conexion(), base = p.ruta("Evaluacion.mdb"), nuevo = p.ruta(NombreCatalogoPrograma);
    datosDelUsuario(cx);
    const int revision = revisionCatalogo(*Conexion::obtener(cx));
    Conexion::cerrarTodas();
    const QStringList antes = catalogo(base) + delUsuario(base);
    ASSERT_TRUE(QFile::copy(QStringLiteral(CARPETA_ENTREGA "/Evaluacion.mdb"), nuevo));
    cambiarCatalogo(nuevo);
    // Una medida sin su enlace no cabe en la base: el paso falla cuando ya se han escrito otros.
    sql(nuevo, "INSERT INTO Medidas (IDRiesgo, IDFactor, Medida) VALUES (999, 1, 'Medida sin enlace')");
    try {
        Conexion::obtener(cx);
        ADD_FAILURE() << "se ha abierto";
    } catch (const ErrorBD&) {
    }
    Conexion::cerrarTodas();
    // La conexión que no llegó a abrirse está cerrada de verdad: SQLite ha soltado el archivo y ha
    // quitado su diario.
    EXPECT_FALSE(QFileInfo::exists(base + "-wal"));
    EXPECT_EQ(catalogo(base) + delUsuario(base), antes);
    EXPECT_TRUE(QFileInfo::exists(base + QStringLiteral(".c%1.bak").arg(revision)));
}

TEST(ActualizacionCatalogo, UnaBaseDeLaRevision5GanaLosHabitualesYLosFactoresNuevos)
{
    CopiaPrograma p;
    const QString base = p.ruta("Evaluacion.mdb");
    ASSERT_TRUE(QFile::rename(base, p.ruta(NombreCatalogoPrograma)));
    {
        // Una base de antes, con un catálogo de un solo factor y un puesto que lo tiene marcado.
        sqlite3* bd = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(base).constData(), &bd), SQLITE_OK);
        ASSERT_EQ(crearEsquemaRevision(bd, 5), SQLITE_OK);
        sqlite3_close(bd);
    }
    sql(base, "INSERT INTO Riesgos VALUES (130, 'Sobreesfuerzos');"
              "INSERT INTO FactoresRiesgos VALUES (9, 'Manipulación manual de cajas y mercancía');"
              "INSERT INTO RiesgosFactores (IDFactor, IDRiesgo) VALUES (9, 130);"
              "INSERT INTO Actuaciones (Actuacion) VALUES ('Acción de antes');"
              "INSERT INTO Empresas (IDEmpresa, Nombre) VALUES (1, 'Uno');"
              "INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, Direccion) VALUES (1, 1, 'C1');"
              "INSERT INTO PuestosCentros (IDPuestoCentro, IDCentro, Puesto) VALUES (1, 1, 'Cajero/a');"
              "INSERT INTO FactoresSeleccionarEvaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro, "
              "IDFactor, Factor, FactorSelecionado) VALUES (1, 1, 1, 1, 9, 'Cajas', 'S');"
              "INSERT INTO Evaluacion (IDEvaluacion, IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro, IDFactor,"
              " IDRiesgo, Mostrar, ValorRiesgo) VALUES (1, 1, 1, 1, 1, 9, 130, 'S', 'Riesgo Moderado');"
              "INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida) VALUES (1, 'Medida de antes', 'S');");
    const QStringList antes = delUsuario(base);

    const QString cx = p.conexion();
    const ResultadoEsquema r = Conexion::obtener(cx)->esquema();
    EXPECT_EQ(r.estado, ResultadoEsquema::Estado::PuestaAlDia);
    EXPECT_EQ(r.revisionCatalogo, 1);
    EXPECT_GT(r.catalogoPuestoAlDia, 1);
    // Una sola copia, la de antes de todo.
    EXPECT_EQ(r.copia, base + ".r5.bak");
    EXPECT_FALSE(QFileInfo::exists(base + ".c1.bak"));
    Conexion::cerrarTodas();

    EXPECT_EQ(catalogo(base), catalogo(p.ruta(NombreCatalogoPrograma)));
    // Las filas del usuario siguen igual; desde la revisión 7 llevan además su versión, que empieza en 0.
    QStringList conVersion;
    for (const QString& f : antes)
        conVersion << f + QStringLiteral("|0");
    EXPECT_EQ(delUsuario(base), conVersion);
    EXPECT_EQ(filas(base, "SELECT count(*) FROM Actuaciones WHERE Actuacion = 'Acción de antes'"), QStringList{"1"});
    // El factor marcado conserva su copia; el puesto gana, sin marcar, todos los demás.
    EXPECT_EQ(filas(base, "SELECT Factor, FactorSelecionado FROM FactoresSeleccionarEvaluacion WHERE IDFactor = 9"),
              QStringList{"Cajas|S"});
    EXPECT_EQ(filas(base, "SELECT count(*) FROM FactoresSeleccionarEvaluacion WHERE FactorSelecionado = 'N'"),
              filas(base, "SELECT count(*) - 1 FROM FactoresRiesgos"));
}

namespace {
// Filas leídas por la conexión del programa, en cualquier motor, como las da filas().
QStringList filasPor(const QString& cx, const QString& consulta, const QVariantList& valores = {})
{
    QStringList r;
    for (const QVariantList& fila : Conexion::obtener(cx)->leerFilas(consulta, valores)) {
        QStringList columnas;
        for (const QVariant& v : fila)
            columnas << v.toString();
        r << columnas.join('|');
    }
    return r;
}

QStringList catalogoPor(const QString& cx)
{
    QStringList r;
    for (const char* consulta : consultasCatalogo)
        r << QString::fromUtf8(consulta) << filasPor(cx, QString::fromUtf8(consulta));
    return r;
}

// Lo del usuario escrito con sentencias que entienden los dos motores: un centro con dos puestos
// con una fila por factor del catálogo, el factor 9 marcado en el primero con sus riesgos
// valorados y sus medidas copiadas, y una actuación del catálogo corregida.
void datosEnCualquierMotor(const QString& cx)
{
    auto c = Conexion::obtener(cx);
    const QVariant empresa =
        c->leerFilas("INSERT INTO Empresas (Nombre) VALUES ('Comercial') RETURNING IDEmpresa").front().value(0);
    const QVariant centro =
        c->leerFilas("INSERT INTO CentroTrabajo (IDEmpresa, Direccion) VALUES (?, 'Calle Mayor 1') RETURNING IDCentro",
                     {empresa})
            .front()
            .value(0);
    for (const char* nombre : {"Dependiente/a de comercio", "Mozo/a de almacén"})
        c->ejecutar("INSERT INTO PuestosCentros (IDCentro, Puesto) VALUES (?, ?)", {centro, QString::fromUtf8(nombre)});
    c->ejecutar("INSERT INTO FactoresSeleccionarEvaluacion (IDEmpresa, IDCentro, IDPuestoCentro, FactorSelecionado, "
                "IDFactor, Factor) SELECT c.IDEmpresa, p.IDCentro, p.IDPuestoCentro, 'N', f.IDFactor, f.Factor FROM "
                "PuestosCentros p JOIN CentroTrabajo c ON c.IDCentro = p.IDCentro CROSS JOIN FactoresRiesgos f "
                "ORDER BY p.IDPuestoCentro, f.IDFactor",
                {});
    c->ejecutar("UPDATE FactoresSeleccionarEvaluacion SET FactorSelecionado = 'S' WHERE IDFactor = 9 AND "
                "IDPuestoCentro = (SELECT min(IDPuestoCentro) FROM PuestosCentros)",
                {});
    c->ejecutar("INSERT INTO Evaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro, IDFactor, IDRiesgo, "
                "Mostrar, Probabilidad, Consecuencias, ValorRiesgo) SELECT s.IDEvaluacionCrear, s.IDEmpresa, "
                "s.IDCentro, s.IDPuestoCentro, 9, r.IDRiesgo, 'S', 'Media', 'Dañino', 'Riesgo Moderado' FROM "
                "FactoresSeleccionarEvaluacion s JOIN RiesgosFactores r ON r.IDFactor = 9 WHERE s.FactorSelecionado "
                "= 'S'",
                {});
    c->ejecutar("INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida) SELECT e.IDEvaluacion, m.Medida, "
                "'S' FROM Evaluacion e JOIN Medidas m ON m.IDFactor = e.IDFactor AND m.IDRiesgo = e.IDRiesgo ORDER BY "
                "e.IDEvaluacion, m.IDMedida",
                {});
    c->ejecutar("UPDATE Actuaciones SET Actuacion = 'Texto corregido por el usuario' WHERE IDActuaciones = 1", {});
}

QStringList delUsuarioPor(const QString& cx)
{
    QStringList r;
    for (const char* t : {"Empresas", "CentroTrabajo", "PuestosCentros", "Evaluacion", "MedidasFactores"})
        r << filasPor(cx, QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(QString::fromUtf8(t)));
    return r;
}

// El catálogo nuevo del programa, en la carpeta donde lo busca.
void ponerCatalogoNuevo(const BaseConCatalogo& b)
{
    QFile::remove(b.catalogo());
    ASSERT_TRUE(QFile::copy(QStringLiteral(CARPETA_ENTREGA "/Evaluacion.mdb"), b.catalogo()));
    cambiarCatalogo(b.catalogo());
}

// La misma puesta al día en el archivo y en el servidor.
class ActualizacionMotores : public ::testing::TestWithParam<bool>
{
};
} // namespace

TEST_P(ActualizacionMotores, UnFactorNuevoLlegaSinMarcarACadaPuestoYLoDelUsuarioNoCambia)
{
    BaseConCatalogo b(GetParam());
    const QString cx = b.texto();
    const int revision = revisionCatalogo(*Conexion::obtener(cx));
    datosEnCualquierMotor(cx);
    const QStringList antes = delUsuarioPor(cx);
    const QStringList filasFactorAntes = filasPor(cx, "SELECT * FROM FactoresSeleccionarEvaluacion ORDER BY 1");
    const QStringList puestos = filasPor(cx, "SELECT IDPuestoCentro FROM PuestosCentros ORDER BY 1");
    const QString entregada = filasPor(cx, "SELECT Entregada FROM Actuaciones WHERE IDActuaciones = 1").value(0);
    const int actuaciones = filasPor(cx, "SELECT count(*) FROM Actuaciones").value(0).toInt();
    Conexion::cerrarTodas();
    ponerCatalogoNuevo(b);

    const ResultadoEsquema r = Conexion::obtener(cx)->esquema();
    EXPECT_EQ(r.revisionCatalogo, revision);
    EXPECT_EQ(r.catalogoPuestoAlDia, revision + 1);
    EXPECT_EQ(catalogoPor(cx), catalogo(b.catalogo()));
    EXPECT_EQ(delUsuarioPor(cx), antes);
    EXPECT_EQ(filasPor(cx, "SELECT * FROM FactoresSeleccionarEvaluacion WHERE IDFactor <> 900 ORDER BY 1"),
              filasFactorAntes);
    ASSERT_EQ(puestos.size(), 2);
    EXPECT_EQ(filasPor(cx, "SELECT IDPuestoCentro, Factor, FactorSelecionado FROM FactoresSeleccionarEvaluacion "
                           "WHERE IDFactor = 900 ORDER BY 1"),
              (QStringList{puestos[0] + "|Factor nuevo|N", puestos[1] + "|Factor nuevo|N"}));
    const QStringList textos = filasPor(cx, "SELECT Actuacion FROM Actuaciones ORDER BY IDActuaciones");
    EXPECT_EQ(textos.value(0), "Texto corregido por el usuario");
    EXPECT_FALSE(textos.contains(entregada));
    EXPECT_EQ(textos.size(), actuaciones + 1);
    EXPECT_EQ(textos.count("Actuación nueva"), 1);

    // Lo que se añade después toma números por encima de los puestos por el catálogo.
    EXPECT_GT(filasPor(cx, "INSERT INTO Riesgos (Riesgo) VALUES ('Riesgo propio') RETURNING IDRiesgo").value(0).toInt(),
              999);
    EXPECT_GT(filasPor(cx, "INSERT INTO Medidas (IDRiesgo, IDFactor, Medida) VALUES (999, 900, 'Propia') RETURNING "
                           "IDMedida")
                  .value(0)
                  .toInt(),
              filas(b.catalogo(), "SELECT max(IDMedida) FROM Medidas").value(0).toInt());

    // Abierta otra vez, no se pone nada al día ni se repiten las filas del factor nuevo.
    Conexion::cerrarTodas();
    EXPECT_EQ(Conexion::obtener(cx)->esquema().catalogoPuestoAlDia, 0);
    EXPECT_EQ(filasPor(cx, "SELECT count(*) FROM FactoresSeleccionarEvaluacion WHERE IDFactor = 900"),
              QStringList{"2"});
}

TEST_P(ActualizacionMotores, UnaPuestaAlDiaQueFallaAMitadDejaLaBaseComoEstaba)
{
    BaseConCatalogo b(GetParam());
    const QString cx = b.texto();
    datosEnCualquierMotor(cx);
    const QStringList antes = catalogoPor(cx) + delUsuarioPor(cx) +
                              filasPor(cx, "SELECT * FROM FactoresSeleccionarEvaluacion ORDER BY 1") +
                              filasPor(cx, "SELECT * FROM Actuaciones ORDER BY 1");
    Conexion::cerrarTodas();
    ponerCatalogoNuevo(b);
    // Una medida sin su enlace no cabe: falla cuando ya se han escrito riesgos, factores y filas nuevas.
    sql(b.catalogo(), "INSERT INTO Medidas (IDRiesgo, IDFactor, Medida) VALUES (999, 1, 'Medida sin enlace')");
    EXPECT_THROW(Conexion::obtener(cx), ErrorBD);
    Conexion::cerrarTodas();

    // Sin el catálogo nuevo se abre sin tocar nada: está como antes de intentarlo.
    ASSERT_TRUE(QFile::remove(b.catalogo()));
    EXPECT_EQ(catalogoPor(cx) + delUsuarioPor(cx) +
                  filasPor(cx, "SELECT * FROM FactoresSeleccionarEvaluacion ORDER BY 1") +
                  filasPor(cx, "SELECT * FROM Actuaciones ORDER BY 1"),
              antes);
}

INSTANTIATE_TEST_SUITE_P(Motores, ActualizacionMotores, ::testing::ValuesIn(motoresConCatalogo()), nombreMotor);
