#include "Escenario.h"

#include "Datos.h"
#include "VfsFallos.h"
#include "evaluation/DatosPuesto.h"
#include "evaluation/GeneracionRiesgos.h"
#include "evaluation/MatrizRiesgo.h"
#include "repair/Compactacion.h"
#include "store/Conexion.h"
#include "store/ErrorBD.h"
#include "store/Recordset.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <map>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace fallos {
QString& conexionEnUso()
{
    static QString texto;
    return texto;
}

namespace {
std::function<void()>& ganchoRenombrar()
{
    static std::function<void()> g;
    return g;
}

void copiarPrograma(const QString& de, const QString& a)
{
    for (const char* nombre : {"Evaluacion.mdb", "SYSTEM.mdw"})
        if (!QFile::copy(de + "/" + nombre, a + "/" + nombre))
            throw std::runtime_error("no se puede copiar " + std::string(nombre));
}

long long leer(const QString& sql, const QVariantList& valores = {})
{
    return datos::contar(conexionEnUso(), sql, valores);
}

long long filaDeFactor(long long puesto, long long factor)
{
    return leer("SELECT IDEvaluacionCrear FROM FactoresSeleccionarEvaluacion WHERE IDPuestoCentro = ? AND IDFactor = ?",
                {puesto, factor});
}

void marcar(const Preparada& p, long long factor)
{
    const long long fila = filaDeFactor(p.puesto, factor);
    Conexion::obtener(conexionEnUso())
        ->ejecutar("UPDATE FactoresSeleccionarEvaluacion SET FactorSelecionado = 'S' WHERE IDEvaluacionCrear = ?",
                   {fila});
    GenerarRiesgos(conexionEnUso(), {fila, factor, p.puesto, p.empresa, p.centro});
}

// Como el botón de añadir de la planificación: la fila nueva de la línea del plan.
void anadirLinea(long long plan, const QString& accion)
{
    Recordset rs;
    rs.open("Select * from ActuaciónPreventivaRegistro;", conexionEnUso());
    rs.addNew();
    rs.setValue("IDActuacion", plan);
    rs.setValue("AccionPreventiva", accion);
    rs.setValue("FechaLimite", QDate(2024, 6, 30));
    rs.setValue("ResponsableEjecucion", "Jefe de taller");
    rs.setValue("PresupuestoAproximado", "1.200,50");
    rs.update();
}

Preparada* preparar()
{
    vfsfallos::instalar();
    auto* p = new Preparada;
    copiarPrograma(QStringLiteral(CARPETA_ENTREGA), p->dir.path());
    conexionEnUso() = textoConexion(QDir::toNativeSeparators(p->dir.path()));
    p->empresa = datos::empresa(conexionEnUso(), "Talleres L'Hospitalet");
    p->centro = datos::centro(conexionEnUso(), p->empresa);
    p->puesto =
        AnadirPuestoConFactores(conexionEnUso(), {p->centro, p->empresa, "Soldador", "Suelda las piezas", "3", "0"});

    // Dos factores con riesgos en común: el segundo deja filas ocultas detrás de las del primero.
    const long long primero =
        leer("SELECT rf.IDFactor FROM RiesgosFactores rf WHERE EXISTS (SELECT 1 FROM RiesgosFactores o WHERE "
             "o.IDRiesgo = rf.IDRiesgo AND o.IDFactor <> rf.IDFactor) AND EXISTS (SELECT 1 FROM Medidas m WHERE "
             "m.IDFactor = rf.IDFactor) GROUP BY rf.IDFactor ORDER BY count(*) DESC, rf.IDFactor LIMIT 1");
    const long long segundo =
        leer("SELECT o.IDFactor FROM RiesgosFactores r JOIN RiesgosFactores o ON o.IDRiesgo = r.IDRiesgo AND "
             "o.IDFactor <> r.IDFactor WHERE r.IDFactor = ? GROUP BY o.IDFactor ORDER BY count(*) DESC, o.IDFactor "
             "LIMIT 1",
             {primero});
    // El que se marca: el de más medidas entre los demás.
    p->factorSinMarcar = leer("SELECT IDFactor FROM Medidas WHERE IDFactor NOT IN (?, ?) GROUP BY IDFactor "
                              "ORDER BY count(*) DESC, IDFactor LIMIT 1",
                              {primero, segundo});
    marcar(*p, primero);
    marcar(*p, segundo);
    p->filaMarcada = filaDeFactor(p->puesto, primero);
    p->filaSinMarcar = filaDeFactor(p->puesto, p->factorSinMarcar);
    // Las mostradas, evaluadas; las ocultas todavía no.
    Conexion::obtener(conexionEnUso())
        ->ejecutar("UPDATE Evaluacion SET Probabilidad = 'Media', Consecuencias = 'Dañino', "
                   "ValorRiesgo = 'Riesgo Moderado' WHERE IDPuestoCentro = ? AND Mostrar = 'S'",
                   {p->puesto});
    if (leer("SELECT count(*) FROM Evaluacion WHERE IDPuestoCentro = ? AND Mostrar = 'N'", {p->puesto}) == 0)
        throw std::runtime_error("la preparación no deja filas ocultas");

    // El plan del centro, con una línea.
    p->plan = datos::insertar(
        conexionEnUso(), "INSERT INTO \"ActuaciónPreventiva\" (IDCentro, Persona, Cargo, Fecha) VALUES (?, ?, ?, ?)",
        {p->centro, "Marta Ruiz", "Empresario", QDate(2024, 3, 1)});
    anadirLinea(p->plan, "Revisar los extintores");

    // Una empresa con su puesto, borrada: la compactación tiene páginas que quitar.
    const long long otra = datos::empresa(conexionEnUso(), "Borrada");
    const long long centro = datos::centro(conexionEnUso(), otra);
    AnadirPuestoConFactores(conexionEnUso(), {centro, otra, "Peón", "", "1", ""});
    Conexion::obtener(conexionEnUso())->ejecutar("DELETE FROM Empresas WHERE IDEmpresa = ?", {otra});
    Conexion::cerrarTodas();
    return p;
}

void escribirTodo(int fd, const char* datos, size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, datos, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return;
        datos += w;
        n -= size_t(w);
    }
}

bool leerTodo(int fd, char* datos, size_t n, int segundos)
{
    while (n > 0) {
        pollfd p{fd, POLLIN, 0};
        const int rc = ::poll(&p, 1, segundos * 1000);
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc <= 0)
            return false;
        const ssize_t r = ::read(fd, datos, n);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        datos += r;
        n -= size_t(r);
    }
    return true;
}

QStringList textos(sqlite3* bd, const QString& sql)
{
    QStringList filas;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(bd, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK) {
        filas << QStringLiteral("error: %1").arg(QString::fromUtf8(sqlite3_errmsg(bd)));
        return filas;
    }
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        QStringList columnas;
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            columnas << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
        filas << columnas.join(QChar(0x1f));
    }
    if (rc != SQLITE_DONE)
        filas << QStringLiteral("error: %1").arg(QString::fromUtf8(sqlite3_errmsg(bd)));
    sqlite3_finalize(st);
    return filas;
}

// Conexión directa, sin el almacén, para mirar el archivo tal como ha quedado.
struct Directa
{
    sqlite3* bd = nullptr;
    int rc = SQLITE_CANTOPEN;
    explicit Directa(const QString& archivo)
    {
        if (QFileInfo::exists(archivo))
            rc = sqlite3_open_v2(QFile::encodeName(archivo).constData(), &bd, SQLITE_OPEN_READWRITE, nullptr);
    }
    ~Directa() { sqlite3_close_v2(bd); }
};
} // namespace

const Preparada& preparada()
{
    static Preparada* p = preparar();
    return *p;
}

void alRenombrar(std::function<void()> antes)
{
    ganchoRenombrar() = std::move(antes);
}

const std::vector<Accion>& acciones()
{
    static const std::vector<Accion> lista = {
        {"AnadirPuesto", "añadir un puesto",
         [](const QString&) {
             const Preparada& p = preparada();
             AnadirPuestoConFactores(conexionEnUso(), {p.centro, p.empresa, "Pintor", "Pinta las piezas", "2", "1"});
         }},
        {"MarcarFactor", "marcar un factor",
         [](const QString&) {
             const Preparada& p = preparada();
             GenerarRiesgos(conexionEnUso(), {p.filaSinMarcar, p.factorSinMarcar, p.puesto, p.empresa, p.centro});
         }},
        {"DesmarcarFactor", "desmarcar un factor",
         [](const QString&) { QuitarRiesgos(conexionEnUso(), preparada().filaMarcada); }},
        {"GuardarGrados", "guardar los grados",
         [](const QString&) { CopiarEvaluacionAOcultas(conexionEnUso(), preparada().puesto); }},
        {"AnadirLineaPlan", "añadir una línea al plan",
         [](const QString&) { anadirLinea(preparada().plan, "Señalizar las salidas de emergencia"); }},
        {"Compactar", "compactar",
         [](const QString& carpeta) {
             GanchosCompactacion g;
             g.renombrar = [](const QString& de, const QString& a) {
                 if (ganchoRenombrar())
                     ganchoRenombrar()();
                 return RenombrarArchivo(de, a);
             };
             const ResultadoCompactacion r = CompactarBaseDatos(carpeta, ConfiguracionRegionalDestino, g);
             if (r.hecha())
                 return;
             using E = ResultadoCompactacion::Estado;
             throw ErrorBD(r.estado == E::DiscoLleno ? NumeroError::DiscoLleno
                           : r.estado == E::EnUso    ? NumeroError::BaseOcupada
                                                     : NumeroError::ErrorGeneral,
                           r.mensaje);
         },
         true},
    };
    return lista;
}

Copia::Copia()
{
    preparada();
    copiarPrograma(preparada().dir.path(), dir_.path());
}

Copia::~Copia()
{
    Conexion::cerrarTodas();
}

QString Copia::conexion() const
{
    return textoConexion(QDir::toNativeSeparators(dir_.path()));
}

void Copia::usar() const
{
    conexionEnUso() = conexion();
}

Huella huella(const QString& archivo)
{
    Huella h;
    Directa d(archivo);
    if (d.rc != SQLITE_OK) {
        h.valor = "no se abre";
        h.resumen = QStringLiteral("«%1» no existe o no se abre").arg(QFileInfo(archivo).fileName());
        return h;
    }
    QCryptographicHash suma(QCryptographicHash::Sha256);
    const QStringList tablas =
        textos(d.bd, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' ORDER BY name");
    for (const QString& tabla : tablas) {
        QStringList columnas;
        for (const QString& c : textos(d.bd, "SELECT name FROM pragma_table_info('" + tabla + "')"))
            if (!(tabla == "PuestosCentros" && c == "Fecha"))
                columnas << "quote(\"" + c + "\")";
        const QStringList filas =
            textos(d.bd, "SELECT " + columnas.join(", ") + " FROM \"" + tabla + "\" ORDER BY rowid");
        suma.addData(tabla.toUtf8());
        for (const QString& f : filas)
            suma.addData((f + '\n').toUtf8());
        h.resumen += QStringLiteral("%1:%2 ").arg(tabla).arg(filas.size());
    }
    h.valor = suma.result().toHex();
    return h;
}

QString integridad(const QString& archivo)
{
    Directa d(archivo);
    if (d.rc != SQLITE_OK)
        return QStringLiteral("no se abre");
    const QStringList sano = textos(d.bd, "PRAGMA integrity_check");
    if (sano != QStringList{"ok"})
        return sano.join("; ");
    const QStringList huerfanas = textos(d.bd, "PRAGMA foreign_key_check");
    if (!huerfanas.isEmpty())
        return QStringLiteral("filas huérfanas: ") + huerfanas.join("; ");
    return QStringLiteral("ok");
}

const Huella& huellaAntes()
{
    static const Huella h = huella(preparada().archivo());
    return h;
}

const Huella& huellaDespues(const Accion& a)
{
    static std::map<QString, Huella> hechas;
    auto it = hechas.find(a.id);
    if (it != hechas.end())
        return it->second;
    Copia c;
    c.usar();
    a.ejecutar(c.carpeta());
    Conexion::cerrarTodas();
    return hechas.emplace(a.id, huella(c.archivo())).first->second;
}

Hijo::Hijo(const std::function<QString(Hijo&)>& cuerpo)
{
    Conexion::cerrarTodas(); // una conexión abierta no debe cruzar fork()
    if (::pipe(tuberia_) != 0)
        throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ < 0)
        throw std::runtime_error("fork");
    if (pid_ == 0) {
        ::close(tuberia_[0]);
        QString r;
        try {
            r = cuerpo(*this);
        } catch (const ErrorBD& e) {
            r = QStringLiteral("error %1: %2").arg(e.numero()).arg(e.descripcion());
        } catch (const std::exception& e) {
            r = QStringLiteral("excepción: %1").arg(QString::fromLocal8Bit(e.what()));
        }
        const QByteArray fin = "fin:" + r.toUtf8();
        avisar(fin);
        ::_exit(0);
    }
    ::close(tuberia_[1]);
    tuberia_[1] = -1;
}

Hijo::~Hijo()
{
    if (vivo())
        matar();
    if (tuberia_[0] >= 0)
        ::close(tuberia_[0]);
}

void Hijo::avisar(const QByteArray& mensaje)
{
    const quint32 n = quint32(mensaje.size());
    escribirTodo(tuberia_[1], reinterpret_cast<const char*>(&n), sizeof n);
    escribirTodo(tuberia_[1], mensaje.constData(), mensaje.size());
}

QByteArray Hijo::esperar(int segundos)
{
    quint32 n = 0;
    if (!leerTodo(tuberia_[0], reinterpret_cast<char*>(&n), sizeof n, segundos))
        return "sin respuesta";
    QByteArray mensaje(qsizetype(n), '\0');
    if (n > 0 && !leerTodo(tuberia_[0], mensaje.data(), n, segundos))
        return "sin respuesta";
    if (mensaje.startsWith("fin:")) {
        int estado = 0;
        ::waitpid(pid_, &estado, 0);
        pid_ = -1;
    }
    return mensaje;
}

void Hijo::matar()
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGKILL);
    int estado = 0;
    ::waitpid(pid_, &estado, 0);
    pid_ = -1;
}

Bloqueador::Bloqueador(const QString& archivo)
    : hijo_([archivo](Hijo& yo) -> QString {
          sqlite3* bd = nullptr;
          if (sqlite3_open_v2(QFile::encodeName(archivo).constData(), &bd, SQLITE_OPEN_READWRITE, nullptr) !=
                  SQLITE_OK ||
              sqlite3_exec(bd, "BEGIN IMMEDIATE; UPDATE Empresas SET Nombre = Nombre;", nullptr, nullptr, nullptr) !=
                  SQLITE_OK)
              return QString::fromUtf8(sqlite3_errmsg(bd));
          yo.avisar("bloqueada");
          for (;;)
              ::pause();
      })
{
    aviso_ = hijo_.esperar();
}
} // namespace fallos
