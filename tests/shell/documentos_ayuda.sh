#!/bin/bash
# Los documentos de ayuda de la carpeta del programa: documentos_ayuda.sh <carpeta del programa> <generar_ayuda>
# Están todos con el nombre que abre cada botón, tienen texto de verdad (no Markdown sin
# convertir), su título y sus páginas numeradas, y llevan las capturas que citan. Además, una
# fuente rota no deja un PDF a medias ni termina como si nada.
set -u
programa=${1:?falta la carpeta del programa}
generador=${2:?falta la ruta de generar_ayuda}
command -v pdftotext >/dev/null 2>&1 || { echo "falta pdftotext (poppler-utils): se salta la prueba"; exit 77; }

fallos=0
fallo() { echo "FALLO: $*"; fallos=$((fallos + 1)); }
temporal=$(mktemp -d)
trap 'rm -rf "$temporal"' EXIT

# documento | título que debe salir | palabras mínimas | texto que tiene que explicar
comprobar() {
    local pdf="$programa/$1" titulo=$2 minimo=$3 clave=$4 texto palabras
    if [ ! -s "$pdf" ]; then
        fallo "no está $1"
        return
    fi
    texto=$(pdftotext -enc UTF-8 "$pdf" - 2>/dev/null) || { fallo "$1 no se puede leer como PDF"; return; }
    palabras=$(wc -w <<<"$texto")
    [ "$palabras" -ge "$minimo" ] || fallo "$1 tiene sólo $palabras palabras (se esperan $minimo o más)"
    grep -qF -- "$titulo" <<<"$texto" || fallo "$1 no lleva su título «$titulo»"
    # Las celdas de las tablas parten las frases en varias líneas: se comparan en una sola.
    tr -s '[:space:]' ' ' <<<"$texto" | grep -qF -- "$clave" || fallo "$1 no explica «$clave»"
    grep -qE 'Página 1 de [0-9]+' <<<"$texto" || fallo "$1 no numera sus páginas"
    # Restos de Markdown sin convertir: enlaces de imagen, negritas o filas de tabla.
    grep -qE '\]\(|\*\*|\|---' <<<"$texto" && fallo "$1 contiene Markdown sin convertir"
    echo "$1: $palabras palabras"
}

comprobar "Antes de empezardef.pdf" "Antes de empezar" 1200 "La Aplicación ya se encuentra en Ejecución"
comprobar "Conceptos basicos.pdf" "Conceptos básicos" 1200 "Trabajador designado"
comprobar "Ayuda/Empresas.pdf" "Empresas" 700 "Tiene que introduccir un valor en el campo Nombre de Empresa"
comprobar "Ayuda/Inicio Evaluacion.pdf" "Inicio Evaluacion" 400 "1- PUESTO DE TRABAJO"
comprobar "Ayuda/Puestos.pdf" "Puestos" 500 "Tienes que escribir el numero de trabajadores"
comprobar "Ayuda/Factores.pdf" "Factores" 450 "falta por seleccionar por lo menos un Factor de Riesgo"
comprobar "Ayuda/Riesgos.pdf" "Riesgos" 500 "Riesgo Intolerable"
comprobar "Ayuda/Medidas Preventivas.pdf" "Medidas Preventivas" 500 "Tiene que seleccionar un factor y su correspondiente medida"
comprobar "Ayuda/Accion Preventiva.pdf" "Accion Preventiva" 600 "Tiene que existir por lo menos una Accion Preventiva para poder continuar"

# La matriz del método sale como tabla con sus cinco niveles.
conceptos=$(pdftotext -enc UTF-8 "$programa/Conceptos basicos.pdf" - 2>/dev/null)
for nivel in "Riesgo Trivial" "Riesgo Tolerable" "Riesgo Moderado" "Riesgo Importante" "Riesgo Intolerable"; do
    grep -qF "$nivel" <<<"$conceptos" || fallo "Conceptos basicos no explica «$nivel»"
done

# Las capturas citadas van dentro del PDF.
if command -v pdfimages >/dev/null 2>&1; then
    for doc in "Antes de empezardef.pdf:4" "Ayuda/Empresas.pdf:1" "Ayuda/Inicio Evaluacion.pdf:1" "Ayuda/Puestos.pdf:1" \
        "Ayuda/Factores.pdf:1" "Ayuda/Riesgos.pdf:1" "Ayuda/Accion Preventiva.pdf:1"; do
        nombre=${doc%:*}
        minimo=${doc##*:}
        imagenes=$(pdfimages -list "$programa/$nombre" 2>/dev/null | tail -n +3 | awk '$3 == "image"' | wc -l)
        [ "$imagenes" -ge "$minimo" ] || fallo "$nombre lleva $imagenes imágenes (se esperan $minimo o más)"
    done
fi

# Una fuente que cita una imagen que no existe: error, y el PDF anterior queda intacto.
mkdir -p "$temporal/fuente"
printf '# Prueba\n\nTexto.\n\n![falta](imagenes/no_existe.png)\n' >"$temporal/fuente/rota.md"
printf 'anterior' >"$temporal/rota.pdf"
if QT_QPA_PLATFORM=offscreen "$generador" "$temporal/fuente/rota.md" "$temporal/rota.pdf" 2>"$temporal/error"; then
    fallo "generar_ayuda termina bien con una imagen que no existe"
fi
[ "$(cat "$temporal/rota.pdf")" = "anterior" ] || fallo "generar_ayuda ha pisado el PDF anterior tras fallar"
grep -q "no_existe.png" "$temporal/error" || fallo "generar_ayuda no dice qué imagen falta"

# Sin título de primer nivel tampoco hay documento.
printf 'Sólo texto, sin título.\n' >"$temporal/fuente/sin_titulo.md"
QT_QPA_PLATFORM=offscreen "$generador" "$temporal/fuente/sin_titulo.md" "$temporal/sin_titulo.pdf" 2>/dev/null &&
    fallo "generar_ayuda acepta una fuente sin título"
[ -e "$temporal/sin_titulo.pdf" ] && fallo "generar_ayuda deja un PDF de una fuente sin título"

[ "$fallos" -eq 0 ] || exit 1
echo "correcto"
