#include "app/VentanasPrograma.h"

#include "companies/Empresa.h"
#include "companies/ResumenCentros.h"
#include "evaluation/InicioEvaluacion.h"
#include "evaluation/Puestos.h"
#include "evaluation/SeleccionaFactores.h"
#include "evaluation/SeleccionaMedidas.h"
#include "evaluation/SeleccionaRiesgos.h"
#include "planning/AccionPreventiva.h"
#include "planning/ActuacionPreventiva.h"
#include "reports/Informes.h"
#include "shell/RegistroVentanas.h"

void RegistrarVentanasDelPrograma()
{
    registrarVentana<Empresa>();
    registrarVentana<ResumenCentros>();
    registrarVentana<InicioEvaluacion>();
    registrarVentana<Puestos>();
    registrarVentana<SeleccionaFactores>();
    registrarVentana<SeleccionaRiesgos>();
    registrarVentana<SeleccionaMedidas>();
    registrarVentana<ActuacionPreventiva>();
    registrarVentana<AccionPreventiva>();
    // El visor y las dos páginas de cierre.
    RegistrarInformes();
}
