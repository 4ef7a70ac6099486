#include "AccionPreventiva.h"
#include "ActuacionPreventiva.h"
#include "Empresa.h"
#include "Entrada.h"
#include "InicioEvaluacion.h"
#include "Informes.h"
#include "PlataformaServicios.h"
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

    Entrada entrada;
    entrada.show();
    aplicacion.exec();
    // Se llegue aquí por donde se llegue, el final es el de siempre: cerrar todo y salir ya.
    Servicios().terminarPrograma();
}
