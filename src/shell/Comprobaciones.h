#pragma once

// Comprobaciones de que la evaluación de un centro está completa en cada paso. Cada una reescribe
// gPendientes con la lista de puestos incompletos, sea cual sea su resultado, y devuelve true
// cuando no falta nada. Los errores del almacén pasan al manejador de quien llama.
bool ComprobarFactores(long idEmpresa, long idCentro);
bool ComprobarRiesgos(long idEmpresa, long idCentro);
bool ComprobarMedidas(long idEmpresa, long idCentro);
