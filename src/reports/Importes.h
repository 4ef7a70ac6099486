#pragma once

#include <QString>
#include <optional>

// Los presupuestos se guardan tal como se escribieron. Para sumarlos se leen como importe con una
// sola regla: la coma separa los céntimos (uno o dos decimales); los miles van con punto o con
// blanco (también el blanco que no se parte), en grupos de tres; sin coma, un punto seguido de uno
// o dos dígitos al final es el decimal ("1234.56"). Así "1.234,56", "1234,56", "1 234,56" y
// "1234.56" son el mismo importe, y "1.500" es mil quinientos. "€" o "euros" delante o detrás no
// cuentan. Lo que no es un número ("a convenir", "500-600") se queda como texto.
struct LecturaImporte
{
    enum class Tipo
    {
        Vacio,
        Importe,
        // Un importe con signo menos: un presupuesto no resta del total.
        Negativo,
        // Parece un número pero admite dos lecturas o ninguna ("1234.567", "1,234.56").
        Ambiguo,
        Texto
    };
    Tipo tipo = Tipo::Vacio;
    double valor = 0;
};

LecturaImporte AnalizarImporte(const QString& texto);

// El importe que vale para sumar; nada si no lo es (vacío, negativo, ambiguo o texto).
std::optional<double> LeerImporte(const QString& texto);

// Por qué no se puede guardar ese presupuesto, listo para enseñarlo; vacío si se puede.
QString ProblemaImporte(const QString& texto);

// Importe con el formato español: miles con punto y dos decimales con coma ("1.234,50").
QString FormatoImporte(double importe);
