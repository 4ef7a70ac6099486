#pragma once

#include <QPixmap>

// Logotipos de las dos ventanas de presentación, dibujados aquí mismo para no depender de
// archivos de imagen. Cada uno se pide por su lado en píxeles lógicos; se dibuja a doble
// densidad para que se vea nítido en pantallas de alta resolución.
enum class Logo
{
    Aplicacion,       // la propia aplicación: la hoja de evaluación con su matriz de riesgo
    PlanRegional,     // el plan regional de prevención en el que se enmarca la publicación
    OrganismoPublico, // el organismo público de seguridad y salud en el trabajo
    Asociacion,       // la asociación del comercio que la difunde
    Prevencion        // el sello de prevención de riesgos laborales
};

QPixmap DibujarLogo(Logo logo, int lado);
