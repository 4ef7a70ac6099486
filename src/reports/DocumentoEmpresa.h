#pragma once

#include <QString>
#include <memory>
#include <vector>

class DocumentoInforme;

// El documento de una empresa con todos sus centros: portada con los datos de la empresa, índice,
// la evaluación de cada centro y después los planes, numerado de corrido de la primera a la última hoja.

struct DatosEmpresa
{
    long long id = 0;
    QString nombre, cif, direccion, codPostal, poblacion, provincia;
    QString persona, cargo, formacion;
    long long trabajadores = 0;
};

// Un documento ya relleno que entra en el de la empresa, con lo que lo nombra en el índice.
struct ParteEmpresa
{
    QString apartado; // "Evaluación de riesgos", "Planificación preventiva"
    QString centro;
    const DocumentoInforme* documento = nullptr;
};

struct DocumentoEmpresa
{
    std::unique_ptr<DocumentoInforme> documento;
    // Hoja en la que empieza cada parte, en el orden en que se dieron (y como las dice el índice).
    std::vector<int> primerasHojas;
};

// Une las partes en el orden dado, cada una desde una hoja nueva. Compone el documento entero para
// poner en el índice la hoja de cada parte. Es borrador si alguna parte lo es.
DocumentoEmpresa ComponerDocumentoEmpresa(const DatosEmpresa& empresa, const std::vector<ParteEmpresa>& partes);
