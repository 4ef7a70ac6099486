#include "store/Conexion.h"

#include "plataforma/CierrePrograma.h"
#include "plataforma/ConexionServidor.h"
#include "store/ActualizacionCatalogo.h"
#include "store/CuentaSistema.h"
#include "store/ErrorBD.h"
#include "store/Esquema.h"
#include "store/FuncionesInformes.h"
#include "store/MotorSqlite.h"
#include "store/Recordset.h"
#include "store/SentenciaPreparada.h"
#include "store/VersionEvaluacion.h"
#include "store/postgres/EsquemaServidor.h"
#include "store/postgres/MotorPostgres.h"

#include <QDir>
#include <QFileInfo>
#include <map>

namespace {
// Las dos tablas de conexiones, en un solo objeto: al salir del programa sin cerrarlas, las
// abiertas se destruyen antes que la de vivas, de la que cada conexión se borra al destruirse.
// Por separado, el orden dependía de cuál se usó primero, y salir con una abierta se caía.
struct TablasConexiones
{
    // Todas las conexiones vivas, también las que ya no están en la tabla de abiertas pero sigue
    // teniendo algún conjunto de registros: al terminar se cierran todas.
    std::set<Conexion*> vivas;
    // Una conexión por texto de conexión. Las ventanas abren y cierran conjuntos a cada paso;
    // reabrir el archivo y releer el esquema cada vez costaría más que la propia consulta.
    std::map<QString, std::shared_ptr<Conexion>> abiertas;
};

TablasConexiones& tablasConexiones()
{
    static TablasConexiones tablas;
    return tablas;
}

std::map<QString, std::shared_ptr<Conexion>>& conexionesAbiertas()
{
    return tablasConexiones().abiertas;
}

std::set<Conexion*>& conexionesVivas()
{
    return tablasConexiones().vivas;
}

QString ruta(const QString& nativa)
{
    return QDir::fromNativeSeparators(nativa);
}
} // namespace

QString valorConexion(const QString& valor)
{
    return ValorTextoConexion(valor);
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
    const auto piezas = PiezasTextoConexion(texto);
    if (!piezas)
        throw ErrorBD(NumeroError::ConexionNoValida,
                      QObject::tr("El texto de conexión está mal escrito: un valor entre comillas no se cierra. "
                                  "Vuelva a iniciar el programa desde su carpeta."));
    DatosConexion d;
    for (const auto& [clave, valor] : *piezas) {
        if (clave == "provider")
            d.proveedor = valor;
        else if (clave == "password")
            d.clave = valor;
        else if (clave == "user id")
            d.usuario = valor;
        else if (clave == "data source")
            d.fuente = valor;
        else if (clave == "mode")
            d.modo = valor;
        else if (clave == "jet oledb:system database")
            d.sistema = valor;
    }
    if (d.fuente.isEmpty())
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
        Conexion& c = *it->second;
        if (!c.abierta() || !c.motor().soloLectura() || c.enTransaccion() ||
            !QFileInfo(ruta(c.datos().fuente)).isWritable())
            return it->second;
        abiertas.erase(it);
    }
    const DatosConexion datos = analizarConexion(texto);
    // Un servidor comprueba él mismo la cuenta; el archivo de cuentas es sólo del archivo.
    if (!EsConexionServidor(texto))
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
    if (!motor_->abierto())
        return;
    soltarLectores();
    reserva_.clear();
    motor_->cerrar();
    claves_.clear();
    origenes_.clear();
    vistas_.clear();
    numeroDeFila_.clear();
    consultas_.clear();
}

void Conexion::comprobarAbierta() const
{
    if (!motor_->abierto())
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
    if (datos.proveedor.compare(ProveedorServidor, Qt::CaseInsensitive) == 0 && !nueva) {
        abrirServidor();
        return;
    }
    motor_ = MotorSqlite::abrir(ruta(datos.fuente), nueva);
    conexionesVivas().insert(this);
    // Las funciones SQL de SQLite que usan las plantillas: la huella de la evaluación y las que el
    // servidor ya tiene.
    if (sqlite3* bd = motor_->sqlite()) {
        RegistrarFuncionesEvaluacion(bd);
        RegistrarFuncionesInformes(bd);
    }
    try {
        // La primera sentencia es la que descubre un archivo que no es una base de datos.
        ejecutar("PRAGMA foreign_keys = ON; PRAGMA synchronous = FULL;");
        esquema_ = prepararEsquema(*this, nueva);
        if (esquema_.error)
            throw *esquema_.error;
    } catch (...) {
        conexionesVivas().erase(this);
        reserva_.clear();
        motor_.reset();
        throw;
    }
}

void Conexion::abrirServidor()
{
    const std::optional<DatosServidor> servidor = AnalizarConexionServidor(
        QStringLiteral("Provider=%1;Data Source=%2;User ID=%3")
            .arg(ProveedorServidor, valorConexion(datos_.fuente), valorConexion(datos_.usuario)));
    if (!servidor)
        throw ErrorBD(NumeroError::ConexionNoValida,
                      QObject::tr("El texto de conexión del servidor está mal escrito: debe nombrar el servidor, su "
                                  "puerto y la base de datos («servidor:puerto/base») y el usuario. Elija de nuevo el "
                                  "servidor en la ventana Origen de datos."));
    // La contraseña la busca libpq en su archivo de contraseñas; sin fecha límite, un servidor
    // que no contesta dejaría el programa parado.
    auto motor = MotorPostgres::abrir(ParametrosLibpq(*servidor, SegundosEsperaServidor));
    PGconn* pg = motor->pg();
    motor_ = std::move(motor);
    conexionesVivas().insert(this);
    // El esquema del servidor, con sus revisiones; en el servidor no hay PRAGMA ni funciones de
    // SQLite ni archivo de cuentas.
    esquema_ = prepararEsquemaServidor(pg);
    if (!esquema_.error)
        ponerCatalogoServidorAlDia(*this, esquema_);
    if (esquema_.error) {
        conexionesVivas().erase(this);
        reserva_.clear();
        motor_.reset();
        throw *esquema_.error;
    }
}

Conexion::~Conexion()
{
    conexionesVivas().erase(this);
    // Las de la reserva antes que el motor que las preparó.
    reserva_.clear();
    motor_.reset();
}

bool Conexion::enTransaccion() const
{
    return motor_->enTransaccion();
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
    if (const int rc = motor_->ejecutar(sql.toUtf8()); rc != 0)
        lanzar(rc, sql);
}

void Conexion::lanzar(int codigo, const QString& sentencia) const
{
    throw motor_->error(codigo, sentencia);
}

void Conexion::empezar(const QString& punto)
{
    comprobarAbierta();
    // Una lectura abierta de antes se quedaría con lo que había al empezarla: en el archivo, si otro
    // ha escrito desde entonces, la transacción no podría escribir nunca (la base ocupada).
    if (punto.isEmpty())
        soltarLectores();
    const int rc = punto.isEmpty() ? motor_->empezar() : motor_->guardarPunto(punto);
    if (rc != 0)
        lanzar(rc, punto.isEmpty() ? QStringLiteral("BEGIN IMMEDIATE") : "SAVEPOINT " + punto);
}

void Conexion::confirmar(const QString& punto)
{
    comprobarAbierta();
    soltarLectores();
    const int rc = punto.isEmpty() ? motor_->confirmar() : motor_->liberarPunto(punto);
    if (rc != 0)
        lanzar(rc, punto.isEmpty() ? QStringLiteral("COMMIT") : "RELEASE " + punto);
}

void Conexion::deshacer(const QString& punto) noexcept
{
    if (!motor_->abierto())
        return;
    soltarLectores();
    if (punto.isEmpty())
        motor_->deshacer();
    else
        motor_->volverAPunto(punto);
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
    }
    conexion_->empezar(nombre_);
}

Transaccion::~Transaccion()
{
    if (!hecha_)
        conexion_->deshacer(nombre_);
}

void Transaccion::confirmar()
{
    conexion_->confirmar(nombre_);
    hecha_ = true;
}

std::unique_ptr<SentenciaMotor> Conexion::preparar(const QByteArray& sql)
{
    comprobarAbierta();
    std::unique_ptr<SentenciaMotor> st;
    auto it = reserva_.find(sql);
    if (it != reserva_.end() && !it->second.empty()) {
        st = std::move(it->second.back());
        it->second.pop_back();
    } else {
        int rc = 0;
        st = motor_->preparar(sql, rc);
        if (!st)
            lanzar(rc, QString::fromUtf8(sql));
    }
    // Una escritura fuera de transacción se confirma al terminar: ninguna lectura debe seguir abierta.
    if (!lectores_.empty() && !st->soloLectura() && !motor_->enTransaccion())
        soltarLectores();
    return st;
}

SentenciaPreparada Conexion::preguntar(Metadato pregunta, const QString& nombre)
{
    SentenciaPreparada st(*this, motor_->consultaMetadatos(pregunta));
    enlazar(*this, *st, 1, nombre);
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

void Conexion::devolver(std::unique_ptr<SentenciaMotor> st)
{
    // Con la conexión cerrada, el motor ya las finalizó todas: no queda nada que tocar.
    if (!st || !motor_->abierto())
        return;
    st->limpiar();
    // Una reserva pequeña basta: las ventanas repiten pocas sentencias distintas.
    auto& libres = reserva_[st->texto()];
    if (reserva_.size() > 200 || libres.size() >= 4)
        return;
    libres.push_back(std::move(st));
}

QString Conexion::origenExacto(const QString& nombre)
{
    const QString clave = nombre.toLower();
    if (auto it = origenes_.find(clave); it != origenes_.end())
        return it->second;
    const SentenciaPreparada st = preguntar(Metadato::OrigenExacto, nombre);
    QString exacto;
    if (st->paso() == PasoSentencia::Fila)
        exacto = st->valor(0, {}).toString();
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
        const SentenciaPreparada st = preguntar(Metadato::ColumnasClave, origen);
        bool primera = true;
        QString primeraColumna;
        while (st->paso() == PasoSentencia::Fila) {
            const QString nombre = st->valor(0, {}).toString();
            if (primera)
                primeraColumna = nombre;
            primera = false;
            if (st->valor(1, {}).toLongLong() == 1)
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
    const SentenciaPreparada st = preguntar(Metadato::ClaveNumeroDeFila, origen);
    const bool si = st->paso() == PasoSentencia::Fila && st->valor(0, {}).toLongLong() == 1 &&
                    st->valor(1, {}).toString() == QLatin1String("INTEGER");
    numeroDeFila_[origen] = si;
    return si;
}

bool Conexion::esVista(const QString& origen)
{
    if (auto it = vistas_.find(origen); it != vistas_.end())
        return it->second;
    const SentenciaPreparada st = preguntar(Metadato::TipoDeOrigen, origen);
    const bool vista = st->paso() == PasoSentencia::Fila && st->valor(0, {}).toString() == QLatin1String("view");
    vistas_[origen] = vista;
    return vista;
}

void Conexion::ejecutar(const QString& sql, const QVariantList& parametros)
{
    SentenciaPreparada st(*this, sql.toUtf8());
    enlazarTodos(*this, *st, parametros);
    const PasoSentencia paso = st->paso();
    const int codigo = st->codigo();
    st.soltar();
    if (paso == PasoSentencia::Fallo)
        lanzar(codigo, sql);
}

std::vector<QVariantList> Conexion::leerFilas(const QString& sql, const QVariantList& parametros)
{
    const SentenciaPreparada st(*this, sql.toUtf8());
    enlazarTodos(*this, *st, parametros);
    std::vector<QVariantList> filas;
    const int columnas = st->columnas();
    PasoSentencia paso;
    while ((paso = st->paso()) == PasoSentencia::Fila) {
        QVariantList fila;
        fila.reserve(columnas);
        for (int i = 0; i < columnas; ++i)
            fila << st->valor(i, {});
        filas.push_back(std::move(fila));
    }
    if (paso == PasoSentencia::Fallo)
        lanzar(st->codigo(), sql);
    return filas;
}
