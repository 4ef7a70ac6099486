#include "reports/exportar/ExportacionInformes.h"

#include "plataforma/Reloj.h"
#include "reports/DocumentoEmpresa.h"
#include "reports/DocumentoInforme.h"
#include "reports/ExportacionHoja.h"
#include "reports/ExportacionOdt.h"
#include "reports/Informes.h"
#include "reports/MotorInforme.h"
#include "store/Conexion.h"
#include "store/ErrorBD.h"
#include "store/Recordset.h"
#include "store/VersionEvaluacion.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QTextBoundaryFinder>
#include <QTextStream>
#include <algorithm>
#include <filesystem>
#include <iterator>
#include <system_error>

namespace {
// Los mismos principios de nombre que proponen las plantillas.
const QString PrefijoEvaluacion = QStringLiteral("Evaluación de riesgos");
const QString PrefijoPlanificacion = QStringLiteral("Planificación preventiva");
const QString PrefijoEmpresa = QStringLiteral("Evaluación y planificación");
const QString Separador = QStringLiteral(" - ");
// Por debajo de esto, un fallo al escribir es casi seguro el disco lleno.
constexpr qint64 EspacioEscaso = 4 * 1024 * 1024;

int bytes(const QString& texto)
{
    return int(texto.toUtf8().size());
}

QString limpio(QString nombre)
{
    static const QRegularExpression prohibidos(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1f\\x7f]"));
    nombre.replace(prohibidos, QStringLiteral("-"));
    nombre = nombre.simplified();
    while (nombre.endsWith(QLatin1Char('.')) || nombre.endsWith(QLatin1Char(' ')))
        nombre.chop(1);
    return nombre;
}

// Un PDF cortado no acaba con su tabla de referencias: el lector no lo abre.
bool pdfEntero(const QString& ruta)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly) || f.size() < 32 || f.read(5) != "%PDF-")
        return false;
    f.seek(qMax<qint64>(0, f.size() - 1024));
    const QByteArray cola = f.readAll();
    const qsizetype xref = cola.lastIndexOf("startxref");
    return xref >= 0 && cola.indexOf("%%EOF", xref) > xref;
}

std::filesystem::path rutaSistema(const QString& ruta)
{
    return std::filesystem::path(QDir::toNativeSeparators(ruta).toStdU16String());
}

QString nativa(const QString& ruta)
{
    return QDir::toNativeSeparators(ruta);
}
} // namespace

QString AyudaExportacion()
{
    return QStringLiteral(
        "Uso: ExportarInformes [--centro ID | --empresa ID] [--formato pdf|odt|xlsx|csv] [--destino CARPETA]\n"
        "Escribe en PDF la evaluación de riesgos y la planificación preventiva de un centro de trabajo\n"
        "(o de todos los que tienen puestos o plan, sin --centro) en la carpeta de destino (la actual,\n"
        "sin --destino). Con --empresa, un solo documento con todos los centros de la empresa: portada,\n"
        "índice, la evaluación de cada centro y después los planes. Con --formato odt, copias editables\n"
        "en OpenDocument. Cada evaluación escrita queda emitida: si ha cambiado, sube su versión.\n"
        "Los documentos que salen como borrador se dicen debajo de su nombre.\n"
        "Con --formato xlsx (Excel) o csv (separado por \";\", en UTF-8), los datos en hoja de cálculo:\n"
        "el plan con una fila por acción y la evaluación con una fila por riesgo de cada puesto, dos\n"
        "archivos por centro (con --empresa, los de cada uno de sus centros). Las hojas de cálculo no\n"
        "emiten la evaluación: no son el documento que se firma.\n"
        "Los datos se leen de donde los lee el programa: el archivo de su carpeta o, si se ha elegido en\n"
        "Origen de datos, el servidor PostgreSQL (con la contraseña del archivo de contraseñas de libpq).\n"
        "\n"
        "Códigos de salida:\n"
        "  0   todos los documentos escritos\n"
        "  2   no se encuentra o no se puede leer la base de datos o una plantilla\n"
        "  3   no se puede crear la carpeta de destino\n"
        "  4   no existe el centro de trabajo pedido\n"
        "  5   nada que exportar: ningún centro (o ninguno de la empresa) tiene puestos ni plan,\n"
        "      o el centro pedido no los tiene\n"
        "  6   algún documento no se ha podido escribir o emitir (se dice cuál y por qué); los demás, sí\n"
        "  7   no existe la empresa pedida\n"
        "  64  argumentos que no se entienden");
}

QString NombreArchivoSeguro(const QString& nombre, int maximo)
{
    QString texto = limpio(nombre);
    if (bytes(texto) <= maximo)
        return texto;
    const QString marca = QStringLiteral("…");
    const int cabe = maximo - bytes(marca);
    // Por grafemas: ni una letra partida ni una tilde suelta al final.
    QTextBoundaryFinder grafemas(QTextBoundaryFinder::Grapheme, texto);
    qsizetype corte = 0;
    int usados = 0;
    for (qsizetype p = grafemas.toNextBoundary(); p > 0; p = grafemas.toNextBoundary()) {
        usados += bytes(texto.mid(corte, p - corte));
        if (usados > cabe)
            break;
        corte = p;
    }
    texto = limpio(texto.left(corte));
    return cabe > 0 ? texto + marca : texto;
}

struct ExportacionInformes::Centro
{
    long long id;
    long long empresa;
    QString nombreEmpresa;
    QString nombre;
    bool conContenido; // tiene puestos o plan
};

struct ExportacionInformes::Motores
{
    MotorInforme evaluacion, planificacion;
};

ExportacionInformes::ExportacionInformes(QString carpetaPrograma, QString destino, QTextStream& salida,
                                         QTextStream& errores)
    : carpeta_(std::move(carpetaPrograma)), destino_(std::move(destino)), salida_(salida), errores_(errores)
{
}

QString ExportacionInformes::extension() const
{
    switch (formato_) {
    case FormatoDocumento::Odt:
        return QStringLiteral(".odt");
    case FormatoDocumento::Xlsx:
        return QStringLiteral(".xlsx");
    case FormatoDocumento::Csv:
        return QStringLiteral(".csv");
    case FormatoDocumento::Pdf:
        break;
    }
    return QStringLiteral(".pdf");
}

std::unique_ptr<ExportacionInformes::Motores> ExportacionInformes::abrirMotores(int& codigo)
{
    using namespace SalidaExportacion;
    if (!QDir().mkpath(destino_)) {
        errores_ << QStringLiteral("No se puede crear la carpeta de destino «%1». Compruebe la ruta y sus permisos.")
                        .arg(nativa(destino_))
                 << Qt::endl;
        codigo = Destino;
        return {};
    }
    const QString informes = QDir(carpeta_).filePath(QStringLiteral("Informes"));
    auto motores = std::make_unique<Motores>();
    try {
        // Las hojas de cálculo leen los datos directamente: no necesitan las plantillas.
        if (!enHoja()) {
            motores->evaluacion.abrirPlantilla(QDir(informes).filePath(Informes::FicheroEvaluacion));
            motores->planificacion.abrirPlantilla(QDir(informes).filePath(Informes::FicheroPlanificacion));
        }
        for (MotorInforme* motor : {&motores->evaluacion, &motores->planificacion}) {
            if (conexionPrograma_.isEmpty())
                motor->conectarCarpeta(carpeta_);
            else
                motor->fijarConexion(conexionPrograma_);
        }
    } catch (const ErrorBD& e) {
        errores_ << e.descripcion() << Qt::endl;
        codigo = BaseDatos;
        return {};
    }
    conexion_ = motores->evaluacion.conexion();
    codigo = Correcta;
    return motores;
}

std::vector<ExportacionInformes::Centro> ExportacionInformes::leerCentros(const QString& condicion, long long id)
{
    const QString consulta =
        QStringLiteral("Select c.IDCentro, c.IDEmpresa, e.Nombre, coalesce(c.Direccion, c.NombreCentro), "
                       "CASE WHEN exists (Select 1 from PuestosCentros p where p.IDCentro = c.IDCentro) or "
                       "exists (Select 1 from \"ActuaciónPreventiva\" a where a.IDCentro = c.IDCentro) "
                       "THEN 1 ELSE 0 END "
                       "from CentroTrabajo c left join Empresas e on e.IDEmpresa = c.IDEmpresa ");
    Recordset rs;
    if (condicion.isEmpty())
        rs.open(consulta + QStringLiteral("order by c.IDCentro"), conexion_);
    else
        rs.open(consulta + QStringLiteral("where ") + condicion + QStringLiteral(" order by c.IDCentro"), conexion_,
                {id});
    std::vector<Centro> centros;
    for (; !rs.eof(); rs.moveNext())
        centros.push_back({rs.value(0).toLongLong(), rs.value(1).toLongLong(), rs.value(2).toString(),
                           rs.value(3).toString(), rs.value(4).toLongLong() != 0});
    return centros;
}

// Quita de la lista los centros sin puestos ni plan y los devuelve.
std::vector<ExportacionInformes::Centro> ExportacionInformes::apartarVacios(std::vector<Centro>& centros)
{
    std::vector<Centro> vacios;
    const auto sinNada = [](const Centro& c) { return !c.conContenido; };
    std::copy_if(centros.begin(), centros.end(), std::back_inserter(vacios), sinNada);
    centros.erase(std::remove_if(centros.begin(), centros.end(), sinNada), centros.end());
    return vacios;
}

int ExportacionInformes::ejecutar(std::optional<long long> soloCentro)
{
    using namespace SalidaExportacion;
    int codigo = Correcta;
    const auto motores = abrirMotores(codigo);
    if (!motores)
        return codigo;
    std::vector<Centro> centros;
    try {
        centros = soloCentro ? leerCentros(QStringLiteral("c.IDCentro = ?"), *soloCentro) : leerCentros({}, 0);
    } catch (const ErrorBD& e) {
        errores_ << e.descripcion() << Qt::endl;
        return BaseDatos;
    }

    if (soloCentro && centros.empty()) {
        errores_ << QStringLiteral("No existe el centro de trabajo %1.").arg(*soloCentro) << Qt::endl;
        return CentroInexistente;
    }
    if (centros.empty()) {
        errores_ << QStringLiteral("No hay centros de trabajo en la base de datos: no se ha escrito nada. Dé de alta "
                                   "la empresa y sus centros en el programa.")
                 << Qt::endl;
        return NadaQueExportar;
    }
    if (soloCentro && !centros.front().conContenido) {
        errores_ << QStringLiteral("El centro de trabajo %1 («%2») no tiene puestos ni planificación: no hay nada que "
                                   "exportar. Añada sus puestos o su plan en el programa.")
                        .arg(*soloCentro)
                        .arg(centros.front().nombre)
                 << Qt::endl;
        return NadaQueExportar;
    }
    const std::vector<Centro> omitidos = apartarVacios(centros);
    if (centros.empty()) {
        errores_ << QStringLiteral("Ningún centro de trabajo tiene puestos ni planificación: no se ha escrito nada.")
                 << Qt::endl;
        avisarOmitidos(omitidos);
        return NadaQueExportar;
    }

    const auto [fallidos, total] = escribirCentros(centros, *motores);
    avisarOmitidos(omitidos);
    return resumen(fallidos, total);
}

std::pair<int, int> ExportacionInformes::escribirCentros(const std::vector<Centro>& centros, Motores& motores)
{
    int fallidos = 0, total = 0;
    for (const Centro& c : centros) {
        const std::tuple<MotorInforme*, QString, QString> documentos[] = {
            {&motores.evaluacion, PrefijoEvaluacion, FormulaEvaluacion(c.id, c.empresa)},
            {&motores.planificacion, PrefijoPlanificacion, FormulaPlanificacion(c.id)},
        };
        for (const auto& [motor, prefijo, formula] : documentos) {
            ++total;
            const QString ruta = QDir(destino_).filePath(nombreUnico(prefijo, c) + extension());
            if (enHoja()) {
                fallidos += !escribirHoja(motor == &motores.planificacion, c, ruta);
                continue;
            }
            try {
                motor->fijarFormula(formula);
                if (escribir(*motor->generar(), ruta) && (motor != &motores.evaluacion || emitir(c.id, ruta)))
                    continue;
            } catch (const ErrorBD& e) {
                errores_ << QStringLiteral("No se ha podido preparar «%1»: %2").arg(nativa(ruta), e.descripcion())
                         << Qt::endl;
            }
            ++fallidos;
        }
    }
    return {fallidos, total};
}

bool ExportacionInformes::escribirHoja(bool plan, const Centro& centro, const QString& ruta)
{
    QString motivo;
    try {
        const FilasExportacion tabla = plan ? FilasPlan(conexion_, centro.id) : FilasEvaluacion(conexion_, centro.id);
        const FormatoHoja formato = formato_ == FormatoDocumento::Xlsx ? FormatoHoja::Xlsx : FormatoHoja::Csv;
        if (EscribirHoja(tabla, ruta, formato, motivo)) {
            salida_ << nativa(ruta) << Qt::endl;
            return true;
        }
    } catch (const ErrorBD& e) {
        errores_ << QStringLiteral("No se ha podido preparar «%1»: %2").arg(nativa(ruta), e.descripcion()) << Qt::endl;
        return false;
    }
    // El disco lleno o de sólo lectura se dice como tal, con lo que hay que hacer.
    const QString disco = motivoFallo();
    errores_ << QStringLiteral("No se ha podido escribir «%1»: %2.").arg(nativa(ruta), disco.isEmpty() ? motivo : disco)
             << Qt::endl;
    return false;
}

int ExportacionInformes::ejecutarEmpresa(long long idEmpresa)
{
    using namespace SalidaExportacion;
    int codigo = Correcta;
    const auto motores = abrirMotores(codigo);
    if (!motores)
        return codigo;
    DatosEmpresa empresa;
    std::vector<Centro> centros;
    try {
        Recordset rs;
        rs.open(QStringLiteral("Select IDEmpresa, Nombre, CIF, Direccion, CodPostal, Poblacion, Provincia, Persona, "
                               "Cargo, Formacion, TotalTrabajadores from Empresas where IDEmpresa = ?"),
                conexion_, {idEmpresa});
        if (rs.eof()) {
            errores_ << QStringLiteral("No existe la empresa %1.").arg(idEmpresa) << Qt::endl;
            return EmpresaInexistente;
        }
        const auto texto = [&](int i) { return rs.value(i).toString(); };
        empresa = {rs.value(0).toLongLong(),
                   texto(1),
                   texto(2),
                   texto(3),
                   texto(4),
                   texto(5),
                   texto(6),
                   texto(7),
                   texto(8),
                   texto(9),
                   rs.value(10).toLongLong()};
        centros = leerCentros(QStringLiteral("c.IDEmpresa = ?"), idEmpresa);
    } catch (const ErrorBD& e) {
        errores_ << e.descripcion() << Qt::endl;
        return BaseDatos;
    }
    const std::vector<Centro> omitidos = apartarVacios(centros);
    if (centros.empty()) {
        errores_ << QStringLiteral("La empresa %1 («%2») no tiene centros de trabajo con puestos o planificación: no "
                                   "hay nada que exportar.")
                        .arg(idEmpresa)
                        .arg(empresa.nombre)
                 << Qt::endl;
        avisarOmitidos(omitidos);
        return NadaQueExportar;
    }
    // En hoja de cálculo no hay documento de empresa: van las hojas de cada uno de sus centros.
    if (enHoja()) {
        const auto [fallidos, total] = escribirCentros(centros, *motores);
        avisarOmitidos(omitidos);
        return resumen(fallidos, total);
    }

    const QString nombre =
        NombreArchivoSeguro(PrefijoEmpresa + Separador + limpio(empresa.nombre), BytesNombre - bytes(extension()));
    const QString ruta = QDir(destino_).filePath(nombre + extension());
    bool escrito = false;
    try {
        // Primero todas las evaluaciones y después todos los planes.
        std::vector<std::unique_ptr<DocumentoInforme>> documentos;
        std::vector<ParteEmpresa> partes;
        for (MotorInforme* motor : {&motores->evaluacion, &motores->planificacion})
            for (const Centro& c : centros) {
                const bool esEvaluacion = motor == &motores->evaluacion;
                motor->fijarFormula(esEvaluacion ? FormulaEvaluacion(c.id, c.empresa) : FormulaPlanificacion(c.id));
                documentos.push_back(motor->generar());
                partes.push_back(
                    {esEvaluacion ? PrefijoEvaluacion : PrefijoPlanificacion, c.nombre, documentos.back().get()});
            }
        escrito = escribir(*ComponerDocumentoEmpresa(empresa, partes).documento, ruta);
    } catch (const ErrorBD& e) {
        errores_ << QStringLiteral("No se ha podido preparar «%1»: %2").arg(nativa(ruta), e.descripcion()) << Qt::endl;
    }
    bool emitidas = escrito;
    for (const Centro& c : centros)
        emitidas = escrito && emitir(c.id, ruta) && emitidas;
    avisarOmitidos(omitidos);
    if (!escrito)
        return resumen(1, 1);
    return emitidas ? Correcta : Incompleta;
}

void ExportacionInformes::avisarOmitidos(const std::vector<Centro>& omitidos)
{
    if (omitidos.empty())
        return;
    salida_ << QStringLiteral("Sin exportar, porque no tienen puestos ni planificación:") << Qt::endl;
    for (const Centro& c : omitidos)
        salida_
            << QStringLiteral("  centro %1: %2").arg(c.id).arg(QStringList{c.nombreEmpresa, c.nombre}.join(Separador))
            << Qt::endl;
}

int ExportacionInformes::resumen(int fallidos, int total)
{
    if (fallidos == 0)
        return SalidaExportacion::Correcta;
    errores_ << QStringLiteral("No se han podido escribir %1 de los %2 documentos; los demás están en «%3».")
                    .arg(fallidos)
                    .arg(total)
                    .arg(nativa(destino_))
             << Qt::endl;
    return SalidaExportacion::Incompleta;
}

bool ExportacionInformes::emitir(long long idCentro, const QString& ruta)
{
    try {
        EmitirVersion(*Conexion::obtener(conexion_), idCentro, QDateTime(Hoy(), QTime::currentTime()));
        return true;
    } catch (const ErrorBD& e) {
        errores_ << QStringLiteral("Se ha escrito «%1», pero no se ha podido apuntar la versión de la evaluación del "
                                   "centro %2: %3")
                        .arg(nativa(ruta))
                        .arg(idCentro)
                        .arg(e.descripcion())
                 << Qt::endl;
        return false;
    }
}

QString ExportacionInformes::nombreUnico(const QString& prefijo, const Centro& centro)
{
    const QString empresa = limpio(centro.nombreEmpresa), sitio = limpio(centro.nombre);
    const auto componer = [&](const QString& sufijo) {
        QStringList partes{prefijo};
        const int separadores = bytes(Separador) * (int(!empresa.isEmpty()) + int(!sitio.isEmpty()));
        const int cabe = BytesNombre - bytes(extension()) - bytes(prefijo) - bytes(sufijo) - separadores;
        // Cada parte conserva lo suyo si cabe; si no, las dos se reparten el sitio.
        int paraEmpresa = bytes(empresa);
        if (paraEmpresa + bytes(sitio) > cabe)
            paraEmpresa = qMax(cabe / 2, cabe - bytes(sitio));
        paraEmpresa = qMin(paraEmpresa, bytes(empresa));
        if (!empresa.isEmpty())
            partes << NombreArchivoSeguro(empresa, paraEmpresa);
        if (!sitio.isEmpty())
            partes << NombreArchivoSeguro(sitio, cabe - paraEmpresa);
        return partes.join(Separador) + sufijo;
    };
    // Dos centros con el mismo nombre, o que recortados quedan iguales, no se pisan el archivo
    // (tampoco donde las mayúsculas no cuentan).
    QString nombre = componer({});
    for (int n = 1; usados_.contains(nombre.toCaseFolded()); ++n)
        nombre = componer(n == 1 ? QStringLiteral(" (centro %1)").arg(centro.id)
                                 : QStringLiteral(" (centro %1-%2)").arg(centro.id).arg(n));
    usados_.insert(nombre.toCaseFolded());
    return nombre;
}

bool ExportacionInformes::escribir(const DocumentoInforme& documento, const QString& ruta)
{
    // Con nombre provisional en la misma carpeta: el nombre definitivo sólo llega a un archivo entero.
    static int serie = 0;
    const QString provisional = QDir(destino_).filePath(
        QStringLiteral(".ExportarInformes-%1-%2").arg(QCoreApplication::applicationPid()).arg(++serie) + extension());
    QFile::remove(provisional);
    const bool odt = formato_ == FormatoDocumento::Odt;
    const bool escrito = escritor_ ? escritor_(documento, provisional)
                                   : (odt ? EscribirOdt(documento, provisional) : documento.exportarPdf(provisional));
    QString motivo;
    if (!escrito || !(odt ? OdtEntero(provisional) : pdfEntero(provisional))) {
        motivo = motivoFallo();
        if (motivo.isEmpty())
            motivo = escrito ? QStringLiteral("el archivo ha quedado cortado")
                             : QStringLiteral("el sistema no ha dejado escribirlo; compruebe que puede escribir en la "
                                              "carpeta");
    } else {
        std::error_code ec;
        std::filesystem::rename(rutaSistema(provisional), rutaSistema(ruta), ec);
        if (!ec) {
            salida_ << nativa(ruta) << Qt::endl;
            // Quien reparte los documentos tiene que saber cuáles no están para firmar.
            if (!documento.marca().trimmed().isEmpty())
                salida_ << QStringLiteral("  escrito como borrador: %1").arg(documento.marca().simplified())
                        << Qt::endl;
            return true;
        }
        motivo = QStringLiteral("no se ha podido poner en su sitio; compruebe que no está abierto en otro programa");
    }
    QFile::remove(provisional);
    errores_ << QStringLiteral("No se ha podido escribir «%1»: %2.").arg(nativa(ruta), motivo) << Qt::endl;
    return false;
}

QString ExportacionInformes::motivoFallo() const
{
    const QStorageInfo disco(destino_);
    if (!disco.isValid())
        return {};
    if (disco.isReadOnly())
        return QStringLiteral("la carpeta de destino es de sólo lectura; elija otra con --destino");
    if (disco.bytesAvailable() >= 0 && disco.bytesAvailable() < EspacioEscaso)
        return QStringLiteral("no queda sitio en el disco de destino; libere espacio o elija otra carpeta con "
                              "--destino");
    return {};
}
