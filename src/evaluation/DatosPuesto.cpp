#include "evaluation/DatosPuesto.h"

#include "store/Conexion.h"
#include "store/Recordset.h"

#include <QDateTime>

double ValorNumerico(const QString& texto)
{
    QString s;
    for (QChar c : texto)
        if (!c.isSpace())
            s += c;
    int i = 0;
    const int n = s.size();
    const auto digitos = [&] {
        const int inicio = i;
        while (i < n && s[i].isDigit() && s[i].unicode() < 128)
            ++i;
        return i > inicio;
    };
    if (i < n && (s[i] == '+' || s[i] == '-'))
        ++i;
    bool hay = digitos();
    if (i < n && s[i] == '.') {
        ++i;
        hay = digitos() || hay;
    }
    if (!hay)
        return 0;
    int fin = i;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-'))
            ++i;
        if (digitos())
            fin = i;
    }
    return s.left(fin).toDouble();
}

long long AnadirPuestoConFactores(const QString& conexion, const NuevoPuesto& p)
{
    Transaccion t(conexion);
    Recordset puestos;
    puestos.open("Select * from PuestosCentros;", conexion);
    puestos.addNew();
    puestos.setValue("IDCentro", p.idCentro);
    puestos.setValue("Puesto", p.puesto);
    puestos.setValue("Descripcion", p.descripcion);
    puestos.setValue("NTrabajadores", p.trabajadores);
    puestos.setValue("TrabajadoresSensibles", p.sensibles);
    if (!p.ocupantes.trimmed().isEmpty())
        puestos.setValue("Trabajadores", p.ocupantes);
    puestos.setValue("Fecha", QDateTime::currentDateTime());
    puestos.update();
    const long long id = puestos.lastInsertId();
    // La copia entera del catálogo en una sentencia: el nombre del factor se copia, no se enlaza.
    Conexion::obtener(conexion)->ejecutar(
        "INSERT INTO FactoresSeleccionarEvaluacion (IDEmpresa, IDCentro, IDPuestoCentro, FactorSelecionado, "
        "IDFactor, Factor) SELECT ?, ?, ?, 'N', IDFactor, Factor FROM FactoresRiesgos ORDER BY IDFactor",
        {p.idEmpresa, p.idCentro, id});
    t.confirmar();
    return id;
}
