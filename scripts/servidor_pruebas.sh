#!/usr/bin/env bash
# Servidor PostgreSQL de usar y tirar para las pruebas.
#
#   servidor_pruebas.sh arrancar DIR   crea un grupo de bases de datos nuevo y lo arranca
#   servidor_pruebas.sh parar DIR      lo para y borra DIR (no hace nada si no hay ninguno)
#
# Si ya hay uno en marcha en DIR, arrancar lo comparte y parar sólo lo para al irse el último.
#
# Escucha sólo en 127.0.0.1, en un puerto libre elegido al arrancar, y su socket va dentro de su
# carpeta: no choca con otro servidor de la máquina (ni con el del sistema en 5432). Deja en
# DIR/conexion.txt el texto de conexión de libpq (host, port, dbname, user, password) de un
# usuario con contraseña (scram-sha-256) dueño de una base de datos para las pruebas, que
# además puede crear bases de datos propias.
#
# PostgreSQL no se deja ejecutar como root: con root, el servidor corre como el usuario postgres
# (lo crea el paquete postgresql-15) y su carpeta es suya. Si postgres no llega a DIR (por
# ejemplo, bajo /root), el grupo va a una carpeta temporal aparte, anotada en DIR.
set -euo pipefail

BIN=${PG_BIN:-/usr/lib/postgresql/15/bin}
MARCA=.servidor_pruebas
BASE=evaluacion_pruebas
USUARIO=evaluacion_pruebas

uso()
{
    echo "uso: $0 arrancar|parar DIR" >&2
    exit 2
}

[ $# -eq 2 ] || uso
orden=$1
dir=$2

# Como quién corre el servidor, y la orden para hacerlo.
como=()
dueno=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
    if ! id -u postgres >/dev/null 2>&1; then
        echo "servidor_pruebas: con root hace falta el usuario postgres (paquete postgresql-15)" >&2
        exit 1
    fi
    como=(runuser -u postgres --)
    dueno=postgres
fi

puerto_libre()
{
    python3 -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])'
}

parar()
{
    [ -e "$dir" ] || return 0
    if [ ! -e "$dir/$MARCA" ]; then
        # Nunca se borra una carpeta que no es de este programa.
        if [ -n "$(ls -A "$dir" 2>/dev/null)" ]; then
            echo "servidor_pruebas: $dir no es una carpeta de servidor de pruebas; no se toca" >&2
            return 1
        fi
        rmdir "$dir"
        return 0
    fi
    local grupo
    grupo=$(cat "$dir/$MARCA")
    if [ -n "$grupo" ] && [ -f "$grupo/datos/postmaster.pid" ]; then
        "${como[@]}" "$BIN/pg_ctl" stop -D "$grupo/datos" -m immediate -s >/dev/null 2>&1 || true
    fi
    if [ -n "$grupo" ] && [ "$grupo" != "$dir" ] && [ -e "$grupo/$MARCA" ]; then
        rm -rf -- "$grupo"
    fi
    rm -rf -- "$dir"
}

arrancar()
{
    # Lo que quedara de una ejecución interrumpida se para antes.
    parar
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    local grupo=$dir
    if [ ${#como[@]} -gt 0 ] && ! "${como[@]}" test -x "$dir/.."; then
        grupo=$(mktemp -d "${TMPDIR:-/tmp}/servidor_pruebas.XXXXXX")
        echo "$grupo" >"$grupo/$MARCA"
    fi
    echo "$grupo" >"$dir/$MARCA"
    if [ "$grupo" != "$dir" ] || [ ${#como[@]} -gt 0 ]; then
        chown "$dueno" "$grupo"
    fi
    chmod 700 "$grupo"

    local clave
    clave=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
    # Los datos del grupo no importan: sin sincronizar con el disco, que es mucho más rápido.
    "${como[@]}" "$BIN/initdb" -D "$grupo/datos" -U administrador -E UTF8 --no-locale --no-sync \
        --auth-local=trust --auth-host=scram-sha-256 >"$grupo/initdb.log" 2>&1 || {
        cat "$grupo/initdb.log" >&2
        exit 1
    }
    "${como[@]}" tee -a "$grupo/datos/postgresql.conf" >/dev/null <<EOF
listen_addresses = '127.0.0.1'
unix_socket_directories = '$grupo'
fsync = off
synchronous_commit = off
full_page_writes = off
password_encryption = 'scram-sha-256'
EOF
    # El puerto se elige libre, pero otro proceso puede quitárselo antes de que arranque el
    # servidor: entonces se prueba con otro.
    local puerto intento
    for intento in 1 2 3 4 5 6 7 8; do
        puerto=$(puerto_libre)
        "${como[@]}" rm -f "$grupo/servidor.log"
        if "${como[@]}" "$BIN/pg_ctl" start -D "$grupo/datos" -w -t 60 -s -l "$grupo/servidor.log" \
            -o "-p $puerto" >/dev/null 2>&1 9>&-; then
            break
        fi
        if [ "$intento" -eq 8 ] || ! grep -q 'could not bind\|Address already in use' "$grupo/servidor.log"; then
            echo "servidor_pruebas: el servidor no arranca:" >&2
            cat "$grupo/servidor.log" >&2
            exit 1
        fi
    done
    "${como[@]}" "$BIN/psql" -X -q -v ON_ERROR_STOP=1 -h "$grupo" -p "$puerto" -U administrador -d postgres \
        -c "CREATE ROLE $USUARIO LOGIN CREATEDB PASSWORD '$clave'" \
        -c "CREATE DATABASE $BASE OWNER $USUARIO" >/dev/null
    (umask 077 && echo "host=127.0.0.1 port=$puerto dbname=$BASE user=$USUARIO password=$clave" >"$dir/conexion.txt")
    echo "servidor de pruebas en 127.0.0.1:$puerto ($grupo)"
}

# Varias tandas de pruebas sobre la misma carpeta de compilación (dos ctest a la vez) comparten el
# servidor: cada arranque suma un usuario y cada parada lo resta; sólo el último lo para. Cada
# prueba crea sus bases de datos con nombre propio, así que no se pisan.
usuarios="$dir.usuarios"
en_marcha()
{
    [ -e "$dir/$MARCA" ] && [ -f "$dir/conexion.txt" ] || return 1
    local grupo
    grupo=$(cat "$dir/$MARCA")
    [ -n "$grupo" ] && "${como[@]}" "$BIN/pg_ctl" status -D "$grupo/datos" >/dev/null 2>&1
}
mkdir -p "$(dirname "$dir")"
exec 9>"$dir.cerrojo"
flock 9
cuantos=$(cat "$usuarios" 2>/dev/null || echo 0)
case "$orden" in
arrancar)
    if [ "$cuantos" -gt 0 ] && en_marcha; then
        echo $((cuantos + 1)) >"$usuarios"
        echo "servidor de pruebas ya en marcha en $dir ($((cuantos + 1)) tandas)"
    else
        arrancar
        echo 1 >"$usuarios"
    fi
    ;;
parar)
    if [ "$cuantos" -gt 1 ] && en_marcha; then
        echo $((cuantos - 1)) >"$usuarios"
    else
        parar
        rm -f "$usuarios"
    fi
    ;;
*) uso ;;
esac
