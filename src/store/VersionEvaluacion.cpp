#include "store/VersionEvaluacion.h"

#include "store/Conexion.h"
#include "store/SentenciaPreparada.h"

#include <QCryptographicHash>
#include <sqlite3.h>

namespace {
// Lo que recoge el documento, fila a fila y siempre en el mismo orden.
const char* const consultasHuella[] = {
    "SELECT FechaEvaluacion, MotivoEvaluacion, FechaRevision FROM CentroTrabajo WHERE IDCentro = ?",
    "SELECT IDPuestoCentro, Puesto, Descripcion, NTrabajadores, TrabajadoresSensibles, Trabajadores "
    "FROM PuestosCentros WHERE IDCentro = ? ORDER BY IDPuestoCentro",
    "SELECT s.IDPuestoCentro, s.IDFactor FROM FactoresSeleccionarEvaluacion s "
    "JOIN PuestosCentros p ON p.IDPuestoCentro = s.IDPuestoCentro "
    "WHERE p.IDCentro = ? AND s.FactorSelecionado = 'S' ORDER BY s.IDEvaluacionCrear",
    "SELECT e.IDEvaluacion, e.IDRiesgo, e.Mostrar, e.Probabilidad, e.Consecuencias, e.ValorRiesgo, "
    "e.SituacionObservada FROM Evaluacion e JOIN PuestosCentros p ON p.IDPuestoCentro = e.IDPuestoCentro "
    "WHERE p.IDCentro = ? ORDER BY e.IDEvaluacion",
    "SELECT m.IDMedidaFactor, m.Medida, m.MarcarMedida, m.Implantada FROM MedidasFactores m "
    "JOIN Evaluacion e ON e.IDEvaluacion = m.IDEvaluacion "
    "JOIN PuestosCentros p ON p.IDPuestoCentro = e.IDPuestoCentro "
    "WHERE p.IDCentro = ? AND (m.MarcarMedida = 'S' OR m.Implantada = 'S') ORDER BY m.IDMedidaFactor",
};

// Añade a la huella el valor de una columna. El tipo va delante: un nulo y un texto vacío no dan la
// misma huella. En SQLite, su tipo y su texto tal cual, como siempre se han guardado las huellas; en
// otro motor, el tipo y el texto que el archivo daría al mismo valor, para que una base trasladada al
// servidor no vea cambiado lo que no ha cambiado.
void anadirValor(QCryptographicHash& huella, const SentenciaMotor& st, int i)
{
    char tipo;
    QByteArray texto;
    if (sqlite3_stmt* s = st.sqlite()) {
        tipo = char('0' + sqlite3_column_type(s, i));
        texto = QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(s, i)), sqlite3_column_bytes(s, i));
    } else {
        const QVariant v = st.valor(i, {});
        const int t = v.typeId();
        if (!v.isValid() || v.isNull()) {
            tipo = char('0' + SQLITE_NULL);
        } else if (t == QMetaType::Double || t == QMetaType::Float) {
            // SQLite escribe un real con quince cifras y, si es entero, con su ".0".
            tipo = char('0' + SQLITE_FLOAT);
            texto = QByteArray::number(v.toDouble(), 'g', 15);
            if (!texto.contains('.') && !texto.contains('e') && !texto.contains('n'))
                texto += ".0";
        } else if (t == QMetaType::QByteArray) {
            tipo = char('0' + SQLITE_BLOB);
            texto = v.toByteArray();
        } else if (t == QMetaType::QDate || t == QMetaType::QDateTime || t == QMetaType::QString) {
            tipo = char('0' + SQLITE_TEXT);
            texto = t == QMetaType::QDate ? v.toDate().toString(Qt::ISODate).toUtf8()
                    : t == QMetaType::QDateTime
                        ? v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8()
                        : v.toString().toUtf8();
        } else {
            // Enteros y lógicos, como los guarda el archivo.
            tipo = char('0' + SQLITE_INTEGER);
            texto = QByteArray::number(v.toLongLong());
        }
    }
    huella.addData(QByteArrayView(&tipo, 1));
    huella.addData(texto);
    huella.addData(QByteArrayView("\x1f", 1));
}

// Añade a la huella las filas de una de sus consultas, ya enlazada. Falso si el motor falla.
bool anadirFilas(QCryptographicHash& huella, SentenciaMotor& st)
{
    const int columnas = st.columnas();
    PasoSentencia paso;
    while ((paso = st.paso()) == PasoSentencia::Fila) {
        for (int i = 0; i < columnas; ++i)
            anadirValor(huella, st, i);
        huella.addData(QByteArrayView("\x1e", 1));
    }
    huella.addData(QByteArrayView("\x1d", 1));
    return paso == PasoSentencia::Fin;
}

QString resultado(const QCryptographicHash& huella)
{
    return QString::fromLatin1(huella.result().toHex());
}

void funcionHuella(sqlite3_context* contexto, int, sqlite3_value** valores)
{
    if (sqlite3_value_type(valores[0]) == SQLITE_NULL) {
        sqlite3_result_null(contexto);
        return;
    }
    const QByteArray h =
        HuellaEvaluacion(sqlite3_context_db_handle(contexto), sqlite3_value_int64(valores[0])).toUtf8();
    if (h.isEmpty())
        sqlite3_result_error(contexto, "no se puede leer la evaluación del centro", -1);
    else
        sqlite3_result_text(contexto, h.constData(), int(h.size()), SQLITE_TRANSIENT);
}

// Primera fila de una lectura corta (vacía si no hay ninguna).
QVariantList leerFila(Conexion& c, const char* sql, const QVariantList& valores)
{
    const std::vector<QVariantList> filas = c.leerFilas(QString::fromUtf8(sql), valores);
    return filas.empty() ? QVariantList{} : filas.front();
}

// Última versión emitida del centro: número, fecha de la evaluación y huella (vacía si no hay).
QVariantList ultimaVersion(Conexion& c, long long idCentro)
{
    return leerFila(c,
                    "SELECT Version, FechaEvaluacion, Huella FROM VersionesEvaluacion WHERE IDCentro = ? "
                    "ORDER BY Version DESC LIMIT 1",
                    {idCentro});
}
} // namespace

const QStringList& MotivosEvaluacion()
{
    static const QStringList motivos{
        QStringLiteral("Inicial"),
        QStringLiteral("Periódica"),
        QStringLiteral("Por cambios en las condiciones de trabajo"),
        QStringLiteral("Tras daños a la salud"),
        QStringLiteral("Por incorporación de trabajadores especialmente sensibles"),
    };
    return motivos;
}

QString HuellaEvaluacion(sqlite3* bd, long long idCentro)
{
    QCryptographicHash huella(QCryptographicHash::Sha1);
    for (const char* sql : consultasHuella) {
        int rc = SQLITE_OK;
        const SentenciaPreparada st = SentenciaPreparada::suelta(bd, sql, rc);
        if (rc != SQLITE_OK || st->enlazar(1, qlonglong(idCentro)) != SQLITE_OK || !anadirFilas(huella, *st))
            return {};
    }
    return resultado(huella);
}

QString HuellaEvaluacion(Conexion& c, long long idCentro)
{
    QCryptographicHash huella(QCryptographicHash::Sha1);
    for (const char* sql : consultasHuella) {
        const SentenciaPreparada st(c, sql);
        enlazar(c, *st, 1, qlonglong(idCentro));
        if (!anadirFilas(huella, *st))
            c.lanzar(st->codigo(), QString::fromUtf8(sql));
    }
    return resultado(huella);
}

void RegistrarFuncionesEvaluacion(sqlite3* bd)
{
    sqlite3_create_function_v2(bd, "huella_evaluacion", 1, SQLITE_UTF8, nullptr, funcionHuella, nullptr, nullptr,
                               nullptr);
}

VersionEmitida EmitirVersion(Conexion& c, long long idCentro, const QDateTime& cuando)
{
    Transaccion t(c);
    const QVariantList ultima = ultimaVersion(c, idCentro);
    const QVariantList centro =
        leerFila(c,
                 "SELECT FechaEvaluacion, MotivoEvaluacion, FechaRevision, coalesce(VersionEvaluacion, 0) "
                 "FROM CentroTrabajo WHERE IDCentro = ?",
                 {idCentro});
    if (centro.isEmpty())
        return {};
    const int anterior = qMax(ultima.isEmpty() ? 0 : ultima[0].toInt(), centro[3].toInt());
    if (!ultima.isEmpty() && ultima[2].toString() == HuellaEvaluacion(c, idCentro))
        return {anterior, false};

    const int version = anterior + 1;
    QString motivo = centro[1].toString().trimmed();
    // Una versión que no es la primera no puede ser la evaluación inicial: si nadie ha dicho otro
    // motivo, es que algo ha cambiado en el trabajo.
    if (version > 1 && (motivo.isEmpty() || motivo == MotivosEvaluacion().front()))
        motivo = MotivosEvaluacion().at(2);
    else if (motivo.isEmpty())
        motivo = MotivosEvaluacion().front();
    QDate fecha = centro[0].toDate();
    if (!fecha.isValid())
        fecha = cuando.date();
    QDate revision = centro[2].toDate();
    if (!revision.isValid())
        revision = fecha.addYears(1);
    c.ejecutar("UPDATE CentroTrabajo SET FechaEvaluacion = ?, MotivoEvaluacion = ?, FechaRevision = ?, "
               "VersionEvaluacion = ? WHERE IDCentro = ?",
               {fecha, motivo, revision, version, idCentro});
    c.ejecutar("INSERT INTO VersionesEvaluacion (IDCentro, Version, FechaEvaluacion, Motivo, Huella, Emitida) "
               "VALUES (?, ?, ?, ?, ?, ?)",
               {idCentro, version, fecha, motivo, HuellaEvaluacion(c, idCentro), cuando});
    t.confirmar();
    return {version, true};
}

void FechaAlCompletar(Conexion& c, long long idCentro, const QDate& hoy)
{
    Transaccion t(c);
    const QVariantList centro =
        leerFila(c, "SELECT FechaEvaluacion, FechaRevision FROM CentroTrabajo WHERE IDCentro = ?", {idCentro});
    if (centro.isEmpty())
        return;
    const QDate fecha = centro[0].toDate(), revision = centro[1].toDate();
    bool caducada = !fecha.isValid();
    if (!caducada) {
        const QVariantList ultima = ultimaVersion(c, idCentro);
        caducada =
            !ultima.isEmpty() && ultima[1].toDate() == fecha && ultima[2].toString() != HuellaEvaluacion(c, idCentro);
    }
    if (!caducada || fecha == hoy)
        return;
    const bool revisionPorDefecto = !revision.isValid() || revision == fecha.addYears(1);
    c.ejecutar("UPDATE CentroTrabajo SET FechaEvaluacion = ? WHERE IDCentro = ?", {hoy, idCentro});
    if (revisionPorDefecto)
        c.ejecutar("UPDATE CentroTrabajo SET FechaRevision = ? WHERE IDCentro = ?", {hoy.addYears(1), idCentro});
    t.confirmar();
}
