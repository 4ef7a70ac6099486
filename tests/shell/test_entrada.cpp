#include "DiarioAjeno.h"
#include "PlataformaPrueba.h"
#include "plataforma/InstanciaPrograma.h"
#include "shell/Entrada.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"
#include "store/Conexion.h"
#include "store/Recordset.h"

#include <QDir>
#include <QEnterEvent>
#include <QLabel>
#include <QLockFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using Icono = PlataformaServicios::Icono;
using Botones = PlataformaServicios::Botones;
using Respuesta = PlataformaServicios::Respuesta;

class PruebaEntrada : public QObject
{
    Q_OBJECT

    QTemporaryDir carpeta_;
    QString nativa() const { return QDir::toNativeSeparators(carpeta_.path()); }
    template <typename T> static T* control(QWidget& w, const char* nombre)
    {
        T* c = w.findChild<T*>(QString::fromLatin1(nombre));
        if (!c)
            qWarning("Falta el control %s", nombre);
        return c;
    }

    // Las ventanas se piden por su tipo: un nombre escrito a mano ya no abre nada, ni compila.
    template <typename T> static constexpr bool abrePorTexto = requires(RegistroVentanas& r, T nombre)
    {
        r.abrirNueva(nombre);
    };
    static_assert(!abrePorTexto<const char*> && !abrePorTexto<QString>);
    static_assert(requires(RegistroVentanas & r) { r.abrirNueva(Ventana::Puestos); });

private slots:
    void init() { FijarCarpetaPrograma(carpeta_.path()); }
    void cleanup()
    {
        RegistroVentanas::quitarFabrica(Ventana::Empresa);
        FijarCarpetaPrograma({});
    }

    void controlesConSusNombresYTextos()
    {
        PlataformaPrueba plataforma;
        Entrada e;
        QCOMPARE(e.windowTitle(), QStringLiteral("Evaluación de Riesgos"));
        QVERIFY(e.findChild<QMdiArea*>());
        auto* panel = control<QWidget>(e, "SSPanel2");
        QVERIFY(panel);
        QVERIFY(qobject_cast<QSplitter*>(panel->parentWidget()));
        QCOMPARE(panel->parentWidget()->objectName(), QStringLiteral("SSSplitter2"));
        QCOMPARE(control<QPushButton>(e, "SSCommand1")->text(), QStringLiteral("Inicio"));
        QCOMPARE(control<QPushButton>(e, "BOSalir")->text(), QStringLiteral("Salir"));
        const QList<QPair<const char*, QString>> imagenes = {
            {"Image3", "Empresas"},
            {"Image9", "Antes de Empezar"},
            {"Image7", "Conceptos basicos"},
            {"Image8", "Utilidades"},
            {"Image2", "Se necesita tener instalado Adobe Reader, pulsar para instalar"},
            {"Image5", "Cerrar Aplicación"},
        };
        for (const auto& [nombre, ayuda] : imagenes) {
            auto* boton = control<QToolButton>(e, nombre);
            QVERIFY(boton);
            QCOMPARE(boton->toolTip(), ayuda);
            QCOMPARE(boton->accessibleName(), ayuda);
            QVERIFY(!boton->icon().isNull());
        }
        auto* barra = control<QStatusBar>(e, "Barra2");
        QVERIFY(barra);
        QStringList textos;
        for (auto* panelBarra : barra->findChildren<QLabel*>())
            textos << panelBarra->text();
        QVERIFY(textos.contains(QStringLiteral("Correo")));
        // INS, NUM y CAPS sólo se leen cuando la tecla está activa (sin pantalla, nunca).
        for (const char* n : {"Barra2Insertar", "Barra2Numeros", "Barra2Mayusculas"})
            QVERIFY2(control<QLabel>(e, n), n);
        QVERIFY(textos.contains(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"))));
        QVERIFY(plataforma.mensajes.empty());
        QCOMPARE(plataforma.terminado, 0);
    }

    void nombresAccesibles()
    {
        PlataformaPrueba plataforma;
        qputenv("EVALUACION_IDS_ACCESIBLES", "1");
        Entrada e;
        qunsetenv("EVALUACION_IDS_ACCESIBLES");
        QCOMPARE(control<QPushButton>(e, "SSCommand1")->accessibleName(), QStringLiteral("Inicio"));
        QCOMPARE(control<QPushButton>(e, "SSCommand1")->accessibleDescription(), QStringLiteral("SSCommand1"));
        QCOMPARE(control<QToolButton>(e, "Image8")->accessibleDescription(), QStringLiteral("Image8"));
        QCOMPARE(control<QStatusBar>(e, "Barra2")->accessibleDescription(), QStringLiteral("Barra2"));
        Entrada sinIds;
        QVERIFY(control<QToolButton>(sinIds, "Image8")->accessibleDescription().isEmpty());
    }

    void construyeLaConexionDeLaCarpeta()
    {
        PlataformaPrueba plataforma;
        Entrada e;
        QCOMPARE(e.sesion().conexion, textoConexion(nativa()));
        const QString sep = QDir::separator();
        QVERIFY(e.sesion().conexion.contains(QStringLiteral(";Data Source=") + nativa() + sep +
                                             QStringLiteral("Evaluacion.mdb;")));
        QVERIFY(e.sesion().conexion.contains(QStringLiteral("System database=") + nativa() + sep +
                                             QStringLiteral("SYSTEM.mdw")));
        QVERIFY(e.sesion().conexion.endsWith(QStringLiteral("SYSTEM.mdw;Jet OLEDB")));
    }

    void unDiarioAjenoSeApartaAlArrancarYSeDice()
    {
        const QString archivo = carpeta_.filePath(QStringLiteral("Evaluacion.mdb"));
        for (const char* nombre : {"Evaluacion.mdb", "SYSTEM.mdw"})
            QVERIFY(QFile::copy(QStringLiteral(CARPETA_ENTREGA "/") + nombre, carpeta_.filePath(nombre)));
        // Sin pasar por el almacén: este proceso es el programa que arranca y aún no ha mirado el archivo.
        sqlite3* bd = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(archivo).constData(), &bd), SQLITE_OK);
        QCOMPARE(
            sqlite3_exec(bd, "INSERT INTO Empresas (Nombre) VALUES ('Antes del diario')", nullptr, nullptr, nullptr),
            SQLITE_OK);
        sqlite3_close(bd);
        QVERIFY(!PonerDiarioAjeno(archivo).isEmpty());
        PlataformaPrueba plataforma;
        Entrada e;
        QCOMPARE(plataforma.mensajes.size(), size_t(1));
        const auto& m = plataforma.mensajes[0];
        QCOMPARE(m.icono, Icono::Exclamacion);
        QVERIFY2(m.texto.contains(QDir::toNativeSeparators(carpeta_.filePath(QStringLiteral("Recuperacion")))),
                 qPrintable(m.texto));
        QVERIFY(!QFileInfo::exists(archivo + "-wal"));
        Recordset rs;
        rs.open(QStringLiteral("SELECT count(*) FROM Empresas"), e.sesion().conexion);
        QCOMPARE(rs.value(0).toInt(), 1);
        rs.close();
        Conexion::cerrarTodas();
        for (const QString& resto : QDir(carpeta_.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries))
            QDir(carpeta_.filePath(resto)).removeRecursively() || QFile::remove(carpeta_.filePath(resto));
    }

    void segundaCopiaSeNiega()
    {
        auto ocupado = TomarBloqueoInstancia(carpeta_.path());
        QVERIFY(ocupado);
        PlataformaPrueba plataforma;
        Entrada e;
        QCOMPARE(plataforma.pitidos, 1);
        QCOMPARE(plataforma.mensajes.size(), size_t(1));
        const auto& m = plataforma.mensajes[0];
        QCOMPARE(m.texto, QStringLiteral("La Aplicación ya se encuentra en Ejecución"));
        QCOMPARE(m.titulo, QStringLiteral("Evaluacion"));
        QCOMPARE(m.icono, Icono::Critico);
        QCOMPARE(m.botones, Botones::Aceptar);
        QCOMPARE(plataforma.ordenLlamadas.mid(1), QStringList({"pitido", "mensaje", "terminarPrograma"}));
        QVERIFY(e.sesion().conexion.isEmpty());
        // Quien tenía el bloqueo lo sigue teniendo.
        QVERIFY(ocupado->isLocked());
    }

    void conRepararCompactandoDiceQueEsReparar()
    {
        // Lo que tiene tomado Reparar mientras compacta.
        auto instancia = TomarBloqueoInstancia(carpeta_.path());
        QLockFile reparacion(rutaBloqueoReparacion(carpeta_.path()));
        QVERIFY(instancia && reparacion.tryLock(0));
        PlataformaPrueba plataforma;
        Entrada e;
        QCOMPARE(plataforma.mensajes.size(), size_t(1));
        QVERIFY2(plataforma.mensajes[0].texto.startsWith("El programa Reparar está compactando la base de datos."),
                 qPrintable(plataforma.mensajes[0].texto));
        QCOMPARE(plataforma.terminado, 1);
        QVERIFY(e.sesion().conexion.isEmpty());
    }

    void bloqueoDeUnaCopiaMuertaNoImpideArrancar()
    {
        // Archivo de bloqueo de un proceso que ya no existe.
        QFile viejo(rutaBloqueoInstancia(carpeta_.path()));
        QVERIFY(viejo.open(QIODevice::WriteOnly));
        viejo.write("999999\nEvaluacion\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        viejo.close();
        PlataformaPrueba plataforma;
        Entrada e;
        QCOMPARE(plataforma.terminado, 0);
        QVERIFY(!e.sesion().conexion.isEmpty());
    }

    void salirConNoLoDejaTodoIgual()
    {
        PlataformaPrueba plataforma;
        Entrada e;
        e.show();
        plataforma.responder(Respuesta::No);
        QTest::mouseClick(control<QPushButton>(e, "BOSalir"), Qt::LeftButton);
        QVERIFY(e.isVisible());
        QCOMPARE(plataforma.terminado, 0);
        QCOMPARE(plataforma.mensajes.size(), size_t(1));
        const auto& m = plataforma.mensajes[0];
        QCOMPARE(m.texto, QStringLiteral("¿Estas seguro de querer Salir?"));
        QCOMPARE(m.titulo, QStringLiteral("Evaluación Salida"));
        QCOMPARE(m.icono, Icono::Pregunta);
        QCOMPARE(m.botones, Botones::SiNo);
        // El botón de cierre de la ventana pregunta igual.
        plataforma.responder(Respuesta::No);
        QVERIFY(!e.close());
        QCOMPARE(plataforma.mensajes.size(), size_t(2));
    }

    void salirConSiTermina()
    {
        PlataformaPrueba plataforma;
        Entrada e;
        e.show();
        plataforma.responder(Respuesta::Si);
        QTest::mouseClick(control<QToolButton>(e, "Image5"), Qt::LeftButton);
        QCOMPARE(plataforma.terminado, 1);
        plataforma.responder(Respuesta::Si);
        QVERIFY(!e.close());
        QCOMPARE(plataforma.terminado, 2);
    }

    void utilidadesArrancaRepararYTermina_data()
    {
        QTest::addColumn<bool>("arranca");
        QTest::newRow("arranca") << true;
        QTest::newRow("no arranca") << false;
    }
    void utilidadesArrancaRepararYTermina()
    {
        QFETCH(bool, arranca);
        PlataformaPrueba plataforma;
        plataforma.iniciarFunciona = arranca;
        Entrada e;
        e.show();
        QTest::mouseClick(control<QToolButton>(e, "Image8"), Qt::LeftButton);
        QCOMPARE(plataforma.programas, QStringList({rutaPrograma(nativa(), QStringLiteral("Reparar"))}));
        QCOMPARE(plataforma.terminado, 1);
        QVERIFY(plataforma.mensajes.empty());
    }

    void documentosDeLaCarpetaDelPrograma()
    {
        PlataformaPrueba plataforma;
        Entrada e;
        e.show();
        QTest::mouseClick(control<QToolButton>(e, "Image9"), Qt::LeftButton);
        QTest::mouseClick(control<QToolButton>(e, "Image7"), Qt::LeftButton);
        QTest::mouseClick(control<QToolButton>(e, "Image2"), Qt::LeftButton);
        const QString sep = QDir::separator();
        QCOMPARE(plataforma.documentos, QStringList({nativa() + sep + QStringLiteral("Antes de empezardef.pdf"),
                                                     nativa() + sep + QStringLiteral("Conceptos basicos.pdf"),
                                                     Entrada::direccionLectorPdf()}));
        QVERIFY(Entrada::direccionLectorPdf().startsWith(QStringLiteral("https://")));
        // Los documentos no existen: no hay aviso.
        QVERIFY(plataforma.mensajes.empty());
    }

    void botonesEnVerdeBajoElPuntero()
    {
        PlataformaPrueba plataforma;
        Entrada e;
        auto* inicio = control<QPushButton>(e, "SSCommand1");
        QEnterEvent entra(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QCoreApplication::sendEvent(inicio, &entra);
        QCOMPARE(inicio->palette().color(QPalette::ButtonText), QColor(0, 255, 0));
        QEvent sale(QEvent::Leave);
        QCoreApplication::sendEvent(inicio, &sale);
        QCOMPARE(inicio->palette().color(QPalette::ButtonText), QColor(0, 0, 0));
    }

    void empresaSeCargaUnaSolaVez()
    {
        PlataformaPrueba plataforma;
        Entrada e;
        e.show();
        // Sin módulo de empresas registrado no pasa nada.
        QTest::mouseClick(control<QPushButton>(e, "SSCommand1"), Qt::LeftButton);
        QVERIFY(e.area()->subWindowList().isEmpty());

        int creadas = 0;
        Entrada::registrarVentanaEmpresa([&](Sesion&) {
            ++creadas;
            return new QWidget;
        });
        QTest::mouseClick(control<QPushButton>(e, "SSCommand1"), Qt::LeftButton);
        QTest::mouseClick(control<QToolButton>(e, "Image3"), Qt::LeftButton);
        QCOMPARE(creadas, 1);
        QCOMPARE(e.area()->subWindowList().size(), 1);
        QWidget* empresa = e.ventanas().ventana(Ventana::Empresa);
        QVERIFY(empresa && empresa->isVisible());
        QCOMPARE(empresa->objectName(), QStringLiteral("Empresa"));

        // Oculta se vuelve a mostrar la misma; cerrada por el usuario, se carga de nuevo.
        e.ventanas().ocultar(Ventana::Empresa);
        QVERIFY(!empresa->isVisible());
        QTest::mouseClick(control<QToolButton>(e, "Image3"), Qt::LeftButton);
        QCOMPARE(e.ventanas().ventana(Ventana::Empresa), empresa);
        QVERIFY(empresa->isVisible());
        e.area()->subWindowList().first()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::mouseClick(control<QToolButton>(e, "Image3"), Qt::LeftButton);
        QCOMPARE(creadas, 2);
        QCOMPARE(e.area()->subWindowList().size(), 1);
    }

    void abrirNuevaDescartaLaAnterior()
    {
        PlataformaPrueba plataforma;
        Entrada e;
        int creadas = 0;
        RegistroVentanas::registrarFabrica(Ventana::Puestos, [&](Sesion&) {
            ++creadas;
            return new QWidget;
        });
        QPointer<QWidget> primera = e.ventanas().abrirNueva(Ventana::Puestos);
        QWidget* segunda = e.ventanas().abrirNueva(Ventana::Puestos);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        RegistroVentanas::quitarFabrica(Ventana::Puestos);
        QCOMPARE(creadas, 2);
        QVERIFY(primera.isNull());
        QCOMPARE(e.ventanas().ventana(Ventana::Puestos), segunda);
        QCOMPARE(e.area()->subWindowList().size(), 1);
    }
};

QTEST_MAIN(PruebaEntrada)
#include "test_entrada.moc"
