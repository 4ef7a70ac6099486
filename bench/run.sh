#!/usr/bin/env bash
# Compila y pasa las medidas de rendimiento (no forman parte de las pruebas).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/dependencias.sh
instalar_dependencias "${PAQUETES_PROGRAMA[@]}" "${PAQUETES_PRUEBAS[@]}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target bench_almacen bench_empresa bench_informes
export QT_QPA_PLATFORM=offscreen
build/bench/bench_almacen "$@"
build/bench/bench_empresa "$@"
build/bench/bench_informes "$@"
