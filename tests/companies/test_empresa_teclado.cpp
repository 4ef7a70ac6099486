// La ventana de empresas manejada como lo hace una persona, con teclado y ratón: lo que se
// escribe no cambia de fila por su cuenta, y nada de lo que se pulsa escribe en la fila que no es.
#include "Datos.h"
#include "EntornoEmpresa.h"
#include "store/Conexion.h"
#include "store/Recordset.h"

#include <QCompleter>
#include <QtTest>

using Respuesta = PlataformaServicios::Respuesta;

class PruebaEmpresaTeclado : public QObject, EntornoEmpresa
{
    Q_OBJECT

    QVariant columna(const QString& sql, const QVariantList& p = {})
    {
        Recordset rs;
        rs.open(sql, cx, p);
        return rs.eof() ? QVariant() : rs.value(0);
    }
    long long contar(const QString& sql, const QVariantList& p = {}) { return datos::contar(cx, sql, p); }

private slots:
    void init()
    {
        preparar(1400, 700);
        for (Ventana n : {Ventana::InicioEvaluacion, Ventana::Puestos, Ventana::ActuacionPreventiva,
                          Ventana::ImprimirPlanificacion})
            RegistroVentanas::registrarFabrica(n, [](Sesion&) { return new QWidget; });
    }
    void cleanup() { liberar(); }

    void loEscritoNoSeCompletaConLoQueYaHay()
    {
        datos::empresa(cx, "Bar Pepe S.L.");
        datos::centro(cx, datos::empresa(cx, "Con centro"), "Almacén Norte");
        abrir();
        pulsar("NEmprea");
        escribir("cmbNombre", "Bar Pepe");
        tecla(lista("cmbNombre")->lineEdit(), Qt::Key_Return); // con la lista de coincidencias abierta
        QCOMPARE(texto("cmbNombre"), QString("Bar Pepe"));
        escribir("cmbCargo", "Empresa");
        escribir("cmbFormacion", "Técnico Superior");
        pulsar("GEmprea");
        QVERIFY(plataforma->mensajes.empty());
        QCOMPARE(contar("select count(*) from Empresas"), 3LL);
        QCOMPARE(columna("select Nombre from Empresas order by IDEmpresa desc").toString(), QString("Bar Pepe"));
        QCOMPARE(columna("select Cargo from Empresas where Nombre = 'Bar Pepe'").toString(), QString("Empresa"));
        QCOMPARE(columna("select Formacion from Empresas where Nombre = 'Bar Pepe'").toString(),
                 QString("Técnico Superior"));

        barra(3);
        barra(2);
        QCOMPARE(texto("cmbNombre"), QString("Con centro"));
        pulsar("NCentro");
        escribir("cmbNombreCentro", "Alm");
        pulsar("GCentro");
        QCOMPARE(columna("select Direccion from CentroTrabajo order by IDCentro desc").toString(), QString("Alm"));
    }

    void tabulaEIntroNoCambianDeEmpresaNiDeCentro()
    {
        datos::empresa(cx, "Alfa");
        const long long beta = datos::empresa(cx, "Beta");
        Recordset::execute("update Empresas set CIF = 'B2' where IDEmpresa = ?", cx, {beta});
        datos::centro(cx, beta, "Tienda");
        abrir();
        // Nueva empresa con el nombre de otra que ya existe: al tabular no se salta a ella.
        pulsar("NEmprea");
        escribir("cmbNombre", "Beta");
        tecla(lista("cmbNombre")->lineEdit(), Qt::Key_Tab);
        QVERIFY(sesion.nuevaEmpresa);
        QVERIFY(caja("strNif")->hasFocus());
        teclear(caja("strNif"), "N3");
        pulsar("GEmprea");
        QCOMPARE(contar("select count(*) from Empresas"), 3LL);
        QCOMPARE(columna("select CIF from Empresas where IDEmpresa = ?", {beta}).toString(), QString("B2"));
        QCOMPARE(contar("select count(*) from Empresas where Nombre = 'Beta' and CIF = 'N3'"), 1LL);
        QCOMPARE(contador("Label8"), QString("3 de 3"));

        // Renombrar la primera como la segunda y pulsar Intro en la lista cerrada: sigue la primera.
        barra(3);
        escribir("cmbNombre", "Beta");
        tecla(lista("cmbNombre")->lineEdit(), Qt::Key_Return);
        QCOMPARE(contador("Label8"), QString("1 de 3"));
        QCOMPARE(texto("cmbNombre"), QString("Beta"));
        pulsar("GEmprea");
        QCOMPARE(columna("select Nombre from Empresas where IDEmpresa = 1").toString(), QString("Beta"));
        QCOMPARE(columna("select CIF from Empresas where IDEmpresa = ?", {beta}).toString(), QString("B2"));

        // Centro nuevo con el nombre de uno que ya existe, y tabular.
        barra(2);
        QCOMPARE(texto("cmbNombreCentro"), QString("Tienda"));
        pulsar("NCentro");
        escribir("cmbNombreCentro", "Tienda");
        tecla(lista("cmbNombreCentro")->lineEdit(), Qt::Key_Tab);
        QVERIFY(sesion.nuevoCentro);
        teclear(caja("strPoblacionCT"), "Getafe");
        pulsar("GCentro");
        QCOMPARE(contar("select count(*) from CentroTrabajo where IDEmpresa = ?", {beta}), 2LL);
        QCOMPARE(contar("select count(*) from CentroTrabajo where Poblacion = 'Getafe'"), 1LL);
        QCOMPARE(contador("Label14"), QString("2 de 2"));
    }

    void elegirDeLaListaPreguntaAntesDeDejarLoEscrito()
    {
        datos::empresa(cx, "Alfa");
        datos::empresa(cx, "Beta");
        const long long e = datos::empresa(cx, "Con centros");
        datos::centro(cx, e, "Uno");
        datos::centro(cx, e, "Dos");
        abrir();
        pulsar("NEmprea");
        escribir("cmbNombre", "Gamma");
        plataforma->responder(Respuesta::No);
        elegir("cmbNombre", 1);
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QVERIFY2(plataforma->mensajes.back().texto.contains("Gamma"), qPrintable(plataforma->mensajes.back().texto));
        QVERIFY(plataforma->mensajes.back().predeterminada == Respuesta::No);
        // No: sigue la empresa nueva tal como estaba escrita.
        QVERIFY(sesion.nuevaEmpresa);
        QCOMPARE(texto("cmbNombre"), QString("Gamma"));
        pulsar("GEmprea");
        QCOMPARE(contar("select count(*) from Empresas where Nombre = 'Gamma'"), 1LL);

        // Sin nada a medias se elige sin preguntar, también con el ratón.
        elegirConRaton("cmbNombre", 1);
        QCOMPARE(plataforma->mensajes.size(), size_t(1));
        QCOMPARE(contador("Label8"), QString("2 de 4"));

        // Un cambio de nombre sin guardar: se pregunta y, con Sí, se deja.
        escribir("cmbNombre", "Beta Renombrada");
        plataforma->responder(Respuesta::Si);
        elegir("cmbNombre", 0);
        QCOMPARE(plataforma->mensajes.size(), size_t(2));
        QVERIFY(plataforma->mensajes.back().texto.contains("Beta Renombrada"));
        QCOMPARE(contador("Label8"), QString("1 de 4"));
        QCOMPARE(texto("cmbNombre"), QString("Alfa"));
        QCOMPARE(contar("select count(*) from Empresas where Nombre = 'Beta'"), 1LL);

        // Lo mismo con un centro nuevo.
        barra(3);
        barra(2);
        barra(2);
        QCOMPARE(texto("cmbNombre"), QString("Con centros"));
        pulsar("NCentro");
        escribir("cmbNombreCentro", "Tres");
        plataforma->responder(Respuesta::No);
        elegir("cmbNombreCentro", 1);
        QCOMPARE(plataforma->mensajes.size(), size_t(3));
        QVERIFY(sesion.nuevoCentro);
        QCOMPARE(texto("cmbNombreCentro"), QString("Tres"));
        pulsar("GCentro");
        QCOMPARE(contar("select count(*) from CentroTrabajo where IDEmpresa = ?", {e}), 3LL);
    }

    void moverHaciaCualquierLadoTerminaLaEmpresaNueva()
    {
        const long long alfa = datos::empresa(cx, "Alfa");
        Recordset::execute("update Empresas set Provincia = 'Toledo'", cx);
        datos::empresa(cx, "Beta");
        abrir();
        // Antes de la primera.
        pulsar("NEmprea");
        escribir("cmbNombre", "Nueva");
        barra(1);
        QVERIFY(!sesion.nuevaEmpresa);
        QCOMPARE(texto("cmbNombre"), QString("Alfa"));
        pulsar("GEmprea");
        QCOMPARE(contar("select count(*) from Empresas"), 2LL);
        QCOMPARE(columna("select Provincia from Empresas where IDEmpresa = ?", {alfa}).toString(), QString("Toledo"));

        // Después de la última: se ve de nuevo la última, no lo escrito.
        barra(4);
        pulsar("NEmprea");
        escribir("cmbNombre", "Otra");
        barra(2);
        QVERIFY(!sesion.nuevaEmpresa);
        QCOMPARE(texto("cmbNombre"), QString("Beta"));
        QCOMPARE(contador("Label8"), QString("2 de 2"));
        pulsar("GEmprea");
        QCOMPARE(contar("select count(*) from Empresas where Nombre = 'Beta'"), 1LL);
        QCOMPARE(contar("select count(*) from Empresas"), 2LL);

        // Un centro nuevo y avanzar desde el último centro.
        datos::centro(cx, alfa, "Uno");
        barra(3);
        pulsar("NCentro");
        escribir("cmbNombreCentro", "Dos");
        barra(7);
        QVERIFY(!sesion.nuevoCentro);
        QCOMPARE(texto("cmbNombreCentro"), QString("Uno"));
        pulsar("GCentro");
        QCOMPARE(contar("select count(*) from CentroTrabajo"), 1LL);
        QCOMPARE(columna("select Direccion from CentroTrabajo").toString(), QString("Uno"));
    }

    void duranteUnAltaNoSeBorraNiSeAnadeALoQueNoSeVe()
    {
        const long long e = datos::empresa(cx, "Alfa");
        datos::centro(cx, e, "Uno");
        abrir();
        pulsar("NCentro");
        plataforma->responder(Respuesta::Si);
        pulsar("ECentro");
        pulsar("NEmprea");
        plataforma->responder(Respuesta::Si);
        pulsar("EEmprea");
        pulsar("NCentro");
        QVERIFY(plataforma->mensajes.empty());
        QCOMPARE(contar("select count(*) from CentroTrabajo"), 1LL);
        QCOMPARE(contar("select count(*) from Empresas"), 1LL);
        QVERIFY(sesion.nuevaEmpresa);
        // Guardada la nueva, sus botones vuelven.
        escribir("cmbNombre", "Beta");
        pulsar("GEmprea");
        QVERIFY(hijo<QPushButton>("EEmprea")->isEnabled());
        QVERIFY(hijo<QPushButton>("NCentro")->isEnabled());
    }

    void sinBaseDeDatosOSinCuentasNadaQuedaParaFallar()
    {
        for (const char* falta : {"Evaluacion.mdb", "SYSTEM.mdw"}) {
            cleanup();
            init();
            QVERIFY(QFile::remove(copia->ruta(falta)));
            abrir();
            QVERIFY2(!plataforma->mensajes.empty(), falta);
            for (const char* b : {"GEmprea", "EEmprea", "NCentro", "GCentro", "ECentro", "CEvaluacion"})
                QVERIFY2(!hijo<QPushButton>(b)->isEnabled(), b);
            for (int n = 1; n <= 8; ++n)
                QVERIFY2(!barraActiva(n), falta);
            QCOMPARE(contador("Label8"), QString("0 de 0"));
            QVERIFY(!lista("cmbNombre")->isEnabled());
        }
    }

    void borrarCierraSusVentanasYNoDevuelveElNumero()
    {
        const long long alfa = datos::empresa(cx, "Alfa");
        datos::centro(cx, alfa, "Uno");
        const long long beta = datos::empresa(cx, "Beta");
        datos::centro(cx, beta, "Tres");
        const long long dos = datos::centro(cx, alfa, "Dos");
        abrir();
        // La evaluación del último centro de Alfa; se borra el centro y se cierra con él.
        barra(8);
        pulsar("CEvaluacion");
        QVERIFY(registro->ventana(Ventana::InicioEvaluacion));
        QCOMPARE(sesion.idCentro, qint64(dos));
        plataforma->responder(Respuesta::Si);
        pulsar("ECentro");
        QCOMPARE(contar("select count(*) from CentroTrabajo where IDCentro = ?", {dos}), 0LL);
        QVERIFY(!registro->ventana(Ventana::InicioEvaluacion));
        // El centro que se da de alta después no toma su número.
        pulsar("NCentro");
        escribir("cmbNombreCentro", "Nuevo");
        pulsar("GCentro");
        const long long nuevo = columna("select IDCentro from CentroTrabajo where Direccion = 'Nuevo'").toLongLong();
        QVERIFY(nuevo > dos);

        // La planificación del centro nuevo sigue abierta cuando se borra otra empresa.
        pulsar("CPlanificacion");
        QVERIFY(registro->ventana(Ventana::ActuacionPreventiva));
        barra(4);
        plataforma->responder(Respuesta::Si);
        pulsar("EEmprea");
        QCOMPARE(contar("select count(*) from Empresas where IDEmpresa = ?", {beta}), 0LL);
        QVERIFY(registro->ventana(Ventana::ActuacionPreventiva));
        QCOMPARE(texto("cmbNombre"), QString("Alfa"));
        // Evaluar otro centro cierra la planificación, que seguiría escribiendo en el centro en curso.
        pulsar("CEvaluacion");
        QVERIFY(!registro->ventana(Ventana::ActuacionPreventiva));
        QVERIFY(registro->ventana(Ventana::InicioEvaluacion));
        // Borrar la empresa cierra la evaluación de su centro.
        plataforma->responder(Respuesta::Si);
        pulsar("EEmprea");
        QVERIFY(!registro->ventana(Ventana::InicioEvaluacion));
        // La empresa nueva no toma el número de la última borrada.
        pulsar("NEmprea");
        escribir("cmbNombre", "Gamma");
        pulsar("GEmprea");
        QVERIFY(columna("select IDEmpresa from Empresas where Nombre = 'Gamma'").toLongLong() > beta);
        QCOMPARE(plataforma->mensajes.size(), size_t(3));
    }

    // Con muchas empresas la lista desplegada llega hasta la última con el teclado, que se enseña
    // con su número y sus centros; al escribir se ofrecen también las del final.
    void muchasEmpresasSeEligenHastaLaUltima()
    {
        long long ultima = 0;
        {
            Transaccion t(cx);
            for (int i = 0; i < 300; ++i)
                ultima = datos::empresa(cx, QStringLiteral("Empresa %1").arg(i, 3, 10, QChar('0')));
            datos::centro(cx, ultima, "Calle Última 3");
            t.confirmar();
        }
        abrir();
        QCOMPARE(contador("Label8"), QString("1 de 300"));
        QComboBox* c = lista("cmbNombre");
        QTest::keyClick(c, Qt::Key_Down, Qt::AltModifier);
        QTRY_VERIFY(c->view()->isVisible());
        QTest::keyClick(c->view(), Qt::Key_End);
        QCOMPARE(c->view()->currentIndex().data().toString(), QString("Empresa 299"));
        QTest::keyClick(c->view(), Qt::Key_Return);
        QTRY_VERIFY(!c->view()->isVisible());
        QCOMPARE(contador("Label8"), QString("300 de 300"));
        QCOMPARE(texto("cmbNombreCentro"), QString("Calle Última 3"));
        QCOMPARE(contador("Label14"), QString("1 de 1"));

        escribir("cmbNombre", "Empresa 29");
        QCompleter* propuestas = c->lineEdit()->completer();
        QTRY_VERIFY(propuestas->popup()->isVisible());
        QCOMPARE(propuestas->completionCount(), 10);
        QVERIFY(propuestas->setCurrentRow(9));
        QCOMPARE(propuestas->currentCompletion(), QString("Empresa 299"));
        QCOMPARE(texto("cmbNombre"), QString("Empresa 29"));
        QVERIFY(plataforma->mensajes.empty());
    }
};

QTEST_MAIN(PruebaEmpresaTeclado)
#include "test_empresa_teclado.moc"
