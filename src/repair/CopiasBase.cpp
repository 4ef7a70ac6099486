#include "repair/CopiasBase.h"

#include "plataforma/ArchivosSistema.h"
#include "repair/Compactacion.h"

#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QRegularExpression>
#include <algorithm>
#include <filesystem>
#include <tuple>
#include <vector>

namespace copias {
namespace {
const QString nombreBase = QStringLiteral("Evaluacion.mdb");
// La copia única de las versiones anteriores: no se sabe si está sana, así que no se toca.
const QString copiaAntigua = QStringLiteral("Evaluacion.bak");
// Un diario que se separa de su archivo lo estropea: va siempre con él.
const char* const diarios[] = {"-wal", "-journal"};

QString tr(const char* texto)
{
    return QObject::tr(texto);
}

// Sólo las sanas: " dañada" no encaja, y así ninguna dañada entra en la poda.
const QRegularExpression& patronSana()
{
    static const QRegularExpression patron(
        QStringLiteral("^Evaluacion (\\d{4}-\\d{2}-\\d{2} \\d{2}\\.\\d{2}\\.\\d{2})(?: \\((\\d+)\\))?\\.bak$"));
    return patron;
}

// Cambia de nombre el archivo y sus diarios; si algo falla, deja todo como estaba.
bool moverConDiarios(const QString& de, const QString& a, const Renombrar& renombrar)
{
    if (!renombrar(de, a))
        return false;
    QStringList movidos;
    for (const char* d : diarios) {
        if (!QFileInfo::exists(de + d))
            continue;
        if (!renombrar(de + d, a + d)) {
            for (const QString& m : movidos)
                renombrar(a + m, de + m);
            renombrar(a, de);
            return false;
        }
        movidos << QString::fromLatin1(d);
    }
    QFile::remove(de + "-shm");
    return true;
}
} // namespace

QString nombreLibre(const QDir& dir, const QDateTime& cuando, bool danada)
{
    const QString raiz = QStringLiteral("Evaluacion ") + cuando.toString(QStringLiteral("yyyy-MM-dd HH.mm.ss")) +
                         (danada ? QStringLiteral(" dañada") : QString());
    QString nombre = raiz + QStringLiteral(".bak");
    for (int n = 2; QFileInfo::exists(dir.filePath(nombre)) || QFileInfo::exists(dir.filePath(nombre + "-wal")); ++n)
        nombre = raiz + QStringLiteral(" (%1).bak").arg(n);
    return nombre;
}

QStringList sanas(const QDir& dir)
{
    struct Copia
    {
        QString nombre, fecha;
        int vez;
    };
    std::vector<Copia> lista;
    const QStringList nombres = dir.entryList({QStringLiteral("Evaluacion *.bak")}, QDir::Files | QDir::Hidden);
    for (const QString& nombre : nombres) {
        const QRegularExpressionMatch m = patronSana().match(nombre);
        if (m.hasMatch())
            lista.push_back({nombre, m.captured(1), m.captured(2).isEmpty() ? 1 : m.captured(2).toInt()});
    }
    std::sort(lista.begin(), lista.end(),
              [](const Copia& a, const Copia& b) { return std::tie(a.fecha, a.vez) > std::tie(b.fecha, b.vez); });
    QStringList resultado;
    for (const Copia& c : lista)
        resultado << c.nombre;
    return resultado;
}

QString masReciente(const QDir& dir)
{
    const QStringList lista = sanas(dir);
    if (!lista.isEmpty())
        return lista.front();
    return QFileInfo(dir.filePath(copiaAntigua)).isFile() ? copiaAntigua : QString();
}

void podar(const QDir& dir, const QString& guardar)
{
    const QStringList lista = sanas(dir);
    for (qsizetype i = CopiasSanasGuardadas; i < lista.size(); ++i)
        if (lista[i] != guardar)
            borrarConDiarios(dir.filePath(lista[i])); // si no se puede, se intenta en la próxima
}

bool borrarConDiarios(const QString& archivo)
{
    bool bien = !QFileInfo::exists(archivo) || QFile::remove(archivo);
    for (const char* d : diarios)
        bien = (!QFileInfo::exists(archivo + d) || QFile::remove(archivo + d)) && bien;
    QFile::remove(archivo + "-shm"); // memoria compartida del diario: se rehace sola
    return bien;
}

bool ponerEnSuSitio(const QDir& dir, const QString& nueva, const QString& copia, const Renombrar& renombrar,
                    QString& fallo)
{
    const QString base = dir.filePath(nombreBase);
    const auto nativo = [](const QString& r) { return QDir::toNativeSeparators(r); };
    if (QFileInfo::exists(copia)) {
        fallo = tr("ya existe «%1» y no se escribe encima").arg(nativo(copia));
        return false;
    }
    bool sinDiarios = true;
    for (const char* d : diarios)
        sinDiarios = sinDiarios && !QFileInfo::exists(base + d);
    std::error_code error;
    if (sinDiarios)
        std::filesystem::create_hard_link(RutaSistema(base), RutaSistema(copia), error);
    if (sinDiarios && !error) {
        if (!renombrar(nueva, base)) {
            QFile::remove(copia); // era otro nombre del archivo que sigue en su sitio
            fallo = tr("no se puede cambiar el nombre de «%1» a %2").arg(nativo(nueva), nombreBase);
            return false;
        }
        QFile::remove(base + "-shm"); // de la anterior: la nueva hace la suya
        return true;
    }
    if (!moverConDiarios(base, copia, renombrar)) {
        fallo = tr("no se puede cambiar el nombre de «%1» a «%2»").arg(nativo(base), QFileInfo(copia).fileName());
        return false;
    }
    if (!renombrar(nueva, base)) {
        moverConDiarios(copia, base, renombrar);
        fallo = tr("no se puede cambiar el nombre de «%1» a %2").arg(nativo(nueva), nombreBase);
        return false;
    }
    return true;
}
} // namespace copias
