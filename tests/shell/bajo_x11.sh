#!/bin/bash
# Corre una prueba de ventanas en un servidor X virtual: bajo_x11.sh <prueba> [argumentos...]
# Sin xvfb-run se salta (77).
if ! command -v xvfb-run >/dev/null 2>&1; then
    echo "xvfb-run no está instalado: se salta la prueba"
    exit 77
fi
QT_QPA_PLATFORM=xcb exec xvfb-run -a -s "-screen 0 1280x800x24" "$@"
