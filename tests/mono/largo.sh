#!/usr/bin/env bash
# El mono durante MINUTOS minutos, con semillas nuevas cada vez: tandas de semillas seguidas a partir
# de una al azar. Un proceso que cae no para la prueba: se apunta su semilla y se sigue.
#   tests/mono/largo.sh MINUTOS [EJECUTABLE] [PASOS]
# Deja el registro en mono-largo-<fecha>.log (o en MONO_REGISTRO) y termina con 1 si hubo hallazgos.
set -uo pipefail
minutos=${1:?uso: largo.sh MINUTOS [EJECUTABLE] [PASOS]}
raiz=$(cd "$(dirname "$0")/../.." && pwd)
ejecutable=${2:-$raiz/build/tests/mono/mono}
pasos=${3:-400}
registro=${MONO_REGISTRO:-mono-largo-$(date -u +%Y%m%d-%H%M%S).log}
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8

fin=$(($(date +%s) + minutos * 60))
semilla=$(( (RANDOM << 15 | RANDOM) + 1000 ))
tandas=0 caidas=0
: >"$registro"
echo "mono durante $minutos min desde la semilla $semilla, $pasos pasos por corrida; registro en $registro"
while (($(date +%s) < fin)); do
    quedan=$((fin - $(date +%s)))
    salida=$("$ejecutable" --desde "$semilla" --corridas 20 --segundos "$quedan" --pasos "$pasos" 2>&1)
    rc=$?
    echo "$salida" >>"$registro"
    if ((rc == 126 || rc == 127)); then
        # No es una caída del programa: el ejecutable no se puede ni arrancar.
        echo "no se puede ejecutar $ejecutable (código $rc)" | tee -a "$registro" >&2
        exit 2
    fi
    hechas=$(grep -cE '^semilla [0-9]+: |^HALLAZGO' <<<"$salida")
    if ((rc > 1)); then
        # Se cayó en la semilla siguiente a la última que terminó.
        caidas=$((caidas + 1))
        echo "CAÍDA (código $rc) en la semilla $((semilla + hechas))" | tee -a "$registro"
        hechas=$((hechas + 1))
    fi
    semilla=$((semilla + (hechas > 0 ? hechas : 1)))
    tandas=$((tandas + 1))
done
bien=$(grep -cE '^semilla [0-9]+: bien' "$registro")
hallazgos=$(grep -c '^HALLAZGO' "$registro")
echo "tandas: $tandas; semillas: $((bien + hallazgos + caidas)); bien: $bien; hallazgos: $hallazgos; caídas: $caidas"
grep -A3 '^HALLAZGO\|^CAÍDA' "$registro" | head -60
((hallazgos + caidas == 0))
