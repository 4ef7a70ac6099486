#pragma once

// Una base del programa en el servidor de pruebas, con su texto de conexión del programa
// ("Provider=PostgreSQL;Data Source=servidor:puerto/base;User ID=usuario"), para abrirla con
// Conexion::obtener o un Recordset como se abre el archivo. La contraseña va donde la busca libpq.
#include "BaseServidorPrueba.h"
#include "plataforma/ConexionServidor.h"

#include <QRegularExpression>

class BaseProgramaServidor
{
public:
    BaseProgramaServidor()
    {
        // El archivo de pruebas trae "host=... port=... dbname=... user=... password=...".
        DatosServidor d;
        QString clave;
        const QString libpq = BaseServidorPrueba::textoServidor();
        for (const QString& pieza : libpq.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
            const QString k = pieza.section('=', 0, 0), v = pieza.section('=', 1);
            if (k == QLatin1String("host"))
                d.servidor = v;
            else if (k == QLatin1String("port"))
                d.puerto = v.toInt();
            else if (k == QLatin1String("user"))
                d.usuario = v;
            else if (k == QLatin1String("password"))
                clave = v;
        }
        d.base = base_.texto().section(QStringLiteral("dbname="), -1);
        qputenv("PGPASSWORD", clave.toUtf8());
        texto_ = TextoConexionServidor(d);
    }

    // Texto de conexión del programa para esta base.
    const QString& texto() const { return texto_; }

private:
    BaseServidorPrueba base_;
    QString texto_;
};
