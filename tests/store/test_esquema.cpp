// Relaciones en cascada, vistas que se editan y vistas de las comprobaciones.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "store/ErrorBD.h"
#include "store/Esquema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sqlite3.h>

using datos::contar;

namespace {
// Un centro con un puesto, un factor marcado, dos riesgos y sus medidas, y un plan con líneas.
struct Arbol
{
    long long empresa, centro, puesto, factor, evaluacion, plan;
};

Arbol crearArbol(const QString& cx, const QString& nombre)
{
    Arbol a;
    a.empresa = datos::empresa(cx, nombre);
    a.centro = datos::centro(cx, a.empresa);
    a.puesto = datos::puesto(cx, a.centro);
    a.factor = datos::factor(cx, a.puesto, 1, "S");
    a.evaluacion = datos::evaluacion(cx, a.factor, 10);
    datos::evaluacion(cx, a.factor, 20);
    datos::medida(cx, a.evaluacion, "S");
    datos::medida(cx, a.evaluacion);
    a.plan = datos::insertar(cx, "INSERT INTO ActuaciónPreventiva (IDCentro, Persona) VALUES (?, 'Ana')", {a.centro});
    datos::insertar(cx, "INSERT INTO ActuaciónPreventivaRegistro (IDActuacion, AccionPreventiva) VALUES (?, 'Formar')",
                    {a.plan});
    return a;
}

// Filas de cada tabla que cuelgan de la empresa dada.
std::vector<long long> filasDe(const QString& cx, long long empresa)
{
    return {contar(cx, "select count(*) from CentroTrabajo where IDEmpresa = ?", {empresa}),
            contar(cx,
                   "select count(*) from PuestosCentros p join CentroTrabajo c using (IDCentro) "
                   "where c.IDEmpresa = ?",
                   {empresa}),
            contar(cx, "select count(*) from FactoresSeleccionarEvaluacion where IDEmpresa = ?", {empresa}),
            contar(cx, "select count(*) from Evaluacion where IDEmpresa = ?", {empresa}),
            contar(cx,
                   "select count(*) from MedidasFactores m join Evaluacion e using (IDEvaluacion) "
                   "where e.IDEmpresa = ?",
                   {empresa}),
            contar(cx,
                   "select count(*) from ActuaciónPreventiva a join CentroTrabajo c using (IDCentro) "
                   "where c.IDEmpresa = ?",
                   {empresa})};
}

long long huerfanas(const QString& cx)
{
    return contar(cx, "select (select count(*) from MedidasFactores where IDEvaluacion not in "
                      "(select IDEvaluacion from Evaluacion)) + (select count(*) from ActuaciónPreventivaRegistro "
                      "where IDActuacion not in (select IDActuacion from ActuaciónPreventiva))");
}

class EsquemaPrueba : public ::testing::Test
{
protected:
    CopiaPrograma p;
    QString cx = p.conexion();
};
} // namespace

TEST_F(EsquemaPrueba, BorrarEmpresaOCentroSeLlevaTodoLoQueCuelga)
{
    const Arbol a = crearArbol(cx, "Se borra");
    const Arbol b = crearArbol(cx, "Se queda");
    const std::vector<long long> completo{1, 1, 1, 2, 2, 1};
    ASSERT_EQ(filasDe(cx, a.empresa), completo);

    Recordset::execute(QStringLiteral("delete from Empresas where IDEmpresa = %1;").arg(a.empresa), cx);
    EXPECT_EQ(filasDe(cx, a.empresa), std::vector<long long>(6, 0));
    EXPECT_EQ(filasDe(cx, b.empresa), completo);
    EXPECT_EQ(contar(cx, "select count(*) from ActuaciónPreventivaRegistro"), 1);

    Recordset::execute(QStringLiteral("delete from CentroTrabajo where IDCentro = %1;").arg(b.centro), cx);
    EXPECT_EQ(filasDe(cx, b.empresa), std::vector<long long>(6, 0));
    EXPECT_EQ(contar(cx, "select count(*) from Empresas"), 1);
    EXPECT_EQ(huerfanas(cx), 0);
}

TEST_F(EsquemaPrueba, PuestoFilaDeEvaluacionYPlanBorranLoSuyo)
{
    const Arbol a = crearArbol(cx, "Tienda");
    const long long otroPuesto = datos::puesto(cx, a.centro, "Cajero");
    datos::evaluacion(cx, datos::factor(cx, otroPuesto, 2, "S"), 30);

    Recordset::execute("delete from MedidasFactores where 0", cx);
    Recordset::execute("delete from Evaluacion where IDEvaluacion = ?", cx, {a.evaluacion});
    EXPECT_EQ(contar(cx, "select count(*) from MedidasFactores"), 0);

    Recordset::execute("delete from PuestosCentros where IDPuestoCentro = ?", cx, {a.puesto});
    EXPECT_EQ(contar(cx, "select count(*) from FactoresSeleccionarEvaluacion where IDPuestoCentro = ?", {a.puesto}), 0);
    EXPECT_EQ(contar(cx, "select count(*) from Evaluacion where IDPuestoCentro = ?", {a.puesto}), 0);
    EXPECT_EQ(contar(cx, "select count(*) from Evaluacion"), 1);

    Recordset::execute("delete from ActuaciónPreventiva where IDActuacion = ?", cx, {a.plan});
    EXPECT_EQ(contar(cx, "select count(*) from ActuaciónPreventivaRegistro"), 0);
    EXPECT_EQ(huerfanas(cx), 0);
}

TEST_F(EsquemaPrueba, LasVistasEditablesEscribenEnSuTabla)
{
    const Arbol a = crearArbol(cx, "Tienda");
    Recordset rs;
    rs.open("Select * from VRiesgos where IDPuestoCentro = ? and Mostrar = 'S'", cx, {a.puesto});
    ASSERT_EQ(rs.recordCount(), 2);
    rs.moveFirst();
    rs.setValue("Probabilidad", "Alta");
    rs.setValue("Consecuencias", "Extremadamente dañino");
    rs.setValue("ValorRiesgo", "Riesgo Intolerable");
    rs.update();
    EXPECT_EQ(contar(cx,
                     "select count(*) from Evaluacion where ValorRiesgo = 'Riesgo Intolerable' and "
                     "Consecuencias = 'Extremadamente dañino' and IDEvaluacion = ?",
                     {a.evaluacion}),
              1);
    EXPECT_EQ(contar(cx, "select count(*) from Evaluacion where ValorRiesgo is not null"), 1);

    Recordset m;
    m.open("Select * from VFactoresMedidas where IDCentro = ? order by Riesgo, Factor", cx, {a.centro});
    ASSERT_EQ(m.recordCount(), 2);
    m.moveFirst();
    while (!m.eof()) {
        m.setValue("MarcarMedida", "S");
        m.update();
        m.moveNext();
    }
    EXPECT_EQ(contar(cx, "select count(*) from MedidasFactores where MarcarMedida = 'S'"), 2);
}

TEST_F(EsquemaPrueba, VistasDeComprobacionCuentanPorPuesto)
{
    const long long e = datos::empresa(cx);
    const long long c = datos::centro(cx, e);
    const long long sinFilas = datos::puesto(cx, c, "Sin filas");
    const long long sinMarcar = datos::puesto(cx, c, "Sin marcar");
    datos::factor(cx, sinMarcar, 1);
    const long long completo = datos::puesto(cx, c, "Completo");
    const long long f1 = datos::factor(cx, completo, 1, "S");
    const long long f2 = datos::factor(cx, completo, 2, "S");
    datos::factor(cx, completo, 3);
    const long long ev1 = datos::evaluacion(cx, f1, 10, "S", "Riesgo Moderado");
    datos::evaluacion(cx, f2, 10, "N");                  // oculta: sigue a la mostrada y no cuenta
    const long long ev3 = datos::evaluacion(cx, f2, 20); // mostrada sin evaluar
    datos::medida(cx, ev1, "S");
    datos::medida(cx, ev3, "N");

    const auto fila = [&](const QString& vista, long long puesto, const QString& columnas) {
        Recordset rs;
        rs.open("select " + columnas + " from " + vista +
                    " where IDCentro = ? and IDEmpresa = ? and IDPuestoCentro = ?",
                cx, {c, e, puesto});
        QList<long long> valores;
        while (!rs.eof()) {
            for (int i = 0; i < rs.fieldCount(); ++i)
                valores << rs.value(i).toLongLong();
            rs.moveNext();
        }
        return valores;
    };
    EXPECT_EQ(fila("VEvaluacionFactoresSeleccionados", sinFilas, "Total"), QList<long long>{0});
    EXPECT_EQ(fila("VEvaluacionFactoresSeleccionados", sinMarcar, "Total"), QList<long long>{0});
    EXPECT_EQ(fila("VEvaluacionFactoresSeleccionados", completo, "Total"), QList<long long>{2});
    EXPECT_EQ(fila("VEvaluacionRiesgos", sinFilas, "Total1, Total2"), (QList<long long>{0, 0}));
    EXPECT_EQ(fila("VEvaluacionRiesgos", completo, "Total1, Total2"), (QList<long long>{2, 1}));
    // Una fila por factor marcado: el primero tiene su medida marcada, el segundo ninguna.
    EXPECT_EQ(fila("VEvaluacionMedidas", completo, "Total"), (QList<long long>{1, 0}));
    EXPECT_EQ(fila("VEvaluacionMedidas", sinMarcar, "Total"), QList<long long>{});

    // Otro centro de la misma empresa no se cuela en el filtro.
    datos::puesto(cx, datos::centro(cx, e, "Otra calle"), "Ajeno");
    EXPECT_EQ(contar(cx, "select count(*) from VEvaluacionFactoresSeleccionados where IDCentro = ? and IDEmpresa = ?",
                     {c, e}),
              3);
}

TEST_F(EsquemaPrueba, NombresConTildeYOrdenDeClaves)
{
    for (const char* sql : {"Select IDActuacion, IDCentro, Persona, Cargo, Fecha from ActuaciónPreventiva",
                            "Select IDActuacionRegistro, IDActuacion, AccionPreventiva, FechaLimite, "
                            "ResponsableEjecucion, PresupuestoAproximado from ActuaciónPreventivaRegistro",
                            "Select Puesto, Descripción from Puestos", "Select Descripcion from PuestosCentros",
                            "Select IDRiesgo, Riesgo from Riesgos"}) {
        Recordset rs;
        EXPECT_NO_THROW(rs.open(sql, cx)) << sql;
    }
    const long long e = datos::empresa(cx);
    const long long c = datos::centro(cx, e);
    const long long plan =
        datos::insertar(cx, "INSERT INTO ActuaciónPreventiva (IDCentro, Fecha) VALUES (?, ?)", {c, QDate(2026, 12, 8)});
    Recordset rs;
    rs.open("Select * from ActuaciónPreventiva where IDActuacion = ?", cx, {plan});
    EXPECT_EQ(rs.value("Fecha").toDate(), QDate(2026, 12, 8));
    // Sin orden pedido, las filas salen por su identificador ascendente.
    for (int i = 0; i < 5; ++i)
        datos::puesto(cx, c, QStringLiteral("P%1").arg(i));
    Recordset::execute("update PuestosCentros set Puesto = 'Z' where Puesto = 'P0'", cx);
    Recordset pu;
    pu.open("Select * from PuestosCentros where IDCentro = ?", cx, {c});
    long long anterior = 0;
    while (!pu.eof()) {
        EXPECT_GT(pu.value("IDPuestoCentro").toLongLong(), anterior);
        anterior = pu.value("IDPuestoCentro").toLongLong();
        pu.moveNext();
    }
}

namespace {
// Sentencias directas sobre un archivo, sin pasar por la conexión del programa (que lo pondría al día).
struct ArchivoCrudo
{
    sqlite3* bd = nullptr;
    explicit ArchivoCrudo(const QString& ruta, int modo = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
    {
        sqlite3_open_v2(QFile::encodeName(ruta).constData(), &bd, modo, nullptr);
    }
    ~ArchivoCrudo() { sqlite3_close(bd); }
    void sql(const char* texto) { ASSERT_EQ(sqlite3_exec(bd, texto, nullptr, nullptr, nullptr), SQLITE_OK) << texto; }
    QStringList filas(const char* consulta)
    {
        QStringList r;
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(bd, consulta, -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW) {
            QStringList columnas;
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                columnas << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
            r << columnas.join('|');
        }
        sqlite3_finalize(st);
        return r;
    }
};

const char* const recuento = "SELECT (SELECT count(*) FROM Empresas), (SELECT count(*) FROM CentroTrabajo), "
                             "(SELECT count(*) FROM PuestosCentros), (SELECT count(*) FROM "
                             "FactoresSeleccionarEvaluacion), (SELECT count(*) FROM Evaluacion), (SELECT count(*) "
                             "FROM MedidasFactores), (SELECT count(*) FROM \"ActuaciónPreventiva\"), (SELECT "
                             "count(*) FROM \"ActuaciónPreventivaRegistro\")";
const char* const objetos = "SELECT type, name, sql FROM sqlite_master WHERE name NOT LIKE 'sqlite%' ORDER BY name";
} // namespace

TEST(PuestaAlDia, LaRevisionAnteriorSeRehaceSinPerderFilasYNoRepiteNumeros)
{
    CopiaPrograma p;
    const QString archivo = p.ruta("Evaluacion.mdb");
    ASSERT_TRUE(QFile::remove(archivo));
    {
        // Un archivo de la revisión 1 con dos árboles completos y una empresa ya borrada.
        ArchivoCrudo viejo(archivo);
        ASSERT_EQ(crearEsquemaRevision(viejo.bd, 1), SQLITE_OK);
        viejo.sql("PRAGMA foreign_keys = ON;"
                  "INSERT INTO Empresas (IDEmpresa, Nombre) VALUES (1, 'Uno'), (2, 'Dos'), (3, 'Tres');"
                  "INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, Direccion) VALUES (1, 1, 'C1'), (2, 2, 'C2'), "
                  "(3, 3, 'C3');"
                  "INSERT INTO PuestosCentros (IDPuestoCentro, IDCentro, Puesto) VALUES (1, 1, 'P1'), (2, 2, 'P2');"
                  "INSERT INTO FactoresSeleccionarEvaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro,"
                  " IDFactor, FactorSelecionado) VALUES (1, 1, 1, 1, 1, 'S'), (2, 2, 2, 2, 1, 'S');"
                  "INSERT INTO Evaluacion (IDEvaluacion, IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro, "
                  "IDFactor, IDRiesgo, Mostrar) VALUES (1, 1, 1, 1, 1, 1, 10, 'S'), (2, 2, 2, 2, 2, 1, 10, 'S');"
                  "INSERT INTO MedidasFactores (IDMedidaFactor, IDEvaluacion, Medida) VALUES (1, 1, 'M'), (2, 2, 'M');"
                  "INSERT INTO \"ActuaciónPreventiva\" (IDActuacion, IDCentro) VALUES (1, 1), (2, 2);"
                  "INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacionRegistro, IDActuacion) VALUES (1, 1), "
                  "(2, 2);"
                  "DELETE FROM Empresas WHERE IDEmpresa = 3;");
        ASSERT_EQ(viejo.filas(recuento), QStringList{"2|2|2|2|2|2|2|2"});
    }

    // Abrirla con el programa la pone al día, con la copia de antes al lado.
    EXPECT_EQ(contar(p.conexion(), "PRAGMA user_version"), RevisionEsquema);
    {
        ArchivoCrudo copia(archivo + ".r1.bak", SQLITE_OPEN_READONLY);
        EXPECT_EQ(copia.filas("PRAGMA user_version"), QStringList{"1"});
        EXPECT_EQ(copia.filas(recuento), QStringList{"2|2|2|2|2|2|2|2"});
    }
    EXPECT_EQ(contar(p.conexion(), recuento), 2);
    {
        // Las mismas tablas, índices, vistas y disparadores que una base de datos nueva.
        ArchivoCrudo nueva(QStringLiteral(CARPETA_ENTREGA "/Evaluacion.mdb"), SQLITE_OPEN_READONLY);
        ArchivoCrudo puesta(archivo, SQLITE_OPEN_READONLY);
        EXPECT_EQ(puesta.filas(objetos), nueva.filas(objetos));
        EXPECT_EQ(puesta.filas(recuento), QStringList{"2|2|2|2|2|2|2|2"});
        EXPECT_EQ(puesta.filas("PRAGMA foreign_key_check"), QStringList{});
    }

    // Las vistas editables siguen escribiendo, las cascadas siguen borrando.
    const QString cx = p.conexion();
    Recordset::execute("UPDATE VRiesgos SET Probabilidad = 'Alta' WHERE IDEvaluacion = 1", cx);
    EXPECT_EQ(contar(cx, "SELECT count(*) FROM Evaluacion WHERE Probabilidad = 'Alta'"), 1);
    Recordset::execute("DELETE FROM Empresas WHERE IDEmpresa = 2", cx);
    EXPECT_EQ(contar(cx, "SELECT count(*) FROM Evaluacion"), 1);
    EXPECT_EQ(contar(cx, "SELECT count(*) FROM \"ActuaciónPreventivaRegistro\""), 1);

    // Lo borrado después de ponerla al día no devuelve su número.
    EXPECT_EQ(datos::empresa(cx, "Nueva"), 3);
    EXPECT_EQ(datos::centro(cx, 1, "Otro"), 3);
    Recordset::execute("DELETE FROM CentroTrabajo WHERE IDCentro = 3", cx);
    EXPECT_EQ(datos::centro(cx, 1, "Otro más"), 4);
}

// Lo que dice el esquema al abrir cada clase de archivo, y que quien abre recibe el mismo error.
namespace {
using Estado = ResultadoEsquema::Estado;

long numeroAlAbrir(const QString& cx)
{
    try {
        Conexion::obtener(cx);
    } catch (const ErrorBD& e) {
        return e.numero();
    }
    return 0;
}

// Archivo de la revisión 1 con una empresa y su centro.
void archivoRevision1(const QString& archivo)
{
    QFile::remove(archivo);
    ArchivoCrudo viejo(archivo);
    ASSERT_EQ(crearEsquemaRevision(viejo.bd, 1), SQLITE_OK);
    viejo.sql("INSERT INTO Empresas (IDEmpresa, Nombre) VALUES (1, 'Uno');"
              "INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, Direccion) VALUES (1, 1, 'C1');");
}

QString definicionEmpresas(const QString& cx)
{
    Recordset rs;
    rs.open("SELECT sql FROM sqlite_master WHERE name = 'Empresas'", cx);
    return rs.value(0).toString();
}
} // namespace

TEST(ResultadoEsquema, UnArchivoNuevoSaleConTodasLasRevisiones)
{
    CopiaPrograma p;
    const auto con = Conexion::crear(p.ruta("Nueva.mdb"));
    EXPECT_EQ(con->esquema().estado, Estado::Nueva);
    EXPECT_FALSE(con->esquema().error);
    ArchivoCrudo nueva(p.ruta("Nueva.mdb"), SQLITE_OPEN_READONLY);
    ArchivoCrudo entregada(QStringLiteral(CARPETA_ENTREGA "/Evaluacion.mdb"), SQLITE_OPEN_READONLY);
    EXPECT_EQ(nueva.filas("PRAGMA user_version"), QStringList{QString::number(RevisionEsquema)});
    EXPECT_EQ(nueva.filas(objetos), entregada.filas(objetos));
}

TEST(ResultadoEsquema, LaBaseEntregadaEstaAlDiaYNoSeCopia)
{
    CopiaPrograma p;
    const auto con = Conexion::obtener(p.conexion());
    EXPECT_EQ(con->esquema().estado, Estado::AlDia);
    EXPECT_EQ(con->esquema().revision, RevisionEsquema);
    EXPECT_TRUE(con->esquema().copia.isEmpty());
    // Preparar otra vez no cambia nada ni deja copias.
    EXPECT_EQ(prepararEsquema(*con).estado, Estado::AlDia);
    EXPECT_EQ(QDir(p.carpeta()).entryList({"*.bak"}, QDir::Files), QStringList{});
}

TEST(ResultadoEsquema, UnaRevisionAnteriorSePoneAlDiaConSuCopia)
{
    CopiaPrograma p;
    const QString archivo = p.ruta("Evaluacion.mdb");
    archivoRevision1(archivo);
    const auto con = Conexion::obtener(p.conexion());
    EXPECT_EQ(con->esquema().estado, Estado::PuestaAlDia);
    EXPECT_EQ(con->esquema().revision, 1);
    EXPECT_EQ(con->esquema().copia, archivo + ".r1.bak");
    EXPECT_TRUE(definicionEmpresas(p.conexion()).contains("AUTOINCREMENT"));
    {
        ArchivoCrudo copia(con->esquema().copia, SQLITE_OPEN_READONLY);
        EXPECT_EQ(copia.filas("PRAGMA user_version"), QStringList{"1"});
        EXPECT_EQ(copia.filas("SELECT Nombre FROM Empresas"), QStringList{"Uno"});
    }
    // Abrirla de nuevo ya la encuentra al día.
    Conexion::cerrarTodas();
    EXPECT_EQ(Conexion::obtener(p.conexion())->esquema().estado, Estado::AlDia);
}

TEST(ResultadoEsquema, UnaBaseDeUnProgramaMasNuevoNoSeToca)
{
    CopiaPrograma p;
    const auto con = Conexion::obtener(p.conexion());
    con->ejecutar(QStringLiteral("PRAGMA user_version = %1").arg(RevisionEsquema + 7));
    const ResultadoEsquema r = prepararEsquema(*con);
    EXPECT_EQ(r.estado, Estado::MasNueva);
    EXPECT_EQ(r.revision, RevisionEsquema + 7);
    ASSERT_TRUE(r.error);
    EXPECT_EQ(r.error->numero(), NumeroError::ErrorGeneral);
    EXPECT_TRUE(r.error->descripcion().contains(QStringLiteral("revisión %1").arg(RevisionEsquema + 7)));
    EXPECT_TRUE(r.copia.isEmpty());
    EXPECT_EQ(QDir(p.carpeta()).entryList({"*.bak"}, QDir::Files), QStringList{});

    Conexion::cerrarTodas();
    EXPECT_EQ(numeroAlAbrir(p.conexion()), NumeroError::ErrorGeneral);
}

TEST(ResultadoEsquema, UnaBaseDeOtroProgramaOVaciaEsAjena)
{
    CopiaPrograma p;
    const QString archivo = p.ruta("Evaluacion.mdb");
    QFile::remove(archivo);
    {
        ArchivoCrudo otra(archivo);
        otra.sql("CREATE TABLE Clientes (id INTEGER PRIMARY KEY, nombre TEXT)");
    }
    EXPECT_EQ(numeroAlAbrir(p.conexion()), NumeroError::BaseDanada);
    QFile::remove(archivo);
    {
        // Con páginas, pero sin ninguna tabla.
        ArchivoCrudo vacia(archivo);
        vacia.sql("CREATE TABLE t (x); DROP TABLE t;");
    }
    EXPECT_EQ(numeroAlAbrir(p.conexion()), NumeroError::BaseDanada);

    CopiaPrograma buena;
    const auto con = Conexion::obtener(buena.conexion());
    con->ejecutar("PRAGMA user_version = 0");
    const ResultadoEsquema r = prepararEsquema(*con);
    EXPECT_EQ(r.estado, Estado::Ajena);
    ASSERT_TRUE(r.error);
    EXPECT_EQ(r.error->numero(), NumeroError::BaseDanada);
    EXPECT_TRUE(r.error->descripcion().contains("pero no de este programa"));
}

TEST(ResultadoEsquema, UnaRevisionQueFallaDejaElArchivoComoEstabaYSuCopia)
{
    CopiaPrograma p;
    const QString archivo = p.ruta("Evaluacion.mdb");
    archivoRevision1(archivo);
    {
        ArchivoCrudo danada(archivo);
        danada.sql("DROP TABLE MedidasFactores");
    }
    const long numero = numeroAlAbrir(p.conexion());
    EXPECT_EQ(numero, NumeroError::BaseDanada);
    {
        // Las tablas rehechas antes del fallo vuelven a ser las de antes; la copia queda al lado.
        ArchivoCrudo igual(archivo, SQLITE_OPEN_READONLY);
        EXPECT_EQ(igual.filas("PRAGMA user_version"), QStringList{"1"});
        EXPECT_FALSE(
            igual.filas("SELECT sql FROM sqlite_master WHERE name = 'Empresas'").join("").contains("AUTOINCREMENT"));
        EXPECT_EQ(igual.filas("SELECT Nombre FROM Empresas"), QStringList{"Uno"});
        ArchivoCrudo copia(archivo + ".r1.bak", SQLITE_OPEN_READONLY);
        EXPECT_EQ(copia.filas("SELECT Direccion FROM CentroTrabajo"), QStringList{"C1"});
    }

    // La misma puesta al día sobre una conexión abierta: dice qué pasó y no deja nada a medias.
    CopiaPrograma q;
    const QString cx = q.conexion();
    const auto con = Conexion::obtener(cx);
    con->ejecutar("DROP VIEW VFactoresMedidas; DROP VIEW VEvaluacionMedidas; DROP TABLE MedidasFactores;"
                  "PRAGMA user_version = 1");
    const long long objetosAntes = contar(cx, "SELECT count(*) FROM sqlite_master");
    const ResultadoEsquema r = prepararEsquema(*con);
    EXPECT_EQ(r.estado, Estado::Fallida);
    EXPECT_EQ(r.revision, 1);
    ASSERT_TRUE(r.error);
    EXPECT_EQ(r.error->numero(), numero);
    EXPECT_EQ(r.copia, q.ruta("Evaluacion.mdb") + ".r1.bak");
    EXPECT_TRUE(QFileInfo::exists(r.copia));
    EXPECT_FALSE(con->enTransaccion());
    EXPECT_EQ(contar(cx, "PRAGMA user_version"), 1);
    EXPECT_EQ(contar(cx, "PRAGMA foreign_keys"), 1);
    EXPECT_EQ(contar(cx, "SELECT count(*) FROM sqlite_master"), objetosAntes);
    EXPECT_EQ(contar(cx, "SELECT count(*) FROM sqlite_master WHERE name LIKE '%\\_r2' ESCAPE '\\'"), 0);
}

TEST(PuestaAlDia, LaRevision2GanaFechasVersionesSituacionYMedidasImplantadasSinTocarLoQueHabia)
{
    CopiaPrograma p;
    const QString archivo = p.ruta("Evaluacion.mdb");
    ASSERT_TRUE(QFile::remove(archivo));
    {
        ArchivoCrudo viejo(archivo);
        ASSERT_EQ(crearEsquemaRevision(viejo.bd, 2), SQLITE_OK);
        viejo.sql("INSERT INTO Empresas (IDEmpresa, Nombre) VALUES (1, 'Uno');"
                  "INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, Direccion) VALUES (1, 1, 'C1');"
                  "INSERT INTO PuestosCentros (IDPuestoCentro, IDCentro, Puesto) VALUES (1, 1, 'P1');"
                  "INSERT INTO FactoresSeleccionarEvaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro,"
                  " IDFactor, FactorSelecionado) VALUES (1, 1, 1, 1, 1, 'S');"
                  "INSERT INTO Evaluacion (IDEvaluacion, IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro, "
                  "IDFactor, IDRiesgo, Mostrar, Probabilidad) VALUES (1, 1, 1, 1, 1, 1, 10, 'S', 'Media');"
                  "INSERT INTO MedidasFactores (IDMedidaFactor, IDEvaluacion, Medida, MarcarMedida) "
                  "VALUES (1, 1, 'M', 'S');");
    }
    const QString cx = p.conexion();
    EXPECT_EQ(contar(cx, "PRAGMA user_version"), RevisionEsquema);
    EXPECT_TRUE(QFileInfo::exists(archivo + ".r2.bak"));
    // Lo que había sigue; lo nuevo empieza vacío: sin versión emitida y ninguna medida implantada.
    EXPECT_EQ(contar(cx, "SELECT count(*) FROM CentroTrabajo WHERE Direccion = 'C1' AND VersionEvaluacion = 0 AND "
                         "FechaEvaluacion IS NULL"),
              1);
    EXPECT_EQ(contar(cx, "SELECT count(*) FROM VFactoresMedidas WHERE MarcarMedida = 'S' AND Implantada = 'N'"), 1);
    EXPECT_EQ(contar(cx, "SELECT count(*) FROM VersionesEvaluacion"), 0);
    // Las vistas editables escriben también las columnas nuevas.
    Recordset::execute("UPDATE VRiesgos SET SituacionObservada = 'En el almacén' WHERE IDEvaluacion = 1", cx);
    Recordset::execute("UPDATE VFactoresMedidas SET Implantada = 'S' WHERE IDMedidaFactor = 1", cx);
    EXPECT_EQ(contar(cx, "SELECT count(*) FROM Evaluacion WHERE SituacionObservada = 'En el almacén' AND "
                         "Probabilidad = 'Media'"),
              1);
    EXPECT_EQ(contar(cx, "SELECT count(*) FROM MedidasFactores WHERE Implantada = 'S' AND MarcarMedida = 'S'"), 1);
}
