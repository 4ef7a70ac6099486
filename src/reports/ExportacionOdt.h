#pragma once

#include <QString>

class DocumentoInforme;

// Copia editable de un informe en OpenDocument (ODT), para que quien lo firma pueda añadir un párrafo antes.
// Lleva el cuerpo del documento; la cabecera y el pie de cada hoja los pone el procesador de textos.

// Escribe la copia sin dejar un archivo a medias si algo falla. Un borrador lo dice en su primer párrafo,
// porque en el procesador de textos no hay marca de agua que lo diga por él.
bool EscribirOdt(const DocumentoInforme& documento, const QString& ruta);

// El archivo es un paquete ODF entero: empieza por el tipo "mimetype" sin comprimir y acaba con el
// directorio del zip. Un archivo cortado a medias no lo es.
bool OdtEntero(const QString& ruta);
