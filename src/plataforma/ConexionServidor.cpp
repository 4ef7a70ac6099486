#include "plataforma/ConexionServidor.h"

#include <QRegularExpression>
#include <algorithm>
#include <utility>
#include <vector>

QString ValorTextoConexion(const QString& v)
{
    // Sin nada raro, tal cual: el texto de siempre para las rutas de siempre.
    const bool raro = v.contains(';') || v.startsWith('"') || v.startsWith('\'') ||
                      (!v.isEmpty() && (v.front().isSpace() || v.back().isSpace()));
    if (!raro)
        return v;
    QString r = v;
    r.replace('"', QStringLiteral("\"\""));
    return '"' + r + '"';
}

std::optional<std::vector<std::pair<QString, QString>>> PiezasTextoConexion(const QString& texto)
{
    std::vector<std::pair<QString, QString>> r;
    const qsizetype n = texto.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype fin = texto.indexOf(';', i);
        const qsizetype igual = texto.indexOf('=', i);
        if (igual < 0 || (fin >= 0 && fin < igual)) {
            i = fin < 0 ? n : fin + 1;
            continue;
        }
        const QString clave = texto.mid(i, igual - i).trimmed().toLower();
        qsizetype j = igual + 1;
        while (j < n && texto[j].isSpace())
            ++j;
        QString v;
        if (j < n && (texto[j] == '"' || texto[j] == '\'')) {
            const QChar comilla = texto[j++];
            for (;;) {
                if (j >= n)
                    return std::nullopt;
                if (texto[j] == comilla && !(j + 1 < n && texto[j + 1] == comilla))
                    break;
                if (texto[j] == comilla)
                    ++j;
                v += texto[j++];
            }
            ++j;
            while (j < n && texto[j].isSpace())
                ++j;
            if (j < n && texto[j] != ';')
                return std::nullopt;
            i = j + 1;
        } else {
            const qsizetype hasta = fin < 0 ? n : fin;
            v = texto.mid(igual + 1, hasta - igual - 1).trimmed();
            i = hasta + 1;
        }
        r.emplace_back(clave, v);
    }
    return r;
}

namespace {
QString buscar(const std::vector<std::pair<QString, QString>>& lista, const QString& clave)
{
    for (const auto& [k, v] : lista)
        if (k == clave)
            return v;
    return {};
}

void anadir(QByteArray& parametros, const char* clave, const QString& v)
{
    QByteArray escapado = v.toUtf8();
    escapado.replace('\\', "\\\\").replace('\'', "\\'");
    if (!parametros.isEmpty())
        parametros += ' ';
    parametros += clave;
    parametros += "='" + escapado + '\'';
}
} // namespace

QString FuenteServidor(const DatosServidor& datos)
{
    const bool corchetes = datos.servidor.contains(':') || datos.servidor.startsWith('[');
    const QString servidor = corchetes ? '[' + datos.servidor + ']' : datos.servidor;
    return servidor + ':' + QString::number(datos.puerto) + '/' + datos.base;
}

QString TextoConexionServidor(const DatosServidor& datos)
{
    return QStringLiteral("Provider=") + ProveedorServidor + QStringLiteral(";Data Source=") +
           ValorTextoConexion(FuenteServidor(datos)) + QStringLiteral(";User ID=") + ValorTextoConexion(datos.usuario);
}

bool EsConexionServidor(const QString& texto)
{
    static const QRegularExpression proveedor(
        QStringLiteral("(^|;)\\s*provider\\s*=\\s*[\"']?postgresql[\"']?\\s*(;|$)"),
        QRegularExpression::CaseInsensitiveOption);
    return proveedor.match(texto).hasMatch();
}

std::optional<DatosServidor> AnalizarConexionServidor(const QString& texto)
{
    const auto lista = PiezasTextoConexion(texto);
    if (!lista || buscar(*lista, QStringLiteral("provider")).compare(ProveedorServidor, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const QString fuente = buscar(*lista, QStringLiteral("data source"));
    DatosServidor d;
    qsizetype dosPuntos;
    if (fuente.startsWith('[')) {
        const qsizetype cierre = fuente.indexOf(QStringLiteral("]:"));
        if (cierre < 0)
            return std::nullopt;
        d.servidor = fuente.mid(1, cierre - 1);
        dosPuntos = cierre + 1;
    } else {
        dosPuntos = fuente.indexOf(':');
        if (dosPuntos < 0)
            return std::nullopt;
        d.servidor = fuente.left(dosPuntos);
    }
    const qsizetype barra = fuente.indexOf('/', dosPuntos);
    if (barra < 0)
        return std::nullopt;
    const QString puerto = fuente.mid(dosPuntos + 1, barra - dosPuntos - 1);
    bool numero = false;
    d.puerto = puerto.toInt(&numero);
    const bool soloCifras =
        !puerto.isEmpty() && std::all_of(puerto.begin(), puerto.end(), [](QChar c) { return c >= '0' && c <= '9'; });
    d.base = fuente.mid(barra + 1);
    d.usuario = buscar(*lista, QStringLiteral("user id"));
    if (!numero || !soloCifras || d.puerto < 1 || d.puerto > 65535 || d.servidor.isEmpty() || d.base.isEmpty() ||
        d.usuario.isEmpty())
        return std::nullopt;
    return d;
}

QByteArray ParametrosLibpq(const DatosServidor& datos, int segundosEspera, const QString& clave)
{
    QByteArray p;
    anadir(p, "host", datos.servidor);
    anadir(p, "port", QString::number(datos.puerto));
    anadir(p, "dbname", datos.base);
    anadir(p, "user", datos.usuario);
    if (!clave.isEmpty())
        anadir(p, "password", clave);
    anadir(p, "connect_timeout", QString::number(segundosEspera));
    // Los avisos de libpq se leen tal cual en los mensajes: que no lleguen mal codificados.
    anadir(p, "client_encoding", QStringLiteral("UTF8"));
    return p;
}
