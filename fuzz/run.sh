#!/usr/bin/env bash
# Compila los objetivos de libFuzzer con clang-14 y pasa cada uno un tiempo fijo sobre su corpus.
# Uso: fuzz/run.sh [segundos por objetivo] [carpeta de compilación]   (60 y build-fuzz)
# Falla si un objetivo se cae, se cuelga o el sanitizador informa de algo; el caso que lo
# provoca queda en la carpeta de compilación (fuzz/hallazgos). Al final, las ejecuciones de cada uno.
set -euo pipefail
cd "$(dirname "$0")/.."
segundos=${1:-60}
carpeta=${2:-build-fuzz}
lanzador=()
if command -v ccache >/dev/null; then
    lanzador=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$carpeta" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 -DFUZZ=ON \
    -DBUILD_TESTING=OFF "${lanzador[@]}"
cmake --build "$carpeta" -j"$(nproc)" --target fuzz

fuentes=$PWD/fuzz
cd "$carpeta/fuzz"
mkdir -p hallazgos
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$fuentes/../scripts/sanitizadores/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
declare -A diccionario=([formula]=formula.dict [criterio]=criterio.dict [plantilla]=plantilla.dict)
resumen=()
fallo=0
for objetivo in formula criterio conexion plantilla; do
    corpus=corpus/$objetivo
    mkdir -p "$corpus"
    cp -n "$fuentes/corpus/$objetivo/"* "$corpus/" 2>/dev/null || true
    opciones=(-max_total_time="$segundos" -timeout=10 -rss_limit_mb=2048 -max_len=8192
        -artifact_prefix=hallazgos/"$objetivo"- -print_final_stats=1)
    if [ -n "${diccionario[$objetivo]:-}" ]; then
        opciones+=(-dict="$fuentes/${diccionario[$objetivo]}")
    fi
    echo "== fuzz_$objetivo durante ${segundos} s"
    if ./fuzz_"$objetivo" "${opciones[@]}" "$corpus" >"$objetivo.log" 2>&1; then
        estado=bien
    else
        estado=FALLO
        fallo=1
        tail -n 40 "$objetivo.log"
    fi
    ejecuciones=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$objetivo.log" | grep -o '[0-9]*$' | tail -n 1)
    resumen+=("fuzz_$objetivo: ${ejecuciones:-?} ejecuciones, $estado")
done
printf '%s\n' "${resumen[@]}"
exit $fallo
