// El catálogo entregado: las fuentes CSV y lo que llega a la base de datos.
#include "CargaCatalogo.h"
#include "CopiaPrograma.h"
#include "Datos.h"
#include "LectorCsv.h"
#include "postgres/BaseConCatalogo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using datos::contar;

namespace {
const QString fuentes = QStringLiteral(FUENTES_PROYECTO "/data/catalogo");

void escribir(const QString& ruta, const QByteArray& texto)
{
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(texto);
}

// Añade una fila y devuelve su número ("INSERT ... RETURNING", igual en los dos motores).
long long anadir(const QString& cx, const QString& sql, const QVariantList& valores = {})
{
    const std::vector<QVariantList> filas = Conexion::obtener(cx)->leerFilas(sql, valores);
    return filas.empty() ? 0 : filas.front().value(0).toLongLong();
}

// Carga un catálogo mínimo con un archivo cambiado y devuelve el mensaje del fallo.
std::string falloCon(const QString& archivo, const QByteArray& contenido)
{
    QTemporaryDir dir;
    escribir(dir.filePath("riesgos.csv"), "IDRiesgo,Riesgo\n010,Caída de personas a distinto nivel\n");
    escribir(dir.filePath("puestos.csv"), "Puesto,Descripción\nDependiente,\"Atiende, cobra y repone\"\n");
    escribir(dir.filePath("factores.csv"), "IDFactor,Factor\n1,Escaleras de mano\n");
    escribir(dir.filePath("riesgos_factores.csv"), "IDFactor,IDRiesgo\n1,10\n");
    escribir(dir.filePath("medidas.csv"), "IDFactor,IDRiesgo,Medida\n1,10,Usar escaleras con marcado EN 131\n"
                                          "1,10,\"Revisar peldaños, zapatas y \"\"tijera\"\" antes de usarla\"\n");
    escribir(dir.filePath("actuaciones.csv"), "Actuacion\nFormar a los trabajadores\n");
    escribir(dir.filePath("habituales.csv"), "Puesto,IDFactor\nDependiente,1\n");
    escribir(dir.filePath("revision.csv"), "Revision\n4\n");
    if (!archivo.isEmpty())
        escribir(dir.filePath(archivo), contenido);
    auto c = Conexion::crear(dir.filePath("prueba.mdb"));
    try {
        cargarCatalogo(*c, dir.path());
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}
} // namespace

TEST(CargaCatalogo, UnaFilaMalFormadaParaLaConstruccionNombrandoArchivoYLinea)
{
    EXPECT_EQ(falloCon({}, {}), "");
    EXPECT_EQ(falloCon("factores.csv", "IDFactor,Factor\n1,Escaleras de mano\n2,\"Sin cerrar\n"),
              "factores.csv:3: comillas sin cerrar");
    EXPECT_EQ(falloCon("factores.csv", "IDFactor,Factor\n1,Escaleras de mano\n2, Suelo mojado\n"),
              "factores.csv:3: el campo «Factor» tiene espacios al principio o al final");
    EXPECT_EQ(falloCon("factores.csv", "IDFactor,Factor\n1,Escaleras de mano\n1,Otro\n"),
              "factores.csv:3: el identificador 1 está repetido");
    EXPECT_EQ(falloCon("factores.csv", "IDFactor,Factor\n1,Escaleras de mano\n2,Escaleras de mano\n"),
              "factores.csv:3: «Escaleras de mano» está repetido");
    EXPECT_EQ(falloCon("factores.csv", "IDFactor,Factor\n1,Escaleras de mano\n2,Huérfano\n"),
              "factores.csv:3: el factor no da lugar a ningún riesgo en riesgos_factores.csv");
    EXPECT_EQ(falloCon("riesgos_factores.csv", "IDFactor,IDRiesgo\n1,10\n1,99\n"),
              "riesgos_factores.csv:3: el riesgo 99 no está en riesgos.csv");
    EXPECT_EQ(falloCon("medidas.csv", "IDFactor,IDRiesgo,Medida\n1,10,Una sola medida\n"),
              "riesgos_factores.csv:2: el enlace tiene 1 medidas en medidas.csv y necesita al menos dos");
    EXPECT_EQ(falloCon("medidas.csv", "IDFactor,IDRiesgo,Medida\n1,10,Una\n1,10,Dos\n2,10,Tres\n"),
              "medidas.csv:4: el enlace 2-10 no está en riesgos_factores.csv");
    EXPECT_EQ(falloCon("actuaciones.csv", "Accion\nFormar\n"), "actuaciones.csv:1: la cabecera debe ser «Actuacion»");
    EXPECT_EQ(falloCon("puestos.csv", "Puesto,Descripción\nCajero\n"), "puestos.csv:2: tiene 1 campos y deben ser 2");
    EXPECT_EQ(falloCon("puestos.csv", "Puesto,Descripción\n\nCajero,Cobra\n"), "puestos.csv:2: línea vacía");
    EXPECT_EQ(falloCon("habituales.csv", "Puesto,IDFactor\nDependiente,1\nCajero,1\n"),
              "habituales.csv:3: el puesto «Cajero» no está en puestos.csv");
    EXPECT_EQ(falloCon("habituales.csv", "Puesto,IDFactor\nDependiente,7\n"),
              "habituales.csv:2: el factor 7 no está en factores.csv");
    EXPECT_EQ(falloCon("habituales.csv", "Puesto,IDFactor\nDependiente,1\nDependiente,1\n"),
              "habituales.csv:3: el factor 1 está repetido en el puesto");
    EXPECT_EQ(falloCon("puestos.csv", "Puesto,Descripción\nDependiente,Vende\nCajero,Cobra\n"),
              "puestos.csv:3: el puesto no tiene factores habituales en habituales.csv");
    EXPECT_EQ(falloCon("revision.csv", "Revision\n4\n5\n"),
              "revision.csv:3: debe tener una sola fila con la revisión del catálogo");
}

// El catálogo entregado llega igual a un archivo nuevo y a una base nueva del servidor.
class CatalogoEntregado : public ::testing::TestWithParam<bool>
{
protected:
    BaseConCatalogo base{GetParam()};
    const QString cx = base.texto();
};

TEST_P(CatalogoEntregado, LasFuentesLleganEnterasYSinTocar)
{
    const TablaCsv riesgos = leerCsv(fuentes + "/riesgos.csv", {"IDRiesgo", "Riesgo"});
    const TablaCsv puestos = leerCsv(fuentes + "/puestos.csv", {"Puesto", "Descripción"});
    const TablaCsv factores = leerCsv(fuentes + "/factores.csv", {"IDFactor", "Factor"});
    const TablaCsv enlaces = leerCsv(fuentes + "/riesgos_factores.csv", {"IDFactor", "IDRiesgo"});
    const TablaCsv medidas = leerCsv(fuentes + "/medidas.csv", {"IDFactor", "IDRiesgo", "Medida"});
    const TablaCsv actuaciones = leerCsv(fuentes + "/actuaciones.csv", {"Actuacion"});
    EXPECT_EQ(contar(cx, "select count(*) from Riesgos"), qsizetype(riesgos.filas.size()));
    EXPECT_EQ(contar(cx, "select count(*) from Puestos"), qsizetype(puestos.filas.size()));
    EXPECT_EQ(contar(cx, "select count(*) from FactoresRiesgos"), qsizetype(factores.filas.size()));
    EXPECT_EQ(contar(cx, "select count(*) from RiesgosFactores"), qsizetype(enlaces.filas.size()));
    EXPECT_EQ(contar(cx, "select count(*) from Medidas"), qsizetype(medidas.filas.size()));
    EXPECT_EQ(contar(cx, "select count(*) from Actuaciones"), qsizetype(actuaciones.filas.size()));
    const TablaCsv habituales = leerCsv(fuentes + "/habituales.csv", {"Puesto", "IDFactor"});
    for (const FilaCsv& f : habituales.filas)
        EXPECT_EQ(contar(cx,
                         "select count(*) from FactoresHabituales h join Puestos p using (IDPuesto) "
                         "where p.Puesto = ? and h.IDFactor = ?",
                         {f.campos[0], f.campos[1].toInt()}),
                  1)
            << f.campos[0].toStdString() << " " << f.campos[1].toStdString();
    EXPECT_EQ(contar(cx, "select count(*) from FactoresHabituales"), qsizetype(habituales.filas.size()));
    EXPECT_EQ(contar(cx, "select Revision from RevisionCatalogo"),
              leerCsv(fuentes + "/revision.csv", {"Revision"}).filas.front().campos[0].toInt());

    // Los textos, con sus tildes y eñes, salen igual que entraron.
    for (const FilaCsv& f : factores.filas)
        EXPECT_EQ(contar(cx, "select count(*) from FactoresRiesgos where IDFactor = ? and Factor = ?",
                         {f.campos[0].toInt(), f.campos[1]}),
                  1)
            << f.campos[1].toStdString();
    for (const FilaCsv& f : puestos.filas)
        EXPECT_EQ(contar(cx, "select count(*) from Puestos where Puesto = ? and \"Descripción\" = ?",
                         {f.campos[0], f.campos[1]}),
                  1);
    EXPECT_GT(contar(cx, "select count(*) from Medidas where Medida like '%ó%' or Medida like '%ñ%'"), 0);
}

TEST_P(CatalogoEntregado, CumpleLoQueNecesitaLaEvaluacion)
{
    // Un factor sin riesgos nunca dejaría pasar la comprobación de riesgos de su puesto.
    EXPECT_EQ(contar(cx, "select count(*) from FactoresRiesgos where IDFactor not in "
                         "(select IDFactor from RiesgosFactores)"),
              0);
    EXPECT_EQ(contar(cx, "select count(*) from (select IDFactor, IDRiesgo from RiesgosFactores r where "
                         "(select count(*) from Medidas m where m.IDFactor = r.IDFactor and m.IDRiesgo = r.IDRiesgo) "
                         "< 2) t"),
              0);
    EXPECT_EQ(contar(cx, "select count(*) from Medidas m where not exists (select 1 from RiesgosFactores r "
                         "where r.IDFactor = m.IDFactor and r.IDRiesgo = m.IDRiesgo)"),
              0);
    // Riesgos a los que se llega desde varios factores: ahí se ven las filas ocultas.
    EXPECT_GT(contar(cx, "select count(*) from (select IDRiesgo from RiesgosFactores group by IDRiesgo "
                         "having count(*) > 1) t"),
              5);
    const std::pair<const char*, const char*> textos[] = {{"Riesgos", "Riesgo"},          {"Puestos", "Puesto"},
                                                          {"Puestos", "\"Descripción\""}, {"FactoresRiesgos", "Factor"},
                                                          {"Medidas", "Medida"},          {"Actuaciones", "Actuacion"}};
    for (const auto& [tabla, columna] : textos) {
        const QString t = QString::fromUtf8(tabla), c = QString::fromUtf8(columna);
        EXPECT_EQ(contar(cx, QStringLiteral("select count(*) from %1 where %2 is null or trim(%2) = '' or "
                                            "trim(%2) <> %2")
                                 .arg(t, c)),
                  0)
            << tabla << "." << columna;
        const QString grupo = t == "Medidas" ? "IDFactor, IDRiesgo, Medida" : c;
        EXPECT_EQ(contar(cx, QStringLiteral("select count(*) from (select 1 from %1 group by %2 having count(*) > 1) t")
                                 .arg(t, grupo)),
                  0)
            << tabla << "." << columna;
    }
    EXPECT_GE(contar(cx, "select count(*) from Puestos"), 30);
    EXPECT_GE(contar(cx, "select count(*) from FactoresRiesgos"), 70);
    EXPECT_GE(contar(cx, "select count(*) from RiesgosFactores"), 150);
    EXPECT_GE(contar(cx, "select count(*) from Medidas"), 400);
    EXPECT_GE(contar(cx, "select count(*) from Actuaciones"), 80);
    EXPECT_EQ(contar(cx, "select count(*) from Riesgos where IDRiesgo = 10 and Riesgo = "
                         "'Caída de personas a distinto nivel'"),
              1);
}

TEST_P(CatalogoEntregado, UnaBaseNuevaTieneElCatalogoDeLaBaseEntregadaYSusNumerosSiguenLibres)
{
    CopiaPrograma entregada;
    const QString archivo = entregada.conexion();
    for (const char* tabla : {"Riesgos", "FactoresRiesgos", "Puestos", "RiesgosFactores", "Medidas",
                              "FactoresHabituales", "Actuaciones", "PlazosNiveles"}) {
        const QString cuenta = QStringLiteral("select count(*) from %1").arg(QString::fromUtf8(tabla));
        EXPECT_EQ(contar(cx, cuenta), contar(archivo, cuenta)) << tabla;
    }
    EXPECT_EQ(contar(cx, "select Revision from RevisionCatalogo"),
              contar(archivo, "select Revision from RevisionCatalogo"));
    EXPECT_EQ(contar(cx, "select count(*) from Medidas m join RiesgosFactores r on r.IDFactor = m.IDFactor and "
                         "r.IDRiesgo = m.IDRiesgo join Riesgos g on g.IDRiesgo = r.IDRiesgo"),
              contar(archivo, "select count(*) from Medidas"));

    // Lo que el usuario añade después toma números por encima de los del catálogo.
    const long long riesgo = anadir(cx, "INSERT INTO Riesgos (Riesgo) VALUES ('Riesgo propio') RETURNING IDRiesgo");
    EXPECT_GT(riesgo, contar(archivo, "select max(IDRiesgo) from Riesgos"));
    const long long factor =
        anadir(cx, "INSERT INTO FactoresRiesgos (Factor) VALUES ('Factor propio') RETURNING IDFactor");
    EXPECT_GT(factor, contar(archivo, "select max(IDFactor) from FactoresRiesgos"));
    anadir(cx, "INSERT INTO RiesgosFactores (IDFactor, IDRiesgo) VALUES (?, ?) RETURNING IDRiesgoFactor",
           {factor, riesgo});
    EXPECT_GT(anadir(cx, "INSERT INTO Medidas (IDRiesgo, IDFactor, Medida) VALUES (?, ?, 'Propia') RETURNING IDMedida",
                     {riesgo, factor}),
              contar(archivo, "select max(IDMedida) from Medidas"));
    EXPECT_GT(anadir(cx, "INSERT INTO Actuaciones (Actuacion) VALUES ('Propia') RETURNING IDActuaciones"),
              contar(archivo, "select max(IDActuaciones) from Actuaciones"));
    EXPECT_GT(anadir(cx, "INSERT INTO Puestos (Puesto) VALUES ('Propio') RETURNING IDPuesto"),
              contar(archivo, "select max(IDPuesto) from Puestos"));
}

INSTANTIATE_TEST_SUITE_P(Motores, CatalogoEntregado, ::testing::ValuesIn(motoresConCatalogo()), nombreMotor);
