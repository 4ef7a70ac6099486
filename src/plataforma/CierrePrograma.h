#pragma once

// Tareas que hay que hacer antes de terminar en el acto. El programa acaba sin destructores
// globales (ni ventanas que pregunten), así que quien tiene algo que cerrar (las conexiones con su
// diario) lo apunta aquí. Cada tarea se apunta una vez aunque se pida varias.
void AlTerminarPrograma(void (*tarea)());

// Hace las tareas apuntadas, en el orden en que se apuntaron. Lo llaman los servicios de verdad
// justo antes de acabar el proceso.
void CerrarAntesDeTerminar();
