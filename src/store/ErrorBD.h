#pragma once

#include <QString>
#include <stdexcept>

// Números de error que ven las ventanas. Son los del motor de datos de siempre:
// el manejador común decide por ellos, así que no se cambian.
namespace NumeroError {
constexpr long BaseDanada = 3049;          // el archivo no es una base de datos o está dañado
constexpr long SinRegistroActual = 3021;   // BOF o EOF: no hay registro actual
constexpr long SintaxisConsulta = 3075;    // error de sintaxis en una expresión de consulta
constexpr long PropiedadSoloLectura = 383; // propiedad que no se puede asignar en ejecución
constexpr long ObjetoDesconectado = -2147417848;
constexpr long OperacionVariosPasos = -2147217887; // valor no admitido por el campo, restricción
constexpr long TablaNoEncontrada = 3078;           // no se encuentra la tabla o consulta
constexpr long CampoNoEncontrado = 3061;           // no se encuentra un campo de la sentencia
constexpr long ElementoNoEncontrado = 3265;        // campo que no está en el conjunto
constexpr long ArgumentoNoValido = 3001;           // criterio de búsqueda mal formado
constexpr long ArchivoNoEncontrado = 3024;         // no se encuentra la base de datos
constexpr long ArchivoBloqueado = 3051;            // sin permiso o abierto en exclusiva
constexpr long SistemaNoEncontrado = 3028;         // falta el archivo de información de grupo de trabajo
constexpr long CuentaNoValida = 3029;              // usuario o contraseña no válidos
constexpr long DiscoLleno = 3026;                  // no queda espacio en el disco
constexpr long ErrorDisco = 3043;                  // error de disco o de red
constexpr long BaseOcupada = 3260;                 // bloqueada por otro proceso
constexpr long SoloLectura = 3027;                 // la base de datos es de sólo lectura
constexpr long ConexionNoValida = -2147467259;     // texto de conexión incompleto o erróneo
constexpr long RegistroModificado = 3197;          // otro ha guardado la fila desde que se leyó
constexpr long SinMemoria = 7;
constexpr long ErrorGeneral = 3000;
} // namespace NumeroError

// Fallo del almacén o de una rutina, con el número que deciden los manejadores.
class ErrorBD : public std::runtime_error
{
public:
    ErrorBD(long numero, const QString& descripcion, const QString& sentencia = {})
        : std::runtime_error(descripcion.toStdString()), numero_(numero), descripcion_(descripcion),
          sentencia_(sentencia)
    {
    }

    long numero() const { return numero_; }
    const QString& descripcion() const { return descripcion_; }
    // Sentencia que falló, si la hay; sirve para avisar al agotar reintentos.
    const QString& sentencia() const { return sentencia_; }

private:
    long numero_;
    QString descripcion_;
    QString sentencia_;
};
