#include "store/postgres/FuncionesInformesServidor.h"

#include "store/ErrorBD.h"
#include "store/postgres/ConexionPg.h"
#include "store/postgres/TransaccionPg.h"

namespace {
// La misma clave de cerrojo que la preparación del esquema: nadie cambia el esquema a la vez.
constexpr const char* CerrojoEsquema = "SELECT pg_advisory_xact_lock(7401720526)";

// Cambia cuando cambia el texto de las funciones: una base con las de esta versión no se toca.
constexpr const char* MarcaFunciones = "Evaluación de Riesgos: funciones de los informes 1";

const char* const funciones = R"SQL(
-- Posición (desde 1) de la primera aparición de un texto en otro, 0 si no está.
CREATE OR REPLACE FUNCTION instr(texto text, buscado text) RETURNS integer LANGUAGE sql IMMUTABLE AS $$
    SELECT strpos(texto, buscado)
$$;

-- Un número con el formato "%d", "%0Nd" o "%Nd" (la parte entera, rellena hasta N cifras con ceros o
-- con blancos, sin cortar nunca) o "%.Nf" (con N decimales, redondeado). Nulo vale 0, como en el
-- archivo.
CREATE OR REPLACE FUNCTION printf(formato text, valor numeric) RETURNS text LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
    partes text[];
    v numeric := coalesce(valor, 0);
    ancho integer;
    signo text;
    cifras text;
BEGIN
    partes := regexp_match(formato, '^%(0?)([0-9]*)d$');
    IF partes IS NOT NULL THEN
        ancho := coalesce(nullif(partes[2], '')::integer, 0);
        signo := CASE WHEN trunc(v) < 0 THEN '-' ELSE '' END;
        cifras := abs(trunc(v))::text;
        IF partes[1] = '0' THEN
            RETURN signo || lpad(cifras, greatest(ancho - length(signo), length(cifras)), '0');
        END IF;
        RETURN lpad(signo || cifras, greatest(ancho, length(signo || cifras)), ' ');
    END IF;
    partes := regexp_match(formato, '^%\.([0-9]+)f$');
    IF partes IS NOT NULL THEN
        RETURN round(v, partes[1]::integer)::text;
    END IF;
    RAISE EXCEPTION 'printf: el formato «%» no está entre los de las plantillas', formato;
END
$$;

-- La fecha ('aaaa-mm-dd') de un texto que empieza por una fecha, con los modificadores "start of
-- month" y "+N day(s)", "+N month(s)" o "+N year(s)" (también con "-"), en orden. Un mes o un año
-- más que cae en un día que el mes no tiene sigue en el mes siguiente (del 31 de enero, un mes más
-- es el 2 o el 3 de marzo). Nulo si la fecha no se entiende o un modificador no vale.
CREATE OR REPLACE FUNCTION date(fecha text, VARIADIC modificadores text[]) RETURNS text LANGUAGE plpgsql IMMUTABLE
AS $$
DECLARE
    d date;
    modificador text;
    partes text[];
    n integer;
    mes integer;
BEGIN
    IF fecha IS NULL OR fecha !~ '^\s*[0-9]{4}-[0-9]{2}-[0-9]{2}' THEN
        RETURN NULL;
    END IF;
    BEGIN
        d := substring(fecha FROM '[0-9]{4}-[0-9]{2}-[0-9]{2}')::date;
    EXCEPTION WHEN others THEN
        RETURN NULL;
    END;
    FOREACH modificador IN ARRAY modificadores LOOP
        modificador := lower(trim(modificador));
        IF modificador IS NULL THEN
            RETURN NULL;
        ELSIF modificador = 'start of month' THEN
            d := make_date(extract(year FROM d)::integer, extract(month FROM d)::integer, 1);
            CONTINUE;
        END IF;
        partes := regexp_match(modificador, '^([+-]?[0-9]+) +(day|month|year)s?$');
        IF partes IS NULL THEN
            RETURN NULL;
        END IF;
        n := partes[1]::integer;
        IF partes[2] = 'day' THEN
            d := d + n;
        ELSE
            mes := extract(month FROM d)::integer - 1 + CASE partes[2] WHEN 'year' THEN 12 * n ELSE n END;
            d := make_date(extract(year FROM d)::integer + floor(mes / 12.0)::integer, mod(mod(mes, 12) + 12, 12) + 1, 1)
                 + (extract(day FROM d)::integer - 1);
        END IF;
    END LOOP;
    RETURN to_char(d, 'YYYY-MM-DD');
END
$$;
)SQL";
} // namespace

void PonerFuncionesInformes(PGconn* c)
{
    try {
        const ResultadoPg hay = ejecutarPg(
            c, QStringLiteral("SELECT obj_description(to_regprocedure('date(text, text[])'), 'pg_proc') = $1"),
            {QString::fromUtf8(MarcaFunciones)});
        if (valorPg(hay.get(), 0, 0) == QLatin1String("t"))
            return;
        TransaccionPg t(c);
        ejecutarPg(c, QString::fromUtf8(CerrojoEsquema));
        ejecutarPg(c, QString::fromUtf8(funciones));
        ejecutarPg(
            c, QStringLiteral("COMMENT ON FUNCTION date(text, text[]) IS '%1'").arg(QString::fromUtf8(MarcaFunciones)));
        t.confirmar();
    } catch (const ErrorBD&) {
        // Sin ellas los datos se usan igual; el informe que las necesite avisará de lo que falta.
    }
}
