#pragma once

#include "store/Conexion.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// Carpeta de programa de usar y tirar con su propia copia de la base de datos entregada.
class CopiaPrograma
{
public:
    CopiaPrograma()
    {
        const QString origen = QStringLiteral(CARPETA_ENTREGA);
        for (const char* nombre : {"Evaluacion.mdb", "SYSTEM.mdw"})
            QFile::copy(origen + "/" + nombre, carpeta() + "/" + nombre);
    }
    ~CopiaPrograma() { Conexion::cerrarTodas(); }

    QString carpeta() const { return dir_.path(); }
    QString ruta(const QString& nombre) const { return dir_.filePath(nombre); }
    QString conexion() const { return textoConexion(QDir::toNativeSeparators(carpeta())); }

private:
    QTemporaryDir dir_;
};
