#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// Lector de CSV (RFC 4180, UTF-8): separador coma, comillas dobles para los campos con coma o
// comillas, comillas interiores duplicadas. Cada fila recuerda su línea para los avisos.
struct FilaCsv
{
    int linea = 0;
    QStringList campos;
};

struct TablaCsv
{
    QString archivo;
    QStringList cabecera;
    std::vector<FilaCsv> filas;
};

// Lee el archivo y comprueba que su cabecera es la esperada. Lanza std::runtime_error con
// "archivo:línea: motivo" ante una fila mal formada.
TablaCsv leerCsv(const QString& archivo, const QStringList& cabeceraEsperada);
