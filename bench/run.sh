#!/usr/bin/env bash
# Compila y pasa las medidas de rendimiento (no forman parte de las pruebas). Al final imprime la
# tabla de las acciones del usuario a escala de asesoría: nuestro, ingenuo, directo y proporciones.
# Los argumentos se pasan a cada programa de medidas (p. ej. --benchmark_filter=Puesto).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/dependencias.sh
instalar_dependencias "${PAQUETES_PROGRAMA[@]}" "${PAQUETES_PRUEBAS[@]}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
programas=(bench_almacen bench_empresa bench_informes bench_escala)
for extra in bench/bench_*.cpp; do
    nombre=$(basename "$extra" .cpp)
    [[ " ${programas[*]} " == *" $nombre "* ]] || programas+=("$nombre")
done
cmake --build build -j"$(nproc)" --target generar_escala "${programas[@]}"
export QT_QPA_PLATFORM=offscreen
# La base de escala se hace una vez (unos 20 s) y se copia antes de cada medida.
export BASE_ESCALA="$PWD/build/escala"
if [ ! -f "$BASE_ESCALA/Evaluacion.mdb" ]; then
    build/bench/generar_escala "$BASE_ESCALA"
fi
salida=build/bench/resultados
mkdir -p "$salida"
for programa in "${programas[@]}"; do
    echo "== $programa"
    build/bench/"$programa" --benchmark_out="$salida/$programa.json" --benchmark_out_format=json "$@"
done
echo
python3 bench/tabla.py "$salida"/*.json
