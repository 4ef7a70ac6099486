#!/usr/bin/env bash
# Compila y pasa las medidas de rendimiento (no forman parte de las pruebas). Al final imprime la
# tabla de las acciones del usuario a escala de asesoría: nuestro, ingenuo, directo y proporciones.
# Los argumentos se pasan a cada programa de medidas (p. ej. --benchmark_filter=Puesto). Lo
# ingenuo lee tablas enteras y a 10 veces tarda minutos: --benchmark_filter=-ingenuo lo deja fuera.
#
# Variables de entorno:
#   BUILD    carpeta de compilación (build); en otra, p. ej. build-bench, no se toca la de siempre.
#   ESCALAS  tamaños de la base de escala, en veces la de asesoría: "1" (así por defecto), "10" o
#            "1 10"; con dos o más, la tabla pone los tamaños lado a lado.
#   BASES    dónde se guardan las bases de escala (la carpeta de compilación): escala para 1 vez,
#            escala-N para N veces. Se hacen una sola vez; para rehacerlas, bórrelas.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
ESCALAS=${ESCALAS:-1}
BASES=${BASES:-$BUILD}
for n in $ESCALAS; do
    [[ "$n" =~ ^[1-9][0-9]*$ ]] || { echo "ESCALAS: \"$n\" no es un número de veces." >&2; exit 2; }
done
source scripts/dependencias.sh
instalar_dependencias "${PAQUETES_PROGRAMA[@]}" "${PAQUETES_PRUEBAS[@]}"
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
programas=(bench_almacen bench_empresa bench_informes bench_escala)
for extra in bench/bench_*.cpp; do
    nombre=$(basename "$extra" .cpp)
    [[ " ${programas[*]} " == *" $nombre "* ]] || programas+=("$nombre")
done
cmake --build "$BUILD" -j"$(nproc)" --target generar_escala "${programas[@]}"
export QT_QPA_PLATFORM=offscreen

# Sólo los programas que leen la base de escala se pasan en cada tamaño; los demás, una vez.
de_escala=()
comunes=()
for programa in "${programas[@]}"; do
    if grep -qE 'BASE_ESCALA|LeerBaseEscala' "bench/$programa.cpp"; then de_escala+=("$programa"); else comunes+=("$programa"); fi
done

carpeta_base() {
    if [ "$1" = 1 ]; then echo "$BASES/escala"; else echo "$BASES/escala-$1"; fi
}

# La base de 1 vez se hace con las operaciones del programa (unos 15 s); las mayores la repiten
# directamente en SQLite (unos 10 s para 10 veces). Cada medida trabaja en su propia copia.
preparar_base() {
    local carpeta
    carpeta=$(carpeta_base "$1")
    [ -f "$carpeta/Evaluacion.mdb" ] && return 0
    if [ "$1" = 1 ]; then
        "$BUILD"/bench/generar_escala "$carpeta"
    else
        preparar_base 1
        "$BUILD"/bench/generar_escala "$carpeta" --veces "$1" --desde "$(carpeta_base 1)"
    fi
}

pasar() {
    local salida=$1
    shift
    mkdir -p "$salida"
    for programa in "$@"; do
        echo "== $programa"
        "$BUILD"/bench/"$programa" --benchmark_out="$salida/$programa.json" --benchmark_out_format=json \
            "${argumentos[@]}"
    done
}

argumentos=("$@")
resultados="$BUILD/bench/resultados"
pasar "$resultados/comunes" "${comunes[@]}"
grupos=()
for n in $ESCALAS; do
    preparar_base "$n"
    BASE_ESCALA=$(realpath "$(carpeta_base "$n")")
    export BASE_ESCALA
    echo "== base de escala por $n: $BASE_ESCALA"
    rm -f "$resultados/escala-$n"/*.json
    pasar "$resultados/escala-$n" "${de_escala[@]}"
    grupos+=("${n}x=$resultados/escala-$n")
done
echo
if [ ${#grupos[@]} -eq 1 ]; then
    python3 bench/tabla.py "$resultados/escala-$n"
else
    python3 bench/tabla.py "${grupos[@]}"
fi

# Las mismas acciones con los datos en un servidor PostgreSQL por la interfaz local, frente a libpq
# a pelo con las mismas filas, y cuatro técnicos a la vez en centros distintos frente a uno solo. El
# servidor es de usar y tirar, en un puerto libre, y se para y se borra al terminar, también si algo
# falla. SERVIDOR=0 lo deja fuera.
if [ "${SERVIDOR:-1}" != 0 ]; then
    servidor="$BUILD/bench/servidor"
    trap 'scripts/servidor_pruebas.sh parar "$servidor" >/dev/null 2>&1 || true' EXIT
    scripts/servidor_pruebas.sh arrancar "$servidor"
    preparar_base 1
    BASE_ESCALA=$(realpath "$(carpeta_base 1)")
    EVALUACION_SERVIDOR_PRUEBAS="$servidor/conexion.txt"
    export BASE_ESCALA EVALUACION_SERVIDOR_PRUEBAS
    rm -f "$resultados/servidor"/*.json
    pasar "$resultados/servidor" bench_servidor
    scripts/servidor_pruebas.sh parar "$servidor"
    trap - EXIT
    echo
    echo "== con los datos en el servidor: nuestro frente a libpq directo (cuatro_frente_a_uno, arriba: lo que"
    echo "   hace cada uno de cuatro clientes a la vez frente a uno solo)"
    python3 bench/tabla.py "$resultados/servidor"
    # Y los cuatro técnicos a la vez, de los contadores de su medida.
    python3 - "$resultados/servidor/bench_servidor.json" <<'FIN'
import json, sys
for b in json.load(open(sys.argv[1], encoding="utf-8")).get("benchmarks", []):
    if b["name"].startswith("Cuatro clientes"):
        print(f"Cuatro clientes a la vez: uno solo {b['uno_por_s']:.0f} marcas/s; el peor de cuatro "
              f"{b['peor_de_cuatro_por_s']:.0f}/s ({b['cuatro_frente_a_uno']:.2f} de uno); los cuatro juntos "
              f"{b.get('suma_de_cuatro_frente_a_uno', 0):.2f} veces uno, con {b.get('nucleos', 0):.0f} núcleos")
FIN
fi
