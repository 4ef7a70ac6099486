// Criterio de Find de los conjuntos de registros: cualquier texto busca o se rechaza con 3001
// (criterio mal formado) o 3265 (campo que no está), y la búsqueda deja la posición coherente.
#include "store/Conexion.h"
#include "store/CuentaSistema.h"
#include "store/ErrorBD.h"
#include "store/Recordset.h"

#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {
struct Base
{
    QTemporaryDir dir;
    QString conexion;
    Recordset empresas; // textos con apóstrofos y acentos, enteros y nulos
    Recordset puestos;  // fechas con hora y números escritos como texto
    Recordset vacio;

    Base()
    {
        if (!dir.isValid() || !escribirCuenta(dir.filePath("SYSTEM.mdw"), "Velka", "Tortuganza"))
            std::abort();
        Conexion::crear(dir.filePath("Evaluacion.mdb"));
        conexion = textoConexion(QDir::toNativeSeparators(dir.path()));
        auto c = Conexion::obtener(conexion);
        const QStringList nombres = {"L'Hospitalet", "Cafetería \"El Sol\"", "ÁLAMO", "", "100", "a'b'c", "[x]"};
        long n = 0;
        for (const QString& nombre : nombres)
            c->ejecutar("INSERT INTO Empresas (Nombre, CIF, TotalTrabajadores) VALUES (?, ?, ?)",
                        {nombre, n % 2 ? QVariant() : QVariant(QString::number(n)), QVariant(qlonglong(n * 7))}),
                ++n;
        c->ejecutar("INSERT INTO CentroTrabajo (IDEmpresa, NombreCentro, Direccion) VALUES (1, 'Centro', 'Calle 1')");
        c->ejecutar("INSERT INTO PuestosCentros (IDCentro, Puesto, NTrabajadores, Fecha) VALUES (1, 'Soldador', "
                    "'3 personas', ?)",
                    {QDateTime(QDate(2024, 2, 29), QTime(10, 30))});
        c->ejecutar("INSERT INTO PuestosCentros (IDCentro, Puesto, NTrabajadores) VALUES (1, 'Peón', '12')");
        empresas.open("Select * from Empresas", conexion);
        puestos.open("Select * from PuestosCentros", conexion);
        vacio.open("Select * from Empresas where IDEmpresa < 0", conexion);
        empresas.recordCount();
        puestos.recordCount();
    }
};

Base& base()
{
    static Base* b = new Base; // vive hasta el final: el motor de pruebas no pasa por los destructores
    return *b;
}

void buscar(Recordset& rs, const QString& criterio)
{
    try {
        if (!rs.eof() || !rs.bof())
            rs.moveFirst();
        const bool hallado = rs.find(criterio);
        if (hallado == rs.eof()) {
            std::fprintf(stderr, "«%s»: find da %d y eof %d\n", criterio.toUtf8().constData(), hallado, rs.eof());
            std::abort();
        }
        if (hallado)
            rs.value(0);
    } catch (const ErrorBD& e) {
        if (e.numero() != NumeroError::ArgumentoNoValido && e.numero() != NumeroError::ElementoNoEncontrado) {
            std::fprintf(stderr, "«%s»: error %ld %s\n", criterio.toUtf8().constData(), e.numero(),
                         e.descripcion().toUtf8().constData());
            std::abort();
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    base();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t tamano)
{
    const QString criterio = QString::fromUtf8(reinterpret_cast<const char*>(datos), qsizetype(tamano));
    Base& b = base();
    buscar(b.empresas, criterio);
    buscar(b.puestos, criterio);
    buscar(b.vacio, criterio);
    return 0;
}
