#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

// El plan y la evaluación de un centro como hoja de cálculo, en XLSX o en CSV. Las filas se leen una
// sola vez (FilasExportacion) y los dos formatos las escriben igual, así que nunca dicen cosas
// distintas. Los escritores no saben de planes ni de evaluaciones: valen para cualquier tabla.

// Una celda con su tipo: la hoja de cálculo recibe fechas y números de verdad, no texto que los parece.
struct CeldaHoja
{
    enum class Tipo
    {
        Vacia,
        Texto,
        Entero,
        Importe, // euros con dos decimales
        Fecha
    };
    Tipo tipo = Tipo::Vacia;
    QString texto;
    double numero = 0;
    QDate fecha;

    static CeldaHoja deTexto(const QString& texto);
    static CeldaHoja deEntero(long long valor);
    // Un presupuesto o un coste tal como se escribió: importe si se lee como tal; si no, el texto.
    static CeldaHoja deImporte(const QString& escrito);
    // Una fecha de la base (QDate o texto ISO; también dd/mm/aaaa); lo que no es una fecha, como texto.
    static CeldaHoja deFecha(const QVariant& valor);
};

struct FilasExportacion
{
    QString hoja; // nombre de la hoja (como mucho 31 caracteres, sin []:*?/\)
    QStringList cabeceras;
    std::vector<std::vector<CeldaHoja>> filas;
};

enum class FormatoHoja
{
    Xlsx,
    Csv
};

// El plan del centro (el primero, el que sale en el documento): una fila por línea, en el orden del
// documento (prioridad y después fecha límite), con todos sus campos. Lanza ErrorBD.
FilasExportacion FilasPlan(const QString& conexion, long long idCentro);
// La evaluación del centro: una fila por riesgo mostrado de cada puesto, con todos los factores que
// lo generan, sus grados, su nivel, la situación observada y las medidas elegidas, cada una con su
// estado ("Existente" si ya está implantada, "Propuesta" si no). Lanza ErrorBD.
FilasExportacion FilasEvaluacion(const QString& conexion, long long idCentro);

// Escriben la tabla en la ruta: primero con un nombre provisional en la misma carpeta y, sólo si ha
// quedado entera, con el suyo (lo que hubiera con ese nombre se sustituye). Si no pueden, no dejan nada
// a medias, devuelven false y dejan en motivo por qué, en una frase para el usuario.
// XLSX: cabecera en negrita y fija, fechas dd/mm/aaaa, importes como número. CSV: como lo abren las
// hojas de cálculo en español (UTF-8 con BOM, ";" entre campos, saltos CRLF, comillas donde hacen falta).
bool EscribirXlsx(const FilasExportacion& tabla, const QString& ruta, QString& motivo);
bool EscribirCsv(const FilasExportacion& tabla, const QString& ruta, QString& motivo);
bool EscribirHoja(const FilasExportacion& tabla, const QString& ruta, FormatoHoja formato, QString& motivo);

// El archivo es un zip entero (acaba con el directorio del zip), como ha de ser un XLSX.
bool XlsxEntero(const QString& ruta);
