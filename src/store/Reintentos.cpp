#include "store/Reintentos.h"

#include "store/Conexion.h"
#include "store/ErrorBD.h"

#include <QThread>

void conReintentos(Conexion& conexion, const std::function<void()>& accion)
{
    if (conexion.enTransaccion()) {
        accion();
        return;
    }
    for (int intento = 1;; ++intento) {
        try {
            accion();
            return;
        } catch (const ErrorBD& e) {
            if (e.numero() != NumeroError::BaseOcupada || intento >= IntentosOcupada)
                throw;
        }
        // El otro suele acabar enseguida: 20, 40, 80 ms...
        QThread::msleep(10UL << intento);
    }
}
