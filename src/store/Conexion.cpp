#include "store/Conexion.h"

#include "plataforma/CierrePrograma.h"
#include "store/CuentaSistema.h"
#include "store/ErrorBD.h"
#include "store/Esquema.h"
#include "store/MapaErrores.h"
#include "store/ProteccionDiario.h"
#include "store/Recordset.h"
#include "store/SentenciaPreparada.h"
#include "store/ValoresSqlite.h"
#include "store/VersionEvaluacion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <map>
#include <sqlite3.h>

namespace {
// Una conexión por texto de conexión. Las ventanas abren y cierran conjuntos a cada paso;
// reabrir el archivo y releer el esquema cada vez costaría más que la propia consulta.
std::map<QString, std::shared_ptr<Conexion>>& conexionesAbiertas()
{
    static std::map<QString, std::shared_ptr<Conexion>> abiertas;
    return abiertas;
}

// Todas las conexiones vivas, también las que ya no están en la tabla de abiertas pero sigue
// teniendo algún conjunto de registros: al terminar se cierran todas.
std::set<Conexion*>& conexionesVivas()
{
    static std::set<Conexion*> vivas;
    return vivas;
}

QString ruta(const QString& nativa)
{
    return QDir::fromNativeSeparators(nativa);
}

// Mira la cabecera antes de dárselo a SQLite: un archivo de texto o uno cortado se
// reconocen aquí con un mensaje claro en vez de fallar más tarde a mitad de una lectura.
void comprobarCabecera(const QString& archivo)
{
    QFile f(archivo);
    if (!f.open(QIODevice::ReadOnly))
        return; // el fallo de apertura lo cuenta SQLite con su código
    const qint64 tamano = f.size();
    const QString danada = QObject::tr("El archivo «%1» no es una base de datos del programa o está dañado.")
                               .arg(QDir::toNativeSeparators(archivo));
    if (tamano == 0)
        throw ErrorBD(NumeroError::BaseDanada, danada + QObject::tr(" Está vacío."));
    const QByteArray cabecera = f.read(100);
    if (cabecera.size() < 100 || !cabecera.startsWith(QByteArray("SQLite format 3\0", 16)))
        throw ErrorBD(NumeroError::BaseDanada, danada);
    if (QFileInfo::exists(archivo + "-wal"))
        return; // con diario pendiente el tamaño del archivo aún no es el definitivo
    const auto byte = [&](int i) { return quint32(quint8(cabecera[i])); };
    quint32 pagina = (byte(16) << 8) | byte(17);
    if (pagina == 1)
        pagina = 65536;
    const quint32 paginas = (byte(28) << 24) | (byte(29) << 16) | (byte(30) << 8) | byte(31);
    const bool cuentaValida = paginas > 0 && cabecera.mid(24, 4) == cabecera.mid(92, 4);
    if (cuentaValida && qint64(paginas) * pagina > tamano)
        throw ErrorBD(NumeroError::BaseDanada, danada + QObject::tr(" Le falta una parte (está cortado)."));
}
} // namespace

QString valorConexion(const QString& valor)
{
    // Sin nada raro, tal cual: el texto de siempre para las rutas de siempre.
    const bool raro = valor.contains(';') || valor.startsWith('"') || valor.startsWith('\'') ||
                      (!valor.isEmpty() && (valor.front().isSpace() || valor.back().isSpace()));
    if (!raro)
        return valor;
    QString v = valor;
    v.replace('"', "\"\"");
    return '"' + v + '"';
}

QString textoConexion(const QString& carpeta)
{
    const QString sep = QDir::separator();
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=") + QStringLiteral("Tortuganza") +
           QStringLiteral(";Persist Security Info=True;User ID=") + QStringLiteral("Velka") +
           QStringLiteral(";Data Source=") + valorConexion(carpeta + sep + QStringLiteral("Evaluacion.mdb")) +
           QStringLiteral(";Mode=Read|Write;Jet OLEDB:System database=") +
           valorConexion(carpeta + sep + QStringLiteral("SYSTEM.mdw")) + QStringLiteral(";Jet OLEDB");
}

DatosConexion analizarConexion(const QString& texto)
{
    const auto malEscrito = [] {
        return ErrorBD(NumeroError::ConexionNoValida,
                       QObject::tr("El texto de conexión está mal escrito: un valor entre comillas no se cierra. "
                                   "Vuelva a iniciar el programa desde su carpeta."));
    };
    DatosConexion d;
    bool conFuente = false;
    qsizetype i = 0;
    const qsizetype n = texto.size();
    while (i < n) {
        // Pieza "clave=valor" hasta el siguiente ';'. Un valor entre comillas (dobles o simples,
        // la comilla doblada vale por una) puede llevar ';' y blancos a los lados: así se
        // escriben las carpetas con esos caracteres.
        const qsizetype finPieza = texto.indexOf(';', i);
        const qsizetype igual = texto.indexOf('=', i);
        if (igual < 0 || (finPieza >= 0 && finPieza < igual)) {
            // Palabras sueltas como el "Jet OLEDB" final.
            i = finPieza < 0 ? n : finPieza + 1;
            continue;
        }
        const QString clave = texto.mid(i, igual - i).trimmed().toLower();
        qsizetype j = igual + 1;
        while (j < n && texto[j].isSpace() && texto[j] != ';')
            ++j;
        QString valor;
        if (j < n && (texto[j] == '"' || texto[j] == '\'')) {
            const QChar comilla = texto[j++];
            bool cerrada = false;
            while (j < n) {
                if (texto[j] == comilla) {
                    if (j + 1 < n && texto[j + 1] == comilla) {
                        valor += comilla;
                        j += 2;
                        continue;
                    }
                    ++j;
                    cerrada = true;
                    break;
                }
                valor += texto[j++];
            }
            if (!cerrada)
                throw malEscrito();
            while (j < n && texto[j].isSpace())
                ++j;
            if (j < n && texto[j] != ';')
                throw malEscrito();
            i = j + 1;
        } else {
            const qsizetype fin = finPieza < 0 ? n : finPieza;
            valor = texto.mid(igual + 1, fin - igual - 1).trimmed();
            i = fin + 1;
        }
        if (clave == "provider")
            d.proveedor = valor;
        else if (clave == "password")
            d.clave = valor;
        else if (clave == "user id")
            d.usuario = valor;
        else if (clave == "data source") {
            d.fuente = valor;
            conFuente = !valor.isEmpty();
        } else if (clave == "mode")
            d.modo = valor;
        else if (clave == "jet oledb:system database")
            d.sistema = valor;
    }
    if (!conFuente)
        throw ErrorBD(NumeroError::ConexionNoValida,
                      QObject::tr("El texto de conexión no indica qué base de datos abrir (falta «Data Source»). "
                                  "Vuelva a iniciar el programa desde su carpeta."));
    return d;
}

std::shared_ptr<Conexion> Conexion::obtener(const QString& texto)
{
    auto& abiertas = conexionesAbiertas();
    auto it = abiertas.find(texto);
    if (it != abiertas.end()) {
        // SQLite abre de sólo lectura, sin decirlo, el archivo en el que no puede escribir, y así
        // se queda la conexión. Cuando el archivo vuelve a admitir escritura (el usuario ha quitado
        // el atributo), se abre otra: no hace falta salir del programa. Quien aún tenga la anterior
        // (un conjunto abierto, una transacción) la sigue usando hasta soltarla.
        sqlite3* bd = it->second->bd();
        if (!bd || sqlite3_db_readonly(bd, "main") != 1 || it->second->enTransaccion() ||
            !QFileInfo(ruta(it->second->datos().fuente)).isWritable())
            return it->second;
        abiertas.erase(it);
    }
    const DatosConexion datos = analizarConexion(texto);
    comprobarCuenta(ruta(datos.sistema), datos.usuario, datos.clave);
    std::shared_ptr<Conexion> c(new Conexion(datos));
    abiertas.emplace(texto, c);
    return c;
}

void Conexion::cerrarTodas()
{
    // Primero las que tienen conjuntos de registros abiertos: si alguna quedara a medio cerrar,
    // SQLite no pasaría el diario al archivo y el último trabajo se quedaría en Evaluacion.mdb-wal.
    const std::set<Conexion*> vivas = conexionesVivas();
    for (Conexion* c : vivas)
        c->cerrar();
    conexionesAbiertas().clear();
}

void Conexion::cerrar()
{
    if (!bd_)
        return;
    soltarLectores();
    for (auto& [sql, libres] : reserva_)
        for (sqlite3_stmt* st : libres)
            sqlite3_finalize(st);
    reserva_.clear();
    // Lo que no se confirmó no se guarda: se deshace antes de cerrar.
    if (!sqlite3_get_autocommit(bd_))
        sqlite3_exec(bd_, "ROLLBACK", nullptr, nullptr, nullptr);
    // Ninguna sentencia puede quedar viva, o el cierre se aplazaría hasta que se soltara.
    while (sqlite3_stmt* st = sqlite3_next_stmt(bd_, nullptr))
        sqlite3_finalize(st);
    // Todo el diario al archivo; al cerrar la última conexión SQLite borra -wal y -shm.
    sqlite3_exec(bd_, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    if (sqlite3_close(bd_) != SQLITE_OK)
        sqlite3_close_v2(bd_);
    bd_ = nullptr;
    claves_.clear();
    origenes_.clear();
    vistas_.clear();
    numeroDeFila_.clear();
    consultas_.clear();
}

void Conexion::comprobarAbierta() const
{
    if (!bd_)
        throw ErrorBD(NumeroError::ObjetoDesconectado,
                      QObject::tr("La conexión con la base de datos «%1» ya está cerrada.")
                          .arg(QDir::toNativeSeparators(ruta(datos_.fuente))));
}

std::shared_ptr<Conexion> Conexion::crear(const QString& archivo)
{
    DatosConexion datos;
    datos.fuente = QDir::toNativeSeparators(archivo);
    return std::shared_ptr<Conexion>(new Conexion(datos, true));
}

Conexion::Conexion(const DatosConexion& datos, bool nueva) : datos_(datos)
{
    // El programa termina sin destructores: antes hay que cerrar las conexiones para que el
    // diario pase al archivo.
    AlTerminarPrograma(&Conexion::cerrarTodas);
    const QString archivo = ruta(datos.fuente);
    if (nueva && QFileInfo::exists(archivo))
        throw ErrorBD(NumeroError::ErrorGeneral,
                      QObject::tr("Ya existe «%1»: no se crea encima.").arg(QDir::toNativeSeparators(archivo)));
    if (!nueva && !QFileInfo::exists(archivo))
        throw ErrorBD(NumeroError::ArchivoNoEncontrado,
                      QObject::tr("No se encuentra la base de datos «%1». Compruebe que el archivo está en la carpeta "
                                  "del programa; si lo ha perdido, cambie el nombre de la copia más reciente "
                                  "(«Evaluacion» con la fecha y la hora, acabada en .bak) a Evaluacion.mdb o vuelva "
                                  "a instalar el programa.")
                          .arg(QDir::toNativeSeparators(archivo)));
    if (!nueva) {
        // Un diario pendiente se mira antes de que SQLite lo aplique por su cuenta.
        const ResultadoDiario diario = ProtegerDiario(archivo);
        if (diario.estado == ResultadoDiario::Estado::SinCopia)
            throw ErrorBD(NumeroError::ErrorDisco, diario.mensaje);
        comprobarCabecera(archivo);
    }
    const QByteArray nombre = QFile::encodeName(archivo);
    const int modo = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (nueva ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(nombre.constData(), &bd_, modo, nullptr);
    if (rc != SQLITE_OK) {
        const ErrorBD e = errorDeSqlite(bd_, rc, archivo, {});
        sqlite3_close_v2(bd_);
        bd_ = nullptr;
        throw e;
    }
    conexionesVivas().insert(this);
    sqlite3_extended_result_codes(bd_, 1);
    sqlite3_busy_timeout(bd_, 2000);
    RegistrarFuncionesEvaluacion(bd_);
    try {
        // La primera sentencia es la que descubre un archivo que no es una base de datos.
        ejecutar("PRAGMA foreign_keys = ON; PRAGMA synchronous = FULL;");
        esquema_ = prepararEsquema(*this, nueva);
        if (esquema_.error)
            throw *esquema_.error;
    } catch (...) {
        conexionesVivas().erase(this);
        sqlite3_close_v2(bd_);
        bd_ = nullptr;
        throw;
    }
}

Conexion::~Conexion()
{
    conexionesVivas().erase(this);
    for (auto& [sql, libres] : reserva_)
        for (sqlite3_stmt* st : libres)
            sqlite3_finalize(st);
    if (bd_)
        sqlite3_close_v2(bd_);
}

bool Conexion::enTransaccion() const
{
    return bd_ && !sqlite3_get_autocommit(bd_);
}

void Conexion::ejecutar(const QString& sql)
{
    // Lo que llega por aquí abre, confirma o deshace transacciones, o cambia el esquema. Sólo abrir
    // una transacción o un punto de guardado no confirma nada.
    comprobarAbierta();
    if (!lectores_.empty()) {
        const QString inicio = sql.trimmed().left(9).toUpper();
        if (!inicio.startsWith(QLatin1String("BEGIN")) && !inicio.startsWith(QLatin1String("SAVEPOINT")))
            soltarLectores();
    }
    char* mensaje = nullptr;
    const int rc = sqlite3_exec(bd_, sql.toUtf8().constData(), nullptr, nullptr, &mensaje);
    sqlite3_free(mensaje);
    if (rc != SQLITE_OK)
        lanzar(rc, sql);
}

void Conexion::lanzar(int codigo, const QString& sentencia) const
{
    throw errorDeSqlite(bd_, codigo, ruta(datos_.fuente), sentencia);
}

Transaccion::Transaccion(const QString& conexion) : Transaccion(Conexion::obtener(conexion))
{
}

Transaccion::Transaccion(std::shared_ptr<Conexion> conexion) : Transaccion(*conexion)
{
    compartida_ = std::move(conexion);
}

Transaccion::Transaccion(Conexion& conexion) : conexion_(&conexion)
{
    if (conexion_->enTransaccion()) {
        static int contador = 0;
        nombre_ = QStringLiteral("paso%1").arg(++contador);
        conexion_->ejecutar("SAVEPOINT " + nombre_);
    } else {
        conexion_->ejecutar("BEGIN IMMEDIATE");
    }
}

Transaccion::~Transaccion()
{
    if (hecha_ || !conexion_->bd())
        return;
    // Deshacer no debe lanzar desde un destructor; si falla, SQLite ya ha deshecho él solo.
    conexion_->soltarLectores();
    const QByteArray sql =
        nombre_.isEmpty() ? QByteArray("ROLLBACK") : ("ROLLBACK TO " + nombre_ + "; RELEASE " + nombre_).toUtf8();
    sqlite3_exec(conexion_->bd(), sql.constData(), nullptr, nullptr, nullptr);
}

void Transaccion::confirmar()
{
    conexion_->ejecutar(nombre_.isEmpty() ? QStringLiteral("COMMIT") : "RELEASE " + nombre_);
    hecha_ = true;
}

sqlite3_stmt* Conexion::preparar(const QByteArray& sql)
{
    comprobarAbierta();
    sqlite3_stmt* st = nullptr;
    auto it = reserva_.find(sql);
    if (it != reserva_.end() && !it->second.empty()) {
        st = it->second.back();
        it->second.pop_back();
    } else {
        const int rc = sqlite3_prepare_v2(bd_, sql.constData(), int(sql.size()), &st, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(st);
            lanzar(rc, QString::fromUtf8(sql));
        }
    }
    // Una escritura fuera de transacción se confirma al terminar: ninguna lectura debe seguir abierta.
    if (!lectores_.empty() && st && !sqlite3_stmt_readonly(st) && sqlite3_get_autocommit(bd_))
        soltarLectores();
    return st;
}

SentenciaPreparada Conexion::prepararConNombre(const QByteArray& sql, const QString& nombre)
{
    SentenciaPreparada st(*this, sql);
    enlazar(*this, st.get(), 1, nombre);
    return st;
}

const Conexion::ConsultaPreparada* Conexion::consultaPreparada(const QString& sql) const
{
    const auto it = consultas_.find(sql);
    return it == consultas_.end() ? nullptr : &it->second;
}

const Conexion::ConsultaPreparada& Conexion::guardarConsulta(const QString& sql, ConsultaPreparada consulta)
{
    // Muchas consultas llevan un identificador en el texto: la memoria no crece sin fin.
    if (consultas_.size() >= 500)
        consultas_.clear();
    return consultas_[sql] = std::move(consulta);
}

void Conexion::anotarLector(Recordset* lector)
{
    lectores_.insert(lector);
}

void Conexion::quitarLector(Recordset* lector)
{
    lectores_.erase(lector);
}

void Conexion::soltarLectores()
{
    // Cada uno se quita de la lista al soltar su sentencia.
    while (!lectores_.empty())
        (*lectores_.begin())->soltarLectura();
}

void Conexion::devolver(sqlite3_stmt* st)
{
    // Con la conexión cerrada, cerrar() ya las finalizó todas: no queda nada que tocar.
    if (!st || !bd_)
        return;
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    // Una reserva pequeña basta: las ventanas repiten pocas sentencias distintas.
    auto& libres = reserva_[QByteArray(sqlite3_sql(st))];
    if (reserva_.size() > 200 || libres.size() >= 4) {
        sqlite3_finalize(st);
        return;
    }
    libres.push_back(st);
}

QString Conexion::origenExacto(const QString& nombre)
{
    const QString clave = nombre.toLower();
    if (auto it = origenes_.find(clave); it != origenes_.end())
        return it->second;
    const SentenciaPreparada st = prepararConNombre(
        "SELECT name FROM sqlite_master WHERE type IN ('table', 'view') AND name = ? COLLATE NOCASE", nombre);
    QString exacto;
    if (sqlite3_step(st.get()) == SQLITE_ROW)
        exacto = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)));
    // Sólo se recuerdan los que existen: el esquema no pierde tablas mientras el programa corre.
    if (!exacto.isEmpty())
        origenes_[clave] = exacto;
    return exacto;
}

QString Conexion::claveDe(const QString& origen)
{
    auto it = claves_.find(origen);
    if (it != claves_.end())
        return it->second;
    QString clave;
    {
        const SentenciaPreparada st = prepararConNombre("SELECT name, pk FROM pragma_table_info(?)", origen);
        bool primera = true;
        QString primeraColumna;
        while (sqlite3_step(st.get()) == SQLITE_ROW) {
            const QString nombre = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)));
            if (primera)
                primeraColumna = nombre;
            primera = false;
            if (sqlite3_column_int(st.get(), 1) == 1)
                clave = nombre;
        }
        if (clave.isEmpty())
            clave = primeraColumna; // vistas: su primera columna es la clave de la fila de origen
    }
    claves_[origen] = clave;
    return clave;
}

bool Conexion::claveEsNumeroDeFila(const QString& origen)
{
    if (auto it = numeroDeFila_.find(origen); it != numeroDeFila_.end())
        return it->second;
    const SentenciaPreparada st =
        prepararConNombre("SELECT count(*), max(upper(type)) FROM pragma_table_info(?) WHERE pk > 0", origen);
    const bool si = sqlite3_step(st.get()) == SQLITE_ROW && sqlite3_column_int(st.get(), 0) == 1 &&
                    qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 1)), "INTEGER") == 0;
    numeroDeFila_[origen] = si;
    return si;
}

bool Conexion::esVista(const QString& origen)
{
    if (auto it = vistas_.find(origen); it != vistas_.end())
        return it->second;
    const SentenciaPreparada st = prepararConNombre("SELECT type FROM sqlite_master WHERE name = ?", origen);
    const bool vista = sqlite3_step(st.get()) == SQLITE_ROW &&
                       qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)), "view") == 0;
    vistas_[origen] = vista;
    return vista;
}

void Conexion::ejecutar(const QString& sql, const QVariantList& parametros)
{
    SentenciaPreparada st(*this, sql.toUtf8());
    enlazarTodos(*this, st.get(), parametros);
    const int rc = sqlite3_step(st.get());
    st.soltar();
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        lanzar(rc, sql);
}

std::vector<QVariantList> Conexion::leerFilas(const QString& sql, const QVariantList& parametros)
{
    const SentenciaPreparada st(*this, sql.toUtf8());
    enlazarTodos(*this, st.get(), parametros);
    std::vector<QVariantList> filas;
    const int columnas = sqlite3_column_count(st.get());
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        QVariantList fila;
        fila.reserve(columnas);
        for (int i = 0; i < columnas; ++i)
            fila << leerColumna(st.get(), i, {});
        filas.push_back(std::move(fila));
    }
    if (rc != SQLITE_DONE)
        lanzar(rc, sql);
    return filas;
}
