#!/usr/bin/env bash
# Prepara, compila y abre el programa.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/dependencias.sh
instalar_dependencias "${PAQUETES_PROGRAMA[@]}"
compilar
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No hay pantalla gráfica. Para abrir el programa en una pantalla virtual:"
    echo "    xvfb-run -a build/programa/Evaluacion"
    echo "(xvfb-run está en el paquete xvfb: sudo apt-get install xvfb)"
    exit 1
fi
exec build/programa/Evaluacion
