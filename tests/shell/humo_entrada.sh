#!/bin/bash
# Prueba de humo con ventanas de verdad: humo_entrada.sh <ruta del ejecutable Evaluacion>
# Salen las dos presentaciones, un clic en cada una adelanta el paso y sale la ventana principal;
# una segunda copia avisa de que ya hay una en marcha y termina, y la primera sigue viva.
set -u
programa=${1:?falta la ruta de Evaluacion}

if [ -z "${HUMO_DENTRO_XVFB:-}" ]; then
    if ! command -v xvfb-run >/dev/null 2>&1; then
        echo "xvfb-run no está instalado: se salta la prueba"
        exit 77
    fi
    HUMO_DENTRO_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" "$@"
fi

fallo() { echo "FALLO: $*"; exit 1; }
command -v xwininfo >/dev/null 2>&1 || fallo "falta xwininfo (paquete x11-utils)"

# Carpeta del programa propia: el bloqueo de instancia no choca con otra copia que esté abierta.
carpeta=$(mktemp -d)
primera=""
segunda=""
limpiar() {
    [ -n "$segunda" ] && kill "$segunda" 2>/dev/null
    [ -n "$primera" ] && kill "$primera" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$carpeta"
}
trap limpiar EXIT
cp "$programa" "$carpeta/"
ejecutable="$carpeta/$(basename "$programa")"
export QT_QPA_PLATFORM=xcb

# Id de la primera ventana visible con ese nombre (xwininfo lista también las que no se muestran).
ventana_visible() { # nombre
    local id
    for id in $(xwininfo -root -tree 2>/dev/null | grep -F -- "\"$1\": (\"" | awk '{print $1}'); do
        if xwininfo -id "$id" 2>/dev/null | grep -q "Map State: IsViewable"; then
            echo "$id"
            return 0
        fi
    done
    return 1
}

esperar_ventana() { # nombre, segundos
    local i
    for ((i = 0; i < $2 * 5; i++)); do
        ventana_visible "$1" >/dev/null && return 0
        sleep 0.2
    done
    return 1
}

# Pulsa Intro en la ventana del aviso con la extensión XTest (Aceptar es el botón predeterminado).
pulsar_intro() { # id de ventana
    python3 - "$1" <<'PY'
import ctypes, sys
x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
xtst = ctypes.cdll.LoadLibrary("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
# Un fallo de foco (ventana aún sin mostrar) no debe cortar el intento: se reintenta desde fuera.
ManejadorX = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
ignorar = ManejadorX(lambda pantalla, suceso: 0)
x11.XSetErrorHandler(ignorar)
pantalla = x11.XOpenDisplay(None)
if not pantalla:
    sys.exit(1)
ventana = int(sys.argv[1], 16)
x11.XSetInputFocus(ctypes.c_void_p(pantalla), ctypes.c_ulong(ventana), 2, 0)
x11.XSync(ctypes.c_void_p(pantalla), 0)
tecla = x11.XKeysymToKeycode(ctypes.c_void_p(pantalla), ctypes.c_ulong(0xff0d))
xtst.XTestFakeKeyEvent(ctypes.c_void_p(pantalla), tecla, 1, 0)
xtst.XTestFakeKeyEvent(ctypes.c_void_p(pantalla), tecla, 0, 0)
x11.XSync(ctypes.c_void_p(pantalla), 0)
x11.XCloseDisplay(ctypes.c_void_p(pantalla))
PY
}

# Clic con la extensión XTest en un punto de la ventana (a 6 píxeles de su esquina: el fondo).
pulsar_en() { # id de ventana
    local x y
    x=$(xwininfo -id "$1" | awk '/Absolute upper-left X/ {print $4}')
    y=$(xwininfo -id "$1" | awk '/Absolute upper-left Y/ {print $4}')
    python3 - "$((x + 6))" "$((y + 6))" <<'PY'
import ctypes, sys
x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
xtst = ctypes.cdll.LoadLibrary("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
pantalla = x11.XOpenDisplay(None)
if not pantalla:
    sys.exit(1)
p = ctypes.c_void_p(pantalla)
xtst.XTestFakeMotionEvent(p, -1, int(sys.argv[1]), int(sys.argv[2]), 0)
x11.XSync(p, 0)
xtst.XTestFakeButtonEvent(p, 1, 1, 0)
xtst.XTestFakeButtonEvent(p, 1, 0, 0)
x11.XSync(p, 0)
x11.XCloseDisplay(p)
PY
}

# Las dos presentaciones del arranque: cada clic da paso a la siguiente. La segunda se cierra
# cuando ha terminado la carga de Entrada (que en una segunda copia espera al aviso).
pasar_presentaciones() {
    local id
    esperar_ventana "Presentación" 20 || fallo "no aparece la primera presentación"
    id=$(ventana_visible "Presentación")
    pulsar_en "$id" || fallo "no se puede pulsar (python3 y libXtst)"
    esperar_ventana "Objetivo de la aplicación" 5 || fallo "el clic no lleva a la segunda presentación"
    ventana_visible "Presentación" >/dev/null && fallo "la primera presentación sigue a la vista"
    id=$(ventana_visible "Objetivo de la aplicación")
    pulsar_en "$id" || fallo "no se puede pulsar (python3 y libXtst)"
}

"$ejecutable" &
primera=$!
pasar_presentaciones
esperar_ventana "Evaluación de Riesgos" 20 || fallo "no aparece la ventana principal"
kill -0 "$primera" 2>/dev/null || fallo "la primera copia ha terminado"
principal=$(ventana_visible "Evaluación de Riesgos")
echo "ventana principal: $principal"

"$ejecutable" &
segunda=$!
pasar_presentaciones
esperar_ventana "Evaluacion" 20 || fallo "la segunda copia no avisa"
aviso=$(ventana_visible "Evaluacion")
echo "aviso de la segunda copia: $aviso"

for intento in 1 2 3 4 5; do
    kill -0 "$segunda" 2>/dev/null || break
    pulsar_intro "$aviso" || fallo "no se puede pulsar Aceptar (python3 y libXtst)"
    sleep 1
done
for ((i = 0; i < 50; i++)); do
    kill -0 "$segunda" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$segunda" 2>/dev/null && fallo "la segunda copia sigue en marcha tras el aviso"
wait "$segunda"
codigo=$?
segunda=""
[ "$codigo" -eq 0 ] || fallo "la segunda copia ha terminado con el código $codigo"

sleep 0.5
kill -0 "$primera" 2>/dev/null || fallo "la primera copia no ha sobrevivido a la segunda"
[ "$(ventana_visible "Evaluación de Riesgos")" = "$principal" ] || fallo "la ventana principal ha desaparecido"
echo "correcto"
exit 0
