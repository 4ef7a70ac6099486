#include "repair/OrigenSalvamento.h"

#include "repair/ArchivoSqlite.h"
#include "store/ErrorBD.h"
#include "store/MapaErrores.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <algorithm>
#include <sqlite3.h>

namespace salvamento {

Origen::Origen(const QString& archivo, const QString& copia) : copia_(copia)
{
    borrar();
    if (!QFile::copy(archivo, copia_) ||
        (QFileInfo::exists(archivo + "-wal") && !QFile::copy(archivo + "-wal", copia_ + "-wal"))) {
        borrar();
        throw ErrorBD(NumeroError::ErrorDisco,
                      QObject::tr("No se puede hacer una copia de «%1» para leerla. Compruebe el espacio libre "
                                  "en el disco.")
                          .arg(QDir::toNativeSeparators(archivo)));
    }
    rehacerCabecera();
    completar();
    const QByteArray nombre = QDir::toNativeSeparators(copia_).toUtf8();
    if (sqlite3_open_v2(nombre.constData(), &bd_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(bd_);
        bd_ = nullptr;
    } else {
        sqlite3_exec(bd_, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
        sqlite3_exec(bd_, "PRAGMA query_only = 1", nullptr, nullptr, nullptr);
    }
    QFile f(copia_);
    if (f.open(QIODevice::ReadOnly))
        paginas_ = leidos_ < 0 ? f.readAll() : f.read(leidos_);
}

Origen::~Origen()
{
    sqlite3_close_v2(bd_);
    borrar();
}

void Origen::borrar()
{
    for (const char* resto : {"", "-wal", "-shm", "-journal"})
        QFile::remove(copia_ + resto);
}

void Origen::rehacerCabecera()
{
    QFile f(copia_);
    if (!f.open(QIODevice::ReadWrite))
        return;
    const QByteArray datos = f.readAll();
    if (datos.size() < 512 || ArchivoSqlite::cabeceraSana(datos))
        return;
    const QByteArray cabecera = ArchivoSqlite::rehacerCabecera(datos, QFileInfo(copia_ + "-wal").size() > 0);
    if (cabecera.isEmpty())
        return;
    f.seek(0);
    rehecha_ = f.write(cabecera) == cabecera.size();
}

void Origen::completar()
{
    QFile f(copia_);
    if (!f.open(QIODevice::ReadWrite))
        return;
    const QByteArray cabecera = f.read(100);
    if (cabecera.size() < 100 || !cabecera.startsWith(QByteArray("SQLite format 3\0", 16)))
        return;
    const auto byte = [&](int i) { return qint64(quint8(cabecera[i])); };
    qint64 pagina = (byte(16) << 8) | byte(17);
    if (pagina == 1)
        pagina = 65536;
    if (pagina < 512 || (pagina & (pagina - 1)) != 0)
        return;
    const qint64 paginas = (byte(28) << 24) | (byte(29) << 16) | (byte(30) << 8) | byte(31);
    const qint64 enteras = (f.size() + pagina - 1) / pagina * pagina;
    const qint64 dice = cabecera.mid(24, 4) == cabecera.mid(92, 4) ? paginas * pagina : 0;
    leidos_ = enteras;
    // Un número de páginas estropeado no debe pedir un archivo de terabytes.
    const qint64 tamano = std::min(std::max(enteras, dice), enteras + (qint64(1) << 30));
    if (tamano > f.size())
        f.resize(tamano);
}

} // namespace salvamento
