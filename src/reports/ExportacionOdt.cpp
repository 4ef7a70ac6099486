#include "reports/ExportacionOdt.h"

#include "reports/DocumentoInforme.h"

#include <QBuffer>
#include <QFile>
#include <QSaveFile>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentWriter>
#include <memory>

namespace {
// Así empieza todo paquete ODF de texto: la cabecera local del zip (30 bytes), el nombre "mimetype" y el tipo
// sin comprimir.
const QByteArray TipoOdt = QByteArrayLiteral("application/vnd.oasis.opendocument.text");

bool escribir(const QTextDocument& texto, const QString& ruta)
{
    // El zip cierra el dispositivo al acabar, y un QSaveFile no se cierra: primero en memoria.
    QBuffer memoria;
    memoria.open(QIODevice::WriteOnly);
    QTextDocumentWriter escritor(&memoria, QByteArrayLiteral("odf"));
    if (!escritor.write(&texto))
        return false;
    QSaveFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly))
        return false;
    if (archivo.write(memoria.data()) != memoria.data().size()) {
        archivo.cancelWriting();
        return false;
    }
    return archivo.commit();
}
} // namespace

bool EscribirOdt(const DocumentoInforme& documento, const QString& ruta)
{
    const QString marca = documento.marca().simplified();
    if (marca.isEmpty())
        return escribir(documento.texto(), ruta);
    // El aviso va en una copia: el documento de la vista previa sigue igual.
    const std::unique_ptr<QTextDocument> copia(documento.texto().clone());
    QTextCursor cursor(copia.get());
    cursor.movePosition(QTextCursor::Start);
    cursor.insertBlock();
    cursor.movePosition(QTextCursor::Start);
    QTextBlockFormat parrafo;
    parrafo.setAlignment(Qt::AlignCenter);
    parrafo.setBottomMargin(12);
    cursor.setBlockFormat(parrafo);
    QTextCharFormat letra;
    letra.setFontWeight(QFont::Bold);
    letra.setFontPointSize(14);
    letra.setForeground(QColor(0x80, 0x80, 0x80));
    cursor.insertText(marca, letra);
    return escribir(*copia, ruta);
}

bool OdtEntero(const QString& ruta)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly) || f.size() < 30 + 8 + TipoOdt.size() + 22)
        return false;
    const QByteArray inicio = f.read(30 + 8 + TipoOdt.size());
    if (!inicio.startsWith("PK\x03\x04") || inicio.mid(30, 8) != "mimetype" || !inicio.endsWith(TipoOdt))
        return false;
    // El directorio central acaba en su registro final, como mucho 64 KiB de comentario antes del final.
    f.seek(qMax<qint64>(0, f.size() - 22 - 0xFFFF));
    const QByteArray cola = f.readAll();
    const qsizetype final = cola.lastIndexOf(QByteArrayLiteral("PK\x05\x06"));
    if (final < 0 || cola.size() < final + 22)
        return false;
    // Entero si detrás del registro sólo queda su comentario, del largo que él mismo dice.
    const int comentario = uchar(cola[final + 20]) | (uchar(cola[final + 21]) << 8);
    return cola.size() == final + 22 + comentario;
}
