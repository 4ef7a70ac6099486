#include "plataforma/CierrePrograma.h"

#include <algorithm>
#include <vector>

namespace {
std::vector<void (*)()>& tareas()
{
    static std::vector<void (*)()> apuntadas;
    return apuntadas;
}
} // namespace

void AlTerminarPrograma(void (*tarea)())
{
    auto& t = tareas();
    if (tarea && std::find(t.begin(), t.end(), tarea) == t.end())
        t.push_back(tarea);
}

void CerrarAntesDeTerminar()
{
    // Una tarea que falla no impide las demás: se va a terminar igual.
    for (auto* tarea : tareas()) {
        try {
            tarea();
        } catch (...) {
        }
    }
}
