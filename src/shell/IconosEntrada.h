#pragma once

#include <QIcon>

// Dibujos propios de los botones de imagen de Entrada (y la ayuda, de todas las ventanas), hechos
// aquí mismo para no depender de archivos de imagen.
namespace IconosEntrada {
// Lado de los iconos, en píxeles lógicos.
constexpr int Lado = 40;

QIcon empresas();
QIcon antesDeEmpezar();
QIcon conceptos();
QIcon utilidades();
// Copia de seguridad y restauración: la base de datos con una flecha que sale o que vuelve.
QIcon copia();
QIcon restaurar();
// Origen de datos: la base de datos con dos equipos que la comparten.
QIcon origenDatos();
QIcon lectorPdf();
QIcon cerrar();
// Ayuda: una interrogación blanca en un círculo azul, que no se confunde con el aspa roja de cerrar.
QIcon ayuda();
// Los de la vista previa que el estilo no distingue: la impresora (el estilo da el mismo disquete
// que a exportar) y la lupa con "+" o "-" (el estilo da flechas, que parecen de pasar de página).
QIcon imprimir();
QIcon lupa(bool ampliar);
} // namespace IconosEntrada
