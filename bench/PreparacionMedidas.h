#pragma once

// Lo que preparan los programas de medidas antes de medir: la base de escala que indica BASE_ESCALA,
// su copia de usar y tirar (con o sin una conexión SQLite cruda al lado), el puesto de en medio de
// la cartera, los riesgos del catálogo con que se llena un centro de prueba y el paso de las medidas.
#include "GeneradorEscala.h"
#include "store/Conexion.h"
#include "store/Recordset.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <sqlite3.h>
#include <stdexcept>
#include <utility>
#include <vector>

// Carpeta de la base de escala, la de BASE_ESCALA. Si allí no hay una base, lo dice y devuelve vacío.
inline QString LeerBaseEscala()
{
    const QString carpeta = qEnvironmentVariable("BASE_ESCALA");
    if (carpeta.isEmpty() || !QFile::exists(carpeta + "/Evaluacion.mdb")) {
        std::fprintf(stderr, "BASE_ESCALA debe ser la carpeta de una base hecha con generar_escala.\n");
        return {};
    }
    return carpeta;
}

// Copia de la base de escala en una carpeta de usar y tirar; al soltarla se cierran las conexiones.
struct CopiaEscala
{
    QTemporaryDir dir;
    QString conexion;

    // La copia se abre ya aquí, fuera de la medida: una base de escala hecha con una revisión
    // anterior del esquema se pone al día (con su copia de seguridad) al abrirla por primera vez, y
    // eso no es lo que cuesta la acción que se mide.
    explicit CopiaEscala(const QString& carpeta) : conexion(UsarCopiaEscala(carpeta, dir.path()))
    {
        Conexion::obtener(conexion);
        Conexion::cerrarTodas();
    }
    ~CopiaEscala() { Conexion::cerrarTodas(); }
    CopiaEscala(const CopiaEscala&) = delete;
    CopiaEscala& operator=(const CopiaEscala&) = delete;
};

// La copia, ya abierta por el programa, y una conexión SQLite cruda sobre el mismo archivo para
// medir lo mismo sin pasar por él.
struct CopiaEscalaCruda : CopiaEscala
{
    sqlite3* crudo = nullptr;

    explicit CopiaEscalaCruda(const QString& carpeta) : CopiaEscala(carpeta)
    {
        Conexion::obtener(conexion);
        if (sqlite3_open_v2(dir.filePath("Evaluacion.mdb").toUtf8().constData(), &crudo, SQLITE_OPEN_READWRITE,
                            nullptr) != SQLITE_OK) {
            sqlite3_close_v2(crudo);
            throw std::runtime_error("no se puede abrir la base de escala");
        }
        sqlite3_exec(crudo, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;", nullptr,
                     nullptr, nullptr);
    }
    // La cruda antes que las del programa.
    ~CopiaEscalaCruda() { sqlite3_close_v2(crudo); }
};

// Un puesto de un centro de en medio de la cartera, como si viniera de la ventana anterior. Con
// evaluado, el de en medio entre los que tienen filas en la evaluación.
struct PuestoEscala
{
    long long puesto = 0, centro = 0, empresa = 0;
    QString nombre;
};

inline PuestoEscala PuestoDeEnMedio(const QString& conexion, bool evaluado)
{
    Recordset rs;
    rs.open(evaluado ? "SELECT p.IDPuestoCentro, p.Puesto, p.IDCentro, c.IDEmpresa FROM PuestosCentros p JOIN "
                       "CentroTrabajo c ON c.IDCentro = p.IDCentro WHERE EXISTS (SELECT 1 FROM Evaluacion e WHERE "
                       "e.IDPuestoCentro = p.IDPuestoCentro) ORDER BY p.IDPuestoCentro LIMIT 1 OFFSET (SELECT "
                       "count(DISTINCT IDPuestoCentro) / 2 FROM Evaluacion)"
                     : "SELECT p.IDPuestoCentro, p.Puesto, p.IDCentro, c.IDEmpresa FROM PuestosCentros p JOIN "
                       "CentroTrabajo c ON c.IDCentro = p.IDCentro ORDER BY p.IDPuestoCentro LIMIT 1 OFFSET "
                       "(SELECT count(*) / 2 FROM PuestosCentros)",
            conexion);
    return {rs.value(0).toLongLong(), rs.value(2).toLongLong(), rs.value(3).toLongLong(), rs.value(1).toString()};
}

// Los primeros riesgos del catálogo, cada uno con un factor que lo tiene: lo que se evalúa en cada
// puesto de un centro de prueba. Pares (IDFactor, IDRiesgo).
inline std::vector<std::pair<long long, long long>> RiesgosDePrueba(const QString& conexion, int cuantos)
{
    Recordset rs;
    rs.open("SELECT IDFactor, IDRiesgo FROM RiesgosFactores GROUP BY IDRiesgo ORDER BY IDRiesgo LIMIT ?", conexion,
            {cuantos});
    std::vector<std::pair<long long, long long>> pares;
    for (; !rs.eof(); rs.moveNext())
        pares.emplace_back(rs.value(0).toLongLong(), rs.value(1).toLongLong());
    return pares;
}

// Pasa las medidas registradas con las opciones de la línea de órdenes (--benchmark_filter...).
inline void PasarMedidas(int& argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
