#include "repair/Salvador.h"

#include "store/Conexion.h"

#include <QObject>
#include <QVariant>
#include <sqlite3.h>
#include <tuple>

namespace salvamento {
namespace {
// Texto de las filas provisionales: dice de dónde sale y qué clave tenía el padre perdido.
struct Rotulo
{
    const char* tabla;
    const char* columna;
    const char* texto;
};
const Rotulo rotulos[] = {
    {"Empresas", "Nombre", QT_TRANSLATE_NOOP("Salvamento", "Empresa recuperada %1")},
    {"CentroTrabajo", "NombreCentro", QT_TRANSLATE_NOOP("Salvamento", "Centro recuperado %1")},
    {"PuestosCentros", "Puesto", QT_TRANSLATE_NOOP("Salvamento", "Puesto recuperado %1")},
    {"FactoresSeleccionarEvaluacion", "Factor", QT_TRANSLATE_NOOP("Salvamento", "Factor recuperado %1")},
    {"ActuaciónPreventiva", "Persona", QT_TRANSLATE_NOOP("Salvamento", "Plan recuperado %1")},
    {"FactoresRiesgos", "Factor", QT_TRANSLATE_NOOP("Salvamento", "Factor recuperado %1")},
    {"Riesgos", "Riesgo", QT_TRANSLATE_NOOP("Salvamento", "Riesgo recuperado %1")},
};
} // namespace

void Salvador::crearProvisional(const QString& padre, const QStringList& claves, const QVariantList& valores,
                                const QString& hijo, qint64 filaHijo)
{
    const std::vector<Columna> columnas = nuevas(padre);
    std::map<QString, QVariant> fila;
    for (int i = 0; i < claves.size(); ++i) {
        QString clave = claves[i];
        for (const Columna& c : columnas)
            if (c.claveFila && clave.compare("rowid", Qt::CaseInsensitive) == 0)
                clave = c.nombre;
        fila[clave.toLower()] = valores[i];
    }
    // Claves ajenas del padre: sus valores se buscan en el hijo y, si no, en otras tablas que
    // guardan las dos claves (un centro perdido dice su empresa en sus factores y evaluaciones).
    std::map<QString, QString> ajenas; // columna -> tabla a la que apunta
    Sentencia fk(bd_, "SELECT lower(\"from\"), \"table\" FROM pragma_foreign_key_list(?)");
    fk.enlazar(1, padre);
    while (fk.paso() == SQLITE_ROW)
        ajenas[textoDe(*fk, 0)] = textoDe(*fk, 1);
    std::set<QString> nombresDeClave;
    for (Tabla& t : tablas_)
        for (const Columna& c : nuevas(t.nombre))
            if (c.claveFila)
                nombresDeClave.insert(c.nombre.toLower());
    const auto buscar = [&](const QString& columna) -> QVariant {
        std::vector<std::pair<QString, QString>> dondes{{hijo, "rowid = ?"}};
        if (claves.size() == 1)
            for (Tabla& t : tablas_)
                if (t.nombre.compare(padre, Qt::CaseInsensitive) != 0 && t.nombre != hijo)
                    dondes.push_back({t.nombre, entreComillas(claves[0]) + " = ?"});
        for (const auto& [t, donde] : dondes) {
            const std::vector<Columna>& suyas = nuevas(t);
            const int i = indiceDe(suyas, columna);
            if (i < 0 || suyas[size_t(i)].claveFila || (t != hijo && indiceDe(suyas, claves[0]) < 0))
                continue;
            Sentencia st(bd_, "SELECT " + entreComillas(columna) + " FROM " + entreComillas(t) + " WHERE " + donde +
                                  " AND " + entreComillas(columna) + " IS NOT NULL LIMIT 1");
            st.enlazar(1, t == hijo ? filaHijo : valores[0].toLongLong());
            if (st.paso() == SQLITE_ROW)
                return sqlite3_column_int64(*st, 0);
        }
        return {};
    };
    const QVariant clave = valores.size() == 1 ? valores[0] : QVariant();
    QString rotulo = QStringLiteral("");
    const char* columnaRotulo = nullptr;
    for (const Rotulo& r : rotulos)
        if (padre.compare(QString::fromUtf8(r.tabla), Qt::CaseInsensitive) == 0) {
            columnaRotulo = r.columna;
            rotulo = QObject::tr(r.texto).arg(clave.isValid() ? clave.toString() : QString());
        }
    QStringList nombres, marcas;
    QVariantList datos;
    for (const Columna& c : columnas) {
        const QString n = c.nombre.toLower();
        QVariant v = fila.count(n) ? fila[n] : QVariant();
        if (!v.isValid() && (ajenas.count(n) || nombresDeClave.count(n)))
            v = buscar(c.nombre);
        if (!v.isValid() && c.noNula && ajenas.count(n)) {
            // Ni rastro de su padre: todos los de este caso cuelgan de uno provisional nuevo.
            const QString abuelo = ajenas[n];
            if (!claveNueva_.count(abuelo))
                claveNueva_[abuelo] =
                    numero(bd_, "SELECT coalesce(max(rowid), 0) + 1 FROM " + entreComillas(abuelo)).value_or(1);
            v = claveNueva_[abuelo];
        }
        if (!v.isValid() && columnaRotulo && c.nombre == QString::fromUtf8(columnaRotulo))
            v = rotulo;
        if (!v.isValid() && c.noNula)
            v = c.texto ? QVariant(rotulo) : QVariant(0);
        if (!v.isValid())
            continue;
        nombres << entreComillas(c.nombre);
        marcas << "?";
        datos << v;
    }
    Sentencia poner(bd_, "INSERT OR IGNORE INTO " + entreComillas(padre) + " (" + nombres.join(", ") + ") VALUES (" +
                             marcas.join(", ") + ")");
    for (int i = 0; i < datos.size(); ++i)
        if (datos[i].typeId() == QMetaType::QString)
            poner.enlazar(i + 1, datos[i].toString());
        else
            poner.enlazar(i + 1, datos[i].toLongLong());
    const int rc = poner.paso();
    // Una clave que no es un número no puede ser la de un padre: el hijo se quita después.
    if (rc != SQLITE_DONE && (rc & 0xff) != SQLITE_CONSTRAINT && (rc & 0xff) != SQLITE_MISMATCH)
        nueva_->lanzar(rc);
    if (Tabla* t = tabla(padre); t && rc == SQLITE_DONE)
        t->cuenta.provisionales += sqlite3_changes(bd_);
}

// Cada fila cuyo padre se ha perdido se queda, colgando de un padre provisional. Los padres
// provisionales pueden a su vez necesitar el suyo: se repite hasta que no falta ninguno.
void Salvador::rehacerPadres()
{
    std::set<QString> hechos;
    for (int vuelta = 0; vuelta < 32; ++vuelta) {
        Sentencia faltan(bd_, "SELECT \"table\", rowid, fkid FROM pragma_foreign_key_check");
        std::vector<std::tuple<QString, qint64, int>> lista;
        while (faltan.paso() == SQLITE_ROW)
            lista.emplace_back(textoDe(*faltan, 0), sqlite3_column_int64(*faltan, 1), sqlite3_column_int(*faltan, 2));
        bool alguno = false;
        for (const auto& [hijo, fila, id] : lista) {
            QString padre;
            QStringList de, a;
            Sentencia fk(bd_, "SELECT \"table\", \"from\", \"to\" FROM pragma_foreign_key_list(?) WHERE id = ? "
                              "ORDER BY seq");
            fk.enlazar(1, hijo);
            fk.enlazar(2, id);
            while (fk.paso() == SQLITE_ROW) {
                padre = textoDe(*fk, 0);
                de << entreComillas(textoDe(*fk, 1));
                a << (sqlite3_column_type(*fk, 2) == SQLITE_NULL ? QStringLiteral("rowid") : textoDe(*fk, 2));
            }
            if (padre.isEmpty())
                continue;
            Sentencia valores(bd_, "SELECT " + de.join(", ") + " FROM " + entreComillas(hijo) + " WHERE rowid = ?");
            valores.enlazar(1, fila);
            if (valores.paso() != SQLITE_ROW)
                continue;
            QVariantList v;
            QString huella = padre;
            for (int i = 0; i < de.size(); ++i) {
                if (sqlite3_column_type(*valores, i) == SQLITE_INTEGER)
                    v << sqlite3_column_int64(*valores, i);
                else
                    v << textoDe(*valores, i);
                huella += ':' + v.last().toString();
            }
            if (!hechos.insert(huella).second)
                continue;
            crearProvisional(padre, a, v, hijo, fila);
            alguno = true;
        }
        if (!alguno)
            break;
    }
}

// Lo que aún quede sin padre (un valor que no es una clave) no puede entrar: se cuenta como perdido.
void Salvador::quitarHuerfanos()
{
    for (int vuelta = 0; vuelta < 32; ++vuelta) {
        Sentencia faltan(bd_, "SELECT DISTINCT \"table\", rowid FROM pragma_foreign_key_check");
        std::vector<std::pair<QString, qint64>> lista;
        while (faltan.paso() == SQLITE_ROW)
            lista.emplace_back(textoDe(*faltan, 0), sqlite3_column_int64(*faltan, 1));
        if (lista.empty())
            return;
        for (const auto& [hijo, fila] : lista) {
            nueva_->ejecutar("DELETE FROM " + entreComillas(hijo) + " WHERE rowid = ?", {fila});
            if (Tabla* t = tabla(hijo)) {
                --t->cuenta.salvadas;
                ++t->rechazadas;
            }
        }
    }
}

} // namespace salvamento
