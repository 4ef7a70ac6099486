#pragma once

#include "ServiciosReparar.h"

#include <QStringList>
#include <vector>

// Servicios para las pruebas: apuntan lo que se pide y no abren ni arrancan nada.
class ServiciosRepararPrueba : public ServiciosReparar
{
public:
    struct Aviso
    {
        QString texto;
        QString titulo;
    };

    void aviso(QWidget*, const QString& texto, const QString& titulo) override
    {
        avisos.push_back({texto, titulo});
        llamadas << QStringLiteral("aviso");
    }
    bool iniciarPrograma(const QString& ruta) override
    {
        programas << ruta;
        llamadas << QStringLiteral("iniciarPrograma");
        return iniciarFunciona;
    }
    void terminarPrograma() override
    {
        ++terminado;
        llamadas << QStringLiteral("terminarPrograma");
    }
    void cursorEspera(bool activo) override { cursores.push_back(activo); }

    std::vector<Aviso> avisos;
    QStringList programas;
    QStringList llamadas;
    std::vector<bool> cursores;
    int terminado = 0;
    bool iniciarFunciona = true;
};
