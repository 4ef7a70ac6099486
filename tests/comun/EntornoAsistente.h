#pragma once

// Entorno de las pruebas de las ventanas del asistente de evaluación: el de las ventanas en un área
// MDI (EntornoVentanas) y una empresa con un centro elegidos como si vinieran de la ventana de
// empresas. La clase de prueba hereda de él (después de QObject) y llama a preparar() en init() y a
// liberar() en cleanup().
#include "Datos.h"
#include "EntornoVentanas.h"
#include "evaluation/DatosPuesto.h"
#include "evaluation/GeneracionRiesgos.h"
#include "store/Recordset.h"

#include <QApplication>
#include <QMouseEvent>
#include <QStringList>
#include <QWidget>

struct EntornoAsistente : EntornoVentanas
{
    long long empresa = 0, centro = 0;

    void preparar(int alto = 700)
    {
        EntornoVentanas::preparar(1100, alto);
        empresa = datos::empresa(cx, "Talleres Prueba");
        centro = datos::centro(cx, empresa, "Polígono Sur 4");
        sesion.idEmpresa = empresa;
        sesion.idCentro = centro;
    }

    // Una ventana vacía con ese nombre en lugar de la de verdad: basta para ver a dónde lleva un botón.
    void sustituir(Ventana ventana)
    {
        RegistroVentanas::registrarFabrica(ventana, [ventana](Sesion&) {
            auto* w = new QWidget;
            w->setObjectName(NombreVentana(ventana));
            return w;
        });
        sustitutas_ << ventana;
    }

    void liberar()
    {
        EntornoVentanas::liberar();
        for (Ventana ventana : sustitutas_)
            RegistroVentanas::quitarFabrica(ventana);
        sustitutas_.clear();
    }

    long long nuevoPuesto(const QString& nombre)
    {
        NuevoPuesto p;
        p.idCentro = centro;
        p.idEmpresa = empresa;
        p.puesto = nombre;
        return AnadirPuestoConFactores(cx, p);
    }

    // Marca el factor del catálogo en el puesto, como la casilla de la ventana de factores.
    void marcar(long long puesto, int idFactor)
    {
        Recordset rs;
        rs.open("select IDEvaluacionCrear from FactoresSeleccionarEvaluacion where IDPuestoCentro = ? and IDFactor = ?",
                cx, {puesto, idFactor});
        MarcarFactor(cx, {rs.value(0).toLongLong(), idFactor, puesto, empresa, centro});
    }

    // El puntero pasa por ese punto del control (para las ayudas emergentes de las celdas).
    static void moverPuntero(QWidget* w, const QPoint& p)
    {
        QMouseEvent e(QEvent::MouseMove, p, w->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }

private:
    QList<Ventana> sustitutas_;
};
