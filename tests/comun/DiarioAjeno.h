#pragma once

#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <sqlite3.h>

// Deja junto a "archivo" el diario (-wal) de otra base de datos: una copia suya en la que se han
// borrado todas las empresas, con ese cambio aún sin pasar al archivo. Es lo que queda cuando se
// restaura una copia junto al diario de la base de datos de antes. Devuelve el diario puesto.
inline QByteArray PonerDiarioAjeno(const QString& archivo)
{
    QTemporaryDir otra;
    const QString copia = otra.filePath(QStringLiteral("Evaluacion.mdb"));
    if (!QFile::copy(archivo, copia))
        return {};
    sqlite3* bd = nullptr;
    QByteArray diario;
    if (sqlite3_open(QFile::encodeName(copia).constData(), &bd) == SQLITE_OK &&
        sqlite3_exec(bd, "PRAGMA wal_autocheckpoint = 0; PRAGMA foreign_keys = ON; DELETE FROM Empresas;", nullptr,
                     nullptr, nullptr) == SQLITE_OK) {
        QFile f(copia + "-wal");
        if (f.open(QIODevice::ReadOnly))
            diario = f.readAll();
    }
    sqlite3_close(bd);
    QFile destino(archivo + "-wal");
    if (diario.isEmpty() || !destino.open(QIODevice::WriteOnly) || destino.write(diario) != diario.size())
        return {};
    return diario;
}
