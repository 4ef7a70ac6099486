#include "RevisionBase.h"

#include <sqlite3.h>

#include <QByteArray>

namespace {
// Cada consulta cuenta filas que no deberían existir; el nombre dice qué se ha roto.
struct Huerfanas
{
    const char* que;
    const char* sql;
};

const Huerfanas consultas[] = {
    {"centros sin empresa", "SELECT count(*) FROM CentroTrabajo c WHERE NOT EXISTS (SELECT 1 FROM Empresas e WHERE "
                            "e.IDEmpresa = c.IDEmpresa)"},
    {"puestos sin centro", "SELECT count(*) FROM PuestosCentros p WHERE NOT EXISTS "
                           "(SELECT 1 FROM CentroTrabajo c WHERE c.IDCentro = p.IDCentro)"},
    // Las filas de factores llevan copiados el centro y la empresa: si no coinciden con los del
    // puesto, las ventanas que filtran por centro y empresa ya no las ven.
    {"factores sin su puesto, o con otro centro u otra empresa",
     "SELECT count(*) FROM FactoresSeleccionarEvaluacion f WHERE NOT EXISTS "
     "(SELECT 1 FROM PuestosCentros p JOIN CentroTrabajo c ON c.IDCentro = p.IDCentro "
     "WHERE p.IDPuestoCentro = f.IDPuestoCentro AND c.IDCentro IS f.IDCentro AND c.IDEmpresa IS f.IDEmpresa)"},
    {"evaluaciones sin su fila de factor, o con otro puesto, centro, empresa o factor",
     "SELECT count(*) FROM Evaluacion v WHERE NOT EXISTS (SELECT 1 FROM FactoresSeleccionarEvaluacion f "
     "WHERE f.IDEvaluacionCrear = v.IDEvaluacionCrear AND f.IDPuestoCentro IS v.IDPuestoCentro "
     "AND f.IDCentro IS v.IDCentro AND f.IDEmpresa IS v.IDEmpresa AND f.IDFactor IS v.IDFactor)"},
    // Quitar la marca de un factor se lleva sus riesgos: los que quedan son restos de un fallo a medias.
    {"evaluaciones de un factor sin marcar",
     "SELECT count(*) FROM Evaluacion v JOIN FactoresSeleccionarEvaluacion f "
     "ON f.IDEvaluacionCrear = v.IDEvaluacionCrear WHERE f.FactorSelecionado IS NOT 'S'"},
    {"medidas sin evaluación", "SELECT count(*) FROM MedidasFactores m WHERE NOT EXISTS "
                               "(SELECT 1 FROM Evaluacion v WHERE v.IDEvaluacion = m.IDEvaluacion)"},
    {"planes sin centro", "SELECT count(*) FROM \"ActuaciónPreventiva\" a WHERE NOT EXISTS "
                          "(SELECT 1 FROM CentroTrabajo c WHERE c.IDCentro = a.IDCentro)"},
    {"versiones de evaluación sin centro", "SELECT count(*) FROM VersionesEvaluacion v WHERE NOT EXISTS "
                                           "(SELECT 1 FROM CentroTrabajo c WHERE c.IDCentro = v.IDCentro)"},
    {"revaloraciones sin su riesgo", "SELECT count(*) FROM RevaloracionesRiesgo v WHERE NOT EXISTS "
                                     "(SELECT 1 FROM Evaluacion e WHERE e.IDEvaluacion = v.IDEvaluacion)"},
    {"líneas de plan sin plan", "SELECT count(*) FROM \"ActuaciónPreventivaRegistro\" r WHERE NOT EXISTS "
                                "(SELECT 1 FROM \"ActuaciónPreventiva\" a WHERE a.IDActuacion = r.IDActuacion)"},
};

// Filas de la primera columna de una consulta, como texto. Un fallo se apunta en problemas.
QStringList leer(sqlite3* bd, const char* sql, QStringList& problemas)
{
    QStringList filas;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(bd, sql, -1, &s, nullptr) != SQLITE_OK) {
        problemas << QStringLiteral("no se puede preparar «%1»: %2")
                         .arg(QString::fromUtf8(sql), QString::fromUtf8(sqlite3_errmsg(bd)));
        return filas;
    }
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW)
        filas << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    if (rc != SQLITE_DONE)
        problemas << QStringLiteral("fallo al leer «%1»: %2")
                         .arg(QString::fromUtf8(sql), QString::fromUtf8(sqlite3_errmsg(bd)));
    sqlite3_finalize(s);
    return filas;
}
} // namespace

QStringList RevisarBase(const QString& archivo)
{
    QStringList problemas;
    sqlite3* bd = nullptr;
    if (sqlite3_open_v2(archivo.toUtf8().constData(), &bd, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        problemas << QStringLiteral("no se puede abrir %1: %2").arg(archivo, QString::fromUtf8(sqlite3_errmsg(bd)));
        sqlite3_close(bd);
        return problemas;
    }
    const QStringList integridad = leer(bd, "PRAGMA integrity_check", problemas);
    if (integridad != QStringList{QStringLiteral("ok")})
        problemas << QStringLiteral("integrity_check: ") + integridad.join(QStringLiteral("; "));
    const QStringList claves = leer(bd, "PRAGMA foreign_key_check", problemas);
    if (!claves.isEmpty())
        problemas << QStringLiteral("foreign_key_check: %1 filas en %2").arg(claves.size()).arg(claves.join(", "));
    for (const Huerfanas& h : consultas) {
        const QStringList n = leer(bd, h.sql, problemas);
        if (!n.isEmpty() && n.first() != QStringLiteral("0"))
            problemas << QStringLiteral("%1: %2").arg(QString::fromUtf8(h.que), n.first());
    }
    sqlite3_close(bd);
    return problemas;
}
