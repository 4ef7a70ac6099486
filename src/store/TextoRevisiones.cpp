// El texto SQL de cada revisión del esquema, aparte de cómo se aplican (Esquema.cpp).
#include "store/TextoRevisiones.h"

namespace SqlRevision {
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

// Revisión 6: el catálogo lleva su propia revisión, para que un programa con un catálogo más nuevo
// lo ponga al día al abrir la base de datos. Las bases de antes tenían el catálogo de la revisión 1.
// Cada puesto del catálogo, los factores que suele tener, para marcarlos de una vez. Cada actuación
// guarda el texto con que se entregó: el usuario puede corregirlo y la puesta al día no la repite.
const char* const revision6 = R"SQL(
CREATE TABLE RevisionCatalogo (
    Revision INTEGER NOT NULL
);
INSERT INTO RevisionCatalogo (Revision) VALUES (1);

CREATE TABLE FactoresHabituales (
    IDPuesto INTEGER NOT NULL REFERENCES Puestos (IDPuesto) ON DELETE CASCADE,
    IDFactor INTEGER NOT NULL REFERENCES FactoresRiesgos (IDFactor) ON DELETE CASCADE,
    PRIMARY KEY (IDPuesto, IDFactor)
);

ALTER TABLE Actuaciones ADD COLUMN Entregada TEXT;
UPDATE Actuaciones SET Entregada = Actuacion;
)SQL";

QStringList tablasConVersion()
{
    return {QStringLiteral("Empresas"),
            QStringLiteral("CentroTrabajo"),
            QStringLiteral("PuestosCentros"),
            QStringLiteral("FactoresSeleccionarEvaluacion"),
            QStringLiteral("Evaluacion"),
            QStringLiteral("MedidasFactores"),
            QStringLiteral("\"ActuaciónPreventiva\""),
            QStringLiteral("\"ActuaciónPreventivaRegistro\""),
            QStringLiteral("Actuaciones"),
            QStringLiteral("PlazosNiveles")};
}

// Revisión 7: varios técnicos sobre la misma base de datos. Cada fila que se edita en una ventana
// lleva su versión, y guardarla sólo vale si sigue en la versión con que se leyó: así el último en
// guardar no pisa sin saberlo lo que otro guardó antes. Las filas que ya había empiezan en 0.
QString revision7(const QString& tipoEntero)
{
    QString sql;
    for (const QString& tabla : tablasConVersion())
        sql += QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3 NOT NULL DEFAULT 0;\n")
                   .arg(tabla, QString::fromLatin1(ColumnaVersion), tipoEntero);
    return sql;
}
// Revisión 8: las vistas que editan las ventanas llevan la versión de la fila que escriben, y su
// disparador sólo escribe si quien guarda la leyó en la versión que tiene ahora; si no, la
// escritura se rechaza con una marca fija (MarcaVersionVista) y el almacén lo da como fila
// cambiada por otro. Quien escribe sin nombrar la versión la deja como estaba y no se le rechaza.
// Quitar la vista se lleva su disparador.
const char* const revision8 = R"SQL(
DROP VIEW VRiesgos;
CREATE VIEW VRiesgos AS
SELECT e.IDEvaluacion, e.IDEvaluacionCrear, e.IDEmpresa, e.IDCentro, e.IDPuestoCentro, e.IDFactor, e.IDRiesgo,
       r.Riesgo, f.Factor, e.Mostrar, e.Probabilidad, e.Consecuencias, e.ValorRiesgo, e.SituacionObservada,
       e.VersionFila
FROM Evaluacion e
LEFT JOIN Riesgos r ON r.IDRiesgo = e.IDRiesgo
LEFT JOIN FactoresRiesgos f ON f.IDFactor = e.IDFactor;

CREATE TRIGGER VRiesgosModificar INSTEAD OF UPDATE ON VRiesgos
BEGIN
    SELECT RAISE(ABORT, 'VersionFila') WHERE NEW.VersionFila IS NOT OLD.VersionFila;
    UPDATE Evaluacion SET Probabilidad = NEW.Probabilidad, Consecuencias = NEW.Consecuencias,
                          ValorRiesgo = NEW.ValorRiesgo, SituacionObservada = NEW.SituacionObservada,
                          VersionFila = VersionFila + 1
    WHERE IDEvaluacion = OLD.IDEvaluacion;
END;

DROP VIEW VFactoresMedidas;
CREATE VIEW VFactoresMedidas AS
SELECT m.IDMedidaFactor, e.IDCentro, e.IDPuestoCentro, e.IDEmpresa, m.IDEvaluacion, e.IDEvaluacionCrear,
       e.IDFactor, e.IDRiesgo, e.Mostrar, r.Riesgo, f.Factor, m.Medida, m.MarcarMedida, m.Implantada, m.VersionFila
FROM MedidasFactores m
JOIN Evaluacion e ON e.IDEvaluacion = m.IDEvaluacion
LEFT JOIN Riesgos r ON r.IDRiesgo = e.IDRiesgo
LEFT JOIN FactoresRiesgos f ON f.IDFactor = e.IDFactor;

CREATE TRIGGER VFactoresMedidasModificar INSTEAD OF UPDATE ON VFactoresMedidas
BEGIN
    SELECT RAISE(ABORT, 'VersionFila') WHERE NEW.VersionFila IS NOT OLD.VersionFila;
    UPDATE MedidasFactores SET MarcarMedida = NEW.MarcarMedida, Implantada = NEW.Implantada,
                               VersionFila = VersionFila + 1
    WHERE IDMedidaFactor = OLD.IDMedidaFactor;
END;

DROP VIEW VLineasPlan;
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
       CAST(coalesce(nullif(trim(p.NTrabajadores), ''), '0') AS INTEGER) AS Trabajadores, r.VersionFila
FROM "ActuaciónPreventivaRegistro" r
JOIN "ActuaciónPreventiva" a ON a.IDActuacion = r.IDActuacion
LEFT JOIN Evaluacion e ON e.IDEvaluacion = r.IDEvaluacion
LEFT JOIN PuestosCentros p ON p.IDPuestoCentro = e.IDPuestoCentro
LEFT JOIN Riesgos k ON k.IDRiesgo = e.IDRiesgo
LEFT JOIN MedidasFactores m ON m.IDMedidaFactor = r.IDMedidaFactor;

CREATE TRIGGER VLineasPlanModificar INSTEAD OF UPDATE ON VLineasPlan
BEGIN
    SELECT RAISE(ABORT, 'VersionFila') WHERE NEW.VersionFila IS NOT OLD.VersionFila;
    UPDATE "ActuaciónPreventivaRegistro"
    SET AccionPreventiva = NEW.AccionPreventiva, FechaLimite = NEW.FechaLimite,
        ResponsableEjecucion = NEW.ResponsableEjecucion, PresupuestoAproximado = NEW.PresupuestoAproximado,
        Estado = NEW.Estado, FechaRealizada = NEW.FechaRealizada, CosteReal = NEW.CosteReal,
        Seguimiento = NEW.Seguimiento, VersionFila = VersionFila + 1
    WHERE IDActuacionRegistro = OLD.IDActuacionRegistro;
END;
)SQL";
} // namespace SqlRevision
