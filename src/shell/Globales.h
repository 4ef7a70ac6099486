#pragma once

#include <QString>

// Estado que pasa de una ventana a otra. Son variables públicas a propósito: cada ventana
// lee y escribe las que le tocan y ninguna otra cosa se comparte entre ventanas.
extern QString gConexion;       // texto de conexión, se fija una vez al cargar Entrada
extern long gIDCentro;          // centro de trabajo en curso
extern long gIDEmpresa;         // empresa en curso
extern QString gPuestoActual;   // puesto elegido, tal como se ve en las listas ("0012 - Nombre")
extern QString gPendientes;     // puestos incompletos, para el aviso de los botones de avance
extern QString gTituloInforme;  // petición de informe: título,
extern QString gFicheroInforme; // plantilla
extern QString gFormulaInforme; // y fórmula de selección
extern bool gNuevaEmpresa;      // se está dando de alta una empresa
extern bool gNuevoCentro;       // se está dando de alta un centro
