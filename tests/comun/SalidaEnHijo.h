#pragma once

// Salir de verdad de un programa (el proceso termina) se prueba en un proceso hijo, que es el
// mismo programa de pruebas arrancado con una variable de entorno. Tras salir, Evaluacion.mdb,
// copiado solo, debe tenerlo todo: ni diario ni memoria compartida al lado.
#include "store/Conexion.h"
#include "store/Recordset.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace salida {
inline const QString NombreEscrito = QStringLiteral("Escrita antes de salir");

// En el hijo: un conjunto con filas por leer (como una cuadrícula abierta) y una empresa escrita,
// así el diario tiene trabajo sin pasar al archivo cuando se pide la salida.
inline void escribirConDiarioPendiente(const QString& carpeta)
{
    const QString conexion = textoConexion(QDir::toNativeSeparators(carpeta));
    auto* abierto = new Recordset;
    abierto->open(QStringLiteral("SELECT * FROM Riesgos"), conexion);
    Recordset empresas;
    empresas.open(QStringLiteral("SELECT * FROM Empresas"), conexion);
    empresas.addNew();
    empresas.setValue(QStringLiteral("Nombre"), NombreEscrito);
    empresas.update();
}

// En el padre: arranca el hijo sobre la carpeta con «variable»=«carpeta|como», espera que salga
// con 0 y mira que el archivo copiado solo tenga la empresa escrita.
inline void salirYCopiarSoloElArchivo(const char* variable, const QString& carpeta, const QString& como)
{
    QProcess proceso;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.insert(QString::fromLatin1(variable), carpeta + '|' + como);
    entorno.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    proceso.setProcessEnvironment(entorno);
    proceso.setProcessChannelMode(QProcess::ForwardedChannels);
    proceso.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(proceso.waitForFinished(60000));
    QCOMPARE(proceso.exitStatus(), QProcess::NormalExit);
    QCOMPARE(proceso.exitCode(), 0);

    const QDir programa(carpeta);
    QVERIFY(!QFileInfo::exists(programa.filePath("Evaluacion.mdb-wal")));
    QVERIFY(!QFileInfo::exists(programa.filePath("Evaluacion.mdb-shm")));
    QTemporaryDir otra;
    QVERIFY(QFile::copy(programa.filePath("Evaluacion.mdb"), otra.filePath("Evaluacion.mdb")));
    QVERIFY(QFile::copy(programa.filePath("SYSTEM.mdw"), otra.filePath("SYSTEM.mdw")));
    Recordset rs;
    rs.open(QStringLiteral("SELECT IDEmpresa FROM Empresas WHERE Nombre = ?"),
            textoConexion(QDir::toNativeSeparators(otra.path())), {NombreEscrito});
    QVERIFY(!rs.eof());
    rs.close();
    Conexion::cerrarTodas();
}
} // namespace salida
