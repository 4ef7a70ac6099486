#include "store/SentenciaPreparada.h"

#include "store/Conexion.h"
#include "store/MotorSqlite.h"

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
        return {};
    }
    return SentenciaPreparada(std::make_unique<SentenciaSqlite>(st, nullptr), nullptr);
}

SentenciaPreparada::~SentenciaPreparada()
{
    soltar();
}

SentenciaPreparada::SentenciaPreparada(SentenciaPreparada&& otra) noexcept
    : st_(std::move(otra.st_)), conexion_(std::exchange(otra.conexion_, nullptr))
{
}

SentenciaPreparada& SentenciaPreparada::operator=(SentenciaPreparada&& otra) noexcept
{
    if (this != &otra) {
        soltar();
        st_ = std::move(otra.st_);
        conexion_ = std::exchange(otra.conexion_, nullptr);
    }
    return *this;
}

void SentenciaPreparada::soltar()
{
    if (!st_)
        return;
    if (conexion_)
        conexion_->devolver(std::move(st_));
    st_.reset();
    conexion_ = nullptr;
}

void enlazar(Conexion& con, SentenciaMotor& st, int i, const QVariant& v)
{
    if (const int rc = st.enlazar(i, v); rc != 0)
        con.lanzar(rc, QString::fromUtf8(st.texto()));
}

void enlazarTodos(Conexion& con, SentenciaMotor& st, const QVariantList& valores)
{
    for (int i = 0; i < valores.size(); ++i)
        enlazar(con, st, i + 1, valores[i]);
}
