#!/usr/bin/env bash
# Prepara, compila y pasa todas las pruebas sin pantalla.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/dependencias.sh
instalar_dependencias "${PAQUETES_PROGRAMA[@]}" "${PAQUETES_PRUEBAS[@]}"
compilar
export QT_QPA_PLATFORM=offscreen
cd build
# Si ctest se interrumpe, el servidor de pruebas que hubiera arrancado no se queda en marcha.
trap '../scripts/servidor_pruebas.sh parar servidor_pruebas >/dev/null 2>&1 || true' EXIT
ctest --output-on-failure -j2 --timeout 600
