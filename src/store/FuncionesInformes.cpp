#include "store/FuncionesInformes.h"

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstring>
#include <limits>
#include <sqlite3.h>

namespace {
void funcionChr(sqlite3_context* contexto, int, sqlite3_value** valores)
{
    if (sqlite3_value_type(valores[0]) == SQLITE_NULL) {
        sqlite3_result_null(contexto);
        return;
    }
    const sqlite3_int64 codigo = sqlite3_value_int64(valores[0]);
    if (codigo <= 0 || codigo > 0x10FFFF || (codigo >= 0xD800 && codigo <= 0xDFFF)) {
        sqlite3_result_error(contexto, "chr: el código no es el de un carácter", -1);
        return;
    }
    const char32_t caracter = char32_t(codigo);
    const QByteArray texto = QString::fromUcs4(&caracter, 1).toUtf8();
    sqlite3_result_text(contexto, texto.constData(), int(texto.size()), SQLITE_TRANSIENT);
}

// Como la del servidor: el prefijo de cifras (con su signo) tras los blancos, 0 si no empieza por una
// cifra o es nulo, y el mayor o el menor entero si no cabe.
void funcionEnteroDeTexto(sqlite3_context* contexto, int, sqlite3_value** valores)
{
    const unsigned char* texto = sqlite3_value_text(valores[0]);
    const char* p = reinterpret_cast<const char*>(texto ? texto : reinterpret_cast<const unsigned char*>(""));
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    const bool negativo = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    if (*p < '0' || *p > '9') {
        sqlite3_result_int64(contexto, 0);
        return;
    }
    // Se acumula en negativo: cabe también el menor entero.
    constexpr sqlite3_int64 menor = std::numeric_limits<sqlite3_int64>::min();
    sqlite3_int64 v = 0;
    bool desborda = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        const int cifra = *p - '0';
        if (v < (menor + cifra) / 10)
            desborda = true;
        else
            v = v * 10 - cifra;
    }
    if (desborda)
        sqlite3_result_int64(contexto, negativo ? menor : std::numeric_limits<sqlite3_int64>::max());
    else if (negativo)
        sqlite3_result_int64(contexto, v);
    else
        sqlite3_result_int64(contexto, v == menor ? std::numeric_limits<sqlite3_int64>::max() : -v);
}

int ordenBytes(void*, int largo1, const void* a, int largo2, const void* b)
{
    const int r = std::memcmp(a, b, size_t(std::min(largo1, largo2)));
    return r != 0 ? r : largo1 - largo2;
}
} // namespace

void RegistrarFuncionesInformes(sqlite3* bd)
{
    const int determinista = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(bd, "chr", 1, determinista, nullptr, funcionChr, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(bd, "EnteroDeTexto", 1, determinista, nullptr, funcionEnteroDeTexto, nullptr, nullptr,
                               nullptr);
    sqlite3_create_collation_v2(bd, "C", SQLITE_UTF8, nullptr, ordenBytes, nullptr);
}
