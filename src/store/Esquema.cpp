#include "store/Esquema.h"

#include "store/AnalisisConsulta.h"
#include "store/Conexion.h"
#include "store/ErrorBD.h"
#include "store/SentenciaPreparada.h"

#include <QDir>
#include <QFile>
#include <QObject>
#include <QRegularExpression>
#include <sqlite3.h>
#include <vector>

namespace {
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

// Las revisiones trabajan sobre el manejador de SQLite, para poder aplicarlas también en memoria.
// Devuelven el código del primer fallo y dejan en "sentencia" la que falló.
int ejecutarEn(sqlite3* bd, const QString& sql, QString& sentencia)
{
    const int rc = sqlite3_exec(bd, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        sentencia = sql;
    return rc;
}

// Filas de una consulta con, como mucho, un valor enlazado; cada columna como texto.
int leerFilas(sqlite3* bd, const QString& sql, const QString& valor, std::vector<QStringList>& filas,
              QString& sentencia)
{
    int rc = SQLITE_OK;
    const SentenciaPreparada st = SentenciaPreparada::suelta(bd, sql.toUtf8(), rc);
    if (rc == SQLITE_OK && !valor.isNull()) {
        const QByteArray v = valor.toUtf8();
        rc = sqlite3_bind_text(st.get(), 1, v.constData(), int(v.size()), SQLITE_TRANSIENT);
    }
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        rc = sqlite3_step(st.get());
        if (rc != SQLITE_ROW)
            break;
        QStringList fila;
        for (int i = 0; i < sqlite3_column_count(st.get()); ++i)
            fila << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), i)));
        filas.push_back(fila);
    }
    if (rc == SQLITE_DONE)
        return SQLITE_OK;
    sentencia = sql;
    return rc;
}

int aplicarRevision1(sqlite3* bd, QString& sentencia)
{
    return ejecutarEn(bd, QString::fromUtf8(revision1), sentencia);
}

// Revisión 2: los identificadores de las tablas del usuario no se vuelven a dar. Con INTEGER
// PRIMARY KEY a secas, el alta siguiente toma el número de la última fila borrada, y lo que aún
// apuntara al centro o la empresa borrados (una ventana abierta, un informe) pasaría al nuevo.
// Cada tabla se rehace con AUTOINCREMENT y sus filas tal cual, con sus índices; las vistas y los
// disparadores se quitan antes (nombran las tablas) y se vuelven a crear después.
const char* const tablasDelUsuario[] = {
    "Empresas",   "CentroTrabajo",   "PuestosCentros",      "FactoresSeleccionarEvaluacion",
    "Evaluacion", "MedidasFactores", "ActuaciónPreventiva", "ActuaciónPreventivaRegistro"};

int rehacerConAutoincremento(sqlite3* bd, const QString& tabla, QString& sentencia)
{
    std::vector<QStringList> definicion, indices;
    int rc =
        leerFilas(bd, "SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?", tabla, definicion, sentencia);
    if (rc == SQLITE_OK)
        rc = leerFilas(bd,
                       "SELECT sql FROM sqlite_master WHERE type = 'index' AND tbl_name = ? AND sql IS NOT NULL "
                       "ORDER BY rowid",
                       tabla, indices, sentencia);
    if (rc != SQLITE_OK)
        return rc;
    if (definicion.empty()) {
        // Le falta una tabla: está dañada, y Reparar sabe volver a crearla.
        sentencia = QObject::tr("falta la tabla %1").arg(tabla);
        return SQLITE_CORRUPT;
    }
    QString cuerpo = definicion.front().front();
    cuerpo = cuerpo.mid(cuerpo.indexOf('('));
    static const QRegularExpression clave(QStringLiteral("INTEGER\\s+PRIMARY\\s+KEY(?!\\s+AUTOINCREMENT)"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = clave.match(cuerpo);
    if (m.hasMatch())
        cuerpo.insert(m.capturedEnd(), QStringLiteral(" AUTOINCREMENT"));
    const QString nueva = citarNombre(tabla + QStringLiteral("_r2"));
    QStringList pasos{QStringLiteral("CREATE TABLE %1 %2").arg(nueva, cuerpo),
                      QStringLiteral("INSERT INTO %1 SELECT * FROM %2").arg(nueva, citarNombre(tabla)),
                      QStringLiteral("DROP TABLE %1").arg(citarNombre(tabla)),
                      QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(nueva, citarNombre(tabla))};
    for (const QStringList& i : indices)
        pasos << i.front();
    for (const QString& paso : pasos)
        if ((rc = ejecutarEn(bd, paso, sentencia)) != SQLITE_OK)
            return rc;
    return SQLITE_OK;
}

int aplicarRevision2(sqlite3* bd, QString& sentencia)
{
    std::vector<QStringList> objetos;
    int rc = leerFilas(bd,
                       "SELECT type, name, sql FROM sqlite_master WHERE type IN ('view', 'trigger') AND sql IS NOT "
                       "NULL ORDER BY rowid",
                       {}, objetos, sentencia);
    // Al revés de como se crearon: los disparadores de una vista, antes que la vista.
    for (auto o = objetos.rbegin(); rc == SQLITE_OK && o != objetos.rend(); ++o)
        rc = ejecutarEn(bd,
                        QStringLiteral("DROP %1 IF EXISTS %2")
                            .arg((*o)[0] == QLatin1String("view") ? QStringLiteral("VIEW") : QStringLiteral("TRIGGER"),
                                 citarNombre((*o)[1])),
                        sentencia);
    for (const char* tabla : tablasDelUsuario)
        if (rc == SQLITE_OK)
            rc = rehacerConAutoincremento(bd, QString::fromUtf8(tabla), sentencia);
    for (const QStringList& o : objetos)
        if (rc == SQLITE_OK)
            rc = ejecutarEn(bd, o[2], sentencia);
    return rc;
}

// Revisión 3: lo que el documento de la evaluación necesita para poder firmarse. Cada centro lleva
// la fecha de su evaluación, el motivo, la versión emitida y la fecha de la próxima revisión, y el
// historial de versiones emitidas con la huella de lo que se evaluó (así se sabe si ha cambiado
// desde la última). Cada riesgo evaluado, la situación observada; cada medida, si ya está
// implantada; cada puesto, los nombres de quienes lo ocupan. Las dos vistas que editan las
// ventanas se rehacen con las columnas nuevas.
const char* const revision3 = R"SQL(
ALTER TABLE CentroTrabajo ADD COLUMN FechaEvaluacion DATE;
ALTER TABLE CentroTrabajo ADD COLUMN MotivoEvaluacion TEXT;
ALTER TABLE CentroTrabajo ADD COLUMN VersionEvaluacion INTEGER DEFAULT 0;
ALTER TABLE CentroTrabajo ADD COLUMN FechaRevision DATE;
ALTER TABLE PuestosCentros ADD COLUMN Trabajadores TEXT;
ALTER TABLE Evaluacion ADD COLUMN SituacionObservada TEXT;
ALTER TABLE MedidasFactores ADD COLUMN Implantada TEXT DEFAULT 'N';

CREATE TABLE VersionesEvaluacion (
    IDVersion INTEGER PRIMARY KEY AUTOINCREMENT,
    IDCentro INTEGER NOT NULL REFERENCES CentroTrabajo (IDCentro) ON DELETE CASCADE,
    Version INTEGER NOT NULL,
    FechaEvaluacion DATE,
    Motivo TEXT,
    Huella TEXT,
    Emitida DATETIME,
    UNIQUE (IDCentro, Version)
);

DROP VIEW VRiesgos;
CREATE VIEW VRiesgos AS
SELECT e.IDEvaluacion, e.IDEvaluacionCrear, e.IDEmpresa, e.IDCentro, e.IDPuestoCentro, e.IDFactor, e.IDRiesgo,
       r.Riesgo, f.Factor, e.Mostrar, e.Probabilidad, e.Consecuencias, e.ValorRiesgo, e.SituacionObservada
FROM Evaluacion e
LEFT JOIN Riesgos r ON r.IDRiesgo = e.IDRiesgo
LEFT JOIN FactoresRiesgos f ON f.IDFactor = e.IDFactor;

CREATE TRIGGER VRiesgosModificar INSTEAD OF UPDATE ON VRiesgos
BEGIN
    UPDATE Evaluacion SET Probabilidad = NEW.Probabilidad, Consecuencias = NEW.Consecuencias,
                          ValorRiesgo = NEW.ValorRiesgo, SituacionObservada = NEW.SituacionObservada
    WHERE IDEvaluacion = OLD.IDEvaluacion;
END;

DROP VIEW VFactoresMedidas;
CREATE VIEW VFactoresMedidas AS
SELECT m.IDMedidaFactor, e.IDCentro, e.IDPuestoCentro, e.IDEmpresa, m.IDEvaluacion, e.IDEvaluacionCrear,
       e.IDFactor, e.IDRiesgo, e.Mostrar, r.Riesgo, f.Factor, m.Medida, m.MarcarMedida, m.Implantada
FROM MedidasFactores m
JOIN Evaluacion e ON e.IDEvaluacion = m.IDEvaluacion
LEFT JOIN Riesgos r ON r.IDRiesgo = e.IDRiesgo
LEFT JOIN FactoresRiesgos f ON f.IDFactor = e.IDFactor;

CREATE TRIGGER VFactoresMedidasModificar INSTEAD OF UPDATE ON VFactoresMedidas
BEGIN
    UPDATE MedidasFactores SET MarcarMedida = NEW.MarcarMedida, Implantada = NEW.Implantada
    WHERE IDMedidaFactor = OLD.IDMedidaFactor;
END;
)SQL";

int aplicarRevision3(sqlite3* bd, QString& sentencia)
{
    return ejecutarEn(bd, QString::fromUtf8(revision3), sentencia);
}

// Revisión 4: el plan sale de la evaluación. Una línea puede nombrar el riesgo evaluado que
// controla y la medida que lleva a cabo (si se quitan, la línea se queda como general), y lleva
// su seguimiento: estado, fecha en que se hizo, coste real y nota. Los plazos que se proponen para
// cada nivel se pueden cambiar. Cada nueva valoración de un riesgo tras hacer su acción se guarda
// con su fecha y el nivel de antes.
const char* const revision4 = R"SQL(
ALTER TABLE "ActuaciónPreventivaRegistro" ADD COLUMN IDEvaluacion INTEGER
    REFERENCES Evaluacion (IDEvaluacion) ON DELETE SET NULL;
ALTER TABLE "ActuaciónPreventivaRegistro" ADD COLUMN IDMedidaFactor INTEGER
    REFERENCES MedidasFactores (IDMedidaFactor) ON DELETE SET NULL;
ALTER TABLE "ActuaciónPreventivaRegistro" ADD COLUMN Estado TEXT DEFAULT 'Pendiente';
ALTER TABLE "ActuaciónPreventivaRegistro" ADD COLUMN FechaRealizada DATE;
ALTER TABLE "ActuaciónPreventivaRegistro" ADD COLUMN CosteReal TEXT;
ALTER TABLE "ActuaciónPreventivaRegistro" ADD COLUMN Seguimiento TEXT;
CREATE INDEX ActuacionRegistroEvaluacion ON "ActuaciónPreventivaRegistro" (IDEvaluacion);
CREATE INDEX ActuacionRegistroMedida ON "ActuaciónPreventivaRegistro" (IDMedidaFactor);

CREATE TABLE PlazosNiveles (
    Nivel TEXT PRIMARY KEY,
    Orden INTEGER NOT NULL,
    Meses INTEGER NOT NULL CHECK (Meses >= 0)
);
INSERT INTO PlazosNiveles (Nivel, Orden, Meses) VALUES
    ('Riesgo Intolerable', 1, 0), ('Riesgo Importante', 2, 1), ('Riesgo Moderado', 3, 6);

CREATE TABLE RevaloracionesRiesgo (
    IDRevaloracion INTEGER PRIMARY KEY AUTOINCREMENT,
    IDEvaluacion INTEGER NOT NULL REFERENCES Evaluacion (IDEvaluacion) ON DELETE CASCADE,
    IDActuacionRegistro INTEGER REFERENCES "ActuaciónPreventivaRegistro" (IDActuacionRegistro) ON DELETE SET NULL,
    Fecha DATE NOT NULL,
    NivelAnterior TEXT,
    NivelNuevo TEXT
);
CREATE INDEX RevaloracionesEvaluacion ON RevaloracionesRiesgo (IDEvaluacion);

-- Las líneas de los planes con el puesto, el riesgo y el nivel que controlan. Prioridad: la del
-- nivel (1 intolerable ... 5 trivial); nula en las líneas generales y en las de un riesgo aún sin
-- valorar. Trabajadores: los del puesto, para desempatar.
CREATE VIEW VLineasPlan AS
SELECT r.IDActuacionRegistro, r.IDActuacion, a.IDCentro, r.AccionPreventiva, r.FechaLimite, r.ResponsableEjecucion,
       r.PresupuestoAproximado, r.IDEvaluacion, r.IDMedidaFactor, coalesce(r.Estado, 'Pendiente') AS Estado,
       r.FechaRealizada, r.CosteReal, r.Seguimiento, p.IDPuestoCentro, p.Puesto, k.Riesgo, m.Medida,
       CASE WHEN trim(coalesce(e.Probabilidad, '')) = '' OR trim(coalesce(e.Consecuencias, '')) = '' THEN NULL
            ELSE e.ValorRiesgo END AS ValorRiesgo,
       CASE WHEN trim(coalesce(e.Probabilidad, '')) = '' OR trim(coalesce(e.Consecuencias, '')) = '' THEN NULL
            ELSE CASE e.ValorRiesgo WHEN 'Riesgo Intolerable' THEN 1 WHEN 'Riesgo Importante' THEN 2
                 WHEN 'Riesgo Moderado' THEN 3 WHEN 'Riesgo Tolerable' THEN 4 WHEN 'Riesgo Trivial' THEN 5 END
       END AS Prioridad,
       CAST(coalesce(nullif(trim(p.NTrabajadores), ''), '0') AS INTEGER) AS Trabajadores
FROM "ActuaciónPreventivaRegistro" r
JOIN "ActuaciónPreventiva" a ON a.IDActuacion = r.IDActuacion
LEFT JOIN Evaluacion e ON e.IDEvaluacion = r.IDEvaluacion
LEFT JOIN PuestosCentros p ON p.IDPuestoCentro = e.IDPuestoCentro
LEFT JOIN Riesgos k ON k.IDRiesgo = e.IDRiesgo
LEFT JOIN MedidasFactores m ON m.IDMedidaFactor = r.IDMedidaFactor;
)SQL";

int aplicarRevision4(sqlite3* bd, QString& sentencia)
{
    return ejecutarEn(bd, QString::fromUtf8(revision4), sentencia);
}

// Revisión 5: las líneas del plan se corrigen en la cuadrícula sobre la vista que las ordena por
// prioridad, como las demás vistas que editan las ventanas.
const char* const revision5 = R"SQL(
CREATE TRIGGER VLineasPlanModificar INSTEAD OF UPDATE ON VLineasPlan
BEGIN
    UPDATE "ActuaciónPreventivaRegistro"
    SET AccionPreventiva = NEW.AccionPreventiva, FechaLimite = NEW.FechaLimite,
        ResponsableEjecucion = NEW.ResponsableEjecucion, PresupuestoAproximado = NEW.PresupuestoAproximado,
        Estado = NEW.Estado, FechaRealizada = NEW.FechaRealizada, CosteReal = NEW.CosteReal,
        Seguimiento = NEW.Seguimiento
    WHERE IDActuacionRegistro = OLD.IDActuacionRegistro;
END;
)SQL";

int aplicarRevision5(sqlite3* bd, QString& sentencia)
{
    return ejecutarEn(bd, QString::fromUtf8(revision5), sentencia);
}

struct Revision
{
    int numero;
    int (*aplicar)(sqlite3* bd, QString& sentencia);
};

// Revisiones en orden. Una nueva revisión se añade al final y nunca se cambia una publicada.
const Revision revisiones[] = {
    {1, aplicarRevision1}, {2, aplicarRevision2}, {3, aplicarRevision3}, {4, aplicarRevision4}, {5, aplicarRevision5},
};

int leerEntero(Conexion& c, const char* sql)
{
    int rc = SQLITE_OK;
    SentenciaPreparada st = SentenciaPreparada::suelta(c.bd(), sql, rc);
    if (rc != SQLITE_OK)
        c.lanzar(rc, QString::fromUtf8(sql));
    rc = sqlite3_step(st.get());
    const int valor = rc == SQLITE_ROW ? sqlite3_column_int(st.get(), 0) : 0;
    st.soltar();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        c.lanzar(rc, QString::fromUtf8(sql));
    return valor;
}

// Las revisiones de (desde, hasta], en una sola transacción.
void aplicarTramo(Conexion& c, int desde, int hasta)
{
    Transaccion t(c);
    // Filas que ya no tenían a quién apuntar antes de empezar: no son cosa de la revisión.
    const int huerfanas = leerEntero(c, "SELECT count(*) FROM pragma_foreign_key_check");
    QString sentencia;
    for (const Revision& r : revisiones)
        if (r.numero > desde && r.numero <= hasta)
            if (const int rc = r.aplicar(c.bd(), sentencia); rc != SQLITE_OK)
                c.lanzar(rc, sentencia);
    if (leerEntero(c, "SELECT count(*) FROM pragma_foreign_key_check") > huerfanas)
        throw ErrorBD(NumeroError::ErrorGeneral,
                      QObject::tr("La puesta al día de la base de datos a la revisión %1 ha dejado filas sin "
                                  "su fila de origen y no se ha hecho. La base de datos sigue como estaba.")
                          .arg(hasta));
    c.ejecutar(QStringLiteral("PRAGMA user_version = %1").arg(hasta));
    t.confirmar();
}

void aplicarRevisiones(Conexion& c, int desde)
{
    // Rehacer una tabla es borrarla: con las claves ajenas activas, el borrado se llevaría en
    // cascada todo lo que cuelga de ella. Se apagan mientras tanto (fuera de la transacción, o no
    // surte efecto) y se comprueban al final.
    c.ejecutar("PRAGMA foreign_keys = OFF");
    try {
        // Un archivo nuevo se crea entero de una vez. Uno con datos, revisión a revisión: si una
        // falla, queda en la anterior.
        if (desde == 0)
            aplicarTramo(c, 0, RevisionEsquema);
        for (const Revision& r : revisiones)
            if (desde > 0 && r.numero > desde)
                aplicarTramo(c, r.numero - 1, r.numero);
    } catch (...) {
        sqlite3_exec(c.bd(), "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
        throw;
    }
    c.ejecutar("PRAGMA foreign_keys = ON");
}

// Copia antes del primer cambio: si algo sale mal, el archivo original sigue intacto.
void guardarCopia(Conexion& c, const QString& copia)
{
    QFile::remove(copia);
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

// Deja en "r" lo que va averiguando: si algo lanza, el resultado ya dice de qué revisión partía.
void comprobarYPoner(Conexion& c, ResultadoEsquema& r)
{
    using Estado = ResultadoEsquema::Estado;
    const int version = r.revision = leerEntero(c, "PRAGMA user_version");
    const QString archivo = QDir::toNativeSeparators(QDir::fromNativeSeparators(c.datos().fuente));
    if (version == 0) {
        r.estado = Estado::Ajena;
        const int tablas = leerEntero(c, "SELECT count(*) FROM sqlite_master WHERE type = 'table'");
        if (tablas == 0)
            r.error = ErrorBD(NumeroError::BaseDanada,
                              QObject::tr("El archivo «%1» no contiene ninguna tabla: no es una base de datos del "
                                          "programa o está dañado. Ejecute la utilidad de reparación.")
                                  .arg(archivo));
        else
            r.error =
                ErrorBD(NumeroError::BaseDanada,
                        QObject::tr("El archivo «%1» es una base de datos, pero no de este programa.").arg(archivo));
        return;
    }
    if (version > RevisionEsquema) {
        r.estado = Estado::MasNueva;
        r.error = ErrorBD(NumeroError::ErrorGeneral,
                          QObject::tr("La base de datos «%1» es de una versión más nueva del programa (revisión %2). "
                                      "Instale la versión del programa con la que se creó.")
                              .arg(archivo)
                              .arg(version));
        return;
    }
    if (version == RevisionEsquema) {
        r.estado = Estado::AlDia;
        return;
    }
    const QString copia = QDir::fromNativeSeparators(c.datos().fuente) + QStringLiteral(".r%1.bak").arg(version);
    guardarCopia(c, copia);
    r.copia = copia;
    aplicarRevisiones(c, version);
    r.estado = Estado::PuestaAlDia;
}
} // namespace

ResultadoEsquema prepararEsquema(Conexion& c, bool nueva)
{
    ResultadoEsquema r;
    try {
        if (!nueva) {
            comprobarYPoner(c, r);
            return r;
        }
        // Diario adelantado: las lecturas no bloquean las escrituras y cada confirmación es duradera.
        c.ejecutar("PRAGMA journal_mode = WAL");
        aplicarRevisiones(c, 0);
        r.estado = ResultadoEsquema::Estado::Nueva;
    } catch (const ErrorBD& e) {
        r.estado = ResultadoEsquema::Estado::Fallida;
        r.error = e;
    }
    return r;
}

int crearEsquemaRevision(sqlite3* bd, int revision)
{
    int rc = SQLITE_OK;
    QString sentencia;
    for (const Revision& r : revisiones)
        if (r.numero <= revision && rc == SQLITE_OK)
            rc = r.aplicar(bd, sentencia);
    if (rc == SQLITE_OK)
        rc = ejecutarEn(bd, QStringLiteral("PRAGMA user_version = %1").arg(revision), sentencia);
    return rc;
}

QStringList tablasEsquema(int revision)
{
    // Se sacan del propio esquema, aplicado en memoria: no hay una segunda lista que mantener.
    QStringList tablas;
    sqlite3* bd = nullptr;
    if (sqlite3_open(":memory:", &bd) == SQLITE_OK) {
        const bool bien = crearEsquemaRevision(bd, revision) == SQLITE_OK;
        int rc = SQLITE_OK;
        if (bien) {
            const SentenciaPreparada st =
                SentenciaPreparada::suelta(bd, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name", rc);
            while (st && sqlite3_step(st.get()) == SQLITE_ROW)
                tablas << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)));
        }
    }
    sqlite3_close(bd);
    return tablas;
}
