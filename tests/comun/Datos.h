#pragma once

#include "store/Conexion.h"
#include "store/Recordset.h"

#include <QString>
#include <QVariant>

// Filas de prueba escritas directamente, para preparar cada caso en pocas líneas.
namespace datos {
inline long long insertar(const QString& conexion, const QString& sql, const QVariantList& valores)
{
    // El identificador lo da el motor: en el archivo y en el servidor.
    auto c = Conexion::obtener(conexion);
    c->ejecutar(sql, valores);
    return c->motor().ultimoId();
}

inline long long empresa(const QString& cx, const QString& nombre = "Comercial Prueba")
{
    return insertar(cx, "INSERT INTO Empresas (Nombre, Provincia) VALUES (?, 'Madrid')", {nombre});
}

inline long long centro(const QString& cx, long long empresa, const QString& direccion = "Calle Mayor 1")
{
    return insertar(cx, "INSERT INTO CentroTrabajo (IDEmpresa, NombreCentro, Direccion) VALUES (?, ?, ?)",
                    {empresa, direccion, direccion});
}

inline long long puesto(const QString& cx, long long centro, const QString& nombre = "Dependiente")
{
    return insertar(cx, "INSERT INTO PuestosCentros (IDCentro, Puesto) VALUES (?, ?)", {centro, nombre});
}

// Fila de factor de un puesto (empresa y centro se toman del puesto).
inline long long factor(const QString& cx, long long puesto, long long idFactor, const QString& marcado = "N")
{
    return insertar(cx,
                    "INSERT INTO FactoresSeleccionarEvaluacion (IDEmpresa, IDCentro, IDPuestoCentro, IDFactor, "
                    "Factor, FactorSelecionado) SELECT c.IDEmpresa, p.IDCentro, p.IDPuestoCentro, ?, 'Factor', ? "
                    "FROM PuestosCentros p JOIN CentroTrabajo c ON c.IDCentro = p.IDCentro WHERE p.IDPuestoCentro = ?",
                    {idFactor, marcado, puesto});
}

inline long long evaluacion(const QString& cx, long long filaFactor, long long idRiesgo, const QString& mostrar = "S",
                            const QVariant& valor = QVariant())
{
    return insertar(cx,
                    "INSERT INTO Evaluacion (IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro, IDFactor, "
                    "IDRiesgo, Mostrar, Probabilidad, Consecuencias, ValorRiesgo) "
                    "SELECT IDEvaluacionCrear, IDEmpresa, IDCentro, IDPuestoCentro, IDFactor, ?, ?, ?, ?, ? "
                    "FROM FactoresSeleccionarEvaluacion WHERE IDEvaluacionCrear = ?",
                    {idRiesgo, mostrar, valor.isNull() ? QVariant() : QVariant("Media"),
                     valor.isNull() ? QVariant() : QVariant("Dañino"), valor, filaFactor});
}

inline long long medida(const QString& cx, long long evaluacion, const QVariant& marca = QVariant())
{
    return insertar(cx, "INSERT INTO MedidasFactores (IDEvaluacion, Medida, MarcarMedida) VALUES (?, 'Medida', ?)",
                    {evaluacion, marca});
}

inline long long contar(const QString& cx, const QString& sql, const QVariantList& valores = {})
{
    Recordset rs;
    rs.open(sql, cx, valores);
    return rs.value(0).toLongLong();
}
} // namespace datos
