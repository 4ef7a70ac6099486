// Pasa de 600 líneas: todo es el cursor sobre un mismo estado; escritura de filas y análisis de sentencias van aparte.
#include "store/Recordset.h"

#include "store/AnalisisConsulta.h"
#include "store/Conexion.h"
#include "store/ErrorBD.h"
#include "store/EscrituraFila.h"
#include "store/SentenciaPreparada.h"
#include "store/TextoRevisiones.h"

#include <QObject>
#include <algorithm>
#include <set>

namespace {
enum class Modo
{
    Ninguno,
    Alta,
    Edicion
};

ErrorBD sinRegistro()
{
    return ErrorBD(NumeroError::SinRegistroActual,
                   QObject::tr("BOF o EOF es verdadero, o el registro actual se ha eliminado. La operación "
                               "necesita un registro actual."));
}

// Prepara la sentencia y enlaza sus valores en orden.
SentenciaPreparada abrirSentencia(Conexion& con, const QByteArray& sql, const QString& original,
                                  const QVariantList& parametros)
{
    SentenciaPreparada st(con, sql);
    if (st->parametros() != parametros.size()) {
        const int esperados = st->parametros();
        throw ErrorBD(
            NumeroError::SintaxisConsulta,
            QObject::tr("La sentencia espera %1 valores y se le han dado %2.").arg(esperados).arg(parametros.size()),
            original);
    }
    enlazarTodos(con, *st, parametros);
    return st;
}

ErrorBD sinCampo(const QString& campo)
{
    return ErrorBD(NumeroError::ElementoNoEncontrado,
                   QObject::tr("No se encuentra el campo «%1» en el conjunto de registros.").arg(campo));
}
} // namespace

struct Recordset::Datos
{
    std::shared_ptr<Conexion> con;
    QString sql;
    QVariantList parametros;
    SentenciaPreparada st; // filas pendientes de leer
    bool abierto = false;
    bool completo = false;
    QStringList campos;
    std::vector<QByteArray> tipos;
    std::vector<QVariantList> filas;     // leídas, en el orden de la sentencia
    std::vector<QVariantList> agregadas; // altas hechas por este conjunto, detrás de las demás
    std::set<qlonglong> clavesAgregadas; // para no repetirlas si la lectura pendiente las alcanza
    long long actual = 0;                // índice en filas + agregadas; -1 es BOF
    int agregadaActual = -1;             // alta actual mientras quedan filas sin leer
    Modo modo = Modo::Ninguno;
    QVariantList bufer;
    std::vector<bool> tocado;
    // Lectura soltada antes de una escritura (ver Conexion::soltarLectores) y cómo retomarla.
    Recordset* duenio = nullptr;
    QByteArray sqlEjecutada;
    QString columnaOrden;
    bool suspendida = false;
    long long pasos = 0;      // filas dadas por la ejecución actual de la sentencia
    long long recuento = -1;  // filas contadas en el almacén para esta ejecución; -1 sin contar
    int indiceOrden = -1;     // columna por la que salen ordenadas, o -1
    bool ordenFiable = false; // hasta ahora todas enteras y en orden ascendente
    qlonglong ultimaOrden = 0;
    long long igualesOrden = 0; // filas dadas con ese mismo valor de orden
    bool origenListo = false;
    bool esVista = false;
    QString origen;
    QString clave;
    int indiceClave = -1;
    int indiceVersion = -1; // columna con la versión de la fila, o -1
    long long ultimoId = 0;

    void soltarSentencia()
    {
        if (st && con)
            con->quitarLector(duenio);
        st.soltar();
        suspendida = false;
    }
    void anotarOrden()
    {
        if (!ordenFiable)
            return;
        qlonglong k = 0;
        if (!st->entero(indiceOrden, k)) {
            ordenFiable = false;
            return;
        }
        if (pasos > 1 && k == ultimaOrden) {
            ++igualesOrden;
        } else if (pasos == 1 || k > ultimaOrden) {
            ultimaOrden = k;
            igualesOrden = 1;
        } else {
            ordenFiable = false;
        }
    }
    long long leidas() const { return (long long)filas.size(); }
    const QVariantList& fila(long long i) const
    {
        return i < leidas() ? filas[size_t(i)] : agregadas[size_t(i - leidas())];
    }
};

Recordset::Recordset() : d(std::make_unique<Datos>())
{
    d->duenio = this;
}

Recordset::~Recordset()
{
    close();
}

void Recordset::open(const QString& sql, const QString& conexion, const QVariantList& parametros)
{
    close();
    d->con = Conexion::obtener(conexion);
    d->sql = sql;
    d->parametros = parametros;
    requery();
}

void Recordset::requery()
{
    if (!d->con)
        throw ErrorBD(NumeroError::ObjetoDesconectado, QObject::tr("El conjunto de registros no está abierto."));
    d->soltarSentencia();
    d->abierto = false;
    d->completo = false;
    d->filas.clear();
    d->agregadas.clear();
    d->clavesAgregadas.clear();
    d->agregadaActual = -1;
    d->modo = Modo::Ninguno;
    d->actual = 0;
    d->recuento = -1;

    Conexion& con = *d->con;
    const Conexion::ConsultaPreparada& ordenada = conOrdenNatural(con, d->sql);
    d->sqlEjecutada = ordenada.sql;
    d->columnaOrden = ordenada.columnaOrden;
    d->st = abrirSentencia(con, d->sqlEjecutada, d->sql, d->parametros);
    const SentenciaMotor& st = *d->st;
    const int columnas = st.columnas();
    d->campos.clear();
    d->tipos.clear();
    for (int i = 0; i < columnas; ++i) {
        d->campos << st.nombreColumna(i);
        d->tipos.push_back(st.tipoDeclarado(i));
    }
    if (d->origenListo) {
        d->indiceClave = fieldIndex(d->clave);
        d->indiceVersion = fieldIndex(QString::fromLatin1(SqlRevision::ColumnaVersion));
    }
    d->indiceOrden = d->columnaOrden.isEmpty() ? -1 : fieldIndex(d->columnaOrden);
    d->ordenFiable = d->indiceOrden >= 0;
    d->pasos = 0;
    d->igualesOrden = 0;
    con.anotarLector(this);
    d->abierto = true;
    // Sin columnas es una orden (delete, update...): se ejecuta entera ahora.
    leerSiguiente();
}

void Recordset::close()
{
    d->soltarSentencia();
    d->con.reset();
    d->abierto = false;
    d->completo = false;
    d->filas.clear();
    d->agregadas.clear();
    d->clavesAgregadas.clear();
    d->campos.clear();
    d->tipos.clear();
    d->modo = Modo::Ninguno;
    d->origenListo = false;
    d->agregadaActual = -1;
    d->recuento = -1;
}

bool Recordset::isOpen() const
{
    return d->abierto;
}

const QString& Recordset::sql() const
{
    return d->sql;
}

long long Recordset::execute(const QString& sql, const QString& conexion, const QVariantList& parametros)
{
    Recordset rs;
    rs.open(sql, conexion, parametros);
    return rs.d->con->motor().filasCambiadas();
}

void Recordset::comprobarAbierto() const
{
    if (!d->abierto)
        throw ErrorBD(NumeroError::ObjetoDesconectado, QObject::tr("El conjunto de registros está cerrado."));
}

bool Recordset::leerSiguiente()
{
    while (!d->completo) {
        const PasoSentencia paso = d->suspendida ? reanudar() : d->st->paso();
        if (paso == PasoSentencia::Fila) {
            ++d->pasos;
            d->anotarOrden();
            const SentenciaMotor& st = *d->st;
            QVariantList fila;
            fila.reserve(d->campos.size());
            for (int i = 0; i < d->campos.size(); ++i)
                fila << st.valor(i, d->tipos[size_t(i)]);
            if (!d->clavesAgregadas.empty() && d->indiceClave >= 0 &&
                d->clavesAgregadas.count(fila[d->indiceClave].toLongLong()))
                continue;
            d->filas.push_back(std::move(fila));
            return true;
        }
        d->completo = true;
        if (d->agregadaActual >= 0) {
            d->actual = d->leidas() + d->agregadaActual;
            d->agregadaActual = -1;
        }
        if (paso == PasoSentencia::Fallo) {
            const QString sql = d->sql;
            const int codigo = d->st->codigo();
            auto con = d->con;
            d->soltarSentencia();
            con->lanzar(codigo, sql);
        }
        d->soltarSentencia();
    }
    return false;
}

void Recordset::soltarLectura()
{
    if (d->con)
        d->con->quitarLector(this);
    if (!d->st)
        return;
    d->soltarSentencia();
    d->suspendida = true;
}

// Vuelve a ejecutar la sentencia soltada y la deja tras la última fila dada. Si las filas salen por
// una clave entera, se sigue por la clave, aunque entretanto se hayan borrado o añadido filas; si
// no, por el número de filas dadas. Devuelve el resultado del paso a la primera fila nueva.
PasoSentencia Recordset::reanudar()
{
    Conexion& con = *d->con;
    d->st = abrirSentencia(con, d->sqlEjecutada, d->sql, d->parametros);
    SentenciaMotor& st = *d->st;
    d->suspendida = false;
    con.anotarLector(this);
    const long long dadas = d->pasos;
    d->pasos = 0;
    PasoSentencia paso = PasoSentencia::Fin;
    if (d->ordenFiable && dadas > 0) {
        long long iguales = 0;
        qlonglong k = 0;
        while ((paso = st.paso()) == PasoSentencia::Fila) {
            if (!st.entero(d->indiceOrden, k))
                break;
            if (k < d->ultimaOrden || (k == d->ultimaOrden && iguales < d->igualesOrden)) {
                iguales += k == d->ultimaOrden;
                ++d->pasos;
                continue;
            }
            return paso;
        }
        if (paso != PasoSentencia::Fila)
            return paso;
        // Una clave que no es entera: se vuelve a empezar y se cuentan las filas.
        d->ordenFiable = false;
        st.reiniciar();
        d->pasos = 0;
    }
    while (d->pasos < dadas && (paso = st.paso()) == PasoSentencia::Fila)
        ++d->pasos;
    if (d->pasos < dadas)
        return paso;
    return st.paso();
}

void Recordset::leerTodo()
{
    while (leerSiguiente()) {
    }
}

bool Recordset::bof()
{
    comprobarAbierto();
    if (d->agregadaActual >= 0)
        return false;
    if (d->actual < 0)
        return true;
    // Conjunto vacío: BOF y EOF a la vez.
    if (d->leidas() == 0 && !leerSiguiente() && d->agregadas.empty())
        return true;
    return false;
}

bool Recordset::eof()
{
    comprobarAbierto();
    if (d->agregadaActual >= 0)
        return false;
    if (d->actual < 0)
        return d->leidas() == 0 && !leerSiguiente() && d->agregadas.empty();
    while (d->actual >= d->leidas() && leerSiguiente()) {
    }
    return d->actual >= d->leidas() + (d->completo ? (long long)d->agregadas.size() : 0);
}

void Recordset::antesDeMoverse()
{
    // La fila a medio escribir se guarda antes de dejarla, y un alta aún suelta pasa a su sitio
    // detrás de las leídas.
    comprobarAbierto();
    if (d->modo != Modo::Ninguno)
        update();
    if (d->agregadaActual >= 0)
        leerTodo();
}

void Recordset::moveFirst()
{
    antesDeMoverse();
    d->actual = 0;
    if (eof())
        throw sinRegistro();
}

void Recordset::moveLast()
{
    comprobarAbierto();
    if (d->modo != Modo::Ninguno)
        update();
    leerTodo();
    const long long total = d->leidas() + (long long)d->agregadas.size();
    if (total == 0)
        throw sinRegistro();
    d->actual = total - 1;
}

void Recordset::moveNext()
{
    antesDeMoverse();
    if (eof())
        throw sinRegistro();
    ++d->actual;
}

void Recordset::movePrevious()
{
    antesDeMoverse();
    if (bof())
        throw sinRegistro();
    if (eof())
        leerTodo();
    const long long total = d->leidas() + (long long)d->agregadas.size();
    if (d->actual > total)
        d->actual = total;
    --d->actual;
}

long Recordset::recordCount()
{
    comprobarAbierto();
    leerTodo();
    return long(d->leidas() + (long long)d->agregadas.size());
}

long Recordset::countWithoutReading()
{
    comprobarAbierto();
    if (!d->completo && d->recuento < 0)
        d->recuento = contarEnAlmacen();
    // Una sentencia que no se deja contar aparte se cuenta leyéndola.
    if (!d->completo && d->recuento < 0)
        leerTodo();
    const long long vistas = d->leidas() + (long long)d->agregadas.size();
    return long(d->completo ? vistas : std::max(d->recuento, vistas));
}

// Las filas que da ahora la sentencia, contadas por el almacén sin leerlas; -1 si no se puede.
long long Recordset::contarEnAlmacen()
{
    QString sql = d->sql.trimmed();
    while (sql.endsWith(QLatin1Char(';')))
        sql = sql.chopped(1).trimmed();
    try {
        const SentenciaPreparada st =
            abrirSentencia(*d->con, ("SELECT count(*) FROM (" + sql + "\n) AS filas").toUtf8(), d->sql, d->parametros);
        qlonglong n = 0;
        if (st->paso() == PasoSentencia::Fila && st->entero(0, n))
            return n;
    } catch (const ErrorBD&) {
    }
    return -1;
}

long Recordset::absolutePosition()
{
    comprobarAbierto();
    if (d->agregadaActual >= 0)
        leerTodo();
    if (bof() || eof())
        return -1;
    return long(d->actual + 1);
}

void Recordset::setAbsolutePosition(long posicion)
{
    comprobarAbierto();
    if (d->agregadaActual >= 0)
        leerTodo();
    while (posicion > d->leidas() && leerSiguiente()) {
    }
    const long long total = d->leidas() + (d->completo ? (long long)d->agregadas.size() : 0);
    if (posicion < 1 || posicion > total)
        throw ErrorBD(NumeroError::ArgumentoNoValido,
                      QObject::tr("La posición %1 está fuera del conjunto de registros.").arg(posicion));
    d->actual = posicion - 1;
}

bool Recordset::find(const QString& criterio)
{
    QString campo;
    QVariant valor;
    if (!analizarCriterio(criterio, campo, valor))
        throw ErrorBD(NumeroError::ArgumentoNoValido,
                      QObject::tr("El criterio de búsqueda «%1» no es válido.").arg(criterio));
    return findValue(campo, valor);
}

bool Recordset::findValue(const QString& campo, const QVariant& valor)
{
    comprobarAbierto();
    const int indice = fieldIndex(campo);
    if (indice < 0)
        throw sinCampo(campo);
    antesDeMoverse();
    if (d->actual < 0)
        d->actual = 0;
    while (!eof()) {
        if (coincideCriterio(d->fila(d->actual)[indice], valor))
            return true;
        ++d->actual;
    }
    return false;
}

int Recordset::fieldCount() const
{
    return int(d->campos.size());
}

QString Recordset::fieldName(int indice) const
{
    return d->campos.value(indice);
}

int Recordset::fieldIndex(const QString& campo) const
{
    for (int i = 0; i < d->campos.size(); ++i)
        if (d->campos[i].compare(campo, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void Recordset::comprobarFilaActual()
{
    comprobarAbierto();
    if (d->agregadaActual >= 0)
        return;
    if (bof() || eof())
        throw sinRegistro();
}

QVariant Recordset::value(const QString& campo)
{
    const int i = fieldIndex(campo);
    if (i < 0) {
        comprobarAbierto();
        throw sinCampo(campo);
    }
    return value(i);
}

QVariant Recordset::value(int indice)
{
    if (d->modo == Modo::Alta) {
        comprobarAbierto();
        return d->bufer.value(indice);
    }
    comprobarFilaActual();
    if (indice < 0 || indice >= d->campos.size())
        throw ErrorBD(NumeroError::ElementoNoEncontrado, QObject::tr("No existe el campo número %1.").arg(indice));
    if (d->modo == Modo::Edicion)
        return d->bufer[indice];
    if (d->agregadaActual >= 0)
        return d->agregadas[size_t(d->agregadaActual)][indice];
    return d->fila(d->actual)[indice];
}

QVariant Recordset::valueAt(long posicion, int indice)
{
    comprobarAbierto();
    if (posicion < 1 || indice < 0 || indice >= d->campos.size())
        return {};
    while (posicion > d->leidas() && leerSiguiente()) {
    }
    // Las altas de este conjunto van detrás de las leídas, cuando ya están todas.
    const long long total = d->leidas() + (d->completo ? (long long)d->agregadas.size() : 0);
    return posicion <= total ? d->fila(posicion - 1)[indice] : QVariant();
}

void Recordset::setValue(const QString& campo, const QVariant& valor)
{
    comprobarAbierto();
    const int i = fieldIndex(campo);
    if (i < 0)
        throw sinCampo(campo);
    if (d->modo == Modo::Ninguno) {
        comprobarFilaActual();
        d->bufer = d->agregadaActual >= 0 ? d->agregadas[size_t(d->agregadaActual)] : d->fila(d->actual);
        d->tocado.assign(size_t(d->campos.size()), false);
        d->modo = Modo::Edicion;
    }
    d->bufer[i] = ajustarTipo(valor, d->tipos[size_t(i)], d->campos[i]);
    d->tocado[size_t(i)] = true;
}

void Recordset::addNew()
{
    comprobarAbierto();
    if (d->modo == Modo::Edicion)
        update();
    d->bufer = QVariantList();
    for (int i = 0; i < d->campos.size(); ++i)
        d->bufer << QVariant();
    d->tocado.assign(size_t(d->campos.size()), false);
    d->modo = Modo::Alta;
}

bool Recordset::editing() const
{
    return d->modo != Modo::Ninguno;
}

void Recordset::cancelUpdate()
{
    d->modo = Modo::Ninguno;
    d->bufer.clear();
}

long long Recordset::lastInsertId() const
{
    return d->ultimoId;
}

void Recordset::prepararOrigen()
{
    if (d->origenListo)
        return;
    const QString nombre = nombreTrasFrom(d->sql);
    const QString exacto = nombre.isEmpty() ? QString() : d->con->origenExacto(nombre);
    if (exacto.isEmpty())
        throw ErrorBD(NumeroError::ErrorGeneral,
                      QObject::tr("Este conjunto de registros no se puede actualizar: no sale de una sola tabla."),
                      d->sql);
    d->origen = exacto;
    d->esVista = d->con->esVista(exacto);
    d->clave = d->con->claveDe(exacto);
    d->indiceClave = fieldIndex(d->clave);
    d->indiceVersion = fieldIndex(QString::fromLatin1(SqlRevision::ColumnaVersion));
    d->origenListo = true;
}

void Recordset::update()
{
    comprobarAbierto();
    if (d->modo == Modo::Ninguno)
        return;
    prepararOrigen();
    Conexion& con = *d->con;
    const DestinoFila destino{d->origen, d->esVista, d->campos, d->tipos, d->tocado};

    if (d->modo == Modo::Alta) {
        QVariantList fila = d->bufer;
        d->ultimoId = insertarFila(con, destino, fila, d->indiceClave);
        d->modo = Modo::Ninguno;
        d->agregadas.push_back(fila);
        if (d->recuento >= 0)
            ++d->recuento;
        if (d->completo) {
            d->actual = d->leidas() + (long long)d->agregadas.size() - 1;
        } else {
            d->clavesAgregadas.insert(d->ultimoId);
            d->agregadaActual = int(d->agregadas.size()) - 1;
        }
        return;
    }

    // Modificación de la fila actual, localizada por su clave.
    if (std::none_of(d->tocado.begin(), d->tocado.end(), [](bool t) { return t; })) {
        d->modo = Modo::Ninguno;
        return;
    }
    if (d->indiceClave < 0)
        throw ErrorBD(
            NumeroError::ErrorGeneral,
            QObject::tr("Este conjunto de registros no se puede actualizar: no incluye la clave «%1».").arg(d->clave),
            d->sql);
    // Con la versión de la fila a la vista, sólo se guarda si nadie la ha cambiado desde que se leyó.
    QVariant version;
    if (d->indiceVersion >= 0) {
        version = filaActual()[d->indiceVersion];
        d->tocado[size_t(d->indiceVersion)] = false; // la versión la lleva el almacén, no quien escribe
    }
    const QVariant clave = d->bufer[d->indiceClave];
    long long cambiadas = 0;
    try {
        cambiadas = modificarFila(con, destino, d->bufer, d->clave, clave, version);
    } catch (const ErrorBD& e) {
        // El disparador de una vista rechaza la versión vieja: se enseña la fila como está ahora.
        if (e.numero() != NumeroError::RegistroModificado)
            throw;
        d->modo = Modo::Ninguno;
        QVariantList guardada = filaActual();
        if (releerFila(con, destino, d->clave, clave, guardada))
            filaActual() = guardada;
        throw filaModificada(d->sql);
    }
    // Las vistas escriben por su disparador, que no cuenta filas cambiadas.
    if (!d->esVista && cambiadas == 0) {
        d->modo = Modo::Ninguno;
        QVariantList guardada = filaActual();
        if (!version.isNull() && releerFila(con, destino, d->clave, clave, guardada)) {
            // La fila sigue ahí con lo que guardó el otro: es lo que se enseña ahora.
            filaActual() = guardada;
            throw filaModificada(d->sql);
        }
        throw ErrorBD(NumeroError::ErrorGeneral,
                      QObject::tr("No se encuentra el registro para actualizarlo: otra operación lo ha borrado. "
                                  "Vuelva a abrir la ventana."),
                      d->sql);
    }
    if (!version.isNull())
        d->bufer[d->indiceVersion] = version.toLongLong() + 1;
    filaActual() = d->bufer;
    d->modo = Modo::Ninguno;
}

QVariantList& Recordset::filaActual()
{
    if (d->agregadaActual >= 0)
        return d->agregadas[size_t(d->agregadaActual)];
    if (d->actual < d->leidas())
        return d->filas[size_t(d->actual)];
    return d->agregadas[size_t(d->actual - d->leidas())];
}
