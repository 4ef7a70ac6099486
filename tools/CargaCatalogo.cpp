#include "CargaCatalogo.h"

#include "LectorCsv.h"
#include "store/Conexion.h"
#include "store/ErrorBD.h"
#include "store/Recordset.h"

#include <QDir>
#include <QSet>
#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>

namespace {
[[noreturn]] void fallo(const TablaCsv& t, const FilaCsv& f, const QString& motivo)
{
    throw std::runtime_error(QStringLiteral("%1:%2: %3").arg(t.archivo).arg(f.linea).arg(motivo).toStdString());
}

int entero(const TablaCsv& t, const FilaCsv& f, int campo)
{
    bool ok = false;
    const int n = f.campos[campo].toInt(&ok);
    if (!ok || n <= 0)
        fallo(t, f, QStringLiteral("«%1» no es un identificador válido (número entero positivo)").arg(f.campos[campo]));
    return n;
}

// Nombres que no se pueden repetir dentro de un archivo.
void unico(QSet<QString>& vistos, const TablaCsv& t, const FilaCsv& f, const QString& valor)
{
    if (vistos.contains(valor.toLower()))
        fallo(t, f, QStringLiteral("«%1» está repetido").arg(valor));
    vistos.insert(valor.toLower());
}
} // namespace

RecuentoCatalogo cargarCatalogo(Conexion& conexion, const QString& carpeta)
{
    const QDir dir(carpeta);
    const TablaCsv riesgos = leerCsv(dir.filePath("riesgos.csv"), {"IDRiesgo", "Riesgo"});
    const TablaCsv puestos = leerCsv(dir.filePath("puestos.csv"), {"Puesto", "Descripción"});
    const TablaCsv factores = leerCsv(dir.filePath("factores.csv"), {"IDFactor", "Factor"});
    const TablaCsv enlaces = leerCsv(dir.filePath("riesgos_factores.csv"), {"IDFactor", "IDRiesgo"});
    const TablaCsv medidas = leerCsv(dir.filePath("medidas.csv"), {"IDFactor", "IDRiesgo", "Medida"});
    const TablaCsv actuaciones = leerCsv(dir.filePath("actuaciones.csv"), {"Actuacion"});
    const TablaCsv habituales = leerCsv(dir.filePath("habituales.csv"), {"Puesto", "IDFactor"});
    const TablaCsv revision = leerCsv(dir.filePath("revision.csv"), {"Revision"});

    std::set<int> idRiesgos, idFactores;
    QSet<QString> nombres;
    for (const FilaCsv& f : riesgos.filas) {
        if (!idRiesgos.insert(entero(riesgos, f, 0)).second)
            fallo(riesgos, f, QStringLiteral("el código %1 está repetido").arg(f.campos[0]));
        unico(nombres, riesgos, f, f.campos[1]);
    }
    nombres.clear();
    for (const FilaCsv& f : puestos.filas)
        unico(nombres, puestos, f, f.campos[0]);
    nombres.clear();
    for (const FilaCsv& f : factores.filas) {
        if (!idFactores.insert(entero(factores, f, 0)).second)
            fallo(factores, f, QStringLiteral("el identificador %1 está repetido").arg(f.campos[0]));
        unico(nombres, factores, f, f.campos[1]);
    }
    std::map<std::pair<int, int>, int> medidasPorEnlace;
    std::set<int> factoresConRiesgo;
    for (const FilaCsv& f : enlaces.filas) {
        const int factor = entero(enlaces, f, 0), riesgo = entero(enlaces, f, 1);
        if (!idFactores.count(factor))
            fallo(enlaces, f, QStringLiteral("el factor %1 no está en factores.csv").arg(factor));
        if (!idRiesgos.count(riesgo))
            fallo(enlaces, f, QStringLiteral("el riesgo %1 no está en riesgos.csv").arg(riesgo));
        if (!medidasPorEnlace.emplace(std::pair(factor, riesgo), 0).second)
            fallo(enlaces, f, QStringLiteral("el enlace %1-%2 está repetido").arg(factor).arg(riesgo));
        factoresConRiesgo.insert(factor);
    }
    for (const FilaCsv& f : factores.filas)
        if (!factoresConRiesgo.count(f.campos[0].toInt()))
            fallo(factores, f, QStringLiteral("el factor no da lugar a ningún riesgo en riesgos_factores.csv"));
    std::map<std::pair<int, int>, QSet<QString>> textos;
    for (const FilaCsv& f : medidas.filas) {
        const std::pair clave(entero(medidas, f, 0), entero(medidas, f, 1));
        auto it = medidasPorEnlace.find(clave);
        if (it == medidasPorEnlace.end())
            fallo(medidas, f,
                  QStringLiteral("el enlace %1-%2 no está en riesgos_factores.csv").arg(clave.first).arg(clave.second));
        ++it->second;
        unico(textos[clave], medidas, f, f.campos[2]);
    }
    nombres.clear();
    for (const FilaCsv& f : actuaciones.filas)
        unico(nombres, actuaciones, f, f.campos[0]);

    // Cada puesto, con sus factores habituales; se enlazan por el nombre, que es lo que el usuario
    // elige y lo que se conserva de una revisión a otra.
    std::map<QString, int> numeroPuesto;
    for (const FilaCsv& f : puestos.filas)
        numeroPuesto.emplace(f.campos[0], int(numeroPuesto.size()) + 1);
    std::set<std::pair<int, int>> parejas;
    std::set<int> puestosConFactores;
    for (const FilaCsv& f : habituales.filas) {
        const auto p = numeroPuesto.find(f.campos[0]);
        if (p == numeroPuesto.end())
            fallo(habituales, f, QStringLiteral("el puesto «%1» no está en puestos.csv").arg(f.campos[0]));
        const int factor = entero(habituales, f, 1);
        if (!idFactores.count(factor))
            fallo(habituales, f, QStringLiteral("el factor %1 no está en factores.csv").arg(factor));
        if (!parejas.emplace(p->second, factor).second)
            fallo(habituales, f, QStringLiteral("el factor %1 está repetido en el puesto").arg(factor));
        puestosConFactores.insert(p->second);
    }
    for (const FilaCsv& f : puestos.filas)
        if (!puestosConFactores.count(numeroPuesto.at(f.campos[0])))
            fallo(puestos, f, QStringLiteral("el puesto no tiene factores habituales en habituales.csv"));
    if (revision.filas.size() != 1)
        fallo(revision, revision.filas.empty() ? FilaCsv{1, {}} : revision.filas[1],
              QStringLiteral("debe tener una sola fila con la revisión del catálogo"));
    const int numeroRevision = entero(revision, revision.filas.front(), 0);

    for (const auto& [enlace, cuantas] : medidasPorEnlace)
        if (cuantas < 2) {
            const auto f = std::find_if(enlaces.filas.begin(), enlaces.filas.end(), [&](const FilaCsv& e) {
                return e.campos[0].toInt() == enlace.first && e.campos[1].toInt() == enlace.second;
            });
            fallo(enlaces, *f,
                  QStringLiteral("el enlace tiene %1 medidas en medidas.csv y necesita al menos dos").arg(cuantas));
        }

    // Todo o nada: un fallo a mitad deja la base de datos sin catálogo.
    std::shared_ptr<Conexion> c(&conexion, [](Conexion*) {});
    Transaccion t(c);
    for (const FilaCsv& f : riesgos.filas)
        conexion.ejecutar("INSERT INTO Riesgos (IDRiesgo, Riesgo) VALUES (?, ?)", {f.campos[0].toInt(), f.campos[1]});
    for (const FilaCsv& f : puestos.filas)
        conexion.ejecutar("INSERT INTO Puestos (IDPuesto, Puesto, \"Descripción\") VALUES (?, ?, ?)",
                          {numeroPuesto.at(f.campos[0]), f.campos[0], f.campos[1]});
    for (const FilaCsv& f : factores.filas)
        conexion.ejecutar("INSERT INTO FactoresRiesgos (IDFactor, Factor) VALUES (?, ?)",
                          {f.campos[0].toInt(), f.campos[1]});
    for (const FilaCsv& f : enlaces.filas)
        conexion.ejecutar("INSERT INTO RiesgosFactores (IDFactor, IDRiesgo) VALUES (?, ?)",
                          {f.campos[0].toInt(), f.campos[1].toInt()});
    for (const FilaCsv& f : medidas.filas)
        conexion.ejecutar("INSERT INTO Medidas (IDFactor, IDRiesgo, Medida) VALUES (?, ?, ?)",
                          {f.campos[0].toInt(), f.campos[1].toInt(), f.campos[2]});
    for (const FilaCsv& f : actuaciones.filas)
        conexion.ejecutar("INSERT INTO Actuaciones (Actuacion, Entregada) VALUES (?, ?)", {f.campos[0], f.campos[0]});
    for (const auto& [puesto, factor] : parejas)
        conexion.ejecutar("INSERT INTO FactoresHabituales (IDPuesto, IDFactor) VALUES (?, ?)", {puesto, factor});
    conexion.ejecutar("UPDATE RevisionCatalogo SET Revision = ?", {numeroRevision});
    t.confirmar();

    RecuentoCatalogo r;
    r.riesgos = int(riesgos.filas.size());
    r.puestos = int(puestos.filas.size());
    r.factores = int(factores.filas.size());
    r.enlaces = int(enlaces.filas.size());
    r.medidas = int(medidas.filas.size());
    r.actuaciones = int(actuaciones.filas.size());
    r.habituales = int(habituales.filas.size());
    r.revision = numeroRevision;
    return r;
}
