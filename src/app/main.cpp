#include "AccionPreventiva.h"
#include "ActuacionPreventiva.h"
#include "Empresa.h"
#include "InicioEvaluacion.h"
#include "Informes.h"
#include "PlataformaServicios.h"
#include "Presentation.h"
#include "Puestos.h"
#include "SeleccionaFactores.h"
#include "SeleccionaMedidas.h"
#include "SeleccionaRiesgos.h"

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
