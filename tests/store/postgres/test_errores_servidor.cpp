// Lo que ve el usuario de un fallo del servidor: el número de siempre y, en castellano, qué ha
// pasado y qué hacer; lo que dijo el servidor va detrás, entre paréntesis.
#include "store/postgres/MapaErroresPg.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
struct Caso
{
    const char* codigo;
    long numero;
    const char* empieza;
};
} // namespace

TEST(ErroresServidor, CadaCodigoDaSuNumeroYUnTextoQueDiceQueHacer)
{
    const Caso casos[] = {
        {"08006", NumeroError::ErrorDisco, "Se ha perdido la conexión con el servidor de datos"},
        {"08003", NumeroError::ErrorDisco, "Se ha perdido la conexión con el servidor de datos"},
        {"57P01", NumeroError::ErrorDisco, "El servidor de datos ha interrumpido la operación"},
        {"58030", NumeroError::ErrorDisco, "Error del disco o de los archivos en el servidor"},
        {"40001", NumeroError::BaseOcupada, "Otro usuario estaba cambiando los mismos datos a la vez"},
        {"40P01", NumeroError::BaseOcupada, "Otro usuario estaba cambiando los mismos datos a la vez"},
        {"55P03", NumeroError::BaseOcupada, "Otro usuario tiene ocupados estos datos"},
        {"53100", NumeroError::DiscoLleno, "El servidor de datos se ha quedado sin espacio"},
        {"53200", NumeroError::SinMemoria, "El servidor de datos no tiene memoria suficiente"},
        {"28P01", NumeroError::CuentaNoValida, "El servidor de datos no acepta el usuario o la contraseña"},
        {"28000", NumeroError::CuentaNoValida, "El servidor de datos no acepta la conexión con ese usuario"},
        {"3D000", NumeroError::ArchivoNoEncontrado, "La base de datos no existe en el servidor"},
        {"42501", NumeroError::ArchivoBloqueado, "El usuario no tiene permiso en el servidor de datos"},
        {"25006", NumeroError::SoloLectura, "La conexión con el servidor de datos es de sólo lectura"},
        {"42P01", NumeroError::TablaNoEncontrada, "No se encuentra la tabla o consulta en el servidor"},
        {"42703", NumeroError::CampoNoEncontrado, "No se encuentra el campo en el servidor"},
        {"42601", NumeroError::SintaxisConsulta, "El servidor de datos no entiende la consulta"},
        {"42883", NumeroError::SintaxisConsulta, "El servidor de datos no acepta la consulta"},
        {"23503", NumeroError::OperacionVariosPasos, "El registro hace referencia a otro que no existe"},
        {"23505", NumeroError::OperacionVariosPasos, "Ya existe un registro con ese valor"},
        {"23502", NumeroError::OperacionVariosPasos, "Falta un dato obligatorio del registro"},
        {"23514", NumeroError::OperacionVariosPasos, "El valor no es válido para este campo"},
        {"22001", NumeroError::OperacionVariosPasos, "El valor no es válido para este campo"},
        {"XX000", NumeroError::ErrorGeneral, "El servidor de datos no ha podido hacer la operación"},
    };
    const QString servidor = QStringLiteral("something went wrong");
    for (const Caso& c : casos) {
        const ErrorBD e = errorDeCodigo(c.codigo, servidor, QStringLiteral("SELECT 1"));
        EXPECT_EQ(e.numero(), c.numero) << c.codigo;
        EXPECT_TRUE(e.descripcion().startsWith(QString::fromUtf8(c.empieza)))
            << c.codigo << ": " << e.descripcion().toStdString();
        EXPECT_TRUE(e.descripcion().endsWith(" (" + servidor + ")")) << c.codigo;
        EXPECT_EQ(e.sentencia(), "SELECT 1") << c.codigo;
    }
    // La fila que otro ha cambiado se dice sin más; sin código es no tener el servidor.
    EXPECT_EQ(errorDeCodigo("P0V01", QStringLiteral("VersionFila")).descripcion(),
              "Otro usuario ha modificado este registro; se muestran sus datos");
    const ErrorBD sin = errorDeCodigo(nullptr, QStringLiteral("server closed the connection unexpectedly"));
    EXPECT_EQ(sin.numero(), NumeroError::ErrorDisco);
    EXPECT_TRUE(sin.descripcion().startsWith("Se ha perdido la conexión con el servidor de datos"));
}

// Un servidor al que no se llega: libpq no da código, y el usuario lee qué comprobar.
TEST(ErroresServidor, SinLlegarAlServidorSeDiceQueComprobar)
{
    QTemporaryDir vacia;
    PGconn* c = PQconnectdb(("host=" + vacia.path() + " port=5 dbname=x user=x connect_timeout=1").toUtf8());
    ASSERT_NE(PQstatus(c), CONNECTION_OK);
    const ErrorBD e = errorPg(c, nullptr);
    PQfinish(c);
    EXPECT_EQ(e.numero(), NumeroError::ErrorDisco);
    EXPECT_TRUE(e.descripcion().startsWith("Se ha perdido la conexión con el servidor de datos, o no se ha podido "
                                           "llegar a él. Compruebe la red"))
        << e.descripcion().toStdString();
    EXPECT_TRUE(e.descripcion().endsWith(")")) << e.descripcion().toStdString();
}
