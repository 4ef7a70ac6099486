#include "reports/exportar/ExportacionInformes.h"

#include "reports/DocumentoInforme.h"
#include "reports/Informes.h"
#include "reports/MotorInforme.h"
#include "store/ErrorBD.h"
#include "store/Recordset.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QTextBoundaryFinder>
#include <QTextStream>
#include <filesystem>
#include <system_error>

namespace {
// Los mismos principios de nombre que proponen las plantillas.
const QString PrefijoEvaluacion = QStringLiteral("Evaluación de riesgos");
const QString PrefijoPlanificacion = QStringLiteral("Planificación preventiva");
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
        "Uso: ExportarInformes [--centro ID] [--destino CARPETA]\n"
        "Escribe en PDF la evaluación de riesgos y la planificación preventiva de un centro de trabajo\n"
        "(o de todos, sin --centro) en la carpeta de destino (la actual, sin --destino).\n"
        "\n"
        "Códigos de salida:\n"
        "  0   todos los documentos escritos\n"
        "  2   no se encuentra o no se puede leer la base de datos o una plantilla\n"
        "  3   no se puede crear la carpeta de destino\n"
        "  4   no existe el centro de trabajo pedido\n"
        "  5   nada que exportar: no hay centros, o el centro pedido no tiene puestos ni plan\n"
        "  6   algún documento no se ha podido escribir (se dice cuál y por qué); los demás, sí\n"
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
};

ExportacionInformes::ExportacionInformes(QString carpetaPrograma, QString destino, QTextStream& salida,
                                         QTextStream& errores)
    : carpeta_(std::move(carpetaPrograma)), destino_(std::move(destino)), salida_(salida), errores_(errores),
      escritor_([](const DocumentoInforme& d, const QString& ruta) { return d.exportarPdf(ruta); })
{
}

int ExportacionInformes::ejecutar(std::optional<long long> soloCentro)
{
    using namespace SalidaExportacion;
    if (!QDir().mkpath(destino_)) {
        errores_ << QStringLiteral("No se puede crear la carpeta de destino «%1». Compruebe la ruta y sus permisos.")
                        .arg(nativa(destino_))
                 << Qt::endl;
        return Destino;
    }

    const QString informes = QDir(carpeta_).filePath(QStringLiteral("Informes"));
    MotorInforme evaluacion, planificacion;
    std::vector<Centro> centros;
    bool conContenido = false;
    try {
        evaluacion.abrirPlantilla(QDir(informes).filePath(Informes::FicheroEvaluacion));
        planificacion.abrirPlantilla(QDir(informes).filePath(Informes::FicheroPlanificacion));
        evaluacion.conectarCarpeta(carpeta_);
        planificacion.conectarCarpeta(carpeta_);

        const QString consulta = QStringLiteral(
            "Select c.IDCentro, c.IDEmpresa, e.Nombre, coalesce(c.Direccion, c.NombreCentro) from CentroTrabajo c "
            "left join Empresas e on e.IDEmpresa = c.IDEmpresa");
        Recordset rs;
        if (soloCentro)
            rs.open(consulta + QStringLiteral(" where c.IDCentro = ?"), evaluacion.conexion(), {*soloCentro});
        else
            rs.open(consulta + QStringLiteral(" order by c.IDCentro"), evaluacion.conexion());
        for (; !rs.eof(); rs.moveNext())
            centros.push_back(
                {rs.value(0).toLongLong(), rs.value(1).toLongLong(), rs.value(2).toString(), rs.value(3).toString()});
        if (soloCentro && !centros.empty()) {
            Recordset puestos, plan;
            puestos.open(QStringLiteral("Select IDPuestoCentro from PuestosCentros where IDCentro = ?"),
                         evaluacion.conexion(), {*soloCentro});
            plan.open(QStringLiteral("Select IDActuacion from \"ActuaciónPreventiva\" where IDCentro = ?"),
                      evaluacion.conexion(), {*soloCentro});
            conContenido = !puestos.eof() || !plan.eof();
        }
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
    if (soloCentro && !conContenido) {
        errores_ << QStringLiteral("El centro de trabajo %1 («%2») no tiene puestos ni planificación: no hay nada que "
                                   "exportar. Añada sus puestos o su plan en el programa.")
                        .arg(*soloCentro)
                        .arg(centros.front().nombre)
                 << Qt::endl;
        return NadaQueExportar;
    }

    int fallidos = 0, total = 0;
    for (const Centro& c : centros) {
        const std::tuple<MotorInforme*, QString, QString> documentos[] = {
            {&evaluacion, PrefijoEvaluacion, FormulaEvaluacion(c.id, c.empresa)},
            {&planificacion, PrefijoPlanificacion, FormulaPlanificacion(c.id)},
        };
        for (const auto& [motor, prefijo, formula] : documentos) {
            ++total;
            const QString ruta = QDir(destino_).filePath(nombreUnico(prefijo, c) + QStringLiteral(".pdf"));
            try {
                motor->fijarFormula(formula);
                if (escribir(*motor->generar(), ruta))
                    continue;
            } catch (const ErrorBD& e) {
                errores_ << QStringLiteral("No se ha podido preparar «%1»: %2").arg(nativa(ruta), e.descripcion())
                         << Qt::endl;
            }
            ++fallidos;
        }
    }
    if (fallidos == 0)
        return Correcta;
    errores_ << QStringLiteral("No se han podido escribir %1 de los %2 documentos; los demás están en «%3».")
                    .arg(fallidos)
                    .arg(total)
                    .arg(nativa(destino_))
             << Qt::endl;
    return Incompleta;
}

QString ExportacionInformes::nombreUnico(const QString& prefijo, const Centro& centro)
{
    const QString empresa = limpio(centro.nombreEmpresa), sitio = limpio(centro.nombre);
    const auto componer = [&](const QString& sufijo) {
        QStringList partes{prefijo};
        const int separadores = bytes(Separador) * (int(!empresa.isEmpty()) + int(!sitio.isEmpty()));
        const int cabe = BytesNombre - bytes(QStringLiteral(".pdf")) - bytes(prefijo) - bytes(sufijo) - separadores;
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
    // Con nombre provisional en la misma carpeta: el nombre definitivo sólo llega a un PDF entero.
    static int serie = 0;
    const QString provisional = QDir(destino_).filePath(
        QStringLiteral(".ExportarInformes-%1-%2.pdf").arg(QCoreApplication::applicationPid()).arg(++serie));
    QFile::remove(provisional);
    const bool escrito = escritor_(documento, provisional);
    QString motivo;
    if (!escrito || !pdfEntero(provisional)) {
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
