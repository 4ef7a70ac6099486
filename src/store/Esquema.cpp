#include "Esquema.h"

#include "Conexion.h"
#include "ErrorBD.h"

#include <QDir>
#include <QFile>
#include <QObject>
#include <sqlite3.h>

namespace
{
// Revisión 1: tablas del usuario, catálogos y vistas.
// Las claves son INTEGER PRIMARY KEY (el almacén las asigna y se leen en orden ascendente).
// Las claves ajenas borran en cascada: una empresa se lleva sus centros y todo lo que cuelga de
// ellos, un centro sus puestos, factores, evaluaciones, medidas y planes, y así hacia abajo.
// Nunca queda una fila huérfana.
const char* const revision1 = R"SQL(
CREATE TABLE Empresas (
    IDEmpresa INTEGER PRIMARY KEY,
    Nombre TEXT,
    CIF TEXT,
    Direccion TEXT,
    Poblacion TEXT,
    CodPostal TEXT,
    Provincia TEXT,
    Persona TEXT,
    Cargo TEXT,
    Formacion TEXT,
    TotalTrabajadores INTEGER DEFAULT 0
);

CREATE TABLE CentroTrabajo (
    IDCentro INTEGER PRIMARY KEY,
    IDEmpresa INTEGER NOT NULL REFERENCES Empresas (IDEmpresa) ON DELETE CASCADE,
    NombreCentro TEXT,
    Direccion TEXT,
    Poblacion TEXT,
    CodPostal TEXT,
    Provincia TEXT
);
CREATE INDEX CentroTrabajoEmpresa ON CentroTrabajo (IDEmpresa);

CREATE TABLE PuestosCentros (
    IDPuestoCentro INTEGER PRIMARY KEY,
    IDCentro INTEGER NOT NULL REFERENCES CentroTrabajo (IDCentro) ON DELETE CASCADE,
    Puesto TEXT,
    Descripcion TEXT,
    NTrabajadores TEXT,
    TrabajadoresSensibles TEXT,
    Fecha DATETIME
);
CREATE INDEX PuestosCentrosCentro ON PuestosCentros (IDCentro);

CREATE TABLE FactoresSeleccionarEvaluacion (
    IDEvaluacionCrear INTEGER PRIMARY KEY,
    IDEmpresa INTEGER,
    IDCentro INTEGER,
    IDPuestoCentro INTEGER NOT NULL REFERENCES PuestosCentros (IDPuestoCentro) ON DELETE CASCADE,
    IDFactor INTEGER,
    Factor TEXT,
    FactorSelecionado TEXT DEFAULT 'N'
);
CREATE INDEX FactoresPuesto ON FactoresSeleccionarEvaluacion (IDPuestoCentro, FactorSelecionado);
CREATE INDEX FactoresCentro ON FactoresSeleccionarEvaluacion (IDCentro, IDEmpresa);

CREATE TABLE Evaluacion (
    IDEvaluacion INTEGER PRIMARY KEY,
    IDEvaluacionCrear INTEGER NOT NULL
        REFERENCES FactoresSeleccionarEvaluacion (IDEvaluacionCrear) ON DELETE CASCADE,
    IDEmpresa INTEGER,
    IDCentro INTEGER,
    IDPuestoCentro INTEGER NOT NULL REFERENCES PuestosCentros (IDPuestoCentro) ON DELETE CASCADE,
    IDFactor INTEGER,
    IDRiesgo INTEGER,
    Mostrar TEXT,
    Probabilidad TEXT,
    Consecuencias TEXT,
    ValorRiesgo TEXT
);
CREATE INDEX EvaluacionFactor ON Evaluacion (IDEvaluacionCrear);
CREATE INDEX EvaluacionPuestoRiesgo ON Evaluacion (IDPuestoCentro, IDRiesgo, Mostrar);
CREATE INDEX EvaluacionCentro ON Evaluacion (IDCentro, IDPuestoCentro, Mostrar);

CREATE TABLE MedidasFactores (
    IDMedidaFactor INTEGER PRIMARY KEY,
    IDEvaluacion INTEGER NOT NULL REFERENCES Evaluacion (IDEvaluacion) ON DELETE CASCADE,
    Medida TEXT,
    MarcarMedida TEXT
);
CREATE INDEX MedidasEvaluacion ON MedidasFactores (IDEvaluacion, MarcarMedida);

CREATE TABLE "ActuaciónPreventiva" (
    IDActuacion INTEGER PRIMARY KEY,
    IDCentro INTEGER NOT NULL REFERENCES CentroTrabajo (IDCentro) ON DELETE CASCADE,
    Persona TEXT,
    Cargo TEXT,
    Fecha DATE
);
CREATE INDEX ActuacionCentro ON "ActuaciónPreventiva" (IDCentro);

CREATE TABLE "ActuaciónPreventivaRegistro" (
    IDActuacionRegistro INTEGER PRIMARY KEY,
    IDActuacion INTEGER NOT NULL REFERENCES "ActuaciónPreventiva" (IDActuacion) ON DELETE CASCADE,
    AccionPreventiva TEXT,
    FechaLimite DATE,
    ResponsableEjecucion TEXT,
    PresupuestoAproximado TEXT
);
CREATE INDEX ActuacionRegistroPlan ON "ActuaciónPreventivaRegistro" (IDActuacion);

-- Catálogos: llegan dentro de la base de datos entregada; el programa sólo los lee, salvo el
-- texto de Actuaciones, que el selector de acciones deja corregir.
CREATE TABLE Riesgos (
    IDRiesgo INTEGER PRIMARY KEY,
    Riesgo TEXT NOT NULL
);

CREATE TABLE Puestos (
    IDPuesto INTEGER PRIMARY KEY,
    Puesto TEXT NOT NULL,
    "Descripción" TEXT
);

CREATE TABLE FactoresRiesgos (
    IDFactor INTEGER PRIMARY KEY,
    Factor TEXT NOT NULL UNIQUE
);

CREATE TABLE RiesgosFactores (
    IDRiesgoFactor INTEGER PRIMARY KEY,
    IDFactor INTEGER NOT NULL REFERENCES FactoresRiesgos (IDFactor),
    IDRiesgo INTEGER NOT NULL REFERENCES Riesgos (IDRiesgo),
    UNIQUE (IDFactor, IDRiesgo)
);

CREATE TABLE Medidas (
    IDMedida INTEGER PRIMARY KEY,
    IDRiesgo INTEGER NOT NULL,
    IDFactor INTEGER NOT NULL,
    Medida TEXT NOT NULL,
    FOREIGN KEY (IDFactor, IDRiesgo) REFERENCES RiesgosFactores (IDFactor, IDRiesgo)
);
CREATE INDEX MedidasRiesgoFactor ON Medidas (IDRiesgo, IDFactor);

CREATE TABLE Actuaciones (
    IDActuaciones INTEGER PRIMARY KEY,
    Actuacion TEXT
);

-- Vistas que editan las ventanas. Su primera columna es la clave de la fila de la tabla de la
-- que sale cada fila: por ella escriben los disparadores INSTEAD OF y el conjunto de registros.

-- Una fila por fila de Evaluacion, con el nombre de su riesgo y de su factor.
CREATE VIEW VRiesgos AS
SELECT e.IDEvaluacion, e.IDEvaluacionCrear, e.IDEmpresa, e.IDCentro, e.IDPuestoCentro, e.IDFactor, e.IDRiesgo,
       r.Riesgo, f.Factor, e.Mostrar, e.Probabilidad, e.Consecuencias, e.ValorRiesgo
FROM Evaluacion e
LEFT JOIN Riesgos r ON r.IDRiesgo = e.IDRiesgo
LEFT JOIN FactoresRiesgos f ON f.IDFactor = e.IDFactor;

CREATE TRIGGER VRiesgosModificar INSTEAD OF UPDATE ON VRiesgos
BEGIN
    UPDATE Evaluacion SET Probabilidad = NEW.Probabilidad, Consecuencias = NEW.Consecuencias,
                          ValorRiesgo = NEW.ValorRiesgo
    WHERE IDEvaluacion = OLD.IDEvaluacion;
END;

-- Una fila por fila de MedidasFactores, con el puesto, centro y empresa de su evaluación y los
-- nombres de su riesgo y factor.
CREATE VIEW VFactoresMedidas AS
SELECT m.IDMedidaFactor, e.IDCentro, e.IDPuestoCentro, e.IDEmpresa, m.IDEvaluacion, e.IDEvaluacionCrear,
       e.IDFactor, e.IDRiesgo, e.Mostrar, r.Riesgo, f.Factor, m.Medida, m.MarcarMedida
FROM MedidasFactores m
JOIN Evaluacion e ON e.IDEvaluacion = m.IDEvaluacion
LEFT JOIN Riesgos r ON r.IDRiesgo = e.IDRiesgo
LEFT JOIN FactoresRiesgos f ON f.IDFactor = e.IDFactor;

CREATE TRIGGER VFactoresMedidasModificar INSTEAD OF UPDATE ON VFactoresMedidas
BEGIN
    UPDATE MedidasFactores SET MarcarMedida = NEW.MarcarMedida WHERE IDMedidaFactor = OLD.IDMedidaFactor;
END;

-- Vistas de las comprobaciones de un centro (filtradas por IDCentro e IDEmpresa).
--
-- VEvaluacionFactoresSeleccionados: una fila por puesto del centro, también si el puesto no
-- tiene filas de factores o no tiene ninguno marcado. Total = factores marcados ("S") del puesto.
CREATE VIEW VEvaluacionFactoresSeleccionados AS
SELECT p.IDPuestoCentro, p.IDCentro, c.IDEmpresa, p.Puesto,
       (SELECT count(*) FROM FactoresSeleccionarEvaluacion s
        WHERE s.IDPuestoCentro = p.IDPuestoCentro AND s.FactorSelecionado = 'S') AS Total
FROM PuestosCentros p
JOIN CentroTrabajo c ON c.IDCentro = p.IDCentro;

-- VEvaluacionRiesgos: una fila por puesto del centro. Total1 = riesgos mostrados del puesto
-- (filas de Evaluacion con Mostrar "S"); Total2 = cuántos de ellos están evaluados, es decir,
-- tienen probabilidad, consecuencias y nivel de riesgo no vacíos. Las filas ocultas ("N")
-- siguen a la mostrada y no cuentan.
CREATE VIEW VEvaluacionRiesgos AS
SELECT p.IDPuestoCentro, p.IDCentro, c.IDEmpresa, p.Puesto,
       (SELECT count(*) FROM Evaluacion e
        WHERE e.IDPuestoCentro = p.IDPuestoCentro AND e.Mostrar = 'S') AS Total1,
       (SELECT count(*) FROM Evaluacion e
        WHERE e.IDPuestoCentro = p.IDPuestoCentro AND e.Mostrar = 'S'
          AND coalesce(e.Probabilidad, '') <> '' AND coalesce(e.Consecuencias, '') <> ''
          AND coalesce(e.ValorRiesgo, '') <> '') AS Total2
FROM PuestosCentros p
JOIN CentroTrabajo c ON c.IDCentro = p.IDCentro;

-- VEvaluacionMedidas: una fila por puesto y factor marcado del puesto. Total = medidas marcadas
-- ("S") de ese factor en ese puesto: las de todas las filas de Evaluacion que generó el factor,
-- mostradas u ocultas, incluidas las medidas añadidas a mano. Un puesto sin factores marcados
-- no tiene filas aquí (eso lo señala la comprobación de factores).
CREATE VIEW VEvaluacionMedidas AS
SELECT s.IDPuestoCentro, p.IDCentro, c.IDEmpresa, p.Puesto, s.IDFactor, s.Factor,
       (SELECT count(*) FROM Evaluacion e JOIN MedidasFactores m ON m.IDEvaluacion = e.IDEvaluacion
        WHERE e.IDEvaluacionCrear = s.IDEvaluacionCrear AND m.MarcarMedida = 'S') AS Total
FROM FactoresSeleccionarEvaluacion s
JOIN PuestosCentros p ON p.IDPuestoCentro = s.IDPuestoCentro
JOIN CentroTrabajo c ON c.IDCentro = p.IDCentro
WHERE s.FactorSelecionado = 'S';
)SQL";

struct Revision
{
    int numero;
    const char* sql;
};

// Revisiones en orden. Una nueva revisión se añade al final y nunca se cambia una publicada.
const Revision revisiones[] = {
    {1, revision1},
};

int leerEntero(Conexion& c, const char* sql)
{
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(c.bd(), sql, -1, &st, nullptr);
    if (rc != SQLITE_OK)
        c.lanzar(rc, QString::fromUtf8(sql));
    rc = sqlite3_step(st);
    const int valor = rc == SQLITE_ROW ? sqlite3_column_int(st, 0) : 0;
    sqlite3_finalize(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        c.lanzar(rc, QString::fromUtf8(sql));
    return valor;
}

void aplicarRevisiones(Conexion& c, int desde)
{
    for (const Revision& r : revisiones) {
        if (r.numero <= desde)
            continue;
        c.ejecutar("BEGIN IMMEDIATE");
        try {
            c.ejecutar(QString::fromUtf8(r.sql));
            c.ejecutar(QStringLiteral("PRAGMA user_version = %1").arg(r.numero));
            c.ejecutar("COMMIT");
        } catch (...) {
            sqlite3_exec(c.bd(), "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }
}
} // namespace

void crearEsquema(Conexion& c)
{
    // Diario adelantado: las lecturas no bloquean las escrituras y cada confirmación es duradera.
    c.ejecutar("PRAGMA journal_mode = WAL");
    aplicarRevisiones(c, 0);
}

void prepararEsquema(Conexion& c)
{
    const int version = leerEntero(c, "PRAGMA user_version");
    const QString archivo = QDir::fromNativeSeparators(c.datos().fuente);
    if (version == 0) {
        const int tablas = leerEntero(c, "SELECT count(*) FROM sqlite_master WHERE type = 'table'");
        if (tablas == 0)
            throw ErrorBD(NumeroError::BaseDanada,
                          QObject::tr("El archivo «%1» no contiene ninguna tabla: no es una base de datos del programa "
                                      "o está dañado. Ejecute la utilidad de reparación.")
                              .arg(QDir::toNativeSeparators(archivo)));
        throw ErrorBD(NumeroError::BaseDanada,
                      QObject::tr("El archivo «%1» es una base de datos, pero no de este programa.")
                          .arg(QDir::toNativeSeparators(archivo)));
    }
    if (version > RevisionEsquema)
        throw ErrorBD(NumeroError::ErrorGeneral,
                      QObject::tr("La base de datos «%1» es de una versión más nueva del programa (revisión %2). "
                                  "Instale la versión del programa con la que se creó.")
                          .arg(QDir::toNativeSeparators(archivo))
                          .arg(version));
    if (version == RevisionEsquema)
        return;
    // Copia antes del primer cambio: si algo sale mal, el archivo original sigue intacto.
    const QString copia = archivo + QStringLiteral(".r%1.bak").arg(version);
    QFile::remove(copia);
    {
        const QByteArray destino = QFile::encodeName(copia);
        sqlite3* bdCopia = nullptr;
        int rc = sqlite3_open(destino.constData(), &bdCopia);
        sqlite3_backup* b = rc == SQLITE_OK ? sqlite3_backup_init(bdCopia, "main", c.bd(), "main") : nullptr;
        if (b) {
            sqlite3_backup_step(b, -1);
            rc = sqlite3_backup_finish(b);
        } else if (rc == SQLITE_OK) {
            rc = sqlite3_errcode(bdCopia);
        }
        sqlite3_close(bdCopia);
        if (rc != SQLITE_OK)
            throw ErrorBD(NumeroError::ErrorDisco,
                          QObject::tr("No se puede guardar la copia «%1» antes de poner al día la base de datos. "
                                      "Compruebe el espacio libre y los permisos de la carpeta del programa.")
                              .arg(QDir::toNativeSeparators(copia)));
    }
    aplicarRevisiones(c, version);
}

QStringList tablasEsquema(int revision)
{
    // Se sacan del propio esquema, aplicado en memoria: no hay una segunda lista que mantener.
    QStringList tablas;
    sqlite3* bd = nullptr;
    if (sqlite3_open(":memory:", &bd) == SQLITE_OK) {
        bool bien = true;
        for (const Revision& r : revisiones)
            if (r.numero <= revision && bien)
                bien = sqlite3_exec(bd, r.sql, nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_stmt* st = nullptr;
        if (bien && sqlite3_prepare_v2(bd, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name", -1, &st,
                                       nullptr) == SQLITE_OK)
            while (sqlite3_step(st) == SQLITE_ROW)
                tablas << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
    }
    sqlite3_close(bd);
    return tablas;
}
