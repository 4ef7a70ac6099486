#include "reports/UnionPdf.h"

#include <QIODevice>
#include <algorithm>

namespace {
bool blanco(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

bool cifra(char c)
{
    return c >= '0' && c <= '9';
}

// Entero sin signo a partir de "i", tras los blancos; -1 si no hay ninguno. Deja "i" detrás.
qint64 entero(const QByteArray& d, qsizetype& i)
{
    while (i < d.size() && blanco(d[i]))
        ++i;
    qint64 v = 0;
    const qsizetype desde = i;
    while (i < d.size() && cifra(d[i]) && i - desde < 15)
        v = v * 10 + (d[i++] - '0');
    return i == desde ? -1 : v;
}

// El número de "/Clave N 0 R" en un trozo; 0 si no está.
int referencia(const QByteArray& trozo, const char* clave)
{
    qsizetype i = trozo.indexOf(clave);
    if (i < 0)
        return 0;
    i += qstrlen(clave);
    const qint64 n = entero(trozo, i);
    return n > 0 && n < (1 << 30) ? int(n) : 0;
}

struct Pdf
{
    const QByteArray* datos = nullptr;
    int tamano = 0; // /Size: los objetos van del 1 al tamano - 1
    int raiz = 0, info = 0, arbol = 0;
    std::vector<qint64> inicio; // dónde empieza cada objeto (0 si está libre)
    std::vector<qint64> fin;    // dónde empieza lo que le sigue
    std::vector<int> hojas;
    qsizetype cabecera = 0; // "%PDF-..." hasta el primer objeto

    QByteArray cuerpo(int n) const
    {
        if (n <= 0 || n >= tamano || inicio[size_t(n)] <= 0)
            return {};
        return datos->mid(inicio[size_t(n)], fin[size_t(n)] - inicio[size_t(n)]);
    }
};

bool leer(const QByteArray& d, Pdf& p, QString& error)
{
    p.datos = &d;
    const qsizetype inicioXref = d.lastIndexOf("startxref");
    qsizetype i = inicioXref + 9;
    const qint64 xref = inicioXref < 0 ? -1 : entero(d, i);
    if (!d.startsWith("%PDF-") || xref <= 0 || xref >= d.size() || d.mid(xref, 4) != "xref") {
        error = QStringLiteral("no tiene tabla de referencias");
        return false;
    }
    i = xref + 4;
    const qint64 primero = entero(d, i), cuantos = entero(d, i);
    if (primero != 0 || cuantos < 2 || cuantos > (1 << 24)) {
        error = QStringLiteral("tiene más de una tabla de referencias");
        return false;
    }
    p.tamano = int(cuantos);
    p.inicio.assign(size_t(cuantos), 0);
    for (qint64 n = 0; n < cuantos; ++n) {
        const qint64 donde = entero(d, i), generacion = entero(d, i);
        while (i < d.size() && d[i] == ' ')
            ++i;
        const char tipo = i < d.size() ? d[i++] : '?';
        if (donde < 0 || generacion < 0 || (tipo != 'n' && tipo != 'f') || donde >= xref) {
            error = QStringLiteral("tiene una tabla de referencias dañada");
            return false;
        }
        if (tipo == 'n' && n > 0)
            p.inicio[size_t(n)] = donde;
    }
    // Cada objeto llega hasta donde empieza el siguiente (o la tabla de referencias).
    std::vector<qint64> orden;
    for (qint64 o : p.inicio)
        if (o > 0)
            orden.push_back(o);
    std::sort(orden.begin(), orden.end());
    orden.push_back(xref);
    p.fin.assign(size_t(cuantos), 0);
    for (size_t n = 1; n < p.inicio.size(); ++n)
        if (p.inicio[n] > 0)
            p.fin[n] = *std::upper_bound(orden.begin(), orden.end(), p.inicio[n]);
    p.cabecera = orden.front();

    const qsizetype trailer = d.indexOf("trailer", i);
    const QByteArray cola = trailer < 0 ? QByteArray() : d.mid(trailer, inicioXref - trailer);
    p.raiz = referencia(cola, "/Root");
    p.info = referencia(cola, "/Info");
    p.arbol = referencia(p.cuerpo(p.raiz), "/Pages");
    const QByteArray arbol = p.cuerpo(p.arbol);
    const qsizetype kids = arbol.indexOf("/Kids");
    qsizetype k = kids < 0 ? -1 : arbol.indexOf('[', kids);
    if (p.raiz <= 0 || p.raiz >= p.tamano || p.info >= p.tamano || k < 0) {
        error = QStringLiteral("no tiene catálogo ni árbol de hojas");
        return false;
    }
    ++k;
    for (qint64 n; (n = entero(arbol, k)) > 0;) {
        const qint64 generacion = entero(arbol, k);
        while (k < arbol.size() && blanco(arbol[k]))
            ++k;
        const QByteArray hoja = n < p.tamano ? p.cuerpo(int(n)) : QByteArray();
        if (generacion != 0 || k >= arbol.size() || arbol[k] != 'R' || !hoja.contains("/Type /Page\n")) {
            error = QStringLiteral("tiene un árbol de hojas que no es plano");
            return false;
        }
        ++k;
        p.hojas.push_back(int(n));
    }
    return true;
}

// Cambia los números de los "N 0 R" de un trozo de diccionario.
template <typename Numero> QByteArray renumerar(const QByteArray& trozo, const Numero& nuevo)
{
    QByteArray r;
    r.reserve(trozo.size() + 64);
    qsizetype i = 0;
    while (i < trozo.size()) {
        if (cifra(trozo[i]) && (i == 0 || !cifra(trozo[i - 1]))) {
            qsizetype j = i;
            const qint64 n = entero(trozo, j);
            if (trozo.mid(j, 4) == " 0 R" && (j + 4 >= trozo.size() || !QChar::isLetterOrNumber(uchar(trozo[j + 4])))) {
                r += QByteArray::number(nuevo(int(n))) + " 0 R";
                i = j + 4;
                continue;
            }
            r += trozo.mid(i, j - i);
            i = j;
            continue;
        }
        r += trozo[i++];
    }
    return r;
}
} // namespace

bool UnirPdf(const std::vector<QByteArray>& partes, QIODevice& destino, QString* error)
{
    return UnirPdf(partes, {}, destino, error);
}

bool UnirPdf(const std::vector<QByteArray>& partes, const std::vector<TramoHojas>& orden, QIODevice& destino,
             QString* error)
{
    QString motivo;
    std::vector<Pdf> pdfs(partes.size());
    for (size_t k = 0; k < partes.size(); ++k)
        if (!leer(partes[k], pdfs[k], motivo)) {
            if (error)
                *error = QStringLiteral("La parte %1 del documento %2.").arg(k + 1).arg(motivo);
            return false;
        }
    if (pdfs.empty()) {
        if (error)
            *error = QStringLiteral("No hay nada que unir.");
        return false;
    }

    // Sin orden, cada parte entera tras la anterior. Con él, cada hoja ha de salir una vez.
    std::vector<TramoHojas> tramos = orden;
    if (tramos.empty())
        for (size_t k = 0; k < pdfs.size(); ++k)
            tramos.push_back({int(k), 0, int(pdfs[k].hojas.size())});
    std::vector<std::vector<char>> puesta(pdfs.size());
    for (size_t k = 0; k < pdfs.size(); ++k)
        puesta[k].assign(pdfs[k].hojas.size(), 0);
    for (const TramoHojas& t : tramos) {
        const bool cabe = t.parte >= 0 && size_t(t.parte) < pdfs.size() && t.desde >= 0 && t.cuantas >= 0 &&
                          size_t(t.desde) + size_t(t.cuantas) <= pdfs[size_t(t.parte)].hojas.size();
        for (int h = t.desde; cabe && h < t.desde + t.cuantas; ++h)
            ++puesta[size_t(t.parte)][size_t(h)];
        if (!cabe) {
            if (error)
                *error = QStringLiteral("El orden de las hojas pide una que la parte %1 no tiene.").arg(t.parte + 1);
            return false;
        }
    }
    for (size_t k = 0; k < puesta.size(); ++k)
        if (std::any_of(puesta[k].begin(), puesta[k].end(), [](char v) { return v != 1; })) {
            if (error)
                *error = QStringLiteral("El orden de las hojas deja fuera o repite alguna de la parte %1.").arg(k + 1);
            return false;
        }

    // Los objetos de cada parte van detrás de los de las anteriores.
    std::vector<int> desplazamiento(pdfs.size(), 0);
    int tamano = pdfs[0].tamano;
    for (size_t k = 1; k < pdfs.size(); ++k) {
        desplazamiento[k] = tamano - 1;
        tamano += pdfs[k].tamano - 1;
    }
    std::vector<qint64> donde(size_t(tamano), 0);
    qint64 escrito = 0;
    bool bien = true;
    const auto escribir = [&](const QByteArray& b) {
        bien = bien && destino.write(b) == b.size();
        escrito += b.size();
    };
    const auto objeto = [&](int n, const QByteArray& contenido) {
        donde[size_t(n)] = escrito;
        escribir(QByteArray::number(n) + " 0 obj\n" + contenido + "\nendobj\n");
    };

    escribir(partes[0].left(pdfs[0].cabecera));
    int hojas = 0;
    QByteArray arbol = "<<\n/Type /Pages\n/Kids\n[\n";
    for (const TramoHojas& t : tramos)
        for (int h = t.desde; h < t.desde + t.cuantas; ++h) {
            const auto k = size_t(t.parte);
            arbol += QByteArray::number(pdfs[k].hojas[size_t(h)] + desplazamiento[k]) + " 0 R\n";
            ++hojas;
        }
    arbol += "]\n/Count " + QByteArray::number(hojas) + "\n>>";

    for (size_t k = 0; k < pdfs.size() && bien; ++k) {
        const Pdf& p = pdfs[k];
        const int mas = desplazamiento[k];
        // Las hojas de las demás partes cuelgan del árbol de la primera.
        const auto nuevo = [&](int n) { return n == p.arbol ? pdfs[0].arbol : n + mas; };
        for (int n = 1; n < p.tamano && bien; ++n) {
            if (n == p.arbol && k == 0) {
                objeto(n, arbol);
                continue;
            }
            const QByteArray c = p.cuerpo(n);
            const bool sobra = k > 0 && (n == p.raiz || n == p.info || n == p.arbol);
            const QByteArray encabezado = QByteArray::number(n) + " 0 obj";
            if (sobra || c.isEmpty() || !c.startsWith(encabezado)) {
                if (!sobra && !c.isEmpty()) {
                    motivo = QStringLiteral("tiene un objeto que no empieza donde dice su tabla");
                    bien = false;
                }
                objeto(n + mas, "null");
                continue;
            }
            // El diccionario se renumera; el flujo que le sigue, si lo hay, se copia tal cual.
            const qsizetype flujo = c.indexOf(">>\nstream\n");
            const qsizetype finFlujo = flujo < 0 ? -1 : c.lastIndexOf("endstream");
            const qsizetype finEncabezado = encabezado.size();
            const qsizetype finObjeto = c.lastIndexOf("endobj");
            if (finObjeto < 0 || (flujo >= 0 && finFlujo < flujo)) {
                motivo = QStringLiteral("tiene un objeto sin terminar");
                bien = false;
                break;
            }
            QByteArray contenido;
            if (flujo < 0) {
                contenido = renumerar(c.mid(finEncabezado, finObjeto - finEncabezado), nuevo);
            } else {
                const qsizetype datos = flujo + 10;
                contenido =
                    renumerar(c.mid(finEncabezado, datos - finEncabezado), nuevo) + c.mid(datos, finObjeto - datos);
            }
            while (contenido.endsWith('\n'))
                contenido.chop(1);
            objeto(n + mas, contenido);
        }
    }
    if (!bien) {
        if (error)
            *error = motivo.isEmpty() ? QStringLiteral("No se puede escribir el documento.")
                                      : QStringLiteral("Una parte del documento %1.").arg(motivo);
        return false;
    }

    const qint64 xref = escrito;
    QByteArray tabla = "xref\n0 " + QByteArray::number(tamano) + "\n0000000000 65535 f \n";
    for (int n = 1; n < tamano; ++n)
        tabla += QByteArray::number(donde[size_t(n)]).rightJustified(10, '0') + " 00000 n \n";
    tabla += "trailer\n<<\n/Size " + QByteArray::number(tamano) + "\n";
    if (pdfs[0].info > 0)
        tabla += "/Info " + QByteArray::number(pdfs[0].info) + " 0 R\n";
    tabla +=
        "/Root " + QByteArray::number(pdfs[0].raiz) + " 0 R\n>>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    escribir(tabla);
    if (!bien && error)
        *error = QStringLiteral("No se puede escribir el documento.");
    return bien;
}
