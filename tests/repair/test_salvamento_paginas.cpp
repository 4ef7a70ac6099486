// Salvamento a fondo: páginas machacadas de una base generada, cabecera a ceros, archivo vacío.
// Lo que se espera se calcula sobre la copia intacta: las filas de cada hoja salen de dbstat.
#include "ArchivosReparar.h"
#include "CopiaPrograma.h"
#include "repair/Compactacion.h"
#include "repair/Salvamento.h"

#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {
using Estado = ResultadoCompactacion::Estado;
using Filas = std::map<QString, std::map<qint64, QByteArray>>; // tabla -> clave -> fila entera

const char* const tablasUsuario[] = {
    "Empresas",   "CentroTrabajo",   "PuestosCentros",      "FactoresSeleccionarEvaluacion",
    "Evaluacion", "MedidasFactores", "ActuaciónPreventiva", "ActuaciónPreventivaRegistro"};
const char* const tablasCatalogo[] = {"Riesgos",         "Puestos", "FactoresRiesgos",
                                      "RiesgosFactores", "Medidas", "Actuaciones"};

class BaseSqlite
{
public:
    explicit BaseSqlite(const QString& archivo, int modo = SQLITE_OPEN_READWRITE)
    {
        sqlite3_open_v2(QFile::encodeName(archivo).constData(), &bd_, modo, nullptr);
    }
    ~BaseSqlite() { sqlite3_close(bd_); }
    void ejecutar(const QByteArray& sql)
    {
        ASSERT_EQ(sqlite3_exec(bd_, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql.constData();
    }
    // Primera columna de cada fila, como número.
    std::vector<qint64> numeros(const QByteArray& sql, const QByteArray& parametro = {})
    {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(bd_, sql, -1, &st, nullptr);
        if (!parametro.isNull())
            sqlite3_bind_text(st, 1, parametro.constData(), -1, SQLITE_TRANSIENT);
        std::vector<qint64> v;
        while (sqlite3_step(st) == SQLITE_ROW)
            v.push_back(sqlite3_column_int64(st, 0));
        sqlite3_finalize(st);
        return v;
    }
    std::map<qint64, QByteArray> filas(const char* tabla)
    {
        std::map<qint64, QByteArray> f;
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(bd_, QByteArray("SELECT * FROM \"") + tabla + "\"", -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW) {
            QByteArray t;
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                t += QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(st, i))) + '|';
            f[sqlite3_column_int64(st, 0)] = t;
        }
        sqlite3_finalize(st);
        return f;
    }

private:
    sqlite3* bd_ = nullptr;
};

class SalvamentoPaginas : public ::testing::Test
{
protected:
    void SetUp() override
    {
        base = p.ruta("Evaluacion.mdb");
        QFile::copy(QStringLiteral(CARPETA_ENTREGA "/Evaluacion.mdb"), p.ruta(NombreCatalogoEntregado));
    }

    // Una consultoría pequeña: 40 empresas, 2 centros cada una, 8 puestos por centro, 4 factores por
    // puesto con su evaluación y su medida, y un plan de dos acciones por centro.
    void generar()
    {
        BaseSqlite bd(base);
        bd.ejecutar("BEGIN");
        bd.ejecutar("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40) "
                    "INSERT INTO Empresas (IDEmpresa, Nombre, Direccion) SELECT i, 'Empresa ' || i, "
                    "printf('%.*c', 300, 'd') FROM n");
        bd.ejecutar("INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, NombreCentro, Direccion) SELECT 100 + 2 * "
                    "IDEmpresa + k, IDEmpresa, 'Centro ' || k || ' de ' || Nombre, printf('%.*c', 150, 'c') "
                    "FROM Empresas, (SELECT 0 AS k UNION SELECT 1)");
        bd.ejecutar(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 8) "
            "INSERT INTO PuestosCentros (IDCentro, Puesto, Descripcion, Fecha) SELECT IDCentro, 'Puesto ' || i, "
            "'Tareas del puesto ' || i || ' en ' || NombreCentro, '2024-03-0' || i FROM CentroTrabajo, n");
        bd.ejecutar("INSERT INTO FactoresSeleccionarEvaluacion (IDEmpresa, IDCentro, IDPuestoCentro, IDFactor, Factor, "
                    "FactorSelecionado) SELECT c.IDEmpresa, c.IDCentro, p.IDPuestoCentro, f.IDFactor, f.Factor, 'S' "
                    "FROM PuestosCentros p JOIN CentroTrabajo c USING (IDCentro), "
                    "(SELECT IDFactor, Factor FROM FactoresRiesgos ORDER BY IDFactor LIMIT 4) f");
        bd.ejecutar(
            "INSERT INTO Evaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro, IDFactor, IDRiesgo, "
            "Mostrar, Probabilidad, Consecuencias, ValorRiesgo) SELECT IDEvaluacionCrear, IDEmpresa, IDCentro, "
            "IDPuestoCentro, IDFactor, 1, 'S', 'Media', 'Dañino', 'Moderado' FROM FactoresSeleccionarEvaluacion");
        bd.ejecutar("INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida) SELECT IDEvaluacion, "
                    "'Medida de la evaluación ' || IDEvaluacion, 'S' FROM Evaluacion");
        bd.ejecutar("INSERT INTO \"ActuaciónPreventiva\" (IDCentro, Persona, Fecha) SELECT IDCentro, 'Técnico', "
                    "'2024-05-01' FROM CentroTrabajo");
        bd.ejecutar("INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva) SELECT IDActuacion, "
                    "'Acción ' || k FROM \"ActuaciónPreventiva\", (SELECT 1 AS k UNION SELECT 2)");
        bd.ejecutar("COMMIT");
    }

    Filas leerTodo(const QString& archivo)
    {
        BaseSqlite bd(archivo, SQLITE_OPEN_READONLY);
        Filas f;
        for (const char* t : tablasUsuario)
            f[t] = bd.filas(t);
        for (const char* t : tablasCatalogo)
            f[t] = bd.filas(t);
        return f;
    }

    // Machaca las páginas con bytes de relleno y quita de intactas las filas de las hojas
    // machacadas: lo que queda es lo que debe salvarse.
    void machacar(const std::vector<qint64>& paginas)
    {
        {
            BaseSqlite bd(base, SQLITE_OPEN_READONLY);
            for (auto& [tabla, filas] : intactas) {
                const std::vector<qint64> hojas = bd.numeros(
                    "SELECT pageno FROM dbstat WHERE name = ? AND pagetype = 'leaf' ORDER BY path", tabla.toUtf8());
                const std::vector<qint64> celdas = bd.numeros(
                    "SELECT ncell FROM dbstat WHERE name = ? AND pagetype = 'leaf' ORDER BY path", tabla.toUtf8());
                auto fila = filas.begin();
                for (size_t h = 0; h < hojas.size(); ++h)
                    for (qint64 c = 0; c < celdas[h] && fila != filas.end(); ++c)
                        fila =
                            std::count(paginas.begin(), paginas.end(), hojas[h]) ? filas.erase(fila) : std::next(fila);
            }
        }
        QFile f(base);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        for (qint64 pagina : paginas) {
            f.seek((pagina - 1) * 4096);
            QByteArray basura(4096, '\0');
            for (int i = 0; i < basura.size(); ++i)
                basura[i] = char((pagina * 7919 + i * 104729) % 251);
            f.write(basura);
        }
    }

    std::vector<qint64> paginasDe(const char* tabla, const char* tipo)
    {
        BaseSqlite bd(base, SQLITE_OPEN_READONLY);
        return bd.numeros(
            "SELECT pageno FROM dbstat WHERE name = ? AND pagetype = '" + QByteArray(tipo) + "' ORDER BY path", tabla);
    }

    // Parte de las filas de fuera de las páginas machacadas que está tal cual en la base salvada;
    // cuenta también las filas salvadas que no son de la base intacta.
    double salvadas(const Filas& rehechas, qint64& ajenas)
    {
        qint64 esperadas = 0, halladas = 0;
        ajenas = 0;
        for (const auto& [tabla, filas] : intactas) {
            esperadas += qint64(filas.size());
            for (const auto& [clave, fila] : filas)
                halladas += rehechas.at(tabla).count(clave) && rehechas.at(tabla).at(clave) == fila;
            for (const auto& [clave, fila] : rehechas.at(tabla))
                ajenas += !todas.at(tabla).count(clave) && !fila.contains("recuperad");
        }
        return double(halladas) / double(esperadas);
    }

    ResultadoSalvamento salvar() { return SalvarFilas(base, p.ruta("Salvada.mdb"), p.ruta(NombreCatalogoEntregado)); }

    const FilasTabla& de(const ResultadoSalvamento& r, const char* tabla)
    {
        for (const FilasTabla& t : r.tablas)
            if (t.tabla == QString::fromUtf8(tabla))
                return t;
        static FilasTabla nada;
        ADD_FAILURE() << "falta " << tabla;
        return nada;
    }

    CopiaPrograma p;
    QString base;
    Filas todas, intactas;
};
} // namespace

TEST_F(SalvamentoPaginas, RaicesYHojasMachacadasConservanLoDemas)
{
    generar();
    todas = intactas = leerTodo(base);
    // Raíces de los puestos, los factores y las evaluaciones (interiores), una hoja de centros,
    // una de medidas del catálogo y un índice.
    const std::vector<qint64> rotas = {paginasDe("PuestosCentros", "internal").at(0),
                                       paginasDe("Evaluacion", "internal").at(0),
                                       paginasDe("FactoresSeleccionarEvaluacion", "internal").at(0),
                                       paginasDe("CentroTrabajo", "leaf").at(1),
                                       paginasDe("Medidas", "leaf").at(5),
                                       paginasDe("FactoresPuesto", "leaf").at(0)};
    machacar(rotas);
    const ResultadoSalvamento r = salvar();
    const Filas rehechas = leerTodo(p.ruta("Salvada.mdb"));
    qint64 ajenas = 0;
    EXPECT_GE(salvadas(rehechas, ajenas), 0.99);
    EXPECT_EQ(ajenas, 0);
    // Con las raíces rotas, sus hojas se encuentran recorriendo el archivo: no se pierde ni un puesto.
    EXPECT_EQ(rehechas.at("PuestosCentros"), todas.at("PuestosCentros"));
    EXPECT_EQ(rehechas.at("Evaluacion"), todas.at("Evaluacion"));
    // Un factor también "cabe" en una evaluación (más corta), pero su hoja es de los factores.
    EXPECT_EQ(rehechas.at("FactoresSeleccionarEvaluacion"), todas.at("FactoresSeleccionarEvaluacion"));
    // Los puestos de los centros perdidos siguen en su empresa, bajo un centro que lo dice.
    const qint64 centrosPerdidos = qint64(todas.at("CentroTrabajo").size() - intactas.at("CentroTrabajo").size());
    ASSERT_GT(centrosPerdidos, 0);
    EXPECT_EQ(de(r, "CentroTrabajo").provisionales, centrosPerdidos);
    EXPECT_EQ(de(r, "CentroTrabajo").perdidas, centrosPerdidos); // contadas por su índice
    EXPECT_TRUE(de(r, "CentroTrabajo").perdidasExactas);
    BaseSqlite salvada(p.ruta("Salvada.mdb"), SQLITE_OPEN_READONLY);
    EXPECT_EQ(salvada
                  .numeros("SELECT count(*) FROM CentroTrabajo c JOIN Empresas e USING (IDEmpresa) "
                           "WHERE c.NombreCentro = 'Centro recuperado ' || c.IDCentro "
                           "AND e.IDEmpresa = (c.IDCentro - 100) / 2")
                  .at(0),
              centrosPerdidos);
    EXPECT_TRUE(salvada.numeros("SELECT 1 FROM pragma_foreign_key_check").empty());
    // Las medidas del catálogo de la hoja rota vuelven de la copia entregada.
    EXPECT_EQ(rehechas.at("Medidas"), todas.at("Medidas"));
    EXPECT_GT(de(r, "Medidas").repuestas, 0);
}

TEST_F(SalvamentoPaginas, CincoPaginasCualesquieraDejanFueraMenosDeUnoPorCiento)
{
    generar();
    todas = intactas = leerTodo(base);
    const qint64 total = QFileInfo(base).size() / 4096;
    std::vector<qint64> rotas;
    quint32 semilla = 12345;
    while (rotas.size() < 5) {
        semilla = semilla * 1103515245u + 12345u;
        const qint64 pagina = 2 + qint64((semilla >> 8) % quint32(total - 1));
        if (!std::count(rotas.begin(), rotas.end(), pagina))
            rotas.push_back(pagina);
    }
    machacar(rotas);
    const ResultadoSalvamento r = salvar();
    qint64 ajenas = 0;
    const double parte = salvadas(leerTodo(p.ruta("Salvada.mdb")), ajenas);
    // Con esta semilla se pierden factores con evaluaciones y medidas colgando: sin padres
    // provisionales se irían también y no se llegaría a esto.
    EXPECT_GE(parte, 0.995) << DescribirSalvamento(r).toStdString();
    EXPECT_EQ(ajenas, 0);
}

TEST_F(SalvamentoPaginas, PrimeraPaginaRotaSeRehaceYNoSePierdeNada)
{
    generar();
    // Un plazo cambiado por el usuario, en una tabla que la base nueva ya trae rellena.
    BaseSqlite(base).ejecutar("UPDATE PlazosNiveles SET Meses = 4 WHERE Nivel = 'Riesgo Moderado'");
    todas = intactas = leerTodo(base);
    const QString intacta = p.ruta("Intacta.mdb");
    ASSERT_TRUE(QFile::copy(base, intacta));
    // La cabecera a ceros; luego toda la primera página (cabecera y raíz del esquema).
    for (const int rotos : {100, 4096}) {
        QFile::remove(base);
        ASSERT_TRUE(QFile::copy(intacta, base));
        QFile f(base);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.write(QByteArray(rotos, '\x5a').replace(0, 100, QByteArray(100, '\0')));
        f.close();
        const QString salvada = p.ruta(QStringLiteral("Salvada%1.mdb").arg(rotos));
        const ResultadoSalvamento r = SalvarFilas(base, salvada, p.ruta(NombreCatalogoEntregado));
        EXPECT_EQ(leerTodo(salvada), todas) << rotos;
        EXPECT_EQ(BaseSqlite(salvada, SQLITE_OPEN_READONLY).numeros("SELECT Meses FROM PlazosNiveles ORDER BY Orden"),
                  (std::vector<qint64>{0, 1, 4}))
            << rotos;
        if (rotos == 100) { // SQLite vuelve a leerlo todo: las pérdidas se cuentan
            EXPECT_TRUE(r.perdidasExactas);
            EXPECT_EQ(r.perdidas, 0);
        }
    }
}

TEST_F(SalvamentoPaginas, BytesCambiadosAlAzarNoLoTumban)
{
    generar();
    const QString intacta = p.ruta("Intacta.mdb");
    ASSERT_TRUE(QFile::copy(base, intacta));
    QFile f(intacta);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray buena = f.readAll();
    quint32 semilla = 777;
    for (int vuelta = 0; vuelta < 12; ++vuelta) {
        QByteArray mala = buena;
        // La primera vez, sólo un número de páginas absurdo en una cabecera que parece válida.
        if (vuelta == 0)
            mala.replace(28, 4, "\xff\xff\xff\xff").replace(92, 4, mala.mid(24, 4));
        for (int i = 0; vuelta > 0 && i < mala.size() / (vuelta % 2 ? 40 : 400); ++i) {
            semilla = semilla * 1103515245u + 12345u;
            mala[int((semilla >> 4) % quint32(mala.size()))] = char(semilla >> 24);
        }
        QFile::remove(base);
        escribirArchivo(base, mala);
        const QString salvada = p.ruta(QStringLiteral("Salvada%1.mdb").arg(vuelta));
        SalvarFilas(base, salvada, p.ruta(NombreCatalogoEntregado));
        EXPECT_EQ(numeroDe(salvada, "SELECT count(*) FROM pragma_integrity_check WHERE integrity_check <> 'ok'"), 0);
        EXPECT_EQ(numeroDe(salvada, "SELECT count(*) FROM pragma_foreign_key_check"), 0);
    }
}

TEST_F(SalvamentoPaginas, ArchivoVacioDaElCatalogoYNoDiceCeroPerdidas)
{
    escribirArchivo(base, {});
    const ResultadoCompactacion r = CompactarBaseDatos(p.carpeta(), ConfiguracionRegionalDestino);
    ASSERT_EQ(r.estado, Estado::Salvada) << r.mensaje.toStdString();
    const Filas rehechas = leerTodo(base);
    const Filas entregadas = leerTodo(p.ruta(NombreCatalogoEntregado));
    for (const char* t : tablasCatalogo)
        EXPECT_EQ(rehechas.at(t), entregadas.at(t)) << t;
    EXPECT_FALSE(r.perdidasExactas);
    EXPECT_FALSE(r.mensaje.contains("se han perdido 0")) << r.mensaje.toStdString();
    EXPECT_TRUE(r.mensaje.contains("no se sabe cuántas se han perdido")) << r.mensaje.toStdString();
    EXPECT_TRUE(r.mensaje.contains(QStringLiteral("FactoresRiesgos: 0 salvadas, no se sabe cuántas perdidas, %1 "
                                                  "repuestas del catálogo entregado")
                                       .arg(entregadas.at("FactoresRiesgos").size())))
        << r.mensaje.toStdString();
}
