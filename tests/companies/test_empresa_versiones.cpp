// Dos técnicos con la misma empresa a la vista: el que guarda después no pisa lo que guardó el
// otro; se le avisa y la ventana enseña lo que hay guardado.
#include "Datos.h"
#include "EntornoEmpresa.h"
#include "store/Conexion.h"
#include "store/Recordset.h"

#include <QtTest>
#include <sqlite3.h>

class PruebaEmpresaVersiones : public QObject, EntornoEmpresa
{
    Q_OBJECT

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
    void init() { preparar(1400, 700); }
    void cleanup() { liberar(); }

    void guardarDespuesDeOtroAvisaYEnsenaLoSuyo()
    {
        const long long id = datos::empresa(cx, "Talleres Norte");
        datos::centro(cx, id, "Nave 1");
        abrir();
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

    // Borrar la empresa que el otro acaba de cambiar no se lleva lo suyo: se avisa y se enseña.
    void borrarDespuesDeOtroAvisaYLaDeja()
    {
        const long long id = datos::empresa(cx, "Talleres Norte");
        abrir();
        otroEscribe("UPDATE Empresas SET Direccion = 'Calle Otra 2', VersionFila = VersionFila + 1");
        plataforma->responder(PlataformaServicios::Respuesta::Si);
        pulsar("EEmprea");
        QCOMPARE(int(plataforma->mensajes.size()), 2); // la pregunta y el aviso
        QCOMPARE(plataforma->mensajes.back().texto,
                 QString("Otro usuario ha modificado este registro; se muestran sus datos"));
        QCOMPARE(guardado("SELECT Direccion FROM Empresas WHERE IDEmpresa = ?", id), QString("Calle Otra 2"));
        QCOMPARE(texto("cmbNombre"), QString("Talleres Norte"));
        QCOMPARE(caja("strDireccion")->text(), QString("Calle Otra 2"));

        // Vista como la dejó el otro, se borra.
        plataforma->responder(PlataformaServicios::Respuesta::Si);
        pulsar("EEmprea");
        QCOMPARE(int(plataforma->mensajes.size()), 3);
        QCOMPARE(guardado("SELECT count(*) FROM Empresas WHERE IDEmpresa = ?", id), QString("0"));
    }
};

QTEST_MAIN(PruebaEmpresaVersiones)
#include "test_empresa_versiones.moc"
