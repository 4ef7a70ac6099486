// Los botones de copia de seguridad y de restaurar copia de la ventana principal.
#include "CopiaPrograma.h"
#include "CopiaSeguridad.h"
#include "Datos.h"
#include "Entrada.h"
#include "Globales.h"
#include "PlataformaPrueba.h"
#include "Rutinas.h"

#include <QCryptographicHash>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRegularExpression>
#include <QToolButton>
#include <QtTest>

using Icono = PlataformaServicios::Icono;
using Botones = PlataformaServicios::Botones;
using Respuesta = PlataformaServicios::Respuesta;

namespace {
QByteArray huella(const QString& archivo)
{
    QFile f(archivo);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) : "";
}

long long empresasLlamadas(const QString& nombre)
{
    return datos::contar(gConexion, "SELECT count(*) FROM Empresas WHERE Nombre = ?", {nombre});
}
} // namespace

class PruebaCopias : public QObject
{
    Q_OBJECT

    std::unique_ptr<CopiaPrograma> programa_;
    std::unique_ptr<QTemporaryDir> fuera_;

    QString base() const { return programa_->ruta("Evaluacion.mdb"); }
    static void pulsar(Entrada& e, const char* boton)
    {
        auto* b = e.findChild<QToolButton*>(QString::fromLatin1(boton));
        QVERIFY2(b, boton);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    static QMdiSubWindow* ventanaDeDatos(Entrada& e)
    {
        auto* marco = e.area()->addSubWindow(new QWidget);
        marco->show();
        return marco;
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
        gConexion.clear();
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
            QVERIFY(!b->icon().isNull());
        }
    }

    void copiaConElProgramaAbiertoEnLaCarpetaCopias()
    {
        PlataformaPrueba plataforma;
        Entrada e;
        e.show();
        datos::empresa(gConexion, "Escrita hoy");
        // Sin elegir archivo no se hace nada.
        pulsar(e, "BCopiaSeguridad");
        QVERIFY(plataforma.mensajes.empty());
        // Se elige un nombre sin extensión fuera de la carpeta del programa.
        plataforma.archivosElegidos.push_back(fuera_->filePath("copia"));
        pulsar(e, "BCopiaSeguridad");
        QCOMPARE(plataforma.elecciones.size(), size_t(2));
        const auto& eleccion = plataforma.elecciones[1];
        QVERIFY(eleccion.paraGuardar);
        QCOMPARE(eleccion.titulo, QStringLiteral("Copia de seguridad"));
        const QRegularExpression propuesta(
            QRegularExpression::escape(QDir::toNativeSeparators(programa_->ruta("Copias") + "/Evaluacion ")) +
            "\\d{4}-\\d{2}-\\d{2}\\.mdb");
        QVERIFY2(propuesta.match(eleccion.propuesta).hasMatch(), qPrintable(eleccion.propuesta));
        QVERIFY(QFileInfo(programa_->ruta("Copias")).isDir());
        QCOMPARE(plataforma.mensajes.size(), size_t(1));
        const auto& m = plataforma.mensajes[0];
        QCOMPARE(m.icono, Icono::Informacion);
        QVERIFY2(m.texto.contains(QDir::toNativeSeparators(fuera_->filePath("copia.mdb"))), qPrintable(m.texto));
        QCOMPARE(examinarBase(fuera_->filePath("copia.mdb")).estado, ExamenBase::Estado::DelPrograma);
        // Y se puede volver a ella: lleva lo escrito con el programa abierto.
        plataforma.archivosElegidos.push_back(fuera_->filePath("copia.mdb"));
        plataforma.responder(Respuesta::Si);
        datos::empresa(gConexion, "Escrita después");
        pulsar(e, "BRestaurarCopia");
        QCOMPARE(plataforma.mensajes.back().icono, Icono::Informacion);
        QCOMPARE(empresasLlamadas("Escrita hoy"), 1);
        QCOMPARE(empresasLlamadas("Escrita después"), 0);
    }

    void restaurarCierraLasVentanasYGuardaLaQueHabia()
    {
        PlataformaPrueba plataforma;
        Entrada e;
        e.show();
        datos::empresa(gConexion, "De la copia");
        const QString copia = fuera_->filePath("copia.mdb");
        QVERIFY(copiarBase(base(), copia).hecha());
        datos::empresa(gConexion, "Posterior");
        QPointer<QMdiSubWindow> marco = ventanaDeDatos(e);
        plataforma.archivosElegidos.push_back(copia);
        plataforma.responder(Respuesta::Si);
        pulsar(e, "BRestaurarCopia");
        QCOMPARE(plataforma.elecciones.size(), size_t(1));
        QVERIFY(!plataforma.elecciones[0].paraGuardar);
        QCOMPARE(plataforma.mensajes.size(), size_t(2));
        const auto& pregunta = plataforma.mensajes[0];
        QCOMPARE(pregunta.icono, Icono::Pregunta);
        QCOMPARE(pregunta.botones, Botones::SiNo);
        QCOMPARE(pregunta.predeterminada, Respuesta::No);
        QVERIFY(marco.isNull());
        const auto& hecho = plataforma.mensajes[1];
        QCOMPARE(hecho.icono, Icono::Informacion);
        QVERIFY2(hecho.texto.startsWith("Copia restaurada."), qPrintable(hecho.texto));
        QCOMPARE(empresasLlamadas("De la copia"), 1);
        QCOMPARE(empresasLlamadas("Posterior"), 0);
        const QStringList guardadas = QDir(programa_->ruta("Copias")).entryList(QDir::Files);
        QCOMPARE(guardadas.size(), 1);
        QVERIFY2(
            QRegularExpression("^Evaluacion antes de restaurar \\d{4}-\\d{2}-\\d{2} \\d{2}\\.\\d{2}\\.\\d{2}\\.mdb$")
                .match(guardadas[0])
                .hasMatch(),
            qPrintable(guardadas[0]));
        QVERIFY(hecho.texto.contains(guardadas[0]));
    }

    void unaCopiaQueNoSirveSeRechazaSinCerrarNada_data()
    {
        QTest::addColumn<QByteArray>("contenido");
        QTest::addColumn<QString>("motivo");
        QTest::newRow("texto") << QByteArray("Lista de la compra") << "no es una base de datos";
        QTest::newRow("vacío") << QByteArray() << "está vacío";
    }
    void unaCopiaQueNoSirveSeRechazaSinCerrarNada()
    {
        QFETCH(QByteArray, contenido);
        QFETCH(QString, motivo);
        PlataformaPrueba plataforma;
        Entrada e;
        e.show();
        datos::empresa(gConexion, "La de hoy");
        QPointer<QMdiSubWindow> marco = ventanaDeDatos(e);
        const QString copia = fuera_->filePath("copia.mdb");
        QFile f(copia);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(contenido);
        f.close();
        plataforma.archivosElegidos.push_back(copia);
        pulsar(e, "BRestaurarCopia");
        QCOMPARE(plataforma.mensajes.size(), size_t(1));
        QCOMPARE(plataforma.mensajes[0].icono, Icono::Critico);
        QVERIFY2(plataforma.mensajes[0].texto.contains(motivo), qPrintable(plataforma.mensajes[0].texto));
        QVERIFY(!marco.isNull());
        // Una buena, pero el usuario dice que no.
        QVERIFY(copiarBase(base(), copia).hecha());
        const QByteArray antes = huella(base());
        plataforma.archivosElegidos.push_back(copia);
        plataforma.responder(Respuesta::No);
        pulsar(e, "BRestaurarCopia");
        QCOMPARE(plataforma.mensajes.size(), size_t(2));
        QVERIFY(!marco.isNull());
        QCOMPARE(huella(base()), antes);
        QCOMPARE(empresasLlamadas("La de hoy"), 1);
        QVERIFY(!QFileInfo::exists(programa_->ruta("Copias")));
    }
};

QTEST_MAIN(PruebaCopias)
#include "test_copias.moc"
