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
#include "shell/OrigenDatos.h"
#include "shell/RegistroVentanas.h"

void RegistrarVentanasDelPrograma()
{
    registrarVentana<Empresa>(Ventana::Empresa);
    registrarVentana<ResumenCentros>(Ventana::ResumenCentros);
    registrarVentana<InicioEvaluacion>(Ventana::InicioEvaluacion);
    registrarVentana<Puestos>(Ventana::Puestos);
    registrarVentana<SeleccionaFactores>(Ventana::SeleccionaFactores);
    registrarVentana<SeleccionaRiesgos>(Ventana::SeleccionaRiesgos);
    registrarVentana<SeleccionaMedidas>(Ventana::SeleccionaMedidas);
    registrarVentana<ActuacionPreventiva>(Ventana::ActuacionPreventiva);
    registrarVentana<AccionPreventiva>(Ventana::AccionPreventiva);
    registrarVentana<OrigenDatos>(Ventana::OrigenDatos);
    // El visor y las dos páginas de cierre.
    RegistrarInformes();
}
