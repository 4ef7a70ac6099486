#pragma once

// Una base de datos vacía y propia en el servidor de pruebas, que se borra al terminar. El texto
// de conexión del servidor está en el archivo que da EVALUACION_SERVIDOR_PRUEBAS.
#include "store/postgres/ConexionPg.h"

#include <QCoreApplication>
#include <QFile>
#include <atomic>
#include <gtest/gtest.h>
#include <ostream>
#include <vector>

class BaseServidorPrueba
{
public:
    BaseServidorPrueba()
    {
        static std::atomic<int> numero = 0;
        nombre_ = QStringLiteral("prueba_%1_%2").arg(QCoreApplication::applicationPid()).arg(++numero);
        ConexionPg admin = conectarPg(textoServidor());
        ejecutarPg(admin.get(), QStringLiteral("CREATE DATABASE %1").arg(nombre_));
    }
    ~BaseServidorPrueba()
    {
        try {
            ConexionPg admin = conectarPg(textoServidor());
            ejecutarPg(admin.get(), QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(nombre_));
        } catch (...) {
        }
    }
    BaseServidorPrueba(const BaseServidorPrueba&) = delete;
    BaseServidorPrueba& operator=(const BaseServidorPrueba&) = delete;

    // Texto de conexión de esta base.
    QString texto() const { return textoServidor() + QStringLiteral(" dbname=") + nombre_; }
    ConexionPg conectar() const { return conectarPg(texto()); }

    static QString textoServidor()
    {
        QFile f(QString::fromLocal8Bit(qgetenv("EVALUACION_SERVIDOR_PRUEBAS")));
        if (!f.open(QIODevice::ReadOnly))
            ADD_FAILURE() << "sin servidor de pruebas: falta EVALUACION_SERVIDOR_PRUEBAS o su archivo";
        return QString::fromUtf8(f.readAll()).trimmed();
    }

private:
    QString nombre_;
};

// GoogleTest escribe los textos en claro al fallar una comparación.
inline void PrintTo(const QString& texto, std::ostream* salida)
{
    *salida << '"' << texto.toStdString() << '"';
}

// La primera celda de una consulta, como texto.
inline QString celdaPg(PGconn* c, const QString& sql, const QStringList& valores = {})
{
    const ResultadoPg r = ejecutarPg(c, sql, valores);
    return PQntuples(r.get()) > 0 ? valorPg(r.get(), 0, 0) : QString();
}

// Todas las filas de una consulta, cada celda como texto.
inline std::vector<QStringList> filasPg(PGconn* c, const QString& sql, const QStringList& valores = {})
{
    const ResultadoPg r = ejecutarPg(c, sql, valores);
    std::vector<QStringList> filas;
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        QStringList fila;
        for (int j = 0; j < PQnfields(r.get()); ++j)
            fila << valorPg(r.get(), i, j);
        filas.push_back(fila);
    }
    return filas;
}
