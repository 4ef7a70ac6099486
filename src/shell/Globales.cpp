#include "Globales.h"

QString gConexion;
long gIDCentro = 0;
long gIDEmpresa = 0;
QString gPuestoActual;
QString gPendientes;
QString gTituloInforme;
QString gFicheroInforme;
QString gFormulaInforme;
bool gNuevaEmpresa = false;
bool gNuevoCentro = false;
