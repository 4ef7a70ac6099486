// Plantillas de informe de la carpeta Informes (el usuario puede editarlas): cualquier texto se
// lee o se rechaza con ErrorBD, y lo que se acepta cumple lo que el motor da por hecho.
#include "reports/PlantillaInforme.h"
#include "store/ErrorBD.h"

#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t tamano)
{
    const QString texto = QString::fromUtf8(reinterpret_cast<const char*>(datos), qsizetype(tamano));
    try {
        const PlantillaInforme p = PlantillaInforme::analizar(texto);
        for (size_t i = 0; i < p.consultas.size(); ++i) {
            const ConsultaPlantilla& c = p.consultas[i];
            if (c.nombre.isEmpty() || c.sql.trimmed().isEmpty())
                std::abort();
            if (c.padre.isEmpty())
                continue;
            // El padre es una consulta anterior y hay campos con que colgar las filas.
            if (c.claves.isEmpty() || std::none_of(p.consultas.begin(), p.consultas.begin() + qsizetype(i),
                                                   [&](const ConsultaPlantilla& o) { return o.nombre == c.padre; }))
                std::abort();
        }
        for (const TotalPlantilla& t : p.totales)
            if (t.consulta.isEmpty() || t.campo.isEmpty() || t.nombre.isEmpty())
                std::abort();
    } catch (const ErrorBD& e) {
        if (e.numero() != NumeroError::ErrorGeneral || e.descripcion().isEmpty())
            std::abort();
    }
    return 0;
}
