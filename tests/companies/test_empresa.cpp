// La ventana de empresas y centros, sin pantalla, sobre su propia copia de la base de datos.
#include "Datos.h"
#include "EntornoVentanas.h"
#include "companies/Empresa.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

using Respuesta = PlataformaServicios::Respuesta;

class PruebaEmpresa : public QObject, EntornoSesion
{
    Q_OBJECT

    std::unique_ptr<Empresa> ventana;

    template <typename T> T* hijo(const char* nombre)
    {
        T* w = ventana->findChild<T*>(nombre);
        if (!w)
            qFatal("no existe el control %s", nombre);
        return w;
    }
    QComboBox* lista(const char* n) { return hijo<QComboBox>(n); }
    QLineEdit* caja(const char* n) { return hijo<QLineEdit>(n); }
    QPushButton* boton(const char* n) { return hijo<QPushButton>(n); }
    QString contador(const char* n) { return hijo<QLabel>(n)->text(); }
    void barra(int n) { hijo<QToolBar>(qPrintable(QStringLiteral("Toolbar%1").arg(n)))->actions().first()->trigger(); }
    bool barraActiva(int n)
    {
        return hijo<QToolBar>(qPrintable(QStringLiteral("Toolbar%1").arg(n)))->actions().first()->isEnabled();
    }
    void elegir(const char* nombreLista, const QString& texto)
    {
        QComboBox* c = lista(nombreLista);
        const int i = c->findText(texto);
        QVERIFY2(i >= 0, qPrintable("no está en la lista: " + texto));
        c->setCurrentIndex(i);
        emit c->activated(i);
    }
    void abrir() { ventana = std::make_unique<Empresa>(sesion); }
    void nuevaEmpresa(const QString& nombre, const QString& total = {})
    {
        boton("NEmprea")->click();
        lista("cmbNombre")->setEditText(nombre);
        caja("strTotalTrabajdores")->setText(total);
        boton("GEmprea")->click();
    }
    void nuevoCentro(const QString& nombre, const QString& provincia = {})
    {
        boton("NCentro")->click();
        lista("cmbNombreCentro")->setEditText(nombre);
        caja("strProvinciaCT")->setText(provincia);
        boton("GCentro")->click();
    }
    QVariant columna(const QString& sql, const QVariantList& p = {})
    {
        Recordset rs;
        rs.open(sql, cx, p);
        return rs.eof() ? QVariant() : rs.value(0);
    }
    QString ultimoMensaje() { return plataforma->mensajes.empty() ? QString() : plataforma->mensajes.back().texto; }

private slots:
    void init() { preparar(); }
    void cleanup()
    {
        ventana.reset();
        liberar();
    }

    void almacenVacioYPrimeraEmpresa()
    {
        abrir();
        QCOMPARE(ventana->windowTitle(), QString("Datos Empresa"));
        QCOMPARE(contador("Label8"), QString("0 de 0"));
        QCOMPARE(contador("Label14"), QString("0 de 0"));
        for (int n = 1; n <= 8; ++n)
            QVERIFY(!barraActiva(n));
        for (const char* b : {"GEmprea", "EEmprea", "NCentro", "GCentro", "ECentro", "CEvaluacion", "CPlanificacion",
                              "CEvaluacionVisualizar", "CPlanificacionVisualizar"})
            QVERIFY2(!boton(b)->isEnabled(), b);
        QVERIFY(boton("NEmprea")->isEnabled());
        QCOMPARE(caja("strNif")->property("estado").toString(), QString("bloqueado"));
        QVERIFY(!lista("cmbNombre")->isEnabled());
        QCOMPARE(lista("cmbCargo")->count(), 3);
        QCOMPARE(lista("cmbFormacion")->itemText(4), QString("Técnico Superior en PRP"));
        QCOMPARE(caja("strNif")->maxLength(), 10);
        QCOMPARE(caja("strTotalTrabajdores")->maxLength(), 10);
        QCOMPARE(boton("CEvaluacion")->text(), QString("Primero:\r\nCrear evaluación de riesgos "));

        // Un nombre de blancos no se graba y la empresa sigue a medias.
        boton("NEmprea")->click();
        QCOMPARE(caja("strNif")->property("estado").toString(), QString("editable"));
        QVERIFY(boton("GEmprea")->isEnabled());
        lista("cmbNombre")->setEditText("   ");
        boton("GEmprea")->click();
        QCOMPARE(ultimoMensaje(),
                 QString("Tiene que introduccir un valor en el campo Nombre de Empresa, para poder grabar/guardar"));
        QCOMPARE(plataforma->mensajes.back().titulo, QString("Error"));
        QCOMPARE(datos::contar(cx, "select count(*) from Empresas"), 0);
        QVERIFY(sesion.nuevaEmpresa);

        // Se completa y se graba: "Madrid" al dar de alta y 0 trabajadores si se deja vacío.
        lista("cmbNombre")->setEditText("Frutería L'Hospitalet");
        caja("strProvincia")->setText("Toledo");
        lista("cmbCargo")->setEditText("Gerente y socia");
        lista("cmbFormacion")->setEditText("Curso de 60 horas");
        boton("GEmprea")->click();
        QVERIFY(!sesion.nuevaEmpresa);
        QCOMPARE(columna("select Provincia from Empresas").toString(), QString("Madrid"));
        QCOMPARE(columna("select TotalTrabajadores from Empresas").toLongLong(), 0LL);
        QCOMPARE(contador("Label8"), QString("1 de 1"));
        QCOMPARE(caja("strProvincia")->text(), QString("Madrid"));
        QCOMPARE(lista("cmbCargo")->currentText(), QString("Gerente y socia"));
        QVERIFY(boton("NCentro")->isEnabled());
        QVERIFY(!boton("GCentro")->isEnabled());

        // Al guardar otra vez queda la provincia escrita; el total vacío sigue siendo 0.
        caja("strProvincia")->setText("Toledo");
        boton("GEmprea")->click();
        QCOMPARE(columna("select Provincia from Empresas").toString(), QString("Toledo"));
        QCOMPARE(columna("select Formacion from Empresas").toString(), QString("Curso de 60 horas"));
        QCOMPARE(columna("select TotalTrabajadores from Empresas").toLongLong(), 0LL);

        // Al abrir de nuevo se ve tal cual.
        abrir();
        QCOMPARE(lista("cmbNombre")->currentText(), QString("Frutería L'Hospitalet"));
        QCOMPARE(lista("cmbCargo")->currentText(), QString("Gerente y socia"));
        QCOMPARE(caja("strProvincia")->text(), QString("Toledo"));
    }

    void nombreLargoYTotalNoNumerico()
    {
        abrir();
        const QString largo = QString("Comercial de Alimentación y Droguería Hermanos García Sánchez");
        nuevaEmpresa(largo, "abc");
        // Letras en el total: se dice qué pasa, no se graba nada y lo escrito sigue ahí.
        QVERIFY(ultimoMensaje().contains("Total de Trabajadores"));
        QVERIFY(ultimoMensaje().contains("«abc»"));
        QCOMPARE(datos::contar(cx, "select count(*) from Empresas"), 0);
        QCOMPARE(caja("strTotalTrabajdores")->text(), QString("abc"));
        QVERIFY(sesion.nuevaEmpresa);

        caja("strTotalTrabajdores")->setText("12");
        boton("GEmprea")->click();
        QCOMPARE(columna("select Nombre from Empresas").toString(), largo.left(50));
        QCOMPARE(columna("select TotalTrabajadores from Empresas").toLongLong(), 12LL);
        QCOMPARE(lista("cmbNombre")->currentText(), largo.left(50));

        // En una modificación tampoco llega al almacén.
        caja("strTotalTrabajdores")->setText("doce");
        boton("GEmprea")->click();
        QCOMPARE(columna("select TotalTrabajadores from Empresas").toLongLong(), 12LL);
        caja("strTotalTrabajdores")->setText("");
        boton("GEmprea")->click();
        QCOMPARE(columna("select TotalTrabajadores from Empresas").toLongLong(), 0LL);
    }

    void navegacionYNombresRepetidos()
    {
        for (const char* n : {"Alfa", "Beta", "Alfa", "Delta"})
            datos::empresa(cx, n);
        abrir();
        QCOMPARE(contador("Label8"), QString("1 de 4"));
        barra(1); // antes de la primera: sigue la primera, contada como la 1
        QCOMPARE(contador("Label8"), QString("1 de 4"));
        QCOMPARE(lista("cmbNombre")->currentText(), QString("Alfa"));
        barra(2);
        QCOMPARE(lista("cmbNombre")->currentText(), QString("Beta"));
        barra(4);
        QCOMPARE(contador("Label8"), QString("4 de 4"));
        barra(2); // después de la última: sigue la última
        QCOMPARE(contador("Label8"), QString("4 de 4"));
        QCOMPARE(lista("cmbNombre")->currentText(), QString("Delta"));
        barra(1);
        QCOMPARE(contador("Label8"), QString("3 de 4"));
        barra(3);
        QCOMPARE(contador("Label8"), QString("1 de 4"));
        // Dos con el mismo nombre: se ve la primera.
        barra(4);
        lista("cmbNombre")->setCurrentIndex(2);
        emit lista("cmbNombre")->activated(2);
        QCOMPARE(contador("Label8"), QString("1 de 4"));
    }

    void eliminarEmpresa()
    {
        const long long e = datos::empresa(cx, "Única");
        datos::centro(cx, e, "Tienda");
        abrir();
        plataforma->responder(Respuesta::No);
        boton("EEmprea")->click();
        const auto& m = plataforma->mensajes.back();
        QCOMPARE(m.texto, QString("¿Esta seguro de querer Eliminar la Empresa? Este proceso es irreversible, se "
                                  "perderan los centros de trabajo asociados, Evaluaciones y Actuaciones Preventivas"));
        QCOMPARE(m.titulo, QString("Eliminar"));
        QVERIFY(m.predeterminada == Respuesta::No);
        QCOMPARE(datos::contar(cx, "select count(*) from Empresas"), 1);
        QCOMPARE(contador("Label14"), QString("1 de 1"));

        plataforma->responder(Respuesta::Si);
        boton("EEmprea")->click();
        QCOMPARE(datos::contar(cx, "select count(*) from Empresas"), 0);
        QCOMPARE(datos::contar(cx, "select count(*) from CentroTrabajo"), 0);
        QCOMPARE(contador("Label8"), QString("0 de 0"));
        QCOMPARE(lista("cmbNombre")->count(), 0);
        QCOMPARE(lista("cmbNombreCentro")->count(), 0);
        QVERIFY(!boton("EEmprea")->isEnabled());
    }

    void apostrofosYRenombrar()
    {
        datos::empresa(cx, "Zapatería Centro");
        datos::empresa(cx, "O'Donnell Moda");
        abrir();
        elegir("cmbNombre", "O'Donnell Moda");
        QCOMPARE(contador("Label8"), QString("2 de 2"));
        // Se renombra y el nombre nuevo se puede elegir en el acto.
        lista("cmbNombre")->setEditText("L'Hospitalet Moda");
        boton("GEmprea")->click();
        QCOMPARE(contador("Label8"), QString("2 de 2"));
        barra(3);
        elegir("cmbNombre", "L'Hospitalet Moda");
        QCOMPARE(contador("Label8"), QString("2 de 2"));
        QCOMPARE(lista("cmbNombre")->findText("O'Donnell Moda"), -1);
        QVERIFY(plataforma->mensajes.empty());
    }

    void modificarUnaDeDosConElMismoNombreSigueEnElla()
    {
        datos::empresa(cx, "Igual");
        datos::empresa(cx, "Igual");
        abrir();
        barra(4);
        caja("strNif")->setText("B0000002");
        boton("GEmprea")->click();
        QCOMPARE(contador("Label8"), QString("2 de 2"));
        QCOMPARE(caja("strNif")->text(), QString("B0000002"));
        QCOMPARE(columna("select CIF from Empresas where IDEmpresa = 2").toString(), QString("B0000002"));
        QVERIFY(columna("select CIF from Empresas where IDEmpresa = 1").toString().isEmpty());
    }

    void fallaElAlmacenYLaVentanaSigue()
    {
        datos::empresa(cx, "Se borrará por detrás");
        abrir();
        Recordset::execute("delete from Empresas", cx);
        caja("strNif")->setText("X");
        boton("GEmprea")->click();
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QVERIFY(ultimoMensaje().startsWith("Se ha producido el error: "));
        QVERIFY(ultimoMensaje().contains("Descripción: "));
        // Sigue usable: se da de alta otra empresa.
        nuevaEmpresa("Nueva");
        QCOMPARE(datos::contar(cx, "select count(*) from Empresas"), 1);
        QCOMPARE(contador("Label8"), QString("1 de 1"));
    }

    void centros()
    {
        const long long e = datos::empresa(cx, "Tiendas Sol");
        datos::empresa(cx, "Sin centros");
        datos::centro(cx, e, "Tienda Mayor 1");
        datos::centro(cx, e, "Almacén Sur");
        abrir();
        QCOMPARE(contador("Label14"), QString("1 de 2"));
        QCOMPARE(lista("cmbNombreCentro")->currentText(), QString("Tienda Mayor 1"));
        QVERIFY(boton("CEvaluacion")->isEnabled());
        QCOMPARE(caja("strNombre")->property("estado").toString(), QString("editable"));

        barra(6);
        QCOMPARE(contador("Label14"), QString("1 de 2"));
        barra(7);
        QCOMPARE(lista("cmbNombreCentro")->currentText(), QString("Almacén Sur"));
        barra(7);
        QCOMPARE(contador("Label14"), QString("2 de 2"));

        // Centro nuevo: "Madrid", nombre cortado a 100 en las dos columnas, y a la vista en la última posición.
        const QString largo = QString(120, QChar(u'ñ'));
        nuevoCentro(largo, "Cuenca");
        QCOMPARE(columna("select Provincia from CentroTrabajo where IDCentro = 3").toString(), QString("Madrid"));
        QCOMPARE(columna("select NombreCentro from CentroTrabajo where IDCentro = 3").toString(), largo.left(100));
        QCOMPARE(columna("select Direccion from CentroTrabajo where IDCentro = 3").toString(), largo.left(100));
        QCOMPARE(contador("Label14"), QString("3 de 3"));
        caja("strProvinciaCT")->setText("Cuenca");
        lista("cmbNombreCentro")->setEditText("Tienda O'Donnell");
        boton("GCentro")->click();
        QCOMPARE(columna("select Provincia from CentroTrabajo where IDCentro = 3").toString(), QString("Cuenca"));
        // Renombrado: se elige en el acto por su nombre nuevo.
        barra(5);
        elegir("cmbNombreCentro", "Tienda O'Donnell");
        QCOMPARE(contador("Label14"), QString("3 de 3"));
        QCOMPARE(caja("strProvinciaCT")->text(), QString("Cuenca"));

        // Crear centro apaga los dos botones de crear; los de ver siguen.
        boton("NCentro")->click();
        QVERIFY(!boton("CEvaluacion")->isEnabled());
        QVERIFY(!boton("CPlanificacion")->isEnabled());
        QVERIFY(boton("CEvaluacionVisualizar")->isEnabled());
        lista("cmbNombreCentro")->setEditText(" ");
        boton("GCentro")->click();
        QCOMPARE(ultimoMensaje(),
                 QString("Tiene que introduccir un valor en el campo Nombre Centro, para poder grabar/guardar"));
        QCOMPARE(datos::contar(cx, "select count(*) from CentroTrabajo"), 3);

        // La empresa sin centros: estado sin centro.
        barra(4);
        QCOMPARE(contador("Label14"), QString("0 de 0"));
        QCOMPARE(lista("cmbNombreCentro")->count(), 0);
        QVERIFY(!boton("ECentro")->isEnabled());
        QVERIFY(boton("NCentro")->isEnabled());
    }

    void eliminarCentros()
    {
        const long long e = datos::empresa(cx, "Tiendas Sol");
        datos::centro(cx, e, "Igual");
        datos::centro(cx, e, "Igual");
        abrir();
        barra(8);
        elegir("cmbNombreCentro", "Igual");
        QCOMPARE(contador("Label14"), QString("1 de 2"));
        plataforma->responder(Respuesta::No);
        boton("ECentro")->click();
        QCOMPARE(plataforma->mensajes.back().texto,
                 QString("¿Esta seguro de querer Eliminar el Centro? Este proceso es irreversible, se perderan las "
                         "Evaluaciones y Actuaciones Preventivas gravadas"));
        QCOMPARE(datos::contar(cx, "select count(*) from CentroTrabajo"), 2);
        plataforma->responder(Respuesta::Si);
        boton("ECentro")->click();
        plataforma->responder(Respuesta::Si);
        boton("ECentro")->click();
        QCOMPARE(datos::contar(cx, "select count(*) from CentroTrabajo"), 0);
        QCOMPARE(contador("Label14"), QString("0 de 0"));
        QCOMPARE(lista("cmbNombreCentro")->count(), 0);
        QVERIFY(!boton("CPlanificacionVisualizar")->isEnabled());
        QVERIFY(!barraActiva(7));
    }

    void ayudaYCierre()
    {
        abrir();
        hijo<QToolButton>("Image9")->click();
        QCOMPARE(plataforma->documentos.size(), 1);
        QVERIFY(plataforma->documentos.first().endsWith(QDir::toNativeSeparators("/Ayuda/Empresas.pdf")));
        QCOMPARE(hijo<QToolButton>("cmdSalir")->toolTip(), QString("Cerrar Empresas"));
        QCOMPARE(hijo<QToolBar>("Toolbar4")->actions().first()->toolTip(), QString("Ultimo registro"));
    }
};

QTEST_MAIN(PruebaEmpresa)
#include "test_empresa.moc"
