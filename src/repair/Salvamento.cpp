#include "repair/Salvamento.h"

#include "repair/Salvador.h"
#include "store/Conexion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QStringList>
#include <algorithm>
#include <sqlite3.h>

namespace salvamento {

Salvador::Salvador(const Origen& fuente, std::shared_ptr<Conexion> nueva)
    : fuente_(fuente), archivo_(fuente.paginas(), !fuente.cabeceraRehecha()), nueva_(std::move(nueva)),
      bd_(nueva_->sqlite())
{
}

const std::vector<Columna>& Salvador::nuevas(const QString& tabla)
{
    auto it = columnas_.find(tabla.toLower());
    if (it == columnas_.end())
        it = columnas_.emplace(tabla.toLower(), columnasDe(bd_, tabla)).first;
    return it->second;
}

Tabla* Salvador::tabla(const QString& nombre)
{
    for (Tabla& t : tablas_)
        if (t.nombre.compare(nombre, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

void Salvador::reponerCatalogo(const QString& catalogo, ResultadoSalvamento& r)
{
    // Se lee de una copia propia: la entregada no se toca nunca.
    const QString copia = QDir::fromNativeSeparators(nueva_->datos().fuente) + ".catalogo";
    const auto borrar = [&] {
        for (const char* resto : {"", "-wal", "-shm", "-journal"})
            QFile::remove(copia + resto);
    };
    borrar();
    if (catalogo.isEmpty() || !QFileInfo::exists(catalogo) || !QFile::copy(catalogo, copia)) {
        r.sinCatalogo = true;
        return;
    }
    sqlite3* entregada = nullptr;
    if (sqlite3_open_v2(QDir::toNativeSeparators(copia).toUtf8().constData(), &entregada, SQLITE_OPEN_READWRITE,
                        nullptr) != SQLITE_OK) {
        r.sinCatalogo = true;
    } else {
        for (Tabla& t : tablas_) {
            if (t.sinRowid)
                continue;
            const std::vector<Columna> suyas = columnasDe(entregada, t.nombre);
            QStringList nombres{"rowid"}, marcas{"?"};
            for (const Columna& c : nuevas(t.nombre))
                if (!c.claveFila && indiceDe(suyas, c.nombre) >= 0) {
                    nombres << entreComillas(c.nombre);
                    marcas << "?";
                }
            Sentencia leer(entregada, "SELECT " + nombres.join(", ") + " FROM " + entreComillas(t.nombre));
            Sentencia poner(bd_, "INSERT OR IGNORE INTO " + entreComillas(t.nombre) + " (" + nombres.join(", ") +
                                     ") VALUES (" + marcas.join(", ") + ")");
            while (leer.preparada() && leer.paso() == SQLITE_ROW) {
                poner.reiniciar();
                for (int i = 0; i < nombres.size(); ++i)
                    sqlite3_bind_value(*poner, i + 1, sqlite3_column_value(*leer, i));
                const int rc = poner.paso();
                if (rc != SQLITE_DONE)
                    nueva_->lanzar(rc);
                t.cuenta.repuestas += sqlite3_changes(bd_);
            }
        }
    }
    sqlite3_close_v2(entregada);
    borrar();
}

void Salvador::contar(Tabla& t)
{
    std::optional<qint64> habia;
    // Sin forzar el índice: si la tabla está dañada, el recuento de un índice sano aún dice
    // cuántas filas había.
    if (t.porSql)
        habia = numero(fuente_.bd(), "SELECT count(*) FROM " + entreComillas(t.nombre));
    t.cuenta.tabla = t.nombre;
    if (habia) {
        t.cuenta.perdidas = std::max<qint64>(*habia - t.leidas, 0) + t.rechazadas;
        return;
    }
    t.cuenta.perdidas = t.ilegibles + t.rechazadas;
    // Una tabla que no está en un esquema leído entero no existía; si el esquema no se ha podido
    // leer, no se sabe qué había.
    const bool sinSaber = t.enArchivo ? t.huecos : !(esquemaCompleto_ && esquemaConocido_);
    t.cuenta.perdidasExactas = !sinSaber;
}

ResultadoSalvamento Salvador::salvar(const QString& catalogo)
{
    ResultadoSalvamento r;
    for (const QString& nombre : tablasEnOrden(bd_)) {
        Tabla t;
        t.nombre = nombre;
        tablas_.push_back(std::move(t));
    }
    leerEsquema();
    for (Tabla& t : tablas_) {
        prepararTabla(t);
        leerTramos(t);
    }
    leerHuerfanas();
    reponerCatalogo(catalogo, r);
    rehacerPadres();
    quitarHuerfanos();
    for (Tabla& t : tablas_) {
        contar(t);
        r.salvadas += t.cuenta.salvadas;
        r.perdidas += t.cuenta.perdidas;
        r.perdidasExactas = r.perdidasExactas && t.cuenta.perdidasExactas;
        r.tablas.push_back(t.cuenta);
    }
    return r;
}

} // namespace salvamento

ResultadoSalvamento SalvarFilas(const QString& origen, const QString& destino, const QString& catalogo)
{
    const salvamento::Origen fuente(origen, destino + QStringLiteral(".lectura"));
    auto nueva = Conexion::crear(destino);
    // Sin claves ajenas mientras se copia: un hijo cuyo padre se ha perdido entra igual y al
    // final se le da un padre provisional.
    nueva->ejecutar("PRAGMA foreign_keys = OFF");
    ResultadoSalvamento r;
    {
        Transaccion transaccion(nueva);
        r = salvamento::Salvador(fuente, nueva).salvar(catalogo);
        transaccion.confirmar();
    }
    nueva->ejecutar("PRAGMA foreign_keys = ON");
    return r;
}

QString DescribirSalvamento(const ResultadoSalvamento& r)
{
    QString texto = r.perdidasExactas
                        ? QObject::tr("se han salvado %1 filas y se han perdido %2.").arg(r.salvadas).arg(r.perdidas)
                        : QObject::tr("se han salvado %1 filas; no se sabe cuántas se han perdido en "
                                      "las partes dañadas.")
                              .arg(r.salvadas);
    QStringList partes;
    for (const FilasTabla& t : r.tablas) {
        if (t.salvadas == 0 && t.perdidas == 0 && t.perdidasExactas && t.provisionales == 0 && t.repuestas == 0)
            continue;
        QString parte = QObject::tr("%1: %2 salvadas, ").arg(t.tabla).arg(t.salvadas);
        parte +=
            t.perdidasExactas ? QObject::tr("%1 perdidas").arg(t.perdidas) : QObject::tr("no se sabe cuántas perdidas");
        if (t.provisionales > 0)
            parte +=
                QObject::tr(", %1 provisionales que conservan las filas que dependían de ellas").arg(t.provisionales);
        if (t.repuestas > 0)
            parte += QObject::tr(", %1 repuestas del catálogo entregado").arg(t.repuestas);
        partes << parte;
    }
    if (!partes.isEmpty())
        texto += QObject::tr(" Por tablas: %1.").arg(partes.join(QStringLiteral("; ")));
    if (r.sinCatalogo && !(r.perdidasExactas && r.perdidas == 0))
        texto += QObject::tr(" No se encuentra %1 en la carpeta del programa: si falta parte del catálogo, vuelva a "
                             "instalar el programa y repita la reparación.")
                     .arg(NombreCatalogoEntregado);
    return texto;
}
