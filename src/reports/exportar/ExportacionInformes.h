#pragma once

#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class DocumentoInforme;
class MotorInforme;
class QTextStream;

enum class FormatoDocumento
{
    Pdf,
    Odt,  // copia editable
    Xlsx, // los datos en hoja de cálculo
    Csv,
};

// Lo que ExportarInformes devuelve al terminar; los guiones que lo llaman se fían de estos números.
namespace SalidaExportacion {
constexpr int Correcta = 0;
constexpr int BaseDatos = 2; // no se encuentra o no se puede leer la base de datos o una plantilla
constexpr int Destino = 3;   // no se puede crear la carpeta de destino
constexpr int CentroInexistente = 4;
constexpr int NadaQueExportar = 5; // no hay centros, o el centro pedido no tiene puestos ni plan
constexpr int Incompleta = 6;      // algún documento no se ha podido escribir; los demás, sí
constexpr int EmpresaInexistente = 7;
constexpr int Uso = 64; // argumentos que no se entienden
} // namespace SalidaExportacion

// Texto de --help, con los códigos de salida.
QString AyudaExportacion();

// Nombre de archivo (sin extensión) que cabe en cualquier sistema de archivos: quita lo que no vale en
// ninguno y recorta por caracteres enteros hasta el número de bytes dado, marcando el corte con "…".
QString NombreArchivoSeguro(const QString& nombre, int bytes);

// Escribe en PDF (u ODT) los dos documentos de un centro, de todos o el de una empresa, en una carpeta. Un
// documento que falla no para los demás: se avisa de él y se sigue. Cada evaluación escrita se da por emitida:
// si ha cambiado desde la última versión, apunta una más. En XLSX o CSV escribe los datos del plan y de la
// evaluación de cada centro (también con la empresa: los de cada uno de sus centros); una hoja de cálculo
// no es el documento que se firma, así que no emite nada.
class ExportacionInformes
{
public:
    // Escribe el documento en la ruta y dice si lo ha conseguido (la costura de las pruebas).
    using Escritor = std::function<bool(const DocumentoInforme&, const QString& ruta)>;

    // Bytes de un nombre de archivo con su ".pdf" u ".odt"; cabe también en los sistemas cifrados (143).
    static constexpr int BytesNombre = 140;

    ExportacionInformes(QString carpetaPrograma, QString destino, QTextStream& salida, QTextStream& errores);

    void fijarEscritor(Escritor escritor) { escritor_ = std::move(escritor); }
    // Texto de conexión del programa con el que leer los datos (el de un servidor); sin él, la base de
    // datos del archivo de la carpeta del programa.
    void fijarConexion(QString conexion) { conexionPrograma_ = std::move(conexion); }
    void fijarFormato(FormatoDocumento formato) { formato_ = formato; }
    // Devuelven un código de SalidaExportacion. Sin centro, los de todos los que tienen puestos o plan.
    int ejecutar(std::optional<long long> soloCentro);
    // Un solo documento con todos los centros de la empresa que tienen puestos o plan.
    int ejecutarEmpresa(long long idEmpresa);

private:
    struct Centro;
    struct Motores;
    std::unique_ptr<Motores> abrirMotores(int& codigo);
    std::vector<Centro> leerCentros(const QString& condicion, long long id);
    static std::vector<Centro> apartarVacios(std::vector<Centro>& centros);
    // Los dos documentos (o las dos hojas) de cada centro; devuelve cuántos han fallado y cuántos eran.
    std::pair<int, int> escribirCentros(const std::vector<Centro>& centros, Motores& motores);
    bool escribirHoja(bool plan, const Centro& centro, const QString& ruta);
    bool enHoja() const { return formato_ == FormatoDocumento::Xlsx || formato_ == FormatoDocumento::Csv; }
    bool escribir(const DocumentoInforme& documento, const QString& ruta);
    bool emitir(long long idCentro, const QString& ruta);
    void avisarOmitidos(const std::vector<Centro>& omitidos);
    int resumen(int fallidos, int total);
    QString extension() const;
    QString nombreUnico(const QString& prefijo, const Centro& centro);
    QString motivoFallo() const;

    QString carpeta_, destino_;
    QTextStream& salida_;
    QTextStream& errores_;
    Escritor escritor_;
    FormatoDocumento formato_ = FormatoDocumento::Pdf;
    QString conexionPrograma_;
    QString conexion_;
    QSet<QString> usados_; // nombres ya dados, sin mayúsculas
};
