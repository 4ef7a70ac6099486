#pragma once

#include "store/ErrorBD.h"

#include <functional>

// El error de la base que lanza una acción; uno con número 0 si no lanza ninguno.
inline ErrorBD errorDe(const std::function<void()>& accion)
{
    try {
        accion();
    } catch (const ErrorBD& e) {
        return e;
    }
    return ErrorBD(0, {});
}
