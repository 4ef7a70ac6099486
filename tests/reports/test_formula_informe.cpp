// Fórmula de selección, importes escritos a mano y lectura de plantillas: lo que decide qué se lee
// de la base de datos y qué se suma.
#include "reports/FormulaSeleccion.h"
#include "reports/Importes.h"
#include "reports/PlantillaInforme.h"
#include "store/ErrorBD.h"

#include <gtest/gtest.h>

TEST(FormulaSeleccion, LasDosFormulasDelProgramaDanSusCondiciones)
{
    const auto evaluacion = AnalizarFormula("{CentroTrabajo.IDCentro}=12 and {Empresas.IDEmpresa}= 3");
    ASSERT_TRUE(evaluacion);
    ASSERT_EQ(evaluacion->size(), 2u);
    EXPECT_EQ((*evaluacion)[0].nombre(), "CentroTrabajo.IDCentro");
    EXPECT_EQ((*evaluacion)[0].valor, QVariant(qlonglong(12)));
    EXPECT_EQ((*evaluacion)[1].nombre(), "Empresas.IDEmpresa");
    EXPECT_EQ((*evaluacion)[1].valor, QVariant(qlonglong(3)));

    const auto plan = AnalizarFormula("{CentroTrabajo.IDCentro}=7");
    ASSERT_TRUE(plan);
    ASSERT_EQ(plan->size(), 1u);
    EXPECT_EQ((*plan)[0].valor.toLongLong(), 7);

    // Mayúsculas en "AND", textos entre comillas con la comilla doblada y una fórmula vacía.
    const auto texto = AnalizarFormula(" {Empresas.Nombre} = 'L''Hospitalet'  AND {CentroTrabajo.IDCentro}=1 ");
    ASSERT_TRUE(texto);
    EXPECT_EQ((*texto)[0].valor.toString(), "L'Hospitalet");
    ASSERT_TRUE(AnalizarFormula("   "));
    EXPECT_TRUE(AnalizarFormula("")->empty());
}

TEST(FormulaSeleccion, LoQueNoEsUnaCondicionEnlazableSeRechaza)
{
    for (const char* mala : {
             "{CentroTrabajo.IDCentro}=1 or 1=1",
             "{CentroTrabajo.IDCentro}=1; DELETE FROM Empresas",
             "{CentroTrabajo.IDCentro}=1 and",
             "{CentroTrabajo.IDCentro}=(SELECT 1)",
             "{CentroTrabajo.IDCentro}=1 --",
             "{CentroTrabajo.IDCentro}>1",
             "{CentroTrabajo.IDCentro}='sin cerrar",
             "{CentroTrabajo.IDCentro}=1 and {CentroTrabajo.IDCentro}=2",
             "{CentroTrabajo}=1",
             "{CentroTrabajo.IDCentro=1",
             "CentroTrabajo.IDCentro=1",
             "{Centro Trabajo.IDCentro}=1",
             "{CentroTrabajo.IDCentro}=1x",
             "{CentroTrabajo.IDCentro}=1 andalso {Empresas.IDEmpresa}=2",
         })
        EXPECT_FALSE(AnalizarFormula(mala)) << mala;
}

TEST(Importes, SeLeenLosImportesEscritosALaEspanolaYLosDemasNo)
{
    const std::pair<const char*, double> buenos[] = {
        {"1.234,56", 1234.56},
        {"1234,5", 1234.5},
        {"300", 300},
        {"1.500", 1500},
        {"12.5", 12.5},
        {" 250 € ", 250},
        {"99,90 euros", 99.9},
        {"1.234.567", 1234567},
        {"1234.56", 1234.56},
        {"1 234,56", 1234.56},
        {"1\u00a0234,56", 1234.56},
        {"234.567", 234567},
    };
    for (const auto& [texto, valor] : buenos) {
        const auto leido = LeerImporte(texto);
        ASSERT_TRUE(leido) << texto;
        EXPECT_DOUBLE_EQ(*leido, valor) << texto;
    }
    // Un presupuesto negativo no resta, y lo que admite dos lecturas no se suma con ninguna.
    for (const char* malo : {"", "a convenir", "500-600", "1,2,3", "12.34.5", "€", "1.23,4", "unos 300", "-20",
                             "1234.567", "1,234.56", "12 34,5", "1234,567"})
        EXPECT_FALSE(LeerImporte(malo)) << malo;

    EXPECT_EQ(FormatoImporte(1234567.891), "1.234.567,89");
    EXPECT_EQ(FormatoImporte(0), "0,00");
    EXPECT_EQ(FormatoImporte(-1500.5), "-1.500,50");
}

TEST(PlantillaInforme, LaPlantillaSeLeeConSusConsultasYSuMaquetacion)
{
    const auto p = PlantillaInforme::analizar("# comentario\n"
                                              "@titulo Título\n"
                                              "@cabecera {{titulo}} | derecha\n"
                                              "@consulta centro\n"
                                              "SELECT * FROM CentroTrabajo\n"
                                              "WHERE IDCentro = {CentroTrabajo.IDCentro}\n"
                                              "@consulta puestos en centro por IDCentro, IDEmpresa\n"
                                              "SELECT 1\n"
                                              "@html\n"
                                              "@no es directiva\n# tampoco comentario\n");
    EXPECT_EQ(p.titulo, "Título");
    ASSERT_EQ(p.consultas.size(), 2u);
    EXPECT_TRUE(p.consultas[0].sql.contains("{CentroTrabajo.IDCentro}"));
    EXPECT_EQ(p.consultas[1].padre, "centro");
    EXPECT_EQ(p.consultas[1].claves, QStringList({"IDCentro", "IDEmpresa"}));
    EXPECT_EQ(p.html, "@no es directiva\n# tampoco comentario\n");
}

TEST(PlantillaInforme, UnaPlantillaMalEscritaSeRechazaConSuLinea)
{
    for (const char* mala : {
             "@consulta hijos en padre por ID\nSELECT 1\n@html\n", // el padre no está antes
             "@desconocida\n@html\n",
             "@consulta centro\nSELECT 1\n", // sin maquetación
             "texto suelto\n@html\n",
             "@consulta vacia\n@html\n",
         }) {
        EXPECT_THROW(PlantillaInforme::analizar(mala), ErrorBD) << mala;
    }
    try {
        PlantillaInforme::leer("/no/existe/Evaluacion.rpt");
        FAIL();
    } catch (const ErrorBD& e) {
        EXPECT_EQ(e.numero(), NumeroError::ArchivoNoEncontrado);
    }
}
