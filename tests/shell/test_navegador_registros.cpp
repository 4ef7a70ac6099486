// El navegador de filas sobre la tabla de empresas, con un solo campo además del nombre: lo que
// comparten las dos mitades de la ventana de empresas, probado sin ninguna de ellas.
#include "CopiaPrograma.h"
#include "Datos.h"
#include "PlataformaPrueba.h"
#include "shell/KitControles.h"
#include "shell/NavegadorRegistros.h"
#include "store/Conexion.h"
#include "store/ErrorBD.h"
#include "store/Recordset.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>
#include <QtTest>

using Movimiento = NavegadorRegistros::Movimiento;
using Respuesta = PlataformaServicios::Respuesta;

class PruebaNavegadorRegistros : public QObject
{
    Q_OBJECT

    std::unique_ptr<CopiaPrograma> copia;
    std::unique_ptr<PlataformaPrueba> plataforma;
    std::unique_ptr<QWidget> ventana;
    NavegadorRegistros* nav = nullptr;
    QLineEdit* cif = nullptr;
    bool nueva = false;
    bool chocar = false; // el alta escribe el identificador de una fila que ya existe
    long long idPrimera = 0;
    QString cx;

    void abrir()
    {
        ventana = std::make_unique<QWidget>();
        NavegadorRegistros::Definicion d;
        d.lista = "cmbNombre";
        d.campoNombre = "Nombre";
        d.campoClave = "IDEmpresa";
        d.largoNombre = 50;
        d.contador = "Contador";
        d.barras = {"Primera", "Anterior", "Siguiente", "Ultima"};
        d.crear = {"Crear", "Crear"};
        d.guardar = {"Guardar", "Guardar"};
        d.eliminar = {"Eliminar", "Eliminar"};
        d.faltaNombre = "Falta el nombre";
        d.confirmarBorrado = "¿Borrar?";
        d.avisoNueva = "Nueva%1 sin guardar.";
        d.avisoCambiada = "«%1» es ahora «%2».";
        d.tituloAviso = "Prueba";
        d.nueva = &nueva;
        nav = new NavegadorRegistros(ventana.get(), d);
        cif = Kit::caja("strNif");
        nav->ponerCampos({cif});
        auto* v = new QVBoxLayout(ventana.get());
        v->addWidget(nav->lista());
        v->addWidget(cif);
        v->addLayout(nav->barra(false));
        for (QPushButton* b : {nav->botonCrear(), nav->botonGuardar(), nav->botonEliminar()})
            v->addWidget(b);
        auto& f = nav->funciones();
        f.abrir = [this](Recordset& rs) { rs.open("Select * from Empresas", cx); };
        f.borrar = [this](long long id) { Recordset::execute("delete from Empresas where IDEmpresa = ?", cx, {id}); };
        f.mostrar = [this](Recordset& rs) { cif->setText(rs.value("CIF").toString()); };
        f.escribir = [this](Recordset& rs, const QString& nombre, bool) {
            if (chocar)
                rs.setValue("IDEmpresa", idPrimera);
            rs.setValue("Nombre", nombre);
            rs.setValue("CIF", cif->text());
        };
        nav->cargar();
        nav->colocar();
    }
    QString contador() const { return nav->contador()->text(); }
    bool flechasActivas() const
    {
        for (const char* n : {"Primera", "Anterior", "Siguiente", "Ultima"})
            if (!ventana->findChild<QToolBar*>(n)->actions().first()->isEnabled())
                return false;
        return true;
    }
    QString cifDe(long long id)
    {
        Recordset rs;
        rs.open("Select CIF from Empresas where IDEmpresa = ?", cx, {id});
        return rs.eof() ? QString() : rs.value(0).toString();
    }

private slots:
    void init()
    {
        copia = std::make_unique<CopiaPrograma>();
        cx = copia->conexion();
        plataforma = std::make_unique<PlataformaPrueba>();
        nueva = chocar = false;
        idPrimera = 0;
    }
    void cleanup()
    {
        ventana.reset();
        plataforma.reset();
        copia.reset();
    }

    void sinFilasNoQuedaNadaActivo()
    {
        abrir();
        QCOMPARE(contador(), QString("0 de 0"));
        QVERIFY(!flechasActivas());
        QVERIFY(!nav->botonGuardar()->isEnabled());
        QVERIFY(!nav->botonEliminar()->isEnabled());
        QVERIFY(nav->botonCrear()->isEnabled());
        QCOMPARE(cif->property("estado").toString(), QString("bloqueado"));

        // Borrar la única fila deja la ventana igual que sin filas.
        datos::insertar(cx, "INSERT INTO Empresas (Nombre, CIF) VALUES (?, ?)", {"Sola", "X1"});
        nav->cargar();
        nav->colocar();
        QCOMPARE(contador(), QString("1 de 1"));
        QVERIFY(flechasActivas());
        plataforma->responder(Respuesta::Si);
        nav->eliminar();
        QCOMPARE(datos::contar(cx, "SELECT count(*) FROM Empresas"), 0LL);
        QCOMPARE(contador(), QString("0 de 0"));
        QVERIFY(!flechasActivas());
        QVERIFY(!nav->botonEliminar()->isEnabled());
        QCOMPARE(nav->lista()->count(), 0);
        QCOMPARE(nav->lista()->currentText(), QString());
    }

    void flechasEnLosExtremos()
    {
        for (const char* n : {"A", "B", "C"})
            datos::insertar(cx, "INSERT INTO Empresas (Nombre, CIF) VALUES (?, ?)", {n, QString(n) + "1"});
        abrir();
        QCOMPARE(contador(), QString("1 de 3"));
        nav->mover(Movimiento::Anterior);
        QCOMPARE(contador(), QString("1 de 3"));
        QCOMPARE(nav->lista()->currentText(), QString("A"));
        for (int i = 0; i < 3; ++i)
            nav->mover(Movimiento::Siguiente);
        QCOMPARE(contador(), QString("3 de 3"));
        QCOMPARE(cif->text(), QString("C1"));
        nav->mover(Movimiento::Primero);
        QCOMPARE(contador(), QString("1 de 3"));
        // Las flechas son las de la barra: un clic en la de la última hace lo mismo.
        auto* ultima = ventana->findChild<QToolBar*>("Ultima");
        QTest::mouseClick(ultima->widgetForAction(ultima->actions().first()), Qt::LeftButton);
        QCOMPARE(contador(), QString("3 de 3"));
        QCOMPARE(nav->lista()->currentText(), QString("C"));
    }

    // Con dos filas del mismo nombre, guardar vuelve a la fila guardada, no a la primera que se llama igual.
    void guardarVuelveALaMismaFilaAunqueSeLlameIgual()
    {
        datos::insertar(cx, "INSERT INTO Empresas (Nombre, CIF) VALUES (?, ?)", {"Igual", "P1"});
        datos::insertar(cx, "INSERT INTO Empresas (Nombre, CIF) VALUES (?, ?)", {"Otra", "P2"});
        abrir();
        nav->crear();
        QVERIFY(nueva);
        QVERIFY(!nav->botonEliminar()->isEnabled());
        QCOMPARE(cif->text(), QString());
        nav->lista()->setEditText("Igual");
        cif->setText("P3");
        nav->guardar();
        QVERIFY(!nueva);
        QCOMPARE(contador(), QString("3 de 3"));
        QCOMPARE(cif->text(), QString("P3"));
        QCOMPARE(nav->lista()->count(), 3);

        cif->setText("P3b");
        nav->guardar();
        QCOMPARE(contador(), QString("3 de 3"));
        QCOMPARE(nav->lista()->currentText(), QString("Igual"));
        QCOMPARE(datos::contar(cx, "SELECT count(*) FROM Empresas WHERE CIF = 'P1'"), 1LL);
        QCOMPARE(datos::contar(cx, "SELECT count(*) FROM Empresas WHERE CIF = 'P3b'"), 1LL);

        // Un nombre nuevo se puede elegir en la lista en cuanto se guarda.
        nav->mover(Movimiento::Primero);
        nav->lista()->setEditText("Renombrada");
        nav->guardar();
        QVERIFY(nav->lista()->findText("Renombrada") >= 0);
        QCOMPARE(nav->lista()->itemText(2), QString("Igual"));
        QCOMPARE(contador(), QString("1 de 3"));
    }

    void moverDejaElAltaYEnsenaUnaFilaEntera()
    {
        datos::insertar(cx, "INSERT INTO Empresas (Nombre, CIF) VALUES (?, ?)", {"A", "A1"});
        datos::insertar(cx, "INSERT INTO Empresas (Nombre, CIF) VALUES (?, ?)", {"B", "B1"});
        abrir();
        nav->mover(Movimiento::Ultimo);
        nav->crear();
        cif->setText("a medias");
        nav->mover(Movimiento::Siguiente);
        QVERIFY(!nueva);
        QCOMPARE(contador(), QString("2 de 2"));
        QCOMPARE(cif->text(), QString("B1"));
        QVERIFY(nav->botonEliminar()->isEnabled());
        QCOMPARE(datos::contar(cx, "SELECT count(*) FROM Empresas"), 2LL);
    }

    void elegirPreguntaAntesDePerderLoEscrito()
    {
        datos::insertar(cx, "INSERT INTO Empresas (Nombre, CIF) VALUES (?, ?)", {"Alfa", "A1"});
        datos::insertar(cx, "INSERT INTO Empresas (Nombre, CIF) VALUES (?, ?)", {"Beta", "B1"});
        abrir();
        QLineEdit* texto = nav->lista()->lineEdit();
        texto->setFocus();
        texto->selectAll();
        QTest::keyClicks(texto, "Alfonso");
        QCOMPARE(texto->text(), QString("Alfonso"));

        const auto elegirBeta = [this] {
            nav->lista()->setCurrentIndex(1);
            emit nav->lista()->activated(1);
        };
        plataforma->responder(Respuesta::No);
        elegirBeta();
        QCOMPARE(plataforma->mensajes.back().texto,
                 QString("«Alfa» es ahora «Alfonso». ¿Quiere ver «Beta» y perder lo escrito?"));
        QCOMPARE(texto->text(), QString("Alfonso"));
        QCOMPARE(contador(), QString("1 de 2"));

        plataforma->responder(Respuesta::Si);
        elegirBeta();
        QCOMPARE(contador(), QString("2 de 2"));
        QCOMPARE(cif->text(), QString("B1"));
        // Ya no hay nada pendiente: elegir otra vez no pregunta.
        const size_t avisos = plataforma->mensajes.size();
        nav->lista()->setCurrentIndex(0);
        emit nav->lista()->activated(0);
        QCOMPARE(plataforma->mensajes.size(), avisos);
        QCOMPARE(cif->text(), QString("A1"));
    }

    // Muchas filas: la lista tiene todas, en el orden del conjunto, y sigue al día al elegir la
    // última, al renombrar una del final y al borrarla.
    void unaListaLargaTieneTodasSusFilasEnOrden()
    {
        {
            Transaccion t(cx);
            for (int i = 0; i < 300; ++i)
                datos::insertar(cx, "INSERT INTO Empresas (Nombre, CIF) VALUES (?, ?)",
                                {QStringLiteral("Empresa %1").arg(i, 3, 10, QChar('0')), QStringLiteral("C%1").arg(i)});
            t.confirmar();
        }
        abrir();
        QComboBox* lista = nav->lista();
        QCOMPARE(contador(), QString("1 de 300"));
        QCOMPARE(nav->total(), 300L);
        QCOMPARE(lista->count(), 300);
        QCOMPARE(lista->currentText(), QString("Empresa 000"));
        QCOMPARE(lista->itemText(299), QString("Empresa 299"));
        QCOMPARE(lista->findText("Empresa 150"), 150);

        lista->setCurrentIndex(299);
        emit lista->activated(299);
        QCOMPARE(contador(), QString("300 de 300"));
        QCOMPARE(cif->text(), QString("C299"));

        nav->mover(Movimiento::Anterior);
        lista->setEditText("Renombrada");
        nav->guardar();
        QCOMPARE(contador(), QString("299 de 300"));
        QCOMPARE(lista->itemText(298), QString("Renombrada"));
        QCOMPARE(lista->itemText(299), QString("Empresa 299"));
        QCOMPARE(lista->findText("Empresa 298"), -1);

        plataforma->responder(Respuesta::Si);
        nav->eliminar();
        QCOMPARE(contador(), QString("1 de 299"));
        QCOMPARE(lista->count(), 299);
        QCOMPARE(lista->itemText(298), QString("Empresa 299"));
        QCOMPARE(lista->findText("Renombrada"), -1);
    }

    // Un alta que el almacén rechaza no deja el conjunto con la fila a medias: se puede seguir.
    void unAltaRechazadaSigueSiendoAlta()
    {
        idPrimera = datos::insertar(cx, "INSERT INTO Empresas (Nombre, CIF) VALUES (?, ?)", {"A", "A1"});
        abrir();
        chocar = true;
        nav->crear();
        nav->lista()->setEditText("Choque");
        cif->setText("Z9");
        QVERIFY_THROWS_EXCEPTION(ErrorBD, nav->guardar());
        QVERIFY(nueva);
        QCOMPARE(datos::contar(cx, "SELECT count(*) FROM Empresas"), 1LL);
        chocar = false;
        nav->guardar();
        QCOMPARE(datos::contar(cx, "SELECT count(*) FROM Empresas"), 2LL);
        QCOMPARE(contador(), QString("2 de 2"));
        QCOMPARE(cifDe(idPrimera), QString("A1"));
    }
};

QTEST_MAIN(PruebaNavegadorRegistros)
#include "test_navegador_registros.moc"
