#!/usr/bin/env bash
# Prepara, compila y pasa todas las pruebas sin pantalla.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/dependencias.sh
instalar_dependencias "${PAQUETES_PROGRAMA[@]}" "${PAQUETES_PRUEBAS[@]}"
compilar
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -j2 --timeout 600
