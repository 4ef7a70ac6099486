// Las consultas del resumen de centros en los dos motores: con los mismos datos en un archivo y en el
// servidor, cada una da en el servidor lo esperado y lo mismo que en el archivo.
#include "BaseServidorPrueba.h"
#include "store/Conexion.h"
#include "store/EstadoCentros.h"
#include "store/postgres/EsquemaServidor.h"

#include <QDate>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace {
// Los mismos datos en los dos motores: un centro con dos puestos a medio evaluar y otro sin puestos,
// con un plan de líneas vencidas, hechas, por venir y sin fecha.
const char* const datos = R"SQL(
INSERT INTO Empresas (IDEmpresa, Nombre) VALUES (1, 'Uno');
INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, Direccion, FechaRevision)
    VALUES (1, 1, 'C1', '2026-01-10'), (2, 1, 'C2', '2027-05-01');
INSERT INTO PuestosCentros (IDPuestoCentro, IDCentro, Puesto) VALUES (1, 1, 'A'), (2, 1, 'B');
INSERT INTO FactoresSeleccionarEvaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro, Factor,
                                           FactorSelecionado)
    VALUES (1, 1, 1, 1, 'F', 'S');
INSERT INTO Evaluacion (IDEvaluacion, IDEvaluacionCrear, IDPuestoCentro, Mostrar) VALUES (1, 1, 1, 'S');
INSERT INTO "ActuaciónPreventiva" (IDActuacion, IDCentro) VALUES (1, 2);
INSERT INTO "ActuaciónPreventivaRegistro" (IDActuacionRegistro, IDActuacion, AccionPreventiva, FechaLimite,
                                           PresupuestoAproximado, Estado)
    VALUES (1, 1, 'Vencida', '2026-01-05', '100', 'Pendiente'), (2, 1, 'Hecha', '2026-01-01', '50', 'Realizada'),
           (3, 1, 'Por venir', '2026-06-01', '100', NULL), (4, 1, 'Sin fecha', NULL, ' ', 'En curso');
)SQL";

const QString hoy = QStringLiteral("2026-02-01");

// Los "?" del programa como los numera libpq.
QString numerados(const QByteArray& sql)
{
    QString texto = QString::fromUtf8(sql), salida;
    int n = 0;
    for (const QChar ch : texto)
        salida += ch == '?' ? QStringLiteral("$%1").arg(++n) : QString(ch);
    return salida;
}

using Filas = std::vector<QStringList>;

Filas enServidor(PGconn* c, ConsultaEstado consulta, const QStringList& valores)
{
    return filasPg(c, numerados(TextoConsultaEstado(consulta, false)), valores);
}

Filas enArchivo(Conexion& c, ConsultaEstado consulta, const QVariantList& valores)
{
    Filas filas;
    for (const QVariantList& f : c.leerFilas(QString::fromUtf8(TextoConsultaEstado(consulta, true)), valores)) {
        QStringList fila;
        for (const QVariant& v : f)
            fila << v.toString();
        filas.push_back(fila);
    }
    return filas;
}
} // namespace

TEST(DialectoServidor, ElResumenDeCentrosDaLoMismoEnElServidorQueEnElArchivo)
{
    BaseServidorPrueba base;
    ConexionPg pg = base.conectar();
    const ResultadoEsquema r = prepararEsquemaServidor(pg.get());
    ASSERT_FALSE(r.error.has_value()) << qPrintable(r.error->descripcion());
    ejecutarPg(pg.get(), QString::fromUtf8(datos));

    QTemporaryDir carpeta;
    const std::shared_ptr<Conexion> archivo = Conexion::crear(carpeta.filePath(QStringLiteral("Evaluacion.mdb")));
    archivo->ejecutar(QString::fromUtf8(datos));

    struct Caso
    {
        ConsultaEstado consulta;
        int valores;
        Filas esperadas;
    };
    const Caso casos[] = {
        // Dos puestos: uno sin factores, los dos sin valorar, un factor sin medidas.
        {ConsultaEstado::Comprobaciones, 0, {{"1", "2", "1", "2", "1"}}},
        // Por hacer las que no están realizadas ni verificadas (también la que no tiene fecha), vencida
        // sólo la que tiene la fecha límite antes de hoy.
        {ConsultaEstado::CentrosYLineas,
         1,
         {{"1", "1", "Uno", "C1", "", "2026-01-10", "0", "0", "0"},
          {"2", "1", "Uno", "C2", "", "2027-05-01", "3", "1", "1"}}},
        // El mismo importe de dos líneas sin hacer, una vez; el presupuesto en blanco no cuenta.
        {ConsultaEstado::Presupuestos, 0, {{"2", "100", "2"}}},
        {ConsultaEstado::Vencimientos, 2, {{"1", "1"}}},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(int(c.consulta));
        QStringList textos;
        QVariantList fechas;
        for (int i = 0; i < c.valores; ++i) {
            textos << hoy;
            fechas << QDate::fromString(hoy, Qt::ISODate);
        }
        EXPECT_EQ(enServidor(pg.get(), c.consulta, textos), c.esperadas);
        EXPECT_EQ(enArchivo(*archivo, c.consulta, fechas), c.esperadas);
    }
}
