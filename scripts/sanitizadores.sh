#!/usr/bin/env bash
# Compila todo con AddressSanitizer y UndefinedBehaviorSanitizer y pasa todas las pruebas.
# Uso: scripts/sanitizadores.sh [carpeta de compilación]   (por omisión build-sanitizadores)
# Las fugas de Qt y de fontconfig se pasan por alto (scripts/sanitizadores/lsan.supp); cualquier
# otro informe de los sanitizadores hace fallar la prueba en que sale.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/dependencias.sh
instalar_dependencias "${PAQUETES_PROGRAMA[@]}" "${PAQUETES_PRUEBAS[@]}"
carpeta=${1:-build-sanitizadores}
lanzador=()
if command -v ccache >/dev/null; then
    lanzador=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$carpeta" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE=ON "${lanzador[@]}"
cmake --build "$carpeta" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
cd "$carpeta"
# Más tiempo que de costumbre: con los sanitizadores todo va de dos a cinco veces más lento.
ctest --output-on-failure -j"$(nproc)" --timeout 1800
