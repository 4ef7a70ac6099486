#pragma once

// Entorno de las pruebas de la ventana de empresas en un área MDI: el de las ventanas
// (EntornoVentanas) con la ventana manejada como lo hace una persona (ManejoEmpresa). La clase de
// prueba hereda de él (después de QObject), llama a preparar() en init() y a liberar() en
// cleanup(); abrir() pone la ventana en el área, a la vista y activa.
#include "EntornoVentanas.h"
#include "ManejoEmpresa.h"

#include <QMdiSubWindow>

struct EntornoEmpresa : EntornoVentanas, ManejoEmpresa
{
    void abrir()
    {
        ventana = new Empresa(sesion);
        QMdiSubWindow* marco = area->addSubWindow(ventana);
        marco->show();
        area->setActiveSubWindow(marco);
        QVERIFY(QTest::qWaitForWindowActive(area.get()));
    }

    // El área se lleva la ventana.
    void liberar()
    {
        EntornoVentanas::liberar();
        ventana = nullptr;
    }
};
