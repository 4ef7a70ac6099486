#pragma once

// Ayudas de las pruebas de Reparar: huellas de archivos, lo que hay en la carpeta y datos de ejemplo.
#include "store/Conexion.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <sqlite3.h>

inline QByteArray huella(const QString& archivo)
{
    QFile f(archivo);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

inline QStringList archivosDe(const QString& carpeta)
{
    return QDir(carpeta).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

inline void escribirArchivo(const QString& archivo, const QByteArray& contenido)
{
    QFile f(archivo);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(contenido);
}

// Empresas con un centro cada una; los textos largos reparten las filas en muchas páginas.
inline void anadirEmpresas(const QString& conexion, int cuantas)
{
    auto c = Conexion::obtener(conexion);
    Transaccion t(c);
    for (int i = 1; i <= cuantas; ++i) {
        const QString nombre = QStringLiteral("Empresa %1").arg(i, 4, 10, QLatin1Char('0'));
        c->ejecutar("INSERT INTO Empresas (IDEmpresa, Nombre, Direccion) VALUES (?, ?, ?)",
                    {i, nombre, QString(200, QLatin1Char('d'))});
        c->ejecutar("INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, NombreCentro, Direccion) VALUES (?, ?, ?, ?)",
                    {i, i, "Centro de " + nombre, QString(200, QLatin1Char('c'))});
    }
    t.confirmar();
}

// Un número de una consulta sobre un archivo, abierto aparte del almacén.
inline qint64 numeroDe(const QString& archivo, const char* sql)
{
    sqlite3* bd = nullptr;
    sqlite3_open_v2(QFile::encodeName(archivo).constData(), &bd, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    qint64 valor = -1;
    if (sqlite3_prepare_v2(bd, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        valor = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(bd);
    return valor;
}
