// Dos técnicos con la misma empresa a la vista: el que guarda después no pisa lo que guardó el
// otro; se le avisa y la ventana enseña lo que hay guardado.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "ManejoEmpresa.h"
#include "PlataformaPrueba.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"
#include "store/Conexion.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QtTest>
#include <sqlite3.h>

class PruebaEmpresaVersiones : public QObject, ManejoEmpresa
{
    Q_OBJECT

    Sesion sesion;
    std::unique_ptr<CopiaPrograma> copia;
    std::unique_ptr<PlataformaPrueba> plataforma;
    std::unique_ptr<QMdiArea> area;
    std::unique_ptr<RegistroVentanas> registro;
    QString cx;

    // Lo que hace el otro técnico, con su propio manejador sobre el mismo archivo.
    void otroEscribe(const char* sql)
    {
        sqlite3* bd = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(copia->ruta("Evaluacion.mdb")).constData(), &bd), SQLITE_OK);
        const int rc = sqlite3_exec(bd, sql, nullptr, nullptr, nullptr);
        sqlite3_close(bd);
        QCOMPARE(rc, SQLITE_OK);
    }
    QString guardado(const QString& sql, long long id)
    {
        Recordset rs;
        rs.open(sql, cx, {id});
        return rs.value(0).toString();
    }

private slots:
    void init()
    {
        copia = std::make_unique<CopiaPrograma>();
        cx = copia->conexion();
        sesion = Sesion();
        sesion.conexion = cx;
        FijarCarpetaPrograma(copia->carpeta());
        plataforma = std::make_unique<PlataformaPrueba>();
        area = std::make_unique<QMdiArea>();
        area->resize(1400, 700);
        area->show();
        registro = std::make_unique<RegistroVentanas>(area.get(), sesion);
    }
    void cleanup()
    {
        registro.reset();
        area.reset();
        ventana = nullptr;
        plataforma.reset();
        copia.reset();
    }

    void guardarDespuesDeOtroAvisaYEnsenaLoSuyo()
    {
        const long long id = datos::empresa(cx, "Talleres Norte");
        datos::centro(cx, id, "Nave 1");
        ventana = new Empresa(sesion);
        QMdiSubWindow* marco = area->addSubWindow(ventana);
        marco->show();
        area->setActiveSubWindow(marco);
        QVERIFY(QTest::qWaitForWindowActive(area.get()));
        QCOMPARE(texto("cmbNombre"), QString("Talleres Norte"));

        // El otro cambia la dirección y la persona mientras esta ventana la tiene a la vista.
        otroEscribe("UPDATE Empresas SET Direccion = 'Calle Otra 2', Persona = 'Berta Ruiz', "
                    "VersionFila = VersionFila + 1");

        QLineEdit* persona = caja("strNombre");
        persona->setFocus();
        tecla(persona, Qt::Key_A, Qt::ControlModifier);
        teclear(persona, "Carlos Gil");
        pulsar("GEmprea");

        QCOMPARE(int(plataforma->mensajes.size()), 1);
        QCOMPARE(plataforma->mensajes.back().texto,
                 QString("Otro usuario ha modificado este registro; se muestran sus datos"));
        // La ventana enseña lo guardado por el otro, y nada suyo se ha perdido.
        QCOMPARE(caja("strNombre")->text(), QString("Berta Ruiz"));
        QCOMPARE(caja("strDireccion")->text(), QString("Calle Otra 2"));
        QCOMPARE(guardado("SELECT Persona FROM Empresas WHERE IDEmpresa = ?", id), QString("Berta Ruiz"));
        QCOMPARE(guardado("SELECT Direccion FROM Empresas WHERE IDEmpresa = ?", id), QString("Calle Otra 2"));

        // Sobre lo que ahora se ve, guardar ya vale.
        persona->setFocus();
        tecla(persona, Qt::Key_A, Qt::ControlModifier);
        teclear(persona, "Carlos Gil");
        pulsar("GEmprea");
        QCOMPARE(int(plataforma->mensajes.size()), 1);
        QCOMPARE(guardado("SELECT Persona FROM Empresas WHERE IDEmpresa = ?", id), QString("Carlos Gil"));
        QCOMPARE(guardado("SELECT Direccion FROM Empresas WHERE IDEmpresa = ?", id), QString("Calle Otra 2"));
    }
};

QTEST_MAIN(PruebaEmpresaVersiones)
#include "test_empresa_versiones.moc"
