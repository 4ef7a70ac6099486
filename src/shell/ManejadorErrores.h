#pragma once

#include <QString>
#include <functional>
#include <vector>

class QLabel;
class QWidget;
class Recordset;

// El manejador de errores común. Una rutina se escribe como una lista de pasos; el ejecutor los
// corre en orden y, si uno falla, decide por el número de error qué hacer: seguir con el
// siguiente, repetir el mismo, ofrecer la reparación o terminar el programa.
using Paso = std::function<void()>;

// Veces que se intenta un paso que falla por sintaxis (3075) antes de avisar y seguir.
constexpr int IntentosSintaxis = 5;

// Forma de las rutinas de carga de ventana: 3049 ofrece reparar; cualquier otro, aviso y seguir.
void EjecutarCarga(const std::vector<Paso>& pasos, QWidget* ventana = nullptr);

// Forma de las rutinas que presentan datos (Colocar y parecidas). "principal" es el conjunto de
// registros de la rutina y "contador" la etiqueta de posición de la ventana, si los hay.
void EjecutarPresentacion(const std::vector<Paso>& pasos, Recordset* principal = nullptr, QLabel* contador = nullptr,
                          QWidget* ventana = nullptr);

// Pasos cuyos errores no se avisan: se sigue con el siguiente.
void EjecutarSinAviso(const std::vector<Paso>& pasos);

// Forma de las ventanas que se abren aunque falle algo (el visor de informes): un paso que falla
// no detiene los demás, y al acabar se avisa del primer fallo, el que explica los que le siguen.
// 3049 ofrece reparar; cualquier otro, el mensaje general. Devuelve false si hubo fallo.
bool EjecutarAvisandoAlFinal(const std::vector<Paso>& pasos, QWidget* ventana = nullptr);

// Envuelve el cuerpo de una ranura: ninguna excepción vuelve al bucle de eventos de Qt.
// Un error que llega hasta aquí se avisa con el mensaje general.
void ProtegerRanura(const std::function<void()>& cuerpo, QWidget* ventana = nullptr);

template <typename F> auto Ranura(F cuerpo, QWidget* ventana = nullptr)
{
    return [cuerpo = std::move(cuerpo), ventana](auto&&...) { ProtegerRanura(cuerpo, ventana); };
}

// "Se ha producido el error: N\n\rDescripción: ..."
QString TextoErrorGeneral(long numero, const QString& descripcion);
void MostrarErrorGeneral(long numero, const QString& descripcion, QWidget* ventana = nullptr);

// Pregunta si se repara la base de datos; con Sí arranca Reparar. En los dos casos termina.
[[noreturn]] void OfrecerReparacion(QWidget* ventana = nullptr);
// Arranca Reparar de la carpeta del programa y termina, haya arrancado o no.
[[noreturn]] void IniciarReparacionYTerminar();
