#pragma once

#include <libpq-fe.h>

// Las funciones SQL que las plantillas de los informes usan con el mismo nombre y el mismo resultado
// que en el archivo: instr, printf (los formatos "%0Nd" y "%.Nf") y date con sus modificadores. El
// archivo las trae de serie; en el servidor se crean (o se reemplazan por las de esta versión del
// programa) al abrir la base, tras el cerrojo del esquema. Si no se pueden crear (el usuario no es
// dueño de las de otra versión), la base se abre igual: sólo los informes dirán que falta la función.
void PonerFuncionesInformes(PGconn* c);
