#include "repair/ArchivoSqlite.h"

#include <QStringDecoder>
#include <cstring>
#include <sqlite3.h>

namespace {
using Valor = ArchivoSqlite::Valor;

constexpr quint8 interiorIndice = 2, interiorTabla = 5, hojaIndice = 10, hojaTabla = 13;
// Un árbol más hondo no cabe en ningún archivo de verdad: es un ciclo o basura.
constexpr int nivelMaximo = 40;

quint32 u16(const uchar* p)
{
    return (quint32(p[0]) << 8) | p[1];
}
quint32 u32(const uchar* p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
}

void poner32(QByteArray& a, int i, quint32 v)
{
    for (int k = 0; k < 4; ++k)
        a[i + k] = char((v >> (8 * (3 - k))) & 0xff);
}

// Entero de longitud variable; devuelve los bytes que ocupa, 0 si se sale de "fin".
int varint(const uchar* p, const uchar* fin, quint64& v)
{
    v = 0;
    for (int i = 0; i < 9; ++i) {
        if (p + i >= fin)
            return 0;
        if (i == 8) {
            v = (v << 8) | p[i];
            return 9;
        }
        v = (v << 7) | (p[i] & 0x7f);
        if (!(p[i] & 0x80))
            return i + 1;
    }
    return 0;
}

// Bytes del contenido de un valor según su tipo de serie; -1 si el tipo no existe.
qint64 tamanoSerie(quint64 t)
{
    static const int fijos[] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0};
    if (t < 10)
        return fijos[t];
    if (t < 12)
        return -1;
    return qint64((t - 12) / 2);
}

// Cabecera de página b-tree que SQLite aceptaría, comprobada contra el tamaño útil.
bool paginaValida(const uchar* p, int inicio, int util, quint32 paginas, quint8* tipo = nullptr, int* celdas = nullptr)
{
    const uchar* h = p + inicio;
    const quint8 t = h[0];
    if (t != interiorIndice && t != interiorTabla && t != hojaIndice && t != hojaTabla)
        return false;
    const bool interior = t == interiorIndice || t == interiorTabla;
    const int cabecera = interior ? 12 : 8;
    const int n = int(u16(h + 3));
    const int finPunteros = inicio + cabecera + 2 * n;
    if (finPunteros > util)
        return false;
    int contenido = int(u16(h + 5));
    if (contenido == 0)
        contenido = 65536;
    if (n > 0 && (contenido < finPunteros || contenido > util))
        return false;
    if (interior) {
        const quint32 derecha = u32(h + 8);
        if (derecha < 1 || derecha > paginas)
            return false;
    }
    for (int i = 0; i < n; ++i) {
        const int c = int(u16(h + cabecera + 2 * i));
        if (c < finPunteros || c > util - 4)
            return false;
    }
    if (tipo)
        *tipo = t;
    if (celdas)
        *celdas = n;
    return true;
}

// Tamaño de página con el que más páginas del archivo se leen como b-tree (la primera puede estar
// rota también); 0 si ninguno.
int deducirTamano(const QByteArray& datos)
{
    const auto* p = reinterpret_cast<const uchar*>(datos.constData());
    int mejor = 0;
    qint64 cuantas = 0;
    for (int tamano = 512; tamano <= 65536; tamano *= 2) {
        if (datos.size() < tamano)
            break;
        const quint32 paginas = quint32(datos.size() / tamano);
        qint64 validas = paginaValida(p, 100, tamano, paginas);
        for (quint32 n = 2; n <= paginas; ++n)
            validas += paginaValida(p + qint64(n - 1) * tamano, 0, tamano, paginas);
        // Con el doble del tamaño de verdad sólo se leen la mitad: a igualdad, el menor.
        if (validas > cuantas) {
            mejor = tamano;
            cuantas = validas;
        }
    }
    return mejor;
}
} // namespace

bool ArchivoSqlite::cabeceraSana(const QByteArray& datos)
{
    if (datos.size() < 100 || !datos.startsWith(QByteArray("SQLite format 3\0", 16)))
        return false;
    const auto* c = reinterpret_cast<const uchar*>(datos.constData());
    int tamano = int(u16(c + 16));
    if (tamano == 1)
        tamano = 65536;
    if (tamano < 512 || (tamano & (tamano - 1)) != 0)
        return false;
    if (c[18] < 1 || c[18] > 2 || c[19] < 1 || c[19] > 2 || c[21] != 64 || c[22] != 32 || c[23] != 32)
        return false;
    const quint32 formato = u32(c + 44);
    if (formato > 4 || u32(c + 56) > 3 || c[20] > tamano - 480)
        return false;
    // Una cabecera con buena pinta pero otro tamaño de página tampoco sirve.
    return datos.size() < tamano || paginaValida(c, 100, tamano - c[20], quint32(datos.size() / tamano));
}

QByteArray ArchivoSqlite::rehacerCabecera(const QByteArray& datos, bool conDiario)
{
    const int tamano = deducirTamano(datos);
    if (tamano == 0)
        return {};
    QByteArray c(100, '\0');
    std::memcpy(c.data(), "SQLite format 3\0", 16);
    c[16] = char((tamano == 65536 ? 1 : tamano) >> 8);
    c[17] = char((tamano == 65536 ? 1 : tamano) & 0xff);
    c[18] = c[19] = char(conDiario ? 2 : 1);
    c[21] = 64;
    c[22] = 32;
    c[23] = 32;
    poner32(c, 24, 1);                              // contador de cambios
    poner32(c, 28, quint32(datos.size() / tamano)); // páginas
    poner32(c, 40, 1);                              // cookie del esquema
    poner32(c, 44, 4);                              // formato del esquema
    poner32(c, 92, 1);                              // el tamaño vale para este contador
    poner32(c, 96, quint32(SQLITE_VERSION_NUMBER));
    // La codificación se ve en el primer texto del esquema ("table", "index"...): en UTF-16
    // lleva un cero entre letras.
    ArchivoSqlite lector(c + datos.mid(100), false);
    int codificacion = 1;
    if (lector.pagina(1)) {
        std::set<quint32> usadas;
        for (const Tramo& t : lector.recorrerTabla(1, usadas)) {
            if (!t.hoja)
                continue;
            const std::vector<Fila> filas = lector.filasDeHoja(t.hoja);
            if (filas.empty() || filas.front().valores.empty())
                continue;
            const QByteArray& b = filas.front().valores.front().bytes;
            if (b.size() >= 2)
                codificacion = b[1] == 0 ? 2 : b[0] == 0 ? 3 : 1;
            break;
        }
    }
    poner32(c, 56, quint32(codificacion));
    return c;
}

ArchivoSqlite::ArchivoSqlite(const QByteArray& datos, bool conLibres) : datos_(datos)
{
    if (datos_.size() < 512)
        return;
    const auto* c = reinterpret_cast<const uchar*>(datos_.constData());
    int tamano = int(u16(c + 16));
    if (tamano == 1)
        tamano = 65536;
    if (tamano < 512 || (tamano & (tamano - 1)) != 0 || datos_.size() < tamano)
        return;
    tamano_ = tamano;
    util_ = tamano - (c[20] > tamano - 480 ? 0 : c[20]);
    paginas_ = quint32(datos_.size() / tamano);
    const quint32 codificacion = u32(c + 56);
    codificacion_ = codificacion >= 1 && codificacion <= 3 ? int(codificacion) : 1;
    if (conLibres)
        leerLibres();
}

const uchar* ArchivoSqlite::bytes(quint32 n) const
{
    return reinterpret_cast<const uchar*>(datos_.constData()) + qint64(n - 1) * tamano_;
}

std::optional<ArchivoSqlite::Pagina> ArchivoSqlite::pagina(quint32 n) const
{
    if (!legible() || n < 1 || n > paginas_)
        return std::nullopt;
    Pagina p;
    p.inicio = n == 1 ? 100 : 0;
    if (!paginaValida(bytes(n), p.inicio, util_, paginas_, &p.tipo, &p.celdas))
        return std::nullopt;
    return p;
}

int ArchivoSqlite::puntero(quint32 n, const Pagina& p, int i) const
{
    const bool interior = p.tipo == interiorIndice || p.tipo == interiorTabla;
    return int(u16(bytes(n) + p.inicio + (interior ? 12 : 8) + 2 * i));
}

bool ArchivoSqlite::esHojaDeTabla(quint32 n) const
{
    const auto p = pagina(n);
    return p && p->tipo == hojaTabla;
}

void ArchivoSqlite::leerLibres()
{
    // Una hoja libre conserva las filas que tenía: hay que saber cuáles son para no resucitarlas.
    const auto* c = reinterpret_cast<const uchar*>(datos_.constData());
    quint32 tronco = u32(c + 32);
    std::set<quint32> vistos;
    while (tronco >= 1 && tronco <= paginas_ && vistos.insert(tronco).second) {
        libres_.insert(tronco);
        const uchar* p = bytes(tronco);
        const quint32 hojas = u32(p + 4);
        for (quint32 i = 0; i < hojas && 8 + 4 * qint64(i) + 4 <= util_; ++i) {
            const quint32 h = u32(p + 8 + 4 * i);
            if (h >= 1 && h <= paginas_)
                libres_.insert(h);
        }
        tronco = u32(p);
    }
}

void ArchivoSqlite::recorrer(quint32 n, qint64 desde, qint64 hasta, int nivel, std::set<quint32>& usadas,
                             std::vector<Tramo>& tramos, int& nivelHojas, std::vector<int>& nivelRotas,
                             bool tabla) const
{
    const auto p = pagina(n);
    const quint8 hoja = tabla ? hojaTabla : hojaIndice, interior = tabla ? interiorTabla : interiorIndice;
    if (!p || (p->tipo != hoja && p->tipo != interior) || nivel > nivelMaximo || !usadas.insert(n).second) {
        if (tabla) {
            tramos.push_back({desde, hasta, 0, false});
            nivelRotas.push_back(nivel);
        }
        return;
    }
    if (p->tipo == hoja) {
        nivelHojas = std::max(nivelHojas, nivel);
        if (tabla)
            tramos.push_back({desde, hasta, n, false});
        return;
    }
    const uchar* b = bytes(n);
    const uchar* fin = b + util_;
    qint64 inicio = desde;
    bool acabado = false;
    for (int i = 0; i < p->celdas && !acabado; ++i) {
        const uchar* celda = b + puntero(n, *p, i);
        const quint32 hijo = u32(celda);
        qint64 clave = hasta;
        if (tabla) {
            quint64 v = 0;
            if (varint(celda + 4, fin, v) == 0)
                continue;
            clave = std::min<qint64>(qint64(v), hasta);
            if (clave < inicio)
                continue; // separador fuera de orden: la celda no es de fiar
        }
        recorrer(hijo, inicio, clave, nivel + 1, usadas, tramos, nivelHojas, nivelRotas, tabla);
        // Las claves de un índice no son números: sólo las de una tabla parten el tramo. Un
        // separador en la clave más alta que cabe deja sin claves todo lo que sigue.
        if (!tabla)
            continue;
        acabado = clave == mayor;
        if (!acabado)
            inicio = clave + 1;
    }
    if (!acabado)
        recorrer(u32(b + p->inicio + 8), inicio, hasta, nivel + 1, usadas, tramos, nivelHojas, nivelRotas, tabla);
}

std::vector<ArchivoSqlite::Tramo> ArchivoSqlite::recorrerTabla(quint32 raiz, std::set<quint32>& usadas) const
{
    std::vector<Tramo> tramos;
    std::vector<int> nivelRotas;
    int nivelHojas = -1;
    recorrer(raiz, menor, mayor, 0, usadas, tramos, nivelHojas, nivelRotas, true);
    // Todas las hojas de un árbol están al mismo nivel: una página rota por encima de ese nivel
    // era interior y las hojas que colgaban de ella siguen enteras en alguna parte.
    size_t r = 0;
    for (Tramo& t : tramos)
        if (!t.hoja) {
            t.huerfanas = nivelHojas < 0 || nivelRotas[r] < nivelHojas;
            ++r;
        }
    return tramos;
}

void ArchivoSqlite::recorrerIndice(quint32 raiz, std::set<quint32>& usadas) const
{
    std::vector<Tramo> tramos;
    std::vector<int> nivelRotas;
    int nivelHojas = -1;
    recorrer(raiz, menor, mayor, 0, usadas, tramos, nivelHojas, nivelRotas, false);
}

std::optional<ArchivoSqlite::Fila> ArchivoSqlite::celdaDeHoja(quint32 n, int desplazamiento) const
{
    const uchar* b = bytes(n);
    const uchar* p = b + desplazamiento;
    const uchar* fin = b + util_;
    quint64 tamano = 0, clave = 0;
    int l = varint(p, fin, tamano);
    if (l == 0)
        return std::nullopt;
    p += l;
    l = varint(p, fin, clave);
    if (l == 0 || tamano > quint64(paginas_) * quint64(tamano_))
        return std::nullopt;
    p += l;
    // Lo que cabe en la página y lo que sigue en páginas de desbordamiento, como lo reparte SQLite.
    const qint64 u = util_, x = u - 35, m = ((u - 12) * 32 / 255) - 23;
    qint64 local = qint64(tamano);
    if (local > x) {
        const qint64 k = m + (qint64(tamano) - m) % (u - 4);
        local = k <= x ? k : m;
    }
    if (local > fin - p || (local < qint64(tamano) && local + 4 > fin - p))
        return std::nullopt;
    QByteArray carga(reinterpret_cast<const char*>(p), int(local));
    if (local < qint64(tamano)) {
        quint32 siguiente = u32(p + local);
        std::set<quint32> vistas;
        while (carga.size() < qint64(tamano)) {
            if (siguiente < 1 || siguiente > paginas_ || !vistas.insert(siguiente).second)
                return std::nullopt;
            const uchar* o = bytes(siguiente);
            const qint64 trozo = std::min<qint64>(u - 4, qint64(tamano) - carga.size());
            carga.append(reinterpret_cast<const char*>(o + 4), int(trozo));
            siguiente = u32(o);
        }
    }
    // Registro: cabecera con los tipos y luego los valores, que deben sumar justo la carga.
    const auto* r = reinterpret_cast<const uchar*>(carga.constData());
    const uchar* rfin = r + carga.size();
    quint64 cabecera = 0;
    l = varint(r, rfin, cabecera);
    if (l == 0 || cabecera > quint64(carga.size()))
        return std::nullopt;
    const uchar* t = r + l;
    const uchar* tfin = r + cabecera;
    const uchar* v = tfin;
    Fila fila;
    fila.rowid = qint64(clave);
    while (t < tfin) {
        quint64 serie = 0;
        l = varint(t, tfin, serie);
        const qint64 largo = l ? tamanoSerie(serie) : -1;
        if (largo < 0 || largo > rfin - v)
            return std::nullopt;
        t += l;
        Valor valor;
        if (serie >= 1 && serie <= 6) {
            qint64 e = (v[0] & 0x80) ? -1 : 0;
            for (qint64 i = 0; i < largo; ++i)
                e = qint64((quint64(e) << 8) | v[i]);
            valor.tipo = Valor::Tipo::Entero;
            valor.entero = e;
        } else if (serie == 7) {
            quint64 bits = 0;
            for (int i = 0; i < 8; ++i)
                bits = (bits << 8) | v[i];
            valor.tipo = Valor::Tipo::Real;
            std::memcpy(&valor.real, &bits, 8);
        } else if (serie == 8 || serie == 9) {
            valor.tipo = Valor::Tipo::Entero;
            valor.entero = serie == 9;
        } else if (serie >= 12) {
            valor.tipo = serie % 2 ? Valor::Tipo::Texto : Valor::Tipo::Blob;
            valor.bytes = QByteArray(reinterpret_cast<const char*>(v), int(largo));
        }
        v += largo;
        fila.valores.push_back(std::move(valor));
    }
    if (t != tfin || v != rfin)
        return std::nullopt;
    return fila;
}

std::vector<ArchivoSqlite::Fila> ArchivoSqlite::filasDeHoja(quint32 n, int* malas) const
{
    std::vector<Fila> filas;
    const auto p = pagina(n);
    if (malas)
        *malas = 0;
    if (!p || p->tipo != hojaTabla)
        return filas;
    for (int i = 0; i < p->celdas; ++i) {
        if (auto f = celdaDeHoja(n, puntero(n, *p, i)))
            filas.push_back(std::move(*f));
        else if (malas)
            ++*malas;
    }
    return filas;
}

std::vector<qint64> ArchivoSqlite::clavesDeHoja(quint32 n) const
{
    std::vector<qint64> claves;
    const auto p = pagina(n);
    if (!p || p->tipo != hojaTabla)
        return claves;
    const uchar* b = bytes(n);
    for (int i = 0; i < p->celdas; ++i) {
        const uchar* c = b + puntero(n, *p, i);
        quint64 tamano = 0, clave = 0;
        const int l = varint(c, b + util_, tamano);
        if (l && varint(c + l, b + util_, clave))
            claves.push_back(qint64(clave));
    }
    return claves;
}

QString ArchivoSqlite::texto(const Valor& v) const
{
    if (codificacion_ == 1)
        return QString::fromUtf8(v.bytes);
    QStringDecoder d(codificacion_ == 2 ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
    return d(v.bytes);
}
