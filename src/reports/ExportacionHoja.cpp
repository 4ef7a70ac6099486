#include "reports/ExportacionHoja.h"

#include "reports/Importes.h"
#include "store/Conexion.h"
#include "store/PlanAcciones.h"
#include "store/Recordset.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>
#include <filesystem>
#include <system_error>
#include <xlsxwriter.h>

namespace {
// Lo más que Excel guarda en una celda.
constexpr qsizetype MaximoCelda = 32767;
// Anchos de columna, en caracteres: ni una columna de fecha apretada ni una nota que ocupe la pantalla.
constexpr int AnchoMinimo = 8;
constexpr int AnchoMaximo = 50;

QString nativa(const QString& ruta)
{
    return QDir::toNativeSeparators(ruta);
}

std::filesystem::path rutaSistema(const QString& ruta)
{
    return std::filesystem::path(QDir::toNativeSeparators(ruta).toStdU16String());
}

// Antes de escribir nada: si la carpeta no está, se dice eso y no un fallo genérico del archivo.
bool carpetaLista(const QString& ruta, QString& motivo)
{
    const QFileInfo destino(ruta);
    const QFileInfo carpeta(destino.absolutePath());
    if (!carpeta.isDir()) {
        motivo = QStringLiteral("la carpeta «%1» no existe").arg(nativa(carpeta.absoluteFilePath()));
        return false;
    }
    if (destino.isDir()) {
        motivo = QStringLiteral("«%1» es una carpeta").arg(nativa(destino.absoluteFilePath()));
        return false;
    }
    return true;
}

// En la misma carpeta, para que el cambio de nombre final no copie nada entre discos.
QString nombreProvisional(const QString& ruta)
{
    const QFileInfo destino(ruta);
    for (;;) {
        const QString nombre = QStringLiteral(".%1-%2-%3.%4")
                                   .arg(destino.completeBaseName().left(40))
                                   .arg(QCoreApplication::applicationPid())
                                   .arg(QRandomGenerator::global()->generate() % 1000000, 6, 10, QLatin1Char('0'))
                                   .arg(destino.suffix());
        const QString provisional = destino.absoluteDir().filePath(nombre);
        if (!QFileInfo::exists(provisional))
            return provisional;
    }
}

bool ponerEnSuSitio(const QString& provisional, const QString& ruta, QString& motivo)
{
    std::error_code ec;
    std::filesystem::rename(rutaSistema(provisional), rutaSistema(ruta), ec);
    if (!ec)
        return true;
    QFile::remove(provisional);
    motivo = QStringLiteral("no se ha podido poner en su sitio; compruebe que no está abierto en otro programa");
    return false;
}

// Excel lee "_x0041_" dentro de un texto como el carácter que nombra; escrito así por el usuario,
// se protege su guion bajo para que llegue tal cual. Un carácter nulo cortaría el texto.
QString textoXlsx(QString texto)
{
    static const QRegularExpression escape(QStringLiteral("_(?=x[0-9A-Fa-f]{4}_)"));
    texto.remove(QChar(0));
    texto.replace(escape, QStringLiteral("_x005F_"));
    return texto;
}

// El nombre de la hoja con lo que Excel admite: sin los caracteres prohibidos, sin apóstrofo al
// principio ni al final y en 31 como mucho.
QString nombreHoja(QString nombre)
{
    static const QRegularExpression prohibidos(QStringLiteral("[\\[\\]:*?/\\\\]"));
    static const QRegularExpression bordes(QStringLiteral("^[\\s']+|[\\s']+$"));
    nombre.replace(prohibidos, QStringLiteral("-"));
    nombre = nombre.left(LXW_SHEETNAME_MAX).remove(bordes);
    return nombre.isEmpty() ? QStringLiteral("Hoja1") : nombre;
}

QString motivoLibreria(lxw_error error)
{
    switch (error) {
    case LXW_ERROR_CREATING_XLSX_FILE:
        return QStringLiteral("no se ha podido crear el archivo; compruebe que puede escribir en la carpeta");
    case LXW_ERROR_CREATING_TMPFILE:
        return QStringLiteral("no se ha podido crear un archivo temporal; compruebe que queda sitio en el disco");
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return QStringLiteral("no hay memoria suficiente");
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        return QStringLiteral("no se ha podido escribir entero; compruebe que queda sitio en el disco");
    default:
        return QStringLiteral("no se ha podido componer la hoja (%1)").arg(QString::fromUtf8(lxw_strerror(error)));
    }
}

QString nombreCelda(int fila, int columna)
{
    char celda[LXW_MAX_CELL_NAME_LENGTH];
    lxw_rowcol_to_cell(celda, lxw_row_t(fila), lxw_col_t(columna));
    return QString::fromLatin1(celda);
}

// Ancho que pide el texto: el de su línea más larga.
int anchoTexto(const QString& texto)
{
    int ancho = 0;
    for (const auto& linea : QStringView(texto).split(QLatin1Char('\n')))
        ancho = std::max(ancho, int(linea.size()));
    return ancho;
}

int anchoCelda(const CeldaHoja& c)
{
    switch (c.tipo) {
    case CeldaHoja::Tipo::Vacia:
        return 0;
    case CeldaHoja::Tipo::Texto:
        return anchoTexto(c.texto);
    case CeldaHoja::Tipo::Entero:
        return int(QString::number(qint64(c.numero)).size());
    case CeldaHoja::Tipo::Importe:
        return int(FormatoImporte(c.numero).size());
    case CeldaHoja::Tipo::Fecha:
        return 10;
    }
    return 0;
}

// Número como lo leen las hojas de cálculo en español: coma decimal y sin separador de miles.
QString importeCsv(double valor)
{
    return QString::number(valor, 'f', 2).replace(QLatin1Char('.'), QLatin1Char(','));
}

QByteArray campoCsv(const CeldaHoja& c)
{
    QString texto;
    switch (c.tipo) {
    case CeldaHoja::Tipo::Vacia:
        return {};
    case CeldaHoja::Tipo::Entero:
        return QByteArray::number(qint64(c.numero));
    case CeldaHoja::Tipo::Importe:
        return importeCsv(c.numero).toUtf8();
    case CeldaHoja::Tipo::Fecha:
        return c.fecha.toString(QStringLiteral("dd/MM/yyyy")).toUtf8();
    case CeldaHoja::Tipo::Texto:
        texto = c.texto;
        break;
    }
    // Un texto que empieza como una fórmula la hoja de cálculo lo ejecutaría al abrir el archivo
    // ("=HIPERVINCULO(...)" escrito en una nota); con el apóstrofo delante se queda en texto.
    static const QString inicioFormula = QStringLiteral("=+-@\t\r");
    if (!texto.isEmpty() && inicioFormula.contains(texto.front()))
        texto.prepend(QLatin1Char('\''));
    static const QRegularExpression hayQueCitar(QStringLiteral("[;\"\r\n]"));
    if (texto.contains(hayQueCitar)) {
        texto.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        texto = QLatin1Char('"') + texto + QLatin1Char('"');
    }
    return texto.toUtf8();
}

QByteArray filaCsv(const std::vector<CeldaHoja>& celdas, qsizetype columnas)
{
    QByteArray linea;
    for (qsizetype i = 0; i < columnas; ++i) {
        if (i > 0)
            linea += ';';
        if (i < qsizetype(celdas.size()))
            linea += campoCsv(celdas[size_t(i)]);
    }
    return linea + "\r\n";
}

QString nivelValido(const QString& nivel)
{
    return PrioridadNivel(nivel) > 0 ? nivel : QString();
}
// Los títulos de las columnas de una hoja, escritos en UTF-8.
QStringList titulos(std::initializer_list<const char*> textos)
{
    QStringList lista;
    for (const char* t : textos)
        lista << QString::fromUtf8(t);
    return lista;
}
} // namespace

CeldaHoja CeldaHoja::deTexto(const QString& texto)
{
    CeldaHoja c;
    if (texto.isEmpty())
        return c;
    c.tipo = Tipo::Texto;
    c.texto = texto;
    return c;
}

CeldaHoja CeldaHoja::deEntero(long long valor)
{
    CeldaHoja c;
    c.tipo = Tipo::Entero;
    c.numero = double(valor);
    return c;
}

CeldaHoja CeldaHoja::deImporte(const QString& escrito)
{
    const std::optional<double> importe = LeerImporte(escrito);
    if (!importe)
        return deTexto(escrito.trimmed());
    CeldaHoja c;
    c.tipo = Tipo::Importe;
    c.numero = *importe;
    return c;
}

CeldaHoja CeldaHoja::deFecha(const QVariant& valor)
{
    QDate fecha;
    if (valor.metaType().id() == QMetaType::QDate)
        fecha = valor.toDate();
    else if (valor.metaType().id() == QMetaType::QDateTime)
        fecha = valor.toDateTime().date();
    else {
        const QString texto = valor.toString().trimmed();
        fecha = QDate::fromString(texto.left(10), Qt::ISODate);
        if (!fecha.isValid())
            fecha = QDate::fromString(texto, QStringLiteral("d/M/yyyy"));
        if (!fecha.isValid())
            return deTexto(texto);
    }
    CeldaHoja c;
    if (!fecha.isValid())
        return c;
    c.tipo = Tipo::Fecha;
    c.fecha = fecha;
    return c;
}

FilasExportacion FilasPlan(const QString& conexion, long long idCentro)
{
    FilasExportacion tabla;
    tabla.hoja = QStringLiteral("Plan de acciones");
    tabla.cabeceras = titulos({"Acción preventiva", "Riesgo", "Puesto", "Nivel", "Prioridad", "Fecha límite",
                               "Responsable de la ejecución", "Presupuesto aproximado (€)", "Estado",
                               "Fecha de realización", "Coste real (€)", "Seguimiento"});
    // El plan del documento: el primero del centro.
    const auto plan = Conexion::obtener(conexion)->leerFilas(
        QStringLiteral("SELECT min(IDActuacion) FROM \"ActuaciónPreventiva\" WHERE IDCentro = ?"), {idCentro});
    if (plan.empty() || plan.front().value(0).isNull())
        return tabla;
    Recordset rs;
    rs.open(QString::fromUtf8(LineasPorPrioridad), conexion, {plan.front().value(0)});
    const auto texto = [&](const char* campo) { return rs.value(QString::fromLatin1(campo)).toString(); };
    for (; !rs.eof(); rs.moveNext()) {
        const QVariant prioridad = rs.value(QStringLiteral("Prioridad"));
        tabla.filas.push_back(
            {CeldaHoja::deTexto(texto("AccionPreventiva")), CeldaHoja::deTexto(texto("Riesgo")),
             CeldaHoja::deTexto(texto("Puesto")), CeldaHoja::deTexto(nivelValido(texto("ValorRiesgo"))),
             prioridad.isNull() ? CeldaHoja() : CeldaHoja::deEntero(prioridad.toLongLong()),
             CeldaHoja::deFecha(rs.value(QStringLiteral("FechaLimite"))),
             CeldaHoja::deTexto(texto("ResponsableEjecucion")), CeldaHoja::deImporte(texto("PresupuestoAproximado")),
             CeldaHoja::deTexto(texto("Estado")), CeldaHoja::deFecha(rs.value(QStringLiteral("FechaRealizada"))),
             CeldaHoja::deImporte(texto("CosteReal")), CeldaHoja::deTexto(texto("Seguimiento"))});
    }
    return tabla;
}

FilasExportacion FilasEvaluacion(const QString& conexion, long long idCentro)
{
    FilasExportacion tabla;
    tabla.hoja = QStringLiteral("Evaluación de riesgos");
    tabla.cabeceras = titulos({"Puesto", "Código", "Riesgo", "Factores de riesgo", "Probabilidad", "Consecuencias",
                               "Nivel de riesgo", "Situación observada", "Medidas preventivas"});
    auto c = Conexion::obtener(conexion);
    // Como en el documento: los factores de todas las filas del riesgo en el puesto (la mostrada y las
    // ocultas) y cada medida elegida una sola vez por redacción, existente si está implantada en alguna.
    const auto clave = [](const QVariant& puesto, const QVariant& riesgo) {
        return qMakePair(puesto.toLongLong(), riesgo.toLongLong());
    };
    QHash<QPair<long long, long long>, QStringList> factores, medidas;
    for (const QVariantList& f :
         c->leerFilas(QStringLiteral("SELECT IDPuestoCentro, IDRiesgo, Factor FROM VRiesgos WHERE IDCentro = ? "
                                     "GROUP BY IDPuestoCentro, IDRiesgo, IDFactor, Factor "
                                     "ORDER BY IDPuestoCentro, IDRiesgo, min(IDEvaluacion)"),
                      {idCentro}))
        if (!f[2].toString().trimmed().isEmpty())
            factores[clave(f[0], f[1])] << f[2].toString();
    for (const QVariantList& f :
         c->leerFilas(QStringLiteral("SELECT IDPuestoCentro, IDRiesgo, Medida, "
                                     "max(CASE WHEN Implantada = 'S' THEN 1 ELSE 0 END) AS Existente "
                                     "FROM VFactoresMedidas WHERE IDCentro = ? AND MarcarMedida = 'S' "
                                     "GROUP BY IDPuestoCentro, IDRiesgo, Medida "
                                     "ORDER BY IDPuestoCentro, IDRiesgo, Existente DESC, min(IDMedidaFactor)"),
                      {idCentro}))
        medidas[clave(f[0], f[1])] << (f[3].toLongLong() ? QStringLiteral("Existente: ")
                                                         : QStringLiteral("Propuesta: ")) +
                                          f[2].toString();

    const auto riesgos = c->leerFilas(
        QStringLiteral("SELECT v.IDPuestoCentro, v.IDRiesgo, p.Puesto, v.Riesgo, v.Probabilidad, v.Consecuencias, "
                       "CASE WHEN trim(coalesce(v.Probabilidad, '')) = '' OR trim(coalesce(v.Consecuencias, '')) = '' "
                       "THEN NULL ELSE v.ValorRiesgo END, v.SituacionObservada "
                       "FROM VRiesgos v JOIN PuestosCentros p ON p.IDPuestoCentro = v.IDPuestoCentro "
                       "WHERE v.IDCentro = ? AND v.Mostrar = 'S' "
                       "ORDER BY v.IDPuestoCentro, v.IDRiesgo, v.IDEvaluacion"),
        {idCentro});
    tabla.filas.reserve(riesgos.size());
    for (const QVariantList& f : riesgos) {
        const QString nivel = nivelValido(f[6].toString());
        const auto k = clave(f[0], f[1]);
        tabla.filas.push_back({CeldaHoja::deTexto(f[2].toString()),
                               CeldaHoja::deTexto(QStringLiteral("%1").arg(f[1].toLongLong(), 3, 10, QLatin1Char('0'))),
                               CeldaHoja::deTexto(f[3].toString()),
                               CeldaHoja::deTexto(factores.value(k).join(QLatin1Char('\n'))),
                               CeldaHoja::deTexto(f[4].toString()), CeldaHoja::deTexto(f[5].toString()),
                               CeldaHoja::deTexto(nivel.isEmpty() ? QStringLiteral("Sin evaluar") : nivel),
                               CeldaHoja::deTexto(f[7].toString().trimmed()),
                               CeldaHoja::deTexto(medidas.value(k).join(QLatin1Char('\n')))});
    }
    return tabla;
}

bool EscribirXlsx(const FilasExportacion& tabla, const QString& ruta, QString& motivo)
{
    if (!carpetaLista(ruta, motivo))
        return false;
    const QString provisional = nombreProvisional(ruta);
    // La biblioteca toma la ruta en UTF-8 en todos los sistemas (en Windows la abre con su nombre Unicode).
    lxw_workbook* libro = workbook_new(QDir::toNativeSeparators(provisional).toUtf8().constData());
    if (!libro) {
        motivo = QStringLiteral("no hay memoria suficiente");
        return false;
    }
    lxw_worksheet* hoja = workbook_add_worksheet(libro, nombreHoja(tabla.hoja).toUtf8().constData());

    lxw_format* cabecera = workbook_add_format(libro);
    format_set_bold(cabecera);
    format_set_text_wrap(cabecera);
    format_set_align(cabecera, LXW_ALIGN_VERTICAL_TOP);
    format_set_bg_color(cabecera, 0xE8EDF3);
    format_set_bottom(cabecera, LXW_BORDER_THIN);
    lxw_format* texto = workbook_add_format(libro);
    format_set_text_wrap(texto);
    format_set_align(texto, LXW_ALIGN_VERTICAL_TOP);
    lxw_format* entero = workbook_add_format(libro);
    format_set_align(entero, LXW_ALIGN_VERTICAL_TOP);
    lxw_format* importe = workbook_add_format(libro);
    format_set_num_format(importe, "#,##0.00");
    format_set_align(importe, LXW_ALIGN_VERTICAL_TOP);
    lxw_format* fecha = workbook_add_format(libro);
    format_set_num_format(fecha, "dd/mm/yyyy");
    format_set_align(fecha, LXW_ALIGN_VERTICAL_TOP);

    lxw_error error = hoja ? LXW_NO_ERROR : LXW_ERROR_SHEETNAME_ALREADY_USED;
    QString celdaLarga;
    const auto anotar = [&](lxw_error e) {
        if (error == LXW_NO_ERROR)
            error = e;
    };
    const auto escribirTexto = [&](int fila, int col, const QString& valor, lxw_format* formato) {
        if (valor.size() > MaximoCelda) {
            if (celdaLarga.isEmpty())
                celdaLarga = nombreCelda(fila, col);
            return;
        }
        anotar(worksheet_write_string(hoja, lxw_row_t(fila), lxw_col_t(col), textoXlsx(valor).toUtf8().constData(),
                                      formato));
    };

    const int columnas = int(tabla.cabeceras.size());
    std::vector<int> anchos(size_t(columnas), 0);
    if (hoja) {
        for (int col = 0; col < columnas; ++col) {
            escribirTexto(0, col, tabla.cabeceras[col], cabecera);
            // Las cabeceras largas se parten en dos líneas antes que ensanchar la columna.
            anchos[size_t(col)] = std::min(anchoTexto(tabla.cabeceras[col]), 18);
        }
        for (size_t i = 0; i < tabla.filas.size(); ++i) {
            const int fila = int(i) + 1;
            const auto& celdas = tabla.filas[i];
            for (int col = 0; col < std::min(columnas, int(celdas.size())); ++col) {
                const CeldaHoja& c = celdas[size_t(col)];
                anchos[size_t(col)] = std::max(anchos[size_t(col)], anchoCelda(c));
                switch (c.tipo) {
                case CeldaHoja::Tipo::Vacia:
                    break;
                case CeldaHoja::Tipo::Texto:
                    escribirTexto(fila, col, c.texto, texto);
                    break;
                case CeldaHoja::Tipo::Entero:
                    anotar(worksheet_write_number(hoja, lxw_row_t(fila), lxw_col_t(col), c.numero, entero));
                    break;
                case CeldaHoja::Tipo::Importe:
                    anotar(worksheet_write_number(hoja, lxw_row_t(fila), lxw_col_t(col), c.numero, importe));
                    break;
                case CeldaHoja::Tipo::Fecha: {
                    lxw_datetime dia{c.fecha.year(), uint8_t(c.fecha.month()), uint8_t(c.fecha.day()), 0, 0, 0};
                    anotar(worksheet_write_datetime(hoja, lxw_row_t(fila), lxw_col_t(col), &dia, fecha));
                    break;
                }
                }
            }
        }
        for (int col = 0; col < columnas; ++col)
            worksheet_set_column(hoja, lxw_col_t(col), lxw_col_t(col),
                                 std::clamp(anchos[size_t(col)] + 2, AnchoMinimo, AnchoMaximo), nullptr);
        worksheet_freeze_panes(hoja, 1, 0);
        if (columnas > 0)
            worksheet_autofilter(hoja, 0, 0, lxw_row_t(tabla.filas.size()), lxw_col_t(columnas - 1));
    }
    // Cerrar el libro lo escribe y lo libera, también cuando algo ha fallado antes.
    const lxw_error cierre = workbook_close(libro);
    anotar(cierre);
    if (!celdaLarga.isEmpty() || error != LXW_NO_ERROR || !XlsxEntero(provisional)) {
        QFile::remove(provisional);
        if (!celdaLarga.isEmpty())
            motivo = QStringLiteral("la celda %1 tiene más de 32.767 caracteres, lo más que cabe en una celda de "
                                    "Excel; expórtelo en CSV")
                         .arg(celdaLarga);
        else
            motivo = error != LXW_NO_ERROR ? motivoLibreria(error) : QStringLiteral("el archivo ha quedado cortado");
        return false;
    }
    return ponerEnSuSitio(provisional, ruta, motivo);
}

bool EscribirCsv(const FilasExportacion& tabla, const QString& ruta, QString& motivo)
{
    if (!carpetaLista(ruta, motivo))
        return false;
    // QSaveFile escribe aparte y sólo al confirmar, entero, toma el nombre definitivo.
    QSaveFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly)) {
        motivo = QStringLiteral("no se puede escribir en la carpeta «%1»; compruebe sus permisos")
                     .arg(nativa(QFileInfo(ruta).absolutePath()));
        return false;
    }
    const qsizetype columnas = tabla.cabeceras.size();
    QByteArray bloque("\xEF\xBB\xBF");
    std::vector<CeldaHoja> cabecera;
    for (const QString& t : tabla.cabeceras)
        cabecera.push_back(CeldaHoja::deTexto(t));
    bloque += filaCsv(cabecera, columnas);
    for (const auto& fila : tabla.filas) {
        bloque += filaCsv(fila, columnas);
        if (bloque.size() >= 64 * 1024) {
            archivo.write(bloque);
            bloque.clear();
        }
    }
    archivo.write(bloque);
    if (!archivo.commit()) {
        motivo = QStringLiteral("no se ha podido escribir entero; compruebe que queda sitio en el disco y que el "
                                "archivo no está abierto en otro programa");
        return false;
    }
    return true;
}

bool EscribirHoja(const FilasExportacion& tabla, const QString& ruta, FormatoHoja formato, QString& motivo)
{
    return formato == FormatoHoja::Xlsx ? EscribirXlsx(tabla, ruta, motivo) : EscribirCsv(tabla, ruta, motivo);
}

bool XlsxEntero(const QString& ruta)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly) || f.size() < 22 || f.read(4) != QByteArray("PK\x03\x04", 4))
        return false;
    // El final del directorio del zip va en los últimos 22 bytes más el comentario (que no ponemos).
    f.seek(qMax<qint64>(0, f.size() - 1024));
    const QByteArray cola = f.readAll();
    const qsizetype fin = cola.lastIndexOf(QByteArray("PK\x05\x06", 4));
    return fin >= 0 && cola.size() - fin >= 22;
}
