#pragma once

#include <QSet>
#include <QString>
#include <functional>
#include <optional>

class DocumentoInforme;
class QTextStream;

// Lo que ExportarInformes devuelve al terminar; los guiones que lo llaman se fían de estos números.
namespace SalidaExportacion {
constexpr int Correcta = 0;
constexpr int BaseDatos = 2; // no se encuentra o no se puede leer la base de datos o una plantilla
constexpr int Destino = 3;   // no se puede crear la carpeta de destino
constexpr int CentroInexistente = 4;
constexpr int NadaQueExportar = 5; // no hay centros, o el centro pedido no tiene puestos ni plan
constexpr int Incompleta = 6;      // algún documento no se ha podido escribir; los demás, sí
constexpr int Uso = 64;            // argumentos que no se entienden
} // namespace SalidaExportacion

// Texto de --help, con los códigos de salida.
QString AyudaExportacion();

// Nombre de archivo (sin ".pdf") que cabe en cualquier sistema de archivos: quita lo que no vale en
// ninguno y recorta por caracteres enteros hasta el número de bytes dado, marcando el corte con "…".
QString NombreArchivoSeguro(const QString& nombre, int bytes);

// Escribe en PDF los dos documentos de un centro, o de todos, en una carpeta. Un documento que
// falla no para los demás: se avisa de él y se sigue.
class ExportacionInformes
{
public:
    // Escribe el documento en la ruta y dice si lo ha conseguido (la costura de las pruebas).
    using Escritor = std::function<bool(const DocumentoInforme&, const QString& ruta)>;

    // Bytes de un nombre de archivo con su ".pdf"; cabe también en los sistemas cifrados (143).
    static constexpr int BytesNombre = 140;

    ExportacionInformes(QString carpetaPrograma, QString destino, QTextStream& salida, QTextStream& errores);

    void fijarEscritor(Escritor escritor) { escritor_ = std::move(escritor); }
    // Devuelve un código de SalidaExportacion.
    int ejecutar(std::optional<long long> soloCentro);

private:
    struct Centro;
    bool escribir(const DocumentoInforme& documento, const QString& ruta);
    QString nombreUnico(const QString& prefijo, const Centro& centro);
    QString motivoFallo() const;

    QString carpeta_, destino_;
    QTextStream& salida_;
    QTextStream& errores_;
    Escritor escritor_;
    QSet<QString> usados_; // nombres ya dados, sin mayúsculas
};
