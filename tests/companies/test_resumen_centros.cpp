#include "CopiaPrograma.h"
#include "Datos.h"
#include "PlataformaPrueba.h"
#include "app/VentanasPrograma.h"
#include "companies/Empresa.h"
#include "companies/ModeloResumenCentros.h"
#include "companies/ResumenCentros.h"
#include "plataforma/CarpetaPrograma.h"
#include "plataforma/Reloj.h"
#include "shell/Entrada.h"
#include "shell/NavegadorRegistros.h"
#include "store/EstadoCentros.h"

#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QToolButton>
#include <QtTest>
#include <sqlite3.h>

namespace {
const QDate hoy(2026, 6, 15);
}

// La ventana manejada con el ratón y el teclado, dentro de la ventana principal, sobre tres centros
// de dos empresas: uno con la revisión y una acción vencidas, otro con la revisión dentro de 30 días
// y otro con la revisión lejos.
class PruebaResumenCentros : public QObject
{
    Q_OBJECT

    std::unique_ptr<CopiaPrograma> copia_;
    std::unique_ptr<PlataformaPrueba> plataforma_;
    std::unique_ptr<Entrada> entrada_;
    long long almacen_ = 0, tienda_ = 0, taller_ = 0;

    template <typename T> T* hijo(QWidget* w, const char* nombre)
    {
        T* c = w->findChild<T*>(QString::fromLatin1(nombre));
        if (!c)
            qFatal("Falta el control %s", nombre);
        return c;
    }
    ResumenCentros* resumen() const
    {
        return qobject_cast<ResumenCentros*>(entrada_->ventanas().ventana(Ventana::ResumenCentros));
    }
    QTableView* tabla() { return hijo<QTableView>(resumen(), "GCentros"); }
    QString contador() { return hijo<QLabel>(resumen(), "LContador")->text(); }
    QStringList columna(int c)
    {
        QStringList textos;
        for (int f = 0; f < tabla()->model()->rowCount(); ++f)
            textos << tabla()->model()->index(f, c).data().toString();
        return textos;
    }
    QModelIndex fila(const QString& centro)
    {
        const QStringList centros = columna(ModeloResumenCentros::ColCentro);
        return tabla()->model()->index(int(centros.indexOf(centro)), ModeloResumenCentros::ColCentro);
    }
    void teclear(QWidget* w, const QString& texto)
    {
        // Las letras con tilde no las admite keyClicks: van una a una.
        for (const QChar c : texto) {
            if (c.unicode() < 128)
                QTest::keyClick(w, c.toLatin1());
            else
                QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), {});
        }
    }
    Empresa* empresa() const { return qobject_cast<Empresa*>(entrada_->ventanas().ventana(Ventana::Empresa)); }

private slots:
    void init()
    {
        copia_ = std::make_unique<CopiaPrograma>();
        plataforma_ = std::make_unique<PlataformaPrueba>();
        FijarCarpetaPrograma(copia_->carpeta());
        FijarHoy(hoy);
        const QString cx = copia_->conexion();
        const long long camara = datos::empresa(cx, "Cámara Norte");
        almacen_ = datos::centro(cx, camara, "Almacén");
        tienda_ = datos::centro(cx, camara, "Tienda");
        taller_ = datos::centro(cx, datos::empresa(cx, "Ferreteria Sur"), "Taller");
        auto c = Conexion::obtener(cx);
        const auto revision = [&](long long centro, const QDate& d) {
            c->ejecutar("UPDATE CentroTrabajo SET FechaRevision = ? WHERE IDCentro = ?", {d, centro});
        };
        revision(almacen_, hoy.addDays(-1));
        revision(tienda_, hoy.addDays(30));
        // Como texto sería la primera ("01/01/2027"); como fecha, la última.
        revision(taller_, QDate(2027, 1, 1));
        const long long plan =
            datos::insertar(cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro) VALUES (?)", {almacen_});
        c->ejecutar("INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva, FechaLimite, Estado) "
                    "VALUES (?, 'Extintores', ?, 'Pendiente')",
                    {plan, hoy.addDays(-3)});
        RegistrarVentanasDelPrograma();
        entrada_ = std::make_unique<Entrada>();
        entrada_->show();
        // Lo que la ventana principal manda leer aparte al arrancar, ya leído: el resumen se abre lleno.
        QTRY_VERIFY(!EstadoCentrosPorRehacer(copia_->conexion()) && !PreparandoEstadoCentros());
    }

    void cleanup()
    {
        RetenerLecturaAparte(false);
        entrada_.reset();
        FijarHoy({});
        FijarCarpetaPrograma({});
        plataforma_.reset();
        copia_.reset();
    }

    // Al abrir, la barra de estado dice lo vencido; al pulsarlo se abre el resumen, sin avisos.
    void avisoDeVencidosAbreElResumen()
    {
        auto* aviso = hijo<QToolButton>(entrada_.get(), "Barra2Vencidos");
        QTRY_VERIFY(aviso->isVisible());
        QCOMPARE(aviso->text(), QStringLiteral("1 revisión vencida · 1 acción vencida"));
        QTest::mouseClick(aviso, Qt::LeftButton);
        QVERIFY(resumen());
        QCOMPARE(contador(), QStringLiteral("3 de 3 centros"));
        QVERIFY(plataforma_->mensajes.empty());
        // Cada título de columna se lee entero.
        QFont negrita = tabla()->horizontalHeader()->font();
        negrita.setBold(true);
        for (int c = ModeloResumenCentros::ColEstado; c < ModeloResumenCentros::NumColumnas; ++c) {
            const QString titulo = tabla()->model()->headerData(c, Qt::Horizontal).toString();
            QVERIFY2(tabla()->columnWidth(c) > QFontMetrics(negrita).horizontalAdvance(titulo), qPrintable(titulo));
        }

        // El botón de la barra de botones abre la misma, ya cargada.
        QTest::mouseClick(hijo<QToolButton>(entrada_.get(), "BResumenCentros"), Qt::LeftButton);
        QCOMPARE(entrada_->ventanas().area()->subWindowList().size(), 1);
        // La cruz la quita del área con su marco; al volver, las columnas tienen el ancho que se les dio.
        tabla()->horizontalHeader()->resizeSection(ModeloResumenCentros::ColVencidas, 123);
        QTest::mouseClick(hijo<QToolButton>(resumen(), "cmdSalir"), Qt::LeftButton);
        QVERIFY(!resumen());
        QVERIFY(entrada_->ventanas().area()->subWindowList().isEmpty());
        QTest::mouseClick(hijo<QToolButton>(entrada_.get(), "BResumenCentros"), Qt::LeftButton);
        QTRY_VERIFY(resumen());
        QCOMPARE(tabla()->columnWidth(ModeloResumenCentros::ColVencidas), 123);
    }

    // Abierto nada más arrancar, con el estado de los centros aún leyéndose aparte, el resumen no se
    // queda parado esperándolo: dice que está leyendo, sin nada que exportar, y se llena solo.
    void abiertoMientrasSeLeeAparteNoEspera()
    {
        TerminarEstadoCentros();
        RetenerLecturaAparte(true);
        PrepararEstadoCentros(copia_->conexion(), hoy);
        QTest::mouseClick(hijo<QToolButton>(entrada_.get(), "BResumenCentros"), Qt::LeftButton);
        QVERIFY(resumen());
        QVERIFY(resumen()->leyendo());
        QCOMPARE(contador(), QStringLiteral("Leyendo el estado de los centros…"));
        QVERIFY(!hijo<QPushButton>(resumen(), "BExportarCsv")->isEnabled());
        QVERIFY(!hijo<QPushButton>(resumen(), "BVerEmpresa")->isEnabled());
        RetenerLecturaAparte(false);
        QTRY_COMPARE(contador(), QStringLiteral("3 de 3 centros"));
        QVERIFY(hijo<QPushButton>(resumen(), "BExportarCsv")->isEnabled());
        QCOMPARE(columna(ModeloResumenCentros::ColCentro).size(), 3);
        QVERIFY(plataforma_->mensajes.empty());
    }

    // Si otro programa escribe en el archivo, todo se vuelve a leer: aparte, con la ventana viva, y
    // lo que escribió el otro sale al terminar.
    void loQueEscribeOtroProgramaSeLeeAparte()
    {
        QTest::mouseClick(hijo<QToolButton>(entrada_.get(), "BResumenCentros"), Qt::LeftButton);
        QCOMPARE(contador(), QStringLiteral("3 de 3 centros"));
        sqlite3* otro = nullptr;
        QCOMPARE(sqlite3_open(copia_->ruta("Evaluacion.mdb").toUtf8().constData(), &otro), SQLITE_OK);
        const QByteArray cambio =
            "UPDATE CentroTrabajo SET Direccion = 'Zócalo' WHERE IDCentro = " + QByteArray::number(almacen_);
        QCOMPARE(sqlite3_exec(otro, cambio.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(otro);
        QVERIFY(EstadoCentrosPorRehacer(copia_->conexion()));

        RetenerLecturaAparte(true);
        QTest::mouseClick(hijo<QPushButton>(resumen(), "BActualizar"), Qt::LeftButton);
        QVERIFY(resumen()->leyendo());
        QCOMPARE(contador(), QStringLiteral("Leyendo el estado de los centros…"));
        QVERIFY(!hijo<QPushButton>(resumen(), "BExportarCsv")->isEnabled());
        RetenerLecturaAparte(false);
        QTRY_COMPARE(contador(), QStringLiteral("3 de 3 centros"));
        QVERIFY(columna(ModeloResumenCentros::ColCentro).contains(QStringLiteral("Zócalo")));
        QVERIFY(!EstadoCentrosPorRehacer(copia_->conexion()));
        QVERIFY(plataforma_->mensajes.empty());
    }

    void buscarFiltrarOrdenarYExportarLoQueSeVe()
    {
        QTest::mouseClick(hijo<QToolButton>(entrada_.get(), "BResumenCentros"), Qt::LeftButton);
        QVERIFY(resumen());
        // Revisión vencida en el color de alarma, la de dentro de 30 días en el de aviso.
        QCOMPARE(fila("Almacén").siblingAtColumn(ModeloResumenCentros::ColRevision).data(Qt::BackgroundRole),
                 QVariant(QBrush(ModeloResumenCentros::colorAlarma())));
        QCOMPARE(fila("Tienda").siblingAtColumn(ModeloResumenCentros::ColRevision).data(Qt::BackgroundRole),
                 QVariant(QBrush(ModeloResumenCentros::colorAviso())));
        QVERIFY(!fila("Taller").siblingAtColumn(ModeloResumenCentros::ColRevision).data(Qt::BackgroundRole).isValid());
        QCOMPARE(fila("Almacén").siblingAtColumn(ModeloResumenCentros::ColEstado).data().toString(),
                 QStringLiteral("Falta 1- Puestos de trabajo"));

        auto* buscar = hijo<QLineEdit>(resumen(), "strBuscar");
        buscar->setFocus();
        teclear(buscar, "ferretería");
        QCOMPARE(columna(ModeloResumenCentros::ColCentro), QStringList{"Taller"});
        buscar->clear();
        teclear(buscar, "CAMARA");
        QCOMPARE(contador(), QStringLiteral("2 de 3 centros"));
        // Intro lleva a la lista, en un centro que se ve, y los botones del centro se pueden pulsar.
        QTest::keyClick(buscar, Qt::Key_Return);
        QCOMPARE(tabla()->window()->focusWidget(), tabla());
        QCOMPARE(tabla()->currentIndex().siblingAtColumn(ModeloResumenCentros::ColEmpresa).data().toString(),
                 QStringLiteral("Cámara Norte"));
        QVERIFY(hijo<QPushButton>(resumen(), "BVerEmpresa")->isEnabled());

        auto* vencidas = hijo<QPushButton>(resumen(), "BAccionesVencidas");
        QTest::mouseClick(vencidas, Qt::LeftButton);
        QCOMPARE(columna(ModeloResumenCentros::ColCentro), QStringList{"Almacén"});
        QTest::mouseClick(vencidas, Qt::LeftButton);
        buscar->clear();
        QTest::mouseClick(hijo<QPushButton>(resumen(), "BRevisionVencida"), Qt::LeftButton);
        QCOMPARE(columna(ModeloResumenCentros::ColCentro), QStringList{"Almacén"});
        QTest::mouseClick(hijo<QPushButton>(resumen(), "BRevisionVencida"), Qt::LeftButton);

        // Por la próxima revisión, como fechas.
        QHeaderView* cabecera = tabla()->horizontalHeader();
        const int x = cabecera->sectionViewportPosition(ModeloResumenCentros::ColRevision) + 5;
        QTest::mouseClick(cabecera->viewport(), Qt::LeftButton, {}, QPoint(x, cabecera->height() / 2));
        QCOMPARE(columna(ModeloResumenCentros::ColCentro), (QStringList{"Almacén", "Tienda", "Taller"}));
        QTest::mouseClick(cabecera->viewport(), Qt::LeftButton, {}, QPoint(x, cabecera->height() / 2));
        QCOMPARE(columna(ModeloResumenCentros::ColCentro), (QStringList{"Taller", "Tienda", "Almacén"}));

        // La hoja lleva lo que se ve, en el mismo orden.
        teclear(buscar, "cámara");
        const QString ruta = copia_->ruta("resumen.csv");
        plataforma_->archivosElegidos.push_back(ruta);
        QTest::mouseClick(hijo<QPushButton>(resumen(), "BExportarCsv"), Qt::LeftButton);
        QFile csv(ruta);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QStringList lineas = QString::fromUtf8(csv.readAll()).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lineas.size(), 3);
        QVERIFY(lineas[0].contains("Próxima revisión"));
        QVERIFY(lineas[1].startsWith("Cámara Norte;Tienda;Falta 1- Puestos de trabajo;;15/07/2026;0;0;0"));
        QVERIFY(lineas[2].startsWith("Cámara Norte;Almacén;Falta 1- Puestos de trabajo;;14/06/2026;1;1;0"));
        QVERIFY(plataforma_->mensajes.empty());
    }

    // Actualizar tras cambiar de nombre un centro lo ordena por el nombre nuevo, también en otra
    // ventana abierta después con los mismos centros.
    void actualizarOrdenaPorElNombreNuevo()
    {
        QTest::mouseClick(hijo<QToolButton>(entrada_.get(), "BResumenCentros"), Qt::LeftButton);
        QHeaderView* cabecera = tabla()->horizontalHeader();
        const int x = cabecera->sectionViewportPosition(ModeloResumenCentros::ColCentro) + 5;
        QTest::mouseClick(cabecera->viewport(), Qt::LeftButton, {}, QPoint(x, cabecera->height() / 2));
        QCOMPARE(columna(ModeloResumenCentros::ColCentro), (QStringList{"Almacén", "Taller", "Tienda"}));
        Conexion::obtener(copia_->conexion())
            ->ejecutar("UPDATE CentroTrabajo SET Direccion = 'Zócalo' WHERE IDCentro = ?", {almacen_});
        QTest::mouseClick(hijo<QPushButton>(resumen(), "BActualizar"), Qt::LeftButton);
        QCOMPARE(columna(ModeloResumenCentros::ColCentro), (QStringList{"Taller", "Tienda", "Zócalo"}));
        auto* buscar = hijo<QLineEdit>(resumen(), "strBuscar");
        teclear(buscar, "zocalo");
        QCOMPARE(contador(), QStringLiteral("1 de 3 centros"));
        ResumenCentros otra(entrada_->sesion());
        auto* otraTabla = otra.findChild<QTableView*>(QStringLiteral("GCentros"));
        otraTabla->sortByColumn(ModeloResumenCentros::ColCentro, Qt::AscendingOrder);
        QCOMPARE(otraTabla->model()->index(2, ModeloResumenCentros::ColCentro).data().toString(),
                 QStringLiteral("Zócalo"));
    }

    // Actualizar tras escribir en un centro deja la lista como estaba: la misma fila actual, por el
    // mismo sitio, y sólo cambian las cifras de ese centro.
    void actualizarTrasUnCambioNoRehaceLaLista()
    {
        const QString cx = copia_->conexion();
        auto c = Conexion::obtener(cx);
        const long long sur =
            c->leerFilas("SELECT IDEmpresa FROM CentroTrabajo WHERE IDCentro = ?", {taller_}).at(0).at(0).toLongLong();
        for (int i = 1; i <= 80; ++i)
            datos::centro(cx, sur, QStringLiteral("Nave %1").arg(i, 2, 10, QLatin1Char('0')));
        QTest::mouseClick(hijo<QToolButton>(entrada_.get(), "BResumenCentros"), Qt::LeftButton);
        QTRY_COMPARE(contador(), QStringLiteral("83 de 83 centros"));
        QTest::mouseClick(tabla()->viewport(), Qt::LeftButton, {},
                          tabla()->visualRect(tabla()->model()->index(0, 1)).center());
        QTest::keyClick(tabla(), Qt::Key_PageDown);
        QTest::keyClick(tabla(), Qt::Key_PageDown);
        QTest::keyClick(tabla(), Qt::Key_Up);
        const int desplazamiento = tabla()->verticalScrollBar()->value();
        const int filaActual = tabla()->currentIndex().row();
        const QString actual = tabla()->model()->index(filaActual, ModeloResumenCentros::ColCentro).data().toString();
        QVERIFY(desplazamiento > 0);
        QVERIFY(actual.startsWith("Nave"));
        const long long id =
            c->leerFilas("SELECT IDCentro FROM CentroTrabajo WHERE Direccion = ?", {actual}).at(0).at(0).toLongLong();
        const long long plan = datos::insertar(cx, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro) VALUES (?)", {id});
        c->ejecutar("INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva, FechaLimite, Estado) "
                    "VALUES (?, 'Señalizar la salida', ?, 'Pendiente')",
                    {plan, hoy.addDays(20)});
        auto* proxy = qobject_cast<QSortFilterProxyModel*>(tabla()->model());
        QSignalSpy rehecha(proxy->sourceModel(), &QAbstractItemModel::modelReset);
        QTest::mouseClick(hijo<QPushButton>(resumen(), "BActualizar"), Qt::LeftButton);
        QCOMPARE(rehecha.count(), 0);
        QCOMPARE(tabla()->verticalScrollBar()->value(), desplazamiento);
        QCOMPARE(tabla()->currentIndex().row(), filaActual);
        QCOMPARE(tabla()->model()->index(filaActual, ModeloResumenCentros::ColCentro).data().toString(), actual);
        QCOMPARE(tabla()->model()->index(filaActual, ModeloResumenCentros::ColPendientes).data().toInt(), 1);
        QCOMPARE(contador(), QStringLiteral("83 de 83 centros"));
        // Con otro centro más, la lista sí se rehace, y la fila actual sigue en su centro.
        datos::centro(cx, sur, QStringLiteral("Nave 81"));
        QTest::mouseClick(hijo<QPushButton>(resumen(), "BActualizar"), Qt::LeftButton);
        QCOMPARE(rehecha.count(), 1);
        QCOMPARE(contador(), QStringLiteral("84 de 84 centros"));
        QCOMPARE(tabla()
                     ->currentIndex()
                     .sibling(tabla()->currentIndex().row(), ModeloResumenCentros::ColCentro)
                     .data()
                     .toString(),
                 actual);
    }

    // Doble clic o Intro abren la empresa en ese centro; el botón de la evaluación, su inicio.
    void abreLaEmpresaEnElCentro()
    {
        QTest::mouseClick(hijo<QToolButton>(entrada_.get(), "BResumenCentros"), Qt::LeftButton);
        const QModelIndex tienda = fila("Tienda");
        // Como llega de verdad: la primera pulsación y, en la segunda, el doble clic.
        const QPoint punto = tabla()->visualRect(tienda).center();
        QTest::mouseClick(tabla()->viewport(), Qt::LeftButton, {}, punto);
        QVERIFY(!empresa());
        QTest::mouseDClick(tabla()->viewport(), Qt::LeftButton, {}, punto);
        QVERIFY(empresa());
        QCOMPARE(empresa()->navegadorEmpresas()->lista()->currentText(), QStringLiteral("Cámara Norte"));
        QCOMPARE(empresa()->navegadorCentros()->lista()->currentText(), QStringLiteral("Tienda"));

        entrada_->ventanas().mostrarCargada(Ventana::ResumenCentros);
        tabla()->setFocus();
        tabla()->setCurrentIndex(fila("Taller"));
        QTest::keyClick(tabla(), Qt::Key_Return);
        QCOMPARE(empresa()->navegadorEmpresas()->lista()->currentText(), QStringLiteral("Ferreteria Sur"));
        QCOMPARE(empresa()->navegadorCentros()->lista()->currentText(), QStringLiteral("Taller"));

        entrada_->ventanas().mostrarCargada(Ventana::ResumenCentros);
        tabla()->setCurrentIndex(fila("Almacén"));
        QTest::mouseClick(hijo<QPushButton>(resumen(), "BVerEvaluacion"), Qt::LeftButton);
        QVERIFY(entrada_->ventanas().ventana(Ventana::InicioEvaluacion));
        QCOMPARE(entrada_->sesion().idCentro, almacen_);
        QCOMPARE(empresa()->navegadorCentros()->lista()->currentText(), QStringLiteral("Almacén"));

        // Una empresa a medio dar de alta no se pierde sin preguntar; con No sigue a la vista.
        entrada_->ventanas().mostrarCargada(Ventana::Empresa);
        QTest::mouseClick(empresa()->navegadorEmpresas()->botonCrear(), Qt::LeftButton);
        teclear(empresa()->navegadorEmpresas()->lista()->lineEdit(), "Nueva");
        entrada_->ventanas().mostrarCargada(Ventana::ResumenCentros);
        tabla()->setCurrentIndex(fila("Taller"));
        QTest::mouseClick(hijo<QPushButton>(resumen(), "BVerEmpresa"), Qt::LeftButton);
        QCOMPARE(plataforma_->mensajes.size(), size_t(1));
        QVERIFY(plataforma_->mensajes[0].texto.startsWith("La empresa nueva aún no se ha guardado."));
        QVERIFY(entrada_->sesion().nuevaEmpresa);
        QCOMPARE(empresa()->navegadorEmpresas()->lista()->currentText(), QStringLiteral("Nueva"));
        plataforma_->responder(PlataformaServicios::Respuesta::Si);
        QTest::mouseClick(hijo<QPushButton>(resumen(), "BVerEmpresa"), Qt::LeftButton);
        QVERIFY(!entrada_->sesion().nuevaEmpresa);
        QCOMPARE(empresa()->navegadorCentros()->lista()->currentText(), QStringLiteral("Taller"));
    }

    // Un centro borrado en la ventana de empresas después de abrir el resumen: el resumen lo dice y no
    // toca la ventana de empresas, que conserva lo escrito y se sigue moviendo sin errores. Igual si lo
    // borrado es la empresa entera.
    void unCentroBorradoNoMueveLaVentanaDeEmpresas()
    {
        QTest::mouseClick(hijo<QToolButton>(entrada_.get(), "BResumenCentros"), Qt::LeftButton);
        QCOMPARE(contador(), QStringLiteral("3 de 3 centros"));
        entrada_->ventanas().mostrarCargada(Ventana::Empresa);
        NavegadorRegistros* empresas = empresa()->navegadorEmpresas();
        NavegadorRegistros* centros = empresa()->navegadorCentros();
        auto* direccion = hijo<QLineEdit>(empresa(), "strDireccion");
        const auto borrar = [&](NavegadorRegistros* nav) {
            plataforma_->responder(PlataformaServicios::Respuesta::Si);
            QTest::mouseClick(nav->botonEliminar(), Qt::LeftButton);
        };
        const auto verEvaluacion = [&](const char* centro) {
            // Se vuelve al resumen pulsando en su fila, que aún no se ha vuelto a leer.
            QVERIFY2(fila(centro).isValid(), centro);
            QTest::mouseClick(tabla()->viewport(), Qt::LeftButton, {}, tabla()->visualRect(fila(centro)).center());
            QCOMPARE(entrada_->ventanas().area()->activeSubWindow()->widget(), resumen());
            QTest::mouseClick(hijo<QPushButton>(resumen(), "BVerEvaluacion"), Qt::LeftButton);
            QVERIFY(
                plataforma_->mensajes.back().texto.startsWith(QStringLiteral("El centro «%1» ya no está").arg(centro)));
            QVERIFY(!entrada_->ventanas().ventana(Ventana::InicioEvaluacion));
            QCOMPARE(empresas->lista()->currentText(), QStringLiteral("Cámara Norte"));
            QCOMPARE(direccion->text(), QStringLiteral("Calle Nueva 3"));
            // Moverse por empresas y centros no da ningún error.
            const size_t avisos = plataforma_->mensajes.size();
            for (const char* barra : {"Toolbar2Boton", "Toolbar1Boton", "Toolbar7Boton", "Toolbar6Boton"})
                QTest::mouseClick(hijo<QToolButton>(empresa(), barra), Qt::LeftButton);
            QCOMPARE(plataforma_->mensajes.size(), avisos);
            QCOMPARE(hijo<QLabel>(empresa(), "Label8")->text(), QStringLiteral("1 de 1"));
        };

        QTest::mouseClick(hijo<QToolButton>(empresa(), "Toolbar4Boton"), Qt::LeftButton);
        QCOMPARE(empresas->lista()->currentText(), QStringLiteral("Ferreteria Sur"));
        borrar(empresas);
        QCOMPARE(empresas->lista()->currentText(), QStringLiteral("Cámara Norte"));
        const auto escribirDireccion = [&] {
            direccion->selectAll();
            teclear(direccion, "Calle Nueva 3");
        };
        escribirDireccion();
        verEvaluacion("Taller");
        QCOMPARE(contador(), QStringLiteral("2 de 2 centros"));

        // Ahora el centro de una empresa que sigue.
        entrada_->ventanas().mostrarCargada(Ventana::Empresa);
        QTest::mouseClick(hijo<QToolButton>(empresa(), "Toolbar8Boton"), Qt::LeftButton);
        QCOMPARE(centros->lista()->currentText(), QStringLiteral("Tienda"));
        borrar(centros);
        QCOMPARE(centros->lista()->currentText(), QStringLiteral("Almacén"));
        escribirDireccion();
        verEvaluacion("Tienda");
        QCOMPARE(centros->lista()->currentText(), QStringLiteral("Almacén"));
        QCOMPARE(contador(), QStringLiteral("1 de 1 centros"));
    }
};

QTEST_MAIN(PruebaResumenCentros)
#include "test_resumen_centros.moc"
