#include "reports/MotorInforme.h"

#include "plataforma/Reloj.h"
#include "reports/DocumentoInforme.h"
#include "reports/Importes.h"
#include "store/Conexion.h"
#include "store/ErrorBD.h"
#include "store/SentenciaPreparada.h"
#include "store/VersionEvaluacion.h"

#include <QDate>
#include <QDir>
#include <QHash>
#include <QObject>
#include <QRegularExpression>
#include <kainjow/mustache.hpp>

namespace mus = kainjow::mustache;

namespace {
const QRegularExpression& marcaCampo()
{
    // {Tabla.Campo} dentro de una consulta de la plantilla.
    static const QRegularExpression marca(QStringLiteral("\\{(\\w+)\\.(\\w+)\\}"),
                                          QRegularExpression::UseUnicodePropertiesOption);
    return marca;
}

// Las marcas que se enlazan en una consulta: {Tabla.Campo}, {hoy}, el día del reloj del programa
// (el mismo que {{fecha}}), para que las consultas no dependan del date('now') de la base, y {huella},
// la de la evaluación del centro, calculada aquí para que sea la misma en el archivo y en el servidor.
const QRegularExpression& marcaConsulta()
{
    static const QRegularExpression marca(QStringLiteral("\\{(?:(\\w+)\\.(\\w+)|(hoy)|(huella))\\}"),
                                          QRegularExpression::UseUnicodePropertiesOption);
    return marca;
}

// Campos que las consultas de la plantilla saben filtrar.
QStringList camposFiltrables(const PlantillaInforme& p)
{
    QStringList campos;
    for (const ConsultaPlantilla& c : p.consultas) {
        auto it = marcaCampo().globalMatch(c.sql);
        while (it.hasNext()) {
            const auto m = it.next();
            const QString nombre = m.captured(1) + QLatin1Char('.') + m.captured(2);
            if (!campos.contains(nombre, Qt::CaseInsensitive))
                campos << nombre;
        }
    }
    return campos;
}

struct Tabla
{
    QString nombre;
    int padre = -1;
    QStringList claves;
    QStringList columnas;
    std::vector<std::vector<QVariant>> filas;
    std::vector<int> hijas;
    std::vector<std::vector<int>> filasDe; // por fila del padre, las filas de ésta que le cuelgan

    int columna(const QString& nombre) const
    {
        for (int i = 0; i < columnas.size(); ++i)
            if (columnas[i].compare(nombre, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
};

QString claveUnion(const std::vector<QVariant>& fila, const std::vector<int>& indices)
{
    QString clave;
    for (int i : indices)
        clave += (i < 0 ? QString() : fila[i].toString()) + QChar(0x1f);
    return clave;
}

// El servidor da en minúsculas los nombres de columna que no van entre comillas; la maquetación los
// nombra como los escribe la consulta. Se toma esa escritura: la del alias ("AS Nombre"), si no la de la
// columna ("e.Nombre") y si no la de la palabra suelta. Las palabras se recorren una sola vez.
class NombresEscritos
{
public:
    explicit NombresEscritos(const QString& sql)
    {
        static const QRegularExpression palabra(QStringLiteral("(\\bAS\\s+|\\.)?\\b(\\w+)\\b"),
                                                QRegularExpression::CaseInsensitiveOption |
                                                    QRegularExpression::UseUnicodePropertiesOption);
        auto it = palabra.globalMatch(sql);
        while (it.hasNext()) {
            const auto m = it.next();
            const int clase = m.captured(1).isEmpty() ? 2 : m.captured(1) == QLatin1String(".") ? 1 : 0;
            Escritura& e = escrituras_[m.captured(2).toLower()];
            if (clase < e.clase) {
                e.clase = clase;
                e.texto = m.captured(2);
            }
        }
    }
    QString de(const QString& nombre) const
    {
        const auto it = escrituras_.constFind(nombre.toLower());
        return it == escrituras_.constEnd() ? nombre : it->texto;
    }

private:
    struct Escritura
    {
        int clase = 3; // 0 alias, 1 columna, 2 palabra suelta
        QString texto;
    };
    QHash<QString, Escritura> escrituras_;
};

void leerConsulta(Conexion& con, const QString& sql, const std::vector<QVariant>& valores, Tabla& t)
{
    const SentenciaPreparada sentencia(con, sql.toUtf8());
    SentenciaMotor& st = *sentencia;
    // Una plantilla sólo lee: una sentencia que escribiría no se ejecuta.
    if (!st.soloLectura() || st.columnas() == 0)
        throw ErrorBD(NumeroError::ErrorGeneral,
                      QObject::tr("La consulta «%1» de la plantilla no es una lectura.").arg(t.nombre), sql);
    for (int i = 0; i < int(valores.size()); ++i)
        enlazar(con, st, i + 1, valores[i]);
    const int n = st.columnas();
    // En el archivo, los nombres tal como los da SQLite, que son los de siempre.
    std::optional<NombresEscritos> escritos;
    if (!st.sqlite())
        escritos.emplace(sql);
    for (int i = 0; i < n; ++i)
        t.columnas << (escritos ? escritos->de(st.nombreColumna(i)) : st.nombreColumna(i));
    PasoSentencia paso;
    while ((paso = st.paso()) == PasoSentencia::Fila) {
        std::vector<QVariant> fila(n);
        // Sin tipo declarado: las fechas llegan como texto y mostrar() las escribe a la española.
        for (int i = 0; i < n; ++i)
            fila[i] = st.valor(i, {});
        t.filas.push_back(std::move(fila));
    }
    if (paso == PasoSentencia::Fallo)
        con.lanzar(st.codigo(), sql);
}

// Cómo se ve un valor en el documento: fechas a la española, decimales con coma, nulo vacío.
std::string mostrar(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::UnknownType:
        return {};
    case QMetaType::Double: {
        QString s = QString::number(v.toDouble(), 'f', 2);
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
        return s.replace(QLatin1Char('.'), QLatin1Char(',')).toStdString();
    }
    case QMetaType::QString: {
        const QString s = v.toString();
        static const QRegularExpression fecha(
            QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})([ T]\\d{2}:\\d{2}(:\\d{2})?)?$"));
        const auto m = fecha.match(s);
        if (m.hasMatch())
            return (m.captured(3) + QLatin1Char('/') + m.captured(2) + QLatin1Char('/') + m.captured(1)).toStdString();
        return s.toStdString();
    }
    default:
        return v.toString().toStdString();
    }
}

// Los datos de Mustache se copian enteros al meterlos en un objeto o una lista: el árbol de un
// documento grande se copiaría una vez por nivel. Se meten vacíos y se llenan ya dentro (los
// métodos de la biblioteca sólo dan acceso de lectura a lo que guardan, que no es constante).
mus::data& listaDentro(mus::data& objeto, const std::string& nombre, size_t filas)
{
    objeto.set(nombre, mus::data{mus::data::type::list});
    auto& lista = const_cast<mus::data&>(*objeto.get(nombre));
    // Sin crecer después: al crecer, la lista copiaría enteras las filas ya puestas.
    const_cast<mus::basic_list<std::string>&>(lista.list_value()).reserve(filas);
    return lista;
}

mus::data& filaDentro(mus::data& lista)
{
    lista.push_back(mus::data{mus::data::type::object});
    return const_cast<mus::data&>(lista.list_value().back());
}

void llenarFila(mus::data& d, const std::vector<Tabla>& tablas, int ti, int fi, int numero, bool ultima)
{
    const Tabla& t = tablas[ti];
    const auto& fila = t.filas[fi];
    for (int c = 0; c < t.columnas.size(); ++c) {
        // Las columnas "si_..." son condiciones para las secciones de la maquetación: en Mustache
        // un texto, aunque sea "0", cuenta como cierto.
        if (t.columnas[c].startsWith(QLatin1String("si_"), Qt::CaseInsensitive)) {
            const QString v = fila[c].toString().trimmed();
            d.set(t.columnas[c].toStdString(),
                  mus::data(!fila[c].isNull() && !v.isEmpty() && v != QLatin1String("0") && v != QLatin1String("N")));
        } else if (fila[c].typeId() == QMetaType::Bool)
            d.set(t.columnas[c].toStdString(), mus::data(fila[c].toBool()));
        else
            d.set(t.columnas[c].toStdString(), mus::data(mostrar(fila[c])));
    }
    d.set("n", mus::data(std::to_string(numero)));
    d.set("primera", mus::data(numero == 1));
    d.set("ultima", mus::data(ultima));
    for (int hi : t.hijas) {
        const Tabla& h = tablas[hi];
        const auto& filas = h.filasDe[fi];
        mus::data& lista = listaDentro(d, h.nombre.toStdString(), filas.size());
        int k = 0;
        for (int j : filas) {
            ++k;
            llenarFila(filaDentro(lista), tablas, hi, j, k, k == int(filas.size()));
        }
    }
}

std::string renderizar(const QString& plantilla, const mus::data& datos, bool escapar)
{
    mus::mustache m(plantilla.toStdString());
    if (!escapar)
        m.set_custom_escape([](const std::string& s) { return s; });
    if (!m.is_valid())
        throw ErrorBD(
            NumeroError::ErrorGeneral,
            QObject::tr("La maquetación del informe no es válida: %1").arg(QString::fromStdString(m.error_message())));
    std::string r = m.render(datos);
    if (!m.is_valid())
        throw ErrorBD(
            NumeroError::ErrorGeneral,
            QObject::tr("La maquetación del informe no es válida: %1").arg(QString::fromStdString(m.error_message())));
    return r;
}
} // namespace

MotorInforme::MotorInforme() = default;
MotorInforme::~MotorInforme() = default;

void MotorInforme::abrirPlantilla(const QString& ruta)
{
    plantilla_.reset();
    plantilla_ = PlantillaInforme::leer(ruta);
}

void MotorInforme::fijarPropiedad(const QString& nombre, const QString& valor)
{
    conexion_.clear();
    if (nombre == QLatin1String("Database Name"))
        baseDatos_ = valor;
    else if (nombre == QLatin1String("System Database Path"))
        sistema_ = valor;
    else if (nombre == QLatin1String("Session User ID"))
        usuario_ = valor;
    else if (nombre == QLatin1String("Session Password"))
        clave_ = valor;
    else
        throw ErrorBD(NumeroError::ElementoNoEncontrado,
                      QObject::tr("La conexión del informe no tiene la propiedad «%1».").arg(nombre));
}

void MotorInforme::conectarCarpeta(const QString& carpeta)
{
    const DatosConexion d = analizarConexion(textoConexion(carpeta));
    fijarPropiedad(QStringLiteral("Database Name"), d.fuente);
    fijarPropiedad(QStringLiteral("System Database Path"), d.sistema);
    fijarPropiedad(QStringLiteral("Session User ID"), d.usuario);
    fijarPropiedad(QStringLiteral("Session Password"), d.clave);
}

void MotorInforme::fijarConexion(const QString& texto)
{
    conexion_ = texto;
}

QString MotorInforme::conexion() const
{
    if (!conexion_.isEmpty())
        return conexion_;
    // Mismo formato que el texto de conexión del programa: con las mismas rutas es la misma
    // conexión abierta y no una segunda sobre el mismo archivo.
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=") + valorConexion(clave_) +
           QStringLiteral(";Persist Security Info=True;User ID=") + valorConexion(usuario_) +
           QStringLiteral(";Data Source=") + valorConexion(baseDatos_) +
           QStringLiteral(";Mode=Read|Write;Jet OLEDB:System database=") + valorConexion(sistema_) +
           QStringLiteral(";Jet OLEDB");
}

void MotorInforme::fijarFormula(const QString& formula)
{
    condiciones_ = AnalizarFormula(formula);
}

void MotorInforme::fijarCondiciones(const std::vector<CondicionSeleccion>& condiciones)
{
    condiciones_ = condiciones;
}

bool MotorInforme::formulaValida() const
{
    if (!condiciones_ || !plantilla_)
        return false;
    const QStringList campos = camposFiltrables(*plantilla_);
    return std::all_of(condiciones_->begin(), condiciones_->end(),
                       [&](const CondicionSeleccion& c) { return campos.contains(c.nombre(), Qt::CaseInsensitive); });
}

std::unique_ptr<DocumentoInforme> MotorInforme::generar() const
{
    if (!plantilla_)
        throw ErrorBD(NumeroError::ErrorGeneral, QObject::tr("El informe no tiene plantilla."));
    const PlantillaInforme& p = *plantilla_;
    const bool conDatos = formulaValida();
    const auto condiciones = conDatos ? *condiciones_ : std::vector<CondicionSeleccion>{};

    std::vector<Tabla> tablas(p.consultas.size());
    std::shared_ptr<Conexion> con;
    if (conDatos)
        con = Conexion::obtener(conexion());
    // La huella sólo se calcula si alguna consulta la pide, y una sola vez.
    std::optional<QVariant> huella;
    const auto huellaCentro = [&]() -> QVariant {
        if (!huella) {
            huella = QVariant(QMetaType(QMetaType::QString));
            for (const CondicionSeleccion& cond : condiciones)
                if (cond.nombre().compare(QLatin1String("CentroTrabajo.IDCentro"), Qt::CaseInsensitive) == 0 &&
                    !cond.valor.isNull())
                    huella = HuellaEvaluacion(*con, cond.valor.toLongLong());
        }
        return *huella;
    };
    for (size_t i = 0; i < p.consultas.size(); ++i) {
        const ConsultaPlantilla& c = p.consultas[i];
        Tabla& t = tablas[i];
        t.nombre = c.nombre;
        t.claves = c.claves;
        for (size_t j = 0; j < i; ++j)
            if (tablas[j].nombre == c.padre)
                t.padre = int(j);
        if (t.padre >= 0) {
            tablas[t.padre].hijas.push_back(int(i));
            t.filasDe.resize(tablas[t.padre].filas.size());
        }
        if (!conDatos)
            continue;

        // Cada marca pasa a ser un parámetro enlazado con el valor de la fórmula (o NULL).
        QString sql = c.sql.trimmed();
        std::vector<QVariant> valores;
        QString final;
        qsizetype desde = 0;
        auto it = marcaConsulta().globalMatch(sql);
        while (it.hasNext()) {
            const auto m = it.next();
            final += sql.mid(desde, m.capturedStart() - desde) + QLatin1Char('?');
            desde = m.capturedEnd();
            if (m.hasCaptured(3)) {
                valores.push_back(Hoy().toString(Qt::ISODate));
                continue;
            }
            if (m.hasCaptured(4)) {
                valores.push_back(huellaCentro());
                continue;
            }
            const QString nombre = m.captured(1) + QLatin1Char('.') + m.captured(2);
            QVariant v;
            for (const CondicionSeleccion& cond : condiciones)
                if (cond.nombre().compare(nombre, Qt::CaseInsensitive) == 0)
                    v = cond.valor;
            valores.push_back(v);
        }
        final += sql.mid(desde);
        if (!p.comun.trimmed().isEmpty()) {
            // Con WITH RECURSIVE, la palabra va al principio de toda la lista: el servidor sólo deja
            // que una tabla se nombre a sí misma si la lista entera empieza así.
            static const QRegularExpression conWith(QStringLiteral("^with\\s+(recursive\\s+)?"),
                                                    QRegularExpression::CaseInsensitiveOption);
            const auto w = conWith.match(final);
            const QString inicio = w.hasCaptured(1) ? QStringLiteral("WITH RECURSIVE ") : QStringLiteral("WITH ");
            final = w.hasMatch() ? inicio + p.comun.trimmed() + QStringLiteral(", ") + final.mid(w.capturedEnd())
                                 : inicio + p.comun.trimmed() + QLatin1Char(' ') + final;
        }
        leerConsulta(*con, final, valores, t);

        if (t.padre >= 0) {
            const Tabla& padre = tablas[t.padre];
            std::vector<int> enPadre, enHija;
            for (const QString& clave : t.claves) {
                enPadre.push_back(padre.columna(clave));
                enHija.push_back(t.columna(clave));
                if (enPadre.back() < 0 || enHija.back() < 0)
                    throw ErrorBD(NumeroError::CampoNoEncontrado,
                                  QObject::tr("La consulta «%1» se une por «%2», que no está en las dos consultas.")
                                      .arg(t.nombre, clave));
            }
            QHash<QString, std::vector<int>> padres;
            for (int f = 0; f < int(padre.filas.size()); ++f)
                padres[claveUnion(padre.filas[f], enPadre)].push_back(f);
            for (int f = 0; f < int(t.filas.size()); ++f) {
                const auto encontrado = padres.constFind(claveUnion(t.filas[f], enHija));
                if (encontrado != padres.constEnd())
                    for (int fp : *encontrado)
                        t.filasDe[fp].push_back(f);
            }
        }
    }

    mus::data raiz{mus::data::type::object};
    raiz.set("titulo", p.titulo.toStdString());
    raiz.set("fecha", Hoy().toString(QStringLiteral("dd/MM/yyyy")).toStdString());
    raiz.set("con_datos", mus::data(conDatos));

    // Totales de importes escritos a mano: se suman los que se leen como importe; cada fila
    // lleva además el suyo con formato, o el texto tal como se escribió.
    for (const TotalPlantilla& total : p.totales) {
        double suma = 0;
        int sumados = 0, sinSumar = 0;
        for (Tabla& t : tablas) {
            if (t.nombre != total.consulta)
                continue;
            const int c = t.columna(total.campo);
            t.columnas << total.campo + QStringLiteral("_texto") << total.campo + QStringLiteral("_importe");
            for (auto& fila : t.filas) {
                const QString escrito = c < 0 ? QString() : fila[c].toString();
                const auto importe = LeerImporte(escrito);
                if (importe) {
                    suma += *importe;
                    ++sumados;
                } else if (!escrito.trimmed().isEmpty()) {
                    ++sinSumar;
                }
                fila.push_back(importe ? QVariant(FormatoImporte(*importe)) : QVariant(escrito.trimmed()));
                fila.push_back(QVariant(importe.has_value()));
            }
        }
        const std::string n = total.nombre.toStdString();
        raiz.set(n, FormatoImporte(suma).toStdString());
        raiz.set(n + "_sumados", std::to_string(sumados));
        raiz.set(n + "_sin_sumar", std::to_string(sinSumar));
        raiz.set(n + "_hay_sin_sumar", mus::data(sinSumar > 0));
    }

    for (int i = 0; i < int(tablas.size()); ++i) {
        if (tablas[i].padre >= 0)
            continue;
        const int filas = int(tablas[i].filas.size());
        mus::data& lista = listaDentro(raiz, tablas[i].nombre.toStdString(), size_t(filas));
        for (int f = 0; f < filas; ++f)
            llenarFila(filaDentro(lista), tablas, i, f, f + 1, f + 1 == filas);
    }

    const QString html = QString::fromStdString(renderizar(p.html, raiz, true));
    raiz.set("pagina", std::string("[[pagina]]"));
    raiz.set("paginas", std::string("[[paginas]]"));
    const QString cabecera = QString::fromStdString(renderizar(p.cabecera, raiz, false));
    const QString pie = QString::fromStdString(renderizar(p.pie, raiz, false));
    const QString archivo = QString::fromStdString(renderizar(p.archivo, raiz, false));
    const QString marca = QString::fromStdString(renderizar(p.marca, raiz, false));
    return std::make_unique<DocumentoInforme>(html, p.titulo, cabecera, pie, archivo, marca);
}
