#include "app/VentanasPrograma.h"
#include "plataforma/PlataformaServicios.h"
#include "shell/Presentation.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication aplicacion(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Evaluacion"));
    CargarTraduccionEspanola(aplicacion);

    ServiciosReales servicios;
    FijarServicios(&servicios);

    RegistrarVentanasDelPrograma();

    // La primera ventana es la presentación; la segunda presentación abre Entrada. Cada una se
    // descarga sola al dar paso a la siguiente.
    new Presentation;
    aplicacion.exec();
    // Se llegue aquí por donde se llegue, el final es el de siempre: cerrar todo y salir ya.
    Servicios().terminarPrograma();
}
