#include "store/EscrituraFila.h"

#include "store/AnalisisConsulta.h"
#include "store/Conexion.h"
#include "store/ErrorBD.h"
#include "store/SentenciaPreparada.h"
#include "store/TextoRevisiones.h"

#include <QDate>
#include <QObject>

namespace {
// Ejecuta la escritura con sus valores; si devuelve una fila y se pide, la deja en "fila".
void pasar(Conexion& con, SentenciaPreparada st, const QString& sql, const QVariantList& valores,
           const DestinoFila& destino, QVariantList* fila)
{
    enlazarTodos(con, *st, valores);
    PasoSentencia paso = st->paso();
    if (paso == PasoSentencia::Fila && fila) {
        for (int i = 0; i < destino.campos.size(); ++i)
            (*fila)[i] = st->valor(i, destino.tipos[size_t(i)]);
        paso = st->paso();
    }
    const int codigo = st->codigo();
    st.soltar();
    if (paso != PasoSentencia::Fin)
        con.lanzar(codigo, sql);
}

// Una sentencia que quizá no se puede preparar (columnas con nombres puestos en la consulta):
// vacía en ese caso, y se sigue por otro camino.
SentenciaPreparada siSePuede(Conexion& con, const QString& sql)
{
    try {
        return SentenciaPreparada(con, sql.toUtf8());
    } catch (const ErrorBD&) {
        return {};
    }
}

// Las columnas del destino, separadas por comas; vacío si no tiene.
QString listaColumnas(const DestinoFila& destino)
{
    QStringList todas;
    for (const QString& c : destino.campos)
        todas << citarNombre(c);
    return todas.join(", ");
}

enum class Lectura
{
    Leida,
    NoEsta,
    NoSePuede // sus columnas no se pueden pedir por su nombre
};

// Lee las columnas del destino de la fila donde "donde" vale "valor", y las deja en "fila".
Lectura leerPor(Conexion& con, const DestinoFila& destino, const QString& donde, const QVariant& valor,
                QVariantList& fila)
{
    const QString lista = listaColumnas(destino);
    if (lista.isEmpty())
        return Lectura::NoSePuede;
    const SentenciaPreparada st =
        siSePuede(con, "SELECT " + lista + " FROM " + citarNombre(destino.origen) + " WHERE " + donde + " = ?");
    if (!st)
        return Lectura::NoSePuede;
    st->enlazar(1, valor);
    const PasoSentencia paso = st->paso();
    if (paso == PasoSentencia::Fallo)
        return Lectura::NoSePuede;
    if (paso == PasoSentencia::Fin)
        return Lectura::NoEsta;
    for (int i = 0; i < destino.campos.size(); ++i)
        fila[i] = st->valor(i, destino.tipos[size_t(i)]);
    return Lectura::Leida;
}

void tocadas(const DestinoFila& destino, const QVariantList& fila, QStringList& columnas, QVariantList& valores)
{
    for (int i = 0; i < destino.campos.size(); ++i) {
        if (!destino.tocado[size_t(i)])
            continue;
        columnas << citarNombre(destino.campos[i]);
        valores << fila[i];
    }
}
} // namespace

QVariant ajustarTipo(const QVariant& v, const QByteArray& tipo, const QString& campo)
{
    if (v.isNull() || v.typeId() != QMetaType::QString)
        return v;
    const QString t = v.toString().trimmed();
    const auto rechazar = [&](const QString& que) {
        return ErrorBD(NumeroError::OperacionVariosPasos,
                       QObject::tr("El valor «%1» no es %2 válido para el campo «%3».").arg(v.toString(), que, campo));
    };
    if (tipo == "INTEGER") {
        if (t.isEmpty())
            return QVariant();
        bool ok = false;
        const qlonglong n = t.toLongLong(&ok);
        if (!ok)
            throw rechazar(QObject::tr("un número entero"));
        return n;
    }
    if (tipo == "REAL") {
        if (t.isEmpty())
            return QVariant();
        bool ok = false;
        const double n = QString(t).replace(',', '.').toDouble(&ok);
        if (!ok)
            throw rechazar(QObject::tr("un número"));
        return n;
    }
    if (tipo == "DATE" || tipo == "DATETIME") {
        if (t.isEmpty())
            return QVariant();
        const QDate d = QDate::fromString(t.left(10), Qt::ISODate);
        if (!d.isValid())
            throw rechazar(QObject::tr("una fecha"));
        return v;
    }
    return v;
}

long long insertarFila(Conexion& con, const DestinoFila& destino, QVariantList& fila, int indiceClave)
{
    QStringList columnas;
    QVariantList valores;
    tocadas(destino, fila, columnas, valores);
    const QString tabla = citarNombre(destino.origen);
    QString sql = "INSERT INTO " + tabla;
    if (columnas.isEmpty()) {
        sql += " DEFAULT VALUES";
    } else {
        QString marcas = QStringLiteral("?");
        for (int i = 1; i < columnas.size(); ++i)
            marcas += QStringLiteral(", ?");
        sql += " (" + columnas.join(", ") + ") VALUES (" + marcas + ")";
    }
    const QString lista = listaColumnas(destino);
    // En una tabla la fila guardada vuelve con la misma sentencia. Si sus columnas no se pueden
    // pedir así (nombres puestos en la consulta), se escribe sin más y se relee después.
    MotorBD& motor = con.motor();
    SentenciaPreparada devuelve;
    if (!destino.esVista && !lista.isEmpty() && motor.admiteDevolver())
        devuelve = siSePuede(con, sql + " RETURNING " + lista);
    if (devuelve) {
        pasar(con, std::move(devuelve), sql, valores, destino, &fila);
        return motor.ultimoId();
    }
    pasar(con, SentenciaPreparada(con, sql.toUtf8()), sql, valores, destino, nullptr);
    const long long id = motor.ultimoId();
    // La lectura de vuelta sale de la reserva de sentencias: añadir filas seguidas no la vuelve a compilar.
    const QString deFila = indiceClave >= 0 ? destino.campos[indiceClave] : QString();
    if (leerPor(con, destino, motor.ordenDeFilas(deFila), id, fila) == Lectura::NoSePuede && indiceClave >= 0)
        fila[indiceClave] = id;
    return id;
}

long long modificarFila(Conexion& con, const DestinoFila& destino, const QVariantList& fila, const QString& clave,
                        const QVariant& valorClave, const QVariant& version)
{
    QStringList columnas;
    QVariantList valores;
    tocadas(destino, fila, columnas, valores);
    if (columnas.isEmpty())
        return 0;
    QStringList asignaciones;
    for (const QString& c : columnas)
        asignaciones << c + " = ?";
    QString condicion = citarNombre(clave) + " = ?";
    if (!version.isNull()) {
        // Como la nombra el motor: el servidor la da en minúsculas.
        QString nombre = QString::fromLatin1(SqlRevision::ColumnaVersion);
        for (const QString& c : destino.campos)
            if (c.compare(nombre, Qt::CaseInsensitive) == 0)
                nombre = c;
        const QString columna = citarNombre(nombre);
        asignaciones << columna + " = ?";
        if (destino.esVista) {
            // En una vista, la versión leída va al disparador, que la compara con la guardada y
            // rechaza la escritura si no es la misma.
            valores << version.toLongLong();
        } else {
            valores << version.toLongLong() + 1;
            condicion += " AND " + columna + " = ?";
        }
    }
    valores << valorClave;
    if (!version.isNull() && !destino.esVista)
        valores << version.toLongLong();
    const QString sql =
        "UPDATE " + citarNombre(destino.origen) + " SET " + asignaciones.join(", ") + " WHERE " + condicion;
    pasar(con, SentenciaPreparada(con, sql.toUtf8()), sql, valores, destino, nullptr);
    return con.motor().filasCambiadas();
}

bool releerFila(Conexion& con, const DestinoFila& destino, const QString& clave, const QVariant& valorClave,
                QVariantList& fila)
{
    const Lectura l = leerPor(con, destino, citarNombre(clave), valorClave, fila);
    if (l != Lectura::NoSePuede)
        return l == Lectura::Leida;
    const QString sql = "SELECT 1 FROM " + citarNombre(destino.origen) + " WHERE " + citarNombre(clave) + " = ?";
    return !con.leerFilas(sql, {valorClave}).empty();
}

void borrarFila(Conexion& con, const QString& tabla, const QString& clave, const QVariant& valorClave,
                const QVariant& version)
{
    const QString donde = " WHERE " + clave + " = ?";
    if (version.isNull()) {
        con.ejecutar("DELETE FROM " + tabla + donde, {valorClave});
        return;
    }
    const QString sql =
        "DELETE FROM " + tabla + donde + " AND " + QString::fromLatin1(SqlRevision::ColumnaVersion) + " = ?";
    con.ejecutar(sql, {valorClave, version.toLongLong()});
    if (con.motor().filasCambiadas() == 0 && !con.leerFilas("SELECT 1 FROM " + tabla + donde, {valorClave}).empty())
        throw filaModificada(sql);
}

ErrorBD filaModificada(const QString& sentencia)
{
    return ErrorBD(NumeroError::RegistroModificado,
                   QObject::tr("Otro usuario ha modificado este registro; se muestran sus datos"), sentencia);
}
