#include "evaluation/MatrizRiesgo.h"

#include "store/Conexion.h"
#include "store/Recordset.h"

#include <array>

namespace {
using Lista = std::array<const char*, 3>;
const Lista listaProbabilidad = {"Baja", "Media", "Alta"};
const Lista listaConsecuencias = {"Ligeramente dañino", "Dañino", "Extremadamente dañino"};

int indice(const QString& valor, const Lista& lista)
{
    int i = 0;
    const QString limpio = valor.trimmed();
    for (const char* v : lista) {
        if (limpio.compare(QString::fromUtf8(v), Qt::CaseInsensitive) == 0)
            return i;
        ++i;
    }
    return -1;
}
} // namespace

QString NivelRiesgo(const QString& probabilidad, const QString& consecuencias)
{
    static const char* const niveles[3][3] = {
        {"Riesgo Trivial", "Riesgo Tolerable", "Riesgo Moderado"},
        {"Riesgo Tolerable", "Riesgo Moderado", "Riesgo Importante"},
        {"Riesgo Moderado", "Riesgo Importante", "Riesgo Intolerable"},
    };
    const int p = indice(probabilidad, listaProbabilidad);
    const int c = indice(consecuencias, listaConsecuencias);
    if (p < 0 || c < 0)
        return {};
    return QString::fromUtf8(niveles[p][c]);
}

QString GradoProbabilidad(const QString& texto)
{
    const int i = indice(texto, listaProbabilidad);
    return i < 0 ? QString() : QString::fromUtf8(listaProbabilidad[size_t(i)]);
}

QString GradoConsecuencias(const QString& texto)
{
    const int i = indice(texto, listaConsecuencias);
    return i < 0 ? QString() : QString::fromUtf8(listaConsecuencias[size_t(i)]);
}

int CopiarEvaluacionAOcultas(const QString& conexion, long long idPuestoCentro)
{
    Transaccion t(conexion);
    auto c = Conexion::obtener(conexion);
    // Una sola sentencia: las ocultas del puesto toman los grados de la mostrada de su riesgo.
    c->ejecutar("UPDATE Evaluacion AS h SET (Probabilidad, Consecuencias, ValorRiesgo) = "
                "(SELECT s.Probabilidad, s.Consecuencias, s.ValorRiesgo FROM Evaluacion s "
                " WHERE s.IDPuestoCentro = h.IDPuestoCentro AND s.IDRiesgo = h.IDRiesgo AND s.Mostrar = 'S' "
                " ORDER BY s.IDEvaluacion LIMIT 1) "
                "WHERE h.Mostrar = 'N' AND h.IDPuestoCentro = ? AND EXISTS (SELECT 1 FROM Evaluacion s "
                " WHERE s.IDPuestoCentro = h.IDPuestoCentro AND s.IDRiesgo = h.IDRiesgo AND s.Mostrar = 'S')",
                {idPuestoCentro});
    const int cambiadas = int(c->motor().filasCambiadas());
    t.confirmar();
    return cambiadas;
}
