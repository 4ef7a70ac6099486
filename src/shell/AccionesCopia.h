#pragma once

#include <QString>

class QMdiArea;
class QWidget;

// Los dos botones de copias de la ventana principal, sobre la base de datos del texto de conexión
// de la sesión. Los avisos pasan por los servicios de la plataforma.

// Copia de seguridad comprobada de la base de datos, con el programa en marcha, en el archivo que
// elija el usuario (se propone "Copias/Evaluacion AAAA-MM-DD.mdb" junto al programa).
void HacerCopiaSeguridad(QWidget* ventana, const QString& conexion);

// Vuelta a una copia que elige el usuario: se examina, se pregunta, se cierran las ventanas del
// área y las conexiones, se pone en su sitio guardando antes la actual y se abre (una copia de una
// revisión anterior se pone al día al abrirla).
void RestaurarCopia(QWidget* ventana, QMdiArea* area, const QString& conexion);
