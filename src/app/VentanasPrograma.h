#pragma once

// Registra todas las ventanas del programa en el registro de ventanas, para que Entrada las abra.
// La lista es una: la usan el programa y las pruebas que recorren todas las ventanas.
void RegistrarVentanasDelPrograma();
