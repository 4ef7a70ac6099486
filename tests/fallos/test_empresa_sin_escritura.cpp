// La ventana de empresas cuando un borrado no se puede hacer (archivo bloqueado por otro proceso
// o de sólo lectura): avisa, la fila sigue a la vista y todos los botones siguen sirviendo.
#include "Datos.h"
#include "Escenario.h"
#include "ManejoEmpresa.h"
#include "PlataformaPrueba.h"
#include "VfsFallos.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"
#include "store/Conexion.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QtTest>

using namespace fallos;
using Respuesta = PlataformaServicios::Respuesta;

class PruebaEmpresaSinEscritura : public QObject, ManejoEmpresa
{
    Q_OBJECT

    Sesion sesion;
    std::unique_ptr<Copia> copia;
    std::unique_ptr<PlataformaPrueba> plataforma;
    std::unique_ptr<QMdiArea> area;
    std::unique_ptr<RegistroVentanas> registro;

    // Pulsa el botón de borrar, confirma y devuelve el aviso de error (vacío si no hay).
    QString borrar(const char* boton)
    {
        plataforma->responder(Respuesta::Si);
        const size_t antes = plataforma->mensajes.size();
        pulsar(boton);
        return plataforma->mensajes.size() > antes + 1 ? plataforma->mensajes.back().texto : QString();
    }
    void abrir()
    {
        ventana = new Empresa(sesion);
        area->addSubWindow(ventana)->show();
    }
    // La empresa y su centro siguen a la vista y los botones de las dos partes responden sin avisos.
    void sigueUsable()
    {
        QCOMPARE(contador("Label8"), QString("1 de 1"));
        QCOMPARE(texto("cmbNombre"), QString("Talleres L'Hospitalet"));
        QCOMPARE(contador("Label14"), QString("1 de 1"));
        const size_t antes = plataforma->mensajes.size();
        for (int n : {1, 2, 3, 4, 5, 6, 7, 8})
            barra(n);
        pulsar("CEvaluacion");
        QVERIFY(registro->ventana(Ventana::InicioEvaluacion));
        QCOMPARE(sesion.idCentro, qint64(preparada().centro));
        QCOMPARE(plataforma->mensajes.size(), antes);
        QCOMPARE(contador("Label8"), QString("1 de 1"));
        QVERIFY(hijo<QPushButton>("EEmprea")->isEnabled());
        QVERIFY(hijo<QPushButton>("ECentro")->isEnabled());
    }
    long long empresas() { return datos::contar(sesion.conexion, "SELECT count(*) FROM Empresas"); }
    long long centros() { return datos::contar(sesion.conexion, "SELECT count(*) FROM CentroTrabajo"); }

private slots:
    void init()
    {
        copia = std::make_unique<Copia>();
        copia->usar();
        sesion = Sesion();
        sesion.conexion = copia->conexion();
        FijarCarpetaPrograma(copia->carpeta());
        plataforma = std::make_unique<PlataformaPrueba>();
        area = std::make_unique<QMdiArea>();
        area->resize(1400, 700);
        area->show();
        registro = std::make_unique<RegistroVentanas>(area.get(), sesion);
        RegistroVentanas::registrarFabrica(Ventana::InicioEvaluacion, [](Sesion&) { return new QWidget; });
    }
    void cleanup()
    {
        vfsfallos::desarmar();
        registro.reset();
        area.reset();
        ventana = nullptr;
        plataforma.reset();
        copia.reset();
    }

    void borrarConLaBaseBloqueadaAvisaYSigueLaFila()
    {
        abrir();
        Bloqueador otro(copia->archivo());
        QCOMPARE(otro.aviso(), QByteArray("bloqueada"));
        for (const char* boton : {"EEmprea", "ECentro"}) {
            const QString aviso = borrar(boton);
            QVERIFY2(aviso.contains("3260"), qPrintable(aviso));
            sigueUsable();
        }
        otro.soltar();
        QCOMPARE(borrar("ECentro"), QString());
        QCOMPARE(centros(), 0LL);
        QCOMPARE(borrar("EEmprea"), QString());
        QCOMPARE(empresas(), 0LL);
        QCOMPARE(contador("Label8"), QString("0 de 0"));
    }

    void borrarEnUnArchivoDeSoloLecturaAvisaYSigueLaFila()
    {
        Conexion::cerrarTodas();
        vfsfallos::soloLectura(true);
        abrir();
        for (const char* boton : {"ECentro", "EEmprea"}) {
            const QString aviso = borrar(boton);
            QVERIFY2(aviso.contains("3027"), qPrintable(aviso));
            sigueUsable();
        }
        vfsfallos::desarmar();
        QCOMPARE(borrar("EEmprea"), QString());
        QCOMPARE(empresas(), 0LL);
        QCOMPARE(centros(), 0LL);
    }
};

QTEST_MAIN(PruebaEmpresaSinEscritura)
#include "test_empresa_sin_escritura.moc"
