// El conjunto de registros tal como lo usan las ventanas: recorrido, búsqueda, altas y cambios. Cada
// caso corre en el archivo y, con el servidor de pruebas, también en el servidor.
#include "Datos.h"
#include "postgres/BaseConCatalogo.h"
#include "store/ErrorBD.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace {
long numeroDe(const std::function<void()>& accion)
{
    try {
        accion();
    } catch (const ErrorBD& e) {
        return e.numero();
    }
    return 0;
}

class RecordsetPrueba : public ::testing::TestWithParam<bool>
{
protected:
    bool servidor() const { return GetParam(); }
    BaseConCatalogo base{GetParam()};
    QString cx = base.texto();
};
} // namespace

TEST_P(RecordsetPrueba, RecorridoPosicionYRecuento)
{
    for (const char* n : {"Alfa", "Beta", "Gamma"})
        datos::empresa(cx, n);
    Recordset rs;
    rs.open("Select * from Empresas", cx);
    EXPECT_FALSE(rs.bof());
    EXPECT_FALSE(rs.eof());
    EXPECT_EQ(rs.value("Nombre").toString(), "Alfa");
    EXPECT_EQ(rs.absolutePosition(), 1);
    EXPECT_EQ(rs.recordCount(), 3);
    rs.moveLast();
    EXPECT_EQ(rs.value("Nombre").toString(), "Gamma");
    EXPECT_EQ(rs.absolutePosition(), 3);
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    EXPECT_EQ(numeroDe([&] { rs.value("Nombre"); }), NumeroError::SinRegistroActual);
    EXPECT_EQ(numeroDe([&] { rs.moveNext(); }), NumeroError::SinRegistroActual);
    rs.movePrevious();
    EXPECT_EQ(rs.value("Nombre").toString(), "Gamma");
    rs.moveFirst();
    rs.movePrevious();
    EXPECT_TRUE(rs.bof());
    EXPECT_EQ(numeroDe([&] { rs.movePrevious(); }), NumeroError::SinRegistroActual);
    rs.setAbsolutePosition(2);
    EXPECT_EQ(rs.value("Nombre").toString(), "Beta");
    EXPECT_EQ(numeroDe([&] { rs.value("NoExiste"); }), NumeroError::ElementoNoEncontrado);

    // Vacío: BOF y EOF a la vez, y moverse al primero da 3021.
    Recordset vacio;
    vacio.open("Select * from Empresas where IDEmpresa = ?", cx, {-1});
    EXPECT_TRUE(vacio.bof());
    EXPECT_TRUE(vacio.eof());
    EXPECT_EQ(vacio.recordCount(), 0);
    EXPECT_EQ(numeroDe([&] { vacio.moveFirst(); }), NumeroError::SinRegistroActual);
    EXPECT_EQ(numeroDe([&] { vacio.moveLast(); }), NumeroError::SinRegistroActual);
}

TEST_P(RecordsetPrueba, BusquedaConApostrofosNumerosYMayusculas)
{
    for (const char* n : {"Ferretería Sol", "L'Hospitalet Moda", "O'Donnell", "Ñandú"})
        datos::empresa(cx, n);
    Recordset rs;
    rs.open("Select * from Empresas", cx);
    EXPECT_TRUE(rs.find("[Nombre] = 'O'Donnell'"));
    EXPECT_EQ(rs.value("Nombre").toString(), "O'Donnell");
    rs.moveFirst();
    EXPECT_TRUE(rs.find("Nombre = 'l'hospitalet moda'"));
    EXPECT_EQ(rs.absolutePosition(), 2);
    rs.moveFirst();
    EXPECT_TRUE(rs.find("[Nombre] = 'ñandú'"));
    const qlonglong id = rs.value("IDEmpresa").toLongLong();
    rs.moveFirst();
    EXPECT_TRUE(rs.find(QStringLiteral("[IDEmpresa] = %1").arg(id)));
    EXPECT_EQ(rs.value("Nombre").toString(), "Ñandú");
    // Busca desde la fila actual hacia delante; sin coincidencia queda en EOF.
    EXPECT_FALSE(rs.find("[Nombre] = 'Ferretería Sol'"));
    EXPECT_TRUE(rs.eof());
    for (const char* malo : {
             "",
             "Nombre",
             "[Nombre = 'x'",
             "[Nombre] 'x'",
             "[Nombre] = 'x",
             "[Nombre] = abc",
         })
        EXPECT_EQ(numeroDe([&] {
                      rs.moveFirst();
                      rs.find(malo);
                  }),
                  NumeroError::ArgumentoNoValido)
            << malo;
}

TEST_P(RecordsetPrueba, AltaYModificacionDeLaFilaActual)
{
    Recordset rs;
    rs.open("Select * from Empresas", cx);
    EXPECT_TRUE(rs.eof());
    rs.addNew();
    rs.setValue("Nombre", "Panadería d'Or");
    rs.setValue("TotalTrabajadores", 4);
    rs.update();
    const qlonglong id = rs.lastInsertId();
    EXPECT_GT(id, 0);
    EXPECT_EQ(rs.value("IDEmpresa").toLongLong(), id);
    EXPECT_EQ(rs.value("Nombre").toString(), "Panadería d'Or");
    EXPECT_EQ(rs.recordCount(), 1);

    rs.setValue("Nombre", "Panadería L'Obrador");
    rs.update();
    Recordset otro;
    otro.open("Select * from Empresas where Nombre = ?", cx, {"Panadería L'Obrador"});
    ASSERT_FALSE(otro.eof());
    EXPECT_EQ(otro.value("IDEmpresa").toLongLong(), id);
    EXPECT_EQ(otro.value("TotalTrabajadores").toLongLong(), 4);

    // Letras donde va un número: se rechaza y la fila guardada no cambia.
    EXPECT_EQ(numeroDe([&] { otro.setValue("TotalTrabajadores", "doce"); }), NumeroError::OperacionVariosPasos);
    otro.cancelUpdate();
    otro.requery();
    EXPECT_EQ(otro.value("TotalTrabajadores").toLongLong(), 4);

    // Una fecha imposible tampoco llega al almacén.
    // El nombre con tilde entre comillas, como lo escribe el programa: sin ellas, el servidor lo
    // pasaría a minúsculas y no daría con la tabla.
    Recordset plan;
    plan.open("Select * from \"ActuaciónPreventiva\"", cx);
    plan.addNew();
    EXPECT_EQ(numeroDe([&] { plan.setValue("Fecha", "2026-02-30"); }), NumeroError::OperacionVariosPasos);
    plan.cancelUpdate();
}

TEST_P(RecordsetPrueba, AltaDevuelveLoGuardadoYUnFalloNoDejaNada)
{
    Recordset rs;
    rs.open("Select * from Empresas", cx);
    rs.addNew();
    rs.setValue("Nombre", "Sin plantilla");
    rs.update();
    EXPECT_EQ(rs.value("TotalTrabajadores").toLongLong(), 0); // el valor por defecto del almacén
    EXPECT_EQ(rs.value("IDEmpresa").toLongLong(), rs.lastInsertId());

    // Columnas renombradas en la consulta: el alta sale igual.
    Recordset renombradas;
    renombradas.open("Select IDEmpresa, Nombre as Razon from Empresas", cx);
    renombradas.addNew();
    renombradas.setValue("IDEmpresa", 77);
    renombradas.update();
    EXPECT_EQ(renombradas.lastInsertId(), 77);
    EXPECT_EQ(datos::contar(cx, "select count(*) from Empresas"), 2);

    // Un centro de una empresa que no existe: error de la operación y ninguna fila a medias.
    Recordset centros;
    centros.open("Select * from CentroTrabajo", cx);
    centros.addNew();
    centros.setValue("IDEmpresa", 999);
    centros.setValue("NombreCentro", "Huérfano");
    EXPECT_EQ(numeroDe([&] { centros.update(); }), NumeroError::OperacionVariosPasos);
    EXPECT_EQ(datos::contar(cx, "select count(*) from CentroTrabajo"), 0);
}

TEST_P(RecordsetPrueba, AltaConFilasPendientesNoLasRepiteNiLasPierde)
{
    const long long e = datos::empresa(cx);
    const long long c = datos::centro(cx, e);
    for (int i = 0; i < 50; ++i)
        datos::puesto(cx, c, QStringLiteral("Puesto %1").arg(i));
    Recordset rs;
    rs.open("Select * from PuestosCentros", cx);
    rs.addNew();
    rs.setValue("IDCentro", c);
    rs.setValue("Puesto", "Nuevo");
    rs.update();
    EXPECT_EQ(rs.value("Puesto").toString(), "Nuevo");
    EXPECT_EQ(rs.recordCount(), 51);
    rs.moveLast();
    EXPECT_EQ(rs.value("Puesto").toString(), "Nuevo");
    rs.moveFirst();
    EXPECT_EQ(rs.value("Puesto").toString(), "Puesto 0");
    rs.requery();
    EXPECT_EQ(rs.recordCount(), 51);
}

TEST_P(RecordsetPrueba, SentenciasQueSeEjecutanAlAbrirlasYErrores)
{
    datos::empresa(cx, "Uno");
    datos::empresa(cx, "Dos");
    EXPECT_EQ(Recordset::execute("delete from Empresas where Nombre = ?", cx, {"Uno"}), 1);
    Recordset rs;
    rs.open("delete from Empresas where IDEmpresa = -5;", cx);
    EXPECT_EQ(datos::contar(cx, "select count(*) from Empresas"), 1);

    EXPECT_EQ(numeroDe([&] { rs.open("Select * fromm Empresas", cx); }), NumeroError::SintaxisConsulta);
    EXPECT_EQ(numeroDe([&] { rs.open("Select * from NoHay", cx); }), NumeroError::TablaNoEncontrada);
    // Una clave ajena que no existe no deja fila huérfana.
    EXPECT_EQ(numeroDe([&] { Recordset::execute("insert into CentroTrabajo (IDEmpresa) values (999)", cx); }),
              NumeroError::OperacionVariosPasos);
}

TEST_P(RecordsetPrueba, TransaccionDeshaceLoNoConfirmado)
{
    {
        Transaccion t(cx);
        datos::empresa(cx, "A medias");
    }
    EXPECT_EQ(datos::contar(cx, "select count(*) from Empresas"), 0);
    {
        Transaccion t(cx);
        datos::empresa(cx, "Entera");
        {
            Transaccion anidada(cx);
            datos::empresa(cx, "Anidada sin confirmar");
        }
        t.confirmar();
    }
    EXPECT_EQ(datos::contar(cx, "select count(*) from Empresas"), 1);
}

TEST_P(RecordsetPrueba, SinOrdenPedidoLasFilasSalenPorSuClaveAunqueHayaIndice)
{
    // Un índice que ordena por otra columna: SQLite lo recorre y devolvería las filas por nombre.
    Recordset::execute("CREATE INDEX PruebaOrden ON CentroTrabajo (IDEmpresa, Direccion)", cx);
    const long long e = datos::empresa(cx);
    for (const char* d : {"Zaragoza", "Madrid", "Almería"})
        datos::centro(cx, e, d);
    const auto primero = [&](const QString& sql) {
        Recordset rs;
        rs.open(sql, cx);
        return rs.value("Direccion").toString();
    };
    EXPECT_EQ(primero(QStringLiteral("Select * from CentroTrabajo where IDEmpresa = %1;").arg(e)), "Zaragoza");
    EXPECT_EQ(primero(QStringLiteral("select Direccion from CentroTrabajo where IDEmpresa = %1").arg(e)), "Zaragoza");
    // Un orden pedido se respeta.
    EXPECT_EQ(primero(QStringLiteral("Select * from CentroTrabajo where IDEmpresa = %1 order by Direccion").arg(e)),
              "Almería");
    Recordset ultimo;
    ultimo.open("Select * from CentroTrabajo where IDEmpresa = ?", cx, {e});
    ultimo.moveLast();
    EXPECT_EQ(ultimo.value("Direccion").toString(), "Almería");
}

// Una ventana deja a menudo un conjunto a medio leer (una rejilla que lee por tandas) mientras se
// escribe. Esa lectura no debe impedir que el diario vuelva a empezar tras cada escritura, y al
// seguir leyendo no se pierde ni se repite ninguna fila aunque entretanto cambie la tabla.
TEST_P(RecordsetPrueba, LecturaAMediasNoHaceCrecerElDiarioYSigueDondeIba)
{
    std::vector<long long> ids;
    {
        Transaccion t(cx);
        for (int i = 0; i < 300; ++i)
            ids.push_back(datos::empresa(cx, QStringLiteral("Empresa %1").arg(i, 3, 10, QChar('0'))));
        t.confirmar();
    }
    Recordset porClave;
    porClave.open("Select * from Empresas", cx);
    Recordset porNombre; // orden pedido: se sigue contando filas
    porNombre.open("Select Nombre from Empresas order by Nombre desc", cx);
    QStringList leidasClave, leidasNombre;
    for (int i = 0; i < 10; ++i, porClave.moveNext(), porNombre.moveNext()) {
        leidasClave << porClave.value("Nombre").toString();
        leidasNombre << porNombre.value("Nombre").toString();
    }

    // Cada escritura se confirma sola: unas 2.500 páginas, más de dos veces el punto de volcado.
    for (int i = 0; i < 2500; ++i)
        Recordset::execute("update Empresas set Poblacion = ? where IDEmpresa = ?", cx,
                           {QString::number(i), ids[size_t(i % 300)]});
    // El diario es el del archivo; el servidor lleva el suyo y no crece por una lectura abierta.
    if (!servidor())
        EXPECT_LT(QFileInfo(base.carpeta() + "/Evaluacion.mdb-wal").size(), 6 * 1024 * 1024)
            << "la lectura a medias retiene el diario";
    for (; !porNombre.eof(); porNombre.moveNext())
        leidasNombre << porNombre.value("Nombre").toString();
    ASSERT_EQ(leidasNombre.size(), 300);
    for (int i = 0; i < 300; ++i)
        EXPECT_EQ(leidasNombre[i], QStringLiteral("Empresa %1").arg(299 - i, 3, 10, QChar('0')));

    // Una ya leída y una por leer desaparecen; llega una nueva. Dentro de una transacción también.
    Recordset::execute("delete from Empresas where IDEmpresa = ?", cx, {ids[5]});
    {
        Transaccion t(cx);
        Recordset::execute("delete from Empresas where IDEmpresa = ?", cx, {ids[200]});
        datos::empresa(cx, "Empresa 999");
        t.confirmar();
    }
    for (; !porClave.eof(); porClave.moveNext())
        leidasClave << porClave.value("Nombre").toString();
    QStringList esperadas;
    for (int i = 0; i < 300; ++i)
        if (i != 200)
            esperadas << QStringLiteral("Empresa %1").arg(i, 3, 10, QChar('0'));
    esperadas << "Empresa 999";
    EXPECT_EQ(leidasClave, esperadas);
    EXPECT_EQ(porClave.recordCount(), 300);
    porClave.moveFirst();
    EXPECT_EQ(porClave.value("Nombre").toString(), "Empresa 000");
}

// Contar y leer una fila suelta no recorren el conjunto ni lo mueven de su fila, y dan lo mismo que
// recorrerlo: con criterio y valores enlazados, con altas antes y después de contar, tras volver a
// ejecutarlo y con una sentencia que no se deja contar aparte.
TEST_P(RecordsetPrueba, ContarYLeerUnaFilaSinRecorrerNiMoverse)
{
    {
        Transaccion t(cx);
        for (int i = 0; i < 200; ++i)
            datos::empresa(cx, QStringLiteral("Empresa %1").arg(i, 3, 10, QChar('0')));
        t.confirmar();
    }
    Recordset rs;
    rs.open("Select * from Empresas", cx);
    const int nombre = rs.fieldIndex("Nombre");
    EXPECT_EQ(rs.countWithoutReading(), 200);
    EXPECT_EQ(rs.valueAt(150, nombre).toString(), "Empresa 149");
    EXPECT_EQ(rs.valueAt(200, nombre).toString(), "Empresa 199");
    EXPECT_FALSE(rs.valueAt(201, nombre).isValid());
    EXPECT_FALSE(rs.valueAt(0, nombre).isValid());
    EXPECT_FALSE(rs.valueAt(1, 999).isValid());
    EXPECT_EQ(rs.absolutePosition(), 1);
    EXPECT_EQ(rs.value("Nombre").toString(), "Empresa 000");
    rs.moveNext();
    EXPECT_EQ(rs.value("Nombre").toString(), "Empresa 001");

    // Un alta después de contar se suma; contada después, el almacén ya la tiene.
    Recordset antes;
    antes.open("Select * from Empresas where Nombre like ?;", cx, {"Empresa 1%"});
    EXPECT_EQ(antes.countWithoutReading(), 100);
    antes.addNew();
    antes.setValue("Nombre", "Empresa 1 nueva");
    antes.update();
    EXPECT_EQ(antes.countWithoutReading(), 101);
    EXPECT_EQ(antes.recordCount(), 101);
    EXPECT_EQ(antes.valueAt(101, antes.fieldIndex("Nombre")).toString(), "Empresa 1 nueva");
    Recordset despues;
    despues.open("Select * from Empresas where Nombre like ?", cx, {"Empresa 1%"});
    despues.addNew();
    despues.setValue("Nombre", "Empresa 1 otra");
    despues.update();
    EXPECT_EQ(despues.countWithoutReading(), 102);
    EXPECT_EQ(despues.recordCount(), 102);

    // Volver a ejecutarla vuelve a contar.
    Recordset::execute("delete from Empresas where Nombre like ?", cx, {"Empresa 0%"});
    rs.requery();
    EXPECT_EQ(rs.countWithoutReading(), 102);
    EXPECT_EQ(rs.valueAt(1, nombre).toString(), "Empresa 100");
    // Contar no las ha leído: una que se borra antes de llegar a ella ya no sale, y leídas todas
    // el recuento es el de lo leído.
    Recordset::execute("delete from Empresas where Nombre = ?", cx, {"Empresa 180"});
    EXPECT_EQ(rs.recordCount(), 101);
    EXPECT_EQ(rs.countWithoutReading(), 101);

    // Una sentencia que no se deja contar aparte: PRAGMA sólo lo tiene el archivo.
    if (servidor())
        return;
    Recordset columnas;
    columnas.open("pragma table_info(Empresas)", cx);
    EXPECT_EQ(columnas.countWithoutReading(), rs.fieldCount());
    EXPECT_EQ(columnas.valueAt(1, columnas.fieldIndex("name")).toString(), "IDEmpresa");
}

INSTANTIATE_TEST_SUITE_P(Motores, RecordsetPrueba, ::testing::ValuesIn(motoresConCatalogo()), nombreMotor);
