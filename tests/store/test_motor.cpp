// Lo que el almacén espera de cualquier motor: valores con las convenciones del programa,
// transacciones con puntos de guardado, los mismos números de error, filas devueltas al añadir y
// las preguntas sobre tablas y vistas. Cada motor pasa las mismas pruebas.
#include "store/ErrorBD.h"
#include "store/MotorSqlite.h"

#include <QDate>
#include <QDateTime>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace {
struct Motor
{
    const char* nombre;
    // Una base de datos nueva en la carpeta, o la que ya hay.
    std::function<std::unique_ptr<MotorBD>(const QString& carpeta, bool nueva)> abrir;
    // Padre (Id clave numérica que pone el motor, Nombre único, Alta fecha, Hora fecha y hora),
    // Hijo (Id, IdPadre que apunta a Padre) y la vista VistaPadres.
    const char* esquema;
};

const Motor motores[] = {
    {"Sqlite",
     [](const QString& carpeta, bool nueva) -> std::unique_ptr<MotorBD> {
         return MotorSqlite::abrir(carpeta + "/Prueba.mdb", nueva);
     },
     "PRAGMA foreign_keys = ON;"
     "CREATE TABLE Padre (Id INTEGER PRIMARY KEY, Nombre TEXT UNIQUE, Alta date, Hora DATETIME, Foto BLOB);"
     "CREATE TABLE Hijo (Id INTEGER PRIMARY KEY, IdPadre INTEGER NOT NULL REFERENCES Padre (Id));"
     "CREATE VIEW VistaPadres AS SELECT Id, Nombre FROM Padre;"},
};

class MotorPrueba : public ::testing::TestWithParam<Motor>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(carpeta.isValid());
        motor = GetParam().abrir(carpeta.path(), true);
        ASSERT_EQ(motor->ejecutar(GetParam().esquema), 0);
    }

    std::unique_ptr<SentenciaMotor> preparar(const QByteArray& sql)
    {
        int codigo = 0;
        auto st = motor->preparar(sql, codigo);
        EXPECT_TRUE(st) << sql.constData();
        return st;
    }

    // Número de error del programa con que falla la sentencia.
    long numeroAlEjecutar(const QByteArray& sql, const QVariantList& valores = {})
    {
        int codigo = 0;
        auto st = motor->preparar(sql, codigo);
        if (!st)
            return motor->error(codigo, QString::fromUtf8(sql)).numero();
        for (int i = 0; i < valores.size(); ++i)
            st->enlazar(i + 1, valores[i]);
        if (st->paso() != PasoSentencia::Fallo)
            return 0;
        return motor->error(st->codigo(), QString::fromUtf8(sql)).numero();
    }

    qlonglong contar(const QByteArray& tabla)
    {
        auto st = preparar("SELECT count(*) FROM " + tabla);
        qlonglong n = -1;
        if (st->paso() == PasoSentencia::Fila)
            st->entero(0, n);
        return n;
    }

    QTemporaryDir carpeta;
    std::unique_ptr<MotorBD> motor;
};
} // namespace

TEST_P(MotorPrueba, GuardaYDevuelveLosValoresConLasConvencionesDelPrograma)
{
    const QDate alta(2026, 2, 28);
    const QDateTime hora(QDate(2026, 3, 1), QTime(10, 30, 5));
    auto alta1 =
        preparar("INSERT INTO Padre (Nombre, Alta, Hora, Foto) VALUES (?, ?, ?, ?) RETURNING Id, Nombre, Alta");
    ASSERT_EQ(alta1->parametros(), 4);
    alta1->enlazar(1, QStringLiteral("L'Hospitalet «Ñ»"));
    alta1->enlazar(2, alta);
    alta1->enlazar(3, hora);
    alta1->enlazar(4, QByteArray("\0\1\2", 3));
    ASSERT_TRUE(motor->admiteDevolver());
    ASSERT_EQ(alta1->paso(), PasoSentencia::Fila);
    qlonglong id = 0;
    ASSERT_TRUE(alta1->entero(0, id));
    EXPECT_EQ(alta1->paso(), PasoSentencia::Fin);
    EXPECT_EQ(motor->ultimoId(), id);

    auto st = preparar("SELECT Id, Nombre, Alta, Hora, Foto, Alta AS Texto, NULL AS Nada FROM Padre WHERE Id = ?");
    st->enlazar(1, id);
    ASSERT_EQ(st->paso(), PasoSentencia::Fila);
    ASSERT_EQ(st->columnas(), 7);
    EXPECT_EQ(st->nombreColumna(1), "Nombre");
    // El tipo declarado sale en mayúsculas aunque se escribiera en minúsculas; una expresión no tiene.
    EXPECT_EQ(st->tipoDeclarado(2), "DATE");
    EXPECT_EQ(st->tipoDeclarado(3), "DATETIME");
    EXPECT_TRUE(st->tipoDeclarado(6).isEmpty());
    EXPECT_EQ(st->valor(0, st->tipoDeclarado(0)).typeId(), QMetaType::LongLong);
    EXPECT_EQ(st->valor(1, {}).toString(), QStringLiteral("L'Hospitalet «Ñ»"));
    EXPECT_EQ(st->valor(2, "DATE"), QVariant(alta));
    EXPECT_EQ(st->valor(3, "DATETIME"), QVariant(hora));
    EXPECT_EQ(st->valor(4, {}).toByteArray(), QByteArray("\0\1\2", 3));
    // Sin tipo, la fecha llega como el texto guardado.
    EXPECT_EQ(st->valor(5, {}), QVariant(QStringLiteral("2026-02-28")));
    EXPECT_TRUE(st->valor(6, {}).isNull());
    qlonglong n = 0;
    EXPECT_FALSE(st->entero(1, n));
    EXPECT_EQ(st->paso(), PasoSentencia::Fin);

    // Reiniciar conserva los valores enlazados; limpiar los olvida.
    st->reiniciar();
    EXPECT_EQ(st->paso(), PasoSentencia::Fila);
    st->limpiar();
    EXPECT_EQ(st->paso(), PasoSentencia::Fin);
    EXPECT_TRUE(st->soloLectura());
    EXPECT_FALSE(alta1->soloLectura());
}

TEST_P(MotorPrueba, LosPuntosDeGuardadoDeshacenSoloLoSuyo)
{
    EXPECT_FALSE(motor->enTransaccion());
    ASSERT_EQ(motor->empezar(), 0);
    EXPECT_TRUE(motor->enTransaccion());
    ASSERT_EQ(motor->ejecutar("INSERT INTO Padre (Nombre) VALUES ('fuera')"), 0);
    ASSERT_EQ(motor->guardarPunto("paso1"), 0);
    ASSERT_EQ(motor->ejecutar("INSERT INTO Padre (Nombre) VALUES ('dentro')"), 0);
    ASSERT_EQ(motor->volverAPunto("paso1"), 0);
    EXPECT_TRUE(motor->enTransaccion());
    ASSERT_EQ(motor->guardarPunto("paso2"), 0);
    ASSERT_EQ(motor->ejecutar("INSERT INTO Padre (Nombre) VALUES ('liberado')"), 0);
    ASSERT_EQ(motor->liberarPunto("paso2"), 0);
    ASSERT_EQ(motor->confirmar(), 0);
    EXPECT_FALSE(motor->enTransaccion());
    EXPECT_EQ(contar("Padre"), 2);

    ASSERT_EQ(motor->empezar(), 0);
    ASSERT_EQ(motor->ejecutar("DELETE FROM Padre"), 0);
    EXPECT_EQ(motor->filasCambiadas(), 2);
    ASSERT_EQ(motor->deshacer(), 0);
    EXPECT_EQ(contar("Padre"), 2);
}

TEST_P(MotorPrueba, CadaFalloLlevaElNumeroDeSiempre)
{
    ASSERT_EQ(motor->ejecutar("INSERT INTO Padre (Nombre) VALUES ('Uno')"), 0);
    EXPECT_EQ(numeroAlEjecutar("INSERT INTO Padre (Nombre) VALUES (?)", {QStringLiteral("Uno")}),
              NumeroError::OperacionVariosPasos);
    EXPECT_EQ(numeroAlEjecutar("INSERT INTO Hijo (IdPadre) VALUES (?)", {99}), NumeroError::OperacionVariosPasos);
    EXPECT_EQ(numeroAlEjecutar("INSERT INTO Hijo (IdPadre) VALUES (NULL)"), NumeroError::OperacionVariosPasos);
    EXPECT_EQ(numeroAlEjecutar("SELECT * FROM NoExiste"), NumeroError::TablaNoEncontrada);
    EXPECT_EQ(numeroAlEjecutar("SELECT NoExiste FROM Padre"), NumeroError::CampoNoEncontrado);
    EXPECT_EQ(numeroAlEjecutar("SELEC 1"), NumeroError::SintaxisConsulta);
    EXPECT_NE(motor->ejecutar("INSERT INTO Padre (Nombre) VALUES ('Uno')"), 0);
}

TEST_P(MotorPrueba, ContestaSobreTablasYVistas)
{
    const auto contestar = [&](Metadato pregunta, const QString& nombre) {
        auto st = preparar(motor->consultaMetadatos(pregunta));
        st->enlazar(1, nombre);
        std::vector<QVariantList> filas;
        while (st->paso() == PasoSentencia::Fila) {
            QVariantList fila;
            for (int i = 0; i < st->columnas(); ++i)
                fila << st->valor(i, {});
            filas.push_back(fila);
        }
        return filas;
    };
    const auto exacto = contestar(Metadato::OrigenExacto, "vistapadres");
    ASSERT_EQ(exacto.size(), 1u);
    EXPECT_EQ(exacto[0][0].toString(), "VistaPadres");
    EXPECT_TRUE(contestar(Metadato::OrigenExacto, "NoExiste").empty());

    const auto columnas = contestar(Metadato::ColumnasClave, "Padre");
    ASSERT_EQ(columnas.size(), 5u);
    EXPECT_EQ(columnas[0][0].toString(), "Id");
    EXPECT_EQ(columnas[0][1].toLongLong(), 1);
    EXPECT_EQ(columnas[1][1].toLongLong(), 0);

    const auto numero = contestar(Metadato::ClaveNumeroDeFila, "Padre");
    ASSERT_EQ(numero.size(), 1u);
    EXPECT_EQ(numero[0][0].toLongLong(), 1);
    EXPECT_EQ(numero[0][1].toString(), "INTEGER");

    EXPECT_EQ(contestar(Metadato::TipoDeOrigen, "VistaPadres")[0][0].toString(), "view");
    EXPECT_EQ(contestar(Metadato::TipoDeOrigen, "Hijo")[0][0].toString(), "table");
}

TEST_P(MotorPrueba, AlCerrarDeshaceLoPendienteYLasSentenciasEnManoNoLoTocan)
{
    ASSERT_EQ(motor->ejecutar("INSERT INTO Padre (Nombre) VALUES ('guardado')"), 0);
    auto enMano = preparar("SELECT Nombre FROM Padre");
    ASSERT_EQ(enMano->paso(), PasoSentencia::Fila);
    ASSERT_EQ(motor->empezar(), 0);
    ASSERT_EQ(motor->ejecutar("INSERT INTO Padre (Nombre) VALUES ('sin confirmar')"), 0);
    motor->cerrar();
    EXPECT_FALSE(motor->abierto());
    EXPECT_FALSE(motor->enTransaccion());
    // Soltarla después del cierre no vuelve a finalizarla ni toca el motor cerrado.
    enMano.reset();
    motor.reset();

    motor = GetParam().abrir(carpeta.path(), false);
    EXPECT_EQ(contar("Padre"), 1);
}

INSTANTIATE_TEST_SUITE_P(Motores, MotorPrueba, ::testing::ValuesIn(motores),
                         [](const ::testing::TestParamInfo<Motor>& i) { return std::string(i.param.nombre); });
