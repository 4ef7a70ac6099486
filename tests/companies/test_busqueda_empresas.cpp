// La búsqueda en la lista de nombres de empresa: lo escrito sin acentos deja en la lista sólo las
// que lo tienen, y la que se elige en la lista acortada es la que se ve.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "ManejoEmpresa.h"
#include "PlataformaPrueba.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QtTest>

class PruebaBusquedaEmpresas : public QObject, ManejoEmpresa
{
    Q_OBJECT

    Sesion sesion;
    std::unique_ptr<CopiaPrograma> copia;
    std::unique_ptr<PlataformaPrueba> plataforma;
    std::unique_ptr<QMdiArea> area;

private slots:
    void init()
    {
        copia = std::make_unique<CopiaPrograma>();
        sesion = Sesion();
        sesion.conexion = copia->conexion();
        FijarCarpetaPrograma(copia->carpeta());
        plataforma = std::make_unique<PlataformaPrueba>();
        for (const char* nombre : {"Talleres Pérez", "Cámaras Frías del Sur", "Camarón Hostelería", "Frío Industrial"})
            datos::insertar(sesion.conexion, "insert into Empresas (Nombre, CIF) values (?, ?)",
                            {QString::fromUtf8(nombre), QString::fromUtf8(nombre).left(3)});
        area = std::make_unique<QMdiArea>();
        area->resize(1400, 700);
        area->show();
        ventana = new Empresa(sesion);
        area->addSubWindow(ventana)->show();
        QVERIFY(QTest::qWaitForWindowExposed(area.get()));
    }
    void cleanup()
    {
        area.reset();
        plataforma.reset();
        copia.reset();
        FijarCarpetaPrograma({});
    }

    void laListaSeAcortaALoBuscadoYSeEligeEnElla()
    {
        QComboBox* nombres = lista("cmbNombre");
        QLineEdit* buscar = caja("txtBuscarEmpresa");
        const int todas = nombres->count();
        QCOMPARE(todas, 4);
        QCOMPARE(texto("cmbNombre"), QString("Talleres Pérez"));

        buscar->setFocus();
        QTest::keyClicks(buscar, "FRI");
        QCOMPARE(nombres->count(), 2);
        QCOMPARE(hijo<QLabel>("txtBuscarEmpresaEncontradas")->text(), QString("2 encontradas"));
        // Cada palabra ha de estar en el nombre.
        QTest::keyClicks(buscar, " camara");
        QCOMPARE(nombres->count(), 1);
        QCOMPARE(nombres->itemText(0), QString("Cámaras Frías del Sur"));
        // Buscar no cambia la empresa a la vista: sólo la lista.
        QCOMPARE(texto("cmbNombre"), QString("Talleres Pérez"));
        QCOMPARE(caja("strNif")->text(), QString("Tal"));

        // Intro despliega la lista acortada; la entrada elegida es la que se enseña, con sus datos.
        QTest::keyClick(buscar, Qt::Key_Return);
        QTRY_VERIFY(nombres->view()->isVisible());
        QTest::keyClick(nombres->view(), Qt::Key_Return);
        QTRY_VERIFY(!nombres->view()->isVisible());
        QCOMPARE(texto("cmbNombre"), QString("Cámaras Frías del Sur"));
        QCOMPARE(caja("strNif")->text(), QString("Cám"));
        QCOMPARE(contador("Label8"), QString("2 de 4"));

        // Escape en la caja vuelve a dejar todas.
        buscar->setFocus();
        QTest::keyClick(buscar, Qt::Key_Escape);
        QCOMPARE(buscar->text(), QString());
        QCOMPARE(nombres->count(), todas);
        QCOMPARE(hijo<QLabel>("txtBuscarEmpresaEncontradas")->text(), QString());
    }
};

QTEST_MAIN(PruebaBusquedaEmpresas)
#include "test_busqueda_empresas.moc"
