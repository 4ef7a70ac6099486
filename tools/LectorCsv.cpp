#include "LectorCsv.h"

#include <QFile>
#include <QFileInfo>
#include <stdexcept>

namespace {
[[noreturn]] void fallo(const QString& archivo, int linea, const QString& motivo)
{
    throw std::runtime_error(QStringLiteral("%1:%2: %3").arg(archivo).arg(linea).arg(motivo).toStdString());
}

QStringList partirLinea(const QString& linea, const QString& archivo, int numero)
{
    QStringList campos;
    QString campo;
    int i = 0;
    const int n = linea.size();
    while (true) {
        campo.clear();
        if (i < n && linea[i] == '"') {
            ++i;
            while (true) {
                if (i >= n)
                    fallo(archivo, numero, QStringLiteral("comillas sin cerrar"));
                if (linea[i] == '"') {
                    if (i + 1 < n && linea[i + 1] == '"') {
                        campo += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                campo += linea[i++];
            }
            if (i < n && linea[i] != ',')
                fallo(archivo, numero, QStringLiteral("texto después de cerrar las comillas"));
        } else {
            while (i < n && linea[i] != ',') {
                if (linea[i] == '"')
                    fallo(archivo, numero, QStringLiteral("comillas en medio de un campo sin comillas"));
                campo += linea[i++];
            }
        }
        campos << campo;
        if (i >= n)
            break;
        ++i; // la coma
    }
    return campos;
}
} // namespace

TablaCsv leerCsv(const QString& archivo, const QStringList& cabeceraEsperada)
{
    TablaCsv tabla;
    tabla.archivo = QFileInfo(archivo).fileName();
    QFile f(archivo);
    if (!f.open(QIODevice::ReadOnly))
        fallo(tabla.archivo, 0, QStringLiteral("no se puede abrir el archivo"));
    const QByteArray bytes = f.readAll();
    const QString texto = QString::fromUtf8(bytes);
    if (texto.toUtf8() != bytes)
        fallo(tabla.archivo, 0, QStringLiteral("el archivo no está en UTF-8"));
    const QStringList lineas = texto.split('\n');
    for (int i = 0; i < lineas.size(); ++i) {
        QString linea = lineas[i];
        if (linea.endsWith('\r'))
            linea.chop(1);
        const int numero = i + 1;
        if (linea.isEmpty()) {
            if (i == lineas.size() - 1)
                break; // salto de línea final
            fallo(tabla.archivo, numero, QStringLiteral("línea vacía"));
        }
        if (i == 0 && linea.startsWith(QChar(0xFEFF)))
            linea.remove(0, 1);
        const QStringList campos = partirLinea(linea, tabla.archivo, numero);
        if (i == 0) {
            if (campos != cabeceraEsperada)
                fallo(tabla.archivo, numero,
                      QStringLiteral("la cabecera debe ser «%1»").arg(cabeceraEsperada.join(',')));
            tabla.cabecera = campos;
            continue;
        }
        if (campos.size() != cabeceraEsperada.size())
            fallo(tabla.archivo, numero,
                  QStringLiteral("tiene %1 campos y deben ser %2").arg(campos.size()).arg(cabeceraEsperada.size()));
        for (int c = 0; c < campos.size(); ++c) {
            if (campos[c].trimmed().isEmpty())
                fallo(tabla.archivo, numero, QStringLiteral("el campo «%1» está vacío").arg(cabeceraEsperada[c]));
            if (campos[c] != campos[c].trimmed())
                fallo(tabla.archivo, numero,
                      QStringLiteral("el campo «%1» tiene espacios al principio o al final").arg(cabeceraEsperada[c]));
        }
        tabla.filas.push_back({numero, campos});
    }
    return tabla;
}
