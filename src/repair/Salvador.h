#pragma once

#include "repair/ArchivoSqlite.h"
#include "repair/OrigenSalvamento.h"
#include "repair/Salvamento.h"
#include "repair/SqlSalvamento.h"

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class Conexion;

namespace salvamento {
// Lo que comparten las partes del salvamento: cada tabla con lo que se sabe de ella y el recorrido
// que la llena. Salvamento.cpp lo dirige; LecturaSalvamento.cpp lee las filas del archivo dañado y
// PadresProvisionales.cpp da padre a las que lo han perdido.
using Valor = ArchivoSqlite::Valor;
using Fila = ArchivoSqlite::Fila;
using Tramo = ArchivoSqlite::Tramo;

// Una tabla del esquema nuevo y lo que se sabe de ella en el archivo dañado.
struct Tabla
{
    QString nombre;
    bool enArchivo = false; // su fila del esquema se ha leído
    bool sinRowid = false;
    quint32 raiz = 0;
    std::vector<Columna> viejas; // en el orden del registro
    std::vector<Tramo> tramos;
    std::set<qint64> vistas; // claves ya leídas (salvadas o rechazadas)
    bool porSql = false;     // SQLite aún llega a ella
    bool huecos = false;     // partes que no se han podido leer, de filas sin contar
    FilasTabla cuenta;
    qint64 leidas = 0, ilegibles = 0, rechazadas = 0;
    // Inserción en la tabla nueva: columna vieja de cada parámetro (tras la clave).
    std::vector<int> origenDe;
    std::unique_ptr<Sentencia> insertar;
    std::unique_ptr<Sentencia> leerTramo;

    bool conHuerfanas() const
    {
        return std::any_of(tramos.begin(), tramos.end(), [](const Tramo& t) { return t.huerfanas; });
    }
};

// El recorrido del salvamento sobre la base nueva, que ya tiene el esquema al día: lee el esquema
// viejo de las páginas, copia las filas tabla por tabla, reparte las hojas sueltas, repone el
// catálogo, da padres provisionales y cuenta lo salvado y lo perdido.
class Salvador
{
public:
    Salvador(const Origen& fuente, std::shared_ptr<Conexion> nueva);

    ResultadoSalvamento salvar(const QString& catalogo);

private:
    void leerEsquema();
    void prepararTabla(Tabla& t);
    void leerTramos(Tabla& t);
    void leerClaves(Tabla& t, quint32 hoja, const std::vector<qint64>& claves, size_t i, size_t j);
    // Lee por SQL las filas de [desde, hasta]; devuelve la última clave leída y si ha acabado.
    bool leerPorSql(Tabla& t, qint64 desde, qint64 hasta, std::optional<qint64>& ultima);
    void leerHuerfanas();
    bool encaja(const Tabla& t, const std::vector<Fila>& filas) const;
    qint64 padresPresentes(const Tabla& t, const std::vector<Fila>& filas);
    void guardar(Tabla& t, sqlite3_stmt* sql, const Fila* cruda, qint64 clave);
    void reponerCatalogo(const QString& catalogo, ResultadoSalvamento& r);
    void rehacerPadres();
    void crearProvisional(const QString& padre, const QStringList& claves, const QVariantList& valores,
                          const QString& hijo, qint64 filaHijo);
    void quitarHuerfanos();
    void contar(Tabla& t);
    Tabla* tabla(const QString& nombre);
    const std::vector<Columna>& nuevas(const QString& tabla);

    const Origen& fuente_;
    ArchivoSqlite archivo_;
    std::shared_ptr<Conexion> nueva_;
    sqlite3* bd_;
    std::vector<Tabla> tablas_;
    std::set<quint32> usadas_;
    bool esquemaCompleto_ = false;         // el esquema del archivo se ha leído entero
    bool esquemaConocido_ = false;         // y era de este programa (tiene alguna de sus tablas)
    std::map<QString, qint64> claveNueva_; // padre provisional para los hijos de padre desconocido
    std::map<QString, std::vector<Columna>> columnas_;
};

} // namespace salvamento
