#include "store/ActualizacionCatalogo.h"

#include "store/Conexion.h"
#include "store/Esquema.h"
#include "store/SentenciaPreparada.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace {
// Lo que se hace con cada tabla del catálogo. Los riesgos, factores y puestos sólo se añaden o se
// reescriben: las evaluaciones nombran sus riesgos y factores por el número y los puestos del
// usuario copian el nombre. Los enlaces, sus medidas y los factores habituales no los nombra nada
// del usuario (las medidas se copian al marcar el factor) y se toman enteros del catálogo nuevo,
// en su orden, que es el que sigue la generación.
const char* const pasos = R"SQL(
INSERT INTO main.Riesgos (IDRiesgo, Riesgo)
SELECT IDRiesgo, Riesgo FROM entregado.Riesgos
WHERE IDRiesgo NOT IN (SELECT IDRiesgo FROM main.Riesgos) ORDER BY IDRiesgo;
UPDATE main.Riesgos SET Riesgo = e.Riesgo FROM entregado.Riesgos e
WHERE e.IDRiesgo = Riesgos.IDRiesgo AND e.Riesgo IS NOT Riesgos.Riesgo;

CREATE TEMP TABLE FactoresNuevos AS
SELECT IDFactor, Factor FROM entregado.FactoresRiesgos
WHERE IDFactor NOT IN (SELECT IDFactor FROM main.FactoresRiesgos);
UPDATE main.FactoresRiesgos SET Factor = e.Factor FROM entregado.FactoresRiesgos e
WHERE e.IDFactor = FactoresRiesgos.IDFactor AND e.Factor IS NOT FactoresRiesgos.Factor;
INSERT INTO main.FactoresRiesgos (IDFactor, Factor) SELECT IDFactor, Factor FROM temp.FactoresNuevos ORDER BY IDFactor;
INSERT INTO main.FactoresSeleccionarEvaluacion (IDEmpresa, IDCentro, IDPuestoCentro, FactorSelecionado, IDFactor, Factor)
SELECT c.IDEmpresa, p.IDCentro, p.IDPuestoCentro, 'N', n.IDFactor, n.Factor
FROM main.PuestosCentros p
JOIN main.CentroTrabajo c ON c.IDCentro = p.IDCentro
CROSS JOIN temp.FactoresNuevos n
WHERE NOT EXISTS (SELECT 1 FROM main.FactoresSeleccionarEvaluacion s
                  WHERE s.IDPuestoCentro = p.IDPuestoCentro AND s.IDFactor = n.IDFactor)
ORDER BY p.IDPuestoCentro, n.IDFactor;
DROP TABLE temp.FactoresNuevos;

UPDATE main.Puestos SET "Descripción" = e."Descripción" FROM entregado.Puestos e
WHERE e.Puesto = Puestos.Puesto AND e."Descripción" IS NOT Puestos."Descripción";
INSERT INTO main.Puestos (Puesto, "Descripción")
SELECT Puesto, "Descripción" FROM entregado.Puestos
WHERE Puesto NOT IN (SELECT Puesto FROM main.Puestos) ORDER BY IDPuesto;

DELETE FROM main.Medidas;
DELETE FROM main.RiesgosFactores;
INSERT INTO main.RiesgosFactores (IDRiesgoFactor, IDFactor, IDRiesgo)
SELECT IDRiesgoFactor, IDFactor, IDRiesgo FROM entregado.RiesgosFactores ORDER BY IDRiesgoFactor;
INSERT INTO main.Medidas (IDMedida, IDRiesgo, IDFactor, Medida)
SELECT IDMedida, IDRiesgo, IDFactor, Medida FROM entregado.Medidas ORDER BY IDMedida;

DELETE FROM main.FactoresHabituales;
INSERT OR IGNORE INTO main.FactoresHabituales (IDPuesto, IDFactor)
SELECT (SELECT min(p.IDPuesto) FROM main.Puestos p WHERE p.Puesto = e.Puesto), h.IDFactor
FROM entregado.FactoresHabituales h
JOIN entregado.Puestos e ON e.IDPuesto = h.IDPuesto
ORDER BY h.IDPuesto, h.IDFactor;

-- Una actuación que el usuario ha corregido conserva su texto; la que ya se entregó no vuelve.
INSERT INTO main.Actuaciones (Actuacion, Entregada)
SELECT e.Actuacion, e.Actuacion FROM entregado.Actuaciones e
WHERE NOT EXISTS (SELECT 1 FROM main.Actuaciones a WHERE a.Entregada = e.Actuacion OR a.Actuacion = e.Actuacion)
ORDER BY e.IDActuaciones;

UPDATE main.RevisionCatalogo SET Revision = (SELECT max(Revision) FROM entregado.RevisionCatalogo);
)SQL";

void quitarEntregado(Conexion& c)
{
    sqlite3_exec(c.sqlite(), "DETACH DATABASE entregado", nullptr, nullptr, nullptr);
}

const char* const consultaRevision = "SELECT max(Revision) FROM RevisionCatalogo";

// Revisión del catálogo con una sentencia suelta, que no se queda en la reserva de ninguna
// conexión. Deja en rc el código de SQLite.
int leerRevision(sqlite3* bd, int& rc)
{
    const SentenciaPreparada st = SentenciaPreparada::suelta(bd, consultaRevision, rc);
    if (rc != SQLITE_OK)
        return 0;
    rc = sqlite3_step(st.get());
    const int revision = rc == SQLITE_ROW ? sqlite3_column_int(st.get(), 0) : 0;
    if (rc == SQLITE_ROW || rc == SQLITE_DONE)
        rc = SQLITE_OK;
    return revision;
}
} // namespace

int revisionCatalogo(Conexion& c)
{
    // Se lee mientras se abre la conexión: una sentencia de su reserva no se finaliza si la apertura
    // falla después, y SQLite dejaría la conexión sin cerrar, con todo su caché. En el servidor (o
    // cerrada, que da el error de siempre) se lee por la conexión.
    if (!c.sqlite()) {
        const std::vector<QVariantList> filas = c.leerFilas(QString::fromUtf8(consultaRevision));
        return filas.empty() ? 0 : filas.front().value(0).toInt();
    }
    int rc = SQLITE_OK;
    const int revision = leerRevision(c.sqlite(), rc);
    if (rc != SQLITE_OK)
        c.lanzar(rc, QString::fromUtf8(consultaRevision));
    return revision;
}

int revisionCatalogoDe(const QString& archivo)
{
    if (!QFileInfo(archivo).isFile())
        return 0;
    sqlite3* bd = nullptr;
    int revision = 0;
    const QByteArray nombre = QFile::encodeName(QDir::toNativeSeparators(archivo));
    if (sqlite3_open_v2(nombre.constData(), &bd, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        int rc = SQLITE_OK;
        {
            const SentenciaPreparada esquema = SentenciaPreparada::suelta(bd, "PRAGMA user_version", rc);
            if (rc == SQLITE_OK && sqlite3_step(esquema.get()) == SQLITE_ROW &&
                sqlite3_column_int(esquema.get(), 0) != RevisionEsquema)
                rc = SQLITE_MISMATCH;
        }
        if (rc == SQLITE_OK)
            revision = leerRevision(bd, rc);
    }
    sqlite3_close_v2(bd);
    return revision;
}

void actualizarCatalogo(Conexion& c, const QString& archivo)
{
    int rc = SQLITE_OK;
    {
        const SentenciaPreparada st = SentenciaPreparada::suelta(c.sqlite(), "ATTACH DATABASE ? AS entregado", rc);
        const QByteArray nombre = QDir::toNativeSeparators(archivo).toUtf8();
        if (rc == SQLITE_OK)
            rc = sqlite3_bind_text(st.get(), 1, nombre.constData(), int(nombre.size()), SQLITE_TRANSIENT);
        if (rc == SQLITE_OK && (rc = sqlite3_step(st.get())) == SQLITE_DONE)
            rc = SQLITE_OK;
    }
    if (rc != SQLITE_OK)
        c.lanzar(rc, QStringLiteral("ATTACH DATABASE '%1' AS entregado").arg(archivo));
    try {
        Transaccion t(c);
        // Con las claves ajenas activas, un paso que dejara una fila sin su origen falla y se deshace todo.
        c.ejecutar(QString::fromUtf8(pasos));
        t.confirmar();
    } catch (...) {
        quitarEntregado(c);
        throw;
    }
    quitarEntregado(c);
}
