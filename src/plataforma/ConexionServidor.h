#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

// Servidor PostgreSQL en el que puede vivir la base de datos, en lugar del archivo de la carpeta
// del programa, para que varios técnicos trabajen a la vez sobre los mismos datos.
struct DatosServidor
{
    QString servidor; // nombre o dirección del equipo
    int puerto = 5432;
    QString base;
    QString usuario;

    bool operator==(const DatosServidor&) const = default;
};

// Piezas "clave=valor" de un texto de conexión, separadas por ';', con las claves en minúsculas y
// los blancos de los lados quitados; las palabras sueltas (el "Jet OLEDB" final) no cuentan. Un
// valor entre comillas (dobles o simples, la comilla doblada vale por una) puede llevar ';' y
// blancos a los lados. Nada si una comilla no se cierra o le sigue algo antes del ';'.
std::optional<std::vector<std::pair<QString, QString>>> PiezasTextoConexion(const QString& texto);

// Valor listo para ponerlo en un texto de conexión: tal cual, o entre comillas dobles si lleva
// ';', empieza por comilla o tiene blancos a los lados.
QString ValorTextoConexion(const QString& valor);

// Proveedor con el que el texto de conexión nombra un servidor.
inline const QString ProveedorServidor = QStringLiteral("PostgreSQL");

// "servidor:puerto/base", como se nombra el servidor en el texto de conexión y en los avisos. Un
// servidor con ':' (una dirección IPv6) va entre corchetes.
QString FuenteServidor(const DatosServidor& datos);

// Texto de conexión de un servidor: "Provider=PostgreSQL;Data Source=servidor:puerto/base;User
// ID=usuario". Nunca lleva la contraseña: libpq la busca en su archivo de contraseñas. Los valores
// con ';', comillas al principio o blancos a los lados van entre comillas dobles, como las rutas
// del texto de conexión de un archivo.
QString TextoConexionServidor(const DatosServidor& datos);

// El servidor que nombra un texto de conexión; nada si el proveedor no es PostgreSQL o el texto
// está mal escrito (comillas sin cerrar, sin puerto válido, sin base o sin usuario).
std::optional<DatosServidor> AnalizarConexionServidor(const QString& texto);

// Verdadero si el texto de conexión es el de un servidor, aunque esté mal escrito.
bool EsConexionServidor(const QString& texto);

// Parámetros de conexión para PQconnectdb ("host='...' port='...' dbname='...' user='...'
// connect_timeout='...'"), con cada valor entre comillas simples y sus comillas y barras
// invertidas escapadas. La contraseña sólo va si se da; si no, libpq la busca en su archivo.
QByteArray ParametrosLibpq(const DatosServidor& datos, int segundosEspera, const QString& clave = {});
