#include "evaluation/GeneracionRiesgos.h"

#include "store/Conexion.h"
#include "store/Reintentos.h"

#include <limits>

namespace {
// Lo que se escribe al generar va en pocas sentencias de conjunto, no en una por riesgo o medida:
// con los datos en un servidor cada sentencia es una ida y vuelta por la red.

// Una fila de evaluación por riesgo del factor, en el orden del catálogo. Se muestra la primera
// del riesgo en el puesto: si el puesto ya tiene una fila de ese riesgo (de otro factor), la nueva
// la sigue oculta. El catálogo no repite un riesgo en un mismo factor.
const QString filasDelFactor = QStringLiteral(
    "INSERT INTO Evaluacion (IDEmpresa, IDCentro, IDEvaluacionCrear, IDPuestoCentro, IDRiesgo, IDFactor, Mostrar) "
    "SELECT ?, ?, ?, ?, rf.IDRiesgo, rf.IDFactor, CASE WHEN EXISTS (SELECT 1 FROM Evaluacion e WHERE "
    "e.IDPuestoCentro = ? AND e.IDRiesgo = rf.IDRiesgo) THEN 'N' ELSE 'S' END "
    "FROM RiesgosFactores rf WHERE rf.IDFactor = ?");
const QString enOrden = QStringLiteral(" ORDER BY rf.IDRiesgoFactor");
// Lo mismo, sólo si la fila de factor aún no tiene filas (marcada desde otra ventana con datos
// viejos): así no se repiten, sin una lectura aparte.
const QString siNoTiene = QStringLiteral(" AND NOT EXISTS (SELECT 1 FROM Evaluacion x WHERE x.IDEvaluacionCrear = ?)");

// Las medidas del catálogo para cada riesgo y factor de las filas recién escritas (las de la fila
// de factor con número mayor que el último que había), fila a fila y en el orden del catálogo.
const char* const medidasDeLasFilas =
    "INSERT INTO MedidasFactores (IDEvaluacion, Medida) SELECT e.IDEvaluacion, m.Medida FROM Evaluacion e "
    "JOIN Medidas m ON m.IDRiesgo = e.IDRiesgo AND m.IDFactor = e.IDFactor "
    "WHERE e.IDEvaluacionCrear = ? AND e.IDEvaluacion > ? ORDER BY e.IDEvaluacion, m.IDMedida";

// Dentro de una transacción ya abierta. Con "soloSiNoTiene", nada si la fila de factor ya tiene
// filas; si no, se añaden a las que tenga, y "ultima" es el último número de Evaluacion de antes.
int generar(Conexion& c, const FilaFactor& f, bool soloSiNoTiene, long long ultima)
{
    static const QString siempre = filasDelFactor + enOrden, unaVez = filasDelFactor + siNoTiene + enOrden;
    QVariantList valores{f.idEmpresa, f.idCentro, f.idEvaluacionCrear, f.idPuestoCentro, f.idPuestoCentro, f.idFactor};
    if (soloSiNoTiene)
        valores << f.idEvaluacionCrear;
    c.ejecutar(soloSiNoTiene ? unaVez : siempre, valores);
    const int escritas = int(c.motor().filasCambiadas());
    if (escritas > 0)
        c.ejecutar(medidasDeLasFilas,
                   {f.idEvaluacionCrear, soloSiNoTiene ? std::numeric_limits<qlonglong>::min() : ultima});
    return escritas;
}

// Un grado de la fila que pasa a mostrarse: el de la mostrada que se quita del mismo puesto y
// riesgo (la última si hubiera varias), o el suyo si la que se quita era oculta.
QString gradoDeLaQuitada(const char* columna)
{
    const QString mostrada = QStringLiteral(
        "FROM Evaluacion d WHERE d.IDEvaluacionCrear = ? AND d.IDPuestoCentro = Evaluacion.IDPuestoCentro AND "
        "d.IDRiesgo = Evaluacion.IDRiesgo AND d.Mostrar = 'S'");
    return QStringLiteral("%1 = CASE WHEN EXISTS (SELECT 1 %2) THEN (SELECT d.%1 %2 ORDER BY d.IDEvaluacion DESC "
                          "LIMIT 1) ELSE %1 END")
        .arg(QLatin1String(columna), mostrada);
}

// Dentro de una transacción ya abierta. Antes de borrar, en cada puesto y riesgo de las filas que
// se van que se quede sin mostrada, la primera de las que quedan pasa a mostrarse con los grados
// de la mostrada que se quita.
void quitar(Conexion& c, long long idEvaluacionCrear)
{
    static const QString mostrarPrimera =
        "UPDATE Evaluacion SET Mostrar = 'S', " + gradoDeLaQuitada("Probabilidad") + ", " +
        gradoDeLaQuitada("Consecuencias") + ", " + gradoDeLaQuitada("ValorRiesgo") +
        " WHERE IDEvaluacion IN (SELECT min(r.IDEvaluacion) FROM Evaluacion r JOIN (SELECT DISTINCT IDPuestoCentro, "
        "IDRiesgo FROM Evaluacion WHERE IDEvaluacionCrear = ?) q ON q.IDPuestoCentro = r.IDPuestoCentro AND "
        "q.IDRiesgo = r.IDRiesgo WHERE r.IDEvaluacionCrear <> ? GROUP BY r.IDPuestoCentro, r.IDRiesgo "
        "HAVING sum(CASE WHEN r.Mostrar = 'S' THEN 1 ELSE 0 END) = 0)";
    QVariantList valores;
    for (int i = 0; i < 8; ++i)
        valores << idEvaluacionCrear;
    c.ejecutar(mostrarPrimera, valores);
    // Sus medidas se van con ellas.
    c.ejecutar("DELETE FROM Evaluacion WHERE IDEvaluacionCrear = ?", {idEvaluacionCrear});
}

void guardarMarca(Conexion& c, long long idEvaluacionCrear, const QString& marca)
{
    c.ejecutar("UPDATE FactoresSeleccionarEvaluacion SET FactorSelecionado = ? WHERE IDEvaluacionCrear = ?",
               {marca, idEvaluacionCrear});
}
} // namespace

int GenerarRiesgos(const QString& conexion, const FilaFactor& f)
{
    auto c = Conexion::obtener(conexion);
    Transaccion t(c);
    const long long ultima =
        c->leerFilas("SELECT coalesce(max(IDEvaluacion), 0) FROM Evaluacion").at(0).value(0).toLongLong();
    const int escritas = generar(*c, f, false, ultima);
    t.confirmar();
    return escritas;
}

void QuitarRiesgos(const QString& conexion, long long idEvaluacionCrear)
{
    auto c = Conexion::obtener(conexion);
    Transaccion t(c);
    quitar(*c, idEvaluacionCrear);
    t.confirmar();
}

// Marcar y desmarcar son lo que dos técnicos hacen a la vez: si el otro tiene la base ocupada, se
// repite entero unas pocas veces antes de avisar. La marca se guarda antes que los riesgos: en el
// servidor deja tomada la fila del factor hasta confirmar, y quien marque o desmarque el mismo
// factor a la vez espera y después ve lo que escribió el primero, en lugar de repetir sus riesgos o
// no quitar los que aún no veía.
int MarcarFactor(const QString& conexion, const FilaFactor& fila)
{
    auto c = Conexion::obtener(conexion);
    int escritas = 0;
    conReintentos(*c, [&] {
        Transaccion t(c);
        guardarMarca(*c, fila.idEvaluacionCrear, QStringLiteral("S"));
        escritas = generar(*c, fila, true, 0);
        t.confirmar();
    });
    return escritas;
}

void DesmarcarFactor(const QString& conexion, long long idEvaluacionCrear)
{
    auto c = Conexion::obtener(conexion);
    conReintentos(*c, [&] {
        Transaccion t(c);
        guardarMarca(*c, idEvaluacionCrear, QStringLiteral("N"));
        quitar(*c, idEvaluacionCrear);
        t.confirmar();
    });
}
