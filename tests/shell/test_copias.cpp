// Los botones de copia de seguridad y de restaurar copia de la ventana principal.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "PlataformaPrueba.h"
#include "shell/Entrada.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"
#include "store/CopiaSeguridad.h"
#include "store/Esquema.h"
#include "store/EstadoCentros.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRegularExpression>
#include <QToolButton>
#include <QtTest>
#include <sqlite3.h>

using Icono = PlataformaServicios::Icono;
using Respuesta = PlataformaServicios::Respuesta;

class PruebaCopias : public QObject
{
    Q_OBJECT

    std::unique_ptr<CopiaPrograma> programa_;
    std::unique_ptr<QTemporaryDir> fuera_;

    static void pulsar(Entrada& e, const char* boton)
    {
        auto* b = e.findChild<QToolButton*>(QString::fromLatin1(boton));
        QVERIFY2(b, boton);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    static long long empresas(Entrada& e, const QString& nombre)
    {
        return datos::contar(e.sesion().conexion, "SELECT count(*) FROM Empresas WHERE Nombre = ?", {nombre});
    }

    // Una copia de la base con la empresa «De la copia», fuera de la carpeta del programa.
    QString copiaConEmpresa(Entrada& e) const
    {
        datos::empresa(e.sesion().conexion, "De la copia");
        const QString copia = fuera_->filePath("copia.mdb");
        return copiarBase(programa_->ruta("Evaluacion.mdb"), copia).hecha() ? copia : QString();
    }

private slots:
    void init()
    {
        programa_ = std::make_unique<CopiaPrograma>();
        fuera_ = std::make_unique<QTemporaryDir>();
        FijarCarpetaPrograma(programa_->carpeta());
    }
    void cleanup()
    {
        programa_.reset();
        FijarCarpetaPrograma({});
    }

    void dosBotonesConSuAyuda()
    {
        PlataformaPrueba plataforma;
        Entrada e;
        for (const auto& [nombre, ayuda] :
             {std::pair{"BCopiaSeguridad", "Copia de seguridad"}, std::pair{"BRestaurarCopia", "Restaurar copia"}}) {
            auto* b = e.findChild<QToolButton*>(QString::fromLatin1(nombre));
            QVERIFY2(b, nombre);
            QCOMPARE(b->toolTip(), QString::fromUtf8(ayuda));
            QCOMPARE(b->accessibleName(), QString::fromUtf8(ayuda));
        }
    }

    void copiaConElProgramaAbiertoPropuestaEnCopias()
    {
        PlataformaPrueba plataforma;
        Entrada e;
        e.show();
        datos::empresa(e.sesion().conexion, "Escrita hoy");
        pulsar(e, "BCopiaSeguridad"); // sin elegir archivo no se hace nada
        QVERIFY(plataforma.mensajes.empty());
        plataforma.archivosElegidos.push_back(fuera_->filePath("copia")); // sin extensión
        pulsar(e, "BCopiaSeguridad");
        const auto& eleccion = plataforma.elecciones.at(1);
        QVERIFY(eleccion.paraGuardar);
        const QRegularExpression propuesta(
            QRegularExpression::escape(QDir::toNativeSeparators(programa_->ruta("Copias") + "/Evaluacion ")) +
            "\\d{4}-\\d{2}-\\d{2}\\.mdb");
        QVERIFY2(propuesta.match(eleccion.propuesta).hasMatch(), qPrintable(eleccion.propuesta));
        QCOMPARE(plataforma.mensajes.size(), size_t(1));
        QCOMPARE(plataforma.mensajes[0].icono, Icono::Informacion);
        const QString copia = fuera_->filePath("copia.mdb");
        QVERIFY(plataforma.mensajes[0].texto.contains(QDir::toNativeSeparators(copia)));
        QCOMPARE(examinarBase(copia).estado, ExamenBase::Estado::DelPrograma);
    }

    void restaurarCierraLasVentanasYAbreLaCopia()
    {
        PlataformaPrueba plataforma;
        Entrada e;
        e.show();
        const QString copia = copiaConEmpresa(e);
        QVERIFY(!copia.isEmpty());
        datos::empresa(e.sesion().conexion, "Posterior");
        QPointer<QMdiSubWindow> marco = e.area()->addSubWindow(new QWidget);
        plataforma.archivosElegidos.push_back(copia);
        plataforma.responder(Respuesta::Si);
        pulsar(e, "BRestaurarCopia");
        QCOMPARE(plataforma.mensajes.size(), size_t(2));
        QCOMPARE(plataforma.mensajes[0].predeterminada, Respuesta::No); // la pregunta
        QVERIFY(marco.isNull());
        const auto& hecho = plataforma.mensajes[1];
        QVERIFY2(hecho.texto.startsWith("Copia restaurada."), qPrintable(hecho.texto));
        QCOMPARE(empresas(e, "De la copia"), 1);
        QCOMPARE(empresas(e, "Posterior"), 0);
        const QStringList guardadas = QDir(programa_->ruta("Copias")).entryList(QDir::Files);
        QCOMPARE(guardadas.size(), 1);
        QVERIFY(hecho.texto.contains(guardadas[0]));
    }

    // Restaurar mientras se lee aparte el estado de los centros (nada más arrancar, o al abrir el
    // resumen tras otro programa): la lectura se deja y la copia se pone en su sitio.
    void restaurarMientrasSeLeeAparteElEstadoDeLosCentros()
    {
        PlataformaPrueba plataforma;
        Entrada e;
        e.show();
        const QString copia = copiaConEmpresa(e);
        QVERIFY(!copia.isEmpty());
        TerminarEstadoCentros();
        RetenerLecturaAparte(true);
        PrepararEstadoCentros(e.sesion().conexion, QDate(2026, 6, 15));
        QTRY_VERIFY(LecturaAparteRetenida());
        plataforma.archivosElegidos.push_back(copia);
        plataforma.responder(Respuesta::Si);
        pulsar(e, "BRestaurarCopia");
        RetenerLecturaAparte(false);
        QCOMPARE(plataforma.mensajes.size(), size_t(2));
        QVERIFY2(plataforma.mensajes[1].texto.startsWith("Copia restaurada."),
                 qPrintable(plataforma.mensajes[1].texto));
        QVERIFY(!PreparandoEstadoCentros());
        QCOMPARE(empresas(e, "De la copia"), 1);
    }

    void unaCopiaDeUnaVersionAnteriorSePoneAlDiaConSuCopia()
    {
        PlataformaPrueba plataforma;
        Entrada e;
        const QString copia = fuera_->filePath("antigua.mdb");
        sqlite3* bd = nullptr;
        sqlite3_open(QFile::encodeName(copia).constData(), &bd);
        QCOMPARE(crearEsquemaRevision(bd, RevisionEsquema - 1), SQLITE_OK);
        sqlite3_close(bd);
        plataforma.archivosElegidos.push_back(copia);
        plataforma.responder(Respuesta::Si);
        pulsar(e, "BRestaurarCopia");
        QCOMPARE(plataforma.mensajes.size(), size_t(2));
        QVERIFY(plataforma.mensajes[0].texto.contains("versión anterior"));
        QVERIFY2(plataforma.mensajes[1].texto.startsWith("Copia restaurada."),
                 qPrintable(plataforma.mensajes[1].texto));
        QCOMPARE(datos::contar(e.sesion().conexion, "PRAGMA user_version"), RevisionEsquema);
        QVERIFY(QFileInfo::exists(programa_->ruta(QStringLiteral("Evaluacion.mdb.r%1.bak").arg(RevisionEsquema - 1))));
    }

    void unaCopiaQueNoSirveOQueNoSeQuiereNoCierraNada()
    {
        PlataformaPrueba plataforma;
        Entrada e;
        e.show();
        datos::empresa(e.sesion().conexion, "La de hoy");
        QPointer<QMdiSubWindow> marco = e.area()->addSubWindow(new QWidget);
        const QString copia = fuera_->filePath("copia.mdb");
        QFile f(copia);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Lista de la compra");
        f.close();
        plataforma.archivosElegidos.push_back(copia);
        pulsar(e, "BRestaurarCopia");
        QCOMPARE(plataforma.mensajes.size(), size_t(1)); // rechazada sin preguntar
        QCOMPARE(plataforma.mensajes[0].icono, Icono::Critico);
        QVERIFY2(plataforma.mensajes[0].texto.contains("no es una base de datos"),
                 qPrintable(plataforma.mensajes[0].texto));
        // Una buena, pero el usuario dice que no.
        QVERIFY(copiarBase(programa_->ruta("Evaluacion.mdb"), copia).hecha());
        datos::empresa(e.sesion().conexion, "Después de la copia");
        plataforma.archivosElegidos.push_back(copia);
        plataforma.responder(Respuesta::No);
        pulsar(e, "BRestaurarCopia");
        QCOMPARE(plataforma.mensajes.size(), size_t(2));
        QVERIFY(!marco.isNull());
        QCOMPARE(empresas(e, "Después de la copia"), 1);
        QVERIFY(!QFileInfo::exists(programa_->ruta("Copias")));
    }
};

QTEST_MAIN(PruebaCopias)
#include "test_copias.moc"
