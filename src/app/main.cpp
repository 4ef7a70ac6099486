#include "companies/Empresa.h"
#include "evaluation/InicioEvaluacion.h"
#include "evaluation/Puestos.h"
#include "evaluation/SeleccionaFactores.h"
#include "evaluation/SeleccionaMedidas.h"
#include "evaluation/SeleccionaRiesgos.h"
#include "planning/AccionPreventiva.h"
#include "planning/ActuacionPreventiva.h"
#include "plataforma/PlataformaServicios.h"
#include "reports/Informes.h"
#include "shell/Presentation.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication aplicacion(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Evaluacion"));
    CargarTraduccionEspanola(aplicacion);

    ServiciosReales servicios;
    FijarServicios(&servicios);

    Empresa::registrar();
    InicioEvaluacion::registrar();
    Puestos::registrar();
    SeleccionaFactores::registrar();
    SeleccionaRiesgos::registrar();
    SeleccionaMedidas::registrar();
    ActuacionPreventiva::registrar();
    AccionPreventiva::registrar();
    RegistrarInformes();

    // La primera ventana es la presentación; la segunda presentación abre Entrada. Cada una se
    // descarga sola al dar paso a la siguiente.
    new Presentation;
    aplicacion.exec();
    // Se llegue aquí por donde se llegue, el final es el de siempre: cerrar todo y salir ya.
    Servicios().terminarPrograma();
}
