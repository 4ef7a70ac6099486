#include "app/VentanasPrograma.h"
#include "shell/RegistroVentanas.h"

#include <gtest/gtest.h>

// Una ventana que falta en la lista del programa no da error: sus botones no hacen nada. Cada
// tipo de ventana ha de tener quien la cree.
TEST(VentanasPrograma, TodoTipoDeVentanaTieneSuFabrica)
{
    for (int i = 0; i <= int(Ventana::OrigenDatos); ++i)
        RegistroVentanas::quitarFabrica(Ventana(i));
    RegistrarVentanasDelPrograma();
    for (int i = 0; i <= int(Ventana::OrigenDatos); ++i)
        EXPECT_TRUE(RegistroVentanas::hayFabrica(Ventana(i))) << NombreVentana(Ventana(i)).toStdString();
}
