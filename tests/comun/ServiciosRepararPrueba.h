#pragma once

#include "PlataformaPrueba.h"

// Los servicios de prueba vistos como los usa Reparar: sus avisos, el orden de lo pedido y el
// reloj de arena con los nombres que leen sus pruebas. Terminar "termina" igual que en el
// programa principal (lanza ProgramaTerminado, que la ventana recoge).
class ServiciosRepararPrueba : public PlataformaPrueba
{
public:
    std::vector<Mensaje>& avisos = mensajes;
    QStringList& llamadas = ordenLlamadas;
    std::vector<bool>& cursores = relojes;
};
