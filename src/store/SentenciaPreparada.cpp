#include "store/SentenciaPreparada.h"

#include "store/Conexion.h"

#include <sqlite3.h>
#include <utility>

SentenciaPreparada::SentenciaPreparada(Conexion& conexion, const QByteArray& sql)
    : st_(conexion.preparar(sql)), conexion_(&conexion)
{
}

SentenciaPreparada SentenciaPreparada::suelta(sqlite3* bd, const QByteArray& sql, int& rc)
{
    sqlite3_stmt* st = nullptr;
    rc = sqlite3_prepare_v2(bd, sql.constData(), int(sql.size()), &st, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(st);
        st = nullptr;
    }
    return SentenciaPreparada(st, nullptr);
}

SentenciaPreparada::~SentenciaPreparada()
{
    soltar();
}

SentenciaPreparada::SentenciaPreparada(SentenciaPreparada&& otra) noexcept
    : st_(std::exchange(otra.st_, nullptr)), conexion_(std::exchange(otra.conexion_, nullptr))
{
}

SentenciaPreparada& SentenciaPreparada::operator=(SentenciaPreparada&& otra) noexcept
{
    if (this != &otra) {
        soltar();
        st_ = std::exchange(otra.st_, nullptr);
        conexion_ = std::exchange(otra.conexion_, nullptr);
    }
    return *this;
}

void SentenciaPreparada::soltar()
{
    sqlite3_stmt* st = std::exchange(st_, nullptr);
    if (!st)
        return;
    if (conexion_)
        conexion_->devolver(st);
    else
        sqlite3_finalize(st);
    conexion_ = nullptr;
}
