// Compactación de la base de datos: qué queda en la carpeta cuando sale bien y que el archivo
// vivo no cambia cuando algo sale mal.
#include "ArchivosReparar.h"
#include "CopiaPrograma.h"
#include "DiarioAjeno.h"
#include "plataforma/InstanciaPrograma.h"
#include "repair/Compactacion.h"

#include <QLockFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <vector>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {
using Estado = ResultadoCompactacion::Estado;
const QStringList tresArchivos = {"Evaluacion.bak", "Evaluacion.mdb", "SYSTEM.mdw"};
// Copia que deja cada pasada: el reloj de las pruebas empieza aquí y avanza una hora por pasada.
const QString primeraCopia = QStringLiteral("Evaluacion 2024-03-05 10.20.30.bak");
const QString segundaCopia = QStringLiteral("Evaluacion 2024-03-05 11.20.30.bak");

class Compactacion : public ::testing::Test
{
protected:
    void SetUp() override
    {
        anadirEmpresas(p.conexion(), 40);
        // Borrar deja páginas libres: la compactación tiene algo que quitar.
        Conexion::obtener(p.conexion())->ejecutar("DELETE FROM Empresas WHERE IDEmpresa > 20");
        Conexion::cerrarTodas();
        original = huella(p.ruta("Evaluacion.mdb"));
    }

    ResultadoCompactacion compactar(GanchosCompactacion g = {})
    {
        if (!g.ahora)
            g.ahora = [this] { return reloj; };
        const ResultadoCompactacion r = CompactarBaseDatos(p.carpeta(), ConfiguracionRegionalDestino, g);
        reloj = reloj.addSecs(3600);
        return r;
    }

    // Lo que se comprueba en cada fallo: el archivo vivo es el mismo y no sobra nada.
    void sinCambios(const ResultadoCompactacion& r, Estado estado, const QStringList& archivos)
    {
        EXPECT_EQ(r.estado, estado) << r.mensaje.toStdString();
        EXPECT_TRUE(r.mensaje.startsWith("No se ha compactado")) << r.mensaje.toStdString();
        EXPECT_EQ(huella(p.ruta("Evaluacion.mdb")), original);
        EXPECT_EQ(archivosDe(p.carpeta()), archivos);
    }

    CopiaPrograma p;
    QByteArray original;
    QDateTime reloj{QDate(2024, 3, 5), QTime(10, 20, 30)};
};
} // namespace

TEST_F(Compactacion, DejaLaCompactadaEnSuSitioYLaAnteriorComoCopia)
{
    const qint64 antes = QFileInfo(p.ruta("Evaluacion.mdb")).size();
    const ResultadoCompactacion r = compactar();
    ASSERT_EQ(r.estado, Estado::Compactada) << r.mensaje.toStdString();
    EXPECT_EQ(r.mensaje, "Finalizado....");
    EXPECT_EQ(r.copia, primeraCopia);
    EXPECT_EQ(archivosDe(p.carpeta()), QStringList({primeraCopia, "Evaluacion.mdb", "SYSTEM.mdw"}));
    EXPECT_EQ(huella(p.ruta(primeraCopia)), original);
    EXPECT_LT(QFileInfo(p.ruta("Evaluacion.mdb")).size(), antes);
    // El programa la abre como siempre, con diario adelantado y los mismos datos.
    EXPECT_EQ(numeroDe(p.ruta("Evaluacion.mdb"), "SELECT count(*) FROM Empresas"), 20);
    EXPECT_EQ(numeroDe(p.ruta("Evaluacion.mdb"), "SELECT count(*) FROM CentroTrabajo"), 20);
    QFile f(p.ruta("Evaluacion.mdb"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.read(20).mid(18, 2), QByteArray("\x02\x02"));
    f.close();
    EXPECT_NO_THROW(Conexion::obtener(p.conexion()));
}

TEST_F(Compactacion, DosSeguidasYCopiasYRestosAnteriores)
{
    // Restos de otras veces: la copia única de antes (no se sabe si está sana: no se toca) y una
    // compactación que se quedó a medias.
    escribirArchivo(p.ruta("Evaluacion.bak"), "copia de hace mucho");
    escribirArchivo(p.ruta("Evaluacion2.mdb"), "a medias");
    escribirArchivo(p.ruta("Evaluacion2.mdb-wal"), "diario a medias");
    ASSERT_EQ(compactar().estado, Estado::Compactada);
    EXPECT_EQ(archivosDe(p.carpeta()), QStringList({primeraCopia, "Evaluacion.bak", "Evaluacion.mdb", "SYSTEM.mdw"}));
    EXPECT_EQ(huella(p.ruta(primeraCopia)), original);

    const QByteArray primera = huella(p.ruta("Evaluacion.mdb"));
    ASSERT_EQ(compactar().estado, Estado::Compactada);
    EXPECT_EQ(archivosDe(p.carpeta()),
              QStringList({primeraCopia, segundaCopia, "Evaluacion.bak", "Evaluacion.mdb", "SYSTEM.mdw"}));
    EXPECT_EQ(huella(p.ruta(primeraCopia)), original);
    EXPECT_EQ(huella(p.ruta(segundaCopia)), primera);
    EXPECT_EQ(huella(p.ruta("Evaluacion.bak")),
              QCryptographicHash::hash("copia de hace mucho", QCryptographicHash::Sha256));
    EXPECT_EQ(numeroDe(p.ruta("Evaluacion.mdb"), "SELECT count(*) FROM Empresas"), 20);
}

TEST_F(Compactacion, RecogeLoQueQuedoEnElDiario)
{
    // Un programa que terminó de golpe deja filas sólo en el diario adelantado.
    sqlite3* bd = nullptr;
    sqlite3_open(QFile::encodeName(p.ruta("Evaluacion.mdb")).constData(), &bd);
    sqlite3_db_config(bd, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_exec(bd, "INSERT INTO Empresas (Nombre) VALUES ('Sólo en el diario')", nullptr, nullptr, nullptr);
    sqlite3_close(bd);
    ASSERT_TRUE(QFileInfo::exists(p.ruta("Evaluacion.mdb-wal")));

    ASSERT_EQ(compactar().estado, Estado::Compactada);
    EXPECT_EQ(archivosDe(p.carpeta()), QStringList({primeraCopia, "Evaluacion.mdb", "SYSTEM.mdw"}));
    EXPECT_EQ(numeroDe(p.ruta("Evaluacion.mdb"), "SELECT count(*) FROM Empresas WHERE Nombre = 'Sólo en el diario'"),
              1);
    EXPECT_EQ(numeroDe(p.ruta(primeraCopia), "SELECT count(*) FROM Empresas"), 21);
}

TEST_F(Compactacion, ConElProgramaAbiertoNoSeToca)
{
    QLockFile programa(rutaBloqueoInstancia(p.carpeta()));
    ASSERT_TRUE(programa.tryLock(0));
    const ResultadoCompactacion r = compactar();
    sinCambios(r, Estado::EnUso, {"Evaluacion.mdb", "SYSTEM.mdw"});
    EXPECT_TRUE(r.mensaje.contains("Evaluación de Riesgos está abierto"));
}

TEST_F(Compactacion, ConOtraConexionAbiertaNoSeToca)
{
    sqlite3* otra = nullptr;
    sqlite3_open(QFile::encodeName(p.ruta("Evaluacion.mdb")).constData(), &otra);
    sqlite3_exec(otra, "SELECT count(*) FROM Empresas", nullptr, nullptr, nullptr);
    const ResultadoCompactacion r = compactar();
    sqlite3_close(otra);
    sinCambios(r, Estado::EnUso, {"Evaluacion.mdb", "SYSTEM.mdw"});
    EXPECT_TRUE(r.mensaje.contains("Otro programa tiene abierta la base de datos"));
    // Cerrada la otra, sale bien.
    EXPECT_EQ(compactar().estado, Estado::Compactada);
}

TEST_F(Compactacion, DiscoLlenoNoRenombraNada)
{
    escribirArchivo(p.ruta("Evaluacion.bak"), "copia anterior");
    GanchosCompactacion g;
    g.copiar = [](sqlite3*, const QString& destino) {
        escribirArchivo(destino, QByteArray(4096, 'x')); // lo que cupo antes de llenarse
        return SQLITE_FULL;
    };
    const ResultadoCompactacion r = compactar(g);
    sinCambios(r, Estado::DiscoLleno, tresArchivos);
    EXPECT_TRUE(r.mensaje.contains("No queda espacio en el disco"));
    EXPECT_EQ(huella(p.ruta("Evaluacion.bak")), QCryptographicHash::hash("copia anterior", QCryptographicHash::Sha256));
}

TEST_F(Compactacion, CopiaQueNoPasaLaComprobacionSeBorra)
{
    GanchosCompactacion g;
    g.antesDeComprobar = [](sqlite3* copia) {
        sqlite3_exec(copia, "DELETE FROM CentroTrabajo WHERE IDCentro = 3", nullptr, nullptr, nullptr);
    };
    const ResultadoCompactacion r = compactar(g);
    sinCambios(r, Estado::ComprobacionFallida, {"Evaluacion.mdb", "SYSTEM.mdw"});
    EXPECT_TRUE(r.mensaje.contains("CentroTrabajo tiene 19 filas")) << r.mensaje.toStdString();
}

TEST_F(Compactacion, SiFallaUnCambioDeNombreTodoVuelveASuSitio)
{
    escribirArchivo(p.ruta("Evaluacion.bak"), "copia anterior");
    const QByteArray copiaAnterior = huella(p.ruta("Evaluacion.bak"));
    GanchosCompactacion g;
    g.renombrar = [](const QString& de, const QString& a) {
        return !de.endsWith("Evaluacion2.mdb") && QFile::rename(de, a);
    };
    const ResultadoCompactacion r = compactar(g);
    sinCambios(r, Estado::Fallo, tresArchivos);
    EXPECT_EQ(huella(p.ruta("Evaluacion.bak")), copiaAnterior);
}

TEST_F(Compactacion, SinBaseDeDatosNoHaceNada)
{
    QFile::rename(p.ruta("Evaluacion.mdb"), p.ruta("Evaluacion.bak"));
    const ResultadoCompactacion r = compactar();
    EXPECT_EQ(r.estado, Estado::SinBaseDatos);
    EXPECT_TRUE(r.mensaje.contains("Puede recuperar la copia Evaluacion.bak"));
    EXPECT_EQ(archivosDe(p.carpeta()), QStringList({"Evaluacion.bak", "SYSTEM.mdw"}));
}

namespace {
// Páginas de un árbol (tabla o índice) del archivo, del tipo pedido.
std::vector<int> paginasDe(const QString& archivo, const char* arbol, const char* tipo)
{
    sqlite3* bd = nullptr;
    sqlite3_open_v2(QFile::encodeName(archivo).constData(), &bd, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(bd, "SELECT pageno FROM dbstat WHERE name = ? AND pagetype = ? ORDER BY pageno", -1, &st,
                       nullptr);
    sqlite3_bind_text(st, 1, arbol, -1, SQLITE_STATIC);
    sqlite3_bind_text(st, 2, tipo, -1, SQLITE_STATIC);
    std::vector<int> paginas;
    while (sqlite3_step(st) == SQLITE_ROW)
        paginas.push_back(sqlite3_column_int(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(bd);
    return paginas;
}

// 64 bytes al azar, siempre los mismos para cada semilla, en algún sitio de la página.
void machacar(const QString& archivo, int pagina, int semilla)
{
    QRandomGenerator azar(semilla);
    QByteArray bytes(64, '\0');
    for (char& b : bytes)
        b = char(azar.bounded(256));
    QFile f(archivo);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(qint64(pagina - 1) * 4096 + azar.bounded(4096 - 64));
    f.write(bytes);
}

QStringList copiasFechadas(const QString& carpeta)
{
    return QDir(carpeta).entryList({"Evaluacion ????-??-?? ??.??.??*.bak"}, QDir::Files, QDir::Name);
}
} // namespace

TEST_F(Compactacion, CadaPasadaGuardaSuCopiaYSoloSePodanLasSanas)
{
    // Primero se rehace una dañada: su original no debe perderse por muchas pasadas que vengan.
    const std::vector<int> hojas = paginasDe(p.ruta("Evaluacion.mdb"), "Medidas", "leaf");
    ASSERT_GT(hojas.size(), 2u);
    QFile f(p.ruta("Evaluacion.mdb"));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(qint64(hojas[1] - 1) * 4096);
    f.write(QByteArray(4096, '\x5a'));
    f.close();
    const QByteArray danado = huella(p.ruta("Evaluacion.mdb"));
    const ResultadoCompactacion rehecha = compactar();
    ASSERT_EQ(rehecha.estado, Estado::Salvada) << rehecha.mensaje.toStdString();
    EXPECT_EQ(rehecha.copia, "Evaluacion 2024-03-05 10.20.30 dañada.bak");
    EXPECT_TRUE(rehecha.mensaje.contains("El archivo dañado queda como " + rehecha.copia))
        << rehecha.mensaje.toStdString();

    // Siete pasadas más, dos de ellas en el mismo segundo.
    QStringList sanas;
    for (int i = 0; i < 7; ++i) {
        if (i == 3)
            reloj = reloj.addSecs(-3600);
        const ResultadoCompactacion r = compactar();
        ASSERT_EQ(r.estado, Estado::Compactada) << r.mensaje.toStdString();
        sanas << r.copia;
    }
    EXPECT_EQ(sanas[3], "Evaluacion 2024-03-05 13.20.30 (2).bak");
    // Quedan la dañada, intacta, y las cinco sanas más nuevas.
    EXPECT_EQ(huella(p.ruta(rehecha.copia)), danado);
    QStringList esperadas = sanas.mid(2) << rehecha.copia;
    esperadas.sort();
    EXPECT_EQ(copiasFechadas(p.carpeta()), esperadas);
}

TEST_F(Compactacion, UnaPaginaConBytesAlAzarSeRehaceYNoEsDiscoLleno)
{
    // Con números de página imposibles SQLite contesta «disco lleno» aunque sobre sitio.
    const std::vector<int> hojas = paginasDe(p.ruta("Evaluacion.mdb"), "sqlite_autoindex_FactoresRiesgos_1", "leaf");
    ASSERT_GT(hojas.size(), 1u);
    CopiaPrograma limpia;
    int llenos = 0;
    for (int semilla = 12; semilla <= 15; ++semilla) {
        SCOPED_TRACE(semilla);
        QFile::remove(p.ruta("Evaluacion.mdb"));
        QFile::copy(limpia.ruta("Evaluacion.mdb"), p.ruta("Evaluacion.mdb"));
        machacar(p.ruta("Evaluacion.mdb"), hojas[1], semilla);
        const QByteArray danado = huella(p.ruta("Evaluacion.mdb"));
        {
            sqlite3* bd = nullptr;
            sqlite3_open(QFile::encodeName(p.ruta("Evaluacion.mdb")).constData(), &bd);
            const QByteArray destino = QFile::encodeName(p.ruta("Aparte.mdb"));
            llenos += sqlite3_exec(bd, "VACUUM INTO '" + destino + "'", nullptr, nullptr, nullptr) == SQLITE_FULL;
            sqlite3_close(bd);
            QFile::remove(p.ruta("Aparte.mdb"));
        }
        const ResultadoCompactacion r = compactar();
        ASSERT_TRUE(r.hecha()) << r.mensaje.toStdString();
        EXPECT_FALSE(r.mensaje.contains("espacio")) << r.mensaje.toStdString();
        EXPECT_EQ(huella(p.ruta(r.copia)), danado);
        EXPECT_EQ(r.copia.endsWith(" dañada.bak"), r.estado == Estado::Salvada);
        EXPECT_EQ(numeroDe(p.ruta("Evaluacion.mdb"), "SELECT count(*) FROM pragma_integrity_check WHERE "
                                                     "integrity_check <> 'ok'"),
                  0);
    }
    EXPECT_GT(llenos, 0) << "ningún caso da «disco lleno»: la prueba ya no mira lo que debe";
}

TEST_F(Compactacion, SinSitioDeVerdadNoSeEmpieza)
{
    GanchosCompactacion g;
    g.espacioLibre = [](const QString&) { return qint64(100 * 1024); };
    g.copiar = [](sqlite3*, const QString&) {
        ADD_FAILURE() << "no cabe y se ha empezado la copia";
        return SQLITE_FULL;
    };
    const ResultadoCompactacion r = compactar(g);
    sinCambios(r, Estado::DiscoLleno, {"Evaluacion.mdb", "SYSTEM.mdw"});
    EXPECT_TRUE(r.mensaje.contains("quedan 100,0 kB libres")) << r.mensaje.toStdString();
}

TEST_F(Compactacion, CarpetasEnLugarDeArchivosSeLlamanCarpetas)
{
    ASSERT_TRUE(QDir(p.carpeta()).mkdir("Evaluacion2.mdb"));
    ResultadoCompactacion r = compactar();
    sinCambios(r, Estado::Fallo, {"Evaluacion.mdb", "SYSTEM.mdw"});
    EXPECT_TRUE(r.mensaje.contains("hay una carpeta llamada Evaluacion2.mdb")) << r.mensaje.toStdString();
    ASSERT_TRUE(QDir(p.carpeta()).rmdir("Evaluacion2.mdb"));

    ASSERT_TRUE(QFile::rename(p.ruta("Evaluacion.mdb"), p.ruta(primeraCopia)));
    ASSERT_TRUE(QDir(p.carpeta()).mkdir("Evaluacion.mdb"));
    r = compactar();
    EXPECT_EQ(r.estado, Estado::SinBaseDatos);
    EXPECT_TRUE(r.mensaje.contains("hay una carpeta llamada Evaluacion.mdb")) << r.mensaje.toStdString();
    EXPECT_TRUE(r.mensaje.contains("Puede recuperar la copia " + primeraCopia)) << r.mensaje.toStdString();
    EXPECT_EQ(archivosDe(p.carpeta()), QStringList({primeraCopia, "SYSTEM.mdw"}));
}

#ifdef Q_OS_UNIX
TEST_F(Compactacion, CarpetaDeSoloLecturaSeLlamaCarpeta)
{
    // root escribe en cualquier carpeta: se compacta en un hijo con un usuario cualquiera.
    for (const QString& a : archivosDe(p.carpeta()))
        QFile::setPermissions(p.ruta(a), QFile::permissions(p.ruta(a)) | QFile::ReadOther | QFile::WriteOther);
    ASSERT_EQ(::chmod(QFile::encodeName(p.carpeta()).constData(), 0555), 0);
    int tubo[2];
    ASSERT_EQ(::pipe(tubo), 0);
    const pid_t hijo = ::fork();
    if (hijo == 0) {
        ::close(tubo[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(77);
        // Sin llegar a la carpeta ni a la temporal (la del bloqueo) no se prueba lo que se quiere.
        if (::access(QFile::encodeName(p.ruta("Evaluacion.mdb")).constData(), R_OK) != 0 ||
            ::access(QFile::encodeName(QDir::tempPath()).constData(), W_OK) != 0)
            ::_exit(77);
        const QByteArray mensaje = compactar().mensaje.toUtf8();
        const bool escrito = ::write(tubo[1], mensaje.constData(), size_t(mensaje.size())) == mensaje.size();
        ::_exit(escrito ? 0 : 1);
    }
    ::close(tubo[1]);
    QByteArray mensaje;
    char trozo[512];
    for (ssize_t n; (n = ::read(tubo[0], trozo, sizeof trozo)) > 0;)
        mensaje.append(trozo, n);
    ::close(tubo[0]);
    int estado = 0;
    ::waitpid(hijo, &estado, 0);
    ::chmod(QFile::encodeName(p.carpeta()).constData(), 0700);
    if (WIFEXITED(estado) && WEXITSTATUS(estado) == 77)
        GTEST_SKIP() << "no se puede compactar con otro usuario";
    const QString texto = QString::fromUtf8(mensaje);
    EXPECT_TRUE(
        texto.contains("La carpeta del programa «" + QDir::toNativeSeparators(p.carpeta()) + "» es de sólo lectura"))
        << texto.toStdString();
    EXPECT_FALSE(texto.contains("atributo de sólo lectura del archivo")) << texto.toStdString();
    EXPECT_EQ(huella(p.ruta("Evaluacion.mdb")), original);
    EXPECT_EQ(archivosDe(p.carpeta()), QStringList({"Evaluacion.mdb", "SYSTEM.mdw"}));
}
#endif

TEST_F(Compactacion, OtroRepararConElBloqueoSeLlamaReparar)
{
    // Lo que tiene tomado un Reparar mientras compacta.
    QLockFile instancia(rutaBloqueoInstancia(p.carpeta()));
    QLockFile reparacion(rutaBloqueoReparacion(p.carpeta()));
    ASSERT_TRUE(instancia.tryLock(0) && reparacion.tryLock(0));
    const ResultadoCompactacion r = compactar();
    sinCambios(r, Estado::EnUso, {"Evaluacion.mdb", "SYSTEM.mdw"});
    EXPECT_TRUE(r.mensaje.contains("Otra ventana de Reparar está compactando")) << r.mensaje.toStdString();
    EXPECT_FALSE(r.mensaje.contains("Evaluación de Riesgos")) << r.mensaje.toStdString();

    // Y mientras compacta él, los demás lo ven igual; al terminar lo suelta.
    instancia.unlock();
    reparacion.unlock();
    GanchosCompactacion g;
    bool visto = false;
    g.antesDeComprobar = [&](sqlite3*) { visto = repararEnCurso(p.carpeta()); };
    ASSERT_EQ(compactar(g).estado, Estado::Compactada);
    EXPECT_TRUE(visto);
    EXPECT_FALSE(repararEnCurso(p.carpeta()));
}

TEST_F(Compactacion, TablaBorradaVuelveConElEsquemaYLoDice)
{
    Conexion::obtener(p.conexion())->ejecutar("DROP TABLE \"ActuaciónPreventivaRegistro\"; DROP VIEW VRiesgos");
    Conexion::cerrarTodas();
    const ResultadoCompactacion r = compactar();
    ASSERT_EQ(r.estado, Estado::Compactada) << r.mensaje.toStdString();
    EXPECT_EQ(r.restauradas, QStringList({"ActuaciónPreventivaRegistro"}));
    EXPECT_TRUE(
        r.mensaje.startsWith("Finalizado.... Faltaban en la base de datos la tabla "
                             "ActuaciónPreventivaRegistro, el índice ActuacionRegistroPlan, el índice "
                             "ActuacionRegistroEvaluacion, el índice ActuacionRegistroMedida, la vista VRiesgos y "
                             "el disparador VRiesgosModificar: se han vuelto a crear"))
        << r.mensaje.toStdString();
    const QString base = p.ruta("Evaluacion.mdb");
    EXPECT_EQ(numeroDe(base, "SELECT count(*) FROM sqlite_master WHERE name IN ('ActuaciónPreventivaRegistro', "
                             "'ActuacionRegistroPlan', 'VRiesgos', 'VRiesgosModificar')"),
              4);
    // Vuelve con sus tres claves ajenas: el plan, el riesgo y la medida que lleva a cabo.
    EXPECT_EQ(numeroDe(base, "SELECT count(*) FROM pragma_foreign_key_list('ActuaciónPreventivaRegistro')"), 3);
    EXPECT_EQ(numeroDe(base, "SELECT count(*) FROM Empresas"), 20);
    EXPECT_EQ(numeroDe(p.ruta(r.copia), "SELECT count(*) FROM sqlite_master WHERE name = 'VRiesgos'"), 0);
}

TEST_F(Compactacion, UnDiarioAjenoNoVaciaLaBaseAlCompactar)
{
    // Una carpeta que este proceso no ha abierto aún, como la que encuentra Reparar al arrancar.
    CopiaPrograma otra;
    sqlite3* bd = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(otra.ruta("Evaluacion.mdb")).constData(), &bd), SQLITE_OK);
    sqlite3_exec(bd, "INSERT INTO Empresas (Nombre) VALUES ('Antes del diario')", nullptr, nullptr, nullptr);
    sqlite3_close(bd);
    ASSERT_FALSE(PonerDiarioAjeno(otra.ruta("Evaluacion.mdb")).isEmpty());

    const ResultadoCompactacion r = CompactarBaseDatos(otra.carpeta(), ConfiguracionRegionalDestino);
    ASSERT_EQ(r.estado, Estado::Compactada) << r.mensaje.toStdString();
    EXPECT_TRUE(r.mensaje.startsWith("Finalizado....")) << r.mensaje.toStdString();
    EXPECT_TRUE(r.mensaje.contains("Recuperacion")) << r.mensaje.toStdString();
    EXPECT_EQ(numeroDe(otra.ruta("Evaluacion.mdb"), "SELECT count(*) FROM Empresas"), 1);
}
