// La ventana de empresas cuando un borrado no se puede hacer (archivo bloqueado por otro proceso
// o de sólo lectura): avisa, la fila sigue a la vista y todos los botones siguen sirviendo.
#include "Datos.h"
#include "EntornoEmpresa.h"
#include "Escenario.h"
#include "VfsFallos.h"
#include "store/Conexion.h"

#include <QtTest>

using namespace fallos;
using Respuesta = PlataformaServicios::Respuesta;

class PruebaEmpresaSinEscritura : public QObject, EntornoEmpresa
{
    Q_OBJECT

    // La base de datos entregada en una carpeta de usar y tirar, la que ve el sistema de archivos
    // con fallos.
    std::unique_ptr<Copia> copiaFallos;

    // Pulsa el botón de borrar, confirma y devuelve el aviso de error (vacío si no hay).
    QString borrar(const char* boton)
    {
        plataforma->responder(Respuesta::Si);
        const size_t antes = plataforma->mensajes.size();
        pulsar(boton);
        return plataforma->mensajes.size() > antes + 1 ? plataforma->mensajes.back().texto : QString();
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
        copiaFallos = std::make_unique<Copia>();
        copiaFallos->usar();
        prepararSobre(copiaFallos->conexion(), copiaFallos->carpeta(), 1400, 700);
        RegistroVentanas::registrarFabrica(Ventana::InicioEvaluacion, [](Sesion&) { return new QWidget; });
    }
    void cleanup()
    {
        vfsfallos::desarmar();
        liberar();
        copiaFallos.reset();
    }

    void borrarConLaBaseBloqueadaAvisaYSigueLaFila()
    {
        abrir();
        Bloqueador otro(copiaFallos->archivo());
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
