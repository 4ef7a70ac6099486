// Dónde viven los datos: el texto de conexión de un servidor, el archivo de contraseñas, la
// ventana "Origen de datos" y el arranque con un servidor elegido.
#include "CopiaPrograma.h"
#include "PlataformaPrueba.h"
#include "plataforma/CarpetaPrograma.h"
#include "plataforma/ClavesServidor.h"
#include "plataforma/ConexionServidor.h"
#include "plataforma/OrigenGuardado.h"
#include "shell/Entrada.h"
#include "shell/OrigenDatos.h"
#include "shell/RegistroVentanas.h"
#include "shell/Sesion.h"
#include "store/Conexion.h"
#include "store/postgres/ConexionPg.h"

#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using Icono = PlataformaServicios::Icono;
using Botones = PlataformaServicios::Botones;
using Respuesta = PlataformaServicios::Respuesta;

namespace {
// Un puerto de 127.0.0.1 en el que no escucha nadie: lo da el sistema y se suelta en el acto.
int puertoSinNadie()
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in dir{};
    dir.sin_family = AF_INET;
    dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t largo = sizeof dir;
    if (s < 0 || bind(s, reinterpret_cast<sockaddr*>(&dir), sizeof dir) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&dir), &largo) != 0)
        qFatal("no se puede pedir un puerto al sistema");
    close(s);
    return ntohs(dir.sin_port);
}

// Legible y escribible por su dueño y nada para el grupo ni los demás (0600).
bool soloDelUsuario(const QString& ruta)
{
    const QFileDevice::Permissions p = QFile::permissions(ruta);
    const auto ajenos = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                        QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    return p.testFlag(QFileDevice::ReadOwner) && p.testFlag(QFileDevice::WriteOwner) && !(p & ajenos);
}

QByteArray leer(const QString& ruta)
{
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void escribir(const QString& ruta, const QByteArray& contenido)
{
    QFile f(ruta);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(contenido);
}

// El servidor de pruebas ("host=... port=... dbname=... user=... password=..."), si lo hay.
std::optional<std::pair<DatosServidor, QString>> servidorDePruebas()
{
    const QByteArray archivo = qgetenv("EVALUACION_SERVIDOR_PRUEBAS");
    if (archivo.isEmpty())
        return std::nullopt;
    DatosServidor d;
    QString clave;
    for (const QString& pieza : QString::fromUtf8(leer(QFile::decodeName(archivo))).simplified().split(' ')) {
        const QString clave_ = pieza.section('=', 0, 0);
        const QString valor = pieza.section('=', 1);
        if (clave_ == QLatin1String("host"))
            d.servidor = valor;
        else if (clave_ == QLatin1String("port"))
            d.puerto = valor.toInt();
        else if (clave_ == QLatin1String("dbname"))
            d.base = valor;
        else if (clave_ == QLatin1String("user"))
            d.usuario = valor;
        else if (clave_ == QLatin1String("password"))
            clave = valor;
    }
    return std::pair{d, clave};
}

template <typename T> T* control(QWidget* w, const char* nombre)
{
    T* c = w->findChild<T*>(QString::fromLatin1(nombre));
    if (!c)
        qWarning("Falta el control %s", nombre);
    return c;
}

// Escribe en una caja como el usuario: lo que había se selecciona y se sustituye.
void teclear(QWidget* ventana, const char* caja, const QString& texto)
{
    auto* c = control<QLineEdit>(ventana, caja);
    QVERIFY(c);
    QTest::mouseClick(c, Qt::LeftButton);
    QTest::keyClick(c, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(c, Qt::Key_Delete);
    QTest::keyClicks(c, texto);
}

void pulsar(QWidget* ventana, const char* boton)
{
    auto* b = control<QAbstractButton>(ventana, boton);
    QVERIFY(b);
    // Los botones de opción sólo atienden sobre su marca o su texto, a la izquierda.
    const QPoint punto = qobject_cast<QRadioButton*>(b) ? QPoint(8, b->height() / 2) : b->rect().center();
    QTest::mouseClick(b, Qt::LeftButton, {}, punto);
}
} // namespace

class PruebaOrigenDatos : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> carpeta_;
    QString claves_;
    Sesion sesion_;

    QString ajustes() const { return carpeta_->filePath(QStringLiteral("OrigenDatos.ini")); }

    // La ventana suelta, a la vista; se borra sola al cerrarse.
    QPointer<OrigenDatos> abrir()
    {
        QPointer<OrigenDatos> v = new OrigenDatos(sesion_);
        v->show();
        return v;
    }

    void rellenar(QWidget* v, const DatosServidor& d, const QString& clave)
    {
        pulsar(v, "OServidor");
        teclear(v, "TServidor", d.servidor);
        teclear(v, "TPuerto", QString::number(d.puerto));
        teclear(v, "TBase", d.base);
        teclear(v, "TUsuario", d.usuario);
        teclear(v, "TClave", clave);
    }

    static QString resultadoPrueba(QWidget* v)
    {
        auto* etiqueta = control<QLabel>(v, "LResultado");
        // La prueba va en otro hilo: hasta que acaba, la ventana dice que está probando.
        (void)QTest::qWaitFor([&] { return !etiqueta->text().startsWith(QStringLiteral("Probando")); }, 30000);
        return etiqueta->text();
    }

private slots:
    void init()
    {
        carpeta_ = std::make_unique<QTemporaryDir>();
        FijarCarpetaPrograma(carpeta_->path());
        // Nunca el archivo de contraseñas de verdad del usuario.
        claves_ = carpeta_->filePath(QStringLiteral("claves/pgpass"));
        qputenv("PGPASSFILE", QFile::encodeName(claves_));
    }
    void cleanup()
    {
        RegistroVentanas::quitarFabrica(Ventana::OrigenDatos);
        FijarCarpetaPrograma({});
        carpeta_.reset();
    }

    void textoDeConexionDeIdaYVuelta()
    {
        const QList<DatosServidor> casos = {
            {QStringLiteral("servidor.asesoria.local"), 5432, QStringLiteral("evaluacion"), QStringLiteral("tecnico")},
            {QStringLiteral("::1"), 6543, QStringLiteral("base; con \"comillas\""), QStringLiteral(" María José ")},
            {QStringLiteral("10.0.0.7"), 1, QStringLiteral("a/b:c"), QStringLiteral("'o''brien;x")},
            {QStringLiteral("equipo"), 65535, QStringLiteral("\"Prevención\" 2024"), QStringLiteral("Begoña")},
        };
        for (const DatosServidor& d : casos) {
            const QString texto = TextoConexionServidor(d);
            QVERIFY2(texto.startsWith(QStringLiteral("Provider=PostgreSQL;Data Source=")), qPrintable(texto));
            QVERIFY(EsConexionServidor(texto));
            const std::optional<DatosServidor> leido = AnalizarConexionServidor(texto);
            QVERIFY2(leido, qPrintable(texto));
            QCOMPARE(leido->servidor, d.servidor);
            QCOMPARE(leido->puerto, d.puerto);
            QCOMPARE(leido->base, d.base);
            QCOMPARE(leido->usuario, d.usuario);
            // El almacén lee las mismas piezas del mismo texto.
            const DatosConexion piezas = analizarConexion(texto);
            QCOMPARE(piezas.proveedor, QStringLiteral("PostgreSQL"));
            QCOMPARE(piezas.fuente, FuenteServidor(d));
            QCOMPARE(piezas.usuario, d.usuario);
            QVERIFY(piezas.clave.isEmpty());
        }
        QCOMPARE(FuenteServidor(casos[1]), QStringLiteral("[::1]:6543/base; con \"comillas\""));

        // El del archivo de siempre no es de un servidor; los mal escritos no se toman por buenos.
        const QString archivo = textoConexion(QStringLiteral("/opt/Evaluacion"));
        QVERIFY(!EsConexionServidor(archivo));
        QVERIFY(!AnalizarConexionServidor(archivo));
        for (const char* malo : {"Provider=PostgreSQL;Data Source=equipo/base;User ID=u",
                                 "Provider=PostgreSQL;Data Source=equipo:70000/base;User ID=u",
                                 "Provider=PostgreSQL;Data Source=equipo:0/base;User ID=u",
                                 "Provider=PostgreSQL;Data Source=equipo:+5/base;User ID=u",
                                 "Provider=PostgreSQL;Data Source=equipo:5432/;User ID=u",
                                 "Provider=PostgreSQL;Data Source=equipo:5432/base",
                                 "Provider=PostgreSQL;Data Source=\"equipo:5432/base;User ID=u"}) {
            QVERIFY2(!AnalizarConexionServidor(QString::fromUtf8(malo)), malo);
            QVERIFY2(EsConexionServidor(QString::fromUtf8(malo)), malo);
        }
    }

    void parametrosDeLibpqEscapados()
    {
        const DatosServidor d{QStringLiteral("equipo"), 5433, QStringLiteral("mi base"), QStringLiteral("o'brien")};
        QCOMPARE(ParametrosLibpq(d, 3, QStringLiteral("a\\b' c")),
                 QByteArray("host='equipo' port='5433' dbname='mi base' user='o\\'brien' password='a\\\\b\\' c' "
                            "connect_timeout='3' client_encoding='UTF8'"));
        QVERIFY(!ParametrosLibpq(d, 3).contains("password"));
    }

    void archivoDeContrasenas()
    {
        QCOMPARE(ArchivoClaves(), claves_);
        const DatosServidor d{QStringLiteral("equipo"), 5432, QStringLiteral("eva:luacion"),
                              QStringLiteral("téc\\nico")};
        QCOMPARE(LineaClave(d, QStringLiteral("cla:ve\\1")),
                 QStringLiteral("equipo:5432:eva\\:luacion:téc\\\\nico:cla\\:ve\\\\1"));

        // Sin archivo: se crea, con su carpeta, legible sólo por el usuario.
        QCOMPARE(GuardarClave(d, QStringLiteral("primera")), QString());
        QVERIFY(soloDelUsuario(claves_));
        QCOMPARE(leer(claves_), LineaClave(d, QStringLiteral("primera")).toUtf8() + '\n');

        // Con otras líneas: la de esta conexión se sustituye y las demás se quedan como estaban,
        // también el comentario y la última sin fin de línea.
        const QByteArray otra = "otro:5432:*:tecnico:no\\:tocar";
        escribir(claves_, "# contraseñas\n" + otra + '\n' + LineaClave(d, QStringLiteral("vieja")).toUtf8() +
                              "\n*:*:*:admin:raiz");
        QFile::setPermissions(claves_, QFile::permissions(claves_) | QFileDevice::ReadOther);
        QCOMPARE(GuardarClave(d, QStringLiteral("nueva")), QString());
        QCOMPARE(leer(claves_), "# contraseñas\n" + otra + '\n' + LineaClave(d, QStringLiteral("nueva")).toUtf8() +
                                    "\n*:*:*:admin:raiz\n");
        QVERIFY(soloDelUsuario(claves_));

        // Una línea de '*' que libpq tomaría antes para esta conexión: la nueva va delante de ella
        // y la vieja, que ya no se usaría, se quita.
        escribir(claves_, "*:5432:*:" + QByteArray("téc\\\\nico") + ":comodin\n" +
                              LineaClave(d, QStringLiteral("vieja")).toUtf8() + '\n');
        QCOMPARE(GuardarClave(d, QStringLiteral("otra")), QString());
        QCOMPARE(leer(claves_), LineaClave(d, QStringLiteral("otra")).toUtf8() +
                                    "\n*:5432:*:" + QByteArray("téc\\\\nico") + ":comodin\n");

        // Un salto de línea no cabe en una línea: no se escribe nada.
        const QByteArray antes = leer(claves_);
        QVERIFY(!GuardarClave(d, QStringLiteral("dos\nlineas")).isEmpty());
        QCOMPARE(leer(claves_), antes);

        // Si lo que hay no se puede leer, no se sustituye por un archivo sin las demás líneas.
        QFile::remove(claves_);
        QVERIFY(QDir().mkpath(claves_));
        QVERIFY(GuardarClave(d, QStringLiteral("x")).contains(QStringLiteral("No se puede leer")));
        QVERIFY(QFileInfo(claves_).isDir());
    }

    void guardaElServidorYLaContrasenaAparte()
    {
        PlataformaPrueba plataforma;
        QPointer<OrigenDatos> v = abrir();
        // Sin nada guardado: el archivo de la carpeta, con los campos del servidor parados.
        QVERIFY(control<QRadioButton>(v, "OArchivo")->isChecked());
        QVERIFY(!control<QLineEdit>(v, "TServidor")->isEnabled());
        const DatosServidor d{QStringLiteral("servidor.asesoria"), 6432, QStringLiteral("evaluacion"),
                              QStringLiteral("tecnico")};
        rellenar(v, d, QStringLiteral("se:cre\\to"));
        pulsar(v, "BGuardar");
        QCOMPARE(plataforma.mensajes.size(), size_t(1));
        QCOMPARE(plataforma.mensajes[0].icono, Icono::Informacion);
        QCOMPARE(plataforma.mensajes[0].titulo, QStringLiteral("Origen de datos"));
        QVERIFY2(plataforma.mensajes[0].texto.contains(QStringLiteral("próxima vez que se abra el programa")),
                 qPrintable(plataforma.mensajes[0].texto));
        QTRY_VERIFY(!v); // se cierra al guardar

        const OrigenGuardado guardado = LeerOrigen();
        QVERIFY(guardado.enServidor);
        QCOMPARE(guardado.servidor, d);
        QVERIFY(!leer(ajustes()).contains("se:cre"));
        QVERIFY(!leer(ajustes()).contains("cre\\to"));
        QCOMPARE(leer(claves_), QByteArray("servidor.asesoria:6432:evaluacion:tecnico:se\\:cre\\\\to\n"));

        // Al volver a abrirla, lo guardado; la contraseña no se enseña.
        v = abrir();
        QVERIFY(control<QRadioButton>(v, "OServidor")->isChecked());
        QCOMPARE(control<QLineEdit>(v, "TServidor")->text(), d.servidor);
        QCOMPARE(control<QLineEdit>(v, "TPuerto")->text(), QStringLiteral("6432"));
        QCOMPARE(control<QLineEdit>(v, "TBase")->text(), d.base);
        QCOMPARE(control<QLineEdit>(v, "TUsuario")->text(), d.usuario);
        QVERIFY(control<QLineEdit>(v, "TClave")->text().isEmpty());

        // Vuelta al archivo: el servidor se recuerda y la contraseña sin tocar.
        pulsar(v, "OArchivo");
        pulsar(v, "BGuardar");
        QTRY_VERIFY(!v);
        QCOMPARE(LeerOrigen().enServidor, false);
        QCOMPARE(LeerOrigen().servidor, d);
        QCOMPARE(leer(claves_), QByteArray("servidor.asesoria:6432:evaluacion:tecnico:se\\:cre\\\\to\n"));

        // Cancelar no guarda nada.
        v = abrir();
        pulsar(v, "OServidor");
        pulsar(v, "BCancelar");
        QTRY_VERIFY(!v);
        QCOMPARE(LeerOrigen().enServidor, false);
    }

    void puertoQueNoValeNoGuardaNada()
    {
        PlataformaPrueba plataforma;
        QPointer<OrigenDatos> v = abrir();
        rellenar(v, {QStringLiteral("equipo"), 5432, QStringLiteral("base"), QStringLiteral("u")},
                 QStringLiteral("clave"));
        // Sólo admite cifras.
        teclear(v, "TPuerto", QStringLiteral("8a0-1"));
        QCOMPARE(control<QLineEdit>(v, "TPuerto")->text(), QStringLiteral("801"));
        for (const char* malo : {"70000", "0", ""}) {
            plataforma.mensajes.clear();
            teclear(v, "TPuerto", QString::fromLatin1(malo));
            pulsar(v, "BGuardar");
            QCOMPARE(plataforma.mensajes.size(), size_t(1));
            QVERIFY2(plataforma.mensajes[0].texto.startsWith(
                         QStringLiteral("El puerto tiene que ser un número del 1 al 65535")),
                     qPrintable(plataforma.mensajes[0].texto));
            QVERIFY(v);
            QCOMPARE(v->focusWidget(), control<QLineEdit>(v, "TPuerto"));
            // Tampoco se prueba.
            pulsar(v, "BProbar");
            QCOMPARE(plataforma.mensajes.size(), size_t(2));
            QVERIFY(control<QLabel>(v, "LResultado")->text().isEmpty());
        }
        QVERIFY(!QFile::exists(ajustes()));
        QVERIFY(!QFile::exists(claves_));
        delete v;
    }

    void probarSinNadieEnElPuertoLoDice()
    {
        PlataformaPrueba plataforma;
        QPointer<OrigenDatos> v = abrir();
        const int puerto = puertoSinNadie();
        rellenar(v, {QStringLiteral("127.0.0.1"), puerto, QStringLiteral("base"), QStringLiteral("u")}, {});
        pulsar(v, "BProbar");
        const QString texto = resultadoPrueba(v);
        QVERIFY2(
            texto.startsWith(QStringLiteral("El servidor «127.0.0.1», puerto %1 no acepta la conexión").arg(puerto)),
            qPrintable(texto));
        QVERIFY(control<QPushButton>(v, "BProbar")->isEnabled());
        QVERIFY(plataforma.mensajes.empty());
        // Probar no guarda nada.
        QVERIFY(!QFile::exists(ajustes()));
        delete v;
    }

    void seAbreDesdeLaVentanaPrincipal()
    {
        CopiaPrograma programa;
        FijarCarpetaPrograma(programa.carpeta());
        RegistroVentanas::registrarFabrica(Ventana::OrigenDatos,
                                           [](Sesion& s) -> QWidget* { return new OrigenDatos(s); });
        PlataformaPrueba plataforma;
        Entrada e;
        e.show();
        auto* boton = control<QToolButton>(&e, "BOrigenDatos");
        QVERIFY(boton);
        QCOMPARE(boton->accessibleName(), QStringLiteral("Origen de datos"));
        QTest::mouseClick(boton, Qt::LeftButton);
        auto* v = qobject_cast<OrigenDatos*>(e.ventanas().ventana(Ventana::OrigenDatos));
        QVERIFY(v);
        QCOMPARE(v->windowTitle(), QStringLiteral("Origen de datos"));
        QCOMPARE(e.area()->activeSubWindow()->widget(), v);
        pulsar(v, "BCancelar");
        QTRY_VERIFY(!e.ventanas().ventana(Ventana::OrigenDatos));
    }

    void arranqueConElServidorSinRespuesta()
    {
        CopiaPrograma programa;
        FijarCarpetaPrograma(programa.carpeta());
        const DatosServidor d{QStringLiteral("127.0.0.1"), puertoSinNadie(), QStringLiteral("evaluacion"),
                              QStringLiteral("tecnico")};
        QCOMPARE(GuardarOrigen({true, d}), QString());
        {
            // Se vuelve a intentar una vez y después se elige el archivo: se sigue con él.
            PlataformaPrueba plataforma;
            plataforma.responder(Respuesta::No);
            plataforma.responder(Respuesta::Si);
            Entrada e;
            QCOMPARE(plataforma.mensajes.size(), size_t(2));
            const auto& aviso = plataforma.mensajes[0];
            QCOMPARE(aviso.botones, Botones::SiNoCancelar);
            QCOMPARE(aviso.icono, Icono::Exclamacion);
            QVERIFY2(
                aviso.texto.startsWith(
                    QStringLiteral("No se puede trabajar con la base de datos del servidor «127.0.0.1:%1/evaluacion».")
                        .arg(d.puerto)),
                qPrintable(aviso.texto));
            QVERIFY2(aviso.texto.contains(QStringLiteral("no acepta la conexión")), qPrintable(aviso.texto));
            QCOMPARE(plataforma.mensajes[1].texto, aviso.texto);
            QCOMPARE(plataforma.terminado, 0);
            QCOMPARE(e.sesion().conexion, programa.conexion());
            // La elección no cambia: la próxima vez se vuelve a intentar con el servidor.
            QVERIFY(LeerOrigen().enServidor);
        }
        {
            // Cancelar cierra el programa sin conexión.
            PlataformaPrueba plataforma;
            plataforma.responder(Respuesta::Cancelar);
            Entrada e;
            QCOMPARE(plataforma.terminado, 1);
            QVERIFY(e.sesion().conexion.isEmpty());
        }
    }
    void probarContraElServidorDePruebas()
    {
        const auto servidor = servidorDePruebas();
        if (!servidor)
            QSKIP("sin servidor de pruebas (EVALUACION_SERVIDOR_PRUEBAS)");
        const auto& [d, clave] = *servidor;
        PlataformaPrueba plataforma;
        QPointer<OrigenDatos> v = abrir();
        rellenar(v, d, clave);
        pulsar(v, "BProbar");
        QCOMPARE(resultadoPrueba(v),
                 QStringLiteral("La conexión con la base de datos «%1» del servidor «%2», puerto %3 funciona.")
                     .arg(d.base, d.servidor)
                     .arg(d.puerto));

        teclear(v, "TClave", clave + QStringLiteral("x"));
        pulsar(v, "BProbar");
        QVERIFY2(resultadoPrueba(v).contains(QStringLiteral("no admite la contraseña del usuario «%1»").arg(d.usuario)),
                 qPrintable(resultadoPrueba(v)));

        teclear(v, "TClave", clave);
        teclear(v, "TBase", QStringLiteral("no_hay_tal_base"));
        pulsar(v, "BProbar");
        QVERIFY2(resultadoPrueba(v).contains(QStringLiteral("no tiene ninguna base de datos «no_hay_tal_base»")),
                 qPrintable(resultadoPrueba(v)));

        // Guardada la contraseña, libpq la toma de su archivo: ya no hace falta escribirla.
        teclear(v, "TBase", d.base);
        pulsar(v, "BGuardar");
        QTRY_VERIFY(!v);
        v = abrir();
        QVERIFY(control<QLineEdit>(v, "TClave")->text().isEmpty());
        pulsar(v, "BProbar");
        QVERIFY2(resultadoPrueba(v).endsWith(QStringLiteral("funciona.")), qPrintable(resultadoPrueba(v)));
        delete v;
    }

    void trasladarYCopiarAUnArchivoConElRaton()
    {
        const auto servidor = servidorDePruebas();
        if (!servidor)
            QSKIP("sin servidor de pruebas (EVALUACION_SERVIDOR_PRUEBAS)");
        auto [d, clave] = *servidor;
        // Una base de datos vacía y propia en el servidor de pruebas.
        const QString texto = QString::fromUtf8(leer(QFile::decodeName(qgetenv("EVALUACION_SERVIDOR_PRUEBAS"))));
        d.base = QStringLiteral("ventana_%1").arg(QCoreApplication::applicationPid());
        ejecutarPg(conectarPg(texto).get(), QStringLiteral("CREATE DATABASE %1").arg(d.base));
        const auto borrar = qScopeGuard(
            [&] { ejecutarPg(conectarPg(texto).get(), QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(d.base)); });
        const auto empresasServidor = [&] {
            ConexionPg c = conectarPg(texto + QStringLiteral(" dbname=") + d.base);
            const ResultadoPg r = ejecutarPg(c.get(), QStringLiteral("SELECT string_agg(Nombre, '|' ORDER BY "
                                                                     "IDEmpresa) FROM Empresas"));
            return valorPg(r.get(), 0, 0);
        };

        // El programa trabaja con el archivo de su carpeta, que tiene una empresa.
        CopiaPrograma programa;
        FijarCarpetaPrograma(programa.carpeta());
        sesion_.conexion = programa.conexion();
        Conexion::obtener(sesion_.conexion)
            ->ejecutar(QStringLiteral("INSERT INTO Empresas (Nombre) VALUES (?)"), {QStringLiteral("Talleres Peña")});
        PlataformaPrueba plataforma;
        QPointer<OrigenDatos> v = abrir();
        QVERIFY(!control<QPushButton>(v, "BTrasladar")->isEnabled()); // con el archivo elegido, no hay servidor
        rellenar(v, d, clave);

        pulsar(v, "BTrasladar");
        QCOMPARE(plataforma.mensajes.size(), size_t(1));
        QCOMPARE(plataforma.mensajes[0].icono, Icono::Informacion);
        QCOMPARE(plataforma.mensajes[0].titulo, QStringLiteral("Trasladar al servidor"));
        QVERIFY2(plataforma.mensajes[0].texto.startsWith(QStringLiteral("Trasladadas ")),
                 qPrintable(plataforma.mensajes[0].texto));
        QCOMPARE(control<QLabel>(v, "LResultado")->text(), plataforma.mensajes[0].texto);
        QCOMPARE(empresasServidor(), QStringLiteral("Talleres Peña"));

        // Otra vez: el servidor ya no está vacío y no se escribe nada.
        Conexion::obtener(sesion_.conexion)->ejecutar(QStringLiteral("INSERT INTO Empresas (Nombre) VALUES ('Otra')"));
        pulsar(v, "BTrasladar");
        QCOMPARE(plataforma.mensajes.size(), size_t(2));
        QCOMPARE(plataforma.mensajes[1].icono, Icono::Critico);
        QVERIFY2(plataforma.mensajes[1].texto.contains(QStringLiteral("ya tiene datos")) &&
                     plataforma.mensajes[1].texto.contains(QStringLiteral("sólo se hace a una base de datos vacía")),
                 qPrintable(plataforma.mensajes[1].texto));
        QCOMPARE(empresasServidor(), QStringLiteral("Talleres Peña"));

        // Sobre el archivo con el que trabaja el programa no se copia.
        const QString enUso = programa.ruta(QStringLiteral("Evaluacion.mdb"));
        const QByteArray antes = leer(enUso);
        plataforma.archivosElegidos.push_back(enUso);
        pulsar(v, "BCopiarArchivo");
        QCOMPARE(plataforma.mensajes.size(), size_t(3));
        QVERIFY2(
            plataforma.mensajes[2].texto.contains(QStringLiteral("es la base de datos con la que está trabajando")),
            qPrintable(plataforma.mensajes[2].texto));
        QCOMPARE(leer(enUso), antes);

        // A otro archivo, sí: se lleva lo del servidor.
        const QString fuera = programa.ruta(QStringLiteral("Sin red.mdb"));
        plataforma.archivosElegidos.push_back(fuera);
        pulsar(v, "BCopiarArchivo");
        QCOMPARE(plataforma.mensajes.size(), size_t(4));
        QCOMPARE(plataforma.mensajes[3].icono, Icono::Informacion);
        QVERIFY2(plataforma.mensajes[3].texto.startsWith(QStringLiteral("Copiadas ")),
                 qPrintable(plataforma.mensajes[3].texto));
        const auto filas = Conexion::crear(programa.ruta(QStringLiteral("Vacia.mdb")));
        filas->ejecutar(QStringLiteral("ATTACH DATABASE ? AS copia"), {fuera});
        QCOMPARE(filas->leerFilas(QStringLiteral("SELECT group_concat(Nombre, '|') FROM copia.Empresas"))
                     .front()
                     .value(0)
                     .toString(),
                 QStringLiteral("Talleres Peña"));
        delete v;
    }

    void arranqueConContrasenaQueNoVale()
    {
        const auto servidor = servidorDePruebas();
        if (!servidor)
            QSKIP("sin servidor de pruebas (EVALUACION_SERVIDOR_PRUEBAS)");
        const auto& [d, clave] = *servidor;
        CopiaPrograma programa;
        FijarCarpetaPrograma(programa.carpeta());
        QCOMPARE(GuardarOrigen({true, d}), QString());
        QCOMPARE(GuardarClave(d, clave + QStringLiteral("x")), QString());
        PlataformaPrueba plataforma;
        plataforma.responder(Respuesta::Si);
        {
            Entrada e;
            QCOMPARE(plataforma.mensajes.size(), size_t(1));
            QVERIFY2(plataforma.mensajes[0].texto.contains(QStringLiteral("no admite la contraseña")),
                     qPrintable(plataforma.mensajes[0].texto));
            QCOMPARE(e.sesion().conexion, programa.conexion());
            // Se trabaja con el archivo: la barra de estado no nombra ningún servidor.
            QVERIFY(!e.findChild<QLabel*>(QStringLiteral("Barra2Origen"))->isVisibleTo(&e));
        }
        // Con la contraseña buena, el programa trabaja en el servidor y lo dice.
        QCOMPARE(GuardarClave(d, clave), QString());
        Entrada e;
        QCOMPARE(plataforma.mensajes.size(), size_t(1));
        QVERIFY(EsConexionServidor(e.sesion().conexion));
        const QLabel* origen = e.findChild<QLabel*>(QStringLiteral("Barra2Origen"));
        QVERIFY(origen->isVisibleTo(&e));
        QCOMPARE(origen->text(),
                 QStringLiteral("Datos en el servidor %1 (usuario %2)").arg(FuenteServidor(d), d.usuario));
    }
};

QTEST_MAIN(PruebaOrigenDatos)
#include "test_origen_datos.moc"
